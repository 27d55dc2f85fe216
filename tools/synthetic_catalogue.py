#!/usr/bin/env python3
"""Writes a synthetic catalogue of the full size, and measures building the module from it.

    .venv/bin/python tools/synthetic_catalogue.py DIR
        write DIR/packs: 1,716 tables, 1,022,912 entries, cut into families as the real packs are
        (the dancefloor in two families of 432 and 512)
    .venv/bin/python tools/synthetic_catalogue.py DIR --measure
        also build the extension from it: a clean build, a rebuild with nothing changed and a
        rebuild after editing one family

The tables are smooth closed curves (a few cosine harmonics with hashed amplitudes, so every value
has twelve significant decimals and no two tables are alike), with the real per-pack periods and
axes. Each pack's declaration is measured from its own baked tables. Measuring needs the native
build tools of the dev loop (.venv with cmake, ninja and pybind11, as `make` installs them).
"""

from __future__ import annotations

import argparse
import os
import re
import shutil
import subprocess
import time
from pathlib import Path

from tablegen.bake import bake
from tablegen.checks import BakedRecord, Measured

REPO = Path(__file__).resolve().parent.parent

# Per pack: tables by period, tables by axes, and how the tables are cut into family modules.
PACKS = {
    "initial": ({256: 22, 512: 6}, {1: 12, 2: 16}, [4, 4, 5, 5, 5, 5]),
    "expansion": ({256: 3, 448: 1, 512: 17, 1024: 3}, {1: 1, 2: 20, 3: 3}, [8, 8, 8]),
    "atlas": (
        {160: 3, 224: 5, 288: 4, 320: 3, 352: 5, 384: 2, 416: 4, 448: 1, 480: 1, 512: 144,
         544: 1, 608: 1, 640: 1, 768: 1, 1024: 80},
        {1: 16, 2: 168, 3: 72},
        [16] * 13 + [8] * 6,
    ),
    "continuum": (
        {288: 1, 320: 1, 352: 1, 384: 2, 416: 2, 448: 4, 480: 4, 512: 129, 1024: 176},
        {2: 68, 3: 252},
        [16] * 20,
    ),
    "club": ({256: 4, 512: 124, 768: 4, 1024: 12}, {2: 45, 3: 99}, [144]),
    "dancefloor": ({256: 12, 512: 884, 768: 12, 1024: 36}, {2: 4, 3: 940}, [432, 512]),
}  # fmt: skip

SHARED = '''"""Synthetic curves shared by every family: cosine harmonics with hashed amplitudes."""
import math

from tablegen.model import Pattern
from tablegen.shapes import hashed_unit


def curve(name, period, axes):
    terms = [
        [(n, 0.3 / n * hashed_unit(name, axis, n)) for n in (1, 2, 3)] for axis in range(axes)
    ]

    def at(k):
        phi = 2 * math.pi * k / period
        return tuple(0.1 + sum(a * math.cos(n * phi) for n, a in lane) for lane in terms)

    return at


def patterns(pack, rows):
    beat = pack in ("club", "dancefloor")
    out = []
    for number, period, axes in rows:
        name = f"{'beat_' if beat else ''}syn_{pack}_{number:04}"
        dash = " \\u2014 " if beat else " - "
        text = f"Synthetic {pack} table {number}{dash}a smooth closed curve for measuring builds."
        out.append(Pattern(name, text, period, axes, curve(name, period, axes)))
    return out
'''


def _expand(counts: dict[int, int]) -> list[int]:
    return [key for key, n in sorted(counts.items()) for _ in range(n)]


def write(root: Path) -> Path:
    packs = root / "packs"
    shutil.rmtree(packs, ignore_errors=True)
    (packs / "synthetic").mkdir(parents=True)
    (packs / "synthetic" / "__init__.py").write_text(SHARED, encoding="utf-8")
    shared: dict[str, object] = {}
    exec(SHARED, shared)  # the same code the families import; here it only measures the packs
    patterns = shared["patterns"]

    number = 0
    for order, (pack, (periods, axes, sizes)) in enumerate(PACKS.items(), start=1):
        rows = list(zip(_expand(periods), _expand(axes), strict=True))
        assert sum(sizes) == len(rows), pack
        folder = packs / pack
        folder.mkdir()
        measured, start = [], 0
        for i, size in enumerate(sizes):
            family = [(number + j, *rows[start + j]) for j in range(size)]
            (folder / f"{10 * (i + 1):02}_f{i}.py").write_text(
                "from synthetic import patterns\n\n"
                f"PATTERNS = patterns({pack!r}, {[tuple(r) for r in family]!r})\n",
                encoding="utf-8",
            )
            for p in patterns(pack, family):
                measured.append(Measured(BakedRecord(pack, f"f{i}", "", p, bake(p))))
            start += size
            number += size
        peak = max(m.peak for m in measured)
        step = max(m.largest_step for m in measured)
        (folder / "pack.py").write_text(
            "from tablegen.model import Pack\n\n"
            f"PACK = Pack(key={pack!r}, count={len(rows)}, peak={peak!r}, "
            f"max_step={round(step, 4)!r}, periods={periods!r}, axes={axes!r}, "
            f"name_prefix={'beat_' if pack in ('club', 'dancefloor') else ''!r}, "
            f"em_dashes={1 if pack in ('club', 'dancefloor') else 0}, order={10 * order})\n",
            encoding="utf-8",
        )
    return packs


def _timed_build(build: Path, jobs: int) -> tuple[float, float]:
    """Seconds and the largest resident memory (GiB) of any process of one ninja run."""
    start = time.monotonic()
    result = subprocess.run(
        ["/usr/bin/time", "-f", "%M", str(REPO / ".venv/bin/ninja"), "-C", str(build),
         f"-j{jobs}", "motiloom"],
        capture_output=True, text=True,
    )  # fmt: skip
    if result.returncode != 0:
        raise SystemExit(result.stdout[-3000:] + result.stderr[-3000:])
    peak_kib = int(result.stderr.strip().splitlines()[-1])
    return time.monotonic() - start, peak_kib / 2**20


def measure(root: Path, packs: Path, jobs: int) -> None:
    build = root / "build"
    shutil.rmtree(build, ignore_errors=True)
    python = REPO / ".venv/bin/python"
    pybind = subprocess.run(
        [str(python), "-m", "pybind11", "--cmakedir"], capture_output=True, text=True, check=True
    ).stdout.strip()
    start = time.monotonic()
    subprocess.run(
        [str(REPO / ".venv/bin/cmake"), "-S", str(REPO), "-B", str(build), "-G", "Ninja",
         f"-DCMAKE_MAKE_PROGRAM={REPO / '.venv/bin/ninja'}", f"-DPython_EXECUTABLE={python}",
         f"-Dpybind11_DIR={pybind}", f"-DMOTILOOM_PACKS_DIR={packs}"],
        check=True, capture_output=True,
    )  # fmt: skip
    configure = time.monotonic() - start
    clean, clean_peak = _timed_build(build, jobs)
    same, _ = _timed_build(build, jobs)
    family = packs / "dancefloor" / "10_f0.py"
    # Swap two tables of the 432-table family: new values and record order, same pack figures.
    text = family.read_text()
    edited = text.replace("(1000, 512, 3), (1001, 512, 3)", "(1001, 512, 3), (1000, 512, 3)")
    assert edited != text, "the family to edit has changed shape"
    family.write_text(edited)
    edit, edit_peak = _timed_build(build, jobs)
    module = next(build.glob("motiloom*.so"))
    tables = sum(int(x) for x in re.findall(r"\[(\d+)\] = \{", _generated_text(build))) * 24
    print(f"configure                        {configure:6.1f} s")
    print(f"clean build (jobs {jobs})             {clean:6.1f} s, peak {clean_peak:.2f} GiB")
    print(f"second build, nothing changed    {same:6.1f} s")
    print(f"rebuild after one family edit    {edit:6.1f} s, peak {edit_peak:.2f} GiB")
    print(f"extension size                   {module.stat().st_size / 1e6:6.1f} MB "
          f"(raw tables {tables / 1e6:.1f} MB)")  # fmt: skip


def _generated_text(build: Path) -> str:
    return "".join(p.read_text() for p in (build / "generated" / "packs").rglob("*.cpp"))


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("dir", type=Path)
    parser.add_argument("--measure", action="store_true")
    parser.add_argument("--jobs", type=int, default=len(os.sched_getaffinity(0)))
    args = parser.parse_args()
    args.dir.mkdir(parents=True, exist_ok=True)
    packs = write(args.dir.resolve())
    print(f"wrote {packs}")
    if args.measure:
        measure(args.dir.resolve(), packs, args.jobs)


if __name__ == "__main__":
    main()
