"""Listing and sampling every built-in pattern by name, and every baked table by property."""

import math

import motiloom
import pytest
from rudiment_reference import RUDIMENTS

INT_MIN, INT_MAX = -(2**31), 2**31 - 1

CATALOGUE = motiloom.catalogue()
BAKED = CATALOGUE[len(RUDIMENTS) :]


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
        assert (len(BAKED), len(CATALOGUE)) == (1716, 1731)
        assert BAKED[-1]["name"] == "beat_dembow_push_ricochet"

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


@pytest.mark.parametrize("entry", BAKED, ids=[e["name"] for e in BAKED])
def test_baked_table_properties(entry):
    name = entry["name"]
    period, axes = entry["period_pips"], entry["dimensions"]
    values = table(entry)
    flat = [c for v in values for c in v]
    assert all(math.isfinite(c) and -1.0 <= c <= 1.0 for c in flat)
    assert all(math.copysign(1.0, c) > 0 for c in flat if c == 0.0), "no -0.0"
    assert all(c == float(f"{c:.12f}") for c in flat), "values of at most 12 decimals"
    for v in values:  # components beyond the used ones are exactly +0.0
        assert v[axes:] == (0.0,) * (3 - axes)
    assert len({v[axes - 1] for v in values}) >= 2
    steps = [math.dist(values[k], values[k + 1]) for k in range(period - 1)]
    assert math.dist(values[-1], values[0]) <= max(steps), "seamless loop"
    # wrapping
    assert motiloom.sample(name, -1).as_tuple() == values[-1]
    assert motiloom.sample(name, period).as_tuple() == values[0]
    assert motiloom.sample(name, -period).as_tuple() == values[0]
    assert motiloom.sample(name, INT_MAX).as_tuple() == values[INT_MAX % period]
    assert motiloom.sample(name, INT_MIN).as_tuple() == values[INT_MIN % period]


def test_stated_wrap_positions():
    by_period = {e["period_pips"]: e["name"] for e in BAKED}
    for period, at_max, at_min in [(1024, 1023, 0), (256, 255, 0), (160, 127, 32)]:
        if period in by_period:
            name = by_period[period]
            assert (
                motiloom.sample(name, INT_MAX).as_tuple()
                == motiloom.sample(name, at_max).as_tuple()
            )
            assert (
                motiloom.sample(name, INT_MIN).as_tuple()
                == motiloom.sample(name, at_min).as_tuple()
            )


def test_no_two_baked_tables_identical():
    seen = {}
    for entry in BAKED:
        key = tuple(table(entry))
        assert key not in seen, (entry["name"], seen.get(key))
        seen[key] = entry["name"]
