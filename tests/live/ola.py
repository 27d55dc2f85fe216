"""OLA's daemon as a receiver of sACN (E1.31) or Art-Net, inside a private network namespace.

    with Namespace() as ns, Olad(ns, "e131", universes=[1, 2]) as olad:
        with olad.record() as recording:
            ns.run([python, "-m", "motiloom_kit", "play", rig, "--seconds", "3"])
        frames = recording.frames          # [(universe, data, at_ms), ...] in arrival order
        olad.dmx(1)                        # the universe's current 512 bytes, from olad's HTTP port

What this takes care of, and why:
- olad refuses to run as root: it runs as the `olad` user (setpriv), from a fresh config directory
  that user owns, made under /tmp (pytest's tmp_path is not reachable by another user).
- On first start olad writes an enabled config for every plugin that has none and starts them
  all: the directory first holds `enabled = false` for every plugin but the one under test, and
  once olad is up the harness checks that this plugin is the only active one.
- OLA's E1.31 and Art-Net plugins never bind a loopback device: the plugin is pointed at the
  namespace's veth address (127.0.0.2), and a sender in the namespace sends there by unicast.
- `ola_patch` exits 0 even when the device or port does not exist: each patch is read back from
  `ola_dev_info` and a missing one raises.
- olad's HTTP server listens on every interface and its plugins probe the network, which is why
  it only ever runs inside the namespace.

Show files (what `ola_recorder --record` writes and `--playback`/`--verify` read, OLA 0.10.9):
    OLA Show                        the first line, exactly
    <universe> <v1>,<v2>,...,<vn>   a frame: universe number, one space, the DMX slot values as
                                    decimal integers joined by commas, no spaces, n <= 512
    <delay-ms>                      milliseconds from that frame to the next, a non-negative
                                    integer; written between frames only, none after the last
                                    (`--verify` accepts a trailing one; `parse_show` does not)
    <universe> <v1>,...             the next frame, and so on
Lines end in "\\n" ("\\r\\n" is accepted). Two universes sent in one frame give two frame lines
with "0" between them. The delays are whole ms, so a writer keeps frames on time by writing the
differences of rounded times (at 44 fps 23, 22, 23, 23, ... ms), not round(1000 / 44) each.
`ola_recorder --verify FILE` exits 0 and prints per-universe frame counts, but it also exits 0
for a file cut short by an empty line, so compare its counts (`verify_show`) with the frames
written; its "Playback time" is not the sum of the delays, do not check it.
"""

from __future__ import annotations

import http.client
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import threading
from collections.abc import Iterable, Sequence
from pathlib import Path
from typing import IO, Any, NamedTuple

from . import Unavailable, close_pipes, log_tail, need_program, temporary_directory, wait_until
from .netns import Namespace

# Every plugin config file olad 0.10.9 writes on a first start, each of which gets `enabled =
# false` unless it is the plugin under test. Should a later OLA bring a new plugin, the check
# after start names it (`ola-<name>.conf` appears in the config directory and it is active).
PLUGIN_CONFIGS = (
    "artnet", "dummy", "e131", "espnet", "ftdidmx", "gpio", "karate", "kinet", "milinst",
    "opendmx", "openpixelcontrol", "osc", "pathport", "renard", "sandnet", "shownet", "spi",
    "stageprofi", "uartdmx", "usbdmx", "usbserial",
)  # fmt: skip
# Files olad keeps in the directory that are not plugins.
OTHER_CONFIGS = ("server", "port", "universe")
# Plugin ids (ola_plugin_info) and the settings each is started with.
PLUGIN_IDS = {"e131": 11, "artnet": 2}
SHOW_HEADER = "OLA Show"
ARTNET_PORTS = 4  # olad's Art-Net device has four input ports


class Frame(NamedTuple):
    """One universe's data as olad got it; `at_ms` adds up the file's delays from the first
    frame. ola_recorder truncates each delay to whole ms, so over 10 s at 44 fps `at_ms` fell
    323 ms short of the real arrival time (9654 for 9977): keep it for order, not timing."""

    universe: int
    data: bytes
    at_ms: int


def parse_show(text: str) -> list[Frame]:
    """The frames of an OLA show file, checked line by line (ValueError names the bad line)."""
    lines = text.replace("\r\n", "\n").split("\n")
    if lines[0] != SHOW_HEADER:
        raise ValueError(f"line 1: expected {SHOW_HEADER!r}, got {lines[0][:40]!r}")
    if lines[-1] == "":
        lines.pop()
    frames: list[Frame] = []
    at_ms = 0
    for number, line in enumerate(lines[1:], start=2):
        if number % 2:  # odd lines after the header: the delay to the next frame
            if not line.isdigit():
                raise ValueError(f"line {number}: expected a delay in ms, got {line[:40]!r}")
            at_ms += int(line)
            continue
        universe, space, values = line.partition(" ")
        if not space or not universe.isdigit():
            raise ValueError(f"line {number}: expected '<universe> <values>', got {line[:40]!r}")
        try:
            data = bytes(int(value) for value in values.split(","))
        except ValueError as error:
            raise ValueError(f"line {number}: {error}") from None
        if len(data) > 512:
            raise ValueError(f"line {number}: {len(data)} slots, more than 512")
        frames.append(Frame(int(universe), data, at_ms))
    if len(lines) > 1 and len(lines) % 2:
        raise ValueError(f"line {len(lines)}: the file ends with a delay, not a frame")
    return frames


def verify_show(path: str | os.PathLike[str], timeout: float = 30.0) -> dict[int, int]:
    """Frames per universe as `ola_recorder --verify` counts them; RuntimeError if it refuses.

    Needs no olad, so it runs outside any namespace."""
    need_program("ola_recorder", "ola")
    done = subprocess.run(
        ["ola_recorder", "--verify", os.fspath(path)],
        capture_output=True,
        text=True,
        timeout=timeout,
        stdin=subprocess.DEVNULL,
    )
    if done.returncode:
        raise RuntimeError(
            f"ola_recorder --verify {path} exited {done.returncode}: "
            f"{log_tail(done.stderr or done.stdout)}"
        )
    return {
        int(u): int(n)
        for u, n in re.findall(r"^Universe (\d+): (\d+) frames$", done.stdout, re.MULTILINE)
    }


class Olad:
    """olad with one network plugin ("e131" or "artnet") receiving `universes`, in `namespace`.

    E1.31 universes are any of 1-63999, one input port each. Art-Net takes up to four port
    addresses (0-32767) sharing their net and sub-net (all but the low four bits); the OLA
    universe of each equals its port address."""

    def __init__(
        self,
        namespace: Namespace,
        plugin: str,
        universes: Sequence[int],
        *,
        ready_timeout: float = 10.0,
        http_port: int = 9090,
    ) -> None:
        if plugin not in PLUGIN_IDS:
            raise ValueError(f"plugin must be one of {sorted(PLUGIN_IDS)}, not {plugin!r}")
        if not universes or len(set(universes)) != len(universes):
            raise ValueError(f"universes must be distinct and at least one: {universes}")
        self.namespace = namespace
        self.plugin = plugin
        self.plugin_id = PLUGIN_IDS[plugin]
        self.universes = list(universes)
        self.ready_timeout = ready_timeout
        self.http_port = http_port
        self.device: int | None = None
        self.process: subprocess.Popen[bytes] | None = None
        self.directory: Path | None = None
        self._log: IO[bytes] | None = None
        self._last_log = "(no log)"
        self._settings = self._plugin_settings()

    def _plugin_settings(self) -> dict[str, str]:
        address = self.namespace.address
        if self.plugin == "e131":
            if not all(1 <= u <= 63999 for u in self.universes):
                raise ValueError(f"E1.31 universes are 1-63999: {self.universes}")
            return {
                "enabled": "true",
                "ip": address,
                "input_ports": str(len(self.universes)),
                "output_ports": "0",
                "ignore_preview": "true",
                "draft_discovery": "false",
                "prepend_hostname": "false",
            }
        high = {u >> 4 for u in self.universes}
        low = [u & 15 for u in self.universes]
        if (
            len(self.universes) > ARTNET_PORTS
            or len(high) != 1
            or len(set(low)) != len(low)
            or not all(0 <= u <= 32767 for u in self.universes)
        ):
            raise ValueError(
                "Art-Net takes up to 4 distinct port addresses 0-32767 that share net and "
                f"sub-net: {self.universes}"
            )
        (top,) = high
        return {
            "enabled": "true",
            "ip": address,
            "net": str(top >> 4),
            "subnet": str(top & 15),
            "output_ports": "0",
            "use_limited_broadcast": "false",
            "always_broadcast": "false",
        }

    # -- life cycle ---------------------------------------------------------------------------
    def __enter__(self) -> Olad:
        self.start()
        return self

    def __exit__(self, *exc: object) -> None:
        self.stop()

    def start(self) -> None:
        need_program("olad", "ola")
        need_program("setpriv", "util-linux")
        try:
            import pwd

            pwd.getpwnam("olad")
        except KeyError:
            raise Unavailable("there is no user olad (the Debian package ola creates it)") from None
        self.directory = temporary_directory("olad")
        self._write_configs()
        self._log = open(self.directory / "olad.log", "wb")  # closed in stop()
        self.process = self.namespace.popen(
            [
                "setpriv", "--reuid=olad", "--regid=olad", "--init-groups",
                "olad", "--config-dir", str(self.directory / "config"), "--log-level", "3",
                "--http-port", str(self.http_port), "--no-register-with-dns-sd",
            ],
            stdout=self._log,
            stderr=subprocess.STDOUT,
        )  # fmt: skip
        try:
            wait_until(
                self._ready,
                self.ready_timeout,
                f"olad did not become ready with its {self.plugin} plugin active",
                self.log_tail,
                interval=0.1,
            )
            self._check_only_plugin()
            self.patch()
        except BaseException:
            self.stop()
            raise

    def _write_configs(self) -> None:
        assert self.directory is not None
        config = self.directory / "config"
        config.mkdir()
        for name in PLUGIN_CONFIGS:
            settings = self._settings if name == self.plugin else {"enabled": "false"}
            text = "".join(f"{key} = {value}\n" for key, value in settings.items())
            (config / f"ola-{name}.conf").write_text(text)
        for path in (self.directory, config, *config.iterdir()):
            shutil.chown(path, "olad")

    def _ready(self) -> bool:
        if self.process is not None and self.process.poll() is not None:
            raise RuntimeError(
                f"olad exited with {self.process.returncode} while starting: {self.log_tail()}"
            )
        try:
            plugins = self._http_json("/json/universe_plugin_list", timeout=1.0)["plugins"]
        except (OSError, ValueError, KeyError):
            return False
        if not any(p["id"] == self.plugin_id and p["active"] for p in plugins):
            return False
        found = self.namespace.run(
            ["ola_dev_info", "-p", str(self.plugin_id)], check=False, timeout=5
        )
        match = re.search(r"^Device (\d+):", found.stdout, re.MULTILINE)
        if match:
            self.device = int(match.group(1))
        return match is not None

    def _check_only_plugin(self) -> None:
        assert self.directory is not None
        plugins = self._http_json("/json/universe_plugin_list")["plugins"]
        others = [p["name"] for p in plugins if p["active"] and p["id"] != self.plugin_id]
        known = {f"ola-{name}.conf" for name in (*PLUGIN_CONFIGS, *OTHER_CONFIGS)}
        unknown = sorted(
            p.name for p in (self.directory / "config").iterdir() if p.name not in known
        )
        if others or unknown:
            raise RuntimeError(
                f"olad runs plugins besides {self.plugin}: {others}; config files this harness "
                f"does not disable: {unknown} (add them to PLUGIN_CONFIGS)"
            )

    def stop(self) -> None:
        """SIGTERM olad (SIGKILL after 5 s), and remove its config directory."""
        if self.process is not None and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(timeout=5)
        if self._log is not None:
            self._log.close()
            self._log = None
        if self.directory is not None:
            self._last_log = self.log_tail(40)
            shutil.rmtree(self.directory, ignore_errors=True)
            self.directory = None

    def log_tail(self, lines: int = 15) -> str:
        if self.directory is None:
            return self._last_log
        try:
            return log_tail((self.directory / "olad.log").read_bytes(), lines)
        except OSError:
            return "(no log)"

    # -- patching ---------------------------------------------------------------------------
    def patched(self) -> dict[int, int]:
        """Input port -> universe, as olad reports its device now."""
        listing = self.namespace.run(["ola_dev_info", "-p", str(self.plugin_id)], timeout=10)
        return {
            int(port): int(universe)
            for port, universe in re.findall(
                r"port (\d+), IN\b[^\n]*?patched to universe (\d+)", listing.stdout
            )
        }

    def patch(self) -> None:
        """Patch input port i to universes[i], then check olad reports exactly that."""
        assert self.device is not None
        for port, universe in enumerate(self.universes):
            self.namespace.run(
                ["ola_patch", "--device", str(self.device), "--port", str(port), "--input",
                 "--universe", str(universe)],
                timeout=10,
            )  # fmt: skip
        wanted = dict(enumerate(self.universes))
        got = self.patched()
        if got != wanted:
            raise RuntimeError(
                f"olad's {self.plugin} device {self.device} is patched {got}, not {wanted}: "
                f"{self.log_tail()}"
            )

    # -- reading what arrived ---------------------------------------------------------------
    def _http_json(self, path: str, timeout: float = 5.0) -> Any:
        connection = http.client.HTTPConnection("127.0.0.1", self.http_port, timeout=timeout)
        sock = self.namespace.socket(socket.AF_INET, socket.SOCK_STREAM)
        try:
            sock.settimeout(timeout)
            sock.connect(("127.0.0.1", self.http_port))
            connection.sock = sock
            connection.request("GET", path)
            response = connection.getresponse()
            body = response.read()
            if response.status != 200:
                raise ValueError(f"olad answered {response.status} to {path}")
            return json.loads(body)
        finally:
            connection.close()
            sock.close()

    def dmx(self, universe: int) -> bytes:
        """The universe's current data as olad holds it (`get_dmx?u=N`); b"" before any frame."""
        reply = self._http_json(f"/get_dmx?u={universe}")
        if reply.get("error"):
            raise RuntimeError(f"get_dmx?u={universe}: {reply['error']}")
        return bytes(reply["dmx"])

    def record(self, universes: Iterable[int] | None = None) -> Recording:
        """`ola_recorder --record` on `universes` (all of this olad's by default), started and
        attached; stop it with `stop()` or by leaving a with-block."""
        assert self.directory is not None, "olad is not running"
        chosen = list(self.universes if universes is None else universes)
        path = temporary_directory("show") / "received.show"
        recording = Recording(self.namespace, path, chosen)
        recording.start()
        return recording


class Recording:
    """`ola_recorder --record` running in the namespace until `stop()` (or the with-block ends).

    It is attached once `start()` returns: olad then hands it every frame of its universes.
    `frames` is what it saved, in arrival order, each the universe's data as it arrived."""

    def __init__(self, namespace: Namespace, path: Path, universes: Sequence[int]) -> None:
        self.namespace = namespace
        self.path = path
        self.universes = list(universes)
        self.frames: list[Frame] = []
        self.process: subprocess.Popen[str] | None = None
        self._reader: threading.Thread | None = None
        self._output: list[str] = []

    def __enter__(self) -> Recording:
        if self.process is None:
            self.start()
        return self

    def __exit__(self, *exc: object) -> None:
        self.stop()

    def start(self, timeout: float = 10.0) -> None:
        """Start ola_recorder and wait until olad has confirmed every universe's registration
        (its "Register completed" log lines), so that no frame sent after this is missed."""
        self.process = self.namespace.popen(
            ["ola_recorder", "--log-level", "3", "--record", str(self.path),
             "--universes", ",".join(map(str, self.universes))],
            stdout=subprocess.PIPE,
            stderr=subprocess.STDOUT,
            text=True,
        )  # fmt: skip
        registered = threading.Semaphore(0)

        def read(stream: Any) -> None:
            for line in stream:
                self._output.append(line)
                if "register complete" in line.lower() or "register failed" in line.lower():
                    registered.release()

        self._reader = threading.Thread(target=read, args=(self.process.stdout,), daemon=True)
        self._reader.start()
        for _ in self.universes:
            if not registered.acquire(timeout=timeout):
                break
        output = "".join(self._output)
        if output.lower().count("register complete") < len(self.universes):
            self.stop(check=False)
            raise TimeoutError(
                f"ola_recorder did not register universes {self.universes} within {timeout:g} s: "
                f"{log_tail(output)}"
            )

    def stop(self, timeout: float = 10.0, check: bool = True) -> list[Frame]:
        """Stop recording (SIGINT, as Ctrl-C would) and read the frames saved."""
        if self.process is None:
            return self.frames
        stuck = False
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGINT)
            try:
                self.process.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(timeout=5)
                stuck = True
        if self._reader is not None:
            self._reader.join(timeout=5)  # it ends at the end of the output
        close_pipes(self.process)
        self.process = None
        if stuck:
            shutil.rmtree(self.path.parent, ignore_errors=True)
            raise TimeoutError(f"ola_recorder did not stop within {timeout:g} s")
        try:
            if check:
                self.frames = parse_show(self.path.read_text())
        finally:
            shutil.rmtree(self.path.parent, ignore_errors=True)
        return self.frames

    def by_universe(self) -> dict[int, list[bytes]]:
        """The frames' data per universe, in arrival order."""
        result: dict[int, list[bytes]] = {u: [] for u in self.universes}
        for frame in self.frames:
            result.setdefault(frame.universe, []).append(frame.data)
        return result
