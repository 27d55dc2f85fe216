"""Euclidean rhythms: k onsets spread as evenly as possible over n eighth notes, the loop n
eighths long. Every onset is one raised-cosine gesture of half-width 24 pips; the first is the
phrase accent, the others lean right and left in turn, and every onset dips y. Gestures of
neighbouring eighths overlap and add; between gestures the point rests at the origin."""

import math

from tablegen.facts import formula, peaks, value_at, zero_except_near
from tablegen.model import Pattern
from tablegen.shapes import euclid_steps, hit_sum, onset

EIGHTH = 32
HALF_WIDTH = 24
PHRASE_ACCENT = (0.75, -0.32)  # (x, y) of onset 0
LEAN, DIP = 0.5625, -0.24  # |x| and y of every other onset: + for even i, - for odd i

DESCRIPTION = "Evenly distributed accents with alternating sides; first onset is the phrase accent."

# (k onsets, n eighth notes), in record order.
MEMBERS = [
    (2, 5), (3, 7), (3, 10), (4, 9), (4, 11), (5, 9), (5, 11), (5, 13),
    (5, 14), (6, 13), (7, 12), (7, 15), (7, 17), (8, 19), (9, 20), (11, 24),
]  # fmt: skip


def strokes(k, n):
    """(pip, x, y) of every onset of euclid k_n."""
    out = []
    for i, step in enumerate(euclid_steps(k, n)):
        x, y = PHRASE_ACCENT if i == 0 else (LEAN if i % 2 == 0 else -LEAN, DIP)
        out.append((EIGHTH * step, x, y))
    return out


def euclid(k, n):
    gestures = [onset(pip, x, y, width=HALF_WIDTH) for pip, x, y in strokes(k, n)]
    return hit_sum(gestures, EIGHTH * n)


def euclid_rule(k, n):
    """The family rule written out on its own: onset i at pip 32*ceil(i*n/k) adds
    A*(1 + cos(pi*d/24))/2 within 24 pips of it (d taken around the loop), with A = (0.75, -0.32)
    for i = 0 and (+-0.5625, -0.24) for the others, + for even i."""
    period = 32 * n

    def rule(p):
        x = y = 0.0
        for i in range(k):
            centre = 32 * math.ceil(i * n / k)
            d = min(abs(p - centre), period - abs(p - centre))
            if d < 24:
                bump = (1 + math.cos(math.pi * d / 24)) / 2
                x += (0.75 if i == 0 else 0.5625 if i % 2 == 0 else -0.5625) * bump
                y += (-0.32 if i == 0 else -0.24) * bump
        return (x, y)

    return rule


# What is stated about single members beyond the family rule.
EDGE_FACTS = {
    (2, 5): (value_at(0, 0.75, -0.32), value_at(96, -0.5625, -0.24)),
    (5, 13): (
        value_at(0, 0.75, -0.32),
        value_at(96, -0.5625, -0.24),
        value_at(192, 0.5625, -0.24),
        value_at(256, -0.5625, -0.24),
        value_at(352, 0.5625, -0.24),
    ),
}


def member(k, n):
    return Pattern(
        f"euclid_{k}_{n}",
        DESCRIPTION,
        EIGHTH * n,
        2,
        euclid(k, n),
        facts=(
            formula(euclid_rule(k, n), label=f"euclid {k}/{n}: raised cosines at 32 ceil(i n/k)"),
            peaks(0.75, 0.32, exact="xy"),
            zero_except_near([32 * math.ceil(i * n / k) for i in range(k)], 24),
            *EDGE_FACTS.get((k, n), ()),
        ),
    )


PATTERNS = [member(k, n) for k, n in MEMBERS]
