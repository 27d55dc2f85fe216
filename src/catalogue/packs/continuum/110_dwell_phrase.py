"""Dwell phrases: lift to a pose and hold it, lift to a second pose and hold it, carry across to
a third, and settle back home, where the phrase rests until the loop starts over.

Every move is eased (zero speed at both ends). The two lifts bow a little off their straight
lines, the first to one side and the second to the other; the transfer dips like a carried
weight; the settling return runs past home, comes back a little short of it and then lands.
The holds are genuine rests: runs of identical entries, as long as the timeline says. The
highest-reaching pose of each phrase touches the edge of the field at 0.82, so the normalising
factor is 1 and the poses are the stored values.

Each timeline gives, in beats, the end of the first lift, of its hold, of the second lift, of its
hold, of the transfer and of the settling return; the phrase starts its first lift from home on
the downbeat (the last two half a pip ahead of it) and rests at home from the end of the settling
return to the end of the loop.
"""

from dataclasses import dataclass

from tablegen.facts import hold, holds
from tablegen.model import CheckError, Pattern
from tablegen.shapes import HALF_PIP, lerp, smootherstep

LOOP = 1024
BEAT = 64
PEAK = 0.82
DESCRIPTION = (
    "Two unequal lift-and-hold gestures, a transfer and a settling return; holds have finite "
    "musical duration."
)

BOW = 0.1  # sideways bow of a lift, as a share of its length
CARRY_DIP = 0.16  # how far the transfer sags below its straight line
# The settling return: past home by this share of the approach, then short of it, then home,
# each leg taking its share of the return's time.
SETTLE = ((0.12, 0.6), (-0.035, 0.25), (0.0, 0.15))

Point = tuple[float, float, float]


@dataclass(frozen=True)
class Phrase:
    beats: tuple[float, float, float, float, float, float]
    home: Point
    first: Point
    second: Point
    transfer: Point
    # Pips by which the first lift sets off ahead of the downbeat: an anticipated phrase has left
    # home by pip 0, so its loop does not start where it ends.
    anticipation: float = 0.0

    def moves(self):
        """(start pip, end pip, from, to, bow vector) for every part of the phrase."""
        ends = [b * BEAT for b in self.beats]
        lift_1, hold_1, lift_2, hold_2, carried, settled = ends
        parts = [
            (0.0, lift_1, self.home, self.first, _bow(self.home, self.first, BOW)),
            (lift_1, hold_1, self.first, self.first, (0.0, 0.0, 0.0)),
            (hold_1, lift_2, self.first, self.second, _bow(self.first, self.second, -BOW)),
            (lift_2, hold_2, self.second, self.second, (0.0, 0.0, 0.0)),
            (hold_2, carried, self.second, self.transfer, (0.0, -CARRY_DIP, 0.0)),
        ]
        start, here = carried, self.transfer
        for past, share in SETTLE:
            end = start + share * (settled - carried)
            there = tuple(h + past * (h - t) for h, t in zip(self.home, self.transfer, strict=True))
            parts.append((start, end, here, there, (0.0, 0.0, 0.0)))
            start, here = end, there
        parts.append((settled, float(LOOP), self.home, self.home, (0.0, 0.0, 0.0)))
        return parts

    def curve(self):
        parts = self.moves()

        def position(k):
            k = (k + self.anticipation) % LOOP
            for start, end, a, b, bow in parts:
                if k < end:
                    e = smootherstep((k - start) / (end - start))
                    arc = 4.0 * e * (1.0 - e)
                    return tuple(lerp(p, q, e) + arc * w for p, q, w in zip(a, b, bow, strict=True))
            raise AssertionError("unreachable: the parts cover the loop")

        return position


def _bow(a: Point, b: Point, share: float) -> Point:
    """A bow across the move from a to b in the x-y plane, `share` of the move's length."""
    dx, dy = b[0] - a[0], b[1] - a[1]
    return (-dy * share, dx * share, 0.0)


def two_gestures_and_home(table):
    """Exactly three holds, at three different poses: two of unequal length, then the rest at
    home, which lasts to the end of the loop."""
    runs = holds(table)
    if len(runs) != 3:
        raise CheckError(f"two_gestures_and_home: {len(runs)} holds")
    (_, first, a), (_, second, b), (start, rest, home) = runs
    if first == second or len({a, b, home}) != 3 or start + rest != len(table):
        raise CheckError(f"two_gestures_and_home: holds {[run[:2] for run in runs]}")


PHRASES = [
    # beats, then the poses: home, first hold, second hold, end of the transfer
    Phrase((1.6, 3.2, 6.4, 9.6, 12, 14.4), (-0.1, -0.55, 0), (0.35, 0.2, 0.25),
           (-0.3, 0.82, -0.2), (0.6, 0.3, 0.1)),
    Phrase((2, 4.5, 6.5, 8, 11, 14), (0.15, -0.6, 0.1), (-0.45, 0.1, -0.2),
           (0.4, 0.82, 0.3), (-0.65, 0.35, 0)),
    Phrase((1.5, 2.5, 5, 9, 11.5, 14.5), (-0.3, -0.5, -0.1), (0.2, 0.45, 0.1),
           (0.82, 0.2, -0.25), (-0.55, 0.55, 0.2)),
    Phrase((2.5, 5.5, 7, 8.5, 11, 13.5), (0, -0.45, 0.2), (0.55, 0.05, -0.15),
           (-0.5, 0.82, 0.1), (0.3, 0.6, -0.3)),
    Phrase((1, 3, 5.5, 8.5, 10.5, 14), (0.25, -0.5, -0.15), (-0.3, 0.35, 0.3),
           (0.1, 0.82, -0.1), (-0.7, 0.1, 0.1)),
    Phrase((2, 3, 6, 10, 12.5, 15), (-0.2, -0.65, 0), (-0.6, 0, 0.2),
           (0.45, 0.82, -0.3), (-0.5, 0.45, 0.1)),
    Phrase((1.5, 5, 7, 8, 10.5, 13), (0.1, -0.4, -0.2), (0.4, 0.55, 0),
           (-0.82, 0.3, 0.2), (0.6, 0, 0.3)),
    Phrase((3, 4.5, 6.5, 10.5, 12, 14.5), (-0.05, -0.6, 0.15), (0.3, 0.82, -0.1),
           (-0.45, 0.4, 0.3), (0.55, 0.2, -0.25)),
    Phrase((1, 2.5, 4.5, 8.5, 11, 14), (0.3, -0.55, 0), (0, 0.3, -0.3),
           (-0.55, 0.82, 0.15), (0.7, 0.45, 0)),
    Phrase((2, 5, 7.5, 9, 12, 14.5), (-0.25, -0.45, 0.2), (0.45, 0.25, 0.3),
           (0.2, 0.82, -0.25), (-0.7, 0.25, -0.1)),
    Phrase((1.5, 3.5, 6, 9.5, 11.5, 13.5), (0, -0.65, -0.2), (-0.35, 0.5, 0),
           (0.82, 0.45, 0.2), (-0.3, 0, 0.35)),
    Phrase((2.5, 4, 6.5, 9.5, 12.5, 15), (0.2, -0.5, 0.25), (0.6, 0.3, 0),
           (-0.35, 0.82, 0.2), (0, 0.5, -0.35)),
    Phrase((1, 4, 6, 7.5, 10, 13), (-0.15, -0.55, -0.1), (-0.5, 0.6, 0.25),
           (0.55, 0.82, -0.15), (0.75, 0, 0.2)),
    Phrase((2, 3.5, 5.5, 10, 12, 14), (0.1, -0.6, 0), (0.45, 0.45, -0.25),
           (-0.6, 0.82, 0), (-0.2, 0.35, 0.4)),
    Phrase((1.5, 4.5, 7.5, 9, 11, 14.5), (-0.35, -0.5, 0.1), (0.25, 0.82, 0.2),
           (0.65, 0.3, -0.3), (-0.6, 0.55, 0), anticipation=0.5),
    Phrase((2, 4, 6, 9.5, 12.5, 15), (0.05, -0.7, -0.1), (-0.4, 0.2, -0.3),
           (0.3, 0.82, 0.25), (0.65, 0.5, -0.2), anticipation=0.5),
]  # fmt: skip

# dwell_phrase_01 holds for 102 entries from pip 103, for 205 from pip 410, and settles from pip
# 922 to the end of the loop.
STATED_01 = (hold(103, 102), hold(410, 205), hold(922, 102))

PATTERNS = [
    Pattern(
        f"dwell_phrase_{number:02d}",
        DESCRIPTION,
        LOOP,
        3,
        phrase.curve(),
        peak=PEAK,
        peak_grid=HALF_PIP,
        facts=(two_gestures_and_home, *(STATED_01 if number == 1 else ())),
    )
    for number, phrase in enumerate(PHRASES, start=1)
]
