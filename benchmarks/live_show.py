"""The live show's rows of `make bench`: one frame of a 64-fixture rig, ten seconds of sACN into
olad (what arrived, how late the sends were), and the tempo the show keeps at a fixed BPM, on a
MIDI clock and in a Link session. Receivers come from the test harness (tests/live) and run in
network namespaces; a row says why it is skipped when this machine cannot run one."""

from __future__ import annotations

import json
import os
import re
import subprocess
import sys
import tempfile
import time
from collections.abc import Callable
from pathlib import Path

import numpy as np

ROOT = Path(__file__).resolve().parent.parent
Row = tuple[str, str, str]


def rig_text(heads: int = 64, protocol: str = "sacn", host: str = "127.0.0.1") -> str:
    """Heads over two universes (32 a universe, 16-bit), in eight groups of eight, each group its
    own pattern at its own rate."""
    import motiloom

    names = [e["name"] for e in motiloom.catalogue()[15:]][::25][:8]
    rates = ["1", "1/2", "2", "3/2"]
    fixtures = "".join(
        f'[[fixture]]\nname = "h{k}"\nuniverse = {1 + k // 32}\naddress = {1 + 4 * (k % 32)}\n\n'
        for k in range(heads)
    )
    members = [", ".join(f'"h{k}"' for k in range(8 * g, 8 * g + 8)) for g in range(heads // 8)]
    groups = "".join(
        f"[[group]]\nfixtures = [{members[g]}]\n"
        f'pattern = "{names[g]}"\nrate = "{rates[g % 4]}"\nspread = "even"\nsize = 0.7\n\n'
        for g in range(heads // 8)
    )
    return (f'fps = 44\nbpm = 128\n[[output]]\nprotocol = "{protocol}"\nhost = "{host}"\n'
            f"universes = [1, 2]\n\n{fixtures}{groups}")  # fmt: skip


def frame_row(timer: Callable[[str, str, str, int], tuple[float, float]]) -> Row:
    folder = tempfile.mkdtemp()
    Path(folder, "rig.toml").write_text(rig_text())
    setup = f"""
import motiloom as m
from motiloom_kit.rig import load
from motiloom_kit.show import Show
from motiloom_kit.tempo import TempoMap
rig = load({str(Path(folder, "rig.toml"))!r})
show = Show(rig, TempoMap(128, 44))
names = [g.pattern.name for g in rig.groups for _ in g.fixtures]
frames = iter(range(10_000, 10_000_000))
show.frame(1)
def by_name():
    for name in names:
        m.sample(name, 123_456)
"""
    ns, reference = timer("show.frame(next(frames))", "by_name()", setup, 3000)
    verdict = "ok" if ns <= reference else "OVER"
    return ("live one frame, 64 heads over 2 universes vs 64 sample() calls", f"{ns / 1e3:.1f} us",
            f"{ns / reference:.2f}x ({verdict}, <= 1x)")  # fmt: skip


def _play(argv: list[str], env: dict[str, str] | None = None, wrap=None, timeout: float = 120):
    command = [sys.executable, "-P", "-m", "motiloom_kit", "play", *argv]
    if wrap is not None:
        command = wrap(command)
    return subprocess.run(command, capture_output=True, text=True, env=env, timeout=timeout,
                          check=False)  # fmt: skip


def olad_rows() -> list[Row]:
    import live  # the test harness, from the declared import roots
    from live.netns import Namespace
    from live.ola import Olad

    try:
        with (
            Namespace() as ns,
            Olad(ns, "e131", [1, 2]) as olad,
            tempfile.TemporaryDirectory() as d,
        ):
            rig = Path(d, "rig.toml")
            rig.write_text(rig_text(host=ns.address))
            with olad.record() as recording:
                run = ns.run([sys.executable, "-P", "-m", "motiloom_kit", "play", str(rig),
                              "--bpm", "128", "--seconds", "10", "--status", "none"],
                             timeout=120, check=False)  # fmt: skip
                time.sleep(0.5)
            received = recording.by_universe()
    except live.Unavailable as error:
        return [("live 10 s of sACN into olad", "skipped", str(error))]
    found = re.search(r"sent ([\d,]+) frames, ([\d,]+) late; lateness p50 ([\d.]+) ms, "
                      r"p99 ([\d.]+) ms", run.stderr)  # fmt: skip
    if run.returncode != 0 or found is None:
        return [("live 10 s of sACN into olad", "failed", run.stderr.strip()[-200:])]
    sent, late = (int(found.group(i).replace(",", "")) for i in (1, 2))
    shares = [len(received[u]) / (sent + 3) for u in (1, 2)]  # 3: the stop state's repeats
    verdict = "ok" if min(shares) >= 0.99 else "UNDER"
    return [
        ("live 10 s at 44 fps: frames olad received / sent", f"{min(shares) * 100:.1f} %",
         f"{verdict}, >= 99 % (universes 1, 2: {len(received[1])}, {len(received[2])} of "
         f"{sent} + 3 stop)"),
        ("live sends late past their deadline, p50 / p99",
         f"{found.group(3)} / {found.group(4)} ms",
         f"{late} frames late (skipped)"),
    ]  # fmt: skip


def _followed(out: str, skip: float) -> tuple[float, float]:
    """The tempo the JSON status lines show the position moving at (a straight line through
    pip against time, after `skip` seconds), and the last tempo they state."""
    seen = [json.loads(line) for line in out.splitlines() if line.startswith("{")]
    kept = [s for s in seen if s["t"] > seen[0]["t"] + skip]
    # Each position against the time its frame was due: frame k at k / fps.
    t = np.array([s["frame"] / s["fps"] for s in kept])
    pip = np.array([s["pip"] for s in kept])
    slope = np.polyfit(t, pip, 1)[0]
    return slope * 60 / 64, kept[-1]["bpm"]


def tempo_rows() -> list[Row]:
    import live  # the test harness, from the declared import roots

    rows: list[Row] = []
    with tempfile.TemporaryDirectory() as d:
        rig = Path(d, "rig.toml")
        rig.write_text(rig_text(heads=8))
        run = _play([str(rig), "--bpm", "128", "--seconds", "6", "--status", "json"])
        moved, _ = _followed(run.stdout, 0.5)
        rows.append(("live tempo, fixed 128 BPM: pip rate as BPM", f"{moved:.3f}",
                     f"{moved - 128:+.3f} BPM"))  # fmt: skip
        from live.jack import JackServer, MidiClock
        from live.link import LinkPeer, require_aalink
        from live.netns import Namespace

        try:
            with JackServer() as server, MidiClock(server, 120) as clock:
                clock.play()
                run = _play([str(rig), "--midi-clock", clock.port, "--midi-api", "jack",
                             "--seconds", "10", "--status", "json"],
                            env=dict(os.environ, **server.env))  # fmt: skip
            moved, stated = _followed(run.stdout, 3.0)
            rows.append(("live tempo, MIDI clock at 120 BPM: pip rate as BPM", f"{moved:.3f}",
                         f"{moved - 120:+.3f} BPM; stated {stated:.3f}"))  # fmt: skip
        except live.Unavailable as error:
            rows.append(("live tempo, MIDI clock", "skipped", str(error)))
        try:
            require_aalink()
            with Namespace() as ns, LinkPeer(ns, 125):
                time.sleep(2)
                run = _play([str(rig), "--link", "--seconds", "10", "--status", "json"],
                            wrap=ns.command)  # fmt: skip
            moved, stated = _followed(run.stdout, 3.0)
            rows.append(("live tempo, Link session at 125 BPM: pip rate as BPM", f"{moved:.3f}",
                         f"{moved - 125:+.3f} BPM; stated {stated:.3f}"))  # fmt: skip
        except live.Unavailable as error:
            rows.append(("live tempo, Link", "skipped", str(error)))
    return rows


def live_rows(timer: Callable[[str, str, str, int], tuple[float, float]]) -> list[Row]:
    return [frame_row(timer)] + olad_rows() + tempo_rows()
