"""Many patterns and many heads at once: the frame path against one pattern and one head at a
time, and spreads written into one output."""

from fractions import Fraction

import motiloom
import numpy as np
import pytest

from motiloom_kit import AxisRange, Clock, Head, Heads, LevelTable, Patterns, pattern
from motiloom_kit.spread import spread

# A caller's loop holding -0.0, which interpolation must keep at whole pips.
WAVE = motiloom.SampledPattern(
    "frame_wave", "", [[k / 50 - 1, -0.0 if k % 3 else 0.5, 0.0] for k in range(101)]
)


def bits(values):
    return np.ascontiguousarray(values, dtype=np.float64).view(np.int64)


def mixed_patterns():
    """Procedural, baked and caller patterns at rates and phases that take every path."""
    return [
        pattern("circle"),
        pattern("helix", rate="1/3", phase_beats=Fraction(1, 3)),
        pattern("lfo_breathe", rate=Fraction(3, 2)),
        pattern(WAVE, rate=2, phase_beats=5),
        pattern("beat_dembow_step", rate="dotted").with_phase(loop=Fraction(1, 7)),
        pattern(WAVE),
        pattern("circle").with_phase(beats=2),
    ]


PIPS = {
    "int64": np.array([-(2**62), -(2**31) - 1, -65, -1, 0, 1, 63, 64, 999, 2**40 + 3]),
    "python ints": np.array([10**30 + 1, -(10**25) - 3, 5], dtype=object),
    "floats": np.array([-1000.25, -0.5, 0.0, 0.5, 1.75, 63.999, 2.0**60]),
    "clock": Clock(174, origin_seconds=-3).frames(60, 2),
}


@pytest.mark.parametrize("interpolate", ["none", "linear"])
@pytest.mark.parametrize("pips", PIPS.values(), ids=PIPS.keys())
@pytest.mark.parametrize("plain", [False, True], ids=["mixed", "plain"])
def test_patterns_render_what_each_pattern_renders(pips, interpolate, plain):
    chosen = mixed_patterns()
    if plain:  # rate 1 and whole-pip phases only: the short path
        chosen = [p for p in chosen if p.rate == 1 and p.phase.denominator == 1]
    together = Patterns(chosen).render(pips, interpolate)
    assert together.shape == (len(pips), len(chosen), 3)
    for k, subject in enumerate(chosen):
        assert np.array_equal(bits(together[:, k]), bits(subject.render(pips, interpolate))), k


def test_patterns_whose_loops_share_no_small_multiple():
    # Rates over distinct primes: no int64 number is a multiple of every loop's length.
    primes = [101, 103, 107, 109, 113, 127, 131, 137, 139, 149]
    chosen = [pattern("helix", rate=Fraction(1, p), phase_beats=Fraction(1, 5)) for p in primes]
    together = Patterns(chosen)
    for pips in [PIPS["int64"], PIPS["python ints"], PIPS["floats"]]:
        rows = together.render(pips, "linear")
        for k, subject in enumerate(chosen):
            assert np.array_equal(bits(rows[:, k]), bits(subject.render(pips, "linear")))


def test_patterns_render_into_a_given_array_and_refuse_a_wrong_one():
    chosen = Patterns(mixed_patterns())
    out = np.full((3, len(chosen), 3), np.nan)
    assert chosen.render([1, 2, 3], out=out) is out and not np.isnan(out).any()
    for bad in [np.empty((3, 2, 3)), np.empty((3, len(chosen), 3), dtype=np.float32)]:
        with pytest.raises(ValueError):
            chosen.render([1, 2, 3], out=bad)
    with pytest.raises(ValueError):
        Patterns([])
    with pytest.raises(TypeError):
        Patterns(["circle"])


HEADS = [
    Head(),
    Head().swapped(),
    Head(AxisRange("x", 0, 540, centre=180, size=90, invert=True), AxisRange("z", -135, 135)),
    Head(AxisRange("y", 10, 20, size=80), AxisRange("x", 0, 360, centre=0.0)),
]


def test_heads_give_what_each_head_gives():
    rng = np.random.default_rng(3)
    positions = rng.uniform(-1.2, 1.2, size=(50, len(HEADS), 3))
    positions[0] = [[-1, -1, -1], [1, 1, 1], [0, 0, 0], [0.5, -0.5, 1]][: len(HEADS)]
    heads = Heads(HEADS)
    degrees, dmx8, dmx16 = heads.degrees(positions), heads.dmx8(positions), heads.dmx16(positions)
    for k, head in enumerate(HEADS):
        assert np.array_equal(degrees[:, k], head.degrees(positions[:, k]))
        assert np.array_equal(dmx8[:, k], head.dmx8(positions[:, k]))
        assert np.array_equal(dmx16[:, k], head.dmx16(positions[:, k]))


@pytest.mark.parametrize("head", HEADS, ids=range(len(HEADS)))
def test_levels_follow_the_degrees(head):
    """A level is the degrees' place in the range, rounded half up; 16-bit levels split into
    coarse and fine bytes."""
    positions = np.random.default_rng(5).uniform(-1.5, 1.5, size=(400, 3))
    positions[:3] = [[-1, -1, -1], [1, 1, 1], [0, 0, 0]]
    degrees = head.degrees(positions)
    low = np.array([head.pan.low, head.tilt.low])
    span = np.array([head.pan.high, head.tilt.high]) - low
    for top, levels in [(255, head.dmx8(positions).astype(int)),
                        (65535, head.dmx16(positions).astype(int))]:  # fmt: skip
        if top == 65535:
            levels = levels[:, 0::2] * 256 + levels[:, 1::2]
        assert np.all(np.abs(levels - ((degrees - low) / span * top)) <= 0.5 + 1e-6)
        assert levels.min() >= 0 and levels.max() <= top


@pytest.mark.parametrize("bad", [np.nan, np.inf, -np.inf])
def test_heads_refuse_positions_that_are_not_finite(bad):
    positions = np.zeros((2, len(HEADS), 3))
    positions[1, 2, 0] = bad
    for convert in (Heads(HEADS).degrees, Heads(HEADS).dmx8, Heads(HEADS).dmx16):
        with pytest.raises(ValueError, match="finite"):
            convert(positions)
    with pytest.raises(ValueError, match="finite"):
        Head().dmx16([bad, 0.0, 0.0])
    with pytest.raises(ValueError):
        Heads(HEADS).dmx16(np.zeros((2, 3)))


@pytest.mark.parametrize("interpolate", ["none", "linear"])
@pytest.mark.parametrize(
    "subject",
    [pattern("helix", rate="3/2", phase_beats=Fraction(1, 3)), pattern(WAVE), pattern("circle")],
    ids=["rate", "caller", "plain"],
)
def test_spread_writes_each_fixtures_own_render_into_one_output(subject, interpolate):
    times = Clock(128, origin_seconds=-1).frames(44, 1)
    out = np.empty((5,) + (len(times), 3))
    assert spread(subject, 5, times, mode="wings", interpolate=interpolate, out=out) is out
    offsets = [0, Fraction(1, 3), Fraction(2, 3), Fraction(1, 3), 0]
    for k, offset in enumerate(offsets):
        expected = subject.shifted(offset).render(times, interpolate)
        assert np.array_equal(bits(out[k]), bits(expected)), k


@pytest.mark.parametrize("bits", [8, 16])
def test_level_tables_give_what_the_heads_give(bits):
    chosen = Patterns(mixed_patterns()[: len(HEADS)])
    heads = Heads(HEADS)
    table = LevelTable(chosen, heads, bits)
    convert = heads.dmx16 if bits == 16 else heads.dmx8
    for pips in PIPS.values():
        assert np.array_equal(table.dmx(pips), convert(chosen.render(pips)))
    with pytest.raises(ValueError):
        LevelTable(chosen, Heads(HEADS[:2]))
