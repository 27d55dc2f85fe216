"""python -m motiloom_kit: list, show, export, draw and browse the built-in patterns.

A refused request (an unknown name, a file type the command does not write, a bad number)
prints one line to stderr and exits with status 2, leaving no file behind.
"""

from __future__ import annotations

import argparse
import os
import sys
from collections.abc import Sequence

# Only the catalogue view here: numpy and everything that uses it are imported by the commands
# that need them, so that `list` starts quickly.
from . import catalogue

EXIT_REFUSED = 2
EXIT_FAILED = 1
MAX_FRAMES = 10_000_000
BLOCKS = "▁▂▃▄▅▆▇█"


class RefusedError(ValueError):
    """A request the CLI will not carry out; its message is shown as is."""


def _positive_number(text: str) -> float:
    try:
        value = float(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"expected a number, got {text!r}") from None
    if not value > 0 or value == float("inf"):
        raise argparse.ArgumentTypeError(f"expected a number above zero, got {text}")
    return value


def _positive_int(text: str) -> int:
    try:
        value = int(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"expected a whole number, got {text!r}") from None
    if value < 1:
        raise argparse.ArgumentTypeError(f"expected a number above zero, got {value}")
    return value


def command_list(args: argparse.Namespace) -> int:
    chosen = catalogue.select(
        args.glob,
        pack=args.pack,
        family=args.family,
        dimensions=args.dimensions,
        period=args.period,
    )
    if args.json:
        import json

        json.dump([e.as_dict() for e in chosen], sys.stdout, ensure_ascii=False, indent=1)
        sys.stdout.write("\n")
        return 0
    if not chosen:
        print("no catalogue entry matches", file=sys.stderr)
        return 0
    name_width = max(len(e.name) for e in chosen)
    pack_width = max(len(e.pack or catalogue.UNKNOWN) for e in chosen)
    try:
        columns = os.get_terminal_size().columns
    except OSError:  # not a terminal
        columns = 120
    room = max(20, columns - name_width - pack_width - 18)
    lines = []
    for e in chosen:
        text = e.description if len(e.description) <= room else e.description[: room - 1] + "…"
        pack = e.pack or catalogue.UNKNOWN
        shape = f"{e.period_pips:>5}  {e.dimensions}D"
        lines.append(f"{e.name:<{name_width}}  {pack:<{pack_width}}  {shape}  {text}")
    sys.stdout.write("\n".join(lines) + "\n")
    return 0


def sparkline(values: Sequence[float], width: int) -> str:
    """`values` (in [-1, 1]) drawn as `width` block characters; each character shows the value
    of largest magnitude in its stretch, so short pulses stay visible."""
    count = len(values)
    cells = []
    for i in range(min(width, count)):
        part = values[i * count // min(width, count) : (i + 1) * count // min(width, count)]
        peak = max(part, key=abs)
        level = round((peak + 1) / 2 * (len(BLOCKS) - 1))
        cells.append(BLOCKS[min(max(level, 0), len(BLOCKS) - 1)])
    return "".join(cells)


def command_show(args: argparse.Namespace) -> int:
    from .patterns import pattern

    subject = pattern(args.name)
    entry = catalogue.lookup(args.name)
    pack = entry.pack or catalogue.UNKNOWN
    beats = subject.period / 64
    family = entry.family or catalogue.UNKNOWN
    print(f"{subject.name}  ({entry.kind}; pack {pack}; family {family})")
    print(subject.description)
    axes = "axis" if subject.dimensions == 1 else "axes"
    print(f"loops every {subject.period} pips ({beats:g} beats); uses {subject.dimensions} {axes}")
    table = subject.table()
    for axis in range(subject.dimensions):
        column = table[:, axis].tolist()
        line = sparkline(column, args.width)
        print(f"{'xyz'[axis]} {line}  [{min(column):+.3f} .. {max(column):+.3f}]")
    return 0


def command_export(args: argparse.Namespace) -> int:
    from .clock import Clock
    from .export import check_target, format_of, write_frames
    from .patterns import pattern

    format_of(args.output)
    check_target(args.output)
    subject = pattern(args.name, rate=args.rate, phase_beats=args.phase_beats)
    clock = Clock(args.bpm)
    count = clock.frame_count(args.fps, args.seconds)
    if count > MAX_FRAMES:
        raise RefusedError(f"{count:,} frames is more than the {MAX_FRAMES:,} one export writes")
    times = clock.frames(args.fps, args.seconds, start_seconds=args.start)
    positions = subject.render(times, args.interpolate)
    meta = {
        "name": subject.name,
        "description": subject.description,
        "bpm": float(clock.bpm),
        "fps": args.fps,
        "seconds": args.seconds,
        "start_seconds": args.start,
        "rate": str(subject.rate),
        "phase_pips": str(subject.phase),
        "interpolate": args.interpolate,
        "columns": ["x", "y", "z"],
    }
    write_frames(args.output, positions, times, meta)
    print(f"wrote {len(times)} frames of {subject.name} to {args.output}", file=sys.stderr)
    return 0


def command_sheet(args: argparse.Namespace) -> int:
    from .export import check_target, format_of
    from .patterns import pattern
    from .sheet import SHEET_FORMATS, write_sheet

    format_of(args.output, SHEET_FORMATS)
    check_target(args.output)
    chosen = catalogue.select(args.glob)
    if not chosen:
        close = catalogue.suggest(args.glob, (e.name for e in catalogue.entries()))
        hint = f" (did you mean {', '.join(close)}?)" if close else ""
        raise RefusedError(f"no catalogue entry matches {args.glob!r}{hint}")
    if len(chosen) > args.max:
        raise RefusedError(
            f"{len(chosen)} entries match {args.glob!r}; narrow the pattern or raise --max"
        )
    write_sheet(args.output, [pattern(e.name) for e in chosen], columns=args.columns)
    print(f"drew {len(chosen)} patterns into {args.output}", file=sys.stderr)
    return 0


def command_gallery(args: argparse.Namespace) -> int:
    from .gallery import write_gallery

    page = write_gallery(args.output, bpm=args.bpm)
    count = len(catalogue.entries())
    print(f"wrote {count} patterns to {page} ({page.stat().st_size / 1e6:.2f} MB)", file=sys.stderr)
    return 0


def build_parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog="motiloom",
        description="List, show, export, draw and browse motiloom's built-in patterns, and play, "
        "check or record a rig live.",
    )
    commands = parser.add_subparsers(dest="command", required=True, metavar="COMMAND")

    listing = commands.add_parser("list", help="list catalogue entries, optionally filtered")
    listing.add_argument(
        "glob", nargs="?", default="*", help="shell-style name pattern, e.g. 'lfo_*'"
    )
    listing.add_argument(
        "--pack", choices=catalogue.packs_present(), help="only entries of this pack"
    )
    listing.add_argument("--family", help="only entries of this family (e.g. lfo, beat_spiral)")
    listing.add_argument("--dimensions", type=int, choices=(1, 2, 3), help="only this many axes")
    listing.add_argument("--period", type=_positive_int, help="only this loop length in pips")
    listing.add_argument("--json", action="store_true", help="print JSON instead of a table")
    listing.set_defaults(run=command_list)

    show = commands.add_parser("show", help="describe one pattern with a sparkline per axis")
    show.add_argument("name")
    show.add_argument("--width", type=_positive_int, default=64, help="sparkline width (64)")
    show.set_defaults(run=command_show)

    export = commands.add_parser("export", help="render a pattern frame by frame into a file")
    export.add_argument("name")
    export.add_argument("--bpm", type=float, required=True)
    export.add_argument("--fps", type=float, required=True)
    export.add_argument("--seconds", type=float, required=True, help="length of the run")
    export.add_argument("--start", type=float, default=0.0, help="time of the first frame (0)")
    export.add_argument("--rate", default="1", help="playback rate: 1/2, 3/2, dotted, ... (1)")
    export.add_argument("--phase-beats", type=float, default=0.0, help="phase in beats (0)")
    export.add_argument("--interpolate", choices=("none", "linear"), default="linear")
    export.add_argument("-o", "--output", required=True, help="FILE.npy, FILE.csv or FILE.json")
    export.set_defaults(run=command_export)

    sheet = commands.add_parser("sheet", help="draw matching patterns into one image")
    sheet.add_argument("glob", help="shell-style name pattern, e.g. 'lfo_*'")
    sheet.add_argument("-o", "--output", required=True, help="FILE.png (or .svg, .pdf)")
    sheet.add_argument("--columns", type=_positive_int, default=6)
    sheet.add_argument("--max", type=_positive_int, default=120, help="most patterns drawn (120)")
    sheet.set_defaults(run=command_sheet)

    gallery = commands.add_parser("gallery", help="write the static gallery page into a folder")
    gallery.add_argument("-o", "--output", required=True, help="folder for index.html")
    gallery.add_argument("--bpm", type=float, default=120.0, help="tempo of the dots (120)")
    gallery.set_defaults(run=command_gallery)

    from .live_cli import add_commands

    add_commands(commands, _positive_number)
    return parser


def main(argv: Sequence[str] | None = None) -> int:
    """Run the command line with `argv` (the process's arguments by default); returns the exit
    status."""
    args = build_parser().parse_args(argv)
    try:
        status: int = args.run(args)
    except (ValueError, ImportError) as error:  # a refused request; a missing optional extra
        print(f"motiloom_kit: error: {error}", file=sys.stderr)
        return EXIT_REFUSED
    except OSError as error:  # the file system failed (no partial file is left)
        print(f"motiloom_kit: error: {error}", file=sys.stderr)
        return EXIT_FAILED
    return status
