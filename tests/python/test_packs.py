"""The baked packs through the host: each pack against what its pack.py declares, the worked values
a caller can read, and one digest per pack that pins every value the module emits.

The rules every single table obeys are tested in test_catalogue.py, and each pattern's own facts
(closed forms, stated values, holds, onset placement) are checked when the tables are generated.
After an intended change to a pack's tables, refresh its digest with
`.venv/bin/python tools/pack_digests.py --write`.
"""

from __future__ import annotations

import hashlib
import json
import math
import struct
from collections import Counter
from pathlib import Path

import motiloom
import pytest
from tablegen.load import load_pack_facts, present_packs

from motiloom_kit import catalogue

REPO = Path(__file__).resolve().parents[2]
PACKS_DIR = REPO / "src" / "catalogue" / "packs"
DIGESTS = Path(__file__).with_name("pack_digests.json")

BAKED = motiloom.catalogue()[15:]  # after the fifteen procedural rudiments


def built_packs():
    """(declaration, catalogue entries) of each declared pack, its entries being those the build
    says belong to it."""
    pack_of = {e.name: e.pack for e in catalogue.entries()}
    return [
        (load_pack_facts(PACKS_DIR, key), [e for e in BAKED if pack_of[e["name"]] == key])
        for key in present_packs(PACKS_DIR)
    ]


BUILT = built_packs()
BY_PACK = pytest.mark.parametrize(("pack", "entries"), BUILT, ids=[p.key for p, _ in BUILT])


@pytest.fixture(scope="module")
def tables():
    """Every baked table, read once through the host, pip 0 to period - 1."""
    sample = motiloom.sample
    return {
        e["name"]: [sample(e["name"], k).as_tuple() for k in range(e["period_pips"])] for e in BAKED
    }


def test_declared_packs_account_for_every_baked_entry_in_order():
    assert [e for _, entries in BUILT for e in entries] == BAKED


@BY_PACK
def test_pack_matches_its_declaration(pack, entries, tables):
    assert len(entries) == pack.count
    loops = [tables[e["name"]] for e in entries]
    assert max(abs(c) for loop in loops for entry in loop for c in entry) == pack.peak
    largest_step = max(
        math.dist(a, b) for loop in loops for a, b in zip(loop, loop[1:] + loop[:1], strict=True)
    )
    assert round(largest_step, 4) <= pack.max_step
    assert dict(Counter(e["period_pips"] for e in entries)) == pack.periods
    assert dict(Counter(e["dimensions"] for e in entries)) == pack.axes


@BY_PACK
def test_pack_digest_is_committed(pack, entries, tables):
    refresh = "run .venv/bin/python tools/pack_digests.py --write"
    committed = json.loads(DIGESTS.read_text())
    assert pack.key in committed, f"no digest for the {pack.key} pack in {DIGESTS.name}; {refresh}"
    digest = hashlib.sha256()
    for entry in entries:
        digest.update(entry["name"].encode())
        for value in tables[entry["name"]]:
            digest.update(struct.pack("<3d", *value))
    assert digest.hexdigest() == committed[pack.key], (
        f"the {pack.key} pack's names or values changed; if that is intended, {refresh}"
    )


# (name, pip, (x, y, z)) read exactly through the host.
WORKED_VALUES = [
    ("lfo_breathe", 0, (0.0, 0.0, 0.0)),
    ("lfo_breathe", 64, (0.8, 0.0, 0.0)),
    ("lfo_breathe", 128, (0.0, 0.0, 0.0)),
    ("lfo_breathe", 192, (-0.8, 0.0, 0.0)),
    ("path_crank_slider", 0, (0.78, 0.0, 0.0)),
    ("path_crank_slider", 128, (-0.78, 0.0, 0.0)),
    ("rhythm_euclid_3_8", 0, (0.8, -0.3, 0.0)),
    ("rhythm_euclid_3_8", 96, (-0.8, -0.3, 0.0)),
    ("rhythm_euclid_3_8", 192, (0.8, -0.3, 0.0)),
]


@pytest.mark.parametrize(
    ("name", "pip", "value"), WORKED_VALUES, ids=[f"{n}@{p}" for n, p, _ in WORKED_VALUES]
)
def test_worked_values(name, pip, value):
    assert motiloom.sample(name, pip).as_tuple() == value


def test_ratchet_rests_at_the_origin_from_pip_56_to_248(tables):
    assert tables["lfo_ratchet"][56:249] == [(0.0, 0.0, 0.0)] * 193


def test_only_the_groove_b_hits_reach_full_scale(tables):
    full = [
        (name, pip, "xyz"[axis], c)
        for name, loop in tables.items()
        for pip, entry in enumerate(loop)
        for axis, c in enumerate(entry)
        if abs(c) >= 1.0
    ]
    assert sorted(full) == [("groove_b_grid", 240, "x", 1.0), ("groove_b_played", 64, "x", 1.0)]
