"""Command line of the table generator.

    python -m tablegen --packs DIR --out DIR [--cache DIR] [--jobs N]
        load, bake, check, then write the C++ sources
    python -m tablegen --packs DIR --list-outputs
        print the files a run would write (imports the family modules; bakes nothing)

src/catalogue is the generator's import root (the family modules import the toolkit as
tablegen.shapes): the build gives it to the generator's interpreter, and pyproject.toml declares it
for the tests and the development environment.
Every table is checked before the first file is written, so a broken rule leaves the output
directory as it was; the build then fails with "tablegen: " and the rule's message.
"""

from __future__ import annotations

import argparse
import os
import sys
import traceback
from collections.abc import Sequence
from dataclasses import dataclass, replace
from pathlib import Path

from .build import bake_catalogue
from .checks import check_summaries
from .emit import (
    Shard,
    discovered_outputs,
    name_index,
    render_fixed,
    shards,
    write_outputs,
    write_shards,
)
from .load import load_totals
from .model import CheckError


@dataclass(frozen=True)
class Run:
    tables: int
    baked_families: int
    families: int
    written: list[str]
    outputs: int


def default_jobs() -> int:
    return max(1, len(os.sched_getaffinity(0)))


def generate(packs_dir: Path, out_dir: Path, cache_dir: Path | None = None, jobs: int = 1) -> Run:
    """Loads, bakes (what the cache lacks), checks and writes what changed."""
    if not packs_dir.is_dir():
        raise CheckError(f"{packs_dir}: not a directory of packs")
    packs, bakes, cache = bake_catalogue(packs_dir, cache_dir, jobs)
    if not packs:
        raise CheckError(f"{packs_dir}: holds no pack (a directory with a pack.py)")
    records = [record for item in bakes for record in item.records()]
    summaries = [summary for item in bakes for summary in item.summaries]
    index = name_index(records)
    families = {(item.pack, item.key): item for item in bakes}
    check_summaries(packs, summaries, index, load_totals(packs_dir), _table_finder(bakes, cache))

    all_shards = shards(records, {key: item.cache_key for key, item in families.items()})

    def with_tables(shard: Shard) -> Shard:
        item = families[(shard.pack, shard.family)]
        if item.tables is None:
            assert cache is not None  # only cached families come without tables
            item.tables = cache.load_tables(item)
        return replace(shard, records=item.records()[shard.run.start : shard.run.stop])

    fixed = render_fixed(records, index)
    written = write_outputs(out_dir, fixed) + write_shards(out_dir, all_shards, with_tables)
    baked = sum(1 for item in bakes if item.patterns and item.patterns[0].curve is not None)
    return Run(len(records), baked, len(bakes), written, len(fixed) + len(all_shards))


def _table_finder(bakes, cache):
    """A table by name, read from the cache (once per family) when it was not baked in this run."""
    where = {p.name: (item, n) for item in bakes for n, p in enumerate(item.patterns)}

    def table_of(name: str):
        item, n = where[name]
        if item.tables is None:
            assert cache is not None  # only cached families come without tables
            item.tables = cache.load_tables(item)
        return item.tables[n]

    return table_of


def _arguments(argv: Sequence[str] | None) -> argparse.Namespace:
    parser = argparse.ArgumentParser(
        prog="tablegen", description="Bake, check and write motiloom's pattern tables as C++."
    )
    parser.add_argument("--packs", required=True, type=Path, help="directory holding packs/<pack>/")
    parser.add_argument("--out", type=Path, help="directory that receives the generated sources")
    parser.add_argument(
        "--cache",
        type=Path,
        help="directory of baked families kept between runs (default: none, bake everything)",
    )
    parser.add_argument(
        "--jobs", type=int, default=default_jobs(), help="worker processes (default: every core)"
    )
    parser.add_argument(
        "--list-outputs",
        action="store_true",
        help="print the paths of the generated files (relative to --out) and write nothing",
    )
    args = parser.parse_args(argv)
    if not args.list_outputs and args.out is None:
        parser.error("--out is required unless --list-outputs is given")
    if args.jobs < 1:
        parser.error("--jobs must be at least 1")
    return args


def main(argv: Sequence[str] | None = None) -> int:
    args = _arguments(argv)
    try:
        if args.list_outputs:
            if not args.packs.is_dir():
                raise CheckError(f"{args.packs}: not a directory of packs")
            sys.stdout.write("".join(f"{path}\n" for path in discovered_outputs(args.packs)))
            return 0
        run = generate(args.packs, args.out, args.cache, args.jobs)
    except CheckError as error:
        print(f"tablegen: {error}", file=sys.stderr)
        return 1
    except OSError as error:
        print(f"tablegen: {error}", file=sys.stderr)
        return 1
    except Exception as error:  # a fault while loading an authoring module: show where it is
        traceback.print_exc()
        print(f"tablegen: {type(error).__name__}: {error}", file=sys.stderr)
        return 1
    print(
        f"tablegen: {run.tables} tables checked; {run.baked_families} of {run.families} families "
        f"baked; {len(run.written)} of {run.outputs} files rewritten"
    )
    return 0


if __name__ == "__main__":
    sys.exit(main())
