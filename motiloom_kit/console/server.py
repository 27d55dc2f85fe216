"""The console's web server (aiohttp), on a thread of its own with its own event loop.

It serves the page, its script and style, the picker's patterns and one WebSocket per page. The
show's output thread only hands each frame sent to the server (`Console.frame_sent`, a
listener): the latest frame is kept and the server's loop is woken once; there the frame is read
back into places (`Rig.shown`) once for every page, and each page is sent the latest frame its
connection can take (a page that is behind skips frames, it never holds up the show or the other
pages). Changes from a page go through the show's own API and every page hears the new state at
once.

Only loopback is served unless another host is named; then every request for the page, the
picker's patterns or the WebSocket must carry the token printed at start. On loopback without a
token, requests must name a loopback host (a page from elsewhere that rebinds its name to
127.0.0.1 is refused), and a WebSocket must come from the console's own page (its Origin).
"""

from __future__ import annotations

import asyncio
import hmac
import ipaddress
import json
import secrets
import sys
import threading
import time
from collections import deque
from collections.abc import Mapping
from concurrent.futures import ThreadPoolExecutor
from importlib import resources
from typing import Any, Literal, TextIO

import numpy as np
from numpy.typing import NDArray

from ..rig import SPREADS, STOP_STATES, Rig
from ..show import Show
from .picker import picker_document
from .protocol import MAX_MESSAGE, Session, frame_message, settled

try:
    from aiohttp import WSMsgType, web
except ImportError as error:  # the optional extra
    raise ImportError("the console needs aiohttp: pip install 'motiloom[console]'") from error

# Each asset's file, in this package unless its name says another (the picker reads and searches
# patterns with the gallery's own code).
ASSETS = {
    "/patterns.js": ("motiloom_kit.gallery:patterns.js", "text/javascript"),
    "/console.js": ("page.js", "text/javascript"),
    "/console.css": ("page.css", "text/css"),
    "/favicon.svg": ("favicon.svg", "image/svg+xml"),
    "/favicon.ico": ("favicon.svg", "image/svg+xml"),  # what a browser asks for by itself
}
PROTECTED = ("/", "/catalogue", "/ws")
# Everything the page needs comes from the console itself; nothing may frame it.
HEADERS = {
    "Content-Security-Policy": (
        "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
        "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'"
    ),
    "X-Content-Type-Options": "nosniff",
    "Referrer-Policy": "no-referrer",
    "Cache-Control": "no-store",
    "Cross-Origin-Opener-Policy": "same-origin",
    "Cross-Origin-Resource-Policy": "same-origin",
}
# What the page offers for the parts that are a choice.
CHOICES = {"spreads": list(SPREADS), "overrides": list(STOP_STATES)}
# Text messages queued for a page that does not read them; past this it is let go.
MAX_QUEUED = 256
CLOSE_STOPPED = 1001  # "going away": the show has stopped


# What the output thread hands over: frame number, universes, positions, the rig that made
# them, and the frames sent and late by then.
_Sent = tuple[int, Mapping[int, NDArray[np.uint8]], NDArray[np.float64], Rig, int, int]


def _refusal(error: str) -> dict[str, Any]:
    return {"type": "reply", "id": None, "ok": False, "error": error}


def is_loopback(host: str) -> bool:
    """Whether `host` (an address, "localhost" or an address in brackets) is this machine's
    loopback."""
    if host == "localhost":
        return True
    try:
        return ipaddress.ip_address(host.strip("[]")).is_loopback
    except ValueError:
        return False


class _Page:
    """One connected page: its WebSocket, its session and what is waiting to be sent to it."""

    def __init__(self, ws: web.WebSocketResponse, session: Session) -> None:
        self.ws = ws
        self.session = session
        self.texts: deque[str] = deque()
        self.frame: bytes | None = None  # the latest frame not sent yet; a newer one replaces it
        self.wake = asyncio.Event()
        self.sender: asyncio.Task[None] | None = None

    def send_text(self, text: str) -> None:
        if len(self.texts) >= MAX_QUEUED:
            self.texts.clear()
            self.frame = None
            asyncio.ensure_future(self.ws.close(code=1008, message=b"too slow to follow"))
            return
        self.texts.append(text)
        self.wake.set()

    def send_frame(self, data: bytes) -> None:
        self.frame = data
        self.wake.set()

    async def send_all(self) -> None:
        """Send whatever is waiting, one message at a time, until the connection ends."""
        try:
            while not self.ws.closed:
                await self.wake.wait()
                self.wake.clear()
                while self.texts:
                    await self.ws.send_str(self.texts.popleft())
                frame, self.frame = self.frame, None
                if frame is not None:
                    await self.ws.send_bytes(frame)
        except (ConnectionError, RuntimeError):  # the page went away while being sent to
            pass


class Console:
    """The console of `show`, served on `host`:`port` (0: any free port) once `start()`ed.

    `token` is "auto" (required, and made at random, unless `host` is loopback), None (never
    required) or the token to require."""

    def __init__(
        self,
        show: Show,
        host: str = "127.0.0.1",
        port: int = 0,
        *,
        token: str | None | Literal["auto"] = "auto",
        log: TextIO | None = None,
    ) -> None:
        self.show = show
        self.host = host
        self.port = port
        if token == "auto":
            token = None if is_loopback(host) else secrets.token_urlsafe(18)
        self.token: str | None = token
        self.log = log if log is not None else sys.stderr
        self.pages: set[_Page] = set()
        self._assets = {path: self._asset(name) for path, (name, _) in ASSETS.items()}
        self._page = self._asset("page.html")
        self._picker = picker_document(show.rig.library)
        self._loop: asyncio.AbstractEventLoop | None = None
        self._thread: threading.Thread | None = None
        self._ready = threading.Event()
        self._stopping: asyncio.Event | None = None
        self._failure: BaseException | None = None
        self._latest: _Sent | None = None
        self._woken = False
        self._settled: dict[str, Any] | None = None
        self._told: set[str] = set()  # the console's own failures, each told once
        # Pages' messages are carried out one at a time on a thread of their own, so that the
        # server goes on sending frames (and telling every page a change) while a changed rig is
        # compiled.
        self._worker = ThreadPoolExecutor(max_workers=1, thread_name_prefix="console-change")

    @staticmethod
    def _asset(name: str) -> bytes:
        package, _, file = name.rpartition(":")
        return resources.files(package or __package__).joinpath(file).read_bytes()

    # --- life cycle ----------------------------------------------------------------------------

    def start(self) -> None:
        """Listen (an address in use raises OSError here) and follow the show's frames."""
        self._thread = threading.Thread(target=self._run, name="console", daemon=True)
        self._thread.start()
        self._ready.wait()
        if self._failure is not None:
            self._thread.join()
            raise self._failure
        self.show.listeners.append(self.frame_sent)
        self.show.change_listeners.append(self.change_accepted)

    def close(self) -> None:
        """Tell every page the show has stopped, stop serving and end the thread."""
        if self.frame_sent in self.show.listeners:
            self.show.listeners.remove(self.frame_sent)
        if self.change_accepted in self.show.change_listeners:
            self.show.change_listeners.remove(self.change_accepted)
        loop, stopping = self._loop, self._stopping
        if loop is not None and stopping is not None and not loop.is_closed():
            try:
                loop.call_soon_threadsafe(stopping.set)
            except RuntimeError:  # the loop has just closed
                pass
        if self._thread is not None:
            self._thread.join(timeout=10)
        self._worker.shutdown(wait=True)

    @property
    def url(self) -> str:
        """The page's address, with its token when one is required."""
        host = f"[{self.host}]" if ":" in self.host and not self.host.startswith("[") else self.host
        query = f"?token={self.token}" if self.token else ""
        return f"http://{host}:{self.port}/{query}"

    def _run(self) -> None:
        loop = asyncio.new_event_loop()
        self._loop = loop
        try:
            loop.run_until_complete(self._serve())
        finally:
            loop.close()

    async def _serve(self) -> None:
        self._stopping = asyncio.Event()
        app = web.Application(middlewares=[self._guard], client_max_size=MAX_MESSAGE)
        app.on_response_prepare.append(self._headers)
        app.router.add_get("/", self._serve_page)
        app.router.add_get("/catalogue", self._serve_picker)
        app.router.add_get("/ws", self._socket)
        for path in ASSETS:
            app.router.add_get(path, self._serve_asset)
        runner = web.AppRunner(app, access_log=None, shutdown_timeout=2.0)
        try:
            await runner.setup()
            site = web.TCPSite(runner, self.host.strip("[]"), self.port)
            await site.start()
            self.port = runner.addresses[0][1]
        except BaseException as error:  # reported by start(), on the caller's thread
            self._failure = error
            self._ready.set()
            await runner.cleanup()
            return
        self._ready.set()
        await self._stopping.wait()
        for page in list(self.pages):
            await page.ws.close(code=CLOSE_STOPPED, message=b"the show has stopped")
        await runner.cleanup()

    # --- requests ------------------------------------------------------------------------------

    def _token_ok(self, request: web.Request) -> bool:
        if self.token is None:
            return True
        given = request.query.get("token", "")
        return hmac.compare_digest(given.encode(), self.token.encode())

    def _host_ok(self, request: web.Request) -> bool:
        """Without a token, only names of this machine's loopback, at the console's port."""
        if self.token is not None:
            return True
        host = request.host
        if host.startswith("["):  # [::1]:8080
            name, _, rest = host[1:].partition("]")
            port = rest[1:] if rest.startswith(":") else "80"
        else:
            name, _, port = host.partition(":")
        return is_loopback(name) and (port or "80") == str(self.port)

    @web.middleware
    async def _guard(self, request: web.Request, handler: Any) -> web.StreamResponse:
        if not self._host_ok(request):
            raise web.HTTPMisdirectedRequest(text="this console answers on loopback only\n")
        if request.path in PROTECTED and not self._token_ok(request):
            raise web.HTTPForbidden(text="this console needs the token it printed at start\n")
        response: web.StreamResponse = await handler(request)
        return response

    async def _headers(self, request: web.Request, response: web.StreamResponse) -> None:
        response.headers.update(HEADERS)

    async def _serve_page(self, request: web.Request) -> web.Response:
        return web.Response(body=self._page, content_type="text/html", charset="utf-8")

    async def _serve_asset(self, request: web.Request) -> web.Response:
        _, kind = ASSETS[request.path]
        charset = None if kind.startswith("image/") else "utf-8"
        return web.Response(body=self._assets[request.path], content_type=kind, charset=charset)

    async def _serve_picker(self, request: web.Request) -> web.Response:
        return web.Response(body=self._picker, content_type="application/json")

    async def _socket(self, request: web.Request) -> web.WebSocketResponse:
        origin = request.headers.get("Origin")
        if origin is not None and origin != f"http://{request.host}":
            raise web.HTTPForbidden(text="the console takes connections from its own page only\n")
        # Frames are not worth compressing; a message past 16 times the longest a page sends
        # ends the connection (1009), a shorter one too long is refused with a reply.
        ws = web.WebSocketResponse(heartbeat=10.0, max_msg_size=16 * MAX_MESSAGE, compress=False)
        await ws.prepare(request)
        page = _Page(ws, Session(self.show, time.monotonic))
        page.sender = asyncio.ensure_future(page.send_all())
        self.pages.add(page)
        page.send_text(self._state_text())
        try:
            async for message in ws:
                if message.type == WSMsgType.TEXT:
                    await self._receive(page, message.data, time.monotonic())
                elif message.type == WSMsgType.BINARY:
                    page.send_text(json.dumps(_refusal("a page sends text messages only")))
        finally:
            self.pages.discard(page)
            page.sender.cancel()
        return ws

    async def _receive(self, page: _Page, text: str, arrived: float) -> None:
        loop = asyncio.get_running_loop()
        try:
            reply, changed = await loop.run_in_executor(
                self._worker, page.session.handle, text, arrived
            )
        except Exception as error:  # a fault of the console's own: the page is told, the show
            # goes on
            self._tell(f"{type(error).__name__}: {error}", str(error))
            reply, changed = _refusal(f"the console failed: {error}"), False
        if changed and settled(self.show.state()) != self._settled:
            self._send_state()
        if reply is not None:
            page.send_text(json.dumps(reply))

    # --- the show's side -----------------------------------------------------------------------

    def _state_text(self) -> str:
        state = self.show.state()
        self._settled = settled(state)
        return json.dumps({"type": "state", "state": state, "choices": CHOICES})

    def _send_state(self) -> None:
        text = self._state_text()
        for page in self.pages:
            page.send_text(text)

    def change_accepted(self) -> None:
        """A show change listener: every page hears the new state at once (any thread)."""
        loop = self._loop
        if loop is not None and not loop.is_closed():
            try:
                loop.call_soon_threadsafe(self._send_state)
            except RuntimeError:  # the loop has just closed
                pass

    def frame_sent(
        self, k: int, universes: Mapping[int, NDArray[np.uint8]], positions: NDArray[np.float64]
    ) -> None:
        """A show listener, on the output thread: keep frame k and wake the server once. It
        never raises, so a failing console cannot stop the show."""
        try:
            status = self.show.status
            self._latest = (k, universes, positions, self.show.rig, status.sent, status.late)
            if not self._woken and self._loop is not None:
                self._woken = True
                self._loop.call_soon_threadsafe(self._frame)
        except Exception:  # the loop is closing: the console is going away
            pass

    def _frame(self) -> None:
        # Cleared before the frame is read, so that a frame kept after this wakes the loop again.
        self._woken = False
        latest = self._latest
        if latest is None or not self.pages:
            return
        k, universes, positions, rig, sent, late = latest
        try:
            tempo = self.show.tempo
            data = frame_message(k, sent, late, float(tempo.bpm), float(tempo.peek(k)),
                                 rig.shown(universes, positions))  # fmt: skip
            for page in self.pages:
                page.send_frame(data)
            if settled(self.show.state()) != self._settled:
                self._send_state()
        except Exception as error:  # a fault of the console's own must not end the server
            self._tell(f"frame {k}: {type(error).__name__}: {error}", str(error))

    def _tell(self, text: str, key: str) -> None:
        """A failure of the console's own, on its log, once for each kind."""
        if key not in self._told:
            self._told.add(key)
            print(f"motiloom: console: {text} (told once)", file=self.log)
