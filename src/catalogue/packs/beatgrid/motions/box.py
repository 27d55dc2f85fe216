"""Rounded corner tour: a rhythm-weighted phase travels round four softened corners."""

from __future__ import annotations

import math

from tablegen.shapes import hit, hit_sum, rise_fall, smootherstep, soft_ceiling

from ..score import PIPS_PER_BEAT, STEP, Score
from .events import alternating, out, time_of, weight_of
from .motion import Curve, Motion

CORNER = 0.16  # the radius that softens each corner
# The travel of a beat with nothing in it: as much as a ghost kick would push it.
BOX_EMPTY_BEAT = 0.35
# Depth: a kick presses the box back, a snare lifts it forward, percussion and hats tap it to
# alternate sides of its plane, the bass leans it back.
BOX_DEPTH = {"kick": -0.1, "snare": 0.14, "perc": 0.08, "hat": 0.06, "bass": -0.07}
BOX_TAP = rise_fall(4.0, 20.0)


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


def beat_travel(score: Score) -> list[list[tuple[float, float]]]:
    """Per beat, (start in pips from the beat, weight) of each push that moves the point on to
    the next corner: one for the beat itself and one for every event in it."""
    beats: list[list[tuple[float, float]]] = [
        [(0.0, BOX_EMPTY_BEAT)] for _ in range(score.period // PIPS_PER_BEAT)
    ]
    for e in score.events:
        beat, offset = divmod(time_of(e), PIPS_PER_BEAT)
        beats[int(beat)].append((offset, weight_of(e)))
    return beats


def box(score: Score, axes: int) -> Curve:
    """Rounded corner tour: once round a square with softened corners per bar, reaching a corner
    on every beat and resting there for an instant. Between two corners the point travels as the
    beat's events push it: each event starts a push that eases in and out and ends on the next
    beat, so a beat that only opens with a kick glides evenly, a late snare makes a late dash,
    and a busy beat moves in spurts. Busier scores draw a slightly larger box; every role taps
    the depth."""
    beats = beat_travel(score)
    busy = min(1.0, sum(weight_of(e) for e in score.events) / (score.period / STEP))
    half = 0.48 + 0.04 * busy
    taps = [
        hit(
            time_of(e),
            side * BOX_DEPTH[e.role] * e.level
            if e.role in ("perc", "hat")
            else BOX_DEPTH[e.role] * e.level,
            kernel=BOX_TAP,
        )
        for e, side in alternating(score.events)
    ]
    depth = hit_sum(taps, score.period, 1)

    def progress(k: float) -> float:
        """Corners passed since pip 0, counted in quarter turns: whole on every beat."""
        beat, offset = divmod(k % score.period, PIPS_PER_BEAT)
        pushes = beats[int(beat)]
        moved = math.fsum(
            w * smootherstep((offset - start) / (PIPS_PER_BEAT - start)) for start, w in pushes
        )
        return beat + moved / math.fsum(w for _, w in pushes)

    def curve(k: float) -> tuple[float, ...]:
        x, y = rounded_square(0.125 + progress(k) / 4.0, half, CORNER)
        return out(axes, x, y, soft_ceiling(depth(k)[0], 0.2, 0.3))

    return curve


MOTION = Motion(
    "box",
    "Rounded corner tour",
    "Rhythm-weighted phase travels around four softened corners.",
    "xy",
    (0.48, 0.52),
    box,
)
