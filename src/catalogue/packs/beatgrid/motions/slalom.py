"""Drum slalom: S-shaped travel with kick lift, snare cutbacks and depth counter-motion."""

from __future__ import annotations

import math

from tablegen.shapes import TAU, hit, hit_sum, rise_fall, soft_ceiling

from ..score import BAR, Score
from .events import KICK_PULSE, alternating, level_hits, out, paced_phase, time_of
from .motion import Curve, Motion

SLALOM_SWEEP = 0.6  # how far the course runs to each side
SLALOM_BEND = 0.14  # how far the S bends up and down between its ends
SLALOM_DEPTH = 0.3  # depth counter to the sideways position
SLALOM_CUT = {"snare": 0.1, "perc": 0.06}  # how far a cutback swings against the travel
# Hats chatter the point up and down, in turn; the bass sinks it and leans it into the slope.
CHATTER = (rise_fall(2.0, 8.0), 0.08)
SLALOM_BASS = (rise_fall(8.0, 32.0), (0.0, -0.08, 0.08))


def slalom(score: Score, axes: int) -> Curve:
    """Drum slalom: back and forth along an S-shaped course, one run each way per bar, paced by
    the rhythm and starting at the course's right end. A snare cuts back against the travel and
    percussion more lightly, a kick lifts, hats chatter, the bass sinks the point and leans it
    into the slope, and depth moves against the sideways position."""
    period = score.period
    bars = period / BAR
    travel = paced_phase(score, score.events)
    cuts = []
    for e in score.of(*SLALOM_CUT):
        heading = -math.sin(TAU * bars * travel(time_of(e)))  # the travel's direction at the hit
        cut = -math.copysign(SLALOM_CUT[e.role], heading) * e.level if heading else 0.0
        cuts.append(hit(time_of(e), cut, kernel=rise_fall(8.0, 24.0)))
    cutback = hit_sum(cuts, period, 1)
    kernel, chatter = CHATTER
    bass_kernel, sink = SLALOM_BASS
    lift = hit_sum(
        level_hits(score.of("kick"), [0.0, 0.22, 0.0], KICK_PULSE)
        + level_hits(score.of("bass"), sink, bass_kernel)
        + [
            hit(time_of(e), 0.0, side * chatter * e.level, kernel=kernel)
            for e, side in alternating(score.of("hat"))
        ],
        period,
    )

    def curve(k: float) -> tuple[float, ...]:
        along = math.cos(TAU * bars * travel(k))  # -1 .. 1 from the left end to the right
        x = soft_ceiling(SLALOM_SWEEP * along + cutback(k)[0], 0.62, 0.66)
        _, up, lean = lift(k)
        y = SLALOM_BEND * math.sin(math.pi * along) + up
        return out(axes, x, y, lean - SLALOM_DEPTH * along)

    return curve


MOTION = Motion(
    "slalom",
    "Drum slalom",
    "S-shaped travel with kick lift, snare cutbacks and depth counter-motion.",
    "x",
    (0.58, 0.66),
    slalom,
)
