"""The console page in a real headless Chromium, against `motiloom play --web` sending sACN to
olad. The show, olad and the browser all run in one private network namespace, so nothing
listens or sends outside it; what olad received is checked against the rig's own bytes."""

from __future__ import annotations

import json
import re
import signal
import subprocess
import sys
import threading
import time
from fractions import Fraction
from pathlib import Path

import motiloom
import numpy as np
import pytest
from kit.chromium import Chromium, executable
from live import Unavailable
from live.netns import Namespace
from live.ola import Olad

from motiloom_kit.rig import load
from motiloom_kit.tempo import TempoMap

PLAY = [sys.executable, "-P", "-m", "motiloom_kit", "play"]
BINARY = executable()
pytestmark = pytest.mark.skipif(
    BINARY is None,
    reason="chromium is not installed (make browser-deps installs it from Debian) and could not be",
)
BAR = 4 * 64
DESCRIPTIONS = {e["name"]: e["description"] for e in motiloom.catalogue()}
READY = "document.body && document.body.dataset.ready === 'true'"
CONNECTED = "document.getElementById('link').textContent === 'Connected'"
DRAWN = "window.motiloomConsole.framesDrawn > 5"


def rig_text(host: str, *, bpm: float = 120, back: str = "helix") -> str:
    """Eight heads on universe 1, a dimmer each (open, and shut in blackout), in two groups."""
    heads = "".join(
        f'[[fixture]]\nname = "head{n}"\nuniverse = 1\naddress = {1 + 5 * n}\nchannels = 5\n'
        f"values = {{ 5 = 255 }}\nblackout = {{ 5 = 0 }}\n\n"
        for n in range(8)
    )
    return f"""fps = 44
bpm = {bpm}
fade_in_beats = 0
stop = "home"

[[output]]
protocol = "sacn"
host = "{host}"
universes = [1]

{heads}
[[group]]
name = "front"
fixtures = ["head0", "head1", "head2", "head3"]
pattern = "circle"
size = 0.6
spread = "even"

[[group]]
name = "back"
fixtures = ["head4", "head5", "head6", "head7"]
pattern = "{back}"
rate = "1/2"
size = 0.5
spread = "wings"
"""


def skip_unless(make):
    try:
        return make()
    except Unavailable as error:
        pytest.skip(str(error))


class Playing:
    """`motiloom play RIG --web 127.0.0.1:PORT --status json` in the namespace: its status
    lines as they come, and what it printed on stderr."""

    def __init__(self, ns: Namespace, rig_file: Path, *options: str, web: str) -> None:
        self.process = ns.popen(
            [*PLAY, str(rig_file), *options, "--web", web, "--status", "json"],
            stdout=subprocess.PIPE,
            stderr=subprocess.PIPE,
            text=True,
        )
        self.status: list[dict[str, float]] = []
        self.errors: list[str] = []
        self._url = threading.Event()
        self.url = ""
        self._readers = [
            threading.Thread(target=self._read_status, daemon=True),
            threading.Thread(target=self._read_errors, daemon=True),
        ]
        for reader in self._readers:
            reader.start()
        if not self._url.wait(30):
            self.stop()
            raise RuntimeError(f"the show printed no console address: {self.errors}")

    def _read_status(self) -> None:
        for line in self.process.stdout:
            if line.startswith("{"):
                self.status.append(json.loads(line))

    def _read_errors(self) -> None:
        for line in self.process.stderr:
            self.errors.append(line)
            if line.startswith("console at "):
                self.url = line.split()[-1]
                self._url.set()

    def position(self) -> float:
        """The show's latest musical position (pips) from its status lines."""
        deadline = time.monotonic() + 10
        while not self.status:
            if time.monotonic() > deadline:
                raise TimeoutError(f"no status line from the show: {self.errors}")
            time.sleep(0.05)
        return self.status[-1]["pip"]

    def stop(self) -> int:
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        code = self.process.wait(timeout=20)
        for reader in self._readers:
            reader.join(timeout=5)
        for stream in (self.process.stdout, self.process.stderr):
            stream.close()
        return code


class Stage:
    """A namespace with olad receiving universe 1 and a Chromium, both inside it."""

    def __init__(self, folder: Path) -> None:
        self.folder = folder
        self.ns = skip_unless(Namespace)
        self.ns.open()
        self.olad: Olad | None = None
        self.browser: Chromium | None = None
        try:
            self.olad = Olad(self.ns, "e131", [1])
            skip_unless(self.olad.start)
            assert BINARY is not None
            self.browser = Chromium(BINARY, str(folder / "profile"), size=(1280, 800),
                                    prefix=self.ns.command([]))  # fmt: skip
        except BaseException:
            self.close()
            raise

    def rig(self, name: str = "rig.toml", **options) -> Path:
        path = self.folder / name
        path.write_text(rig_text(self.ns.address, **options))
        return path

    def open(self, url: str):
        assert self.browser is not None
        page = self.browser.open_page(url)
        page.wait_for(READY)
        return page

    def close(self) -> None:
        """Everything stopped in the ordinary way; then nothing may be left in the namespace."""
        try:
            if self.browser is not None:
                self.browser.close()
            if self.olad is not None:
                self.olad.stop()
            left = self.ns.pids()
        finally:
            self.ns.close()
        assert left == [], f"still running after the tests: {left}"


@pytest.fixture(scope="module")
def stage(tmp_path_factory):
    made = Stage(tmp_path_factory.mktemp("console"))
    yield made
    made.close()


@pytest.fixture(scope="module")
def fixed(stage):
    """A show at a fixed 120 BPM with its console, and a page open on it."""
    show = Playing(stage.ns, stage.rig(), "--bpm", "120", "--seconds", "300",
                   web="127.0.0.1:8765")  # fmt: skip
    try:
        page = stage.open(show.url)
        page.wait_for(CONNECTED)
        page.wait_for(DRAWN)
        yield show, page
    finally:
        assert show.stop() == 0, show.errors


def frames_at_120(rig, count: int) -> np.ndarray:
    """Universe 1 of frames 0 .. count - 1 of a show of `rig` at 120 BPM and 44 fps."""
    return rig.dmx(TempoMap(120, 44).times(count))[1]


def set_value(page, selector: str, value: str, event: str = "input") -> None:
    page.evaluate(
        f"(() => {{ const e = document.querySelector({json.dumps(selector)}); "
        f"e.value = {json.dumps(value)}; e.dispatchEvent(new Event({json.dumps(event)})); }})()"
    )


def click(page, selector: str) -> None:
    page.evaluate(f"document.querySelector({json.dumps(selector)}).click()")


def text(page, selector: str) -> str:
    return page.evaluate(f"document.querySelector({json.dumps(selector)}).textContent")


def test_the_page_loads_clean_shows_the_show_and_asks_nothing_of_elsewhere(fixed):
    _, page = fixed
    assert page.collect_errors() == []
    names = "[...document.querySelectorAll('#groups .group h2')].map(e => e.textContent)"
    assert page.evaluate(names) == ["front", "back"]
    patterns = "[...document.querySelectorAll('#groups button.pattern')].map(e => e.textContent)"
    assert page.evaluate(patterns) == ["circle", "helix"]
    assert text(page, "#source").endswith("fixed") and float(text(page, "#bpm")) == 120
    # Another origin (olad's own web page, on this machine) is out of the page's reach.
    refused = "fetch('http://127.0.0.1:9090/').then(() => 'fetched', () => 'refused')"
    assert page.evaluate(refused) == "refused"
    errors = page.collect_errors()
    assert errors and all("Content Security Policy" in e for e in errors), errors
    page.errors.clear()


def test_a_picked_pattern_reaches_olad_from_the_next_bar_and_the_dots_are_the_frames_sent(
    stage, fixed
):
    show, page = fixed
    assert stage.olad is not None
    with stage.olad.record() as recording:
        click(page, "[data-group='back'] button.pattern")
        page.wait_for("document.body.dataset.pickerReady === 'true'")
        shown = "[...document.querySelectorAll('#choices li:not([hidden]) button')]"
        # The gallery's search: words found in a description find their pattern too.
        words = " ".join(DESCRIPTIONS["lfo_breathe"].lower().split()[1:3])
        set_value(page, "#f-name", words)
        found = page.evaluate(f"{shown}.map(b => b.dataset.name)")
        assert "lfo_breathe" in found and len(found) < 1731, words
        set_value(page, "#f-name", "lfo_breathe")
        assert "lfo_breathe" in page.evaluate(f"{shown}.map(b => b.dataset.name)")
        click(page, "#choices button[data-name='lfo_breathe']")
        assert text(page, "#choice-name") == "lfo_breathe"
        click(page, "#take-bar")
        said = page.wait_for(
            "(t => t.startsWith('back: pattern lfo_breathe from bar') && t)"
            "(document.getElementById('message').textContent)"
        )
        at = (int(said.split()[-1]) - 1) * BAR
        drawn = []  # (frame, places) as the page drew them, while the change takes over
        while show.position() < at + 2 * BAR:
            sample = "(d => [d.frame, Array.from(d.places)])(window.motiloomConsole.drawn)"
            drawn.append(page.evaluate(sample))
            time.sleep(0.25)
    assert page.collect_errors() == []
    received = recording.by_universe()[1]
    before = load(stage.rig())
    after = load(stage.rig("changed.toml", back="lfo_breathe"), bpm=120)
    count = max(frame for frame, _ in drawn) + 200
    old, new = frames_at_120(before, count), frames_at_120(after, count)
    bar_frame = next(k for k in range(count) if Fraction(128, 44) * k >= at)
    expected = np.concatenate([old[:bar_frame], new[bar_frame:]])
    # Every frame olad received is the show's next one (some may be missing, none is foreign
    # or out of order): the old pattern's bytes until the bar, the new one's from it.
    index = {}
    for k in range(count):
        index.setdefault(expected[k].tobytes(), []).append(k)
    last = -1
    for data in received:
        later = [k for k in index.get(bytes(data), []) if k > last]
        assert later, f"a frame olad received is not the show's next after frame {last}"
        last = later[0]
    changed = [k for k in range(bar_frame, count) if not np.array_equal(old[k], new[k])]
    heard = {bytes(d) for d in received}
    assert sum(new[k].tobytes() in heard for k in changed) >= 44  # a second of the new pattern
    # The dots the page drew are where olad's bytes put the heads (read back by the rig); a
    # frame olad happened to miss cannot be compared, but most must be.
    compared = 0
    for frame, places in drawn:
        sent = expected[frame].tobytes()
        if sent in heard:
            where = before.shown({1: np.frombuffer(sent, dtype=np.uint8)}, np.zeros((8, 3)))
            assert np.allclose(np.array(places).reshape(-1, 2), where, atol=1e-6), frame
            compared += 1
    assert compared >= 0.8 * len(drawn) and len(drawn) >= 8, (compared, len(drawn))


def test_blackout_sends_the_stop_state_and_play_brings_the_show_back(stage, fixed):
    _, page = fixed
    olad = stage.olad
    assert olad is not None
    blackout = load(stage.rig()).stop_frame(state="blackout")[1].tobytes()
    click(page, "#overrides button[data-state='blackout']")
    deadline = time.monotonic() + 5
    while olad.dmx(1) != blackout:
        assert time.monotonic() < deadline, "olad never received the blackout"
        time.sleep(0.05)
    page.wait_for("!document.getElementById('override-note').hidden")
    assert text(page, "#override-note") == "BLACKOUT"
    time.sleep(0.3)
    assert olad.dmx(1) == blackout  # and it stays
    click(page, "#overrides button[data-state='']")
    deadline = time.monotonic() + 5
    while olad.dmx(1) == blackout:
        assert time.monotonic() < deadline, "the show never came back from blackout"
        time.sleep(0.05)
    assert page.collect_errors() == []


def test_two_pages_stay_in_step(stage, fixed):
    show, first = fixed
    second = stage.open(show.url)
    try:
        second.wait_for(CONNECTED)
        second.wait_for(DRAWN)
        click(first, "#timing button[data-now='true']")
        set_value(first, "[data-group='front'] input.size-value", "0.35", "change")
        second.wait_for("document.querySelector(\"[data-group='front'] input.size-value\")"
                        ".value === '0.35'")  # fmt: skip
        assert "front: size 0.35 at once" in text(first, "#message")
        frame = "window.motiloomConsole.drawn.frame"
        a, b = first.evaluate(frame), second.evaluate(frame)
        assert abs(a - b) <= 22, (a, b)  # both half a second or less behind the show
    finally:
        click(first, "#timing button[data-now='false']")
        second.close()
    assert first.collect_errors() == []


def test_four_taps_at_120_bpm_set_the_show_to_120(stage):
    show = Playing(stage.ns, stage.rig("tapped.toml", bpm=100), "--tap", "--seconds", "60",
                   web="127.0.0.1:8766")  # fmt: skip
    try:
        page = stage.open(show.url)
        page.wait_for(CONNECTED)
        page.wait_for("!document.getElementById('tap').disabled")
        tap = "document.getElementById('tap').dispatchEvent(new PointerEvent('pointerdown'))"
        start = time.monotonic() + 0.2
        for beat in range(4):
            time.sleep(max(0.0, start + 0.5 * beat - time.monotonic()))
            page.evaluate(tap)
        time.sleep(1.0)  # four status lines on
        assert show.status[-1]["bpm"] == pytest.approx(120, abs=1), show.status[-3:]
        assert float(text(page, "#bpm")) == pytest.approx(120, abs=1)
        assert page.collect_errors() == []
        page.close()
    finally:
        assert show.stop() == 0, show.errors


def test_beyond_loopback_the_page_and_its_socket_need_the_printed_token(stage):
    show = Playing(stage.ns, stage.rig(), "--bpm", "120", "--seconds", "60",
                   web="0.0.0.0:8767")  # fmt: skip
    try:
        printed = "".join(show.errors)
        token = re.search(r"needs the token (\S+)", printed).group(1)
        assert show.url == f"http://0.0.0.0:8767/?token={token}"
        assert stage.browser is not None
        bare = stage.browser.open_page(f"http://{stage.ns.address}:8767/")
        assert "needs the token" in bare.wait_for("document.body && document.body.textContent")
        bare.close()
        page = stage.open(f"http://{stage.ns.address}:8767/?token={token}")
        page.wait_for(CONNECTED)
        page.wait_for(DRAWN)
        # Without the token, the same page's socket is refused too.
        probe = (
            "new Promise(done => { const ws = new WebSocket(`ws://${location.host}/ws`);"
            " ws.onopen = () => done('open'); ws.onerror = () => done('refused'); })"
        )
        assert page.evaluate(probe) == "refused"
        # What Chromium reports: the page refused (403) and the socket refused, nothing else.
        assert len(bare.collect_errors()) == 1 and "403" in bare.errors[0], bare.errors
        assert len(page.collect_errors()) == 1 and "403" in page.errors[0], page.errors
        page.close()
    finally:
        assert show.stop() == 0, show.errors


def test_a_page_that_loses_the_show_says_so_and_reconnects(stage):
    rig_file = stage.rig()
    options = ["--bpm", "120", "--seconds", "60"]
    show = Playing(stage.ns, rig_file, *options, web="127.0.0.1:8768")
    try:
        page = stage.open(show.url)
        page.wait_for(CONNECTED)
        page.wait_for(DRAWN)
    finally:
        assert show.stop() == 0, show.errors
    page.wait_for("!document.getElementById('lost').hidden")
    assert text(page, "#lost").startswith("The show has stopped: reconnecting")
    assert page.evaluate("document.getElementById('controls').disabled") is True
    again = Playing(stage.ns, rig_file, *options, web="127.0.0.1:8768")
    try:
        page.wait_for(CONNECTED, timeout=15)
        page.wait_for("document.getElementById('lost').hidden")
        # Frames of the new show: its count of frames sent starts again.
        page.wait_for("window.motiloomConsole.drawn && Number(document.getElementById('sent')"
                      ".textContent.replace(/,/g, '')) < 1000")  # fmt: skip
        assert page.evaluate("document.getElementById('controls').disabled") is False
        # Chromium reports only the attempts made while the show was away (none, if the first
        # retry came after the new show was up), nothing else.
        errors = page.collect_errors()
        assert all("ERR_CONNECTION_REFUSED" in e for e in errors), errors
        page.close()
    finally:
        assert again.stop() == 0, again.errors
