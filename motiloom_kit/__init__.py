"""motiloom_kit: everything beyond one-pip-at-a-time sampling, built on motiloom's public API.

* time: `Clock` turns seconds and frame numbers into exact pips at a tempo;
* arrays: `pattern(name)` tabulates a loop once and `Pattern.render` gathers any pips from it,
  with rate, phase and linear interpolation;
* spread: `spread` runs one pattern on many fixtures, each at its own phase;
* fixtures: `Head`, `AxisRange`, `dmx8`, `dmx16` turn positions into degrees and DMX levels, and
  `Head.speeds` tells how fast a pattern drives a head; `Patterns`, `Heads` and `LevelTable` do
  the same for a whole rig at once, a frame in one gather;
* the catalogue with packs and families (`entries`, `select`), a contact sheet and a static
  gallery page; `python -m motiloom_kit` puts them on the command line.

Attributes are imported on first use, so `import motiloom_kit` alone does not load numpy.
"""

from __future__ import annotations

import importlib

from ._version import __version__ as __version__

TYPE_CHECKING = False  # typing itself is not imported, to keep the command line quick to start
if TYPE_CHECKING:
    from typing import Any

    from .catalogue import Entry, PublicPathWarning, UnknownPatternError, entries, lookup, select
    from .clock import Clock, PipTimes, bars_to_pips, beats_to_pips
    from .fixtures import (
        AxisRange,
        Head,
        Heads,
        LevelTable,
        Speed,
        SpeedWarning,
        coarse_fine,
        dmx8,
        dmx16,
        peak_speed,
    )
    from .gallery import build_page, write_gallery
    from .patterns import NAMED_RATES, Pattern, Patterns, parse_rate, pattern
    from .sheet import write_sheet
    from .spread import phase_offsets, spread

_HOMES = {
    "Entry": "catalogue",
    "PublicPathWarning": "catalogue",
    "UnknownPatternError": "catalogue",
    "entries": "catalogue",
    "lookup": "catalogue",
    "select": "catalogue",
    "Clock": "clock",
    "PipTimes": "clock",
    "bars_to_pips": "clock",
    "beats_to_pips": "clock",
    "AxisRange": "fixtures",
    "Head": "fixtures",
    "Heads": "fixtures",
    "LevelTable": "fixtures",
    "Speed": "fixtures",
    "SpeedWarning": "fixtures",
    "coarse_fine": "fixtures",
    "dmx8": "fixtures",
    "dmx16": "fixtures",
    "peak_speed": "fixtures",
    "build_page": "gallery",
    "write_gallery": "gallery",
    "NAMED_RATES": "patterns",
    "Pattern": "patterns",
    "Patterns": "patterns",
    "parse_rate": "patterns",
    "pattern": "patterns",
    "write_sheet": "sheet",
    "phase_offsets": "spread",
    "spread": "spread",
}

__all__ = [
    "AxisRange",
    "Clock",
    "Entry",
    "Head",
    "Heads",
    "LevelTable",
    "NAMED_RATES",
    "Pattern",
    "Patterns",
    "PipTimes",
    "PublicPathWarning",
    "Speed",
    "SpeedWarning",
    "UnknownPatternError",
    "bars_to_pips",
    "beats_to_pips",
    "build_page",
    "coarse_fine",
    "dmx16",
    "dmx8",
    "entries",
    "lookup",
    "parse_rate",
    "pattern",
    "peak_speed",
    "phase_offsets",
    "select",
    "spread",
    "write_gallery",
    "write_sheet",
]


def __getattr__(name: str) -> Any:
    home = _HOMES.get(name)
    if home is None:
        raise AttributeError(f"module 'motiloom_kit' has no attribute {name!r}")
    value = getattr(importlib.import_module(f".{home}", __name__), name)
    globals()[name] = value
    return value


def __dir__() -> list[str]:
    return sorted(set(globals()) | set(_HOMES))
