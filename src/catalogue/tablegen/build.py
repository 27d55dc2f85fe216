"""Bakes and checks the catalogue family by family: in parallel, and cached by content.

A family's cache key is a hash of everything its tables can depend on: its own module, its pack's
declaration, the shared authoring data beside the packs (packs/beatgrid/, packs/catalogue.py), the
generator itself (which declares the procedural rudiments). A family whose key is in the cache is
neither imported nor baked: its record fields, its checked summaries and (only when a shard must be
written again) its tables come from the cache. So editing one family re-bakes that family alone,
and a second build of the same sources bakes nothing.

Families to bake are cut into chunks of about CHUNK_ENTRIES entries and baked by a pool of worker
processes, each running the per-table rules (including every stated fact) on its own tables. The
pack, catalogue and total rules then run on the summaries in one place.
"""

from __future__ import annotations

import hashlib
import multiprocessing
import os
import pickle
import sys
import tempfile
from array import array
from collections.abc import Sequence
from concurrent.futures import ProcessPoolExecutor
from dataclasses import dataclass, field
from itertools import chain
from pathlib import Path

from .bake import bake
from .checks import BakedRecord, Summary, check_records
from .load import Family, family_files, load_family, load_pack_facts, present_packs, shared_sources
from .model import CheckError, Pack, Pattern, Table

GENERATOR_DIR = Path(__file__).resolve().parent
CHUNK_ENTRIES = 32768  # about 64 tables of 512 entries: small enough to spread over the workers
CACHE_FORMAT = "tablegen-cache-2"


def _digest_files(paths: Sequence[Path], root: Path) -> str:
    h = hashlib.sha256()
    for path in paths:
        h.update(str(path.relative_to(root)).encode() + b"\0")
        h.update(path.read_bytes() + b"\0")
    return h.hexdigest()


def common_key(packs_dir: Path) -> str:
    """The hash of what every family depends on: the generator (with the procedural names it
    declares) and the shared authoring data."""
    generator = _digest_files(sorted(GENERATOR_DIR.glob("*.py")), GENERATOR_DIR)
    shared = _digest_files(shared_sources(packs_dir), packs_dir)
    version = f"{CACHE_FORMAT}/{sys.version_info.major}.{sys.version_info.minor}"
    return hashlib.sha256(f"{version}/{generator}/{shared}".encode()).hexdigest()


@dataclass
class FamilyBake:
    """One family's checked tables, or where to find them in the cache."""

    pack: str
    key: str  # family key
    source: Path
    cache_key: str
    patterns: list[Pattern] = field(default_factory=list)  # curves are None when cached
    summaries: list[Summary] = field(default_factory=list)
    tables: list[Table] | None = None  # None until needed, when cached

    @property
    def label(self) -> str:
        return f"packs/{self.pack}/{self.source.name}"

    def records(self) -> list[BakedRecord]:
        tables = self.tables if self.tables is not None else [None] * len(self.patterns)
        return [
            BakedRecord(self.pack, self.key, self.label, pattern, table)  # type: ignore[arg-type]
            for pattern, table in zip(self.patterns, tables, strict=True)
        ]


# --- the cache ---------------------------------------------------------------------------------


class Cache:
    """One file per family and key: first the record fields and summaries, then the tables, so that
    checking reads the small part alone."""

    def __init__(self, folder: Path) -> None:
        self.folder = folder

    def _path(self, pack: str, family: str, key: str) -> Path:
        return self.folder / f"{pack}.{family}.{key[:32]}.pickle"

    def load_head(self, bake_: FamilyBake) -> bool:
        try:
            with open(self._path(bake_.pack, bake_.key, bake_.cache_key), "rb") as stream:
                fields, bake_.summaries = pickle.load(stream)
        except (OSError, EOFError, pickle.UnpicklingError, ValueError):
            return False
        bake_.patterns = [
            Pattern(name, text, period, axes, None, family=family)  # type: ignore[arg-type]
            for name, text, period, axes, family in fields
        ]
        return True

    def load_tables(self, bake_: FamilyBake) -> list[Table]:
        with open(self._path(bake_.pack, bake_.key, bake_.cache_key), "rb") as stream:
            pickle.load(stream)
            flat_tables = pickle.load(stream)
        return [_unflatten(values) for values in flat_tables]

    def store(self, bake_: FamilyBake) -> None:
        """Writes the entry in one step and drops the family's older entries."""
        assert bake_.tables is not None
        self.folder.mkdir(parents=True, exist_ok=True)
        fields = [(p.name, p.description, p.period, p.axes, p.family) for p in bake_.patterns]
        target = self._path(bake_.pack, bake_.key, bake_.cache_key)
        handle, temporary = tempfile.mkstemp(dir=self.folder, prefix=".entry.", suffix=".tmp")
        try:
            with os.fdopen(handle, "wb") as stream:
                pickle.dump((fields, bake_.summaries), stream, protocol=pickle.HIGHEST_PROTOCOL)
                flat = [array("d", chain.from_iterable(t)) for t in bake_.tables]
                pickle.dump(flat, stream, protocol=pickle.HIGHEST_PROTOCOL)
            os.replace(temporary, target)
        except BaseException:
            Path(temporary).unlink(missing_ok=True)
            raise
        for old in self.folder.glob(f"{bake_.pack}.{bake_.key}.*.pickle"):
            if old != target:
                old.unlink(missing_ok=True)


def _unflatten(values: array) -> Table:
    it = iter(values)
    return list(zip(it, it, it, strict=True))


# --- baking in workers ---------------------------------------------------------------------------

# Set in the parent before the pool forks, so that workers find the imported families without
# importing them again or pickling curves.
_LOADED: dict[tuple[str, str], tuple[Pack, Family]] = {}


def _bake_chunk(pack_key: str, family_key: str, start: int, stop: int):
    pack, family = _LOADED[(pack_key, family_key)]
    label = f"packs/{pack_key}/{family.source.name}"
    records = []
    for pattern in family.patterns[start:stop]:
        try:
            table = bake(pattern)
        except CheckError as error:
            message = str(error)
            if not message.startswith(str(pattern.name)):
                message = f"{pattern.name}: bake: {message}"
            raise CheckError(message) from None
        except Exception as error:  # an authoring fault in a curve
            raise CheckError(
                f"{pattern.name}: bake: the curve raised {type(error).__name__}: {error}"
            ) from None
        records.append(BakedRecord(pack_key, family_key, label, pattern, table))
    summaries = check_records(pack, records)
    return summaries, [array("d", chain.from_iterable(r.table)) for r in records]


def _chunks(family: Family) -> list[tuple[int, int]]:
    cuts, start, entries = [], 0, 0
    for i, pattern in enumerate(family.patterns):
        if entries and entries + pattern.period > CHUNK_ENTRIES:
            cuts.append((start, i))
            start, entries = i, 0
        entries += pattern.period
    cuts.append((start, len(family.patterns)))
    return cuts


def bake_families(todo: Sequence[FamilyBake], packs: dict[str, Pack], packs_dir: Path, jobs: int):
    """Imports, bakes and checks the families that the cache did not hold."""
    _LOADED.clear()
    work = []
    for item in todo:
        family = load_family(packs_dir, item.pack, item.key, item.source)
        _LOADED[(item.pack, item.key)] = (packs[item.pack], family)
        item.patterns = list(family.patterns)
        work += [(item, start, stop) for start, stop in _chunks(family)]
    if not work:
        return
    results: dict[int, tuple[list[Summary], list[array]]] = {}
    if jobs <= 1 or len(work) == 1:
        for n, (item, start, stop) in enumerate(work):
            results[n] = _bake_chunk(item.pack, item.key, start, stop)
    else:
        context = multiprocessing.get_context("fork")
        with ProcessPoolExecutor(min(jobs, len(work)), mp_context=context) as pool:
            futures = {
                n: pool.submit(_bake_chunk, item.pack, item.key, start, stop)
                for n, (item, start, stop) in enumerate(work)
            }
            for n in sorted(futures):  # the first broken table in record order is reported
                results[n] = futures[n].result()
    for item in todo:
        item.summaries, item.tables = [], []
    for n, (item, _, _) in enumerate(work):
        summaries, flats = results[n]
        item.summaries += summaries
        item.tables += [_unflatten(values) for values in flats]
    _LOADED.clear()


def bake_catalogue(packs_dir: Path, cache_dir: Path | None, jobs: int):
    """(pack declarations, family bakes in record order), every table checked on its own."""
    keys = present_packs(packs_dir)
    packs = {key: load_pack_facts(packs_dir, key) for key in keys}
    common = common_key(packs_dir)
    cache = Cache(cache_dir) if cache_dir is not None else None
    bakes, todo = [], []
    for pack in keys:
        pack_file = (packs_dir / pack / "pack.py").read_bytes()
        for family_key, path in family_files(packs_dir / pack):
            h = hashlib.sha256(f"{common}/{pack}/{family_key}/".encode())
            h.update(pack_file + b"\0" + path.read_bytes())
            item = FamilyBake(pack, family_key, path, h.hexdigest())
            bakes.append(item)
            if cache is None or not cache.load_head(item):
                todo.append(item)
    bake_families(todo, packs, packs_dir, jobs)
    if cache is not None:
        for item in todo:
            cache.store(item)
    return [packs[key] for key in keys], bakes, cache
