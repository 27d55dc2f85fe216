"""Three coordinate lanes on coprime frequencies a, b, c, each with its own phase:
x = sin(a phi), y = 0.8 sin(b phi + 0.4), z = 0.7 cos(c phi + 0.7).

x reaches exactly 1 on a pip for every a used here (a phi = pi/2 at pip 256/a, or at pip 768
for a = 3), and the other lanes stay below 0.8, so every member is scaled by 0.82 exactly.
"""

import math

from tablegen.facts import formula, near, value_at
from tablegen.model import Pattern
from tablegen.shapes import TAU

SIXTEEN_BEATS = 1024
PEAK = 0.82
DESCRIPTION = "Three coprime-frequency coordinate lanes with distinct phase offsets."
FREQUENCIES = (
    (1, 2, 3), (1, 3, 4), (2, 3, 4), (2, 3, 7), (2, 5, 7), (3, 4, 5), (3, 5, 7), (4, 5, 7),
)  # fmt: skip
Y_SIZE, Y_PHASE = 0.8, 0.4
Z_SIZE, Z_PHASE = 0.7, 0.7


def weave(a, b, c):
    def curve(k):
        phi = TAU * k / SIXTEEN_BEATS
        return (
            math.sin(a * phi),
            Y_SIZE * math.sin(b * phi + Y_PHASE),
            Z_SIZE * math.cos(c * phi + Z_PHASE),
        )

    return curve


def weave_rule(a, b, c):
    def rule(k):
        phi = 2 * math.pi * k / 1024
        return (
            0.82 * math.sin(a * phi),
            0.82 * 0.8 * math.sin(b * phi + 0.4),
            0.82 * 0.7 * math.cos(c * phi + 0.7),
        )

    return rule


def weave_facts(a, b, c):
    facts = [
        formula(
            weave_rule(a, b, c),
            label=f"0.82 (sin {a}phi, 0.8 sin({b}phi + 0.4), 0.7 cos({c}phi + 0.7))",
        )
    ]
    if (a, b, c) == (1, 2, 3):
        facts += [
            value_at(0, x=0.0),
            near(0, y=0.8 * 0.82 * math.sin(0.4), z=0.7 * 0.82 * math.cos(0.7), tol=1e-12),
        ]
    return tuple(facts)


PATTERNS = [
    Pattern(
        f"space_weave_{a}_{b}_{c}",
        DESCRIPTION,
        SIXTEEN_BEATS,
        3,
        weave(a, b, c),
        peak=PEAK,
        facts=weave_facts(a, b, c),
    )
    for a, b, c in FREQUENCIES
]
