"""Necklaces of the continuum pack: a binary accent word, written out by hand, is laid evenly over
the eight beats. A 1 (an accent) leans right and a 0 (its complement) leans left, less far; each
step is a raised cosine as wide as the step spacing on either side, so neighbouring steps
crossfade, a run of equal steps holds still and the side changes smoothly where the word does.
Every accent nods y down a little, and an accent that follows a 0 (a rising accent) also pushes
forward in depth. No word is a rotation of another: each is a different necklace."""

from tablegen.facts import peak_within, value_at
from tablegen.model import Pattern
from tablegen.shapes import hit_sum, onset

DESCRIPTION = (
    "A hand-authored binary accent word; its complement moves the other side and rising accents "
    "add depth."
)
LOOP = 512
ACCENT = 0.248  # x of an accent step
COMPLEMENT = -0.16  # x of a complement step
NOD = -0.06  # y of every accent, over half a step
DEPTH = 0.17  # z of a rising accent, over a step on either side
LAYER_CEILING = 0.32

# One word per member. Lengths 8 to 32 set the step: 64 pips (quarters), 42 2/3 (quarter
# triplets), 32 (eighths), 25.6 (five to two beats), 21 1/3 (eighth triplets) or 16 (sixteenths).
WORDS = [
    "1001001000101000",  # 01 son clave, twice over
    "1001000100101000",  # 02 rumba clave
    "101011010101",  # 03 the seven-stroke bell, in quarter triplets
    "101100101101001011010010",  # 04
    "1101101101001010",  # 05
    "10010100100101001010",  # 06
    "110100110010",  # 07
    "10001000101010001000100010101110",  # 08
    "11011000",  # 09 quarters: a slow swing
    "100101001010010100101011",  # 10
    "11011010011011010010",  # 11
    "1110100011010000",  # 12
    "100110101100",  # 13
    "110010110100110010110010",  # 14
    "10100100101001001010010010100110",  # 15
    "1101011011010110",  # 16
]


def rising(word: str) -> list[int]:
    """Steps whose accent follows a complement, reading the word round the loop."""
    return [i for i, bit in enumerate(word) if bit == "1" and word[i - 1] == "0"]


def necklace(word: str):
    step = LOOP / len(word)
    sides = [
        onset(i * step, ACCENT if bit == "1" else COMPLEMENT, 0.0, 0.0, width=step)
        for i, bit in enumerate(word)
    ]
    nods = [
        onset(i * step, 0.0, NOD, 0.0, width=step / 2) for i, bit in enumerate(word) if bit == "1"
    ]
    pushes = [onset(i * step, 0.0, 0.0, DEPTH, width=step) for i in rising(word)]
    return hit_sum(sides + nods + pushes, LOOP)


def step_facts(word: str):
    """At every step that falls on a whole pip only that step sounds: its side, its nod and,
    for a rising accent, its push."""
    facts = []
    for i, bit in enumerate(word):
        time, rest = divmod(i * LOOP, len(word))
        if rest:
            continue
        accent = bit == "1"
        depth = DEPTH if i in rising(word) else 0.0
        facts.append(
            value_at(time, ACCENT if accent else COMPLEMENT, NOD if accent else 0.0, depth)
        )
    return facts


PATTERNS = [
    Pattern(
        f"necklace_{nn:02d}",
        DESCRIPTION,
        LOOP,
        3,
        necklace(word),
        facts=(
            peak_within(ACCENT, ACCENT),
            peak_within(0.0, LAYER_CEILING),
            *step_facts(word),
        ),
    )
    for nn, word in enumerate(WORDS, 1)
]
