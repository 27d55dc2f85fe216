"""motiloom play, check and record as a user runs them: their output, their files and their
refusals (one line, status 2)."""

import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest

from motiloom_kit.record import recorded_frames
from motiloom_kit.rig import load

EXAMPLES = Path(__file__).resolve().parents[2] / "examples" / "rigs"
MOTILOOM = [sys.executable, "-P", "-m", "motiloom_kit"]


def run(*argv, timeout=60):
    return subprocess.run([*MOTILOOM, *argv], capture_output=True, text=True, timeout=timeout,
                          check=False)  # fmt: skip


def test_play_runs_for_its_seconds_and_says_what_it_sent():
    done = run("play", str(EXAMPLES / "four_heads.toml"), "--bpm", "128", "--seconds", "1",
               "--status", "none", "--osc-in", "0")  # fmt: skip
    assert done.returncode == 0, done.stderr
    assert "sent 44 frames, 0 late" in done.stderr


def test_check_prints_the_patch_and_the_speed_check():
    done = run("check", str(EXAMPLES / "four_heads.toml"))
    assert done.returncode == 0, done.stderr
    lines = done.stdout.splitlines()
    assert lines[0] == "4 fixtures, 1 groups, universes 1; 44 fps"
    assert "  spot3: pan-tilt-16, universe 1 channels 9-12" in done.stdout
    assert any(line.startswith("  front: ") and "size scaled by" in line for line in lines)


@pytest.mark.parametrize("suffix", [".npz", ".show"])
def test_record_writes_the_frames_of_the_show(tmp_path, suffix):
    rig_file = EXAMPLES / "four_heads.toml"
    target = tmp_path / f"take{suffix}"
    done = run("record", str(rig_file), "--bpm", "128", "--seconds", "2", "-o", str(target))
    assert done.returncode == 0, done.stderr
    frames, positions = recorded_frames(load(rig_file, bpm=128), 128, 2)
    if suffix == ".npz":
        with np.load(target) as saved:
            assert np.array_equal(saved["universe_1"], frames[1])
            assert np.array_equal(saved["pips"], positions)
        return
    lines = target.read_text().splitlines()
    assert lines[0] == "OLA Show"
    data = [line for line in lines[1:] if " " in line]
    delays = [int(line) for line in lines[1:] if " " not in line]
    assert [list(map(int, line.split(" ")[1].split(","))) for line in data] == frames[1].tolist()
    assert len(delays) == len(data) - 1 and sum(delays) == round(1000 * (len(data) - 1) / 44)
    assert set(delays) == {22, 23}


@pytest.mark.parametrize(
    ("argv", "message"),
    [
        (["play", "{dir}/absent.toml", "--seconds", "1"], "absent.toml: No such file"),
        (["play", "{dir}/bad.toml", "--seconds", "1"], "fixture[1].address: 600 is outside 1-512"),
        (["check", "{dir}/bad.toml"], "fixture[1].address: 600 is outside 1-512"),
        (["record", "{rig}", "--bpm", "120", "--seconds", "1", "-o", "{dir}/take.txt"],
         "must end in .npz or .show"),
        (["record", "{rig}", "--bpm", "120", "--seconds", "1", "-o", "{dir}/no/take.npz"],
         "does not exist"),
        (["play", "{rig}", "--osc-in", "host:port"], "expected [HOST:]PORT"),
    ],
)  # fmt: skip
def test_refusals_are_one_line(tmp_path, argv, message):
    (tmp_path / "bad.toml").write_text(
        '[[output]]\nprotocol = "sacn"\nuniverses = [1]\n[[fixture]]\nname = "a"\n'
        "universe = 1\naddress = 600\n"
    )
    words = [a.replace("{dir}", str(tmp_path)).replace("{rig}", str(EXAMPLES / "four_heads.toml"))
             for a in argv]  # fmt: skip
    done = run(*words)
    assert done.returncode == 2 and message in done.stderr, done.stderr
    assert len(done.stderr.strip().splitlines()) == 1 or "usage:" in done.stderr
    assert sorted(p.name for p in tmp_path.iterdir()) == ["bad.toml"]
