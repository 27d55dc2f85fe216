"""Closed corkscrew: orbital turns riding a depth wave, the radius driven by percussion."""

from __future__ import annotations

import math

from tablegen.shapes import TAU, rise_fall

from ..score import Score
from .events import energy, out, paced_phase
from .motion import Curve, Motion


def corkscrew(score: Score, axes: int) -> Curve:
    """Closed corkscrew: two turns per loop around a depth wave that rises and falls once; hits
    of percussion, snares and hats widen the turns."""
    turn = paced_phase(score, score.events)
    widen = energy(score, score.of("perc", "snare", "hat"), rise_fall(8.0, 40.0), 1.0, 1.3)
    period = score.period

    def curve(k: float) -> tuple[float, ...]:
        angle = TAU * 2.0 * turn(k)
        radius = 0.34 + 0.14 * widen(k)
        depth = 0.5 * math.cos(TAU * k / period)
        return out(axes, radius * math.cos(angle), radius * math.sin(angle), depth)

    return curve


MOTION = Motion(
    "corkscrew",
    "Closed corkscrew",
    "Two orbital turns ride a depth wave with percussion-driven radius.",
    "xyz",
    (0.50, 0.60),
    corkscrew,
)
