"""Command line of the table generator.

    python -m tablegen --packs DIR --out DIR     load, bake, check, then write the C++ sources
    python -m tablegen --packs DIR --list-outputs   print the files a run would write

Run with src/catalogue on PYTHONPATH: the family modules import the toolkit as tablegen.shapes.
Every table is checked before the first file is written, so a broken rule leaves the output
directory as it was; the build then fails with "tablegen: " and the rule's message.
"""

from __future__ import annotations

import argparse
import sys
import traceback
from collections.abc import Sequence
from pathlib import Path

from .bake import bake
from .checks import BakedRecord, check_catalogue
from .emit import discovered_outputs, name_index, render, write_outputs
from .load import LoadedPack, load_catalogue
from .model import CheckError


def bake_catalogue(packs: Sequence[LoadedPack]) -> list[BakedRecord]:
    """Every pattern of the packs, baked, in record order."""
    records = []
    for pack in packs:
        for family in pack.families:
            source = f"packs/{pack.facts.key}/{family.source.name}"
            for pattern in family.patterns:
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
                    ) from error
                records.append(BakedRecord(pack.facts.key, family.key, source, pattern, table))
    return records


def generate(packs_dir: Path, out_dir: Path) -> tuple[int, list[str], int]:
    """Loads, bakes, checks and writes; returns (tables, paths written, paths in all)."""
    if not packs_dir.is_dir():
        raise CheckError(f"{packs_dir}: not a directory of packs")
    packs = load_catalogue(packs_dir)
    if not packs:
        raise CheckError(f"{packs_dir}: holds no pack (a directory with a pack.py)")
    records = bake_catalogue(packs)
    index = name_index(records)
    check_catalogue([pack.facts for pack in packs], records, index)
    outputs = render(records, index)
    return len(records), write_outputs(out_dir, outputs), len(outputs)


def _arguments(argv: Sequence[str] | None) -> argparse.Namespace:
    parser = argparse.ArgumentParser(
        prog="tablegen", description="Bake, check and write motiloom's pattern tables as C++."
    )
    parser.add_argument("--packs", required=True, type=Path, help="directory holding packs/<pack>/")
    parser.add_argument("--out", type=Path, help="directory that receives the generated sources")
    parser.add_argument(
        "--list-outputs",
        action="store_true",
        help="print the paths of the generated files (relative to --out) and write nothing",
    )
    args = parser.parse_args(argv)
    if not args.list_outputs and args.out is None:
        parser.error("--out is required unless --list-outputs is given")
    return args


def main(argv: Sequence[str] | None = None) -> int:
    args = _arguments(argv)
    try:
        if args.list_outputs:
            if not args.packs.is_dir():
                raise CheckError(f"{args.packs}: not a directory of packs")
            sys.stdout.write("".join(f"{path}\n" for path in discovered_outputs(args.packs)))
            return 0
        tables, written, total = generate(args.packs, args.out)
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
    print(f"tablegen: {tables} tables checked; {len(written)} of {total} files rewritten")
    return 0


if __name__ == "__main__":
    sys.exit(main())
