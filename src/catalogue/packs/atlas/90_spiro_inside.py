"""Hypotrochoids: a circle of radius r rolls inside a fixed circle of radius R, and the pen sits
at d = rho * r from the rolling centre, inside the rolling circle (rho < 1).

The rolling angle t runs through r / gcd(R, r) turns, after which the trace closes; R_r = 5_2
needs two turns, 9_4 four.
"""

import math

from spiro import PEN_RATIOS
from tablegen.facts import formula, value_at
from tablegen.model import Pattern
from tablegen.shapes import TAU

SIXTEEN_BEATS = 1024
PEAK = 0.82
DESCRIPTION = (
    "A closed inside-rolling circle trace, with pen radius smaller than the rolling radius."
)


def inside_trace(big, small, rho):
    turns = small // math.gcd(big, small)
    pen = rho * small
    gap = big - small

    def curve(k):
        t = TAU * turns * k / SIXTEEN_BEATS
        spin = gap * t / small
        return (gap * math.cos(t) + pen * math.cos(spin), gap * math.sin(t) - pen * math.sin(spin))

    return curve


# The trace written out again for its fact. |x| and |y| never exceed (R - r) + d, and x reaches
# it at pip 0, so the normalising factor is 0.82 / ((R - r) + rho r).
def inside_rule(big, small, rho):
    def rule(k):
        t = 2 * math.pi * k / 1024 * small / math.gcd(big, small)
        d = rho * small
        factor = 0.82 / (big - small + d)
        x = (big - small) * math.cos(t) + d * math.cos((big - small) * t / small)
        y = (big - small) * math.sin(t) - d * math.sin((big - small) * t / small)
        return (factor * x, factor * y)

    return rule


PATTERNS = [
    Pattern(
        f"spiro_inside_{big}_{small}",
        DESCRIPTION,
        SIXTEEN_BEATS,
        2,
        inside_trace(big, small, rho),
        peak=PEAK,
        facts=(
            formula(
                inside_rule(big, small, rho),
                label=f"(R - r) (cos t, sin t) + d (cos, -sin)((R - r) t / r), R_r {big}_{small}",
            ),
            value_at(0, PEAK, 0.0),
        ),
    )
    for (big, small), rho in PEN_RATIOS.items()
]
