"""A rig: fixtures patched into DMX universes, groups of them moved by patterns, and the outputs a
show sends to, read from a TOML file and checked before anything is sent.

    fps = 44                   # frames per second the show sends
    bpm = 120                  # the tempo a show starts at, and the speed check's tempo
    stop = "home"              # what a show sends when it stops: "hold", "home" or "blackout"
    fade_in_beats = 4          # the first beats fade from the stop state into the show
    interpolate = "linear"     # between the rows of a loop: "linear" or "none"
    library = "mine.json"      # optional: the rig's own patterns (see `load_library`)

    [[output]]                 # protocol "sacn", "artnet" or "osc"
    protocol = "sacn"
    host = "127.0.0.1"         # where to send; never a broadcast or multicast address by default
    universes = [1, 2]         # sacn and artnet; osc takes port = 9000 and prefix = "/motiloom"
    priority = 100             # sacn: 0-200
    sync = false               # sacn: E1.31 synchronization after every frame (sync_universe)
    discovery = false          # sacn: universe discovery packets

    [[fixture]]
    name = "spot1"
    universe = 1
    address = 1                # first channel, 1-512
    profile = "pan-tilt-16"    # or "pan-tilt-8", "tilt-pan-16", "point" (no DMX: positions only)
    pan_degrees = 540          # the profile's ranges
    tilt_degrees = 270
    # ofl = "robe/robin-600e-spot.json" and mode = "16 bit" instead of a profile: the channels
    # and ranges come from the Open Fixture Library definition (paths are relative to the rig;
    # pan_degrees and tilt_degrees only for a definition that gives its ranges in percent of a
    # travel it does not state). A 24-bit axis is driven to 16 bits, its finest byte left at 0.
    values = { 5 = 255 }       # fixed levels: channel number (profiles) or OFL channel name
    blackout = { 5 = 0 }       # levels that make no light, for stop = "blackout"
    max_pan_speed = 250        # degrees per second the head manages
    max_tilt_speed = 250
    home = [270, 135]          # pan and tilt in degrees when at home (default: mid-range)
    position = 0.0             # where it hangs, for spread = "position"

    [[group]]
    fixtures = ["spot1", "spot2"]
    pattern = "circle"         # a built-in name or one of the library's patterns
    size = 0.5                 # how much of each axis's range the pattern's -1..+1 spans
    centre = [0.0, 0.2]        # where its 0 lands, in the same units (x, y[, z])
    rate = "1/2"               # the kit's rates: numbers, "3/2", "dotted", "triplet", ...
    phase = 0                  # in beats
    spread = "wings"           # "none", "even", "reverse", "wings" or "position"
    spread_amount = 1          # the largest spread, as a fraction of the loop
    invert = ["pan"]           # mirror pan and/or tilt (true: both)
    swap = false               # pan follows y and tilt follows x
    speed = "fit"              # when too fast for a head: "fit" shrinks the group, "refuse" stops

A group's pattern position p becomes, for each fixture, centre + size * p (after swap and
invert): that is what OSC sends, and its x and y, each spanning the head's whole range at size 1,
are what pan and tilt show (a head stops at its ends). Key paths in errors count tables from 1,
as they stand in the file: `fixture[3].address: 600 is outside 1-512`.
"""

from __future__ import annotations

import difflib
import ipaddress
import json
import math
import os
import tomllib
from collections.abc import Callable, Mapping, Sequence
from dataclasses import dataclass, field, replace
from fractions import Fraction
from pathlib import Path
from typing import TYPE_CHECKING, Any, TypeVar

import motiloom
import numpy as np
from numpy.typing import NDArray

from ._exact import exact
from .clock import PIPS_PER_BEAT, PipTimes
from .fixtures import AxisRange, Component, peak_speed
from .patterns import Interpolation, Pattern, Patterns, Pips, parse_rate, pattern
from .spread import SpreadMode, phase_offsets

if TYPE_CHECKING:
    from .ofl import ModeLayout

PROTOCOLS = ("sacn", "artnet", "osc")
STOP_STATES = ("hold", "home", "blackout")
SPREADS = ("none", "even", "reverse", "wings", "position")
UNIVERSE_LIMITS = {"sacn": (1, 63999), "artnet": (0, 32767)}
DEFAULT_PORTS = {"sacn": 5568, "artnet": 6454, "osc": 9000}
DEFAULT_HOST = "127.0.0.1"
CHANNELS = 512

# Built-in profiles: the channel of each of pan coarse, pan fine, tilt coarse, tilt fine, counted
# from the fixture's address (None: no fine channel), and how many channels the profile holds.
PROFILES: dict[str, tuple[int, int | None, int, int | None, int]] = {
    "pan-tilt-16": (0, 1, 2, 3, 4),
    "pan-tilt-8": (0, None, 1, None, 2),
    "tilt-pan-16": (2, 3, 0, 1, 4),
}
POINT = "point"


class RigError(ValueError):
    """A rig file that is wrong: one message with the key path and the problem."""


_T = TypeVar("_T")
_REQUIRED: Any = object()


class _Keys:
    """One table of the rig file, read key by key; whatever is left over is an unknown key."""

    def __init__(self, data: Any, path: str, allowed: Sequence[str]) -> None:
        if not isinstance(data, dict):
            raise RigError(f"{path}: expected a table, got {_kind(data)}")
        self.data = dict(data)
        self.path = path
        self.known: list[str] = list(allowed)
        # An unknown key is reported first: a misspelt key would otherwise fall back to its
        # default and fail somewhere less telling.
        for key in self.data:
            if key not in self.known:
                close = difflib.get_close_matches(key, self.known, n=1, cutoff=0.6)
                hint = f" (did you mean {close[0]!r}?)" if close else ""
                raise RigError(f"{self.at(key)}: unknown key{hint}")

    def at(self, key: str) -> str:
        return f"{self.path}.{key}" if self.path else key

    def take(self, key: str, kinds: type | tuple[type, ...], default: Any = _REQUIRED) -> Any:
        assert key in self.known, key
        if key not in self.data:
            if default is _REQUIRED:
                raise RigError(f"{self.at(key)}: missing")
            return default
        value = self.data.pop(key)
        # A bool is an int to Python but never a number or a name in a rig.
        if isinstance(value, bool) and bool not in _tuple(kinds):
            raise RigError(f"{self.at(key)}: expected {_names(kinds)}, got a boolean")
        if not isinstance(value, kinds):
            raise RigError(f"{self.at(key)}: expected {_names(kinds)}, got {_kind(value)}")
        return value

    def choice(self, key: str, choices: Sequence[str], default: Any = _REQUIRED) -> Any:
        value = self.take(key, str, default)
        if value is not default and value not in choices:
            raise RigError(f"{self.at(key)}: {value!r} is not one of {', '.join(choices)}")
        return value

    def number(
        self,
        key: str,
        default: Any = _REQUIRED,
        *,
        low: float | None = None,
        high: float | None = None,
        above: float | None = None,
    ) -> Any:
        value = self.take(key, (int, float), default)
        if value is default:
            return value
        if not math.isfinite(value):
            raise RigError(f"{self.at(key)}: {value} is not a finite number")
        if above is not None and value <= above:
            raise RigError(f"{self.at(key)}: {value} must be above {above:g}")
        if (low is not None and value < low) or (high is not None and value > high):
            raise RigError(f"{self.at(key)}: {value} is outside {low:g}-{high:g}")
        return value

    def integer(self, key: str, low: int, high: int, default: Any = _REQUIRED) -> Any:
        value = self.take(key, int, default)
        if value is not default and not low <= value <= high:
            raise RigError(f"{self.at(key)}: {value} is outside {low}-{high}")
        return value

    def done(self) -> None:
        """Every key is read (the keys a kind of fixture or output does not take are refused
        here)."""
        for key in self.data:
            raise RigError(f"{self.at(key)}: not used by this kind of {self.path.split('[')[0]}")


def _tuple(kinds: type | tuple[type, ...]) -> tuple[type, ...]:
    return kinds if isinstance(kinds, tuple) else (kinds,)


def _names(kinds: type | tuple[type, ...]) -> str:
    if set(_tuple(kinds)) >= {int, float}:
        kinds = tuple(k for k in _tuple(kinds) if k is not int)
    words = {
        int: "an integer",
        float: "a number",
        str: "a string",
        bool: "true or false",
        list: "a list",
        dict: "a table",
    }
    return " or ".join(dict.fromkeys(words.get(k, k.__name__) for k in _tuple(kinds)))


def _kind(value: Any) -> str:
    return {
        bool: "a boolean",
        int: "an integer",
        float: "a number",
        str: "a string",
        list: "a list",
        dict: "a table",
    }.get(type(value), type(value).__name__)


def _list_of(keys: _Keys, key: str, kind: type | tuple[type, ...], default: Any = _REQUIRED) -> Any:
    values = keys.take(key, list, default)
    if values is default:
        return values
    for i, value in enumerate(values):
        if isinstance(value, bool) or not isinstance(value, kind):
            raise RigError(f"{keys.at(key)}[{i + 1}]: expected {_names(kind)}, got {_kind(value)}")
    return values


# --- the parts of a rig ---------------------------------------------------------------------------


@dataclass(frozen=True)
class Output:
    """Where a show sends: a protocol, a host and the universes (or the port) it carries."""

    protocol: str
    host: str
    port: int
    universes: tuple[int, ...] = ()
    priority: int = 100
    sync: bool = False
    sync_universe: int = 0
    discovery: bool = False
    prefix: str = "/motiloom"
    source_name: str = "motiloom"


@dataclass(frozen=True)
class Axis:
    """One positional axis of a fixture: its channels and the degrees at DMX 0 and at full."""

    coarse: int  # channel index within the universe, 0-based
    fine: int | None
    start: float
    end: float

    @property
    def low(self) -> float:
        return min(self.start, self.end)

    @property
    def high(self) -> float:
        return max(self.start, self.end)

    @property
    def top(self) -> int:
        return 65535 if self.fine is not None else 255


@dataclass(frozen=True)
class Fixture:
    """One patched fixture: a point with a name, and for a head its pan and tilt channels."""

    name: str
    universe: int | None = None
    address: int | None = None  # first channel, 1-512
    footprint: int = 0  # channels it takes from its address
    pan: Axis | None = None
    tilt: Axis | None = None
    values: dict[int, int] = field(default_factory=dict)  # fixed level by universe channel index
    blackout: dict[int, int] = field(default_factory=dict)
    max_pan_speed: float | None = None
    max_tilt_speed: float | None = None
    home: tuple[float, float] | None = None  # pan and tilt degrees
    position: float | None = None
    kind: str = "pan-tilt-16"

    @property
    def channels(self) -> range:
        """The universe channels it occupies, 1-based."""
        if self.address is None:
            return range(0)
        return range(self.address, self.address + self.footprint)

    @property
    def home_degrees(self) -> tuple[float, float]:
        assert self.pan is not None and self.tilt is not None
        if self.home is not None:
            return self.home
        return ((self.pan.low + self.pan.high) / 2, (self.tilt.low + self.tilt.high) / 2)


@dataclass(frozen=True)
class Group:
    """Fixtures moved together by one pattern."""

    name: str
    fixtures: tuple[str, ...]
    pattern: Pattern
    size: float = 1.0
    centre: tuple[float, float, float] = (0.0, 0.0, 0.0)
    spread: str = "none"
    spread_amount: Fraction = Fraction(1)
    invert: tuple[bool, bool] = (False, False)
    swap: bool = False
    speed: str = "fit"
    fitted: float = 1.0  # the factor the speed check shrank its size by
    phase_beats: Fraction = Fraction(0)  # the phase it was given, in beats

    def scale(self, master: float = 1.0) -> float:
        """The size the group plays at: its own, fitted to the heads' speed, times the master."""
        return self.size * self.fitted * master


@dataclass(frozen=True)
class SpeedCheck:
    """What the speed check found for one group at a tempo."""

    group: str
    bpm: float
    worst: str  # "<fixture> <axis> <asked> deg/s (limit <limit>)", or "" with no limits
    fit: float  # 1 when every head keeps up

    def line(self) -> str:
        if not self.worst:
            return f"{self.group}: no speed limits to check"
        if self.fit >= 1:
            return f"{self.group}: fastest {self.worst} at {self.bpm:g} BPM: ok"
        return f"{self.group}: {self.worst} at {self.bpm:g} BPM: size scaled by {self.fit:.3f}"


# --- reading a rig file ---------------------------------------------------------------------------


def load(path: str | os.PathLike[str], *, bpm: float | None = None) -> Rig:
    """The rig in the TOML file `path`, checked; `bpm` overrides the tempo the speed check uses.
    Anything wrong raises RigError with one message."""
    source = Path(path)
    try:
        text = source.read_bytes().decode("utf-8")
    except OSError as error:
        raise RigError(f"{source}: {error.strerror or error}") from None
    except UnicodeDecodeError:
        raise RigError(f"{source}: not UTF-8 text") from None
    try:
        data = tomllib.loads(text)
    except tomllib.TOMLDecodeError as error:
        raise RigError(f"{source}: {error}") from None
    return Rig.from_dict(data, base=source.parent, bpm=bpm)


def load_library(path: Path) -> motiloom.PatternLibrary:
    """A rig's own patterns: a JSON file holding {"patterns": [{"name", "description",
    "samples": [[x, y, z], ...]}, ...]}, each becoming a motiloom.SampledPattern."""
    try:
        document = json.loads(path.read_text(encoding="utf-8"))
    except (OSError, UnicodeDecodeError, ValueError) as error:
        raise RigError(f"library: {path}: {error}") from None
    keys = _Keys(document, "library", ("patterns",))
    items = _list_of(keys, "patterns", dict)
    keys.done()
    made = []
    for i, item in enumerate(items, start=1):
        entry = _Keys(item, f"library.patterns[{i}]", ("name", "description", "samples"))
        name = entry.take("name", str)
        description = entry.take("description", str, "")
        samples = entry.take("samples", list)
        entry.done()
        try:
            made.append(motiloom.SampledPattern(name, description, samples))
        except (TypeError, ValueError) as error:
            raise RigError(f"{entry.path} ({name!r}): {error}") from None
    try:
        return motiloom.PatternLibrary(made)
    except ValueError as error:
        raise RigError(f"library: {path}: {error}") from None


def _host(keys: _Keys) -> str:
    host: str = keys.take("host", str, DEFAULT_HOST)
    try:
        address = ipaddress.ip_address(host)
    except ValueError:
        raise RigError(f"{keys.at('host')}: {host!r} is not an IP address") from None
    if address.version != 4:
        raise RigError(f"{keys.at('host')}: {host} is not an IPv4 address")
    return host


OUTPUT_KEYS = (
    "protocol",
    "host",
    "port",
    "universes",
    "priority",
    "sync",
    "sync_universe",
    "discovery",
    "source_name",
    "prefix",
)
FIXTURE_KEYS = (
    "name",
    "universe",
    "address",
    "profile",
    "pan_degrees",
    "tilt_degrees",
    "channels",
    "ofl",
    "mode",
    "values",
    "blackout",
    "max_pan_speed",
    "max_tilt_speed",
    "home",
    "position",
)
GROUP_KEYS = (
    "name",
    "fixtures",
    "pattern",
    "size",
    "centre",
    "rate",
    "phase",
    "spread",
    "spread_amount",
    "invert",
    "swap",
    "speed",
)
RIG_KEYS = (
    "fps",
    "bpm",
    "stop",
    "fade_in_beats",
    "interpolate",
    "library",
    "output",
    "fixture",
    "group",
)


def _output(data: Any, path: str) -> Output:
    keys = _Keys(data, path, OUTPUT_KEYS)
    protocol = keys.choice("protocol", PROTOCOLS)
    host = _host(keys)
    if protocol == "osc":
        port = keys.integer("port", 1, 65535, DEFAULT_PORTS["osc"])
        prefix = keys.take("prefix", str, "/motiloom")
        if not prefix.startswith("/") or prefix.endswith("/") or " " in prefix:
            raise RigError(f"{keys.at('prefix')}: {prefix!r} is not an OSC address such as /a/b")
        keys.done()
        return Output(protocol, host, port, prefix=prefix)
    low, high = UNIVERSE_LIMITS[protocol]
    universes = _list_of(keys, "universes", int)
    if not universes:
        raise RigError(f"{keys.at('universes')}: names no universe")
    for i, universe in enumerate(universes):
        if not low <= universe <= high:
            raise RigError(f"{keys.at('universes')}[{i + 1}]: {universe} is outside {low}-{high}")
    if len(set(universes)) != len(universes):
        raise RigError(f"{keys.at('universes')}: names a universe twice")
    port = keys.integer("port", 1, 65535, DEFAULT_PORTS[protocol])
    sync = keys.take("sync", bool, False)
    if protocol == "artnet":
        keys.done()
        return Output(protocol, host, port, tuple(universes), sync=sync)
    priority = keys.integer("priority", 0, 200, 100)
    sync_universe = keys.integer("sync_universe", 1, 63999, max(universes) % 63999 + 1)
    if sync and sync_universe in universes:
        raise RigError(f"{keys.at('sync_universe')}: {sync_universe} also carries DMX")
    discovery = keys.take("discovery", bool, False)
    source_name = keys.take("source_name", str, "motiloom")
    if len(source_name.encode()) > 63:
        raise RigError(f"{keys.at('source_name')}: longer than 63 bytes")
    keys.done()
    return Output(
        protocol,
        host,
        port,
        tuple(universes),
        priority,
        sync,
        sync_universe,
        discovery,
        source_name=source_name,
    )


def _levels_table(keys: _Keys, key: str, channel_of: Callable[[str], int | None]) -> dict[int, int]:
    """{channel: level} from a table keyed by channel number or name."""
    table = keys.take(key, dict, {})
    levels: dict[int, int] = {}
    for name, level in table.items():
        channel = channel_of(str(name))
        if channel is None:
            raise RigError(f"{keys.at(key)}.{name}: no such channel")
        if isinstance(level, bool) or not isinstance(level, int) or not 0 <= level <= 255:
            raise RigError(f"{keys.at(key)}.{name}: a level is an integer 0-255, got {level!r}")
        levels[channel] = level
    return levels


def _fixture(data: Any, path: str, base: Path) -> Fixture:
    keys = _Keys(data, path, FIXTURE_KEYS)
    name = keys.take("name", str)
    if not name or any(c.isspace() or c == "/" for c in name):
        raise RigError(f"{keys.at('name')}: {name!r} must be a name without spaces or '/'")
    position = keys.number("position", None)
    speeds = [keys.number(k, None, above=0) for k in ("max_pan_speed", "max_tilt_speed")]
    home = _list_of(keys, "home", (int, float), None)
    if home is not None and len(home) != 2:
        raise RigError(f"{keys.at('home')}: expected [pan, tilt] in degrees")
    definition = keys.take("ofl", str, None)
    profile = keys.choice("profile", (*PROFILES, POINT), None if definition else "pan-tilt-16")
    if definition is not None and profile is not None:
        raise RigError(
            f"{keys.at('profile')}: a fixture has a profile or an ofl definition, not both"
        )
    if profile == POINT:
        keys.done()
        return Fixture(name, position=position, kind=POINT)
    universe = keys.integer("universe", 0, 63999)
    address = keys.integer("address", 1, CHANNELS)
    first = address - 1
    if definition is not None:
        # A definition that gives its ranges in percent of an unstated travel needs the rig's.
        travel = {axis: keys.number(f"{axis}_degrees", None, above=0) for axis in ("pan", "tilt")}
        layout = _definition(keys, base, definition, travel)
        footprint = layout.channel_count
        axes = {
            axis: Axis(
                first + channels.coarse,
                None if channels.fine is None else first + channels.fine,
                channels.start,
                channels.end,
            )
            for axis, channels in (("pan", layout.pan), ("tilt", layout.tilt))
        }
        positional = {
            offset
            for channels in (layout.pan, layout.tilt)
            for offset in (channels.coarse, channels.fine, *channels.finer)
            if offset is not None
        }
        # Fixed levels for every other channel: pan and tilt are the show's.
        names = {c.key: c.offset for c in layout.channels if c.key and c.offset not in positional}
        defaults = {
            first + c.offset: c.default
            for c in layout.channels
            if c.default and c.offset not in positional
        }
        closed = {first + c.offset: c.closed for c in layout.channels if c.closed is not None}

        def channel_of(key: str) -> int | None:
            found = names.get(key)
            return None if found is None else first + found

        kind = f"{layout.fixture} ({layout.mode})"
    else:
        assert profile is not None
        pan_coarse, pan_fine, tilt_coarse, tilt_fine, footprint = PROFILES[profile]
        degrees = {
            axis: keys.number(f"{axis}_degrees", default, above=0)
            for axis, default in (("pan", 540), ("tilt", 270))
        }
        footprint = keys.integer("channels", footprint, CHANNELS, footprint)

        def offset(n: int | None) -> int | None:
            return None if n is None else first + n

        axes = {
            "pan": Axis(first + pan_coarse, offset(pan_fine), 0.0, float(degrees["pan"])),
            "tilt": Axis(first + tilt_coarse, offset(tilt_fine), 0.0, float(degrees["tilt"])),
        }
        defaults, closed = {}, {}
        driven = {c for a in axes.values() for c in (a.coarse, a.fine) if c is not None}

        def channel_of(key: str) -> int | None:
            if not key.isdigit() or not 1 <= int(key) <= footprint:
                return None
            channel = first + int(key) - 1
            return None if channel in driven else channel

        kind = profile
    if address + footprint - 1 > CHANNELS:
        raise RigError(
            f"{keys.at('address')}: channels {address}-{address + footprint - 1} "
            f"run past {CHANNELS}"
        )
    values = {**defaults, **_levels_table(keys, "values", channel_of)}
    blackout = {**closed, **_levels_table(keys, "blackout", channel_of)}
    keys.done()
    pan, tilt = axes["pan"], axes["tilt"]
    if home is not None:
        for span, value, label in ((pan, home[0], "pan"), (tilt, home[1], "tilt")):
            if not span.low <= value <= span.high:
                raise RigError(
                    f"{keys.at('home')}: {label} {value} is outside {span.low:g}-{span.high:g}"
                )
    return Fixture(
        name,
        universe,
        address,
        footprint,
        pan,
        tilt,
        values,
        blackout,
        speeds[0],
        speeds[1],
        None if home is None else (float(home[0]), float(home[1])),
        position,
        kind,
    )


def _definition(
    keys: _Keys, base: Path, definition: str, travel: dict[str, float | None]
) -> ModeLayout:
    from . import ofl

    file = Path(definition) if os.path.isabs(definition) else base / definition
    mode = keys.take("mode", str, None)
    try:
        if mode is None:
            names = ofl.modes(file)
            if len(names) != 1:
                raise RigError(
                    f"{keys.at('mode')}: missing; {file.name} has the modes "
                    f"{', '.join(repr(n) for n in names)}"
                )
            mode = names[0]
        return ofl.load_mode(file, mode, pan_degrees=travel["pan"], tilt_degrees=travel["tilt"])
    except ofl.OflError as error:
        raise RigError(f"{keys.at('ofl')}: {error}") from None


def _pattern(
    keys: _Keys, library: motiloom.PatternLibrary | None, rate: Any, phase: Any
) -> Pattern:
    name = keys.take("pattern", str)
    try:
        return pattern(name, library=library, rate=rate, phase_beats=phase)
    except ValueError as error:
        raise RigError(f"{keys.at('pattern')}: {error}") from None


def _group(
    data: Any, path: str, library: motiloom.PatternLibrary | None, known: Mapping[str, Fixture]
) -> Group:
    keys = _Keys(data, path, GROUP_KEYS)
    name = keys.take("name", str, path)
    members = _list_of(keys, "fixtures", str)
    if not members:
        raise RigError(f"{keys.at('fixtures')}: names no fixture")
    for i, member in enumerate(members):
        if member not in known:
            close = difflib.get_close_matches(member, list(known), n=1)
            hint = f" (did you mean {close[0]!r}?)" if close else ""
            raise RigError(f"{keys.at('fixtures')}[{i + 1}]: no fixture is called {member!r}{hint}")
    if len(set(members)) != len(members):
        raise RigError(f"{keys.at('fixtures')}: names a fixture twice")
    rate = keys.take("rate", (int, float, str), 1)
    phase = keys.take("phase", (int, float, str), 0)
    try:
        parse_rate(rate)
        exact(phase, "phase")
    except (TypeError, ValueError) as error:
        which = "rate" if "rate" in str(error) else "phase"
        raise RigError(f"{keys.at(which)}: {error}") from None
    subject = _pattern(keys, library, rate, phase)
    size = keys.number("size", 1.0, above=0)
    centre = _list_of(keys, "centre", (int, float), [0.0, 0.0])
    if not 1 <= len(centre) <= 3:
        raise RigError(f"{keys.at('centre')}: expected [x, y] or [x, y, z]")
    for i, value in enumerate(centre):
        if not -1 <= value <= 1:
            raise RigError(f"{keys.at('centre')}[{i + 1}]: {value} is outside -1-1")
    spread = keys.choice("spread", SPREADS, "none")
    amount = keys.take("spread_amount", (int, float, str), 1)
    try:
        amount = exact(amount, "spread_amount")
    except (TypeError, ValueError) as error:
        raise RigError(f"{keys.at('spread_amount')}: {error}") from None
    invert = keys.take("invert", (bool, list), False)
    if isinstance(invert, bool):
        flips = (invert, invert)
    else:
        unknown = [v for v in invert if v not in ("pan", "tilt")]
        if unknown:
            raise RigError(f"{keys.at('invert')}: {unknown[0]!r} is not pan or tilt")
        flips = ("pan" in invert, "tilt" in invert)
    swap = keys.take("swap", bool, False)
    speed = keys.choice("speed", ("fit", "refuse"), "fit")
    keys.done()
    if spread == "position":
        missing = [m for m in members if known[m].position is None]
        if missing:
            raise RigError(f"{keys.at('spread')}: position needs a position for {missing[0]!r}")
    whole = (*[float(v) for v in centre], 0.0, 0.0)[:3]
    return Group(
        name,
        tuple(members),
        subject,
        float(size),
        (whole[0], whole[1], whole[2]),
        spread,
        amount,
        flips,
        swap,
        speed,
        phase_beats=exact(phase, "phase"),
    )


def _check_patch(fixtures: Sequence[Fixture], outputs: Sequence[Output]) -> None:
    """No two fixtures on one channel, and every patched universe sent somewhere."""
    sent = {u for o in outputs for u in o.universes}
    taken: dict[tuple[int, int], tuple[int, Fixture]] = {}
    for number, fixture in enumerate(fixtures, start=1):
        if fixture.universe is None:
            continue
        if fixture.universe not in sent:
            raise RigError(
                f"fixture[{number}].universe: no output sends universe {fixture.universe}"
            )
        for channel in fixture.channels:
            other = taken.get((fixture.universe, channel))
            if other is not None:
                first, them = other
                raise RigError(
                    f"fixture[{number}].address: channels {fixture.channels.start}-"
                    f"{fixture.channels.stop - 1} of universe {fixture.universe} overlap "
                    f"fixture[{first}] ({them.name!r}, channels {them.channels.start}-"
                    f"{them.channels.stop - 1})"
                )
            taken[(fixture.universe, channel)] = (number, fixture)


def _tables(data: Mapping[str, Any], key: str) -> list[Any]:
    value = data.get(key, [])
    if not isinstance(value, list):
        raise RigError(f"{key}: expected [[{key}]] tables, got {_kind(value)}")
    return value


class Rig:
    """A checked rig: its fixtures, groups and outputs, and the bytes a show sends.

    The bytes of a frame are a pure function of the rig and the musical position: `dmx(pips)`
    gives them for any positions, so a show can be recorded, replayed or checked offline."""

    def __init__(
        self,
        fixtures: Sequence[Fixture],
        groups: Sequence[Group],
        outputs: Sequence[Output],
        *,
        fps: float = 44,
        bpm: float = 120,
        stop: str = "home",
        fade_in_beats: float = 4,
        interpolate: Interpolation = "linear",
        master: float = 1.0,
        library: motiloom.PatternLibrary | None = None,
    ) -> None:
        self.fixtures = tuple(fixtures)
        self.groups = tuple(groups)
        self.outputs = tuple(outputs)
        self.fps = fps
        self.bpm = bpm
        self.stop = stop
        self.fade_in_beats = fade_in_beats
        self.interpolate: Interpolation = interpolate
        self.master = master  # every group's size is multiplied by it
        self.library = library  # the rig's own patterns, if it names a library file
        self._compiled: _Drive | None = None

    def changed(self, **what: Any) -> Rig:
        """This rig with some of its parts (groups, master, stop, ...) replaced."""
        parts: dict[str, Any] = {
            "fps": self.fps,
            "bpm": self.bpm,
            "stop": self.stop,
            "fade_in_beats": self.fade_in_beats,
            "interpolate": self.interpolate,
            "master": self.master,
            "library": self.library,
        }
        groups = what.pop("groups", self.groups)
        unknown = set(what) - set(parts)
        if unknown:
            raise TypeError(f"a rig has no {sorted(unknown)[0]!r} to change")
        parts.update(what)
        return Rig(self.fixtures, groups, self.outputs, **parts)

    def prepare(self) -> Rig:
        """Compile the rig's frame tables now (they are otherwise made by the first frame)."""
        self._drive  # noqa: B018
        return self

    @property
    def _drive(self) -> _Drive:
        if self._compiled is None:
            self._compiled = _Drive(self)
        return self._compiled

    @classmethod
    def load(cls, path: str | os.PathLike[str], *, bpm: float | None = None) -> Rig:
        """The rig in the TOML file `path` (see the module notes)."""
        return load(path, bpm=bpm)

    @classmethod
    def from_dict(
        cls, data: Mapping[str, Any], *, base: Path = Path("."), bpm: float | None = None
    ) -> Rig:
        """The rig a parsed rig file describes; relative paths are read from `base`."""
        top = _Keys(data, "", RIG_KEYS)
        fps = top.number("fps", 44, low=1, high=1000)
        tempo = top.number("bpm", 120, above=0)
        if tempo > 1000:
            raise RigError(f"bpm: {tempo} is above 1000")
        stop = top.choice("stop", STOP_STATES, "home")
        fade = top.number("fade_in_beats", 4, low=0, high=1024)
        interpolate = top.choice("interpolate", ("none", "linear"), "linear")
        library_file = top.take("library", str, None)
        raw_outputs = _tables(data, "output")
        raw_fixtures = _tables(data, "fixture")
        raw_groups = _tables(data, "group")
        for key in ("output", "fixture", "group"):
            top.data.pop(key, None)
        top.done()
        library = None
        if library_file is not None:
            library = load_library(base / library_file)
        outputs = [_output(d, f"output[{i}]") for i, d in enumerate(raw_outputs, start=1)]
        if not outputs:
            raise RigError("output: a rig needs at least one [[output]]")
        fixtures = [_fixture(d, f"fixture[{i}]", base) for i, d in enumerate(raw_fixtures, start=1)]
        if not fixtures:
            raise RigError("fixture: a rig needs at least one [[fixture]]")
        by_name: dict[str, Fixture] = {}
        for number, fixture in enumerate(fixtures, start=1):
            if fixture.name in by_name:
                raise RigError(f"fixture[{number}].name: {fixture.name!r} is used twice")
            by_name[fixture.name] = fixture
        _check_patch(fixtures, outputs)
        groups = [
            _group(d, f"group[{i}]", library, by_name) for i, d in enumerate(raw_groups, start=1)
        ]
        owner: dict[str, int] = {}
        for number, group in enumerate(groups, start=1):
            for member in group.fixtures:
                if member in owner:
                    raise RigError(
                        f"group[{number}].fixtures: {member!r} is already in group[{owner[member]}]"
                    )
                owner[member] = number
        rig = cls(
            fixtures,
            groups,
            outputs,
            fps=fps,
            bpm=tempo,
            stop=stop,
            fade_in_beats=fade,
            interpolate=interpolate,
            library=library,
        )
        return rig.speed_checked(bpm if bpm is not None else tempo)

    # --- the patch ----------------------------------------------------------------------------

    @property
    def universes(self) -> tuple[int, ...]:
        """Every universe an output sends, in rising order."""
        return tuple(sorted({u for o in self.outputs for u in o.universes}))

    def fixture(self, name: str) -> Fixture:
        for fixture in self.fixtures:
            if fixture.name == name:
                return fixture
        raise KeyError(name)

    def group_of(self, name: str) -> Group | None:
        return next((g for g in self.groups if name in g.fixtures), None)

    def speed_checks(self, bpm: float) -> list[SpeedCheck]:
        """For each group, the fastest any of its heads is asked to move at `bpm`, and the factor
        its size must shrink by for every head to keep up."""
        checks = []
        for group in self.groups:
            worst, fit, worst_ratio = "", 1.0, -1.0
            for member in group.fixtures:
                fixture = self.fixture(member)
                for axis_name, index, limit in (
                    ("pan", 0, fixture.max_pan_speed),
                    ("tilt", 1, fixture.max_tilt_speed),
                ):
                    axis = fixture.pan if index == 0 else fixture.tilt
                    if limit is None or axis is None:
                        continue
                    feeds = _component(group, index)
                    span = axis.high - axis.low
                    component: Component = ("x", "y")[feeds]
                    size = group.size * self.master * span
                    scaled = AxisRange(component, axis.low, axis.high, size=size)
                    speed = peak_speed(group.pattern, bpm, scaled, limit=limit, name=axis_name)
                    ratio = speed.peak / limit
                    if ratio > worst_ratio:
                        worst_ratio = ratio
                        worst = f"{member} {axis_name} {speed.peak:,.0f} deg/s (limit {limit:,.0f})"
                    fit = min(fit, speed.fit)
            checks.append(SpeedCheck(group.name, bpm, worst, fit))
        return checks

    def speed_checked(self, bpm: float) -> Rig:
        """This rig with every group that asks too much of a head at `bpm` shrunk to fit, or
        RigError for a group whose `speed` is "refuse"."""
        groups = []
        for number, (group, check) in enumerate(
            zip(self.groups, self.speed_checks(bpm), strict=True), start=1
        ):
            if check.fit < 1 and group.speed == "refuse":
                raise RigError(
                    f"group[{number}].speed: {group.pattern.name} asks {check.worst} "
                    f"at {bpm:g} BPM; shrink it or let it fit"
                )
            groups.append(replace(group, fitted=check.fit))
        return self.changed(groups=groups)

    def patch(self) -> list[str]:
        """The patch as lines of text: fixtures, universes and channels, groups and patterns."""
        lines = [
            f"{len(self.fixtures)} fixtures, {len(self.groups)} groups, "
            f"universes {', '.join(map(str, self.universes)) or 'none'}; {self.fps:g} fps"
        ]
        for o in self.outputs:
            carries = (
                f"port {o.port}, prefix {o.prefix}"
                if o.protocol == "osc"
                else ("universes " + ", ".join(map(str, o.universes)))
            )
            lines.append(f"  {o.protocol} to {o.host}: {carries}")
        for f in self.fixtures:
            where = (
                "no DMX"
                if f.universe is None
                else (f"universe {f.universe} channels {f.channels.start}-{f.channels.stop - 1}")
            )
            axes = ""
            if f.pan is not None and f.tilt is not None:
                bits = "16-bit" if f.pan.fine is not None else "8-bit"
                axes = (
                    f", pan {f.pan.start:g}..{f.pan.end:g} tilt {f.tilt.start:g}.."
                    f"{f.tilt.end:g} deg, {bits}"
                )
            group = self.group_of(f.name)
            moved = f" <- {group.name}" if group else " (holds home)"
            lines.append(f"  {f.name}: {f.kind}, {where}{axes}{moved}")
        for g in self.groups:
            lines.append(
                f"  {g.name}: {g.pattern.name} rate {g.pattern.rate} "
                f"size {g.scale(self.master):.3g} "
                f"spread {g.spread} -> {', '.join(g.fixtures)}"
            )
        return lines

    # --- the bytes ----------------------------------------------------------------------------

    def dmx(
        self, pips: Pips, *, start: Any = None, origin: NDArray[np.float64] | None = None
    ) -> dict[int, NDArray[np.uint8]]:
        """The bytes sent at the musical positions `pips`: for each universe, an array
        (frames, 512). With `start` (the position the show started at) the first
        `fade_in_beats` after it fade into the show from every head at home, as a show sends
        them, or from `origin` (levels from `levels_of`)."""
        return self._drive.dmx(pips, start, origin)

    def frame(
        self,
        whole: int,
        fraction: float,
        *,
        start: Any = None,
        origin: NDArray[np.float64] | None = None,
    ) -> dict[int, NDArray[np.uint8]]:
        """One frame of `dmx`, at the position `whole` + `fraction` (0 <= fraction < 1): each
        universe's 512 bytes. The same bytes, worked out natively when the kit's native module
        is there, which is what a live show asks for 44 times a second."""
        return self._drive.frame(whole, fraction, start, origin)

    def positions(self, pips: Pips) -> NDArray[np.float64]:
        """Every fixture's position at `pips` after its group's swap, invert, size and centre:
        an array (frames, fixtures, 3) (a fixture in no group stays at 0, its home)."""
        return self._drive.positions(pips)

    def stop_frame(
        self, last: Mapping[int, NDArray[np.uint8]] | None = None, state: str | None = None
    ) -> dict[int, NDArray[np.uint8]]:
        """What the show sends when it stops (in `state`, the rig's own stop state unless
        given): the last frame again ("hold", when given), every head at home ("home"), or at
        home with no light ("blackout")."""
        state = self.stop if state is None else state
        if state not in STOP_STATES:
            raise ValueError(f"a stop state is one of {', '.join(STOP_STATES)}, not {state!r}")
        if state == "hold" and last is not None:
            return {u: np.array(frame, dtype=np.uint8) for u, frame in last.items()}
        return self._drive.stop_frame(blackout=state == "blackout")

    def levels_of(self, frame: Mapping[int, NDArray[np.uint8]]) -> NDArray[np.float64]:
        """The pan and tilt levels of the moving heads in a frame of this rig, in the form
        `dmx(origin=...)` fades from."""
        return self._drive.levels_of(frame)

    def shown(
        self, frame: Mapping[int, NDArray[np.uint8]], positions: NDArray[np.float64]
    ) -> NDArray[np.float64]:
        """Where every fixture is in a frame as sent: a head's pan and tilt read back from its
        channels, as -1 .. +1 of its ranges, a point's x and y as given. An array (fixtures, 2)."""
        return self._drive.shown(frame, positions)


def _component(group: Group, axis: int) -> int:
    """The pattern component (0 x, 1 y) that feeds pan (axis 0) or tilt (axis 1)."""
    return 1 - axis if group.swap else axis


def _smooth(weight: NDArray[np.float64]) -> NDArray[np.float64]:
    return weight * weight * (3 - 2 * weight)


class _Drive:
    """A rig compiled into arrays: per head and axis, the level (before clipping) of every row
    of its loop, and where its bytes go; a frame is then a gather, a clip and a scatter."""

    def __init__(self, rig: Rig) -> None:
        self.rig = rig
        universes = rig.universes
        self.slot = {u: i for i, u in enumerate(universes)}
        members = [(f, rig.group_of(f.name)) for f in rig.fixtures]
        grouped = [(f, g) for f, g in members if g is not None]
        # Each fixture's own view of its group's pattern: the spread moves it along the loop.
        views: dict[str, Pattern] = {}
        for group in rig.groups:
            count = len(group.fixtures)
            if group.spread == "none":
                offsets = [Fraction(0)] * count
            else:
                mode: SpreadMode = group.spread  # type: ignore[assignment]
                places = [rig.fixture(m).position or 0.0 for m in group.fixtures]
                offsets = phase_offsets(
                    count,
                    mode,
                    amount=group.spread_amount,
                    positions=places if mode == "position" else None,
                )
            for member, offset in zip(group.fixtures, offsets, strict=True):
                views[member] = group.pattern.shifted(offset)
        self.order = [f for f, _ in grouped]
        self.patterns = Patterns(views[f.name] for f, _ in grouped) if grouped else None
        self.where = {f.name: i for i, f in enumerate(rig.fixtures)}
        # The group transform per moving fixture: q = centre + size * sign * p[perm].
        self.perm = np.array(
            [[_component(g, 0), _component(g, 1), 2] for _, g in grouped], dtype=np.intp
        ).reshape(-1, 3)
        self.scale = np.array(
            [
                [
                    g.scale(rig.master) * (-1 if g.invert[0] else 1),
                    g.scale(rig.master) * (-1 if g.invert[1] else 1),
                    g.scale(rig.master),
                ]
                for _, g in grouped
            ]
        ).reshape(-1, 3)
        self.centre = np.array([g.centre for _, g in grouped]).reshape(-1, 3)
        self.moving_index = np.array([self.where[f.name] for f in self.order], dtype=np.intp)
        # Heads among the moving fixtures, and their level tables.
        heads = [(k, f) for k, f in enumerate(self.order) if f.pan is not None]
        self.heads = np.array([k for k, _ in heads], dtype=np.intp)
        tables, slopes, starts, start = [], [], [], 0
        top, source, destination = [], [], []
        for n, (k, f) in enumerate(heads):
            rows = views[f.name].table()
            u, du = self._unclipped(rows, k, f)
            tables.append(u)
            slopes.append(du)
            starts.append(start)
            start += len(rows)
            for a, axis in enumerate((f.pan, f.tilt)):
                assert axis is not None and f.universe is not None
                base = self.slot[f.universe] * CHANNELS
                top.append(axis.top)
                # Levels become big-endian byte pairs: a 16-bit axis sends both bytes, an 8-bit
                # one (its level below 256) the low byte on its coarse channel.
                pair = 2 * (2 * n + a)
                if axis.fine is None:
                    source.append(pair + 1)
                    destination.append(base + axis.coarse)
                else:
                    source += [pair, pair + 1]
                    destination += [base + axis.coarse, base + axis.fine]
        self.levels = np.concatenate(tables) if tables else np.zeros((0, 2))
        self.slopes = np.concatenate(slopes) if slopes else np.zeros((0, 2))
        self.level_start = np.array(starts, dtype=np.int64)
        self.ceiling = np.array(top, dtype=np.float64) + 0.5
        self.source = np.array(source, dtype=np.intp)
        self.destination = np.array(destination, dtype=np.intp)
        self.every_one_a_head = len(heads) == len(self.order)
        self.home = self._home_levels([f for _, f in heads])
        self._native: Any = False  # the native frame, made on first use
        self.base = self._base(blackout=False)

    def _unclipped(self, rows: NDArray[np.float64], k: int, f: Fixture) -> tuple[Any, Any]:
        """Levels plus one half, before they stop at the ends, of every row of a head's loop,
        and their differences to the next row."""
        q = self.centre[k] + self.scale[k] * rows[:, self.perm[k]]
        out = np.empty((len(rows), 2))
        for a, axis in enumerate((f.pan, f.tilt)):
            assert axis is not None
            half = (axis.high - axis.low) / 2
            degrees = (axis.low + axis.high) / 2 + q[:, a] * half
            out[:, a] = (degrees - axis.start) * (axis.top / (axis.end - axis.start)) + 0.5
        return out, np.roll(out, -1, axis=0) - out

    def _home_levels(self, heads: Sequence[Fixture]) -> NDArray[np.float64]:
        values = []
        for f in heads:
            for axis, degrees in zip((f.pan, f.tilt), f.home_degrees, strict=True):
                assert axis is not None
                values.append((degrees - axis.start) * (axis.top / (axis.end - axis.start)) + 0.5)
        return np.array(values)

    def _base(self, blackout: bool) -> NDArray[np.uint8]:
        """Every universe with its fixed levels, and the heads no group moves at home."""
        base = np.zeros(len(self.slot) * CHANNELS, dtype=np.uint8)
        for f in self.rig.fixtures:
            if f.universe is None:
                continue
            offset = self.slot[f.universe] * CHANNELS
            for channel, level in f.values.items():
                base[offset + channel] = level
            if blackout:
                for channel, level in f.blackout.items():
                    base[offset + channel] = level
            if f.pan is not None and (blackout or self.rig.group_of(f.name) is None):
                for axis, level in zip((f.pan, f.tilt), self._home_levels([f]), strict=True):
                    assert axis is not None
                    self._place(base, offset, axis, int(level))
        return base

    @staticmethod
    def _place(base: NDArray[np.uint8], offset: int, axis: Axis, level: int) -> None:
        """One axis at one level, `offset` being where its universe starts in `base`."""
        level = min(max(level, 0), axis.top)
        if axis.fine is None:
            base[offset + axis.coarse] = level
        else:
            base[offset + axis.coarse] = level >> 8
            base[offset + axis.fine] = level & 0xFF

    def _split(
        self, frames: dict[int, NDArray[np.uint8]] | NDArray[np.uint8]
    ) -> dict[int, NDArray[np.uint8]]:
        flat = np.asarray(frames)
        return {u: flat[..., i * CHANNELS : (i + 1) * CHANNELS] for u, i in self.slot.items()}

    def stop_frame(self, blackout: bool) -> dict[int, NDArray[np.uint8]]:
        base = self._base(blackout=blackout)
        if not blackout and len(self.heads):
            levels = np.minimum(np.maximum(self.home, 0.5), self.ceiling)
            self._scatter(base[None, :], levels[None, :])
        return {u: frame.copy() for u, frame in self._split(base).items()}

    def levels_of(self, frame: Mapping[int, NDArray[np.uint8]]) -> NDArray[np.float64]:
        flat = np.concatenate([np.asarray(frame[u], dtype=np.uint8) for u in self.slot])
        pairs = np.zeros(4 * len(self.heads), dtype=np.uint8)
        pairs[self.source] = flat[self.destination]
        return pairs.view(">u2").astype(np.float64) + 0.5

    def shown(
        self, frame: Mapping[int, NDArray[np.uint8]], positions: NDArray[np.float64]
    ) -> NDArray[np.float64]:
        out = np.array(positions, dtype=np.float64)[:, :2].copy()
        for f in self.rig.fixtures:
            if f.pan is not None:
                out[self.where[f.name]] = self._read_head(frame, f)
        return out

    def _read_head(self, frame: Mapping[int, NDArray[np.uint8]], f: Fixture) -> list[float]:
        assert f.universe is not None
        data = np.asarray(frame[f.universe])
        place = []
        for axis in (f.pan, f.tilt):
            assert axis is not None
            level = int(data[axis.coarse])
            if axis.fine is not None:
                level = level * 256 + int(data[axis.fine])
            degrees = axis.start + level / axis.top * (axis.end - axis.start)
            place.append((degrees - axis.low) / (axis.high - axis.low) * 2 - 1)
        return place

    def _scatter(self, out: NDArray[np.uint8], levels: NDArray[np.float64]) -> None:
        """Levels (frames, 2 per head), already clipped, into their channels."""
        pairs = levels.astype(">u2").view(np.uint8)
        out[:, self.destination] = pairs[:, self.source]

    def dmx(
        self, pips: Pips, start: Any, origin: NDArray[np.float64] | None = None
    ) -> dict[int, NDArray[np.uint8]]:
        linear = self.rig.interpolate == "linear"
        count = _count(pips)
        out = np.empty((count, len(self.base)), dtype=np.uint8)
        out[:] = self.base
        if self.patterns is not None and len(self.heads):
            rows, part, _ = self.patterns._rows(pips, linear)
            if not self.every_one_a_head:
                rows = rows[:, self.heads]
            index = rows + self.level_start
            values = np.take(self.levels, index, axis=0)  # (frames, heads, 2)
            if linear and part is not None:
                if not self.every_one_a_head:
                    part = np.broadcast_to(part, (count, len(self.order)))[:, self.heads]
                values += np.take(self.slopes, index, axis=0) * part[..., None]
            values = values.reshape(count, -1)
            if start is not None and self.rig.fade_in_beats > 0:
                weight = self._fade(pips, start)
                if weight is not None:
                    begin = self.home if origin is None else origin
                    values = begin + (values - begin) * weight[:, None]
            np.maximum(values, 0.5, out=values)
            np.minimum(values, self.ceiling, out=values)
            self._scatter(out, values)
        return self._split(out)

    def frame(
        self, whole: int, fraction: float, start: Any, origin: NDArray[np.float64] | None
    ) -> dict[int, NDArray[np.uint8]]:
        kernel = self._kernel()
        if kernel is None or not -(2**62) < whole < 2**62:
            pips = PipTimes(np.array([whole]), np.array([fraction]), np.zeros(1))
            return {u: f[0] for u, f in self.dmx(pips, start, origin).items()}
        weight = -1.0
        if start is not None and self.rig.fade_in_beats > 0:
            share = self._fade(PipTimes(np.array([whole]), np.array([fraction]), np.zeros(1)),
                               start)  # fmt: skip
            if share is not None:
                weight = float(share[0])
        out = np.empty(len(self.base), dtype=np.uint8)
        begin = self.home if origin is None else np.ascontiguousarray(origin, dtype=np.float64)
        kernel.frame(whole, fraction, self.rig.interpolate == "linear", weight, begin, out)
        return self._split(out)

    def _kernel(self) -> Any:
        """The native frame of this rig, or None (no native module, or nothing to move)."""
        if self._native is False:
            from .catalogue import native

            build = native()
            self._native = None
            if build is not None and self.patterns is not None and len(self.heads):
                p = self.patterns
                self._native = build.RigFrame(
                    p._modulus, p._scale, p._shift, p._denominator, p._rate, p._period,
                    self.heads.astype(np.int64), self.level_start,
                    np.ascontiguousarray(self.levels), np.ascontiguousarray(self.slopes),
                    self.ceiling, self.source.astype(np.int64),
                    self.destination.astype(np.int64), self.base,
                )  # fmt: skip
        return self._native

    def _fade(self, pips: Pips, start: Any) -> NDArray[np.float64] | None:
        """The share of the show, 0 at `start` to 1 after the fade, of each position (None once
        every position is past the fade)."""
        whole, fraction = _whole_and_fraction(pips)
        begin = Fraction(start)
        first = math.floor(begin)
        length = self.rig.fade_in_beats * PIPS_PER_BEAT
        if int(whole.min()) - first - 1 >= length:
            return None
        since = (whole - first) + (fraction - float(begin - first))
        return _smooth(np.clip(since / length, 0.0, 1.0))

    def positions(self, pips: Pips) -> NDArray[np.float64]:
        count = _count(pips)
        out = np.zeros((count, len(self.rig.fixtures), 3))
        if self.patterns is not None:
            rows = self.patterns.render(pips, self.rig.interpolate).reshape(count, -1, 3)
            moved = np.take_along_axis(rows, self.perm[None, :, :], axis=2)
            out[:, self.moving_index] = self.centre + self.scale * moved
        return out


def _count(pips: Pips) -> int:
    return len(pips) if isinstance(pips, PipTimes) else int(np.asarray(pips).size)


def _whole_and_fraction(pips: Pips) -> tuple[NDArray[np.int64], NDArray[np.float64]]:
    if isinstance(pips, PipTimes):
        return pips.whole.reshape(-1), pips.fraction.reshape(-1)
    values = np.asarray(pips).reshape(-1)
    if values.dtype.kind == "f":
        floor = np.floor(values)
        return floor.astype(np.int64), values - floor
    return values.astype(np.int64), np.zeros(len(values))
