"""A live show: a rig's frames sent on time, in time with the music.

One output thread sends frame k at its absolute deadline t0 + k / fps on the monotonic clock.
Frame k carries the rig at the musical position the tempo map gives frame k, never at the moment
the thread happened to wake, so its bytes are a pure function of the rig and the tempo history.
A frame whose deadline passed by more than half a frame is skipped and counted, never queued.
Every output is sent the whole frame (every universe, with its own sequence numbers).

Stopping (the time limit, `stop()`, Ctrl-C or SIGTERM in the command) sends the rig's stop state,
then ends the streams; nothing is left running.
"""

from __future__ import annotations

import math
import threading
import time
from collections.abc import Callable, Mapping, Sequence
from dataclasses import dataclass, field
from fractions import Fraction

import numpy as np
from numpy.typing import NDArray

from .clock import PIPS_PER_BEAT, PipTimes
from .outputs import REPEATS, Sender, open_sender
from .rig import Rig
from .tempo import BEATS_PER_BAR, FixedTempo, TempoMap, TempoSource

# The thread starts frame 0 this far ahead, so that it is never late for it.
LEAD_SECONDS = 0.05
_NO_SECONDS = np.zeros(1)


@dataclass
class Status:
    """What the show has done so far."""

    sent: int = 0
    late: int = 0
    position: float = 0.0  # the musical position of the latest frame, in pips
    bpm: Fraction = Fraction(0)
    lateness: list[float] = field(default_factory=list)  # seconds past its deadline, per send

    @property
    def bar_beat(self) -> tuple[int, int]:
        """Bar and beat, both counted from 1."""
        beats = math.floor(self.position / PIPS_PER_BEAT)
        return beats // BEATS_PER_BAR + 1, beats % BEATS_PER_BAR + 1

    def percentile(self, share: float) -> float:
        """The lateness (seconds) that `share` of the sends kept within."""
        if not self.lateness:
            return 0.0
        return float(np.quantile(np.array(self.lateness), share))


class Show:
    """A rig played live: `run()` sends frames until `stop()` or the time limit."""

    def __init__(
        self,
        rig: Rig,
        tempo: TempoMap,
        source: TempoSource | None = None,
        *,
        senders: Sequence[Sender] | None = None,
        seconds: float | None = None,
        clock: Callable[[], float] = time.monotonic,
        sleep: Callable[[float], None] = time.sleep,
        on_frame: Callable[[int, Mapping[int, NDArray[np.uint8]], NDArray[np.float64]], None]
        | None = None,
    ) -> None:
        self.rig = rig
        self.tempo = tempo
        self.source = source if source is not None else FixedTempo()
        self.seconds = seconds
        self.clock = clock
        self.sleep = sleep
        self.on_frame = on_frame
        self._senders = list(senders) if senders is not None else None
        self._stop = threading.Event()
        self._thread: threading.Thread | None = None
        self._error: BaseException | None = None
        self.status = Status(bpm=tempo.bpm)
        self.last: dict[int, NDArray[np.uint8]] | None = None
        self._start: Fraction | None = None
        self._needs_positions = (
            any(o.protocol == "osc" for o in rig.outputs) or on_frame is not None
        )

    def frame(self, k: int) -> tuple[dict[int, NDArray[np.uint8]], NDArray[np.float64], float]:
        """Frame k's bytes per universe, every fixture's position, and its musical position."""
        whole, fraction = self.tempo.split(k)
        pips = PipTimes(np.array([whole]), np.array([fraction]), _NO_SECONDS)
        # The fade from the stop state is worked out only while it lasts.
        fading = whole <= self._fade_end
        start = self.start if fading else None
        universes = {u: f[0] for u, f in self.rig.dmx(pips, start=start).items()}
        position = whole + fraction
        if self._needs_positions:
            positions = self.rig.positions(pips)[0]
        else:
            positions = np.zeros((len(self.rig.fixtures), 3))
        return universes, positions, position

    @property
    def start(self) -> Fraction:
        """The position of frame 0, where the fade from the stop state begins."""
        if self._start is None:
            self._start = self.tempo.peek(0)
        return self._start

    @property
    def _fade_end(self) -> int:
        return math.floor(self.start) + math.ceil(self.rig.fade_in_beats * PIPS_PER_BEAT) + 1

    def run(self) -> Status:
        """Send the show until it is stopped; then the stop state, then the end of the streams.
        Returns what was sent."""
        senders = self._senders
        if senders is None:
            names = [f.name for f in self.rig.fixtures]
            senders = []
            try:
                for output in self.rig.outputs:
                    senders.append(open_sender(output, names))
            except BaseException:
                for sender in senders:
                    sender.close()
                raise
        self.tempo.start(self.clock() + LEAD_SECONDS)
        try:
            self.source.start(self.tempo)
            self._thread = threading.Thread(target=self._loop, args=(senders,), name="show")
            self._thread.start()
            while self._thread.is_alive():
                self._thread.join(0.1)
        except BaseException:
            self._stop.set()
            if self._thread is not None:
                self._thread.join()
            raise
        finally:
            self.source.close()
            self._finish(senders)
        if self._error is not None:
            raise self._error
        return self.status

    def stop(self) -> None:
        """Ask the show to stop after the frame it is on (any thread)."""
        self._stop.set()

    def _loop(self, senders: Sequence[Sender]) -> None:
        try:
            limit = (
                None if self.seconds is None else math.ceil(self.seconds * float(self.tempo.fps))
            )
            k = 0
            while not self._stop.is_set() and (limit is None or k < limit):
                universes, positions, position = self.frame(k)
                deadline = self.tempo.time_of(k)
                wait = deadline - self.clock()
                if wait > 0:
                    # A long wait in slices, so that stop() is heard within a frame.
                    if self._stop.wait(max(0.0, wait - 0.002)):
                        break
                    rest = deadline - self.clock()
                    if rest > 0:
                        self.sleep(rest)
                late = self.clock() - deadline
                if late > 0.5 / float(self.tempo.fps):
                    self.status.late += 1
                else:
                    for sender in senders:
                        sender.send(universes, positions)
                    self.status.lateness.append(max(late, 0.0))
                    self.status.sent += 1
                    self.last = universes
                self.status.position = position
                self.status.bpm = self.tempo.bpm
                if self.on_frame is not None:
                    self.on_frame(k, universes, positions)
                k += 1
        except BaseException as error:  # reported by run(), on the caller's thread
            self._error = error

    def _finish(self, senders: Sequence[Sender]) -> None:
        """The stop state, a few times a frame apart, then the end of every stream."""
        try:
            final = self.rig.stop_frame(self.last)
            here = np.zeros((len(self.rig.fixtures), 3))
            for _ in range(REPEATS):
                for sender in senders:
                    sender.send(final, here)
                self.sleep(1 / float(self.tempo.fps))
        finally:
            for sender in senders:
                sender.close()
