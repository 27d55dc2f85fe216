"""Backbeat recoil: snares shove sideways, kicks counter downward, an echo draws back."""

from __future__ import annotations

from fractions import Fraction

from tablegen.shapes import Hit, attack_release, hit, hit_sum, soft_ceiling

from ..score import NORMAL, PIPS_PER_BEAT, Event, Score
from .events import alternating, groups, level_hits, out, time_of
from .motion import Curve, Motion

RECOIL_SHOVE = 0.46  # sideways reach of an accented snare's shove
RECOIL_ATTACK, RECOIL_DECAY = 5.0, 10.0  # the shove: fast, and gone in a beat and a half
RECOIL_ECHO = 0.22  # the echo's reach back past the centre
# The echo peaks 24 pips after its shove and lingers for almost three beats, so a loop that ends
# in a long silence still carries it across the seam.
RECOIL_ECHO_DELAY, RECOIL_ECHO_DECAY, RECOIL_ECHO_HORIZON = 24.0, 20.0, 176.0
RECOIL_COUNTER = attack_release(4.0, 12.0, 96.0)  # a kick's downward counter
RECOIL_TICK = attack_release(2.0, 4.0, 24.0)  # a hat's or percussion hit's small tick
# The ticks, to alternate sides (x, z) and upward (y): a hat flinches up and in depth only, so a
# roll's shove stays one sideways push; a percussion hit jolts.
RECOIL_TICKS = {"hat": (0.0, 0.04, 0.09), "perc": (0.07, 0.09, 0.09)}
RECOIL_BASS = (-0.16, attack_release(8.0, 20.0, 120.0))  # the bass sinks the counter, slowly
RECOIL_FLURRY = 24  # backbeat hits closer than this (a roll, a flam) make one shove
# The kick's counter stays within this share of the widest shove, so x leads.
RECOIL_COUNTER_SHARE = (0.7, 0.85)


def _backbeat(score: Score) -> tuple[Event, ...]:
    """The snares; in a score whose snares are all ghosts or absent, the hits on beats 2 and 4
    (whatever plays them) join them. Where several hit at once, the loudest stands for all."""
    snares = score.of("snare")
    hits = snares
    if not any(e.level >= NORMAL for e in snares):
        hits += tuple(e for e in score.events if e.time % (2 * PIPS_PER_BEAT) == PIPS_PER_BEAT)
    loudest: dict[Fraction, Event] = {}
    for e in hits:
        if e.time not in loudest or e.level > loudest[e.time].level:
            loudest[e.time] = e
    return tuple(loudest[time] for time in sorted(loudest))


def _shoves(score: Score) -> list[Hit]:
    """One shove per flurry of backbeat hits, to alternate sides: it starts on the flurry's
    first hit and builds until RECOIL_ATTACK after its last, as wide as its loudest hit; its
    echo pulls the other way and back in depth, peaking RECOIL_ECHO_DELAY later."""
    hits = []
    for flurry, side in alternating(groups(score, _backbeat(score), RECOIL_FLURRY)):
        start = time_of(flurry[0])
        # a flurry builds for at most what leaves its echo room within the loop
        span = min(
            float(flurry[-1].time - flurry[0].time) % score.period,
            score.period - RECOIL_ECHO_HORIZON,
        )
        level = max(e.level for e in flurry)
        push = attack_release(span + RECOIL_ATTACK, RECOIL_DECAY, span + 96.0)
        echo = attack_release(
            span + RECOIL_ECHO_DELAY, RECOIL_ECHO_DECAY, span + RECOIL_ECHO_HORIZON
        )
        hits.append(hit(start, side * RECOIL_SHOVE * level, kernel=push))
        hits.append(hit(start, -side * RECOIL_ECHO * level, 0.0, -0.16 * level, kernel=echo))
    return hits


def recoil(score: Score, axes: int) -> Curve:
    """Backbeat recoil, all causal: a snare (a roll as one) shoves the point sideways, the next
    backbeat the other way, and a delayed echo of the shove draws it back past the centre and
    away in depth; a kick counters downward and the bass sinks it slowly, never further than
    the widest shove; hats and percussion tick the point to alternate sides. Nothing moves before
    the event that moves it."""
    period = score.period
    shove = hit_sum(_shoves(score), period)
    sink, sinking = RECOIL_BASS
    counter = hit_sum(
        level_hits(score.of("kick"), [-0.3], RECOIL_COUNTER)
        + level_hits(score.of("bass"), [sink], sinking),
        period,
        1,
    )
    ticks = []
    for role, (tx, ty, tz) in RECOIL_TICKS.items():
        ticks += [
            hit(
                time_of(e),
                side * tx * e.level,
                ty * e.level,
                side * tz * e.level,
                kernel=RECOIL_TICK,
            )
            for e, side in alternating(score.of(role))
        ]
    tick = hit_sum(ticks, period)
    widest = max(abs(soft_ceiling(shove(k)[0], 0.5, 0.62)) for k in range(period))
    knee, ceiling = (share * widest for share in RECOIL_COUNTER_SHARE) if widest else (0.3, 0.4)

    def curve(k: float) -> tuple[float, ...]:
        x, _, z = shove(k)
        tx, ty, tz = tick(k)
        z = soft_ceiling(z + tz, 0.2, 0.3)
        y = soft_ceiling(counter(k)[0] + ty, knee, ceiling)
        return out(axes, soft_ceiling(x + tx, 0.5, 0.62), y, z)

    return curve


MOTION = Motion(
    "recoil",
    "Backbeat recoil",
    "Snare pushes sideways; kick counters downward; delayed echo draws back.",
    "x",
    (0.20, 0.64),
    recoil,
)
