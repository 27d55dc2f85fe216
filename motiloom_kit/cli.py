"""python -m motiloom_kit: list, show, export, draw and browse the built-in patterns.

Every refused request (a bad argument, an unknown name, a file type the command does not write, a
place it cannot write, a number out of range, nothing that matches) prints one line to stderr,
exits with status 2 and leaves nothing behind. A file system that fails during the writing exits
with status 1, Ctrl-C with 130 and SIGTERM with 143, each with one line and nothing left behind
either. `main` gives any command this: a command raises, `main` reports.
"""

from __future__ import annotations

import argparse
import contextlib
import os
import signal
import sys
from collections.abc import Iterator, Sequence
from pathlib import Path
from typing import NoReturn

# Only the catalogue view here: numpy and everything that uses it are imported by the commands
# that need them, so that `list` starts quickly.
from . import catalogue
from ._version import __version__

EXIT_REFUSED = 2
EXIT_FAILED = 1
EXIT_INTERRUPTED = 128 + signal.SIGINT
EXIT_TERMINATED = 128 + signal.SIGTERM
MAX_FRAMES = 10_000_000
MAX_SHEET = 500
MAX_COLUMNS = 50
BLOCKS = "▁▂▃▄▅▆▇█"
# What a command raises for a request it will not carry out: bad values (ValueError, and with it
# UnicodeError), numbers out of reach (ArithmeticError: a division by zero, an overflow) and a
# missing optional extra (ImportError).
REFUSALS = (ValueError, ArithmeticError, ImportError)


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


class Terminated(BaseException):
    """SIGTERM arrived: raised where the program is, so that what it was writing is removed."""


def printable(text: str) -> str:
    """`text` with every character that is not printable written as an escape (\\x1b, \\n,
    \\u2028; an undecodable byte of a command-line argument as \\xff), so that a message stays
    one line and cannot drive the terminal."""
    out = []
    for character in text:
        if character.isprintable():
            out.append(character)
        elif "\udc80" <= character <= "\udcff":  # a byte that was not UTF-8 (surrogateescape)
            out.append(f"\\x{ord(character) - 0xDC00:02x}")
        else:
            out.append(character.encode("unicode_escape").decode("ascii"))
    return "".join(out)


def _say(message: str) -> None:
    print(f"motiloom_kit: {printable(message)}", file=sys.stderr, flush=True)


class _Parser(argparse.ArgumentParser):
    """argparse with its refusals on one line (the usage is one --help away)."""

    def error(self, message: str) -> NoReturn:
        raise RefusedError(f"{message} (see {self.prog} --help)")


def _count(low: int, high: int | None = None):  # type: ignore[no-untyped-def]
    def parse(text: str) -> int:
        try:
            value = int(text)
        except ValueError:
            raise argparse.ArgumentTypeError(f"expected a whole number, got {text!r}") from None
        if value < low or (high is not None and value > high):
            span = f"from {low} to {high}" if high is not None else f"of at least {low}"
            raise argparse.ArgumentTypeError(f"expected a number {span}, got {value}")
        return value

    return parse


_positive_int = _count(1)


def _check_text(args: argparse.Namespace) -> None:
    """Text arguments go to motiloom as UTF-8: one that is not (bytes that were not UTF-8 on the
    command line) is refused. Paths are Paths, not text, and may hold any bytes."""
    for key, value in vars(args).items():
        if isinstance(value, str):
            try:
                value.encode("utf-8")
            except UnicodeEncodeError:
                raise RefusedError(f"{key}: not valid UTF-8: {value}") from None


def _no_match(glob: str) -> RefusedError:
    close = catalogue.suggest(glob, (e.name for e in catalogue.entries()))
    hint = f" (did you mean {', '.join(close)}?)" if close else ""
    return RefusedError(f"no catalogue entry matches {glob!r}{hint}")


def command_list(args: argparse.Namespace) -> int:
    chosen = catalogue.select(
        args.glob,
        pack=args.pack,
        family=args.family,
        dimensions=args.dimensions,
        period=args.period,
    )
    if not chosen:
        raise _no_match(args.glob)
    if args.families:
        return _list_families(chosen, args.json)
    if args.json:
        import json

        json.dump([e.as_dict() for e in chosen], sys.stdout, ensure_ascii=False, indent=1)
        sys.stdout.write("\n")
        return 0
    name_width = max(len(e.name) for e in chosen)
    pack_width = max(len(e.pack or catalogue.UNKNOWN) for e in chosen)
    # Only a terminal is cut to its width: a pipe or a file gets every description whole.
    room = None
    if sys.stdout.isatty():
        with contextlib.suppress(OSError):
            room = max(20, os.get_terminal_size().columns - name_width - pack_width - 18)
    lines = []
    for e in chosen:
        text = e.description
        if room is not None and len(text) > room:
            text = text[: room - 1] + "…"
        pack = e.pack or catalogue.UNKNOWN
        shape = f"{e.period_pips:>5}  {e.dimensions}D"
        lines.append(f"{e.name:<{name_width}}  {pack:<{pack_width}}  {shape}  {text}")
    sys.stdout.write("\n".join(lines) + "\n")
    return 0


def _list_families(chosen: Sequence[catalogue.Entry], as_json: bool) -> int:
    """One line per family among `chosen`: its name, its packs and how many entries it has."""
    families: dict[str, tuple[dict[str, None], list[catalogue.Entry]]] = {}
    for e in chosen:
        packs, members = families.setdefault(e.family or catalogue.UNKNOWN, ({}, []))
        packs[e.pack or catalogue.UNKNOWN] = None
        members.append(e)
    if as_json:
        import json

        listing = [
            {"family": name, "packs": list(packs), "entries": len(members)}
            for name, (packs, members) in families.items()
        ]
        json.dump(listing, sys.stdout, ensure_ascii=False, indent=1)
        sys.stdout.write("\n")
        return 0
    width = max(len(name) for name in families)
    for name, (packs, members) in families.items():
        print(f"{name:<{width}}  {len(members):>4}  {', '.join(packs)}")
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
    from .export import format_of, mode_of, replacing, write_frames_to
    from .patterns import pattern

    kind = format_of(args.output)
    subject = pattern(args.name, rate=args.rate, phase_beats=args.phase_beats)
    clock = Clock(args.bpm)
    count = clock.frame_count(args.fps, args.seconds)
    if count == 0:
        raise RefusedError("--seconds must be above zero: a run of no time has no frames")
    if count > MAX_FRAMES:
        raise RefusedError(f"{count:,} frames is more than the {MAX_FRAMES:,} one export writes")
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
    with replacing(args.output, mode_of(kind)) as stream:  # a bad place fails before the work
        times = clock.frames(args.fps, args.seconds, start_seconds=args.start)
        positions = subject.render(times, args.interpolate)
        write_frames_to(stream, kind, positions, times, meta)
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
        raise _no_match(args.glob)
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
    parser = _Parser(
        prog="motiloom",
        description="List, show, export, draw and browse motiloom's built-in patterns, "
        "and play, check or record a rig live.",
        epilog="A refused request prints one line and exits with status 2, leaving no file.",
    )
    parser.add_argument("--version", action="version", version=f"%(prog)s {__version__}")
    commands = parser.add_subparsers(dest="command", required=True, metavar="COMMAND")

    listing = commands.add_parser(
        "list",
        help="list catalogue entries, optionally filtered",
        description="List the catalogue entries that match; no match is refused (status 2).",
    )
    listing.add_argument(
        "glob", nargs="?", default="*", help="shell-style name pattern, e.g. 'lfo_*' (all)"
    )
    listing.add_argument(
        "--pack", choices=catalogue.packs_present(), help="only entries of this pack"
    )
    listing.add_argument("--family", help="only entries of this family (see --families)")
    listing.add_argument("--dimensions", type=int, choices=(1, 2, 3), help="only this many axes")
    listing.add_argument("--period", type=_positive_int, help="only this loop length in pips")
    listing.add_argument(
        "--families",
        action="store_true",
        help="list the families of the matching entries instead: name, entries, packs",
    )
    listing.add_argument("--json", action="store_true", help="print JSON instead of a table")
    listing.set_defaults(run=command_list)

    show = commands.add_parser("show", help="describe one pattern with a sparkline per axis")
    show.add_argument("name", help="a built-in pattern name, e.g. figure_eight")
    show.add_argument("--width", type=_positive_int, default=64, help="sparkline width (64)")
    show.set_defaults(run=command_show)

    export = commands.add_parser(
        "export",
        help="render a pattern frame by frame into a file",
        description="Render a pattern at the pip of each frame and write the rows to a file.",
    )
    export.add_argument("name", help="a built-in pattern name, e.g. circle")
    export.add_argument("--bpm", type=float, required=True, help="tempo in beats per minute")
    export.add_argument("--fps", type=float, required=True, help="frames per second")
    export.add_argument("--seconds", type=float, required=True, help="length of the run")
    export.add_argument("--start", type=float, default=0.0, help="time of the first frame (0)")
    export.add_argument("--rate", default="1", help="playback rate: 1/2, 3/2, dotted, ... (1)")
    export.add_argument("--phase-beats", type=float, default=0.0, help="phase in beats (0)")
    export.add_argument(
        "--interpolate",
        choices=("none", "linear"),
        default="none",
        help="between pips: none holds each pip's row (as motiloom samples), linear draws the "
        "straight line to the next (none)",
    )
    export.add_argument(
        "-o", "--output", type=Path, required=True, help="FILE.npy, FILE.csv or FILE.json"
    )
    export.set_defaults(run=command_export)

    sheet = commands.add_parser("sheet", help="draw matching patterns into one image")
    sheet.add_argument("glob", help="shell-style name pattern, e.g. 'lfo_*'")
    sheet.add_argument("-o", "--output", type=Path, required=True, help="FILE.png (or .svg, .pdf)")
    sheet.add_argument(
        "--columns",
        type=_count(1, MAX_COLUMNS),
        default=6,
        help=f"patterns per row of the image, 1 to {MAX_COLUMNS} (6)",
    )
    sheet.add_argument(
        "--max",
        type=_count(1, MAX_SHEET),
        default=120,
        help=f"most patterns drawn, at most {MAX_SHEET} (120)",
    )
    sheet.set_defaults(run=command_sheet)

    gallery = commands.add_parser("gallery", help="write the static gallery page into a folder")
    gallery.add_argument("-o", "--output", type=Path, required=True, help="folder for index.html")
    gallery.add_argument("--bpm", type=float, default=120.0, help="tempo of the dots (120)")
    gallery.set_defaults(run=command_gallery)

    from .live_cli import add_commands

    add_commands(commands, _positive_number)
    return parser


@contextlib.contextmanager
def _terminate_as_exception() -> Iterator[None]:
    """While the CLI runs, SIGTERM raises Terminated where the program is, so that it unwinds
    (removing what it was writing) instead of dying on the spot. Only the main thread can."""

    def terminate(signum: int, frame: object) -> None:
        raise Terminated

    try:
        previous = signal.signal(signal.SIGTERM, terminate)
    except ValueError:  # not the main thread
        yield
        return
    try:
        yield
    finally:
        signal.signal(signal.SIGTERM, previous)


def main(argv: Sequence[str] | None = None) -> int:
    """Run the command line with `argv` (the process's arguments by default); returns the exit
    status."""
    with _terminate_as_exception():
        try:
            args = build_parser().parse_args(argv)
            _check_text(args)
            status: int = args.run(args)
        except REFUSALS as error:  # refused request; a missing optional extra
            _say(f"error: {error}")
            return EXIT_REFUSED
        except BrokenPipeError:  # the reader went away: say nothing more
            with contextlib.suppress(OSError):
                os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
            return EXIT_FAILED
        except OSError as error:  # the file system failed (no partial file is left)
            _say(f"error: {error}")
            return EXIT_FAILED
        except MemoryError:
            _say("error: out of memory")
            return EXIT_FAILED
        except KeyboardInterrupt:
            _say("interrupted")
            return EXIT_INTERRUPTED
        except Terminated:
            _say("terminated")
            return EXIT_TERMINATED
    return status
