"""The console's server against a running show that sends nowhere: its messages and refusals,
changes reaching every page, the token, host and origin checks, its frames, and that nothing it
does stops the show."""

from __future__ import annotations

import asyncio
import base64
import contextlib
import io
import json
import socket
import struct
import threading
import time
import zlib
from fractions import Fraction

import aiohttp
import numpy as np
import pytest

from motiloom_kit.console import Console
from motiloom_kit.console.picker import picker_document
from motiloom_kit.console.protocol import Session, read_frame, settled
from motiloom_kit.rig import Rig, load
from motiloom_kit.show import Show
from motiloom_kit.tempo import TapTempo, TempoMap

RIG = """
fps = 44
bpm = 120
fade_in_beats = 0
{library}
[[output]]
protocol = "sacn"
universes = [1]
{fixtures}
[[group]]
name = "front"
fixtures = ["h1", "h2"]
pattern = "circle"
size = 0.5
spread = "even"

[[group]]
name = "back"
fixtures = ["h3", "h4"]
pattern = "helix"
size = 0.5
"""
HEAD = '[[fixture]]\nname = "h{n}"\nuniverse = 1\naddress = {address}\nchannels = 5\n'


def write_rig(tmp_path, library=""):
    fixtures = "".join(HEAD.format(n=n, address=1 + 5 * (n - 1)) for n in range(1, 5))
    path = tmp_path / "rig.toml"
    path.write_text(RIG.format(fixtures=fixtures, library=library))
    return path


class Running:
    """A show playing on a thread (sending nowhere), with its console on a free loopback port."""

    def __init__(self, rig: Rig, token: str | None = None) -> None:
        self.rig = rig
        self.show = Show(rig, TempoMap(rig.bpm, rig.fps), TapTempo(), senders=[], seconds=60)
        self.log = io.StringIO()
        self.console = Console(self.show, "127.0.0.1", 0, token=token, log=self.log)
        self.console.start()
        self.thread = threading.Thread(target=self.show.run)
        self.thread.start()

    def url(self, path: str) -> str:
        return f"http://127.0.0.1:{self.console.port}{path}"

    def close(self) -> None:
        self.show.stop()
        self.thread.join(timeout=10)
        self.console.close()


@pytest.fixture
def running(tmp_path):
    playing = Running(load(write_rig(tmp_path)))
    yield playing
    playing.close()


async def receive(ws, wanted, *, timeout=5.0):
    """The next text message of type `wanted` (frames and other messages are passed over)."""
    async with asyncio.timeout(timeout):
        while True:
            message = await ws.receive()
            if message.type == aiohttp.WSMsgType.TEXT:
                data = json.loads(message.data)
                if data["type"] == wanted:
                    return data
            elif message.type != aiohttp.WSMsgType.BINARY:
                raise AssertionError(f"the connection ended: {message}")


async def frames(ws, count):
    """The next `count` frame messages, taken apart."""
    got = []
    async with asyncio.timeout(10):
        while len(got) < count:
            message = await ws.receive()
            if message.type == aiohttp.WSMsgType.BINARY:
                got.append(read_frame(message.data))
    return got


@contextlib.contextmanager
def upgrade(port, headers=None):
    """A WebSocket opened by hand on a plain socket: the server's answer and the socket."""
    key = base64.b64encode(b"0123456789abcdef").decode()
    fields = {"Host": f"127.0.0.1:{port}", "Upgrade": "websocket", "Connection": "Upgrade",
              "Sec-WebSocket-Version": "13", "Sec-WebSocket-Key": key}  # fmt: skip
    fields.update(headers or {})
    with socket.create_connection(("127.0.0.1", port), timeout=5) as connection:
        request = "".join(f"{k}: {v}\r\n" for k, v in fields.items())
        connection.sendall(f"GET /ws HTTP/1.1\r\n{request}\r\n".encode())
        yield connection.recv(4096).decode(errors="replace"), connection


def exchange(running, *messages):
    """Send `messages` on one connection; the replies, in order."""

    async def talk():
        async with aiohttp.ClientSession() as session:
            async with session.ws_connect(running.url("/ws")) as ws:
                await receive(ws, "state")
                replies = []
                for message in messages:
                    await ws.send_str(message if isinstance(message, str) else json.dumps(message))
                    replies.append(await receive(ws, "reply"))
                return replies

    return asyncio.run(talk())


@pytest.mark.parametrize(
    ("message", "says"),
    [
        ("{nope", "JSON text"),
        ("[1, 2]", "a JSON object"),
        ({"type": "shout"}, "one of group, master"),
        ({"type": "master", "size": 0.5, "colour": "red"}, "has no 'colour'"),
        ({"type": "master"}, "needs 'size'"),
        ({"type": "master", "size": "big"}, 'a number, not "big"'),
        ('{"type": "master", "size": NaN}', "a number, not NaN"),
        ({"type": "master", "size": True}, "a number, not true"),
        ({"type": "master", "size": 3}, "the master size is 0 to 2"),
        ({"type": "group", "group": "front"}, "changes one of pattern"),
        ({"type": "group", "group": "middle", "size": 1}, "no group is called 'middle'"),
        ({"type": "group", "group": "front", "pattern": "circel"}, "did you mean circle"),
        ({"type": "group", "group": "front", "size": 9}, "at most 4, not 9"),
        ({"type": "group", "group": "front", "rate": "fast"}, "rate"),
        ({"type": "group", "group": "front", "spread": "diagonal"}, "not 'diagonal'"),
        ({"type": "group", "group": "front", "size": 1, "now": "yes"}, "true or false"),
        ({"type": "override", "state": "sleep"}, "not 'sleep'"),
        ({"type": "tap", "id": "one"}, "id is an integer"),
        (json.dumps({"type": "tap", "t": 1, "pad": "x" * 5000}), "at most 4096 bytes"),
    ],
)
def test_a_refused_message_is_told_and_changes_nothing(running, message, says):
    before = settled(running.show.state())
    (reply,) = exchange(running, message)
    assert reply["ok"] is False and says in reply["error"], reply
    assert settled(running.show.state()) == before


def test_a_change_from_one_page_reaches_every_page_and_again_when_it_takes_over(running):
    bar = 4 * 64

    async def two_pages():
        async with aiohttp.ClientSession() as session:
            async with (
                session.ws_connect(running.url("/ws")) as one,
                session.ws_connect(running.url("/ws")) as other,
            ):
                await receive(one, "state")
                await receive(other, "state")
                (*_, seen) = await frames(other, 3)
                change = {"type": "group", "group": "back", "pattern": "lfo_breathe", "id": 7}
                await one.send_str(json.dumps(change))
                reply = await receive(one, "reply")
                heard = await receive(other, "state")
                taken = await receive(other, "state", timeout=10)
                return seen, reply, heard, taken

    seen, reply, heard, taken = asyncio.run(two_pages())
    position = seen[4]
    assert reply["ok"] and reply["id"] == 7
    # The first bar line after the frames the other page had seen (or the one after it, should a
    # bar have begun in between).
    assert reply["at"] % bar == 0 and 0 < reply["at"] - position <= 2 * bar
    back = [g for g in heard["state"]["groups"] if g["name"] == "back"]
    assert back[0]["pattern"] == "lfo_breathe" and heard["state"]["pending"] == [reply["at"]]
    assert taken["state"]["pending"] == []


def test_frames_say_what_was_sent_and_when(running):
    async def watch():
        async with aiohttp.ClientSession() as session:
            async with session.ws_connect(running.url("/ws")) as ws:
                return await frames(ws, 12)

    got = asyncio.run(watch())
    numbers = [g[0] for g in got]
    assert numbers == sorted(set(numbers)) and numbers[-1] - numbers[0] < 40
    for number, sent, late, bpm, position, places in got:
        assert sent + late == number + 1  # every frame up to this one, sent or skipped
        # At 120 BPM and 44 fps a frame is 128/44 pips on from the last, from pip 0.
        assert position == pytest.approx(float(Fraction(128, 44) * number), abs=1e-9)
        assert bpm == 120 and places.shape == (4, 2)


@pytest.mark.parametrize(
    ("path", "token", "status"),
    [
        ("/", None, 403),
        ("/", "wrong", 403),
        ("/", "s3cret", 200),
        ("/catalogue", None, 403),
        ("/catalogue", "s3cret", 200),
        ("/ws", None, 403),
        ("/ws", "s3crez", 403),
        ("/console.js", None, 200),  # the page's own script is no secret
    ],
)
def test_the_page_the_patterns_and_the_socket_need_the_token(tmp_path, path, token, status):
    playing = Running(load(write_rig(tmp_path)), token="s3cret")

    async def ask():
        async with aiohttp.ClientSession() as session:
            query = "" if token is None else f"?token={token}"
            if path == "/ws" and status == 200:
                async with session.ws_connect(playing.url(path + query)) as ws:
                    return (await receive(ws, "state")) and 200
            headers = {"Upgrade": "websocket", "Connection": "Upgrade"} if path == "/ws" else {}
            async with session.get(playing.url(path + query), headers=headers) as response:
                return response.status

    try:
        assert asyncio.run(ask()) == status
    finally:
        playing.close()


@pytest.mark.parametrize(
    ("headers", "status"),
    [
        ({"Host": "evil.example:{port}"}, 421),  # a page from elsewhere, rebound to loopback
        ({"Host": "127.0.0.1:1"}, 421),
        ({"Origin": "http://evil.example"}, 403),  # another site's script
        ({"Origin": "http://127.0.0.1:{port}"}, 101),  # the console's own page
        ({"Host": "localhost:{port}", "Origin": "http://localhost:{port}"}, 101),
    ],
)
def test_only_loopback_names_and_the_consoles_own_page_are_served(running, headers, status):
    port = running.console.port
    with upgrade(port, {key: value.format(port=port) for key, value in headers.items()}) as (
        answer,
        _,
    ):
        assert answer.split()[1] == str(status), answer


def test_a_failing_console_or_page_never_stops_the_show(tmp_path, monkeypatch):
    rig = load(write_rig(tmp_path))
    show = Show(rig, TempoMap(rig.bpm, rig.fps), senders=[], seconds=1.5)
    log = io.StringIO()
    console = Console(show, "127.0.0.1", 0, log=log)
    console.start()

    def broken(self, frame, positions):
        raise RuntimeError("broken preview")

    try:
        player = threading.Thread(target=show.run)
        player.start()
        with upgrade(console.port) as (answer, connection):
            assert answer.startswith("HTTP/1.1 101")
            connection.recv(4096)  # frames are coming
            monkeypatch.setattr(Rig, "shown", broken)
            time.sleep(0.3)
            # Gone without a word: the connection reset, not closed.
            connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        player.join(timeout=10)
    finally:
        console.close()
    assert show.status.sent + show.status.late == 66  # 1.5 s at 44 fps, to the end
    assert log.getvalue().count("broken preview") == 1  # told, once


def test_a_port_in_use_is_refused_at_start_and_leaves_nothing_running(tmp_path):
    rig = load(write_rig(tmp_path))
    show = Show(rig, TempoMap(rig.bpm, rig.fps), senders=[])
    with socket.socket() as taken:
        taken.bind(("127.0.0.1", 0))
        taken.listen()
        console = Console(show, "127.0.0.1", taken.getsockname()[1])
        with pytest.raises(OSError):
            console.start()
    assert not any(t.name == "console" for t in threading.enumerate())
    assert show.listeners == []


def test_taps_are_timed_by_the_page_not_by_their_arrival(tmp_path):
    now = [100.0]
    rig = load(write_rig(tmp_path))
    tempo = TempoMap(90, rig.fps, clock=lambda: now[0])
    source = TapTempo(clock=lambda: now[0])
    show = Show(rig, tempo, source)
    tempo.start(99.0)
    source.start(tempo)
    session = Session(show, lambda: now[0])
    # Taps at 120 BPM by the page's clock (which reads 5 s less than the show's), held up more
    # and more on the way (a network filling up): their arrival times alone give 115.1 BPM.
    delays = [0.0, 0.02, 0.03, 0.05, 0.08, 0.1, 0.12, 0.15]
    for beat, delay in enumerate(delays):
        page_time = 95.0 + 0.5 * beat
        now[0] = page_time + 5.0 + delay
        reply, _ = session.handle(json.dumps({"type": "tap", "t": page_time * 1000}))
    assert reply["ok"] and reply["bpm"] == pytest.approx(120, abs=0.01)
    # A page clock that says the tap was long ago is not believed: its arrival time is used.
    now[0] = 95.0 + 0.5 * len(delays) + 5.0  # the next beat, arriving on time
    reply, _ = session.handle(json.dumps({"type": "tap", "t": 0}))
    assert reply["ok"] and reply["bpm"] == pytest.approx(120, abs=1)


def test_the_picker_holds_every_pattern_then_the_rigs_own(tmp_path):
    from motiloom_kit import catalogue

    ramp = [[k / 32 - 1, 0.5, 0.0] for k in range(64)]
    library = {"patterns": [{"name": "my_ramp", "description": "up", "samples": ramp}]}
    (tmp_path / "mine.json").write_text(json.dumps(library))
    rig = load(write_rig(tmp_path, library='library = "mine.json"'))
    document = json.loads(picker_document(rig.library))
    entries = document["entries"]
    assert [e[0] for e in entries] == [e.name for e in catalogue.entries()] + ["my_ramp"]
    assert entries[-1][2:] == [64, 2, "caller", "caller"]  # period, axes used, pack, family
    # The tables as the page reads them: deflated deltas of 8-bit levels over -1 .. +1.
    levels = np.cumsum(np.frombuffer(zlib.decompress(base64.b64decode(document["data"])),
                                     dtype=np.uint8), dtype=np.int64) % 256  # fmt: skip
    assert len(levels) == sum(period * axes for _, _, period, axes, _, _ in entries)
    mine = levels[-128:] / 127.5 - 1
    assert np.allclose(mine[:64], np.array(ramp)[:, 0], atol=1 / 255)
    assert np.allclose(mine[64:], 0.5, atol=1 / 255)
