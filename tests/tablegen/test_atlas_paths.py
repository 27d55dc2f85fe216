"""The atlas path families (roses, scallops, mechanisms, gestures): the facts they state beyond
the common ones, each shown to reject a table that breaks it."""

from __future__ import annotations

import importlib.util
from pathlib import Path

import pytest
from tablegen import facts
from tablegen.bake import bake
from tablegen.model import CheckError

ATLAS = Path(__file__).resolve().parents[2] / "src" / "catalogue" / "packs" / "atlas"


def family(file_name: str):
    name = f"atlas_paths_{file_name[:-3]}"
    found = importlib.util.spec_from_file_location(name, ATLAS / file_name)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


ROSE = family("70_polar_rose.py")
SCALLOP = family("80_polar_scallop.py")
MECH = family("130_mech.py")
GESTURE = family("190_gesture.py")


def table(module, name):
    return bake(next(p for p in module.PATTERNS if p.name == name))


# Each fact these families state beyond the common ones, against a finished table that breaks
# it: a fact that cannot fail would let a wrong table through the build.
BROKEN = [
    ("six tips in three places", facts.petal_tips(6, 6), ROSE, "polar_rose_6"),
    ("eight petals are not drawn twice", facts.retraced_after(512), ROSE, "polar_rose_8"),
    ("a rose crosses the centre", facts.circles_centre_once(0.4), ROSE, "polar_rose_3"),
    ("five scallops are not four", SCALLOP.harmonic_content(4, 0.09, 0.11), SCALLOP,
     "polar_scallop_5"),
    ("a tenth is not a fifth", SCALLOP.harmonic_content(5, 0.18, 0.22), SCALLOP,
     "polar_scallop_5"),
    ("a piston's strokes are even", facts.returns_quicker("x"), MECH, "mech_piston_long"),
    ("three lobes are not two", facts.lifts(2, 0.2), MECH, "mech_three_lobe_cam"),
    ("the tick moves", facts.still_over(0, 30), MECH, "mech_escapement"),
    ("a high arc is not low", facts.mean_of("y", "-0.739"), GESTURE, "gesture_high_arc"),
    ("a high arc is not low for long", facts.low_for(0.75, -0.6), GESTURE, "gesture_high_arc"),
    ("a box is not the longest reach", facts.longest_entry("1.23"), GESTURE,
     "gesture_box_return"),
]  # fmt: skip


@pytest.mark.parametrize(("fact", "module", "name"), [b[1:] for b in BROKEN],
                         ids=[b[0] for b in BROKEN])  # fmt: skip
def test_family_facts_reject_a_table_that_breaks_them(fact, module, name):
    with pytest.raises(CheckError):
        fact(table(module, name))
