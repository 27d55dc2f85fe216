"""What the motion rules share: how loud each role is, and the pieces that turn events into hits,
phases and busy-ness."""

from __future__ import annotations

import math
from collections.abc import Callable, Iterable, Sequence

from tablegen.shapes import Hit, Kernel, hit, hit_sum, pulse_phase, rise_fall, soft_ceiling

from ..score import STEP, Event, Score
from .motion import Curve

# How strongly each role drives speed, radius and energy, before its level.
WEIGHT = {"kick": 1.0, "snare": 0.8, "perc": 0.6, "bass": 0.5, "hat": 0.3}

# The kick pulse: a quick lift over the 6.4 pips before the hit and a long fall over 29.44 after.
KICK_PULSE = rise_fall(6.4, 29.44)


def time_of(event: Event) -> float:
    return float(event.time)


def weight_of(event: Event) -> float:
    return WEIGHT[event.role] * event.level


def cyclic(d, period: int):
    """A time difference folded into [-period/2, period/2), exactly (Fractions stay Fractions)."""
    d %= period
    return d - period if d >= period / 2 else d


def alternating(events: Iterable[Event], only: str | None = None) -> list[tuple[Event, float]]:
    """Each event with a side that alternates +1, -1, ... in time order; with `only` a role, the
    events of that role alternate among themselves and every other event keeps side +1."""
    if only is None:
        return [(e, 1.0 if i % 2 == 0 else -1.0) for i, e in enumerate(events)]
    sides, turn = [], 1.0
    for e in events:
        if e.role == only:
            sides.append((e, turn))
            turn = -turn
        else:
            sides.append((e, 1.0))
    return sides


def level_hits(events: Iterable[Event], amplitudes: Sequence[float], kernel: Kernel) -> list[Hit]:
    """One hit per event, each amplitude scaled by the event's level."""
    return [hit(time_of(e), *(a * e.level for a in amplitudes), kernel=kernel) for e in events]


def side_hits(events: Iterable[Event], amplitudes: Sequence[float], kernel: Kernel) -> list[Hit]:
    """Like level_hits, with the first amplitude (x) alternating sides from event to event."""
    x, *rest = amplitudes
    return [
        hit(time_of(e), side * x * e.level, *(a * e.level for a in rest), kernel=kernel)
        for e, side in alternating(events)
    ]


def low_end(score: Score) -> tuple[Event, ...]:
    """The bass events, or the kicks where a style has no bass: what carries the low end."""
    return score.of("bass") or score.of("kick")


def paced_phase(
    score: Score,
    events: Iterable[Event],
    base: float = 1.0,
    push: float = 1.0,
    delay: float = 8.0,
    rise: float = 8.0,
    fall: float = 24.0,
) -> Callable[[float], float]:
    """A phase (cycles, one per loop) advancing at `base` plus a pulse of `push` times each
    event's weight centred `delay` pips after it. By default the pulse starts on the event: a
    hit sends the travel on, so the travel is not at its fastest on the hit at the seam."""
    return pulse_phase(
        [(time_of(e) + delay, push * weight_of(e)) for e in events], score.period, base, rise, fall
    )


def energy(
    score: Score, events: Iterable[Event], kernel: Kernel, knee: float, ceiling: float
) -> Curve:
    """The weighted sum of the events' kernels, bent under a soft ceiling: how busy the score is
    around pip k."""
    total = hit_sum([hit(time_of(e), weight_of(e), kernel=kernel) for e in events], score.period, 1)
    return lambda k: soft_ceiling(total(k)[0], knee, ceiling)


def groups(score: Score, events: Sequence[Event], gap: float) -> list[list[Event]]:
    """The events (in time order) in groups round the loop: each event closer than `gap` to the
    one before joins its group, and a group that reaches the seam continues into the first."""
    found: list[list[Event]] = []
    for e in events:
        if found and e.time - found[-1][-1].time < gap:
            found[-1].append(e)
        else:
            found.append([e])
    if len(found) > 1 and found[0][0].time + score.period - found[-1][-1].time < gap:
        found[0] = found.pop() + found[0]
    return found


def flurry_weight(group: Sequence[Event]) -> float:
    """The weight of a flurry of hits taken as one: its loudest hit, and a third of the rest."""
    weights = sorted((weight_of(e) for e in group), reverse=True)
    return weights[0] + math.fsum(weights[1:]) / 3.0


def out(axes: int, x: float, y: float, z: float) -> tuple[float, ...]:
    return (x, y, z)[:axes]


STEP_GAP = STEP  # a dancer takes at most one step per sixteenth


def step_gestures(score: Score) -> list[Event]:
    """The kicks and snares that become steps: snares before kicks, louder before quieter, each
    kept only if no kept step lies within a sixteenth of it around the loop; so a kick under a
    clap yields to the clap and a roll steps only on its louder strokes."""
    candidates = sorted(
        score.of("kick", "snare"), key=lambda e: (e.role != "snare", -e.level, e.time)
    )
    kept: list[Event] = []
    for e in candidates:
        if all(abs(cyclic(e.time - k.time, score.period)) >= STEP_GAP for k in kept):
            kept.append(e)
    return sorted(kept, key=lambda e: e.time)
