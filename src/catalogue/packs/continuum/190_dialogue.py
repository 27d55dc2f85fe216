"""Dialogues of the continuum pack: the loop is a run of eighth-note groups, as long as all of them
together (32 pips an eighth), and each group speaks in a direction of its own, different from the
group before it. A group opens with an accent and its other eighths follow in the same direction,
softer and softer. A sixteenth before every group starts, late, a small pickup lifts y to answer
the group that is ending. All strokes are raised cosines with silence between, at a fixed size."""

from tablegen.facts import peak_within, value_at, zero_except_near
from tablegen.model import Pattern
from tablegen.shapes import DIRECTIONS as SHARED_DIRECTIONS
from tablegen.shapes import hit_sum, onset

DESCRIPTION = (
    "Different eighth-note group lengths pass a phrase between directions, with late pickup "
    "responses."
)
EIGHTH = 32
ACCENT_STROKE = 14  # half-width of a group's accent in pips
STROKE = 10  # half-width of the eighths that follow it
FOLLOW = (0.5, 0.42, 0.36, 0.3)  # the following eighths as shares of the accent, in order
PICKUP = 0.135  # y of a pickup
PICKUP_LEAD = 16  # a sixteenth before the group it leads into
PICKUP_STROKE = 8
PEAK = 0.32
LAYER_CEILING = 0.32

# Directions (x, y, z), the largest component 1. A dip goes down and a little forward.
DIRECTIONS = {**SHARED_DIRECTIONS, "dip": (0.0, -1.0, 0.375)}

# Groups in eighths, and each group's direction and accent size.
DIALOGUES = [
    ((3, 4, 5), "left .27  right .29  dip .32"),
    ((5, 3, 4), "right .32  back .27  left .29"),
    ((3, 5, 2), "up .29  left .32  forward .27"),
    ((2, 5, 4), "forward .27  dip .32  right .29"),
    ((4, 3, 2), "left .32  up .28  forward .26"),
    ((3, 2, 4, 5), "right .28  down .26  left .30  forward .32"),
    ((5, 2, 3, 4), "dip .32  left .27  back .29  right .30"),
    ((2, 3, 5, 3), "up .27  forward .30  left .32  down .28"),
    ((3, 4, 3, 5), "left .29  right .28  up .26  dip .32"),
    ((5, 4, 2, 3), "forward .32  left .29  right .27  back .28"),
    ((2, 4, 5, 2), "down .28  right .32  forward .30  left .26"),
    ((4, 5, 3, 2), "right .30  dip .32  left .28  forward .26"),
    ((3, 5, 4, 3), "back .27  left .30  forward .32  right .28"),
    ((5, 3, 2, 5), "up .32  left .27  back .29  right .30"),
    ((2, 5, 3, 5), "left .28  forward .30  right .27  dip .32"),
    ((4, 3, 5, 4), "dip .32  right .28  back .26  left .30"),
]  # fmt: skip


def voices(score: str) -> list[tuple[tuple[float, ...], float]]:
    words = score.split()
    return [(DIRECTIONS[words[i]], float(words[i + 1])) for i in range(0, len(words), 2)]


def scaled(direction, size):
    return tuple(round(size * d, 12) + 0.0 for d in direction)


def group_starts(groups) -> list[int]:
    return [EIGHTH * sum(groups[:i]) for i in range(len(groups))]


def dialogue(groups, parts):
    period = EIGHTH * sum(groups)
    strokes = []
    for start, count, (direction, size) in zip(group_starts(groups), groups, parts, strict=True):
        strokes.append(onset(start, *scaled(direction, size), width=ACCENT_STROKE))
        for i in range(1, count):
            share = FOLLOW[min(i, len(FOLLOW)) - 1]
            strokes.append(
                onset(start + EIGHTH * i, *scaled(direction, share * size), width=STROKE)
            )
        lead = (start - PICKUP_LEAD) % period
        strokes.append(onset(lead, 0.0, PICKUP, 0.0, width=PICKUP_STROKE))
    return period, strokes


def dialogue_pattern(groups, score):
    parts = voices(score)
    period, strokes = dialogue(groups, parts)
    starts = group_starts(groups)
    facts = (
        peak_within(PEAK, PEAK),
        peak_within(0.0, LAYER_CEILING),
        *(value_at(s, *scaled(d, size)) for s, (d, size) in zip(starts, parts, strict=True)),
        *(value_at((s - PICKUP_LEAD) % period, 0.0, PICKUP, 0.0) for s in starts),
        zero_except_near([(s.time, s.kernel.reach) for s in strokes]),
    )
    name = "dialogue_" + "_".join(map(str, groups))
    return Pattern(name, DESCRIPTION, period, 3, hit_sum(strokes, period), facts=facts)


PATTERNS = [dialogue_pattern(*row) for row in DIALOGUES]
