"""Ableton Link peers for the show's Link input, each a subprocess inside a network namespace.

    with Namespace() as ns, LinkPeer(ns, bpm=120) as peer:
        show = ns.popen([python, "-m", "motiloom_kit", "play", rig, "--link", ...])
        peer.wait_for(lambda s: s.peers >= 1)   # the show has joined the session
        peer.set_tempo(135)                     # the show should follow within a beat or so
        peer.status().phase                     # beat phase within the quantum, right now

Link (through `aalink`, GPL, hence an optional extra) joins every interface that is up, sends
multicast discovery (224.76.78.75:20808) on each and answers peers by unicast, so peers only
ever run inside a private namespace, where that traffic cannot leave. There, with `lo` and the
veth at 127.0.0.2, two peers find each other without further setup (lo needs no multicast flag):
each binds one socket per address (127.0.0.1 and 127.0.0.2) and port 20808.

Measured here with two aalink 0.2.3 peers, quantum 4 (8 runs): a second peer's process agreed
with the first on tempo and phase 0.14-0.65 s after it was started (0.1 s of that is Python and
aalink starting); a tempo set on one peer showed on the other 44-55 ms later; once agreed, their
phases differed by at most 0.0001 beat. Link carries tempo as whole microseconds per beat, so a
tempo reads back inexactly (135 -> 135.000135): compare tempi to 1e-3 BPM. Link aligns phase
within the quantum, not beat numbers: peers agree on `phase`, their `beat` may differ by a
multiple of the quantum. A peer enabled right after it is made sometimes imposes its own tempo
on the session it joins instead of adopting it (2 of 10 runs here; aalink issue 7); made, then
enabled 0.6 s later, it adopted the session's tempo in 10 of 10. `enable_after` does that for
the peers here; the show joining a session needs the same care.
"""

from __future__ import annotations

import json
import subprocess
import sys
import threading
from collections.abc import Callable
from pathlib import Path
from typing import IO, Any, NamedTuple

from . import Unavailable, close_pipes, log_tail, wait_until
from .netns import Namespace

PEER_SCRIPT = Path(__file__).with_name("link_peer.py")


class LinkStatus(NamedTuple):
    at: float  # time.monotonic() at which it was read (the clock is machine-wide)
    link_time: int  # Link's own clock, microseconds
    peers: int  # other peers this one sees
    tempo: float
    beat: float
    phase: float  # beat within the quantum, 0 <= phase < quantum
    playing: bool


def phase_difference(a: float, b: float, quantum: float = 4.0) -> float:
    """The signed difference a - b of two phases, folded into (-quantum/2, quantum/2]."""
    difference = (a - b) % quantum
    return difference - quantum if difference > quantum / 2 else difference


def require_aalink(python: str = sys.executable) -> None:
    """Unavailable unless `python` can import aalink."""
    done = subprocess.run(
        [python, "-c", "import aalink"], capture_output=True, text=True, timeout=30
    )
    if done.returncode:
        raise Unavailable(
            f"aalink (the optional link extra, GPL) cannot be imported by {python}: "
            f"{log_tail(done.stderr, 1)}"
        )


class LinkPeer:
    """A Link peer at `bpm` with `quantum`, in `namespace`, answering `status()` and taking
    `set_tempo()`; run by `python` (which must have aalink), enabled `enable_after` s after its
    Link is made."""

    def __init__(
        self,
        namespace: Namespace,
        bpm: float,
        *,
        quantum: float = 4.0,
        enable_after: float = 0.0,
        python: str = sys.executable,
    ) -> None:
        self.namespace = namespace
        self.bpm = bpm
        self.quantum = quantum
        self.enable_after = enable_after
        self.python = python
        self.process: subprocess.Popen[str] | None = None
        self._stderr: list[str] = []
        self._drainer: threading.Thread | None = None
        self._lock = threading.Lock()

    def __enter__(self) -> LinkPeer:
        self.start()
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def start(self, timeout: float = 10.0) -> None:
        """Start the peer and wait for its "ready" (its Link enabled)."""
        require_aalink(self.python)
        self.process = self.namespace.popen(
            [
                self.python,
                str(PEER_SCRIPT),
                f"{self.bpm:g}",
                f"{self.quantum:g}",
                f"{self.enable_after:g}",
            ],
            stdin=subprocess.PIPE,
            stdout=subprocess.PIPE,
            stderr=subprocess.PIPE,
            text=True,
            bufsize=1,
        )
        self._drainer = threading.Thread(
            target=self._drain, args=(self.process.stderr,), daemon=True
        )
        self._drainer.start()
        line = self._readline(timeout)
        if line != "ready":
            self.close()
            raise RuntimeError(f"the Link peer did not start: {line!r} {self._log()}")

    def _drain(self, stream: IO[str]) -> None:
        for line in stream:
            self._stderr.append(line)

    def _log(self) -> str:
        return log_tail("".join(self._stderr))

    def _readline(self, timeout: float) -> str:
        assert self.process is not None and self.process.stdout is not None
        result: list[str] = []
        reader = threading.Thread(
            target=lambda: result.append(self.process.stdout.readline()),  # type: ignore[union-attr]
            daemon=True,
        )
        reader.start()
        reader.join(timeout)
        if not result:
            raise TimeoutError(f"the Link peer did not answer within {timeout:g} s: {self._log()}")
        if not result[0]:
            self.process.wait(timeout=5)
            raise RuntimeError(f"the Link peer exited ({self.process.returncode}): {self._log()}")
        return result[0].strip()

    def _ask(self, command: str, timeout: float = 5.0) -> LinkStatus:
        with self._lock:
            if self.process is None or self.process.poll() is not None or not self.process.stdin:
                raise RuntimeError(f"the Link peer is not running: {self._log()}")
            self.process.stdin.write(command + "\n")
            self.process.stdin.flush()
            reply: dict[str, Any] = json.loads(self._readline(timeout))
        if "error" in reply:
            raise ValueError(reply["error"])
        return LinkStatus(**reply)

    def status(self) -> LinkStatus:
        return self._ask("status")

    def set_tempo(self, bpm: float) -> LinkStatus:
        """Propose `bpm` to the session; the status just after."""
        self.bpm = bpm
        return self._ask(f"tempo {bpm:g}")

    def wait_for(
        self, condition: Callable[[LinkStatus], bool], timeout: float = 10.0, what: str = ""
    ) -> LinkStatus:
        """Poll the status every 10 ms until `condition` holds; that status."""
        last: list[LinkStatus] = []

        def check() -> LinkStatus | None:
            last[:] = [self.status()]
            return last[0] if condition(last[0]) else None

        return wait_until(
            check,
            timeout,
            f"the Link peer never saw {what or 'the condition'}",
            lambda: f"last status {last[0] if last else None}",
            interval=0.01,
        )

    def close(self) -> None:
        if self.process is None:
            return
        if self.process.poll() is None:
            try:
                assert self.process.stdin is not None
                self.process.stdin.write("quit\n")
                self.process.stdin.flush()
                self.process.wait(timeout=5)
            except (OSError, subprocess.TimeoutExpired, AssertionError):
                self.process.kill()
                self.process.wait(timeout=5)
        if self._drainer is not None:
            self._drainer.join(timeout=5)  # it ends at the end of the output
        close_pipes(self.process)
        self.process = None
