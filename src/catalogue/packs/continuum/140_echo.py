"""Echoes of the continuum pack: a call on the downbeat repeats n times, each repeat softer, over
the first four beats; from beat 5 the answer does the same in another direction. The gaps between
repeats are fractions of a beat, kept exact rather than rounded to pips, and are the same in the
call and in its answer:

  regular    equal gaps
  shrinking  each gap three quarters of the one before: the repeats hurry together
  expanding  each gap four thirds of the one before: the repeats recede, so the call starts softer
             the more of them there are
  crossed    equal gaps, each repeat thrown to the opposite side of the one before

Every stroke is one raised cosine with silence between, at a fixed size."""

from fractions import Fraction

from tablegen.facts import peak_within, value_at, zero_except_near
from tablegen.model import Pattern
from tablegen.shapes import hit_sum, onset

DESCRIPTION = (
    "An original decaying call and a differently directed answer; echo spacing is preserved as "
    "fractions."
)
LOOP = 512
PIPS_PER_BEAT = 64
ANSWER = Fraction(4)  # the answer starts on beat 5
ECHO_SPAN = Fraction(10, 3)  # beats from a call to its last repeat
DECAY = 0.7  # each repeat is this share of the one before
ANSWER_SIZE = 0.86  # the answer is this share of the call
STROKE = 12  # half-width of a stroke in pips, narrowed where repeats crowd together
CALL = 0.31
EXPANDING_CALL = {3: 0.281, 4: 0.2703, 5: 0.2596, 6: 0.2489}
LAYER_CEILING = 0.32

# Directions as (x, y, z); the largest component of each is 1, so a stroke's size is its peak.
RIGHT, LEFT = (1.0, 0.0, 0.0), (-1.0, 0.0, 0.0)
UP, DOWN = (0.0, 1.0, 0.0), (0.0, -1.0, 0.0)
FORWARD, BACK = (0.0, 0.0, 1.0), (0.0, 0.0, -1.0)


def toward(main, lean, share):
    """The direction `main`, leaning toward `lean` by `share` of it."""
    return tuple(m + share * d for m, d in zip(main, lean, strict=True))


def regular(n):
    return [ECHO_SPAN / n] * n


def shrinking(n):
    ratios = [Fraction(3, 4) ** i for i in range(n)]
    return [ECHO_SPAN * r / sum(ratios) for r in ratios]


def expanding(n):
    return shrinking(n)[::-1]


crossed = regular
GAPS = {"regular": regular, "shrinking": shrinking, "expanding": expanding, "crossed": crossed}

# (kind, n): the direction of the call and of the answer.
ECHOES = [
    ("regular", 3, toward(RIGHT, UP, 0.35), toward(FORWARD, DOWN, 0.4)),
    ("shrinking", 3, toward(LEFT, FORWARD, 0.3), toward(UP, RIGHT, 0.5)),
    ("expanding", 3, toward(FORWARD, RIGHT, 0.45), toward(LEFT, DOWN, 0.3)),
    ("crossed", 3, toward(RIGHT, FORWARD, 0.5), toward(DOWN, LEFT, 0.35)),
    ("regular", 4, toward(UP, LEFT, 0.4), toward(RIGHT, BACK, 0.45)),
    ("shrinking", 4, toward(BACK, RIGHT, 0.5), toward(LEFT, UP, 0.4)),
    ("expanding", 4, toward(DOWN, LEFT, 0.3), toward(FORWARD, UP, 0.5)),
    ("crossed", 4, toward(LEFT, UP, 0.4), toward(FORWARD, RIGHT, 0.3)),
    ("regular", 5, toward(FORWARD, LEFT, 0.3), toward(RIGHT, DOWN, 0.5)),
    ("shrinking", 5, toward(RIGHT, DOWN, 0.6), toward(BACK, LEFT, 0.35)),
    ("expanding", 5, toward(LEFT, BACK, 0.5), toward(UP, FORWARD, 0.45)),
    ("crossed", 5, toward(UP, RIGHT, 0.3), toward(LEFT, FORWARD, 0.55)),
    ("regular", 6, toward(DOWN, RIGHT, 0.45), toward(LEFT, FORWARD, 0.3)),
    ("shrinking", 6, toward(FORWARD, UP, 0.4), toward(RIGHT, DOWN, 0.3)),
    ("expanding", 6, toward(RIGHT, BACK, 0.3), toward(DOWN, LEFT, 0.5)),
    ("crossed", 6, toward(BACK, LEFT, 0.45), toward(UP, RIGHT, 0.4)),
]


def pips(beat: Fraction) -> float:
    return float(beat * PIPS_PER_BEAT)


def train(start: Fraction, gaps, direction, size: float, crossing: bool):
    """A stroke at `start` and one softer repeat after each gap. A stroke is narrowed to under
    half of the gaps beside it, so neighbouring repeats never run into each other."""
    strokes, time = [], start
    for i in range(len(gaps) + 1):
        side = -1.0 if crossing and i % 2 else 1.0
        amount = side * size * DECAY**i
        beside = gaps[max(i - 1, 0) : i + 1]
        width = min(STROKE, 0.45 * pips(min(beside)))
        strokes.append(onset(pips(time), *(amount * d for d in direction), width=width))
        if i < len(gaps):
            time += gaps[i]
    return strokes


def stored(value: float) -> float:
    return round(value, 12) + 0.0


def echo_pattern(kind, n, call, answer):
    gaps = GAPS[kind](n)
    size = EXPANDING_CALL[n] if kind == "expanding" else CALL
    crossing = kind == "crossed"
    strokes = train(Fraction(0), gaps, call, size, crossing)
    strokes += train(ANSWER, gaps, answer, ANSWER_SIZE * size, crossing)
    facts = (
        peak_within(size, size),
        peak_within(0.0, LAYER_CEILING),
        value_at(0, *(stored(size * d) for d in call)),
        value_at(round(pips(ANSWER)), *(stored(ANSWER_SIZE * size * d) for d in answer)),
        zero_except_near([(s.time, s.kernel.reach) for s in strokes]),
    )
    return Pattern(f"echo_{kind}_{n}", DESCRIPTION, LOOP, 3, hit_sum(strokes, LOOP), facts=facts)


PATTERNS = [echo_pattern(*row) for row in ECHOES]
