"""Patterns as arrays: a loop tabulated once through motiloom, then rendered by numpy gathers.

Tabulation calls motiloom once per pip of the loop and keeps the result, read-only, so a table is
bit for bit what per-pip sampling gives. Rendering reduces every pip into the loop first (any
pip, however large or negative, lands where the wrapped pip does) and then gathers rows; rate and
phase are applied in exact integer arithmetic, so whole pips stay exact at any rate.
"""

from __future__ import annotations

import functools
import operator
from collections.abc import Callable, Iterator
from fractions import Fraction
from itertools import chain, repeat
from typing import Any, Literal, TypeAlias

import motiloom
import numpy as np
from numpy.typing import ArrayLike, NDArray

from . import catalogue
from ._exact import Real, exact, positive
from .clock import PIPS_PER_BEAT, PipTimes

Interpolation: TypeAlias = Literal["none", "linear"]
Pips: TypeAlias = ArrayLike | PipTimes
Table: TypeAlias = NDArray[np.float64]

# Named musical divisions as rates: a dotted value lasts 3/2 as long, so its loop plays at 2/3
# speed; a triplet fits three into the time of two, so its loop plays at 3/2 speed.
NAMED_RATES: dict[str, Fraction] = {
    "double": Fraction(2),
    "half": Fraction(1, 2),
    "third": Fraction(1, 3),
    "dotted": Fraction(2, 3),
    "triplet": Fraction(3, 2),
}
# Rate and phase are folded into int64 arithmetic; finer fractions than this are refused.
_INT64_SAFE = 2**62
# Rows rendered per step (see Pattern.render).
_BLOCK = 4096
_AS_TUPLE = motiloom.Offset3.as_tuple


def parse_rate(rate: Real | str) -> Fraction:
    """A playback rate as an exact Fraction: a number, a string such as "3/2" or "0.5", or one
    of the names in `NAMED_RATES` ("dotted", "triplet", ...). Must be above zero."""
    if isinstance(rate, str) and rate.strip().lower() in NAMED_RATES:
        return NAMED_RATES[rate.strip().lower()]
    return positive(rate, "rate")


class _Source:
    """What a pattern is made of: its catalogue fields and a way to sample many pips; the
    table is made on first use and shared by every view of the pattern."""

    def __init__(
        self,
        entry: catalogue.Entry | None,
        name: str,
        description: str,
        period: int,
        sample_all: Callable[[range], Iterator[motiloom.Offset3]],
        kind: catalogue.Kind,
    ) -> None:
        self.name = name
        self.description = description
        self.period = period
        self.kind = kind
        self.entry = entry
        self._sample_all = sample_all
        self._table: Table | None = None
        self._slopes: Table | None = None
        self._negative_zero = False

    def table(self) -> Table:
        if self._table is None:
            period = self.period
            values = chain.from_iterable(map(_AS_TUPLE, self._sample_all(range(period))))
            flat = np.fromiter(values, dtype=np.float64, count=3 * period)
            table = flat.reshape(period, 3)
            table.flags.writeable = False
            self._negative_zero = bool(np.any((table == 0) & np.signbit(table)))
            self._table = table
        return self._table

    def slopes(self) -> Table:
        """Row k + 1 minus row k (the last row's successor is row 0), for interpolation."""
        if self._slopes is None:
            table = self.table()
            self._slopes = np.roll(table, -1, axis=0) - table
        return self._slopes

    @functools.cached_property
    def dimensions(self) -> int:
        if self.entry is not None:
            return self.entry.dimensions
        # A caller's SampledPattern does not report its axes; count them as motiloom does.
        table = self.table()
        return 3 if np.any(table[:, 2] != 0) else 2 if np.any(table[:, 1] != 0) else 1


@functools.cache
def _builtin(name: str) -> _Source:
    entry = catalogue.lookup(name)
    sample = motiloom.sample

    def sample_all(pips: range) -> Iterator[motiloom.Offset3]:
        return map(sample, repeat(name, len(pips)), pips)

    return _Source(entry, name, entry.description, entry.period_pips, sample_all, entry.kind)


def _from_library(name: str, library: motiloom.PatternLibrary) -> _Source:
    listing = library.catalogue()
    own = [item for item in listing if item["name"] == name]
    if not own:
        raise catalogue.unknown_name(name, (item["name"] for item in listing))
    if catalogue.find(name) is not None:
        return _builtin(name)  # the library answers built-in names with the built-in
    item = own[-1]

    def sample_all(pips: range) -> Iterator[motiloom.Offset3]:
        return map(library.sample, repeat(name, len(pips)), pips)

    entry = catalogue.Entry(
        name,
        item["description"],
        item["period_pips"],
        item["dimensions"],
        "caller",
        None,
        catalogue.family_of(name, "caller"),
    )
    return _Source(entry, name, entry.description, entry.period_pips, sample_all, "caller")


def _from_sampled(source: motiloom.SampledPattern) -> _Source:
    def sample_all(pips: range) -> Iterator[motiloom.Offset3]:
        return map(source.sample, pips)

    return _Source(None, source.name, source.description, source.period_pips, sample_all, "caller")


def pattern(
    source: str | motiloom.SampledPattern,
    *,
    library: motiloom.PatternLibrary | None = None,
    rate: Real | str = 1,
    phase_beats: Real | str = 0,
) -> Pattern:
    """The pattern called `source` (any built-in name, procedural or baked), or one of the
    caller's own patterns: a `SampledPattern`, or a name that `library` knows.

    A name that nothing has raises `UnknownPatternError` (a ValueError) with motiloom's message
    and the closest names. Built-in tables are made once per process and shared."""
    if isinstance(source, motiloom.SampledPattern):
        made = _from_sampled(source)
    elif not isinstance(source, str):
        raise TypeError(f"a pattern is named by a str or given as a SampledPattern, not {source!r}")
    elif library is not None:
        made = _from_library(source, library)
    else:
        made = _builtin(source)
    return Pattern(made, parse_rate(rate), beats_to_phase(phase_beats))


def beats_to_phase(beats: Real | str) -> Fraction:
    return exact(beats, "phase") * PIPS_PER_BEAT


class Pattern:
    """A looping pattern seen as arrays: one row (x, y, z) per pip of its loop.

    `table()` is the loop itself; `render(pips)` gives the rows at any pips, after the pattern's
    `rate` (how many of its own pips pass per pip of the timeline) and `phase` (how far into its
    loop it starts, in its own pips) are applied: row(p) = loop(p * rate + phase). Patterns are
    immutable; `with_rate`, `with_phase` and `shifted` return new views sharing one table."""

    __slots__ = ("_source", "_rate", "_phase")

    def __init__(self, source: _Source, rate: Fraction, phase: Fraction) -> None:
        self._source = source
        self._rate = rate
        self._phase = phase % source.period
        # The exact path works on numerators of at most rate.den * period * rate.num * phase.den.
        span = rate.denominator * source.period * rate.numerator * self._phase.denominator
        if span + self._phase.numerator * rate.denominator >= _INT64_SAFE:
            raise ValueError(f"rate {rate} and phase {self._phase} are too fine to apply exactly")

    def __repr__(self) -> str:
        return f"<Pattern {self.name!r} period={self.period} rate={self._rate} phase={self._phase}>"

    @property
    def name(self) -> str:
        """The pattern's name."""
        return self._source.name

    @property
    def description(self) -> str:
        """The pattern's one-paragraph description."""
        return self._source.description

    @property
    def period(self) -> int:
        """The length of the loop in the pattern's own pips."""
        return self._source.period

    @property
    def dimensions(self) -> int:
        """How many leading components (x, then y, then z) the pattern uses."""
        return self._source.dimensions

    @property
    def kind(self) -> catalogue.Kind:
        """The kind of pattern: "procedural", "baked" or "caller"."""
        return self._source.kind

    @property
    def entry(self) -> catalogue.Entry | None:
        """The catalogue entry (with pack and family), None for a bare SampledPattern."""
        return self._source.entry

    @property
    def rate(self) -> Fraction:
        """Pattern pips per timeline pip: 2 plays twice as fast, 1/2 half as fast."""
        return self._rate

    @property
    def phase(self) -> Fraction:
        """Where in its loop the pattern is at pip 0, in its own pips, within [0, period)."""
        return self._phase

    @property
    def loop_pips(self) -> Fraction:
        """The length of one loop on the timeline: period / rate."""
        return self.period / self._rate

    def table(self) -> Table:
        """The loop as a read-only (period, 3) float64 array: row k is motiloom's value at pip k,
        bit for bit. Rate and phase do not apply here."""
        return self._source.table()

    def with_rate(self, rate: Real | str) -> Pattern:
        """The same pattern played at `rate` (see `parse_rate`); the phase is kept."""
        return Pattern(self._source, parse_rate(rate), self._phase)

    def with_phase(
        self, *, beats: Real | str | None = None, loop: Real | str | None = None
    ) -> Pattern:
        """The same pattern started `beats` beats, or the fraction `loop` of its loop, further
        into its cycle. Exactly one of the two is given."""
        if (beats is None) == (loop is None):
            raise TypeError("give exactly one of beats= and loop=")
        if beats is not None:
            return Pattern(self._source, self._rate, beats_to_phase(beats))
        assert loop is not None
        return Pattern(self._source, self._rate, exact(loop, "loop") * self.period)

    def shifted(self, loop: Real | str) -> Pattern:
        """This pattern moved a further fraction `loop` of its loop ahead (phase is added)."""
        return Pattern(self._source, self._rate, self._phase + exact(loop, "loop") * self.period)

    def at(self, pip: int | float) -> tuple[float, float, float]:
        """One position, for one pip (whole or fractional, floored)."""
        row = self.render(np.asarray([pip]))[0]
        return (float(row[0]), float(row[1]), float(row[2]))

    def render(self, pips: Pips, interpolate: Interpolation = "none") -> Table:
        """The positions at `pips`: an array of shape pips.shape + (3,).

        `pips` holds whole pips (ints of any size, Python or numpy), fractional pips (floats),
        or a `PipTimes` from a `Clock`. With interpolate="none" a fractional position takes the
        row of its whole pip; with "linear" it lies on the straight line to the next row, and
        at whole pips it is that row exactly."""
        if interpolate not in ("none", "linear"):
            raise ValueError(f'interpolate must be "none" or "linear", not {interpolate!r}')
        table = self.table()
        # Shifting a pip by rate.den * period moves the loop by a whole number of periods.
        modulus = self._rate.denominator * self.period
        whole, fraction = _split(pips, modulus)
        linear = interpolate == "linear" and fraction is not None
        out = np.empty(whole.shape + (3,))
        rows = out.reshape(-1, 3)
        wholes = whole.reshape(-1)
        parts = fraction.reshape(-1) if fraction is not None else None
        # A block at a time: the temporaries stay small enough for the allocator to keep reusing
        # them, where whole-array temporaries would be fresh memory, page-faulted in every call.
        # Most loops are a power of two long; then the reduction is a mask, not a division.
        mask = modulus - 1 if modulus & (modulus - 1) == 0 else 0
        for start in range(0, len(wholes), _BLOCK):
            stop = start + _BLOCK
            if mask:
                reduced = np.bitwise_and(wholes[start:stop], mask)
            else:
                reduced = np.mod(wholes[start:stop], modulus)
            part = parts[start:stop] if parts is not None else None
            if self._rate != 1 or self._phase != 0:
                reduced, part = self._advance(reduced, part)
            if linear and part is not None:
                self._linear(table, reduced, part, rows[start:stop])
            else:
                np.take(table, reduced, axis=0, out=rows[start:stop], mode="clip")
        return out

    def _advance(
        self, whole: NDArray[np.int64], fraction: NDArray[np.float64] | None
    ) -> tuple[NDArray[np.int64], NDArray[np.float64]]:
        """Loop index and fraction of pip * rate + phase for whole pips already reduced below
        rate.den * period, exact for the whole pips."""
        a, b = self._rate.numerator, self._rate.denominator
        c, d = self._phase.numerator, self._phase.denominator
        numerator = whole * (a * d) + c * b
        denominator = b * d
        base = numerator // denominator
        part = (numerator - base * denominator) / denominator
        if fraction is not None:
            part += fraction * (a / b)
            carry = np.floor(part)
            base += carry.astype(np.int64)
            part -= carry
        return np.mod(base, self.period), part

    def _linear(
        self, table: Table, index: NDArray[np.int64], part: NDArray[np.float64], out: Table
    ) -> None:
        # row + (next row - row) * part, the differences tabulated once; every pass runs over a
        # contiguous array (multiplying by a (n, 1) broadcast is much slower).
        np.take(self._source.slopes(), index, axis=0, out=out, mode="clip")
        out *= np.repeat(part, 3).reshape(out.shape)
        out += np.take(table, index, axis=0, mode="clip")
        if self._source._negative_zero:
            # 0 * step + row turns a stored -0.0 into +0.0; keep whole pips bit-exact.
            whole = np.flatnonzero(part == 0)
            out[whole] = table[index[whole]]


def _split(pips: Pips, modulus: int) -> tuple[NDArray[np.int64], NDArray[np.float64] | None]:
    """Whole pips as int64 (those beyond its range already reduced modulo `modulus`), and the
    fractional parts (None when every pip is whole)."""
    if isinstance(pips, PipTimes):
        return pips.whole, (pips.fraction if np.any(pips.fraction) else None)
    values = np.asarray(pips)
    kind = values.dtype.kind
    if kind == "i":
        return values.astype(np.int64, copy=False), None
    if kind == "u":
        reduced = np.mod(values.astype(np.uint64, copy=False), np.uint64(modulus))
        return reduced.astype(np.int64), None
    if kind == "f":
        if not np.all(np.isfinite(values)):
            raise ValueError("pips must be finite")
        floor = np.floor(values)
        fraction = (values - floor).astype(np.float64)
        whole = np.mod(floor, modulus).astype(np.int64)
        return whole, (fraction if np.any(fraction) else None)
    if kind == "O":
        return _split_objects(values, modulus), None
    raise TypeError(f"pips must be integers or floats, not {values.dtype}")


def _split_objects(values: NDArray[Any], modulus: int) -> NDArray[np.int64]:
    """Python ints of any size, reduced one by one."""
    try:
        reduced = [operator.index(v) % modulus for v in values.ravel().tolist()]
    except TypeError:
        raise TypeError("pips must be integers or floats") from None
    return np.asarray(reduced, dtype=np.int64).reshape(values.shape)
