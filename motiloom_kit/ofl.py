"""Moving heads described by fixture definitions in the Open Fixture Library's JSON format.

A rig may patch a fixture by naming such a definition and one of its modes instead of a built-in
profile. This module reads the definition and answers what the show needs to drive the head:
where pan and tilt and their fine bytes sit in the mode, the angles their DMX range spans, and
every other channel of the mode with its key, kind, default level and, for a blackout, a level
that makes no light. What the show could not drive safely is refused with an `OflError` naming
the file, the place in it and the problem; nothing is guessed.

The reader covers what real moving-head definitions use: channels and their fine aliases (8, 16
and 24 bit), `dmxValueResolution`, defaults as levels or percentages, `null` for unused
channels, switching channels, template channels resolved for named pixels and pixel groups, and
matrix insert blocks over listed pixels or every pixel group.
"""

from __future__ import annotations

import json
import math
import os
import re
from dataclasses import dataclass
from fractions import Fraction
from typing import NoReturn, TypeGuard, TypeVar

_T = TypeVar("_T")

# Widest travel accepted as a position range. No head pans more than three turns or tilts more
# than one; a wider figure is a slip in the definition (a "5400deg"), so it is refused.
_WIDEST = {"Pan": 1080.0, "Tilt": 360.0}
_RIG_KEY = {"Pan": "pan_degrees", "Tilt": "tilt_degrees"}
_ANGLE = re.compile(r"(-?[0-9]+(?:\.[0-9]+)?)(deg|%)")
_PERCENT = re.compile(r"([0-9]+(?:\.[0-9]+)?)%")
_OFF = re.compile(r"0+(?:\.0+)?(?:%|lm)")
_RESOLUTIONS = {"8bit": 1, "16bit": 2, "24bit": 3}


class OflError(ValueError):
    """A definition or mode that cannot drive a moving head; the message names the file and the
    problem."""


@dataclass(frozen=True)
class AxisChannels:
    """Where one axis (pan or tilt) sits in a mode, and the angles its DMX range spans."""

    coarse: int  # 0-based offset of the coarse channel within the mode
    fine: int | None  # 0-based offset of the fine channel, or None (8 bit)
    start: float  # degrees at DMX level 0
    end: float  # degrees at the highest DMX level (below start when written the other way round)
    # Offsets of any finer bytes after `fine` (24-bit modes). Driving 16 bits, the show sends the
    # fine byte again in each: the format's own way of widening a level keeps the top at the top.
    finer: tuple[int, ...] = ()


@dataclass(frozen=True)
class Channel:
    """One channel of a mode, as the show needs it for fixed values, defaults and blackout."""

    offset: int  # 0-based offset within the mode
    key: str  # the key in the mode ("Dimmer", "Pan fine", "Red Center"), "" when unused
    kind: str  # type of its first capability ("Intensity", "Pan", ...), "" when unused
    default: int  # its defaultValue as a level of this channel alone (0..255), 0 when absent
    closed: int | None  # a level that makes no light when the definition says so, else None


@dataclass(frozen=True)
class ModeLayout:
    """A mode of a definition, as a moving head the show can drive."""

    fixture: str  # the definition's "name"
    mode: str  # the mode's name as written
    channel_count: int
    pan: AxisChannels
    tilt: AxisChannels
    channels: tuple[Channel, ...]  # every channel of the mode, by offset, unused ones included


def modes(path: str | os.PathLike[str]) -> list[str]:
    """The names of the definition's modes, in the order it gives them."""
    return [name for name, _, _ in _Definition(path).modes]


def load_mode(
    path: str | os.PathLike[str],
    mode: str,
    *,
    pan_degrees: float | None = None,
    tilt_degrees: float | None = None,
) -> ModeLayout:
    """The layout of `mode` (matched by name or short name) in the definition at `path`.

    `pan_degrees` and `tilt_degrees` are the rig's figures for the head's whole travel. They are
    used only for a range the definition gives in percent without saying what 100% is
    (`physical.focus.panMax` / `tiltMax`); then the rig has to give them."""
    for name, value in (("pan_degrees", pan_degrees), ("tilt_degrees", tilt_degrees)):
        if value is not None and not (_is_number(value) and math.isfinite(value) and value > 0):
            raise ValueError(f"{name} must be a positive number of degrees, not {value!r}")
    definition = _Definition(path)
    try:
        return definition.layout(mode, {"Pan": pan_degrees, "Tilt": tilt_degrees})
    except RecursionError:
        definition.fail("the definition is nested too deeply to read")


@dataclass(frozen=True)
class _Source:
    """A byte of a channel the definition defines: the coarse byte or one of its fine aliases."""

    key: str  # the coarse channel's key
    where: str  # where the channel is defined, for messages
    body: dict[str, object]
    byte: int  # 0 for the coarse channel, 1 for its first fine alias, ...


@dataclass(frozen=True)
class _Capability:
    low: int  # DMX range, in the channel's dmxValueResolution
    high: int
    body: dict[str, object]
    where: str


class _Definition:
    """One definition file, read and checked as far as every mode needs."""

    def __init__(self, path: str | os.PathLike[str]) -> None:
        self.file = os.fspath(path)
        # Capabilities by channel body, each checked once however often a mode asks. The body is
        # kept with them so that its id is never reused by another while the cache holds it.
        self._capabilities: dict[int, tuple[dict[str, object], list[_Capability]]] = {}
        self.doc = self._read()
        self.modes = self._modes()
        self.name = self.string(self.doc, "name", "")

    def fail(self, problem: str, where: str = "") -> NoReturn:
        raise OflError(f"{self.file}: {where}: {problem}" if where else f"{self.file}: {problem}")

    def _read(self) -> dict[str, object]:
        def no_constant(word: str) -> NoReturn:
            self.fail(f"{word} is not a JSON number")

        try:
            with open(self.file, encoding="utf-8") as stream:
                doc = json.load(stream, parse_constant=no_constant)
        except OSError as error:
            self.fail(f"cannot be read ({error.strerror or error})")
        except UnicodeDecodeError:
            self.fail("is not UTF-8 text")
        except json.JSONDecodeError as error:
            self.fail(f"is not JSON ({error.msg} at line {error.lineno} column {error.colno})")
        except RecursionError:
            self.fail("the definition is nested too deeply to read")
        if not isinstance(doc, dict):
            self.fail(f"is not a fixture definition: the file holds {_json_type(doc)}")
        if "redirectTo" in doc:
            self.fail(f"redirects to {doc['redirectTo']!r}: name that definition instead")
        return doc

    # Typed access to the JSON, each failure naming where it is.

    def field(self, obj: dict[str, object], key: str, kind: type[_T], where: str) -> _T | None:
        value = obj.get(key)
        if value is None:
            return None
        # bool is an int in Python but never a number in JSON.
        if not isinstance(value, kind) or (isinstance(value, bool) and kind is not bool):
            self.fail(f"{key} is {_json_type(value)}, not {_json_name(kind)}", where)
        return value

    def string(self, obj: dict[str, object], key: str, where: str) -> str:
        value = self.field(obj, key, str, where)
        if value is None:
            self.fail(f"{key} is missing", where)
        return value

    def objects(self, obj: dict[str, object], key: str, where: str) -> dict[str, dict[str, object]]:
        """A member that is an object of objects (channels by key); empty when absent."""
        value = self.field(obj, key, dict, where) or {}
        for name, item in value.items():
            if not isinstance(item, dict):
                self.fail(f"is {_json_type(item)}, not an object", _at(where, key, name))
        return value

    def strings(self, obj: dict[str, object], key: str, where: str) -> list[str]:
        value = self.field(obj, key, list, where) or []
        for item in value:
            if not isinstance(item, str):
                self.fail(f"{key} holds {_json_type(item)}, not only strings", where)
        return value

    # Modes.

    def _modes(self) -> list[tuple[str, str | None, dict[str, object]]]:
        listed = self.field(self.doc, "modes", list, "")
        if not listed:
            self.fail("has no modes: it is no fixture definition, or an empty one")
        found = []
        for index, mode in enumerate(listed):
            where = f"modes[{index}]"
            if not isinstance(mode, dict):
                self.fail(f"is {_json_type(mode)}, not an object", where)
            found.append(
                (self.string(mode, "name", where), self.field(mode, "shortName", str, where), mode)
            )
        return found

    def _mode(self, wanted: str) -> tuple[int, str, dict[str, object]]:
        for index, (name, _, body) in enumerate(self.modes):
            if name == wanted:
                return index, name, body
        for index, (name, short, body) in enumerate(self.modes):
            if short == wanted:
                return index, name, body
        there = ", ".join(
            repr(name) + (f" ({short!r})" if short and short != name else "")
            for name, short, _ in self.modes
        )
        self.fail(f"has no mode {wanted!r}; its modes are {there}")

    # Channels: every key a mode may list.

    def _sources(self) -> tuple[dict[str, _Source], dict[str, str]]:
        """Channel and fine-alias keys to what they are, and switching aliases to the channel
        whose value switches them."""
        sources: dict[str, _Source] = {}
        switches: dict[str, str] = {}
        # Template channels first: an available channel of the same key overrides a resolved one.
        templates = self.objects(self.doc, "templateChannels", "")
        if templates:
            for pixel in self._pixel_names():
                for key, body in templates.items():
                    resolved = {k: _substitute(v, pixel) for k, v in body.items()}
                    where = _at("templateChannels", key) + f" for {pixel!r}"
                    self._add(key.replace("$pixelKey", pixel), resolved, where, sources, switches)
        defined: set[str] = set()
        for key, body in self.objects(self.doc, "availableChannels", "").items():
            where = _at("availableChannels", key)
            keys = {key, *self.strings(body, "fineChannelAliases", where)}
            if keys & defined:
                self.fail(f"{', '.join(map(repr, keys & defined))} is defined twice", where)
            defined |= keys
            self._add(key, body, where, sources, switches)
        return sources, switches

    def _add(
        self,
        key: str,
        body: dict[str, object],
        where: str,
        sources: dict[str, _Source],
        switches: dict[str, str],
    ) -> None:
        for byte, alias in enumerate([key, *self.strings(body, "fineChannelAliases", where)]):
            sources[alias] = _Source(key, where, body, byte)
        for capability in self.capabilities(sources[key]):
            table = self.field(capability.body, "switchChannels", dict, capability.where) or {}
            for alias in table:
                switches[alias] = key

    def _pixel_names(self) -> list[str]:
        matrix = self.field(self.doc, "matrix", dict, "")
        if matrix is None:
            self.fail("has template channels but no matrix")
        grid = self.field(matrix, "pixelKeys", list, "matrix")
        if grid is None:
            # Pixels numbered by pixelCount take generated keys; none of our fixtures need them.
            self.fail("pixels given only by pixelCount are not supported", "matrix")
        names = []
        for layer in grid:
            if not isinstance(layer, list) or not all(isinstance(row, list) for row in layer):
                self.fail("pixelKeys is not a list of layers of rows", "matrix")
            for row in layer:
                names += [pixel for pixel in row if pixel is not None]
        if not all(isinstance(name, str) for name in names):
            self.fail("pixelKeys holds something other than names and null", "matrix")
        return names + list(self.field(matrix, "pixelGroups", dict, "matrix") or {})

    def resolution(self, source: _Source) -> tuple[int, int]:
        """The resolution the channel's values are written in, and the most it can have, in
        bytes."""
        most = 1 + len(self.strings(source.body, "fineChannelAliases", source.where))
        written = self.field(source.body, "dmxValueResolution", str, source.where)
        if written is None:
            return most, most
        if written not in _RESOLUTIONS or _RESOLUTIONS[written] > most:
            self.fail(
                f"dmxValueResolution {written!r} does not fit a channel of {8 * most} bit",
                source.where,
            )
        return _RESOLUTIONS[written], most

    def capabilities(self, source: _Source) -> list[_Capability]:
        if id(source.body) not in self._capabilities:
            self._capabilities[id(source.body)] = (source.body, self._read_capabilities(source))
        return self._capabilities[id(source.body)][1]

    def _read_capabilities(self, source: _Source) -> list[_Capability]:
        written, _ = self.resolution(source)
        top = 256**written - 1
        single = self.field(source.body, "capability", dict, source.where)
        if single is not None:
            found = [_Capability(0, top, single, f"{source.where}.capability")]
        else:
            listed = self.field(source.body, "capabilities", list, source.where)
            if not listed:
                self.fail("has neither a capability nor capabilities", source.where)
            found = []
            for index, body in enumerate(listed):
                where = f"{source.where}.capabilities[{index}]"
                if not isinstance(body, dict):
                    self.fail(f"is {_json_type(body)}, not an object", where)
                span = self.field(body, "dmxRange", list, where)
                if not (
                    span is not None
                    and len(span) == 2
                    and all(_is_int(level) and 0 <= level <= top for level in span)
                    and span[0] <= span[1]
                ):
                    self.fail(f"dmxRange {span} is not a range of levels within 0-{top}", where)
                found.append(_Capability(span[0], span[1], body, where))
        for capability in found:
            self.string(capability.body, "type", capability.where)
        return found

    def kind(self, source: _Source) -> str:
        return self.string(self.capabilities(source)[0].body, "type", source.where)

    def level_byte(self, source: _Source, value: int) -> int:
        """The byte this source sends of `value`, a level in the channel's written resolution."""
        written, most = self.resolution(source)
        data = list(value.to_bytes(written, "big"))
        # Widening repeats the last byte, as the format does, so that the top level stays the
        # top (255 at 8 bit is 65535 at 16 bit); narrowing drops the finest bytes.
        data += [data[-1]] * (most - written)
        return data[source.byte]

    def default_level(self, source: _Source) -> int:
        """The channel's defaultValue as a level in its written resolution (0 when absent)."""
        written, _ = self.resolution(source)
        top = 256**written - 1
        raw = source.body.get("defaultValue", 0)
        if isinstance(raw, str) and (match := _PERCENT.fullmatch(raw)):
            share = Fraction(match.group(1)) / 100
            if share <= 1:
                return int(share * top)  # never negative, so this is the floor
        elif _is_int(raw) and 0 <= raw <= top:
            return raw
        self.fail(f"defaultValue {raw!r} is not a level within 0-{top} or 0%-100%", source.where)

    def closed(self, source: _Source) -> int | None:
        """The byte this source sends for a level that makes no light, if the definition has
        one: a closed shutter, or the end of an intensity range that is off."""
        for capability in self.capabilities(source):
            body = capability.body
            kind = body["type"]
            if kind == "ShutterStrobe" and body.get("shutterEffect") == "Closed":
                return self.level_byte(source, capability.low)
            if kind == "Intensity":
                # An intensity without brightness runs from off to bright.
                start = body.get("brightnessStart", body.get("brightness", "off"))
                end = body.get("brightnessEnd", body.get("brightness", "bright"))
                if _is_off(start):
                    return self.level_byte(source, capability.low)
                if _is_off(end):
                    return self.level_byte(source, capability.high)
        return None

    # The mode's layout.

    def _entries(self, index: int, body: dict[str, object]) -> list[str | None]:
        """The mode's channel keys by offset, insert blocks expanded."""
        where = f"modes[{index}]"
        listed = self.field(body, "channels", list, where)
        if listed is None:
            self.fail("channels is missing", where)
        entries: list[str | None] = []
        for number, item in enumerate(listed):
            if item is None or isinstance(item, str):
                entries.append(item)
            elif isinstance(item, dict):
                entries += self._insert(item, f"{where}.channels[{number}]")
            else:
                self.fail(f"is {_json_type(item)}, not a channel key", f"{where}.channels")
        return entries

    def _insert(self, block: dict[str, object], where: str) -> list[str | None]:
        if block.get("insert") != "matrixChannels":
            self.fail("is neither a channel key nor a matrix insert block", where)
        templates = self.field(block, "templateChannels", list, where) or []
        if not all(item is None or isinstance(item, str) for item in templates):
            self.fail("templateChannels holds something other than keys and null", where)
        repeat = block.get("repeatFor")
        if repeat == "eachPixelGroup":
            matrix = self.field(self.doc, "matrix", dict, "") or {}
            pixels = list(self.field(matrix, "pixelGroups", dict, "matrix") or {})
        elif isinstance(repeat, list) and all(isinstance(pixel, str) for pixel in repeat):
            pixels = repeat
        else:
            # Pixel orders by position or by name need the matrix's geometry; none of our
            # fixtures use them in a mode.
            self.fail(f"repeatFor {repeat!r} is not supported: list the pixels instead", where)
        order = block.get("channelOrder")
        if order == "perPixel":
            pairs = [(pixel, key) for pixel in pixels for key in templates]
        elif order == "perChannel":
            pairs = [(pixel, key) for key in templates for pixel in pixels]
        else:
            self.fail(f"channelOrder {order!r} is neither 'perPixel' nor 'perChannel'", where)
        return [None if key is None else key.replace("$pixelKey", pixel) for pixel, key in pairs]

    def layout(self, wanted: str, rig: dict[str, float | None]) -> ModeLayout:
        index, name, body = self._mode(wanted)
        entries = self._entries(index, body)
        sources, switches = self._sources()
        where = f"mode {name!r}"
        offsets: dict[str, int] = {}
        for offset, key in enumerate(entries):
            if key is None:
                continue
            if key in offsets:
                self.fail(f"lists {key!r} twice", where)
            if key not in sources and key not in switches:
                self.fail(f"lists {key!r}, which the definition does not define", where)
            offsets[key] = offset
        for key in offsets:
            coarse = sources[key].key if key in sources else key
            if coarse not in offsets:
                self.fail(f"lists the fine channel {key!r} without {coarse!r}", where)
        channels = [self._channel(o, k, sources, switches, where) for o, k in enumerate(entries)]
        axes = {axis: self._axis(axis, offsets, sources, where, body, rig) for axis in _WIDEST}
        pan, tilt = axes["Pan"], axes["Tilt"]
        if pan is None or tilt is None:
            missing = " and no ".join(axis for axis, found in axes.items() if found is None)
            self.fail(f"has no {missing} channel: a moving head needs both", where)
        return ModeLayout(self.name, name, len(entries), pan, tilt, tuple(channels))

    def _channel(
        self,
        offset: int,
        key: str | None,
        sources: dict[str, _Source],
        switches: dict[str, str],
        where: str,
    ) -> Channel:
        if key is None:
            return Channel(offset, "", "", 0, None)
        if key in sources:
            source = sources[key]
            default = self.level_byte(source, self.default_level(source))
            return Channel(offset, key, self.kind(source), default, self.closed(source))
        # A switching channel is what its trigger channel's default value switches it to. Its
        # closed level would hold only while the trigger stays there, so none is given.
        trigger = sources[switches[key]]
        level = self.default_level(trigger)
        chosen = None
        for capability in self.capabilities(trigger):
            table = self.field(capability.body, "switchChannels", dict, capability.where) or {}
            target = table.get(key)
            if not isinstance(target, str) or target not in sources:
                self.fail(f"switches {key!r} to {target!r}, not a channel", capability.where)
            if self.kind(sources[target]) in _WIDEST:
                # A position that moves between channels cannot be driven from one offset.
                self.fail(f"{key!r} switches to a {self.kind(sources[target])} channel", where)
            if capability.low <= level <= capability.high:
                chosen = sources[target]
        if chosen is None:
            self.fail("defaultValue lies in none of its capabilities", trigger.where)
        default = self.level_byte(chosen, self.default_level(chosen))
        return Channel(offset, key, self.kind(chosen), default, None)

    def _axis(
        self,
        axis: str,
        offsets: dict[str, int],
        sources: dict[str, _Source],
        where: str,
        mode: dict[str, object],
        rig: dict[str, float | None],
    ) -> AxisChannels | None:
        found = [
            key
            for key in offsets
            if key in sources
            and sources[key].byte == 0
            and any(c.body["type"] == axis for c in self.capabilities(sources[key]))
        ]
        if not found:
            return None
        if len(found) > 1:
            self.fail(f"has {len(found)} {axis} channels ({', '.join(found)}): not one head", where)
        source = sources[found[0]]
        written, _ = self.resolution(source)
        top = 256**written - 1
        capabilities = self.capabilities(source)
        whole = [c for c in capabilities if (c.low, c.high, c.body["type"]) == (0, top, axis)]
        if not whole:
            ranges = ", ".join(f"{c.low}-{c.high} {c.body['type']}" for c in capabilities)
            self.fail(
                f"{axis} does not cover the channel's whole range 0-{top} ({ranges}): only a "
                f"channel that is a {axis} position throughout can be driven",
                source.where,
            )
        start, end = self._angles(axis, whole[0], source, mode, rig)
        aliases = self.strings(source.body, "fineChannelAliases", source.where)
        fine = [offsets.get(alias) for alias in aliases]
        used = [offset for offset in fine if offset is not None]
        # A 24-bit byte without the 16-bit one is no finer part of the position.
        if fine[: len(used)] != used:
            self.fail(f"lists a fine byte of {axis} without the byte above it", where)
        return AxisChannels(
            offsets[found[0]], used[0] if used else None, start, end, tuple(used[1:])
        )

    def _angles(
        self,
        axis: str,
        capability: _Capability,
        source: _Source,
        mode: dict[str, object],
        rig: dict[str, float | None],
    ) -> tuple[float, float]:
        body, where = capability.body, capability.where
        if "angle" in body:
            self.fail(f"gives one angle ({body['angle']!r}), not a range to move over", where)
        values = []
        for key in ("angleStart", "angleEnd"):
            text = body.get(key)
            match = _ANGLE.fullmatch(text) if isinstance(text, str) else None
            if match is None:
                self.fail(f"{key} {text!r} is not an angle in deg or %", where)
            values.append((float(match.group(1)), match.group(2)))
        (start, start_unit), (end, end_unit) = values
        if start_unit != end_unit:
            self.fail("angleStart and angleEnd are in different units", where)
        if start_unit == "%":
            if not (-100 <= start <= 100 and -100 <= end <= 100):
                self.fail(f"a {axis} range of {start:g}%-{end:g}% goes beyond 100%", where)
            whole = self._travel(axis, mode) or rig[axis]
            if whole is None:
                self.fail(
                    f"the {axis} range is given in percent ({start:g}%..{end:g}%) and the "
                    f"definition does not say what 100% is (physical.focus."
                    f"{axis.lower()}Max): the rig has to give {_RIG_KEY[axis]}",
                    source.where,
                )
            start, end = start / 100 * whole, end / 100 * whole
        if start == end or abs(end - start) > _WIDEST[axis]:
            self.fail(
                f"a {axis} range of {start:g} to {end:g} degrees makes no sense for a "
                f"moving head (it must move, and by at most {_WIDEST[axis]:g} degrees)",
                where,
            )
        return start, end

    def _travel(self, axis: str, mode: dict[str, object]) -> float | None:
        """The head's whole travel on `axis` in degrees, if the definition (or the mode, which
        overrides it) gives one."""
        name = f"{axis.lower()}Max"
        travel = None
        for where, obj in (("", self.doc), ("mode", mode)):
            physical = self.field(obj, "physical", dict, where) or {}
            focus = self.field(physical, "focus", dict, _at(where, "physical")) or {}
            value = focus.get(name)
            if _is_number(value) and math.isfinite(value) and 0 < value <= _WIDEST[axis]:
                travel = float(value)
            elif value is not None:
                # "infinite", or a figure that makes no sense: no base for a percentage.
                self.fail(f"{name} {value!r} is no travel in degrees", _at(where, "physical"))
        return travel


def _substitute(value: object, pixel: str) -> object:
    """A template channel's JSON with its $pixelKey variable replaced by one pixel's name."""
    if isinstance(value, str):
        return value.replace("$pixelKey", pixel)
    if isinstance(value, list):
        return [_substitute(item, pixel) for item in value]
    if isinstance(value, dict):
        return {_substitute(k, pixel): _substitute(v, pixel) for k, v in value.items()}
    return value


def _is_int(value: object) -> TypeGuard[int]:
    return isinstance(value, int) and not isinstance(value, bool)


def _is_number(value: object) -> TypeGuard[int | float]:
    return isinstance(value, int | float) and not isinstance(value, bool)


def _is_off(brightness: object) -> bool:
    return brightness == "off" or (isinstance(brightness, str) and bool(_OFF.fullmatch(brightness)))


def _at(where: str, *keys: str) -> str:
    """A place in the JSON, written as it reads: availableChannels["Pan/Tilt Speed"].capability."""
    for key in keys:
        if re.fullmatch(r"[A-Za-z_][A-Za-z0-9_]*", key):
            where = f"{where}.{key}" if where else key
        else:
            where = f"{where}[{json.dumps(key)}]"
    return where


def _json_type(value: object) -> str:
    return _json_name(type(value))


def _json_name(kind: type) -> str:
    """A JSON type as a message names it: "an object", "a list", "null"."""
    if kind in (int, float):
        return "a number"
    names = {dict: "an object", list: "a list", str: "a string", bool: "a boolean"}
    return names.get(kind, "null" if kind is type(None) else f"a {kind.__name__}")
