"""Harmonic silhouettes: a main circle of p turns, squashed to 0.65 in y, with two smaller
harmonics a and b crossed between the axes, and a faint depth term that vanishes at the seam.

Every member is one row of the parameter table below; the bake scales the curve by one factor
so that its largest component on the half-pip grid is 0.82.
"""

import math
from dataclasses import dataclass

from tablegen.facts import formula, peak_within
from tablegen.model import Pattern
from tablegen.shapes import HALF_PIP, phase

SIXTEEN_BEATS = 1024
PEAK = 0.82
LOWEST_PEAK = 0.81962  # a half-pip peak can fall between two pips; the table then peaks lower
DESCRIPTION = (
    "Three unequal harmonic components, with cross-axis phases and a small linked depth term."
)


@dataclass(frozen=True)
class Silhouette:
    p: int  # turns of the main circle
    a: int  # harmonic that leads in x (sin) and trails in y
    b: int  # harmonic that leads in y (cos) and trails in x
    m1: float  # weight of the crossed pair: a in x, b in y
    m2: float  # weight of the straight pair: b in x, a in y


def silhouette(s: Silhouette):
    def curve(k):
        phi = phase(k, SIXTEEN_BEATS)
        main = (math.cos(s.p * phi), 0.65 * math.sin(s.p * phi + 0.2))
        crossed = (s.m1 * math.sin(s.a * phi + 0.3), -s.m1 * math.cos(s.b * phi + 0.1))
        straight = (s.m2 * math.cos(s.b * phi), s.m2 * math.sin(s.a * phi))
        # The depth term beats the sum of the turns a + p against one slow turn, so it is zero
        # at the seam and at the half loop.
        depth = 0.12 * math.sin((s.a + s.p) * phi) * math.sin(phi)
        return (main[0] + crossed[0] + straight[0], main[1] + crossed[1] + straight[1], depth)

    return curve


SILHOUETTES = [
    Silhouette(1, 2, 3, 0.2, 0.16),
    Silhouette(1, 3, 5, 0.35, 0.12),
    Silhouette(2, 3, 4, 0.3, 0.18),
    Silhouette(2, 5, 7, 0.23, 0.16),
    Silhouette(1, 4, 7, 0.35, 0.21),
    Silhouette(3, 4, 5, 0.28, 0.14),
    Silhouette(2, 7, 9, 0.19, 0.12),
    Silhouette(3, 5, 8, 0.3, 0.17),
    Silhouette(1, 2, 5, 0.4, 0.22),
    Silhouette(1, 5, 8, 0.27, 0.24),
    Silhouette(2, 3, 7, 0.34, 0.2),
    Silhouette(3, 7, 10, 0.26, 0.16),
    Silhouette(2, 4, 9, 0.33, 0.23),
    Silhouette(3, 4, 9, 0.29, 0.25),
    Silhouette(4, 5, 7, 0.25, 0.21),
    Silhouette(4, 7, 11, 0.21, 0.16),
]


def silhouette_rule(s: Silhouette):
    """The closed form typed out again, scaled by a factor found here by its own search of the
    2048 half-pip points of the loop."""

    def raw(k):
        phi = 2 * math.pi * k / 1024
        x = math.cos(s.p * phi) + s.m1 * math.sin(s.a * phi + 0.3) + s.m2 * math.cos(s.b * phi)
        y = 0.65 * math.sin(s.p * phi + 0.2) - s.m1 * math.cos(s.b * phi + 0.1)
        y += s.m2 * math.sin(s.a * phi)
        z = 0.12 * math.sin((s.a + s.p) * phi) * math.sin(phi)
        return (x, y, z)

    largest = max(abs(c) for i in range(2048) for c in raw(i / 2))
    factor = 0.82 / largest
    return lambda k: tuple(factor * c for c in raw(k))


PATTERNS = [
    Pattern(
        f"silhouette_harmonic_{n:02d}",
        DESCRIPTION,
        SIXTEEN_BEATS,
        3,
        silhouette(s),
        peak=PEAK,
        peak_grid=HALF_PIP,
        facts=(
            formula(
                silhouette_rule(s),
                label=f"p={s.p} a={s.a} b={s.b} m1={s.m1} m2={s.m2}: cos p + m1 sin a + m2 cos b; "
                "0.65 sin p - m1 cos b + m2 sin a; 0.12 sin (a+p) sin phi",
            ),
            peak_within(LOWEST_PEAK, PEAK),
        ),
    )
    for n, s in enumerate(SILHOUETTES, start=1)
]
