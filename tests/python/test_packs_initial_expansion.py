"""The initial and expansion packs through the host API: records, closed forms, peaks, stated
values, holds, onset and stroke placement, groove timing and the rules every table obeys.

Expected values come from the rules these tables are authored to (formulas, onset lists,
stickings, stated values), written out here independently of the generator.
"""

from __future__ import annotations

import math
from functools import cache

import pytest

motiloom = pytest.importorskip("motiloom")

FIRST_BAKED = 15  # catalogue() lists the fifteen procedural rudiments first

# (name, period_pips, dimensions, description) of records 0-51, in record order.
RECORDS = [
    (
        "lfo_breathe",
        256,
        1,
        "A four-beat, single-axis sine. The quiet reference for judging busier shapes.",
    ),
    (
        "lfo_surge",
        256,
        1,
        "A long rounded sweep and short recovery; an independently authored smooth-reset shape.",
    ),
    (
        "lfo_soft_gate",
        256,
        1,
        "Short smooth transitions separated by long stationary dwells. No square-wave teleport.",
    ),
    ("lfo_double_pump", 256, 2, "Two unequal pumps and a breathing space within four beats."),
    ("lfo_ratchet", 256, 2, "A four-hit decaying burst, then a rest. Every event is peak-aligned."),
    ("lfo_glide_stair", 256, 1, "Five rounded steps traverse the field, then a smooth return."),
    (
        "lfo_morph",
        512,
        2,
        "An eight-beat blend between a sine and skewed triangle; movement changes within the "
        "phrase.",
    ),
    (
        "lfo_flower",
        512,
        2,
        "Related rotations form an original three-lobed XY loop over eight beats.",
    ),
    (
        "rhythm_euclid_3_8",
        256,
        2,
        "3 evenly distributed onsets on a 8-step grid. Alternating lateral gestures.",
    ),
    (
        "rhythm_euclid_5_12",
        256,
        2,
        "5 evenly distributed onsets on a 12-step grid. Alternating lateral gestures.",
    ),
    (
        "rhythm_three_two",
        256,
        2,
        "Three horizontal gestures interlock with two vertical gestures in one four-beat cycle.",
    ),
    (
        "rhythm_half_time",
        256,
        2,
        "A strong downbeat, snare-like accent on beat three, and smaller offbeat shuffles.",
    ),
    (
        "rudiment_double_paradiddle",
        256,
        2,
        "Visual sticking study RLRLRR LRLRLL; equal triplet spacing over four beats. This is a "
        "movement interpretation, not a complete drum-performance notation.",
    ),
    (
        "rudiment_paradiddle_diddle",
        256,
        2,
        "Visual sticking study RLRRLL LRLLRR; equal triplet spacing over four beats. This is a "
        "movement interpretation, not a complete drum-performance notation.",
    ),
    (
        "rudiment_six_stroke",
        256,
        2,
        "Visual sticking study RLLRRL LRRLLR; equal triplet spacing over four beats. This is a "
        "movement interpretation, not a complete drum-performance notation.",
    ),
    (
        "rudiment_flam_accent",
        256,
        2,
        "Opposite-hand grace gestures lead accented groups of three; deliberately expanded for "
        "visible motion.",
    ),
    (
        "ease_rebound",
        256,
        1,
        "An attributed D3 easing curve, assembled into a closed outward-and-return loop.",
    ),
    (
        "ease_anticipate",
        256,
        1,
        "An attributed D3 easing curve, assembled into a closed outward-and-return loop.",
    ),
    (
        "ease_overshoot",
        256,
        1,
        "An attributed D3 easing curve, assembled into a closed outward-and-return loop.",
    ),
    (
        "ease_elastic",
        256,
        1,
        "Original windowed, decaying oscillation; not a copied D3 curve. Peak scaled to .8.",
    ),
    (
        "akwf_round_saw",
        256,
        1,
        "AKWF_R_asym_saw_05_256: an actual CC0 waveform slowed to a four-beat position loop.",
    ),
    (
        "akwf_quick_return",
        256,
        1,
        "AKWF_R_asym_saw_15_256: an actual CC0 waveform slowed to a four-beat position loop.",
    ),
    (
        "akwf_multi_lobe",
        256,
        1,
        "AKWF_0001_256: an actual CC0 waveform slowed to a four-beat position loop.",
    ),
    (
        "akwf_plateau",
        256,
        1,
        "AKWF_0010_256: an actual CC0 waveform slowed to a four-beat position loop.",
    ),
    (
        "groove_a_played",
        512,
        2,
        "Two-bar funk excerpt A (4\u201312 source beats), performed microtiming.",
    ),
    (
        "groove_a_grid",
        512,
        2,
        "Two-bar funk excerpt A (4\u201312 source beats), same hits quantised to sixteenths.",
    ),
    (
        "groove_b_played",
        512,
        2,
        "Two-bar funk excerpt B (36\u201344 source beats), performed microtiming.",
    ),
    (
        "groove_b_grid",
        512,
        2,
        "Two-bar funk excerpt B (36\u201344 source beats), same hits quantised to sixteenths.",
    ),
    (
        "lfo_twin_swell",
        512,
        2,
        "Two broad swells of unequal depth, with a gentle lateral answer. Eight beats.",
    ),
    (
        "lfo_pulse_hold",
        256,
        1,
        "A smooth outward pulse, sustained plateau, smaller opposite recoil, and rest.",
    ),
    (
        "lfo_sweep_ratchet",
        512,
        2,
        "A slow lateral sweep followed by three decaying vertical ratchets; no reset jump.",
    ),
    (
        "lfo_triplet_wobble",
        512,
        2,
        "Three rounded oscillations per two beats, breathing in depth over an eight-beat phrase.",
    ),
    (
        "lfo_breathing_orbit",
        512,
        2,
        "A closed ellipse expands and contracts twice during its eight-beat revolution.",
    ),
    (
        "lfo_seeded_drift",
        1024,
        2,
        "Two independently seeded smooth random lanes; irregular-looking but exactly periodic and "
        "seekable.",
    ),
    (
        "lfo_pendulum_dwell",
        512,
        2,
        "Rounded saturation slows the pendulum near either side; a shallow arc connects the turns.",
    ),
    (
        "lfo_reverse_swell",
        512,
        2,
        "A long anticipatory rise, quick softened return, and two diminishing aftershocks.",
    ),
    (
        "path_lissajous_2_3",
        512,
        2,
        "Two horizontal cycles cross three vertical cycles in a closed eight-beat Lissajous path.",
    ),
    (
        "path_rose_4",
        512,
        2,
        "A signed radial oscillation draws four petals, passing through the centre between them.",
    ),
    (
        "path_rose_5",
        512,
        2,
        "Five petals in one complete eight-beat traversal; the odd-petal parameter runs through "
        "pi, not two pi.",
    ),
    (
        "path_bowed_diamond",
        512,
        2,
        "An astroid-shaped loop with inward-curved edges and naturally slow corners.",
    ),
    (
        "path_orbit_dwell",
        512,
        2,
        "An ellipse whose phase slows to zero speed at the loop boundary and accelerates through "
        "the opposite side.",
    ),
    (
        "path_torus_knot",
        1024,
        3,
        "Two turns around the axis and three through the tube. XYZ is retained; the demo projects "
        "depth.",
    ),
    (
        "path_woven_3d",
        1024,
        3,
        "Independent two-, three-, and five-cycle XYZ oscillations close after sixteen beats.",
    ),
    (
        "path_crank_slider",
        256,
        2,
        "Horizontal slider-crank travel with rod length three and crank radius one; vertical "
        "motion follows the crank tip.",
    ),
    (
        "rhythm_five_four",
        512,
        2,
        "5 lateral hits against four vertical hits per four beats; two bars preserve alternating "
        "directions.",
    ),
    (
        "rhythm_seven_four",
        512,
        2,
        "7 lateral hits against four vertical hits per four beats; two bars preserve alternating "
        "directions.",
    ),
    (
        "rhythm_euclid_7_16",
        512,
        2,
        "7 evenly distributed onsets on a sixteen-step grid, repeated with alternating sides over "
        "eight beats.",
    ),
    (
        "rhythm_euclid_5_16",
        512,
        2,
        "5 evenly distributed onsets on a sixteen-step grid, repeated with alternating sides over "
        "eight beats.",
    ),
    (
        "rhythm_swung_answer",
        256,
        2,
        "A two-to-one swung call on the right, answered on the left; four beats and eight "
        "peak-aligned gestures.",
    ),
    (
        "rhythm_group_332",
        512,
        2,
        "Groups of three, three, and two eighth notes. Six alternating accents make an eight-beat "
        "loop.",
    ),
    (
        "rhythm_group_223",
        448,
        2,
        "Two 7/8 bars grouped as 2+2+3 eighth notes: a seven-quarter-note loop, not forced into "
        "four beats.",
    ),
    (
        "rhythm_three_four_five",
        512,
        3,
        "Three X, four Y, and five Z gestures share an eight-beat phrase, with exact rational "
        "peak times.",
    ),
]
NAMES = [r[0] for r in RECORDS]
PERIOD = {r[0]: r[1] for r in RECORDS}
AXES = {r[0]: r[2] for r in RECORDS}
INITIAL = NAMES[:28]
EXPANSION = NAMES[28:]


@cache
def table(name: str) -> tuple[tuple[float, float, float], ...]:
    """The whole loop of a pattern, read one pip at a time through the host."""
    return tuple(motiloom.sample(name, k).as_tuple() for k in range(PERIOD[name]))


def column(name: str, axis: int) -> list[float]:
    return [entry[axis] for entry in table(name)]


# --- formulas written out from the authoring rules -------------------------------------------


def phi(k: int, n: int) -> float:
    return 2 * math.pi * k / n


def raised_cosine(onsets, period, width_default=None):
    """The sum of raised-cosine pulses A*(1 + cos(pi*d/w))/2, |d| < w, d measured around the
    loop. onsets: (time, (amplitudes...), w)."""

    def curve(k):
        out = [0.0, 0.0, 0.0]
        for time, amplitudes, w in onsets:
            d = (k - time) % period
            d = min(d, period - d)
            if d < w:
                for axis, a in enumerate(amplitudes):
                    out[axis] += a * (1 + math.cos(math.pi * d / w)) / 2
        return tuple(out)

    return curve


def alternate(i, a):
    return a if i % 2 == 0 else -a


def smootherstep(t):
    return 6 * t**5 - 15 * t**4 + 10 * t**3


def soft_gate(k):
    if k <= 32:
        return (-0.8 + 1.6 * smootherstep(k / 32), 0, 0)
    if k <= 128:
        return (0.8, 0, 0)
    if k <= 160:
        return (0.8 - 1.6 * smootherstep((k - 128) / 32), 0, 0)
    return (-0.8, 0, 0)


def d3_bounce_out(t):
    # Penner's bounce as D3 writes it: parabolas of curvature 121/16 settling on 1.
    if t < 4 / 11:
        return 121 / 16 * t * t
    if t < 8 / 11:
        return 121 / 16 * (t - 6 / 11) ** 2 + 3 / 4
    if t < 10 / 11:
        return 121 / 16 * (t - 9 / 11) ** 2 + 15 / 16
    return 121 / 16 * (t - 21 / 22) ** 2 + 63 / 64


def d3_back_in(t, s=1.70158):
    return t * t * ((s + 1) * t - s)


def d3_back_out(t, s=1.70158):
    return 1 - d3_back_in(1 - t, s)


def ease_loop(ease):
    def curve(k):
        if k <= 128:
            return (-0.65 + 1.3 * ease(k / 128), 0, 0)
        t = (k - 128) / 128
        return (0.65 * (1 - 2 * (3 * t * t - 2 * t**3)), 0, 0)

    return curve


def euclid_sixteen(k_onsets):
    onsets, i = [], 0
    for bar in range(2):
        for j in range(k_onsets):
            step = math.ceil(j * 16 / k_onsets)
            accented = step % 4 == 0
            x, y = (0.76, -0.3) if accented else (0.5472, -0.216)
            onsets.append((256 * bar + 16 * step, (alternate(i, x), y), 12))
            i += 1
    return raised_cosine(onsets, 512)


def lateral_against_beats(n):
    onsets = [(512 * i / n, (alternate(i, 0.72), 0), 12) for i in range(n)]
    onsets += [(64 * j, (0, alternate(j, 0.68)), 12) for j in range(8)]
    return raised_cosine(onsets, 512)


def crank(k):
    p = phi(k, 256)
    s = math.cos(p) + math.sqrt(9 - math.sin(p) ** 2)
    # s(0) = 4 maps to +0.78 and s(pi) = 2 to -0.78.
    return (-0.78 + 1.56 * (s - 2) / 2, 0.3 * math.sin(p), 0)


CLOSED_FORMS = {
    "lfo_breathe": lambda k: (0.8 * math.sin(phi(k, 256)), 0, 0),
    "lfo_soft_gate": soft_gate,
    "lfo_ratchet": raised_cosine(
        [
            (0, (0.8, -0.5), 8),
            (16, (0.656, -0.41), 8),
            (32, (0.512, -0.32), 8),
            (48, (0.368, -0.23), 8),
        ],
        256,
    ),
    "lfo_flower": lambda k: (
        0.56 * math.cos(phi(k, 512)) - 0.28 * math.cos(2 * phi(k, 512)),
        0.56 * math.sin(phi(k, 512)) + 0.28 * math.sin(2 * phi(k, 512)),
        0,
    ),
    "rhythm_euclid_3_8": raised_cosine(
        [(t, (alternate(i, 0.8), -0.3), 12) for i, t in enumerate([0, 96, 192])], 256
    ),
    "rhythm_euclid_5_12": raised_cosine(
        [
            (t, (alternate(i, 0.8), -0.3), 12)
            for i, t in enumerate([0, 64, 320 / 3, 512 / 3, 640 / 3])
        ],
        256,
    ),
    "rhythm_three_two": raised_cosine(
        [(t, (0.78, 0), 24) for t in (0, 256 / 3, 512 / 3)]
        + [(t, (0, 0.78), 24) for t in (0, 128)],
        256,
    ),
    "rhythm_half_time": raised_cosine(
        [
            (128, (0.85, 0), 16),
            (224, (-0.4, 0), 12),
            (0, (0, 0.85), 16),
            (96, (0, 0.4675), 16),
            (128, (0, -0.25), 16),
            (224, (0, -0.1), 12),
        ],
        256,
    ),
    "ease_rebound": ease_loop(d3_bounce_out),
    "ease_anticipate": ease_loop(d3_back_in),
    "ease_overshoot": ease_loop(d3_back_out),
    "lfo_triplet_wobble": lambda k: (
        (0.5525 - 0.255 * math.cos(phi(k, 512))) * math.sin(12 * phi(k, 512)),
        0.22 * math.sin(phi(k, 512)),
        0,
    ),
    "lfo_breathing_orbit": lambda k: (
        0.67 * math.cos(phi(k, 512)) + 0.11 * math.cos(3 * phi(k, 512)),
        0.39 * math.sin(phi(k, 512)) + 0.09 * math.sin(3 * phi(k, 512)),
        0,
    ),
    "lfo_pendulum_dwell": lambda k: (
        0.78 * math.tanh(2.8 * math.sin(phi(k, 512))) / math.tanh(2.8),
        0.22 * math.cos(2 * phi(k, 512)),
        0,
    ),
    "path_lissajous_2_3": lambda k: (
        0.78 * math.sin(2 * phi(k, 512)),
        0.68 * math.sin(3 * phi(k, 512)),
        0,
    ),
    "path_rose_4": lambda k: (
        0.82 * math.cos(2 * phi(k, 512)) * math.cos(phi(k, 512)),
        0.82 * math.cos(2 * phi(k, 512)) * math.sin(phi(k, 512)),
        0,
    ),
    "path_rose_5": lambda k: (
        0.82 * math.cos(5 * math.pi * k / 512) * math.cos(math.pi * k / 512),
        0.82 * math.cos(5 * math.pi * k / 512) * math.sin(math.pi * k / 512),
        0,
    ),
    "path_bowed_diamond": lambda k: (
        0.8 * math.cos(phi(k, 512)) ** 3,
        0.8 * math.sin(phi(k, 512)) ** 3,
        0,
    ),
    "path_orbit_dwell": lambda k: (
        0.8 * math.cos(phi(k, 512) - math.sin(phi(k, 512))),
        0.6 * math.sin(phi(k, 512) - math.sin(phi(k, 512))),
        0,
    ),
    "path_torus_knot": lambda k: (
        (0.54 + 0.22 * math.cos(3 * phi(k, 1024))) * math.cos(2 * phi(k, 1024)),
        (0.54 + 0.22 * math.cos(3 * phi(k, 1024))) * math.sin(2 * phi(k, 1024)),
        0.36 * math.sin(3 * phi(k, 1024)),
    ),
    "path_woven_3d": lambda k: (
        0.72 * math.sin(2 * phi(k, 1024)),
        0.64 * math.sin(3 * phi(k, 1024)),
        0.48 * math.sin(5 * phi(k, 1024)),
    ),
    "path_crank_slider": crank,
    "rhythm_five_four": lateral_against_beats(10),
    "rhythm_seven_four": lateral_against_beats(14),
    "rhythm_euclid_7_16": euclid_sixteen(7),
    "rhythm_euclid_5_16": euclid_sixteen(5),
    "rhythm_swung_answer": raised_cosine(
        [(64 * b, (0.78 if b < 2 else -0.78, -0.3), 8) for b in range(4)]
        + [(64 * b + 128 / 3, (0.468 if b < 2 else -0.468, -0.18), 8) for b in range(4)],
        256,
    ),
    "rhythm_group_332": raised_cosine(
        [
            (0, (0.76, -0.38), 16),
            (96, (-0.5472, -0.2736), 16),
            (192, (0.6536, -0.3268), 16),
            (256, (-0.76, -0.38), 16),
            (352, (0.5472, -0.2736), 16),
            (448, (-0.6536, -0.3268), 16),
        ],
        512,
    ),
    "rhythm_group_223": raised_cosine(
        [
            (0, (0.74, -0.4), 16),
            (64, (-0.518, -0.28), 16),
            (128, (0.629, -0.34), 16),
            (224, (-0.74, -0.4), 16),
            (288, (0.518, -0.28), 16),
            (352, (-0.629, -0.34), 16),
        ],
        448,
    ),
    "rhythm_three_four_five": raised_cosine(
        [(512 * i / 3, (0.7, 0, 0), 24) for i in range(3)]
        + [(128 * j, (0, -0.7, 0), 24) for j in range(4)]
        + [(512 * m / 5, (0, 0, 0.55), 24) for m in range(5)],
        512,
    ),
}

# Onset studies: every pip that no pulse reaches is exactly the origin. (name: [(centre, w)])
SILENT_BETWEEN = {
    "lfo_ratchet": [(t, 8) for t in (0, 16, 32, 48)],
    "rhythm_euclid_3_8": [(t, 12) for t in (0, 96, 192)],
    "rhythm_euclid_5_12": [(t, 12) for t in (0, 64, 320 / 3, 512 / 3, 640 / 3)],
    "rhythm_three_two": [(t, 24) for t in (0, 256 / 3, 512 / 3, 128)],
    "rhythm_half_time": [(0, 16), (96, 16), (128, 16), (224, 12)],
    "rhythm_five_four": [(512 * i / 10, 12) for i in range(10)] + [(64 * j, 12) for j in range(8)],
    "rhythm_group_223": [(t, 16) for t in (0, 64, 128, 224, 288, 352)],
    "rhythm_three_four_five": [(512 * i / 3, 24) for i in range(3)]
    + [(128 * j, 24) for j in range(4)]
    + [(512 * m / 5, 24) for m in range(5)],
}

# (x, y, z) peaks from the records, and the axes whose peak is reached exactly. A round-number
# peak is exact unless the rule puts the extreme between pips or calls it approximate.
PEAKS = {
    "lfo_breathe": ((0.8,), "x"),
    "lfo_surge": ((0.8,), "x"),
    "lfo_soft_gate": ((0.8,), "x"),
    "lfo_double_pump": ((0.0, 0.85), "xy"),
    "lfo_ratchet": ((0.8, 0.5), "xy"),
    "lfo_glide_stair": ((0.8,), "x"),
    "lfo_morph": ((0.8, 0.2), "xy"),
    "lfo_flower": ((0.84, 0.7274), "x"),
    "rhythm_euclid_3_8": ((0.8, 0.3), "xy"),
    "rhythm_euclid_5_12": ((0.8, 0.3), "xy"),
    "rhythm_three_two": ((0.78, 0.78), "xy"),
    "rhythm_half_time": ((0.85, 0.85), "xy"),
    "rudiment_double_paradiddle": ((0.82, 0.42), "xy"),
    "rudiment_paradiddle_diddle": ((0.82, 0.42), "xy"),
    "rudiment_six_stroke": ((0.82, 0.42), "xy"),
    "rudiment_flam_accent": ((0.82, 0.4261), "x"),
    "ease_rebound": ((0.65,), "x"),
    "ease_anticipate": ((0.78,), ""),  # "about -0.78": the back curve's dip falls between pips
    "ease_overshoot": ((0.78,), ""),
    "ease_elastic": ((0.8,), "x"),
    "akwf_round_saw": ((0.85,), "x"),
    "akwf_quick_return": ((0.85,), "x"),
    "akwf_multi_lobe": ((0.85,), "x"),
    "akwf_plateau": ((0.85,), "x"),
    "groove_a_played": ((0.6745, 0.4859), ""),
    "groove_a_grid": ((0.6488, 0.468), ""),
    "groove_b_played": ((1.0, 0.4287), "x"),
    "groove_b_grid": ((1.0, 0.4121), "x"),
    "lfo_twin_swell": ((0.32, 0.85), "xy"),
    "lfo_pulse_hold": ((0.8,), "x"),
    "lfo_sweep_ratchet": ((0.75, 0.65), "xy"),
    "lfo_triplet_wobble": ((0.8042, 0.22), "y"),
    "lfo_breathing_orbit": ((0.78, 0.344), "x"),
    "lfo_seeded_drift": ((0.7871, 0.6098), ""),
    "lfo_pendulum_dwell": ((0.78, 0.22), "xy"),
    "lfo_reverse_swell": ((0.24, 0.82), "xy"),
    "path_lissajous_2_3": ((0.78, 0.68), "xy"),
    "path_rose_4": ((0.82, 0.82), "xy"),
    "path_rose_5": ((0.82, 0.7814), "x"),
    "path_bowed_diamond": ((0.8, 0.8), "xy"),
    "path_orbit_dwell": ((0.8, 0.6), "x"),  # y peaks between pips 188 and 189
    "path_torus_knot": ((0.76, 0.7199, 0.36), "xz"),
    "path_woven_3d": ((0.72, 0.64, 0.48), "xyz"),
    "path_crank_slider": ((0.78, 0.3), "xy"),
    "rhythm_five_four": ((0.72, 0.68), "xy"),
    "rhythm_seven_four": ((0.72, 0.68), "xy"),
    "rhythm_euclid_7_16": ((0.76, 0.3), "xy"),
    "rhythm_euclid_5_16": ((0.76, 0.3), "xy"),
    "rhythm_swung_answer": ((0.78, 0.3), "xy"),
    "rhythm_group_332": ((0.76, 0.38), "xy"),
    "rhythm_group_223": ((0.74, 0.4), "xy"),
    "rhythm_three_four_five": ((0.7, 0.7, 0.55), "xyz"),
}

# (name, pip, (x, y, z)) stated exactly; None leaves a component unstated.
STATED_VALUES = [
    ("lfo_breathe", 0, (0.0, 0.0, 0.0)),
    ("lfo_breathe", 64, (0.8, 0.0, 0.0)),
    ("lfo_breathe", 128, (0.0, 0.0, 0.0)),
    ("lfo_breathe", 192, (-0.8, 0.0, 0.0)),
    ("lfo_soft_gate", 0, (-0.8, 0.0, 0.0)),
    ("lfo_ratchet", 0, (0.8, -0.5, 0.0)),
    ("lfo_ratchet", 16, (0.656, -0.41, 0.0)),
    ("lfo_ratchet", 32, (0.512, -0.32, 0.0)),
    ("lfo_ratchet", 48, (0.368, -0.23, 0.0)),
    ("lfo_ratchet", 8, (0.0, 0.0, 0.0)),
    ("lfo_ratchet", 24, (0.0, 0.0, 0.0)),
    ("lfo_ratchet", 40, (0.0, 0.0, 0.0)),
    ("lfo_flower", 0, (0.28, 0.0, 0.0)),
    ("rhythm_euclid_3_8", 0, (0.8, -0.3, 0.0)),
    ("rhythm_euclid_3_8", 96, (-0.8, -0.3, 0.0)),
    ("rhythm_euclid_3_8", 192, (0.8, -0.3, 0.0)),
    ("rhythm_euclid_5_12", 64, (-0.8, -0.3, 0.0)),
    ("rhythm_half_time", 128, (0.85, -0.25, 0.0)),
    ("rhythm_half_time", 0, (0.0, 0.85, 0.0)),
    ("rudiment_flam_accent", 0, (0.82, None, 0.0)),
    ("rudiment_flam_accent", 128, (-0.82, None, 0.0)),
    ("ease_rebound", 0, (-0.65, 0.0, 0.0)),
    ("ease_rebound", 128, (0.65, 0.0, 0.0)),
    ("ease_elastic", 0, (0.0, 0.0, 0.0)),
    ("ease_elastic", 128, (0.0, 0.0, 0.0)),
    ("ease_elastic", 106, (0.8, 0.0, 0.0)),
    ("groove_b_played", 64, (1.0, None, 0.0)),
    ("groove_b_grid", 240, (1.0, None, 0.0)),
    ("path_crank_slider", 0, (0.78, 0.0, 0.0)),
    ("path_crank_slider", 128, (-0.78, 0.0, 0.0)),
    ("path_rose_4", 0, (0.82, 0.0, 0.0)),
    ("path_bowed_diamond", 0, (0.8, 0.0, 0.0)),
    ("path_orbit_dwell", 0, (0.8, 0.0, 0.0)),
    ("path_torus_knot", 0, (0.76, 0.0, 0.0)),
    ("rhythm_swung_answer", 0, (0.78, -0.3, 0.0)),
    ("rhythm_swung_answer", 128, (-0.78, -0.3, 0.0)),
    ("rhythm_group_332", 96, (-0.5472, -0.2736, 0.0)),
    ("rhythm_group_223", 224, (-0.74, -0.4, 0.0)),
    ("rhythm_euclid_7_16", 192, (-0.76, -0.3, 0.0)),
    ("rhythm_euclid_5_16", 64, (-0.76, -0.3, 0.0)),
    ("rhythm_three_four_five", 0, (0.7, -0.7, 0.55)),
]

# (name, first pip, last pip, (x, y, z)) held exactly over the whole span.
HOLDS = [
    ("lfo_soft_gate", 32, 128, (0.8, 0.0, 0.0)),
    ("lfo_soft_gate", 160, 255, (-0.8, 0.0, 0.0)),
    ("lfo_glide_stair", 0, 32, (-0.8, 0.0, 0.0)),
    ("lfo_glide_stair", 160, 192, (0.8, 0.0, 0.0)),
    ("lfo_pulse_hold", 32, 128, (0.8, 0.0, 0.0)),
    ("lfo_pulse_hold", 192, 255, (0.0, 0.0, 0.0)),
    ("lfo_ratchet", 56, 248, (0.0, 0.0, 0.0)),
]


# --- records ---------------------------------------------------------------------------------


def test_records_follow_the_procedural_head_in_record_order():
    listed = motiloom.catalogue()[FIRST_BAKED : FIRST_BAKED + len(RECORDS)]
    assert [
        (e["name"], e["period_pips"], e["dimensions"], e["description"]) for e in listed
    ] == RECORDS


@pytest.mark.parametrize("name,period,dims,description", RECORDS, ids=NAMES)
def test_record_text_is_stored_byte_for_byte(name, period, dims, description):
    entry = next(e for e in motiloom.catalogue() if e["name"] == name)
    assert entry["description"].encode("utf-8") == description.encode("utf-8")
    assert (entry["period_pips"], entry["dimensions"]) == (period, dims)


# --- closed forms, peaks, stated values, holds -----------------------------------------------


@pytest.mark.parametrize("name", sorted(CLOSED_FORMS))
def test_closed_form_tables_equal_their_formula(name):
    formula = CLOSED_FORMS[name]
    for k, entry in enumerate(table(name)):
        want = formula(k)
        for axis in range(3):
            assert abs(entry[axis] - want[axis]) <= 1e-12, (name, k, "xyz"[axis], entry, want)


@pytest.mark.parametrize("name", NAMES)
def test_peaks_match_the_record(name):
    stated, exact = PEAKS[name]
    assert len(stated) == AXES[name]
    for axis, want in enumerate(stated):
        largest = max(abs(v) for v in column(name, axis))
        if "xyz"[axis] in exact:
            assert largest == want, (name, "xyz"[axis], largest)
        else:
            assert float(f"{largest:.4g}") == want, (name, "xyz"[axis], largest)


@pytest.mark.parametrize(
    "name,pip,want", STATED_VALUES, ids=[f"{n}@{p}" for n, p, _ in STATED_VALUES]
)
def test_stated_values_are_exact(name, pip, want):
    got = motiloom.sample(name, pip).as_tuple()
    for axis, value in enumerate(want):
        if value is not None:
            assert got[axis] == value, (name, pip, "xyz"[axis], got)


@pytest.mark.parametrize(
    "name,first,last,value", HOLDS, ids=[f"{h[0]}:{h[1]}-{h[2]}" for h in HOLDS]
)
def test_holds_are_exact(name, first, last, value):
    for k in range(first, last + 1):
        assert motiloom.sample(name, k).as_tuple() == value, (name, k)


@pytest.mark.parametrize("name", sorted(SILENT_BETWEEN))
def test_onset_studies_rest_exactly_between_pulses(name):
    period = PERIOD[name]
    pulses = SILENT_BETWEEN[name]
    silent = 0
    for k, entry in enumerate(table(name)):
        if all(min((k - c) % period, (c - k) % period) >= w for c, w in pulses):
            silent += 1
            assert entry == (0.0, 0.0, 0.0), (name, k, entry)
    assert silent > 0


def test_only_groove_b_reaches_one_and_only_at_its_stated_pip():
    reached = [(n, k) for n in NAMES for k, e in enumerate(table(n)) if max(map(abs, e)) >= 1.0]
    assert sorted(reached) == [("groove_b_grid", 240), ("groove_b_played", 64)]


def test_double_pump_moves_only_y():
    assert set(column("lfo_double_pump", 0)) == {0.0}


def test_group_223_loops_every_seven_beats():
    assert (
        motiloom.sample("rhythm_group_223", 448).as_tuple()
        == motiloom.sample("rhythm_group_223", 0).as_tuple()
    )
    assert (
        table("rhythm_group_223")
        != table("rhythm_group_223")[224:] + table("rhythm_group_223")[:224]
    )


# --- shaped rows ------------------------------------------------------------------------------


def local_extrema(values, kind):
    """Pips where the loop has a strict local maximum ("max") or minimum ("min")."""
    n = len(values)
    out = []
    for k in range(n):
        a, b, c = values[k - 1], values[k], values[(k + 1) % n]
        if (kind == "max" and b > a and b >= c and b > 0) or (
            kind == "min" and b < a and b <= c and b < 0
        ):
            out.append(k)
    return out


def test_anticipate_mirrors_overshoot_and_all_three_share_the_return():
    anticipate, overshoot = column("ease_anticipate", 0), column("ease_overshoot", 0)
    for k in range(129):
        assert anticipate[k] == -overshoot[128 - k], k
    for k in range(128, 256):
        assert anticipate[k] == overshoot[k] == column("ease_rebound", 0)[k], k


def test_anticipate_dips_and_overshoot_rises_about_point_78():
    assert min(column("ease_anticipate", 0)[:129]) == pytest.approx(-0.78, abs=0.001)
    assert max(column("ease_overshoot", 0)[:129]) == pytest.approx(0.78, abs=0.001)


def test_elastic_peaks_at_106_and_dips_near_67_and_147():
    x = column("ease_elastic", 0)
    assert max(range(256), key=lambda k: abs(x[k])) == 106 and x[106] == 0.8
    assert sum(1 for v in x if abs(v) == 0.8) == 1
    troughs = local_extrema(x, "min")
    for pip, depth in [(67, -0.61), (147, -0.58)]:
        assert pip in troughs
        assert x[pip] == pytest.approx(depth, abs=0.01)
    assert x[67] == min(x[:128]) and x[147] == min(x[128:])


def test_glide_stair_climbs_in_five_steps_and_returns_smoothly():
    x = column("lfo_glide_stair", 0)
    rises = [x[k + 1] - x[k] for k in range(32, 160)]
    assert all(r >= 0 for r in rises)
    speed_peaks = [
        k for k in range(1, len(rises) - 1) if rises[k] > rises[k - 1] and rises[k] >= rises[k + 1]
    ]
    assert len(speed_peaks) == 5
    assert all(x[k + 1] <= x[k] for k in range(192, 255)) and x[255] >= x[0]


def test_surge_sweeps_long_and_recovers_short():
    x = column("lfo_surge", 0)
    rising = sum(1 for k in range(256) if x[(k + 1) % 256] > x[k])
    falling = sum(1 for k in range(256) if x[(k + 1) % 256] < x[k])
    assert rising >= 2 * falling > 0


def test_pulse_hold_recoils_less_than_it_pushes():
    x = column("lfo_pulse_hold", 0)
    recoil = min(x)
    assert -0.8 < recoil < 0 and 128 < x.index(recoil) < 192


@pytest.mark.parametrize(
    "name,axis,count",
    [
        ("lfo_double_pump", 1, 2),
        ("lfo_twin_swell", 1, 2),
    ],
)
def test_unequal_pumps_and_swells(name, axis, count):
    values = [abs(v) for v in column(name, axis)]
    bumps = [k for k in local_extrema(values, "max")]
    assert len(bumps) == count
    heights = [values[k] for k in bumps]
    assert len(set(heights)) == count and max(heights) == 0.85


def test_sweep_ratchet_has_three_decaying_ratchets_and_no_reset_jump():
    y = [abs(v) for v in column("lfo_sweep_ratchet", 1)]
    hits = local_extrema(y, "max")
    assert len(hits) == 3
    assert y[hits[0]] > y[hits[1]] > y[hits[2]]
    x = column("lfo_sweep_ratchet", 0)
    assert max(abs(x[(k + 1) % 512] - x[k]) for k in range(512)) < 0.05


def test_reverse_swell_rises_long_returns_quickly_then_two_smaller_aftershocks():
    y = column("lfo_reverse_swell", 1)
    top = y.index(max(y))
    start = top
    while y[start - 1] < y[start]:
        start -= 1
    back = next(k for k in range(top, 512) if y[k] <= 0.0)
    assert top - start >= 3 * (back - top)
    after = [abs(v) for v in y[back:]]
    shocks = [after[k] for k in local_extrema(after, "max")]
    assert len(shocks) == 2 and shocks[0] > shocks[1] and shocks[0] < max(y)


def test_seeded_drift_has_no_shorter_period_and_independent_lanes():
    t = table("lfo_seeded_drift")
    for shift in (512, 256, 128):
        assert t != t[shift:] + t[:shift]
    x, y = column("lfo_seeded_drift", 0), column("lfo_seeded_drift", 1)
    ratios = {round(a / b, 6) for a, b in zip(x, y, strict=True) if abs(b) > 1e-3}
    assert len(ratios) > 1


# --- sticking studies -------------------------------------------------------------------------

STUDIES = [
    ("rudiment_double_paradiddle", "RLRLRR LRLRLL", {0, 6}),
    ("rudiment_paradiddle_diddle", "RLRRLL LRLLRR", {0, 6}),
    ("rudiment_six_stroke", "RLLRRL LRRLLR", {0, 5, 6, 11}),
]
STROKE_PIPS = [0, 21, 43, 64, 85, 107, 128, 149, 171, 192, 213, 235]


@pytest.mark.parametrize("name,sticking,accents", STUDIES, ids=[s[0] for s in STUDIES])
def test_strokes_follow_the_sticking(name, sticking, accents):
    assert STROKE_PIPS == [math.floor(256 * i / 12 + 0.5) for i in range(12)]
    x, y = column(name, 0), column(name, 1)
    for i, (pip, hand) in enumerate(zip(STROKE_PIPS, sticking.replace(" ", ""), strict=True)):
        side = 1.0 if hand == "R" else -1.0
        if i in accents:
            assert (x[pip], y[pip]) == (0.82 * side, -0.42), (name, i)
        else:
            assert x[pip] * side == pytest.approx(0.49, abs=0.01), (name, i)
            assert y[pip] == pytest.approx(-0.25, abs=0.01), (name, i)
        # Each stroke is the extreme of its own gesture.
        assert abs(x[pip]) >= abs(x[pip - 1]) and abs(x[pip]) >= abs(x[(pip + 1) % 256])
    assert sorted(local_extrema([abs(v) for v in x], "max")) == STROKE_PIPS


def test_flam_accent_grace_dips_lead_the_accents():
    x, y = column("rudiment_flam_accent", 0), column("rudiment_flam_accent", 1)
    for grace, accent, side in [(253, 0, 1.0), (125, 128, -1.0)]:
        assert x[accent] == 0.82 * side
        assert grace in local_extrema(y, "min")
        assert y[grace] == pytest.approx(-0.43, abs=0.01)
    # Six main strokes every 128/3 pips, alternating hands from the right.
    strokes = sorted(local_extrema([abs(v) for v in x], "max"))
    mains = [math.floor(128 * i / 3 + 0.5) for i in range(6)]
    assert all(any(abs(s - m) <= 1 for s in strokes) for m in mains)
    assert [math.copysign(1.0, x[m]) for m in mains] == [1.0, -1.0, 1.0, -1.0, 1.0, -1.0]


# --- grooves ----------------------------------------------------------------------------------


def hit_centres(name):
    """Per axis, the (pip, value) of every gesture's peak: strict local extrema of |value|."""
    out = []
    for axis in range(2):
        values = column(name, axis)
        mags = [abs(v) for v in values]
        out.append([(k, values[k]) for k in local_extrema(mags, "max")])
    return out


@pytest.mark.parametrize("excerpt", ["a", "b"])
def test_grid_grooves_hit_on_sixteenths(excerpt):
    for axis, hits in enumerate(hit_centres(f"groove_{excerpt}_grid")):
        assert hits, axis
        assert all(pip % 16 == 0 for pip, _ in hits), (axis, hits)


@pytest.mark.parametrize("excerpt", ["a", "b"])
def test_played_grooves_displace_the_same_hits_mostly_early(excerpt):
    grid = hit_centres(f"groove_{excerpt}_grid")
    played = hit_centres(f"groove_{excerpt}_played")
    shifts, ratios = [], []
    for axis in range(2):
        assert len(played[axis]) == len(grid[axis]), axis
        # Pair each grid hit with the played hit of the same sign closest to it around the loop.
        for pip, value in grid[axis]:
            candidates = [
                (((q - pip + 256) % 512) - 256, v)
                for q, v in played[axis]
                if (v > 0) == (value > 0)
            ]
            shift, v = min(candidates, key=lambda c: abs(c[0]))
            assert -8 <= shift <= 6, (axis, pip, shift)
            shifts.append(shift)
            ratios.append(v / value)
    early, late = sum(s < 0 for s in shifts), sum(s > 0 for s in shifts)
    assert early > 2 * late
    assert any(r != 1.0 for r in ratios) and all(0.85 <= r <= 1.15 for r in ratios)
