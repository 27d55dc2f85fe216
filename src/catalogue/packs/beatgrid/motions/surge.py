"""Forward surge: kicks thrust through depth, snares lift against them, hats flick."""

from __future__ import annotations

import math

from tablegen.shapes import (
    Kernel,
    attack_release,
    hit_sum,
    release_fade,
    rise_fall,
    skewed_pulse,
    soft_ceiling,
)

from ..score import Score
from .events import level_hits, out, side_hits
from .motion import Curve, Motion

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
SURGE_DETAIL = {"hat": 0.09, "perc": 0.1}  # sideways flicks of the upper percussion
# The bass draws the point back after each note, slower than a kick thrusts, and sinks it a little:
# the pull starts on the note and builds, so a kick played with the bass still thrusts first.
SURGE_BASS = ((0.0, -0.07, -0.14), attack_release(16.0, 12.0, 56.0))


def surge(score: Score, axes: int) -> Curve:
    """Forward surge: each kick thrusts forward through depth (z) and glides back, and the bass
    draws it back further between the thrusts and sinks it; snares lift (y) against it; hats
    and percussion add small flicks to alternate sides in x."""
    period = score.period
    thrust = hit_sum(level_hits(score.of("kick"), [SURGE_KICK], SURGE_THRUST), period, 1)
    swell = hit_sum(level_hits(score.of("bass"), *SURGE_BASS), period)
    lift = hit_sum(level_hits(score.of("snare"), [0.26], SURGE_LIFT), period, 1)
    flicks = []
    for role, reach in SURGE_DETAIL.items():
        flicks += side_hits(score.of(role), [reach], rise_fall(3.0, 9.0))
    detail = hit_sum(flicks, period, 1)

    def curve(k: float) -> tuple[float, ...]:
        _, sink, push = swell(k)
        z = soft_ceiling(thrust(k)[0] + soft_ceiling(push, 0.08, 0.12), 0.5, 0.66)
        sink = soft_ceiling(sink, 0.05, 0.07)
        return out(axes, detail(k)[0], soft_ceiling(lift(k)[0], 0.3, 0.4) + sink, z)

    return curve


MOTION = Motion(
    "surge",
    "Forward surge",
    "Kick thrust through depth with contrasting snare lift and hat detail.",
    "z",
    (0.37, 0.68),
    surge,
)
