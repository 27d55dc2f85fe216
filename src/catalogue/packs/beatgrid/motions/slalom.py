"""Drum slalom: S-shaped travel with kick lift, snare cutbacks and depth counter-motion."""

from __future__ import annotations

import math

from tablegen.shapes import TAU, hit, hit_sum, rise_fall, soft_ceiling

from ..score import BAR, Score
from .events import KICK_PULSE, level_hits, out, paced_phase, time_of
from .motion import Curve, Motion

SLALOM_SWEEP = 0.6  # how far the course runs to each side
SLALOM_BEND = 0.14  # how far the S bends up and down between its ends
SLALOM_DEPTH = 0.3  # depth counter to the sideways position


def slalom(score: Score, axes: int) -> Curve:
    """Drum slalom: back and forth along an S-shaped course, one run each way per bar, paced by
    the rhythm and starting at the course's right end. A snare cuts back against the travel, a
    kick lifts, and depth moves against the sideways position."""
    period = score.period
    bars = period / BAR
    travel = paced_phase(score, score.events)
    cuts = []
    for e in score.of("snare"):
        heading = -math.sin(TAU * bars * travel(time_of(e)))  # the travel's direction at the snare
        cut = -math.copysign(0.1, heading) * e.level if heading else 0.0
        cuts.append(hit(time_of(e), cut, kernel=rise_fall(8.0, 24.0)))
    cutback = hit_sum(cuts, period, 1)
    lift = hit_sum(level_hits(score.of("kick"), [0.22], KICK_PULSE), period, 1)

    def curve(k: float) -> tuple[float, ...]:
        along = math.cos(TAU * bars * travel(k))  # -1 .. 1 from the left end to the right
        x = soft_ceiling(SLALOM_SWEEP * along + cutback(k)[0], 0.62, 0.66)
        y = SLALOM_BEND * math.sin(math.pi * along) + lift(k)[0]
        return out(axes, x, y, -SLALOM_DEPTH * along)

    return curve


MOTION = Motion(
    "slalom",
    "Drum slalom",
    "S-shaped travel with kick lift, snare cutbacks and depth counter-motion.",
    "x",
    (0.58, 0.66),
    slalom,
)
