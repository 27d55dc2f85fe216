"""SampledRecording: a finite, non-looping multi-axis recording starting at a given pip."""

import gc
import math
import re
from fractions import Fraction

import motiloom
import pytest
from host_values import IndexOnly, IntOnly

IDENTIFIER = "Invalid identifier"
CLOCK = "A finite positive BPM and beat origin are required"
SIZE = "Empty recording or recording resource limit exceeded"
DUPLICATE_AXIS = "Duplicate axis"
RAGGED = "Ragged recording"
BAD_SAMPLE = "Invalid sample"
OUTSIDE = "Pip outside non-looping recording"
MAX_VALUES = 2**23
INT32_MIN = -(2**31)
INT32_MAX = 2**31 - 1
ABOVE_ONE = math.nextafter(1.0, 2.0)


def raises_exactly(kind, message):
    return pytest.raises(kind, match=f"^{re.escape(message)}\\Z")


def rows_of(count, axes):
    """Distinct in-range values, so that a wrong row or axis shows up as a wrong value."""
    return [[(r * axes + a) / (count * axes) for a in range(axes)] for r in range(count)]


def axes_of(count):
    return [f"a{i}" for i in range(count)]


def recording(rows=None, axes=2, **kwargs):
    if rows is None:
        rows = rows_of(3, axes)
    kwargs.setdefault("bpm", 120.0)
    return motiloom.SampledRecording("take", axes_of(axes), rows, **kwargs)


# --- a small take -----------------------------------------------------------------------------


def test_two_axis_take_with_defaults():
    take = motiloom.SampledRecording("take", ["x", "y"], [[0.0, 0.5], [0.25, -0.5]], 120.0)
    assert take.name == "take"
    assert take.dimensions == ["x", "y"]
    assert take.sample_count == 2
    assert take.bpm == 120.0
    assert take.beat_zero_seconds == 0.0
    assert type(take.beat_zero_seconds) is float
    assert take.start_pip == 0
    assert take.sample(0) == [0.0, 0.5]
    assert take.sample(1) == [0.25, -0.5]
    for pip in (2, -1):
        with raises_exactly(IndexError, OUTSIDE):
            take.sample(pip)
    with pytest.raises(TypeError):
        take.sample(1.0)


def test_every_argument_by_keyword():
    take = motiloom.SampledRecording(
        name="take",
        dimensions=("x",),
        samples=((0.5,),),
        bpm=90,
        beat_zero_seconds=-2,
        start_pip=7,
    )
    assert (take.bpm, take.beat_zero_seconds, take.start_pip) == (90.0, -2.0, 7)
    assert type(take.bpm) is float
    assert take.sample(pip=7) == [0.5]


# --- sampling ---------------------------------------------------------------------------------


@pytest.mark.parametrize("start", [0, -10, 5, INT32_MIN, INT32_MAX - 3, -1])
@pytest.mark.parametrize("axes", [1, 3])
def test_rows_follow_each_other_from_the_start_pip(start, axes):
    rows = rows_of(3, axes)
    take = recording(rows, axes, start_pip=start)
    for k in range(3):
        got = take.sample(start + k)
        assert got == rows[k]
        assert all(type(v) is float for v in got)
    for pip in (start - 1, start + 3):
        if INT32_MIN <= pip <= INT32_MAX:
            with raises_exactly(IndexError, OUTSIDE):
                take.sample(pip)


@pytest.mark.parametrize(
    ("start", "pip"),
    [
        (INT32_MIN, INT32_MAX),
        (INT32_MIN, 0),
        (INT32_MIN, -1),
        (0, INT32_MIN),
        (0, INT32_MAX),
        (INT32_MAX - 3, INT32_MAX),
        (INT32_MAX - 3, INT32_MIN),
        (-10, -11),
        (-10, -7),
    ],
)
def test_pips_outside_the_rows_are_an_index_error(start, pip):
    take = recording(rows_of(3, 2), 2, start_pip=start)
    with raises_exactly(IndexError, OUTSIDE):
        take.sample(pip)


def test_one_axis_one_row():
    take = motiloom.SampledRecording("solo", ["v"], [[-1.0]], 60.0, start_pip=-4)
    assert take.sample_count == 1
    assert take.sample(-4) == [-1.0]


def test_each_sample_is_a_new_list():
    take = recording()
    first = take.sample(0)
    first[0] = 99.0
    first.append(1.0)
    assert take.sample(0) == rows_of(3, 2)[0]


def test_the_recording_keeps_its_own_copy_of_the_input():
    rows = rows_of(3, 2)
    axes = ["x", "y"]
    take = motiloom.SampledRecording("take", axes, rows, 120.0)
    rows[0][0] = 1.0
    rows.append([0.0, 0.0])
    axes.reverse()
    assert take.sample(0) == rows_of(3, 2)[0]
    assert take.sample_count == 3
    assert take.dimensions == ["x", "y"]
    listed = take.dimensions
    listed.append("z")
    assert take.dimensions == ["x", "y"]


@pytest.mark.parametrize("pip", [True, IndexOnly(1)])
def test_bools_and_index_objects_are_pips(pip):
    assert recording().sample(pip) == rows_of(3, 2)[1]


@pytest.mark.parametrize(
    "pip", [1.0, 0.0, math.nan, 2**31, -(2**31) - 1, IntOnly(), Fraction(1), "1", None]
)
def test_sample_refuses_anything_but_a_32_bit_integer(pip):
    with pytest.raises(TypeError):
        recording().sample(pip)


def test_sample_takes_its_pip_as_pip():
    with pytest.raises(TypeError):
        recording().sample(pip_count=0)


# --- identifiers ------------------------------------------------------------------------------

BAD_IDENTIFIERS = [
    "",
    "m" * 129,
    "Take",
    "tAke",
    "1take",
    "_take",
    "take-1",
    "take 1",
    "take.1",
    "tåke",
    "take\n",
    "take{",
]
GOOD_IDENTIFIERS = ["a", "take_2", "m" * 128, "z0_"]


@pytest.mark.parametrize("name", GOOD_IDENTIFIERS)
def test_identifier_names_are_accepted(name):
    take = motiloom.SampledRecording(name, [name], [[0.0]], 120.0)
    assert take.name == name
    assert take.dimensions == [name]


@pytest.mark.parametrize("name", BAD_IDENTIFIERS + [b"Take", b"t\xffake"])
def test_recording_names_breaking_the_identifier_rule_are_refused(name):
    with raises_exactly(ValueError, IDENTIFIER):
        motiloom.SampledRecording(name, ["x"], [[0.0]], 120.0)


@pytest.mark.parametrize("axis", BAD_IDENTIFIERS)
@pytest.mark.parametrize("position", [0, 1, 2])
def test_axis_names_breaking_the_identifier_rule_are_refused(axis, position):
    axes = ["x", "y", "z"]
    axes[position] = axis
    with raises_exactly(ValueError, IDENTIFIER):
        motiloom.SampledRecording("take", axes, [[0.0, 0.0, 0.0]], 120.0)


@pytest.mark.parametrize(
    "axes", [["x", "x"], ["x", "y", "x"], ["x", "y", "y"], ["a" * 128, "a" * 128]]
)
def test_repeated_axis_names_are_refused(axes):
    with raises_exactly(ValueError, DUPLICATE_AXIS):
        motiloom.SampledRecording("take", axes, [[0.0] * len(axes)], 120.0)


def test_names_may_be_given_as_bytes():
    take = motiloom.SampledRecording(b"take", [b"x", bytearray(b"y")], [[0.0, 0.0]], 120.0)
    assert take.name == "take"
    assert take.dimensions == ["x", "y"]


def test_axes_keep_the_given_order():
    axes = ["zeta", "alpha", "mid", "b2"]
    assert motiloom.SampledRecording("take", axes, [[0.0] * 4], 120.0).dimensions == axes


# --- tempo and beat origin --------------------------------------------------------------------


@pytest.mark.parametrize(
    ("bpm", "origin"),
    [
        (120.0, 0.0),
        (1e-300, 0.0),
        (1e308, 0.0),
        (1.7976931348623157e308, 0.0),
        (0.5, -3.5),
        (240, -1e300),
        (60.0, 1e300),
        (True, 0.0),
    ],
)
def test_finite_clocks_are_accepted(bpm, origin):
    take = motiloom.SampledRecording("take", ["x"], [[0.0]], bpm, origin)
    assert take.bpm == float(bpm)
    assert take.beat_zero_seconds == origin


@pytest.mark.parametrize(
    ("bpm", "origin"),
    [
        (0.0, 0.0),
        (-0.0, 0.0),
        (-120.0, 0.0),
        (-5e-324, 0.0),
        (math.inf, 0.0),
        (-math.inf, 0.0),
        (math.nan, 0.0),
        (5e-324, 0.0),
        (1e-310, 0.0),
        (120.0, math.nan),
        (120.0, math.inf),
        (120.0, -math.inf),
        (0, 0.0),
    ],
)
def test_clocks_that_are_not_finite_and_positive_are_refused(bpm, origin):
    with raises_exactly(ValueError, CLOCK):
        motiloom.SampledRecording("take", ["x"], [[0.0]], bpm, origin)


@pytest.mark.parametrize("bpm", ["120", None, [120.0], 10**400])
def test_non_numeric_bpm_is_a_type_error(bpm):
    with pytest.raises(TypeError):
        motiloom.SampledRecording("take", ["x"], [[0.0]], bpm)


# --- sizes ------------------------------------------------------------------------------------


@pytest.mark.parametrize(
    ("axes", "rows"),
    [([], [[0.0]]), ([], []), (["x"], []), (["x", "y"], [])],
)
def test_empty_recordings_are_refused(axes, rows):
    with raises_exactly(ValueError, SIZE):
        motiloom.SampledRecording("take", axes, rows, 120.0)


@pytest.mark.parametrize(
    ("start", "rows", "accepted"),
    [
        (INT32_MAX - 1, 1, True),
        (INT32_MAX - 1, 2, False),
        (INT32_MAX, 1, False),
        (INT32_MAX - 10, 10, True),
        (INT32_MAX - 10, 11, False),
        (INT32_MIN, 5, True),
    ],
)
def test_the_pip_after_the_last_row_must_fit_32_bits(start, rows, accepted):
    args = ("take", ["x"], rows_of(rows, 1), 120.0, 0.0, start)
    if accepted:
        take = motiloom.SampledRecording(*args)
        assert take.sample(start + rows - 1) == rows_of(rows, 1)[-1]
    else:
        with raises_exactly(ValueError, SIZE):
            motiloom.SampledRecording(*args)


@pytest.mark.parametrize("start", [2**31, -(2**31) - 1, 1.0, "0", None])
def test_start_pip_outside_32_bits_or_not_an_integer_is_a_type_error(start):
    with pytest.raises(TypeError):
        motiloom.SampledRecording("take", ["x"], [[0.0]], 120.0, 0.0, start)


def test_start_pip_accepts_integer_like_objects():
    take = motiloom.SampledRecording("take", ["x"], [[0.0]], 120.0, 0.0, IntOnly())
    assert take.start_pip == 1


# 128 axes x 65,536 rows is the value limit exactly; rows share one list to keep memory low.
WIDE_AXES = 128
WIDE_ROWS = MAX_VALUES // WIDE_AXES


@pytest.fixture(scope="module")
def wide_axes():
    return axes_of(WIDE_AXES)


@pytest.fixture(scope="module")
def wide_row():
    return [0.5] * WIDE_AXES


def test_8388608_values_are_accepted(wide_axes, wide_row):
    rows = [wide_row] * WIDE_ROWS
    rows[-1] = [-1.0] * WIDE_AXES
    take = motiloom.SampledRecording("wide", wide_axes, rows, 120.0)
    assert take.sample_count == WIDE_ROWS
    assert take.sample(WIDE_ROWS - 1) == [-1.0] * WIDE_AXES
    assert take.sample(0) == wide_row
    del take
    gc.collect()


def test_one_row_more_is_refused(wide_axes, wide_row):
    with raises_exactly(ValueError, SIZE):
        motiloom.SampledRecording("wide", wide_axes, [wide_row] * (WIDE_ROWS + 1), 120.0)


@pytest.mark.parametrize(("axes", "rows"), [(4, 2**21), (2**12, 2**11)])
def test_other_shapes_at_the_value_limit(axes, rows):
    row = [0.0] * axes
    names = axes_of(axes)
    take = motiloom.SampledRecording("shape", names, [row] * rows, 120.0)
    assert take.sample_count == rows
    del take
    with raises_exactly(ValueError, SIZE):
        motiloom.SampledRecording("shape", names, [row] * (rows + 1), 120.0)


def test_the_size_is_checked_before_the_rows_are_read(wide_axes):
    # Ragged and out-of-range rows beyond the limit are never looked at.
    rows = [[2.0]] * (WIDE_ROWS + 1)
    with raises_exactly(ValueError, SIZE):
        motiloom.SampledRecording("wide", wide_axes, rows, 120.0)


# --- rows -------------------------------------------------------------------------------------


@pytest.mark.parametrize("value", [1.0, -1.0, 0.0, -0.0, 5e-324, 1, -1, True])
def test_values_within_the_closed_unit_range_are_accepted(value):
    take = motiloom.SampledRecording("take", ["x", "y"], [[0.0, 0.0], [0.0, value]], 120.0)
    got = take.sample(1)[1]
    assert got == value
    assert type(got) is float
    assert math.copysign(1.0, got) == math.copysign(1.0, value)


@pytest.mark.parametrize(
    "value", [ABOVE_ONE, -ABOVE_ONE, 1.5, -2, math.inf, -math.inf, math.nan, 2**70]
)
@pytest.mark.parametrize(("row", "axis"), [(0, 0), (1, 1), (2, 0)])
def test_values_outside_the_unit_range_are_refused(value, row, axis):
    rows = rows_of(3, 2)
    rows[row][axis] = value
    with raises_exactly(ValueError, BAD_SAMPLE):
        motiloom.SampledRecording("take", ["x", "y"], rows, 120.0)


@pytest.mark.parametrize(
    "rows",
    [
        [[0.0, 0.0], [0.0]],
        [[0.0, 0.0], [0.0, 0.0, 0.0]],
        [[0.0], [0.0, 0.0]],
        [[0.0, 0.0], []],
        [[0.0, 0.0, 0.0]],
    ],
)
def test_rows_of_the_wrong_length_are_refused(rows):
    with raises_exactly(ValueError, RAGGED):
        motiloom.SampledRecording("take", ["x", "y"], rows, 120.0)


@pytest.mark.parametrize(
    ("rows", "message"),
    [
        ([[math.nan, 0.0], [0.0]], BAD_SAMPLE),
        ([[0.0, 0.0], [0.0, 2.0], [0.0]], BAD_SAMPLE),
        ([[0.0], [math.nan, 0.0]], RAGGED),
        ([[0.0, 0.0], [0.0, 0.0, math.nan]], RAGGED),
        ([[0.0, 0.0], [math.inf]], RAGGED),
    ],
)
def test_rows_are_examined_one_at_a_time(rows, message):
    with raises_exactly(ValueError, message):
        motiloom.SampledRecording("take", ["x", "y"], rows, 120.0)


# --- precedence of faults ---------------------------------------------------------------------


@pytest.mark.parametrize(
    ("name", "axes", "rows", "bpm", "start", "message"),
    [
        ("Take", [], [], math.nan, 0, IDENTIFIER),
        ("Take", ["x"], [[0.0]], 0.0, 0, IDENTIFIER),
        ("", ["X", "X"], [[2.0]], -1.0, INT32_MAX, IDENTIFIER),
        ("take", [], [[0.0]], 0.0, 0, CLOCK),
        ("take", ["X"], [[2.0, 0.0]], math.inf, 0, CLOCK),
        ("take", [], [], 120.0, 0, SIZE),
        ("take", ["X"], [], 120.0, 0, SIZE),
        ("take", ["x", "x"], [[0.0, 0.0]] * 2, 120.0, INT32_MAX - 1, SIZE),
        ("take", ["X", "x", "x"], [[2.0]], 120.0, 0, IDENTIFIER),
        ("take", ["x", "x", "Y"], [[2.0]], 120.0, 0, DUPLICATE_AXIS),
        ("take", ["x", "Y", "x"], [[2.0]], 120.0, 0, IDENTIFIER),
        ("take", ["x", "x"], [[2.0]], 120.0, 0, DUPLICATE_AXIS),
        ("take", ["x", "y"], [[2.0]], 120.0, 0, RAGGED),
        ("take", ["x", "y"], [[2.0, 0.0], [0.0]], 120.0, 0, BAD_SAMPLE),
    ],
)
def test_first_broken_rule_decides_the_message(name, axes, rows, bpm, start, message):
    with raises_exactly(ValueError, message):
        motiloom.SampledRecording(name, axes, rows, bpm, 0.0, start)


def test_a_bad_origin_wins_over_a_size_fault():
    with raises_exactly(ValueError, CLOCK):
        motiloom.SampledRecording("take", [], [], 120.0, math.nan)


# --- host conversion --------------------------------------------------------------------------


@pytest.mark.parametrize(
    "call",
    [
        lambda: motiloom.SampledRecording("take", "xy", [[0.0, 0.0]], 120.0),
        lambda: motiloom.SampledRecording("take", "x", [[0.0]], 120.0),
        lambda: motiloom.SampledRecording("take", b"xy", [[0.0, 0.0]], 120.0),
        lambda: motiloom.SampledRecording("take", ["x", 1], [[0.0, 0.0]], 120.0),
        lambda: motiloom.SampledRecording("take", ["x", None], [[0.0, 0.0]], 120.0),
        lambda: motiloom.SampledRecording("take", None, [[0.0]], 120.0),
        lambda: motiloom.SampledRecording(None, ["x"], [[0.0]], 120.0),
        lambda: motiloom.SampledRecording(3, ["x"], [[0.0]], 120.0),
        lambda: motiloom.SampledRecording("ta\ud800ke", ["x"], [[0.0]], 120.0),
        lambda: motiloom.SampledRecording("take", ["x"], [0.0], 120.0),
        lambda: motiloom.SampledRecording("take", ["x"], ["0"], 120.0),
        lambda: motiloom.SampledRecording("take", ["x"], [["0.0"]], 120.0),
        lambda: motiloom.SampledRecording("take", ["x"], [[[0.0]]], 120.0),
        lambda: motiloom.SampledRecording("take", ["x"], [[None]], 120.0),
        lambda: motiloom.SampledRecording("take", ["x"], None, 120.0),
        lambda: motiloom.SampledRecording("take", ["x"], [[0.0]]),
        lambda: motiloom.SampledRecording("take", ["x"], [[0.0]], 120.0, "0"),
        lambda: motiloom.SampledRecording("take", ["x"], [[0.0]], 120.0, 0.0, 0, 1),
        lambda: motiloom.SampledRecording("take", ["x"], [[0.0]], 120.0, pip=0),
    ],
)
def test_refused_arguments_are_a_type_error(call):
    with pytest.raises(TypeError):
        call()


def test_rows_may_be_tuples_generators_or_ints():
    take = motiloom.SampledRecording(
        "take", ("x", "y"), ((1, 0), (v for v in (0.5, -1)), [True, -0.25]), 120.0
    )
    assert take.sample(0) == [1.0, 0.0]
    assert take.sample(1) == [0.5, -1.0]
    assert take.sample(2) == [1.0, -0.25]


# --- host object rules ------------------------------------------------------------------------


@pytest.mark.parametrize(
    "attribute", ["name", "dimensions", "sample_count", "bpm", "beat_zero_seconds", "start_pip"]
)
def test_properties_are_read_only(attribute):
    take = recording()
    before = getattr(take, attribute)
    with pytest.raises(AttributeError):
        setattr(take, attribute, before)
    with pytest.raises(AttributeError):
        delattr(take, attribute)
    assert getattr(take, attribute) == before


def test_instances_take_no_new_attributes():
    with pytest.raises(AttributeError):
        recording().extra = 1


def test_subclass_that_skips_init_is_refused():
    class Skipping(motiloom.SampledRecording):
        def __init__(self):
            pass

    with pytest.raises(TypeError, match=r"\.__init__\(\) must be called when overriding"):
        Skipping()
