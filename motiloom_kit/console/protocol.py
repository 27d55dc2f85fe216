"""What a console page and the show say to each other over the WebSocket.

From the show, as text (JSON):

    {"type": "state", "state": {...}}      what the show is doing (`Show.state()`): sent when a
                                           page connects, and to every page as soon as any change
                                           is made and again when it takes over
    {"type": "reply", "id": 7, "ok": true, "text": "front pattern lfo_breathe from bar 9",
     "at": 2048.0}                         a change carried out, and the position it starts at
    {"type": "reply", "id": 7, "ok": false, "error": "front: a size is above 0 ..."}
                                           a change refused; nothing changed

From the show, binary: one message per frame sent (only the latest, to a page that is behind),
little-endian:

    offset  0  uint32   the frame's number
            4  uint32   frames sent
            8  uint32   frames late
           12  float32  the tempo, BPM
           16  float64  the frame's musical position, in pips
           24  float32  x, y of every fixture in the rig's order: where it is in the frame as sent
                        (`Rig.shown`: a head read back from its channels, -1 .. +1 of its range)

From a page, as text (JSON), each with an optional integer "id" that its reply carries back:

    {"type": "group", "group": "front", "pattern": "circle"}   and/or "size" (a number), "rate"
                                           ("1/2", "dotted" or a number), "phase" (beats), "spread";
                                           "now": true for at once instead of at the next bar
    {"type": "master", "size": 0.8}        every group's size times this, at once
    {"type": "override", "state": "blackout"}   "home", "hold", "blackout", or null to play
    {"type": "tap", "t": 12345.6}          one tap; t is the page's clock (ms) when it was made
    {"type": "clock", "t": 12345.6}        the page's clock now (no reply), to relate it to the
                                           show's

A tap is timed by the page, not by its arrival, so that a phone on a busy network taps as
steadily as a key on the show's machine: the page's clock is mapped onto the show's by the
quickest message seen on the connection (the smallest arrival minus page time).
"""

from __future__ import annotations

import json
import math
import struct
from collections.abc import Callable, Mapping
from fractions import Fraction
from typing import Any

import numpy as np
from numpy.typing import NDArray

from ..clock import PIPS_PER_BEAT
from ..rig import STOP_STATES, RigError
from ..show import Show
from ..tempo import BEATS_PER_BAR

FRAME_HEADER = struct.Struct("<IIIfd")
GROUP_PARTS = ("pattern", "size", "rate", "phase", "spread")
MAX_MESSAGE = 4096  # bytes: the longest message a page has any reason to send
# A tap is placed at most this long before its arrival: a page clock that lies cannot reach
# further back into the tempo's past.
TAP_WINDOW = 2.0
# The parts of the state that change with every frame: frames carry them, so a state message is
# only sent when something else changed.
EVERY_FRAME = ("bar", "beat", "sent", "late")

_NUMBER = "a number"
_TEXT = "a string"
# For each message type: its fields, whether each is required, and what it may hold.
_FIELDS: dict[str, dict[str, tuple[bool, tuple[str, ...]]]] = {
    "group": {
        "group": (True, (_TEXT,)),
        "pattern": (False, (_TEXT,)),
        "size": (False, (_NUMBER,)),
        "rate": (False, (_TEXT, _NUMBER)),
        "phase": (False, (_NUMBER, _TEXT)),
        "spread": (False, (_TEXT,)),
        "now": (False, ("true or false",)),
    },
    "master": {"size": (True, (_NUMBER,))},
    "override": {"state": (True, (_TEXT, "null"))},
    "tap": {"t": (False, (_NUMBER,))},
    "clock": {"t": (True, (_NUMBER,))},
}


class Refused(ValueError):
    """A message the show will not carry out; its text is the reply's error."""


def frame_message(
    number: int, sent: int, late: int, bpm: float, position: float, shown: NDArray[np.float64]
) -> bytes:
    """The binary message of one frame sent (see the module notes)."""
    header = FRAME_HEADER.pack(
        number & 0xFFFFFFFF, sent & 0xFFFFFFFF, late & 0xFFFFFFFF, bpm, position
    )
    return header + np.ascontiguousarray(shown[:, :2], dtype="<f4").tobytes()


def read_frame(data: bytes) -> tuple[int, int, int, float, float, NDArray[np.float32]]:
    """A frame message taken apart: number, sent, late, bpm, position and (fixtures, 2) places."""
    number, sent, late, bpm, position = FRAME_HEADER.unpack_from(data)
    places = np.frombuffer(data, dtype="<f4", offset=FRAME_HEADER.size).reshape(-1, 2)
    return number, sent, late, bpm, position, places


def settled(state: Mapping[str, Any]) -> dict[str, Any]:
    """The state without what changes every frame (counts, bar, beat and the tempo's BPM)."""
    kept = {key: value for key, value in state.items() if key not in EVERY_FRAME}
    kept["tempo"] = {k: v for k, v in state["tempo"].items() if k != "bpm"}
    return kept


def bar_of(position: Fraction | float) -> int:
    """The bar (counted from 1) that a musical position falls in."""
    return math.floor(position / (BEATS_PER_BAR * PIPS_PER_BEAT)) + 1


def _is(value: Any, kind: str) -> bool:
    if kind == "null":
        return value is None
    if kind == "true or false":
        return isinstance(value, bool)
    if kind == _TEXT:
        return isinstance(value, str)
    # A number: JSON's true and false are not numbers, nor are NaN and the infinities.
    return isinstance(value, int | float) and not isinstance(value, bool) and math.isfinite(value)


def parse(text: str) -> dict[str, Any]:
    """One message from a page, checked field by field; Refused says what is wrong with it."""
    if len(text.encode()) > MAX_MESSAGE:
        raise Refused(f"a message is at most {MAX_MESSAGE} bytes")
    try:
        message = json.loads(text)
    except ValueError:
        raise Refused("a message is JSON text") from None
    if not isinstance(message, dict):
        raise Refused("a message is a JSON object")
    kind = message.get("type")
    if not isinstance(kind, str) or kind not in _FIELDS:
        raise Refused(f"the type of a message is one of {', '.join(_FIELDS)}, not {kind!r}")
    ident = message.get("id")
    if ident is not None and (isinstance(ident, bool) or not isinstance(ident, int)):
        raise Refused("a message's id is an integer")
    fields = _FIELDS[kind]
    for key, value in message.items():
        if key in ("type", "id"):
            continue
        if key not in fields:
            raise Refused(f"a {kind} message has no {key!r}")
        kinds = fields[key][1]
        if not any(_is(value, k) for k in kinds):
            raise Refused(f"{kind} {key} is {' or '.join(kinds)}, not {json.dumps(value)}")
    for key, (required, _) in fields.items():
        if required and key not in message:
            raise Refused(f"a {kind} message needs {key!r}")
    if kind == "group" and not any(part in message for part in GROUP_PARTS):
        raise Refused(f"a group message changes one of {', '.join(GROUP_PARTS)}")
    if kind == "override" and message["state"] not in (None, *STOP_STATES):
        raise Refused(
            f"override state is one of {', '.join(STOP_STATES)} or null, not {message['state']!r}"
        )
    return message


class Session:
    """One page's connection: its messages carried out on `show`, and its clock."""

    def __init__(self, show: Show, clock: Callable[[], float]) -> None:
        self.show = show
        self.clock = clock
        self.offset: float | None = None  # show time minus page time, by the quickest message

    def handle(self, text: str, arrived: float | None = None) -> tuple[dict[str, Any] | None, bool]:
        """Carry out one message that arrived at `arrived` (on the show's clock; now, by
        default): the reply (None for a clock message) and whether the show changed."""
        if arrived is None:
            arrived = self.clock()
        ident = None
        try:
            message = parse(text)
            ident = message.get("id")
            if "t" in message:
                self._heard(message["t"], arrived)
            if message["type"] == "clock":
                return None, False
            done = self._carry_out(message, arrived)
        except (Refused, RigError) as error:
            return {"type": "reply", "id": ident, "ok": False, "error": str(error)}, False
        return {"type": "reply", "id": ident, "ok": True, **done}, message["type"] != "tap"

    def _heard(self, page_ms: float, arrived: float) -> None:
        offset = arrived - page_ms / 1000
        if self.offset is None or offset < self.offset:
            self.offset = offset

    def _carry_out(self, message: dict[str, Any], arrived: float) -> dict[str, Any]:
        show = self.show
        kind = message["type"]
        if kind == "group":
            parts = {part: message[part] for part in GROUP_PARTS if part in message}
            now = bool(message.get("now", False))
            try:
                at = show.change_group(message["group"], **parts, at_once=now)
            except (TypeError, ValueError) as error:  # anything the show refuses changes nothing
                raise Refused(str(error)) from None
            what = ", ".join(f"{part} {value}" for part, value in parts.items())
            starts = "at once" if now else f"from bar {bar_of(at)}"
            return {"text": f"{message['group']}: {what} {starts}", "at": float(at)}
        if kind == "master":
            show.set_master(float(message["size"]))
            return {"text": f"master size {message['size']:g}"}
        if kind == "override":
            show.set_override(message["state"])
            return {"text": f"{message['state'] or 'playing'}"}
        # A tap: at the page's time of it when the page said, else when it arrived.
        when = arrived
        if "t" in message and self.offset is not None:
            placed = message["t"] / 1000 + self.offset
            if arrived - TAP_WINDOW <= placed <= arrived:
                when = placed
        bpm = show.tap(when)
        return {"text": f"tap: {bpm:.1f} BPM" if bpm else "tap: one more for a tempo",
                "bpm": bpm}  # fmt: skip
