"""Directional ricochet: onsets fling the point toward a cyclic series of targets."""

from __future__ import annotations

import math
from fractions import Fraction

from tablegen.shapes import hit, hit_sum, rise_fall, soft_ceiling

from ..score import Score
from .events import out
from .motion import Curve, Motion

# The targets a ricochet visits in turn: five directions a star's stride apart, the first straight
# down, so the loop's first onset (most often the heaviest) strikes downward.
RICOCHET_TARGETS = tuple(
    (math.cos(math.radians(270.0 + 144.0 * i)), math.sin(math.radians(270.0 + 144.0 * i)))
    for i in range(5)
)
RICOCHET_REACH = {"kick": 0.7, "snare": 0.7, "perc": 0.55, "bass": 0.55, "hat": 0.2}
RICOCHET_LAYER = 0.6  # how much each further hit at the same time adds to the strongest
RICOCHET_RISE = 5.9  # pips to fly out to a target, when there is room
RICOCHET_FALL = 40.0  # the longest fall back to the centre
RICOCHET_SHARE = 0.3  # of the time between two onsets, the share the second one flies out in
RICOCHET_DEPTH = 0.2  # depth per unit of reach, alternating forward and back
# A light onset soon after a flight starts does not start one of its own, which would cut the
# flight short: within RIDE pips of the flight's onset, an onset with less than RIDER_SHARE of its
# reach rides the flight, jinking it sideways by RIDER_JINK of its own reach, to alternate sides.
RIDE = RICOCHET_FALL
RIDER_SHARE = 0.5
RIDER_JINK = 0.6
JINK = rise_fall(3.0, 10.0)


def _onsets(score: Score) -> list[tuple[float, float]]:
    """(time, reach) per onset: the hits sharing a time join, the strongest setting the reach
    and each other adding RICOCHET_LAYER of its own."""
    reaches: dict[Fraction, list[float]] = {}
    for e in score.events:
        reaches.setdefault(e.time, []).append(RICOCHET_REACH[e.role] * e.level)
    onsets = []
    for time, hits in sorted(reaches.items()):
        hits.sort(reverse=True)
        onsets.append((float(time), hits[0] + RICOCHET_LAYER * math.fsum(hits[1:])))
    return onsets


def flights_and_riders(
    onsets: list[tuple[float, float]], period: int
) -> tuple[list[tuple[float, float]], list[tuple[float, float, int]]]:
    """The onsets that fly, and (time, reach, flight) of those that ride a flight: an onset rides
    when it comes within RIDE pips of the flight in progress with less than RIDER_SHARE of its
    reach. Counting starts at the strongest onset, which always flies."""
    first = max(range(len(onsets)), key=lambda i: (onsets[i][1], -i))
    order = onsets[first:] + onsets[:first]
    flying, riding = [order[0]], []
    for time, reach in order[1:]:
        start, strength = flying[-1]
        if (time - start) % period < RIDE and reach < RIDER_SHARE * strength:
            riding.append((time, reach, len(flying) - 1))
        else:
            flying.append((time, reach))
    # back to time order from pip 0, each rider pointing at its flight's new place
    shift = next(i for i, f in enumerate(flying) if f[0] == min(t for t, _ in flying))
    flying = flying[shift:] + flying[:shift]
    riding = [(t, r, (n - shift) % len(flying)) for t, r, n in riding]
    return flying, riding


def ricochet(score: Score, axes: int) -> Curve:
    """Directional ricochet: each onset flings the point out toward the next of five targets
    round a star, to land there on the onset, and lets it fall back to the centre before the
    next onset starts out, drums far and hats a little. Light onsets that follow a flight
    closely (hats and ghosts after a drum) ride it, jinking it sideways, instead of cutting it
    short; flights that are still crowded together fly shorter, so that every excursion keeps
    its own shape; depth alternates."""
    period = score.period
    onsets, riders = flights_and_riders(_onsets(score), period)
    hits = []
    for time, raw, n in riders:
        tx, ty = RICOCHET_TARGETS[n % len(RICOCHET_TARGETS)]
        jink = RIDER_JINK * raw * (1.0 if len(hits) % 2 == 0 else -1.0)
        hits.append(hit(time, -ty * jink, tx * jink, kernel=JINK))
    for i, (time, raw) in enumerate(onsets):
        before = (time - onsets[i - 1][0]) % period or period
        after = (onsets[(i + 1) % len(onsets)][0] - time) % period or period
        rise = min(RICOCHET_RISE, RICOCHET_SHARE * before)
        fall = min(RICOCHET_FALL, (1.0 - RICOCHET_SHARE) * after)
        # A short flight or a short fall carries less far, so no excursion is faster than a
        # full one.
        room = min(1.0, rise / RICOCHET_RISE, 2.0 * fall / RICOCHET_FALL)
        reach = soft_ceiling(raw, 0.7, 0.92) * room
        tx, ty = RICOCHET_TARGETS[i % len(RICOCHET_TARGETS)]
        depth = RICOCHET_DEPTH * reach * (1.0 if i % 2 == 0 else -1.0)
        hits.append(hit(time, reach * tx, reach * ty, depth, kernel=rise_fall(rise, fall)))
    flights = hit_sum(hits, period)
    return lambda k: out(axes, *flights(k))


MOTION = Motion(
    "ricochet",
    "Directional ricochet",
    "Successive onsets send smooth excursions toward a cyclic series of targets.",
    "xy",
    (0.25, 0.92),
    ricochet,
)
