"""Musical time: seconds and frame numbers turned into exact pips at a tempo.

A pip is a 64th of a beat. Wall-clock times and long runs give pips far beyond 32 bits, so the
kit counts them in Python ints and int64 arrays and only reduces them into a pattern's loop when
it samples. Everything is computed with exact rationals: the pip of frame n is floor(n * 64 * bpm /
(60 * fps)) exactly, with no float rounding at the last frame of a long run.
"""

from __future__ import annotations

import math
from collections.abc import Sequence
from dataclasses import dataclass
from fractions import Fraction

import numpy as np
from numpy.typing import ArrayLike, NDArray

from ._exact import Real, exact, positive

PIPS_PER_BEAT = 64
_INT64_SAFE = 2**62
_LAST_BEFORE_ONE = math.nextafter(1.0, 0.0)


@dataclass(frozen=True, eq=False)
class PipTimes:
    """Positions on the pip timeline, one per time or frame, each split exactly into a whole pip
    (`whole`, int64, floored) and the fraction of the next pip already passed (`fraction`, in
    [0, 1)). `seconds` gives each time as a float, for display and export.

    Keeping the whole pip apart from the fraction keeps positions exact however far from the
    origin they are; `positions` joins them into one float array when that is good enough."""

    whole: NDArray[np.int64]
    fraction: NDArray[np.float64]
    seconds: NDArray[np.float64]

    def __post_init__(self) -> None:
        # Made by hand as well as by a Clock: hold every PipTimes to what a Clock makes, so that
        # a NaN or a fraction of a whole pip cannot reach a render or an export.
        whole = np.asarray(self.whole)
        if whole.dtype.kind not in "iu":
            raise TypeError(f"whole pips must be integers, not {whole.dtype}")
        if whole.dtype.kind == "u" and whole.size and int(whole.max()) >= 2**63:
            raise ValueError("whole pips must lie within the int64 range")
        fraction = np.asarray(self.fraction, dtype=np.float64)
        seconds = np.asarray(self.seconds, dtype=np.float64)
        if not whole.shape == fraction.shape == seconds.shape:
            raise ValueError(
                f"whole, fraction and seconds must have one shape, not {whole.shape}, "
                f"{fraction.shape} and {seconds.shape}"
            )
        if not np.all((fraction >= 0) & (fraction < 1)):  # NaN fails both
            raise ValueError("fractions of a pip must lie in [0, 1)")
        if not np.all(np.isfinite(seconds)):
            raise ValueError("seconds must be finite")
        object.__setattr__(self, "whole", whole.astype(np.int64, copy=False))
        object.__setattr__(self, "fraction", fraction)
        object.__setattr__(self, "seconds", seconds)

    def __len__(self) -> int:
        return len(self.whole)

    @classmethod
    def of(cls, positions: Sequence[Fraction], seconds: ArrayLike | None = None) -> PipTimes:
        """Exact positions (Fractions, or ints) split into whole pips and fractions."""
        whole = np.array([math.floor(p) for p in positions], dtype=np.int64)
        fraction = np.array([float(p - math.floor(p)) for p in positions], dtype=np.float64)
        times = np.zeros(len(positions)) if seconds is None else np.asarray(seconds, dtype=float)
        return cls(whole, fraction, times)

    @property
    def positions(self) -> NDArray[np.float64]:
        """Whole pip plus fraction, as floats (exact to about 2**-52 of the pip count)."""
        return self.whole + self.fraction


def beats_to_pips(beats: Real | str) -> Fraction:
    """The number of pips in `beats` beats (64 per beat), exactly."""
    return exact(beats, "beats") * PIPS_PER_BEAT


def bars_to_pips(bars: Real | str, beats_per_bar: int = 4) -> Fraction:
    """The number of pips in `bars` bars of `beats_per_bar` beats, exactly."""
    if beats_per_bar < 1:
        raise ValueError(f"beats_per_bar must be at least 1, got {beats_per_bar}")
    return exact(bars, "bars") * beats_per_bar * PIPS_PER_BEAT


class Clock:
    """A tempo and a time origin: converts seconds and frame numbers into pips.

    `Clock(174)` puts pip 0 at 0 seconds; `origin_seconds` moves pip 0 to another time, so that
    times before it give negative pips. The tempo and the origin may be ints, floats (read as the
    decimal they print as), Fractions, Decimals or strings such as "174.5"."""

    def __init__(self, bpm: Real | str, origin_seconds: Real | str = 0.0) -> None:
        self._bpm = positive(bpm, "bpm")
        self._origin = exact(origin_seconds, "origin_seconds")
        self._rate = self._bpm * PIPS_PER_BEAT / 60

    def __repr__(self) -> str:
        return f"Clock(bpm={self._bpm}, origin_seconds={self._origin})"

    @property
    def bpm(self) -> Fraction:
        """The tempo in beats per minute."""
        return self._bpm

    @property
    def origin_seconds(self) -> Fraction:
        """The time, in seconds, of pip 0."""
        return self._origin

    @property
    def pips_per_second(self) -> Fraction:
        """How many pips pass in one second: bpm * 64 / 60."""
        return self._rate

    def position(self, seconds: Real | str) -> Fraction:
        """The exact pip position, fraction included, at `seconds`."""
        return (exact(seconds, "seconds") - self._origin) * self._rate

    def pip(self, seconds: Real | str) -> int:
        """The whole pip at `seconds`: the position floored, negative before the origin."""
        return math.floor(self.position(seconds))

    def seconds_at(self, pip: Real | str) -> Fraction:
        """The time, in seconds, at which pip `pip` (which may be fractional) falls."""
        return self._origin + exact(pip, "pip") / self._rate

    def beats(self, seconds: Real | str) -> Fraction:
        """The number of beats from the origin to `seconds`."""
        return self.position(seconds) / PIPS_PER_BEAT

    def bars(self, seconds: Real | str, beats_per_bar: int = 4) -> Fraction:
        """The number of bars of `beats_per_bar` beats from the origin to `seconds`."""
        return self.beats(seconds) / beats_per_bar

    def duration(
        self, *, beats: Real | str = 0, bars: Real | str = 0, beats_per_bar: int = 4
    ) -> Fraction:
        """The length in seconds of `beats` beats plus `bars` bars at this tempo."""
        pips = beats_to_pips(beats) + bars_to_pips(bars, beats_per_bar)
        return pips / self._rate

    def frame_count(self, fps: Real | str, seconds: Real | str) -> int:
        """The number of frames at `fps` that start within `seconds` of run time."""
        length = exact(seconds, "seconds")
        if length < 0:
            raise ValueError(f"seconds must not be negative, got {length}")
        return math.ceil(length * positive(fps, "fps"))

    def frames(
        self, fps: Real | str, seconds: Real | str, *, start_seconds: Real | str = 0.0
    ) -> PipTimes:
        """Every frame of a run of `seconds` at `fps` frames per second that starts at
        `start_seconds`: frame n shows the time start_seconds + n / fps."""
        count = self.frame_count(fps, seconds)
        return self.frame_times(fps, np.arange(count, dtype=np.int64), start_seconds=start_seconds)

    def frame_times(
        self, fps: Real | str, frames: ArrayLike, *, start_seconds: Real | str = 0.0
    ) -> PipTimes:
        """The pip positions of the given frame numbers (any ints, negative ones too) at `fps`,
        frame 0 showing `start_seconds`."""
        rate = positive(fps, "fps")
        start = exact(start_seconds, "start_seconds")
        numbers = np.asarray(frames)
        if numbers.dtype.kind not in "iu":
            raise TypeError(f"frame numbers must be integers, not {numbers.dtype}")
        # position(n) = first + n * step, both exact; over one common denominator it is
        # (c0 + n * c1) / den, floored in int64 when that cannot overflow, else in Python ints.
        first = (start - self._origin) * self._rate
        step = self._rate / rate
        den = math.lcm(first.denominator, step.denominator)
        c0 = first.numerator * (den // first.denominator)
        c1 = step.numerator * (den // step.denominator)
        # In Python ints: np.abs of the int64 minimum is itself, and negative.
        largest = max(-int(numbers.min()), int(numbers.max()), 0) if numbers.size else 0
        if abs(c0) + largest * abs(c1) < _INT64_SAFE and den < _INT64_SAFE:
            num = c0 + numbers.astype(np.int64) * c1
            whole = np.floor_divide(num, den)
            fraction = (num - whole * den) / den
        else:
            big = numbers.astype(object) * c1 + c0
            whole = _to_int64(big // den)
            fraction = np.asarray([float(Fraction(int(r), den)) for r in (big % den).ravel()])
            fraction = fraction.reshape(numbers.shape)
        seconds = float(start) + numbers / float(rate)
        return PipTimes(whole.astype(np.int64), _below_one(fraction), seconds)

    def times(self, seconds: ArrayLike) -> PipTimes:
        """The pip positions of arbitrary times, each read exactly (one Python step per time:
        for long regular runs `frames` is much faster)."""
        values = np.asarray(seconds)
        if values.dtype.kind not in "iuf":
            raise TypeError(f"times must be numbers, not {values.dtype}")
        flat = [self.position(v) for v in values.ravel().tolist()]
        whole = np.array([math.floor(p) for p in flat], dtype=object)
        fraction = np.array([float(p - math.floor(p)) for p in flat], dtype=np.float64)
        return PipTimes(
            _to_int64(whole).reshape(values.shape),
            _below_one(fraction).reshape(values.shape),
            values.astype(np.float64),
        )


def _below_one(fraction: NDArray[np.float64]) -> NDArray[np.float64]:
    """Exact fractions below 1 as floats: one within 2**-54 of 1 would round to 1.0 itself and
    name the next pip; it is the largest float below 1 instead."""
    return np.minimum(np.asarray(fraction, dtype=np.float64), _LAST_BEFORE_ONE)


class PipRangeError(OverflowError, ValueError):
    """A pip position beyond the int64 range: refused (a ValueError, and an OverflowError as
    it always was)."""


def _to_int64(values: NDArray[np.object_]) -> NDArray[np.int64]:
    if values.size and (max(values.ravel()) >= 2**63 or min(values.ravel()) < -(2**63)):
        raise PipRangeError("a pip position beyond the int64 range")
    return values.astype(np.int64)
