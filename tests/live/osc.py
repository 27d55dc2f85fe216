"""liblo's `oscdump` as an OSC receiver, its printout parsed back into messages and bundles.

    with Namespace() as ns, Oscdump(9000, ns) as dump:
        ns.run([python, "-m", "motiloom_kit", "play", "osc-rig.toml", "--seconds", "2"])
        dump.wait_for(messages=4 * 88)
        bundles = dump.bundles()       # [Bundle(timetag, [Message(address, types, values), ...])]

oscdump (liblo-tools 0.31) binds its port on every interface (a host in its URL means a multicast
group), so it runs inside a namespace unless the caller passes none, when it listens on the
machine's own port; it only ever receives. It prints one line per message:

    <sec>.<frac> <address> <typetags> <value> <value> ...

`sec.frac` is an NTP time tag in 8+8 hex digits: a bundle's own time tag for every message in it,
or the time of arrival when the bundle (or a lone message) says "immediately". There is no line
for a bundle itself: messages of one bundle are the consecutive lines that share its time tag, so
two bundles with the same explicit time tag read back as one. A bundle time-tagged in the future
is held by liblo and printed (dispatched) only at that time. Values print as: i h -> decimal,
f d -> "%f" (six decimals: compare floats to 5e-7), s -> "text" in double quotes, S -> 'symbol,
c -> 'x', b -> [3b 0x1 0 0xff] (over 12 bytes only "[20 byte blob]"), m -> MIDI [0x90 ...],
t -> sec.frac, T F N I -> #T #F Nil Infinitum.
"""

from __future__ import annotations

import math
import os
import re
import signal
import subprocess
import threading
import time
from typing import Any, NamedTuple

from . import close_pipes, log_tail, need_program, wait_until
from .netns import Namespace

NTP_TO_UNIX = 2_208_988_800  # seconds from 1900-01-01 to 1970-01-01
_LINE = re.compile(r"^([0-9a-f]{8})\.([0-9a-f]{8}) (\S+) ?(\S*)(.*)$")


class Message(NamedTuple):
    timetag: tuple[int, int]  # NTP seconds and 1/2**32 fractions, as oscdump printed them
    address: str
    types: str
    values: tuple[Any, ...]

    @property
    def unix_time(self) -> float:
        return self.timetag[0] - NTP_TO_UNIX + self.timetag[1] / 2**32


class Bundle(NamedTuple):
    timetag: tuple[int, int]
    messages: list[Message]


def _value(kind: str, text: str) -> tuple[Any, str]:
    """One value of type `kind` from the front of `text`; the value and the rest."""
    if kind == "s":
        end = text.index('" ', 1) if '" ' in text[1:] else len(text) - 1
        if not text.startswith('"') or text[end] != '"':
            raise ValueError(f"expected a quoted string at {text[:30]!r}")
        return text[1:end], text[end + 1 :].lstrip(" ")
    if kind in "bm":
        end = text.index("]") + 1
        body = text[:end]
        rest = text[end:].lstrip(" ")
        if kind == "m":
            return bytes(int(h, 16) for h in re.findall(r"0x([0-9a-f]{2})", body)), rest
        if re.fullmatch(r"\[\d+ byte blob\]", body):  # oscdump prints no content past 12 bytes
            return None, rest
        # "%#02x" prints a zero byte as "0", any other as "0x.."
        return bytes(int(byte, 0) for byte in body.strip("[]").split()[1:]), rest
    token, _, rest = text.partition(" ")
    if kind in "ih":
        return int(token), rest
    if kind in "fd":
        return float(token), rest
    if kind == "t":
        sec, frac = token.split(".")
        return (int(sec, 16), int(frac, 16)), rest
    if kind == "S":
        return token.removeprefix("'"), rest
    if kind == "c":
        return token.strip("'"), rest
    fixed = {"T": True, "F": False, "N": None, "I": math.inf}
    if kind in fixed:
        return fixed[kind], rest
    raise ValueError(f"unknown OSC type tag {kind!r}")


def parse_line(line: str) -> Message | None:
    """A message from one line of oscdump, or None for a line that is not one (an error)."""
    match = _LINE.match(line.rstrip("\n"))
    if match is None:
        return None
    sec, frac, address, types, rest = match.groups()
    values = []
    rest = rest.lstrip(" ")
    for kind in types:
        value, rest = _value(kind, rest)
        values.append(value)
    if rest.strip():
        raise ValueError(f"values left over after {types!r}: {rest[:40]!r} in {line!r}")
    return Message((int(sec, 16), int(frac, 16)), address, types, tuple(values))


def group_bundles(messages: list[Message]) -> list[Bundle]:
    """Consecutive messages with one time tag, as one bundle each."""
    bundles: list[Bundle] = []
    for message in messages:
        if bundles and bundles[-1].timetag == message.timetag:
            bundles[-1].messages.append(message)
        else:
            bundles.append(Bundle(message.timetag, [message]))
    return bundles


def _udp_port_bound(pid: int, port: int) -> bool:
    """Whether a UDP socket is bound to `port` in the network namespace of process `pid`."""
    wanted = f":{port:04X} "
    for table in ("udp", "udp6"):
        try:
            with open(f"/proc/{pid}/net/{table}") as handle:
                if any(wanted in line.split(None, 2)[1] + " " for line in list(handle)[1:]):
                    return True
        except (OSError, IndexError):
            pass
    return False


class Oscdump:
    """`oscdump -L PORT`, in `namespace` (or on this machine when None), collecting lines."""

    def __init__(self, port: int, namespace: Namespace | None = None) -> None:
        self.port = port
        self.namespace = namespace
        self.process: subprocess.Popen[str] | None = None
        self.lines: list[str] = []
        self.errors: list[str] = []
        self._messages: list[Message] = []
        self._lock = threading.Lock()
        self._reader: threading.Thread | None = None

    def __enter__(self) -> Oscdump:
        self.start()
        return self

    def __exit__(self, *exc: object) -> None:
        self.stop()

    def start(self, timeout: float = 5.0) -> None:
        need_program("oscdump", "liblo-tools")
        argv = ["oscdump", "-L", str(self.port)]
        kwargs: dict[str, Any] = dict(
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, stdin=subprocess.DEVNULL
        )
        if self.namespace is not None:
            self.process = self.namespace.popen(argv, **kwargs)
        else:
            self.process = subprocess.Popen(argv, **kwargs)
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        process = self.process

        def bound() -> bool:
            if process.poll() is not None:
                raise RuntimeError(
                    f"oscdump exited with {process.returncode}: {log_tail(''.join(self.lines))}"
                )
            return _udp_port_bound(process.pid, self.port)

        try:
            wait_until(bound, timeout, f"oscdump did not bind UDP port {self.port}")
        except BaseException:
            self.stop()
            raise

    def _read(self) -> None:
        assert self.process is not None and self.process.stdout is not None
        for line in self.process.stdout:
            try:
                message = parse_line(line)
            except ValueError as error:
                message = None
                line = f"{line.rstrip()}  <- {error}\n"
            with self._lock:
                self.lines.append(line)
                if message is None:
                    self.errors.append(line.rstrip("\n"))
                else:
                    self._messages.append(message)

    def messages(self) -> list[Message]:
        """Every message printed so far, in order."""
        with self._lock:
            return list(self._messages)

    def bundles(self) -> list[Bundle]:
        return group_bundles(self.messages())

    def wait_for(self, messages: int, timeout: float = 10.0) -> list[Message]:
        """Wait until at least `messages` messages have been printed; all of them."""
        wait_until(
            lambda: len(self._messages) >= messages,
            timeout,
            f"oscdump did not print {messages} messages",
            lambda: f"{len(self._messages)} arrived, ending {log_tail(''.join(self.lines), 3)}",
        )
        return self.messages()

    def stop(self, settle: float = 0.1) -> list[Message]:
        """Give lines in flight `settle` s, stop oscdump (SIGINT) and return all messages."""
        if self.process is not None and self.process.poll() is None:
            time.sleep(settle)
            self.process.send_signal(signal.SIGINT)
            try:
                self.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                os.kill(self.process.pid, signal.SIGKILL)
                self.process.wait(timeout=5)
        if self._reader is not None:
            self._reader.join(timeout=5)
            self._reader = None
        if self.process is not None:
            close_pipes(self.process)
        return self.messages()
