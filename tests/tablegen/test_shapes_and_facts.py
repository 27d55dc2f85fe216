"""The shape toolkit every pack is authored with, and the facts families attach to patterns."""

from __future__ import annotations

import math
from pathlib import Path

import pytest
from hypothesis import given
from hypothesis import strategies as st
from tablegen import facts, shapes
from tablegen.bake import bake
from tablegen.load import load_pack
from tablegen.model import CheckError, Pattern

unit = st.floats(0.0, 1.0)


@pytest.mark.parametrize("ease", [shapes.smoothstep, shapes.smootherstep])
def test_eases_run_from_zero_to_one_flat_at_both_ends(ease):
    assert ease(0.0) == 0.0 and ease(1.0) == 1.0 and ease(0.5) == 0.5
    h = 1e-6
    assert ease(h) / h < 1e-3 and (1.0 - ease(1.0 - h)) / h < 1e-3


@given(unit, unit)
def test_eases_rise_monotonically(a, b):
    lo, hi = min(a, b), max(a, b)
    assert shapes.smoothstep(lo) <= shapes.smoothstep(hi)
    assert shapes.smootherstep(lo) <= shapes.smootherstep(hi)


def test_keyframes_hold_exactly_and_close_the_loop():
    path = shapes.keyframes([(0, (0.0, -0.5)), (64, (0.8, 0.2)), (128, (0.8, 0.2))], 256)
    assert path(64) == (0.8, 0.2) and path(100) == (0.8, 0.2) and path(128) == (0.8, 0.2)
    assert path(0) == path(256) == (0.0, -0.5)
    # the closing segment eases from the last keyframe back to the first
    assert path(192) == pytest.approx((0.4, -0.15), abs=1e-15)
    assert path(-1) == path(255)


@pytest.mark.parametrize(
    "frames",
    [[], [(10, 0.0), (10, 1.0)], [(0, 0.0), (256, 1.0)], [(0, (0.0, 1.0)), (8, 1.0)]],
)
def test_keyframes_refuse_malformed_paths(frames):
    with pytest.raises(ValueError):
        shapes.keyframes(frames, 256)


def raised(d: float, amplitude: float, width: float) -> float:
    """The raised cosine written out on its own."""
    return amplitude * (1 + math.cos(math.pi * d / width)) / 2 if abs(d) < width else 0.0


def test_an_onset_is_a_raised_cosine_exactly_at_its_amplitude_and_zero_outside():
    stroke = shapes.hit_sum([shapes.onset(100, 0.8, -0.3, width=12)], 256)
    assert stroke(100) == (0.8, -0.3, 0.0)
    assert stroke(106)[0] == pytest.approx(0.4) and stroke(94) == stroke(106)
    assert stroke(112) == stroke(88) == stroke(0) == (0.0, 0.0, 0.0)


def test_onsets_wrap_around_the_seam_and_add_overlaps():
    train = shapes.hit_sum([shapes.onset(0, 1.0, width=8), shapes.onset(250, 0.5, width=8)], 256)
    assert train(252) == train(-4)  # the pulse at 0 reaches back across the seam
    assert train(252)[0] == pytest.approx(raised(-4, 1.0, 8) + raised(2, 0.5, 8))
    assert train(128) == (0.0, 0.0, 0.0)
    # a fractional onset time peaks between pips, equally either side of it
    third = shapes.hit_sum([shapes.onset(256 / 3, 0.78, width=24)], 256)
    assert third(85)[0] < 0.78 and third(86)[0] < 0.78 and third(85)[0] > 0.7
    assert third(85)[0] == pytest.approx(raised(85 - 256 / 3, 0.78, 24), abs=1e-15)


@pytest.mark.parametrize("time", [0.0, 31.0, 64 / 3, 255.5])
def test_an_onset_measures_its_distances_as_cyclic_distance_does(time):
    """One event model serves every pack: a raised-cosine hit sees each pip at the distance
    cyclic_distance gives, bit for bit, whichever side of the seam it lies."""
    for k in range(256):
        d = shapes.cyclic_distance(k, time, 256)
        if abs(d) < 24:
            assert shapes.since(k, time, 256, 24) == d


def test_euclid_steps_and_nearest_pip():
    assert shapes.euclid_steps(3, 8) == [0, 3, 6]
    assert shapes.euclid_steps(5, 13) == [0, 3, 6, 8, 11]
    assert [shapes.nearest_pip(256 * i / 12) for i in range(12)] == [
        0,
        21,
        43,
        64,
        85,
        107,
        128,
        149,
        171,
        192,
        213,
        235,
    ]


def test_closed_spline_passes_through_its_points_and_is_smooth_at_the_seam():
    points = [(0, (0.2, -0.1)), (100, (0.7, 0.3)), (300, (-0.4, 0.6)), (700, (-0.5, -0.5))]
    spline = shapes.closed_spline(points, 1024)
    for t, value in points:
        assert spline(t) == pytest.approx(value, abs=1e-15)
    h = 1e-4
    for axis in range(2):
        left = (spline(1024)[axis] - spline(1024 - h)[axis]) / h
        right = (spline(h)[axis] - spline(0)[axis]) / h
        assert left == pytest.approx(right, rel=1e-3)


def test_hashed_points_are_deterministic_ordered_and_bounded():
    a = shapes.hashed_points("drift", 9, 1024, jitter=0.3)
    assert a == shapes.hashed_points("drift", 9, 1024, jitter=0.3)
    assert a != shapes.hashed_points("drift2", 9, 1024, jitter=0.3)
    times = [t for t, _ in a]
    assert times == sorted(times) and times[0] == 0.0 and times[-1] < 1024
    assert all(-1.0 <= v < 1.0 for _, v in a)
    # independent of Python's per-process string hashing: a fixed digest gives a fixed value
    assert shapes.hashed_unit("a") == int("ca978112ca1bbdca", 16) / 2.0**63 - 1.0


def test_half_pip_grid_finds_a_peak_between_pips():
    # a sine whose crest falls half-way between two pips
    lane = lambda k: math.cos(math.tau * (k - 0.5) / 64)  # noqa: E731
    assert shapes.lane_peak(lane, 64) < 1.0
    assert shapes.lane_peak(lane, 64, shapes.HALF_PIP) == 1.0
    pattern = Pattern("halfpip", "d", 64, 1, lambda k: (lane(k),), peak=0.82, peak_grid=2)
    assert max(abs(x) for x, _, _ in bake(pattern)) < 0.82


def test_bake_normalises_all_axes_by_one_factor_and_rounds():
    pattern = Pattern("ellipse", "d", 64, 2, lambda k: (2 * math.cos(k), math.sin(k)), peak=0.8)
    table = bake(pattern)
    assert max(abs(v[0]) for v in table) == 0.8
    assert table[1][1] == round(0.4 * math.sin(1), 12)  # y scaled by the same factor
    assert all(v[2] == 0.0 and math.copysign(1, v[2]) == 1 for v in table)


# A 16-pip table for the facts: a positive x/y pulse around pip 3, silence over pips 6-11, and a
# negative x pulse around pip 14 that reaches across the seam to pips 0 and 15.
X = [-0.2, 0.2, 0.5, 0.8, 0.5, 0.2, 0, 0, 0, 0, 0, 0, -0.2, -0.5, -0.6, -0.5]
Y = [0, -0.1, -0.25, -0.4, -0.25, -0.1] + [0] * 10
TABLE = [(float(x), float(y), 0.0) for x, y in zip(X, Y, strict=True)]
OVER = facts.ROUNDING_TOLERANCE + 1e-12  # just beyond what the 12-decimal rounding explains


def changed(pip, axis, value):
    table = list(TABLE)
    entry = list(table[pip])
    entry["xyz".index(axis)] = value
    table[pip] = tuple(entry)
    return table


# Each case: a fact that TABLE holds, and the smallest change of one component that breaks it.
@pytest.mark.parametrize(
    "fact, pip, axis, value",
    [
        (facts.value_at(3, 0.8, -0.4), 3, "y", -0.4 + 1e-12),
        (facts.near(14, x=-0.6, tol=0.01), 14, "x", -0.61 - 1e-12),
        (facts.peaks(0.8, 0.4), 14, "x", -0.80005 - 1e-12),  # 0.8001 to four figures
        (facts.peaks(0.8, 0.4), 3, "x", 0.79995 - 1e-12),
        (facts.peaks(0.8, 0.4, exact="xy"), 3, "y", -0.4 + 1e-12),
        (facts.peaks(0.8, 0.4, exact="xy"), 13, "x", -0.8 - 1e-12),
        (facts.formula(lambda k: TABLE[k]), 7, "x", OVER),
        (facts.formula(lambda k: TABLE[k]), 3, "x", 0.8 - OVER),
        (facts.formula(lambda k: TABLE[k][:2]), 5, "z", OVER),  # unnamed components are 0
        (facts.constant_over(6, 11, (0.0, 0.0, 0.0)), 11, "z", 1e-12),  # the end pip counts
        (facts.constant_over(6, 11, 0.0), 6, "x", -1e-12),
        (facts.zero_except_near([3, 14], 3), 6, "x", 1e-12),  # pip 6 is 3 pips from 3: outside
        (facts.zero_except_near([(3, 3), (14, 3)]), 11, "y", -1e-12),
        (facts.extremum_at(3, "x", "max"), 2, "x", 0.8),  # a tie before is no maximum
        (facts.extremum_at(3, "x", "max"), 4, "x", 0.8 + 1e-12),
        (facts.extremum_at(14, "x", "min"), 15, "x", -0.6 - 1e-12),
        (facts.largest_at(3, "x"), 14, "x", -0.8),  # a tie elsewhere
        (facts.monotone_over(3, 14, "x", rising=False), 14, "x", -0.5 + 1e-12),
        (facts.monotone_over(14, 19, "x", rising=True), 3, "x", 0.5 - 1e-12),  # across the seam
        (facts.origin_at(8), 8, "z", 1e-12),
    ],
)
def test_facts_hold_on_the_table_and_fail_on_the_smallest_break(fact, pip, axis, value):
    fact(TABLE)
    with pytest.raises(CheckError):
        fact(changed(pip, axis, value))


PACKS = Path(__file__).resolve().parents[2] / "src" / "catalogue" / "packs"


def is_formula(fact):
    return fact.__qualname__.startswith("formula.")


def formula_patterns():
    # The first two packs' closed forms; later packs test their own facts beside their families.
    return [
        pattern
        for pack in (load_pack(PACKS, "initial"), load_pack(PACKS, "expansion"))
        for family in pack.families
        for pattern in family.patterns
        if any(is_formula(fact) for fact in pattern.facts)
    ]


FORMULA_PATTERNS = formula_patterns()


def test_every_closed_form_table_is_checked_against_its_formula():
    closed_forms = {
        "lfo_breathe",
        "lfo_flower",
        "lfo_breathing_orbit",
        "path_lissajous_2_3",
        "path_rose_4",
        "path_rose_5",
        "path_woven_3d",
        "path_torus_knot",
        "lfo_triplet_wobble",
        "lfo_pendulum_dwell",
        "path_bowed_diamond",
        "path_orbit_dwell",
        "path_crank_slider",
    }
    assert closed_forms <= {pattern.name for pattern in FORMULA_PATTERNS}


@pytest.mark.parametrize("pattern", FORMULA_PATTERNS, ids=lambda p: p.name)
def test_pack_formula_facts_reject_an_entry_off_by_a_billionth(pattern):
    table = bake(pattern)
    formulas = [fact for fact in pattern.facts if is_formula(fact)]
    for fact in formulas:
        fact(table)
    pip = pattern.period // 3
    x, y, z = table[pip]
    table[pip] = (x + 1e-9, y, z)
    for fact in formulas:
        with pytest.raises(CheckError):
            fact(table)
