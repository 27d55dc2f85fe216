"""Patterns as arrays: a loop's table, then numpy gathers from it for any pips.

A baked table is a read-only view of the table the extension itself holds, found through the
kit's native module (nothing is copied, and it is bit for bit what `motiloom.sample` returns); a
procedural rudiment is tabulated once through its function, and a caller's pattern is copied out
of its object in one step. Without the native module every table is read one pip at a time
through the public API, with the same result.

Rendering reduces every pip into the loop first (any pip, however large or negative, lands where
the wrapped pip does) and then gathers rows; rate and phase are applied in exact integer
arithmetic, so whole pips stay exact at any rate. `Patterns` renders many patterns at once, with
the same arithmetic written over arrays of patterns, so that a frame of a whole rig is one gather.
"""

from __future__ import annotations

import functools
import math
import operator
import weakref
from collections.abc import Callable, Iterable
from fractions import Fraction
from itertools import chain
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
_OFFSET3_BYTES = 24
_ONE, _ZERO = Fraction(1), Fraction(0)
_AS_TUPLE = motiloom.Offset3.as_tuple


def parse_rate(rate: Real | str) -> Fraction:
    """A playback rate as an exact Fraction: a number, a string such as "3/2" or "0.5", or one
    of the names in `NAMED_RATES` ("dotted", "triplet", ...). Must be above zero."""
    if isinstance(rate, str) and rate.strip().lower() in NAMED_RATES:
        return NAMED_RATES[rate.strip().lower()]
    return positive(rate, "rate")


def _read_only(table: Table) -> Table:
    table.flags.writeable = False
    return table


def _per_pip(sample: Callable[[int], motiloom.Offset3], period: int) -> Table:
    """A loop read one pip at a time: the public API's way to a table."""
    values = chain.from_iterable(map(_AS_TUPLE, map(sample, range(period))))
    return _read_only(np.fromiter(values, dtype=np.float64, count=3 * period).reshape(period, 3))


def _from_bytes(samples: bytes) -> Table:
    """A loop copied out of a caller's pattern: its positions as packed doubles."""
    return np.frombuffer(samples, dtype=np.float64).reshape(len(samples) // _OFFSET3_BYTES, 3)


class _Source:
    """What a pattern is made of: its catalogue entry and its table, made on first use and
    shared by every view of the pattern."""

    __slots__ = ("entry", "_make", "_table", "_slopes", "_negative_zero", "plain")

    def __init__(self, entry: catalogue.Entry, make: Callable[[], Table]) -> None:
        self.entry = entry
        self._make = make
        self._table: Table | None = None
        self._slopes: Table | None = None
        self._negative_zero: bool | None = None
        self.plain: Pattern | None = None  # the view at rate 1 and phase 0, made once

    @property
    def period(self) -> int:
        return self.entry.period_pips

    def table(self) -> Table:
        if self._table is None:
            table = self._make()
            if table.shape != (self.period, 3):
                raise RuntimeError(f"{self.entry.name}: a table of {table.shape[0]} rows")
            self._table = table
        return self._table

    @property
    def negative_zero(self) -> bool:
        """Whether the table holds a -0.0, which interpolation must take care to keep."""
        if self._negative_zero is None:
            table = self.table()
            self._negative_zero = bool(np.any((table == 0) & np.signbit(table)))
        return self._negative_zero

    def slopes(self) -> Table:
        """Row k + 1 minus row k (the last row's successor is row 0), for interpolation."""
        if self._slopes is None:
            table = self.table()
            self._slopes = _read_only(np.roll(table, -1, axis=0) - table)
        return self._slopes


@functools.cache
def _baked_sources() -> dict[str, _Source]:
    """A source for every baked table, each a view of the table the extension itself holds
    (nothing on the public path)."""
    build = catalogue.native()
    if build is None:
        return {}
    baked = [e for e in catalogue.entries() if e.kind == "baked"]
    return {
        entry.name: _Source(entry, functools.partial(np.asarray, view))
        for entry, view in zip(baked, build.tables(), strict=True)
    }


@functools.cache
def _builtin(name: str) -> _Source:
    made = _baked_sources().get(name)
    if made is not None:
        return made
    entry = catalogue.lookup(name)
    if entry.kind == "procedural":
        function = getattr(motiloom, name)
        return _Source(entry, lambda: _per_pip(function, entry.period_pips))
    return _Source(
        entry, lambda: _per_pip(lambda pip: motiloom.sample(name, pip), entry.period_pips)
    )


def _caller(name: str, description: bytes | str, axes: int, samples: bytes) -> _Source:
    """A caller's pattern from its contents. A description that is not UTF-8 keeps its bytes,
    escaped, rather than hiding the pattern."""
    if isinstance(description, bytes):
        description = description.decode("utf-8", "backslashreplace")
    period = len(samples) // _OFFSET3_BYTES
    entry = catalogue.Entry(name, description, period, axes, "caller", None, None)
    return _Source(entry, lambda: _from_bytes(samples))


# Listings of libraries read through the public API, each made once per library.
_LISTINGS: weakref.WeakKeyDictionary[motiloom.PatternLibrary, dict[str, Any]] = (
    weakref.WeakKeyDictionary()
)


def _library_listing(library: motiloom.PatternLibrary) -> dict[str, Any]:
    listing = _LISTINGS.get(library)
    if listing is None:
        listing = {item["name"]: item for item in library.catalogue()}
        _LISTINGS[library] = listing
    return listing


def _from_library(name: str, library: motiloom.PatternLibrary) -> _Source:
    if catalogue.find(name) is not None:
        return _builtin(name)  # the library answers built-in names with the built-in
    build = catalogue.native()
    if build is not None:
        found = build.library_pattern(library, name)
        if found is None:
            names = chain(build.library_names(library), (e.name for e in catalogue.entries()))
            raise catalogue.unknown_name(name, names)
        return _caller(*found)
    listing = _library_listing(library)
    item = listing.get(name)
    if item is None:
        raise catalogue.unknown_name(name, listing)
    entry = catalogue.Entry(
        name, item["description"], item["period_pips"], item["dimensions"], "caller", None, None
    )
    return _Source(
        entry, lambda: _per_pip(lambda pip: library.sample(name, pip), item["period_pips"])
    )


def _from_sampled(source: motiloom.SampledPattern) -> _Source:
    build = catalogue.native()
    if build is not None:
        return _caller(*build.pattern_contents(source))
    period = source.period_pips
    table = _per_pip(source.sample, period)
    axes = 3 if np.any(table[:, 2] != 0) else 2 if np.any(table[:, 1] != 0) else 1
    entry = catalogue.Entry(source.name, source.description, period, axes, "caller", None, None)
    return _Source(entry, lambda: table)


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
    if isinstance(source, str):
        made = _from_library(source, library) if library is not None else _builtin(source)
    elif isinstance(source, motiloom.SampledPattern):
        made = _from_sampled(source)
    else:
        raise TypeError(f"a pattern is named by a str or given as a SampledPattern, not {source!r}")
    if type(rate) is int and type(phase_beats) is int and rate == 1 and phase_beats == 0:
        return made.plain if made.plain is not None else Pattern._plain(made)
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

    @classmethod
    def _plain(cls, source: _Source) -> Pattern:
        """The view at rate 1 and phase 0, made once per source (no arithmetic to check)."""
        made = cls.__new__(cls)
        made._source, made._rate, made._phase = source, _ONE, _ZERO
        source.plain = made
        return made

    def __repr__(self) -> str:
        return f"<Pattern {self.name!r} period={self.period} rate={self._rate} phase={self._phase}>"

    @property
    def name(self) -> str:
        """The pattern's name."""
        return self._source.entry.name

    @property
    def description(self) -> str:
        """The pattern's one-paragraph description."""
        return self._source.entry.description

    @property
    def period(self) -> int:
        """The length of the loop in the pattern's own pips."""
        return self._source.entry.period_pips

    @property
    def dimensions(self) -> int:
        """How many leading components (x, then y, then z) the pattern uses."""
        return self._source.entry.dimensions

    @property
    def kind(self) -> catalogue.Kind:
        """The kind of pattern: "procedural", "baked" or "caller"."""
        return self._source.entry.kind

    @property
    def entry(self) -> catalogue.Entry:
        """The catalogue entry, with pack and family (None for a caller's own pattern)."""
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

    def retimed(self, rate: Real | str, at: Real | str) -> Pattern:
        """The same pattern at `rate` from pip `at` on, going on from where it is there: its
        loop position at `at` is unchanged (a rate change without a jump)."""
        new = parse_rate(rate)
        pip = exact(at, "at")
        return Pattern(self._source, new, pip * self._rate + self._phase - pip * new)

    def shifted(self, loop: Real | str) -> Pattern:
        """This pattern moved a further fraction `loop` of its loop ahead (phase is added)."""
        return Pattern(self._source, self._rate, self._phase + exact(loop, "loop") * self.period)

    def at(self, pip: int | float) -> tuple[float, float, float]:
        """One position, for one pip (whole or fractional, floored)."""
        row = self.render(np.asarray([pip]))[0]
        return (float(row[0]), float(row[1]), float(row[2]))

    def render(
        self, pips: Pips, interpolate: Interpolation = "none", *, out: Table | None = None
    ) -> Table:
        """The positions at `pips`: an array of shape pips.shape + (3,), written into `out`
        when it is given (a float64 array of that shape).

        `pips` holds whole pips (ints of any size, Python or numpy), fractional pips (floats),
        or a `PipTimes` from a `Clock`. A position in the loop (the pip after rate and phase)
        that falls between two rows takes, with interpolate="none", the row before it; with
        "linear" it lies on the straight line to the next row. A position on a row is that row
        exactly."""
        _check_interpolation(interpolate)
        table = self.table()
        # Shifting a pip by rate.den * period moves the loop by a whole number of periods.
        modulus = self._rate.denominator * self.period
        whole, fraction = _split(pips, modulus)
        linear = interpolate == "linear"
        out = _output(out, whole.shape + (3,))
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
                reduced, part = self._advance(reduced, part, linear)
            if linear and part is not None:
                _linear(self._source, reduced, part, rows[start:stop])
            else:
                np.take(table, reduced, axis=0, out=rows[start:stop], mode="clip")
        return out

    def _advance(
        self, whole: NDArray[np.int64], fraction: NDArray[np.float64] | None, need_part: bool
    ) -> tuple[NDArray[np.int64], NDArray[np.float64] | None]:
        """Loop index and fraction of pip * rate + phase for whole pips already reduced below
        rate.den * period, exact for the whole pips."""
        a, b = self._rate.numerator, self._rate.denominator
        c, d = self._phase.numerator, self._phase.denominator
        return _advance(whole, fraction, a * d, c * b, b * d, a / b, self.period, need_part)


def _advance(
    whole: NDArray[np.int64],
    fraction: NDArray[np.float64] | None,
    scale: Any,
    shift: Any,
    denominator: Any,
    rate: Any,
    period: Any,
    need_part: bool = True,
) -> tuple[NDArray[np.int64], NDArray[np.float64] | None]:
    """The loop index and the fraction past it of (whole * scale + shift) / denominator, plus
    fraction * rate: exact for whole pips. The arguments are numbers, or arrays that broadcast
    against `whole` (one value per pattern). Without a fraction, the fraction past the index is
    worked out only when `need_part` asks for it (None otherwise)."""
    numerator = whole * scale
    numerator += shift
    if fraction is None and not need_part:
        return np.mod(numerator // denominator, period), None
    base, rest = np.divmod(numerator, denominator)
    part = rest / denominator
    if fraction is not None:
        part += fraction * rate
        carry, part = np.divmod(part, 1.0)
        base += carry.astype(np.int64)
    return np.mod(base, period), part


def _linear(
    source: _Source, index: NDArray[np.int64], part: NDArray[np.float64], out: Table
) -> None:
    # row + (next row - row) * part, the differences tabulated once; every pass runs over a
    # contiguous array (multiplying by a (n, 1) broadcast is much slower).
    np.take(source.slopes(), index, axis=0, out=out, mode="clip")
    out *= np.repeat(part, 3).reshape(out.shape)
    out += np.take(source.table(), index, axis=0, mode="clip")
    if source.negative_zero:
        # 0 * step + row turns a stored -0.0 into +0.0; keep whole pips bit-exact.
        whole = np.flatnonzero(part == 0)
        out[whole] = source.table()[index[whole]]


class Patterns:
    """Many patterns rendered together: one frame (or many) for all of them from one gather.

    The patterns' tables are laid end to end in one array and each pattern's rate and phase
    become arrays over the patterns, so that rendering costs the same few numpy steps for one
    pattern or for a rig of hundreds. Row for row the result is what each pattern's own `render`
    gives, bit for bit."""

    __slots__ = ("_patterns", "_sources", "_table", "_slopes", "_negative_zero", "_offset",
                 "_period", "_modulus", "_scale", "_shift", "_denominator", "_rate", "_plain",
                 "_common")  # fmt: skip

    def __init__(self, patterns: Iterable[Pattern]) -> None:
        self._patterns = tuple(patterns)
        if not self._patterns:
            raise ValueError("Patterns needs at least one pattern")
        for p in self._patterns:
            if not isinstance(p, Pattern):
                raise TypeError(f"Patterns holds Pattern objects, not {p!r}")
        # Each distinct table once, in the order first met.
        sources: dict[int, _Source] = {}
        for p in self._patterns:
            sources.setdefault(id(p._source), p._source)
        self._sources = tuple(sources.values())
        starts = np.cumsum([0] + [s.period for s in self._sources]).tolist()
        start_of = dict(zip(sources, starts, strict=False))
        self._table = _read_only(np.concatenate([s.table() for s in self._sources]))
        self._slopes: Table | None = None
        self._negative_zero = any(s.negative_zero for s in self._sources)
        self._offset = np.array([start_of[id(p._source)] for p in self._patterns], dtype=np.int64)
        # Per pattern, as in Pattern.render: rate a/b, phase c/d, position (pip * a * d + c * b)
        # / (b * d), and pips that differ by b * period land on the same row.
        a, b, c, d = (
            np.array(values, dtype=np.int64)
            for values in zip(
                *[(p.rate.numerator, p.rate.denominator, p.phase.numerator, p.phase.denominator)
                  for p in self._patterns],
                strict=True,
            )
        )  # fmt: skip
        self._period = np.array([p.period for p in self._patterns], dtype=np.int64)
        self._modulus = b * self._period
        self._scale, self._shift, self._denominator = a * d, c * b, b * d
        self._rate = np.array([p.rate.numerator / p.rate.denominator for p in self._patterns])
        # Every modulus divides this one, so one reduction of a pip serves every pattern.
        common = math.lcm(*self._modulus.tolist())
        self._common = common if common < _INT64_SAFE else 0
        # Rate 1 and whole-pip phases: the loop index is the pip plus the phase.
        self._plain = bool(np.all((a == 1) & (b == 1) & (d == 1)))

    def __len__(self) -> int:
        return len(self._patterns)

    def __getitem__(self, index: int) -> Pattern:
        return self._patterns[index]

    @property
    def patterns(self) -> tuple[Pattern, ...]:
        """The patterns, in order."""
        return self._patterns

    def rows(self, pips: Pips) -> NDArray[np.int64]:
        """The row of its loop that each pattern shows at `pips` (rendered with interpolate
        "none"): an array of shape pips.shape + (N,)."""
        index, _, shape = self._rows(pips, False)
        return index.reshape(shape + (len(self._patterns),))

    def _rows(
        self, pips: Pips, linear: bool
    ) -> tuple[NDArray[np.int64], NDArray[np.float64] | None, tuple[int, ...]]:
        """Loop rows (n, N), the fraction past them (when there is one and `linear` needs it)
        and the shape of `pips`."""
        if self._common:
            whole, fraction = _split(pips, self._common)
            shape = whole.shape
            whole = whole.reshape(-1, 1)
        else:  # moduli too unlike to share one: each pattern's pips reduced on their own
            whole, fraction, shape = _split_each(pips, self._modulus)
        if fraction is not None:
            fraction = fraction.reshape(-1, 1)
        reduced = np.mod(whole, self._modulus)
        if self._plain:
            index = reduced + self._shift
            np.mod(index, self._period, out=index)
            part = None if fraction is None else np.broadcast_to(fraction, index.shape)
            return index, part, shape
        index, part = _advance(reduced, fraction, self._scale, self._shift,
                               self._denominator, self._rate, self._period, linear)  # fmt: skip
        return index, part, shape

    def render(
        self, pips: Pips, interpolate: Interpolation = "none", *, out: Table | None = None
    ) -> Table:
        """The positions of every pattern at `pips`: an array of shape pips.shape + (N, 3), N
        the number of patterns, written into `out` when given. Pattern k's rows are exactly
        `patterns[k].render(pips, interpolate)`."""
        _check_interpolation(interpolate)
        linear = interpolate == "linear"
        index, part, shape = self._rows(pips, linear)
        index += self._offset
        flat = index.reshape(-1)
        if out is None and not (linear and part is not None):
            return np.take(self._table, flat, axis=0).reshape(shape + (len(self._patterns), 3))
        out = _output(out, shape + (len(self._patterns), 3))
        rows = out.reshape(-1, 3)
        if linear and part is not None:
            if self._slopes is None:
                self._slopes = _read_only(
                    np.concatenate([s.slopes() for s in self._sources])
                )  # fmt: skip
            np.take(self._slopes, flat, axis=0, out=rows, mode="clip")
            parts = np.ascontiguousarray(part).reshape(-1)
            rows *= np.repeat(parts, 3).reshape(rows.shape)
            rows += np.take(self._table, flat, axis=0, mode="clip")
            if self._negative_zero:
                at_pip = np.flatnonzero(parts == 0)
                rows[at_pip] = self._table[flat[at_pip]]
        else:
            np.take(self._table, flat, axis=0, out=rows, mode="clip")
        return out


def _check_interpolation(interpolate: str) -> None:
    if interpolate not in ("none", "linear"):
        raise ValueError(f'interpolate must be "none" or "linear", not {interpolate!r}')


def _output(out: Table | None, shape: tuple[int, ...]) -> Table:
    if out is None:
        return np.empty(shape)
    if not isinstance(out, np.ndarray) or out.shape != shape or out.dtype != np.float64:
        raise ValueError(f"out must be a float64 array of shape {shape}")
    if not out.flags.c_contiguous or not out.flags.writeable:
        raise ValueError("out must be a writeable, C-contiguous array")
    return out


def _split(pips: Pips, modulus: int) -> tuple[NDArray[np.int64], NDArray[np.float64] | None]:
    """Whole pips as int64 (those beyond its range already reduced modulo `modulus`), and the
    fractional parts (None when every pip is whole)."""
    if isinstance(pips, PipTimes):
        return pips.whole, (pips.fraction if pips.fraction.any() else None)
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


def _split_each(
    pips: Pips, moduli: NDArray[np.int64]
) -> tuple[NDArray[np.int64], NDArray[np.float64] | None, tuple[int, ...]]:
    """Whole pips reduced modulo each of `moduli`, as an (n, len(moduli)) int64 array, the
    fractional parts (n,) or None, and the shape of `pips`."""
    if isinstance(pips, PipTimes):
        values: NDArray[Any] = pips.whole
        fraction = pips.fraction.reshape(-1) if np.any(pips.fraction) else None
    else:
        values = np.asarray(pips)
        fraction = None
        if values.dtype.kind == "f":
            if not np.all(np.isfinite(values)):
                raise ValueError("pips must be finite")
            floor = np.floor(values)
            parts = (values - floor).reshape(-1)
            fraction = parts if np.any(parts) else None
            values = floor
        elif values.dtype.kind == "u":
            values = values.astype(object)  # numpy has no exact uint64-by-int64 remainder
        elif values.dtype.kind not in "iO":
            raise TypeError(f"pips must be integers or floats, not {values.dtype}")
    if values.dtype.kind == "O":
        try:
            flat = [operator.index(v) for v in values.ravel().tolist()]
        except TypeError:
            raise TypeError("pips must be integers or floats") from None
        rows = [[v % m for m in moduli.tolist()] for v in flat]
        whole = np.array(rows, dtype=np.int64).reshape(len(flat), len(moduli))
    else:  # exact: a float beyond 2**53 is a whole number, and fmod is exact
        whole = np.mod(values.reshape(-1, 1), moduli).astype(np.int64)
    return whole, fraction, values.shape


def _split_objects(values: NDArray[Any], modulus: int) -> NDArray[np.int64]:
    """Python ints of any size, reduced one by one."""
    try:
        reduced = [operator.index(v) % modulus for v in values.ravel().tolist()]
    except TypeError:
        raise TypeError("pips must be integers or floats") from None
    return np.asarray(reduced, dtype=np.int64).reshape(values.shape)
