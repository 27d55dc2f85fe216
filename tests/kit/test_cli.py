"""python -m motiloom_kit: its commands, their output files and their refusals."""

import csv
import json
import re
import subprocess
import sys

import numpy as np
import pytest

from motiloom_kit import Clock, catalogue, pattern
from motiloom_kit.cli import main

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
    done = subprocess.run([sys.executable, "-c", probe], capture_output=True, text=True, check=True)
    assert done.stdout.splitlines()[-1] == "False"


def test_show(capsys):
    status, out, _ = run(capsys, "show", "helix", "--width", "32")
    lines = out.splitlines()
    assert status == 0 and lines[0].startswith("helix  (procedural")
    sparks = [line for line in lines if line[:2] in ("x ", "y ", "z ")]
    assert len(sparks) == 3 and all(len(line.split()[1]) == 32 for line in sparks)


@pytest.mark.parametrize("suffix", [".npy", ".csv", ".json"])
def test_export_formats(capsys, tmp_path, suffix):
    target = tmp_path / f"out{suffix}"
    argv = ["export", "figure_eight", "--bpm", "174", "--fps", "60", "--seconds", "2.5"]
    status, _, _ = run(capsys, *argv, "--rate", "3/2", "-o", str(target))
    assert status == 0
    times = Clock(174).frames(60, 2.5)
    expected = pattern("figure_eight", rate="3/2").render(times, "linear")
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
    ],
)  # fmt: skip
def test_refusals_exit_2_and_leave_no_file(capsys, tmp_path, argv, message):
    (tmp_path / "taken").write_text("already here")
    if "-o" not in argv:
        argv = [*argv, "-o", "{dir}/out.npy"] if argv[0] == "export" else argv
    status, out, err = run(capsys, *[a.replace("{dir}", str(tmp_path)) for a in argv])
    assert status == 2 and message in err and out == ""
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
        [sys.executable, "-m", "motiloom_kit", "show", "lfo_breth"], capture_output=True, text=True
    )
    assert done.returncode == 2 and "did you mean lfo_breathe" in done.stderr
