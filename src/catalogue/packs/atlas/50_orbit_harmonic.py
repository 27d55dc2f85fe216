"""Harmonic orbits: an ellipse (radii 1 and 0.72) with a horizontal ripple of harmonic h added to
x and a vertical ripple of harmonic h + 1 taken from y, both of size m and phase alpha, over eight
beats (phi = 2*pi*k/512), scaled by one factor so that the largest |component| is 0.82:

    x = cos phi + m cos(h phi + alpha),   y = 0.72 sin phi - m sin((h + 1) phi - alpha)
"""

import math

from tablegen.facts import formula
from tablegen.model import Pattern
from tablegen.shapes import phase

EIGHT_BEATS = 512
PEAK = 0.82

# member number: (h, alpha, m). Members 01-08 ripple in phase with the ellipse; 09-16 run the same
# harmonics with a growing phase offset and smaller sizes.
RIPPLES = {
    1: (2, 0.0, 0.18), 2: (3, 0.0, 0.22), 3: (4, 0.0, 0.25), 4: (5, 0.0, 0.28),
    5: (6, 0.0, 0.25), 6: (7, 0.0, 0.20), 7: (8, 0.0, 0.15), 8: (9, 0.0, 0.13),
    9: (2, 0.5, 0.34), 10: (3, 0.8, 0.31), 11: (4, 1.1, 0.29), 12: (5, 1.4, 0.26),
    13: (6, 1.7, 0.23), 14: (7, 2.0, 0.20), 15: (8, 2.3, 0.17), 16: (9, 2.6, 0.14),
}  # fmt: skip


def rippled_ellipse(h, alpha, m):
    def curve(k):
        phi = phase(k, EIGHT_BEATS)
        return (
            math.cos(phi) + m * math.cos(h * phi + alpha),
            0.72 * math.sin(phi) - m * math.sin((h + 1) * phi - alpha),
        )

    return curve


def rippled_ellipse_rule(nn):
    """The member written out again from its parameters: h = NN + 1 with alpha = 0 for 01-08,
    h = NN - 7 with alpha = 0.5 + 0.3 (NN - 9) for 09-16; normalised by a peak search of its
    own over the 512 pips."""
    h, alpha = (nn + 1, 0.0) if nn <= 8 else (nn - 7, 0.5 + 0.3 * (nn - 9))
    sizes = (0.18, 0.22, 0.25, 0.28, 0.25, 0.20, 0.15, 0.13)
    sizes += (0.34, 0.31, 0.29, 0.26, 0.23, 0.20, 0.17, 0.14)
    m = sizes[nn - 1]
    raw = []
    for k in range(512):
        phi = 2 * math.pi * k / 512
        x = math.cos(phi) + m * math.cos(h * phi + alpha)
        y = 0.72 * math.sin(phi) - m * math.sin((h + 1) * phi - alpha)
        raw.append((x, y))
    top = max(max(abs(x), abs(y)) for x, y in raw)
    return lambda k: (0.82 * raw[k][0] / top, 0.82 * raw[k][1] / top)


PATTERNS = [
    Pattern(
        f"orbit_harmonic_{nn:02d}",
        "An ellipse combined with unequal horizontal and vertical harmonic ripples.",
        EIGHT_BEATS,
        2,
        rippled_ellipse(*RIPPLES[nn]),
        peak=PEAK,
        facts=(formula(rippled_ellipse_rule(nn), label=f"orbit_harmonic_{nn:02d} closed form"),),
    )
    for nn in RIPPLES
]
