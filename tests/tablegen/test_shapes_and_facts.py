"""The shape toolkit every pack is authored with, and the facts families attach to patterns."""

from __future__ import annotations

import math

import pytest
from hypothesis import given
from hypothesis import strategies as st
from tablegen import facts, shapes
from tablegen.bake import bake
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


def test_pulse_is_a_raised_cosine_and_exactly_zero_outside():
    assert shapes.pulse(0.0, 0.8, 12) == 0.8
    assert shapes.pulse(6.0, 0.8, 12) == pytest.approx(0.4)
    assert shapes.pulse(12.0, 0.8, 12) == 0.0 and shapes.pulse(-12.5, 0.8, 12) == 0.0


def test_pulse_train_wraps_around_the_seam_and_adds_overlaps():
    train = shapes.pulse_train(
        [shapes.onset(0, 1.0, width=8), shapes.onset(250, 0.5, width=8)], 256
    )
    assert train(252) == train(-4)  # the pulse at 0 reaches back across the seam
    assert train(252)[0] == pytest.approx(shapes.pulse(-4, 1.0, 8) + shapes.pulse(2, 0.5, 8))
    assert train(128) == (0.0,)
    # a fractional onset time peaks between pips
    third = shapes.pulse_train([shapes.onset(256 / 3, 0.78, width=24)], 256)
    assert third(85)[0] < 0.78 and third(86)[0] < 0.78 and third(85)[0] > 0.7


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


TABLE = [(0.0, 0.0, 0.0), (0.5, -0.25, 0.0), (0.8, 0.0, 0.0), (0.0, 0.0, 0.0)]


@pytest.mark.parametrize(
    "fact",
    [
        facts.value_at(1, 0.5, -0.25),
        facts.peaks(0.8, 0.25, exact="x"),
        facts.constant_over(2, 2, (0.8, 0.0, 0.0)),
        facts.origin_at(3),
        facts.formula(lambda k: TABLE[k]),
    ],
)
def test_facts_accept_a_table_that_holds_them(fact):
    fact(TABLE)


@pytest.mark.parametrize(
    "fact",
    [
        facts.value_at(1, 0.5, -0.2),
        facts.peaks(0.8, 0.3),
        facts.peaks(0.79999, exact="x"),
        facts.constant_over(0, 2, (0.0, 0.0, 0.0)),
        facts.origin_at(1),
        facts.formula(lambda k: (TABLE[k][0] + 1e-9, TABLE[k][1], 0.0)),
    ],
)
def test_facts_reject_a_table_that_breaks_them(fact):
    with pytest.raises(CheckError):
        fact(TABLE)
