"""A private network namespace for one test, removed with everything in it on exit.

Inside it: `lo` up (127.0.0.1/8) and a veth pair whose one end, `mlt0`, holds the only other
address, 127.0.0.2/32 (no IPv6, no route to anywhere). OLA's E1.31 and Art-Net plugins never bind
a loopback device, so they are pointed at 127.0.0.2; a sender in the same namespace reaches them
there by unicast. The namespace has no default route, so a stray multicast or broadcast send fails
with "Network is unreachable" and nothing can leave it.

    with Namespace() as ns:
        olad = ns.popen(["olad", ...])
        ns.run(["ip", "addr"]).stdout
        subprocess.run(ns.command([".venv/bin/python", "-m", "motiloom_kit", "play", ...]))

On exit every process in the namespace gets SIGTERM, then SIGKILL after `grace` seconds, and the
namespace is deleted, whether the test passed or failed. A namespace left by a test process that
died without cleaning up (SIGKILL) is removed when the next one is made.
"""

from __future__ import annotations

import atexit
import ctypes
import itertools
import os
import signal
import socket
import subprocess
import threading
import time
from collections.abc import Sequence
from pathlib import Path
from typing import Any

from . import (
    PREFIX,
    Unavailable,
    close_pipes,
    log_tail,
    need_program,
    owner_gone,
    remove_stale_files,
)

NETNS_DIR = Path("/run/netns")
VETH, PEER = "mlt0", "mlt1"
CLONE_NEWNET = 0x40000000
_libc = ctypes.CDLL(None, use_errno=True)
_numbers = itertools.count(1)
_open: set[Namespace] = set()


def _namespace_id(path: str | Path) -> tuple[int, int] | None:
    try:
        found = os.stat(path)
    except OSError:
        return None
    return found.st_dev, found.st_ino


def _pids_in(target: tuple[int, int]) -> list[int]:
    pids = []
    for entry in os.listdir("/proc"):
        if entry.isdigit() and _namespace_id(f"/proc/{entry}/ns/net") == target:
            pids.append(int(entry))
    return pids


def _kill_all(target: tuple[int, int], grace: float) -> list[int]:
    """SIGTERM every process in the namespace, SIGKILL what is left after `grace` s; the pids
    still there after that (which should be none)."""
    for sig, wait in ((signal.SIGTERM, grace), (signal.SIGKILL, 5.0)):
        deadline = time.monotonic() + wait
        while pids := _pids_in(target):
            for pid in pids:
                try:
                    os.kill(pid, sig)
                except ProcessLookupError:
                    pass
            if time.monotonic() >= deadline:
                break
            time.sleep(0.05)
        else:
            return []
    return _pids_in(target)


def remove_stale() -> list[str]:
    """Delete this harness's namespaces whose test process is gone, with what runs in them,
    and the files such processes left."""
    removed = []
    if NETNS_DIR.is_dir():
        for path in NETNS_DIR.glob(f"{PREFIX}-*"):
            if not owner_gone(path.name):
                continue
            target = _namespace_id(path)
            if target is not None:
                _kill_all(target, grace=1.0)
            subprocess.run(["ip", "netns", "delete", path.name], capture_output=True, timeout=10)
            removed.append(path.name)
    return removed + remove_stale_files()


class Namespace:
    """A network namespace named `motiloom-live-<pid>-<n>`, with `lo` and 127.0.0.2 on a veth."""

    def __init__(self, *, address: str = "127.0.0.2", lo_multicast: bool = False) -> None:
        self.address = address
        self.lo_multicast = lo_multicast
        self.name = f"{PREFIX}-{os.getpid()}-{next(_numbers)}"
        self.grace = 3.0
        self._id: tuple[int, int] | None = None
        self._children: list[subprocess.Popen[Any]] = []

    # -- life cycle ---------------------------------------------------------------------------
    def __enter__(self) -> Namespace:
        self.open()
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def open(self) -> None:
        if os.geteuid() != 0:
            raise Unavailable(
                f"network namespaces need root (ip netns add); this test runs as uid {os.geteuid()}"
            )
        need_program("ip", "iproute2")
        remove_stale()
        made = subprocess.run(["ip", "netns", "add", self.name], capture_output=True, text=True)
        if made.returncode:
            raise Unavailable(f"ip netns add {self.name} failed: {log_tail(made.stderr)}")
        self._id = _namespace_id(NETNS_DIR / self.name)
        _open.add(self)
        try:
            self._configure()
        except BaseException:
            self.close()
            raise

    def _configure(self) -> None:
        # New devices get no IPv6 (no link-local address), so 127.0.0.2 is the veth's only one.
        self.run(["sysctl", "-q", "-w", "net.ipv6.conf.default.disable_ipv6=1"])
        self._ip("link", "set", "lo", "up")
        if self.lo_multicast:
            self._ip("link", "set", "lo", "multicast", "on")
        self._ip("link", "add", VETH, "type", "veth", "peer", "name", PEER)
        self._ip("addr", "add", f"{self.address}/32", "dev", VETH)
        self._ip("link", "set", VETH, "up")
        self._ip("link", "set", PEER, "up")

    def _ip(self, *words: str) -> None:
        done = subprocess.run(
            ["ip", "-n", self.name, *words], capture_output=True, text=True, timeout=10
        )
        if done.returncode:
            raise RuntimeError(f"ip -n {self.name} {' '.join(words)}: {log_tail(done.stderr)}")

    def close(self) -> None:
        """Kill everything in the namespace and delete it; safe to call more than once."""
        if self._id is None:
            return
        left = _kill_all(self._id, self.grace)
        for child in self._children:
            try:
                child.wait(timeout=5)
            except subprocess.TimeoutExpired:
                pass
            close_pipes(child)
        self._children.clear()
        subprocess.run(["ip", "netns", "delete", self.name], capture_output=True, timeout=10)
        self._id = None
        _open.discard(self)
        if left:
            raise RuntimeError(f"processes {left} in {self.name} survived SIGKILL")

    # -- running commands inside ------------------------------------------------------------
    def command(self, argv: Sequence[str | os.PathLike[str]]) -> list[str]:
        """`argv` prefixed so that it runs inside the namespace (`ip netns exec NAME ...`)."""
        if self._id is None:
            raise RuntimeError(f"namespace {self.name} is not open")
        return ["ip", "netns", "exec", self.name, *(os.fspath(word) for word in argv)]

    def run(
        self,
        argv: Sequence[str | os.PathLike[str]],
        *,
        timeout: float = 30.0,
        check: bool = True,
        **kwargs: Any,
    ) -> subprocess.CompletedProcess[str]:
        """Run to completion inside the namespace; output captured as text unless told otherwise.

        With `check` a non-zero exit raises RuntimeError quoting the command and its stderr."""
        kwargs.setdefault("capture_output", True)
        kwargs.setdefault("text", True)
        kwargs.setdefault("stdin", subprocess.DEVNULL)
        done: subprocess.CompletedProcess[str] = subprocess.run(
            self.command(argv), timeout=timeout, **kwargs
        )
        if check and done.returncode:
            raise RuntimeError(
                f"{' '.join(os.fspath(word) for word in argv)} exited {done.returncode} in "
                f"{self.name}: "
                f"{log_tail(done.stderr)}"
            )
        return done

    def popen(self, argv: Sequence[str | os.PathLike[str]], **kwargs: Any) -> subprocess.Popen[Any]:
        """Start inside the namespace; killed and reaped when the namespace closes.

        `ip netns exec` replaces itself with the program, so the Popen's pid is the program's."""
        kwargs.setdefault("stdin", subprocess.DEVNULL)
        child: subprocess.Popen[Any] = subprocess.Popen(self.command(argv), **kwargs)
        self._children.append(child)
        return child

    def socket(self, family: int = socket.AF_INET, kind: int = socket.SOCK_DGRAM) -> socket.socket:
        """A socket of this process that lives inside the namespace (made on a short-lived thread
        that enters it with setns), to talk to a receiver there without starting a program."""
        if self._id is None:
            raise RuntimeError(f"namespace {self.name} is not open")
        made: list[socket.socket | BaseException] = []

        def inside() -> None:
            try:
                with open(NETNS_DIR / self.name) as handle:
                    if _libc.setns(handle.fileno(), CLONE_NEWNET) != 0:
                        raise OSError(ctypes.get_errno(), "setns into " + self.name)
                made.append(socket.socket(family, kind))
            except BaseException as error:  # handed to the caller's thread
                made.append(error)

        thread = threading.Thread(target=inside, name=f"enter {self.name}")
        thread.start()
        thread.join()
        if isinstance(made[0], BaseException):
            raise made[0]
        return made[0]

    def pids(self) -> list[int]:
        """Every process now inside the namespace."""
        return [] if self._id is None else _pids_in(self._id)


@atexit.register
def _close_left_open() -> None:
    for namespace in list(_open):
        try:
            namespace.close()
        except Exception:  # best effort at interpreter exit
            pass
