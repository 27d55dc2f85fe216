"""PatternLibrary: caller patterns layered over the built-in catalogue, sampled by name."""

import gc
import math
import re
from fractions import Fraction

import motiloom
import pytest

TOO_MANY = "Too many patterns"
TOO_LARGE = "Pattern pack is too large"
MAX_PATTERNS = 1024
MAX_SAMPLES = 65535
INT32_MIN = -(2**31)
INT32_MAX = 2**31 - 1
PIPS = [0, 1, 5, 63, 64, 65, 200, -1, -64, -65, -1000, INT32_MIN, INT32_MAX]

BOUNCE = "bounce"
BOUNCE_DESCRIPTION = "One-beat vertical bounce"
BOUNCE_PERIOD = 64


def raises_exactly(kind, message):
    return pytest.raises(kind, match=f"^{re.escape(message)}\\Z")


def duplicate(name):
    return f"Duplicate pattern name: {name}"


def cannot_override(name):
    return f"Cannot override default pattern: {name}"


def unknown(name):
    return f"Unknown motiloom: {name}"


def ramp(count, scale=1.0):
    return [(scale * k / count, -scale * k / count, scale * (k % 3) / 4) for k in range(count)]


def pattern(name, count=4, description="", scale=1.0):
    return motiloom.SampledPattern(name, description, ramp(count, scale))


def builtin_rows(name, period):
    return [motiloom.sample(name, pip).as_tuple() for pip in range(period)]


def own_entries(library):
    return library.catalogue()[len(motiloom.catalogue()) :]


@pytest.fixture(scope="module")
def builtins():
    return motiloom.catalogue()


@pytest.fixture(scope="module")
def builtin_names(builtins):
    """A spread of built-in names, procedural and baked, first and last included."""
    indices = sorted({0, 1, 7, 14, 15, len(builtins) // 2, len(builtins) - 1})
    return [builtins[i]["name"] for i in indices if i < len(builtins)]


@pytest.fixture(scope="module")
def bounce_rows():
    return builtin_rows(BOUNCE, BOUNCE_PERIOD)


@pytest.fixture(scope="module")
def bounce_copy(bounce_rows):
    return motiloom.SampledPattern(BOUNCE, BOUNCE_DESCRIPTION, bounce_rows)


@pytest.fixture(scope="module")
def full_patterns():
    """Sixteen patterns of 65,535 samples each: 1,048,560 samples, 16 short of the limit."""
    rows = [(0.0, 0.0, 0.0)] * MAX_SAMPLES
    return [motiloom.SampledPattern(f"full_{i}", "", rows) for i in range(16)]


# --- empty library ----------------------------------------------------------------------------


@pytest.mark.parametrize(
    "make",
    [
        lambda: motiloom.PatternLibrary(),
        lambda: motiloom.PatternLibrary([]),
        lambda: motiloom.PatternLibrary(()),
        lambda: motiloom.PatternLibrary(patterns=[]),
    ],
    ids=["default", "list", "tuple", "keyword"],
)
def test_empty_library_is_the_built_in_catalogue(make, builtins, builtin_names):
    library = make()
    assert library.catalogue() == builtins
    for name in builtin_names:
        for pip in PIPS:
            assert library.sample(name, pip).as_tuple() == motiloom.sample(name, pip).as_tuple()


def test_default_argument_is_not_shared_state(builtins):
    first = motiloom.PatternLibrary()
    listing = first.catalogue()
    listing.clear()
    assert motiloom.PatternLibrary().catalogue() == builtins
    assert first.catalogue() == builtins


# --- own patterns -----------------------------------------------------------------------------


@pytest.mark.parametrize("period", [1, 3, 4, 64, 100])
def test_own_pattern_samples_like_the_pattern_itself(period):
    rows = ramp(period)
    own = motiloom.SampledPattern("mine", "", rows)
    library = motiloom.PatternLibrary([pattern("other", 7), own])
    for pip in PIPS:
        got = library.sample("mine", pip).as_tuple()
        assert got == own.sample(pip).as_tuple()
        assert got == rows[pip % period]


def test_each_own_name_selects_its_own_pattern():
    patterns = [pattern(f"p{i}", count=i + 1, scale=1 / (i + 1)) for i in range(10)]
    library = motiloom.PatternLibrary(patterns)
    for p in patterns:
        for pip in (0, 1, -1, 17):
            assert library.sample(p.name, pip).as_tuple() == p.sample(pip).as_tuple()


def test_names_that_only_share_a_prefix_are_distinct():
    library = motiloom.PatternLibrary([pattern("wave", 2, scale=0.5), pattern("wave_2", 2)])
    assert library.sample("wave", 1).as_tuple() == ramp(2, 0.5)[1]
    assert library.sample("wave_2", 1).as_tuple() == ramp(2)[1]
    with raises_exactly(ValueError, unknown("wav")):
        library.sample("wav", 0)
    with raises_exactly(ValueError, unknown("wave_")):
        library.sample("wave_", 0)


def test_built_in_names_fall_through_an_own_library(builtin_names):
    library = motiloom.PatternLibrary([pattern("mine"), pattern("yours")])
    for name in builtin_names:
        for pip in PIPS:
            assert library.sample(name, pip).as_tuple() == motiloom.sample(name, pip).as_tuple()


@pytest.mark.parametrize("name", ["", "no_such_pattern", "Mine", "mine ", " mine", "min", "zzz"])
def test_names_nobody_knows_are_refused(name):
    library = motiloom.PatternLibrary([pattern("mine")])
    with raises_exactly(ValueError, unknown(name)):
        library.sample(name, 0)


def test_a_name_with_a_nul_byte_is_not_the_name_before_it():
    library = motiloom.PatternLibrary([pattern("mine")])
    # The host message is read as a C string, so it ends at the NUL.
    with pytest.raises(ValueError, match=r"^Unknown motiloom: mine"):
        library.sample("mine\x00", 0)


@pytest.mark.parametrize("name", [b"mine", bytearray(b"mine")])
def test_name_may_be_bytes(name):
    library = motiloom.PatternLibrary([pattern("mine", 4)])
    assert library.sample(name, 2).as_tuple() == ramp(4)[2]


def test_unknown_bytes_name_appears_in_the_message():
    with raises_exactly(ValueError, unknown("nope")):
        motiloom.PatternLibrary().sample(b"nope", 0)


@pytest.mark.parametrize("name", [None, 5, ["mine"], "mi\ud800ne"])
def test_non_text_name_is_a_type_error(name):
    with pytest.raises(TypeError):
        motiloom.PatternLibrary([pattern("mine")]).sample(name, 0)


@pytest.mark.parametrize("target", ["mine", BOUNCE])
@pytest.mark.parametrize("pip", [1.0, 0.0, math.inf, 2**31, -(2**31) - 1, Fraction(1), "0", None])
def test_sample_refuses_anything_but_a_32_bit_integer(target, pip):
    library = motiloom.PatternLibrary([pattern("mine")])
    with pytest.raises(TypeError):
        library.sample(target, pip)


def test_sample_by_keyword_and_with_bool_pips():
    library = motiloom.PatternLibrary([pattern("mine", 4)])
    assert library.sample(name="mine", pip_count=3).as_tuple() == ramp(4)[3]
    assert library.sample("mine", True).as_tuple() == ramp(4)[1]
    with pytest.raises(TypeError):
        library.sample(name="mine", pip=3)


# --- listing ----------------------------------------------------------------------------------


def test_catalogue_lists_built_ins_then_own_patterns_in_order(builtins):
    given = [
        motiloom.SampledPattern("zeta", "last letter", [(0.5, 0.0, 0.0)] * 3),
        motiloom.SampledPattern("alpha", "", [(0.0, 0.5, 0.0)] * 70),
        motiloom.SampledPattern("mid", "ünï", [(0.0, 0.0, 0.5)] * 2 + [(0.0, 0.0, 0.0)]),
    ]
    listing = motiloom.PatternLibrary(given).catalogue()
    assert listing[: len(builtins)] == builtins
    assert listing[len(builtins) :] == [
        {"name": "zeta", "description": "last letter", "period_pips": 3, "dimensions": 1},
        {"name": "alpha", "description": "", "period_pips": 70, "dimensions": 2},
        {"name": "mid", "description": "ünï", "period_pips": 3, "dimensions": 3},
    ]
    for entry in listing[len(builtins) :]:
        assert list(entry) == ["name", "description", "period_pips", "dimensions"]


def test_each_listing_is_new():
    library = motiloom.PatternLibrary([pattern("mine")])
    first = library.catalogue()
    first[-1]["name"] = "changed"
    first.append({})
    second = library.catalogue()
    assert second is not first
    assert second[-1]["name"] == "mine"
    assert len(second) == len(first) - 1


def test_wave_example():
    wave = motiloom.SampledPattern("wave", "", [[0.1, 0.2, 0.3]])
    library = motiloom.PatternLibrary([wave])
    assert library.catalogue()[-1] == {
        "name": "wave",
        "description": "",
        "period_pips": 1,
        "dimensions": 3,
    }
    assert wave.sample(5).as_tuple() == (0.1, 0.2, 0.3)
    with raises_exactly(ValueError, duplicate("wave")):
        motiloom.PatternLibrary([wave, wave])


# --- the library owns copies ------------------------------------------------------------------


def test_host_patterns_stay_usable_and_the_library_survives_them():
    rows = ramp(5)
    given = [motiloom.SampledPattern("kept", "desc", rows)]
    library = motiloom.PatternLibrary(given)
    assert given[0].name == "kept"
    assert given[0].period_pips == 5
    assert given[0].sample(2).as_tuple() == rows[2]
    del given
    gc.collect()
    assert library.sample("kept", 7).as_tuple() == rows[2]
    assert own_entries(library)[0]["description"] == "desc"


def test_one_pattern_may_serve_several_libraries():
    shared = pattern("shared", 6)
    first = motiloom.PatternLibrary([shared])
    second = motiloom.PatternLibrary([shared, pattern("more")])
    del first
    gc.collect()
    assert second.sample("shared", 5).as_tuple() == shared.sample(5).as_tuple()
    assert [e["name"] for e in own_entries(second)] == ["shared", "more"]


def test_a_dropped_copy_leaves_the_host_object_whole(bounce_copy, bounce_rows):
    motiloom.PatternLibrary([bounce_copy])
    assert bounce_copy.name == BOUNCE
    assert bounce_copy.description == BOUNCE_DESCRIPTION
    assert [bounce_copy.sample(p).as_tuple() for p in range(BOUNCE_PERIOD)] == bounce_rows


def test_subclass_instances_are_accepted():
    class Tagged(motiloom.SampledPattern):
        pass

    library = motiloom.PatternLibrary([Tagged("tagged", "", [[0.5, 0.0, 0.0]])])
    assert library.sample("tagged", 9).as_tuple() == (0.5, 0.0, 0.0)


# --- argument types ---------------------------------------------------------------------------


@pytest.mark.parametrize(
    "patterns",
    [
        [1],
        [None],
        ["mine"],
        [("mine", "", [[0.0, 0.0, 0.0]])],
        None,
        5,
        "mine",
    ],
)
def test_anything_but_sampled_patterns_is_a_type_error(patterns):
    with pytest.raises(TypeError):
        motiloom.PatternLibrary(patterns)


def test_one_foreign_element_refuses_the_whole_list():
    with pytest.raises(TypeError):
        motiloom.PatternLibrary([pattern("mine"), None])
    recording = motiloom.SampledRecording("take", ["x"], [[0.0]], 120.0)
    with pytest.raises(TypeError):
        motiloom.PatternLibrary([pattern("mine"), recording])


def test_a_type_error_wins_over_validation_faults():
    with pytest.raises(TypeError):
        motiloom.PatternLibrary([pattern("same"), pattern("same"), 1])


# --- duplicates -------------------------------------------------------------------------------


@pytest.mark.parametrize(
    ("names", "repeated"),
    [
        (["a", "a"], "a"),
        (["a", "b", "a"], "a"),
        (["a", "b", "c", "b"], "b"),
        (["a", "b", "b", "a"], "b"),
        (["x" * 128, "x" * 128], "x" * 128),
    ],
)
def test_repeated_names_are_refused_at_the_second_use(names, repeated):
    # Different contents under the same name are still a duplicate.
    given = [pattern(n, count=i + 1) for i, n in enumerate(names)]
    with raises_exactly(ValueError, duplicate(repeated)):
        motiloom.PatternLibrary(given)


# --- limits on size ---------------------------------------------------------------------------


@pytest.fixture(scope="module")
def many_patterns():
    rows = [(0.25, 0.0, 0.0)]
    return [motiloom.SampledPattern(f"p{i}", "", rows) for i in range(MAX_PATTERNS + 1)]


def test_1024_patterns_are_accepted(many_patterns, builtins):
    library = motiloom.PatternLibrary(many_patterns[:MAX_PATTERNS])
    own = own_entries(library)
    assert len(own) == MAX_PATTERNS
    assert [e["name"] for e in own] == [f"p{i}" for i in range(MAX_PATTERNS)]
    assert library.sample(f"p{MAX_PATTERNS - 1}", 3).as_tuple() == (0.25, 0.0, 0.0)


@pytest.mark.parametrize("fault", ["valid", "duplicates", "overrides", "mixed"])
def test_1025_patterns_are_refused_whatever_else_is_wrong(fault, many_patterns):
    bad_bounce = motiloom.SampledPattern(BOUNCE, "not the built-in", [(0.0, 0.0, 0.0)])
    if fault == "valid":
        given = many_patterns
    elif fault == "duplicates":
        given = [many_patterns[0]] * (MAX_PATTERNS + 1)
    elif fault == "overrides":
        given = [bad_bounce] * (MAX_PATTERNS + 1)
    else:
        given = [bad_bounce, many_patterns[0], many_patterns[0]] + many_patterns[3:]
    assert len(given) == MAX_PATTERNS + 1
    with raises_exactly(ValueError, TOO_MANY):
        motiloom.PatternLibrary(given)


def test_exactly_2_to_the_20_samples_are_accepted(full_patterns):
    last = pattern("last", 16)
    library = motiloom.PatternLibrary(full_patterns + [last])
    assert [e["period_pips"] for e in own_entries(library)] == [MAX_SAMPLES] * 16 + [16]
    assert library.sample("last", -1).as_tuple() == ramp(16)[15]


def test_one_sample_more_is_too_large(full_patterns):
    with raises_exactly(ValueError, TOO_LARGE):
        motiloom.PatternLibrary(full_patterns + [pattern("last", 17)])


def test_dropped_copies_count_toward_the_total(full_patterns, bounce_copy):
    with raises_exactly(ValueError, TOO_LARGE):
        motiloom.PatternLibrary(full_patterns + [bounce_copy])


def test_size_is_checked_before_an_override(full_patterns):
    bad = motiloom.SampledPattern(BOUNCE, "wrong", [(0.0, 0.0, 0.0)] * 17)
    with raises_exactly(ValueError, TOO_LARGE):
        motiloom.PatternLibrary(full_patterns + [bad])
    small_bad = motiloom.SampledPattern(BOUNCE, "wrong", [(0.0, 0.0, 0.0)] * 16)
    with raises_exactly(ValueError, cannot_override(BOUNCE)):
        motiloom.PatternLibrary(full_patterns + [small_bad])


def test_a_duplicate_is_reported_before_the_size(full_patterns):
    with raises_exactly(ValueError, duplicate("full_0")):
        motiloom.PatternLibrary(full_patterns + [full_patterns[0]])


# --- built-in names ---------------------------------------------------------------------------


def test_an_exact_copy_of_a_built_in_is_dropped(bounce_copy, builtins, bounce_rows):
    library = motiloom.PatternLibrary([pattern("before"), bounce_copy, pattern("after")])
    listing = library.catalogue()
    assert [e["name"] for e in listing].count(BOUNCE) == 1
    assert [e["name"] for e in listing[len(builtins) :]] == ["before", "after"]
    for pip in PIPS:
        assert library.sample(BOUNCE, pip).as_tuple() == bounce_rows[pip % BOUNCE_PERIOD]


def test_a_library_of_only_copies_is_the_built_in_catalogue(bounce_copy, builtins):
    assert motiloom.PatternLibrary([bounce_copy]).catalogue() == builtins


def test_negative_zero_matches_a_built_in_zero(bounce_rows, builtins):
    # Components beyond bounce's first are +0.0; -0.0 compares equal, so this is still a copy.
    assert all(y == 0.0 and z == 0.0 for _, y, z in bounce_rows)
    signed = [(x, -0.0, -0.0) for x, _, _ in bounce_rows]
    copy = motiloom.SampledPattern(BOUNCE, BOUNCE_DESCRIPTION, signed)
    assert motiloom.PatternLibrary([copy]).catalogue() == builtins


def test_two_copies_of_one_built_in_are_duplicates(bounce_copy):
    with raises_exactly(ValueError, duplicate(BOUNCE)):
        motiloom.PatternLibrary([bounce_copy, bounce_copy])


def test_a_duplicate_name_is_reported_before_an_override(bounce_copy):
    bad = motiloom.SampledPattern(BOUNCE, "different", [(0.0, 0.0, 0.0)])
    with raises_exactly(ValueError, duplicate(BOUNCE)):
        motiloom.PatternLibrary([bounce_copy, bad])


def _change(rows, pip, component, value):
    changed = [list(r) for r in rows]
    changed[pip][component] = value
    return changed


def _other_value(value):
    return 0.5 if value != 0.5 else 0.25


@pytest.mark.parametrize(
    ("description", "rows_of"),
    [
        ("", lambda r: r),
        ("One-beat vertical bounce.", lambda r: r),
        ("one-beat vertical bounce", lambda r: r),
        (" One-beat vertical bounce", lambda r: r),
        (BOUNCE_DESCRIPTION, lambda r: r[:-1]),
        (BOUNCE_DESCRIPTION, lambda r: r + r[:1]),
        (BOUNCE_DESCRIPTION, lambda r: r + r),
        (BOUNCE_DESCRIPTION, lambda r: r[:1]),
        (BOUNCE_DESCRIPTION, lambda r: _change(r, 0, 0, _other_value(r[0][0]))),
        (BOUNCE_DESCRIPTION, lambda r: _change(r, 31, 0, _other_value(r[31][0]))),
        (BOUNCE_DESCRIPTION, lambda r: _change(r, 63, 0, _other_value(r[63][0]))),
        (BOUNCE_DESCRIPTION, lambda r: _change(r, 10, 1, 0.25)),
        (BOUNCE_DESCRIPTION, lambda r: _change(r, 63, 2, -5e-324)),
        (BOUNCE_DESCRIPTION, lambda r: r[1:] + r[:1]),
    ],
    ids=[
        "empty-description",
        "trailing-dot",
        "lower-case",
        "leading-space",
        "one-short",
        "one-long",
        "two-loops",
        "one-sample",
        "pip-0",
        "pip-31",
        "pip-63",
        "y-at-10",
        "tiny-z-at-63",
        "rotated",
    ],
)
def test_anything_but_an_exact_copy_cannot_override(description, rows_of, bounce_rows):
    impostor = motiloom.SampledPattern(BOUNCE, description, rows_of(bounce_rows))
    with raises_exactly(ValueError, cannot_override(BOUNCE)):
        motiloom.PatternLibrary([pattern("fine"), impostor])


def test_nearest_different_value_cannot_override(bounce_rows):
    pip = next(p for p, (x, _, _) in enumerate(bounce_rows) if 0.0 < abs(x) < 1.0)
    x = bounce_rows[pip][0]
    changed = _change(bounce_rows, pip, 0, math.nextafter(x, 0.0))
    impostor = motiloom.SampledPattern(BOUNCE, BOUNCE_DESCRIPTION, changed)
    with raises_exactly(ValueError, cannot_override(BOUNCE)):
        motiloom.PatternLibrary([impostor])


@pytest.mark.parametrize("which", ["first", "second", "baked-first", "middle", "last"])
def test_every_built_in_name_is_protected(which, builtins):
    index = {
        "first": 0,
        "second": 1,
        "baked-first": 15,
        "middle": len(builtins) // 2,
        "last": len(builtins) - 1,
    }[which]
    entry = builtins[index]
    rows = builtin_rows(entry["name"], entry["period_pips"])
    exact = motiloom.SampledPattern(entry["name"], entry["description"], rows)
    assert motiloom.PatternLibrary([exact]).catalogue() == builtins
    altered = motiloom.SampledPattern(entry["name"], entry["description"] + "!", rows)
    with raises_exactly(ValueError, cannot_override(entry["name"])):
        motiloom.PatternLibrary([altered])


# --- text that is not UTF-8 -------------------------------------------------------------------


def test_listing_a_pattern_with_a_raw_byte_description_fails_to_decode():
    raw = motiloom.SampledPattern("raw", b"\xff\xfe", [(0.5, 0.0, 0.0)])
    library = motiloom.PatternLibrary([pattern("fine"), raw])
    with pytest.raises(UnicodeDecodeError):
        library.catalogue()
    with pytest.raises(UnicodeDecodeError):
        library.catalogue()
    assert library.sample("raw", 1).as_tuple() == (0.5, 0.0, 0.0)
    assert library.sample("fine", 1).as_tuple() == ramp(4)[1]


# --- host object rules ------------------------------------------------------------------------


def test_library_takes_no_new_attributes():
    library = motiloom.PatternLibrary()
    with pytest.raises(AttributeError):
        library.patterns = []
    with pytest.raises(AttributeError):
        library.catalogue = None


def test_subclass_that_skips_init_is_refused():
    class Skipping(motiloom.PatternLibrary):
        def __init__(self):
            pass

    with pytest.raises(TypeError, match=r"\.__init__\(\) must be called when overriding"):
        Skipping()
