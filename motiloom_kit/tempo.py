"""Tempo for a live show: the musical position of every frame, and the sources that move it.

A `TempoMap` gives the position of frame k of a show (sent at t0 + k / fps). It is made of
segments of constant tempo; a tempo change starts a new segment at the first frame the show has
not read yet, from the position the old segment reached there, so the position never jumps. A
deliberate re-sync (a tap on a downbeat, the phase of a Link session, a MIDI song position) is
eased in over a beat instead. Positions are exact rationals: at a fixed tempo, frame k is at
exactly the pips `Clock(bpm).frames(fps, ...)` gives it, so a recording and a show agree byte
for byte.

Tempo sources share one small interface (`start(tempo)`, `close()`, `describe()`): `FixedTempo`,
`TapTempo` (here), `motiloom_kit.midi.MidiClock` and `motiloom_kit.link.LinkTempo`.
"""

from __future__ import annotations

import math
import threading
import time
from collections.abc import Callable
from fractions import Fraction
from typing import Any, Protocol

import numpy as np

from ._exact import Real, exact, positive
from .clock import PIPS_PER_BEAT, PipTimes

# Tempi are kept to a thousandth of a BPM: finer than any source measures, and it keeps the
# exact positions' denominators small.
_BPM_GRAIN = 1000
BEATS_PER_BAR = 4


def _bpm(value: Real | str) -> Fraction:
    bpm = positive(value, "bpm")
    if bpm > 1000:
        raise ValueError(f"bpm must be at most 1000, got {float(bpm):g}")
    return Fraction(round(bpm * _BPM_GRAIN), _BPM_GRAIN)


class TempoMap:
    """The musical position, in pips, of every frame of a show; safe to use from any thread."""

    def __init__(
        self,
        bpm: Real | str,
        fps: Real | str,
        *,
        start_pip: Real | str = 0,
        clock: Callable[[], float] = time.monotonic,
    ) -> None:
        self.fps = positive(fps, "fps")
        self.clock = clock
        self._lock = threading.Lock()
        first = _bpm(bpm)
        # (first frame, position there, pips per frame, bpm)
        self._segments: list[tuple[int, Fraction, Fraction, Fraction]] = [
            (0, exact(start_pip, "start_pip"), self._per_frame(first), first)
        ]
        self._eases: list[tuple[int, int, Fraction]] = []  # (first frame, frames, pips)
        self._settled = Fraction(0)  # the eases already complete
        self._read = 0  # frames before this one have been read: changes start here
        self._held: Fraction | None = None  # the bpm to go back to after a hold
        # The latest segment read, as integers: (segment, settled) -> (first, start, step, den).
        self._lines: dict[str, Any] = {}
        self.t0: float | None = None

    def _per_frame(self, bpm: Fraction) -> Fraction:
        return bpm * PIPS_PER_BEAT / 60 / self.fps

    # --- time ------------------------------------------------------------------------------------

    def start(self, t0: float | None = None) -> None:
        """Frame 0 is sent at `t0` (now, by default)."""
        self.t0 = self.clock() if t0 is None else t0

    def time_of(self, frame: int) -> float:
        """The monotonic time frame `frame` is due."""
        assert self.t0 is not None, "the tempo map has not started"
        return self.t0 + frame / float(self.fps)

    def frame_at(self, t: float) -> float:
        """The frame due at monotonic time `t`, fractional."""
        assert self.t0 is not None, "the tempo map has not started"
        return (t - self.t0) * float(self.fps)

    def _between(self, t: float, *, eventual: bool = False) -> Fraction:
        """The position at time `t`, between frames: the frame to a millionth, so that a time
        a float's hair from a frame lands on it."""
        frame = Fraction(self.frame_at(t)).limit_denominator(10**6)
        low = math.floor(frame)
        a = self._position(low, eventual=eventual)
        b = self._position(low + 1, eventual=eventual)
        return a + (b - a) * (frame - low)

    def _frame_from(self, at: float | None) -> int:
        """The first frame a change made at time `at` (now, by default) can reach."""
        if self.t0 is None:
            return self._read
        when = self.clock() if at is None else at
        return max(self._read, math.ceil(self.frame_at(when)))

    # --- reading ---------------------------------------------------------------------------------

    def _segment(self, frame: int) -> tuple[int, Fraction, Fraction, Fraction]:
        for segment in reversed(self._segments):
            if segment[0] <= frame:
                return segment
        return self._segments[0]

    def _position(self, frame: int, *, eventual: bool = False) -> Fraction:
        """The position of a frame; with `eventual`, as if every eased move were complete."""
        first, pip, per_frame, _ = self._segment(frame)
        position = pip + (frame - first) * per_frame + self._settled
        if eventual:
            return position + sum((e[2] for e in self._eases), Fraction(0))
        for start, length, delta in self._eases:
            share = min(max(Fraction(frame - start, length), Fraction(0)), Fraction(1))
            position += delta * share * share * (3 - 2 * share)
        return position

    def position(self, frame: int) -> Fraction:
        """The position of frame `frame`; from now on, changes reach only later frames."""
        with self._lock:
            self._read = max(self._read, frame + 1)
            self._settle()
            return self._position(frame)

    def split(self, frame: int) -> tuple[int, float]:
        """`position(frame)` as its whole pip and the fraction past it (the fraction rounded
        to the nearest double, as float() of the position's fraction would be)."""
        with self._lock:
            self._read = max(self._read, frame + 1)
            self._settle()
            if self._eases:
                position = self._position(frame)
                numerator, denominator = position.numerator, position.denominator
            else:
                # Integers over one denominator: no fraction arithmetic for a plain frame.
                first, start, step, denominator = self._line(self._segment(frame))
                numerator = start + (frame - first) * step
        whole = numerator // denominator
        return whole, (numerator - whole * denominator) / denominator

    def _line(self, segment: tuple[int, Fraction, Fraction, Fraction]) -> tuple[int, int, int, int]:
        """A segment, the settled eases included, as (first frame, numerator there, numerator
        per frame, denominator)."""
        key = (segment, self._settled)
        if self._lines.get("key") != key:
            first, pip, per_frame, _ = segment
            start = pip + self._settled
            denominator = math.lcm(start.denominator, per_frame.denominator)
            self._lines = {
                "key": key,
                "line": (first, start.numerator * (denominator // start.denominator),
                         per_frame.numerator * (denominator // per_frame.denominator),
                         denominator),
            }  # fmt: skip
        line: tuple[int, int, int, int] = self._lines["line"]
        return line

    def peek(self, frame: int) -> Fraction:
        """The position frame `frame` has as things stand, without reading it."""
        with self._lock:
            return self._position(frame)

    def position_at(self, t: float) -> float:
        """The position at monotonic time `t`, between frames too (for the tempo sources)."""
        with self._lock:
            return float(self._between(t))

    def times(self, count: int) -> PipTimes:
        """The positions of frames 0 to count - 1 as they stand, as whole pips and fractions
        (exact, worked out over arrays when the tempo never changed)."""
        with self._lock:
            plain = len(self._segments) == 1 and not self._eases and self._settled == 0
            first, pip, per_frame, _ = self._segments[0]
        if not plain:
            return _as_times([self.peek(k) for k in range(count)], self.fps)
        # pip + k * per_frame over one denominator: exact in int64 while it fits.
        den = pip.denominator * per_frame.denominator
        a = pip.numerator * per_frame.denominator
        b = per_frame.numerator * pip.denominator
        if abs(a) + count * abs(b) >= 2**62:
            return _as_times([pip + k * per_frame for k in range(count)], self.fps)
        numerator = a + np.arange(count, dtype=np.int64) * b
        whole = np.floor_divide(numerator, den)
        fraction = (numerator - whole * den) / den
        seconds = np.arange(count) / float(self.fps)
        return PipTimes(whole, fraction.astype(np.float64), seconds)

    @property
    def bpm(self) -> Fraction:
        """The tempo of the latest segment (0 while held)."""
        with self._lock:
            return self._segments[-1][3]

    @property
    def frames_read(self) -> int:
        return self._read

    def _settle(self) -> None:
        done = [e for e in self._eases if e[0] + e[1] <= self._read]
        if done:
            self._settled += sum((e[2] for e in done), Fraction(0))
            self._eases = [e for e in self._eases if e[0] + e[1] > self._read]
        if len(self._segments) > 64:  # the past is never read again
            keep = [s for s in self._segments if s[0] >= self._read]
            self._segments = [self._segment(self._read)] + keep

    # --- changing --------------------------------------------------------------------------------

    def set_bpm(self, bpm: Real | str, *, at: float | None = None) -> None:
        """Play at `bpm` from time `at` (now, by default) on, the position carried over."""
        tempo = _bpm(bpm)
        with self._lock:
            if self._held is not None:
                self._held = tempo
                return
            self._change(self._frame_from(at), tempo)

    def _change(self, frame: int, bpm: Fraction) -> None:
        if self._segments[-1][3] == bpm:
            return
        first, pip, per_frame, _ = self._segment(frame)
        reached = pip + (frame - first) * per_frame
        self._segments = [s for s in self._segments if s[0] < frame]
        self._segments.append((frame, reached, self._per_frame(bpm), bpm))

    def hold(self, *, at: float | None = None) -> None:
        """Stop the position where it is (a paused clock); `release` goes on from there."""
        with self._lock:
            if self._held is None:
                self._held = self._segments[-1][3]
                self._change(self._frame_from(at), Fraction(0))

    def release(self, *, at: float | None = None) -> None:
        with self._lock:
            if self._held is not None:
                tempo, self._held = self._held, None
                self._change(self._frame_from(at), tempo)

    @property
    def held(self) -> bool:
        return self._held is not None

    def nudge(self, pips: Real | str, *, beats: Real = 1, at: float | None = None) -> None:
        """Move the position by `pips`, eased in over `beats` beats (at the current tempo)."""
        delta = exact(pips, "pips")
        if delta == 0:
            return
        with self._lock:
            start = self._frame_from(at)
            tempo = self._segments[-1][3] or self._held or Fraction(120)
            length = max(1, round(exact(beats, "beats") * 60 * self.fps / tempo))
            self._eases.append((start, length, delta))

    def align(
        self, pip: Real | str, at: float, *, beats: Real = 1, within: Real = Fraction(1, 4)
    ) -> Fraction:
        """Ease the position so that time `at` falls on `pip`: a deliberate re-sync. Nothing
        happens when it is already within `within` pips. Returns the correction."""
        with self._lock:
            # Against where the position is heading: eased moves under way count in full.
            now = self._between(at, eventual=True)
        delta = exact(pip, "pip") - now
        if abs(delta) <= exact(within, "within"):
            return Fraction(0)
        self.nudge(delta, beats=beats)
        return delta


def _as_times(positions: list[Fraction], fps: Fraction) -> PipTimes:
    return PipTimes.of(positions, np.arange(len(positions)) / float(fps))


class TempoSource(Protocol):
    """What a show asks of a tempo source."""

    def start(self, tempo: TempoMap) -> None:
        """Begin moving `tempo` (its frame 0 is already scheduled)."""

    def close(self) -> None:
        """Stop following; leave nothing running."""

    def describe(self) -> str:
        """A few words for the status line, such as "MIDI clock" or "tap"."""


class FixedTempo:
    """A tempo that never changes: the map's own."""

    def start(self, tempo: TempoMap) -> None:
        pass

    def close(self) -> None:
        pass

    def describe(self) -> str:
        return "fixed"


class TapTempo:
    """Tempo from taps: the beat period and phase fitted over the last `window` taps.

    Each tap is a beat. The tempo is the slope of a straight line through the taps' times (a
    least-squares fit, so one late tap moves it little, where the last interval alone would jump
    and drift out of phase); the first tap of a series is a downbeat, and the show eases onto
    the fitted beats. A pause of more than `reset_after` seconds starts a new series."""

    def __init__(
        self,
        *,
        window: int = 16,
        reset_after: float = 2.0,
        clock: Callable[[], float] = time.monotonic,
    ) -> None:
        if window < 2:
            raise ValueError(f"a tap tempo needs a window of at least 2 taps, got {window}")
        self.window = window
        self.reset_after = reset_after
        self.clock = clock
        self._taps: list[float] = []
        self._count = 0  # taps in the series, those beyond the window included
        self._downbeat: Fraction | None = None  # the position of the series' first tap
        self._tempo: TempoMap | None = None
        self.bpm: float | None = None

    def start(self, tempo: TempoMap) -> None:
        self._tempo = tempo

    def close(self) -> None:
        self._tempo = None

    def describe(self) -> str:
        return "tap"

    def tap(self, at: float | None = None) -> float | None:
        """One tap at monotonic time `at` (now, by default); returns the tempo it gives (None
        until a series holds two taps)."""
        t = self.clock() if at is None else at
        if self._taps and (t - self._taps[-1] > self.reset_after or t <= self._taps[-1]):
            self._taps, self._count, self._downbeat = [], 0, None
        tempo = self._tempo
        if not self._taps and tempo is not None and tempo.t0 is not None:
            bar = BEATS_PER_BAR * PIPS_PER_BEAT
            self._downbeat = Fraction(round(tempo.position_at(t) / bar) * bar)
        self._taps = (self._taps + [t])[-self.window :]
        self._count += 1
        if len(self._taps) < 2:
            return None
        n = len(self._taps)
        index = [self._count - n + i for i in range(n)]  # beat number of each tap in the series
        mean_i = sum(index) / n
        mean_t = sum(self._taps) / n
        spread = sum((i - mean_i) ** 2 for i in index)
        period = sum((i - mean_i) * (u - mean_t) for i, u in zip(index, self._taps, strict=True))
        period /= spread
        if period <= 0:
            return None
        self.bpm = 60 / period
        if tempo is not None and tempo.t0 is not None:
            last = index[-1]
            fitted = mean_t + (last - mean_i) * period  # where the fit puts the latest beat
            tempo.set_bpm(self.bpm, at=t)
            if self._downbeat is not None:
                tempo.align(self._downbeat + last * PIPS_PER_BEAT, fitted)
        return self.bpm
