"""The live commands: `motiloom play`, `motiloom check` and `motiloom record`.

    motiloom play RIG.toml [--bpm N | --tap | --midi-clock [PORT] | --link] [--seconds S]
                  [--osc-in [HOST:]PORT] [--web [HOST:]PORT]
    motiloom check RIG.toml [--bpm N]
    motiloom record RIG.toml --bpm N --seconds S -o FILE.npz|FILE.show

`play` shows one status line (tempo, bar and beat, frames sent and late) and stops cleanly on
its time limit, Ctrl-C or SIGTERM: the rig's stop state, then the end of every stream. With
`--osc-in` it takes changes over OSC (`motiloom_kit.osc_in`), with `--web` it serves the console
page (`motiloom_kit.console`).
"""

from __future__ import annotations

import argparse
import json
import os
import signal
import sys
import threading
import time
from typing import TYPE_CHECKING, Any

if TYPE_CHECKING:
    from .tempo import TapTempo


def add_commands(commands: Any, positive_number: Any) -> None:
    """Adds play, check and record to the command line's subcommands."""
    play = commands.add_parser("play", help="play a rig live: DMX and OSC in time with the music")
    play.add_argument("rig", help="the rig file (TOML)")
    source = play.add_mutually_exclusive_group()
    source.add_argument("--bpm", type=positive_number, help="a fixed tempo (default: the rig's)")
    source.add_argument(
        "--tap", action="store_true", help="tap the tempo: any key (or a line on a pipe) is a beat"
    )
    source.add_argument(
        "--midi-clock",
        nargs="?",
        const="",
        metavar="PORT",
        help="follow MIDI clock (from PORT, or the first input)",
    )
    source.add_argument("--link", action="store_true", help="follow an Ableton Link session")
    play.add_argument(
        "--midi-api",
        choices=("alsa", "jack"),
        default="alsa",
        help="where MIDI clock comes from (alsa)",
    )
    play.add_argument("--seconds", type=positive_number, help="stop after this long")
    play.add_argument(
        "--osc-in",
        type=_address,
        metavar="[HOST:]PORT",
        help="take changes over OSC on PORT (loopback unless HOST is given)",
    )
    play.add_argument(
        "--web",
        type=_address,
        metavar="[HOST:]PORT",
        help="serve the console page on PORT (0: any free port; loopback unless HOST is given, "
        "and then only with the token printed at start)",
    )
    play.add_argument(
        "--status",
        choices=("line", "json", "none"),
        default="line",
        help="a status line on stderr, JSON lines on stdout, or nothing",
    )
    play.set_defaults(run=command_play)

    check = commands.add_parser("check", help="check a rig and print its patch and speed check")
    check.add_argument("rig", help="the rig file (TOML)")
    check.add_argument("--bpm", type=positive_number, help="tempo of the speed check (the rig's)")
    check.set_defaults(run=command_check)

    record = commands.add_parser("record", help="write the frames a rig's show would send")
    record.add_argument("rig", help="the rig file (TOML)")
    record.add_argument("--bpm", type=positive_number, required=True)
    record.add_argument("--seconds", type=positive_number, required=True)
    record.add_argument("-o", "--output", required=True, help="FILE.npz or FILE.show (OLA's)")
    record.set_defaults(run=command_record)


def _address(text: str) -> tuple[str, int]:
    host, _, port = text.rpartition(":")
    try:
        number = int(port)
    except ValueError:
        raise argparse.ArgumentTypeError(f"expected [HOST:]PORT, got {text!r}") from None
    if not 0 <= number < 65536:  # 0: any free port, said at start
        raise argparse.ArgumentTypeError(f"a port is 0-65535, not {number}")
    return host.strip("[]") or "127.0.0.1", number  # [::1]:9000 names an IPv6 host


def command_check(args: argparse.Namespace) -> int:
    from .rig import load

    rig = load(args.rig, bpm=args.bpm)
    for line in rig.patch():
        print(line)
    bpm = args.bpm if args.bpm is not None else rig.bpm
    print(f"speed check at {bpm:g} BPM:")
    for group, check in zip(rig.groups, load(args.rig).speed_checks(bpm), strict=True):
        verdict = check.line()
        if group.speed == "refuse" and check.fit < 1:
            verdict += " (refused)"
        print(f"  {verdict}")
    return 0


def command_record(args: argparse.Namespace) -> int:
    from .export import check_target, format_of
    from .record import RECORD_FORMATS, write_recording
    from .rig import load

    format_of(args.output, RECORD_FORMATS)
    check_target(args.output)
    rig = load(args.rig, bpm=args.bpm)
    count, path = write_recording(args.output, rig, args.bpm, args.seconds)
    print(f"wrote {count} frames of {args.rig} at {args.bpm:g} BPM to {path}", file=sys.stderr)
    return 0


def _source(args: argparse.Namespace) -> Any:
    from .tempo import TapTempo

    if args.tap:
        return TapTempo()
    if args.midi_clock is not None:
        from .midi import MidiClock

        return MidiClock(args.midi_clock or None, api=args.midi_api)
    if args.link:
        from .link import LinkTempo

        return LinkTempo()
    from .tempo import FixedTempo

    return FixedTempo()


def _read_taps(source: TapTempo, stop: threading.Event) -> None:
    """Every key pressed (a terminal) or every line (a pipe) is one tap."""
    stream = sys.stdin
    if stream is None or stream.closed:
        return
    fd = stream.fileno()
    if os.isatty(fd):
        import termios
        import tty

        saved = termios.tcgetattr(fd)
        tty.setcbreak(fd)
        try:
            while not stop.is_set():
                if os.read(fd, 1) == b"":
                    break
                source.tap()
        finally:
            termios.tcsetattr(fd, termios.TCSADRAIN, saved)
    else:
        for _line in stream:
            source.tap()


def _report(show: Any, how: str, source: Any, stop: threading.Event) -> None:
    tty = sys.stderr.isatty()
    while not stop.wait(0.25):
        status = show.status
        bar, beat = status.bar_beat
        if how == "json":
            print(
                json.dumps(
                    {
                        "t": time.monotonic(),
                        "bpm": float(status.bpm),
                        "pip": float(status.position),
                        "bar": bar,
                        "beat": beat,
                        "sent": status.sent,
                        "late": status.late,
                        "frame": status.frame,
                        "fps": float(show.tempo.fps),
                    }
                ),
                flush=True,
            )
        elif how == "line":
            line = (
                f"{float(status.bpm):7.2f} BPM ({source.describe()})  bar {bar:4d} beat {beat}"
                f"  {status.sent:,} frames sent, {status.late:,} late"
            )
            sys.stderr.write(f"\r{line}" if tty else f"{line}\n")
            sys.stderr.flush()


def command_play(args: argparse.Namespace) -> int:
    from .rig import load
    from .show import Show
    from .tempo import TapTempo, TempoMap

    rig = load(args.rig, bpm=args.bpm)
    tempo = TempoMap(args.bpm if args.bpm is not None else rig.bpm, rig.fps)
    source = _source(args)
    show = Show(rig, tempo, source, seconds=args.seconds)
    done = threading.Event()

    def stop(signum: int, frame: Any) -> None:
        show.stop()

    previous = {s: signal.signal(s, stop) for s in (signal.SIGINT, signal.SIGTERM)}
    threads = [
        threading.Thread(target=_report, args=(show, args.status, source, done), daemon=True)
    ]
    if isinstance(source, TapTempo):
        threads.append(threading.Thread(target=_read_taps, args=(source, done), daemon=True))
    closers: list[Any] = []
    try:
        if args.osc_in is not None:
            from .osc_in import OscControl

            control = OscControl(show, *args.osc_in)
            control.start()
            closers.append(control.close)
            print(f"taking OSC on {args.osc_in[0]}:{control.port}", file=sys.stderr)
        if args.web is not None:
            from .console import Console

            console = Console(show, *args.web)
            console.start()
            closers.append(console.close)
            if console.token is not None:
                print(
                    f"the console is open beyond loopback: its page needs the token "
                    f"{console.token}",
                    file=sys.stderr,
                )
            print(f"console at {console.url}", file=sys.stderr)
        for thread in threads:
            thread.start()
        status = show.run()
    finally:
        done.set()
        for close in reversed(closers):
            close()
        for signum, handler in previous.items():
            signal.signal(signum, handler)
    if args.status == "line" and sys.stderr.isatty():
        sys.stderr.write("\n")
    ms = 1000
    print(
        f"sent {status.sent:,} frames, {status.late:,} late; lateness p50 "
        f"{status.percentile(0.5) * ms:.2f} ms, p99 {status.percentile(0.99) * ms:.2f} ms",
        file=sys.stderr,
    )
    return 0
