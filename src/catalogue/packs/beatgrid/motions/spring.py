"""Causal spring: every event strikes a spring at rest and sets it ringing."""

from __future__ import annotations

from tablegen.shapes import hit_sum, soft_ceiling, spring_ring

from ..score import Score
from .events import out, side_hits
from .motion import Curve, Motion

# Each role strikes its own spring: the direction and reach of an accented strike, then the
# spring's cycle and decay in pips. Snares ring sideways and fastest, kicks and bass in depth and
# slower (and a little sideways, to alternate sides), percussion and hats lightly and quickly.
# The cycles sit off the sixteenth grid, so rings struck on the grid do not all pass through rest
# together on later grid pips. The snare's reach sets the hardest ring of all: a crescendo roll
# that strikes it in time with its swing.
SPRING_STRIKE = {
    "snare": ((0.4771, 0.0, 0.0), 15.0, 16.0),
    "kick": ((0.1, 0.0, 0.4), 22.0, 20.0),
    "bass": ((0.07, 0.0, 0.2), 29.0, 24.0),
    "perc": ((0.14, 0.1, 0.0), 11.0, 10.0),
    "hat": ((0.14, 0.12, 0.0), 7.0, 8.0),
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
        hits += side_hits(score.of(role), reach, kernel)
    ring = hit_sum(hits, score.period)
    return lambda k: out(axes, *(soft_ceiling(c, 0.55, 0.67) for c in ring(k)))


MOTION = Motion(
    "spring",
    "Causal spring",
    "An event starts at rest, then drives a damped ringing excursion.",
    "xz",
    (0.16, 0.67),
    spring,
)
