"""The built-in catalogue as the kit reads it: every entry with its kind, pack and family.

motiloom lists its patterns (`motiloom.catalogue()`) but says nothing about packs or families. The
kit reads them from the build itself, through its private native module `motiloom_kit._tables`,
which finds them in the loaded extension: the procedural rudiments with their family ("move" or
"stroke", pack "procedural"), and every baked table with the pack and the family its authoring
declared. Nothing is guessed from names or counts.

A build without that module (someone who built motiloom alone) still works through the public
API, and says so once with a `PublicPathWarning`: kinds then come from the module's functions (a
procedural rudiment is a function of the module as well as an entry), packs and families are
None (shown as "unknown"), and tables are read one pip at a time.

Nothing here imports numpy, so listing stays fast.
"""

from __future__ import annotations

import functools
import warnings
from fnmatch import fnmatchcase
from types import ModuleType

import motiloom

# typing and dataclasses would double the start-up time of `python -m motiloom_kit list`.
TYPE_CHECKING = False
if TYPE_CHECKING:
    from collections.abc import Iterable, Sequence
    from typing import Literal, TypeAlias

    Kind: TypeAlias = Literal["procedural", "baked", "caller"]

PROCEDURAL = "procedural"
UNKNOWN = "unknown"


class PublicPathWarning(RuntimeWarning):
    """The kit's native module is missing, so it reads motiloom through its public API only."""


@functools.cache
def native() -> ModuleType | None:
    """The kit's private native module, or None (with one warning) when this build lacks it."""
    try:
        from . import _tables
    except ImportError as error:
        warnings.warn(
            f"motiloom_kit reads motiloom through its public API only ({error}): packs and "
            "families are unknown and tables are read one pip at a time",
            PublicPathWarning,
            stacklevel=3,
        )
        return None
    return _tables


class Entry:
    """One catalogue entry: the module's four fields plus what the kit derives about it.

    `kind` is "procedural", "baked" or "caller" (a caller's own pattern); `pack` is the pack of a
    baked table, "procedural" for the rudiments, and `family` the family the build lists it under;
    both are None when the build does not say (a caller's pattern, or the public path)."""

    __slots__ = ("name", "description", "period_pips", "dimensions", "kind", "pack", "family")

    def __init__(
        self,
        name: str,
        description: str,
        period_pips: int,
        dimensions: int,
        kind: Kind,
        pack: str | None,
        family: str | None,
    ) -> None:
        self.name = name
        self.description = description
        self.period_pips = period_pips
        self.dimensions = dimensions
        self.kind: Kind = kind
        self.pack = pack
        self.family = family

    def __repr__(self) -> str:
        return f"Entry({self.name!r}, {self.period_pips} pips, {self.dimensions}D, {self.pack})"

    def __eq__(self, other: object) -> bool:
        return isinstance(other, Entry) and self.as_dict() == other.as_dict()

    def __hash__(self) -> int:
        return hash(self.name)

    def as_dict(self) -> dict[str, str | int | None]:
        """The entry as a plain dict, the module's four keys first."""
        return {
            "name": self.name,
            "description": self.description,
            "period_pips": self.period_pips,
            "dimensions": self.dimensions,
            "kind": self.kind,
            "pack": self.pack,
            "family": self.family,
        }


class UnknownPatternError(ValueError):
    """A name that no pattern has. The message is motiloom's own ("Unknown motiloom: NAME")
    followed by the closest known names, which are also kept in `suggestions`."""

    def __init__(self, message: str, suggestions: Sequence[str]) -> None:
        super().__init__(message)
        self.suggestions = list(suggestions)


def _public_kinds() -> frozenset[str]:
    """The procedural names as the public API shows them: the module's rudiment functions."""
    return frozenset(
        name
        for name, value in vars(motiloom).items()
        if callable(value) and name[0].islower() and name not in ("sample", "catalogue")
    )


@functools.cache
def entries() -> tuple[Entry, ...]:
    """Every built-in entry, in the module's order, read once and kept."""
    build = native()
    if build is not None:
        made = [
            Entry(name, text, period, axes, "procedural", PROCEDURAL, family)
            for name, text, period, axes, family in build.procedural()
        ]
        made += [
            Entry(name, text, period, axes, "baked", pack, family)
            for name, text, period, axes, pack, family in build.records()
        ]
        return tuple(made)
    rudiments = _public_kinds()
    return tuple(
        Entry(
            item["name"],
            item["description"],
            item["period_pips"],
            item["dimensions"],
            "procedural" if item["name"] in rudiments else "baked",
            PROCEDURAL if item["name"] in rudiments else None,
            None,
        )
        for item in motiloom.catalogue()
    )


@functools.cache
def _index() -> dict[str, Entry]:
    return {entry.name: entry for entry in entries()}


def find(name: str) -> Entry | None:
    """The built-in entry called `name`, or None."""
    return _index().get(name)


def lookup(name: str) -> Entry:
    """The built-in entry called `name`; an unknown name raises `UnknownPatternError`."""
    entry = find(name)
    if entry is None:
        raise unknown_name(name, _index())
    return entry


def suggest(name: str, names: Iterable[str]) -> list[str]:
    """Up to three known names close to `name`, closest first."""
    import difflib

    return difflib.get_close_matches(name, list(names), n=3, cutoff=0.6)


def unknown_name(name: str, names: Iterable[str]) -> UnknownPatternError:
    """The error for a name that none of `names` is: motiloom's own message, then suggestions."""
    try:
        motiloom.sample(name, 0)
        message = f"Unknown motiloom: {name}"
    except ValueError as error:
        message = str(error)
    close = suggest(name, names)
    if close:
        message += f" (did you mean {', '.join(close)}?)"
    return UnknownPatternError(message, close)


def packs_present() -> list[str]:
    """The pack names that the built entries carry, in catalogue order ("unknown" for None)."""
    return list(dict.fromkeys(e.pack or UNKNOWN for e in entries()))


def families_present() -> list[str]:
    """The family names that the built entries carry, in catalogue order ("unknown" for None)."""
    return list(dict.fromkeys(e.family or UNKNOWN for e in entries()))


def select(
    glob: str = "*",
    *,
    pack: str | None = None,
    family: str | None = None,
    dimensions: int | None = None,
    period: int | None = None,
) -> list[Entry]:
    """The built-in entries whose name matches the shell-style `glob` and that pass every filter
    given. `pack` or `family` "unknown" selects the entries the build says nothing about."""
    chosen = []
    for entry in entries():
        if not fnmatchcase(entry.name, glob):
            continue
        if pack is not None and (entry.pack or UNKNOWN) != pack:
            continue
        if family is not None and (entry.family or UNKNOWN) != family:
            continue
        if dimensions is not None and entry.dimensions != dimensions:
            continue
        if period is not None and entry.period_pips != period:
            continue
        chosen.append(entry)
    return chosen
