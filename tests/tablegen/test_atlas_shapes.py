"""The atlas shape families (wave, env, seq, noise, orbit_harmonic, weave): what their build-time
facts cannot say, because it measures a table as a whole, compares members with each other, or
concerns how the tables are made."""

from __future__ import annotations

import importlib.util
import math
import subprocess
import sys
from functools import cache
from pathlib import Path

import pytest
from tablegen.bake import bake
from tablegen.checks import table_digest
from tablegen.load import load_family

PACKS = Path(__file__).resolve().parents[2] / "src" / "catalogue" / "packs"
FAMILIES = {
    "wave": "10_wave.py",
    "env": "20_env.py",
    "seq": "30_seq.py",
    "noise": "40_noise.py",
    "orbit_harmonic": "50_orbit_harmonic.py",
    "weave": "60_weave.py",
}


@cache
def tables(key: str) -> dict[str, list]:
    """name -> baked table of every member of one family, in record order."""
    family = load_family(PACKS, "atlas", key, PACKS / "atlas" / FAMILIES[key])
    return {p.name: bake(p) for p in family.patterns}


def steps(table: list) -> list[float]:
    """Distance from each entry to the next, the seam last."""
    return list(map(math.dist, table, table[1:] + table[:1]))


@pytest.mark.parametrize("key", FAMILIES)
def test_steps_and_entry_lengths_stay_below_the_catalogue_extremes(key):
    # The atlas pack's largest step (0.1054) and the catalogue's longest entry (1.23) are reached
    # in other families, so these stay clearly below them.
    for name, table in tables(key).items():
        assert max(steps(table)) <= 0.1050, name
        assert max(math.hypot(*entry) for entry in table) <= 1.20, name


def test_scooped_return_has_the_highest_axis_mean():
    means = {
        (name, axis): math.fsum(entry[axis] for entry in table) / len(table)
        for key in FAMILIES
        for name, table in tables(key).items()
        for axis in range(3)
    }
    top = max(means, key=means.get)
    assert top == ("wave_scoop_warp", 0)
    assert f"{means[top]:.3f}" == "0.411"
    assert min(means.values()) >= -0.739


def rest_pips(table: list) -> list[int]:
    """Pips where the point comes to rest, to within a pip: local minima of the distance moved
    into and out of the pip (eased motion slows down only where it arrives at a position)."""
    s = steps(table)
    around = [s[k - 1] + s[k] for k in range(len(table))]
    n = len(table)
    return [k for k in range(n) if around[k] < around[k - 1] and around[k] < around[(k + 1) % n]]


@pytest.mark.parametrize("timing", ["even", "lilt"])
def test_sequences_rest_on_eight_positions_with_even_or_lilting_segments(timing):
    for name, table in tables("seq").items():
        if not name.endswith(timing):
            continue
        rests = rest_pips(table)
        assert len(rests) == 8, name
        segments = [(b - a) % 512 for a, b in zip(rests, rests[1:] + rests[:1], strict=True)]
        if timing == "even":
            assert segments == [64] * 8, name
        else:
            assert len(set(segments)) > 1, name
            assert all(32 <= s <= 96 for s in segments), name


def winding(table: list) -> float:
    """Turns of the x-y path around the origin over one loop."""
    angles = [math.atan2(y, x) for x, y, _ in table]
    turn = 0.0
    for a, b in zip(angles, angles[1:] + angles[:1], strict=True):
        turn += (b - a + math.pi) % (2 * math.pi) - math.pi
    return turn / (2 * math.pi)


def reversals(lane: list[float]) -> int:
    """How often a lane turns back over one loop."""
    moves = [b - a for a, b in zip(lane, lane[1:] + lane[:1], strict=True) if b != a]
    return sum(1 for a, b in zip(moves, moves[1:] + moves[:1], strict=True) if a * b < 0)


def test_hashed_paths_differ_in_kind():
    noise = tables("noise")
    for n in (6, 8, 10, 12):
        orbit = noise[f"noise_orbit_{n}"]
        assert winding(orbit) == pytest.approx(1.0), n
        assert min(math.hypot(x, y) for x, y, _ in orbit) > 0.4, n
    for n in (5, 7, 9, 11):
        drift_x = [e[0] for e in noise[f"noise_drift_{n}"]]
        ripple_x = [e[0] for e in noise[f"noise_ripple_{n}"]]
        # a ripple turns back at each of its 4n crests and troughs; a drift only now and then
        assert reversals(ripple_x) >= 6 * n > reversals(drift_x), n


DIGESTS = """
import sys
from pathlib import Path
from tablegen.bake import bake
from tablegen.checks import table_digest
from tablegen.load import load_family
packs = Path(sys.argv[1])
family = load_family(packs, "atlas", "noise", packs / "atlas" / "40_noise.py")
print(" ".join(table_digest(bake(p)) for p in family.patterns))
"""


@pytest.mark.parametrize("seed", ["0", "4242"])
def test_hashed_paths_are_the_same_in_every_process(seed):
    # String hashing is salted per process; a path that depended on it, on a set's order or on
    # a random generator would differ between interpreters.
    # The child runs from the generator's root, which `-c` puts first on its import path.
    catalogue = Path(importlib.util.find_spec("tablegen").submodule_search_locations[0]).parent
    result = subprocess.run(
        [sys.executable, "-c", DIGESTS, str(PACKS)],
        cwd=catalogue,
        env={"PYTHONHASHSEED": seed},
        capture_output=True,
        text=True,
        check=True,
    )
    here = [table_digest(table) for table in tables("noise").values()]
    assert result.stdout.split() == here
