"""Finds the packs and their family modules under a packs directory, in catalogue order.

A pack is a directory packs/<key>/ holding pack.py (which defines PACK, a model.Pack) and one
module per family named NN_<family>.py (which defines PATTERNS, a list of model.Pattern in record
order). Families are taken in the order of their NN prefix, so adding a family means adding one
file. Packs are taken in PACK_ORDER; a pack whose directory does not exist is skipped.
"""

from __future__ import annotations

import importlib.util
import re
from dataclasses import dataclass
from pathlib import Path
from types import ModuleType

from .model import CheckError, Pack, Pattern

PACK_ORDER = ("initial", "expansion", "atlas", "continuum", "club", "dancefloor")
FAMILY_FILE = re.compile(r"^(\d+)_([a-z][a-z0-9_]*)\.py$")


@dataclass(frozen=True)
class Family:
    pack: str
    key: str  # the file name without its order prefix, e.g. "lfo"
    source: Path
    patterns: tuple[Pattern, ...]


@dataclass(frozen=True)
class LoadedPack:
    facts: Pack
    families: tuple[Family, ...]

    @property
    def patterns(self) -> list[Pattern]:
        return [p for f in self.families for p in f.patterns]


def _load_module(path: Path, unique_name: str) -> ModuleType:
    found = importlib.util.spec_from_file_location(unique_name, path)
    if found is None or found.loader is None:
        raise CheckError(f"{path}: cannot be loaded")
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def family_files(pack_dir: Path) -> list[tuple[str, Path]]:
    """(family key, path) of every family module in a pack directory, in catalogue order."""
    found = []
    for path in pack_dir.iterdir():
        match = FAMILY_FILE.match(path.name)
        if match:
            found.append((int(match.group(1)), match.group(2), path))
    found.sort()
    keys = [key for _, key, _ in found]
    if len(set(keys)) != len(keys):
        raise CheckError(f"{pack_dir}: two family modules share a name")
    return [(key, path) for _, key, path in found]


def present_packs(packs_dir: Path) -> list[str]:
    return [key for key in PACK_ORDER if (packs_dir / key / "pack.py").is_file()]


def load_pack(packs_dir: Path, key: str) -> LoadedPack:
    pack_dir = packs_dir / key
    facts = _load_module(pack_dir / "pack.py", f"motiloom_pack_{key}").PACK
    if facts.key != key:
        raise CheckError(f"{pack_dir}/pack.py: PACK.key is {facts.key!r}, expected {key!r}")
    families = []
    for fam_key, path in family_files(pack_dir):
        module = _load_module(path, f"motiloom_pack_{key}_{fam_key}")
        patterns = tuple(getattr(module, "PATTERNS", ()))
        if not patterns:
            raise CheckError(f"{path}: defines no PATTERNS")
        families.append(Family(key, fam_key, path, patterns))
    return LoadedPack(facts, tuple(families))


def load_catalogue(packs_dir: Path) -> list[LoadedPack]:
    return [load_pack(packs_dir, key) for key in present_packs(packs_dir)]
