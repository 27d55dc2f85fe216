"""Braids: a point winding round a thick tube that is bent into a ring, so that its turns loop
over and under one another like the strands of a plaited wreath.

braid_<a>_<b>: the point goes a times round the ring while it winds b times round the tube. The
tube's cross-section rolls along the ring like a tilted wheel: the point swings out across the
ring, forward and back along it, and in depth, so every winding throws a loop, and with more
than one pass the passes cross between the loops. A second depth ripple at twice the winding
rate rides on the roll, in the phase that keeps every crossing clear: wherever the path crosses
itself in the picture, the two strands pass well apart in depth, one over and one under. The
ring's centreline is an ellipse set below the centre of the field and tipped back on one side.

Every braid is symmetric about pip 0 under a half turn round the vertical axis (x and z change
sign): it starts at the top of the ring on the outside of the tube, moving along the ring as the
ring itself moves fastest there, so pip 0 is its quickest point and the seam its largest step.
"""

import math

from tablegen.facts import peak_within
from tablegen.model import Pattern
from tablegen.shapes import HALF_PIP, phase

SIXTEEN_BEATS = 1024
PEAK = 0.82
LOWEST_PEAK = 0.81962  # a half-pip peak can fall between two pips; the table then peaks lower
DESCRIPTION = "An offset tube centreline and a rolling cross-section with a second depth ripple."

# The ring: an ellipse, its centre set down, tipped back on the left.
RING_X, RING_Y = 0.52, 0.44
RING_OFFSET = (0.0, -0.05)
RING_TIP = 0.06
# The rolling cross-section: how far the point swings across the ring, along it and in depth,
# and the depth of the second ripple.
ACROSS, ALONG, DEPTH, RIPPLE = 0.22, 0.3, 0.24, 0.05


def centreline(theta):
    return (
        RING_OFFSET[0] + RING_X * math.cos(theta),
        RING_OFFSET[1] + RING_Y * math.sin(theta),
        -RING_TIP * math.cos(theta),
    )


def heading(theta):
    """The unit tangent of the ring in the picture plane (the ring runs anticlockwise)."""
    dx, dy = -RING_X * math.sin(theta), RING_Y * math.cos(theta)
    length = math.hypot(dx, dy)
    return (dx / length, dy / length)


def braid(passes: int, windings: int):
    def curve(k):
        phi = phase(k, SIXTEEN_BEATS)
        theta = passes * phi + math.pi / 2  # along the ring, from its top
        psi = windings * phi  # round the tube, from its outside
        (cx, cy, cz), (tx, ty) = centreline(theta), heading(theta)
        across, along = ACROSS * math.cos(psi), ALONG * math.sin(psi)
        depth = DEPTH * math.sin(psi) + RIPPLE * math.sin(2 * psi)
        # The outward normal is the tangent turned a quarter clockwise: (ty, -tx).
        return (cx + across * ty + along * tx, cy - across * tx + along * ty, cz + depth)

    return curve


BRAIDS = [
    (1, 2), (1, 3), (1, 4), (1, 5), (2, 3), (2, 5), (3, 4), (3, 5),
    (1, 6), (2, 7), (3, 7), (4, 5), (4, 7), (5, 6), (5, 7), (5, 8),
]  # fmt: skip

PATTERNS = [
    Pattern(
        f"braid_{a}_{b}",
        DESCRIPTION,
        SIXTEEN_BEATS,
        3,
        braid(a, b),
        peak=PEAK,
        peak_grid=HALF_PIP,
        facts=(peak_within(LOWEST_PEAK, PEAK),),
    )
    for a, b in BRAIDS
]
