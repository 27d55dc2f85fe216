"""Prints drum scores as a drummer's grid.

    python -m beatgrid.grid STYLE [STYLE ...]
    python -m beatgrid.grid --all

One line per instrument, one column per sixteenth (X accent, x normal, g ghost, . rest), counted
1e&a per beat with '|' between bars, exactly as lanes are written in scores.py. An event the grid
cannot show exactly (off the sixteenth grid, at a level without a symbol, or sharing its column
with another hit of the same instrument) is marked '~' in the column it falls in, and every event
of such a column is listed below the grid with its exact time in pips and its level when that is
not a normal hit.
"""

from __future__ import annotations

import argparse
import math
import sys

from .score import LEVELS, NORMAL, ROLES, STEP, Event, Score
from .scores import STYLES

SYMBOLS = {level: symbol for symbol, level in LEVELS.items()}
INEXACT = "~"
STEPS_PER_BEAT = 4
BEATS_PER_BAR = 4
LABEL = max(len(name) for name in ROLES) + 2


def _layout(cells: str) -> str:
    """One character per sixteenth, spaced into beats and bars as lanes are written."""
    per_bar = STEPS_PER_BEAT * BEATS_PER_BAR
    bars = [cells[i : i + per_bar] for i in range(0, len(cells), per_bar)]
    return " | ".join(
        " ".join(bar[i : i + STEPS_PER_BEAT] for i in range(0, len(bar), STEPS_PER_BEAT))
        for bar in bars
    )


def _exact(event: Event) -> bool:
    return event.on_grid and event.level in SYMBOLS


def _when(event: Event) -> str:
    if event.level == NORMAL:
        return str(event.time)
    return f"{event.time}({SYMBOLS.get(event.level, format(event.level, 'g'))})"


def render_grid(score: Score) -> str:
    columns = math.ceil(score.period / STEP)
    count = "".join(
        f"{1 + c // STEPS_PER_BEAT % BEATS_PER_BAR}e&a"[c % STEPS_PER_BEAT] for c in range(columns)
    )
    lines = [
        f"{score.key}: {score.title} ({score.period} pips)",
        f"{'':{LABEL}}{_layout(count)}",
    ]
    inexact = []
    for name in score.instruments:
        by_column: dict[int, list[Event]] = {}
        for event in score.events:
            if event.instrument == name:
                by_column.setdefault(int(event.time // STEP), []).append(event)
        cells = ["."] * columns
        odd = []
        for column, events in by_column.items():
            if len(events) == 1 and _exact(events[0]):
                cells[column] = SYMBOLS[events[0].level]
            else:
                cells[column] = INEXACT
                odd += events
        lines.append(f"{name:{LABEL}}{_layout(''.join(cells))}")
        if odd:
            inexact.append(f"{INEXACT} {name:{LABEL - 2}} {' '.join(_when(e) for e in odd)}")
    if inexact:
        lines += ["off-grid, and the hits sharing their columns (pips):", *inexact]
    return "\n".join(lines)


def main(argv: list[str] | None = None) -> int:
    by_key = {s.key: s for s in STYLES}
    parser = argparse.ArgumentParser(
        prog="python -m beatgrid.grid", description="Prints drum scores as a drummer's grid."
    )
    parser.add_argument("styles", nargs="*", metavar="STYLE", help="style keys to print")
    parser.add_argument("--all", action="store_true", help="print every style in catalogue order")
    args = parser.parse_args(argv)
    if args.all == bool(args.styles):
        parser.error("name one or more styles, or --all")
    unknown = [key for key in args.styles if key not in by_key]
    if unknown:
        parser.error(f"unknown style(s) {', '.join(unknown)}; known: {', '.join(by_key)}")
    chosen = STYLES if args.all else [by_key[key] for key in args.styles]
    print("\n\n".join(render_grid(s) for s in chosen))
    return 0


if __name__ == "__main__":
    sys.exit(main())
