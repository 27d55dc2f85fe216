"""Low-frequency shapes of the initial pack: sines, sweeps, gates, pumps, ratchets and a flower."""

import math

from tablegen.facts import constant_over, formula, monotone_over, peaks, value_at
from tablegen.model import Pattern
from tablegen.shapes import (
    hit_sum,
    keyframe_lane,
    keyframes,
    onset,
    phase,
    rounded_ramp,
    smootherstep,
    soft_triangle,
)

FOUR_BEATS = 256
EIGHT_BEATS = 512


# lfo_breathe: the plain four-beat sine every busier shape is judged against.
def breathe(k):
    return (0.8 * math.sin(phase(k, FOUR_BEATS)),)


# lfo_surge: a long sweep from -0.8 to +0.8 at constant speed with rounded ends (three beats),
# then a one-beat recovery that eases back down, so the reset of a sawtooth becomes a motion.
surge = keyframes(
    [(0, -0.8, rounded_ramp(0.25)), (192, 0.8, smootherstep)],
    FOUR_BEATS,
)


# lfo_soft_gate: half-beat quintic transitions between long holds at +-0.8.
soft_gate = keyframes([(0, -0.8), (32, 0.8), (128, 0.8), (160, -0.8)], FOUR_BEATS)


def soft_gate_rule(k):
    """The gate written out piece by piece, independently of the keyframe machinery."""
    if k <= 32:
        return (-0.8 + 1.6 * smootherstep(k / 32),)
    if k <= 128:
        return (0.8,)
    if k <= 160:
        return (0.8 - 1.6 * smootherstep((k - 128) / 32),)
    return (-0.8,)


# lfo_double_pump: y only. A full pump (quick push, slower release), a smaller second pump, then
# a breathing space of two beats at rest. x stays exactly 0.
double_pump_y = keyframe_lane(
    [(0, 0.0), (12, 0.85), (56, 0.0), (72, 0.0), (82, 0.5), (120, 0.0)], FOUR_BEATS
)


def double_pump(k):
    return (0.0, double_pump_y(k))


# lfo_ratchet: four raised-cosine hits a quarter beat apart, each 0.144 (x) lower than the last,
# then a rest for the remaining three beats.
RATCHET_HITS = [(0, 0.8, -0.5), (16, 0.656, -0.41), (32, 0.512, -0.32), (48, 0.368, -0.23)]
ratchet = hit_sum([onset(t, x, y, width=8) for t, x, y in RATCHET_HITS], FOUR_BEATS)


# lfo_glide_stair: hold low for half a beat, five quarter-beat climbs of 0.32 with short
# landings between them, hold high for half a beat, then one smooth beat back down.
STAIR_LEVELS = [-0.8, -0.48, -0.16, 0.16, 0.48, 0.8]
STAIR_CLIMB, STAIR_LANDING = 16, 12


def _stair_frames():
    frames = [(0, STAIR_LEVELS[0]), (32, STAIR_LEVELS[0])]
    pip = 32
    for level in STAIR_LEVELS[1:]:
        pip += STAIR_CLIMB
        frames.append((pip, level))
        if level != STAIR_LEVELS[-1]:
            pip += STAIR_LANDING
            frames.append((pip, level))
    frames.append((192, STAIR_LEVELS[-1]))
    return frames


glide_stair = keyframes(_stair_frames(), FOUR_BEATS)


# lfo_morph: four oscillations per two-beat cycle whose shape crossfades over the eight-beat
# phrase from a sine (around pip 0) to a skewed triangle (around pip 256) and back. y shows the
# blend: -0.2 while pure sine, +0.2 while pure triangle.
morph_amount = keyframe_lane([(0, 0.0), (64, 0.0), (192, 1.0), (320, 1.0), (448, 0.0)], EIGHT_BEATS)
MORPH_RISE = 0.7  # the triangle rises for 70% of each cycle and falls for 30%


def morph(k):
    cycle = 4 * k / EIGHT_BEATS
    sine = math.sin(math.tau * cycle)
    # Shift the triangle so that it crosses zero upwards where the sine does.
    triangle = soft_triangle(cycle + MORPH_RISE / 2, MORPH_RISE, 0.06)
    m = morph_amount(k)
    return (0.8 * ((1.0 - m) * sine + m * triangle), 0.2 * (2.0 * m - 1.0))


# lfo_flower: a circle plus a counter-rotating second harmonic draws three lobes.
def flower(k):
    phi = phase(k, EIGHT_BEATS)
    return (
        0.56 * math.cos(phi) - 0.28 * math.cos(2 * phi),
        0.56 * math.sin(phi) + 0.28 * math.sin(2 * phi),
    )


def flower_rule(k):
    """lfo_flower written out again from its closed form, to check the table against."""
    phi = 2 * math.pi * k / 512
    return (
        0.56 * math.cos(phi) - 0.28 * math.cos(2 * phi),
        0.56 * math.sin(phi) + 0.28 * math.sin(2 * phi),
    )


PATTERNS = [
    Pattern(
        "lfo_breathe",
        "A four-beat, single-axis sine. The quiet reference for judging busier shapes.",
        FOUR_BEATS,
        1,
        breathe,
        facts=(
            formula(
                lambda k: (0.8 * math.sin(2 * math.pi * k / 256),), label="0.8 sin(2 pi k / 256)"
            ),
            peaks(0.8, exact="x"),
            value_at(0, 0.0),
            value_at(64, 0.8),
            value_at(128, 0.0),
            value_at(192, -0.8),
        ),
    ),
    Pattern(
        "lfo_surge",
        "A long rounded sweep and short recovery; an independently authored smooth-reset shape.",
        FOUR_BEATS,
        1,
        surge,
        facts=(
            peaks(0.8, exact="x"),
            value_at(0, -0.8),
            value_at(192, 0.8),
            monotone_over(0, 192, "x", rising=True),
            monotone_over(192, 256, "x", rising=False),
        ),
    ),
    Pattern(
        "lfo_soft_gate",
        "Short smooth transitions separated by long stationary dwells. No square-wave teleport.",
        FOUR_BEATS,
        1,
        soft_gate,
        facts=(
            formula(soft_gate_rule),
            peaks(0.8, exact="x"),
            constant_over(32, 128, 0.8),
            constant_over(160, 255, -0.8),
            value_at(0, -0.8),
        ),
    ),
    Pattern(
        "lfo_double_pump",
        "Two unequal pumps and a breathing space within four beats.",
        FOUR_BEATS,
        2,
        double_pump,
        facts=(
            peaks(0.0, 0.85, exact="xy"),
            value_at(12, 0.0, 0.85),
            value_at(82, 0.0, 0.5),
            constant_over(120, 255, (0.0, 0.0)),
        ),
    ),
    Pattern(
        "lfo_ratchet",
        "A four-hit decaying burst, then a rest. Every event is peak-aligned.",
        FOUR_BEATS,
        2,
        ratchet,
        facts=(
            peaks(0.8, 0.5, exact="xy"),
            *(value_at(t, x, y) for t, x, y in RATCHET_HITS),
            value_at(8, 0.0, 0.0),
            value_at(24, 0.0, 0.0),
            value_at(40, 0.0, 0.0),
            constant_over(56, 248, (0.0, 0.0, 0.0)),
        ),
    ),
    Pattern(
        "lfo_glide_stair",
        "Five rounded steps traverse the field, then a smooth return.",
        FOUR_BEATS,
        1,
        glide_stair,
        facts=(
            peaks(0.8, exact="x"),
            constant_over(0, 32, -0.8),
            constant_over(160, 192, 0.8),
            monotone_over(0, 192, "x", rising=True),
            monotone_over(192, 256, "x", rising=False),
        ),
    ),
    Pattern(
        "lfo_morph",
        "An eight-beat blend between a sine and skewed triangle; movement changes within the "
        "phrase.",
        EIGHT_BEATS,
        2,
        morph,
        facts=(
            peaks(0.8, 0.2, exact="xy"),
            value_at(32, 0.8, -0.2),
            value_at(480, -0.8, -0.2),
        ),
    ),
    Pattern(
        "lfo_flower",
        "Related rotations form an original three-lobed XY loop over eight beats.",
        EIGHT_BEATS,
        2,
        flower,
        facts=(
            formula(
                flower_rule, label="0.56 cos phi - 0.28 cos 2phi; 0.56 sin phi + 0.28 sin 2phi"
            ),
            peaks(0.84, 0.7274, exact="x"),
            value_at(0, 0.28, 0.0),
            value_at(256, -0.84),
        ),
    ),
]
