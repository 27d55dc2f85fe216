"""Snare side-step: kicks and snares take turns stepping to either side."""

from __future__ import annotations

import math
from collections.abc import Iterable

from tablegen.shapes import hit, hit_sum, rise_fall, smootherstep

from ..score import STEP, Event, Score
from .events import alternating, cyclic, out, side_hits, step_gestures, time_of
from .motion import Curve, Motion

# One step gesture per kick or snare, sideways (x), with a dip or lift (y) and a lean (z).
STEP_KICK = (0.42, -0.22, 0.12)
STEP_SNARE = (0.7464, 0.3, -0.18)  # the widest step of the pack: an accented snare
STEP_RISE, STEP_FALL = 6.4, 29.44
STEP_CUSHION = 0.08  # how much deeper a kick dips per accented hat right on it
# Between the steps, percussion scuffs the floor (a heel lift, toward alternate sides) and the
# bass lowers the stance. A scuff fades out while a step is under way, gone once the step is
# SCUFF_FADE wide, so it never widens a step nor outpaces one.
SCUFF = (rise_fall(8.0, 24.0), {"perc": (0.06, 0.12, 0.05), "bass": (0.0, -0.08, 0.06)})
SCUFF_FADE = 0.2


def _crowding(score: Score, time, events: Iterable[Event]) -> float:
    """The levels of the events within a sixteenth of `time`, each counted less the further it
    lies: fully on the time, not at all a sixteenth away."""
    return math.fsum(
        e.level * max(0.0, 1.0 - abs(float(cyclic(e.time - time, score.period))) / STEP)
        for e in events
    )


def step(score: Score, axes: int) -> Curve:
    """Snare side-step: kicks and snares take turns stepping right and left. A kick steps
    0.42 wide and dips 0.22, deeper when hats crowd it; a snare steps wider and lifts. Each step
    rises over 6.4 pips and settles back to the centre before the next one starts, so steps
    never overlap and each reaches its own width exactly. Between the steps percussion scuffs
    the floor and the bass lowers the stance."""
    gestures = step_gestures(score)
    period = score.period
    hits = []
    for i, (e, side) in enumerate(alternating(gestures)):
        after = gestures[(i + 1) % len(gestures)]
        gap = (after.time - e.time) % period or period  # to the next step, round the loop
        kernel = rise_fall(STEP_RISE, min(STEP_FALL, float(gap) - STEP_RISE))
        x, y, z = STEP_SNARE if e.role == "snare" else STEP_KICK
        if e.role == "kick":
            y -= STEP_CUSHION * _crowding(score, e.time, score.of("hat"))
        hits.append(hit(time_of(e), side * x * e.level, y * e.level, z * e.level, kernel=kernel))
    steps = hit_sum(hits, period)
    kernel, reach = SCUFF
    scuffs = hit_sum(
        [h for role, r in reach.items() for h in side_hits(score.of(role), r, kernel)], period
    )

    def curve(k: float) -> tuple[float, ...]:
        x, y, z = steps(k)
        room = 1.0 - smootherstep(abs(x) / SCUFF_FADE)
        sx, sy, sz = scuffs(k)
        return out(axes, x + room * sx, y + room * sy, z + room * sz)

    return curve


MOTION = Motion(
    "step",
    "Snare side-step",
    "Original Club 05 alternating lateral kick and snare gestures.",
    "x",
    (0.31, 0.75),
    step,
)
