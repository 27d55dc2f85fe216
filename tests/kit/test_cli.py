"""python -m motiloom_kit: its commands, their output files and their refusals."""

import argparse
import csv
import inspect
import json
import os
import re
import signal
import stat
import subprocess
import sys
import time

import numpy as np
import pytest

from motiloom_kit import Clock, Pattern, catalogue, pattern
from motiloom_kit.cli import build_parser, main

EVERY_NAME = [e.name for e in catalogue.entries()]


def run(capsys, *argv):
    try:
        status = main(list(argv))
    except SystemExit as stop:  # argparse refusals
        status = stop.code
    out, err = capsys.readouterr()
    return status, out, err


@pytest.mark.parametrize(
    ("argv", "keeps"),
    [
        ([], lambda e: True),
        (["lfo_*"], lambda e: e.name.startswith("lfo_")),
        (
            ["--dimensions", "2", "--period", "64"],
            lambda e: e.dimensions == 2 and e.period_pips == 64,
        ),
        (["--pack", "procedural"], lambda e: e.kind == "procedural"),
        (["*", "--family", "lfo"], lambda e: e.family == "lfo"),
    ],
)
def test_list_filters(capsys, argv, keeps):
    status, out, _ = run(capsys, "list", *argv, "--json")
    assert status == 0
    listed = json.loads(out)
    assert [e["name"] for e in listed] == [
        n for n, e in zip(EVERY_NAME, catalogue.entries(), strict=True) if keeps(e)
    ]
    status, out, _ = run(capsys, "list", *argv)
    assert [line.split()[0] for line in out.splitlines()] == [e["name"] for e in listed]


def test_list_starts_without_numpy():
    probe = "import sys, motiloom_kit.cli as c; c.main(['list']); print('numpy' in sys.modules)"
    done = subprocess.run(
        [sys.executable, "-P", "-c", probe], capture_output=True, text=True, check=True
    )
    assert done.stdout.splitlines()[-1] == "False"


def test_show(capsys):
    status, out, _ = run(capsys, "show", "helix", "--width", "32")
    lines = out.splitlines()
    assert status == 0 and lines[0].startswith("helix  (procedural")
    sparks = [line for line in lines if line[:2] in ("x ", "y ", "z ")]
    assert len(sparks) == 3 and all(len(line.split()[1]) == 32 for line in sparks)


@pytest.mark.parametrize("interpolate", [None, "linear"])
@pytest.mark.parametrize("suffix", [".npy", ".csv", ".json"])
def test_export_formats(capsys, tmp_path, suffix, interpolate):
    target = tmp_path / f"out{suffix}"
    argv = ["export", "figure_eight", "--bpm", "174", "--fps", "60", "--seconds", "2.5"]
    if interpolate:
        argv += ["--interpolate", interpolate]
    status, _, _ = run(capsys, *argv, "--rate", "3/2", "-o", str(target))
    assert status == 0
    times = Clock(174).frames(60, 2.5)
    subject = pattern("figure_eight", rate="3/2")
    expected = subject.render(times, interpolate) if interpolate else subject.render(times)
    if suffix == ".npy":
        written = np.load(target)
    elif suffix == ".csv":
        with target.open() as stream:
            rows = list(csv.DictReader(stream))
        assert [float(r["pip"]) for r in rows] == times.positions.tolist()
        written = np.array([[float(r[c]) for c in "xyz"] for r in rows])
    else:
        document = json.loads(target.read_text())
        assert document["name"] == "figure_eight" and document["frames"] == len(times)
        written = np.array(document["positions"])
    assert written.shape == (150, 3) and np.array_equal(written, expected)


@pytest.mark.parametrize(
    ("argv", "message"),
    [
        (["export", "figure_eigth", "--bpm", "120", "--fps", "30", "--seconds", "1"],
         "Unknown motiloom: figure_eigth (did you mean figure_eight"),
        (["export", "circle", "--bpm", "120", "--fps", "30", "--seconds", "1", "-o", "{dir}/o.txt"],
         "must end in .npy, .csv or .json"),
        (["export", "circle", "--bpm", "0", "--fps", "30", "--seconds", "1"],
         "bpm must be above zero"),
        (["export", "circle", "--bpm", "120", "--fps", "30", "--seconds", "1", "--rate", "fast"],
         "rate must be a number"),
        (["export", "circle", "--bpm", "120", "--fps", "30", "--seconds", "1",
          "-o", "{dir}/no/o.csv"],
         "does not exist"),
        (["show", "bounse"], "Unknown motiloom: bounse (did you mean bounce"),
        (["sheet", "zz*", "-o", "{dir}/s.png"], "no catalogue entry matches"),
        (["sheet", "*", "-o", "{dir}/s.png", "--max", "3"], "narrow the pattern"),
        (["sheet", "lfo_*", "-o", "{dir}/s.gif"], "must end in .png, .svg or .pdf"),
        (["gallery", "-o", "{dir}/taken"], "is not a directory"),
        (["list", "--pack", "nowhere"], "invalid choice"),
        (["export", "circle", "--bpm", "120", "--fps", "30", "--seconds", "1", "--rate", "1/0"],
         "rate divides by zero"),
        (["export", "circle", "--bpm", "120", "--fps", "30", "--seconds", "1", "--start", "1e17"],
         "beyond the int64 range"),
        (["export", "circle", "--bpm", "120", "--fps", "30", "--seconds", "0"],
         "--seconds must be above zero"),
        (["export", "circle", "--bpm", "120", "--fps", "30", "--seconds", "1", "-o", "/sys/o.csv"],
         "Permission denied: '/sys/o.csv'"),
        (["export", "\x1b[2Jcircle\x07", "--bpm", "120", "--fps", "30", "--seconds", "1"],
         "Unknown motiloom: \\x1b[2Jcircle\\x07"),
        (["show", "circle\udcff"], "name: not valid UTF-8: circle\\xff"),
        (["show", "multi\nline"], "Unknown motiloom: multi\\nline"),
        (["sheet", "lfo_*", "-o", "/sys/s.png"], "Permission denied: '/sys/s.png'"),
        (["sheet", "*", "-o", "{dir}/s.png", "--max", "501"], "expected a number from 1 to 500"),
        (["sheet", "*", "-o", "{dir}/s.png", "--columns", "0"], "expected a number from 1 to 50"),
        (["gallery", "-o", "/sys/site"], "not permitted: '/sys/site'"),
        (["list", "zz*"], "no catalogue entry matches 'zz*'"),
        (["list", "lfo_breth", "--json"], "no catalogue entry matches 'lfo_breth' (did you mean"),
        (["list", "--family", "nowhere", "--families"], "no catalogue entry matches '*'"),
    ],
)  # fmt: skip
def test_refusals_exit_2_in_one_line_and_leave_no_file(capsys, tmp_path, argv, message):
    (tmp_path / "taken").write_text("already here")
    if "-o" not in argv:
        argv = [*argv, "-o", "{dir}/out.npy"] if argv[0] == "export" else argv
    status, out, err = run(capsys, *[a.replace("{dir}", str(tmp_path)) for a in argv])
    assert status == 2 and message in err and out == ""
    assert err.count("\n") == 1 and err.startswith("motiloom_kit: error: ")
    assert err[:-1].isprintable()  # no escape or other control character reaches the terminal
    assert sorted(p.name for p in tmp_path.iterdir()) == ["taken"]
    assert (tmp_path / "taken").read_text() == "already here"


def test_sheet_and_gallery(capsys, tmp_path):
    pytest.importorskip("matplotlib")
    status, _, err = run(capsys, "sheet", "*_roll", "-o", str(tmp_path / "rolls.png"))
    assert status == 0 and (tmp_path / "rolls.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    assert f"drew {len(catalogue.select('*_roll'))} patterns" in err
    status, _, err = run(capsys, "gallery", "-o", str(tmp_path / "site"), "--bpm", "128")
    page = (tmp_path / "site" / "index.html").read_text()
    assert status == 0 and f"wrote {len(EVERY_NAME)} patterns" in err
    assert all(json.dumps(name) in page for name in EVERY_NAME)
    assert re.search(r"""(src|href)\s*=|@import|url\(""", page) is None  # nothing from elsewhere


def test_python_dash_m_runs_the_cli():
    done = subprocess.run(
        [sys.executable, "-P", "-m", "motiloom_kit", "show", "lfo_breth"],
        capture_output=True,
        text=True,
    )
    assert done.returncode == 2 and "did you mean lfo_breathe" in done.stderr


@pytest.mark.parametrize(
    ("argv", "line"),
    [
        (["show", b"lfo_\xff\x1b[31m"], b"name: not valid UTF-8: lfo_\\xff\\x1b[31m"),
        # Once a Fraction of a billion digits: hours of work before any answer.
        (["export", "circle", "--bpm", "120", "--fps", "30", "--seconds", "1",
          "--rate", "1e999999999", "-o", "{dir}/never.npy"],
         b"rate must have at most 1000 digits and a power of ten within 10**\xc2\xb11000, "
         b"got '1e999999999'"),
    ],
)  # fmt: skip
def test_refusals_of_a_real_command_line(tmp_path, argv, line):
    argv = [a.replace("{dir}", str(tmp_path)) if isinstance(a, str) else a for a in argv]
    done = subprocess.run(
        [sys.executable, "-P", "-m", "motiloom_kit", *argv], capture_output=True, timeout=60
    )
    assert done.returncode == 2 and done.stdout == b""
    assert done.stderr == b"motiloom_kit: error: " + line + b"\n"
    assert list(tmp_path.iterdir()) == []


@pytest.mark.parametrize(
    ("argv", "step"),
    [
        (["export", "circle", "--bpm", "120", "--fps", "30", "--seconds", "9", "-o", "/sys/x.npy"],
         "motiloom_kit.patterns.Pattern.render"),
        (["sheet", "*_roll", "-o", "/sys/rolls.png"], "motiloom_kit.sheet._draw"),
        (["gallery", "-o", "/sys/site"], "motiloom_kit.gallery.build_page"),
    ],
)  # fmt: skip
def test_an_unwritable_output_is_refused_before_the_work(capsys, monkeypatch, argv, step):
    pytest.importorskip("matplotlib")

    def work(*args, **kwargs):
        raise AssertionError("the work started before the output was known to be writable")

    monkeypatch.setattr(step, work)
    status, out, err = run(capsys, *argv)
    assert status == 2 and out == "" and err.count("\n") == 1


FSIZE_CHILD = """
import resource, sys
from motiloom_kit.cli import main
resource.setrlimit(resource.RLIMIT_FSIZE, ({limit}, {limit}))  # past it a write fails (EFBIG)
sys.exit(main({argv!r}))
"""


@pytest.mark.parametrize(
    ("argv", "named"),
    [
        (["export", "helix", "--bpm", "120", "--fps", "60", "--seconds", "60", "-o", "{dir}/a.csv"],
         "{dir}/a.csv"),
        (["gallery", "-o", "{dir}/new/deeper/site"], "{dir}/new/deeper/site/index.html"),
    ],
)  # fmt: skip
def test_a_write_that_fails_names_the_file_and_leaves_nothing(tmp_path, argv, named):
    argv = [a.replace("{dir}", str(tmp_path)) for a in argv]
    code = FSIZE_CHILD.format(limit=4096, argv=argv)
    done = subprocess.run(
        [sys.executable, "-P", "-c", code], capture_output=True, text=True, timeout=120
    )
    assert done.returncode == 1, done.stderr
    named = named.replace("{dir}", str(tmp_path))
    assert done.stderr == f"motiloom_kit: error: [Errno 27] File too large: '{named}'\n"
    assert list(tmp_path.iterdir()) == []  # no temporary file, no folder made for the page


def test_sigterm_during_an_export_leaves_nothing(tmp_path):
    target = tmp_path / "long.json"
    child = subprocess.Popen(
        [sys.executable, "-P", "-m", "motiloom_kit", "export", "helix", "--bpm", "120",
         "--fps", "1000", "--seconds", "9000", "-o", str(target)],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
    )  # fmt: skip
    try:
        deadline = time.monotonic() + 60
        while not any(tmp_path.iterdir()) and time.monotonic() < deadline:
            time.sleep(0.02)  # until its temporary file exists: the export is under way
        assert any(tmp_path.iterdir()), "the export never started writing"
        child.send_signal(signal.SIGTERM)
        out, err = child.communicate(timeout=60)
    finally:
        if child.poll() is None:
            child.kill()
            child.communicate()
    assert child.returncode == 128 + signal.SIGTERM
    assert out == "" and err == "motiloom_kit: terminated\n"
    assert list(tmp_path.iterdir()) == []


@pytest.mark.parametrize(
    ("before", "umask", "after"),
    [(0o600, 0o022, 0o600), (0o755, 0o077, 0o755), (None, 0o027, 0o640), (None, 0o002, 0o664)],
)
def test_an_export_keeps_the_mode_of_the_file_it_replaces(capsys, tmp_path, before, umask, after):
    target = tmp_path / "out.npy"
    if before is not None:
        target.write_bytes(b"old")
        target.chmod(before)
    old = os.umask(umask)
    try:
        status, _, _ = run(capsys, "export", "circle", "--bpm", "120", "--fps", "30",
                           "--seconds", "1", "-o", str(target))  # fmt: skip
    finally:
        os.umask(old)
    assert status == 0 and np.load(target).shape == (30, 3)
    assert stat.S_IMODE(target.stat().st_mode) == after


def test_piped_list_output_keeps_every_description_whole(capsys):
    status, out, _ = run(capsys, "list")
    assert status == 0
    descriptions = {line.split("  ", 1)[0].strip(): line for line in out.splitlines()}
    longest = max(catalogue.entries(), key=lambda e: len(e.description))
    assert len(longest.description) > 120
    assert descriptions[longest.name].endswith("  " + longest.description)


@pytest.mark.parametrize("argv", [[], ["--pack", "club"], ["beat_*"], ["--dimensions", "1"]])
def test_list_families_shows_what_exists(capsys, argv):
    status, out, _ = run(capsys, "list", "--families", *argv, "--json")
    assert status == 0
    chosen = catalogue.select(
        argv[0] if argv and not argv[0].startswith("-") else "*",
        **({"pack": argv[1]} if argv[:1] == ["--pack"] else {}),
        **({"dimensions": int(argv[1])} if argv[:1] == ["--dimensions"] else {}),
    )
    counted = {}
    for e in chosen:
        counted.setdefault(e.family, []).append(e)
    assert {f["family"]: f["entries"] for f in json.loads(out)} == {
        family: len(members) for family, members in counted.items()
    }
    status, out, _ = run(capsys, "list", "--families", *argv)
    assert [line.split()[0] for line in out.splitlines()] == list(counted)


@pytest.mark.parametrize(
    ("command", "option"),
    [("show", "name"), ("export", "name"), ("export", "--bpm"), ("export", "--fps"),
     ("export", "--interpolate"), ("sheet", "--columns"), ("list", "--families")],
)  # fmt: skip
def test_every_argument_has_help(command, option):
    subparsers = next(
        a for a in build_parser()._actions if isinstance(a, argparse._SubParsersAction)
    )
    actions = subparsers.choices[command]._actions
    action = next(a for a in actions if option in a.option_strings or a.dest == option)
    assert action.help and len(action.help.split()) >= 2


def test_export_and_render_share_one_interpolation_default():
    args = build_parser().parse_args(
        ["export", "circle", "--bpm", "1", "--fps", "1", "--seconds", "1", "-o", "x.npy"]
    )
    default = inspect.signature(Pattern.render).parameters["interpolate"].default
    assert args.interpolate == default
    export_help = (
        next(a for a in build_parser()._actions if isinstance(a, argparse._SubParsersAction))
        .choices["export"]
        .format_help()
    )
    assert f"({default})" in " ".join(export_help.split())


MEMORY_CHILD = """
import resource, sys
import motiloom_kit.export, motiloom_kit.patterns  # numpy's own mappings come before the cap
from motiloom_kit.cli import main
with open("/proc/self/statm") as statm:
    used = int(statm.read().split()[0]) * resource.getpagesize()
resource.setrlimit(resource.RLIMIT_AS, (used + {headroom} * 2**20,) * 2)
sys.exit(main({argv!r}))
"""


@pytest.mark.skipif(
    "libasan" in os.environ.get("LD_PRELOAD", ""), reason="ASan cannot start under a memory cap"
)
@pytest.mark.parametrize("suffix", [".csv", ".json"])
def test_text_exports_are_written_a_block_at_a_time(tmp_path, suffix):
    """A million frames: the arrays take 48 MB; their text as Python lists took over 300 MB.
    With 160 MB of room the export must still succeed."""
    target = tmp_path / f"million{suffix}"
    argv = ["export", "helix", "--bpm", "120", "--fps", "1000", "--seconds", "1000",
            "-o", str(target)]  # fmt: skip
    code = MEMORY_CHILD.format(headroom=160, argv=argv)
    done = subprocess.run(
        [sys.executable, "-P", "-c", code], capture_output=True, text=True, timeout=300
    )
    assert done.returncode == 0, done.stderr
    with target.open() as stream:
        if suffix == ".csv":
            lines = sum(1 for _ in stream)
            assert lines == 1_000_001
        else:
            document = json.load(stream)
            assert document["frames"] == 1_000_000 == len(document["positions"])
