"""Shaped contours: ovals whose edges are drawn with signed powers of cos and sin, dented by a
few local ripples and bent by a bow that is stronger on one side than the other.

An exponent below one squares an edge off, one above one pinches it in towards the axes, and
x and y take different exponents, so no two sides match. Each ripple is a short run of waves
across the edge, confined to one stretch of the contour. The bow bends the oval like a drawn
bow, more at one end than the other: in the plane for contour_shaped_01 to _08, back into
depth for _09 to _16, whose ripples also stir the depth.
"""

import math
from dataclasses import dataclass

from tablegen.facts import peak_within
from tablegen.model import Pattern
from tablegen.shapes import HALF_PIP, phase

SIXTEEN_BEATS = 1024
PEAK = 0.82
LOWEST_PEAK = 0.81962  # a half-pip peak can fall between two pips; the table then peaks lower
DESCRIPTION = "Signed-power oval edges with local ripples and an asymmetric bow."

# Below this magnitude a signed power is eased into a straight line through zero, so an edge
# with an exponent under one is crossed at a finite speed instead of an infinitely fast dart.
SOFT_ZERO = 0.25


def signed_power(c: float, power: float) -> float:
    """sign(c)|c|^power, softened near zero; still exactly +-1 at c = +-1."""
    soft = (c * c + SOFT_ZERO**2) ** ((power - 1) / 2)
    return c * soft / (1 + SOFT_ZERO**2) ** ((power - 1) / 2)


@dataclass(frozen=True)
class Ripple:
    centre: float  # contour angle (radians) where the ripple is strongest
    waves: int  # waves per turn of the contour, so a ripple of n waves is short for large n
    depth: float  # share of the radius the ripple swells and dents by
    reach: int  # the window is cos^(2 reach) of half the distance: larger is more local


def ripple(r: Ripple, theta: float) -> float:
    window = math.cos((theta - r.centre) / 2) ** (2 * r.reach)
    return r.depth * window * math.sin(r.waves * (theta - r.centre))


@dataclass(frozen=True)
class Contour:
    px: float  # exponent of the x edge
    py: float  # exponent of the y edge
    height: float  # y radius against an x radius of 1
    bow: float  # how far the middle of the oval is bent (up, or back in depth, when positive)
    lean: float  # how much more one end of the bow bends than the other (-1 to 1)
    turn: float  # rotation of the finished contour, radians
    start: float  # contour angle at pip 0
    ripples: tuple[Ripple, ...]


def shape(px, py, height, bow, lean, turn, start, *ripples):
    """A contour row; each ripple is (centre, waves, depth, reach)."""
    return Contour(px, py, height, bow, lean, turn, start, tuple(Ripple(*r) for r in ripples))


def contour(c: Contour, depth: bool):
    def curve(k):
        theta = phase(k, SIXTEEN_BEATS) + c.start
        swell = 1 + math.fsum(ripple(r, theta) for r in c.ripples)
        x = swell * signed_power(math.cos(theta), c.px)
        y = swell * c.height * signed_power(math.sin(theta), c.py)
        # The bow is largest in the middle (x = 0) and falls to nothing at both ends, one end
        # reached sooner than the other.
        bend = c.bow * (1 - x * x) * (1 + c.lean * x)
        if depth:
            ripple_depth = math.fsum(ripple(r, theta) for r in c.ripples)
            z = bend - c.bow * 0.5 + 0.6 * ripple_depth
        else:
            y, z = y + bend - c.bow * 0.5, 0.0
        cos_t, sin_t = math.cos(c.turn), math.sin(c.turn)
        return (x * cos_t - y * sin_t, x * sin_t + y * cos_t, z)

    return curve


# px, py, height, bow, lean, turn, start; then the ripples (centre, waves, depth, reach).
FLAT = [
    shape(0.45, 1.5, 0.62,  0.3,   0.5,   0.0,  0.3,  (1.2, 9, 0.11, 10)),
    shape(1.6,  0.5, 0.72, -0.3,  -0.5,   0.15, 0.2,  (2.5, 12, 0.09, 12), (5.0, 8, 0.1, 10)),
    shape(0.5,  0.5, 0.55,  0.36,  0.7,  -0.12, 0.4,  (4.3, 10, 0.12, 14)),
    shape(1.6,  1.2, 0.8,   0.22, -0.7,   0.3,  0.0,  (0.8, 14, 0.08, 16), (3.9, 14, 0.08, 16)),
    shape(0.4,  1.6, 0.66, -0.38,  0.35, -0.25, 0.35, (5.6, 8, 0.12, 10)),
    shape(1.3, 0.42, 0.48,  0.42, -0.3,   0.05, 0.2,  (1.6, 11, 0.09, 12), (4.6, 7, 0.1, 10)),
    shape(1.7,  1.5, 0.86, -0.18,  0.8,   0.45, 0.3,  (3.9, 16, 0.1, 16)),
    shape(0.6,  1.0, 0.74,  0.3,   0.45, -0.4,  0.45, (0.3, 7, 0.1, 10), (2.2, 13, 0.07, 14),
          (4.0, 9, 0.09, 12)),
]  # fmt: skip
DEEP = [
    shape(0.5,  1.4, 0.68,  0.55,  0.6,   0.1,  0.3,  (2.0, 9, 0.1, 10)),
    shape(1.7, 0.55, 0.62, -0.6,  -0.5,  -0.2,  0.2,  (0.5, 12, 0.09, 12), (3.8, 8, 0.1, 10)),
    shape(0.45, 0.45, 0.8,  0.5,  -0.7,   0.35, 0.4,  (5.2, 10, 0.12, 14)),
    shape(1.6,  1.2, 0.58, -0.62,  0.35, -0.05, 0.25, (0.75, 15, 0.08, 16), (4.0, 11, 0.09, 12)),
    shape(0.4,  1.5, 0.74,  0.62,  0.25,  0.2,  0.35, (3.3, 7, 0.12, 10)),
    shape(1.2,  0.7, 0.5,  -0.45,  0.8,  -0.3,  0.2,  (0.9, 10, 0.09, 12), (2.7, 6, 0.1, 10)),
    shape(1.5,  1.7, 0.9,   0.58, -0.35,  0.5,  0.3,  (5.5, 13, 0.1, 14)),
    shape(0.7,  0.9, 0.64, -0.55, -0.8,   0.0,  0.45, (1.0, 8, 0.09, 10), (3.0, 12, 0.07, 14),
          (5.3, 9, 0.09, 12)),
]  # fmt: skip

PATTERNS = [
    Pattern(
        f"contour_shaped_{n:02d}",
        DESCRIPTION,
        SIXTEEN_BEATS,
        axes,
        contour(c, depth=axes == 3),
        peak=PEAK,
        peak_grid=HALF_PIP,
        facts=(peak_within(LOWEST_PEAK, PEAK),),
    )
    for n, (axes, c) in enumerate([(2, c) for c in FLAT] + [(3, c) for c in DEEP], start=1)
]
