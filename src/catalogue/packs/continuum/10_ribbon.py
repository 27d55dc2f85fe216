"""Ribbons: a point weaves across a narrow band laid along a bowed ellipse.

ribbon_<h>_<v>: the point runs h times round the spine while it crosses the band v times; with
more than one turn the passes lie side by side and cross like the edges of a folded ribbon. The
band is wider on one side of the spine than the other, and it leans out of the picture plane:
the further the point sits from the spine, the further it moves in depth. A slim ribbon is
narrow and leans a little; a deep one is wider, leans steeply, and its spine sags back where the
band is widest.

Every ribbon is mirror-symmetric about pip 0: it starts at the bottom of the spine with the band
at its edge, and what it draws after pip 0 it drew mirrored (left for right) before it. The point
hurries through the bottom and eases over the top, so it moves fastest there, and in several
members the seam is the table's largest step.
"""

import math
from dataclasses import dataclass

from tablegen.facts import peak_within
from tablegen.model import Pattern
from tablegen.shapes import HALF_PIP, phase, quick_start

SIXTEEN_BEATS = 1024
PEAK = 0.82
LOWEST_PEAK = 0.81962  # a half-pip peak can fall between two pips; the table then peaks lower
DESCRIPTION = "A curved elliptical spine with variable radial width and linked depth deflection."

# The spine: an ellipse whose ends are lifted and whose lower arc sags, a broad smile.
SPINE_X, SPINE_Y, SPINE_BOW = 0.74, 0.52, 0.09


def spine(theta):
    return (SPINE_X * math.cos(theta), SPINE_Y * math.sin(theta) + SPINE_BOW * math.cos(2 * theta))


def spine_normal(theta):
    """The outward unit normal of the spine (the spine runs anticlockwise)."""
    dx = -SPINE_X * math.sin(theta)
    dy = SPINE_Y * math.cos(theta) - 2 * SPINE_BOW * math.sin(2 * theta)
    length = math.hypot(dx, dy)
    return (dy / length, -dx / length)


@dataclass(frozen=True)
class Band:
    width: float  # half-width of the band where it is neither wide nor narrow
    swell: float  # share by which the band widens on its broad side and narrows opposite
    broad: float  # spine angle of the broad side
    lean: float  # depth per unit of sideways offset: how far the band tilts out of the plane
    sag: float  # depth by which the spine itself falls back on the broad side


# The broad side is at the top of the spine, on the mirror line.
SLIM = Band(width=0.11, swell=0.6, broad=math.pi / 2, lean=0.5, sag=0.05)
DEEP = Band(width=0.15, swell=0.6, broad=math.pi / 2, lean=1.9, sag=0.2)
# How much quicker than its mean pace the point runs through pip 0 (and slower half a loop on).
HURRY = 0.3
BOTTOM = 3 * math.pi / 2  # the spine angle at pip 0
EDGE = math.pi / 2  # the band's phase at pip 0: at its edge, where its crossing turns


def ribbon(turns: int, crossings: int, band: Band):
    def curve(k):
        phi = quick_start(phase(k, SIXTEEN_BEATS), HURRY)
        theta = turns * phi + BOTTOM
        swell = math.cos(theta - band.broad)
        offset = band.width * (1 + band.swell * swell) * math.sin(crossings * phi + EDGE)
        (sx, sy), (nx, ny) = spine(theta), spine_normal(theta)
        depth = band.lean * offset + band.sag * swell
        return (sx + offset * nx, sy + offset * ny, depth)

    return curve


WEAVES = [(1, 2), (1, 3), (1, 4), (1, 5), (2, 3), (2, 5), (3, 4), (3, 5)]

PATTERNS = [
    Pattern(
        f"ribbon_{h}_{v}_{kind}",
        DESCRIPTION,
        SIXTEEN_BEATS,
        3,
        ribbon(h, v, band),
        peak=PEAK,
        peak_grid=HALF_PIP,
        facts=(peak_within(LOWEST_PEAK, PEAK),),
    )
    for kind, band in (("slim", SLIM), ("deep", DEEP))
    for h, v in WEAVES
]
