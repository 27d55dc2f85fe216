"""Ladders of the continuum pack: four regions of two beats, each split into its own number of
equal subdivisions (the rungs), so the pulse thickens and thins from region to region. Each region
opens with an accent along one direction (an axis and a side) that no other region of the ladder
uses; the rest of its rungs rebound along the same axis, alternating sides, at a fraction of the
accent. Every rung is one raised-cosine stroke with silence between, at a fixed size."""

from fractions import Fraction

from tablegen.facts import peak_within, value_at, zero_except_near
from tablegen.model import Pattern
from tablegen.shapes import hit_sum, onset

DESCRIPTION = "Four two-beat regions change subdivision density while accents mark region starts."
LOOP = 512
REGION = 128  # two beats
REBOUND = 0.42  # a rung after the accent is this share of it, on alternating sides
STROKE = 12  # half-width of a rung in pips, narrowed to under half the rung spacing
PEAK = 0.32
LAYER_CEILING = 0.32

AXES = "xyz"


def accent(text: str) -> tuple[int, float]:
    """An accent written as signed axis and size, e.g. '-x.31': (axis index, signed size)."""
    sign = -1.0 if text[0] == "-" else 1.0
    return AXES.index(text[1]), sign * float(text[2:])


# Region densities, and the accent that opens each region.
LADDERS = [
    ((2, 3, 4, 6), "-x.31 +x.29 +z.32 -y.32"),
    ((3, 5, 4, 2), "+y.32 -z.29 +x.31 -x.32"),
    ((2, 5, 3, 7), "+z.31 -y.32 -x.29 +y.32"),
    ((4, 3, 6, 5), "-y.29 +x.32 -z.32 +z.31"),
    ((2, 4, 7, 3), "+x.32 +y.31 -x.29 -z.32"),
    ((3, 6, 2, 5), "-z.32 +x.29 +y.32 -y.31"),
    ((5, 3, 7, 4), "+y.31 -x.32 +z.29 -z.32"),
    ((6, 4, 3, 2), "-x.32 -z.31 +y.29 +z.32"),
    ((2, 7, 4, 5), "+z.29 +x.32 -y.32 -x.31"),
    ((7, 3, 5, 2), "-y.32 +z.32 +x.31 -z.29"),
    ((4, 7, 3, 6), "+x.31 -y.29 -z.32 +y.32"),
    ((5, 2, 6, 3), "-z.31 -x.32 +z.29 +y.32"),
    ((3, 4, 5, 7), "+y.29 -z.32 -x.32 +x.31"),
    ((6, 5, 4, 3), "-x.29 +y.32 +z.31 -y.32"),
    ((7, 5, 3, 4), "+z.32 -x.31 +y.32 -z.29"),
    ((4, 6, 7, 5), "-y.32 +z.29 -x.31 +x.32"),
]


def ladder(densities, accents):
    """Rung strokes of the four regions. A region's accent is also kept under half the rung
    spacing of the region before, so the last rung and the accent never run into each other."""
    strokes = []
    for region, (count, (axis, size)) in enumerate(zip(densities, accents, strict=True)):
        spacing = Fraction(REGION, count)
        before = Fraction(REGION, densities[region - 1])
        for rung in range(count):
            amount = size if rung == 0 else size * REBOUND * (-1.0) ** rung
            width = min(STROKE, 0.45 * float(min(spacing, before) if rung == 0 else spacing))
            move = [0.0, 0.0, 0.0]
            move[axis] = amount
            strokes.append(onset(float(region * REGION + rung * spacing), *move, width=width))
    return strokes


def ladder_pattern(densities, score):
    accents = [accent(text) for text in score.split()]
    strokes = ladder(densities, accents)
    starts = []
    for region, (axis, size) in enumerate(accents):
        entry = [0.0, 0.0, 0.0]
        entry[axis] = size
        starts.append(value_at(region * REGION, *entry))  # the accent alone, on its axis
    facts = (
        peak_within(PEAK, PEAK),
        peak_within(0.0, LAYER_CEILING),
        *starts,
        zero_except_near([(s.time, s.kernel.reach) for s in strokes]),
    )
    name = "ladder_" + "_".join(map(str, densities))
    return Pattern(name, DESCRIPTION, LOOP, 3, hit_sum(strokes, LOOP), facts=facts)


PATTERNS = [ladder_pattern(*row) for row in LADDERS]
