"""Bass-led dive: the bass drives depth plunges against an alternating drum counterweight."""

from __future__ import annotations

import math

from tablegen.shapes import Hit, hit, hit_sum, rise_fall, soft_ceiling

from ..score import Score
from .events import alternating, groups, level_hits, low_end, out, step_gestures, time_of
from .motion import Curve, Motion

DIVE_RUN_GAP = 24  # low-end notes closer than this (a sixteenth and a half) drive one plunge
DIVE_DEPTH = 0.56  # plunge depth per unit of a run's summed levels, before the ceiling
DIVE_ATTACK = 16.0  # the plunge deepens until this long after the run's last note
DIVE_FALL = 96.0  # the longest resurfacing
DIVE_RATE = 0.03  # the deepest plunge per pip of resurfacing room: close runs plunge less
DIVE_LIMIT = 1.05  # the deepest plunge before the ceiling: it just touches 0.92
DIVE_SHARE = 0.75  # a plunge takes at most this share of the time until the next run starts
DIVE_COUNTER = {"kick": 0.2, "snare": 0.26}
DIVE_RIPPLE = {"hat": 0.09, "perc": 0.09}


def _plunges(score: Score) -> list[Hit]:
    """One plunge per run of the low end: from the run's first note it deepens until
    DIVE_ATTACK after its last, by DIVE_DEPTH per unit of the run's levels, then resurfaces
    and rests a moment before the next run starts. Where the next run comes soon, the plunge
    is shallower."""
    period = score.period
    runs = groups(score, low_end(score), DIVE_RUN_GAP)
    plunges = []
    for i, run in enumerate(runs):
        start = time_of(run[0])
        following = time_of(runs[(i + 1) % len(runs)][0])
        room = (following - start) % period or period
        span = (time_of(run[-1]) - start) % period
        rise = min(span + DIVE_ATTACK, 0.4 * room)
        fall = min(DIVE_FALL, DIVE_SHARE * room - rise)
        weight = math.fsum(e.level for e in run)
        depth = min(DIVE_DEPTH * weight, DIVE_RATE * fall, DIVE_LIMIT)
        plunges.append(hit(start + rise, depth, kernel=rise_fall(rise, fall)))
    return plunges


def dive(score: Score, axes: int) -> Curve:
    """Bass-led dive: each run of bass notes (of kicks where there is no bass) drives one broad
    plunge through depth that resurfaces before the next; the kicks and snares that would be
    steps swing a counterweight to alternate sides, and hats and percussion ripple the
    height."""
    period = score.period
    plunge = hit_sum(_plunges(score), period, 1)
    swing = [
        hit(time_of(e), side * DIVE_COUNTER[e.role] * e.level, kernel=rise_fall(8.0, 24.0))
        for e, side in alternating(step_gestures(score))
    ]
    counter = hit_sum(swing, period, 1)
    ripples = []
    for role, height in DIVE_RIPPLE.items():
        ripples += level_hits(score.of(role), [height], rise_fall(3.0, 9.0))
    ripple = hit_sum(ripples, period, 1)

    def curve(k: float) -> tuple[float, ...]:
        z = soft_ceiling(plunge(k)[0], 0.8, 0.92)
        x = soft_ceiling(counter(k)[0], 0.3, 0.4)
        return out(axes, x, ripple(k)[0] - 0.12 * z, z)

    return curve


MOTION = Motion(
    "dive",
    "Bass-led dive",
    "Bass drives a broad depth plunge with alternating drum counterweight.",
    "z",
    (0.27, 0.92),
    dive,
)
