"""Bass-and-phrase glide: a continuous phrase path with bass excursions."""

from __future__ import annotations

import math

from tablegen.shapes import TAU, attack_release, closed_spline, hit_sum, soft_ceiling

from ..score import PIPS_PER_BEAT, Score
from .events import low_end, paced_phase, side_hits, weight_of
from .motion import Curve, Motion

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
            busy[int(e.time) // PIPS_PER_BEAT] += weight_of(e)
    top = max(busy)
    return [b / top if top else 0.0 for b in busy]


def glide(score: Score, axes: int) -> Curve:
    """Bass-and-phrase glide: a continuous path through one waypoint per beat, sweeping once
    around x and z over the loop, faster through the busier beats, which also lift it; every
    bass note (every kick where there is no bass) sends a causal excursion down and out to
    alternate sides."""
    period = score.period
    sweep = paced_phase(score, score.events, delay=16.0, rise=16.0, fall=48.0)
    waypoints = []
    for b, lift in enumerate(_beat_lifts(score)):
        angle = TAU * sweep(b * PIPS_PER_BEAT)
        point = (GLIDE_RADIUS * math.cos(angle), GLIDE_LIFT * lift, GLIDE_RADIUS * math.sin(angle))
        waypoints.append((b * PIPS_PER_BEAT, point))
    phrase = closed_spline(waypoints, period)
    bass = side_hits(low_end(score), [GLIDE_SWAY, GLIDE_DROP], GLIDE_BASS)
    excursions = hit_sum(bass, period, 2)

    def curve(k: float) -> tuple[float, ...]:
        px, py, pz = phrase(k)
        ex, ey = excursions(k)
        return px + soft_ceiling(ex, 0.16, 0.24), py + soft_ceiling(ey, 0.24, 0.36), pz

    return curve


MOTION = Motion(
    "glide",
    "Bass-and-phrase glide",
    "Original Club 05 continuous phrase path with bass excursions.",
    "xyz",
    (0.40, 0.70),
    glide,
    dancefloor_title="Bass / phrase glide",
)
