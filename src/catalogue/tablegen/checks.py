"""The catalogue's rules, checked on every baked table, record and pack before anything is written.

Each rule is one small function that raises CheckError when it is broken. The message begins with
the subject (a table's name, a pack's key, or "catalogue" for the whole-catalogue totals), then the
rule's name, then what was found: "lfo_breathe: seam: ...". The rules run in the order of the lists
below and the first broken one stops the build, so a rule may rely on every rule before it.

Checking stays fast on a million entries by working on whole columns with C-level builtins (zip,
map, min, max, array) instead of a Python loop per value; the slow element-by-element search for
the culprit only runs once a rule is already known to be broken.
"""

from __future__ import annotations

import hashlib
import itertools
import math
import operator
import re
import struct
from array import array
from collections import Counter
from collections.abc import Callable, Sequence
from dataclasses import dataclass
from functools import cached_property
from itertools import chain, repeat

from .model import CheckError, Distinct, Pack, Pattern, Table, Totals
from .procedural import PROCEDURAL_NAMES

AXIS_NAMES = ("x", "y", "z")
ORIGIN = (0.0, 0.0, 0.0)

NAME_PATTERN = re.compile(r"[a-z][a-z0-9_]*")
NAME_BYTES = (8, 32)
DESCRIPTION_BYTES = (42, 235)
DESCRIPTION_ASCII = frozenset(
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .-/,;&:_+()"
)
EM_DASH = "\u2014"
EN_DASH = "\u2013"

PERIOD_STEP = 32
PERIOD_RANGE = (160, 1024)
AXES_RANGE = (1, 3)


@dataclass(frozen=True, eq=False)
class BakedRecord:
    """One pattern with its finished table, and where it was authored."""

    pack: str  # pack key, e.g. "initial"
    family: str  # family key of the authoring module, e.g. "lfo"
    source: str  # the authoring module, e.g. "packs/initial/10_lfo.py"
    pattern: Pattern
    table: Table

    @property
    def name(self) -> str:
        return self.pattern.name

    @property
    def listed_family(self) -> str:
        """The family the catalogue lists the pattern under: its own, else its module's."""
        return self.pattern.family or self.family


def fail(subject: object, rule: str, detail: str) -> CheckError:
    return CheckError(f"{subject}: {rule}: {detail}")


def _where(flat_index: int) -> str:
    return f"pip {flat_index // 3} {AXIS_NAMES[flat_index % 3]}"


def table_digest(table: Table) -> str:
    """SHA-256 of a table's values as doubles: equal digests mean identical tables."""
    return hashlib.sha256(array("d", chain.from_iterable(table)).tobytes()).hexdigest()


@dataclass(frozen=True)
class Summary:
    """What the pack, catalogue and total rules need of one checked table: its record fields and
    measurements, without the table. Small and picklable, so it is cached with the bake."""

    name: str
    pack: str
    period: int
    axes: int
    lows: tuple[float, ...]
    highs: tuple[float, ...]
    peak: float
    largest_inner_step: float
    seam: float
    axis_means: tuple[float, ...]
    longest_entry: float
    first: tuple[float, float, float]
    last: tuple[float, float, float]
    digest: str

    @property
    def largest_step(self) -> float:
        return max(self.largest_inner_step, self.seam)


class Measured:
    """A record and the measurements the rules share, each computed once on first use.

    The measurements assume that the earlier table rules hold (three float components per entry,
    as many entries as the period), which the rule order guarantees.
    """

    def __init__(self, record: BakedRecord, pack: Pack | None = None) -> None:
        self.record = record
        self.pack = pack if pack is not None else Pack(record.pack, 0, 0.0, 0.0)
        self.pattern = record.pattern
        self.name = record.pattern.name
        self.table = record.table

    @cached_property
    def flat(self) -> list[float]:
        """Every component in entry order: x0 y0 z0 x1 y1 z1 ..."""
        return list(chain.from_iterable(self.table))

    @cached_property
    def columns(self) -> tuple[tuple[float, ...], ...]:
        return tuple(zip(*self.table, strict=True))

    @cached_property
    def lows(self) -> tuple[float, ...]:
        return tuple(map(min, self.columns))

    @cached_property
    def highs(self) -> tuple[float, ...]:
        return tuple(map(max, self.columns))

    @cached_property
    def peak(self) -> float:
        return max(max(map(abs, self.lows)), max(map(abs, self.highs)))

    @cached_property
    def largest_inner_step(self) -> float:
        return max(map(math.dist, self.table, self.table[1:]))

    @cached_property
    def seam(self) -> float:
        return math.dist(self.table[-1], self.table[0])

    @cached_property
    def largest_step(self) -> float:
        return max(self.largest_inner_step, self.seam)

    @cached_property
    def axis_means(self) -> tuple[float, ...]:
        """Means over one period of the used axes."""
        return tuple(math.fsum(c) / len(c) for c in self.columns[: self.pattern.axes])

    @cached_property
    def longest_entry(self) -> float:
        return max(map(math.hypot, *self.columns))

    def summary(self) -> Summary:
        return Summary(
            name=self.name,
            pack=self.record.pack,
            period=self.pattern.period,
            axes=self.pattern.axes,
            lows=self.lows,
            highs=self.highs,
            peak=self.peak,
            largest_inner_step=self.largest_inner_step,
            seam=self.seam,
            axis_means=self.axis_means,
            longest_entry=self.longest_entry,
            first=self.table[0],
            last=self.table[-1],
            digest=table_digest(self.table),
        )


# --- names and descriptions -------------------------------------------------------------------


def name_form(m: Measured) -> None:
    name = m.name
    if not isinstance(name, str) or not NAME_PATTERN.fullmatch(name):
        raise fail(name, "name form", "a name is a-z, 0-9 and _, starting with a letter")
    low, high = NAME_BYTES
    if not low <= len(name) <= high:
        raise fail(name, "name length", f"{len(name)} bytes, not {low} to {high}")


def name_prefix(m: Measured) -> None:
    if not m.name.startswith(m.pack.name_prefix):
        raise fail(
            m.name,
            "name prefix",
            f"the {m.pack.key} pack's names start with {m.pack.name_prefix!r}",
        )


def name_not_procedural(m: Measured) -> None:
    if m.name in PROCEDURAL_NAMES:
        raise fail(m.name, "procedural name", "a procedural rudiment already has this name")


def description_length(m: Measured) -> None:
    text = m.pattern.description
    if not isinstance(text, str):
        raise fail(m.name, "description length", f"not text but {type(text).__name__}")
    try:
        size = len(text.encode("utf-8"))
    except UnicodeEncodeError as error:
        raise fail(m.name, "description length", f"not valid UTF-8 text ({error.reason})") from None
    low, high = DESCRIPTION_BYTES
    if not low <= size <= high:
        raise fail(m.name, "description length", f"{size} UTF-8 bytes, not {low} to {high}")


def description_characters(m: Measured) -> None:
    for position, char in enumerate(m.pattern.description):
        if char not in DESCRIPTION_ASCII and char not in (EM_DASH, EN_DASH):
            raise fail(m.name, "description characters", f"{char!r} at character {position}")


def _dash_rule(m: Measured, dash: str, label: str, expected: int, where: str) -> None:
    found = m.pattern.description.count(dash)
    if found != expected:
        raise fail(m.name, f"description {label}", f"found {found}; {where}")


def description_em_dash(m: Measured) -> None:
    expected = m.pack.em_dashes
    _dash_rule(m, EM_DASH, "em dash", expected, f"the {m.pack.key} pack states {expected}")


def description_en_dash(m: Measured) -> None:
    stated = m.pack.en_dashes
    expected = next((n for prefix, n in stated.items() if m.name.startswith(prefix)), 0)
    where = ", ".join(f"{n} in {prefix}" for prefix, n in stated.items()) or "none"
    _dash_rule(m, EN_DASH, "en dash", expected, f"the {m.pack.key} pack states {where}")


def description_spacing(m: Measured) -> None:
    text = m.pattern.description
    if "  " in text:
        raise fail(
            m.name, "description spacing", f"two spaces in a row at character {text.index('  ')}"
        )
    if text != text.strip(" "):
        raise fail(m.name, "description spacing", "leading or trailing space")


# --- the table ---------------------------------------------------------------------------------


def _is_count(value: object) -> bool:
    return isinstance(value, int) and not isinstance(value, bool)


def entry_count(m: Measured) -> None:
    period = m.pattern.period
    if not _is_count(period) or len(m.table) != period:
        raise fail(m.name, "entry count", f"{len(m.table)} entries for a period of {period!r}")


def entry_form(m: Measured) -> None:
    if set(map(type, m.table)) != {tuple} or set(map(len, m.table)) != {3}:
        pip = next(k for k, e in enumerate(m.table) if type(e) is not tuple or len(e) != 3)
        raise fail(m.name, "entry form", f"pip {pip} is {m.table[pip]!r}, not an (x, y, z) tuple")
    if set(map(type, m.flat)) != {float}:
        pip = next(k for k, e in enumerate(m.table) if any(type(c) is not float for c in e))
        raise fail(
            m.name, "entry form", f"pip {pip} is {m.table[pip]!r}: components must be floats"
        )


def period_grid(m: Measured) -> None:
    period = m.pattern.period
    low, high = PERIOD_RANGE
    if period % PERIOD_STEP or not low <= period <= high:
        raise fail(
            m.name, "period", f"{period} is not a multiple of {PERIOD_STEP} from {low} to {high}"
        )


def axes_range(m: Measured) -> None:
    axes = m.pattern.axes
    low, high = AXES_RANGE
    if not _is_count(axes) or not low <= axes <= high:
        raise fail(m.name, "axes", f"{axes!r} is not {low} to {high}")


def finite_in_range(m: Measured) -> None:
    flat = m.flat
    # A NaN or an infinity makes the sum non-finite; once all are finite, min and max are exact.
    if math.isfinite(sum(flat)) and -1.0 <= min(flat) and max(flat) <= 1.0:
        return
    index = next(i for i, v in enumerate(flat) if not -1.0 <= v <= 1.0)
    raise fail(
        m.name, "bounds", f"{_where(index)} is {flat[index]!r}, not a finite value in [-1, 1]"
    )


_NEGATIVE_ZERO = struct.pack("=d", -0.0)


def no_negative_zero(m: Measured) -> None:
    if 0.0 not in m.flat:  # -0.0 == 0.0, so this finds either zero
        return
    data = array("d", m.flat).tobytes()
    offset = data.find(_NEGATIVE_ZERO)
    while offset != -1:
        if offset % 8 == 0:
            raise fail(m.name, "negative zero", f"{_where(offset // 8)} is -0.0")
        offset = data.find(_NEGATIVE_ZERO, offset + 1)


# Adding and subtracting 1.5 * 2**52 rounds a double of magnitude below 2**51 to the nearest whole
# number, exactly. For v in [-1, 1] (the bounds rule runs first), v is a 12-decimal value exactly
# when it equals round(v * 1e12) / 1e12: the product is within 1e-3 of the decimal's integer
# numerator, and dividing that integer (below 2**53) by 1e12 gives the double nearest the decimal.
# That is float(f"{v:.12f}") == v, computed with three C-level operations per value.
_ROUND_TO_INTEGER = 6755399441055744.0
_TWELVE_PLACES = 1e12


def twelve_decimals(m: Measured) -> None:
    flat = m.flat
    scaled = map(operator.mul, flat, repeat(_TWELVE_PLACES))
    whole = map(
        operator.sub,
        map(operator.add, scaled, repeat(_ROUND_TO_INTEGER)),
        repeat(_ROUND_TO_INTEGER),
    )
    if list(map(operator.truediv, whole, repeat(_TWELVE_PLACES))) == flat:
        return
    index = next(i for i, v in enumerate(flat) if float(f"{v:.12f}") != v)
    raise fail(
        m.name,
        "12 decimals",
        f"{_where(index)} is {flat[index]!r}, not rounded to 12 decimal places",
    )


def unused_components_zero(m: Measured) -> None:
    axes = m.pattern.axes
    for axis in range(axes, 3):
        column = m.columns[axis]
        if column.count(0.0) != len(column):
            pip = next(k for k, v in enumerate(column) if v != 0.0)
            raise fail(
                m.name,
                "unused component",
                f"{AXIS_NAMES[axis]} is {column[pip]!r} at pip {pip}, but axes is {axes}",
            )


def last_used_component_varies(m: Measured) -> None:
    axis = m.pattern.axes - 1
    if m.lows[axis] == m.highs[axis]:
        raise fail(
            m.name,
            "last used component constant",
            f"{AXIS_NAMES[axis]} is {m.lows[axis]!r} throughout; axes counts up to the last "
            "component that moves",
        )


def x_varies(m: Measured) -> None:
    if m.pattern.axes == 2 and m.lows[0] == m.highs[0] and m.lows[0] != 0.0:
        raise fail(m.name, "x constant", f"x is {m.lows[0]!r} throughout; a still x must be 0.0")


def seamless_loop(m: Measured) -> None:
    if m.seam > m.largest_inner_step:
        raise fail(
            m.name,
            "seam",
            f"last entry to entry 0 is {m.seam!r}, "
            f"larger than the largest step {m.largest_inner_step!r}",
        )


def seam_ratio(m: Measured) -> None:
    ratio = m.pack.seam_ratio
    if ratio is not None and m.seam > ratio * m.largest_inner_step:
        raise fail(
            m.name,
            "seam ratio",
            f"last entry to entry 0 is {m.seam!r}, above {ratio!r} of the largest step "
            f"{m.largest_inner_step!r}",
        )


def stated_facts(m: Measured) -> None:
    for fact in m.pattern.facts:
        try:
            fact(m.table)
        except CheckError as error:
            message = str(error)
            if not message.startswith(m.name):
                message = f"{m.name}: {message}"
            raise CheckError(message) from None


RecordRule = Callable[[Measured], None]

RECORD_RULES: tuple[RecordRule, ...] = (
    name_form,
    name_prefix,
    name_not_procedural,
    description_length,
    description_characters,
    description_em_dash,
    description_en_dash,
    description_spacing,
    entry_count,
    entry_form,
    period_grid,
    axes_range,
    finite_in_range,
    no_negative_zero,
    twelve_decimals,
    unused_components_zero,
    last_used_component_varies,
    x_varies,
    seamless_loop,
    seam_ratio,
    stated_facts,
)


# --- across the catalogue ---------------------------------------------------------------------


def unique_names(measured: Sequence[Summary]) -> None:
    seen: set[str] = set()
    for m in measured:
        if m.name in seen:
            raise fail(m.name, "duplicate name", "another table already has this name")
        seen.add(m.name)


def unique_tables(measured: Sequence[Summary]) -> None:
    seen: dict[str, str] = {}
    for m in measured:
        key = m.digest
        if key in seen:
            raise fail(m.name, "duplicate table", f"identical to {seen[key]}")
        seen[key] = m.name


CATALOGUE_RULES = (unique_names, unique_tables)


# --- per pack ----------------------------------------------------------------------------------


def pack_count(pack: Pack, measured: Sequence[Summary]) -> None:
    if len(measured) != pack.count:
        raise fail(pack.key, "pack count", f"{len(measured)} tables, stated {pack.count}")


def pack_peak(pack: Pack, measured: Sequence[Summary]) -> None:
    peak = max(m.peak for m in measured)
    if peak != pack.peak:
        raise fail(pack.key, "pack peak", f"largest |component| is {peak!r}, stated {pack.peak!r}")


# A pack's largest step is a figure to meet, stated to four decimals: the largest step between
# neighbouring entries, seam included, lies within half a unit of the fourth decimal of it.
STEP_TOLERANCE = 5e-5


def pack_max_step(pack: Pack, measured: Sequence[Summary]) -> None:
    worst = max(measured, key=lambda m: m.largest_step)
    if not abs(worst.largest_step - pack.max_step) <= STEP_TOLERANCE:
        raise fail(
            pack.key,
            "pack largest step",
            f"{worst.largest_step!r} in {worst.name}, stated {pack.max_step!r} "
            f"(within {STEP_TOLERANCE})",
        )


def _count_rows(counts: Counter) -> dict[int, int]:
    """Counts as a plain dict in key order, so that a message lists them readably."""
    return dict(sorted(counts.items()))


def pack_periods(pack: Pack, measured: Sequence[Summary]) -> None:
    found = _count_rows(Counter(m.period for m in measured))
    if found != pack.periods:
        raise fail(pack.key, "pack periods", f"tables by period are {found}, stated {pack.periods}")


def pack_axes(pack: Pack, measured: Sequence[Summary]) -> None:
    found = _count_rows(Counter(m.axes for m in measured))
    if found != pack.axes:
        raise fail(pack.key, "pack axes", f"tables by axes are {found}, stated {pack.axes}")


def pack_origin_starts(pack: Pack, measured: Sequence[Summary]) -> None:
    if pack.origin_starts is None:
        return
    starts = [m.name for m in measured if m.first == ORIGIN]
    if len(starts) != pack.origin_starts:
        raise fail(
            pack.key,
            "pack origin starts",
            f"{len(starts)} tables start at the origin ({', '.join(starts[:5])}), "
            f"stated {pack.origin_starts}",
        )


def pack_exact_peaks(pack: Pack, measured: Sequence[Summary]) -> None:
    if pack.exact_peaks is None:
        return
    found = sum(1 for m in measured if m.peak == pack.peak)
    if found != pack.exact_peaks:
        lower = min(measured, key=lambda m: m.peak)
        raise fail(
            pack.key,
            "pack exact peaks",
            f"{found} tables reach {pack.peak!r} exactly, stated {pack.exact_peaks} "
            f"(the lowest peak is {lower.peak!r}, in {lower.name})",
        )


PACK_RULES = (
    pack_count,
    pack_peak,
    pack_max_step,
    pack_periods,
    pack_axes,
    pack_origin_starts,
    pack_exact_peaks,
)


# --- tables of a group that must not nearly copy one another ----------------------------------

TableOf = Callable[[str], Table]
PLANAR = (0, 1)  # x and y: what a pan/tilt head shows
EVERY_AXIS = (0, 1, 2)
MESSAGE_PAIRS = 40  # a failure names at most this many pairs, then counts the rest


def largest_gap(a: Table, b: Table, axes: Sequence[int] = EVERY_AXIS) -> float:
    """The largest difference of the given components between two tables at any pip, each table
    repeated as its loop repeats over their common length."""
    length = math.lcm(len(a), len(b))
    gap = 0.0
    for axis in axes:
        ca = tuple(e[axis] for e in a) * (length // len(a))
        cb = tuple(e[axis] for e in b) * (length // len(b))
        gap = max(gap, max(map(abs, map(operator.sub, ca, cb))))
    return gap


def near_copies(
    members: Sequence[Summary], table_of: TableOf, apart: float, axes: Sequence[int] = EVERY_AXIS
) -> list[tuple[str, str, float]]:
    """(name, name, largest gap) of every pair of members whose given components lie closer than
    `apart` at every pip. A pair whose lowest or highest value of an axis already differs by
    `apart` or more cannot be that close, so only the other pairs are compared pip by pip."""
    found = []
    for a, b in itertools.combinations(members, 2):
        if any(
            abs(a.lows[i] - b.lows[i]) >= apart or abs(a.highs[i] - b.highs[i]) >= apart
            for i in axes
        ):
            continue
        gap = largest_gap(table_of(a.name), table_of(b.name), axes)
        if gap < apart:
            found.append((a.name, b.name, gap))
    return found


def distinct_groups(packs: Sequence[Pack]) -> dict[Distinct, frozenset[str]]:
    """Every declared group, with the keys of the packs that declare it. A group declared
    differently by two packs is refused."""
    groups: dict[str, Distinct] = {}
    declaring: dict[Distinct, set[str]] = {}
    for pack in packs:
        for rule in pack.distinct:
            known = groups.setdefault(rule.group, rule)
            if known != rule:
                raise fail(rule.group, "distinct tables", f"declared as {known} and as {rule}")
            declaring.setdefault(rule, set()).add(pack.key)
    return {rule: frozenset(keys) for rule, keys in declaring.items()}


def group_members(rule: Distinct, packs: frozenset[str], summaries: Sequence[Summary]):
    return [m for m in summaries if m.pack in packs and m.name.endswith(rule.suffix)]


def _count(found: list) -> str:
    return "1 pair lies" if len(found) == 1 else f"{len(found)} pairs lie"


def _pairs(found: list[tuple[str, str, float]]) -> str:
    named = ", ".join(f"{a} ~ {b} ({gap:.4f})" for a, b, gap in found[:MESSAGE_PAIRS])
    more = len(found) - MESSAGE_PAIRS
    return named + (f" and {more} more" if more > 0 else "")


def distinct_tables(packs: Sequence[Pack], summaries: Sequence[Summary], table_of: TableOf) -> None:
    for rule, keys in distinct_groups(packs).items():
        members = group_members(rule, keys, summaries)
        found = near_copies(members, table_of, rule.apart)
        if found:
            raise fail(
                rule.group,
                "distinct tables",
                f"{_count(found)} within {rule.apart} of each other at every pip: " + _pairs(found),
            )
        if rule.planar is not None:
            found = near_copies(members, table_of, rule.planar, PLANAR)
            if found:
                raise fail(
                    rule.group,
                    "distinct tables",
                    f"{_count(found)} within {rule.planar} of each other in x and y at every "
                    "pip: " + _pairs(found),
                )


# --- the name index ----------------------------------------------------------------------------


def name_index_order(measured: Sequence[Summary], index: Sequence[int]) -> None:
    if sorted(index) != list(range(len(measured))):
        raise fail("catalogue_name_index", "name index", "not a permutation of the record indices")
    for before, after in zip(index, index[1:], strict=False):
        if not measured[before].name.encode() < measured[after].name.encode():
            raise fail(
                measured[after].name,
                "name index order",
                f"follows {measured[before].name} in the index but does not sort after it by bytes",
            )


# --- whole-catalogue totals, checked once every pack is present --------------------------------


def _totals_fail(rule: str, detail: str) -> CheckError:
    return fail("catalogue", rule, detail)


def total_records(t: Totals, measured: Sequence[Summary], index: Sequence[int]) -> None:
    if len(measured) != t.records:
        raise _totals_fail("record count", f"{len(measured)} tables, stated {t.records}")


def total_entries(t: Totals, measured: Sequence[Summary], index: Sequence[int]) -> None:
    entries = sum(m.period for m in measured)
    if entries != t.entries:
        raise _totals_fail("entry count", f"{entries} entries, stated {t.entries}")


def total_periods(t: Totals, measured: Sequence[Summary], index: Sequence[int]) -> None:
    found = _count_rows(Counter(m.period for m in measured))
    if found != t.periods:
        raise _totals_fail("periods", f"tables by period are {found}, stated {t.periods}")


def total_axes(t: Totals, measured: Sequence[Summary], index: Sequence[int]) -> None:
    found = _count_rows(Counter(m.axes for m in measured))
    if found != t.axes:
        raise _totals_fail("axes", f"tables by axes are {found}, stated {t.axes}")


def total_closed_seams(t: Totals, measured: Sequence[Summary], index: Sequence[int]) -> None:
    found = sum(1 for m in measured if m.last == m.first)
    if found != t.closed_seams:
        raise _totals_fail(
            "closed seams", f"{found} tables end on entry 0, stated {t.closed_seams}"
        )


def total_level_seams(t: Totals, measured: Sequence[Summary], index: Sequence[int]) -> None:
    if t.level_seams is None:
        return
    found = sum(1 for m in measured if m.seam == m.largest_inner_step)
    if found != t.level_seams:
        raise _totals_fail(
            "level seams",
            f"{found} tables have a seam equal to their largest step, stated {t.level_seams}",
        )


def total_origin_starts(t: Totals, measured: Sequence[Summary], index: Sequence[int]) -> None:
    found = sum(1 for m in measured if m.first == ORIGIN)
    if found != t.origin_starts:
        raise _totals_fail(
            "origin starts", f"{found} tables start at the origin, stated {t.origin_starts}"
        )


def total_peak(t: Totals, measured: Sequence[Summary], index: Sequence[int]) -> None:
    peak = max(m.peak for m in measured)
    reached = {m.name for m in measured if m.peak == peak}
    if peak != t.peak or reached != t.peak_tables:
        raise _totals_fail(
            "largest magnitude",
            f"{peak!r} reached by {sorted(reached)}, stated {t.peak!r} by {sorted(t.peak_tables)}",
        )


def total_largest_step(t: Totals, measured: Sequence[Summary], index: Sequence[int]) -> None:
    worst = max(measured, key=lambda m: m.largest_step)
    if f"{worst.largest_step:.4f}" != t.largest_step:
        raise _totals_fail(
            "largest step", f"{worst.largest_step!r} in {worst.name}, stated {t.largest_step}"
        )


def total_longest_entry(t: Totals, measured: Sequence[Summary], index: Sequence[int]) -> None:
    longest = max(measured, key=lambda m: m.longest_entry)
    if f"{longest.longest_entry:.2f}" != t.longest_entry or longest.name != t.longest_entry_table:
        raise _totals_fail(
            "longest entry",
            f"{longest.longest_entry!r} in {longest.name}, "
            f"stated {t.longest_entry} in {t.longest_entry_table}",
        )


def total_mean_range(t: Totals, measured: Sequence[Summary], index: Sequence[int]) -> None:
    means = [mean for m in measured for mean in m.axis_means]
    found = (f"{min(means):.3f}", f"{max(means):.3f}")
    if found != t.mean_range:
        raise _totals_fail(
            "axis means", f"per-axis means range over {found}, stated {t.mean_range}"
        )


def total_still_x(t: Totals, measured: Sequence[Summary], index: Sequence[int]) -> None:
    still = {m.name for m in measured if m.axes == 2 and m.lows[0] == m.highs[0] == 0.0}
    pack, prefix = t.still_x_family
    family = {m.name for m in measured if m.pack == pack and m.name.startswith(prefix)}
    expected = t.still_x_named | family
    if still != expected or len(still) != t.still_x:
        raise _totals_fail(
            "still x",
            f"{len(still)} axes-2 tables keep x at 0.0; unexpected {sorted(still - expected)}, "
            f"missing {sorted(expected - still)}; stated {t.still_x}",
        )


def total_index_head(t: Totals, measured: Sequence[Summary], index: Sequence[int]) -> None:
    head = tuple(measured[i].name for i in index[: len(t.index_head)])
    if head != t.index_head:
        raise _totals_fail("name index head", f"the index starts {head}, stated {t.index_head}")


def total_last_record(t: Totals, measured: Sequence[Summary], index: Sequence[int]) -> None:
    if measured[-1].name != t.last_record:
        raise _totals_fail("last record", f"{measured[-1].name}, stated {t.last_record}")


TOTAL_RULES = (
    total_records,
    total_entries,
    total_periods,
    total_axes,
    total_closed_seams,
    total_level_seams,
    total_origin_starts,
    total_peak,
    total_largest_step,
    total_longest_entry,
    total_mean_range,
    total_still_x,
    total_index_head,
    total_last_record,
)


# --- running them ------------------------------------------------------------------------------


def check_records(pack: Pack, records: Sequence[BakedRecord]) -> list[Summary]:
    """Runs every record rule on the tables of one pack; returns their summaries in order."""
    summaries = []
    for record in records:
        m = Measured(record, pack)
        for rule in RECORD_RULES:
            rule(m)
        summaries.append(m.summary())
    return summaries


def check_summaries(
    packs: Sequence[Pack],
    summaries: Sequence[Summary],
    index: Sequence[int],
    totals: Totals | None = None,
    table_of: TableOf | None = None,
) -> None:
    """Runs the catalogue, pack, name index and total rules on checked tables, in record order.

    `packs` are the present packs' declarations in catalogue order. The whole-catalogue totals
    are checked when they are stated and every pack they cover is present. `table_of` gives a
    checked table by name, for the groups that must not nearly copy one another; only the tables
    those groups compare pip by pip are asked for.
    """
    for catalogue_rule in CATALOGUE_RULES:
        catalogue_rule(summaries)

    known = {pack.key for pack in packs}
    for m in summaries:
        if m.pack not in known:
            raise fail(m.name, "pack", f"belongs to {m.pack!r}, which has no stated facts")
    for pack in packs:
        members = [m for m in summaries if m.pack == pack.key]
        if not members:
            raise fail(pack.key, "pack count", f"no tables, stated {pack.count}")
        for pack_rule in PACK_RULES:
            pack_rule(pack, members)
    if any(pack.distinct for pack in packs):
        if table_of is None:
            raise fail("catalogue", "distinct tables", "the tables to compare were not given")
        distinct_tables(packs, summaries, table_of)

    name_index_order(summaries, index)

    if totals is not None and set(totals.packs) <= known:
        for total_rule in TOTAL_RULES:
            total_rule(totals, summaries, index)


def check_catalogue(
    packs: Sequence[Pack],
    records: Sequence[BakedRecord],
    index: Sequence[int],
    totals: Totals | None = None,
) -> None:
    """Every rule over baked records in record order; raises CheckError at the first broken one."""
    declared = {pack.key: pack for pack in packs}
    summaries = []
    for record in records:
        pack = declared.get(record.pack)
        if pack is None:
            raise fail(
                record.name, "pack", f"belongs to {record.pack!r}, which has no stated facts"
            )
        summaries += check_records(pack, [record])
    tables = {record.name: record.table for record in records}
    check_summaries(packs, summaries, index, totals, tables.__getitem__)
