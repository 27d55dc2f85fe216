#!/usr/bin/env python3
"""Contact sheets of the beat-grid motions, with each style's onsets drawn under its curves.

A lighting designer judges a beat-grid table by whether the movement lands where the music does,
so every panel shows one table next to its score:

  curves    x / y / z of the table against the pip over one loop (from the built module)
  onsets    one row of ticks per role (kick, snare, hat, perc, bass) under the curves, each tick
            as tall as the hit is loud; dotted lines mark the bars, faint ones the beats
  path      the x-y path (what a pan/tilt head draws), entry 0 circled

    .venv/bin/python tools/motion_sheet.py --out docs/beat-motions.png
        every motion (rows) across the contrasting styles (columns) on one sheet
    .venv/bin/python tools/motion_sheet.py --motion pendulum --out /tmp/pendulum.png
        one motion, one large row per style
    .venv/bin/python tools/motion_sheet.py --packs src/catalogue/packs --motion box --out /tmp/b.png
        baked from the authoring modules in this process instead of the built module

--styles chooses other styles. Needs matplotlib (the plot extra).
"""

from __future__ import annotations

import argparse
import sys
from pathlib import Path

from beatgrid.score import BAR, PIPS_PER_BEAT, ROLE_ORDER
from beatgrid.scores import STYLES

REPO = Path(__file__).resolve().parent.parent
PACKS_DIR = REPO / "src" / "catalogue" / "packs"

# Styles far apart in feel: pulse, shuffle, break, half time, clave, drop, triplets, toms, cross.
CONTRASTING = (
    "four_floor",
    "ukg_two_step",
    "amen_four_bar",
    "trap_trills",
    "dembow",
    "son_clave_32",
    "reggae_one_drop",
    "footwork_triplet",
    "techno_toms",
    "afro_cross",
)
AXIS_COLOURS = ("tab:red", "tab:green", "tab:blue")
ROLE_COLOURS = {
    "kick": "black",
    "snare": "tab:orange",
    "hat": "tab:cyan",
    "perc": "tab:purple",
    "bass": "tab:brown",
}
ONSET_BAND = (-1.9, -1.12)  # where the onset rows sit, below the curves' [-1, 1]


class Built:
    """Tables sampled from the built module."""

    def __init__(self) -> None:
        import motiloom

        self._motiloom = motiloom
        self.periods = {e["name"]: e["period_pips"] for e in motiloom.catalogue()}

    def table(self, name: str) -> list[tuple[float, float, float]]:
        return [self._motiloom.sample(name, k).as_tuple() for k in range(self.periods[name])]


class Baked:
    """Tables baked from the authoring modules of the beat-grid packs."""

    def __init__(self, packs_dir: Path) -> None:
        from tablegen.bake import bake
        from tablegen.load import family_files, load_family

        self._bake = bake
        self._patterns = {}
        for pack in ("club", "dancefloor"):
            for key, path in family_files(packs_dir / pack):
                family = load_family(packs_dir, pack, key, path)
                self._patterns.update((p.name, p) for p in family.patterns)

    def table(self, name: str) -> list[tuple[float, float, float]]:
        return self._bake(self._patterns[name])


def draw_cell(curves_ax, path_ax, style, table, label: str, small: bool) -> None:
    period = len(table)
    pips = range(period + 1)
    closed = table + table[:1]
    for axis in range(3):
        values = [entry[axis] for entry in closed]
        if any(values):
            curves_ax.plot(pips, values, color=AXIS_COLOURS[axis], lw=0.8 if small else 1.1)
    low, high = ONSET_BAND
    row = (high - low) / len(ROLE_ORDER)
    for i, role in enumerate(ROLE_ORDER):
        base = high - (i + 1) * row
        for event in style.of(role):
            t = float(event.time)
            curves_ax.plot(
                [t, t],
                [base, base + 0.9 * row * event.level],
                color=ROLE_COLOURS[role],
                lw=0.7 if small else 1.0,
            )
        if not small:
            curves_ax.text(
                -4,
                base + row / 2,
                role,
                ha="right",
                va="center",
                fontsize=6,
                color=ROLE_COLOURS[role],
            )
    for beat in range(0, period + 1, PIPS_PER_BEAT):
        bar = beat % BAR == 0
        curves_ax.axvline(
            beat,
            color="0.55" if bar else "0.85",
            lw=0.6 if bar else 0.4,
            ls=":" if bar else "-",
            zorder=0,
        )
    curves_ax.axhline(0.0, color="0.8", lw=0.4, zorder=0)
    curves_ax.set_xlim(0, period)
    curves_ax.set_ylim(low - 0.05, 1.0)
    curves_ax.set_xticks([])
    curves_ax.set_yticks([] if small else [-1, 0, 1])
    curves_ax.tick_params(labelsize=6, pad=1)
    curves_ax.set_title(label, fontsize=6 if small else 8, pad=1, loc="left")

    xs = [entry[0] for entry in closed]
    ys = [entry[1] for entry in closed]
    path_ax.plot(xs, ys, color="0.2", lw=0.6 if small else 0.9)
    path_ax.plot(xs[0], ys[0], "o", ms=3 if small else 5, mfc="none", mec="crimson")
    path_ax.set_xlim(-1, 1)
    path_ax.set_ylim(-1, 1)
    path_ax.set_aspect("equal")
    path_ax.axhline(0.0, color="0.85", lw=0.4)
    path_ax.axvline(0.0, color="0.85", lw=0.4)
    path_ax.set_xticks([])
    path_ax.set_yticks([])


def motion_keys() -> list[str]:
    from beatgrid.motions import MOTIONS

    return [m.key for m in MOTIONS]


def grid_sheet(source, styles, motions, out: Path, title: str) -> None:
    import matplotlib.pyplot as plt

    fig = plt.figure(figsize=(2.3 * len(styles), 0.95 * len(motions) + 0.5))
    outer = fig.add_gridspec(
        len(motions),
        len(styles),
        left=0.01,
        right=0.995,
        bottom=0.005,
        top=1.0 - 0.45 / fig.get_figheight(),
        wspace=0.06,
        hspace=0.28,
    )
    for r, motion in enumerate(motions):
        for c, style in enumerate(styles):
            inner = outer[r, c].subgridspec(1, 2, width_ratios=(2.6, 1), wspace=0.03)
            table = source.table(f"beat_{style.key}_{motion}")
            draw_cell(
                fig.add_subplot(inner[0]),
                fig.add_subplot(inner[1]),
                style,
                table,
                f"{style.key} {motion}",
                small=True,
            )
    fig.suptitle(title, fontsize=11, y=1.0 - 0.08 / fig.get_figheight(), va="top")
    fig.savefig(out, dpi=72)
    plt.close(fig)


def motion_sheet(source, styles, motion: str, out: Path, title: str) -> None:
    import matplotlib.pyplot as plt

    fig = plt.figure(figsize=(14, 1.9 * len(styles) + 0.4))
    outer = fig.add_gridspec(
        len(styles),
        1,
        left=0.05,
        right=0.995,
        bottom=0.01,
        top=1.0 - 0.4 / fig.get_figheight(),
        hspace=0.3,
    )
    for r, style in enumerate(styles):
        inner = outer[r].subgridspec(1, 2, width_ratios=(6.5, 1), wspace=0.02)
        table = source.table(f"beat_{style.key}_{motion}")
        peak = max(abs(c) for entry in table for c in entry)
        draw_cell(
            fig.add_subplot(inner[0]),
            fig.add_subplot(inner[1]),
            style,
            table,
            f"beat_{style.key}_{motion}  P={len(table)}  peak {peak:.3f}",
            small=False,
        )
    fig.suptitle(title, fontsize=11, y=1.0 - 0.05 / fig.get_figheight(), va="top")
    fig.savefig(out, dpi=80)
    plt.close(fig)


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--out", type=Path, required=True, help="the PNG to write")
    parser.add_argument("--motion", help="one motion, one large row per style")
    parser.add_argument("--styles", nargs="+", default=list(CONTRASTING), metavar="STYLE")
    parser.add_argument("--packs", type=Path, help="bake from these authoring modules instead")
    parser.add_argument("--title", default="", help="a heading for the sheet")
    args = parser.parse_args(argv)

    by_key = {s.key: s for s in STYLES}
    unknown = [key for key in args.styles if key not in by_key]
    if unknown:
        parser.error(f"unknown style(s): {', '.join(unknown)}")
    motions = motion_keys()
    if args.motion is not None and args.motion not in motions:
        parser.error(f"unknown motion {args.motion!r}; known: {', '.join(motions)}")
    import matplotlib

    matplotlib.use("Agg")
    source = Baked(args.packs) if args.packs else Built()
    styles = [by_key[key] for key in args.styles]
    args.out.parent.mkdir(parents=True, exist_ok=True)
    if args.motion:
        motion_sheet(source, styles, args.motion, args.out, args.title or args.motion)
    else:
        grid_sheet(source, styles, motions, args.out, args.title or "beat-grid motions")
    print(args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
