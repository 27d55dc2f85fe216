"""The eight rhythmic families of the continuum pack, read from their finished tables: record
order and text, family-wide peaks, how the loops join, and the rhythmic structure each family's
name promises (region densities, words, walking accents, off-grid answers, groups, bursts)."""

from __future__ import annotations

import math
import runpy
from functools import cache
from itertools import combinations
from pathlib import Path

import pytest
from tablegen.bake import bake
from tablegen.facts import four_figures
from tablegen.load import load_family

PACKS = Path(__file__).resolve().parents[2] / "src" / "catalogue" / "packs"
CONTINUUM = PACKS / "continuum"
ORIGIN = (0.0, 0.0, 0.0)

LADDERS = "2_3_4_6 3_5_4_2 2_5_3_7 4_3_6_5 2_4_7_3 3_6_2_5 5_3_7_4 6_4_3_2 2_7_4_5 7_3_5_2 4_7_3_6 \
5_2_6_3 3_4_5_7 6_5_4_3 7_5_3_4 4_6_7_5".split()
WALKS = "5_1 5_2 7_1 7_2 7_3 8_1 8_3 9_1 9_2 9_4 10_3 11_2 11_3 12_5 13_3 13_5".split()
DIALOGUES = "3_4_5 5_3_4 3_5_2 2_5_4 4_3_2 3_2_4_5 5_2_3_4 2_3_5_3 3_4_3_5 5_4_2_3 2_4_5_2 \
4_5_3_2 3_5_4_3 5_3_2_5 2_5_3_5 4_3_5_4".split()
BURSTS = "3_5_2 4_3_6 5_2_4 2_7_3 3_4_5 5_3_7 6_2_5 4_7_2 7_3_4 2_5_6 5_7_3 3_6_4 4_5_7 6_3_5 \
7_4_3 5_6_2".split()


def groups(name: str) -> list[int]:
    return [int(part) for part in name.split("_") if part.isdigit()]


FAMILIES = {
    "canon": "130_canon.py",
    "echo": "140_echo.py",
    "ladder": "150_ladder.py",
    "necklace": "160_necklace.py",
    "accent_walk": "170_accent_walk.py",
    "triplet": "180_triplet.py",
    "dialogue": "190_dialogue.py",
    "burst": "200_burst.py",
}


def period_of(name: str) -> int:
    if name.startswith("dialogue_"):
        return 32 * sum(groups(name))
    return 1024 if name.startswith("accent_walk_") else 512


@cache
def family(key: str):
    """The family's patterns and their baked tables, in record order."""
    path = CONTINUUM / FAMILIES[key]
    return [(p, bake(p)) for p in load_family(PACKS, "continuum", key, path).patterns]


def tables(key: str) -> dict[str, list]:
    return {p.name: t for p, t in family(key)}


def norm(entry) -> float:
    return math.hypot(*entry)


def runs(table) -> list[tuple[int, int]]:
    """(first, last) pip of every run of entries away from the origin, round the loop."""
    moving = [e != ORIGIN for e in table]
    if all(moving):
        return [(0, len(table) - 1)]
    start = moving.index(False)  # read from a silent pip so no run is cut by the seam
    found, first = [], None
    for step in range(1, len(table) + 1):
        k = (start + step) % len(table)
        if moving[k] and first is None:
            first = start + step
        if not moving[k] and first is not None:
            found.append((first, start + step - 1))
            first = None
    return found


@pytest.mark.parametrize("key", FAMILIES)
def test_periods_follow_the_names_and_a_family_shares_one_description(key):
    # A dialogue's name lists its groups of eighth notes, and its loop is their sum.
    patterns = [p for p, _ in family(key)]
    assert all((p.period, p.axes) == (period_of(p.name), 3) for p in patterns)
    assert len({p.description for p in patterns}) == 1


@pytest.mark.parametrize(
    ("key", "prefix", "lowest", "highest"),
    [("canon", "canon_", 0.279, 0.3109), ("echo", "echo_expanding_", 0.2489, 0.281)],
)
def test_family_peak_range_is_reached_at_both_ends(key, prefix, lowest, highest):
    peaks = [max(map(abs, sum(t, ()))) for n, t in tables(key).items() if n.startswith(prefix)]
    assert (four_figures(min(peaks)), four_figures(max(peaks))) == (lowest, highest)


@pytest.mark.parametrize("key", FAMILIES)
def test_loops_join_without_a_jolt_and_members_differ(key):
    for name, t in tables(key).items():
        steps = [math.dist(a, b) for a, b in zip(t, t[1:], strict=False)]
        seam = math.dist(t[-1], t[0])
        assert t[0] != ORIGIN and t[-1] != t[0] and seam < max(steps), name
        assert max(max(steps), seam) <= 0.17, name
    for (a, ta), (b, tb) in combinations(tables(key).items(), 2):
        if len(ta) == len(tb):
            rms = math.sqrt(
                sum(math.dist(p, q) ** 2 for p, q in zip(ta, tb, strict=True)) / len(ta)
            )
            assert rms > 0.04, (a, b)


@pytest.mark.parametrize("nn", range(1, 9))
def test_close_canon_imitates_within_the_beat_and_late_canon_after_it(nn):
    def entry_of_depth(name):
        return next(k for k, e in enumerate(tables("canon")[name]) if e[2] != 0.0)

    assert entry_of_depth(f"canon_{nn:02d}_close") < 48 <= entry_of_depth(f"canon_{nn:02d}_late")


def signed_axis(entry) -> tuple[int, bool]:
    axis = max(range(3), key=lambda a: abs(entry[a]))
    return axis, entry[axis] > 0


@pytest.mark.parametrize("densities", LADDERS)
def test_ladder_regions_have_their_rungs_and_a_direction_each(densities):
    t = tables("ladder")[f"ladder_{densities}"]
    starts = [t[128 * r] for r in range(4)]
    assert all(sum(c != 0.0 for c in e) == 1 for e in starts)  # each accent on one axis alone
    assert len({signed_axis(e) for e in starts}) == 4
    rungs = [0, 0, 0, 0]
    for first, last in runs(t):
        rungs[int(((first + last) / 2 + 16) % 512) // 128] += 1
    assert rungs == groups(densities)


def test_necklace_words_are_distinct_necklaces_and_steer_the_tables():
    words = runpy.run_path(str(CONTINUUM / "160_necklace.py"))["WORDS"]
    turns = {w[i:] + w[:i] for w in words for i in range(len(w))}
    assert len(turns) == sum(len({w[i:] + w[:i] for i in range(len(w))}) for w in words)
    for nn, word in enumerate(words, 1):
        t = tables("necklace")[f"necklace_{nn:02d}"]
        for i, bit in enumerate(word):
            x, _, z = t[math.floor(i * 512 / len(word) + 0.5)]
            rising = bit == "1" and word[i - 1] == "0"
            assert (x > 0, z > 0.1) == (bit == "1", rising), (nn, i)


@pytest.mark.parametrize("walk", WALKS)
def test_accent_walk_has_two_depth_strokes_a_bar_that_move_between_bars(walk):
    t = tables("accent_walk")[f"accent_walk_{walk}"]
    depth = [k for k in range(1024) if t[k][2] > t[k - 1][2] and t[k][2] >= t[(k + 1) % 1024][2]]
    bars = [sorted(k % 256 for k in depth if k // 256 == bar) for bar in range(4)]
    assert [len(b) for b in bars] == [2, 2, 2, 2]
    assert all(bars[b] != bars[(b + 1) % 4] for b in range(4))


@pytest.mark.parametrize("nn", range(1, 9))
def test_triplet_gaps_answer_off_the_grid_or_turn_around(nn):
    def off_grid_peaks(t):
        size = [norm(e) for e in t]
        peaks = [k for k in range(512) if size[k - 1] < size[k] >= size[(k + 1) % 512]]
        return [k for k in peaks if abs(k - round(k * 3 / 64) * 64 / 3) > 3]

    answer, turnaround = (
        tables("triplet")[f"triplet_{nn:02d}_{kind}"] for kind in ("answer", "turnaround")
    )
    assert off_grid_peaks(answer) and not off_grid_peaks(turnaround)
    assert turnaround[256:] != turnaround[:256]


@pytest.mark.parametrize("name", DIALOGUES)
def test_dialogue_groups_change_direction_at_every_start(name):
    t = tables("dialogue")[f"dialogue_{name}"]
    sizes = groups(name)
    directions = [signed_axis(t[32 * sum(sizes[:i])]) for i in range(len(sizes))]
    assert all(directions[i] != directions[i - 1] for i in range(len(directions)))


@pytest.mark.parametrize("counts", BURSTS)
def test_three_bursts_with_gaps_then_one_late_settling_accent(counts):
    t = tables("burst")[f"burst_{counts}"]
    strokes = runs(t)
    settle = max(strokes, key=lambda r: r[1] - r[0])  # the one slow stroke
    assert 448 <= settle[0] < 512
    clusters = []  # read on from the settling accent; a burst's strokes lie within a sixteenth
    for first, last in sorted(
        (r for r in strokes if r != settle), key=lambda r: (r[0] - settle[1]) % 512
    ):
        if clusters and (first - clusters[-1][-1][1]) % 512 <= 16:
            clusters[-1].append((first, last))
        else:
            clusters.append([(first, last)])
    assert [len(c) for c in clusters] == groups(counts)
