"""Programmed position sequences: eight held positions (x, y) per eight-beat loop, x and y eased
together from each to the next along the quintic smootherstep, so the point comes to rest on
every position; the last eases back to the first at pip 512.

Each contour comes twice: `even`, one position every beat; `lilt`, the same positions on a
long-short lilt of 80 and 48 pips. x is the contour itself and reaches 0.82; y is a smaller lift
that either goes once round the eight positions (0.287 sin(2 pi j/8) at position j) or steps
through three levels, up, down and middle (+0.2485, -0.2485, 0), every three positions.
"""

import math
from itertools import pairwise

from tablegen.facts import ROUNDING_TOLERANCE, formula, near, peaks
from tablegen.model import Pattern
from tablegen.shapes import keyframes

EIGHT_BEATS = 512
PEAK = 0.82
EVEN = (0, 64, 128, 192, 256, 320, 384, 448)
LILT = (0, 80, 128, 208, 256, 336, 384, 464)
TIMINGS = {"even": EVEN, "lilt": LILT}

ONCE_ROUND = [0.287 * math.sin(2 * math.pi * j / 8) for j in range(8)]
THIRDS = [0.2485 * (0, 1, -1)[j % 3] for j in range(8)]

# contour: x at positions 0 to 7, y at positions 0 to 7
CONTOURS = {
    # up four steps from the far left to the far right and back down.
    "up_down": ((-0.82, -0.41, 0.0, 0.41, 0.82, 0.41, 0.0, -0.41), THIRDS),
    # a full swing out and back, then a half swing.
    "pendulum": ((0.0, 0.82, 0.0, -0.82, 0.0, 0.41, 0.0, -0.41), ONCE_ROUND),
    # wide leaps to the right and back, then the same leaps mirrored to the left.
    "octave": ((0.0, 0.82, 0.205, 0.6663, -0.205, -0.82, -0.41, -0.6663), ONCE_ROUND),
    # leaps of unequal size that never repeat an interval in a row.
    "unequal": ((0.0, 0.615, 0.82, 0.205, 0.41, -0.615, -0.82, -0.205), [-y for y in THIRDS]),
    # sets out from the centre, wanders near it and rises at the end, like a question.
    "question": ((0.0, -0.205, 0.205, -0.205, 0.205, -0.41, 0.41, 0.82), THIRDS),
    # starts from the question's high point and falls back by uneven steps, like its answer.
    "answer": ((0.82, 0.41, 0.615, 0.205, 0.41, -0.205, 0.0, -0.41), [-y for y in THIRDS]),
    # clicks out in growing steps, each time springing back to the centre.
    "ratchet": ((0.0, 0.3075, 0.0, 0.615, 0.0, 0.82, 0.0, -0.3075), ONCE_ROUND),
    # climbs four even stairs, holds at the top, then drops back in two.
    "stairs": ((-0.82, -0.41, 0.0, 0.41, 0.82, 0.82, 0.0, -0.82), ONCE_ROUND),
}

# The four contours whose even timing is an exact keyframe sequence, written out again: x at
# keyframe j as listed, y = 0.287 sin(2 pi j / 8).
EXACT_EVEN_X = {
    "pendulum": (0, 0.82, 0, -0.82, 0, 0.41, 0, -0.41),
    "octave": (0, 0.82, 0.205, 0.6663, -0.205, -0.82, -0.41, -0.6663),
    "ratchet": (0, 0.3075, 0, 0.615, 0, 0.82, 0, -0.3075),
    "stairs": (-0.82, -0.41, 0, 0.41, 0.82, 0.82, 0, -0.82),
}


def exact_even(xs):
    """Keyframe j at pip 64 j is (xs[j], 0.287 sin(2 pi j/8)); between keyframes both move by
    6t^5 - 15t^4 + 10t^3 of the way, t running 0 to 1 over the 64 pips; keyframe 0 again at 512."""
    frames = [(64 * j, xs[j], 0.287 * math.sin(2 * math.pi * j / 8)) for j in range(8)]
    ends = [*frames, (512, xs[0], 0.0)]

    def rule(k):
        for (p0, x0, y0), (p1, x1, y1) in pairwise(ends):
            if p0 <= k < p1:
                t = (k - p0) / 64
                e = 6 * t**5 - 15 * t**4 + 10 * t**3
                return (x0 + (x1 - x0) * e, y0 + (y1 - y0) * e)
        raise ValueError(f"pip {k} lies outside the loop")

    return rule


def sequence(contour, timing):
    xs, ys = CONTOURS[contour]
    pips = TIMINGS[timing]
    curve = keyframes(list(zip(pips, zip(xs, ys, strict=True), strict=True)), EIGHT_BEATS)
    facts = [peaks(PEAK, 0.287 if ys is ONCE_ROUND else 0.2485, exact="xy")]
    if timing == "even" and contour in EXACT_EVEN_X:
        rule = exact_even(EXACT_EVEN_X[contour])
        facts.append(formula(rule, label="keyframes every 64 pips, eased by the quintic"))
    else:
        facts += [
            near(pip, x, y, tol=ROUNDING_TOLERANCE) for pip, x, y in zip(pips, xs, ys, strict=True)
        ]
    return Pattern(
        f"seq_{contour}_{timing}",
        f"A programmed position sequence with {timing} segment durations and softened transitions.",
        EIGHT_BEATS,
        2,
        curve,
        peak=PEAK,
        facts=tuple(facts),
    )


PATTERNS = [sequence(contour, timing) for contour in CONTOURS for timing in TIMINGS]
