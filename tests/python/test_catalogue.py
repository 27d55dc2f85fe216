"""Listing and sampling every built-in pattern by name, and the baked tables as the host returns
them.

The generator checks each catalogue rule on every table before it writes anything (bounds, signed
zeros, decimals, unused axes, seams, distinct tables), and tests/python/test_packs.py pins every
value the host returns per pack; here the host's values are checked against the rules once, all
tables at a time, and wrapping by name on one table of each period.
"""

from pathlib import Path

import motiloom
import numpy as np
import pytest
from rudiment_reference import RUDIMENTS
from tablegen.load import load_totals

INT_MIN, INT_MAX = -(2**31), 2**31 - 1

CATALOGUE = motiloom.catalogue()
BAKED = CATALOGUE[len(RUDIMENTS) :]
TOTALS = load_totals(Path(__file__).resolve().parents[2] / "src" / "catalogue" / "packs")


def table(entry):
    return [motiloom.sample(entry["name"], k).as_tuple() for k in range(entry["period_pips"])]


class TestListing:
    def test_procedural_head(self):
        head = [
            (e["name"], e["period_pips"], e["dimensions"], e["description"])
            for e in CATALOGUE[: len(RUDIMENTS)]
        ]
        assert head == [(n, p, d, desc) for n, (p, d, desc, _) in RUDIMENTS.items()]

    def test_first_baked_entry_and_size(self):
        assert BAKED[0] == {
            "name": "lfo_breathe",
            "description": "A four-beat, single-axis sine. The quiet reference for judging busier "
            "shapes.",
            "period_pips": 256,
            "dimensions": 1,
        }
        # The generator checks its records against the stated totals; the host must list them all.
        assert len(BAKED) == TOTALS.records
        assert sum(e["period_pips"] for e in BAKED) == TOTALS.entries
        assert BAKED[-1]["name"] == TOTALS.last_record

    def test_entries_are_dicts_with_keys_in_order(self):
        for entry in motiloom.catalogue():
            assert type(entry) is dict
            assert list(entry) == ["name", "description", "period_pips", "dimensions"]
            assert [type(v) for v in entry.values()] == [str, str, int, int]

    def test_each_call_builds_a_fresh_equal_list(self):
        first, second = motiloom.catalogue(), motiloom.catalogue()
        assert first == second and first is not second
        assert all(a is not b for a, b in zip(first, second, strict=True))
        first.clear()
        second[0]["name"] = "changed"
        assert motiloom.catalogue() == CATALOGUE

    def test_names_unique_and_valid(self):
        names = [e["name"] for e in CATALOGUE]
        assert len(set(names)) == len(names)
        for entry in BAKED:
            name = entry["name"].encode()
            assert 8 <= len(name) <= 32 and name[:1].isalpha()
            assert set(name) <= set(b"abcdefghijklmnopqrstuvwxyz0123456789_")
            assert 42 <= len(entry["description"].encode()) <= 235
            assert entry["period_pips"] % 32 == 0 and 160 <= entry["period_pips"] <= 1024
            assert entry["dimensions"] in (1, 2, 3)


class TestSampleByName:
    @pytest.mark.parametrize("name", list(RUDIMENTS))
    def test_procedural_names_reach_their_functions(self, name):
        for pip in (-1, 0, 37, INT_MAX, INT_MIN):
            assert motiloom.sample(name, pip).as_tuple() == getattr(motiloom, name)(pip).as_tuple()

    def test_keywords_bytes_and_bytearray(self):
        expected = motiloom.bounce(37).as_tuple()
        assert motiloom.sample(name="bounce", pip_count=37).as_tuple() == expected
        assert motiloom.sample(b"bounce", 37).as_tuple() == expected
        assert motiloom.sample(bytearray(b"bounce"), 37).as_tuple() == expected
        assert motiloom.sample(b"lfo_breathe", 64).as_tuple() == (0.8, 0.0, 0.0)

    @pytest.mark.parametrize(
        "name",
        [
            "Bounce",
            "box",
            "bounce ",
            " bounce",
            "zzz",
            "a",
            "lfo_breath",
            "lfo_breathe_",
            "accent",
            "beat_dembow_push_ricochet_and_more",
            "x" * 33,
            "lfo_breathe" + "_" * 40,
            "\u00e9t\u00e9",
            "\U0001f600",
        ],
    )
    def test_unknown_names(self, name):
        with pytest.raises(ValueError) as error:
            motiloom.sample(name, 0)
        assert str(error.value) == "Unknown motiloom: " + name

    @pytest.mark.parametrize("name", ["bounce\x00", "lfo_breathe\x00x", b"\xff\xfe", b"bounce\x00"])
    def test_names_with_nul_or_invalid_utf8_are_unknown(self, name):
        # The host message is read as a C string and decoded as UTF-8: a NUL ends it early and
        # undecodable bytes surface as UnicodeDecodeError, which is still a ValueError.
        with pytest.raises(ValueError):
            motiloom.sample(name, 0)

    def test_empty_name_message_is_the_prefix_alone(self):
        with pytest.raises(ValueError) as error:
            motiloom.sample("", 0)
        assert str(error.value) == "Unknown motiloom: "

    @pytest.mark.parametrize(
        ("args", "kwargs"),
        [
            (("lfo_breathe", 1.0), {}),
            (("bounce", 2.0), {}),
            (("bounce", 2**31), {}),
            (("bounce", -(2**31) - 1), {}),
            ((None, 0), {}),
            ((37, 0), {}),
            (("\ud800", 0), {}),
            (("bounce",), {}),
            ((), {"name": "bounce", "pip": 0}),
            (("bounce", 0, 1), {}),
        ],
    )
    def test_refused_arguments(self, args, kwargs):
        with pytest.raises(TypeError):
            motiloom.sample(*args, **kwargs)


def one_per_period():
    """The first baked entry of each period: wrapping by name depends on the period alone."""
    first = {}
    for entry in BAKED:
        first.setdefault(entry["period_pips"], entry)
    return list(first.values())


@pytest.fixture(scope="module")
def stacked():
    """Every baked table as the host samples it, one array of all their entries, and each
    table's (start, period, dimensions) in it."""
    rows, spans, start = [], [], 0
    for entry in BAKED:
        period = entry["period_pips"]
        rows.extend(table(entry))
        spans.append((start, period, entry["dimensions"]))
        start += period
    return np.array(rows, dtype=np.float64), spans


def test_every_baked_value_the_host_returns_obeys_the_table_rules(stacked):
    values, spans = stacked
    assert np.isfinite(values).all() and np.abs(values).max() <= 1.0
    assert not np.signbit(values[values == 0.0]).any(), "no -0.0"
    assert (np.round(values, 12) == values).all(), "values of at most 12 decimals"
    for start, period, axes in spans:
        loop = values[start : start + period]
        assert not loop[:, axes:].any() and not np.signbit(loop[:, axes:]).any()
        assert len(np.unique(loop[:, axes - 1])) >= 2
        steps = np.linalg.norm(np.diff(loop, axis=0, append=loop[:1]), axis=1)  # the seam last
        assert steps[-1] <= steps[:-1].max(), "seamless loop"


@pytest.mark.parametrize("entry", one_per_period(), ids=lambda e: str(e["period_pips"]))
def test_baked_tables_wrap_by_name(entry):
    name, period = entry["name"], entry["period_pips"]
    values = table(entry)
    assert motiloom.sample(name, -1).as_tuple() == values[-1]
    assert motiloom.sample(name, period).as_tuple() == values[0]
    assert motiloom.sample(name, -period).as_tuple() == values[0]
    assert motiloom.sample(name, INT_MAX).as_tuple() == values[INT_MAX % period]
    assert motiloom.sample(name, INT_MIN).as_tuple() == values[INT_MIN % period]


def test_stated_wrap_positions():
    by_period = {e["period_pips"]: e["name"] for e in BAKED}
    for period, at_max, at_min in [(1024, 1023, 0), (256, 255, 0), (160, 127, 32)]:
        name = by_period[period]
        assert motiloom.sample(name, INT_MAX).as_tuple() == motiloom.sample(name, at_max).as_tuple()
        assert motiloom.sample(name, INT_MIN).as_tuple() == motiloom.sample(name, at_min).as_tuple()
