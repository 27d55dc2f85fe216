"""Weighted pendulum: a hanging arc whose swing responds to the score."""

from __future__ import annotations

import math

from tablegen.shapes import TAU, rise_fall

from ..score import BAR, Score
from .events import energy, out, paced_phase
from .motion import Curve, Motion


def pendulum(score: Score, axes: int) -> Curve:
    """Weighted pendulum: a bob on a unit arm swings once each way per bar, starting at its right
    end; events quicken the swing around them and widen it. The bob rises on a circle toward the
    ends of its arc."""
    swing = paced_phase(score, score.events, delay=16.0, rise=16.0, fall=48.0)
    width = energy(score, score.of("kick", "snare"), rise_fall(32.0, 64.0), 1.0, 1.3)
    bars = score.period / BAR

    def curve(k: float) -> tuple[float, ...]:
        angle = (0.46 + 0.07 * width(k)) * math.cos(TAU * bars * swing(k))
        return out(axes, math.sin(angle), 1.0 - math.cos(angle), 0.1 * math.sin(TAU * swing(k)))

    return curve


MOTION = Motion(
    "pendulum",
    "Weighted pendulum",
    "A hanging arc whose amplitude and angular speed respond to the score.",
    "x",
    (0.46, 0.56),
    pendulum,
)
