"""The sixteen motions of the beat-grid packs: rules that turn a style's score into a moving point.

A rule takes a score and the number of axes its table uses (2: x and y only, 3: with depth z) and
returns the raw curve of pip k. Amplitudes come from the rule's own constants and the levels of the
score's events; they are not scaled to a fixed peak afterwards. Where crowded events would pile up
past a motion's reach, `soft_ceiling` bends the sum smoothly toward a limit instead.

Every kernel is summed around the loop (tablegen.shapes), so each path closes on itself. The two
causal rules, `spring` and `recoil`, use only one-sided kernels: nothing moves before its event.
"""

from __future__ import annotations

import math
from collections.abc import Callable, Iterable, Sequence
from dataclasses import dataclass
from fractions import Fraction

from tablegen.shapes import (
    TAU,
    Hit,
    Kernel,
    attack_release,
    closed_spline,
    hit,
    hit_sum,
    pulse_phase,
    release_fade,
    rise_fall,
    skewed_pulse,
    soft_ceiling,
    spring_ring,
)

from .score import BAR, NORMAL, PIPS_PER_BEAT, STEP, Event, Score

Curve = Callable[[float], tuple[float, ...]]
Rule = Callable[[Score, int], Curve]

# How strongly each role drives speed, radius and energy, before its level.
WEIGHT = {"kick": 1.0, "snare": 0.8, "perc": 0.6, "bass": 0.5, "hat": 0.3}

# The kick pulse: a quick lift over the 6.4 pips before the hit and a long fall over 29.44 after.
KICK_PULSE = rise_fall(6.4, 29.44)


@dataclass(frozen=True)
class Motion:
    key: str
    title: str  # as the club pack and every other description write it
    sentence: str  # the second sentence of a dancefloor description
    main_axes: str  # the axes that carry the largest excursions, e.g. "xy"
    peak_range: tuple[float, float]  # every table's largest |component| lies in this range
    rule: Rule
    dancefloor_title: str = ""  # when the dancefloor pack names the motion differently

    def title_in(self, pack: str) -> str:
        if pack == "dancefloor" and self.dancefloor_title:
            return self.dancefloor_title
        return self.title


# --- shared pieces ----------------------------------------------------------------------------


def _time(event: Event) -> float:
    return float(event.time)


def _weight(event: Event) -> float:
    return WEIGHT[event.role] * event.level


def _cyclic(d, period: int):
    """A time difference folded into [-period/2, period/2), exactly (Fractions stay Fractions)."""
    d %= period
    return d - period if d >= period / 2 else d


def _alternating(events: Iterable[Event]) -> list[tuple[Event, float]]:
    """Each event with a side that alternates +1, -1, ... in time order."""
    return [(e, 1.0 if i % 2 == 0 else -1.0) for i, e in enumerate(events)]


def _hits(events: Iterable[Event], amplitudes: Sequence[float], kernel: Kernel) -> list[Hit]:
    """One hit per event, each amplitude scaled by the event's level."""
    return [hit(_time(e), *(a * e.level for a in amplitudes), kernel=kernel) for e in events]


def _side_hits(events: Iterable[Event], amplitudes: Sequence[float], kernel: Kernel) -> list[Hit]:
    """Like _hits, with the first amplitude (x) alternating sides from event to event."""
    x, *rest = amplitudes
    return [
        hit(_time(e), side * x * e.level, *(a * e.level for a in rest), kernel=kernel)
        for e, side in _alternating(events)
    ]


def _low_end(score: Score) -> tuple[Event, ...]:
    """The bass events, or the kicks where a style has no bass: what carries the low end."""
    return score.of("bass") or score.of("kick")


def _phase(
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
        [(_time(e) + delay, push * _weight(e)) for e in events], score.period, base, rise, fall
    )


def _energy(
    score: Score, events: Iterable[Event], kernel: Kernel, knee: float, ceiling: float
) -> Curve:
    """The weighted sum of the events' kernels, bent under a soft ceiling: how busy the score is
    around pip k."""
    total = hit_sum([hit(_time(e), _weight(e), kernel=kernel) for e in events], score.period, 1)
    return lambda k: soft_ceiling(total(k)[0], knee, ceiling)


def _groups(score: Score, events: Sequence[Event], gap: float) -> list[list[Event]]:
    """The events (in time order) in groups round the loop: each event closer than `gap` to the
    one before joins its group, and a group that reaches the seam continues into the first."""
    groups: list[list[Event]] = []
    for e in events:
        if groups and e.time - groups[-1][-1].time < gap:
            groups[-1].append(e)
        else:
            groups.append([e])
    if len(groups) > 1 and groups[0][0].time + score.period - groups[-1][-1].time < gap:
        groups[0] = groups.pop() + groups[0]
    return groups


def _out(axes: int, x: float, y: float, z: float) -> tuple[float, ...]:
    return (x, y, z)[:axes]


# --- 1. bounce --------------------------------------------------------------------------------

BOUNCE_KICK = 0.55  # height of an accented kick
BOUNCE_SNARE = 0.26  # sideways accent of a snare, alternating sides
BOUNCE_HAT = 0.07  # sideways flick of a hat, alternating sides
BOUNCE_BASS, BOUNCE_SNARE_DEPTH = 0.2, -0.1


def bounce(score: Score, axes: int) -> Curve:
    """Kick-led bounce: each kick lifts y in a quick pulse that falls away over the next half
    beat; snares and hats add side accents in x; with depth, the bass pushes forward and snares
    pull back."""
    period = score.period
    lift = hit_sum(_hits(score.of("kick"), [BOUNCE_KICK], KICK_PULSE), period, 1)
    side = hit_sum(
        _side_hits(score.of("snare"), [BOUNCE_SNARE], rise_fall(6.4, 20.0))
        + _side_hits(score.of("hat"), [BOUNCE_HAT], rise_fall(4.0, 12.0)),
        period,
        1,
    )
    depth = hit_sum(
        _hits(score.of("bass"), [BOUNCE_BASS], KICK_PULSE)
        + _hits(score.of("snare"), [BOUNCE_SNARE_DEPTH], rise_fall(6.4, 20.0)),
        period,
        1,
    )

    def curve(k: float) -> tuple[float, ...]:
        y = soft_ceiling(lift(k)[0], BOUNCE_KICK, 0.66)
        return _out(axes, side(k)[0], y, depth(k)[0])

    return curve


# --- 2. step ----------------------------------------------------------------------------------

# One step gesture per kick or snare, sideways (x), with a dip or lift (y) and a lean (z).
STEP_KICK = (0.42, -0.22, 0.12)
STEP_SNARE = (0.7464, 0.3, -0.18)  # the widest step of the pack: an accented snare
STEP_RISE, STEP_FALL = 6.4, 29.44
STEP_GAP = STEP  # a dancer takes at most one step per sixteenth


def _step_gestures(score: Score) -> list[Event]:
    """The kicks and snares that become steps: snares before kicks, louder before quieter, each
    kept only if no kept step lies within a sixteenth of it around the loop; so a kick under a
    clap yields to the clap and a roll steps only on its louder strokes."""
    candidates = sorted(
        score.of("kick", "snare"), key=lambda e: (e.role != "snare", -e.level, e.time)
    )
    kept: list[Event] = []
    for e in candidates:
        if all(abs(_cyclic(e.time - k.time, score.period)) >= STEP_GAP for k in kept):
            kept.append(e)
    return sorted(kept, key=lambda e: e.time)


STEP_CUSHION = 0.08  # how much deeper a kick dips per accented hat right on it


def _crowding(score: Score, time, events: Iterable[Event]) -> float:
    """The levels of the events within a sixteenth of `time`, each counted less the further it
    lies: fully on the time, not at all a sixteenth away."""
    return math.fsum(
        e.level * max(0.0, 1.0 - abs(float(_cyclic(e.time - time, score.period))) / STEP)
        for e in events
    )


def step(score: Score, axes: int) -> Curve:
    """Snare side-step: kicks and snares take turns stepping right and left. A kick steps
    0.42 wide and dips 0.22, deeper when hats crowd it; a snare steps wider and lifts. Each step
    rises over 6.4 pips and settles back to the centre before the next one starts, so steps
    never overlap and each reaches its own width exactly."""
    gestures = _step_gestures(score)
    period = score.period
    hits = []
    for i, (e, side) in enumerate(_alternating(gestures)):
        after = gestures[(i + 1) % len(gestures)]
        gap = (after.time - e.time) % period or period  # to the next step, round the loop
        kernel = rise_fall(STEP_RISE, min(STEP_FALL, float(gap) - STEP_RISE))
        x, y, z = STEP_SNARE if e.role == "snare" else STEP_KICK
        if e.role == "kick":
            y -= STEP_CUSHION * _crowding(score, e.time, score.of("hat"))
        hits.append(hit(_time(e), side * x * e.level, y * e.level, z * e.level, kernel=kernel))
    steps = hit_sum(hits, period)
    return lambda k: _out(axes, *steps(k))


# --- 3. orbit ---------------------------------------------------------------------------------

ORBIT_RADIUS, ORBIT_TUCK = 0.58, 0.15  # the radius at a hit, and how far it draws in between
# The angular speed: a coasting rate of 0.75 units plus, per unit of event weight, a raised-cosine
# push centred 4 pips after the event that starts 8 pips before it. With one accented kick per
# beat this sweeps 12 degrees in the last 8 pips before a kick, 60 in the 32 after it and 18 in
# the 24 between: the push's height and fall are solved from those shares.
ORBIT_COAST = 0.75
ORBIT_DELAY, ORBIT_RISE = 4.0, 12.0
ORBIT_PUSH = 6.0 / (4.0 - 6.0 / math.pi * math.sin(math.pi / 3.0))
ORBIT_FALL = 84.0 / ORBIT_PUSH - ORBIT_RISE
# The radius swells to its full size over the 8 pips before an event and draws in over 32 after.
ORBIT_SWELL = rise_fall(8.0, 32.0)
# Depth: snares and percussion lift the orbit out of its plane, kicks and bass press it back.
ORBIT_DEPTH = {"snare": 0.16, "perc": 0.12, "hat": 0.0, "bass": -0.14, "kick": -0.06}


def orbit(score: Score, axes: int) -> Curve:
    """Percussion orbit: one turn per loop whose angular speed, radius and depth follow the
    weighted events. Each hit swells the radius to 0.58 and pushes the angle on; between hits
    the point draws in to 0.43 and coasts."""
    turn = _phase(score, score.events, ORBIT_COAST, ORBIT_PUSH, ORBIT_DELAY, ORBIT_RISE, ORBIT_FALL)
    swell = _energy(score, score.events, ORBIT_SWELL, 1.0, 1.2)
    depth = hit_sum(
        [hit(_time(e), ORBIT_DEPTH[e.role] * e.level, kernel=ORBIT_SWELL) for e in score.events],
        score.period,
        1,
    )

    def curve(k: float) -> tuple[float, ...]:
        angle = TAU * turn(k)
        radius = ORBIT_RADIUS - ORBIT_TUCK + ORBIT_TUCK * swell(k)
        return _out(axes, radius * math.cos(angle), radius * math.sin(angle), depth(k)[0])

    return curve


# --- 4. glide ---------------------------------------------------------------------------------

GLIDE_RADIUS = 0.38  # the phrase path's sweep through x and z
GLIDE_LIFT = 0.22  # how far the busiest beat lifts the path
GLIDE_DROP, GLIDE_SWAY = -0.24, 0.12  # a bass note's excursion: down, and out to alternate sides
GLIDE_BASS = attack_release(16.0, 32.0, 192.0)


def _beat_lifts(score: Score) -> list[float]:
    """Per beat, the weight of everything above the low end, scaled so the busiest beat is 1."""
    beats = score.period // PIPS_PER_BEAT
    busy = [0.0] * beats
    for e in score.events:
        if e.role not in ("bass", "kick"):
            busy[int(e.time) // PIPS_PER_BEAT] += _weight(e)
    top = max(busy)
    return [b / top if top else 0.0 for b in busy]


def glide(score: Score, axes: int) -> Curve:
    """Bass-and-phrase glide: a continuous path through one waypoint per beat, sweeping once
    around x and z over the loop, faster through the busier beats, which also lift it; every
    bass note (every kick where there is no bass) sends a causal excursion down and out to
    alternate sides."""
    period = score.period
    sweep = _phase(score, score.events, delay=16.0, rise=16.0, fall=48.0)
    waypoints = []
    for b, lift in enumerate(_beat_lifts(score)):
        angle = TAU * sweep(b * PIPS_PER_BEAT)
        point = (GLIDE_RADIUS * math.cos(angle), GLIDE_LIFT * lift, GLIDE_RADIUS * math.sin(angle))
        waypoints.append((b * PIPS_PER_BEAT, point))
    phrase = closed_spline(waypoints, period)
    bass = _side_hits(_low_end(score), [GLIDE_SWAY, GLIDE_DROP], GLIDE_BASS)
    excursions = hit_sum(bass, period, 2)

    def curve(k: float) -> tuple[float, ...]:
        px, py, pz = phrase(k)
        ex, ey = excursions(k)
        return px + soft_ceiling(ex, 0.16, 0.24), py + soft_ceiling(ey, 0.24, 0.36), pz

    return curve


# --- 5. surge ---------------------------------------------------------------------------------

SURGE_KICK = 0.5  # how far an accented kick thrusts forward
SURGE_RISE = 6.4  # the thrust lands on the kick
SURGE_GLIDE = 14.0  # then the point glides back, critically damped
SURGE_HORIZON = 176.0


def _thrust(d: float) -> float:
    """A thrust that rises over SURGE_RISE pips onto its kick and glides back along
    (1 + s)exp(-s): level with the rise at the kick, slower than it, faded out by the horizon."""
    if d <= -SURGE_RISE or d >= SURGE_HORIZON:
        return 0.0
    if d < 0.0:
        return skewed_pulse(d, 1.0, SURGE_RISE, SURGE_RISE)
    s = d / SURGE_GLIDE
    return (1.0 + s) * math.exp(-s) * release_fade(d, SURGE_HORIZON)


SURGE_THRUST = Kernel(_thrust, SURGE_RISE, SURGE_HORIZON)
SURGE_LIFT = rise_fall(10.0, 30.0)  # a snare's lift: slow enough that a roll climbs smoothly
SURGE_DETAIL = {"hat": 0.06, "perc": 0.1}  # sideways flicks of the upper percussion


def surge(score: Score, axes: int) -> Curve:
    """Forward surge: each kick thrusts forward through depth (z) and glides back; snares lift
    (y) against it; hats and percussion add small flicks to alternate sides in x."""
    period = score.period
    thrust = hit_sum(_hits(score.of("kick"), [SURGE_KICK], SURGE_THRUST), period, 1)
    lift = hit_sum(_hits(score.of("snare"), [0.26], SURGE_LIFT), period, 1)
    flicks = []
    for role, reach in SURGE_DETAIL.items():
        flicks += _side_hits(score.of(role), [reach], rise_fall(3.0, 9.0))
    detail = hit_sum(flicks, period, 1)

    def curve(k: float) -> tuple[float, ...]:
        z = soft_ceiling(thrust(k)[0], 0.5, 0.66)
        return _out(axes, detail(k)[0], soft_ceiling(lift(k)[0], 0.3, 0.4), z)

    return curve


# --- 6. recoil --------------------------------------------------------------------------------

RECOIL_SHOVE = 0.46  # sideways reach of an accented snare's shove
RECOIL_ATTACK, RECOIL_DECAY = 5.0, 10.0  # the shove: fast, and gone in a beat and a half
RECOIL_ECHO = 0.22  # the echo's reach back past the centre
# The echo peaks 24 pips after its shove and lingers for almost three beats, so a loop that ends
# in a long silence still carries it across the seam.
RECOIL_ECHO_DELAY, RECOIL_ECHO_DECAY, RECOIL_ECHO_HORIZON = 24.0, 20.0, 176.0
RECOIL_COUNTER = attack_release(4.0, 12.0, 96.0)  # a kick's downward counter
RECOIL_TICK = attack_release(2.0, 4.0, 24.0)  # a hat's or percussion hit's small tick in depth
RECOIL_TICKS = {"hat": 0.05, "perc": 0.08}
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
    for flurry, side in _alternating(_groups(score, _backbeat(score), RECOIL_FLURRY)):
        start = _time(flurry[0])
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
    away in depth; a kick counters downward, never further than the widest shove; hats and
    percussion tick the depth. Nothing moves before the event that moves it."""
    period = score.period
    shove = hit_sum(_shoves(score), period)
    counter = hit_sum(_hits(score.of("kick"), [-0.3], RECOIL_COUNTER), period, 1)
    ticks = []
    for role, depth in RECOIL_TICKS.items():
        ticks += [
            hit(_time(e), side * depth * e.level, kernel=RECOIL_TICK)
            for e, side in _alternating(score.of(role))
        ]
    tick = hit_sum(ticks, period, 1)
    widest = max(abs(soft_ceiling(shove(k)[0], 0.5, 0.62)) for k in range(period))
    knee, ceiling = (share * widest for share in RECOIL_COUNTER_SHARE) if widest else (0.3, 0.4)

    def curve(k: float) -> tuple[float, ...]:
        x, _, z = shove(k)
        z = soft_ceiling(z + tick(k)[0], 0.2, 0.3)
        y = soft_ceiling(counter(k)[0], knee, ceiling)
        return _out(axes, soft_ceiling(x, 0.5, 0.62), y, z)

    return curve


# --- 7. flutter -------------------------------------------------------------------------------

FLUTTER_ARC = {"kick": 0.28, "snare": 0.36}  # the arc's reach to either side
FLUTTER_TREMOR = spring_ring(10.0, 8.0, 40.0, 2.0)


def _arc_waypoints(score: Score) -> list[tuple[float, float]]:
    """Kicks and snares as alternating sides of a swing, one waypoint per sixteenth at most; a
    style with fewer than four of them swings on the beats of its first bar instead."""
    events = _step_gestures(score)
    if len(events) < 4:
        events = [Event(e, "kick", 1.0) for e in range(0, BAR, PIPS_PER_BEAT)]
    return [
        (_time(e), side * FLUTTER_ARC[e.role] * (0.6 + 0.4 * e.level))
        for e, side in _alternating(events)
    ]


def flutter(score: Score, axes: int) -> Curve:
    """Upper-percussion flutter: a wide, slow arc that swings side to side through the kicks and
    snares (wider for snares) and hangs lower at its ends, overlaid with quick ringing tremors
    from every hat and shaker and, more lightly, the other percussion."""
    period = score.period
    arc = closed_spline(_arc_waypoints(score), period)
    tremor = hit_sum(
        _side_hits(score.of("hat"), [0.05, 0.08, 0.04], FLUTTER_TREMOR)
        + _side_hits(score.of("perc"), [0.03, 0.05, 0.03], FLUTTER_TREMOR),
        period,
    )

    def curve(k: float) -> tuple[float, ...]:
        x = arc(k)[0]
        tx, ty, tz = tremor(k)
        return _out(axes, x + tx, ty - 0.5 * x * x, tz + 0.1 * x)

    return curve


# --- 8. dive ----------------------------------------------------------------------------------

DIVE_RUN_GAP = 24  # low-end notes closer than this (a sixteenth and a half) drive one plunge
DIVE_DEPTH = 0.56  # plunge depth per unit of a run's summed levels, before the ceiling
DIVE_ATTACK = 16.0  # the plunge deepens until this long after the run's last note
DIVE_FALL = 96.0  # the longest resurfacing
DIVE_RATE = 0.03  # the deepest plunge per pip of resurfacing room: close runs plunge less
DIVE_LIMIT = 1.05  # the deepest plunge before the ceiling: it just touches 0.92
DIVE_SHARE = 0.75  # a plunge takes at most this share of the time until the next run starts
DIVE_COUNTER = {"kick": 0.2, "snare": 0.26}
DIVE_RIPPLE = {"hat": 0.04, "perc": 0.06}


def _plunges(score: Score) -> list[Hit]:
    """One plunge per run of the low end: from the run's first note it deepens until
    DIVE_ATTACK after its last, by DIVE_DEPTH per unit of the run's levels, then resurfaces
    and rests a moment before the next run starts. Where the next run comes soon, the plunge
    is shallower."""
    period = score.period
    runs = _groups(score, _low_end(score), DIVE_RUN_GAP)
    plunges = []
    for i, run in enumerate(runs):
        start = _time(run[0])
        following = _time(runs[(i + 1) % len(runs)][0])
        room = (following - start) % period or period
        span = (_time(run[-1]) - start) % period
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
        hit(_time(e), side * DIVE_COUNTER[e.role] * e.level, kernel=rise_fall(8.0, 24.0))
        for e, side in _alternating(_step_gestures(score))
    ]
    counter = hit_sum(swing, period, 1)
    ripples = []
    for role, height in DIVE_RIPPLE.items():
        ripples += _hits(score.of(role), [height], rise_fall(3.0, 9.0))
    ripple = hit_sum(ripples, period, 1)

    def curve(k: float) -> tuple[float, ...]:
        z = soft_ceiling(plunge(k)[0], 0.8, 0.92)
        x = soft_ceiling(counter(k)[0], 0.3, 0.4)
        return _out(axes, x, ripple(k)[0] - 0.12 * z, z)

    return curve


# --- 9. pendulum ------------------------------------------------------------------------------


def pendulum(score: Score, axes: int) -> Curve:
    """Weighted pendulum: a bob on a unit arm swings once each way per bar, starting at its right
    end; events quicken the swing around them and widen it. The bob rises on a circle toward the
    ends of its arc."""
    swing = _phase(score, score.events, delay=16.0, rise=16.0, fall=48.0)
    width = _energy(score, score.of("kick", "snare"), rise_fall(32.0, 64.0), 1.0, 1.3)
    bars = score.period / BAR

    def curve(k: float) -> tuple[float, ...]:
        angle = (0.46 + 0.07 * width(k)) * math.cos(TAU * bars * swing(k))
        return _out(axes, math.sin(angle), 1.0 - math.cos(angle), 0.1 * math.sin(TAU * swing(k)))

    return curve


# --- 10. figure8 ------------------------------------------------------------------------------

FIGURE8_WEAVE = 0.1  # the two passes through the crossing, one above the other in depth


def figure8(score: Score, axes: int) -> Curve:
    """Woven figure eight: two lobes left and right, drawn once per bar; the two passes through
    the crossing are woven, one in front of the other. Kicks widen the lobes and snares lift
    the point further in depth."""
    period = score.period
    travel = _phase(score, score.events)
    lobes = _energy(score, score.of("kick"), rise_fall(16.0, 48.0), 1.0, 1.4)
    lift = hit_sum(_hits(score.of("snare"), [0.22], rise_fall(8.0, 24.0)), period, 1)
    bars = period / BAR

    def curve(k: float) -> tuple[float, ...]:
        angle = TAU * bars * travel(k)
        size = 0.5 + 0.1 * lobes(k)
        z = soft_ceiling(FIGURE8_WEAVE * math.sin(angle) + lift(k)[0], 0.22, 0.28)
        return _out(axes, size * math.cos(angle), 0.55 * size * math.sin(2.0 * angle), z)

    return curve


# --- 11. box ----------------------------------------------------------------------------------


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
    turn = _phase(score, score.events)
    busy = min(1.0, sum(_weight(e) for e in score.events) / (score.period / STEP))
    half = 0.48 + 0.04 * busy
    bars = score.period / BAR

    def curve(k: float) -> tuple[float, ...]:
        u = bars * turn(k)
        x, y = rounded_square(u, half, 0.16)
        return _out(axes, x, y, -0.12 * math.sin(TAU * 2.0 * u) ** 2)

    return curve


# --- 12. corkscrew ----------------------------------------------------------------------------


def corkscrew(score: Score, axes: int) -> Curve:
    """Closed corkscrew: two turns per loop around a depth wave that rises and falls once; hits
    of percussion, snares and hats widen the turns."""
    turn = _phase(score, score.events)
    widen = _energy(score, score.of("perc", "snare", "hat"), rise_fall(8.0, 40.0), 1.0, 1.3)
    period = score.period

    def curve(k: float) -> tuple[float, ...]:
        angle = TAU * 2.0 * turn(k)
        radius = 0.34 + 0.14 * widen(k)
        depth = 0.5 * math.cos(TAU * k / period)
        return _out(axes, radius * math.cos(angle), radius * math.sin(angle), depth)

    return curve


# --- 13. spiral -------------------------------------------------------------------------------


def spiral(score: Score, axes: int) -> Curve:
    """Breathing spiral: two turns per loop while the radius opens out from 0.32 to its widest
    halfway and contracts again, so the path closes on itself; the widest radius grows with the
    score's weight."""
    turn = _phase(score, score.events)
    busy = min(1.0, sum(_weight(e) for e in score.events) / (score.period / STEP))
    widest = 0.6 + 0.07 * busy
    period = score.period

    def curve(k: float) -> tuple[float, ...]:
        breath = (1.0 - math.cos(TAU * k / period)) / 2.0
        radius = 0.32 + (widest - 0.32) * breath
        angle = TAU * 2.0 * turn(k)
        depth = 0.2 * (breath - 0.5)
        return _out(axes, radius * math.cos(angle), radius * math.sin(angle), depth)

    return curve


# --- 14. slalom -------------------------------------------------------------------------------

SLALOM_SWEEP = 0.6  # how far the course runs to each side
SLALOM_BEND = 0.14  # how far the S bends up and down between its ends
SLALOM_DEPTH = 0.3  # depth counter to the sideways position


def slalom(score: Score, axes: int) -> Curve:
    """Drum slalom: back and forth along an S-shaped course, one run each way per bar, paced by
    the rhythm and starting at the course's right end. A snare cuts back against the travel, a
    kick lifts, and depth moves against the sideways position."""
    period = score.period
    bars = period / BAR
    travel = _phase(score, score.events)
    cuts = []
    for e in score.of("snare"):
        heading = -math.sin(TAU * bars * travel(_time(e)))  # the travel's direction at the snare
        cut = -math.copysign(0.1, heading) * e.level if heading else 0.0
        cuts.append(hit(_time(e), cut, kernel=rise_fall(8.0, 24.0)))
    cutback = hit_sum(cuts, period, 1)
    lift = hit_sum(_hits(score.of("kick"), [0.22], KICK_PULSE), period, 1)

    def curve(k: float) -> tuple[float, ...]:
        along = math.cos(TAU * bars * travel(k))  # -1 .. 1 from the left end to the right
        x = soft_ceiling(SLALOM_SWEEP * along + cutback(k)[0], 0.62, 0.66)
        y = SLALOM_BEND * math.sin(math.pi * along) + lift(k)[0]
        return _out(axes, x, y, -SLALOM_DEPTH * along)

    return curve


# --- 15. spring -------------------------------------------------------------------------------

# Each role strikes its own spring: the direction and reach of an accented strike, then the
# spring's cycle and decay in pips. Snares ring sideways and fastest, kicks and bass in depth and
# slower, percussion and hats lightly and quickly. The cycles sit off the sixteenth grid, so rings
# struck on the grid do not all pass through rest together on later grid pips. The snare's reach
# sets the hardest ring of all: a crescendo roll that strikes it in time with its swing.
SPRING_STRIKE = {
    "snare": ((0.4788, 0.0, 0.0), 15.0, 16.0),
    "kick": ((0.0, 0.0, 0.4), 22.0, 20.0),
    "bass": ((0.0, 0.0, 0.2), 29.0, 24.0),
    "perc": ((0.14, 0.1, 0.0), 11.0, 10.0),
    "hat": ((0.05, 0.04, 0.0), 7.0, 8.0),
}
SPRING_ONSET = 2.0  # the ring starts from rest with zero velocity, reaching full swing in ~4 pips
# The ring fades out over three beats. Long before that its tail is too small to see, but it
# still carries across the seam after a loop's last event, as a real spring never quite stops.
SPRING_HORIZON = 192.0


def spring(score: Score, axes: int) -> Curve:
    """Causal spring: every event strikes a spring at rest and sets it ringing, damped, from the
    event on and never before. Snares ring sideways, each struck from the side opposite the last;
    kicks and bass ring in depth; percussion and hats lightly, with a little height."""
    hits = []
    for role, (reach, cycle, decay) in SPRING_STRIKE.items():
        kernel = spring_ring(cycle, decay, SPRING_HORIZON, SPRING_ONSET)
        hits += _side_hits(score.of(role), reach, kernel)
    ring = hit_sum(hits, score.period)
    return lambda k: _out(axes, *(soft_ceiling(c, 0.55, 0.67) for c in ring(k)))


# --- 16. ricochet -----------------------------------------------------------------------------

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


def ricochet(score: Score, axes: int) -> Curve:
    """Directional ricochet: each onset flings the point out toward the next of five targets
    round a star, to land there on the onset, and lets it fall back to the centre before the
    next onset starts out, drums far and hats a little. Onsets crowded together fly shorter, so
    that every excursion keeps its own shape; depth alternates."""
    period = score.period
    onsets = _onsets(score)
    hits = []
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
    return lambda k: _out(axes, *flights(k))


# In table order: the club pack uses the first four, the dancefloor pack the other twelve (and
# all sixteen for its own styles).
MOTIONS: tuple[Motion, ...] = (
    Motion(
        "bounce",
        "Kick-led bounce",
        "Original Club 05 kick-led downstroke and side accents.",
        "y",
        (0.40, 0.68),
        bounce,
    ),
    Motion(
        "step",
        "Snare side-step",
        "Original Club 05 alternating lateral kick and snare gestures.",
        "x",
        (0.31, 0.75),
        step,
    ),
    Motion(
        "orbit",
        "Percussion orbit",
        "Original Club 05 event-weighted orbital speed, radius and depth.",
        "xy",
        (0.54, 0.62),
        orbit,
    ),
    Motion(
        "glide",
        "Bass-and-phrase glide",
        "Original Club 05 continuous phrase path with bass excursions.",
        "xyz",
        (0.40, 0.70),
        glide,
        dancefloor_title="Bass / phrase glide",
    ),
    Motion(
        "surge",
        "Forward surge",
        "Kick thrust through depth with contrasting snare lift and hat detail.",
        "z",
        (0.37, 0.68),
        surge,
    ),
    Motion(
        "recoil",
        "Backbeat recoil",
        "Snare pushes sideways; kick counters downward; delayed echo draws back.",
        "x",
        (0.20, 0.64),
        recoil,
    ),
    Motion(
        "flutter",
        "Upper-percussion flutter",
        "Hat and shaker tremors over a wider kick/snare arc.",
        "x",
        (0.26, 0.54),
        flutter,
    ),
    Motion(
        "dive",
        "Bass-led dive",
        "Bass drives a broad depth plunge with alternating drum counterweight.",
        "z",
        (0.27, 0.92),
        dive,
    ),
    Motion(
        "pendulum",
        "Weighted pendulum",
        "A hanging arc whose amplitude and angular speed respond to the score.",
        "x",
        (0.46, 0.56),
        pendulum,
    ),
    Motion(
        "figure8",
        "Woven figure eight",
        "Two crossing lobes expand at kicks with a lifted snare crossing.",
        "xy",
        (0.55, 0.64),
        figure8,
    ),
    Motion(
        "box",
        "Rounded corner tour",
        "Rhythm-weighted phase travels around four softened corners.",
        "xy",
        (0.48, 0.52),
        box,
    ),
    Motion(
        "corkscrew",
        "Closed corkscrew",
        "Two orbital turns ride a depth wave with percussion-driven radius.",
        "xyz",
        (0.50, 0.60),
        corkscrew,
    ),
    Motion(
        "spiral",
        "Breathing spiral",
        "A contracting and expanding double-turn path with a continuous seam.",
        "xy",
        (0.59, 0.68),
        spiral,
    ),
    Motion(
        "slalom",
        "Drum slalom",
        "S-shaped travel with kick lift, snare cutbacks and depth counter-motion.",
        "x",
        (0.58, 0.66),
        slalom,
    ),
    Motion(
        "spring",
        "Causal spring",
        "An event starts at rest, then drives a damped ringing excursion.",
        "xz",
        (0.16, 0.67),
        spring,
    ),
    Motion(
        "ricochet",
        "Directional ricochet",
        "Successive onsets send smooth excursions toward a cyclic series of targets.",
        "xy",
        (0.25, 0.92),
        ricochet,
    ),
)
