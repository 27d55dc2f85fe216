"""Clock: seconds and frames to pips, exactly, far from the origin and before it."""

import math
from fractions import Fraction

import numpy as np
import pytest

from motiloom_kit import Clock, bars_to_pips, beats_to_pips


def exact_positions(bpm, fps, frames, start=Fraction(0), origin=Fraction(0)):
    """Frame n shows start + n / fps seconds; a second holds bpm * 64 / 60 pips."""
    return [(start + Fraction(n) / fps - origin) * bpm * 64 / 60 for n in frames]


@pytest.mark.parametrize(
    ("bpm", "fps", "seconds"),
    [(174, 60, 600), (128, 44, 30), (Fraction(1743, 10), Fraction(30000, 1001), 600), (90, 25, 7)],
)
def test_every_frame_of_a_run_is_exact(bpm, fps, seconds):
    times = Clock(bpm).frames(fps, seconds)
    count = math.ceil(Fraction(seconds) * Fraction(fps))
    assert len(times) == count
    expected = exact_positions(Fraction(bpm), Fraction(fps), range(count))
    assert times.whole.tolist() == [math.floor(p) for p in expected]
    assert times.fraction.tolist() == [float(p - math.floor(p)) for p in expected]
    assert times.whole[-1] == math.floor(expected[-1])  # the last frame of the run


@pytest.mark.parametrize(
    ("bpm", "seconds", "pip"),
    [(100, 0.3, 32), (100, -0.3, -32), (120, -0.001, -1), (174, 600, 111360), (60, 1e-9, 0)],
)
def test_floats_are_read_as_written_and_floored(bpm, seconds, pip):
    # 0.3 s at 100 BPM is 32 pips exactly; its binary value would floor to 31 (or -33).
    clock = Clock(bpm)
    assert clock.pip(seconds) == pip
    assert clock.times([seconds]).whole.tolist() == [pip]


def test_origin_and_negative_times():
    clock = Clock(120, origin_seconds=10)
    assert clock.pip(10) == 0 and clock.pip(9.999) == -1 and clock.pip(0) == -1280
    assert clock.seconds_at(-1280) == 0 and clock.seconds_at(Fraction(1, 2)) == Fraction(2561, 256)
    frames = np.array([-601, -600, -1, 0, 1])
    times = clock.frame_times(60, frames, start_seconds=10)
    expected = exact_positions(
        Fraction(120), Fraction(60), frames.tolist(), Fraction(10), Fraction(10)
    )
    assert times.whole.tolist() == [math.floor(p) for p in expected]


@pytest.mark.parametrize(
    ("origin", "start"),
    [(0, "1733000000.5"), (Fraction(1, 3**45), 0), ("-1e9", "1e9")],
    ids=["wall-clock", "fine-origin", "both-far"],
)
def test_far_times_and_fine_origins(origin, start):
    clock = Clock(Fraction(349, 2), origin_seconds=origin)
    frames = np.array([0, 1, 59, 2**20], dtype=np.int64)
    times = clock.frame_times(Fraction(60), frames, start_seconds=start)
    expected = exact_positions(
        Fraction(349, 2), Fraction(60), frames.tolist(), Fraction(start), Fraction(origin)
    )
    assert times.whole.tolist() == [math.floor(p) for p in expected]
    assert np.allclose(times.fraction, [float(p - math.floor(p)) for p in expected], atol=1e-12)


def test_beats_bars_and_durations():
    clock = Clock(128)
    assert clock.duration(bars=16) == 30
    assert (
        clock.beats(30) == 64
        and clock.bars(30) == 16
        and clock.bars(30, beats_per_bar=3) == Fraction(64, 3)
    )
    assert beats_to_pips(Fraction(3, 2)) == 96 and bars_to_pips(2, beats_per_bar=7) == 896


@pytest.mark.parametrize(
    ("call", "error"),
    [
        (lambda: Clock(0), ValueError),
        (lambda: Clock(-120), ValueError),
        (lambda: Clock(float("nan")), ValueError),
        (lambda: Clock(True), TypeError),
        (lambda: Clock(120, origin_seconds=float("inf")), ValueError),
        (lambda: Clock(120).frames(0, 10), ValueError),
        (lambda: Clock(120).frames(60, -1), ValueError),
        (lambda: Clock(120).frame_times(60, [0.5]), TypeError),
        (lambda: Clock("fast"), ValueError),
    ],
)
def test_bad_input_is_refused(call, error):
    with pytest.raises(error):
        call()
