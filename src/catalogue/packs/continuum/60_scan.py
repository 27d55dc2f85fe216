"""Serpentine scans: rows of equal spacing across a square field, then a return along its edge.

The rows span x = +-0.574 and y from -0.574 to +0.574. The path starts at the left end of the
bottom row, runs along it, rises at the end to the next row and runs back, pausing briefly at
every row end. After the last row it goes out to the edge of the field and round the outside back
to the start: over the top and down the left edge after an odd number of rows (which end on the
right), straight down the left edge after an even number. The outer route reaches the field's
edge at 0.82 exactly, so the normalising factor is 1 and the grid keeps its values.

Styles: flat rows; bowed rows that arch upward between their ends; tilted rows that climb to the
right; and depth, whose rows step back in z from the bottom row to the top and curve towards the
viewer in the middle.
"""

from dataclasses import dataclass

from tablegen.facts import near, serpentine, value_at
from tablegen.model import Pattern
from tablegen.shapes import HALF_PIP, keyframe_lane

LOOP = 1024
PEAK = 0.82
DESCRIPTION = "An eased serpentine scan and an explicit outer return to the starting point."

GRID = 0.574  # row ends at x = +-GRID; rows from y = -GRID to +GRID
EDGE = PEAK  # the outer route runs along the edge of the field
DWELL = 14  # pips of rest at every row end
RISE_SHARE = 0.4  # a rise between rows takes this share of the time of a row


@dataclass(frozen=True)
class Style:
    name: str
    tilt: float = 0.0  # y gained per unit of x along a row
    bow: float = 0.0  # upward arch in the middle of a row
    depth: float = 0.0  # z runs from -depth on the bottom row to +depth on the top row
    depth_bow: float = 0.0  # z offset in the middle of each row


STYLES = (
    Style("flat"),
    Style("bowed", bow=0.16),
    Style("tilted", tilt=0.2),
    Style("depth", depth=0.22, depth_bow=-0.15),
)

# The outer routes, as (share of the return, value) keyframes per lane after the last row end;
# x and y turn at slightly different times, which rounds the corners. Both end on the start.
OVER_THE_TOP = {  # from the right end of the top row
    "x": [(0.12, 0.8), (0.42, -EDGE), (0.76, -EDGE)],
    "y": [(0.14, EDGE), (0.38, EDGE), (0.8, -0.78)],
    "z": [(0.16, 0.0), (0.82, 0.0)],
    "pips": 330,
}
DOWN_THE_LEFT = {  # from the left end of the top row
    "x": [(0.2, -EDGE), (0.8, -EDGE)],
    "y": [(0.24, 0.8), (0.74, -0.78)],
    "z": [(0.22, 0.0), (0.8, 0.0)],
    "pips": 240,
}


def scan(rows: int, style: Style):
    route = OVER_THE_TOP if rows % 2 else DOWN_THE_LEFT
    spacing = 2.0 * GRID / (rows - 1)
    sweep = LOOP - route["pips"] - 2 * rows * DWELL
    row_pips = sweep / (rows + RISE_SHARE * (rows - 1))
    frames = {"x": [], "y": [], "z": []}

    def at(t, lane, value):
        frames[lane].append((t, value))

    def row_end(t, row, side):
        x = side * GRID
        at(t, "x", x)
        at(t, "y", -GRID + row * spacing + style.tilt * x)
        at(t, "z", style.depth * (2.0 * row / (rows - 1) - 1.0))

    t = 0.0
    for row in range(rows):
        side = -1.0 if row % 2 == 0 else 1.0  # even rows run left to right
        row_end(t, row, side)
        t += DWELL
        row_end(t, row, side)
        t += row_pips
        row_end(t, row, -side)
        t += DWELL
        row_end(t, row, -side)
        t += row_pips * RISE_SHARE
    returning = t - row_pips * RISE_SHARE  # no rise after the last row: the return starts here
    for lane in "xyz":
        for share, value in route[lane]:
            at(returning + share * route["pips"], lane, value)
    x, y, z = (keyframe_lane(frames[lane], LOOP) for lane in "xyz")

    def curve(k):
        # A bow is a parabola over the row, zero at both row ends, where x = +-GRID.
        arch = 1.0 - (x(k) / GRID) ** 2 if k % LOOP < returning else 0.0
        point = (x(k), y(k) + style.bow * arch, z(k) + style.depth_bow * arch)
        return point if style.depth else point[:2]

    return curve


# scan_flat_3: the grid points at the row ends, and the outer route through about (0.8, 0.82),
# (-0.82, 0.82) and (-0.82, -0.78) back to the start at (-0.574, -0.574).
FLAT_3 = (
    value_at(0, -GRID, -GRID),
    value_at(7, -GRID, -GRID),
    value_at(181, GRID, -GRID),
    value_at(259, GRID, 0.0),
    value_at(434, -GRID, 0.0),
    value_at(512, -GRID, GRID),
    value_at(687, GRID, GRID),
    near(737, x=0.8, y=0.82, tol=0.01),
    near(827, x=-0.82, y=0.82, tol=0.01),
    near(952, x=-0.82, y=-0.78, tol=0.01),
)

PATTERNS = [
    Pattern(
        f"scan_{style.name}_{rows}",
        DESCRIPTION,
        LOOP,
        3 if style.depth else 2,
        scan(rows, style),
        peak=PEAK,
        peak_grid=HALF_PIP,
        facts=(
            serpentine(rows, GRID, EDGE),
            *(FLAT_3 if (style.name, rows) == ("flat", 3) else ()),
        ),
    )
    for rows in (3, 4, 5, 6)
    for style in STYLES
]
