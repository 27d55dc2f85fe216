"""Percussion orbit: a turn whose speed, radius and depth follow the weighted events."""

from __future__ import annotations

import math

from tablegen.shapes import TAU, hit, hit_sum, pulse_phase, rise_fall

from ..score import BAR, Score
from .events import alternating, energy, flurry_weight, groups, out, time_of
from .motion import Curve, Motion

ORBIT_RADIUS, ORBIT_TUCK = 0.58, 0.15  # the radius at a hit, and how far it draws in between
# The angular speed: a coasting rate of 0.75 units plus, per unit of event weight, a raised-cosine
# push centred 4 pips after the event that starts 8 pips before it. With one accented kick per
# beat this sweeps 12 degrees in the last 8 pips before a kick, 60 in the 32 after it and 18 in
# the 24 between: the push's height and fall are solved from those shares.
ORBIT_COAST = 0.75
ORBIT_DELAY, ORBIT_RISE = 4.0, 12.0
ORBIT_PUSH = 6.0 / (4.0 - 6.0 / math.pi * math.sin(math.pi / 3.0))
ORBIT_FALL = 84.0 / ORBIT_PUSH - ORBIT_RISE
# The radius swells to its full size over the 8 pips before an event and draws in over 32 after.
ORBIT_SWELL = rise_fall(8.0, 32.0)
# Hits closer together than this (a roll, a flam, a fill) push the angle on as one, so a roll
# sweeps the orbit on instead of flinging it round.
ORBIT_FLURRY = 12
# Depth: snares and percussion lift the orbit out of its plane, kicks and bass press it back.
# Hits closer together than this (a roll, a flam, a fill) push the angle on as one, so a roll
# sweeps the orbit on instead of flinging it round.
ORBIT_FLURRY = 12
# Depth: snares and percussion lift the orbit out of its plane, kicks and bass press it back, hats
# tick it to alternate sides.
ORBIT_DEPTH = {"snare": 0.16, "perc": 0.12, "hat": 0.05, "bass": -0.14, "kick": -0.06}


def orbit(score: Score, axes: int) -> Curve:
    """Percussion orbit: one turn per bar, whatever the length of the loop, whose angular speed,
    radius and depth follow the weighted events. Each hit swells the radius to 0.58 and pushes
    the angle on; between hits the point draws in to 0.43 and coasts."""
    bars = score.period / BAR
    pushes = [
        (time_of(group[0]) + ORBIT_DELAY, ORBIT_PUSH * flurry_weight(group))
        for group in groups(score, score.events, ORBIT_FLURRY)
    ]
    turn = pulse_phase(pushes, score.period, ORBIT_COAST, ORBIT_RISE, ORBIT_FALL)
    swell = energy(score, score.events, ORBIT_SWELL, 1.0, 1.2)
    depth = hit_sum(
        [
            hit(time_of(e), side * ORBIT_DEPTH[e.role] * e.level, kernel=ORBIT_SWELL)
            for e, side in alternating(score.events, only="hat")
        ],
        score.period,
        1,
    )

    def curve(k: float) -> tuple[float, ...]:
        angle = TAU * bars * turn(k)
        radius = ORBIT_RADIUS - ORBIT_TUCK + ORBIT_TUCK * swell(k)
        return out(axes, radius * math.cos(angle), radius * math.sin(angle), depth(k)[0])

    return curve


MOTION = Motion(
    "orbit",
    "Percussion orbit",
    "Original Club 05 event-weighted orbital speed, radius and depth.",
    "xy",
    (0.54, 0.62),
    orbit,
)
