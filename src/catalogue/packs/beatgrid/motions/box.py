"""Rounded corner tour: a rhythm-weighted phase travels round four softened corners."""

from __future__ import annotations

import math

from tablegen.shapes import TAU

from ..score import BAR, STEP, Score
from .events import out, paced_phase, weight_of
from .motion import Curve, Motion


def rounded_square(u: float, half: float, corner: float) -> tuple[float, float]:
    """The point at fraction u of the way round a square of half-size `half` whose corners are
    quarter circles of radius `corner`, anticlockwise from the middle of its right side."""
    straight = 2.0 * (half - corner)
    arc = math.pi * corner / 2.0
    s = (u % 1.0) * 4.0 * (straight + arc)
    s = (s + straight / 2.0) % (4.0 * (straight + arc))  # from the start of the right side
    side, s = divmod(s, straight + arc)
    if s < straight:
        x, y = half, -half + corner + s
    else:
        a = (s - straight) / corner
        x, y = half - corner + corner * math.cos(a), half - corner + corner * math.sin(a)
    for _ in range(int(side)):  # turn the right side's piece to the side it belongs to
        x, y = -y, x
    return x, y


def box(score: Score, axes: int) -> Curve:
    """Rounded corner tour: once round a square with softened corners per bar, at a speed that
    follows the rhythm's weight; busier scores draw a slightly larger box, and depth dips at
    each corner."""
    turn = paced_phase(score, score.events)
    busy = min(1.0, sum(weight_of(e) for e in score.events) / (score.period / STEP))
    half = 0.48 + 0.04 * busy
    bars = score.period / BAR

    def curve(k: float) -> tuple[float, ...]:
        u = bars * turn(k)
        x, y = rounded_square(u, half, 0.16)
        return out(axes, x, y, -0.12 * math.sin(TAU * 2.0 * u) ** 2)

    return curve


MOTION = Motion(
    "box",
    "Rounded corner tour",
    "Rhythm-weighted phase travels around four softened corners.",
    "xy",
    (0.48, 0.52),
    box,
)
