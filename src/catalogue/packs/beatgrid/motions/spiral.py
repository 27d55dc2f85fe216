"""Breathing spiral: a double-turn path that contracts and expands."""

from __future__ import annotations

import math

from tablegen.shapes import TAU, hit, hit_sum, rise_fall, smootherstep, soft_ceiling

from ..score import BAR, Score
from .events import alternating, out, paced_phase, time_of, weight_of
from .motion import Curve, Motion

NARROWEST = 0.3  # the radius at every bar line, where one breath ends and the next begins
WIDEST = (0.56, 0.68)  # the widest radius of the quietest and of the busiest bar of the phrase
# The breath through a bar follows what plays in it: a bar with nothing in it would still open
# and close once, as evenly as this weight of hits spread over it.
EVEN_BREATH = 0.5
# Hits ruffle the spiral: percussion and snares push the point outward for a moment, kicks and
# bass pull it in, hats ripple it to alternate sides.
RUFFLE = rise_fall(3.0, 14.0)
SPIRAL_RUFFLE = {"perc": 0.05, "snare": 0.04, "hat": 0.07, "kick": -0.03, "bass": -0.05}


def bar_breaths(score: Score) -> list[tuple[float, list[tuple[float, float]]]]:
    """Per bar, its widest radius and the (start in pips from the bar, weight) of what it plays."""
    bars: list[list[tuple[float, float]]] = [[] for _ in range(score.period // BAR)]
    for e in score.events:
        bar, offset = divmod(time_of(e), BAR)
        bars[int(bar)].append((offset, weight_of(e)))
    weights = [math.fsum(w for _, w in hits) for hits in bars]
    top = max(weights)
    low, high = WIDEST
    return [
        (low + (high - low) * (w / top if top else 0.0), hits)
        for w, hits in zip(weights, bars, strict=True)
    ]


def spiral(score: Score, axes: int) -> Curve:
    """Breathing spiral: two turns per bar while the radius opens out from 0.3 at the bar line
    and contracts to it again by the next, so each bar draws one double-turn breath and the path
    closes on itself. The breath follows the phrase: it opens as the bar's hits accumulate (a
    bar that front-loads its hits opens early, a late fill opens late) and it is widest in the
    busiest bar, narrower in the sparse ones. The turns are paced by the score on a clock of
    their own, so the breath and the turns fall differently in every style; hits ruffle the
    radius, and depth follows the breath."""
    period = score.period
    bars = period / BAR
    breaths = bar_breaths(score)
    turn = paced_phase(score, score.events)
    ruffle = hit_sum(
        [
            hit(time_of(e), side * SPIRAL_RUFFLE[e.role] * e.level, kernel=RUFFLE)
            for e, side in alternating(score.events, only="hat")
        ],
        period,
        1,
    )

    def breath(k: float) -> tuple[float, float]:
        """(how far the breath is open, 0 to 1, widest radius) at pip k."""
        bar, offset = divmod(k % period, BAR)
        widest, hits = breaths[int(bar)]
        passed = EVEN_BREATH * offset / BAR + math.fsum(
            w * smootherstep((offset - start) / (BAR - start)) for start, w in hits
        )
        share = passed / (EVEN_BREATH + math.fsum(w for _, w in hits))
        return math.sin(math.pi * share) ** 2, widest

    def curve(k: float) -> tuple[float, ...]:
        open_, widest = breath(k)
        radius = NARROWEST + (widest - NARROWEST) * open_ + ruffle(k)[0]
        angle = TAU * 2.0 * bars * turn(k)
        depth = 0.2 * (open_ - 0.5)
        x, y = radius * math.cos(angle), radius * math.sin(angle)
        return out(axes, soft_ceiling(x, 0.64, 0.68), soft_ceiling(y, 0.64, 0.68), depth)

    return curve


MOTION = Motion(
    "spiral",
    "Breathing spiral",
    "A contracting and expanding double-turn path with a continuous seam.",
    "xy",
    (0.59, 0.68),
    spiral,
)
