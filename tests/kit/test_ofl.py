"""Moving-head layouts read from Open Fixture Library definitions (tests/data/ofl, MIT licence)."""

import copy
import json
import random
import re
from dataclasses import astuple
from pathlib import Path

import pytest

from motiloom_kit.ofl import AxisChannels, OflError, load_mode, modes

DATA = Path(__file__).resolve().parents[1] / "data" / "ofl"
DEFINITIONS = sorted(str(path.relative_to(DATA)) for path in DATA.glob("*/*.json"))
RIG = {"pan_degrees": 540, "tilt_degrees": 265}


def variant(tmp_path, change, base="generic/pan-tilt.json"):
    """A copy of a real definition with something changed, as a file."""
    doc = json.loads((DATA / base).read_text())
    change(doc)
    path = tmp_path / "variant.json"
    path.write_text(json.dumps(doc))
    return path


def channel(doc, key, **body):
    doc["availableChannels"][key] = body


def pan(doc, **capability):
    doc["availableChannels"]["Pan"]["capability"] = {"type": "Pan", **capability}


def mode(doc, *keys):
    doc["modes"][0]["channels"] = list(keys)


def switching(doc, trigger=0, above="Spare"):
    channel(doc, "Speed", defaultValue=200, capability={"type": "PanTiltSpeed", "speed": "fast"})
    channel(doc, "Spare", capability={"type": "NoFunction"})
    parts = [([0, 127], "Speed"), ([128, 255], above)]
    ranges = [{"dmxRange": r, "type": "Generic", "switchChannels": {"Moving": k}} for r, k in parts]
    channel(doc, "Select", defaultValue=trigger, capabilities=ranges)
    mode(doc, "Pan", "Tilt", "Moving", "Select")


# Offsets counted in each mode's channel list; angles as each definition writes them.
@pytest.mark.parametrize(
    ("file", "wanted", "count", "pan_axis", "tilt_axis"),
    [
        ("american-dj/vizi-q-wash7.json", "17ch", 17, (0, None, 0, 630), (1, None, -160, 160)),
        ("jb-lighting/jbled-a7.json", "S16", 19, (0, 1, 430, 0), (2, 3, 0, 300)),
        ("clay-paky/sharpy.json", "Vector", 20, (9, 10, 0, 540), (11, 12, 0, 250)),
        ("glp/impression-spot-one.json", "compress-20ch", 20, (0, 1, 0, 660), (2, 3, 0, 280)),
        ("generic/pan-tilt.json", "24bit-alt", 6, (0, 2, 0, 540, (4,)), (1, 3, 0, 180, (5,))),
    ],
)
def test_pan_and_tilt_as_the_definitions_give_them(file, wanted, count, pan_axis, tilt_axis):
    layout = load_mode(DATA / file, wanted)
    assert layout.channel_count == count == len(layout.channels)
    assert (layout.pan, layout.tilt) == (AxisChannels(*pan_axis), AxisChannels(*tilt_axis))


@pytest.mark.parametrize("file", DEFINITIONS)
def test_every_mode_puts_pan_and_tilt_where_it_lists_them(file):
    doc = json.loads((DATA / file).read_text())
    assert modes(DATA / file) == [each["name"] for each in doc["modes"]]
    for each in doc["modes"]:
        layout = load_mode(DATA / file, each.get("shortName", each["name"]), **RIG)
        assert (layout.fixture, layout.mode) == (doc["name"], each["name"])
        assert [c.offset for c in layout.channels] == list(range(layout.channel_count))
        listed = each["channels"]  # any insert block comes after pan and tilt
        for axis, key in ((layout.pan, "Pan"), (layout.tilt, "Tilt")):
            fine = doc["availableChannels"][key]["fineChannelAliases"][0]
            assert axis.coarse == listed.index(key)
            assert axis.fine == (listed.index(fine) if fine in listed else None)


FOCUS = {"panMax": 630, "tiltMax": 270}


@pytest.mark.parametrize(
    ("focus", "angles", "rig", "expected"),
    [
        (None, None, RIG, (0, 540, 0, 265)),
        (FOCUS, None, RIG, (0, 630, 0, 270)),  # the definition's own travel is what 100% is
        (FOCUS, ("100%", "-50%"), {}, (630, -315, 0, 270)),
        (None, None, {}, "given in percent .* the rig has to give pan_degrees"),
        (None, None, {"pan_degrees": 540}, "the rig has to give tilt_degrees"),
    ],
)
def test_percent_ranges_are_shares_of_the_travel(tmp_path, focus, angles, rig, expected):
    def change(doc):
        if focus:
            doc["physical"]["focus"] = focus
        if angles:
            pan(doc, angleStart=angles[0], angleEnd=angles[1])

    path = variant(tmp_path, change, base="elation/platinum-seven.json")
    if isinstance(expected, str):
        with pytest.raises(OflError, match=expected):
            load_mode(path, "Basic", **rig)
    else:
        axes = load_mode(path, "Basic", **rig)
        assert (axes.pan.start, axes.pan.end, axes.tilt.start, axes.tilt.end) == expected


@pytest.mark.parametrize(
    ("file", "wanted", "offset", "expected"),
    [
        ("generic/pan-tilt.json", "8bit", 0, ("Pan", "Pan", 127, None)),  # 50% of 255
        ("generic/pan-tilt.json", "16bit", 1, ("Pan fine", "Pan", 255, None)),  # 32767: 127, 255
        ("glp/impression-spot-one.json", "normal-24ch", 1, ("Pan fine", "Pan", 0, None)),  # 32768
        # Written at 8 bit, 128 is 128, 128 at 16: widening repeats the byte.
        ("clay-paky/sharpy.json", "Standard", 10, ("Pan fine", "Pan", 128, None)),
        ("chauvet-dj/intimidator-spot-260.json", "14ch", 11, ("Strobe", "ShutterStrobe", 4, 0)),
        ("american-dj/vizi-q-wash7.json", "17ch", 2, ("Red All", "ColorIntensity", 0, None)),
        ("martin/mac-aura.json", "ext", 15, ("FX1 adjust", "NoFunction", 0, None)),  # switched
        ("robe/robin-ledbeam-100.json", "2-cmy", 12, ("", "", 0, None)),  # null: unused
    ],
)
def test_channels_with_their_defaults(file, wanted, offset, expected):
    assert astuple(load_mode(DATA / file, wanted).channels[offset])[1:] == expected


@pytest.mark.parametrize(
    ("trigger", "expected"), [(0, ("PanTiltSpeed", 200)), (200, ("NoFunction", 0))]
)
def test_a_switching_channel_is_what_its_trigger_default_selects(tmp_path, trigger, expected):
    moving = load_mode(variant(tmp_path, lambda doc: switching(doc, trigger)), "8 bit").channels[2]
    assert astuple(moving)[1:] == ("Moving", *expected, None)


def intensity(start, end):
    return {"capability": {"type": "Intensity", "brightnessStart": start, "brightnessEnd": end}}


def shutter(low, high, effect):
    return {"dmxRange": [low, high], "type": "ShutterStrobe", "shutterEffect": effect}


@pytest.mark.parametrize(
    ("probe", "levels"),
    [
        ({"capability": {"type": "Intensity"}}, [0]),
        (intensity("100%", "0%"), [255]),
        ({**intensity("bright", "off"), "fineChannelAliases": ["Probe fine"]}, [255, 255]),
        ({"capabilities": [shutter(0, 239, "Open"), shutter(240, 255, "Closed")]}, [240]),
        (intensity("dark", "bright"), [None]),
    ],
)
def test_blackout_levels(tmp_path, probe, levels):
    keys = ["Probe", "Probe fine"][: len(levels)]
    path = variant(
        tmp_path, lambda doc: (channel(doc, "Probe", **probe), mode(doc, "Pan", "Tilt", *keys))
    )
    assert [c.closed for c in load_mode(path, "8 bit").channels[2:]] == levels


@pytest.mark.parametrize(
    ("order", "expected"),
    [
        ("perPixel", {4: "Red Center", 5: "Green Center", 11: "Red Middle", 24: "UV Outer"}),
        ("perChannel", {4: "Red Center", 5: "Red Middle", 6: "Red Outer", 7: "Green Center"}),
    ],
)
def test_matrix_insert_blocks(tmp_path, order, expected):
    def change(doc):
        doc["modes"][2]["channels"][4]["channelOrder"] = order

    layout = load_mode(
        variant(tmp_path, change, base="elation/platinum-seven.json"), "Extended", **RIG
    )
    assert layout.channel_count == 40 and layout.channels[25].key == "Color Macros"
    assert {offset: layout.channels[offset].key for offset in expected} == expected
    assert {layout.channels[offset].kind for offset in range(4, 25)} == {"ColorIntensity"}


def continuous(doc):
    for axis in ("Pan", "Tilt"):
        channel(doc, axis, capability={"type": f"{axis}Continuous", "speed": "fast CW"})


PAN = {"type": "Pan", "angleStart": "0deg", "angleEnd": "270deg"}


def part_pan(doc):
    ranges = [PAN, {"type": "PanContinuous", "speed": "fast CW"}]
    parts = [{"dmxRange": [i * 128, i * 128 + 127], **r} for i, r in enumerate(ranges)]
    channel(doc, "Pan", capabilities=parts)


@pytest.mark.parametrize(
    ("change", "problem"),
    [
        (lambda doc: doc["modes"].pop(0), "no mode '8 bit'; its modes are '16 bit' ('16bit'), '16"),
        (lambda doc: mode(doc, "Pan"), "has no Tilt channel"),
        (continuous, "has no Pan and no Tilt channel"),
        (part_pan, "Pan does not cover the channel's whole range 0-255"),
        (
            lambda doc: channel(doc, "Pan", capabilities=[{"dmxRange": [0, 127], **PAN}]),
            "(0-127 Pan)",
        ),
        (lambda doc: pan(doc, angle="90deg"), "gives one angle ('90deg'), not a range"),
        (lambda doc: pan(doc, angleStart="0deg", angleEnd="5400deg"), "5400 degrees makes no"),
        (lambda doc: mode(doc, "Pan", "Tilt", "Dimmer"), "'Dimmer', which the definition"),
        (lambda doc: mode(doc, "Pan fine", "Tilt"), "fine channel 'Pan fine' without 'Pan'"),
        (lambda doc: mode(doc, "Pan", "Pan fine^2", "Tilt"), "Pan without the byte above"),
        (lambda doc: mode(doc, "Pan", "Pan", "Tilt"), "lists 'Pan' twice"),
        (
            lambda doc: doc["availableChannels"]["Pan"].update(defaultValue=True),
            "True is not a level",
        ),
        (lambda doc: doc.update(modes={"8 bit": ["Pan"]}), "modes is an object, not a list"),
        (lambda doc: switching(doc, above="Pan"), "'Moving' switches to a Pan channel"),
    ],
)
def test_refusals_name_the_file_and_the_problem(tmp_path, change, problem):
    path = variant(tmp_path, change)
    with pytest.raises(OflError) as refused:
        load_mode(path, "8 bit")
    assert str(refused.value).startswith(f"{path}: ") and problem in str(refused.value)


@pytest.mark.parametrize(
    ("content", "problem"),
    [
        (b'{"name": "x", ', "is not JSON"),
        (b"[1, 2]", "the file holds a list"),
        (b'{"name": "x", "modes": [{"name": "a", "channels": [NaN]}]}', "NaN is not a JSON number"),
        (b"\xff\xfe{}", "is not UTF-8 text"),
        (b'{"redirectTo": "generic/pan-tilt"}', "redirects to 'generic/pan-tilt'"),
        (b'{"name": "x"}', "has no modes"),
        (None, "cannot be read"),
    ],
)
def test_a_file_that_is_no_definition(tmp_path, content, problem):
    path = tmp_path / "broken.json"
    if content is not None:
        path.write_bytes(content)
    for read in (modes, lambda p: load_mode(p, "a")):
        with pytest.raises(OflError, match=f"^{re.escape(str(path))}: .*{re.escape(problem)}"):
            read(path)


def places(value, path=()):
    """Every place in a JSON document, as the keys leading to it."""
    yield path
    if isinstance(value, dict | list):
        for key, item in value.items() if isinstance(value, dict) else enumerate(value):
            yield from places(item, (*path, key))


@pytest.mark.parametrize("file", ["martin/mac-aura.json", "elation/platinum-seven.json"])
def test_any_value_in_the_wrong_place_is_refused_or_read_never_a_crash(tmp_path, file):
    doc = json.loads((DATA / file).read_text())
    path = tmp_path / "changed.json"
    for where in random.Random(17).sample(list(places(doc))[1:], 100):
        for wrong in (None, -1, 70000, "x", [], {}, True):
            changed = copy.deepcopy(doc)
            parent = changed
            for key in where[:-1]:
                parent = parent[key]
            parent[where[-1]] = wrong
            path.write_text(json.dumps(changed))
            try:
                load_mode(path, "Extended", **RIG)
            except OflError as error:
                assert str(error).startswith(f"{path}: ")
