"""Accent walks of the continuum pack: over four bars, n lateral pulses per bar keep their exact
spacing (centres at 256*j/n pips, between pips where n does not divide 256) and alternate sides
all the way round the loop. Over them a motif of two accents walks k pulses later each bar,
wrapping round within the bar, and every accent adds a forward depth stroke.

A motif is written in pulses of the bar. On a whole pulse the accent also pushes that pulse
further out to its side; on a half (between two pulses) it is a depth stroke alone, off the grid,
and the lateral pulses stay as they are."""

from fractions import Fraction

from tablegen.facts import near, peak_within, zero_except_near
from tablegen.model import Pattern
from tablegen.shapes import hit_sum, nearest_pip, onset

DESCRIPTION = (
    "A four-bar grid keeps its pulse spacing while a two-accent motif migrates between bars."
)
LOOP = 1024
BAR = 256
BARS = 4
PULSE = 0.2561  # x of a grid pulse
PUSHED = 0.3139  # x of a grid pulse under an accent
DEPTH = 0.154  # z of an accent's depth stroke
WIDTH = 12  # half-width of a pulse or stroke in pips, narrowed to 0.4 of the pulse spacing
# A centre between pips is sampled a little below its size: by under 0.004 at these widths.
BETWEEN_PIPS = 0.004
LAYER_CEILING = 0.32

# n, k and the motif's two accents in the first bar, in pulses.
WALKS = [
    (5, 1, "0 2"),
    (5, 2, "1 3"),
    (7, 1, "1.5 4.5"),
    (7, 2, "2 4"),
    (7, 3, "3 6"),
    (8, 1, "2.5 5.5"),
    (8, 3, "0.5 3.5"),
    (9, 1, "3.5 6.5"),
    (9, 2, "4 8"),
    (9, 4, "0 4"),
    (10, 3, "1.5 6.5"),
    (11, 2, "1 4"),
    (11, 3, "3 10"),
    (12, 5, "2.5 8.5"),
    (13, 3, "4.5 9.5"),
    (13, 5, "2 9"),
]


def walk(n: int, k: int, motif: str) -> list[Fraction]:
    """Accent times in pips over the four bars: the motif moves k pulses later each bar."""
    first = [Fraction(p) for p in motif.split()]
    return [BAR * bar + BAR * ((p + bar * k) % n) / n for bar in range(BARS) for p in first]


def accent_walk(n: int, k: int, motif: str):
    """(grid pulses, accents, depth strokes): pulses as (time, x), strokes as onsets."""
    width = min(WIDTH, 0.4 * BAR / n)
    accents = walk(n, k, motif)
    pulses = []
    for i in range(BARS * n):
        time = Fraction(BAR * i, n)
        side = 1.0 if i % 2 == 0 else -1.0
        pulses.append((time, side * (PUSHED if time in accents else PULSE)))
    strokes = [onset(float(t), x, 0.0, 0.0, width=width) for t, x in pulses]
    strokes += [onset(float(t), 0.0, 0.0, DEPTH, width=width) for t in accents]
    return pulses, accents, strokes


def walk_pattern(n, k, motif):
    pulses, accents, strokes = accent_walk(n, k, motif)
    on_grid = any(Fraction(BAR * i, n) in accents for i in range(BARS * n))
    facts = (
        peak_within(0.3128, 0.3139) if on_grid else peak_within(PULSE, PULSE),
        peak_within(0.0, LAYER_CEILING),
        *(near(nearest_pip(float(t)), x=x, tol=BETWEEN_PIPS) for t, x in pulses),
        *(near(nearest_pip(float(t)), z=DEPTH, tol=BETWEEN_PIPS) for t in accents),
        zero_except_near([(s.time, s.kernel.reach) for s in strokes]),
    )
    return Pattern(
        f"accent_walk_{n}_{k}", DESCRIPTION, LOOP, 3, hit_sum(strokes, LOOP), facts=facts
    )


PATTERNS = [walk_pattern(*row) for row in WALKS]
