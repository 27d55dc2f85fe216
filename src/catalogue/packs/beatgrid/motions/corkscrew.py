"""Closed corkscrew: orbital turns riding a depth wave, the radius driven by percussion."""

from __future__ import annotations

import math

from tablegen.shapes import TAU, hit, hit_sum, rise_fall, soft_ceiling

from ..score import BAR, Score
from .events import alternating, out, paced_phase, time_of
from .motion import Curve, Motion

# The turns widen as the upper percussion plays, percussion most, and draw in as the low end
# pushes through: each hit's share of the widening, per unit of level.
CORKSCREW_WIDEN = {"perc": 0.22, "snare": 0.16, "hat": 0.08, "kick": -0.06, "bass": -0.05}
WIDEN = rise_fall(6.0, 40.0)
RADIUS = 0.36
# The depth wave rides the same paced travel as the turns, one wave for every two turns; kicks and
# the bass thrust it further forward for a moment.
DEPTH = 0.5
THRUST = (rise_fall(4.0, 24.0), {"kick": 0.1, "bass": 0.07})


def corkscrew(score: Score, axes: int) -> Curve:
    """Closed corkscrew: two turns per bar round a depth wave that rises and falls once a bar,
    both paced by the score, so the screw winds faster through the busy beats. Percussion,
    snares and hats widen the turns, kicks and bass draw them in and thrust the wave forward."""
    period = score.period
    bars = period / BAR
    travel = paced_phase(score, score.events)
    widen = hit_sum(
        [hit(time_of(e), CORKSCREW_WIDEN[e.role] * e.level, kernel=WIDEN) for e in score.events],
        period,
        1,
    )
    kernel, reach = THRUST
    thrust = hit_sum(
        [hit(time_of(e), reach[e.role] * e.level, kernel=kernel) for e in score.of(*reach)],
        period,
        1,
    )
    # a hat ticks the turn out of round, to alternate sides of its path
    kick = hit_sum(
        [
            hit(time_of(e), side * 0.04 * e.level, kernel=rise_fall(2.0, 8.0))
            for e, side in alternating(score.of("hat"))
        ],
        period,
        1,
    )

    def curve(k: float) -> tuple[float, ...]:
        wave = bars * travel(k)  # depth waves (bars) done by pip k
        angle = TAU * 2.0 * wave
        radius = RADIUS + soft_ceiling(widen(k)[0], 0.14, 0.2) + kick(k)[0]
        depth = DEPTH * math.cos(TAU * wave) + thrust(k)[0]
        return out(
            axes,
            radius * math.cos(angle),
            radius * math.sin(angle),
            soft_ceiling(depth, 0.52, 0.58),
        )

    return curve


MOTION = Motion(
    "corkscrew",
    "Closed corkscrew",
    "Two orbital turns ride a depth wave with percussion-driven radius.",
    "xyz",
    (0.50, 0.60),
    corkscrew,
)
