#!/usr/bin/env python3
"""Count, per beat-grid motion, the pairs of styles whose tables nearly copy one another.

Two tables of one motion are compared over their common length (each repeated as its loop
repeats), the way the generator's distinct-tables rule compares them, with the same function:
a pair counts when every component lies closer than the threshold at every pip, and for the x-y
column when x and y alone do. The generator refuses any pair closer than 0.05 in every component
and, for motions whose main axes include x or y, any pair closer than 0.02 in x and y.

    .venv/bin/python tools/near_duplicates.py                 # the built module
    .venv/bin/python tools/near_duplicates.py --pairs         # and name every pair found
    .venv/bin/python tools/near_duplicates.py --packs src/catalogue/packs   # baked from source
"""

from __future__ import annotations

import argparse
import sys
from collections import namedtuple
from pathlib import Path

from beatgrid.motions import MOTIONS
from beatgrid.scores import STYLES
from tablegen.checks import EVERY_AXIS, PLANAR, near_copies

REPO = Path(__file__).resolve().parent.parent
PACKS_DIR = REPO / "src" / "catalogue" / "packs"

Member = namedtuple("Member", "name lows highs")
APART, LOOSE, PLANAR_APART = 0.05, 0.10, 0.02


def built_tables(names: list[str]) -> dict[str, list]:
    import motiloom

    periods = {e["name"]: e["period_pips"] for e in motiloom.catalogue()}
    return {n: [motiloom.sample(n, k).as_tuple() for k in range(periods[n])] for n in names}


def baked_tables(packs_dir: Path, names: list[str]) -> dict[str, list]:
    from tablegen.bake import bake
    from tablegen.load import family_files, load_family

    wanted, tables = set(names), {}
    for pack in ("club", "dancefloor"):
        for key, path in family_files(packs_dir / pack):
            for pattern in load_family(packs_dir, pack, key, path).patterns:
                if pattern.name in wanted:
                    tables[pattern.name] = bake(pattern)
    return tables


def member(name: str, table: list) -> Member:
    columns = list(zip(*table, strict=True))
    return Member(name, tuple(map(min, columns)), tuple(map(max, columns)))


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--packs", type=Path, help="bake from these authoring modules instead")
    parser.add_argument("--pairs", action="store_true", help="name every pair that is counted")
    args = parser.parse_args(argv)

    names = [f"beat_{s.key}_{m.key}" for m in MOTIONS for s in STYLES]
    tables = baked_tables(args.packs, names) if args.packs else built_tables(names)
    print(
        f"{'motion':10} {'main':>4} {'< ' + str(APART):>8} {'< ' + str(LOOSE):>8} "
        f"{'x-y < ' + str(PLANAR_APART):>11}"
    )
    totals = [0, 0, 0]
    for motion in MOTIONS:
        members = [member(n, tables[n]) for n in names if n.endswith(f"_{motion.key}")]
        close = near_copies(members, tables.__getitem__, APART, EVERY_AXIS)
        loose = near_copies(members, tables.__getitem__, LOOSE, EVERY_AXIS)
        flat = near_copies(members, tables.__getitem__, PLANAR_APART, PLANAR)
        checked = "xy" if set(motion.main_axes) & set("xy") else "-"
        print(f"{motion.key:10} {checked:>4} {len(close):8} {len(loose):8} {len(flat):11}")
        totals = [totals[0] + len(close), totals[1] + len(loose), totals[2] + len(flat)]
        if args.pairs:
            for label, found in (("all axes", close), ("x-y", flat)):
                for a, b, gap in found:
                    print(f"    {label:8} {a} ~ {b} ({gap:.4f})")
    print(f"{'total':10} {'':>4} {totals[0]:8} {totals[1]:8} {totals[2]:11}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
