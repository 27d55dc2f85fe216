"""Lissajous weaves: h horizontal and v vertical cycles over sixteen beats (phi = 2*pi*k/1024),
x phase-offset by 0.37 radians so that the path never retraces itself, scaled by one factor so
that the largest |component| is 0.82:

    x = sin(h phi + 0.37),   y = 0.8125 sin(v phi)
"""

import math

from tablegen.facts import formula
from tablegen.model import Pattern
from tablegen.shapes import phase

SIXTEEN_BEATS = 1024
PEAK = 0.82
X_OFFSET = 0.37
Y_SIZE = 0.8125

# (h, v) in record order
CYCLES = [
    (1, 3), (1, 4), (1, 5), (2, 5), (2, 7), (3, 4), (3, 5), (3, 7),
    (3, 8), (4, 5), (4, 7), (4, 9), (5, 6), (5, 7), (5, 8), (5, 9),
]  # fmt: skip


def weave(h, v):
    def curve(k):
        phi = phase(k, SIXTEEN_BEATS)
        return (math.sin(h * phi + X_OFFSET), Y_SIZE * math.sin(v * phi))

    return curve


def weave_rule(h, v):
    """The weave written out again, normalised by a peak search of its own over the 1024 pips."""
    raw = []
    for k in range(1024):
        phi = 2 * math.pi * k / 1024
        raw.append((math.sin(h * phi + 0.37), 0.8125 * math.sin(v * phi)))
    top = max(max(abs(x), abs(y)) for x, y in raw)
    return lambda k: (0.82 * raw[k][0] / top, 0.82 * raw[k][1] / top)


PATTERNS = [
    Pattern(
        f"weave_{h}_{v}",
        f"{h} horizontal and {v} vertical cycles; a phase-offset, closed 16-beat traversal.",
        SIXTEEN_BEATS,
        2,
        weave(h, v),
        peak=PEAK,
        facts=(formula(weave_rule(h, v), label=f"sin({h} phi + 0.37); 0.8125 sin({v} phi)"),),
    )
    for h, v in CYCLES
]
