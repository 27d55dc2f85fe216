"""make bench: native and host timings of motiloom against their baselines, printed as one table.

Host calls are compared with a trivial pybind11 function that returns a new small bound object
(built by the native build as motiloom_bench_baseline); every figure comes from this one run.
"""

from __future__ import annotations

import argparse
import importlib.util
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import timeit
from pathlib import Path
from typing import Any

ROOT = Path(__file__).resolve().parent.parent
HOST_RATIO_TARGET = 1.2
RECORDS = 0


def best_ns(stmt: str, setup: str, number: int = 100_000) -> float:
    times = timeit.repeat(stmt, setup, number=number, repeat=7, globals=globals())
    return min(times) / number * 1e9


def paired_ns(stmt: str, baseline: str, setup: str, number: int = 10_000) -> tuple[float, float]:
    """Best ns per call of stmt and of the baseline, timed in alternating rounds so that both
    see the same machine: a ratio of two timings taken minutes apart would mostly measure drift."""
    subject = timeit.Timer(stmt, setup, globals=globals())
    reference = timeit.Timer(baseline, setup, globals=globals())
    best_subject = best_reference = float("inf")
    for _ in range(31):
        best_reference = min(best_reference, reference.timeit(number))
        best_subject = min(best_subject, subject.timeit(number))
    return best_subject / number * 1e9, best_reference / number * 1e9


def native_rows(native_dir: Path) -> list[tuple[str, str, str]]:
    global RECORDS
    import motiloom

    RECORDS = len(motiloom.catalogue()) - 15
    out = subprocess.run(
        [str(native_dir / "motiloom_native_bench")], check=True, capture_output=True, text=True
    ).stdout
    rows = []
    for line in out.splitlines():
        label, ns = line.split("\t")
        target = ""
        if "baked sample_" in label:
            target = "a few ns"
        elif "baked name" in label and "cold" not in label:
            target = f"<= 60 ns ({RECORDS} names)"
        rows.append((label, f"{float(ns):.1f} ns", target))
    return rows


SETUP = """
import motiloom as m
import motiloom_bench_baseline as base
pattern = m.SampledPattern("bench_wave", "", [[i / 256, 0.0, 0.0] for i in range(256)])
library = m.PatternLibrary([pattern])
recording = m.SampledRecording("take", ["x", "y"], [[0.0, 0.5]] * 1000, 120.0)
small = base.Small()
"""

# (label, statement, the like-for-like baseline with the same argument kinds)
HOST_CALLS = [
    ("sample('bounce', 37)", "m.sample('bounce', 37)", "base.make_named('bounce', 37)"),
    (
        "sample('lfo_breathe', 37)",
        "m.sample('lfo_breathe', 37)",
        "base.make_named('lfo_breathe', 37)",
    ),
    ("SampledPattern.sample(37)", "pattern.sample(37)", "small.make(37)"),
    (
        "PatternLibrary.sample(own, 37)",
        "library.sample('bench_wave', 37)",
        "small.make_named('bench_wave', 37)",
    ),
    (
        "PatternLibrary.sample(built-in, 37)",
        "library.sample('lfo_breathe', 37)",
        "small.make_named('lfo_breathe', 37)",
    ),
    ("SampledRecording.sample(37)", "recording.sample(37)", "small.make(37)"),
]


def host_rows() -> list[tuple[str, str, str]]:
    import motiloom

    baseline = best_ns("base.make(37)", SETUP)
    rows = [("host baseline: trivial pybind11 call", f"{baseline:.1f} ns", "1.00x")]

    def ratio_row(label: str, stmt: str, like: str) -> tuple[str, str, str]:
        ns, reference = paired_ns(stmt, "base.make(37)", SETUP)
        ratio = ns / reference
        verdict = "ok" if ratio <= HOST_RATIO_TARGET else "OVER"
        text = f"{ratio:.2f}x of baseline ({verdict})"
        if like != "base.make(37)":
            ns_like, reference_like = paired_ns(stmt, like, SETUP)
            text += f", {ns_like / reference_like:.2f}x like for like"
        return (f"host {label}", f"{ns:.1f} ns", text)

    for name in [n for n in vars(motiloom) if callable(getattr(motiloom, n))]:
        if name in ("sample", "catalogue") or name[0].isupper():
            continue
        rows.append(ratio_row(f"{name}(37)", f"m.{name}(37)", "base.make(37)"))
    for label, stmt, like in HOST_CALLS:
        rows.append(ratio_row(label, stmt, like))

    ms = best_ns("m.catalogue()", SETUP, number=50) / 1e6
    entries = len(motiloom.catalogue())
    rows.append((f"host catalogue() ({entries} entries)", f"{ms:.3f} ms", "<= 1 ms"))
    return rows


def construction_rows() -> list[tuple[str, str, str]]:
    import motiloom as m

    rows_65535 = [[0.5, -0.25, 0.0]] * 65535
    t = min(timeit.repeat(lambda: m.SampledPattern("big", "", rows_65535), number=1, repeat=3))
    rows = [("construct SampledPattern, 65,535 rows", f"{t * 1e3:.1f} ms", "")]
    patterns = [m.SampledPattern(f"p{i}", "", [[0.1, 0.2, 0.3]] * 1024) for i in range(1024)]
    t = min(timeit.repeat(lambda: m.PatternLibrary(patterns), number=1, repeat=3))
    rows.append(("construct PatternLibrary, 1,024 x 1,024 rows", f"{t * 1e3:.1f} ms", ""))
    values = [[0.5, -0.5, 0.25, 0.0]] * 2_097_152
    t = min(
        timeit.repeat(
            lambda: m.SampledRecording("take", ["a", "b", "c", "d"], values, 120.0),
            number=1,
            repeat=2,
        )
    )
    rows.append(("construct SampledRecording, 8,388,608 values", f"{t * 1e3:.1f} ms", ""))
    return rows


# Hostile arguments, each in a child of its own: the peak resident memory above what the child
# held before the call, and the time until the refusal. The peak is the address space's own high
# water mark (VmHWM): ru_maxrss of a child spawned by this large process starts at this
# process's peak.
REFUSAL_PROBE = """
import itertools, operator, sys, time
import motiloom, motiloom_kit.cli, motiloom_kit.export, motiloom_kit.patterns
def peak_kib():
    with open("/proc/self/status") as status:
        return next(int(line.split()[1]) for line in status if line.startswith("VmHWM:"))
{setup}
before = peak_kib()
t0 = time.perf_counter()
try:
    {call}
except ValueError:
    pass
seconds = time.perf_counter() - t0
print((peak_kib() - before) / 1024, seconds)
"""
REFUSALS = [
    ("refuse PatternLibrary of 1,025 x 65,535 rows",
     "big = motiloom.SampledPattern('big', '', [(0.5, 0, 0)] * 65535)",
     "motiloom.PatternLibrary([big] * 1025)"),
    ("refuse SampledRecording of 2^23 + 1 generated rows", "",
     "motiloom.SampledRecording('t', ['x'], ([0.5] for _ in range(2**23 + 1)), 120.0)"),
    ("refuse SampledRecording of endless rows", "",
     "motiloom.SampledRecording('t', ['x'], zip(itertools.repeat(0.5)), 120.0)"),
    ("refuse SampledPattern of endless rows", "",
     "motiloom.SampledPattern('p', '', map(operator.itemgetter(0), "
     "itertools.repeat(((0.5, 0, 0),))))"),
    ("CLI export of 1,000,000 frames to JSON", "import os, tempfile",
     "motiloom_kit.cli.main(['export', 'helix', '--bpm', '120', '--fps', '1000', '--seconds', "
     "'1000', '-o', os.path.join(tempfile.mkdtemp(), 'a.json')])"),
]  # fmt: skip


def refusal_rows(python: str) -> list[tuple[str, str, str]]:
    rows = []
    for label, setup, call in REFUSALS:
        probe = REFUSAL_PROBE.format(setup=setup, call=call)
        out = subprocess.run(
            [python, "-c", probe], capture_output=True, text=True, check=True, timeout=600
        ).stdout
        mib, seconds = map(float, out.split())
        rows.append((label, f"{mib:.0f} MiB, {seconds:.2f} s", "peak memory above the start"))
    return rows


IMPORT_PROBE = """
import time, sys
def rss():
    with open('/proc/self/statm') as f:
        return int(f.read().split()[1]) * {page}
before = rss(); t0 = time.perf_counter()
import motiloom
t1 = time.perf_counter(); after = rss()
print((t1 - t0) * 1e3, (after - before) / 2**20)
"""


def import_rows(python: str) -> list[tuple[str, str, str]]:
    probe = IMPORT_PROBE.format(page=os.sysconf("SC_PAGE_SIZE"))
    runs = [
        tuple(map(float, subprocess.check_output([python, "-c", probe], text=True).split()))
        for _ in range(7)
    ]
    ms = min(r[0] for r in runs)
    mib = min(r[1] for r in runs)
    import motiloom

    so = Path(motiloom.__file__)
    entries = sum(e["period_pips"] for e in motiloom.catalogue()[15:])
    return [
        ("import motiloom", f"{ms:.2f} ms", "<= 15 ms"),
        ("import motiloom, resident memory", f"{mib:.2f} MiB", "<= 8 MiB"),
        (
            "extension size",
            f"{so.stat().st_size / 1e6:.2f} MB",
            f"raw tables {entries * 24 / 1e6:.2f} MB + code (within 10%)",
        ),
    ]


# A build run in a child of its own, which reports its time and the peak resident memory of its
# largest process: ru_maxrss of this process's children would count the benchmark's own earlier
# children too.
TIMED_BUILD = """
import resource, subprocess, sys, time
start = time.perf_counter()
with open(sys.argv[1], "ab") as log:
    done = subprocess.run(sys.argv[2:], stdout=log, stderr=subprocess.STDOUT)
print(done.returncode, time.perf_counter() - start,
      resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)
"""
# The one-family edit timed by --build: a description in atlas/170_swing.py, which changes that
# family's shard and the catalogue records and nothing else.
EDITED_FAMILY = Path("src/catalogue/packs/atlas/170_swing.py")
FAMILY_EDIT = ("peaks follow the score.", "peaks follow the score closely.")


def timed_build(command: list[str], cwd: Path, log: Path) -> tuple[float, float]:
    """(seconds, peak GiB of the largest process) of one build command, which must succeed."""
    env = {k: v for k, v in os.environ.items() if k not in ("MAKEFLAGS", "MFLAGS", "MAKELEVEL")}
    out = subprocess.run([sys.executable, "-c", TIMED_BUILD, str(log), *command], cwd=cwd,
                         env=env, capture_output=True, text=True, check=True).stdout  # fmt: skip
    status, seconds, peak_kib = out.split()
    if status != "0":
        sys.exit(f"{' '.join(command)} failed in {cwd}:\n{log.read_text()[-4000:]}")
    return float(seconds), float(peak_kib) / 2**20


def tracked_copy(target: Path) -> None:
    """The files git tracks in this tree, as they are now (edits included), copied to target."""
    listed = subprocess.run(["git", "ls-files", "-z"], cwd=ROOT, capture_output=True,
                            check=True).stdout  # fmt: skip
    for name in filter(None, listed.decode().split("\0")):
        source = ROOT / name
        if source.is_file():
            (target / name).parent.mkdir(parents=True, exist_ok=True)
            shutil.copy2(source, target / name)


def compiled_objects(ninja_log: Path, after: int) -> list[str]:
    """The object files ninja built after the first `after` lines of its log."""
    lines = ninja_log.read_text().splitlines()[after:]
    return [line.split("\t")[3] for line in lines if line.split("\t")[3].endswith(".o")]


def build_rows(jobs: int) -> list[tuple[str, str, str]]:
    """A clean wheel build as a user's `pip install .` makes it (isolated), then, on a copy of the
    tree with a virtual environment of its own, a clean `make install` and a `make install` after
    a one-family edit. The developer's tree and environment are never touched."""
    with tempfile.TemporaryDirectory(prefix="motiloom-bench-build-") as scratch:
        tree, wheels, log = Path(scratch) / "tree", Path(scratch) / "wheels", Path(scratch) / "log"
        tracked_copy(tree)
        pip_wheel = [sys.executable, "-m", "pip", "wheel", "--quiet", "--no-deps", "-w",
                     str(wheels), str(tree)]  # fmt: skip
        wheel_seconds, peak = timed_build(pip_wheel, tree, log)
        size = sum(path.stat().st_size for path in wheels.glob("*.whl")) / 1e6
        shutil.rmtree(tree / "build", ignore_errors=True)
        make = ["make", "--no-print-directory", "install", f"JOBS={jobs}"]
        first, _ = timed_build(make, tree, log)  # the virtual environment and its dependencies
        shutil.rmtree(tree / "build")
        (tree / ".venv" / ".motiloom-installed").unlink()
        clean, _ = timed_build(make, tree, log)
        ninja_log = tree / "build" / "wheel" / ".ninja_log"
        logged = len(ninja_log.read_text().splitlines())
        family = tree / EDITED_FAMILY
        text = family.read_text()
        if FAMILY_EDIT[0] not in text:
            sys.exit(f"{EDITED_FAMILY} no longer holds {FAMILY_EDIT[0]!r}: choose another edit")
        family.write_text(text.replace(FAMILY_EDIT[0], FAMILY_EDIT[1], 1))
        edited, _ = timed_build(make, tree, log)
        objects = compiled_objects(ninja_log, logged)
    ratio = edited / clean
    verdict = "ok" if ratio <= 0.3 else "OVER"
    shards = ", ".join(sorted(Path(o).name.removesuffix(".cpp.o") for o in objects))
    return [
        ("clean pip wheel build (isolated, as a user's)", f"{wheel_seconds:.0f} s", "<= 180 s"),
        ("largest build process, peak memory", f"{peak:.2f} GiB", "<= 4 GiB"),
        ("wheel size", f"{size:.1f} MB", ""),
        ("make install in a new tree (venv, dependencies, build)", f"{first:.0f} s", ""),
        (f"make install, clean build (JOBS={jobs})", f"{clean:.1f} s", ""),
        (f"make install after editing {EDITED_FAMILY.name}", f"{edited:.1f} s",
         f"{ratio:.2f}x of the clean build ({verdict}, <= 0.3x); compiled {shards}"),
    ]  # fmt: skip


# --- motiloom_kit ---------------------------------------------------------------------------------
KIT_SETUP = """
import numpy as np
import motiloom as m
import motiloom_kit as kit
from motiloom_kit import patterns
name = {name!r}
subject = kit.pattern(name)
table = subject.table()
times = kit.Clock(174).frames(60, 600)
whole = times.whole
period = subject.period
wrapped = whole % period
"""


def single_calls_ns(stmt: str, baseline: str, setup: str, rounds: int) -> tuple[float, float]:
    """Best ns of one call of stmt and of the baseline, timed call by call in alternation. Array
    work is timed one call at a time: in a loop of repeats a baseline that makes one array keeps
    reusing the memory it just freed, while the code under test, making several, cannot, and the
    ratio would mostly measure the allocator."""
    subject = timeit.Timer(stmt, setup, globals=globals())
    reference = timeit.Timer(baseline, setup, globals=globals())
    best_subject = best_reference = float("inf")
    for _ in range(rounds):
        best_reference = min(best_reference, reference.timeit(1))
        best_subject = min(best_subject, subject.timeit(1))
    return best_subject * 1e9, best_reference * 1e9


def kit_rows(python: str) -> list[tuple[str, str, str]]:
    """The companion package: arrays against bare numpy, tabulation against per-pip sampling, the
    CLI listing and the gallery page."""
    import motiloom

    import motiloom_kit as kit

    listing = motiloom.catalogue()
    name = next((e["name"] for e in listing if e["period_pips"] == 1024), listing[-1]["name"])
    setup = KIT_SETUP.format(name=name)
    rows = []
    frames = len(kit.Clock(174).frames(60, 600))

    def ratio(label: str, stmt: str, baseline: str, target: float, number: int) -> None:
        ns, reference = single_calls_ns(stmt, baseline, setup, rounds=number * 20)
        verdict = "ok" if ns / reference <= target else "OVER"
        rows.append(
            (label, f"{ns / 1e3:.1f} us", f"{ns / reference:.2f}x ({verdict}, <= {target}x)")
        )

    # The same rows gathered by hand: numpy's take of the pips reduced into the loop.
    gather = "np.take(table, whole % period, axis=0)"
    label = f"kit render, {frames:,} whole pips vs take(table, pips % period)"
    ratio(label, "subject.render(whole)", gather, 2, 20)
    ns, reference = single_calls_ns("subject.render(whole)", "np.take(table, wrapped, axis=0)",
                                    setup, rounds=400)  # fmt: skip
    rows.append(("kit render, same, vs take of indices reduced beforehand", f"{ns / 1e3:.1f} us",
                 f"{ns / reference:.2f}x (for reference)"))  # fmt: skip
    ratio(
        f"kit render linear, {frames:,} fractional pips vs the same take",
        "subject.render(times, 'linear')", gather, 3, 20,
    )  # fmt: skip
    rows += build_fact_rows()
    rows += frame_rows()

    runs = []
    for _ in range(7):
        start = time.perf_counter()
        subprocess.run(
            [python, "-P", "-m", "motiloom_kit", "list"], check=True, capture_output=True
        )
        runs.append(time.perf_counter() - start)
    rows.append((f"python -m motiloom_kit list ({len(listing)} entries)",
                 f"{min(runs) * 1e3:.0f} ms", "<= 100 ms"))  # fmt: skip

    rows.append(gallery_row(python))
    return rows


def build_fact_rows() -> list[tuple[str, str, str]]:
    """Every entry's table, from a fresh start of the kit, against the per-pip calls it replaces."""
    setup = """
import motiloom as m
import motiloom_kit as kit
from motiloom_kit import patterns
names = [e.name for e in kit.entries()]
calls = range(20_000)
def tabulate_all():
    patterns._builtin.cache_clear()
    patterns._baked_sources.cache_clear()
    for name in names:
        kit.pattern(name).table()
"""
    ns, reference = single_calls_ns(
        "tabulate_all()", "for k in calls: m.sample('lfo_breathe', k)", setup, rounds=40
    )
    count = len(__import__("motiloom").catalogue())
    verdict = "ok" if ns <= reference else "OVER"
    # The way the kit read tables before it read the build: every pip through sample().
    namespace: dict[str, object] = {}
    exec(setup, namespace)
    start = time.perf_counter()
    for entry in __import__("motiloom").catalogue():
        sample = namespace["m"].sample  # type: ignore[attr-defined]
        for k in range(entry["period_pips"]):
            sample(entry["name"], k).as_tuple()
    per_pip = time.perf_counter() - start
    return [(f"kit tabulate all {count:,} entries vs 20,000 sample() calls", f"{ns / 1e6:.2f} ms",
             f"{ns / reference:.2f}x ({verdict}, <= 1x); one pip at a time "
             f"{per_pip * 1e3:.0f} ms ({per_pip * 1e9 / ns:.0f}x slower)")]  # fmt: skip


FRAME_SETUP = """
import numpy as np
import motiloom as m
import motiloom_kit as kit
from fractions import Fraction
baked = [e.name for e in kit.entries() if e.kind == "baked"][::27][:64]
rates = ["1", "1/2", "2", "3/2"]
chosen = [kit.pattern(n, rate=rates[i % 4]).shifted(Fraction(i % 4, 4))
          for i, n in enumerate(baked)]
frame = kit.Patterns(chosen)
heads = kit.Heads([kit.Head()] * 64)
levels = kit.LevelTable(frame, heads)
pip = np.array([123_456_789])
def by_name():
    for name in baked:
        m.sample(name, 123_456_789)
subject = kit.pattern(baked[-1])
times = kit.Clock(128).frames(1, 3600)
whole = times.whole
table, period = subject.table(), subject.period
offsets = np.arange(512) * period // 512
"""


def frame_rows() -> list[tuple[str, str, str]]:
    """One frame of a 64-fixture rig, and a 512-fixture spread, against their plain baselines."""
    rows = []
    ns, reference = single_calls_ns("levels.dmx(pip)", "by_name()", FRAME_SETUP, rounds=4000)
    verdict = "ok" if ns <= reference else "OVER"
    rows.append(("kit one frame, 64 patterns to 16-bit DMX vs 64 sample() calls",
                 f"{ns / 1e3:.1f} us", f"{ns / reference:.2f}x ({verdict}, <= 1x)"))  # fmt: skip
    ns, reference = single_calls_ns("heads.dmx16(frame.render(pip))", "by_name()", FRAME_SETUP,
                                    rounds=4000)  # fmt: skip
    rows.append(("kit same frame through positions (Patterns.render, Heads.dmx16)",
                 f"{ns / 1e3:.1f} us", f"{ns / reference:.2f}x (for reference)"))  # fmt: skip
    gather = "np.take(table, (whole[None, :] + offsets[:, None]) % period, axis=0)"
    ns, reference = single_calls_ns("kit.spread(subject, 512, whole)", gather, FRAME_SETUP, 30)
    verdict = "ok" if ns <= 1.3 * reference else "OVER"
    rows.append(("kit spread, 512 fixtures x 3,600 frames vs a broadcast gather",
                 f"{ns / 1e6:.1f} ms", f"{ns / reference:.2f}x ({verdict}, <= 1.3x)"))  # fmt: skip
    import tracemalloc

    namespace: dict[str, object] = {}
    exec(FRAME_SETUP, namespace)
    tracemalloc.start()
    made = eval("kit.spread(subject, 512, whole)", namespace)
    peak = tracemalloc.get_traced_memory()[1]
    tracemalloc.stop()
    ratio = peak / made.nbytes
    verdict = "ok" if ratio <= 1.2 else "OVER"
    output = f"{made.nbytes / 2**20:.1f} MiB"
    rows.append(("kit spread, peak memory vs its output", f"{peak / 2**20:.1f} MiB",
                 f"{ratio:.2f}x of {output} ({verdict}, <= 1.2x)"))  # fmt: skip
    return rows


def gallery_row(python: str) -> tuple[str, str, str]:
    """The gallery of the whole catalogue, and the same page on the public path (tables read one
    pip at a time, as before the kit read the build), in one run."""
    import motiloom_kit

    def best(path: str | None) -> tuple[float, float]:
        env = dict(os.environ)
        if path is not None:
            env["PYTHONPATH"] = path
        times, size = [], 0.0
        with tempfile.TemporaryDirectory() as out:
            for _ in range(3):
                start = time.perf_counter()
                subprocess.run([python, "-P", "-W", "ignore", "-m", "motiloom_kit", "gallery",
                                "-o", out], check=True, capture_output=True, env=env)  # fmt: skip
                times.append(time.perf_counter() - start)
            size = os.path.getsize(os.path.join(out, "index.html")) / 1e6
        return min(times), size

    with tempfile.TemporaryDirectory() as public:
        shutil.copytree(Path(motiloom_kit.__file__).parent, Path(public) / "motiloom_kit",
                        ignore=shutil.ignore_patterns("_tables*", "__pycache__"))  # fmt: skip
        slow, _ = best(public)
    fast, size = best(None)
    verdict = "ok" if slow >= 3 * fast else "UNDER"
    return (f"gallery ({len(motiloom_kit.entries())} entries)", f"{fast:.2f} s, {size:.2f} MB",
            f"public path {slow:.2f} s: {slow / fast:.1f}x faster ({verdict}, >= 3x); "
            "<= 10 s, <= 5 MB")  # fmt: skip


LATENESS = re.compile(
    r"sent ([\d,]+) frames, ([\d,]+) late; lateness p50 ([\d.]+) ms, p99 ([\d.]+) ms"
)


def console_rows(python: str) -> list[tuple[str, str, str]]:
    """The console against a 120-head show at 44 fps, all in one network namespace with olad
    receiving the sACN: page load to the first frame drawn, the frames a page receives and
    draws per second, a change from one page seen by another, and the show's lateness with two
    pages open against without, in one run."""
    label = "console, 120 heads at 44 fps"
    try:
        from console_rig import rig_text
        from kit.chromium import Chromium, executable
        from live import Unavailable
        from live.netns import Namespace
        from live.ola import Olad
    except ImportError as error:
        return [(label, f"skipped: {error}", "")]
    binary = executable()
    if binary is None:
        return [(label, "skipped: chromium is not installed (make browser-deps)", "")]
    try:
        with Namespace() as ns, Olad(ns, "e131", [1]), tempfile.TemporaryDirectory() as folder:
            rig = Path(folder) / "arena.toml"
            rig.write_text(rig_text(120, ns.address))
            play = [python, "-P", "-m", "motiloom_kit", "play", str(rig), "--bpm", "128",
                    "--status", "none", "--seconds", "25"]  # fmt: skip
            alone = ns.run(play, timeout=120).stderr
            show = ns.popen([*play, "--web", "127.0.0.1:8765"], stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, text=True)  # fmt: skip
            assert show.stderr is not None
            while not (line := show.stderr.readline()).startswith("console at "):
                if not line:
                    return [(label, "failed", "the show ended before its console started")]
            browser = Chromium(binary, str(Path(folder) / "profile"), size=(1280, 800),
                               prefix=ns.command([]))  # fmt: skip
            try:
                figures = _console_figures(browser, "http://127.0.0.1:8765/")
            finally:
                browser.close()
            watched = show.communicate(timeout=120)[1]
    except Unavailable as error:
        return [(label, f"skipped: {error}", "")]
    loads, received, drawn, changes = figures
    rows = [(f"{label}: page load to first frame drawn", f"{statistics.median(loads):.0f} ms",
             f"median of {len(loads)} loads, best {min(loads):.0f} ms")]  # fmt: skip
    verdict = "ok" if received >= 0.98 * 44 else "BEHIND"
    rows.append((f"{label}: frames a page receives / draws per second",
                 f"{received:.1f} / {drawn:.1f}",
                 f"the show sends 44 ({verdict}, receives >= 98%)"))  # fmt: skip
    verdict = "ok" if statistics.median(changes) <= 1000 / 44 else "OVER"
    rows.append((f"{label}: a change from one page seen by another",
                 f"{statistics.median(changes):.1f} ms",
                 f"median of {len(changes)} ({verdict}, within a frame, {1000 / 44:.1f} ms); "
                 f"max {max(changes):.1f} ms"))  # fmt: skip
    found = []
    for text, what in ((alone, "without a page"), (watched, "with two pages open")):
        match = LATENESS.search(text)
        if match is None:
            return rows + [(f"{label}: lateness", "failed", text.strip()[-300:])]
        sent, late, p50, p99 = match.groups()
        found.append(float(p99))
        rows.append((f"{label}: show lateness p50 / p99 {what}", f"{p50} / {p99} ms",
                     f"{late} late of {sent} frames"))  # fmt: skip
    rows[-1] = (*rows[-1][:2], rows[-1][2] + f"; p99 {found[1] - found[0]:+.2f} ms with pages")
    return rows


def _console_figures(browser: Any, url: str) -> tuple[list[float], float, float, list[float]]:
    """Load times (ms), frames received and drawn per second, and change latencies (ms)."""
    page = browser.open_page("about:blank")
    loads = []
    for _ in range(5):
        browser.call("Page.navigate", page.session, url=url)
        page.wait_for("document.readyState === 'complete' && window.motiloomConsole && "
                      "window.motiloomConsole.firstFrameDrawn")  # fmt: skip
        loads.append(page.evaluate("window.motiloomConsole.firstFrameDrawn"))
    counts = "[window.motiloomConsole.framesReceived, window.motiloomConsole.framesDrawn]"
    start, (received, drawn) = time.monotonic(), page.evaluate(counts)
    time.sleep(5)
    end, (received_end, drawn_end) = time.monotonic(), page.evaluate(counts)
    other = browser.open_page(url)
    other.wait_for("document.body && document.body.dataset.ready === 'true'")
    other.wait_for("document.getElementById('link').textContent === 'Connected'")
    page.evaluate("document.querySelector(\"#timing button[data-now='true']\").click()")
    size = "document.querySelector(\"[data-group='left'] input.size-value\")"
    changes = []
    for value in ("0.31", "0.32", "0.33", "0.34", "0.35", "0.36", "0.37", "0.38", "0.39", "0.41"):
        sent = page.evaluate(
            f"(() => {{ const t = performance.timeOrigin + performance.now(); const e = {size};"
            f" e.value = '{value}'; e.dispatchEvent(new Event('change')); return t; }})()"
        )
        # When the first state that holds the change reached the other page.
        seen = other.wait_for(
            f"(window.motiloomConsole.states.find(([t, s]) => t > {sent} &&"
            f" s.groups[0].size === {value}) || [0])[0]"
        )
        changes.append(seen - sent)
        time.sleep(0.2)
    return (
        loads,
        (received_end - received) / (end - start),
        (drawn_end - drawn) / (end - start),
        changes,
    )


def load_baseline(native: Path) -> None:
    """Loads the host baseline module from the native build by its file name, so that the timed
    statements import it by name."""
    found = sorted(native.glob("motiloom_bench_baseline*.so"))
    if not found:
        sys.exit(f"{native}: no motiloom_bench_baseline module (make native builds it)")
    where = importlib.util.spec_from_file_location("motiloom_bench_baseline", found[0])
    assert where is not None and where.loader is not None
    module = importlib.util.module_from_spec(where)
    where.loader.exec_module(module)
    sys.modules[where.name] = module


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--native", type=Path, required=True, help="the native build directory")
    parser.add_argument("--python", default=sys.executable)
    parser.add_argument(
        "--build",
        action="store_true",
        help="also time a clean wheel build, and on a copy of the tree a clean make install "
        "against one after a one-family edit",
    )
    parser.add_argument("--jobs", type=int, default=2, help="compile jobs of the --build rows")
    args = parser.parse_args()
    load_baseline(args.native)

    rows = native_rows(args.native) + host_rows() + construction_rows() + refusal_rows(args.python)
    rows += import_rows(args.python)
    rows += kit_rows(args.python)
    import live_show  # beside this file

    rows += live_show.live_rows(lambda stmt, base, setup, n: single_calls_ns(stmt, base, setup, n))
    rows += console_rows(args.python)
    if args.build:
        rows += build_rows(args.jobs)
    width = max(len(r[0]) for r in rows)
    value_width = max(len(r[1]) for r in rows)
    print(f"{'what':<{width}}  {'measured':>{value_width}}  target / ratio")
    for label, value, target in rows:
        print(f"{label:<{width}}  {value:>{value_width}}  {target}")


if __name__ == "__main__":
    main()
