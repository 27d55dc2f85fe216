"""The checker accepts a sound catalogue and rejects each broken rule, naming subject and rule.

The base catalogue has one table per pack, built so that its totals follow from the construction:
triangles with equal dyadic steps (level seams, exact means), raised-cosine lifts that rest at zero
around the seam (closed seams, origin starts), and phase-shifted curves whose seam is well inside
their largest step.
"""

from __future__ import annotations

import math
from dataclasses import replace
from pathlib import Path

import pytest
from tablegen import checks
from tablegen.bake import store
from tablegen.checks import BakedRecord, Measured, check_catalogue
from tablegen.emit import name_index
from tablegen.load import load_totals
from tablegen.model import CheckError, Pack, Pattern, Totals

PACKS_DIR = Path(__file__).resolve().parents[2] / "src" / "catalogue" / "packs"
CATALOGUE_TOTALS = load_totals(PACKS_DIR)

EM = "\u2014"
EN = "\u2013"

# What the packs declare about dashes and name prefixes; the checker reads nothing else.
DECLARED = {
    "initial": {"en_dashes": {"groove_": 1}},
    "club": {"em_dashes": 1, "name_prefix": "beat_"},
    "dancefloor": {"em_dashes": 1, "name_prefix": "beat_"},
}


def declared(pack: str) -> Pack:
    return Pack(pack, 0, 0.0, 0.0, **DECLARED.get(pack, {}))


def triangle(k: int) -> int:
    """0 up to 40, down to -40, back up to -1 over 160 pips: every step is exactly 1."""
    if k <= 40:
        return k
    if k <= 120:
        return 80 - k
    return k - 160


def lift(k: int, centre: int, half_width: int, height: float) -> float:
    d = k - centre
    return height * (1 + math.cos(math.pi * d / half_width)) / 2 if abs(d) < half_width else 0.0


def make_table(period: int, curve) -> list[tuple[float, float, float]]:
    return [tuple(store(c) for c in curve(k)) for k in range(period)]


def phase(k: int, period: int) -> float:
    return 2 * math.pi * k / period


# (pack, name, description, period, axes, curve)
BASE = (
    (
        "initial",
        "tri_level_wave",
        "A triangle in x with equal steps, so its seam is as long as its largest step.",
        160,
        1,
        lambda k: (triangle(k) / 64, 0.0, 0.0),
    ),
    (
        "expansion",
        "bump_closed_lift",
        "A single lift in y that rests at zero around the seam, closing the loop exactly.",
        256,
        2,
        lambda k: (0.0, lift(k, 128, 64, 0.5), 0.0),
    ),
    (
        "atlas",
        "env_swell_low",
        "An envelope in y around -0.5 with equal steps; x stays at zero throughout.",
        160,
        2,
        lambda k: (0.0, -0.5 + triangle(k) / 128, 0.0),
    ),
    (
        "continuum",
        "orbit_high_ring",
        "A ring with a depth ripple, offset to the right so that its x mean is 0.25.",
        512,
        3,
        lambda k: (
            0.25 + 0.5 * math.cos(phase(k, 512) + 0.3),
            0.3 * math.sin(phase(k, 512) + 0.3),
            0.3 * math.sin(2 * phase(k, 512) + 0.5),
        ),
    ),
    (
        "club",
        "beat_triple_bump",
        f"Triple bump / test style {EM} Kick-led bounce. One raised-cosine lift on all three axes.",
        256,
        3,
        lambda k: (lift(k, 128, 128, 0.6),) * 3,
    ),
    (
        "dancefloor",
        "beat_zigzag_drift",
        f"Zigzag / test style {EM} Slalom drift. A quiet drift that never starts at the origin.",
        1024,
        2,
        lambda k: (
            0.3 * math.sin(2 * phase(k, 1024) + 1.0),
            0.2 * math.cos(phase(k, 1024) + 0.4),
            0.0,
        ),
    ),
)

PACK_KEYS = tuple(pack for pack, *_ in BASE)
# Derived from the construction above, not measured: see the module docstring.
BASE_TOTALS = Totals(
    packs=PACK_KEYS,
    records=6,
    entries=160 + 256 + 160 + 512 + 256 + 1024,
    periods={160: 2, 256: 2, 512: 1, 1024: 1},
    axes={1: 1, 2: 3, 3: 2},
    closed_seams=1,  # bump_closed_lift ends and starts at rest
    level_seams=2,  # the two triangles: every step, the seam included, is 1/64 or 1/128
    origin_starts=3,  # tri_level_wave, bump_closed_lift, beat_triple_bump
    peak=0.8125,  # env_swell_low's y at -0.5 - 40/128
    peak_tables=frozenset({"env_swell_low"}),
    largest_step="0.0156",  # tri_level_wave's 1/64; the lifts and rings move less per pip
    longest_entry="1.04",  # beat_triple_bump's (0.6, 0.6, 0.6) at pip 128
    longest_entry_table="beat_triple_bump",
    mean_range=("-0.500", "0.300"),  # env_swell_low's y; beat_triple_bump's lift of area 0.6 * 128
    still_x=2,
    still_x_named=frozenset({"bump_closed_lift"}),
    still_x_family=("atlas", "env_"),
    index_head=("beat_triple_bump", "beat_zigzag_drift", "bump_closed_lift"),
    last_record="beat_zigzag_drift",
)


def pack_facts(key: str, tables: list[tuple[int, int, list]]) -> Pack:
    """The stated facts of a pack, read straight off its tables."""
    peak = max(abs(c) for _, _, table in tables for entry in table for c in entry)
    step = max(
        math.dist(table[k - 1], table[k]) for _, _, table in tables for k in range(len(table))
    )
    periods: dict[int, int] = {}
    axes: dict[int, int] = {}
    for period, axis_count, _ in tables:
        periods[period] = periods.get(period, 0) + 1
        axes[axis_count] = axes.get(axis_count, 0) + 1
    return replace(
        declared(key),
        count=len(tables),
        peak=peak,
        max_step=round(step, 4),
        periods=periods,
        axes=axes,
    )


def base_catalogue() -> tuple[list[Pack], list[BakedRecord]]:
    records = []
    packs = []
    for pack, name, description, period, axes, curve in BASE:
        table = make_table(period, curve)
        pattern = Pattern(name, description, period, axes, curve)
        records.append(BakedRecord(pack, "family", f"packs/{pack}/10_family.py", pattern, table))
        packs.append(pack_facts(pack, [(period, axes, table)]))
    return packs, records


def run(packs, records, totals=BASE_TOTALS, index=None):
    check_catalogue(packs, records, name_index(records) if index is None else index, totals)


def position(records, name):
    return next(i for i, r in enumerate(records) if r.name == name)


def with_pattern(records, target, **changes):
    i = position(records, target)
    records[i] = replace(records[i], pattern=replace(records[i].pattern, **changes))


def with_table(records, target, table):
    i = position(records, target)
    records[i] = replace(records[i], table=table)


def with_entry(records, name, pip, entry):
    table = list(records[position(records, name)].table)
    table[pip] = entry
    with_table(records, name, table)


def expect_broken(packs, records, subject, rule, totals=BASE_TOTALS, index=None):
    with pytest.raises(CheckError) as caught:
        run(packs, records, totals, index)
    assert str(caught.value).startswith(f"{subject}: {rule}: "), str(caught.value)


def test_accepts_a_sound_catalogue_with_its_totals():
    packs, records = base_catalogue()
    run(packs, records)


# --- names and descriptions -------------------------------------------------------------------


@pytest.mark.parametrize(
    "name, rule",
    [
        ("Tri_level_wave", "name form"),
        ("9tri_level_wave", "name form"),
        ("tri-level-wave", "name form"),
        ("tri level wave", "name form"),
        ("tri_level_w\u00e4ve", "name form"),
        ("tri_level_wave\n", "name form"),
        ("tri_lev", "name length"),
        ("t" * 33, "name length"),
        ("box_step", "procedural name"),
        ("vorn_background", "procedural name"),
        ("single_stroke_roll", "procedural name"),
    ],
)
def test_rejects_bad_names(name, rule):
    packs, records = base_catalogue()
    with_pattern(records, "tri_level_wave", name=name)
    expect_broken(packs, records, name, rule)


def test_rejects_a_name_without_its_packs_prefix():
    packs, records = base_catalogue()
    with_pattern(records, "beat_zigzag_drift", name="zigzag_drift")
    expect_broken(packs, records, "zigzag_drift", "name prefix")


@pytest.mark.parametrize("name", ["abcdefgh", "a" + "_9" * 15 + "z"])
def test_accepts_names_of_8_and_32_bytes(name):
    assert len(name.encode()) in (8, 32)
    packs, records = base_catalogue()
    with_pattern(records, "tri_level_wave", name=name)
    m = Measured(records[0])
    checks.name_form(m)
    checks.name_not_procedural(m)


@pytest.mark.parametrize(
    "name, description, rule",
    [
        ("tri_level_wave", "x" * 41, "description length"),
        ("tri_level_wave", "x" * 236, "description length"),
        # 234 characters but 236 bytes: the limit counts UTF-8 bytes, not characters.
        ("beat_triple_bump", "x" * 116 + f" {EM} " + "x" * 115, "description length"),
        (
            "tri_level_wave",
            "A description with an exclamation mark at the end!",
            "description characters",
        ),
        (
            "tri_level_wave",
            "A description that can't hold an apostrophe anywhere.",
            "description characters",
        ),
        (
            "tri_level_wave",
            "A description with a\ttab between two of its words.",
            "description characters",
        ),
        (
            "tri_level_wave",
            "A description with an accented caf\u00e9 in the middle.",
            "description characters",
        ),
        (
            "tri_level_wave",
            "A description with a figure dash \u2012 between words.",
            "description characters",
        ),
        (
            "tri_level_wave",
            f"A description of the initial pack {EM} with an em dash.",
            "description em dash",
        ),
        (
            "beat_triple_bump",
            "A club description without the dash between style and motion.",
            "description em dash",
        ),
        (
            "beat_triple_bump",
            f"Style {EM} Motion. A club description with a second {EM} dash.",
            "description em dash",
        ),
        (
            "tri_level_wave",
            f"A range of source beats 4{EN}12 outside the groove tables.",
            "description en dash",
        ),
        (
            "tri_level_wave",
            "A description with two spaces  in a row in the middle.",
            "description spacing",
        ),
        (
            "tri_level_wave",
            " A description that starts with a space before its text.",
            "description spacing",
        ),
        (
            "tri_level_wave",
            "A description that ends with a space after its full stop. ",
            "description spacing",
        ),
    ],
)
def test_rejects_bad_descriptions(name, description, rule):
    packs, records = base_catalogue()
    with_pattern(records, name, description=description)
    expect_broken(packs, records, name, rule)


@pytest.mark.parametrize(
    "pack, name, description, broken",
    [
        (
            "initial",
            "groove_a_played",
            f"Funk excerpt A (4{EN}12 source beats), performed microtiming.",
            False,
        ),
        (
            "initial",
            "groove_a_played",
            "Funk excerpt A (4-12 source beats), performed microtiming here.",
            True,
        ),
        (
            "initial",
            "groove_a_played",
            f"Funk excerpt A (4{EN}12 and 5{EN}13 source beats), played.",
            True,
        ),
        (
            "expansion",
            "groove_a_played",
            f"Funk excerpt A (4{EN}12 source beats), performed microtiming.",
            True,
        ),
    ],
)
def test_en_dash_only_in_initial_groove_descriptions(pack, name, description, broken):
    record = BakedRecord(pack, "groove", "x.py", Pattern(name, description, 512, 2, None), [])
    m = Measured(record, declared(pack))
    checks.description_characters(m)
    if broken:
        with pytest.raises(CheckError, match=rf"^{name}: description en dash: "):
            checks.description_en_dash(m)
    else:
        checks.description_en_dash(m)


@pytest.mark.parametrize(
    "pack, description",
    [
        ("initial", "x" * 42),
        ("initial", "x" * 235),
        ("club", "x" * 116 + f" {EM} " + "x" * 114),  # 235 bytes
    ],
)
def test_accepts_descriptions_of_42_and_235_bytes(pack, description):
    record = BakedRecord(
        pack, "f", "x.py", Pattern("name_long_enough", description, 512, 2, None), []
    )
    for rule in (
        checks.description_length,
        checks.description_characters,
        checks.description_em_dash,
    ):
        rule(Measured(record, declared(pack)))


# --- tables ------------------------------------------------------------------------------------


def _flat_x(period: int, x: float) -> list[tuple[float, float, float]]:
    return [(x, store(0.25 * math.sin(phase(k, period) + 0.3)), 0.0) for k in range(period)]


def _ramp(period: int) -> list[tuple[float, float, float]]:
    return [(store(0.5 * k / period), 0.0, 0.0) for k in range(period)]


TABLE_CASES = [
    # (id, name to break, changes to its pattern, new table or None, {pip: entry}, rule)
    ("one entry short", "tri_level_wave", {}, lambda t: t[:-1], {}, "entry count"),
    ("one entry over", "tri_level_wave", {}, lambda t: t + [t[0]], {}, "entry count"),
    ("period not an int", "tri_level_wave", {"period": 160.0}, None, {}, "entry count"),
    ("two components", "tri_level_wave", {}, None, {5: (0.1, 0.0)}, "entry form"),
    ("list entry", "tri_level_wave", {}, None, {5: [5 / 64, 0.0, 0.0]}, "entry form"),
    ("text component", "tri_level_wave", {}, None, {5: ("0.078125", 0.0, 0.0)}, "entry form"),
    ("None component", "tri_level_wave", {}, None, {5: (None, 0.0, 0.0)}, "entry form"),
    ("period off the grid", "tri_level_wave", {"period": 200}, lambda t: t + t[:40], {}, "period"),
    ("period below 160", "tri_level_wave", {"period": 128}, lambda t: t[:128], {}, "period"),
    (
        "period above 1024",
        "beat_zigzag_drift",
        {"period": 1056},
        lambda t: t + t[:32],
        {},
        "period",
    ),
    ("no axes", "tri_level_wave", {"axes": 0}, None, {}, "axes"),
    ("four axes", "tri_level_wave", {"axes": 4}, None, {}, "axes"),
    ("axes as bool", "tri_level_wave", {"axes": True}, None, {}, "axes"),
    ("above 1", "tri_level_wave", {}, None, {7: (1.5, 0.0, 0.0)}, "bounds"),
    ("below -1", "orbit_high_ring", {}, None, {7: (0.5, 0.1, -1.000001)}, "bounds"),
    ("nan", "tri_level_wave", {}, None, {7: (math.nan, 0.0, 0.0)}, "bounds"),
    ("infinity", "tri_level_wave", {}, None, {7: (math.inf, 0.0, 0.0)}, "bounds"),
    ("nan in an unused axis", "tri_level_wave", {}, None, {7: (7 / 64, math.nan, 0.0)}, "bounds"),
    (
        "-0.0 in an unused axis",
        "tri_level_wave",
        {},
        None,
        {7: (7 / 64, 0.0, -0.0)},
        "negative zero",
    ),
    ("-0.0 in a used axis", "tri_level_wave", {}, None, {0: (-0.0, 0.0, 0.0)}, "negative zero"),
    ("13 decimals", "tri_level_wave", {}, None, {7: (0.1093750000001, 0.0, 0.0)}, "12 decimals"),
    ("unrounded third", "orbit_high_ring", {}, None, {9: (0.7, 0.1, 1 / 3)}, "12 decimals"),
    (
        "y in an axes-1 table",
        "tri_level_wave",
        {},
        None,
        {7: (7 / 64, 0.001, 0.0)},
        "unused component",
    ),
    (
        "z in an axes-2 table",
        "env_swell_low",
        {},
        None,
        {7: (0.0, -0.5 + 7 / 128, 0.25)},
        "unused component",
    ),
    (
        "x constant in axes 1",
        "tri_level_wave",
        {},
        lambda t: [(0.5, 0.0, 0.0)] * 160,
        {},
        "last used component constant",
    ),
    (
        "y constant in axes 2",
        "beat_zigzag_drift",
        {},
        lambda t: [(e[0], 0.2, 0.0) for e in t],
        {},
        "last used component constant",
    ),
    (
        "z constant in axes 3",
        "orbit_high_ring",
        {},
        lambda t: [(e[0], e[1], 0.0) for e in t],
        {},
        "last used component constant",
    ),
    ("x still but not zero", "env_swell_low", {}, lambda t: _flat_x(160, 0.125), {}, "x constant"),
    ("jump at the seam", "tri_level_wave", {}, lambda t: _ramp(160), {}, "seam"),
    # Every step is 1/64, the seam included: moving the last entry 1e-12 away from entry 0 makes
    # the seam the one step above the rest.
    ("seam just too long", "tri_level_wave", {}, None, {159: (-0.015625000001, 0.0, 0.0)}, "seam"),
]


@pytest.mark.parametrize(
    "name, changes, new_table, entries, rule",
    [case[1:] for case in TABLE_CASES],
    ids=[case[0] for case in TABLE_CASES],
)
def test_rejects_broken_tables(name, changes, new_table, entries, rule):
    packs, records = base_catalogue()
    if changes:
        with_pattern(records, name, **changes)
    if new_table is not None:
        with_table(records, name, new_table(list(records[position(records, name)].table)))
    for pip, entry in entries.items():
        with_entry(records, name, pip, entry)
    expect_broken(packs, records, name, rule)


def test_accepts_a_still_zero_x_in_axes_2_and_the_bounds_themselves():
    record = BakedRecord(
        "atlas", "env", "x.py", Pattern("env_full_swing", "d" * 50, 160, 2, None),
        [(0.0, store(math.cos(phase(k, 160))), 0.0) for k in range(160)],
    )  # fmt: skip
    m = Measured(record)
    assert m.table[0][1] == 1.0 and m.table[80][1] == -1.0
    for rule in checks.RECORD_RULES[checks.RECORD_RULES.index(checks.entry_count) :]:
        rule(m)


@pytest.mark.parametrize(
    "value",
    [
        0.1, 0.3, 0.123456789012, 0.1234567890123, 1e-12, 5e-13, 1.5e-12, 2 / 3, 0.999999999999,
        0.9999999999999, -0.000000000001, -0.7071067811865, math.nextafter(0.1, 1.0),
        math.nextafter(0.5, 0.0), 0.000244140625, 0.2793, -1.0,
    ],
)  # fmt: skip
def test_twelve_decimals_means_equal_to_its_12_place_decimal(value):
    record = BakedRecord(
        "atlas", "f", "x.py", Pattern("twelve_places", "d" * 50, 160, 1, None), [(value, 0.0, 0.0)]
    )
    is_twelve_decimal = float(f"{value:.12f}") == value
    if is_twelve_decimal:
        checks.twelve_decimals(Measured(record))
    else:
        with pytest.raises(CheckError, match=r"^twelve_places: 12 decimals: pip 0 x "):
            checks.twelve_decimals(Measured(record))


# --- facts -------------------------------------------------------------------------------------


def test_facts_see_the_baked_table_and_their_failures_name_the_table():
    seen = []

    def holds(table):
        seen.append(table)

    def unnamed(table):
        raise CheckError(f"value at pip 40: x is {table[40][0]!r}, expected 0.6")

    def named(table):
        raise CheckError("tri_level_wave: peaks: x is 0.625, expected 0.6")

    packs, records = base_catalogue()
    with_pattern(records, "tri_level_wave", facts=(holds,))
    run(packs, records)
    assert seen == [records[0].table]

    with_pattern(records, "tri_level_wave", facts=(holds, unnamed, named))
    with pytest.raises(CheckError) as caught:
        run(packs, records)
    assert str(caught.value) == "tri_level_wave: value at pip 40: x is 0.625, expected 0.6"

    with_pattern(records, "tri_level_wave", facts=(named, unnamed))
    with pytest.raises(CheckError) as caught:
        run(packs, records)
    assert str(caught.value) == "tri_level_wave: peaks: x is 0.625, expected 0.6"


# --- across the catalogue and per pack ---------------------------------------------------------


def test_rejects_a_name_used_twice():
    packs, records = base_catalogue()
    with_pattern(records, "orbit_high_ring", name="env_swell_low")
    expect_broken(packs, records, "env_swell_low", "duplicate name")


def test_rejects_two_identical_tables_under_different_names():
    packs, records = base_catalogue()
    twin = replace(records[0], pattern=replace(records[0].pattern, name="tri_level_twin"))
    records.insert(1, twin)
    packs[0] = replace(packs[0], count=2, periods={160: 2}, axes={1: 2})
    expect_broken(packs, records, "tri_level_twin", "duplicate table")


@pytest.mark.parametrize(
    "pack, changes, rule",
    [
        ("club", {"count": 2}, "pack count"),
        ("club", {"peak": 0.61}, "pack peak"),
        ("atlas", {"peak": 0.8}, "pack peak"),
        ("initial", {"max_step": 0.015}, "pack largest step"),
        ("continuum", {"periods": {512: 1, 1024: 0}}, "pack periods"),
        ("continuum", {"periods": {1024: 1}}, "pack periods"),
        ("dancefloor", {"axes": {3: 1}}, "pack axes"),
    ],
)
def test_rejects_packs_that_differ_from_their_facts(pack, changes, rule):
    packs, records = base_catalogue()
    i = next(i for i, p in enumerate(packs) if p.key == pack)
    packs[i] = replace(packs[i], **changes)
    expect_broken(packs, records, pack, rule)


@pytest.mark.parametrize(
    "stated, holds", [(0.0156, True), (0.01565, True), (0.0157, False), (0.0155, False)]
)
def test_the_pack_step_is_a_figure_met_within_half_a_unit_of_its_fourth_decimal(stated, holds):
    packs, records = base_catalogue()  # tri_level_wave steps by exactly 1/64 = 0.015625
    pack = replace(packs[0], max_step=stated)
    if holds:
        checks.pack_max_step(pack, [Measured(records[0])])
    else:
        with pytest.raises(
            CheckError, match=r"^initial: pack largest step: 0\.015625 in tri_level_wave"
        ):
            checks.pack_max_step(pack, [Measured(records[0])])


@pytest.mark.parametrize("stated, holds", [(None, True), (0.74, True), (0.73, False)])
def test_a_pack_bounds_each_seam_by_a_share_of_its_largest_step(stated, holds):
    # A triangle of steps 0.004 whose last entry sits at 0.0034: its largest step is 0.0046
    # (into the last entry) and its seam 0.0034, a share of 0.739.
    xs = [0.004 * k if k <= 100 else 0.4 - 0.004 * (k - 100) for k in range(199)] + [0.0034]
    table = [(store(x), 0.0, 0.0) for x in xs]
    pattern = Pattern("beat_seam_share", "d" * 50, 200, 1, None)
    m = Measured(BakedRecord("club", "f", "x.py", pattern, table), declared("club"))
    m = Measured(m.record, replace(m.pack, seam_ratio=stated))
    if holds:
        checks.seam_ratio(m)
    else:
        with pytest.raises(CheckError, match=r"^beat_seam_share: seam ratio: "):
            checks.seam_ratio(m)


@pytest.mark.parametrize("stated, holds", [(None, True), (1, True), (0, False), (2, False)])
def test_a_pack_states_how_many_tables_start_at_the_origin(stated, holds):
    packs, records = base_catalogue()  # bump_closed_lift, the expansion table, starts at rest
    packs[1] = replace(packs[1], origin_starts=stated)
    if holds:
        run(packs, records)
    else:
        expect_broken(packs, records, "expansion", "pack origin starts")


def test_rejects_records_of_a_pack_without_facts_and_facts_without_records():
    packs, records = base_catalogue()
    expect_broken(packs[1:], records, "tri_level_wave", "pack")
    expect_broken(packs, records[1:], "initial", "pack count")


@pytest.mark.parametrize(
    "index, subject, rule",
    [
        (
            [0, 1, 2, 3, 4, 5],
            "bump_closed_lift",
            "name index order",
        ),  # record order, not name order
        ([4, 5, 1, 2, 3], "catalogue_name_index", "name index"),
        ([4, 5, 1, 2, 3, 3], "catalogue_name_index", "name index"),
        ([5, 4, 1, 2, 3, 0], "beat_triple_bump", "name index order"),
    ],
)
def test_rejects_a_name_index_out_of_byte_order(index, subject, rule):
    packs, records = base_catalogue()
    expect_broken(packs, records, subject, rule, index=index)


def test_the_name_index_must_rise_strictly():
    _, records = base_catalogue()
    twins = [Measured(records[0]), Measured(records[0])]
    with pytest.raises(CheckError, match=r"^tri_level_wave: name index order: "):
        checks.name_index_order(twins, [0, 1])


# --- whole-catalogue totals --------------------------------------------------------------------


@pytest.mark.parametrize(
    "changes, rule",
    [
        ({"records": 7}, "record count"),
        ({"entries": 2369}, "entry count"),
        ({"periods": {160: 2, 256: 2, 512: 2}}, "periods"),
        ({"axes": {1: 2, 2: 2, 3: 2}}, "axes"),
        ({"closed_seams": 2}, "closed seams"),
        ({"level_seams": 1}, "level seams"),
        ({"origin_starts": 4}, "origin starts"),
        ({"peak": 1.0}, "largest magnitude"),
        ({"peak_tables": frozenset({"env_swell_low", "orbit_high_ring"})}, "largest magnitude"),
        ({"largest_step": "0.0157"}, "largest step"),
        ({"longest_entry": "1.03"}, "longest entry"),
        ({"longest_entry_table": "orbit_high_ring"}, "longest entry"),
        ({"mean_range": ("-0.500", "0.250")}, "axis means"),
        ({"mean_range": ("-0.499", "0.300")}, "axis means"),
        ({"still_x": 3}, "still x"),
        ({"still_x_named": frozenset()}, "still x"),
        ({"still_x_family": ("atlas", "wave_")}, "still x"),
        (
            {"index_head": ("beat_triple_bump", "bump_closed_lift", "beat_zigzag_drift")},
            "name index head",
        ),
        ({"last_record": "beat_triple_bump"}, "last record"),
    ],
)
def test_rejects_a_complete_catalogue_whose_totals_differ(changes, rule):
    packs, records = base_catalogue()
    expect_broken(packs, records, "catalogue", rule, totals=replace(BASE_TOTALS, **changes))


def test_a_second_table_at_the_peak_breaks_the_largest_magnitude():
    packs, records = base_catalogue()
    with_entry(records, "orbit_high_ring", 0, (0.8125, 0.089, 0.144))
    step = checks.Measured(records[3]).largest_step
    packs[3] = replace(packs[3], peak=0.8125, max_step=round(step, 4))
    expect_broken(packs, records, "catalogue", "largest magnitude")


def test_totals_are_checked_only_when_every_pack_is_present():
    packs, records = base_catalogue()
    assert [p.key for p in packs] == list(CATALOGUE_TOTALS.packs)
    expect_broken(packs, records, "catalogue", "record count", totals=CATALOGUE_TOTALS)
    run(packs[:-1], records[:-1], totals=CATALOGUE_TOTALS)


# --- figures counted over a pack: exact peaks -------------------------------------------------


@pytest.mark.parametrize("stated, holds", [(None, True), (1, True), (0, False), (2, False)])
def test_a_pack_states_how_many_tables_reach_its_peak_exactly(stated, holds):
    packs, records = base_catalogue()  # orbit_high_ring sets the continuum pack's peak itself
    packs[3] = replace(packs[3], exact_peaks=stated)
    if holds:
        run(packs, records)
    else:
        expect_broken(packs, records, "continuum", "pack exact peaks")


# --- tables of a group that must not nearly copy one another ----------------------------------

BUMPS = checks.Distinct("beat_bump", "_bump", apart=0.05, planar=0.02)


def with_member(packs, records, pack, name, table, axes=3):
    """Adds a table to a pack and restates the pack's facts from its tables."""
    pattern = Pattern(
        name, f"Another bump / test style {EM} Bounce. A copy under test.", 0, axes, None
    )
    pattern = replace(pattern, period=len(table))
    records.append(BakedRecord(pack, "family", f"packs/{pack}/20_more.py", pattern, table))
    i = next(i for i, p in enumerate(packs) if p.key == pack)
    mine = [(r.pattern.period, r.pattern.axes, r.table) for r in records if r.pack == pack]
    facts = pack_facts(pack, mine)
    packs[i] = replace(
        packs[i], **{f: getattr(facts, f) for f in ("count", "peak", "max_step", "periods", "axes")}
    )


def bump_copy(shift=(0.0, 0.0, 0.0), period=512):
    """beat_triple_bump's lift, repeated over `period` pips and moved by `shift`."""
    return make_table(period, lambda k: tuple(lift(k % 256, 128, 128, 0.6) + s for s in shift))


def declare(packs, *keys, rule=BUMPS):
    for i, p in enumerate(packs):
        if p.key in keys:
            packs[i] = replace(p, distinct=(rule,))


@pytest.mark.parametrize(
    "shift, planar, message",
    [
        ((0.0, 0.049, 0.0), 0.02, "1 pair lies within 0.05 of each other at every pip"),
        ((0.0, 0.0, 0.3), 0.02, "1 pair lies within 0.02 of each other in x and y"),
        ((0.0, 0.0, 0.3), None, None),  # only depth tells them apart, and x-y is not checked
        ((0.0, 0.05, 0.0), 0.02, None),  # apart by the stated amount
        ((0.021, 0.0, 0.3), 0.02, None),  # depth apart, and x apart by more than 0.02
    ],
)
def test_rejects_a_group_member_that_nearly_copies_another_across_packs(shift, planar, message):
    packs, records = base_catalogue()
    declare(packs, "club", "dancefloor", rule=replace(BUMPS, planar=planar))
    with_member(packs, records, "dancefloor", "beat_other_bump", bump_copy(shift))
    if message is None:
        run(packs, records, totals=None)
        return
    with pytest.raises(CheckError) as caught:
        run(packs, records, totals=None)
    text = str(caught.value)
    assert text.startswith(f"beat_bump: distinct tables: {message}"), text
    assert "beat_triple_bump ~ beat_other_bump" in text


def test_distinct_groups_compare_each_loop_repeated_over_their_common_length():
    """A 256-pip table and a 768-pip one are compared over 768 pips: a copy that strays in its
    last bar only is told apart, one that never strays is not."""
    packs, records = base_catalogue()
    declare(packs, "club", "dancefloor")
    strays = bump_copy(period=768)
    strays[700] = (strays[700][0], store(strays[700][1] + 0.3), strays[700][2])
    with_member(packs, records, "dancefloor", "beat_late_bump", strays)
    run(packs, records, totals=None)
    with_member(packs, records, "dancefloor", "beat_other_bump", bump_copy(period=768))
    expect_broken(packs, records, "beat_bump", "distinct tables", totals=None)


def test_only_the_packs_declaring_a_group_are_compared_and_declarations_must_agree():
    packs, records = base_catalogue()
    with_member(packs, records, "dancefloor", "beat_other_bump", bump_copy())
    declare(packs, "club")
    run(packs, records, totals=None)
    declare(packs, "dancefloor", rule=replace(BUMPS, apart=0.1))
    expect_broken(packs, records, "beat_bump", "distinct tables", totals=None)


def test_near_copies_counts_each_pair_once_with_its_largest_gap():
    packs, records = base_catalogue()
    tables = {
        "a_bump": bump_copy(),
        "b_bump": bump_copy((0.01, 0.0, 0.0)),
        "c_bump": bump_copy((0.0, 0.03, 0.0)),
    }
    members = [
        Measured(BakedRecord("club", "f", "x.py", Pattern(n, "d" * 50, 512, 3, None), t)).summary()
        for n, t in tables.items()
    ]
    found = checks.near_copies(members, tables.__getitem__, 0.05)
    assert [(a, b) for a, b, _ in found] == [
        ("a_bump", "b_bump"),
        ("a_bump", "c_bump"),
        ("b_bump", "c_bump"),
    ]
    assert [round(gap, 12) for _, _, gap in found] == [0.01, 0.03, 0.03]
    assert checks.near_copies(members, tables.__getitem__, 0.02, checks.PLANAR) == [found[0]]
