"""make dist-check: the sdist and the wheel python -m build made from it, as a user gets them.

    python tools/dist_check.py --dist build/dist

Expects DIST/out to hold one sdist and one wheel. Checks that the sdist holds what a build needs
(the CMake project, the generator and every pack, the package sources, the licence) and nothing
a build leaves behind, and that every picture and link the README points to is in it; then
installs the wheel into a new virtual environment (DIST/venv) and runs it there, from a folder
outside this tree: `motiloom --version` and `python -m motiloom_kit --version` must name the
wheel's version, and the module must sample a pattern by name. Exits non-zero, saying what is
wrong, at the first failure.
"""

from __future__ import annotations

import argparse
import re
import subprocess
import sys
import tarfile
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
# Paths (relative to the sdist's top folder) that a build from the sdist cannot do without.
NEEDED = [
    "pyproject.toml",
    "CMakeLists.txt",
    "README.md",
    "LICENSE",
    "CHANGELOG.md",
    "motiloom_kit/_version.py",
    "motiloom_kit/cli.py",
    "motiloom-stubs/__init__.pyi",
    "src/catalogue/tablegen/__main__.py",
    "src/catalogue/packs/catalogue.py",
    "src/rudiments/procedural.hpp",
]
# What a build or a checkout leaves behind, which must never be shipped.
UNWANTED = re.compile(r"(^|/)(build|\.venv[^/]*|\.git|__pycache__|\.mypy_cache|\.ruff_cache)(/|$)")
# Markdown images and links, and HTML src/href attributes.
LINK = re.compile(r"\]\(([^)\s]+)(?:\s+\"[^\"]*\")?\)|(?:src|href)=\"([^\"]+)\"")


def fail(message: str) -> None:
    sys.exit(f"dist-check: {message}")


def one(folder: Path, pattern: str) -> Path:
    found = sorted(folder.glob(pattern))
    if len(found) != 1:
        fail(f"expected one {pattern} in {folder}, found {[p.name for p in found]}")
    return found[0]


def readme_targets(text: str) -> set[str]:
    """The relative paths the README points to (no URLs, no anchors within the page)."""
    targets = set()
    for match in LINK.finditer(text):
        target = (match.group(1) or match.group(2)).split("#")[0]
        if target and not re.match(r"[a-z][a-z0-9+.-]*:", target):
            targets.add(target.removeprefix("./"))
    return targets


def check_sdist(sdist: Path) -> str:
    """The version in the sdist's name, after looking through its members."""
    with tarfile.open(sdist) as archive:
        members = [m.name for m in archive.getmembers() if m.isfile()]
        top = members[0].split("/")[0]
        readme = archive.extractfile(f"{top}/README.md")
        assert readme is not None
        readme_text = readme.read().decode("utf-8")
    inside = {name.removeprefix(f"{top}/") for name in members}
    missing = [path for path in NEEDED if path not in inside]
    if missing:
        fail(f"{sdist.name} lacks {missing}")
    # Every source file of the tree: the generator, every pack, the C++ and the Python packages.
    tracked = run(["git", "ls-files", "src", "motiloom_kit", "motiloom-stubs"], ROOT).split()
    left_out = [path for path in tracked if path not in inside]
    if left_out:
        fail(f"{sdist.name} lacks {left_out[:5]} ({len(left_out)} files in all)")
    shipped_junk = sorted(name for name in inside if UNWANTED.search(name))
    if shipped_junk:
        fail(f"{sdist.name} holds what a build leaves behind: {shipped_junk[:5]}")
    unresolved = sorted(t for t in readme_targets(readme_text) if t not in inside)
    if unresolved:
        fail(f"the README points to {unresolved}, which {sdist.name} does not hold")
    version = top.removeprefix("motiloom-")
    print(f"dist-check: {sdist.name}: {len(inside)} files, {sdist.stat().st_size / 1e6:.1f} MB")
    return version


def check_wheel(wheel: Path, version: str) -> None:
    if not wheel.name.startswith(f"motiloom-{version}-"):
        fail(f"{wheel.name} is not of the sdist's version {version}")
    with zipfile.ZipFile(wheel) as archive:
        names = archive.namelist()
    if f"motiloom-{version}.dist-info/licenses/LICENSE" not in names:
        fail(f"{wheel.name} does not ship LICENSE")
    print(f"dist-check: {wheel.name}: {wheel.stat().st_size / 1e6:.1f} MB")


def run(command: list[str], cwd: Path) -> str:
    done = subprocess.run(command, cwd=cwd, capture_output=True, text=True, timeout=900)
    if done.returncode != 0:
        fail(f"{' '.join(command)} exited with {done.returncode}:\n{done.stderr[-3000:]}")
    return done.stdout


def check_installed(wheel: Path, venv: Path, version: str) -> None:
    run([sys.executable, "-m", "venv", "--clear", str(venv)], ROOT)
    python, bin_dir = venv / "bin" / "python", venv / "bin"
    run([str(python), "-m", "pip", "install", "--quiet", str(wheel)], venv)
    expected = f"motiloom {version}\n"
    for command in ([str(bin_dir / "motiloom"), "--version"],
                    [str(python), "-m", "motiloom_kit", "--version"]):  # fmt: skip
        said = run(command, venv)
        if said != expected:
            fail(f"{' '.join(command)} said {said!r}, not {expected!r}")
    probe = (
        "import motiloom, motiloom_kit; p = motiloom.sample('lfo_breathe', 64); "
        "assert motiloom.__file__.startswith(sys.prefix), motiloom.__file__; "
        "assert all(-1 <= v <= 1 for v in p.as_tuple()), p; "
        "print(len(motiloom.catalogue()), motiloom_kit.__version__)"
    )
    entries, kit_version = run([str(python), "-c", f"import sys; {probe}"], venv).split()
    if kit_version != version:
        fail(f"motiloom_kit.__version__ is {kit_version}, the wheel {version}")
    listed = run([str(bin_dir / "motiloom"), "list", "lfo_*"], venv).splitlines()
    if not listed:
        fail("motiloom list 'lfo_*' listed nothing")
    print(f"dist-check: installed in {venv}: version {version}, {entries} catalogue entries")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--dist", type=Path, required=True, help="folder with out/ built in it")
    args = parser.parse_args()
    out = args.dist / "out"
    version = check_sdist(one(out, "*.tar.gz"))
    wheel = one(out, "*.whl")
    check_wheel(wheel, version)
    check_installed(wheel.resolve(), (args.dist / "venv").resolve(), version)
    print("dist-check: the sdist builds a wheel that installs and runs")


if __name__ == "__main__":
    main()
