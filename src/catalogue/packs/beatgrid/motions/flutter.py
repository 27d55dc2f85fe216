"""Upper-percussion flutter: hat and shaker tremors over a wider kick/snare arc."""

from __future__ import annotations

import math

from tablegen.shapes import hit, hit_sum, rise_fall, soft_ceiling

from ..score import Event, Score
from .events import alternating, cyclic, out, time_of, weight_of
from .motion import Curve, Motion

# The arc swings to one side on a kick and to the other on the next kick or snare, at most once
# per ARC_GAP pips: the strongest hits first, a snare wider than a kick, and wider still when the
# bass plays with it.
ARC_GAP = 48
FLUTTER_ARC = {"kick": 0.3, "snare": 0.38}
ARC_BASS = 0.08  # added reach per unit of bass level sounding with the arc's hit
HANG = 0.5  # the arc hangs lower toward its ends: y is HANG * (LIFT - x^2)
LIFT = 0.04
# Tremors: every hat and shaker flicks the point up or down, in turn, and a little sideways;
# the other percussion flicks it more lightly and pushes it in depth.
TREMOR = rise_fall(2.5, 10.0)
FLUTTER_TREMOR = {"hat": (0.04, 0.16, 0.05), "perc": (0.03, 0.09, 0.09)}
# At each end of the arc its kick knocks the point down and its snare up; the kicks and snares
# the arc passes over nudge it sideways; the bass sinks it and draws it back.
KNOCK = (rise_fall(3.0, 16.0), {"kick": -0.1, "snare": 0.1})
NUDGE = (rise_fall(4.0, 14.0), 0.15)
SINK = (rise_fall(6.0, 26.0), (0.0, -0.06, -0.1))


def arc_hits(score: Score) -> list[Event]:
    """The kicks and snares on which the arc reaches an end, an even number, in time order."""
    candidates = sorted(score.of("kick", "snare"), key=lambda e: (-weight_of(e), e.time))
    kept: list[Event] = []
    for e in candidates:
        if all(abs(cyclic(e.time - k.time, score.period)) >= ARC_GAP for k in kept):
            kept.append(e)
    if len(kept) % 2:
        kept.pop()  # the weakest
    return sorted(kept, key=lambda e: e.time)


def arc_points(score: Score, kept: list[Event]) -> list[tuple[float, float]]:
    """(time, signed reach) of the arc's ends, alternating sides."""
    points = []
    for e, side in alternating(kept):
        bass = max(
            (b.level for b in score.of("bass") if abs(cyclic(b.time - e.time, score.period)) < 8),
            default=0.0,
        )
        reach = FLUTTER_ARC[e.role] * (0.6 + 0.4 * e.level) + ARC_BASS * bass
        points.append((time_of(e), side * reach))
    return points


def flutter(score: Score, axes: int) -> Curve:
    """Upper-percussion flutter: a wide, slow arc that reaches one side on a kick and the other
    on the next kick or snare (wider for snares and where the bass joins in) and hangs lower at
    its ends, overlaid with quick tremors: every hat and shaker flicks the point up or down, in
    turn, and the other percussion more lightly. The arc's own kicks knock it down at its ends
    and its snares up; the kicks and snares between its ends nudge it sideways and the bass
    sinks it. Where the kicks and snares are few, as in a one
    drop, the arc swings once between them, slow and wide."""
    period = score.period
    kept = arc_hits(score)
    ends = arc_points(score, kept)
    starts = [t for t, _ in ends]
    flicks = []
    for role, amplitudes in FLUTTER_TREMOR.items():
        flicks += [
            hit(time_of(e), *(side * a * e.level for a in amplitudes), kernel=TREMOR)
            for e, side in alternating(score.of(role))
        ]
    kernel, knocks = KNOCK
    flicks += [hit(time_of(e), 0.0, knocks[e.role] * e.level, kernel=kernel) for e in kept]
    passed = [e for e in score.of("kick", "snare") if e not in kept]
    kernel, reach = NUDGE
    flicks += [
        hit(time_of(e), side * reach * e.level, kernel=kernel) for e, side in alternating(passed)
    ]
    kernel, sink = SINK
    flicks += [
        hit(time_of(e), *(a * e.level for a in sink), kernel=kernel) for e in score.of("bass")
    ]
    tremor = hit_sum(flicks, period)

    def arc(k: float) -> float:
        i = max((j for j, t in enumerate(starts) if t <= k % period), default=len(ends) - 1)
        time, here = ends[i]
        until, there = ends[(i + 1) % len(ends)]
        t = ((k - time) % period) / ((until - time) % period or period)
        return (here + there) / 2.0 + (here - there) / 2.0 * math.cos(math.pi * t)

    def curve(k: float) -> tuple[float, ...]:
        x = arc(k)
        tx, ty, tz = tremor(k)
        side = soft_ceiling(x + tx, 0.48, 0.54)  # a nudge on top of a wide end bends under
        return out(axes, side, ty + HANG * (LIFT - x * x), tz + 0.1 * x)

    return curve


MOTION = Motion(
    "flutter",
    "Upper-percussion flutter",
    "Hat and shaker tremors over a wider kick/snare arc.",
    "x",
    (0.26, 0.54),
    flutter,
)
