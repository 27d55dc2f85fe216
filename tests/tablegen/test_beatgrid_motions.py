"""The beat-grid motions: the four-on-the-floor calibration, causal rules, axes, the one-sided
kernels they are built from, and how club and dancefloor patterns are named and described."""

from __future__ import annotations

import importlib.util
import math
from fractions import Fraction
from pathlib import Path

import pytest
from tablegen import shapes
from tablegen.bake import bake
from tablegen.load import on_import_path

PACKS = Path(__file__).resolve().parents[2] / "src" / "catalogue" / "packs"
on_import_path(PACKS)

from beatgrid.motions import MOTIONS  # noqa: E402
from beatgrid.patterns import beat_pattern  # noqa: E402
from beatgrid.score import score  # noqa: E402
from beatgrid.scores import STYLES  # noqa: E402

BY_KEY = {m.key: m for m in MOTIONS}
FOUR_FLOOR = STYLES[0]
KICKS = (0, 64, 128, 192)


def table(style, motion: str, pack: str = "club"):
    return bake(beat_pattern(style, BY_KEY[motion], pack))


# --- calibration on four_floor ----------------------------------------------------------------

# (pips from the kick, y) as stated for the bounce pulse
BOUNCE_PULSE = [
    (0, 0.55), (-6, 0.0053), (-4, 0.1698), (-2, 0.4278), (8, 0.4557), (16, 0.2376), (24, 0.045)
]


def test_four_floor_bounce_is_a_y_pulse_on_each_kick_and_still_between():
    t = table(FOUR_FLOOR, "bounce")
    assert all(e[0] == 0.0 and e[2] == 0.0 for e in t)
    for kick in KICKS:
        for offset, y in BOUNCE_PULSE:
            assert round(t[(kick + offset) % 256][1], 4) == y
        assert t[kick][1] == 0.55
        assert all(t[k][1] == 0.0 for k in range(kick + 30, kick + 58))


def test_four_floor_step_alternates_sides_with_the_bounce_pulse_shape():
    t = table(FOUR_FLOOR, "step")
    for i, kick in enumerate(KICKS):
        side = 0.42 if i % 2 == 0 else -0.42
        assert t[kick][:2] == (side, -0.22)
        for offset, y in BOUNCE_PULSE:  # the same shape, scaled from 0.55 to each component
            entry = t[(kick + offset) % 256]
            assert entry[0] == pytest.approx(side * y / 0.55, abs=1e-4)
            assert entry[1] == pytest.approx(-0.22 * y / 0.55, abs=1e-4)


def test_four_floor_orbit_turns_a_quarter_per_kick_and_tucks_between():
    t = table(FOUR_FLOOR, "orbit")

    def polar(k):
        x, y, _ = t[k % 256]
        return math.hypot(x, y), math.degrees(math.atan2(y, x)) % 360.0

    assert t[0] == (0.58, 0.0, 0.0)
    for i, kick in enumerate(KICKS):
        for after, radius, degrees in ((0, 0.58, 0.0), (32, 0.43, 60.0), (56, 0.43, 78.0)):
            r, a = polar(kick + after)
            assert (round(r, 4), round(a, 4)) == (radius, 90.0 * i + degrees)
        assert all(round(polar(kick + k)[0], 9) == 0.43 for k in range(32, 57))
        assert 0.43 < polar(kick + 60)[0] < 0.58


# --- causal rules -----------------------------------------------------------------------------


@pytest.mark.parametrize("motion", ["spring", "recoil"])
@pytest.mark.parametrize(
    "extra", [("snare", 256, 1.0), ("kick", 320, 0.7), ("snare", Fraction(1000, 3), 0.35)]
)
def test_causal_rules_rest_until_their_single_event(motion, extra):
    solo = score("solo", "Solo", lanes={}, extra=[extra])
    t = table(solo, motion, "dancefloor")
    first_after = math.floor(extra[1]) + 1
    assert all(e == (0.0, 0.0, 0.0) for e in t[:first_after])
    assert any(e != (0.0, 0.0, 0.0) for e in t[first_after:])


# --- axes -------------------------------------------------------------------------------------


@pytest.mark.parametrize("style", STYLES[:36], ids=lambda s: s.key)
def test_flat_motions_leave_depth_still_and_glide_always_has_it(style):
    for motion in MOTIONS[:4]:
        pattern = beat_pattern(style, motion, "club")
        flat = motion.key in style.axes2 and motion.key != "glide"
        assert pattern.axes == (2 if flat else 3)
        depth = {e[2] for e in bake(pattern)}
        assert (depth == {0.0}) == flat


def test_a_three_bar_glide_closes_only_after_three_bars():
    polymeter = next(s for s in STYLES if s.key == "techno_polymeter")
    t = table(polymeter, "glide")
    assert len(t) == 768 and t[512] != t[0]
    assert math.dist(t[-1], t[0]) <= max(math.dist(a, b) for a, b in zip(t, t[1:]))


# --- one-sided kernels ------------------------------------------------------------------------

KERNELS = {
    "attack_release": shapes.attack_release(8.0, 16.0, 96.0),
    "spring_ring": shapes.spring_ring(20.0, 18.0, 128.0, 2.0),
}


@pytest.mark.parametrize("name", KERNELS)
def test_causal_kernels_rest_before_their_event_and_stop_at_their_horizon(name):
    kernel = KERNELS[name]
    assert kernel.lead == 0.0
    for d in (-50.0, -1e-9, 0.0, kernel.reach, kernel.reach + 3.0):
        assert kernel.shape(d) == 0.0
    assert kernel.shape(1.0) != 0.0 and kernel.shape(kernel.reach - 1.0) != 0.0
    # no jump where the tail ends: the last pip before the horizon is already tiny
    assert abs(kernel.shape(kernel.reach - 0.5)) < 1e-4


def test_skewed_pulse_support_peak_and_area():
    assert shapes.skewed_pulse(0.0, 0.7464, 6.4, 29.44) == 0.7464
    assert shapes.skewed_pulse(-6.4, 1.0, 6.4, 29.44) == 0.0
    assert shapes.skewed_pulse(29.44, 1.0, 6.4, 29.44) == 0.0
    # the closed-form area against a midpoint sum of the pulse itself
    n = 20000
    step = (6.4 + 29.44) / n
    total = sum(shapes.skewed_pulse(-6.4 + (i + 0.5) * step, 1.0, 6.4, 29.44) for i in range(n))
    assert shapes.skewed_pulse_area(10.0, 6.4, 29.44) < total * step
    assert shapes.skewed_pulse_area(40.0, 6.4, 29.44) == pytest.approx(total * step, rel=1e-8)


def test_hit_sums_wrap_around_the_loop_and_close():
    hits = [
        shapes.hit(250.5, 0.3, -0.2, kernel=shapes.rise_fall(6.4, 29.44)),
        shapes.hit(200.0, 0.5, kernel=shapes.spring_ring(20.0, 18.0, 128.0, 2.0)),
    ]
    curve = shapes.hit_sum(hits, 256)
    for k in (0, 3, 17.5, 100, 250):
        assert curve(k) == pytest.approx(curve(k + 256), abs=1e-15)
    assert curve(10)[0] != 0.0  # the ring and the pulse both reach past the seam
    with pytest.raises(ValueError):
        shapes.hit_sum([shapes.hit(0, 1.0, kernel=shapes.rise_fall(100.0, 200.0))], 256)


def test_soft_ceiling_keeps_small_values_and_bends_smoothly_to_the_ceiling():
    assert shapes.soft_ceiling(-0.55, 0.55, 0.66) == -0.55
    assert shapes.soft_ceiling(5.0, 0.55, 0.66) == 0.66
    values = [shapes.soft_ceiling(0.5 + i * 0.001, 0.55, 0.66) for i in range(400)]
    slopes = [(b - a) / 0.001 for a, b in zip(values, values[1:])]
    assert all(0.0 <= s <= 1.0 + 1e-9 for s in slopes)
    assert max(abs(b - a) for a, b in zip(slopes, slopes[1:])) < 0.02


def test_pulse_phase_makes_one_rising_cycle_per_loop():
    phase = shapes.pulse_phase([(10.0, 2.0), (250.0, 1.0)], 256, 0.75, 8.0, 24.0)
    assert phase(0) == 0.0 and phase(256) == pytest.approx(1.0)
    values = [phase(k / 4) for k in range(1024)]
    assert all(b > a for a, b in zip(values, values[1:]))


# --- names and descriptions -------------------------------------------------------------------

HOUSE = STYLES[1]


@pytest.mark.parametrize(
    "style, motion, pack, text",
    [
        (HOUSE, "bounce", "club", "House / kick-clap-offbeat hat \u2014 Kick-led bounce."),
        (FOUR_FLOOR, "bounce", "club",
         "Four to the floor / bare pulse \u2014 Kick-led bounce. Equal quarter-note kicks only. "
         "This shared foundation is not itself a complete genre."),
        (HOUSE, "glide", "club", "House / kick-clap-offbeat hat \u2014 Bass-and-phrase glide."),
        (HOUSE, "glide", "dancefloor",
         "House / kick-clap-offbeat hat \u2014 Bass / phrase glide. Original Club 05 continuous "
         "phrase path with bass excursions."),
    ],
)
def test_descriptions(style, motion, pack, text):
    assert beat_pattern(style, BY_KEY[motion], pack).description == text


def test_club_family_lists_every_style_with_four_motions_style_major():
    found = importlib.util.spec_from_file_location("club_beat", PACKS / "club" / "10_beat.py")
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    names = [p.name for p in module.PATTERNS]
    assert len(names) == 144 and len(set(names)) == 144
    assert names[:5] == ["beat_four_floor_bounce", "beat_four_floor_step", "beat_four_floor_orbit",
                         "beat_four_floor_glide", "beat_house_classic_bounce"]
    assert names[-1] == "beat_amapiano_glide"
