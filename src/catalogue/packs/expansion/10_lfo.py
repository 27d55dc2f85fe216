"""Low-frequency shapes of the expansion pack: swells, holds, ratchets, wobbles, an orbit,
seeded random lanes, a dwelling pendulum and a reverse swell."""

import math

from tablegen.facts import constant_over, formula, monotone_over, peaks, value_at
from tablegen.model import Pattern
from tablegen.shapes import (
    accelerating,
    add,
    closed_spline,
    component,
    hashed_points,
    hit_sum,
    keyframe_lane,
    keyframes,
    lanes,
    onset,
    phase,
    scale_lane_to_peak,
    smootherstep,
    smoothstep,
)

FOUR_BEATS = 256
EIGHT_BEATS = 512
SIXTEEN_BEATS = 1024

# lfo_twin_swell: two broad four-beat swells in y, the first deep and the second shallower;
# x answers each swell with a gentle sideways lean as it subsides, to the right after the first
# and a little to the left after the second.
TWIN_SWELLS = [(128, 0.0, 0.85, 128), (384, 0.0, 0.5, 128)]
TWIN_ANSWERS = [(224, 0.32, 0.0, 96), (480, -0.2, 0.0, 96)]
twin_swell = hit_sum(
    [onset(t, x, y, width=w) for t, x, y, w in TWIN_SWELLS + TWIN_ANSWERS], EIGHT_BEATS
)

# lfo_pulse_hold: out to +0.8 in half a beat, hold for a beat and a half, swing through to a
# smaller recoil at -0.35, settle back to 0 by pip 192 and rest there for the last beat.
pulse_hold = keyframes([(0, 0.0), (32, 0.8), (128, 0.8), (164, -0.35), (192, 0.0)], FOUR_BEATS)

# lfo_sweep_ratchet: x sweeps slowly from -0.75 to +0.75 over five beats and glides back over
# the last three (no reset jump) while y fires three ratchet strokes a beat apart, each smaller
# than the last.
sweep_x = keyframe_lane([(0, -0.75), (320, 0.75)], EIGHT_BEATS)
RATCHETS = [(352, -0.65), (384, -0.45), (416, -0.28)]
ratchet_y = component(hit_sum([onset(t, y, width=16) for t, y in RATCHETS], EIGHT_BEATS), 0)
sweep_ratchet = lanes(sweep_x, ratchet_y)


def triplet_wobble(k):
    phi = phase(k, EIGHT_BEATS)
    return ((0.5525 - 0.255 * math.cos(phi)) * math.sin(12 * phi), 0.22 * math.sin(phi))


def triplet_wobble_rule(k):
    """lfo_triplet_wobble written out again from its closed form, to check the table against."""
    phi = 2 * math.pi * k / 512
    return ((0.5525 - 0.255 * math.cos(phi)) * math.sin(12 * phi), 0.22 * math.sin(phi))


def breathing_orbit(k):
    phi = phase(k, EIGHT_BEATS)
    return (
        0.67 * math.cos(phi) + 0.11 * math.cos(3 * phi),
        0.39 * math.sin(phi) + 0.09 * math.sin(3 * phi),
    )


def breathing_orbit_rule(k):
    """lfo_breathing_orbit written out again from its closed form."""
    phi = 2 * math.pi * k / 512
    return (
        0.67 * math.cos(phi) + 0.11 * math.cos(3 * phi),
        0.39 * math.sin(phi) + 0.09 * math.sin(3 * phi),
    )


# lfo_seeded_drift: each lane is a closed spline through control points drawn from SHA-256
# digests of the lane's name and the point's index, at unevenly jittered times; the lanes use
# different point counts so that they never line up. Each lane is scaled to its own peak.
def seeded_lane(lane_name, count, peak):
    points = hashed_points(f"lfo_seeded_drift/{lane_name}", count, SIXTEEN_BEATS, jitter=0.3)
    spline = component(closed_spline(points, SIXTEEN_BEATS), 0)
    return scale_lane_to_peak(spline, SIXTEEN_BEATS, peak)


seeded_drift = lanes(seeded_lane("x", 9, 0.7871), seeded_lane("y", 13, 0.6098))


def pendulum_dwell(k):
    phi = phase(k, EIGHT_BEATS)
    return (0.78 * math.tanh(2.8 * math.sin(phi)) / math.tanh(2.8), 0.22 * math.cos(2 * phi))


def pendulum_dwell_rule(k):
    """lfo_pendulum_dwell written out again from its closed form."""
    phi = 2 * math.pi * k / 512
    return (0.78 * math.tanh(2.8 * math.sin(phi)) / math.tanh(2.8), 0.22 * math.cos(2 * phi))


# lfo_reverse_swell: y climbs slowly and ever faster over five beats (an accelerated quintic
# ease) to +0.82, drops back to 0 within half a beat, then two aftershocks of shrinking size.
# x leans left in proportion to the main swell, so the rise and return run along a diagonal.
REVERSE_PEAK_PIP = 320
swell = keyframe_lane(
    [(0, 0.0, accelerating(smootherstep, 2.0)), (REVERSE_PEAK_PIP, 1.0, smoothstep), (352, 0.0)],
    EIGHT_BEATS,
)
AFTERSHOCKS = hit_sum(
    [onset(376, 0.06, -0.26, width=16), onset(410, -0.035, 0.12, width=14)], EIGHT_BEATS
)
reverse_swell = lanes(
    add(lambda k: -0.24 * swell(k), component(AFTERSHOCKS, 0)),
    add(lambda k: 0.82 * swell(k), component(AFTERSHOCKS, 1)),
)


PATTERNS = [
    Pattern(
        "lfo_twin_swell",
        "Two broad swells of unequal depth, with a gentle lateral answer. Eight beats.",
        EIGHT_BEATS,
        2,
        twin_swell,
        facts=(
            peaks(0.32, 0.85, exact="xy"),
            value_at(128, y=0.85),
            value_at(384, y=0.5),
            value_at(224, x=0.32),
        ),
    ),
    Pattern(
        "lfo_pulse_hold",
        "A smooth outward pulse, sustained plateau, smaller opposite recoil, and rest.",
        FOUR_BEATS,
        1,
        pulse_hold,
        facts=(
            peaks(0.8, exact="x"),
            constant_over(32, 128, 0.8),
            value_at(164, -0.35),
            constant_over(192, 255, 0.0),
        ),
    ),
    Pattern(
        "lfo_sweep_ratchet",
        "A slow lateral sweep followed by three decaying vertical ratchets; no reset jump.",
        EIGHT_BEATS,
        2,
        sweep_ratchet,
        facts=(
            peaks(0.75, 0.65, exact="xy"),
            value_at(0, -0.75, 0.0),
            value_at(320, 0.75, 0.0),
            *(value_at(t, y=y) for t, y in RATCHETS),
            monotone_over(0, 320, "x", rising=True),
            monotone_over(320, 512, "x", rising=False),
            constant_over(0, 336, (None, 0.0)),
        ),
    ),
    Pattern(
        "lfo_triplet_wobble",
        "Three rounded oscillations per two beats, breathing in depth over an eight-beat phrase.",
        EIGHT_BEATS,
        2,
        triplet_wobble,
        facts=(
            formula(triplet_wobble_rule, label="(0.5525 - 0.255 cos phi) sin 12phi; 0.22 sin phi"),
            peaks(0.8042, 0.22, exact="y"),
        ),
    ),
    Pattern(
        "lfo_breathing_orbit",
        "A closed ellipse expands and contracts twice during its eight-beat revolution.",
        EIGHT_BEATS,
        2,
        breathing_orbit,
        facts=(
            formula(
                breathing_orbit_rule,
                label="0.67 cos phi + 0.11 cos 3phi; 0.39 sin phi + 0.09 sin 3phi",
            ),
            peaks(0.78, 0.344, exact="x"),
            value_at(0, 0.78, 0.0),
        ),
    ),
    Pattern(
        "lfo_seeded_drift",
        "Two independently seeded smooth random lanes; irregular-looking but exactly periodic "
        "and seekable.",
        SIXTEEN_BEATS,
        2,
        seeded_drift,
        facts=(peaks(0.7871, 0.6098),),
    ),
    Pattern(
        "lfo_pendulum_dwell",
        "Rounded saturation slows the pendulum near either side; a shallow arc connects the turns.",
        EIGHT_BEATS,
        2,
        pendulum_dwell,
        facts=(
            formula(pendulum_dwell_rule, label="0.78 tanh(2.8 sin phi) / tanh(2.8); 0.22 cos 2phi"),
            peaks(0.78, 0.22, exact="xy"),
            value_at(128, 0.78),
            value_at(384, -0.78),
        ),
    ),
    Pattern(
        "lfo_reverse_swell",
        "A long anticipatory rise, quick softened return, and two diminishing aftershocks.",
        EIGHT_BEATS,
        2,
        reverse_swell,
        facts=(
            peaks(0.24, 0.82, exact="xy"),
            value_at(0, 0.0, 0.0),
            value_at(REVERSE_PEAK_PIP, -0.24, 0.82),
            monotone_over(0, REVERSE_PEAK_PIP, "y", rising=True),
            constant_over(430, 511, (0.0, 0.0)),
        ),
    ),
]
