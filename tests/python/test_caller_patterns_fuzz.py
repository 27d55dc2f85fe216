"""Random input for the three caller-pattern classes.

Each test draws arguments of every kind (good, bad and of the wrong type), works out from the
classes' rules what must happen, and checks that the call does exactly that: it succeeds with the
expected result, or raises the expected exception with the expected message.
"""

import math
import re

import motiloom
import pytest
from hypothesis import HealthCheck, event, given, settings
from hypothesis import strategies as st

INT32_MIN = -(2**31)
INT32_MAX = 2**31 - 1
IDENTIFIER = re.compile(rb"[a-z][a-z0-9_]{0,127}")

FUZZ = settings(
    max_examples=150,
    deadline=None,
    suppress_health_check=[HealthCheck.too_slow, HealthCheck.data_too_large],
)


class Refused(Exception):
    """The host conversion refuses the argument: the call must raise TypeError."""


def as_bytes(value):
    """The bytes an owned-string argument holds, or Refused."""
    if isinstance(value, str):
        try:
            return value.encode("utf-8")
        except UnicodeEncodeError as error:
            raise Refused from error
    if isinstance(value, (bytes, bytearray)):
        return bytes(value)
    raise Refused


def as_double(value):
    if isinstance(value, float):
        return value
    if isinstance(value, int):  # bool included
        try:
            return float(value)
        except OverflowError as error:
            raise Refused from error
    raise Refused


def as_sequence(value):
    if isinstance(value, (list, tuple)):
        return list(value)
    raise Refused


def is_identifier(raw):
    return IDENTIFIER.fullmatch(raw) is not None


def in_unit_range(v):
    return math.isfinite(v) and -1.0 <= v <= 1.0


def is_pip(value):
    return isinstance(value, int) and INT32_MIN <= value <= INT32_MAX


def outcome(call):
    """('ok', result) or (exception type, message)."""
    try:
        return ("ok", call())
    except (TypeError, ValueError, IndexError, UnicodeDecodeError) as error:
        return (type(error), str(error))


# --- strategies -------------------------------------------------------------------------------


def mostly(good, bad):
    """Draws from good about three times in four, so that most calls get past the type checks.
    (one_of would treat a strategy listed twice as one branch.)"""
    return st.sampled_from([False, False, False, True]).flatmap(lambda odd: bad if odd else good)


identifier_like = st.from_regex(r"[a-z][a-z0-9_]{0,8}", fullmatch=True)
# Text and bytes that break the identifier rule: refused by the native check, not by conversion.
bad_identifiers = st.one_of(
    st.sampled_from(["", "A", "aB", "_a", "1a", "a-b", "a b", "é", "m" * 129, b"", b"A", b"\xff"]),
    st.text(max_size=10),
    st.binary(max_size=6),
)
# Arguments that are not text at all, or text that cannot be encoded as UTF-8.
non_text = st.sampled_from([None, 0, 1.5, ["a"], "a\ud800"])
names = mostly(
    st.one_of(identifier_like, identifier_like.map(str.encode), st.just("m" * 128)),
    mostly(bad_identifiers, non_text),
)
descriptions = mostly(st.text(max_size=8), mostly(st.binary(max_size=6), non_text))
unit_floats = st.one_of(st.floats(-1.0, 1.0), st.sampled_from([1.0, -1.0, 0.0, -0.0, 5e-324]))
unit_numbers = mostly(unit_floats, st.one_of(st.integers(-1, 1), st.booleans()))
out_of_range = st.one_of(
    st.sampled_from([math.nextafter(1.0, 2.0), -math.nextafter(1.0, 2.0), math.inf, math.nan]),
    st.floats(allow_nan=True, allow_infinity=True).filter(lambda v: not -1.0 <= v <= 1.0),
    st.sampled_from([2, -2, 2**70]),
)
numbers = st.one_of(unit_numbers, out_of_range)
# Values the conversion to double refuses outright.
foreign = st.one_of(
    st.none(), st.text(max_size=2), st.lists(unit_floats, max_size=2), st.just(10**400)
)
pips = st.one_of(
    st.integers(-300, 300),
    st.sampled_from([INT32_MIN, INT32_MAX, INT32_MIN - 1, INT32_MAX + 1, 2**64]),
    st.integers(INT32_MIN, INT32_MAX),
    st.floats(allow_nan=True),
    st.booleans(),
)


# --- SampledPattern ---------------------------------------------------------------------------

PATTERN_FAULTS = ["none"] * 6 + ["value", "value", "row_shape", "component_type", "whole", "empty"]


@st.composite
def pattern_samples(draw):
    """Rows of three in-range numbers, with at most one fault of one kind mixed in."""
    rows = draw(
        st.lists(st.tuples(unit_numbers, unit_numbers, unit_numbers), min_size=1, max_size=8)
    )
    rows = [list(r) if draw(st.booleans()) else r for r in rows]
    fault = draw(st.sampled_from(PATTERN_FAULTS))
    if fault == "empty":
        return draw(st.sampled_from([[], ()]))
    if fault == "whole":
        return draw(st.sampled_from(["abc", None, 0.5, [None]]))
    if fault == "none":
        return rows
    i = draw(st.integers(0, len(rows) - 1))
    if fault == "row_shape":
        rows[i] = draw(
            st.one_of(
                st.lists(unit_numbers, max_size=5).filter(lambda r: len(r) != 3),
                st.text(max_size=3),
                st.none(),
                unit_floats,
            )
        )
    else:
        rows[i] = list(rows[i])
        rows[i][draw(st.integers(0, 2))] = draw(out_of_range if fault == "value" else foreign)
    return rows


def expected_pattern(name, description, samples):
    """('ok', (name, description bytes, rows)) or the expected failure."""
    try:
        raw_name = as_bytes(name)
        raw_description = as_bytes(description)
        rows = []
        for row in as_sequence(samples):
            values = as_sequence(row)
            if len(values) != 3:
                raise Refused
            rows.append(tuple(as_double(v) for v in values))
    except Refused:
        return (TypeError, None)
    if not is_identifier(raw_name):
        return (ValueError, "Invalid pattern name")
    if not 1 <= len(rows) <= 65535:
        return (ValueError, "A pattern requires 1..65535 samples (one per pip)")
    if not all(in_unit_range(v) for row in rows for v in row):
        return (ValueError, "Pattern samples must be finite and within [-1, 1]")
    return ("ok", (raw_name.decode("ascii"), raw_description, rows))


def check_failure(got, expected):
    kind, message = expected
    event(f"refused: {kind.__name__} {message or ''}".strip())
    assert got[0] is kind, (got, expected)
    if kind is TypeError:
        # Refused by the argument conversion, before any native code ran.
        assert "incompatible" in got[1], got
    else:
        assert got[1] == message


@FUZZ
@given(
    name=names,
    description=descriptions,
    samples=pattern_samples(),
    probes=st.lists(pips, max_size=6),
)
def test_sampled_pattern_follows_its_rules(name, description, samples, probes):
    expected = expected_pattern(name, description, samples)
    got = outcome(lambda: motiloom.SampledPattern(name, description, samples))
    if expected[0] != "ok":
        check_failure(got, expected)
        return
    assert got[0] == "ok", got
    pattern = got[1]
    event("accepted")
    want_name, raw_description, rows = expected[1]
    assert pattern.name == want_name
    assert pattern.period_pips == len(rows)
    try:
        text = raw_description.decode("utf-8")
    except UnicodeDecodeError:
        with pytest.raises(UnicodeDecodeError):
            _ = pattern.description
    else:
        assert pattern.description == text
    for pip in probes:
        result = outcome(lambda pip=pip: pattern.sample(pip))
        if is_pip(pip):
            assert result[0] == "ok", result
            assert result[1].as_tuple() == rows[int(pip) % len(rows)]
        else:
            assert result[0] is TypeError


# --- PatternLibrary ---------------------------------------------------------------------------

BOUNCE_ROWS = None


def bounce_rows():
    global BOUNCE_ROWS
    if BOUNCE_ROWS is None:
        BOUNCE_ROWS = [motiloom.sample("bounce", p).as_tuple() for p in range(64)]
    return BOUNCE_ROWS


@st.composite
def library_members(draw):
    """(host object, model) where model is None for a non-pattern element."""
    kind = draw(st.sampled_from(["own"] * 6 + ["bounce_copy", "bounce_other", "foreign"]))
    if kind == "foreign":
        return (draw(st.sampled_from([None, 1, "a", 0.5, ("a", "", [])])), None)
    if kind == "bounce_copy":
        rows = bounce_rows()
        obj = motiloom.SampledPattern("bounce", "One-beat vertical bounce", rows)
        return (obj, ("bounce", "One-beat vertical bounce", rows))
    name = "bounce" if kind == "bounce_other" else draw(st.sampled_from(["a", "b", "c", "d_1"]))
    description = draw(st.sampled_from(["", "One-beat vertical bounce", "x"]))
    row = st.tuples(unit_floats, unit_floats, unit_floats)
    rows = draw(st.lists(row, min_size=1, max_size=5))
    obj = motiloom.SampledPattern(name, description, rows)
    return (obj, (name, description, rows))


def same_rows(a, b):
    return [tuple(r) for r in a] == [tuple(r) for r in b]


def dimensions_of(rows):
    if any(z != 0.0 for _, _, z in rows):
        return 3
    if any(y != 0.0 for _, y, _ in rows):
        return 2
    return 1


def expected_library(models, builtins):
    if any(m is None for m in models):
        return (TypeError, None)
    if len(models) > 1024:
        return (ValueError, "Too many patterns")
    seen, own = set(), []
    for name, description, rows in models:
        if name in seen:
            return (ValueError, f"Duplicate pattern name: {name}")
        seen.add(name)
        builtin = builtins.get(name)
        if builtin is None:
            own.append((name, description, rows))
            continue
        reference = [motiloom.sample(name, p).as_tuple() for p in range(len(rows))]
        exact = (
            description == builtin["description"]
            and len(rows) == builtin["period_pips"]
            and same_rows(rows, reference)
        )
        if not exact:
            return (ValueError, f"Cannot override default pattern: {name}")
    return ("ok", own)


@pytest.fixture(scope="module")
def builtin_listing():
    return motiloom.catalogue()


@FUZZ
@given(
    members=st.lists(library_members(), max_size=6),
    probes=st.lists(
        st.tuples(st.sampled_from(["a", "b", "c", "d_1", "bounce", "zz_none", ""]), pips),
        max_size=6,
    ),
)
def test_pattern_library_follows_its_rules(members, probes, builtin_listing):
    builtins = {e["name"]: e for e in builtin_listing}
    objects = [obj for obj, _ in members]
    expected = expected_library([model for _, model in members], builtins)
    got = outcome(lambda: motiloom.PatternLibrary(objects))
    if expected[0] != "ok":
        check_failure(got, expected)
        return
    assert got[0] == "ok", got
    library = got[1]
    event("accepted")
    own = {name: rows for name, _, rows in expected[1]}
    assert library.catalogue() == builtin_listing + [
        {"name": n, "description": d, "period_pips": len(r), "dimensions": dimensions_of(r)}
        for n, d, r in expected[1]
    ]
    for name, pip in probes:
        result = outcome(lambda name=name, pip=pip: library.sample(name, pip))
        if not is_pip(pip):
            assert result[0] is TypeError
        elif name in own:
            assert result[0] == "ok"
            assert result[1].as_tuple() == tuple(own[name][int(pip) % len(own[name])])
        elif name in builtins:
            assert result[0] == "ok"
            assert result[1].as_tuple() == motiloom.sample(name, int(pip)).as_tuple()
        else:
            assert result == (ValueError, f"Unknown motiloom: {name}")
    # The host's pattern objects are untouched.
    for obj, model in members:
        assert obj.name == model[0]
        assert obj.period_pips == len(model[2])


# --- SampledRecording -------------------------------------------------------------------------

axis_names = st.sampled_from(["x", "y", "z", "w", "roll", "pitch", "yaw", "a_1", "m" * 128])
start_pips = mostly(
    st.one_of(
        st.integers(-20, 20),
        st.integers(INT32_MAX - 8, INT32_MAX),
        st.integers(INT32_MIN, INT32_MIN + 8),
    ),
    st.sampled_from([INT32_MAX + 1, INT32_MIN - 1, 1.0, "0"]),
)
tempos = mostly(
    st.one_of(st.floats(1e-3, 1e6), st.integers(1, 300)),
    st.one_of(
        st.sampled_from([0.0, -0.0, -1.0, 5e-324, 1e-310, 1e308, math.inf, math.nan, "120"]),
        st.floats(allow_nan=True, allow_infinity=True),
    ),
)
origins = mostly(
    st.one_of(st.floats(-1e9, 1e9), st.integers(-5, 5)),
    st.sampled_from([math.inf, -math.inf, math.nan, None]),
)


RECORDING_FAULTS = ["none"] * 8 + [
    "axis_name",
    "axis_repeat",
    "axis_type",
    "axes_whole",
    "no_axes",
    "row_value",
    "row_length",
    "row_type",
    "rows_whole",
    "no_rows",
]


@st.composite
def recording_shape(draw):
    """Distinct axis names and rows of that width, with at most one fault of one kind."""
    width = draw(st.integers(1, 3))
    axes = draw(st.lists(axis_names, min_size=width, max_size=width, unique=True))
    row = st.lists(unit_numbers, min_size=width, max_size=width)
    rows = draw(st.lists(row, min_size=1, max_size=5))
    fault = draw(st.sampled_from(RECORDING_FAULTS))
    if fault == "no_axes":
        axes = []
    elif fault == "no_rows":
        rows = []
    elif fault == "axes_whole":
        axes = draw(st.sampled_from(["xy", "x", None, b"x"]))
    elif fault == "rows_whole":
        rows = draw(st.sampled_from([None, "ab", 1.0, [1.0]]))
    elif fault.startswith("axis"):
        i = draw(st.integers(0, len(axes) - 1))
        if fault == "axis_name":
            axes[i] = draw(st.sampled_from(["X", "", "_a", "a b", "1a", "m" * 129, "é"]))
        elif fault == "axis_repeat":
            axes.insert(i, axes[draw(st.integers(0, len(axes) - 1))])
        else:
            axes[i] = draw(st.sampled_from([None, 3, ["x"]]))
    elif fault.startswith("row"):
        i = draw(st.integers(0, len(rows) - 1))
        if fault == "row_length":
            rows[i] = draw(st.lists(unit_numbers, max_size=4).filter(lambda r: len(r) != width))
        else:
            j = draw(st.integers(0, len(rows[i]) - 1))
            rows[i][j] = draw(out_of_range if fault == "row_value" else foreign)
    return axes, rows


def expected_recording(name, axes, rows, bpm, origin, start):
    try:
        raw_name = as_bytes(name)
        raw_axes = [as_bytes(a) for a in as_sequence(axes)]
        bpm, origin = as_double(bpm), as_double(origin)
        if not is_pip(start):
            raise Refused
        # Rows are read no further than one past those the recording could hold, and each row
        # no further than one value past the axis count.
        d = len(raw_axes)
        room = min(2**23 // d, INT32_MAX - start) if d else 0
        read = as_sequence(rows)[: room + 1]
        table = [[as_double(v) for v in as_sequence(row)[: d + 1]] for row in read]
    except Refused:
        return (TypeError, None)
    if not is_identifier(raw_name):
        return (ValueError, "Invalid identifier")
    beat = 60.0 / bpm if math.isfinite(bpm) and bpm > 0 else math.nan
    if not (math.isfinite(beat) and beat * 0.015625 > 0 and math.isfinite(origin)):
        return (ValueError, "A finite positive BPM and beat origin are required")
    d, r = len(raw_axes), len(table)
    if d == 0 or r == 0 or r * d > 2**23 or start + r > INT32_MAX:
        return (ValueError, "Empty recording or recording resource limit exceeded")
    seen = set()
    for axis in raw_axes:
        if not is_identifier(axis):
            return (ValueError, "Invalid identifier")
        if axis in seen:
            return (ValueError, "Duplicate axis")
        seen.add(axis)
    for row in table:
        if len(row) != d:
            return (ValueError, "Ragged recording")
        if not all(math.isfinite(v) and abs(v) <= 1.0 for v in row):
            return (ValueError, "Invalid sample")
    return ("ok", (raw_name.decode(), [a.decode() for a in raw_axes], table, bpm, origin))


@FUZZ
@given(
    name=names,
    shape=recording_shape(),
    bpm=tempos,
    origin=origins,
    start=start_pips,
    probes=st.lists(pips, max_size=6),
)
def test_sampled_recording_follows_its_rules(name, shape, bpm, origin, start, probes):
    axes, rows = shape
    expected = expected_recording(name, axes, rows, bpm, origin, start)
    got = outcome(lambda: motiloom.SampledRecording(name, axes, rows, bpm, origin, start))
    if expected[0] != "ok":
        check_failure(got, expected)
        return
    assert got[0] == "ok", got
    take = got[1]
    event("accepted")
    want_name, want_axes, table, want_bpm, want_origin = expected[1]
    assert take.name == want_name
    assert take.dimensions == want_axes
    assert take.sample_count == len(table)
    assert take.bpm == want_bpm
    assert take.beat_zero_seconds == want_origin
    assert take.start_pip == start
    for pip in probes + [start, start + len(table) - 1, start - 1, start + len(table)]:
        result = outcome(lambda pip=pip: take.sample(pip))
        if not is_pip(pip):
            assert result[0] is TypeError
        elif start <= pip < start + len(table):
            assert result == ("ok", table[int(pip) - start])
        else:
            assert result == (IndexError, "Pip outside non-looping recording")
