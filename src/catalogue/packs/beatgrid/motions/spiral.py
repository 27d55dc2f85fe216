"""Breathing spiral: a double-turn path that contracts and expands."""

from __future__ import annotations

import math

from tablegen.shapes import TAU

from ..score import STEP, Score
from .events import out, paced_phase, weight_of
from .motion import Curve, Motion


def spiral(score: Score, axes: int) -> Curve:
    """Breathing spiral: two turns per loop while the radius opens out from 0.32 to its widest
    halfway and contracts again, so the path closes on itself; the widest radius grows with the
    score's weight."""
    turn = paced_phase(score, score.events)
    busy = min(1.0, sum(weight_of(e) for e in score.events) / (score.period / STEP))
    widest = 0.6 + 0.07 * busy
    period = score.period

    def curve(k: float) -> tuple[float, ...]:
        breath = (1.0 - math.cos(TAU * k / period)) / 2.0
        radius = 0.32 + (widest - 0.32) * breath
        angle = TAU * 2.0 * turn(k)
        depth = 0.2 * (breath - 0.5)
        return out(axes, radius * math.cos(angle), radius * math.sin(angle), depth)

    return curve


MOTION = Motion(
    "spiral",
    "Breathing spiral",
    "A contracting and expanding double-turn path with a continuous seam.",
    "xy",
    (0.59, 0.68),
    spiral,
)
