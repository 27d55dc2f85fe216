"""Fixture output: pattern components mapped onto a fixture's ranges, in degrees and in DMX.

An `AxisRange` takes one component of a pattern (x, y or z, each in [-1, 1]) onto a physical
range such as a pan of 0 to 540 degrees: the pattern's 0 lands on `centre` and its -1 .. +1 spans
`size`, reversed if `invert`. Positions beyond the range stop at its ends, as the fixture does.
DMX values follow the same line: the low end of the range is 0 and the high end 255 (8 bit) or
65535 (16 bit, sent as a coarse and a fine channel).

`Heads` does this for many heads at once, each with its own ranges, in the same few numpy steps
whatever their number; a single `Head` is the case of one.
"""

from __future__ import annotations

import functools
import math
import warnings
from collections.abc import Sequence
from dataclasses import dataclass, replace
from typing import Any, Literal, TypeAlias

import numpy as np
from numpy.typing import ArrayLike, NDArray

from ._exact import Real, positive
from .patterns import Pattern, Patterns, Pips

Component: TypeAlias = Literal["x", "y", "z"]
_COMPONENTS: dict[str, int] = {"x": 0, "y": 1, "z": 2}


class SpeedWarning(UserWarning):
    """A pattern asks a fixture to move faster than the limit it was checked against."""


@dataclass(frozen=True)
class AxisRange:
    """One fixture axis fed by one pattern component.

    `low` and `high` bound the axis in its own units (degrees for pan and tilt); `centre` is
    where the pattern's 0 lands (default: the middle) and `size` the span that the pattern's
    -1 .. +1 covers (default: the whole range), both in the same units."""

    component: Component
    low: float
    high: float
    centre: float | None = None
    size: float | None = None
    invert: bool = False

    def __post_init__(self) -> None:
        if self.component not in _COMPONENTS:
            raise ValueError(f'component must be "x", "y" or "z", not {self.component!r}')
        values = [self.low, self.high, self.resolved_centre, self.resolved_size]
        if not all(math.isfinite(v) for v in values):
            raise ValueError("an axis range needs finite bounds, centre and size")
        if self.high <= self.low:
            raise ValueError(f"high ({self.high}) must be above low ({self.low})")
        if not self.low <= self.resolved_centre <= self.high:
            raise ValueError(f"centre {self.resolved_centre} lies outside {self.low}..{self.high}")
        if self.resolved_size <= 0:
            raise ValueError(f"size must be above zero, got {self.resolved_size}")

    @property
    def resolved_centre(self) -> float:
        """The centre in the axis's units, the middle of the range unless set."""
        return (self.low + self.high) / 2 if self.centre is None else float(self.centre)

    @property
    def resolved_size(self) -> float:
        """The span of the pattern's -1 .. +1 in the axis's units, the whole range unless set."""
        return self.high - self.low if self.size is None else float(self.size)

    def scaled(self, factor: float) -> AxisRange:
        """The same axis with its size multiplied by `factor` (the centre stays)."""
        return self if factor == 1 else replace(self, size=self.resolved_size * factor)

    def unclipped(self, positions: ArrayLike) -> NDArray[np.float64]:
        """The axis values the pattern asks for, before they stop at the range's ends."""
        values = np.asarray(positions, dtype=np.float64)[..., _COMPONENTS[self.component]]
        if not np.all(np.isfinite(values)):
            raise ValueError("positions must be finite")
        if self.invert:
            values = -values
        return self.resolved_centre + values * (self.resolved_size / 2)

    def values(self, positions: ArrayLike) -> NDArray[np.float64]:
        """The axis values (degrees, for a head) for an array of positions (..., 3)."""
        return np.clip(self.unclipped(positions), self.low, self.high)

    def unit(self, positions: ArrayLike) -> NDArray[np.float64]:
        """The axis values as -1 (low end) .. +1 (high end) of the range."""
        return (self.values(positions) - self.low) / (self.high - self.low) * 2 - 1


def dmx8(unit: ArrayLike) -> NDArray[np.uint8]:
    """8-bit DMX levels for values in [-1, 1]: -1 is 0, +1 is 255, rounded half up."""
    return _levels(unit, 255).astype(np.uint8)


def dmx16(unit: ArrayLike) -> NDArray[np.uint16]:
    """16-bit DMX levels for values in [-1, 1]: -1 is 0, +1 is 65535, rounded half up."""
    return _levels(unit, 65535).astype(np.uint16)


def coarse_fine(levels: ArrayLike) -> NDArray[np.uint8]:
    """16-bit levels split into their DMX channel pair: an array (..., 2) of coarse (high byte)
    and fine (low byte)."""
    values = np.asarray(levels)
    if values.dtype.kind not in "iu" or np.any((values < 0) | (values > 65535)):
        raise ValueError("16-bit DMX levels are integers in 0..65535")
    values = values.astype(np.uint16)
    return np.stack([values >> 8, values & 0xFF], axis=-1).astype(np.uint8)


def _levels(unit: ArrayLike, top: int) -> NDArray[np.float64]:
    values = np.asarray(unit, dtype=np.float64)
    if not np.all(np.isfinite(values)) or np.any(np.abs(values) > 1):
        raise ValueError("DMX values come from positions in [-1, 1]")
    return np.floor((values + 1) / 2 * top + 0.5)


@dataclass(frozen=True)
class Speed:
    """The fastest movement a pattern asks of one axis: `peak` units per second (degrees per
    second for a head), reached between pip `pip` and the next of the pattern's loop."""

    axis: str
    peak: float
    pip: int
    limit: float | None

    @property
    def too_fast(self) -> bool:
        """Whether the peak exceeds the limit it was checked against."""
        return self.limit is not None and self.peak > self.limit

    @property
    def fit(self) -> float:
        """The factor (at most 1) by which to shrink the axis's size to stay within the limit."""
        if self.limit is None or self.peak <= self.limit:
            return 1.0
        return self.limit / self.peak


def peak_speed(
    pattern: Pattern,
    bpm: Real | str,
    axis: AxisRange,
    *,
    limit: float | None = None,
    name: str = "axis",
) -> Speed:
    """The largest speed, in the axis's units per second, that `pattern` asks of `axis` at
    `bpm`: the biggest step between neighbouring pips of the loop (the seam included), before
    the range's ends stop it, times the pattern pips that pass per second. `limit`, when given,
    is a speed of at least 0 (infinity means none)."""
    if limit is not None and not limit >= 0:  # NaN fails too
        raise ValueError(f"limit must be a speed of at least 0, got {limit!r}")
    table = pattern.table()
    along = axis.unclipped(table)
    steps = np.abs(np.roll(along, -1) - along)
    worst = int(np.argmax(steps))
    pips_per_second = positive(bpm, "bpm") * 64 / 60 * pattern.rate
    return Speed(name, float(steps[worst]) * float(pips_per_second), worst, limit)


@dataclass(frozen=True)
class Head:
    """A moving head: a pan and a tilt axis, each fed by one pattern component.

    The default is a 540-degree pan fed by x and a 270-degree tilt fed by y; `swapped()` feeds
    pan from tilt's component and tilt from pan's."""

    pan: AxisRange = AxisRange("x", 0.0, 540.0)
    tilt: AxisRange = AxisRange("y", 0.0, 270.0)

    def swapped(self) -> Head:
        """The head with the two axes' components exchanged."""
        return Head(
            replace(self.pan, component=self.tilt.component),
            replace(self.tilt, component=self.pan.component),
        )

    def scaled(self, pan: float = 1.0, tilt: float = 1.0) -> Head:
        """The head with each axis's size multiplied by its factor."""
        return Head(self.pan.scaled(pan), self.tilt.scaled(tilt))

    def degrees(self, positions: ArrayLike) -> NDArray[np.float64]:
        """Pan and tilt in degrees: an array (..., 2) for positions (..., 3)."""
        return _one(self).degrees(_one_fixture(positions))[..., 0, :]

    def dmx8(self, positions: ArrayLike) -> NDArray[np.uint8]:
        """8-bit pan and tilt levels: an array (..., 2)."""
        return _one(self).dmx8(_one_fixture(positions))[..., 0, :]

    def dmx16(self, positions: ArrayLike) -> NDArray[np.uint8]:
        """16-bit pan and tilt as four channels (..., 4): pan coarse, pan fine, tilt coarse,
        tilt fine."""
        return _one(self).dmx16(_one_fixture(positions))[..., 0, :]

    def speeds(
        self, pattern: Pattern, bpm: Real | str, *, limit: float | None = None
    ) -> tuple[Speed, Speed]:
        """The peak pan and tilt speeds (degrees per second) that `pattern` asks at `bpm`."""
        return (
            peak_speed(pattern, bpm, self.pan, limit=limit, name="pan"),
            peak_speed(pattern, bpm, self.tilt, limit=limit, name="tilt"),
        )

    def fitted(self, pattern: Pattern, bpm: Real | str, limit: float, *, warn: bool = True) -> Head:
        """This head with each axis shrunk just enough that `pattern` at `bpm` never asks more
        than `limit` degrees per second of it; warns (`SpeedWarning`) when it had to shrink."""
        limit = float(positive(limit, "limit"))
        pan, tilt = self.speeds(pattern, bpm, limit=limit)
        for speed in (pan, tilt):
            if speed.too_fast and warn:
                warnings.warn(
                    f"{pattern.name} at {bpm} BPM asks {speed.peak:,.0f} deg/s of {speed.axis}"
                    f" (limit {limit:,.0f}); its size is scaled by {speed.fit:.3f}",
                    SpeedWarning,
                    stacklevel=2,
                )
        return self.scaled(pan.fit, tilt.fit)


class Heads:
    """Many heads driven at once: positions (..., N, 3), one row per head, become pan and tilt
    for all N in a few array steps, each head with its own ranges.

    Head k's results are exactly what `heads[k]` gives for its own rows. DMX levels are the
    degrees' place in the range, low end 0 and high end 255 or 65535, rounded half up, worked
    out in one multiply and add per value. Positions must be finite: a NaN or an infinity is
    refused rather than sent to a fixture as a full-scale move."""

    __slots__ = ("_heads", "_pick", "_half", "_centre", "_low", "_high", "_affine")

    def __init__(self, heads: Sequence[Head]) -> None:
        self._heads = tuple(heads)
        if not self._heads:
            raise ValueError("Heads needs at least one head")
        for head in self._heads:
            if not isinstance(head, Head):
                raise TypeError(f"Heads holds Head objects, not {head!r}")
        axes = [axis for head in self._heads for axis in (head.pan, head.tilt)]
        # Column of each (head, axis) in positions flattened to (..., N * 3).
        self._pick = np.array(
            [3 * (i // 2) + _COMPONENTS[axis.component] for i, axis in enumerate(axes)],
            dtype=np.intp,
        )
        half = np.array([axis.resolved_size / 2 for axis in axes])
        self._half = np.where([axis.invert for axis in axes], -half, half)
        self._centre = np.array([axis.resolved_centre for axis in axes])
        self._low = np.array([axis.low for axis in axes])
        self._high = np.array([axis.high for axis in axes])
        span = self._high - self._low
        # level + 0.5 = (centre + value * half - low) * top / span + 0.5, as scale and offset
        self._affine = {
            top: (self._half * (top / span), (self._centre - self._low) * (top / span) + 0.5)
            for top in (255, 65535)
        }

    def __len__(self) -> int:
        return len(self._heads)

    def __getitem__(self, index: int) -> Head:
        return self._heads[index]

    def _picked(self, positions: ArrayLike) -> tuple[NDArray[np.float64], tuple[int, ...]]:
        """Each head's pan and tilt components, (rows, 2N), and the leading shape."""
        values = np.asarray(positions, dtype=np.float64)
        count = len(self._heads)
        if values.shape[-2:] != (count, 3):
            raise ValueError(f"positions for {count} heads have the shape (..., {count}, 3)")
        picked = np.take(values.reshape(-1, 3 * count), self._pick, axis=1)
        if not np.isfinite(picked).all():
            raise ValueError("positions must be finite")
        return picked, values.shape[:-2]

    def degrees(self, positions: ArrayLike) -> NDArray[np.float64]:
        """Pan and tilt in degrees: an array (..., N, 2)."""
        values, lead = self._picked(positions)
        values *= self._half
        values += self._centre
        np.maximum(values, self._low, out=values)
        np.minimum(values, self._high, out=values)
        return values.reshape(lead + (len(self._heads), 2))

    def levels(self, positions: ArrayLike, bits: int = 16) -> NDArray[np.uint16]:
        """Pan and tilt as DMX levels of 8 or 16 bits: an array (..., N, 2)."""
        if bits not in (8, 16):
            raise ValueError(f"DMX levels have 8 or 16 bits, not {bits}")
        return self._levels(*self._picked(positions), 65535 if bits == 16 else 255, np.uint16)

    def _levels(
        self, values: NDArray[np.float64], lead: tuple[int, ...], top: int, dtype: Any
    ) -> NDArray[Any]:
        scale, offset = self._affine[top]
        values *= scale
        values += offset
        np.maximum(values, 0.5, out=values)  # the range's ends, where the fixture stops
        np.minimum(values, top + 0.5, out=values)
        # Every value is now at least 0.5, so converting (which truncates) rounds half up.
        return values.astype(dtype).reshape(lead + (len(self._heads), 2))

    def dmx8(self, positions: ArrayLike) -> NDArray[np.uint8]:
        """8-bit pan and tilt levels: an array (..., N, 2)."""
        return self._levels(*self._picked(positions), 255, np.uint8)

    def dmx16(self, positions: ArrayLike) -> NDArray[np.uint8]:
        """16-bit pan and tilt as four channels (..., N, 4): pan coarse, pan fine, tilt coarse,
        tilt fine."""
        levels = self._levels(*self._picked(positions), 65535, ">u2")
        return levels.view(np.uint8).reshape(levels.shape[:-1] + (4,))


class LevelTable:
    """The DMX levels of N heads, head k driven by pattern k, worked out once for every row of
    each loop, so that a frame of the whole rig is one gather of bytes.

    `dmx(pips)` equals `heads.dmx16(patterns.render(pips))` (or `dmx8` for 8 bits), bit for bit:
    levels belong to loop rows, so this holds for rendering without interpolation; interpolated
    positions go through `Heads` itself."""

    __slots__ = ("_patterns", "_bytes", "_offset", "_width")

    def __init__(self, patterns: Patterns, heads: Heads, bits: int = 16) -> None:
        if len(patterns) != len(heads):
            raise ValueError(f"{len(patterns)} patterns for {len(heads)} heads")
        if bits not in (8, 16):
            raise ValueError(f"DMX levels have 8 or 16 bits, not {bits}")
        self._patterns = patterns
        self._width = 4 if bits == 16 else 2
        chunks, starts, start = [], [], 0
        for k, subject in enumerate(patterns.patterns):
            one = _one(heads[k])
            table = subject.table()[:, None, :]
            chunks.append(one.dmx16(table) if bits == 16 else one.dmx8(table))
            starts.append(start)
            start += subject.period
        self._bytes = np.concatenate(chunks).reshape(start, self._width)
        self._offset = np.array(starts, dtype=np.int64)

    def __len__(self) -> int:
        return len(self._offset)

    def dmx(self, pips: Pips) -> NDArray[np.uint8]:
        """Every head's channels at `pips`: an array pips.shape + (N, 4) for 16 bits (pan coarse,
        pan fine, tilt coarse, tilt fine) or pips.shape + (N, 2) for 8."""
        index, _, shape = self._patterns._rows(pips, False)
        index += self._offset
        return np.take(self._bytes, index.reshape(-1), axis=0).reshape(
            shape + (len(self._offset), self._width)
        )


@functools.lru_cache(maxsize=256)
def _one(head: Head) -> Heads:
    return Heads((head,))


def _one_fixture(positions: ArrayLike) -> NDArray[np.float64]:
    values = np.asarray(positions, dtype=np.float64)
    if values.shape[-1:] != (3,):
        raise ValueError("positions have the shape (..., 3)")
    return values[..., None, :]
