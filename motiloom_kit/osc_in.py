"""Driving a running show over OSC (python-osc), from a controller app or another program.

    /motiloom/tempo/tap                        one tap (a show whose tempo comes from taps)
    /motiloom/group/<name>/pattern  "circle"   and size (float), rate ("1/2" or a number),
                                               phase (beats), spread ("wings", ...)
    /motiloom/master/size           0.8        every group's size times this, at once
    /motiloom/override              "home"     "home", "blackout", "hold" or "none"

A group change takes effect at the next bar; a second argument "now" makes it at once. The
server listens on loopback unless told another address. A message it cannot carry out is told on
stderr, in one line, and changes nothing.
"""

from __future__ import annotations

import sys
import threading
from typing import Any

from .rig import RigError
from .show import Show

PREFIX = "/motiloom"
GROUP_PARTS = ("pattern", "size", "rate", "phase", "spread")


class OscControl:
    """An OSC server, on its own thread, that turns messages into changes of `show`."""

    def __init__(self, show: Show, host: str = "127.0.0.1", port: int = 9001) -> None:
        try:
            from pythonosc import dispatcher, osc_server
        except ImportError as error:
            raise ImportError("OSC in needs python-osc: pip install 'motiloom[live]'") from error
        self.show = show
        self.heard: list[str] = []  # what was done, for whoever wants to know
        routes = dispatcher.Dispatcher()
        routes.set_default_handler(self._message)
        self.server = osc_server.ThreadingOSCUDPServer((host, port), routes)
        self.port = self.server.server_address[1]
        self._thread = threading.Thread(target=self.server.serve_forever, name="osc-in",
                                        daemon=True)  # fmt: skip

    def start(self) -> None:
        self._thread.start()

    def close(self) -> None:
        self.server.shutdown()
        self.server.server_close()

    def _message(self, address: str, *values: Any) -> None:
        try:
            self.heard.append(self.apply(address, values))
        except (RigError, ValueError, TypeError) as error:
            print(f"motiloom: osc {address}: {error}", file=sys.stderr)

    def apply(self, address: str, values: tuple[Any, ...]) -> str:
        """Carry out one message; returns what was done."""
        if not address.startswith(PREFIX + "/"):
            raise ValueError(f"not under {PREFIX}")
        parts = address.split("/")[2:]
        now = len(values) > 1 and values[1] == "now"
        if parts == ["tempo", "tap"]:
            bpm = self.show.tap()
            return f"tap: {bpm:.2f} BPM" if bpm else "tap"
        if len(parts) == 3 and parts[0] == "group" and parts[2] in GROUP_PARTS:
            if not values:
                raise ValueError("needs a value")
            value = values[0]
            if parts[2] == "size":
                value = float(value)
            at = self.show.change_group(parts[1], **{parts[2]: value}, at_once=now)
            return f"{parts[1]} {parts[2]} {value} from pip {float(at):g}"
        if parts == ["master", "size"] and values:
            self.show.set_master(float(values[0]))
            return f"master size {values[0]}"
        if parts == ["override"] and values:
            state = None if values[0] in ("none", "") else str(values[0])
            self.show.set_override(state)
            return f"override {state}"
        raise ValueError("not a message the show knows")
