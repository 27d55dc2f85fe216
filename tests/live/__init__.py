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

import os
import re
import shutil
import subprocess
import tempfile
import time
from collections.abc import Callable
from pathlib import Path
from typing import Any, TypeVar

T = TypeVar("T")
# Everything the harness leaves on the machine while it runs (namespaces, temporary folders,
# JACK server names) is named "motiloom-live-<pid>-...", after the test process that made it.
PREFIX = "motiloom-live"
_OWNER = re.compile(re.escape(PREFIX) + r"-(\d+)-")


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


def close_pipes(process: subprocess.Popen[Any]) -> None:
    """Close a finished program's pipes (left open they warn, and pytest makes that an error)."""
    for stream in (process.stdin, process.stdout, process.stderr):
        if stream is not None:
            try:
                stream.close()
            except OSError:
                pass


def temporary_directory(kind: str) -> Path:
    """A fresh folder under /tmp named after this process, for `remove_stale_files`."""
    return Path(tempfile.mkdtemp(prefix=f"{PREFIX}-{os.getpid()}-{kind}-"))


def owner_gone(name: str) -> bool:
    """Whether `name` carries the pid of a process that no longer exists."""
    match = _OWNER.search(name)
    if match is None:
        return False
    try:
        os.kill(int(match.group(1)), 0)
    except ProcessLookupError:
        return True
    except PermissionError:
        return False
    return False


def remove_stale_files() -> list[str]:
    """Remove what test processes that died without cleaning up left in /tmp and /dev/shm."""
    removed = []
    for folder, pattern in (
        ("/tmp", f"{PREFIX}-*"),
        ("/dev/shm", f"jack_{PREFIX}-*"),
        ("/dev/shm", f"jack_sem.*_{PREFIX}-*"),
    ):
        for path in Path(folder).glob(pattern):
            if owner_gone(path.name):
                if path.is_dir():
                    shutil.rmtree(path, ignore_errors=True)
                else:
                    path.unlink(missing_ok=True)
                removed.append(str(path))
    return removed
