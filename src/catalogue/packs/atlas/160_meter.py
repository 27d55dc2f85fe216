"""Additive meters: a loop of eighth-note groups such as 3+2+2, one eighth note to 32 pips.

The point sways from side to side, leaning to +-0.72 on each group start in turn (right first)
and easing across to the next lean along a smootherstep, so it lingers on each lean. A loop with
an odd number of groups ends and starts on the same side: there the point relaxes towards the
centre in mid-group and leans out again, so every group start still arrives on its lean. Each
group start also dips y to -0.33 and strikes a small depth accent on z, the loop's first group the
strongest; every other eighth note dips y lightly to -0.113."""

from itertools import accumulate

from tablegen.facts import peaks, value_at
from tablegen.model import Pattern
from tablegen.shapes import component, hit_sum, keyframe_lane, lanes, onset

EIGHTH = 32
LEAN = 0.72
GROUP_DIP, EIGHTH_DIP = -0.33, -0.113
PHRASE_DEPTH, GROUP_DEPTH = 0.0504, 0.0252  # z on the loop's first group start, on the others
# Group starts are at least two eighths apart and eighths one apart: a group dip of half-width
# 24 and an eighth dip of 16 reach only their own pips' neighbourhoods, so each onset keeps its
# own value.
GROUP_WIDTH, EIGHTH_WIDTH = 24, 16
RELAX = 0.25  # share of the lean kept in mid-group between two leans to the same side

DESCRIPTION = (
    "Group starts lean alternately left and right; quieter subdivisions mark the eighth-note grid."
)

# Groups in eighth notes, in record order.
MEMBERS = [
    (2, 3), (3, 2), (3, 2, 2), (2, 3, 2), (3, 4), (4, 3), (2, 2, 2, 3), (2, 3, 2, 2),
    (3, 2, 3, 2), (3, 3, 2, 3), (2, 2, 3, 2, 3), (3, 3, 3, 2), (4, 3, 3), (3, 4, 4),
    (2, 3, 3, 2, 3), (3, 3, 3, 4),
]  # fmt: skip


def group_starts(groups):
    """The eighth-note step of each group start: the running sums of the groups before it."""
    starts, step = [], 0
    for size in groups:
        starts.append(step)
        step += size
    return starts


def sway(groups):
    """x: from lean to lean, right on the first group start and then left and right in turn."""
    period = EIGHTH * sum(groups)
    leans = [
        (EIGHTH * step, LEAN if g % 2 == 0 else -LEAN)
        for g, step in enumerate(group_starts(groups))
    ]
    frames = []
    for (pip, x), (next_pip, next_x) in zip(
        leans, leans[1:] + [(period, leans[0][1])], strict=True
    ):
        frames.append((pip, x))
        if next_x == x:  # the last group of an odd count: relax, then lean out again
            frames.append(((pip + next_pip) / 2, RELAX * x))
    return keyframe_lane(frames, period)


def marks(groups):
    """y and z: a dip and a depth accent on each group start, a light dip on every other eighth."""
    starts = group_starts(groups)
    notes = []
    for step in range(sum(groups)):
        if step in starts:
            depth = PHRASE_DEPTH if step == 0 else GROUP_DEPTH
            notes.append(onset(EIGHTH * step, GROUP_DIP, depth, width=GROUP_WIDTH))
        else:
            notes.append(onset(EIGHTH * step, EIGHTH_DIP, width=EIGHTH_WIDTH))
    return hit_sum(notes, EIGHTH * sum(groups))


def meter(groups):
    y_and_z = marks(groups)
    return lanes(sway(groups), component(y_and_z, 0), component(y_and_z, 1))


def stated_values(groups):
    """The values stated at the onsets, from the meter's rule on its own: group starts at the
    running sums lean +-0.72 in turn with y -0.33; every other eighth has y -0.113 and no depth."""
    starts = [0, *accumulate(groups)][:-1]
    facts = [
        value_at(32 * step, 0.72 if g % 2 == 0 else -0.72, -0.33, 0.0504 if g == 0 else 0.0252)
        for g, step in enumerate(starts)
    ]
    facts += [
        value_at(32 * step, y=-0.113, z=0.0) for step in range(sum(groups)) if step not in starts
    ]
    return facts


def member(groups):
    return Pattern(
        "meter_" + "_".join(map(str, groups)),
        DESCRIPTION,
        EIGHTH * sum(groups),
        3,
        meter(groups),
        facts=(peaks(0.72, 0.33, 0.0504, exact="xyz"), *stated_values(groups)),
    )


PATTERNS = [member(groups) for groups in MEMBERS]
