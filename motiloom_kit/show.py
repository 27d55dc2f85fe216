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
from typing import Any

import numpy as np
from numpy.typing import NDArray

from .clock import PIPS_PER_BEAT, PipTimes
from .outputs import REPEATS, Sender, open_sender
from .rig import STOP_STATES, Group, Rig, RigError
from .tempo import BEATS_PER_BAR, FixedTempo, TapTempo, TempoMap, TempoSource

FrameListener = Callable[[int, Mapping[int, NDArray[np.uint8]], NDArray[np.float64]], None]

# The thread starts frame 0 this far ahead, so that it is never late for it.
LEAD_SECONDS = 0.05
_NO_SECONDS = np.zeros(1)


@dataclass
class Status:
    """What the show has done so far."""

    sent: int = 0
    late: int = 0
    position: float = 0.0  # the musical position of the latest frame, in pips
    frame: int = -1  # the number of the latest frame
    bpm: Fraction = Fraction(0)
    lateness: list[float] = field(default_factory=list)  # seconds past its deadline, per send
    positions: NDArray[np.float64] | None = None  # every fixture's position in the latest frame

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
        self._senders = list(senders) if senders is not None else None
        self._stop = threading.Event()
        self._thread: threading.Thread | None = None
        self._error: BaseException | None = None
        self.status = Status(bpm=tempo.bpm)
        self.last: dict[int, NDArray[np.uint8]] | None = None
        self._start: Fraction | None = None
        self.listeners: list[FrameListener] = [on_frame] if on_frame is not None else []
        self._needs_positions = any(o.protocol == "osc" for o in rig.outputs)
        # Live changes: rigs waiting for their position, the override, the fade after it.
        self._lock = threading.Lock()
        self._changing = threading.Lock()  # one change is made at a time
        self._pending: list[tuple[Fraction, Rig]] = []
        # A change accepted (made and checked) whose rig is still being compiled: what the show
        # reports as its latest from the moment it is accepted.
        self._accepted: tuple[Fraction, Rig] | None = None
        # Called, on the changing thread, as soon as a change is accepted (before its rig is
        # compiled, which for a large rig takes longer than a frame): a console tells its pages.
        self.change_listeners: list[Callable[[], None]] = []
        self.override: str | None = None
        self._fade: tuple[Fraction, NDArray[np.float64] | None] | None = None

    def frame(self, k: int) -> tuple[dict[int, NDArray[np.uint8]], NDArray[np.float64], float]:
        """Frame k's bytes per universe, every fixture's position, and its musical position."""
        whole, fraction = self.tempo.split(k)
        position = whole + fraction
        with self._lock:
            while self._pending and self._pending[0][0] <= position:
                self.rig = self._pending.pop(0)[1]
            override, fade = self.override, self._fade
        rig = self.rig
        if override is not None:
            universes = rig.stop_frame(self.last, override)
            held = self.status.positions if override == "hold" else None
            positions = held if held is not None else np.zeros((len(rig.fixtures), 3))
            return universes, positions, position
        begin, origin = (self.start, None) if fade is None else fade
        # The fade from the stop state is worked out only while it lasts.
        start: Fraction | None = begin
        if whole > math.floor(begin) + math.ceil(rig.fade_in_beats * PIPS_PER_BEAT) + 1:
            start, origin = None, None
        universes = rig.frame(whole, fraction, start=start, origin=origin)
        if self._needs_positions or self.listeners:
            pips = PipTimes(np.array([whole]), np.array([fraction]), _NO_SECONDS)
            positions = rig.positions(pips)[0]
        else:
            positions = np.zeros((len(rig.fixtures), 3))
        return universes, positions, position

    # --- live changes, from any thread ---------------------------------------------------------

    def next_bar(self) -> Fraction:
        """The position of the first bar line the show has not reached yet."""
        ahead = self.tempo.peek(self.tempo.frames_read)
        bar = BEATS_PER_BAR * PIPS_PER_BEAT
        return Fraction((math.floor(ahead / bar) + 1) * bar)

    def _latest(self) -> Rig:
        accepted = self._accepted
        if accepted is not None:
            return accepted[1]
        return self._pending[-1][1] if self._pending else self.rig

    def _waiting(self) -> list[Fraction]:
        """The positions of the changes waiting to take over, the one being compiled too."""
        accepted = self._accepted
        if accepted is None:
            return [at for at, _ in self._pending]
        return [at for at, _ in self._pending if at < accepted[0]] + [accepted[0]]

    def change(self, make: Callable[[Rig, Fraction], Rig], *, at_once: bool = False) -> Fraction:
        """Replace the rig by `make(latest rig, position of the change)`, from the next bar
        (or from the next frame); returns the position it takes effect at. A rig that `make`
        refuses (RigError) changes nothing."""
        # The new rig is made, checked and compiled here, on the caller's thread and outside the
        # frame lock: compiling a large rig takes longer than a frame, and the output thread must
        # neither wait for the lock nor compile it itself when the change takes over.
        with self._changing:
            with self._lock:
                at = self.tempo.peek(self.tempo.frames_read) if at_once else self.next_bar()
                latest = self._latest()
            made = make(latest, at).speed_checked(float(self.tempo.bpm) or self.rig.bpm)
            self._accepted = (at, made)
            try:
                for listener in self.change_listeners:
                    listener()
                made.prepare()
                with self._lock:
                    self._pending = [(when, r) for when, r in self._pending if when < at]
                    self._pending.append((at, made))
            finally:
                self._accepted = None
        return at

    def change_group(
        self,
        name: str,
        *,
        pattern: str | None = None,
        size: float | None = None,
        rate: Any = None,
        phase: Any = None,
        spread: str | None = None,
        at_once: bool = False,
    ) -> Fraction:
        """Change one group: its pattern (a name), size, rate, phase (beats) or spread, from the
        next bar (or the next frame). A rate change keeps the pattern's place in its loop, as a
        tempo change keeps the music's."""

        def make(rig: Rig, at: Fraction) -> Rig:
            return rig.changed(groups=[
                _changed_group(g, rig, at, pattern, size, rate, phase, spread)
                if g.name == name else g for g in rig.groups
            ])  # fmt: skip

        if all(g.name != name for g in self._latest().groups):
            raise RigError(f"no group is called {name!r}")
        return self.change(make, at_once=at_once)

    def set_master(self, size: float) -> None:
        """Every group's size multiplied by `size` (0 to 2), from the next frame."""
        if not 0 <= size <= 2:
            raise RigError(f"the master size is 0 to 2, not {size}")
        self.change(lambda rig, at: rig.changed(master=size), at_once=True)

    def set_override(self, state: str | None) -> None:
        """Send every head home, into blackout or hold the last frame ("home", "blackout",
        "hold"), from the next frame; None goes back to the show, fading in from there."""
        if state not in (None, *STOP_STATES):
            raise RigError(f"the show can be {', '.join(STOP_STATES)} or playing, not {state!r}")
        with self._lock:
            if state is None and self.override is not None:
                origin = None
                if self.override == "hold" and self.last is not None:
                    origin = self.rig.levels_of(self.last)
                self._fade = (self.tempo.peek(self.tempo.frames_read), origin)
            self.override = state

    def tap(self, at: float | None = None) -> float | None:
        """One tap of the tempo at monotonic time `at` (now, by default), when the tempo comes
        from taps; the tempo it gives."""
        if not isinstance(self.source, TapTempo):
            raise RigError(f"the tempo comes from {self.source.describe()}, not from taps")
        return self.source.tap(at)

    def state(self) -> dict[str, Any]:
        """What the show is doing, as plain data (for a console page or a controller)."""
        rig = self._latest()
        status = self.status
        bar, beat = status.bar_beat
        return {
            "tempo": {"source": self.source.describe(), "bpm": float(status.bpm)},
            "bar": bar, "beat": beat, "sent": status.sent, "late": status.late,
            "master": rig.master, "override": self.override, "fps": float(self.tempo.fps),
            "groups": [
                {"name": g.name, "pattern": g.pattern.name, "size": g.size,
                 "rate": str(g.pattern.rate), "phase": float(g.phase_beats), "spread": g.spread,
                 "fixtures": list(g.fixtures)} for g in rig.groups
            ],
            "fixtures": [{"name": f.name, "kind": f.kind} for f in rig.fixtures],
            "pending": [float(at) for at in self._waiting()],
        }  # fmt: skip

    @property
    def start(self) -> Fraction:
        """The position of frame 0, where the fade from the stop state begins."""
        if self._start is None:
            self._start = self.tempo.peek(0)
        return self._start

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
        self.rig.prepare()  # before frame 0 is due, not in its time
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
                    self.status.positions = positions
                    for listener in self.listeners:
                        listener(k, universes, positions)
                self.status.position, self.status.frame = position, k
                self.status.bpm = self.tempo.bpm
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


def _changed_group(
    group: Group, rig: Rig, at: Fraction, pattern: str | None, size: float | None, rate: Any,
    phase: Any, spread: str | None,
) -> Group:  # fmt: skip
    """`group` with the given parts changed from position `at` on."""
    from dataclasses import replace

    from ._exact import exact
    from .patterns import parse_rate
    from .patterns import pattern as find
    from .rig import SPREADS

    made = group.pattern
    if pattern is not None:
        try:
            made = find(pattern, library=rig.library, rate=made.rate,
                        phase_beats=group.phase_beats)  # fmt: skip
        except ValueError as error:
            raise RigError(f"{group.name}: {error}") from None
    if rate is not None:
        try:
            made = made.retimed(parse_rate(rate), at)
        except (TypeError, ValueError) as error:
            raise RigError(f"{group.name}: {error}") from None
    beats = group.phase_beats
    if phase is not None:
        try:
            beats = exact(phase, "phase")
        except (TypeError, ValueError) as error:
            raise RigError(f"{group.name}: {error}") from None
        made = made.with_phase(beats=beats)
    if size is not None and not 0 < size <= 4:
        raise RigError(f"{group.name}: a size is above 0 and at most 4, not {size}")
    if spread is not None and spread not in SPREADS:
        raise RigError(f"{group.name}: a spread is one of {', '.join(SPREADS)}, not {spread!r}")
    return replace(group, pattern=made, size=group.size if size is None else float(size),
                   spread=group.spread if spread is None else spread,
                   phase_beats=beats)  # fmt: skip
