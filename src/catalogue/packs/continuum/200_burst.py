"""Bursts of the continuum pack: three bursts of a, b and c strokes, each thrown in a direction of
its own, with silent gaps of about equal length between them. Inside a burst the strokes spread out:
each gap is a fifth longer than the one before and each stroke softer, so the subdivision is
uneven, dense at the attack and loosening after it. Late in the loop, after the third burst, one
slower accent settles downward and fades out just before the loop starts again."""

from tablegen.facts import peak_within, value_at, zero_except_near
from tablegen.model import Pattern
from tablegen.shapes import DIRECTIONS, hit, hit_sum, nearest_pip, rise_fall

DESCRIPTION = (
    "Three unevenly subdivided directional bursts, deliberate gaps and a late settling accent."
)
LOOP = 512
SIXTEENTH = 16
MEAN_GAP = 18  # a burst of m strokes lasts 18 * (m - 1) pips
SPREAD = 1.2  # each gap within a burst is this much longer than the one before
FADE = 0.82  # each stroke within a burst is this share of the one before
SIZES = (0.288, 0.25, 0.265)  # the first stroke of each burst
STROKE = 12  # half-width of a stroke in pips, narrowed to under half the gaps beside it
SETTLE_AT = 464  # the settling accent: a quarter of a beat into beat 8
SETTLE_RISE, SETTLE_FALL = 10, 36
SETTLE = (0.0, -0.19, 0.06)
PEAK = 0.288
LAYER_CEILING = 0.32


def direction(word: str) -> tuple[float, ...]:
    """'right' or 'right+up': the first direction, leaning half as far toward the second."""
    main, _, lean = word.partition("+")
    mixed = DIRECTIONS[main]
    if lean:
        mixed = tuple(m + 0.5 * d for m, d in zip(mixed, DIRECTIONS[lean], strict=True))
    return mixed


# Strokes per burst, and the direction of each burst.
BURSTS = [
    ((3, 5, 2), "right+up back left+down"),
    ((4, 3, 6), "forward left+up down"),
    ((5, 2, 4), "up+right left back+down"),
    ((2, 7, 3), "left right+forward up"),
    ((3, 4, 5), "back+left up right+down"),
    ((5, 3, 7), "down+forward right left+up"),
    ((6, 2, 5), "right left+back forward"),
    ((4, 7, 2), "up back+right left"),
    ((7, 3, 4), "forward+left right+up down"),
    ((2, 5, 6), "left+down forward right"),
    ((5, 7, 3), "right+back up+left forward"),
    ((3, 6, 4), "up+forward left+down right"),
    ((4, 5, 7), "left back right+up"),
    ((6, 3, 5), "down right+forward left+back"),
    ((7, 4, 3), "back up+right left+forward"),
    ((5, 6, 2), "forward+right down left"),
]


def gaps(count: int) -> list[float]:
    """The gaps inside a burst of `count` strokes: each SPREAD times the one before."""
    ratios = [SPREAD**i for i in range(count - 1)]
    return [MEAN_GAP * (count - 1) * r / sum(ratios) for r in ratios]


def burst_starts(counts) -> list[int]:
    """The first burst on the downbeat; the silences after the first and second burst and before
    the settling accent share what is left equally, each burst starting on a sixteenth."""
    spans = [sum(gaps(c)) for c in counts]
    silence = (SETTLE_AT - SETTLE_RISE - sum(spans)) / 3
    second = spans[0] + silence
    third = second + spans[1] + silence
    return [0, SIXTEENTH * round(second / SIXTEENTH), SIXTEENTH * round(third / SIXTEENTH)]


def burst(counts, words):
    """(time, half-width, entry) of every stroke, and the whole loop as hits."""
    strokes = []
    for start, count, word, size in zip(
        burst_starts(counts), counts, words.split(), SIZES, strict=True
    ):
        inner = gaps(count)
        time = float(start)
        for i in range(count):
            beside = inner[max(i - 1, 0) : i + 1]
            width = min(STROKE, 0.45 * min(beside))
            entry = tuple(round(size * FADE**i * d, 12) + 0.0 for d in direction(word))
            strokes.append((time, width, entry))
            if i < len(inner):
                time += inner[i]
    hits = [hit(t, *entry, kernel=rise_fall(w, w)) for t, w, entry in strokes]
    hits.append(hit(SETTLE_AT, *SETTLE, kernel=rise_fall(SETTLE_RISE, SETTLE_FALL)))
    return strokes, hit_sum(hits, LOOP)


def burst_pattern(counts, words):
    strokes, curve = burst(counts, words)
    reach = (SETTLE_RISE + SETTLE_FALL) / 2
    settle = (SETTLE_AT + (SETTLE_FALL - SETTLE_RISE) / 2, reach)
    facts = (
        peak_within(PEAK, PEAK),
        peak_within(0.0, LAYER_CEILING),
        *(value_at(nearest_pip(t), *entry) for t, _, entry in strokes if t == int(t)),
        value_at(SETTLE_AT, *SETTLE),
        zero_except_near([(t, w) for t, w, _ in strokes] + [settle]),
    )
    name = "burst_" + "_".join(map(str, counts))
    return Pattern(name, DESCRIPTION, LOOP, 3, curve, facts=facts)


PATTERNS = [burst_pattern(*row) for row in BURSTS]
