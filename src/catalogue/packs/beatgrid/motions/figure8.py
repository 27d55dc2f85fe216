"""Woven figure eight: two crossing lobes that grow at kicks, snares lifting the crossing."""

from __future__ import annotations

import math

from tablegen.shapes import TAU, hit_sum, rise_fall, soft_ceiling

from ..score import BAR, Score
from .events import energy, level_hits, out, paced_phase, side_hits
from .motion import Curve, Motion

FIGURE8_WEAVE = 0.1  # the two passes through the crossing, one above the other in depth
# Accents on the path, to alternate sides: percussion jogs it, hats ripple it, snares lift it.
FIGURE8_ACCENT = rise_fall(3.0, 12.0)
FIGURE8_ACCENTS = {
    "perc": (0.06, 0.08),
    "hat": (0.0, 0.1),
    "snare": (0.0, 0.05),
    "bass": (0.05, -0.05),
}


def figure8(score: Score, axes: int) -> Curve:
    """Woven figure eight: two lobes left and right, drawn once per bar; the two passes through
    the crossing are woven, one in front of the other. Kicks and the bass widen the lobes and
    snares lift the point further in depth; percussion, hats and snares accent the path."""
    period = score.period
    travel = paced_phase(score, score.events)
    lobes = energy(score, score.of("kick", "bass"), rise_fall(16.0, 48.0), 1.0, 1.4)
    accents = []
    for role, reach in FIGURE8_ACCENTS.items():
        accents += side_hits(score.of(role), reach, FIGURE8_ACCENT)
    accent = hit_sum(accents, period, 2)
    lift = hit_sum(level_hits(score.of("snare"), [0.22], rise_fall(8.0, 24.0)), period, 1)
    bars = period / BAR

    def curve(k: float) -> tuple[float, ...]:
        angle = TAU * bars * travel(k)
        size = 0.5 + 0.1 * lobes(k)
        z = soft_ceiling(FIGURE8_WEAVE * math.sin(angle) + lift(k)[0], 0.22, 0.28)
        ax, ay = accent(k)
        x = soft_ceiling(size * math.cos(angle) + ax, 0.6, 0.64)
        return out(axes, x, 0.55 * size * math.sin(2.0 * angle) + ay, z)

    return curve


MOTION = Motion(
    "figure8",
    "Woven figure eight",
    "Two crossing lobes expand at kicks with a lifted snare crossing.",
    "xy",
    (0.55, 0.64),
    figure8,
)
