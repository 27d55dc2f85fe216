"""Epitrochoids: a circle of radius r rolls around the outside of a fixed circle of radius R,
and the pen sits at d = rho * r from the rolling centre, inside the rolling circle (rho < 1).

The rolling angle t runs through r / gcd(R, r) turns, after which the trace closes.
"""

import math

from spiro import PEN_RATIOS
from tablegen.facts import formula
from tablegen.model import Pattern
from tablegen.shapes import TAU

SIXTEEN_BEATS = 1024
PEAK = 0.82
DESCRIPTION = (
    "A closed outside-rolling circle trace, with pen radius smaller than the rolling radius."
)


def outside_trace(big, small, rho):
    turns = small // math.gcd(big, small)
    pen = rho * small
    reach = big + small

    def curve(k):
        t = TAU * turns * k / SIXTEEN_BEATS
        spin = reach * t / small
        return (
            reach * math.cos(t) - pen * math.cos(spin),
            reach * math.sin(t) - pen * math.sin(spin),
        )

    return curve


# The trace written out again for its fact. Where the peak falls depends on R and r, so the
# normalising factor comes from a search of this formula's own values over the 1024 pips.
def outside_rule(big, small, rho):
    def raw(k):
        t = 2 * math.pi * k / 1024 * small / math.gcd(big, small)
        d = rho * small
        x = (big + small) * math.cos(t) - d * math.cos((big + small) * t / small)
        y = (big + small) * math.sin(t) - d * math.sin((big + small) * t / small)
        return (x, y)

    factor = 0.82 / max(abs(v) for k in range(1024) for v in raw(k))
    return lambda k: tuple(factor * v for v in raw(k))


PATTERNS = [
    Pattern(
        f"spiro_outside_{big}_{small}",
        DESCRIPTION,
        SIXTEEN_BEATS,
        2,
        outside_trace(big, small, rho),
        peak=PEAK,
        facts=(
            formula(
                outside_rule(big, small, rho),
                label=f"(R + r) (cos t, sin t) - d (cos, sin)((R + r) t / r), R_r {big}_{small}",
            ),
        ),
    )
    for (big, small), rho in PEN_RATIOS.items()
]
