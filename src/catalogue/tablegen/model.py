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
    # The family the catalogue lists the pattern under; None lists it under its module's family
    # key (the module file name without its order prefix).
    family: str | None = None


@dataclass(frozen=True)
class Distinct:
    """A group of tables that must not nearly copy one another: the tables whose names end in
    `suffix`, in every pack that declares the group.

    Two tables of different periods are compared over their common length, each repeated as its
    loop repeats. A pair nearly copies when at every pip every component lies closer than `apart`
    to the other's; with `planar` set, also when x and y alone (what a pan/tilt head shows) lie
    closer than `planar` at every pip.
    """

    group: str  # names the group in messages, e.g. "beat_pendulum"
    suffix: str  # every name of the group ends with this, e.g. "_pendulum"
    apart: float
    planar: float | None = None


@dataclass(frozen=True)
class Pack:
    """What is stated about one pack as a whole."""

    key: str  # "initial", "expansion", ...
    count: int  # number of patterns
    peak: float  # the pack's largest |component|, exactly
    max_step: float  # upper bound of the largest step between consecutive entries, seam included
    periods: dict[int, int] = field(default_factory=dict)  # period_pips -> number of tables
    axes: dict[int, int] = field(default_factory=dict)  # axes -> number of tables
    # Every name starts with this prefix.
    name_prefix: str = ""
    # Every description holds exactly this many em dashes (U+2014).
    em_dashes: int = 0
    # Descriptions of names with one of these prefixes hold exactly this many en dashes (U+2013);
    # every other description holds none.
    en_dashes: dict[str, int] = field(default_factory=dict)
    # When set, every table's seam (last entry to entry 0) is at most this share of its largest
    # step between neighbouring entries.
    seam_ratio: float | None = None
    # When set, exactly this many tables start at the origin.
    origin_starts: int | None = None
    # When set, exactly this many tables reach the pack's peak exactly; the others stay below it.
    exact_peaks: int | None = None
    # Groups of tables that must not nearly copy one another (see Distinct).
    distinct: tuple[Distinct, ...] = ()
    # Where the pack comes in the catalogue, which takes packs by rising order as it takes a
    # pack's families by the number in front of their file names. Every pack.py states it.
    order: int | None = None

    @property
    def namespace(self) -> str:
        return f"motiloom_{self.key}"


@dataclass(frozen=True)
class Totals:
    """What is stated about the complete catalogue."""

    packs: tuple[str, ...]  # the packs of the complete catalogue, in catalogue order
    records: int
    entries: int
    periods: dict[int, int]
    axes: dict[int, int]
    closed_seams: int  # tables whose last entry equals entry 0
    # Tables whose seam distance equals their largest inner step; None leaves the count unchecked.
    level_seams: int | None
    origin_starts: int  # tables whose entry 0 is (0, 0, 0)
    peak: float
    peak_tables: frozenset[str]  # the only tables that reach the peak
    largest_step: str  # to 4 decimals
    longest_entry: str  # largest Euclidean length of an entry, to 2 decimals
    longest_entry_table: str
    mean_range: tuple[str, str]  # lowest and highest per-axis mean of the used axes, to 3 decimals
    still_x: int  # axes-2 tables whose x is 0.0 throughout
    still_x_named: frozenset[str]
    still_x_family: tuple[str, str]  # (pack, name prefix) of a family whose tables all have still x
    index_head: tuple[str, ...]
    last_record: str
