"""Reaches: `count` separate gestures out from the centre and back, each 1024/count pips long.

Every reach leaves the origin at 1024*j/count pips and is back on it exactly when the next one
starts. Each is drawn in its own frame: `a` along the reach's direction, `b` across it (to the
left), `c` in depth, as skewed bumps u^p (1 - u)^q of the reach's own time u in [0, 1]. With p
and q at least 3 a bump leaves and meets zero with no speed and no acceleration, so the path
settles on the centre with no reset jump and stays within 1e-4 of it for a fraction of a pip
either side of each boundary.

The reaches of one pattern point round the field in a star order, at lengths and angles varied
a little, and their side motion alternates between the left and the right.
"""

import math
from dataclasses import dataclass

from tablegen.facts import near, origin_at, reaching_out
from tablegen.model import Pattern
from tablegen.shapes import HALF_PIP, hashed_unit, wrap

LOOP = 1024
PEAK = 0.82
DESCRIPTION = (
    "Separate shaped reaches depart from and settle at a shared centre, without reset jumps."
)
AT_CENTRE = 5e-5  # per component, so that the distance to the centre stays below 1e-4


def bump(u: float, p: float, q: float) -> float:
    """u^p (1 - u)^q scaled to a peak of 1, which it reaches at u = p / (p + q)."""
    top = p / (p + q)
    return (u**p * (1.0 - u) ** q) / (top**p * (1.0 - top) ** q)


# The stroke of each kind in the reach's frame: (a, b, c) at time u of the reach.
def scoop(u):
    # out along one side, back along the other: a teardrop that dips before it rises
    return (bump(u, 3, 3), 0.42 * (bump(u, 5, 3) - bump(u, 3, 5)), 0.0)


def hook(u):
    # straight out, then a late swing across that curls the way back
    return (bump(u, 3, 4), 0.5 * bump(u, 7, 3), 0.0)


def lift(u):
    # rises in depth ahead of the reach and comes down behind it, with a slight sideways sway
    return (bump(u, 4, 3), 0.12 * bump(u, 3, 3), 0.7 * bump(u, 3, 4))


def recoil(u):
    # a fast thrust, then a spring back through the centre to the opposite side before settling
    return (bump(u, 3, 7) - 0.34 * bump(u, 7, 3), 0.14 * bump(u, 4, 4), 0.0)


@dataclass(frozen=True)
class Kind:
    name: str
    stroke: object
    first: float  # degrees: direction of the first reach
    axes: int = 2


KINDS = (
    Kind("scoop", scoop, -30.0),
    Kind("hook", hook, 15.0),
    Kind("lift", lift, 75.0, axes=3),
    Kind("recoil", recoil, 160.0),
)
# How many places round the field each reach turns on from the last one.
STAR_STEP = {3: 1, 4: 1, 5: 2, 7: 3}
TURN_JITTER = 14.0  # degrees
LENGTHS = (0.72, 1.0)


def reaches(kind: Kind, count: int):
    name = f"reach_{kind.name}_{count}"
    span = LOOP / count
    frames = []
    for j in range(count):
        degrees = kind.first + 360.0 * STAR_STEP[count] * j / count
        degrees += TURN_JITTER * hashed_unit(name, "angle", j)
        low, high = LENGTHS
        length = low + (high - low) * (0.5 + 0.5 * hashed_unit(name, "length", j))
        side = 1.0 if j % 2 == 0 else -1.0
        angle = math.radians(degrees)
        frames.append((length, math.cos(angle), math.sin(angle), side))

    def curve(k):
        j, inside = divmod(wrap(k, LOOP), span)
        length, cos, sin, side = frames[int(j) % count]
        a, b, c = kind.stroke(inside / span)
        a, b = length * a, length * side * b
        return (a * cos - b * sin, a * sin + b * cos, length * c)[: kind.axes]

    return curve


def back_at_centre(count: int):
    """Exactly at the origin at pip 0 and wherever a boundary falls on a whole pip, else within
    1e-4 of it at the pip nearest the boundary."""
    facts = [origin_at(0), reaching_out(count)]
    for j in range(1, count):
        boundary = LOOP * j / count
        if boundary.is_integer():
            facts.append(origin_at(int(boundary)))
        else:
            facts.append(near(round(boundary), 0.0, 0.0, 0.0, tol=AT_CENTRE))
    return tuple(facts)


PATTERNS = [
    Pattern(
        f"reach_{kind.name}_{count}",
        DESCRIPTION,
        LOOP,
        kind.axes,
        reaches(kind, count),
        peak=PEAK,
        peak_grid=HALF_PIP,
        facts=back_at_centre(count),
    )
    for count in (3, 4, 5, 7)
    for kind in KINDS
]
