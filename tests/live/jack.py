"""A private JACK server with a MIDI clock on it, for the show's MIDI clock input.

    with JackServer() as jack, MidiClock(jack, bpm=120) as clock:
        show = subprocess.Popen([python, "-m", "motiloom_kit", "play", rig,
                                 "--midi-clock", clock.port], env={**os.environ, **jack.env})
        clock.play()
        ...
        clock.tempo(150)        # the next clock tick already comes at the new rate
        clock.stop()            # sends stop, then song position

There is no ALSA sequencer in this container, so MIDI goes through JACK. Found to work here:
- `jackd -R -P 10 -n NAME -d dummy -r 48000 -p 256`, as root, with JACK_NO_AUDIO_RESERVATION=1
  (no D-Bus device reservation). The private server name keeps tests apart; every client finds it
  through JACK_DEFAULT_SERVER=NAME. JACK_NO_START_SERVER=1 stops a client from starting a default
  server with the ALSA driver when this one is not there (libjack does that otherwise).
- The dummy driver's sample clock is what the MIDI clock counts in, and it loses time whenever
  a cycle wakes late (an "XRun" in jackd's log): with --no-realtime on this shared machine at a
  load of 3, a 120 BPM clock ran at 119.2-119.7 BPM with -p 256 and 115 BPM with -p 64. Realtime
  scheduling (-R, which root has here) kept it at 119.96-119.98 BPM; JackServer asks for it and
  falls back to --no-realtime (saying so in `realtime`) where it is refused.
- A MIDI event reaches a client at the start of a period, so with -p 256 at 48 kHz arrival times
  are quantised to 5.33 ms; at 120 BPM clock intervals spread over about 16-24 ms (sd 1.6 ms).
- `jack_midi_clock` sends 24 clocks per quarter note only while JACK transport rolls. Its tempo
  comes from the transport's timebase master when there is one: `jack_transport`, run here
  with its commands on stdin, becomes master ("master"), sets the tempo ("tempo 150", taking
  effect from the next clock) and starts, stops and relocates the transport ("play", "stop",
  "locate FRAME"). With a master, jack_midi_clock sends start (0xFA) when rolling from frame 0;
  on stop it sends stop (0xFC) then a song position (0xF2, in sixteenths); on rolling from
  anywhere else a song position, then continue (0xFB) after its resync delay, which MidiClock
  sets to 0 (the default, 2 s, sends a song position 2 s ahead and keeps sending clocks before
  the continue). Without a master (jack_midi_clock -b BPM alone) no song position is ever sent.
- The receiving side: python-rtmidi's PyPI wheel (1.5.8) has the JACK API built in (it ships
  its own libjack 1.9.22, which talks to Debian's jackd 1.9.21). With mido:
      mido.Backend("mido.backends.rtmidi/UNIX_JACK").open_input("jack_midi_clock:mclk_out")
  connects to the clock (the client is named "RtMidiIn Client"); mido lets clock messages
  through. Passing client_name= makes mido open a virtual port instead, connected to nothing.
  The default API is ALSA, which fails here ("MidiInAlsa::initialize: error creating ALSA
  sequencer client object"): always name UNIX_JACK.
- Clients must be gone before jackd is stopped, or it can die on SIGPIPE and leave its files in
  /dev/shm; stop() stops the clients it started first and removes this server's files after.
"""

from __future__ import annotations

import itertools
import os
import subprocess
import threading
import time
from collections.abc import Iterator, Sequence
from contextlib import contextmanager
from pathlib import Path
from typing import IO, Any, NamedTuple

from . import (
    PREFIX,
    Unavailable,
    close_pipes,
    log_tail,
    need_program,
    remove_stale_files,
    wait_until,
)

SHM = Path("/dev/shm")
REGISTRY = SHM / "jack-shm-registry"  # JACK's table of its shared memory, kept between servers
_numbers = itertools.count(1)
CLOCK, START, CONTINUE, STOP, SONG_POSITION = 0xF8, 0xFA, 0xFB, 0xFC, 0xF2


def _stop_process(process: subprocess.Popen[Any] | None, grace: float = 5.0) -> None:
    if process is None:
        return
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=grace)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(timeout=5)
    close_pipes(process)


def _jackd_running() -> bool:
    for entry in Path("/proc").iterdir():
        try:
            if entry.name.isdigit() and (entry / "comm").read_text().strip() == "jackd":
                return True
        except OSError:
            pass
    return False


class JackServer:
    """jackd with the dummy driver under a private name; `env` lets a client find it."""

    def __init__(
        self,
        *,
        name: str | None = None,
        rate: int = 48000,
        period: int = 256,
        realtime: bool = True,
    ) -> None:
        self.name = name or f"{PREFIX}-{os.getpid()}-{next(_numbers)}"
        self.rate = rate
        self.period = period
        self.realtime = realtime
        self.process: subprocess.Popen[bytes] | None = None
        self.clients: list[subprocess.Popen[Any]] = []
        self._log: IO[bytes] | None = None
        self._log_path = Path(f"/tmp/{self.name}-jackd.log")
        self._registry_was_there = True

    @property
    def env(self) -> dict[str, str]:
        """What a JACK client's environment needs to reach this server and no other."""
        return {
            "JACK_DEFAULT_SERVER": self.name,
            "JACK_NO_START_SERVER": "1",
            "JACK_NO_AUDIO_RESERVATION": "1",
        }

    def __enter__(self) -> JackServer:
        self.start()
        return self

    def __exit__(self, *exc: object) -> None:
        self.stop()

    def start(self, timeout: float = 10.0) -> None:
        need_program("jackd", "jackd2")
        need_program("jack_lsp", "jackd2")
        remove_stale_files()
        self._registry_was_there = REGISTRY.exists()
        if self.realtime:
            try:
                self._start(["-R", "-P", "10"], timeout)
                # jackd runs on without it when the kernel refuses realtime threads
                self.realtime = "Cannot use real-time scheduling" not in self.log(200)
                return
            except (RuntimeError, TimeoutError):
                self.realtime = False
        self._start(["--no-realtime"], timeout)

    def _start(self, scheduling: list[str], timeout: float) -> None:
        self._log = open(self._log_path, "wb")  # closed in stop()
        self.process = subprocess.Popen(
            ["jackd", *scheduling, "-n", self.name,
             "-d", "dummy", "-r", str(self.rate), "-p", str(self.period)],
            env={**os.environ, **self.env},
            stdin=subprocess.DEVNULL,
            stdout=self._log,
            stderr=subprocess.STDOUT,
        )  # fmt: skip

        def running() -> bool:
            if self.process is not None and self.process.poll() is not None:
                raise RuntimeError(f"jackd exited with {self.process.returncode}: {self.log()}")
            return "system:playback_1" in self.ports()

        try:
            wait_until(running, timeout, f"jackd {self.name} did not start", self.log, 0.1)
        except BaseException:
            self.stop()
            raise

    def client(self, argv: Sequence[str], **kwargs: Any) -> subprocess.Popen[Any]:
        """Start a JACK client program on this server; stopped before the server is."""
        kwargs.setdefault("stdin", subprocess.DEVNULL)
        kwargs["env"] = {**os.environ, **kwargs.get("env", {}), **self.env}
        process: subprocess.Popen[Any] = subprocess.Popen(list(argv), **kwargs)
        self.clients.append(process)
        return process

    def run(self, argv: Sequence[str], timeout: float = 10.0) -> str:
        done = subprocess.run(
            list(argv),
            env={**os.environ, **self.env},
            capture_output=True,
            text=True,
            timeout=timeout,
            stdin=subprocess.DEVNULL,
        )
        if done.returncode:
            raise RuntimeError(
                f"{' '.join(argv)} exited {done.returncode}: {log_tail(done.stderr)}"
            )
        return done.stdout

    def ports(self) -> list[str]:
        try:
            return self.run(["jack_lsp"]).splitlines()
        except RuntimeError:
            return []

    def connections(self) -> dict[str, list[str]]:
        """Each port and the ports connected to it."""
        result: dict[str, list[str]] = {}
        current = ""
        for line in self.run(["jack_lsp", "-c"]).splitlines():
            if line.startswith("   "):
                result[current].append(line.strip())
            else:
                current = line
                result[current] = []
        return result

    def connect(self, source: str, destination: str) -> None:
        """Connect two ports and check that JACK shows the connection."""
        self.run(["jack_connect", source, destination])
        if destination not in self.connections().get(source, []):
            raise RuntimeError(f"jack_connect {source} {destination} made no connection")

    def log(self, lines: int = 15) -> str:
        try:
            return log_tail(self._log_path.read_bytes(), lines)
        except OSError:
            return "(no log)"

    def stop(self) -> None:
        """Stop the clients started here, then jackd; remove the files it left in /dev/shm."""
        for client in reversed(self.clients):
            _stop_process(client)
        self.clients.clear()
        _stop_process(self.process, grace=10.0)
        self.process = None
        if self._log is not None:
            self._log.close()
            self._log = None
            self._log_path.unlink(missing_ok=True)
        # Named after this server: its socket and semaphores (the shared memory segments are
        # JACK's own registry's, reclaimed by the next jackd to start).
        for pattern in (f"jack_{self.name}_*", f"jack_sem.*_{self.name}_*"):
            for path in SHM.glob(pattern):
                path.unlink(missing_ok=True)
        # The registry this server made, once no JACK server is left to use it.
        if not self._registry_was_there and not _jackd_running():
            REGISTRY.unlink(missing_ok=True)


class MidiClock:
    """jack_midi_clock on `server`, its tempo and transport set through jack_transport.

    `port` is the clock's output; `connect_to` ports are connected to it at start."""

    def __init__(
        self,
        server: JackServer,
        bpm: float,
        *,
        connect_to: Sequence[str] = (),
        song_position: bool = True,
    ) -> None:
        self.server = server
        self.bpm = bpm
        self.connect_to = list(connect_to)
        self.song_position = song_position
        self.port = "jack_midi_clock:mclk_out"
        self._clock: subprocess.Popen[bytes] | None = None
        self._transport: subprocess.Popen[str] | None = None
        self._log_path: Path | None = None

    def __enter__(self) -> MidiClock:
        self.start()
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def start(self, timeout: float = 10.0) -> None:
        need_program("jack_midi_clock", "jack-midi-clock")
        need_program("jack_transport", "jackd2")
        argv = ["jack_midi_clock", "--resync-delay", "0", "--bpm", f"{self.bpm:g}"]
        if not self.song_position:
            argv.append("--no-position")
        if self.port in self.server.ports():
            raise RuntimeError(f"{self.port} exists already: one MidiClock per JackServer")
        self._log_path = Path(f"/tmp/{self.server.name}-clock.log")
        with open(self._log_path, "wb") as log:
            self._clock = self.server.client(
                [*argv, *self.connect_to], stdout=log, stderr=subprocess.STDOUT
            )
        self._transport = self.server.client(
            ["jack_transport"],
            stdin=subprocess.PIPE,
            stdout=subprocess.DEVNULL,
            stderr=subprocess.STDOUT,
            text=True,
        )

        def made() -> bool:
            if self._clock is not None and self._clock.poll() is not None:
                raise RuntimeError(
                    f"jack_midi_clock exited with {self._clock.returncode}: {self.log()}"
                )
            return self.port in self.server.ports()

        wait_until(made, timeout, "jack_midi_clock did not make its port", self.log)
        self.command("master")
        self.tempo(self.bpm)

    def log(self) -> str:
        """jack_midi_clock's output."""
        try:
            return log_tail(self._log_path.read_bytes()) if self._log_path else "(not started)"
        except OSError:
            return "(no output)"

    def command(self, line: str) -> None:
        """A jack_transport command line ("play", "stop", "locate FRAME", "tempo BPM", ...)."""
        transport = self._transport
        if transport is None or transport.poll() is not None or transport.stdin is None:
            raise RuntimeError("jack_transport is not running")
        transport.stdin.write(line + "\n")
        transport.stdin.flush()

    def tempo(self, bpm: float) -> None:
        self.bpm = bpm
        self.command(f"tempo {bpm:g}")

    def play(self) -> None:
        self.command("play")

    def stop(self) -> None:
        self.command("stop")

    def locate(self, beats: float) -> None:
        """Move the transport to `beats` quarter notes at the current tempo (JACK's bar and beat
        come from the frame at the current tempo: a tempo change moves them)."""
        self.command(f"locate {round(beats * 60 / self.bpm * self.server.rate)}")

    def close(self) -> None:
        if self._transport is not None and self._transport.poll() is None:
            try:
                self.command("quit")
                self._transport.wait(timeout=3)
            except (RuntimeError, OSError, subprocess.TimeoutExpired):
                pass
        for process in (self._transport, self._clock):
            _stop_process(process)
            if process in self.server.clients:
                self.server.clients.remove(process)
        self._transport = self._clock = None
        if self._log_path is not None:
            self._log_path.unlink(missing_ok=True)


class Event(NamedTuple):
    at: float  # time.monotonic() when it reached this process
    data: bytes


class ClockReceiver:
    """A python-rtmidi JACK input in this process that keeps every MIDI event it gets."""

    def __init__(self, server: JackServer, source: str, *, name: str = "motiloom-harness") -> None:
        try:
            import rtmidi
        except ImportError:
            raise Unavailable("python-rtmidi is not installed (the live extra)") from None
        with _environment(server.env):
            self._midi = rtmidi.MidiIn(rtmidi.API_UNIX_JACK, name=name)
        self._midi.ignore_types(sysex=True, timing=False, active_sense=True)
        self._midi.open_virtual_port("in")
        self.port = f"{name}:in"
        self.events: list[Event] = []
        self._lock = threading.Lock()
        self._midi.set_callback(self._arrived)
        server.connect(source, self.port)

    def _arrived(self, event: tuple[list[int], float], _data: object) -> None:
        with self._lock:
            self.events.append(Event(time.monotonic(), bytes(event[0])))

    def ticks(self, since: float = 0.0) -> list[float]:
        with self._lock:
            return [e.at for e in self.events if e.data[0] == CLOCK and e.at >= since]

    def messages(self) -> list[Event]:
        """Everything but clock ticks."""
        with self._lock:
            return [e for e in self.events if e.data[0] != CLOCK]

    def close(self) -> None:
        self._midi.cancel_callback()
        self._midi.close_port()
        self._midi.delete()

    def __enter__(self) -> ClockReceiver:
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()


@contextmanager
def _environment(values: dict[str, str]) -> Iterator[None]:
    """Set environment variables while a library reads them (libjack does at client open)."""
    saved = {key: os.environ.get(key) for key in values}
    os.environ.update(values)
    try:
        yield
    finally:
        for key, value in saved.items():
            if value is None:
                os.environ.pop(key, None)
            else:
                os.environ[key] = value


def song_position(event: bytes) -> int:
    """Sixteenth notes from the start, of a song position message."""
    if len(event) != 3 or event[0] != SONG_POSITION:
        raise ValueError(f"not a song position message: {event.hex()}")
    return event[1] | event[2] << 7
