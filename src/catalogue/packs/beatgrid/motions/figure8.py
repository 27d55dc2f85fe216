"""Woven figure eight: two crossing lobes that grow at kicks, snares lifting the crossing."""

from __future__ import annotations

import math

from tablegen.shapes import TAU, hit_sum, rise_fall, soft_ceiling

from ..score import BAR, Score
from .events import energy, level_hits, out, paced_phase
from .motion import Curve, Motion

FIGURE8_WEAVE = 0.1  # the two passes through the crossing, one above the other in depth


def figure8(score: Score, axes: int) -> Curve:
    """Woven figure eight: two lobes left and right, drawn once per bar; the two passes through
    the crossing are woven, one in front of the other. Kicks widen the lobes and snares lift
    the point further in depth."""
    period = score.period
    travel = paced_phase(score, score.events)
    lobes = energy(score, score.of("kick"), rise_fall(16.0, 48.0), 1.0, 1.4)
    lift = hit_sum(level_hits(score.of("snare"), [0.22], rise_fall(8.0, 24.0)), period, 1)
    bars = period / BAR

    def curve(k: float) -> tuple[float, ...]:
        angle = TAU * bars * travel(k)
        size = 0.5 + 0.1 * lobes(k)
        z = soft_ceiling(FIGURE8_WEAVE * math.sin(angle) + lift(k)[0], 0.22, 0.28)
        return out(axes, size * math.cos(angle), 0.55 * size * math.sin(2.0 * angle), z)

    return curve


MOTION = Motion(
    "figure8",
    "Woven figure eight",
    "Two crossing lobes expand at kicks with a lifted snare crossing.",
    "xy",
    (0.55, 0.64),
    figure8,
)
