"""Polyrhythms a:b over two bars: a pulses on the left lane and b on the right, each on the pip
nearest its exact time. Left gestures lean to -x; right gestures lean to +x with a depth stroke
on z; every gesture dips y. Both lanes sound together on pip 0, where their leans cancel and
the shared downbeat dips deeper with a stronger depth stroke.

Every gesture is a raised cosine of half-width 24 pips. Pulses of one lane lie at least 51 pips
apart, but the two lanes come as close as 9 pips (7:8), and there the gestures add: the leans
partly cancel and the peaks are smaller."""

from tablegen.facts import peaks, value_at, zero_except_near
from tablegen.model import Pattern
from tablegen.shapes import grid_time, hit_sum, nearest_pip, onset

EIGHT_BEATS = 512
HALF_WIDTH = 24
LEFT = (-0.403, -0.169, 0.0)  # (x, y, z) of a left-lane gesture
RIGHT = (0.403, -0.169, 0.143)  # a right-lane gesture, with its depth stroke
DOWNBEAT = (0.0, -0.52, 0.22)  # both lanes at pip 0

DESCRIPTION = (
    "Two independent pulse trains share an eight-beat boundary. Each right-lane gesture includes "
    "depth."
)

MEMBERS = [
    (2, 5), (2, 7), (2, 9), (3, 5), (3, 7), (3, 8), (3, 10), (4, 5),
    (4, 7), (4, 9), (5, 6), (5, 7), (5, 8), (5, 9), (6, 7), (7, 8),
]  # fmt: skip


def lane(count):
    """The pips of a lane of `count` pulses after the shared downbeat."""
    return [nearest_pip(grid_time(i, count, EIGHT_BEATS)) for i in range(1, count)]


def gestures(a, b):
    """(pip, (x, y, z)) of every gesture of a:b."""
    return [(0, DOWNBEAT)] + [(pip, LEFT) for pip in lane(a)] + [(pip, RIGHT) for pip in lane(b)]


def poly(a, b):
    return hit_sum(
        [onset(pip, *values, width=HALF_WIDTH) for pip, values in gestures(a, b)], EIGHT_BEATS
    )


def stated_values(a, b):
    """What is stated about the onsets, with their pips worked out on their own (the pips
    nearest 512*i/a and 512*j/b): the downbeat's values, the values of every lane pulse that no
    other pulse reaches, and rest away from all of them."""
    left = [round(512 * i / a) for i in range(1, a)]
    right = [round(512 * j / b) for j in range(1, b)]
    onsets = [0, *left, *right]

    def alone(pip):
        return all(min(abs(o - pip), 512 - abs(o - pip)) >= 24 for o in onsets if o != pip)

    return [
        value_at(0, 0.0, -0.52, 0.22),
        *(value_at(pip, -0.403, -0.169, 0.0) for pip in left if alone(pip)),
        *(value_at(pip, 0.403, -0.169, 0.143) for pip in right if alone(pip)),
        zero_except_near(onsets, 24),
    ]


def member(a, b):
    return Pattern(
        f"poly_{a}_{b}",
        DESCRIPTION,
        EIGHT_BEATS,
        3,
        poly(a, b),
        facts=(peaks(0.403, 0.52, 0.22, exact="xyz"), *stated_values(a, b)),
    )


PATTERNS = [member(a, b) for a, b in MEMBERS]
