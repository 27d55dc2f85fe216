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

PACKS = Path(__file__).resolve().parents[2] / "src" / "catalogue" / "packs"

from beatgrid import figures  # noqa: E402
from beatgrid.motions import CLUB_MOTIONS, DANCEFLOOR_MOTIONS, MOTIONS  # noqa: E402
from beatgrid.patterns import beat_pattern  # noqa: E402
from beatgrid.score import at, roll, score  # noqa: E402
from beatgrid.scores import STYLES  # noqa: E402
from tablegen.model import CheckError  # noqa: E402

BY_KEY = {m.key: m for m in MOTIONS}
STYLE = {s.key: s for s in STYLES}
FOUR_FLOOR = STYLES[0]
KICKS = (0, 64, 128, 192)


def family(pack: str, file_name: str):
    found = importlib.util.spec_from_file_location(f"{pack}_{file_name}", PACKS / pack / file_name)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module.PATTERNS


def table(style, motion: str, pack: str = "club"):
    return bake(beat_pattern(style, BY_KEY[motion], pack))


# --- calibration on four_floor ----------------------------------------------------------------

# (pips from the kick, y) as stated for the bounce pulse
BOUNCE_PULSE = [
    (0, 0.55),
    (-6, 0.0053),
    (-4, 0.1698),
    (-2, 0.4278),
    (8, 0.4557),
    (16, 0.2376),
    (24, 0.045),
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
    """Over the half loop up to and including its event the point is at rest; it moves on the
    first pip after. (The ring may run on past the seam, which is after the event in time.)"""
    solo = score("solo", "Solo", lanes={}, extra=[extra])
    t = table(solo, motion, "dancefloor")
    last_before = math.floor(extra[1])
    assert all(t[k % 512] == (0.0, 0.0, 0.0) for k in range(last_before - 255, last_before + 1))
    assert t[last_before + 1] != (0.0, 0.0, 0.0)


# --- axes -------------------------------------------------------------------------------------


@pytest.mark.parametrize("style", STYLES[:36], ids=lambda s: s.key)
def test_flat_motions_leave_depth_still_and_glide_always_has_it(style):
    for motion in CLUB_MOTIONS:
        pattern = beat_pattern(style, motion, "club")
        flat = motion.key in style.axes2 and motion.key != "glide"
        assert pattern.axes == (2 if flat else 3)
        depth = {e[2] for e in bake(pattern)}
        assert (depth == {0.0}) == flat


@pytest.mark.parametrize("pack", ["club", "dancefloor"])
def test_a_three_bar_glide_closes_only_after_three_bars(pack):
    pattern = beat_pattern(STYLE["techno_polymeter"], BY_KEY["glide"], pack)
    t = bake(pattern)
    assert len(t) == 768 and t[512] != t[0]
    # the path itself, followed past the end of the table, is back at entry 0 on pip 768
    assert pattern.curve(768) == pytest.approx(t[0], abs=1e-12)
    assert math.dist(t[-1], t[0]) <= max(math.dist(a, b) for a, b in zip(t, t[1:], strict=False))


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
    slopes = [(b - a) / 0.001 for a, b in zip(values, values[1:], strict=False)]
    assert all(0.0 <= s <= 1.0 + 1e-9 for s in slopes)
    assert max(abs(b - a) for a, b in zip(slopes, slopes[1:], strict=False)) < 0.02


def test_pulse_phase_makes_one_rising_cycle_per_loop():
    phase = shapes.pulse_phase([(10.0, 2.0), (250.0, 1.0)], 256, 0.75, 8.0, 24.0)
    assert phase(0) == 0.0 and phase(256) == pytest.approx(1.0)
    values = [phase(k / 4) for k in range(1024)]
    assert all(b > a for a, b in zip(values, values[1:], strict=False))


# --- names and descriptions -------------------------------------------------------------------

HOUSE = STYLES[1]


@pytest.mark.parametrize(
    "style, motion, pack, text",
    [
        (HOUSE, "bounce", "club", "House / kick-clap-offbeat hat \u2014 Kick-led bounce."),
        (
            FOUR_FLOOR,
            "bounce",
            "club",
            "Four to the floor / bare pulse \u2014 Kick-led bounce. Equal quarter-note kicks only. "
            "This shared foundation is not itself a complete genre.",
        ),
        (HOUSE, "glide", "club", "House / kick-clap-offbeat hat \u2014 Bass-and-phrase glide."),
        (
            HOUSE,
            "glide",
            "dancefloor",
            "House / kick-clap-offbeat hat \u2014 Bass / phrase glide. Original Club 05 continuous "
            "phrase path with bass excursions.",
        ),
        (
            STYLE["jersey_five"],
            "glide",
            "dancefloor",
            "Jersey / five-kick foundation \u2014 Bass / phrase glide. Original Club 05 continuous "
            "phrase path with bass excursions.",
        ),
        (
            HOUSE,
            "spring",
            "dancefloor",
            "House / kick-clap-offbeat hat \u2014 Causal spring. An event starts at rest, then "
            "drives a damped ringing excursion.",
        ),
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
    assert names[:5] == [
        "beat_four_floor_bounce",
        "beat_four_floor_step",
        "beat_four_floor_orbit",
        "beat_four_floor_glide",
        "beat_house_classic_bounce",
    ]
    assert names[-1] == "beat_amapiano_glide"


def test_every_style_has_all_sixteen_motions_across_the_two_packs():
    club = family("club", "10_beat.py")
    dancefloor = family("dancefloor", "10_club_styles.py")
    dancefloor += family("dancefloor", "20_dancefloor_styles.py")
    names = [p.name for p in club + dancefloor]
    assert len(names) == len(set(names)) == 16 * len(STYLES)
    by_style: dict[str, set[str]] = {}
    for name in names:
        key, motion = next(
            (name[5 : -len(m.key) - 1], m.key) for m in MOTIONS if name.endswith("_" + m.key)
        )
        by_style.setdefault(key, set()).add(motion)
    assert by_style == {s.key: {m.key for m in MOTIONS} for s in STYLES}
    assert all(n[-1] == "8" for n in names if "figure" in n)
    # record order: the club styles' twelve dancefloor motions first, then the rest style-major
    assert [p.name for p in dancefloor[:13]] == [
        *(f"beat_four_floor_{m.key}" for m in DANCEFLOOR_MOTIONS),
        "beat_house_classic_surge",
    ]
    starts = [p.name for p in dancefloor[432::16]]
    assert starts == [f"beat_{s.key}_bounce" for s in STYLES[36:]]


# --- dancefloor motions -----------------------------------------------------------------------


DRUMS = {
    "kick": "X... X... X... X... | X... X... X... X...",
    "snare": "..x. ..x. ..x. ..X. | ..x. ..x. ..x. ..X.",
}
HATS = {"hat": "xgxg xgxg xgxg xgxg | xgxg xgxg xgxg xgxg"}


@pytest.mark.parametrize("lanes", [DRUMS, {**DRUMS, **HATS}], ids=["drums", "drums and hats"])
def test_ricochet_flies_each_drum_to_the_next_star_target_at_full_reach(lanes):
    """At each drum onset the point is out toward the next target, 144 degrees round from the one
    before, the first straight down; hats crowding the drums ride their flights instead of
    cutting them short, so every flight still reaches at least as far as a normal kick's."""
    groove = score("groove", "Groove", lanes=lanes)
    t = table(groove, "ricochet", "dancefloor")
    drums = sorted({e.time for e in groove.of("kick", "snare")})
    for i, time in enumerate(drums):
        x, y, _ = t[int(time)]
        turn = math.degrees(math.atan2(y, x)) - (270.0 + 144.0 * i)
        assert abs((turn + 180.0) % 360.0 - 180.0) < 1e-6, (i, time)
        assert math.hypot(x, y) >= 0.7 * 0.7 - 1e-12, (i, time)  # a normal hit, undimmed


def test_hats_between_the_drums_jink_the_ricochet_without_moving_its_targets():
    drums = table(score("drums", "Drums", lanes=DRUMS), "ricochet", "dancefloor")
    crowded = table(score("crowded", "Crowded", lanes={**DRUMS, **HATS}), "ricochet", "dancefloor")
    gap = max(
        abs(a - b) for p, q in zip(drums, crowded, strict=True) for a, b in zip(p, q, strict=True)
    )
    assert 0.05 < gap < 0.3


def test_ricochet_settles_at_the_centre_between_sparse_onsets():
    pair = score("pair", "Pair", lanes={"kick": "X... .... .... .... | .... .... X... ...."})
    t = table(pair, "ricochet", "dancefloor")
    assert t[0][0] == 0.0 and t[0][1] < -0.5  # the first kick strikes straight down
    assert all(e == (0.0, 0.0, 0.0) for e in t[100:370])


@pytest.mark.parametrize("bass", ["..X. .... .... ....", ".... .... xxx. ...."])
def test_dive_plunges_from_the_bass_and_resurfaces(bass):
    lanes = {"kick": "X... .... .... .... | X... .... .... ....", "bass": f"{bass} | " + "." * 16}
    low = score("low", "Low", lanes=lanes)
    t = table(low, "dive", "dancefloor")
    first = min(e.time for e in low.of("bass"))
    depth = [e[2] for e in t]
    assert all(z == 0.0 for z in depth[: int(first) + 1])  # nothing before the bass plays
    assert max(depth) > 0.3 and depth[-1] == 0.0  # it plunges, and it is back before the seam


ROLLED = score(
    "rolled",
    "Rolled",
    lanes={"kick": "X... .... X... .... | X... .... X... ...."},
    extra=roll("snare", at("1.2.1"), 6, 48) + roll("snare", at("2.4.1"), 8, 32, 0.5, 0.9),
)


@pytest.mark.parametrize(
    "style, start", [(ROLLED, 64), (ROLLED, 448), (STYLE["jungle_ghosts"], 448)]
)
def test_recoil_shoves_a_roll_one_way(style, start):
    """A snare roll makes one shove: x moves one way from its first stroke to its peak, with no
    buzz back and forth between the strokes."""
    t = table(style, "recoil", "dancefloor")
    xs = [t[k % len(t)][0] for k in range(start + 1, start + 60)]
    turn = max(range(len(xs)), key=lambda i: abs(xs[i]))
    rising = xs[: turn + 1]
    assert all((b - a) * xs[turn] >= 0.0 for a, b in zip(rising, rising[1:], strict=False))


# --- dancefloor facts -------------------------------------------------------------------------

# A small closed table: a square of side 0.3 at the mean (0.15, 0.15, 0.0), seam step 0.3.
SQUARE = [(0.0, 0.0, 0.0), (0.3, 0.0, 0.0), (0.3, 0.3, 0.0), (0.0, 0.3, 0.0)]


@pytest.mark.parametrize(
    "fact, holds",
    [
        (figures.largest_step_within(0.3, 0.3), True),
        (figures.largest_step_within(0.0, 0.29), False),
        (figures.reach_at_most("y", 0.3), True),
        (figures.reach_at_most("y", 0.2), False),
        (figures.reaches_further("x", "z"), True),
        (figures.reaches_further("z", "y"), False),
        (figures.reaches("y", 0.3), True),
        (figures.reaches("y", -0.3), False),
        (figures.means_within(0.0, 0.15), True),
        (figures.means_within(0.01, 0.2), False),  # the mean of z is 0.0
        (figures.longest_entry_at_most(0.43), True),
        (figures.longest_entry_at_most(0.42), False),  # the corner lies 0.4243 out
    ],
)
def test_dancefloor_facts_hold_or_fail_on_a_square(fact, holds):
    if holds:
        fact(SQUARE)
    else:
        with pytest.raises(CheckError):
            fact(SQUARE)


# --- every motion hears the whole score -------------------------------------------------------

# One of every role, each on its own sixteenths so that no role hides under another.
FULL = {
    "kick": "X... ..x. X... .... | X... .... ..X. ..x.",
    "snare": ".... X... .... X..g | .... X..g .... X...",
    "hat": "..x. .x.x ..x. .x.. | ..x. .x.x ..x. .x.x",
    "tom_mid": ".x.. .... .x.x .... | .x.. ..x. .x.. ....",
    "bass": "...x .... ...x ..x. | ...x .... ...x ....",
}


def without(lanes, instrument):
    return {k: v for k, v in lanes.items() if k != instrument}


@pytest.mark.parametrize("instrument", list(FULL))
@pytest.mark.parametrize("motion", [m.key for m in MOTIONS])
def test_every_motion_shows_every_role_of_the_score(motion, instrument):
    """Taking one role out of a score changes the table visibly: by 0.05 somewhere in some
    component, and by 0.02 in x or y for the motions a pan/tilt head shows."""
    whole = table(score("whole", "Whole", lanes=FULL), motion, "dancefloor")
    less = table(score("less", "Less", lanes=without(FULL, instrument)), motion, "dancefloor")
    pairs = list(zip(whole, less, strict=True))
    assert max(abs(a - b) for p, q in pairs for a, b in zip(p, q, strict=True)) >= 0.05
    if set(BY_KEY[motion].main_axes) & set("xy"):
        assert max(abs(a - b) for p, q in pairs for a, b in zip(p[:2], q[:2], strict=True)) >= 0.02


BAR_OF = {
    "kick": "X... ..x. X... .x..",
    "snare": ".... X... .... X...",
    "hat": "..x. ..x. ..x. ..x.",
}


# The ricochet's targets come round once per cycle of five flights over the whole loop, so its
# second bar aims elsewhere by design.
@pytest.mark.parametrize("motion", [m.key for m in MOTIONS if m.key != "ricochet"])
def test_a_bar_moves_the_same_whatever_the_length_of_its_loop(motion):
    """A one-bar loop and the same bar played twice in a two-bar loop give the same table: no
    motion's speed or size depends on how long the loop is."""
    one = table(score("one", "One", period=256, lanes=BAR_OF), motion, "dancefloor")
    two_bars = {k: f"{v} | {v}" for k, v in BAR_OF.items()}
    two = table(score("two", "Two", lanes=two_bars), motion, "dancefloor")
    assert (
        max(
            abs(a - b)
            for p, q in zip(one + one, two, strict=True)
            for a, b in zip(p, q, strict=True)
        )
        < 1e-9
    )


@pytest.mark.parametrize("key", ["four_floor", "ukg_two_step", "reggae_one_drop", "afro_cross"])
def test_the_box_turns_a_corner_on_every_beat(key):
    """On every beat the point sits in the middle of a corner (on a diagonal) and the corners
    come round anticlockwise from the top right, one a beat."""
    t = table(STYLE[key], "box", "dancefloor")
    quadrants = [(1, 1), (-1, 1), (-1, -1), (1, -1)]
    for beat in range(len(t) // 64):
        x, y, _ = t[64 * beat]
        assert abs(abs(x) - abs(y)) < 1e-9
        assert (math.copysign(1, x), math.copysign(1, y)) == quadrants[beat % 4]


def test_the_pendulum_reaches_the_ends_of_its_swing_on_the_hits():
    """With a kick on the one and a snare on beat 4 the bob is at one end on the kick and at the
    other on the snare, and swings through the bottom once between them."""
    pair = score(
        "pair",
        "Pair",
        lanes={"kick": "X... .... .... ....", "snare": ".... .... .... X..."},
        period=256,
    )
    x = [e[0] for e in table(pair, "pendulum", "dancefloor")]
    for hit in (0, 192):
        assert abs(x[hit]) >= max(abs(x[k % 256]) for k in range(hit - 8, hit + 9)) - 1e-12
    assert x[0] * x[192] < 0
    assert sum(1 for a, b in zip(x, x[1:] + x[:1], strict=True) if a * b < 0) == 2


def test_the_one_drop_flutter_swings_between_its_drops():
    """The one drop's kicks and rims fall on beat 3 of each bar only: the arc reaches its two
    sides there and nowhere else does it reach as far."""
    x = [e[0] for e in table(STYLE["reggae_one_drop"], "flutter", "dancefloor")]
    assert x[128] * x[384] < 0
    assert min(abs(x[128]), abs(x[384])) >= 0.9 * max(map(abs, x))


@pytest.mark.parametrize("pack, motions", [("club", CLUB_MOTIONS), ("dancefloor", MOTIONS)])
def test_each_pack_keeps_the_styles_of_each_of_its_motions_apart(pack, motions):
    """The packs declare one group per motion they play, checked in x and y exactly where the
    motion's main axes include x or y."""
    from tablegen.load import load_pack_facts

    groups = {d.suffix: d for d in load_pack_facts(PACKS, pack).distinct}
    assert set(groups) == {f"_{m.key}" for m in motions}
    for m in motions:
        declared = groups[f"_{m.key}"]
        assert (declared.apart, declared.group) == (0.05, f"beat_{m.key}")
        assert declared.planar == (0.02 if set(m.main_axes) & set("xy") else None)
