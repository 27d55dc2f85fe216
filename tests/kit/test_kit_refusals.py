"""Inputs the kit must refuse or get right: extreme frame numbers, hand-made pip times, positions
and speed limits that are not numbers, and exact numbers too large to make."""

import math
import subprocess
import sys
import textwrap
from decimal import Decimal
from fractions import Fraction

import numpy as np
import pytest

from motiloom_kit import Clock, Head, PipTimes, pattern

INT64_MIN = -(2**63)
INT64_MAX = 2**63 - 1


@pytest.mark.parametrize(
    "frames",
    [[INT64_MIN, 5], [INT64_MIN], [INT64_MAX, -1], [-(2**62), 0]],
)
def test_frames_whose_pips_leave_int64_are_refused(frames):
    # At 120 BPM and 60 fps a frame is 32/15 pips: the largest of each lies beyond int64.
    assert max(abs(f) for f in frames) * 32 // 15 >= 2**63
    with pytest.raises(ValueError, match="int64"):
        Clock(120).frame_times(60, np.array(frames, dtype=np.int64))


def test_extreme_frames_within_range_are_exact():
    frames = np.array([-(2**58), 2**58, -1, 0], dtype=np.int64)
    times = Clock(120).frame_times(60, frames)
    assert times.whole.tolist() == [f * 32 // 15 for f in frames.tolist()]


GOOD = (np.array([0, 1]), np.array([0.0, 0.5]), np.array([0.0, 0.01]))


@pytest.mark.parametrize(
    ("part", "value", "error"),
    [
        (1, [math.nan, 0.0], ValueError),
        (1, [0.0, 1.0], ValueError),
        (1, [-0.25, 0.0], ValueError),
        (1, [0.0, math.inf], ValueError),
        (2, [0.0, math.nan], ValueError),
        (2, [0.0, -math.inf], ValueError),
        (0, [0.0, 1.0], TypeError),
        (0, [0, 1, 2], ValueError),
        (0, np.array([0, 2**64 - 1], dtype=np.uint64), ValueError),
    ],
)
def test_hand_made_pip_times_are_held_to_what_a_clock_makes(part, value, error):
    parts = list(GOOD)
    parts[part] = np.asarray(value)
    with pytest.raises(error):
        PipTimes(*parts)


def test_good_hand_made_pip_times_render_like_a_clock():
    times = PipTimes(*GOOD)
    circle = pattern("circle")
    assert np.array_equal(
        circle.render(times, "linear"), circle.render(np.array([0.0, 1.5]), "linear")
    )


@pytest.mark.parametrize("bad", [math.nan, math.inf, -math.inf])
@pytest.mark.parametrize("axis", [0, 1])
@pytest.mark.parametrize("output", ["degrees", "dmx8", "dmx16"])
def test_a_head_refuses_positions_that_are_not_finite(output, axis, bad):
    positions = np.zeros((4, 3))
    positions[2, axis] = bad
    with pytest.raises(ValueError, match="finite"):
        getattr(Head(), output)(positions)


def test_a_head_ignores_the_component_it_does_not_use():
    positions = np.array([[1.0, -1.0, math.nan]])
    assert Head().degrees(positions).tolist() == [[540.0, 0.0]]


@pytest.mark.parametrize("limit", [math.nan, -1.0, -1e-300])
@pytest.mark.parametrize("name", ["circle", "lfo_breathe"])  # lfo_breathe's tilt stands still
def test_a_speed_limit_must_be_a_speed(name, limit):
    with pytest.raises(ValueError, match="limit"):
        Head().speeds(pattern(name), 128, limit=limit)


@pytest.mark.parametrize(("limit", "fit"), [(0.0, 0.0), (math.inf, 1.0)])
def test_speed_limits_at_the_ends(limit, fit):
    pan, _ = Head().speeds(pattern("circle"), 128, limit=limit)
    assert pan.fit == fit
    _, tilt = Head().speeds(
        pattern("lfo_breathe"), 128, limit=0.0
    )  # y never moves: nothing to shrink
    assert tilt.peak == 0.0 and tilt.fit == 1.0


# Each of these made a Fraction of a billion digits (hours); a child process bounds the wait.
HUGE = {
    "rate text": "pattern('circle').with_rate('1e999999999')",
    "rate text, negative power": "pattern('circle').with_rate('1E-999999999')",
    "rate text with underscores": "pattern('circle').with_rate('1e9_999_999')",
    "tempo Decimal": "Clock(Decimal('1e999999999'))",
    "tempo Decimal, negative power": "Clock(Decimal('5e-999999999'))",
    "origin text": "Clock(120, '2.5e999999999')",
    "phase text": "pattern('circle', phase_beats='1e999999999')",
    "seconds text": "Clock(120).pip('1e999999999')",
}


@pytest.mark.parametrize("call", list(HUGE))
def test_numbers_too_large_to_make_exactly_are_refused_at_once(call):
    code = f"""
        from decimal import Decimal
        from motiloom_kit import Clock, pattern
        try:
            {HUGE[call]}
        except ValueError as error:
            print(error)
    """
    done = subprocess.run(
        [sys.executable, "-P", "-c", textwrap.dedent(code)],
        capture_output=True,
        text=True,
        timeout=60,
    )
    assert done.returncode == 0, done.stderr
    assert "at most 1000 digits" in done.stdout


@pytest.mark.parametrize(
    ("value", "expected"),
    [
        ("1e1000", 10**1000),
        ("-2.5e-3", Fraction(-1, 400)),
        (Decimal("1e-1000"), Fraction(1, 10**1000)),
    ],
    ids=["1e1000", "-2.5e-3", "Decimal 1e-1000"],
)
def test_large_but_bounded_numbers_are_exact(value, expected):
    assert Clock(120, value).origin_seconds == expected


@pytest.mark.parametrize("text", ["1/0", "3/0", " 0/0 "])
def test_a_division_by_zero_is_a_value_error(text):
    with pytest.raises(ValueError, match="divides by zero"):
        pattern("circle").with_rate(text)


@pytest.mark.parametrize("origin", [Fraction(1, 3**45), Fraction(1, 2**60)])
def test_a_position_just_below_a_pip_keeps_a_fraction_below_one(origin):
    # Pip 0 a hair after 0 s: time 0 lies a hair below pip 0, on pip -1 with almost all of it
    # passed; as a float that fraction rounds to 1.0, which would name pip 0.
    clock = Clock(120, origin_seconds=origin)
    for times in (clock.frame_times(60, np.array([0])), clock.times([0.0])):
        assert times.whole.tolist() == [-1]
        assert 0.99 < times.fraction[0] < 1.0
