"""Real receivers for the live show's tests: OLA, oscdump, JACK with a MIDI clock, Link peers.

Every receiver that listens or probes on more than loopback runs inside a private network
namespace (`netns.Namespace`), so nothing it sends can leave the machine. A test imports these
modules as the package `live` (pytest puts `tests/` on the path for a test file in this folder):

    from live.netns import Namespace
    from live.ola import Olad

Anything this machine lacks (not root, a Debian package that could not be installed, a Python
package missing from the environment) raises `Unavailable`, whose message says exactly what is
missing; a test turns it into `pytest.skip(str(error))`.
"""

from __future__ import annotations

import shutil
import time
from collections.abc import Callable
from typing import TypeVar

T = TypeVar("T")


class Unavailable(RuntimeError):
    """The machine cannot run this receiver; the message says why (a test skips with it)."""


def need_program(name: str, package: str) -> str:
    """The path of `name`, or Unavailable naming the Debian package that provides it."""
    path = shutil.which(name)
    if path is None:
        raise Unavailable(
            f"{name} is not installed (Debian package {package}; `make live-deps` installs it)"
        )
    return path


def log_tail(text: str | bytes | None, lines: int = 15) -> str:
    """The last lines of a program's output, for an error message."""
    if isinstance(text, bytes):
        text = text.decode(errors="replace")
    kept = (text or "").strip().splitlines()[-lines:]
    return "\n".join(kept) if kept else "(no output)"


def wait_until(
    ready: Callable[[], T | None],
    timeout: float,
    what: str,
    detail: Callable[[], str] | None = None,
    interval: float = 0.05,
) -> T:
    """Poll `ready()` until it returns something true and return that, or raise TimeoutError.

    The message reads "<what> within <timeout> s", then `detail()` when given (say a log tail).
    """
    deadline = time.monotonic() + timeout
    while True:
        value = ready()
        if value:
            return value
        if time.monotonic() >= deadline:
            message = f"{what} within {timeout:g} s"
            if detail is not None:
                message += f": {detail()}"
            raise TimeoutError(message)
        time.sleep(interval)
