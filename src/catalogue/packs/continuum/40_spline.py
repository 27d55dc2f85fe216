"""Spline figures: closed cubic splines through hand-placed control points.

Each figure is a list of legs, (pips, point): the spline passes through the point and takes that
many pips to reach the next one, the last leg returning to the first point. The legs are of
unequal length, so the path hurries along some stretches and lingers at others, and no figure is
mirror-symmetric. The first eight are drawn in the plane; the last eight also move in depth,
where a positive z lies back, away from the viewer. The bake scales each figure so that its
largest component is 0.82.
"""

import math

from tablegen.facts import peak_within
from tablegen.model import Pattern
from tablegen.shapes import HALF_PIP, closed_spline

EIGHT_BEATS = 512
PEAK = 0.82
LOWEST_PEAK = 0.81962  # a half-pip peak can fall between two pips; the table then peaks lower
DESCRIPTION = "Periodic cubic tangents connect asymmetrical controls with unequal segment times."


def figure(*legs):
    """The closed spline through legs (pips to the next point, point) over eight beats."""
    if sum(pips for pips, _ in legs) != EIGHT_BEATS:
        total = sum(pips for pips, _ in legs)
        raise ValueError(f"the legs of a figure add up to {total} pips, not {EIGHT_BEATS}")
    controls, time = [], 0
    for pips, point in legs:
        controls.append((time, point))
        time += pips
    return closed_spline(controls, EIGHT_BEATS)


def half_pip_later(curve):
    """The same figure drawn half a pip later: where a figure's widest point falls between two
    pips, this lands it on a pip, so the stored table reaches the full peak."""
    return lambda k: curve(k - 0.5)


def polar(degrees, radius):
    angle = math.radians(degrees)
    return (radius * math.cos(angle), radius * math.sin(angle))


def cross_outline(arms, half_width):
    """Corners of a cross with arms (angle in degrees, length) around the centre, anticlockwise:
    for each arm its two tip corners, then the inner corner shared with the next arm."""
    corners = []
    for i, (angle, length) in enumerate(arms):
        after = arms[(i + 1) % len(arms)][0]
        spread = math.degrees(math.atan2(half_width, length))
        corners += [polar(angle - spread, length), polar(angle + spread, length)]
        middle = angle + ((after - angle) % 360) / 2
        corners.append(polar(middle, half_width * math.sqrt(2)))
    return corners


def star_outline(tips, inner):
    """Tips (angle in degrees, radius) anticlockwise, each followed by a notch of radius `inner`
    halfway to the next tip."""
    points = []
    for i, (angle, radius) in enumerate(tips):
        after = tips[(i + 1) % len(tips)][0]
        points += [polar(angle, radius), polar(angle + ((after - angle) % 360) / 2, inner)]
    return points


# --- in the plane ------------------------------------------------------------------------------

# A kite: a short upper spar, a long tail, the right wing lower than the left.
kite = figure(
    (44, (0.02, 0.86)),
    (40, (0.27, 0.56)),
    (58, (0.52, 0.24)),
    (76, (0.3, -0.3)),
    (70, (0.04, -0.86)),
    (82, (-0.22, -0.26)),
    (56, (-0.46, 0.32)),
    (86, (-0.22, 0.6)),
)

# An hourglass: a wide top bar, a narrower bottom bar, the waist crossed twice off centre.
hourglass = figure(
    (72, (-0.62, 0.78)),
    (50, (0.6, 0.72)),
    (58, (0.08, 0.04)),
    (74, (-0.46, -0.76)),
    (46, (0.5, -0.8)),
    (96, (0.02, -0.06)),
    (116, (-0.3, 0.42)),
)

# A hook: down the outside of the shank, round the bend, out to the point, back up inside.
hook = figure(
    (64, (0.34, 0.86)),
    (72, (0.36, -0.2)),
    (40, (0.12, -0.72)),
    (36, (-0.32, -0.66)),
    (44, (-0.5, -0.12)),
    (30, (-0.32, -0.28)),
    (40, (-0.08, -0.46)),
    (50, (0.16, -0.2)),
    (136, (0.14, 0.8)),
)

# A crown: a flat band below three points, the middle one tallest, the right one leaning out.
crown = figure(
    (96, (-0.7, -0.56)),
    (62, (0.08, -0.62)),
    (70, (0.74, -0.5)),
    (52, (0.84, 0.5)),
    (40, (0.42, -0.02)),
    (44, (0.04, 0.86)),
    (42, (-0.34, 0.06)),
    (58, (-0.72, 0.62)),
    (48, (-0.78, 0.0)),
)

# A bow: two looped wings tied at a knot near the centre, the right wing higher and smaller.
bow = figure(
    (58, (0.0, 0.04)),
    (52, (0.56, 0.6)),
    (44, (0.82, 0.24)),
    (64, (0.6, -0.3)),
    (70, (-0.04, -0.06)),
    (66, (-0.72, -0.66)),
    (46, (-0.86, -0.12)),
    (112, (-0.6, 0.4)),
)

# A crooked cross: four arms of different lengths at uneven angles.
crooked_cross = figure(
    *zip(
        (34, 22, 44, 44, 26, 40, 52, 24, 48, 40, 30, 108),
        cross_outline([(12, 0.82), (98, 0.6), (172, 0.78), (283, 0.7)], 0.15),
        strict=True,
    )
)

# A five-pointed star with tips of different lengths, unevenly spaced.
asymmetric_star = figure(
    *zip(
        (40, 56, 36, 50, 44, 66, 38, 48, 60, 74),
        star_outline([(88, 0.88), (158, 0.62), (226, 0.8), (304, 0.72), (18, 0.84)], 0.3),
        strict=True,
    )
)

# A scoop: a deep bowl below a shallow inner rim, the left lip higher than the right.
scoop = figure(
    (58, (-0.8, 0.42)),
    (64, (-0.58, -0.42)),
    (62, (0.02, -0.76)),
    (56, (0.56, -0.46)),
    (44, (0.84, 0.1)),
    (78, (0.42, -0.16)),
    (66, (-0.02, -0.3)),
    (84, (-0.48, -0.02)),
)

# --- in depth ----------------------------------------------------------------------------------

# A kite whose top leans back and whose tail swings forward.
rising_kite = figure(
    (50, (-0.04, 0.84, 0.52)),
    (44, (0.32, 0.46, 0.24)),
    (66, (0.58, 0.1, 0.04)),
    (60, (0.24, -0.4, -0.22)),
    (82, (-0.06, -0.84, -0.4)),
    (72, (-0.3, -0.34, -0.16)),
    (54, (-0.5, 0.2, 0.12)),
    (84, (-0.28, 0.6, 0.36)),
)

# A bow whose wings are turned against each other: the right wing tilts its top back, the left
# tilts its top forward.
twisted_bow = figure(
    (56, (0.02, 0.0, 0.0)),
    (48, (0.5, 0.6, 0.5)),
    (52, (0.84, 0.18, 0.16)),
    (66, (0.58, -0.44, -0.34)),
    (72, (-0.02, 0.02, 0.0)),
    (60, (-0.66, -0.56, 0.42)),
    (54, (-0.84, 0.04, 0.0)),
    (104, (-0.52, 0.5, -0.46)),
)

# A cup: the front of the rim curving towards the viewer, a handle looped out on the right, then
# down the tapering wall, across the narrow foot and up the other wall.
cup = figure(
    (70, (-0.74, 0.52, 0.0)),
    (62, (0.0, 0.38, -0.5)),
    (30, (0.6, 0.52, -0.06)),
    (30, (0.84, 0.44, 0.0)),
    (30, (0.92, 0.12, 0.04)),
    (34, (0.74, -0.1, 0.06)),
    (42, (0.46, -0.12, 0.1)),
    (56, (0.26, -0.68, 0.16)),
    (70, (-0.3, -0.7, 0.2)),
    (88, (-0.6, -0.1, 0.12)),
)

# A bridge: along the deck, a tight turn at its right end, up over an arch that peaks right of
# centre and leans back, and down to the left end of the deck.
bridge = figure(
    (86, (-0.86, -0.34, -0.06)),
    (84, (0.0, -0.38, -0.14)),
    (40, (0.86, -0.3, -0.04)),
    (34, (0.62, -0.2, 0.04)),
    (70, (0.44, 0.46, 0.3)),
    (58, (0.06, 0.74, 0.44)),
    (74, (-0.42, 0.4, 0.24)),
    (66, (-0.66, -0.22, 0.04)),
)

# A double bay: a rounded coast with two bays cut into its upper edge, the right one deeper;
# the bays recede and the headland between them stands forward.
double_bay = figure(
    (92, (-0.74, -0.52, -0.06)),
    (84, (0.76, -0.46, 0.0)),
    (44, (0.8, 0.44, -0.16)),
    (34, (0.58, 0.2, 0.14)),
    (32, (0.4, -0.02, 0.36)),
    (34, (0.2, 0.22, 0.14)),
    (44, (0.04, 0.58, -0.28)),
    (34, (-0.2, 0.3, 0.04)),
    (34, (-0.4, 0.18, 0.26)),
    (34, (-0.58, 0.34, 0.06)),
    (46, (-0.78, 0.5, -0.1)),
)

# A slanted loop: a stroke up to the right, a loop turned over the top that crosses the stroke,
# and a return that runs close beside the stroke; the loop leans back as it rises.
slanted_loop = figure(
    (90, (-0.78, -0.72, -0.32)),
    (70, (0.06, -0.12, 0.0)),
    (52, (0.66, 0.48, 0.32)),
    (42, (0.44, 0.86, 0.46)),
    (50, (-0.02, 0.62, 0.3)),
    (60, (0.2, 0.02, 0.04)),
    (72, (-0.1, -0.5, -0.1)),
    (76, (-0.54, -0.82, -0.26)),
)

# A fork: up the shank, three tines of different heights splayed in depth, back down.
fork = figure(
    (80, (0.06, -0.86, 0.0)),
    (50, (-0.08, -0.1, 0.02)),
    (44, (-0.5, 0.76, -0.4)),
    (34, (-0.22, 0.16, -0.08)),
    (40, (0.02, 0.84, 0.12)),
    (34, (0.2, 0.2, 0.06)),
    (46, (0.56, 0.66, 0.44)),
    (52, (0.16, -0.08, 0.04)),
    (132, (0.14, -0.66, 0.0)),
)

# A folded crown: a crown of four points whose band is folded, so the points lean alternately
# back and forward and the band zigzags in depth beneath them.
folded_crown = figure(
    (92, (-0.74, -0.54, 0.2)),
    (76, (0.02, -0.6, -0.22)),
    (50, (0.76, -0.52, 0.18)),
    (40, (0.84, 0.56, 0.48)),
    (32, (0.5, 0.0, 0.0)),
    (38, (0.24, 0.74, -0.42)),
    (34, (-0.04, 0.06, 0.0)),
    (38, (-0.3, 0.86, 0.44)),
    (34, (-0.52, 0.04, 0.0)),
    (78, (-0.8, 0.62, -0.36)),
)

FIGURES = [
    ("kite", 2, half_pip_later(kite)),
    ("hourglass", 2, hourglass),
    ("hook", 2, hook),
    ("crown", 2, half_pip_later(crown)),
    ("bow", 2, bow),
    ("crooked_cross", 2, crooked_cross),
    ("asymmetric_star", 2, asymmetric_star),
    ("scoop", 2, scoop),
    ("rising_kite", 3, rising_kite),
    ("twisted_bow", 3, half_pip_later(twisted_bow)),
    ("cup", 3, cup),
    ("bridge", 3, bridge),
    ("double_bay", 3, double_bay),
    ("slanted_loop", 3, slanted_loop),
    ("fork", 3, half_pip_later(fork)),
    ("folded_crown", 3, folded_crown),
]

PATTERNS = [
    Pattern(
        f"spline_{shape}",
        DESCRIPTION,
        EIGHT_BEATS,
        axes,
        curve,
        peak=PEAK,
        peak_grid=HALF_PIP,
        facts=(peak_within(LOWEST_PEAK, PEAK),),
    )
    for shape, axes, curve in FIGURES
]
