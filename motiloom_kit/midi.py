"""Tempo from MIDI clock: 24 clocks per quarter note, with start, stop, continue and song position.

Received through `mido` with `python-rtmidi` (the `live` extra), from ALSA or JACK. The tempo is
the slope of a straight line through the times of the last two beats of clocks (48), so
that a steady clock settles within half a BPM in two beats and a tempo change is followed within
four, while the jitter of single clocks averages out. The times are the MIDI driver's own
(the gaps it reports between messages), not when this process happened to hear them, so a busy
machine does not bend the tempo. The position follows the clocks: start puts
the show on pip 0 at the first clock after it, song position (in sixteenths) moves it there, stop
holds it and continue goes on; once a beat, any drift from the clocks' count is eased away.
"""

from __future__ import annotations

import threading
import time
from collections import deque
from collections.abc import Callable
from fractions import Fraction
from typing import Any

from .clock import PIPS_PER_BEAT
from .tempo import TempoMap

CLOCKS_PER_BEAT = 24
PIPS_PER_CLOCK = Fraction(PIPS_PER_BEAT, CLOCKS_PER_BEAT)
WINDOW = 2 * CLOCKS_PER_BEAT
BACKENDS = {"alsa": "mido.backends.rtmidi/LINUX_ALSA", "jack": "mido.backends.rtmidi/UNIX_JACK"}


class MidiClockFollower:
    """Turns MIDI clock messages, with their arrival times, into tempo and position."""

    def __init__(self, tempo: TempoMap) -> None:
        self.tempo = tempo
        self._times: deque[float] = deque(maxlen=WINDOW)
        self._clocks = 0  # clocks since the last start or song position
        self._origin: Fraction | None = None  # the position of clock 0, once one came
        self._pending: Fraction | None = None  # a position the next clock lands on
        self.bpm: float | None = None
        self.running = True
        self._driver: float | None = None  # the driver's time of the latest message
        self._lock = threading.Lock()

    def message(self, kind: str, at: float, *, pos: int = 0, gap: float | None = None) -> None:
        """One message of type `kind` ("clock", "start", "stop", "continue", "songpos"; any
        other only moves the driver's time on), heard at monotonic time `at`, `gap` seconds
        after the one before by the driver's clock (when it says)."""
        with self._lock:
            if gap is not None and self._driver is not None:
                self._driver += gap
            else:
                self._driver = at
            if kind == "clock":
                self._clock(at, self._driver)
            elif kind == "start":
                self._times.clear()
                self._pending = Fraction(0)
                self.running = True
                self.tempo.release(at=at)
            elif kind == "stop":
                self.running = False
                self.tempo.hold(at=at)
            elif kind == "continue":
                self.running = True
                self.tempo.release(at=at)
            elif kind == "songpos":
                self._pending = Fraction(pos * PIPS_PER_BEAT, 4)  # a sixteenth is a quarter beat
                if not self.running:
                    # A stopped transport that moves: ease the held show there now.
                    self.tempo.align(self._pending, at)

    def _clock(self, at: float, when: float) -> None:
        if self._pending is not None:
            self._origin, self._clocks, self._pending = self._pending, 0, None
            self.tempo.align(self._origin, at)
        elif self._origin is None:
            # A clock already running when the show joined: its clocks count on from where the
            # show is when the first one comes.
            self._origin = Fraction(self.tempo.position_at(at)).limit_denominator(10**6)
            self._clocks = 0
        else:
            self._clocks += 1
        if self._times and when <= self._times[-1]:
            return  # out of order: no tempo from it
        self._times.append(when)
        n = len(self._times)
        if n >= 6:
            mean_i = (n - 1) / 2
            mean_t = sum(self._times) / n
            spread = sum((i - mean_i) ** 2 for i in range(n))
            slope = sum((i - mean_i) * (t - mean_t) for i, t in enumerate(self._times)) / spread
            if slope > 0:
                self.bpm = 60 / (slope * CLOCKS_PER_BEAT)
                if self.running and abs(self.bpm - float(self.tempo.bpm)) >= 0.01:
                    self.tempo.set_bpm(self.bpm, at=at)
        if (
            self.running
            and self._clocks % CLOCKS_PER_BEAT == 0
            and self._clocks
            and self._origin is not None
        ):
            self.tempo.align(self._origin + self._clocks * PIPS_PER_CLOCK, at, within=1)


class MidiClock:
    """The tempo source that follows a MIDI clock input port."""

    def __init__(
        self,
        port: str | None = None,
        *,
        api: str = "alsa",
        clock: Callable[[], float] = time.monotonic,
    ) -> None:
        if api not in BACKENDS:
            raise ValueError(f"MIDI api must be {' or '.join(BACKENDS)}, not {api!r}")
        self.port_name = port
        self.api = api
        self.clock = clock
        self._port: Any = None
        self.follower: MidiClockFollower | None = None

    def describe(self) -> str:
        return "MIDI clock"

    def _backend(self) -> Any:
        try:
            import mido
        except ImportError as error:
            raise ImportError(
                "following MIDI clock needs mido and python-rtmidi: pip install 'motiloom[live]'"
            ) from error
        return mido.Backend(BACKENDS[self.api], load=True)

    def ports(self) -> list[str]:
        """The MIDI inputs there are."""
        return list(self._backend().get_input_names())

    def start(self, tempo: TempoMap) -> None:
        backend = self._backend()
        names = backend.get_input_names()
        name = self.port_name
        if name is None:
            if not names:
                raise ValueError(f"no MIDI input to follow ({self.api})")
            name = names[0]
        elif name not in names:
            found = [n for n in names if name in n]
            if len(found) != 1:
                listed = ", ".join(names) or "none"
                raise ValueError(f"MIDI input {name!r} not found ({self.api}; inputs: {listed})")
            name = found[0]
        follower = MidiClockFollower(tempo)
        self.follower = follower
        clock = self.clock

        def heard(message: Any) -> None:
            at = clock()
            # The rtmidi backend gives each message the driver's gap since the one before.
            gap = message.time if isinstance(message.time, float) and message.time >= 0 else None
            # Every message counts for the driver's time, whatever its type.
            position = message.pos if message.type == "songpos" else 0
            follower.message(message.type, at, pos=position, gap=gap)

        self._port = backend.open_input(name, callback=heard)

    def close(self) -> None:
        if self._port is not None:
            self._port.close()
            self._port = None
