"""(p, q) torus knots in XYZ: p turns around the vertical axis while the point goes q times
around the tube. The radius rho swings between 0.38 and 0.78 with the tube angle, so the raw
curve peaks at 0.78 (x at pip 0, where rho is largest and the axis angle is 0) and every member
is scaled by 0.82/0.78.
"""

import math

from tablegen.facts import formula, value_at
from tablegen.model import Pattern
from tablegen.shapes import TAU

SIXTEEN_BEATS = 1024
PEAK = 0.82
DESCRIPTION = "A genuine XYZ closed torus-knot trajectory. The demo uses an oblique projection."
KNOTS = ((2, 5), (2, 7), (3, 4), (3, 5), (3, 7), (4, 5), (4, 7), (5, 6))
CENTRE_RADIUS = 0.58
TUBE_RADIUS = 0.2
TUBE_DEPTH = 0.42


def torus_knot(p, q):
    def curve(k):
        phi = TAU * k / SIXTEEN_BEATS
        rho = CENTRE_RADIUS + TUBE_RADIUS * math.cos(q * phi)
        return (rho * math.cos(p * phi), rho * math.sin(p * phi), TUBE_DEPTH * math.sin(q * phi))

    return curve


def torus_rule(p, q):
    def rule(k):
        phi = 2 * math.pi * k / 1024
        rho = 0.58 + 0.2 * math.cos(q * phi)
        factor = 0.82 / 0.78
        return (
            factor * rho * math.cos(p * phi),
            factor * rho * math.sin(p * phi),
            factor * 0.42 * math.sin(q * phi),
        )

    return rule


PATTERNS = [
    Pattern(
        f"space_torus_{p}_{q}",
        DESCRIPTION,
        SIXTEEN_BEATS,
        3,
        torus_knot(p, q),
        peak=PEAK,
        facts=(
            formula(
                torus_rule(p, q),
                label=f"0.82/0.78 (rho cos {p}phi, rho sin {p}phi, 0.42 sin {q}phi), "
                f"rho = 0.58 + 0.2 cos {q}phi",
            ),
            value_at(0, PEAK, 0.0, 0.0),
        ),
    )
    for p, q in KNOTS
]
