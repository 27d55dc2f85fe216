"""Tempo and beat phase from an Ableton Link session, through `aalink` (the `link` extra, GPL).

The show joins the session and follows it: its tempo becomes the session's, and its bar phase
(quantum 4) is eased onto the session's whenever they part by more than a little. Link joins
every network interface that is up and multicasts on it; it runs only when asked for.

The peer is made, then enabled a little later: a peer enabled at once can push its own starting
tempo onto a session it should have joined.
"""

from __future__ import annotations

import asyncio
import threading
import time
from collections.abc import Callable
from fractions import Fraction
from typing import Any

from .clock import PIPS_PER_BEAT
from .tempo import TempoMap

QUANTUM = 4
POLL_SECONDS = 0.01
ENABLE_AFTER = 0.6


class LinkTempo:
    """The tempo source that follows a Link session."""

    def __init__(
        self,
        *,
        quantum: int = QUANTUM,
        clock: Callable[[], float] = time.monotonic,
        enable_after: float = ENABLE_AFTER,
    ) -> None:
        self.quantum = quantum
        self.clock = clock
        self.enable_after = enable_after
        self._thread: threading.Thread | None = None
        self._stop = threading.Event()
        self._ready = threading.Event()
        self._error: BaseException | None = None
        self.peers = 0
        self.bpm: float | None = None

    def describe(self) -> str:
        return f"Link ({self.peers} peer{'s' if self.peers != 1 else ''})"

    def start(self, tempo: TempoMap) -> None:
        try:
            import aalink  # noqa: F401
        except ImportError as error:
            raise ImportError(
                "following Link needs aalink: pip install 'motiloom[link]'"
            ) from error
        self._thread = threading.Thread(target=self._run, args=(tempo,), name="link", daemon=True)
        self._thread.start()
        self._ready.wait(5)
        if self._error is not None:
            raise self._error

    def _run(self, tempo: TempoMap) -> None:
        try:
            asyncio.run(self._follow(tempo))
        except BaseException as error:
            self._error = error
            self._ready.set()

    async def _follow(self, tempo: TempoMap) -> None:
        from aalink import Link

        link: Any = Link(float(tempo.bpm))
        link.quantum = self.quantum
        self._ready.set()
        await asyncio.sleep(self.enable_after)
        link.enabled = True
        bar = self.quantum * PIPS_PER_BEAT
        try:
            while not self._stop.is_set():
                at = self.clock()
                session, phase = float(link.tempo), float(link.phase)
                self.peers = int(link.num_peers)
                if self.peers:
                    self.bpm = session
                    tempo.set_bpm(session, at=at)
                    # Our place in the bar against the session's: ease onto it by the short way.
                    ours = tempo.position_at(at)
                    gap = (phase * PIPS_PER_BEAT - ours) % bar
                    if gap > bar / 2:
                        gap -= bar
                    if abs(gap) > 0.5:
                        tempo.align(Fraction(ours + gap), at, within=Fraction(1, 2))
                await asyncio.sleep(POLL_SECONDS)
        finally:
            link.enabled = False

    def close(self) -> None:
        self._stop.set()
        if self._thread is not None:
            self._thread.join(5)
            self._thread = None
