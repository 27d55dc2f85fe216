"""Weighted pendulum: a hanging arc whose swing responds to the score."""

from __future__ import annotations

import bisect
import math
from dataclasses import dataclass

from tablegen.shapes import attack_release, hit, hit_sum, rise_fall, smootherstep, soft_ceiling

from ..score import Event, Score
from .events import alternating, cyclic, out, time_of, weight_of
from .motion import Curve, Motion

# The hits that push the bob: every role but the hats, the strongest first, each kept only if no
# kept push lies within PUSH_GAP pips of it; a push is as strong as everything sounding with it.
PUSHERS = ("kick", "snare", "perc", "bass")
PUSH_GAP = 40  # pips: the quickest half-swing
LAYERED = 8  # pips: hits this close to a push sound with it
# The swing's angle at each push (radians on the unit arm): from the weakest push to the limit
# the busiest ones approach. Everything that sounds while the bob swings away adds CROWD of its
# weight, so a busy half-swing carries further.
ANGLE_LOW, ANGLE_HIGH, ANGLE_GROWTH, CROWD = 0.3, 0.6, 1.2, 0.5
SNAP = 1.4  # how much quicker than the mean pace a full push sends the bob off the end
# Depth: hats and shakers shimmer the bob forward and back, snares, percussion and kicks knock it
# to alternate sides, the bass draws it back slowly.
SHIMMER = rise_fall(3.0, 9.0)
PENDULUM_DEPTH = {"hat": 0.15, "snare": 0.14, "perc": 0.07, "kick": 0.05}
PENDULUM_BASS = (-0.12, attack_release(12.0, 24.0, 160.0))


def pushes(score: Score) -> list[tuple[float, float]]:
    """(time, strength) of the hits that push the bob, in time order, an even number of them so
    that the bob swings back to the side it left."""
    candidates = sorted(score.of(*PUSHERS), key=lambda e: (-weight_of(e), e.time))
    kept: list[Event] = []
    for e in candidates:
        if all(abs(cyclic(e.time - k.time, score.period)) >= PUSH_GAP for k in kept):
            kept.append(e)
    if len(kept) % 2:
        kept.pop()  # the weakest
    kept.sort(key=lambda e: e.time)
    strengths = []
    for e in kept:
        layered = [
            weight_of(o)
            for o in score.events
            if o is not e and abs(cyclic(o.time - e.time, score.period)) < LAYERED
        ]
        strengths.append(weight_of(e) + 0.5 * math.fsum(layered))
    return [(time_of(e), s) for e, s in zip(kept, strengths, strict=True)]


@dataclass(frozen=True)
class HalfSwing:
    start: float  # pip of the push that starts it
    span: float  # pips to the next push
    side: float  # +1: from the right end to the left, -1 the other way
    here: float  # the swing's angle at its start
    there: float  # and at its end
    strength: float  # of the push
    pushes: tuple[tuple[float, float], ...]  # (share of the span, weight) of what sounds within

    def progress(self, t: float) -> float:
        """How far across, 0 to 1, at share t of the span: the push sends the bob off quickly and
        every hit under way pushes it on, easing in and out before the next push."""
        own = self.strength * (t + SNAP * min(1.0, self.strength) * t * (1.0 - t) ** 2)
        on = math.fsum(w * smootherstep((t - at) / (1.0 - at)) for at, w in self.pushes)
        return (own + on) / (self.strength + math.fsum(w for _, w in self.pushes))

    def angle(self, t: float) -> float:
        across = math.cos(math.pi * self.progress(t))
        return self.side * (
            (self.here - self.there) / 2.0 + (self.here + self.there) / 2.0 * across
        )


def half_swings(score: Score) -> list[HalfSwing]:
    period = score.period
    found = pushes(score)
    swings = []
    for i, ((time, strength), side) in enumerate(
        zip(found, [s for _, s in alternating(found)], strict=True)
    ):
        until = found[(i + 1) % len(found)][0]
        span = (until - time) % period or period
        # a hit late in the swing has little of it left to push, so it pushes less
        shares = [
            (((time_of(e) - time) % period) / span, weight_of(e))
            for e in score.events
            if 0 < (time_of(e) - time) % period < span
        ]
        within = [(at, w * (1.0 - at) ** 2) for at, w in shares]
        energy = strength + CROWD * math.fsum(w for _, w in within)
        swings.append((time, span, side, energy, strength, tuple(within)))
    angles = [
        ANGLE_HIGH - (ANGLE_HIGH - ANGLE_LOW) * math.exp(-ANGLE_GROWTH * s[3]) for s in swings
    ]
    return [
        HalfSwing(time, span, side, angles[i], angles[(i + 1) % len(swings)], strength, within)
        for i, (time, span, side, _, strength, within) in enumerate(swings)
    ]


def pendulum(score: Score, axes: int) -> Curve:
    """Weighted pendulum: a bob on a unit arm, hanging, that reaches the end of its arc on every
    push and swings across to the other side by the next, so the swing lands on the score: its
    pace follows the spacing of the pushes and its width their strength, wider where the bars
    are busy. A push sends the bob off its end quickly, the harder the quicker, every hit on the
    way pushes it on, and it slows into the next end. The bob rises on its circle toward the
    ends; the rest of the score moves it in depth."""
    period = score.period
    swings = half_swings(score)
    starts = [s.start for s in swings]
    depth_hits = [
        hit(time_of(e), side * PENDULUM_DEPTH[e.role] * e.level, kernel=SHIMMER)
        for role in PENDULUM_DEPTH
        for e, side in alternating(score.of(role))
    ]
    depth_hits += [
        hit(time_of(e), PENDULUM_BASS[0] * e.level, kernel=PENDULUM_BASS[1])
        for e in score.of("bass")
    ]
    depth = hit_sum(depth_hits, period, 1)

    def curve(k: float) -> tuple[float, ...]:
        swing = swings[bisect.bisect_right(starts, k % period) - 1]  # -1: the last, round the seam
        a = swing.angle(((k - swing.start) % period) / swing.span)
        z = soft_ceiling(depth(k)[0], 0.2, 0.26)
        return out(axes, math.sin(a), 1.0 - math.cos(a), z)

    return curve


MOTION = Motion(
    "pendulum",
    "Weighted pendulum",
    "A hanging arc whose amplitude and angular speed respond to the score.",
    "x",
    (0.46, 0.56),
    pendulum,
)
