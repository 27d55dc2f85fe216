"""Rig files: what a wrong one is told, and the bytes a right one sends."""

import json
import math
from fractions import Fraction
from pathlib import Path

import motiloom
import numpy as np
import pytest

from motiloom_kit import AxisRange, peak_speed
from motiloom_kit.clock import PipTimes
from motiloom_kit.record import recorded_frames
from motiloom_kit.rig import RigError, load
from motiloom_kit.tempo import TempoMap

BASE = """
fps = 40
bpm = 120
fade_in_beats = 0
interpolate = "none"

[[output]]
protocol = "sacn"
universes = [1, 2]

[[fixture]]
name = "a"
universe = 1
address = 1
profile = "pan-tilt-16"

[[fixture]]
name = "b"
universe = 2
address = 11
profile = "pan-tilt-8"
pan_degrees = 360
tilt_degrees = 180
channels = 4
values = { 3 = 200 }
blackout = { 3 = 0 }

[[group]]
fixtures = ["a", "b"]
pattern = "circle"
size = 0.5
centre = [0.2, -0.1]
"""


def rig_from(tmp_path, text, name="rig.toml"):
    path = tmp_path / name
    path.write_text(text)
    return load(path)


@pytest.mark.parametrize(
    ("change", "message"),
    [
        (("address = 11", "address = 600"), "fixture[2].address: 600 is outside 1-512"),
        (("address = 11", "address = 511"), "fixture[2].address: channels 511-514 run past 512"),
        (
            ("universe = 2\naddress = 11", "universe = 1\naddress = 3"),
            "fixture[2].address: channels 3-6 of universe 1 overlap fixture[1] ('a', channels 1-4)",
        ),
        (
            ('profile = "pan-tilt-8"', 'profil = "pan-tilt-8"'),
            "fixture[2].profil: unknown key (did you mean 'profile'?)",
        ),
        (
            ('pattern = "circle"', 'pattern = "circel"'),
            "group[1].pattern: Unknown motiloom: circel (did you mean circle",
        ),
        (
            ('fixtures = ["a", "b"]', 'fixtures = ["a", "bb"]'),
            "group[1].fixtures[2]: no fixture is called 'bb' (did you mean 'b'?)",
        ),
        (
            ("universes = [1, 2]", "universes = [1]"),
            "fixture[2].universe: no output sends universe 2",
        ),
        (('protocol = "sacn"', 'protocol = "dmx"'), "output[1].protocol: 'dmx' is not one of"),
        (("fps = 40", "fps = 0"), "fps: 0 is outside 1-1000"),
        (("size = 0.5", "size = -1"), "group[1].size: -1 must be above 0"),
        (("centre = [0.2, -0.1]", "centre = [2, 0]"), "group[1].centre[1]: 2 is outside -1-1"),
        (("values = { 3 = 200 }", "values = { 1 = 200 }"), "fixture[2].values.1: no such channel"),
        (("values = { 3 = 200 }", "values = { 3 = 300 }"), "fixture[2].values.3: a level is"),
        (('name = "b"', 'name = "a"'), "fixture[2].name: 'a' is used twice"),
        (
            ('protocol = "sacn"', 'protocol = "sacn"\nhost = "localhost"'),
            "output[1].host: 'localhost' is not an IP address",
        ),
        (("fade_in_beats = 0", "fade_in_beats = true"), "fade_in_beats: expected a number"),
        (('rate = "1/2"', 'rate = "fast"'), "group[1].rate: rate must be a number"),
    ],
)
def test_a_wrong_rig_is_refused_with_its_key_path(tmp_path, change, message):
    text = BASE.replace("centre = [0.2, -0.1]", 'centre = [0.2, -0.1]\nrate = "1/2"')
    old, new = change
    assert old in text
    with pytest.raises(RigError) as error:
        rig_from(tmp_path, text.replace(old, new, 1))
    assert str(error.value).startswith(message), str(error.value)
    assert "\n" not in str(error.value)


def test_files_that_are_not_rigs(tmp_path):
    for text, message in [
        ("fps = ", "rig.toml: "),
        ("", "output: a rig needs"),
        ("[[output]]\nprotocol = 'osc'\n", "fixture: a rig needs"),
    ]:
        with pytest.raises(RigError, match=message):
            rig_from(tmp_path, text)
    with pytest.raises(RigError, match="No such file"):
        load(tmp_path / "absent.toml")


def expected_level(value, top):
    return min(max(math.floor((value + 1) / 2 * top + 0.5), 0), top)


def test_the_bytes_follow_the_pattern_through_size_and_centre(tmp_path):
    rig = rig_from(tmp_path, BASE)
    pips = np.arange(-70, 200, 7)
    frames = {u: f.astype(int) for u, f in rig.dmx(pips).items()}
    assert set(frames) == {1, 2} and frames[1].shape == (len(pips), 512)
    for k, pip in enumerate(pips.tolist()):
        p = motiloom.circle(pip)
        x, y = 0.2 + 0.5 * p.x, -0.1 + 0.5 * p.y
        pan, tilt = expected_level(x, 65535), expected_level(y, 65535)
        assert abs(frames[1][k, 0] * 256 + frames[1][k, 1] - pan) <= 1
        assert abs(frames[1][k, 2] * 256 + frames[1][k, 3] - tilt) <= 1
        assert abs(int(frames[2][k, 10]) - expected_level(x, 255)) <= 1  # 8-bit pan at address 11
        assert abs(int(frames[2][k, 11]) - expected_level(y, 255)) <= 1
        assert frames[2][k, 12] == 200  # its fixed channel
    untouched = np.ones(512, dtype=bool)
    untouched[:4] = False
    assert not frames[1][:, untouched].any()
    positions = rig.positions(pips)
    assert positions[:, 0, 0] == pytest.approx([0.2 + 0.5 * motiloom.circle(p).x for p in pips])


def test_stop_states(tmp_path):
    home = rig_from(tmp_path, BASE).stop_frame()
    assert home[1][:4].tolist() == [128, 0, 128, 0] and home[2][10:13].tolist() == [128, 128, 200]
    dark = rig_from(tmp_path, BASE.replace("bpm = 120", 'bpm = 120\nstop = "blackout"'))
    assert dark.stop_frame()[2][10:13].tolist() == [128, 128, 0]
    held = rig_from(tmp_path, BASE.replace("bpm = 120", 'bpm = 120\nstop = "hold"'))
    last = held.dmx([37])
    assert {
        u: f.tolist() for u, f in held.stop_frame({u: f[0] for u, f in last.items()}).items()
    } == {u: f[0].tolist() for u, f in last.items()}


def test_the_show_fades_in_from_home(tmp_path):
    rig = rig_from(tmp_path, BASE.replace("fade_in_beats = 0", "fade_in_beats = 2"))
    pips = np.arange(0, 256, 16)
    faded, plain = rig.dmx(pips, start=0), rig.dmx(pips)
    pan = faded[1][:, 0].astype(int) * 256 + faded[1][:, 1]
    assert pan[0] == 32768  # home
    assert np.array_equal(faded[1][pips >= 128], plain[1][pips >= 128])  # faded in after 2 beats
    show = plain[1][:, 0].astype(int) * 256 + plain[1][:, 1]
    between = (pips > 0) & (pips < 128)
    assert np.all(np.abs(pan[between] - 32768) <= np.abs(show[between] - 32768) + 1)


def test_the_speed_check_fits_or_refuses(tmp_path):
    fast = BASE.replace('profile = "pan-tilt-16"', 'profile = "pan-tilt-16"\nmax_pan_speed = 100')
    rig = rig_from(tmp_path, fast)
    group = rig.groups[0]
    assert group.fitted < 1 and group.size == 0.5 and group.scale() == 0.5 * group.fitted
    assert rig.speed_checked(120).groups[0].fitted == group.fitted  # checking again: the same
    # At the size it plays at, the head keeps within its limit, only just.
    pan = AxisRange("x", 0, 540, size=540 * group.scale())
    assert peak_speed(group.pattern, 120, pan).peak == pytest.approx(100)
    with pytest.raises(RigError, match=r"group\[1\]\.speed: circle asks a pan"):
        rig_from(tmp_path, fast.replace("size = 0.5", 'size = 0.5\nspeed = "refuse"'))


def test_a_library_file_gives_the_rig_its_own_patterns(tmp_path):
    samples = [[k / 8 - 1, 0.0, 0.0] for k in range(16)]
    (tmp_path / "mine.json").write_text(
        json.dumps({"patterns": [{"name": "saw", "description": "A ramp", "samples": samples}]})
    )
    text = BASE.replace("fps = 40", 'fps = 40\nlibrary = "mine.json"').replace('"circle"', '"saw"')
    rig = rig_from(tmp_path, text)
    assert rig.positions([3])[0, 0, 0] == pytest.approx(0.2 + 0.5 * samples[3][0])
    (tmp_path / "mine.json").write_text('{"patterns": [{"name": "Bad", "samples": [[0, 0, 0]]}]}')
    with pytest.raises(RigError, match=r"library.patterns\[1\] \('Bad'\): Invalid pattern name"):
        rig_from(tmp_path, text)


def test_a_recording_is_the_show_frame_by_frame(tmp_path):
    rig = rig_from(tmp_path, BASE.replace("fade_in_beats = 0", "fade_in_beats = 1"))
    frames, positions = recorded_frames(rig, 128, 2)
    tempo = TempoMap(128, rig.fps)
    for k in (0, 5, 39, 79):
        position = tempo.position(k)
        one = rig.dmx(PipTimes.of([position]), start=0)
        assert all(np.array_equal(one[u][0], frames[u][k]) for u in frames)
    assert len(positions) == 81 and frames[1].shape == (81, 512)
    assert (
        frames[1][-1].tolist() == rig.stop_frame({u: f[-2] for u, f in frames.items()})[1].tolist()
    )


@pytest.mark.parametrize("interpolate", ["none", "linear"])
def test_one_frame_natively_is_the_arrays_frame(tmp_path, interpolate):
    """The live show's one-frame path gives the bytes of `dmx`, fades and origins included."""
    text = BASE.replace('interpolate = "none"', f'interpolate = "{interpolate}"')
    text = text.replace("fade_in_beats = 0", "fade_in_beats = 2").replace(
        "centre = [0.2, -0.1]", 'centre = [0.2, -0.1]\nrate = "3/5"\nphase = "1/3"\nspread = "even"'
    )
    text += '[[fixture]]\nname = "p"\nprofile = "point"\n'
    text += '[[group]]\nfixtures = ["p"]\npattern = "helix"\n'
    rig = rig_from(tmp_path, text)
    assert rig._drive._kernel() is not None
    rng = np.random.default_rng(8)
    origin = rig._drive.home + 3.0  # a fade from somewhere else than home
    for whole in [-(2**40), -1, 0, 3, 100, 127, 128, 129, 5000, 2**40 + 17]:
        fraction = float(rng.uniform(0, 1)) if whole % 2 else 0.0
        pips = PipTimes(np.array([whole]), np.array([fraction]), np.zeros(1))
        for start, begin in [(None, None), (0, None), (Fraction(-1, 3), origin)]:
            native = rig.frame(whole, fraction, start=start, origin=begin)
            arrays = rig.dmx(pips, start=start, origin=begin)
            assert {u: f.tolist() for u, f in native.items()} == {
                u: f[0].tolist() for u, f in arrays.items()
            }, (whole, fraction, start)


OFL = Path(__file__).resolve().parents[1] / "data" / "ofl"
EXAMPLE_RIGS = Path(__file__).resolve().parents[2] / "examples" / "rigs"


def test_heads_from_fixture_definitions(tmp_path):
    text = f"""
fade_in_beats = 0
interpolate = "none"
[[output]]
protocol = "artnet"
universes = [0]
[[fixture]]
name = "a7"
ofl = "{OFL / "jb-lighting" / "jbled-a7.json"}"
mode = "Standard 16bit"
universe = 0
address = 1
values = {{ "Dimmer" = 255 }}
[[fixture]]
name = "seven"
ofl = "{OFL / "elation" / "platinum-seven.json"}"
mode = "Standard"
universe = 0
address = 101
pan_degrees = 540
tilt_degrees = 270
[[group]]
fixtures = ["a7", "seven"]
pattern = "sway"
"""
    rig = rig_from(tmp_path, text)
    a7, seven = rig.fixtures
    assert (a7.pan.start, a7.pan.end) == (430, 0)  # written from 430 down to 0 degrees
    assert (seven.pan.start, seven.pan.end) == (0, 540)  # the rig's travel for its percentages
    for pip in (0, 32, 64, 96):  # sway moves x only, from -1 to +1 and back
        x = motiloom.sway(pip).x
        frame = rig.dmx([pip])[0][0].astype(int)
        pan = frame[0] * 256 + frame[1]
        # x = -1 is 0 degrees, which the A7 takes at its highest level.
        assert abs(pan - expected_level(-x, 65535)) <= 1
    dimmer = next(c.offset for c in load_mode_of(a7) if c.key == "Dimmer")
    assert rig.dmx([0])[0][0, dimmer] == 255
    dark = rig.changed(stop="blackout").stop_frame()[0]
    assert dark[dimmer] == 0
    with pytest.raises(RigError, match="pan_degrees"):
        rig_from(tmp_path, text.replace("pan_degrees = 540\n", ""))
    with pytest.raises(RigError, match=r"fixture\[1\].mode: .*'Standard 8bit'"):
        rig_from(tmp_path, text.replace('mode = "Standard 16bit"\n', ""))


def load_mode_of(fixture):
    from motiloom_kit import ofl

    return ofl.load_mode(OFL / "jb-lighting" / "jbled-a7.json", "Standard 16bit").channels


@pytest.mark.parametrize("name", sorted(p.name for p in EXAMPLE_RIGS.glob("*.toml")))
def test_every_example_rig_loads_and_records(name, tmp_path):
    rig = load(EXAMPLE_RIGS / name)
    frames, positions = recorded_frames(rig, rig.bpm, 2)
    assert len(positions) == math.ceil(2 * rig.fps) + 1
    assert set(frames) == set(rig.universes)
    for universe in frames.values():  # the heads move: many different frames
        assert len({frame.tobytes() for frame in universe}) > 10
    points = rig.positions(positions[:-1])
    assert len({p.tobytes() for p in points}) > 10
