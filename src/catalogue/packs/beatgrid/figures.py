"""What the dancefloor pack states about its tables beyond each motion's peak range and main axes:
how far each motion may step from one pip to the next, the pendulum's low hang, the dive's
counterweight, the means and lengths every table keeps, and which tables reach the pack's
extremes. Each statement is a fact that the generator checks on the finished table."""

from __future__ import annotations

import math

from tablegen.facts import AXES
from tablegen.model import CheckError, Fact, Table

from .motions import Motion
from .score import Score


def _steps(table: Table) -> list[float]:
    """The distance from each entry to the next, the last one's to entry 0 included."""
    return [math.dist(a, b) for a, b in zip(table, table[1:] + table[:1], strict=True)]


def _reach(table: Table, axis: str) -> float:
    index = AXES.index(axis)
    return max(abs(entry[index]) for entry in table)


def largest_step_within(low: float, high: float) -> Fact:
    """The largest step between neighbouring entries, the seam included, lies in [low, high]."""
    name = f"largest_step_within({low}, {high})"

    def fact(table: Table) -> None:
        steps = _steps(table)
        largest = max(steps)
        if not low <= largest <= high:
            raise CheckError(f"{name}: {largest!r} from pip {steps.index(largest)}")

    return fact


def reach_at_most(axis: str, limit: float) -> Fact:
    """The axis never reaches further than `limit` from 0."""
    name = f"reach_at_most({axis}, {limit})"

    def fact(table: Table) -> None:
        if _reach(table, axis) > limit:
            raise CheckError(f"{name}: largest |{axis}| is {_reach(table, axis)!r}")

    return fact


def reaches_further(first: str, second: str) -> Fact:
    """The first axis reaches at least as far from 0 as the second."""
    name = f"reaches_further({first}, {second})"

    def fact(table: Table) -> None:
        if _reach(table, first) < _reach(table, second):
            raise CheckError(
                f"{name}: largest |{first}| is {_reach(table, first)!r}, "
                f"|{second}| {_reach(table, second)!r}"
            )

    return fact


def reaches(axis: str, value: float) -> Fact:
    """Some entry has exactly `value` on the axis."""
    index = AXES.index(axis)
    name = f"reaches({axis}, {value})"

    def fact(table: Table) -> None:
        if all(entry[index] != value for entry in table):
            raise CheckError(f"{name}: no entry has {axis} = {value!r}")

    return fact


def means_within(low: float, high: float) -> Fact:
    """Each component's mean over the loop lies in [low, high]."""
    name = f"means_within({low}, {high})"

    def fact(table: Table) -> None:
        for index, axis in enumerate(AXES):
            mean = math.fsum(entry[index] for entry in table) / len(table)
            if not low <= mean <= high:
                raise CheckError(f"{name}: the mean of {axis} is {mean!r}")

    return fact


def longest_entry_at_most(limit: float) -> Fact:
    """No entry lies further than `limit` from the origin."""
    name = f"longest_entry_at_most({limit})"

    def fact(table: Table) -> None:
        longest = max(math.hypot(*entry) for entry in table)
        if longest > limit:
            raise CheckError(f"{name}: an entry lies {longest!r} from the origin")

    return fact


# The spring takes the pack's largest step (0.2793 to four decimals) and the ricochet the next
# (0.245 to three); every other motion stays below the ricochet.
STEP_LIMITS = {"spring": (0.0, 0.27935), "ricochet": (0.0, 0.2455)}
OTHER_STEPS = (0.0, 0.2445)
MOTION_FACTS: dict[str, tuple[Fact, ...]] = {
    "pendulum": (reach_at_most("y", 0.2),),  # it hangs: the bob rises little at its ends
    "dive": (reaches_further("x", "y"),),  # the counterweight comes next after the plunge
}
EVERY_TABLE = (means_within(-0.739, 0.411), longest_entry_at_most(1.2))

# The tables that reach the pack's extremes: the jungle snare roll sets its spring ringing
# hardest, the hard-dance bass swells give the ricochet its largest step, the tresillo's layered
# downbeat flings the ricochet to the bottom of its reach and the footwork triplet bass drives
# the dive to its deepest.
EXTREMES: dict[str, tuple[Fact, ...]] = {
    "beat_jungle_ghosts_spring": (largest_step_within(0.27925, 0.27935),),
    "beat_hard_reverse_ricochet": (largest_step_within(0.2445, 0.2455),),
    "beat_drill_tresillo_ricochet": (reaches("y", -0.92),),
    "beat_footwork_triplet_dive": (reaches("z", 0.92),),
}


def dancefloor_facts(style: Score, motion: Motion) -> tuple[Fact, ...]:
    """The facts a dancefloor table states besides its motion's peak range and main axes."""
    return (
        largest_step_within(*STEP_LIMITS.get(motion.key, OTHER_STEPS)),
        *MOTION_FACTS.get(motion.key, ()),
        *EVERY_TABLE,
        *EXTREMES.get(f"beat_{style.key}_{motion.key}", ()),
    )
