"""What a pack's authoring modules declare: patterns, pack facts, and the error of a broken rule."""

from __future__ import annotations

from collections.abc import Callable, Sequence
from dataclasses import dataclass, field

Vec3 = tuple[float, float, float]
Table = list[Vec3]

# A raw curve returns the position at pip k as one to three components (missing ones are 0.0).
# k is an int on the table's own pips; with peak_grid > 1 it is also called at fractional pips.
Curve = Callable[[float], Sequence[float]]

# A fact checks one stated property of a finished (normalised and rounded) table and raises
# CheckError, naming the broken property, when it does not hold.
Fact = Callable[[Table], None]


class CheckError(Exception):
    """A table, record or pack breaks one of the catalogue's rules."""


@dataclass(frozen=True)
class Pattern:
    name: str
    description: str
    period: int
    axes: int
    curve: Curve
    # When set, the whole table is scaled by one factor so that its largest |component| equals
    # this value; peak_grid is how many points per pip that largest value is searched on.
    peak: float | None = None
    peak_grid: int = 1
    facts: tuple[Fact, ...] = ()


@dataclass(frozen=True)
class Pack:
    """What is stated about one pack as a whole."""

    key: str  # "initial", "expansion", ...
    count: int  # number of patterns
    peak: float  # the pack's largest |component|, exactly
    max_step: float  # upper bound of the largest step between consecutive entries, seam included
    periods: dict[int, int] = field(default_factory=dict)  # period_pips -> number of tables
    axes: dict[int, int] = field(default_factory=dict)  # axes -> number of tables

    @property
    def namespace(self) -> str:
        return f"motiloom_{self.key}"
