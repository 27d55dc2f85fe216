"""Spreads across fixtures, axis mapping, DMX levels and the speed check."""

import math
import warnings
from fractions import Fraction

import motiloom
import numpy as np
import pytest

from motiloom_kit import AxisRange, Head, SpeedWarning, coarse_fine, dmx8, dmx16, pattern
from motiloom_kit.spread import phase_offsets, spread


@pytest.mark.parametrize("mode", ["even", "reverse", "wings", "position"])
@pytest.mark.parametrize(("name", "count"), [("circle", 4), ("helix", 5), ("lfo_breathe", 3)])
def test_fixture_k_is_the_pattern_at_its_own_phase(name, count, mode):
    positions = [2.5 * k for k in range(count)] if mode == "position" else None
    offsets = phase_offsets(count, mode, amount=Fraction(1, 2), positions=positions)
    pips = np.array([-(2**40) + 3, -65, -1, 0, 1, 33, 2**31 + 17])
    rows = spread(pattern(name), count, pips, mode=mode, amount=Fraction(1, 2), positions=positions)
    assert rows.shape == (count, len(pips), 3)
    period = pattern(name).period
    for k, offset in enumerate(offsets):
        where = [math.floor(p + offset * period) % period for p in pips.tolist()]
        expected = [list(motiloom.sample(name, w).as_tuple()) for w in where]
        assert rows[k].tolist() == expected


@pytest.mark.parametrize("count", [1, 2, 4, 5, 8])
def test_spread_shapes(count):
    even = phase_offsets(count, "even")
    assert even == sorted(even) and even[0] == 0 and max(even) < 1
    assert phase_offsets(count, "reverse") == even[::-1]
    wings = phase_offsets(count, "wings")
    assert wings == wings[::-1] and wings[0] == 0
    # Evenly spaced fixtures, wherever they hang, get the even spread.
    assert phase_offsets(count, "position", positions=[3 + 0.5 * k for k in range(count)]) == even


@pytest.mark.parametrize(
    ("args", "kwargs"),
    [((0,), {}), ((3, "diagonal"), {}), ((3, "position"), {}),
     ((2, "position"), {"positions": [1, 1]}), ((2, "even"), {"positions": [0, 1]})],
)  # fmt: skip
def test_bad_spreads_are_refused(args, kwargs):
    with pytest.raises(ValueError):
        phase_offsets(*args, **kwargs)


EDGES = np.array([[-1.0, -1.0, 0.0], [1.0, 1.0, 0.0], [0.0, 0.0, 0.0]])


def test_dmx_edges():
    assert dmx16([-1.0, 1.0, 0.0]).tolist() == [0, 65535, 32768]
    assert dmx8([-1.0, 1.0, 0.0]).tolist() == [0, 255, 128]
    assert coarse_fine([0, 255, 256, 65535]).tolist() == [[0, 0], [0, 255], [1, 0], [255, 255]]
    head = Head()
    assert head.dmx16(EDGES[:2]).tolist() == [[0, 0, 0, 0], [255, 255, 255, 255]]
    assert head.dmx8(EDGES[:2]).tolist() == [[0, 0], [255, 255]]
    assert head.degrees(EDGES).tolist() == [[0, 0], [540, 270], [270, 135]]


@pytest.mark.parametrize("bad", [[1.0000001], [-2.0], [float("nan")]])
def test_dmx_refuses_values_outside_the_range(bad):
    with pytest.raises(ValueError):
        dmx16(bad)
    with pytest.raises(ValueError):
        dmx8(bad)


def test_axis_centre_size_invert_swap_and_clip():
    pan = AxisRange("x", 0, 540, centre=180, size=90, invert=True)
    assert pan.values(EDGES).tolist() == [225, 135, 180]
    wide = AxisRange("y", -10, 10, size=80)
    assert wide.values(EDGES).tolist() == [-10, 10, 0]  # the axis stops at its ends
    swapped = Head().swapped()
    assert (swapped.pan.component, swapped.tilt.component) == ("y", "x")
    for bad in [dict(low=5, high=5), dict(low=0, high=1, centre=2), dict(low=0, high=1, size=0)]:
        with pytest.raises(ValueError):
            AxisRange("x", **bad)


@pytest.mark.parametrize(("name", "bpm", "rate"), [("circle", 128, 1), ("helix", 174, 2)])
def test_peak_speed_and_fitting(name, bpm, rate):
    subject = pattern(name, rate=rate)
    xs = [motiloom.sample(name, k).x for k in range(subject.period + 1)]
    fastest = max(abs(b - a) for a, b in zip(xs, xs[1:], strict=False)) * 270 * bpm * 64 / 60 * rate
    pan, _ = Head().speeds(subject, bpm)
    assert pan.peak == pytest.approx(fastest, rel=1e-12)
    limit = fastest / 3
    with pytest.warns(SpeedWarning, match=f"{name} at {bpm} BPM asks"):
        fitted = Head().fitted(subject, bpm, limit)
    assert all(s.peak <= limit * (1 + 1e-12) for s in fitted.speeds(subject, bpm))
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        assert Head().fitted(subject, bpm, fastest * 2) == Head()
