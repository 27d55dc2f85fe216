"""The atlas path families (roses, scallops, rolling-circle traces, space curves, mechanisms,
gestures): their members in record order with their descriptions, and the family-local facts,
each shown to reject a table that breaks it."""

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

SPIRO_PAIRS = ["3_1", "4_1", "5_2", "5_1", "7_2", "7_3", "8_3", "9_4"]
MECH_LABELS = {
    "piston_short": "Short-rod piston",
    "piston_long": "Long-rod piston",
    "offset_crank": "Offset crank",
    "scotch_yoke": "Yoke with rocking linkage",
    "whitworth": "Quick-return linkage study",
    "elliptic_cam": "Elliptic cam follower",
    "two_lobe_cam": "Two-lobe cam follower",
    "three_lobe_cam": "Three-lobe cam follower",
    "escapement": "Soft escapement study",
    "paddle": "Paddle-wheel tip",
    "wobble_plate": "Wobble-plate trace",
    "rocking_beam": "Rocking beam",
    "coupled_cranks": "Coupled cranks",
    "crank_rocker": "Crank and rocker study",
    "piston_balance": "Piston and balance mass",
    "cam_return": "Cam rise and return",
}
GESTURE_LABELS = {
    "side_reach": "side reach",
    "cross_reach": "cross and reach",
    "low_scoop": "low scoop",
    "high_arc": "high arc",
    "corner_taps": "corner taps",
    "diagonal_touch": "diagonal touch",
    "box_return": "box and centre",
    "zigzag_lift": "zigzag lift",
    "duck_sway": "duck and sway",
    "push_pull": "push and pull",
    "reach_depth": "reach through depth",
    "bow_turn": "bow and turn",
    "heel_toe": "heel-toe abstract",
    "hop_answer": "hop and answer",
    "spiral_reach": "spiral reach",
    "diamond_depth": "depth diamond",
}


def members(prefix, parts, describe, period, axes_of):
    return [(f"{prefix}{p}", describe(p), period, axes_of(p)) for p in parts]


def fixed(text):
    return lambda _: text


# (family file, [(name, description, period, axes)] in record order), typed from the pack's
# member lists and description templates.
FAMILIES = [
    ("70_polar_rose.py", members(
        "polar_rose_", [3, 6, 7, 8, 9, 10, 11, 12],
        fixed("A complete signed-radius rose traversal; odd-petal roses use a half-turn "
              "parameter."),
        1024, lambda _: 2,
    )),
    ("80_polar_scallop.py", members(
        "polar_scallop_", range(2, 10),
        fixed("A positive-radius scalloped loop; no centre crossings, with an asymmetrically "
              "bent lobe."),
        1024, lambda _: 2,
    )),
    ("90_spiro_inside.py", members(
        "spiro_inside_", SPIRO_PAIRS,
        fixed("A closed inside-rolling circle trace, with pen radius smaller than the rolling "
              "radius."),
        1024, lambda _: 2,
    )),
    ("100_spiro_outside.py", members(
        "spiro_outside_", SPIRO_PAIRS,
        fixed("A closed outside-rolling circle trace, with pen radius smaller than the rolling "
              "radius."),
        1024, lambda _: 2,
    )),
    ("110_space_torus.py", members(
        "space_torus_", ["2_5", "2_7", "3_4", "3_5", "3_7", "4_5", "4_7", "5_6"],
        fixed("A genuine XYZ closed torus-knot trajectory. The demo uses an oblique projection."),
        1024, lambda _: 3,
    )),
    ("120_space_weave.py", members(
        "space_weave_",
        ["1_2_3", "1_3_4", "2_3_4", "2_3_7", "2_5_7", "3_4_5", "3_5_7", "4_5_7"],
        fixed("Three coprime-frequency coordinate lanes with distinct phase offsets."),
        1024, lambda _: 3,
    )),
    ("130_mech.py", members(
        "mech_", MECH_LABELS,
        lambda m: f"{MECH_LABELS[m]}; an original kinematic-style position study, not an "
        "engineering simulation.",
        512, lambda m: 3 if m in ("wobble_plate", "crank_rocker", "piston_balance") else 2,
    )),
    ("190_gesture.py", members(
        "gesture_", GESTURE_LABELS,
        lambda g: f"An original single-point {GESTURE_LABELS[g]} gesture. Abstract motion, not a "
        "full-body dance or biomechanical recording.",
        512,
        lambda g: 3 if g in (
            "push_pull", "reach_depth", "bow_turn", "spiral_reach", "diamond_depth"
        ) else 2,
    )),
]  # fmt: skip


@pytest.mark.parametrize(("file_name", "expected"), FAMILIES, ids=[f for f, _ in FAMILIES])
def test_members_in_record_order_with_their_descriptions(file_name, expected):
    patterns = family(file_name).PATTERNS
    assert [(p.name, p.description, p.period, p.axes) for p in patterns] == expected
    assert all(p.peak == 0.82 and p.peak_grid == 1 for p in patterns)


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
