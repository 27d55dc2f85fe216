"""A scratch build of small packs, one of them new: the kit shows every table with the pack and
family the authoring gave it, with nothing listed by hand anywhere else."""

import json
import os
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

REPO = Path(__file__).resolve().parents[2]
VENV_BIN = Path(sys.executable).parent

EXTRA_PACK = {
    # A family whose patterns name their own family, as the beat-grid motions do.
    "10_drift.py": [
        ("drift_wide_ring", "A wide ring in a pack that did not exist before.", 256, 0.6, 0.2),
        ("drift_slow_ring", "A slow ring over sixteen beats in the new pack.", 1024, 0.5, 0.4),
    ],
    "20_sway.py": [
        ("sway_small_ring", "A small ring, the second family of the new pack.", 512, 0.3, 0.1),
    ],
}


def tool(name):
    found = VENV_BIN / name
    return str(found) if found.exists() else shutil.which(name)


@pytest.mark.skipif(tool("ninja") is None or tool("cmake") is None, reason="needs cmake and ninja")
def test_a_new_pack_and_family_reach_the_kit(tmp_path, write_packs, small_catalogue):
    packs = write_packs({**small_catalogue, "extra": EXTRA_PACK})
    # One pattern lists itself under a family of its own choosing.
    drift = packs / "extra" / "10_drift.py"
    drift.write_text(
        drift.read_text().replace(
            "ellipse(1024, 0.5, 0.4)", "ellipse(1024, 0.5, 0.4), family='slow_rings'"
        )
    )
    build = tmp_path / "build"
    pybind11 = subprocess.check_output([sys.executable, "-m", "pybind11", "--cmakedir"], text=True)
    configure = [
        tool("cmake"), "-S", str(REPO), "-B", str(build), "-G", "Ninja",
        f"-DCMAKE_MAKE_PROGRAM={tool('ninja')}", f"-DPython_EXECUTABLE={sys.executable}",
        f"-Dpybind11_DIR={pybind11.strip()}", f"-DMOTILOOM_PACKS_DIR={packs}",
        "-DCMAKE_BUILD_TYPE=Debug",
    ]  # fmt: skip
    subprocess.run(configure, check=True, capture_output=True, timeout=300)
    targets = ["--target", "motiloom", "motiloom_kit_tables"]
    jobs = os.environ.get("JOBS", "2")
    built = subprocess.run([tool("cmake"), "--build", str(build), "-j", jobs, *targets],
                           capture_output=True, text=True, timeout=900)  # fmt: skip
    assert built.returncode == 0, built.stdout[-3000:]
    # The kit as installed, beside the scratch extension and with the scratch native module.
    import motiloom_kit

    site = tmp_path / "site"
    shutil.copytree(Path(motiloom_kit.__file__).parent, site / "motiloom_kit",
                    ignore=shutil.ignore_patterns("_tables*.so", "__pycache__"))  # fmt: skip
    for made in build.glob("*.so"):
        shutil.copy(made, site / ("motiloom_kit" if made.name.startswith("_tables") else ""))
    script = (
        "import json, motiloom, motiloom_kit as kit; "
        "print(json.dumps([(e.name, e.pack, e.family, kit.pattern(e.name).table().shape[0]) "
        "for e in kit.entries() if e.kind == 'baked']))"
    )
    # The child imports the scratch install ahead of the one in the virtual environment.
    env = dict(os.environ, PYTHONPATH=str(site))
    out = subprocess.run([sys.executable, "-P", "-W", "error", "-c", script], env=env,
                         capture_output=True, text=True, timeout=120, check=True)  # fmt: skip
    assert json.loads(out.stdout) == [
        ["ring_wide_slow", "initial", "ring", 256],
        ["groove_b_narrow", "initial", "ring", 160],
        ["loop_tall_1024", "initial", "loop", 1024],
        ["ring_a_far", "expansion", "ring", 512],
        ["drift_wide_ring", "extra", "drift", 256],
        ["drift_slow_ring", "extra", "slow_rings", 1024],
        ["sway_small_ring", "extra", "sway", 512],
    ]
