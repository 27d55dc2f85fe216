"""The built-in catalogue as the kit reads it: every entry with its kind, pack and family.

motiloom lists its patterns (`motiloom.catalogue()`) but says nothing about packs or families, so
the kit derives them, and says when it cannot:

* kind: an entry whose name is also a function of the module is one of the procedural rudiments;
  every other built-in entry is a baked table.
* pack: the baked tables come pack after pack in one fixed order, each pack as long as its
  declared size (`PACKS`). A build holds some of the packs, always in that order, and no two
  selections of packs add up to the same count, so the number of baked entries tells which packs
  are present and where each begins. The layout is then checked against the one naming rule that
  separates packs: the beat-grid packs (club and dancefloor) and no others use the prefix
  "beat_". If the count matches no selection, or the names contradict it, every baked entry gets
  the pack None (shown as "unknown") rather than a guess. Procedural entries get "procedural".
* family: a naming heuristic. Beat-grid names read beat_<style>_<motion>, and their family is
  "beat_" plus the motion; any other baked name's family is its first word (lfo, groove, wave,
  ...); procedural entries are the family "procedural".

Nothing here imports numpy, so listing stays fast.
"""

from __future__ import annotations

import functools
import itertools
from fnmatch import fnmatchcase

import motiloom

# typing and dataclasses would double the start-up time of `python -m motiloom_kit list`.
TYPE_CHECKING = False
if TYPE_CHECKING:
    from collections.abc import Iterable, Sequence
    from typing import Literal, TypeAlias

    Kind: TypeAlias = Literal["procedural", "baked", "caller"]

# The six packs of baked tables, in catalogue order, with the number of tables each declares.
PACKS: tuple[tuple[str, int], ...] = (
    ("initial", 28),
    ("expansion", 24),
    ("atlas", 256),
    ("continuum", 320),
    ("club", 144),
    ("dancefloor", 944),
)
PROCEDURAL = "procedural"
UNKNOWN_PACK = "unknown"
BEAT_PREFIX = "beat_"
BEAT_PACKS = frozenset({"club", "dancefloor"})


class Entry:
    """One catalogue entry: the module's four fields plus what the kit derives about it.

    `kind` is "procedural", "baked" or "caller" (a pattern of a `PatternLibrary`); `pack` is the
    pack of a baked table, "procedural" for the rudiments, or None when it cannot be told;
    `family` groups names that share a stem (see the module notes)."""

    __slots__ = ("name", "description", "period_pips", "dimensions", "kind", "pack", "family")

    def __init__(
        self,
        name: str,
        description: str,
        period_pips: int,
        dimensions: int,
        kind: Kind,
        pack: str | None,
        family: str,
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


def family_of(name: str, kind: Kind) -> str:
    """The family of a pattern name: "procedural" for the rudiments, "beat_<motion>" for
    beat-grid names, otherwise the name's first word."""
    if kind == "procedural":
        return PROCEDURAL
    if name.startswith(BEAT_PREFIX) and name.count("_") >= 2:
        return BEAT_PREFIX + name.rsplit("_", 1)[1]
    return name.split("_", 1)[0]


def pack_layout(baked_names: Sequence[str]) -> list[str | None]:
    """The pack of each baked entry, in catalogue order; all None when the layout cannot be told
    (see the module notes)."""
    count = len(baked_names)
    layouts = [
        chosen
        for size in range(len(PACKS) + 1)
        for chosen in itertools.combinations(PACKS, size)
        if sum(n for _, n in chosen) == count
    ]
    if len(layouts) != 1:
        return [None] * count
    packs: list[str | None] = [key for key, n in layouts[0] for _ in range(n)]
    for name, pack in zip(baked_names, packs, strict=True):
        if name.startswith(BEAT_PREFIX) != (pack in BEAT_PACKS):
            return [None] * count
    return packs


def _rudiment_names() -> frozenset[str]:
    return frozenset(
        name
        for name, value in vars(motiloom).items()
        if callable(value) and name[0].islower() and name not in ("sample", "catalogue")
    )


@functools.cache
def entries() -> tuple[Entry, ...]:
    """Every built-in entry, in the module's order, read once and kept."""
    listing = motiloom.catalogue()
    rudiments = _rudiment_names()
    baked = [e["name"] for e in listing if e["name"] not in rudiments]
    packs = iter(pack_layout(baked))
    result = []
    for item in listing:
        kind: Kind = "procedural" if item["name"] in rudiments else "baked"
        pack = PROCEDURAL if kind == "procedural" else next(packs)
        result.append(
            Entry(
                item["name"],
                item["description"],
                item["period_pips"],
                item["dimensions"],
                kind,
                pack,
                family_of(item["name"], kind),
            )
        )
    return tuple(result)


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
    seen = dict.fromkeys(e.pack or UNKNOWN_PACK for e in entries())
    return list(seen)


def select(
    glob: str = "*",
    *,
    pack: str | None = None,
    family: str | None = None,
    dimensions: int | None = None,
    period: int | None = None,
) -> list[Entry]:
    """The built-in entries whose name matches the shell-style `glob` and that pass every filter
    given. `pack` "unknown" selects the entries whose pack cannot be told."""
    chosen = []
    for entry in entries():
        if not fnmatchcase(entry.name, glob):
            continue
        if pack is not None and (entry.pack or UNKNOWN_PACK) != pack:
            continue
        if family is not None and entry.family != family:
            continue
        if dimensions is not None and entry.dimensions != dimensions:
            continue
        if period is not None and entry.period_pips != period:
            continue
        chosen.append(entry)
    return chosen
