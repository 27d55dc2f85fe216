"""Scalloped loops: one turn around the centre whose radius swells n times, never reaching zero.

Written as a complex position z = x + iy on the loop phase phi:

    z = e^(i phi) + s (e^(i(n+1) phi) + e^(-i(n-1) phi)) + b (e^(i((n+2) phi + beta))
                                                            + e^(-i((n-2) phi - gamma)))

The scallop pair is e^(i phi) * 2s cos(n phi): a radial swell n times per turn. The bend pair is
e^(i phi) * 2b e^(i(phi + mu)) cos(n phi + delta): the same n-fold swell, but pointing in a
direction that turns once more per loop, so the lobes lean forward on one side of the loop and
back on the other. The radius stays above 1 - 2s - 2b, so the loop circles the centre once.
"""

import cmath

from tablegen.facts import circles_centre_once, harmonic_sizes
from tablegen.model import CheckError, Pattern
from tablegen.shapes import TAU

SIXTEEN_BEATS = 1024
PEAK = 0.82
DESCRIPTION = (
    "A positive-radius scalloped loop; no centre crossings, with an asymmetrically bent lobe."
)
BEND_SHARE = 0.1  # bend size against scallop size

# n: (scallop size s, bend phases beta and gamma). Fewer lobes swell deeper; the bend phases
# turn from member to member so that each loop leans its lobes in its own direction.
SCALLOPS = {
    2: (0.16, 0.4, 1.9),
    3: (0.15, 1.1, 0.2),
    4: (0.14, 2.0, 0.9),
    5: (0.13, 2.7, 1.6),
    6: (0.12, 0.3, 2.5),
    7: (0.11, 1.4, 0.6),
    8: (0.10, 2.3, 1.3),
    9: (0.09, 0.8, 2.8),
}


def scallop(n):
    s, beta, gamma = SCALLOPS[n]
    b = BEND_SHARE * s

    def curve(k):
        phi = TAU * k / SIXTEEN_BEATS
        z = (
            cmath.exp(1j * phi)
            + s * (cmath.exp(1j * (n + 1) * phi) + cmath.exp(-1j * (n - 1) * phi))
            + b * cmath.exp(1j * ((n + 2) * phi + beta))
            + b * cmath.exp(-1j * ((n - 2) * phi - gamma))
        )
        return (z.real, z.imag)

    return curve


def harmonic_content(n, bend_low, bend_high):
    """The complex spectrum of x + iy holds only the base turn (+1), the scallop pair (n+1 and
    -(n-1), of equal size) and the bend pair (n+2 and -(n-2), each bend_low to bend_high times
    the scallop size); everything else is rounding."""
    kept = {"base": 1, "scallop+": n + 1, "scallop-": -(n - 1), "bend+": n + 2, "bend-": -(n - 2)}

    def fact(table):
        size, rest = harmonic_sizes(table, kept)
        scallop = size["scallop+"]
        if abs(rest) > 1e-10 or abs(size["scallop-"] - scallop) > 1e-10:
            raise CheckError(f"harmonic_content: sizes {size}, energy left over {rest}")
        for key in ("bend+", "bend-"):
            if not bend_low <= size[key] / scallop <= bend_high:
                raise CheckError(
                    f"harmonic_content: {key} is {size[key] / scallop} of the scallop size"
                )

    return fact


PATTERNS = [
    Pattern(
        f"polar_scallop_{n}",
        DESCRIPTION,
        SIXTEEN_BEATS,
        2,
        scallop(n),
        peak=PEAK,
        facts=(circles_centre_once(0.4), harmonic_content(n, 0.09, 0.11)),
    )
    for n in SCALLOPS
]
