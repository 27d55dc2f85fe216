"""Kick-led bounce: kicks lift the point, snares and hats accent the sides."""

from __future__ import annotations

from tablegen.shapes import hit_sum, rise_fall, soft_ceiling

from ..score import Score
from .events import KICK_PULSE, level_hits, out, side_hits
from .motion import Curve, Motion

BOUNCE_KICK = 0.55  # height of an accented kick
BOUNCE_SNARE = 0.26  # sideways accent of a snare, alternating sides
BOUNCE_HAT = 0.1  # sideways flick of a hat, alternating sides
BOUNCE_BASS, BOUNCE_SNARE_DEPTH = 0.2, -0.1
# Percussion hops: a small lift and a sideways flick to alternate sides; the bass lifts the
# point under the kick's pulse, longer and lower.
BOUNCE_PERC = (0.14, 0.12)
PERC_HOP = rise_fall(4.0, 16.0)
BOUNCE_BASS_LIFT = 0.14
BASS_SWELL = rise_fall(8.0, 36.0)


def bounce(score: Score, axes: int) -> Curve:
    """Kick-led bounce: each kick lifts y in a quick pulse that falls away over the next half
    beat, and the bass swells it longer and lower; snares and hats add side accents in x,
    percussion small hops to alternate sides; with depth, the bass pushes forward and snares
    pull back."""
    period = score.period
    lift = hit_sum(
        level_hits(score.of("kick"), [BOUNCE_KICK], KICK_PULSE)
        + level_hits(score.of("bass"), [BOUNCE_BASS_LIFT], BASS_SWELL),
        period,
        1,
    )
    x, y = BOUNCE_PERC
    hops = hit_sum(side_hits(score.of("perc"), [x, y], PERC_HOP), period, 2)
    side = hit_sum(
        side_hits(score.of("snare"), [BOUNCE_SNARE], rise_fall(6.4, 20.0))
        + side_hits(score.of("hat"), [BOUNCE_HAT], rise_fall(4.0, 12.0)),
        period,
        1,
    )
    depth = hit_sum(
        level_hits(score.of("bass"), [BOUNCE_BASS], KICK_PULSE)
        + level_hits(score.of("snare"), [BOUNCE_SNARE_DEPTH], rise_fall(6.4, 20.0)),
        period,
        1,
    )

    def curve(k: float) -> tuple[float, ...]:
        hop_x, hop_y = hops(k)
        y = soft_ceiling(lift(k)[0] + hop_y, BOUNCE_KICK, 0.66)
        return out(axes, side(k)[0] + hop_x, y, depth(k)[0])

    return curve


MOTION = Motion(
    "bounce",
    "Kick-led bounce",
    "Original Club 05 kick-led downstroke and side accents.",
    "y",
    (0.40, 0.68),
    bounce,
)
