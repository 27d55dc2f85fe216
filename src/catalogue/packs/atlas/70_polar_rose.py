"""Polar roses r = cos(n theta), traversed once completely over sixteen beats.

An odd rose already closes after half a turn, so its parameter runs through pi; an even rose
runs through a full turn with r = cos((n/2) theta). With n/2 odd (n = 6, 10) that full turn
draws the n/2 petals twice, with the radius negative on the second pass.
"""

import math

from tablegen.facts import formula, petal_tips, retraced_after, value_at
from tablegen.model import Pattern
from tablegen.shapes import TAU

SIXTEEN_BEATS = 1024
PEAK = 0.82
DESCRIPTION = "A complete signed-radius rose traversal; odd-petal roses use a half-turn parameter."
PETALS = (3, 6, 7, 8, 9, 10, 11, 12)


def rose(n):
    """theta covers half a turn for odd n, a full turn for even n."""
    turn, lobes = (math.pi, n) if n % 2 else (TAU, n // 2)

    def curve(k):
        theta = turn * k / SIXTEEN_BEATS
        r = math.cos(lobes * theta)
        return (r * math.cos(theta), r * math.sin(theta))

    return curve


# The rose written out again for its fact. |r cos theta| <= 1 and pip 0 gives x = 1, so the raw
# peak is exactly 1 and the normalising factor is 0.82 itself.
def rose_rule(n):
    def rule(k):
        if n % 2:
            theta = math.pi * k / 1024
            r = math.cos(n * theta)
        else:
            theta = 2 * math.pi * k / 1024
            r = math.cos(n / 2 * theta)
        return (0.82 * r * math.cos(theta), 0.82 * r * math.sin(theta))

    return rule


def rose_pattern(n):
    twice = n % 2 == 0 and (n // 2) % 2 == 1
    facts = [
        formula(rose_rule(n), label=f"0.82 r (cos theta, sin theta), r = cos of {n} petals"),
        value_at(0, PEAK, 0.0),
        petal_tips(n, n // 2 if twice else n),
    ]
    if twice:
        facts.append(retraced_after(SIXTEEN_BEATS // 2))
    return Pattern(
        f"polar_rose_{n}", DESCRIPTION, SIXTEEN_BEATS, 2, rose(n), peak=PEAK, facts=tuple(facts)
    )


PATTERNS = [rose_pattern(n) for n in PETALS]
