"""A show's frames and its live changes, frame by frame, without a clock or a network."""

import threading

import numpy as np
import pytest

from motiloom_kit import pattern
from motiloom_kit.clock import PipTimes
from motiloom_kit.rig import RigError, load
from motiloom_kit.show import Show
from motiloom_kit.tempo import TapTempo, TempoMap

RIG = """
fps = 32
bpm = 120
fade_in_beats = {fade}
interpolate = "linear"

[[output]]
protocol = "sacn"
universes = [1]

[[fixture]]
name = "a"
universe = 1
address = 1

[[fixture]]
name = "b"
universe = 1
address = 5

[[group]]
name = "pair"
fixtures = ["a", "b"]
pattern = "{pattern}"
size = 0.5
spread = "even"
"""


def write(tmp_path, name="rig.toml", **values):
    values = {"fade": 0, "pattern": "circle", **values}
    path = tmp_path / name
    path.write_text(RIG.format(**values))
    return load(path)


def show_of(rig, source=None):
    tempo = TempoMap(rig.bpm, rig.fps)  # 120 BPM at 32 fps: 4 pips a frame, a bar in 64 frames
    tempo.start(0.0)
    return Show(rig, tempo, source)


def bytes_of(frame):
    return frame[0][1].tobytes()


def expected(rig, pip):
    return rig.dmx(PipTimes.of([pip]))[1][0].tobytes()


def test_frames_are_the_rigs_bytes_at_the_tempo_maps_positions(tmp_path):
    rig = write(tmp_path)
    show = show_of(rig)
    for k in range(0, 200, 7):
        assert bytes_of(show.frame(k)) == expected(rig, 4 * k)


def test_a_new_pattern_takes_over_at_the_next_bar(tmp_path):
    rig = write(tmp_path)
    other = write(tmp_path, "other.toml", pattern="lfo_breathe")
    show = show_of(rig)
    for k in range(10):
        show.frame(k)
    at = show.change_group("pair", pattern="lfo_breathe")
    assert at == 256  # the first bar line not yet reached
    frames = {k: bytes_of(show.frame(k)) for k in range(10, 100)}
    assert all(frames[k] == expected(rig, 4 * k) for k in range(10, 64))
    assert all(frames[k] == expected(other, 4 * k) for k in range(64, 100))
    assert show.state()["groups"][0]["pattern"] == "lfo_breathe"


def test_a_changed_rig_is_compiled_by_the_change_not_by_the_frame_it_takes_over(
    tmp_path, monkeypatch
):
    from motiloom_kit import rig as rig_module

    show = show_of(write(tmp_path))
    show.frame(0)
    built = []
    compile_rig = rig_module._Drive.__init__

    def counted(self, rig):
        built.append(rig)
        compile_rig(self, rig)

    monkeypatch.setattr(rig_module._Drive, "__init__", counted)
    show.change_group("pair", pattern="lfo_breathe")
    made = len(built)
    for k in range(1, 100):  # across the bar line (frame 64) where the change takes over
        show.frame(k)
    assert made == 1 and len(built) == 1
    assert show.state()["pending"] == []


def test_listeners_hear_a_change_as_soon_as_it_is_accepted_and_never_a_refused_one(tmp_path):
    show = show_of(write(tmp_path))
    show.frame(0)
    told = []
    show.change_listeners.append(lambda: told.append(show.state()))
    with pytest.raises(RigError):
        show.change_group("pair", pattern="circel")
    assert told == []
    at = show.change_group("pair", pattern="lfo_breathe")
    (state,) = told
    assert state["groups"][0]["pattern"] == "lfo_breathe" and state["pending"] == [at]


def test_a_change_at_once_and_a_refused_one(tmp_path):
    rig = write(tmp_path)
    show = show_of(rig)
    show.frame(0)
    assert show.change_group("pair", size=0.25, at_once=True) == 4
    smaller = write(tmp_path, "small.toml").changed(
        groups=[g.__class__(**{**g.__dict__, "size": 0.25}) for g in rig.groups]
    )
    assert bytes_of(show.frame(1)) == expected(smaller, 4)
    for bad in [{"pattern": "circel"}, {"size": -1}, {"spread": "diagonal"}, {"rate": "fast"}]:
        with pytest.raises(RigError):
            show.change_group("pair", **bad)
    with pytest.raises(RigError, match="no group is called"):
        show.change_group("trio", size=1)
    assert bytes_of(show.frame(2)) == expected(smaller, 8)  # nothing changed by the refusals


def test_a_rate_change_goes_on_from_where_the_loop_is():
    base = pattern("helix", rate="1/2", phase_beats=1)
    at = 1000
    faster = base.retimed("3/2", at)
    assert faster.rate == pytest.approx(1.5)
    pips = np.array([at, at + 64])
    assert np.array_equal(faster.render(pips[:1]), base.render(pips[:1]))  # no jump at the change
    # 64 pips on, the loop has gone 64 * 3/2 further from 1000 * 1/2 + 64 (the phase): pip 660.
    assert np.array_equal(faster.render(pips[1:]), pattern("helix").render([660]))


def test_home_blackout_and_hold_then_a_fade_back(tmp_path):
    rig = write(tmp_path, fade=1)
    show = show_of(rig)
    for k in range(40):
        show.last = show.frame(k)[0]
    show.set_override("home")
    assert show.frame(40)[0][1].tobytes() == rig.stop_frame(state="home")[1].tobytes()
    show.set_override(None)
    back = [show.frame(k)[0][1] for k in range(41, 60)]
    assert back[0].tobytes() == rig.stop_frame(state="home")[1].tobytes()  # fades from home
    assert back[-1].tobytes() == expected(rig, 4 * 59)  # a beat (16 frames) later, the show
    show.last = {1: back[-1]}
    show.set_override("hold")
    assert show.frame(60)[0][1].tobytes() == back[-1].tobytes()
    with pytest.raises(RigError):
        show.set_override("sleep")


def test_master_size_and_taps(tmp_path):
    rig = write(tmp_path)
    show = show_of(rig, TapTempo(clock=lambda: 0.0))
    show.frame(0)
    show.set_master(0.5)
    half = rig.changed(master=0.5)
    assert bytes_of(show.frame(1)) == expected(half, 4)
    show.source.start(show.tempo)
    for t in (0.1, 0.6, 1.1, 1.6):
        show.source.clock = lambda t=t: t
        bpm = show.tap()
    assert bpm == pytest.approx(120)
    state = show.state()
    assert state["master"] == 0.5 and state["tempo"]["source"] == "tap"
    assert show_of(rig).state()["tempo"]["source"] == "fixed"
    with pytest.raises(RigError, match="not from taps"):
        show_of(rig).tap()


def test_osc_in_changes_the_show(tmp_path):
    import socket

    from pythonosc.osc_message_builder import OscMessageBuilder

    from motiloom_kit.osc_in import OscControl

    def message(address, values):
        built = OscMessageBuilder(address=address)
        for value in values:
            built.add_arg(value)
        return built.build().dgram

    show = show_of(write(tmp_path), TapTempo(clock=lambda: 0.0))
    show.frame(0)
    control = OscControl(show, "127.0.0.1", 0)
    control.start()
    try:
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as client:
            for address, values in [
                ("/motiloom/group/pair/pattern", ["lfo_breathe", "now"]),
                ("/motiloom/group/pair/nonsense", [1]),  # told on stderr, ignored
                ("/motiloom/master/size", [0.5]),
            ]:
                client.sendto(message(address, values), ("127.0.0.1", control.port))
        for _ in range(200):
            if len(control.heard) == 2:
                break

            threading.Event().wait(0.01)
    finally:
        control.close()
    assert [h.split()[0:2] for h in control.heard] == [["pair", "pattern"], ["master", "size"]]
    state = show.state()
    assert state["groups"][0]["pattern"] == "lfo_breathe" and state["master"] == 0.5
    assert control.apply("/motiloom/override", ("blackout",)) == "override blackout"
    assert show.override == "blackout"
    with pytest.raises(ValueError, match="not a message"):
        control.apply("/motiloom/tempo/stomp", ())
