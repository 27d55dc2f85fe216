"""A headless Chromium driven over the DevTools protocol on a pipe (no port, no network).

Chromium started with --remote-debugging-pipe reads commands on its fd 3 and writes replies and
events on its fd 4, each message JSON ending in a NUL byte.
"""

from __future__ import annotations

import fcntl
import itertools
import json
import os
import queue
import shutil
import subprocess
import threading
import time
from collections.abc import Sequence
from typing import Any

NAMES = ("chromium", "chromium-browser", "google-chrome")
ERROR_CONSOLE_TYPES = ("error", "assert")


def executable() -> str | None:
    return next((path for name in NAMES if (path := shutil.which(name))), None)


class Chromium:
    """`prefix` goes before the command (say `ip netns exec NAME`, to run it in a namespace)."""

    def __init__(
        self,
        binary: str,
        profile: str,
        size: tuple[int, int] = (1280, 860),
        prefix: Sequence[str] = (),
    ) -> None:
        to_browser, self._commands = os.pipe()
        self._replies, from_browser = os.pipe()
        # Move the browser's ends above 10 so that placing them on 3 and 4 cannot clobber them.
        high_in = fcntl.fcntl(to_browser, fcntl.F_DUPFD_CLOEXEC, 10)
        high_out = fcntl.fcntl(from_browser, fcntl.F_DUPFD_CLOEXEC, 10)
        os.close(to_browser)
        os.close(from_browser)

        def place_pipes() -> None:
            os.dup2(high_in, 3)
            os.dup2(high_out, 4)

        self.process = subprocess.Popen(
            [
                *prefix,
                binary,
                "--headless",
                "--no-sandbox",
                "--disable-gpu",
                "--remote-debugging-pipe",
                f"--user-data-dir={profile}",
                f"--window-size={size[0]},{size[1]}",
                "--no-first-run",
                "--no-default-browser-check",
                "--disable-extensions",
                "--disable-background-networking",
                "about:blank",
            ],
            pass_fds=(3, 4),
            preexec_fn=place_pipes,
            stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL,
        )
        os.close(high_in)
        os.close(high_out)
        self._ids = itertools.count(1)
        self._replies_by_id: dict[int, dict[str, Any]] = {}
        self._arrived = threading.Condition()
        self.events: queue.Queue[dict[str, Any]] = queue.Queue()
        self.pages: dict[str, Page] = {}  # by session, so that each page keeps its own errors
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _read(self) -> None:
        buffer = b""
        while chunk := os.read(self._replies, 1 << 16):
            buffer += chunk
            *messages, buffer = buffer.split(b"\0")
            for raw in messages:
                message = json.loads(raw)
                if "id" in message:
                    with self._arrived:
                        self._replies_by_id[message["id"]] = message
                        self._arrived.notify_all()
                else:
                    self.events.put(message)

    def call(self, method: str, session: str | None = None, **params: Any) -> dict[str, Any]:
        number = next(self._ids)
        message: dict[str, Any] = {"id": number, "method": method, "params": params}
        if session:
            message["sessionId"] = session
        os.write(self._commands, json.dumps(message).encode() + b"\0")
        with self._arrived:
            if not self._arrived.wait_for(lambda: number in self._replies_by_id, timeout=60):
                raise TimeoutError(f"no reply to {method}")
            reply = self._replies_by_id.pop(number)
        if "error" in reply:
            raise RuntimeError(f"{method}: {reply['error']}")
        result: dict[str, Any] = reply.get("result", {})
        return result

    def open_page(self, url: str) -> Page:
        target = self.call("Target.createTarget", url="about:blank")["targetId"]
        session = self.call("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
        page = Page(self, session, target)
        self.pages[session] = page
        for domain in ("Runtime", "Log", "Page"):
            self.call(f"{domain}.enable", session)
        self.call("Page.navigate", session, url=url)
        return page

    def close(self) -> None:
        try:
            self.call("Browser.close")
        except (RuntimeError, TimeoutError, OSError):
            pass
        try:
            self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self._commands)


class Page:
    def __init__(self, browser: Chromium, session: str, target: str = "") -> None:
        self.browser = browser
        self.session = session
        self.target = target
        self.errors: list[str] = []

    def close(self) -> None:
        self.browser.call("Target.closeTarget", targetId=self.target)

    def evaluate(self, expression: str) -> Any:
        reply = self.browser.call(
            "Runtime.evaluate",
            self.session,
            expression=expression,
            returnByValue=True,
            awaitPromise=True,
        )
        if "exceptionDetails" in reply:
            raise RuntimeError(f"{expression}: {reply['exceptionDetails']}")
        self.collect_errors()
        return reply["result"].get("value")

    def wait_for(self, expression: str, timeout: float = 30.0) -> Any:
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            value = self.evaluate(expression)
            if value:
                return value
            time.sleep(0.05)
        raise TimeoutError(f"the page never made {expression!r} true; errors: {self.errors}")

    def collect_errors(self) -> list[str]:
        """Console errors, failed assertions, uncaught exceptions and error log entries of this
        page (those of the browser's other pages go to theirs)."""
        while True:
            try:
                event = self.browser.events.get_nowait()
            except queue.Empty:
                return self.errors
            self.browser.pages.get(event.get("sessionId", ""), self).note(event)

    def note(self, event: dict[str, Any]) -> None:
        """Keep one event from the browser if it reports an error."""
        method, params = event.get("method"), event.get("params", {})
        if method == "Runtime.exceptionThrown":
            self.errors.append(json.dumps(params["exceptionDetails"])[:500])
        elif method == "Runtime.consoleAPICalled" and params["type"] in ERROR_CONSOLE_TYPES:
            self.errors.append(json.dumps(params["args"])[:500])
        elif method == "Log.entryAdded" and params["entry"]["level"] == "error":
            self.errors.append(params["entry"]["text"])

    def screenshot(self) -> bytes:
        import base64

        return base64.b64decode(self.browser.call("Page.captureScreenshot", self.session)["data"])
