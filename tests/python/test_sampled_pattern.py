"""SampledPattern: a caller-supplied loop of positions, validated once and sampled by pip."""

import gc
import math
import re
from decimal import Decimal
from fractions import Fraction

import motiloom
import pytest
from host_values import FloatOnly, IndexOnly, IntOnly

NAME_ERROR = "Invalid pattern name"
COUNT_ERROR = "A pattern requires 1..65535 samples (one per pip)"
VALUE_ERROR = "Pattern samples must be finite and within [-1, 1]"
MAX_SAMPLES = 65535
INT32_MIN = -(2**31)
INT32_MAX = 2**31 - 1
ABOVE_ONE = math.nextafter(1.0, 2.0)


def raises_exactly(kind, message):
    return pytest.raises(kind, match=f"^{re.escape(message)}\\Z")


def ramp(count):
    """Distinct, in-range rows so that a wrong index shows up as a wrong value."""
    return [(k / count, -k / count, (k % 7) / 8) for k in range(count)]


def dimensions_of(pattern):
    """The used-component count of a pattern, as listed by a library that holds it."""
    return motiloom.PatternLibrary([pattern]).catalogue()[-1]["dimensions"]


@pytest.fixture(scope="module")
def zero_rows_max():
    return [(0.0, 0.0, 0.0)] * MAX_SAMPLES


# --- names ------------------------------------------------------------------------------------


@pytest.mark.parametrize(
    "name",
    ["a", "z", "wave_1", "a_", "a0", "abcdefghijklmnopqrstuvwxyz_0123456789", "m" * 128],
)
def test_identifier_names_are_accepted(name):
    pattern = motiloom.SampledPattern(name, "", [[0.0, 0.0, 0.0]])
    assert pattern.name == name


@pytest.mark.parametrize(
    "name",
    [
        "",
        "m" * 129,
        "Wave",
        "waVe",
        "1wave",
        "_wave",
        "wave-1",
        "wave 1",
        " wave",
        "wave.1",
        "wave\n",
        "wa\x00ve",
        "café",
        "wave{",
        "wave`",
        "wave@",
        "wave:",
        "wave/",
    ],
)
def test_names_breaking_the_identifier_rule_are_refused(name):
    with raises_exactly(ValueError, NAME_ERROR):
        motiloom.SampledPattern(name, "", [[0.0, 0.0, 0.0]])


@pytest.mark.parametrize("name", [b"wave", bytearray(b"wave")])
def test_name_given_as_bytes_reads_back_as_text(name):
    assert motiloom.SampledPattern(name, "", [[0.0, 0.0, 0.0]]).name == "wave"


@pytest.mark.parametrize("name", [b"Wave", b"wave\xff", b""])
def test_byte_names_obey_the_identifier_rule_too(name):
    with raises_exactly(ValueError, NAME_ERROR):
        motiloom.SampledPattern(name, "", [[0.0, 0.0, 0.0]])


@pytest.mark.parametrize("name", [None, 5, 1.5, ["wave"], "wa\ud800ve"])
def test_non_text_names_are_a_type_error(name):
    with pytest.raises(TypeError):
        motiloom.SampledPattern(name, "", [[0.0, 0.0, 0.0]])


# --- sample count -----------------------------------------------------------------------------


@pytest.mark.parametrize("count", [1, 2, 64, 1000, MAX_SAMPLES])
def test_period_is_the_number_of_rows(count, zero_rows_max):
    rows = ramp(count) if count < MAX_SAMPLES else zero_rows_max
    assert motiloom.SampledPattern("p", "", rows).period_pips == count


def test_longest_pattern_samples_its_last_row(zero_rows_max):
    rows = list(zero_rows_max)
    rows[-1] = (0.5, 0.25, -0.125)
    pattern = motiloom.SampledPattern("longest", "", rows)
    assert pattern.sample(-1).as_tuple() == (0.5, 0.25, -0.125)
    assert pattern.sample(MAX_SAMPLES - 1).as_tuple() == (0.5, 0.25, -0.125)
    assert pattern.sample(MAX_SAMPLES).as_tuple() == (0.0, 0.0, 0.0)


@pytest.mark.parametrize("extra", [1, 2])
def test_more_than_65535_rows_are_refused(extra, zero_rows_max):
    with raises_exactly(ValueError, COUNT_ERROR):
        motiloom.SampledPattern("p", "", zero_rows_max + [(0.0, 0.0, 0.0)] * extra)


@pytest.mark.parametrize("empty", [[], ()])
def test_no_rows_are_refused(empty):
    with raises_exactly(ValueError, COUNT_ERROR):
        motiloom.SampledPattern("p", "", empty)


# --- values -----------------------------------------------------------------------------------


@pytest.mark.parametrize("value", [1.0, -1.0, 0.0, -0.0, 5e-324, -5e-324, 0.999999999999])
@pytest.mark.parametrize("component", [0, 1, 2])
def test_values_within_the_closed_unit_range_are_accepted(value, component):
    row = [0.0, 0.0, 0.0]
    row[component] = value
    got = motiloom.SampledPattern("p", "", [[0.0, 0.0, 0.0], row]).sample(1).as_tuple()
    assert got[component] == value
    assert math.copysign(1.0, got[component]) == math.copysign(1.0, value)


@pytest.mark.parametrize(
    "value",
    [ABOVE_ONE, -ABOVE_ONE, 2.0, -2.0, 1e308, math.inf, -math.inf, math.nan, -math.nan],
)
@pytest.mark.parametrize("component", [0, 1, 2])
@pytest.mark.parametrize("where", [0, 5, 9])
def test_values_outside_the_unit_range_are_refused(value, component, where):
    rows = [list(r) for r in ramp(10)]
    rows[where][component] = value
    with raises_exactly(ValueError, VALUE_ERROR):
        motiloom.SampledPattern("p", "", rows)


def test_huge_integer_component_is_refused_by_range():
    with raises_exactly(ValueError, VALUE_ERROR):
        motiloom.SampledPattern("p", "", [[2**70, 0, 0]])


# --- precedence of faults ---------------------------------------------------------------------


@pytest.mark.parametrize(
    ("name", "rows", "message"),
    [
        ("Bad", [], NAME_ERROR),
        ("", [[math.nan, 0.0, 0.0]], NAME_ERROR),
        ("1x", [[2.0, 2.0, 2.0]], NAME_ERROR),
        ("ok", [], COUNT_ERROR),
        ("ok", [[math.nan, 0.0, 0.0]] * (MAX_SAMPLES + 1), COUNT_ERROR),
        ("ok", [[0.0, 0.0, 0.0], [0.0, 0.0, math.inf]], VALUE_ERROR),
    ],
)
def test_first_broken_rule_decides_the_message(name, rows, message):
    with raises_exactly(ValueError, message):
        motiloom.SampledPattern(name, "", rows)


# --- host conversion of rows ------------------------------------------------------------------


@pytest.mark.parametrize(
    "rows",
    [
        [(0.5, -0.25, 0.125), (1.0, 0.0, -1.0)],
        ((0.5, -0.25, 0.125), [1.0, 0.0, -1.0]),
        [[0.5, -0.25, 0.125], (1, 0, -1)],
        (r for r in [[0.5, -0.25, 0.125], [1, 0, -1]]),
    ],
    ids=["tuples", "tuple-of-mixed", "ints", "generator"],
)
def test_rows_as_any_sequence_of_three_numbers(rows):
    pattern = motiloom.SampledPattern("p", "", rows)
    assert pattern.period_pips == 2
    assert pattern.sample(0).as_tuple() == (0.5, -0.25, 0.125)
    second = pattern.sample(1).as_tuple()
    assert second == (1.0, 0.0, -1.0)
    assert all(type(v) is float for v in second)


@pytest.mark.parametrize(
    ("component", "expected"),
    [
        (True, 1.0),
        (False, 0.0),
        (Fraction(1, 4), 0.25),
        (Decimal("-0.5"), -0.5),
        (FloatOnly(0.75), 0.75),
        (IndexOnly(-1), -1.0),
    ],
)
def test_number_objects_convert_to_floats(component, expected):
    pattern = motiloom.SampledPattern("p", "", [[0.0, component, 0.0]])
    assert pattern.sample(0).y == expected


@pytest.mark.parametrize(
    "rows",
    [
        [[0.0, 0.0]],
        [[0.0, 0.0, 0.0, 0.0]],
        [[]],
        [[0.0]],
        [[0.0, 0.0, 0.0], [0.0, 0.0]],
        [[0.0, 0.0, 0.0], [0.0, 0.0, 0.0, 0.0]],
        [[0.0, 0.0, "0.5"]],
        [[0.0, None, 0.0]],
        [[0.0, [0.0], 0.0]],
        [[0.0, 0.0, 2**1100]],
        ["abc"],
        [b"abc"],
        [0.0, 0.0, 0.0],
        [None],
        "abc",
        None,
        0.5,
        {"a": 1},
    ],
)
def test_rows_that_are_not_three_numbers_are_a_type_error(rows):
    with pytest.raises(TypeError):
        motiloom.SampledPattern("p", "", rows)


def test_row_shape_is_refused_before_the_name_is_checked():
    with pytest.raises(TypeError):
        motiloom.SampledPattern("Bad Name", "", [[0.0, 0.0]])


def test_the_pattern_keeps_its_own_copy_of_the_rows():
    rows = [[0.5, 0.5, 0.5], [0.25, 0.25, 0.25]]
    pattern = motiloom.SampledPattern("p", "", rows)
    rows[0][0] = -1.0
    rows.append([0.0, 0.0, 0.0])
    assert pattern.period_pips == 2
    assert pattern.sample(0).as_tuple() == (0.5, 0.5, 0.5)


@pytest.mark.parametrize("keywords", [True, False])
def test_arguments_by_keyword_or_position(keywords):
    args = ("wave", "desc", [[0.1, 0.2, 0.3]])
    if keywords:
        pattern = motiloom.SampledPattern(name=args[0], description=args[1], samples=args[2])
    else:
        pattern = motiloom.SampledPattern(*args)
    assert (pattern.name, pattern.description, pattern.period_pips) == ("wave", "desc", 1)
    assert pattern.sample(5).as_tuple() == (0.1, 0.2, 0.3)


@pytest.mark.parametrize(
    "call",
    [
        lambda: motiloom.SampledPattern("p", ""),
        lambda: motiloom.SampledPattern("p", "", [[0.0, 0.0, 0.0]], 1),
        lambda: motiloom.SampledPattern("p", "", rows=[[0.0, 0.0, 0.0]]),
        lambda: motiloom.SampledPattern(),
    ],
)
def test_wrong_argument_lists_are_a_type_error(call):
    with pytest.raises(TypeError):
        call()


# --- description ------------------------------------------------------------------------------


@pytest.mark.parametrize(
    ("given", "read"),
    [
        ("", ""),
        ("One loop", "One loop"),
        ("naïve ☃ — ok", "naïve ☃ — ok"),
        ("two\nlines\x00and a nul", "two\nlines\x00and a nul"),
        ("x" * 10_000, "x" * 10_000),
        (b"caf\xc3\xa9", "café"),
        (bytearray(b"raw"), "raw"),
    ],
)
def test_description_is_kept_unchanged(given, read):
    assert motiloom.SampledPattern("p", given, [[0.0, 0.0, 0.0]]).description == read


@pytest.mark.parametrize("raw", [b"\xff", b"ok\xc3", b"\xed\xa0\x80", b"a\x80b"])
def test_description_that_is_not_utf8_fails_only_when_read(raw):
    pattern = motiloom.SampledPattern("p", raw, [[0.25, 0.0, 0.0]])
    with pytest.raises(UnicodeDecodeError):
        _ = pattern.description
    # The object is unchanged by the failed read.
    with pytest.raises(UnicodeDecodeError):
        _ = pattern.description
    assert pattern.name == "p"
    assert pattern.sample(3).as_tuple() == (0.25, 0.0, 0.0)


@pytest.mark.parametrize("description", [None, 3, ["text"]])
def test_non_text_description_is_a_type_error(description):
    with pytest.raises(TypeError):
        motiloom.SampledPattern("p", description, [[0.0, 0.0, 0.0]])


# --- sampling ---------------------------------------------------------------------------------

PIPS = [
    0,
    1,
    2,
    3,
    4,
    5,
    -1,
    -2,
    -4,
    -5,
    63,
    64,
    65,
    1000,
    -1000,
    INT32_MIN,
    INT32_MAX,
    INT32_MIN + 1,
    INT32_MAX - 1,
]


@pytest.mark.parametrize("period", [1, 2, 3, 4, 7, 64, 160, 1000])
def test_sampling_wraps_the_pip_into_the_period(period):
    rows = ramp(period)
    pattern = motiloom.SampledPattern("p", "", rows)
    for pip in PIPS:
        # Python's % with a positive divisor is the Euclidean remainder.
        assert pattern.sample(pip).as_tuple() == rows[pip % period], pip


def test_four_entry_loop_at_the_edges():
    rows = ramp(4)
    pattern = motiloom.SampledPattern("p", "", rows)
    assert pattern.sample(-1).as_tuple() == rows[3]
    assert pattern.sample(4).as_tuple() == rows[0]
    assert pattern.sample(-5).as_tuple() == rows[3]
    assert pattern.sample(INT32_MIN).as_tuple() == rows[0]


@pytest.mark.parametrize("pip", [True, False, IndexOnly(3), IndexOnly(-1)])
def test_ints_bools_and_index_objects_are_pips(pip):
    rows = ramp(5)
    pattern = motiloom.SampledPattern("p", "", rows)
    assert pattern.sample(pip).as_tuple() == rows[int(pip.__index__()) % 5]


@pytest.mark.parametrize(
    "pip",
    [
        2.0,
        0.0,
        -1.0,
        math.nan,
        2**31,
        -(2**31) - 1,
        2**64,
        IntOnly(),
        Fraction(1),
        Decimal(1),
        "1",
        None,
        [1],
    ],
)
def test_sample_refuses_anything_but_a_32_bit_integer(pip):
    pattern = motiloom.SampledPattern("p", "", ramp(4))
    with pytest.raises(TypeError):
        pattern.sample(pip)


def test_pip_is_passed_by_keyword_as_pip_count():
    rows = ramp(4)
    pattern = motiloom.SampledPattern("p", "", rows)
    assert pattern.sample(pip_count=3).as_tuple() == rows[3]
    with pytest.raises(TypeError):
        pattern.sample(pip=3)
    with pytest.raises(TypeError):
        pattern.sample()


def test_every_sample_is_a_new_offset():
    pattern = motiloom.SampledPattern("p", "", [[0.5, 0.5, 0.5]])
    first, second = pattern.sample(0), pattern.sample(0)
    assert first is not second
    assert first.as_tuple() == second.as_tuple()


# --- used components --------------------------------------------------------------------------


@pytest.mark.parametrize(
    ("rows", "dimensions"),
    [
        ([(0.5, 0.0, 0.0)], 1),
        ([(1.0, 0.0, 0.0), (-1.0, 0.0, 0.0)], 1),
        ([(0.0, 0.0, 0.0)], 1),
        ([(0.0, -0.0, 0.0)], 1),
        ([(0.0, -0.0, -0.0), (0.3, 0.0, 0.0)], 1),
        ([(0.0, 0.1, 0.0)], 2),
        ([(0.0, 0.0, 0.0), (0.0, 0.0, 0.0), (0.0, -5e-324, 0.0)], 2),
        ([(0.0, 0.0, 0.0), (0.0, 0.0, 0.2)], 3),
        ([(0.0, 0.0, 0.2), (0.0, 0.0, 0.0)], 3),
        ([(0.0, 0.0, 0.2), (0.0, 0.3, 0.0)], 3),
        ([(0.0, 0.3, 0.0), (0.0, 0.0, 0.0), (0.0, 0.0, -1.0)], 3),
    ],
)
def test_used_components_follow_the_last_nonzero_axis(rows, dimensions):
    assert dimensions_of(motiloom.SampledPattern("p", "", rows)) == dimensions


# --- host object rules ------------------------------------------------------------------------


@pytest.mark.parametrize("attribute", ["name", "description", "period_pips"])
def test_properties_are_read_only(attribute):
    pattern = motiloom.SampledPattern("p", "d", [[0.0, 0.0, 0.0]])
    before = getattr(pattern, attribute)
    with pytest.raises(AttributeError):
        setattr(pattern, attribute, before)
    with pytest.raises(AttributeError):
        delattr(pattern, attribute)
    assert getattr(pattern, attribute) == before


def test_instances_take_no_new_attributes():
    pattern = motiloom.SampledPattern("p", "", [[0.0, 0.0, 0.0]])
    with pytest.raises(AttributeError):
        pattern.extra = 1


def test_subclass_that_skips_init_is_refused():
    class Skipping(motiloom.SampledPattern):
        def __init__(self):
            pass

    # The binding library names the bound class in this message, not the subclass.
    with pytest.raises(TypeError, match=r"\.__init__\(\) must be called when overriding __init__"):
        Skipping()


def test_subclass_that_calls_init_works():
    class Named(motiloom.SampledPattern):
        def __init__(self, rows):
            super().__init__("named", "sub", rows)

    pattern = Named([[0.5, 0.0, 0.0], [0.0, 0.5, 0.0]])
    assert (pattern.name, pattern.period_pips) == ("named", 2)
    assert pattern.sample(-1).as_tuple() == (0.0, 0.5, 0.0)


def test_many_failed_constructions_leave_the_interpreter_sound():
    for _ in range(200):
        with pytest.raises(ValueError):
            motiloom.SampledPattern("p", "", [[0.0, 0.0, 0.0]] * 10 + [[2.0, 0.0, 0.0]])
    gc.collect()
    assert motiloom.SampledPattern("p", "", [[0.5, 0.0, 0.0]]).sample(0).x == 0.5
