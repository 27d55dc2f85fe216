"""Bass-and-phrase glide: a continuous phrase path with bass excursions."""

from __future__ import annotations

import math

from tablegen.shapes import TAU, attack_release, closed_spline, hit_sum, soft_ceiling

from ..score import BAR, PIPS_PER_BEAT, Score
from .events import low_end, paced_phase, side_hits, weight_of
from .motion import Curve, Motion

GLIDE_RADIUS = 0.42  # the phrase path's sweep through x and z
GLIDE_LIFT = 0.26  # how far a busy beat lifts the path
GLIDE_BUSY = 1.2  # the weight above the low end that lifts a beat by 1 - 1/e of GLIDE_LIFT
GLIDE_DROP, GLIDE_SWAY = -0.24, 0.12  # a bass note's excursion: down, and out to alternate sides
GLIDE_BASS = attack_release(16.0, 32.0, 192.0)
# Lighter excursions of the rest of the score, just as causal: a snare lifts the path, percussion
# sways it to alternate sides and hats ripple it.
GLIDE_ACCENT = attack_release(6.0, 12.0, 72.0)
GLIDE_ACCENTS = {"snare": (0.0, 0.12, 0.06), "perc": (0.1, 0.0, -0.05), "hat": (0.0, 0.035, 0.02)}


def _beat_lifts(score: Score) -> list[float]:
    """Per beat, 0 to 1: how far the weight of everything above the low end lifts it."""
    beats = score.period // PIPS_PER_BEAT
    busy = [0.0] * beats
    for e in score.events:
        if e.role not in ("bass", "kick"):
            busy[int(e.time) // PIPS_PER_BEAT] += weight_of(e)
    return [1.0 - math.exp(-b / GLIDE_BUSY) for b in busy]


def glide(score: Score, axes: int) -> Curve:
    """Bass-and-phrase glide: a continuous path through one waypoint per beat, sweeping once
    around x and z in every bar, whatever the length of the loop, faster through the busier
    beats, which also lift it; every bass note (every kick where there is no bass) sends a
    causal excursion down and out to alternate sides, and snares, percussion and hats send
    lighter ones of their own."""
    period = score.period
    sweep = paced_phase(score, score.events, delay=16.0, rise=16.0, fall=48.0)
    bars = period / BAR
    waypoints = []
    for b, lift in enumerate(_beat_lifts(score)):
        angle = TAU * bars * sweep(b * PIPS_PER_BEAT)
        point = (GLIDE_RADIUS * math.cos(angle), GLIDE_LIFT * lift, GLIDE_RADIUS * math.sin(angle))
        waypoints.append((b * PIPS_PER_BEAT, point))
    phrase = closed_spline(waypoints, period)
    bass = side_hits(low_end(score), [GLIDE_SWAY, GLIDE_DROP, 0.0], GLIDE_BASS)
    for role, reach in GLIDE_ACCENTS.items():
        bass += side_hits(score.of(role), reach, GLIDE_ACCENT)
    excursions = hit_sum(bass, period)

    def curve(k: float) -> tuple[float, ...]:
        px, py, pz = phrase(k)
        ex, ey, ez = excursions(k)
        return (
            px + soft_ceiling(ex, 0.16, 0.24),
            py + soft_ceiling(ey, 0.24, 0.36),
            pz + soft_ceiling(ez, 0.1, 0.15),
        )

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
