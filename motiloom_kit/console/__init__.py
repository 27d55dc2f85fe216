"""The console: a page in the browser that shows a running show and changes it.

    motiloom play RIG.toml --web 8080        # http://127.0.0.1:8080/
    motiloom play RIG.toml --web 0.0.0.0:8080  # any interface: the page needs the printed token

The page shows the tempo (its source and BPM, and a tap button), the bar and beat, the frames
sent and late, every group's pattern, size, rate, phase and spread, a master size and the
blackout, home and hold controls, and every fixture as a dot where the frames sent put it. What
it changes goes through the show's own API (`Show.change_group`, `set_master`, `set_override`,
`tap`), the same as OSC in; every page sees every change. `protocol` describes the WebSocket.
"""

from __future__ import annotations

from .server import Console, is_loopback

__all__ = ["Console", "is_loopback"]
