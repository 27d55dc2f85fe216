"""The atlas onset families (euclid, poly, meter, swing, stick_study): what their build-time facts
cannot say, because it compares tables with each other or with their names and periods."""

from __future__ import annotations

import math
from functools import cache
from pathlib import Path

import pytest
from tablegen.bake import bake
from tablegen.load import load_family

PACKS = Path(__file__).resolve().parents[2] / "src" / "catalogue" / "packs"
FAMILIES = {
    "euclid": "140_euclid.py",
    "poly": "150_poly.py",
    "meter": "160_meter.py",
    "swing": "170_swing.py",
    "stick_study": "180_stick_study.py",
}
ATLAS_STEP = 0.1054  # the atlas pack's largest step, to four decimals
ORIGIN = (0.0, 0.0, 0.0)


@cache
def tables(key: str) -> dict[str, tuple[int, list]]:
    """name -> (period, baked table) of every member of one family."""
    family = load_family(PACKS, "atlas", key, PACKS / "atlas" / FAMILIES[key])
    return {p.name: (p.period, bake(p)) for p in family.patterns}


def numbers(name: str) -> list[int]:
    return [int(part) for part in name.split("_") if part.isdigit()]


def largest_step(table: list) -> float:
    return max(map(math.dist, table, table[1:] + table[:1]))


@pytest.mark.parametrize("key", FAMILIES)
def test_only_accented_sticking_strokes_reach_the_atlas_step(key):
    # The accented stroke, a raised cosine of half-width 12 with amplitude (0.74, -0.34) centred
    # on a pip, moves fastest between the pips 5 and 6 from its centre.
    accent = math.hypot(0.74, 0.34) * math.sin(math.pi / 24) * math.sin(11 * math.pi / 24)
    assert round(accent, 4) == ATLAS_STEP
    for name, (_, table) in tables(key).items():
        step = largest_step(table)
        if key == "stick_study":
            assert step == pytest.approx(accent, abs=1e-11), name
        else:
            assert round(step, 4) < ATLAS_STEP, name


@pytest.mark.parametrize(
    "key, eighths",
    [("euclid", lambda k, n: n), ("meter", lambda *groups: sum(groups))],
)
def test_loops_last_one_eighth_note_per_step_of_the_name(key, eighths):
    for name, (period, table) in tables(key).items():
        assert period == len(table) == 32 * eighths(*numbers(name)), name


def test_euclid_11_24_is_the_longest_euclid_loop():
    longest = max(tables("euclid").items(), key=lambda item: item[1][0])
    assert (longest[0], longest[1][0]) == ("euclid_11_24", 768)


@pytest.mark.parametrize("ratio, offbeat", [("3_5", 38), ("2_3", 43), ("5_7", 46), ("3_4", 48)])
def test_swing_scores_at_one_ratio_sound_different_offbeats(ratio, offbeat):
    # No beat reaches an offbeat pip, so an offbeat sounds exactly when its entry moves.
    sounding = {}
    for name, (_, table) in tables("swing").items():
        if name.endswith(f"_{ratio}"):
            beats = range(8)
            sounding[name] = frozenset(b for b in beats if table[64 * b + offbeat] != ORIGIN)
    assert len(sounding) == 4
    assert all(sounding.values())
    assert len(set(sounding.values())) == 4, sounding


def test_poly_lanes_that_meet_peak_lower():
    """Where a left and a right pulse lie within a half-width (24 pips) of each other, their
    opposite leans cancel in part: |x| stays below a lone gesture's 0.403 wherever both reach."""
    meetings = 0
    for name, (_, table) in tables("poly").items():
        a, b = numbers(name)
        left = [round(512 * i / a) for i in range(1, a)]
        right = [round(512 * j / b) for j in range(1, b)]
        for pip_a in left:
            for pip_b in right:
                if abs(pip_a - pip_b) < 24:
                    meetings += 1
                    both = range(max(pip_a, pip_b) - 24, min(pip_a, pip_b) + 24)
                    assert max(abs(table[k][0]) for k in both) < 0.403, (name, pip_a, pip_b)
    assert meetings
