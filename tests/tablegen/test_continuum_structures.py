"""The continuum pack's tour, scan, reach, coupled-arm, dwell-phrase and packet families: what
holds across the members of a family, and the family rules' facts rejecting broken tables."""

from __future__ import annotations

import itertools
import math
from pathlib import Path

import pytest
from tablegen.bake import bake
from tablegen.load import load_family
from tablegen.model import CheckError

PACKS = Path(__file__).resolve().parents[2] / "src" / "catalogue" / "packs"

FILES = {
    "tour": "50_tour.py",
    "scan": "60_scan.py",
    "reach": "70_reach.py",
    "arm_coupled": "100_arm_coupled.py",
    "dwell_phrase": "110_dwell_phrase.py",
    "packet": "120_packet.py",
}


@pytest.fixture(scope="module")
def families():
    """{family: [(pattern, table)]} baked from the authoring modules."""
    baked = {}
    for family, file_name in FILES.items():
        loaded = load_family(PACKS, "continuum", family, PACKS / "continuum" / file_name)
        baked[family] = [(p, bake(p)) for p in loaded.patterns]
    return baked


@pytest.fixture(scope="module")
def tables(families):
    return {p.name: t for members in families.values() for p, t in members}


@pytest.mark.parametrize("family", list(FILES))
def test_a_family_shares_one_description_and_one_period(families, family):
    members = families[family]
    assert len({p.description for p, _ in members}) == len({p.period for p, _ in members}) == 1


@pytest.mark.parametrize("family", list(FILES))
def test_members_of_a_family_look_different(families, family):
    # root-mean-square distance between two members' entries, pip by pip
    for (p, a), (q, b) in itertools.combinations(families[family], 2):
        rms = math.sqrt(sum(math.dist(u, v) ** 2 for u, v in zip(a, b, strict=True)) / len(a))
        assert rms > 0.05, (p.name, q.name, rms)


def test_paths_fill_the_field_and_the_quickest_shake_sets_the_pack_step(tables):
    def peak(t):
        return max(abs(c) for entry in t for c in entry)

    def largest_step(t):
        return max(math.dist(t[k - 1], t[k]) for k in range(len(t)))

    peaks = {name: peak(t) for name, t in tables.items()}
    assert min(peaks, key=peaks.get) == "packet_cascading_4"
    assert round(peaks["packet_cascading_4"], 5) == 0.81962
    assert all(0.81962 < p <= 0.82 for n, p in peaks.items() if n != "packet_cascading_4")
    assert all(max(math.hypot(*e) for e in t) <= 1.2 for t in tables.values())

    steps = {name: largest_step(t) for name, t in tables.items()}
    fastest = max(steps, key=steps.get)
    assert fastest.startswith("packet_") and abs(steps[fastest] - 0.1719) <= 5e-5
    assert steps[fastest] <= 0.1719
    assert all(s < 0.171 for n, s in steps.items() if n != fastest)


def test_three_axis_arms_reach_into_depth(tables):
    for n in range(9, 17):
        depth = [e[2] for e in tables[f"arm_coupled_{n:02d}"]]
        assert max(depth) - min(depth) > 0.3


def shifted(t, by=1):
    return t[by:] + t[:by]


def mirrored(t):
    return [(x, -y, z) for x, y, z in t]


def rotated(t, degrees=5.0):
    c, s = math.cos(math.radians(degrees)), math.sin(math.radians(degrees))
    return [(x * c - y * s, x * s + y * c, z) for x, y, z in t]


def scaled(t, factor):
    return [tuple(factor * c for c in e) for e in t]


def nudged(t, pip, by=1e-6):
    return [(x + by, y, z) if k == pip else (x, y, z) for k, (x, y, z) in enumerate(t)]


def flipped_depth(t):
    return [(x, y, -z if k > 512 else z) for k, (x, y, z) in enumerate(t)]


# (pattern, the fact's constructor name, how the table is broken)
BROKEN = [
    ("tour_7_3", "star_order", lambda t: t[::-1]),  # visited the other way round: n - k places
    ("tour_9_2", "star_order", mirrored),  # turning the wrong way round the centre
    ("tour_13_4", "star_order", flipped_depth),  # two neighbouring vertices on one side
    ("tour_5_2", "heading_near", rotated),
    ("scan_tilted_4", "serpentine", lambda t: scaled(t, 0.9)),  # rows no longer reach +-0.574
    ("scan_bowed_5", "serpentine", lambda t: nudged(t, 10)),  # the first row-end rest is split
    ("reach_hook_5", "reaching_out", lambda t: scaled(t, 0.4)),
    ("dwell_phrase_01", "hold", lambda t: nudged(t, 150)),
    ("dwell_phrase_07", "two_gestures_and_home", lambda t: nudged(t, 1023)),
    ("packet_alternating_2", "rest", shifted),
    ("packet_depth_4", "separated_packets", lambda t: nudged(t, 500)),  # the last rest is split
]


@pytest.mark.parametrize(("name", "rule", "break_table"), BROKEN)
def test_family_rules_reject_a_broken_table(families, tables, name, rule, break_table):
    pattern = next(p for members in families.values() for p, _ in members if p.name == name)
    picked = [f for f in pattern.facts if f.__qualname__.split(".")[0] == rule]
    assert picked, f"{name} has no {rule} fact"
    for fact in picked:
        fact(tables[name])  # the table as baked passes
    broken = break_table(tables[name])
    with pytest.raises(CheckError):
        for fact in picked:
            fact(broken)
