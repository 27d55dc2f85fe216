"""Finds the packs and their family modules under a packs directory, in catalogue order.

A pack is a directory packs/<key>/ holding pack.py (which defines PACK, a model.Pack) and one
module per family named NN_<family>.py (which defines PATTERNS, a list of model.Pattern in record
order). Families are taken in the order of their NN prefix and packs in the order their PACK
declares, so a new family or pack is found where it stands, with nothing listed elsewhere.

Everything else under the packs directory is shared authoring data: packs/catalogue.py states the
totals of the complete catalogue, and a package such as packs/beatgrid/ serves the families of
more than one pack. The packs directory is put on the import path, so a family module reads it as
`from beatgrid import ...`.
"""

from __future__ import annotations

import importlib.util
import re
import sys
from dataclasses import dataclass
from pathlib import Path
from types import ModuleType

from .model import CheckError, Pack, Pattern, Totals

FAMILY_FILE = re.compile(r"^(\d+)_([a-z][a-z0-9_]*)\.py$")
PACK_KEY = re.compile(r"^[a-z][a-z0-9_]*$")
PACK_FILE = "pack.py"
CATALOGUE_FILE = "catalogue.py"


@dataclass(frozen=True)
class Family:
    key: str  # the file name without its order prefix, e.g. "lfo"
    source: Path
    patterns: tuple[Pattern, ...]


@dataclass(frozen=True)
class LoadedPack:
    facts: Pack
    families: tuple[Family, ...]


def _load_module(path: Path, unique_name: str) -> ModuleType:
    found = importlib.util.spec_from_file_location(unique_name, path)
    if found is None or found.loader is None:
        raise CheckError(f"{path}: cannot be loaded")
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def on_import_path(packs_dir: Path) -> None:
    """Lets family modules import the shared authoring packages that sit beside the packs."""
    folder = str(packs_dir.resolve())
    if folder not in sys.path:
        sys.path.insert(0, folder)


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
    """The keys of the packs under packs_dir (the directories holding a pack.py), in the order
    their declarations state."""
    keys = sorted(
        path.parent.name
        for path in packs_dir.glob(f"*/{PACK_FILE}")
        if PACK_KEY.match(path.parent.name)
    )
    ordered: dict[int, str] = {}
    for key in keys:
        order = load_pack_facts(packs_dir, key).order
        if not isinstance(order, int) or isinstance(order, bool):
            raise CheckError(
                f"{packs_dir / key / PACK_FILE}: PACK.order must be an int, not {order!r}"
            )
        if order in ordered:
            raise CheckError(f"packs {ordered[order]!r} and {key!r} both declare order {order}")
        ordered[order] = key
    return [ordered[order] for order in sorted(ordered)]


def shared_sources(packs_dir: Path) -> list[Path]:
    """Every Python file under packs_dir that belongs to no pack, sorted: the data that families
    of several packs read, and the catalogue's totals."""
    packs = {path.parent for path in packs_dir.glob(f"*/{PACK_FILE}")}
    return sorted(
        path
        for path in packs_dir.rglob("*.py")
        if not any(parent in packs for parent in path.parents) and "__pycache__" not in path.parts
    )


def load_pack_facts(packs_dir: Path, key: str) -> Pack:
    path = packs_dir / key / PACK_FILE
    facts = _load_module(path, f"motiloom_pack_{key}").PACK
    if facts.key != key:
        raise CheckError(f"{path}: PACK.key is {facts.key!r}, expected {key!r}")
    return facts


def load_family(packs_dir: Path, pack: str, key: str, path: Path) -> Family:
    on_import_path(packs_dir)
    module = _load_module(path, f"motiloom_pack_{pack}_{key}")
    patterns = tuple(getattr(module, "PATTERNS", ()))
    if not patterns:
        raise CheckError(f"{path}: defines no PATTERNS")
    return Family(key, path, patterns)


def load_pack(packs_dir: Path, key: str) -> LoadedPack:
    families = tuple(
        load_family(packs_dir, key, fam_key, path)
        for fam_key, path in family_files(packs_dir / key)
    )
    return LoadedPack(load_pack_facts(packs_dir, key), families)


def load_catalogue(packs_dir: Path) -> list[LoadedPack]:
    return [load_pack(packs_dir, key) for key in present_packs(packs_dir)]


def load_totals(packs_dir: Path) -> Totals | None:
    """The stated totals of the complete catalogue, when packs_dir declares them."""
    path = packs_dir / CATALOGUE_FILE
    if not path.is_file():
        return None
    on_import_path(packs_dir)
    return _load_module(path, "motiloom_catalogue_totals").TOTALS
