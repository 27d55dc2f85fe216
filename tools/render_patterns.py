#!/usr/bin/env python3
"""Render the tables of the built motiloom module to PNG images for looking at them.

Each pattern is one row of panels, all sampled from the built module (what it emits, not how
it was authored):

  components  x / y / z against the pip over two loops; the shaded span is one loop, the red
              lines are the seams (the loop start at 0 and the wrap at P)
  x-y, x-z    the path as a line coloured by time (dark = entry 0, light = the end of the
              loop), entry 0 circled, an arrow for the direction; x-z only for three axes
  step        the distance between neighbouring entries over one loop; the seam step
              (P-1 -> 0) in red, the largest inner step as a dashed line

The row title gives name, period, axes, peak |component| per axis, the largest step and the
ratio of the seam step to the largest inner step (near 1 or below is smooth; far above is a
jolt at the seam).

    .venv/bin/python tools/render_patterns.py 'lfo_*' rhythm_group_223    # one PNG each, renders/
    .venv/bin/python tools/render_patterns.py --out /tmp/r circle 'path_*'
    .venv/bin/python tools/render_patterns.py --sheet /tmp/lfo.png 'lfo_*'  # lfo-1.png, lfo-2.png

    .venv/bin/python tools/render_patterns.py --packs src/catalogue/packs --sheet w.png 'wave_*'

A selector is a pattern name or a glob over names. With --packs the tables are baked from the
authoring modules in this process instead (for a family that is not built yet); the final review
of a pack samples the built module. Needs matplotlib (a dev-only dependency).
"""

from __future__ import annotations

import argparse
import fnmatch
import itertools
import math
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
ROWS_PER_PAGE = 8
AXIS_COLOURS = ("tab:red", "tab:green", "tab:blue")
SEAM = "crimson"


class Authoring:
    """The catalogue and sampling of the built module, baked from the authoring modules."""

    def __init__(self, packs_dir: Path) -> None:
        from tablegen.bake import bake
        from tablegen.load import family_files, load_family, present_packs

        self._bake = bake
        self._patterns = {}
        for pack in present_packs(packs_dir):
            for key, path in family_files(packs_dir / pack):
                try:  # a family being edited elsewhere must not stop the others from rendering
                    family = load_family(packs_dir, pack, key, path)
                except Exception as error:
                    print(f"render_patterns: skipped {path.name}: {error}", file=sys.stderr)
                    continue
                self._patterns.update((p.name, p) for p in family.patterns)
        self._tables: dict[str, list] = {}

    def catalogue(self) -> list[dict]:
        return [
            {"name": p.name, "period_pips": p.period, "dimensions": p.axes}
            for p in self._patterns.values()
        ]

    def sample(self, name: str, pip: int):
        if name not in self._tables:
            self._tables[name] = self._bake(self._patterns[name])
        table = self._tables[name]
        return _Position(table[pip % len(table)])


class _Position(tuple):
    def as_tuple(self):
        return tuple(self)


motiloom = None  # the source of tables: the built module, or Authoring with --packs


def select(selectors: list[str]) -> list[dict]:
    """Catalogue entries named by the selectors, in catalogue order, once each."""
    catalogue = motiloom.catalogue()
    chosen: dict[str, dict] = {}
    for selector in selectors:
        hits = [e for e in catalogue if fnmatch.fnmatchcase(e["name"], selector)]
        if not hits:
            raise SystemExit(f"render_patterns: nothing matches {selector!r}")
        chosen.update((e["name"], e) for e in hits)
    return [e for e in catalogue if e["name"] in chosen]


def pages(items: list, size: int = ROWS_PER_PAGE) -> list[list]:
    return [items[k : k + size] for k in range(0, len(items), size)]


def sample(name: str, pips) -> list[tuple[float, float, float]]:
    return [motiloom.sample(name, k).as_tuple() for k in pips]


def title(entry: dict, table, steps: list[float]) -> str:
    axes = entry["dimensions"]
    period = entry["period_pips"]
    peaks = " ".join(f"{'xyz'[a]} {max(abs(e[a]) for e in table):.3f}" for a in range(axes))
    worst = max(range(period), key=steps.__getitem__)
    inner = max(steps[:-1], default=0.0)
    ratio = f"{steps[-1] / inner:.2f}" if inner > 0 else "n/a"
    text = (
        f"{entry['name']}   P={period} ({period / 64:g} beats)   axes={axes}   peak {peaks}   "
        f"max step {steps[worst]:.4f} @ {worst}   seam/max inner {ratio}"
    )
    if any(e[a] != 0.0 for e in table for a in range(axes, 3)):
        text += "   UNUSED AXIS NONZERO"
    return text


def draw_path(ax, table, steps, a: int, b: int) -> None:
    from matplotlib import colormaps
    from matplotlib.collections import LineCollection

    period = len(table)
    points = [(e[a], e[b]) for e in table]
    segments = [(points[k], points[k + 1]) for k in range(period - 1)]
    lines = LineCollection(segments, cmap=colormaps["viridis"], linewidths=1.4)
    lines.set_array([k / period for k in range(period - 1)])
    lines.set_clim(0.0, 1.0)
    ax.add_collection(lines)
    ax.plot(*zip(points[-1], points[0], strict=True), color=SEAM, lw=1.0, ls="--")  # seam
    ax.plot(*points[0], "o", ms=7, mfc="none", mec=SEAM, mew=1.4, zorder=4)
    # Direction: an arrow a quarter of the way along (by arc length), clear of entry 0.
    run = list(itertools.accumulate(steps))
    if run[-1] > 0:
        k = next(i for i, r in enumerate(run) if r >= run[-1] / 4)
        while k < period - 2 and math.dist(points[k], points[0]) < 0.25:
            k += 1
        far = (i for i in range(k + 1, period) if math.dist(points[i], points[k]) >= 0.12)
        j = next(far, period - 1)
        arrow = {"arrowstyle": "-|>", "color": "black", "lw": 1.2, "mutation_scale": 12}
        ax.annotate("", xy=points[j], xytext=points[k], arrowprops=arrow, zorder=5)
    ax.set_xlim(-1.08, 1.08)
    ax.set_ylim(-1.08, 1.08)
    ax.set_aspect("equal")
    ax.axhline(0.0, color="0.85", lw=0.5, zorder=0)
    ax.axvline(0.0, color="0.85", lw=0.5, zorder=0)
    ax.set_xticks([-1, 0, 1])
    ax.set_yticks([-1, 0, 1])
    ax.tick_params(labelsize=7, pad=1)
    ax.set_title(f"{'xyz'[a]}-{'xyz'[b]} path", fontsize=8, pad=2)


def draw(fig, entry: dict) -> None:
    """Draw one pattern as a row of panels (x-z only for three axes) into a (sub)figure."""
    from matplotlib.ticker import MultipleLocator

    name, period, axes = entry["name"], entry["period_pips"], entry["dimensions"]
    table = sample(name, range(period))
    steps = [math.dist(table[k], table[(k + 1) % period]) for k in range(period)]
    fig.suptitle(title(entry, table, steps), x=0.005, y=0.99, ha="left", fontsize=10)
    # Columns keep their place from row to row; without a z axis the step panel takes x-z's room.
    widths = (3.4, 1, 1, 2.4) if axes == 3 else (3.4, 1, 3.55)
    timeline, xy, *xz, step = fig.subplots(1, len(widths), width_ratios=widths)
    fig.subplots_adjust(left=0.03, right=0.985, bottom=0.12, top=0.82, wspace=0.16)

    ticks = 16 if period <= 128 else 64 * max(1, period // 256)
    pips = range(-period // 2, period + period // 2 + 1)
    values = sample(name, pips)  # straight from the module, so its wrapping is shown too
    for a in range(axes):
        timeline.plot(pips, [v[a] for v in values], color=AXIS_COLOURS[a], lw=1.0, label="xyz"[a])
    timeline.axvspan(0, period, color="0.93", zorder=0)
    for seam in (0, period):
        timeline.axvline(seam, color=SEAM, lw=0.9, zorder=1)
    timeline.axhline(0.0, color="0.6", lw=0.5)
    timeline.set_xlim(pips[0], pips[-1])
    timeline.set_ylim(-1.08, 1.08)
    timeline.xaxis.set_major_locator(MultipleLocator(ticks))
    timeline.tick_params(labelsize=7, pad=1)
    timeline.grid(True, axis="x", lw=0.3)
    timeline.legend(loc="upper left", fontsize=7, ncol=3, frameon=False, handlelength=1.2)
    timeline.set_title("components over two loops (seams in red)", fontsize=8, pad=2)

    draw_path(xy, table, steps, 0, 1)
    if xz:
        draw_path(xz[0], table, steps, 0, 2)

    inner = max(steps[:-1], default=0.0)
    step.plot(range(period), steps, color="0.25", lw=0.9, zorder=3)
    step.axhline(inner, color="tab:blue", lw=1.0, ls=(0, (4, 3)), label=f"max inner {inner:.4f}")
    seam = f"seam {steps[-1]:.4f}"
    step.plot([period - 1], [steps[-1]], "o", color=SEAM, ms=5, zorder=4, label=seam)
    step.set_xlim(0, period)
    step.set_ylim(0, max(max(steps), 1e-3) * 1.25)
    step.xaxis.set_major_locator(MultipleLocator(ticks))
    step.tick_params(labelsize=7, pad=1)
    step.grid(True, axis="x", lw=0.3)
    step.legend(loc="upper left", fontsize=7, ncol=2, frameon=False, handlelength=1.2)
    step.set_title("step per pip (k -> k+1)", fontsize=8, pad=2)


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("selectors", nargs="+", help="pattern names or globs over names")
    where = parser.add_mutually_exclusive_group()
    where.add_argument("--out", type=Path, default=REPO / "renders", help="one PNG per pattern")
    where.add_argument("--sheet", type=Path, help=f"pages of {ROWS_PER_PAGE}: NAME-1.png, ...")
    parser.add_argument("--packs", type=Path, help="bake from these authoring modules instead")
    args = parser.parse_args(argv)

    global motiloom
    if args.packs:
        motiloom = Authoring(args.packs)
    else:
        import motiloom as built

        motiloom = built

    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    chosen = select(args.selectors)
    if args.sheet:
        args.sheet.parent.mkdir(parents=True, exist_ok=True)
        for number, page in enumerate(pages(chosen), 1):
            fig = plt.figure(figsize=(16, 2.2 * len(page)))
            rows = fig.subfigures(len(page), 1, squeeze=False)[:, 0]
            for sub, entry in zip(rows, page, strict=True):
                draw(sub, entry)
            target = args.sheet.with_name(f"{args.sheet.stem}-{number}{args.sheet.suffix}")
            fig.savefig(target, dpi=80)
            plt.close(fig)
            print(target)
        return 0

    args.out.mkdir(parents=True, exist_ok=True)
    for entry in chosen:
        fig = plt.figure(figsize=(16, 2.6))
        draw(fig, entry)
        target = args.out / f"{entry['name']}.png"
        fig.savefig(target, dpi=90)
        plt.close(fig)
        print(target)
    return 0


if __name__ == "__main__":
    sys.exit(main())
