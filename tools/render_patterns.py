#!/usr/bin/env python3
"""Render baked patterns to PNG images for looking at them.

Each pattern is drawn as two panels: its used components (x, y, z) against the pip, over two
loops so that the seam is visible in the middle, and its x-y path coloured from the start of the
loop (dark) to its end (light), with entry 0 marked. The title gives the name, period, axes,
the largest |component| per axis and the largest step between neighbouring pips.

    python3 tools/render_patterns.py initial/*            # every pattern of the initial pack
    python3 tools/render_patterns.py expansion/path 'lfo_*' rhythm_group_223
    python3 tools/render_patterns.py --sheet all.png initial/* expansion/*

A selector is a pattern name or a glob over names, or PACK/FAMILY where FAMILY is a glob over
the pack's family keys (lfo, rhythm, ...) or * for the whole pack. Needs matplotlib, a dev-only
dependency; the generator itself does not use it.
"""

from __future__ import annotations

import argparse
import fnmatch
import math
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(REPO / "src" / "catalogue"))

from tablegen.bake import bake  # noqa: E402
from tablegen.load import load_catalogue  # noqa: E402
from tablegen.model import CheckError, Pattern  # noqa: E402

AXIS_COLOURS = ("tab:red", "tab:green", "tab:blue")


def select(packs_dir: Path, selectors: list[str]) -> list[tuple[str, Pattern]]:
    """(pack key, pattern) for every pattern a selector names, in catalogue order, once each."""
    catalogue = load_catalogue(packs_dir)
    chosen: list[tuple[str, Pattern]] = []
    seen: set[str] = set()
    for selector in selectors:
        matched = False
        for loaded in catalogue:
            for family in loaded.families:
                for pattern in family.patterns:
                    if "/" in selector:
                        pack_glob, family_glob = selector.split("/", 1)
                        hit = fnmatch.fnmatchcase(loaded.facts.key, pack_glob) and (
                            fnmatch.fnmatchcase(family.key, family_glob or "*")
                        )
                    else:
                        hit = fnmatch.fnmatchcase(pattern.name, selector)
                    if hit:
                        matched = True
                        if pattern.name not in seen:
                            seen.add(pattern.name)
                            chosen.append((loaded.facts.key, pattern))
        if not matched:
            raise SystemExit(f"render_patterns: nothing matches {selector!r}")
    return chosen


def summary(pattern: Pattern, table) -> str:
    peaks = " / ".join(f"{max(abs(e[a]) for e in table):.4g}" for a in range(pattern.axes))
    steps = [math.dist(table[k], table[(k + 1) % len(table)]) for k in range(len(table))]
    worst = max(range(len(steps)), key=steps.__getitem__)
    return (
        f"{pattern.name}  P={pattern.period} axes={pattern.axes}  peak {peaks}  "
        f"step {steps[worst]:.4f} @ {worst}"
    )


def draw(fig, cell, pattern: Pattern, table, compact: bool = False) -> None:
    """Draw one pattern into a 1x2 region `cell` of a figure's layout grid."""
    inner = cell.subgridspec(1, 2, width_ratios=(2.2, 1.0), wspace=0.18)
    timeline = fig.add_subplot(inner[0])
    path = fig.add_subplot(inner[1])
    period = len(table)
    pips = list(range(-period // 2, period + period // 2))
    for axis in range(pattern.axes):
        values = [table[k % period][axis] for k in pips]
        timeline.plot(pips, values, color=AXIS_COLOURS[axis], lw=1.0, label="xyz"[axis])
    timeline.axvspan(0, period - 1, color="0.93", zorder=0)
    timeline.axhline(0.0, color="0.6", lw=0.5)
    timeline.set_xlim(pips[0], pips[-1])
    timeline.set_ylim(-1.05, 1.05)
    timeline.set_xticks(list(range(0, period + 1, 64 if period <= 512 else 128)))
    timeline.tick_params(labelsize=6)
    timeline.grid(True, axis="x", lw=0.3)
    timeline.legend(loc="upper right", fontsize=6, ncol=3, frameon=False)
    timeline.set_title(summary(pattern, table), fontsize=7 if compact else 9, loc="left")

    xs = [e[0] for e in table] + [table[0][0]]
    ys = [e[1] for e in table] + [table[0][1]]
    from matplotlib import colormaps

    cmap = colormaps["viridis"]
    for k in range(period):
        path.plot(xs[k : k + 2], ys[k : k + 2], color=cmap(k / period), lw=1.2)
    path.scatter(xs[:-1], ys[:-1], s=1.5, color="k", zorder=3)
    path.scatter([xs[0]], [ys[0]], s=24, facecolors="none", edgecolors="red", zorder=4)
    path.set_xlim(-1.05, 1.05)
    path.set_ylim(-1.05, 1.05)
    path.set_aspect("equal")
    path.axhline(0.0, color="0.8", lw=0.5)
    path.axvline(0.0, color="0.8", lw=0.5)
    path.tick_params(labelsize=6)
    path.set_title("x-y path (start circled)", fontsize=7)


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("selectors", nargs="+", help="pattern names, name globs or PACK/FAMILY")
    parser.add_argument("--packs", type=Path, default=REPO / "src" / "catalogue" / "packs")
    parser.add_argument(
        "--out",
        type=Path,
        default=REPO / "renders",
        help="directory for one PNG per pattern (default: renders/ in the repository)",
    )
    parser.add_argument("--sheet", type=Path, help="write one contact sheet PNG instead")
    args = parser.parse_args(argv)

    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    chosen = select(args.packs, args.selectors)
    baked = []
    for _, pattern in chosen:
        try:
            baked.append((pattern, bake(pattern)))
        except CheckError as error:
            print(f"render_patterns: {pattern.name}: {error}", file=sys.stderr)
            return 1

    if args.sheet:
        fig = plt.figure(figsize=(12, 2.4 * len(baked)))
        grid = fig.add_gridspec(len(baked), 1, hspace=0.55)
        for row, (pattern, table) in enumerate(baked):
            draw(fig, grid[row], pattern, table, compact=True)
        args.sheet.parent.mkdir(parents=True, exist_ok=True)
        fig.savefig(args.sheet, dpi=80, bbox_inches="tight")
        plt.close(fig)
        print(args.sheet)
        return 0

    args.out.mkdir(parents=True, exist_ok=True)
    for pattern, table in baked:
        fig = plt.figure(figsize=(12, 3.6))
        draw(fig, fig.add_gridspec(1, 1)[0], pattern, table)
        target = args.out / f"{pattern.name}.png"
        fig.savefig(target, dpi=90, bbox_inches="tight")
        plt.close(fig)
        print(target)
    return 0


if __name__ == "__main__":
    sys.exit(main())
