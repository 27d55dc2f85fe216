"""Six continuous path families of the continuum pack: ribbon, contour_shaped,
silhouette_harmonic, spline, surface and braid. What their facts cannot say: the
budgets a single table cannot see, and whether members look like what they are named."""

from __future__ import annotations

import itertools
import math
from functools import cache
from pathlib import Path

import pytest
from tablegen.bake import bake
from tablegen.load import load_family
from tablegen.model import CheckError

PACKS = Path(__file__).resolve().parents[2] / "src" / "catalogue" / "packs"
PAIRS = ["1_2", "1_3", "1_4", "1_5", "2_3", "2_5", "3_4", "3_5"]
BRAIDS = PAIRS + ["1_6", "2_7", "3_7", "4_5", "4_7", "5_6", "5_7", "5_8"]

ROSTER = {
    "ribbon": "10_ribbon.py",
    "contour_shaped": "20_contour_shaped.py",
    "silhouette_harmonic": "30_silhouette_harmonic.py",
    "spline": "40_spline.py",
    "surface": "80_surface.py",
    "braid": "90_braid.py",
}


@cache
def family(key):
    """{name: (pattern, baked table)} in record order."""
    path = PACKS / "continuum" / ROSTER[key]
    return {p.name: (p, bake(p)) for p in load_family(PACKS, "continuum", key, path).patterns}


def peak(table, axis):
    return max(abs(entry[axis]) for entry in table)


@pytest.mark.parametrize("key", ROSTER)
def test_a_family_shares_one_description_and_one_period(key):
    patterns = [p for p, _ in family(key).values()]
    assert len({p.description for p in patterns}) == len({p.period for p in patterns}) == 1


@pytest.mark.parametrize("key", ROSTER)
def test_every_table_keeps_within_the_step_length_and_centre_budgets(key):
    for name, (_, table) in family(key).items():
        ring = table[1:] + table[:1]
        assert max(map(math.dist, table, ring)) <= 0.17, name
        assert max(math.hypot(*entry) for entry in table) <= 1.20, name
        for axis in range(3):
            assert abs(math.fsum(entry[axis] for entry in table) / len(table)) < 0.25, name


def cells(table):
    return {tuple(math.floor(c * 8) for c in entry) for entry in table}


@pytest.mark.parametrize("key", ROSTER)
def test_members_of_a_family_trace_visibly_different_paths(key):
    covered = {name: cells(table) for name, (_, table) in family(key).items()}
    for a, b in itertools.combinations(covered, 2):
        shared = len(covered[a] & covered[b]) / len(covered[a] | covered[b])
        assert shared < 0.75, (a, b)


@pytest.mark.parametrize("pair", PAIRS)
def test_deep_ribbons_lean_far_further_into_depth_than_slim_ones(pair):
    slim, deep = (family("ribbon")[f"ribbon_{pair}_{kind}"][1] for kind in ("slim", "deep"))
    assert peak(deep, 2) > 3 * peak(slim, 2)


@pytest.mark.parametrize("pair", PAIRS)
def test_surface_paths_use_every_axis_and_wide_ones_climb_higher(pair):
    low, wide = (family("surface")[f"surface_{pair}_{kind}"][1] for kind in ("low", "wide"))
    assert min(peak(low, axis) for axis in range(3)) > 0.3
    assert peak(wide, 1) > peak(low, 1) + 0.2


def picture_plane_crossings(table):
    """Depth gaps at every point where the x-y path crosses itself (segments, seam included)."""
    n = len(table)
    segments = [(table[k], table[(k + 1) % n]) for k in range(n)]
    buckets = {}
    for i, (p, q) in enumerate(segments):
        spans = (
            range(math.floor(min(p[a], q[a]) * 20), math.floor(max(p[a], q[a]) * 20) + 1)
            for a in (0, 1)
        )
        for cell in itertools.product(*spans):
            buckets.setdefault(cell, []).append(i)
    gaps = {}
    for members in buckets.values():
        for i, j in itertools.combinations(sorted(members), 2):
            if j - i in (1, n - 1):
                continue
            (p, q), (r, s) = segments[i], segments[j]
            det = (q[0] - p[0]) * (s[1] - r[1]) - (q[1] - p[1]) * (s[0] - r[0])
            if det == 0.0:
                continue
            u = ((r[0] - p[0]) * (s[1] - r[1]) - (r[1] - p[1]) * (s[0] - r[0])) / det
            v = ((r[0] - p[0]) * (q[1] - p[1]) - (r[1] - p[1]) * (q[0] - p[0])) / det
            if 0.0 <= u < 1.0 and 0.0 <= v < 1.0:
                gaps[i, j] = abs(p[2] + u * (q[2] - p[2]) - r[2] - v * (s[2] - r[2]))
    return list(gaps.values())


@pytest.mark.parametrize("pair", BRAIDS)
def test_braid_strands_cross_over_and_under_each_other(pair):
    # a passes round the ring with b windings: one loop per winding and b crossings on each of
    # the other a - 1 passes, a*b in all, and at each the strands pass clear of each other.
    a, b = map(int, pair.split("_"))
    gaps = picture_plane_crossings(family("braid")[f"braid_{pair}"][1])
    assert len(gaps) == a * b
    assert min(gaps) > 0.1


def test_each_silhouette_formula_fact_rejects_its_neighbours_table():
    members = list(family("silhouette_harmonic").values())
    for (pattern, _), (_, other) in zip(members, members[1:] + members[:1], strict=True):
        with pytest.raises(CheckError, match="closed form"):
            pattern.facts[0](other)
