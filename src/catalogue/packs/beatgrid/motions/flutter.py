"""Upper-percussion flutter: hat and shaker tremors over a wider kick/snare arc."""

from __future__ import annotations

from tablegen.shapes import closed_spline, hit_sum, spring_ring

from ..score import BAR, PIPS_PER_BEAT, Event, Score
from .events import alternating, out, side_hits, step_gestures, time_of
from .motion import Curve, Motion

FLUTTER_ARC = {"kick": 0.28, "snare": 0.36}  # the arc's reach to either side
FLUTTER_TREMOR = spring_ring(10.0, 8.0, 40.0, 2.0)


def _arc_waypoints(score: Score) -> list[tuple[float, float]]:
    """Kicks and snares as alternating sides of a swing, one waypoint per sixteenth at most; a
    style with fewer than four of them swings on the beats of its first bar instead."""
    events = step_gestures(score)
    if len(events) < 4:
        events = [Event(e, "kick", 1.0) for e in range(0, BAR, PIPS_PER_BEAT)]
    return [
        (time_of(e), side * FLUTTER_ARC[e.role] * (0.6 + 0.4 * e.level))
        for e, side in alternating(events)
    ]


def flutter(score: Score, axes: int) -> Curve:
    """Upper-percussion flutter: a wide, slow arc that swings side to side through the kicks and
    snares (wider for snares) and hangs lower at its ends, overlaid with quick ringing tremors
    from every hat and shaker and, more lightly, the other percussion."""
    period = score.period
    arc = closed_spline(_arc_waypoints(score), period)
    tremor = hit_sum(
        side_hits(score.of("hat"), [0.05, 0.08, 0.04], FLUTTER_TREMOR)
        + side_hits(score.of("perc"), [0.03, 0.05, 0.03], FLUTTER_TREMOR),
        period,
    )

    def curve(k: float) -> tuple[float, ...]:
        x = arc(k)[0]
        tx, ty, tz = tremor(k)
        return out(axes, x + tx, ty - 0.5 * x * x, tz + 0.1 * x)

    return curve


MOTION = Motion(
    "flutter",
    "Upper-percussion flutter",
    "Hat and shaker tremors over a wider kick/snare arc.",
    "x",
    (0.26, 0.54),
    flutter,
)
