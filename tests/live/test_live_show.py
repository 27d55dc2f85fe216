"""motiloom play against receivers nobody here wrote: olad (sACN and Art-Net), oscdump (OSC), a
JACK MIDI clock and an Ableton Link peer. Every receiver runs in a network namespace of its own,
the show inside it too, so nothing leaves the machine."""

from __future__ import annotations

import json
import os
import subprocess
import sys
import time
from pathlib import Path

import numpy as np
import pytest

from live import Unavailable
from live.jack import JackServer, MidiClock
from live.link import LinkPeer, phase_difference, require_aalink
from live.netns import Namespace
from live.ola import Olad
from live.osc import Oscdump
from motiloom_kit.record import recorded_frames
from motiloom_kit.rig import load

PLAY = [sys.executable, "-P", "-m", "motiloom_kit", "play"]


def skip_unless(make):
    try:
        return make()
    except Unavailable as error:
        pytest.skip(str(error))


def dmx_rig(tmp_path: Path, protocol: str, host: str, extra: str = "") -> Path:
    """Six heads over two universes, 16- and 8-bit, moved by two groups."""
    fixtures = "".join(
        f'[[fixture]]\nname = "head{k}"\nuniverse = {1 + k // 3}\naddress = {1 + 7 * (k % 3)}\n'
        f'profile = "{"pan-tilt-16" if k % 2 else "pan-tilt-8"}"\nchannels = 6\n'
        f"values = {{ 6 = {40 + k} }}\n\n"
        for k in range(6)
    )
    text = f"""fps = 44
bpm = 128
fade_in_beats = 1
stop = "home"
{extra}
[[output]]
protocol = "{protocol}"
host = "{host}"
universes = [1, 2]

{fixtures}
[[group]]
fixtures = ["head0", "head1", "head2", "head3"]
pattern = "beat_dembow_step"
size = 0.8
spread = "wings"

[[group]]
fixtures = ["head4", "head5"]
pattern = "helix"
rate = "1/2"
size = 0.6
centre = [0.1, -0.2]
spread = "even"
"""
    path = tmp_path / f"{protocol}.toml"
    path.write_text(text)
    return path


def received_in_order(received, expected):
    """Every received frame is the next of the expected ones that holds its bytes (some may be
    missing, none foreign, none out of order); returns how many arrived."""
    last = -1
    for frame in received:
        later = [k for k in range(last + 1, len(expected)) if expected[k].tobytes() == bytes(frame)]
        assert later, "a received frame is not among the show's frames that follow the last one"
        last = later[0]
    return len(received)


EXAMPLES = Path(__file__).resolve().parents[2] / "examples"


def example_rig(tmp_path: Path, protocol: str, host: str) -> Path:
    """The 32 heads of real fixture definitions, sent to `host`."""
    text = (EXAMPLES / "rigs" / "thirty_two_heads.toml").read_text()
    text = text.replace('host = "127.0.0.1"', f'host = "{host}"')
    text = text.replace('"../fixtures/', f'"{EXAMPLES / "fixtures"}/')
    path = tmp_path / "thirty_two_heads.toml"
    path.write_text(text)
    return path


@pytest.mark.parametrize(
    ("protocol", "make"),
    [("sacn", dmx_rig), ("artnet", dmx_rig), ("sacn", example_rig)],
    ids=["sacn", "artnet", "sacn-32-heads"],
)
def test_olad_receives_exactly_the_shows_frames(tmp_path, protocol, make):
    plugin = "e131" if protocol == "sacn" else "artnet"
    with skip_unless(Namespace) as ns, skip_unless(lambda: Olad(ns, plugin, [1, 2])) as olad:
        rig_file = make(tmp_path, protocol, ns.address)
        with olad.record() as recording:
            argv = [*PLAY, str(rig_file), "--bpm", "128", "--seconds", "4", "--status", "none"]
            run = ns.run(argv, timeout=60, check=False)
            time.sleep(0.5)
        assert run.returncode == 0, run.stderr
        assert "0 late" in run.stderr
        frames, _ = recorded_frames(load(rig_file, bpm=128), 128, 4)
        received = recording.by_universe()
        for universe in (1, 2):
            # The show's 176 frames, then its stop state, sent three times.
            sent = np.concatenate([frames[universe]] + [frames[universe][-1:]] * 2)
            arrived = received_in_order(received[universe], sent)
            assert arrived >= 0.99 * len(sent), (universe, arrived, len(sent))
            assert bytes(received[universe][-1]) == sent[-1].tobytes()  # ended on the stop state
        assert not np.array_equal(frames[1][5], frames[1][60])  # it did move


def test_oscdump_receives_a_bundle_of_fixture_positions_per_frame(tmp_path):
    rig_file = tmp_path / "osc.toml"
    rig_file.write_text("""fps = 30
bpm = 100
fade_in_beats = 0
interpolate = "none"
[[output]]
protocol = "osc"
host = "127.0.0.1"
port = 9100
prefix = "/stage/points"
[[fixture]]
name = "left"
profile = "point"
[[fixture]]
name = "right"
profile = "point"
[[group]]
fixtures = ["left", "right"]
pattern = "figure_eight"
size = 0.5
centre = [0.25, 0.0]
spread = "even"
""")
    with skip_unless(Namespace) as ns, skip_unless(lambda: Oscdump(9100, ns)) as dump:
        run = ns.run([*PLAY, str(rig_file), "--seconds", "2", "--status", "none"],
                     timeout=60, check=False)  # fmt: skip
        assert run.returncode == 0, run.stderr
        dump.wait_for(messages=2 * 60)
        bundles = dump.bundles()
    rig = load(rig_file)
    pips = np.arange(60) * (100 * 64 / 60 / 30)  # frame k's position at 100 BPM and 30 fps
    expected = rig.positions(pips)
    assert len(bundles) >= 60
    for k, bundle in enumerate(bundles[:60]):
        assert [m.address for m in bundle.messages] == ["/stage/points/left", "/stage/points/right"]
        for message, position in zip(bundle.messages, expected[k], strict=True):
            assert message.types == "fff"
            assert np.allclose(message.values, position, atol=1e-6), (k, message)


def json_status(text: str) -> list[dict[str, float]]:
    return [json.loads(line) for line in text.splitlines() if line.startswith("{")]


def test_the_show_follows_a_midi_clock_through_a_tempo_change(tmp_path):
    rig_file = dmx_rig(tmp_path, "sacn", "127.0.0.1")
    with skip_unless(JackServer) as server, skip_unless(lambda: MidiClock(server, 120)) as clock:
        clock.play()
        env = dict(os.environ, **server.env)
        show = subprocess.Popen(
            [*PLAY, str(rig_file), "--midi-clock", clock.port, "--midi-api", "jack",
             "--seconds", "14", "--status", "json"],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env,
        )  # fmt: skip
        try:
            time.sleep(7)
            changed = time.monotonic()
            clock.tempo(150)
            out, err = show.communicate(timeout=60)
        finally:
            if show.poll() is None:
                show.kill()
                show.wait()
    assert show.returncode == 0, err
    seen = json_status(out)
    started = seen[0]["t"]
    # Settled within half a BPM two beats after the clock's first tick (0.5 s at 120 BPM, and the
    # show starts first), until the change; within half a BPM of the new tempo four beats on.
    steady = [s["bpm"] for s in seen if started + 2.0 < s["t"] < changed]
    followed = [s["bpm"] for s in seen if s["t"] > changed + 4 * 60 / 150]
    assert steady and all(abs(b - 120) <= 0.5 for b in steady), [
        b for b in steady if abs(b - 120) > 0.5
    ]
    assert followed and all(abs(b - 150) <= 0.5 for b in followed), followed
    # The position moved at the clock's own rate: pips per second from the JSON lines.
    before = [s for s in seen if started + 2.0 < s["t"] < changed]
    rate = (before[-1]["pip"] - before[0]["pip"]) / (before[-1]["t"] - before[0]["t"])
    assert rate == pytest.approx(120 * 64 / 60, rel=0.01)


def test_the_show_follows_a_link_session(tmp_path):
    skip_unless(require_aalink)
    rig_file = dmx_rig(tmp_path, "sacn", "127.0.0.1")
    with skip_unless(Namespace) as ns, LinkPeer(ns, 125) as peer:
        time.sleep(2)  # a session already running when the show joins it
        show = ns.popen([*PLAY, str(rig_file), "--link", "--seconds", "10", "--status", "json"],
                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)  # fmt: skip
        try:
            time.sleep(5)
            changed = time.monotonic()
            peer.set_tempo(140)
            time.sleep(3)
            phases = []
            for _ in range(5):
                status = peer.status()
                phases.append((status.at, status.phase))
                time.sleep(0.2)
            out, err = show.communicate(timeout=60)
        finally:
            if show.poll() is None:
                show.kill()
                show.wait()
    assert show.returncode == 0, err
    seen = json_status(out)
    started = seen[0]["t"]
    early = [s["bpm"] for s in seen if started + 2.5 < s["t"] < changed]
    late = [s["bpm"] for s in seen if s["t"] > changed + 1.5]
    assert early and all(abs(b - 125) < 0.01 for b in early), (early, err[-3000:])
    assert late and all(abs(b - 140) < 0.01 for b in late), late
    # The show's place in the bar is the session's (quantum 4).
    for at, phase in phases:
        near = min(seen, key=lambda s: abs(s["t"] - at))
        ours = (near["pip"] + (at - near["t"]) * near["bpm"] * 64 / 60) / 64 % 4
        assert abs(phase_difference(ours, phase)) < 0.1, (ours, phase)
