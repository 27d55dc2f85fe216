"""python -m tablegen: writes every output or nothing, lists its outputs without baking, and is
deterministic across processes."""

from __future__ import annotations

import os
import subprocess
import sys
from pathlib import Path

import pytest

CATALOGUE_SRC = Path(__file__).resolve().parents[2] / "src" / "catalogue"


def tablegen(*args, hash_seed="0"):
    """python -m tablegen run from the generator's own root, as the build runs it."""
    env = dict(os.environ, PYTHONHASHSEED=hash_seed)
    return subprocess.run(
        [sys.executable, "-m", "tablegen", *map(str, args)],
        capture_output=True,
        text=True,
        env=env,
        cwd=CATALOGUE_SRC,
    )


def tree(root: Path) -> dict[str, bytes]:
    return {p.relative_to(root).as_posix(): p.read_bytes() for p in root.rglob("*") if p.is_file()}


def test_list_outputs_names_exactly_the_files_a_run_writes(tmp_path, small_packs):
    listed = tablegen("--packs", small_packs, "--list-outputs")
    assert listed.returncode == 0, listed.stderr
    out = tmp_path / "out"
    run = tablegen("--packs", small_packs, "--out", out)
    assert run.returncode == 0, run.stderr
    paths = listed.stdout.splitlines()
    assert paths == sorted(tree(out))
    assert "packs/initial/loop.hpp" in paths and "packs/expansion/ring-0.cpp" in paths


def test_list_outputs_bakes_nothing_and_shards_by_size(tmp_path, small_packs):
    # Listing imports a family for its periods but never evaluates a curve.
    (small_packs / "expansion" / "20_big.py").write_text(
        "from tablegen.model import Pattern\n"
        "def never(k):\n"
        "    raise RuntimeError('baked while listing')\n"
        "PATTERNS = [Pattern(f'big_{i:03}_table',"
        " 'A table that listing must not bake, only count.', 1024, 1, never)"
        " for i in range(130)]\n"
    )
    listed = tablegen("--packs", small_packs, "--list-outputs")
    assert listed.returncode == 0, listed.stderr
    # 130 tables of 1,024 entries fill three shards of at most 65,536 entries.
    big = [p for p in listed.stdout.splitlines() if p.startswith("packs/expansion/big")]
    assert big == ["packs/expansion/big-0.cpp", "packs/expansion/big-1.cpp",
                   "packs/expansion/big-2.cpp", "packs/expansion/big.hpp"]  # fmt: skip
    assert not (tmp_path / "out").exists()


def test_two_runs_in_separate_processes_write_identical_bytes(tmp_path, small_packs):
    first, second = tmp_path / "first", tmp_path / "second"
    assert tablegen("--packs", small_packs, "--out", first, hash_seed="1").returncode == 0
    assert tablegen("--packs", small_packs, "--out", second, hash_seed="2").returncode == 0
    assert tree(first) == tree(second)
    assert len(tree(first)) == 9


BROKEN = {
    "out of bounds": (
        (
            "ring_too_wide",
            "An ellipse wider than the field, so it is out of bounds.",
            256,
            1.5,
            0.3,
        ),
        "tablegen: ring_too_wide: bounds: ",
    ),
    "period off the grid": (
        (
            "ring_odd_period",
            "An ellipse whose period is not a whole number of half beats.",
            200,
            0.5,
            0.3,
        ),
        "tablegen: ring_odd_period: period: ",
    ),
    "bad description": (
        (
            "ring_bad_words",
            "An ellipse whose description ends with a bang, not allowed!",
            256,
            0.5,
            0.3,
        ),
        "tablegen: ring_bad_words: description characters: ",
    ),
}


@pytest.mark.parametrize("row, message", BROKEN.values(), ids=BROKEN.keys())
def test_a_broken_table_fails_the_run_and_writes_nothing(
    tmp_path, write_packs, small_catalogue, row, message
):
    out = tmp_path / "out"
    good = write_packs(small_catalogue)
    assert tablegen("--packs", good, "--out", out).returncode == 0
    before = {p: (data, (out / p).stat().st_mtime_ns) for p, data in tree(out).items()}

    broken = {key: dict(families) for key, families in small_catalogue.items()}
    broken["initial"]["30_bad.py"] = [row]
    packs = write_packs(broken)
    result = tablegen("--packs", packs, "--out", out)
    assert result.returncode == 1
    assert result.stderr.startswith(message), result.stderr
    assert {p: (data, (out / p).stat().st_mtime_ns) for p, data in tree(out).items()} == before

    fresh = tmp_path / "fresh"
    assert tablegen("--packs", packs, "--out", fresh).returncode == 1
    assert not fresh.exists()


def test_a_curve_that_raises_is_reported_with_its_table(tmp_path, small_packs):
    (small_packs / "initial" / "30_faulty.py").write_text(
        "from tablegen.model import Pattern\n"
        "PATTERNS = [Pattern('faulty_curve',"
        " 'A curve that divides by zero, as an authoring fault.', 256, 1,"
        " lambda k: (1 / (k - 7),))]\n"
    )
    result = tablegen("--packs", small_packs, "--out", tmp_path / "out")
    assert result.returncode == 1
    assert result.stderr.startswith(
        "tablegen: faulty_curve: bake: the curve raised ZeroDivisionError"
    )
    assert not (tmp_path / "out").exists()


def test_a_module_that_does_not_load_fails_the_run_with_a_message(tmp_path, small_packs):
    (small_packs / "initial" / "30_typo.py").write_text("PATTERNS = [\n")
    result = tablegen("--packs", small_packs, "--out", tmp_path / "out")
    assert result.returncode == 1
    assert result.stderr.rstrip().splitlines()[-1].startswith("tablegen: SyntaxError: ")
    assert not (tmp_path / "out").exists()


@pytest.mark.parametrize(
    "args, code, message",
    [
        (
            ["--packs", "{missing}", "--out", "{out}"],
            1,
            "tablegen: {missing}: not a directory of packs",
        ),
        (
            ["--packs", "{missing}", "--list-outputs"],
            1,
            "tablegen: {missing}: not a directory of packs",
        ),
        (["--packs", "{empty}", "--out", "{out}"], 1, "tablegen: {empty}: holds no pack"),
        (["--packs", "{empty}"], 2, "--out is required"),
    ],
)
def test_bad_command_lines_fail_with_a_message(tmp_path, args, code, message):
    (tmp_path / "empty").mkdir()
    names = {"missing": tmp_path / "missing", "empty": tmp_path / "empty", "out": tmp_path / "out"}
    result = tablegen(*(a.format(**names) for a in args))
    assert result.returncode == code
    assert message.format(**names) in result.stderr
    assert not (tmp_path / "out").exists()


def test_the_cache_bakes_only_families_whose_sources_changed(tmp_path, small_packs):
    out, cache = tmp_path / "out", tmp_path / "cache"
    args = ("--packs", small_packs, "--out", out, "--cache", cache, "--jobs", "2")
    first = tablegen(*args)
    assert first.returncode == 0, first.stderr
    assert "3 of 3 families baked; 9 of 9 files rewritten" in first.stdout
    clean = tree(out)

    again = tablegen(*args)
    assert "0 of 3 families baked; 0 of 9 files rewritten" in again.stdout

    # An edit to one family's module re-bakes that family alone and rewrites its shard only.
    loop = small_packs / "initial" / "20_loop.py"
    loop.write_text(loop.read_text().replace("0.45", "0.44"))
    edited = tablegen(*args)
    assert "1 of 3 families baked; 1 of 9 files rewritten" in edited.stdout, edited.stdout
    assert {p for p, data in tree(out).items() if clean[p] != data} == {"packs/initial/loop-0.cpp"}

    # A cache entry that cannot be read is baked again, with the same output.
    for entry in cache.iterdir():
        entry.write_bytes(b"not a cache entry")
    loop.write_text(loop.read_text().replace("0.44", "0.45"))
    rebuilt = tablegen(*args)
    assert "3 of 3 families baked" in rebuilt.stdout, rebuilt.stderr
    assert tree(out) == clean


def test_an_edit_to_shared_authoring_data_re_bakes_every_family(tmp_path, small_packs):
    args = ("--packs", small_packs, "--out", tmp_path / "out", "--cache", tmp_path / "cache")
    assert tablegen(*args).returncode == 0
    shared = small_packs / "beatgrid"
    shared.mkdir()
    (shared / "__init__.py").write_text("TEMPO = 1\n")
    assert "3 of 3 families baked" in tablegen(*args).stdout


DISTINCT_RINGS = (
    "\nfrom dataclasses import replace\nfrom tablegen.model import Distinct\n"
    "PACK = replace(PACK, distinct=(Distinct('rings', '_ring', 0.05, 0.02),))\n"
)


def test_a_near_copy_is_found_against_a_family_read_from_the_cache(tmp_path, write_packs):
    """The tables a group compares come from the cache when their family was not baked again."""
    club = ("ring_wide_ring", "A wide ellipse of the club pack, for the distinct rule.", 256)
    dancefloor = ("ring_tall_ring", "A tall ellipse of the dancefloor pack, for the rule.", 256)
    packs = write_packs(
        {"club": {"10_ring.py": [(*club, 0.8, 0.3)]},
         "dancefloor": {"10_ring.py": [(*dancefloor, 0.3, 0.8)]}}
    )  # fmt: skip
    for key in ("club", "dancefloor"):
        with open(packs / key / "pack.py", "a", encoding="utf-8") as stream:
            stream.write(DISTINCT_RINGS)
    args = ("--packs", packs, "--out", tmp_path / "out", "--cache", tmp_path / "cache")
    first = tablegen(*args)
    assert first.returncode == 0, first.stderr

    ring = packs / "dancefloor" / "10_ring.py"
    ring.write_text(ring.read_text().replace("256, 0.3, 0.8", "256, 0.8, 0.29"))
    copied = tablegen(*args)
    assert copied.returncode == 1
    assert copied.stderr.startswith(
        "tablegen: rings: distinct tables: 1 pair lies within 0.05 of each other at every pip: "
        "ring_wide_ring ~ ring_tall_ring (0.0100)"
    ), copied.stderr
