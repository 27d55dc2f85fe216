"""Random calls of every host entry point, and what each call must do.

Every argument is drawn together with a model of how the host conversion treats it: converted to
a value, refused (the call fails with the binding library's TypeError), or raising an exception of
its own (a caller's object whose __len__ raises, a generator that fails part-way, a length that
cannot be reserved). From the models and the classes' rules, `expected` works out the outcome, and
`check` runs the call and compares. The draws come from a `random.Random`, so the same builders
serve the seeded volume driver (`drive`, which tools/fuzz.py runs as `make fuzz` and the tests run
a slice of) and hypothesis, which supplies a Random it can shrink.
"""

import copy
import itertools
import math
import operator
import os
import pickle
import random
from collections import Counter
from dataclasses import dataclass, field

import motiloom
from host_values import FloatOnly, IndexOnly, IntOnly
from rudiment_reference import RUDIMENTS

INT32_MIN = -(2**31)
INT32_MAX = 2**31 - 1
ABOVE_ONE = math.nextafter(1.0, 2.0)
MAX_PATTERN_SAMPLES = 65535
MAX_PATTERNS = 1024
MAX_PACK_SAMPLES = 2**20
MAX_VALUES = 2**23


# Under AddressSanitizer resident memory and peaks say nothing useful (tests that measure them
# skip there).
UNDER_ASAN = "libasan" in os.environ.get("LD_PRELOAD", "")


class Boom(Exception):
    """Raised by the caller's own objects below."""


class Halt(BaseException):
    """Stands for KeyboardInterrupt, which a fuzz run leaves to a real Ctrl-C: an error that is
    no Exception, and so asks the program to stop."""


# What a caller's number may raise that must come out of the call unchanged, not as a refusal.
STOPS = (Halt, SystemExit, MemoryError)


class Stops:
    """A number whose every conversion protocol raises one error that asks the program to stop;
    the call must pass on that very error."""

    def __init__(self, kind):
        self.error = kind("raised by the caller")

    def __index__(self):
        raise self.error

    __int__ = __float__ = __index__


# --- the caller's objects: numbers through one protocol, and containers that misbehave ----------


class Raises:
    """A number whose every conversion protocol raises."""

    def __index__(self):
        raise Boom

    def __int__(self):
        raise Boom

    def __float__(self):
        raise Boom


class AttributeStops:
    """An object whose attribute look-ups (beyond its own) raise an error that stops the
    program: the binding library asks a foreign object for its cross-module conduit."""

    def __init__(self, kind):
        self.error = kind("raised by the caller")

    def __getattr__(self, name):
        raise self.error


class LiesAboutIndex:
    def __index__(self):
        return 2.5


class LenRaises(list):
    def __len__(self):
        raise Boom


class LenLies(list):
    def __init__(self, items, claim):
        super().__init__(items)
        self.claim = claim

    def __len__(self):
        return self.claim


def failing_generator(items, at):
    yield from items[:at]
    raise Boom


# --- models ---------------------------------------------------------------------------------------


@dataclass
class Arg:
    """One argument: `make()` builds a fresh object (generators are used up by a call)."""

    make: object
    kind: str  # "ok", "refuse", "raise", "stop", or "seq" for a container of element Args
    value: object = None  # the converted value ("ok"), the exception type ("raise") or instance
    # ("stop": the caller's error that must come out of the call unchanged)
    items: list = field(default_factory=list)  # element Args of a container
    shape: str = "list"  # container: list, tuple, gen, failing_gen, len_raises, len:<claim>


def plain(obj, value):
    return Arg(lambda: obj, "ok", value)


def refused(obj):
    return Arg(lambda: obj, "refuse")


def stopping(rng):
    obj = Stops(rng.choice(STOPS))
    return Arg(lambda: obj, "stop", obj.error)


class Refused(Exception):
    """The binding library refuses an argument: the call raises its TypeError."""


class HostRaised(Exception):
    def __init__(self, kind, error=None):
        super().__init__(kind)
        self.kind = kind
        self.error = error  # the caller's own error that stops the program, passed on as is


def container(items, shape="list"):
    def make():
        objs = [a.make() for a in items]
        if shape == "list":
            return objs
        if shape == "tuple":
            return tuple(objs)
        if shape == "gen":
            return (o for o in objs)
        if shape == "failing_gen":
            return failing_generator(objs, len(objs) // 2)
        if shape == "len_raises":
            return LenRaises(objs)
        return LenLies(objs, int(shape.split(":")[1]))

    return Arg(make, "seq", items=items, shape=shape)


def scalar(arg):
    if arg.kind == "ok":
        return arg.value
    _refuse_or_raise(arg)


def elements(arg, most=None, probe=scalar):
    """The element Args of a container argument, as the module reads them: a sequence is asked
    its length first (one that raises or is negative fails; a claim is never reserved), then
    the items are read by iteration, no further than `most` of them. An iterable that is not a
    sequence is read to its end (within `most`) before any element counts, so its own failure
    part-way comes first."""
    if arg.kind != "seq":
        _refuse_or_raise(arg)
    shape = arg.shape
    if shape == "len_raises":
        raise HostRaised(Boom)
    if shape.startswith("len:") and int(shape.split(":")[1]) < 0:
        raise HostRaised(ValueError)
    items = arg.items if most is None else arg.items[:most]
    fails_at = len(arg.items) // 2
    if shape == "failing_gen" and (most is None or fails_at < most):
        _stops_first(arg.items[:fails_at], probe)
        raise HostRaised(Boom)
    return items


def _refuse_or_raise(arg):
    if arg.kind == "raise":
        raise HostRaised(arg.value)
    if arg.kind == "stop":
        raise HostRaised(type(arg.value), arg.value)
    raise Refused


def _stops_first(items, probe):
    """An iterable's elements are converted as they are read, and an error that stops the
    program passes at once, ahead of the iterable's own failure further on; any other failure of
    an element waits behind it (and ends the converting)."""
    for item in items:
        try:
            probe(item)
        except HostRaised as raised:
            if raised.error is not None:
                raise
            return
        except Refused:
            return


def fixed_three(arg):
    """A row of exactly three doubles: a sequence is asked its length first, then items 0 to 2
    by index; another iterable is read (no further than a fourth item) and must yield three."""
    if arg.kind != "seq":
        _refuse_or_raise(arg)
    shape = arg.shape
    if shape in ("gen", "failing_gen"):
        items = elements(arg, most=4, probe=lambda item: None)
        if len(items) != 3:
            raise Refused
        return tuple(scalar(item) for item in items)
    if shape == "len_raises":
        raise HostRaised(Boom)
    claim = len(arg.items)
    if shape.startswith("len:"):
        claim = int(shape.split(":")[1])
        if claim < 0:
            raise HostRaised(ValueError)
    if claim != 3:
        raise Refused
    row = []
    for i in range(3):  # item by item: a missing item fails only when it is reached
        if i >= len(arg.items):
            raise HostRaised(IndexError)
        row.append(scalar(arg.items[i]))
    return tuple(row)


# --- argument builders ---------------------------------------------------------------------------

IDENTIFIER_CHARS = "abcdefghijklmnopqrstuvwxyz0123456789_"


def identifier(rng, longest=8):
    first = rng.choice("abcdefghijklmnopqrstuvwxyz")
    return first + "".join(rng.choice(IDENTIFIER_CHARS) for _ in range(rng.randint(0, longest)))


BAD_NAMES = ["", "A", "aB", "_a", "1a", "a-b", "a b", "é", "a\0b", "\0", "m" * 129, "ab.c"]
BAD_BYTES = [b"", b"\xff", b"a\xff", b"a\0", b"\xc3\x28", b"\xed\xa0\x80", b"A"]
NON_TEXT = [None, 0, 1.5, ["a"], ("a",), memoryview(b"a"), "a\ud800", {"a": 1}]


def text(rng, good):
    """A text argument (str, bytes or bytearray all convert; anything else is refused)."""
    roll = rng.random()
    if roll < 0.75:
        name = good(rng)
    elif roll < 0.88:
        name = rng.choice(BAD_NAMES)
    elif roll < 0.95:
        raw = rng.choice(BAD_BYTES)
        return plain(raw, raw) if rng.random() < 0.5 else plain(bytearray(raw), raw)
    else:
        obj = rng.choice(NON_TEXT)
        return refused(obj)
    form = rng.random()
    if form < 0.8:
        return plain(name, name.encode("utf-8"))
    if form < 0.9:
        return plain(name.encode("utf-8"), name.encode("utf-8"))
    return plain(bytearray(name.encode("utf-8")), name.encode("utf-8"))


PIP_EDGES = [0, 1, -1, 63, 64, 65, INT32_MAX, INT32_MIN, INT32_MAX - 1, INT32_MIN + 1]
PIP_BEYOND = [INT32_MAX + 1, INT32_MIN - 1, 2**63, -(2**64), 10**30]


def pip(rng, strict):
    """A pip: int (bool included) or __index__ in the 32-bit range; __int__ only where conversion
    is allowed; never a float."""
    roll = rng.random()
    if roll < 0.45:
        v = rng.randint(-300, 300)
    elif roll < 0.6:
        v = rng.choice(PIP_EDGES)
    elif roll < 0.7:
        v = rng.randint(INT32_MIN, INT32_MAX)
    elif roll < 0.75:
        return refused(rng.choice(PIP_BEYOND))
    elif roll < 0.78:
        b = rng.random() < 0.5
        return plain(b, int(b))
    elif roll < 0.84:
        v = rng.choice(PIP_EDGES + PIP_BEYOND)
        ok = INT32_MIN <= v <= INT32_MAX
        return Arg(lambda: IndexOnly(v), "ok" if ok else "refuse", v)
    elif roll < 0.88:
        v = rng.choice(PIP_EDGES + PIP_BEYOND)
        ok = INT32_MIN <= v <= INT32_MAX and not strict
        return Arg(lambda: IntOnly(v), "ok" if ok else "refuse", v)
    elif roll < 0.9:
        return stopping(rng)
    else:
        odd = rng.choice(
            [1.0, 0.5, math.nan, math.inf, -0.0, "1", None, b"\x01", [1], 1 + 0j, Raises()]
            + [LiesAboutIndex(), FloatOnly(1.0)]
        )
        return refused(odd)
    return plain(v, v)


UNIT_EDGES = [0.0, -0.0, 1.0, -1.0, 5e-324, -5e-324, 0.5]
OUT_OF_RANGE = [ABOVE_ONE, -ABOVE_ONE, math.inf, -math.inf, math.nan, 2.0, 1e308]


def number(rng, unit=True):
    """A double: float, int, bool, __float__ or __index__; refused: text, None, containers, ints
    too large for a double, protocols that raise."""
    roll = rng.random()
    if roll < 0.6:
        v = rng.uniform(-1.0, 1.0) if unit else rng.uniform(-1e3, 1e3)
        return plain(v, v)
    if roll < 0.72:
        v = rng.choice(UNIT_EDGES)
        return plain(v, v)
    if roll < 0.8:
        v = rng.choice(OUT_OF_RANGE)
        return plain(v, v)
    if roll < 0.86:
        i = rng.choice([0, 1, -1, 2, True, False])
        return plain(i, float(i))
    if roll < 0.9:
        v = rng.choice(UNIT_EDGES + OUT_OF_RANGE)
        return Arg(lambda: FloatOnly(v), "ok", v)
    if roll < 0.93:
        i = rng.choice([0, 1, -1, 3])
        return Arg(lambda: IndexOnly(i), "ok", float(i))
    if roll < 0.95:
        return stopping(rng)
    return refused(rng.choice([None, "0.5", b"1", [0.5], 10**400, Raises(), 1j]))


def sequence_shape(rng, length, fixed=False):
    roll = rng.random()
    if roll < 0.6:
        return "list"
    if roll < 0.75:
        return "tuple"
    if roll < 0.85:
        return "gen"
    if roll < 0.88:
        return "failing_gen"
    if roll < 0.91:
        return "len_raises"
    claims = [max(length - 1, 0), length + 1, 3, -1, 2**62, 2**44]
    return f"len:{rng.choice(claims)}"


def sequence(rng, items, fixed=False):
    """Items in a container; now and then the container itself is not a sequence."""
    if rng.random() < 0.03:
        return refused(rng.choice([None, "abc", b"abc", 3, {"k": 1}, 0.5]))
    return container(items, sequence_shape(rng, len(items), fixed))


# --- outcomes -------------------------------------------------------------------------------------


class Mismatch(AssertionError):
    pass


def run(call):
    try:
        return ("ok", call())
    except (Exception, SystemExit, Halt) as error:  # every exception type is compared below
        return ("error", error)


def expect_error(got, kind, message=None):
    """The call raised exactly `kind`, with `message` when one is given. A TypeError without a
    message is the binding library's refusal of the arguments."""
    if got[0] != "error" or type(got[1]) is not kind:
        raise Mismatch(f"expected {kind.__name__} {message!r}, got {got!r}")
    if kind is TypeError and message is None and "incompatible" not in str(got[1]):
        raise Mismatch(f"expected the binding library's refusal, got {got!r}")
    if message is not None and str(got[1]) != message:
        raise Mismatch(f"expected {kind.__name__} {message!r}, got {got!r}")


def expect_unknown(got, raw):
    """An unknown name: ValueError "Unknown motiloom: " + name. The native message is a C string,
    so it ends at the first NUL; text that is not UTF-8 cannot become the message, and the host
    raises UnicodeDecodeError (itself a ValueError) instead."""
    message = (b"Unknown motiloom: " + raw).split(b"\0")[0]
    try:
        expect_error(got, ValueError, message.decode("utf-8"))
    except UnicodeDecodeError:
        expect_error(got, UnicodeDecodeError, str(got[1]) if got[0] == "error" else "")


def guarded(convert):
    """Runs the conversion model: ("ok", value), ("refuse",), or ("raise", type, the caller's
    own error when it is one that stops the program)."""
    try:
        return ("ok", convert())
    except Refused:
        return ("refuse",)
    except HostRaised as raised:
        return ("raise", raised.kind, raised.error)


def fail_as(got, model):
    """Checks a call whose arguments the model says fail; returns the outcome label."""
    if model[0] == "refuse":
        expect_error(got, TypeError)
        return "TypeError (refused)"
    kind = model[1]
    if len(model) > 2 and model[2] is not None:
        if got[0] != "error" or got[1] is not model[2]:
            raise Mismatch(f"expected the caller's {kind.__name__} passed on, got {got!r}")
        return f"{kind.__name__} (passed on)"
    if got[0] != "error" or not isinstance(got[1], kind):
        raise Mismatch(f"expected {kind.__name__} from the caller's object, got {got!r}")
    return f"{kind.__name__} (caller's object)"


def check_offset(result, expected=None):
    if type(result) is not motiloom.Offset3:
        raise Mismatch(f"expected an Offset3, got {result!r}")
    t = result.as_tuple()
    if t != (result.x, result.y, result.z) or not all(type(v) is float for v in t):
        raise Mismatch(f"as_tuple disagrees with x, y, z: {t}")
    if not all(math.isfinite(v) and -1.0 <= v <= 1.0 for v in t):
        raise Mismatch(f"component outside [-1, 1]: {t}")
    if expected is not None and t != tuple(expected):
        raise Mismatch(f"expected {tuple(expected)}, got {t}")


# --- reference data -------------------------------------------------------------------------------


class Builtins:
    """The built-in listing and a few built-in patterns' values, read once."""

    def __init__(self):
        self.listing = motiloom.catalogue()
        self.by_name = {e["name"]: e for e in self.listing}
        self.names = list(self.by_name)
        self.copies = {}
        for name in ("bounce", "circle", self.names[-1]):
            entry = self.by_name[name]
            rows = [motiloom.sample(name, p).as_tuple() for p in range(entry["period_pips"])]
            self.copies[name] = (entry["description"], rows)

    def value(self, name, p):
        period = self.by_name[name]["period_pips"]
        return motiloom.sample(name, p % period).as_tuple()


# --- entry points ---------------------------------------------------------------------------------


def call_rudiment(rng, ref):
    name = rng.choice(list(RUDIMENTS))
    function = getattr(motiloom, name)
    if rng.random() < 0.03:
        got = run(lambda: function(pip_count=3) if rng.random() < 0.5 else function(1, 2))
        expect_error(got, TypeError)
        return "TypeError (refused)"
    p = pip(rng, strict=False)
    got = run(lambda: function(p.make()))
    if p.kind != "ok":
        return fail_as(got, guarded(lambda: scalar(p)))
    formula = RUDIMENTS[name][3]
    check_offset(got[1], formula(p.value))
    return "ok"


def call_sample(rng, ref):
    n = text(rng, lambda r: r.choice(ref.names) if r.random() < 0.8 else identifier(r))
    p = pip(rng, strict=False)
    got = run(lambda: motiloom.sample(n.make(), p.make()))
    if n.kind != "ok" or p.kind != "ok":
        return fail_as(got, guarded(lambda: (scalar(n), scalar(p))))
    name = n.value.decode("utf-8", "surrogateescape")
    if name in ref.by_name:
        if got[0] != "ok":
            raise Mismatch(f"sample({name!r}, {p.value}) raised {got[1]!r}")
        check_offset(got[1], ref.value(name, p.value))
        if name in RUDIMENTS:
            check_offset(got[1], RUDIMENTS[name][3](p.value))
        return "ok"
    expect_unknown(got, n.value)
    return "ValueError"


def call_catalogue(rng, ref):
    if rng.random() < 0.1:
        got = run(lambda: motiloom.catalogue(rng.choice([0, "a", None])))
        expect_error(got, TypeError)
        return "TypeError (refused)"
    got = run(motiloom.catalogue)
    if got != ("ok", ref.listing):
        raise Mismatch("catalogue() differs from the first listing")
    return "ok"


def call_offset3(rng, ref):
    result = motiloom.sample(rng.choice(ref.names), rng.randint(-500, 500))
    check_offset(result)
    roll = rng.random()
    if roll < 0.4:
        got = run(lambda: setattr(result, rng.choice(["x", "y", "z", "w"]), 0.5))
        if got[0] != "error" or type(got[1]) is not AttributeError:
            raise Mismatch(f"expected AttributeError, got {got!r}")
        return "AttributeError"
    if roll < 0.7:
        got = run(lambda: motiloom.Offset3(*[0.0] * rng.randint(0, 3)))
        expect_error(got, TypeError, "motiloom.Offset3: No constructor defined!")
        return "TypeError (no constructor)"
    got = run(lambda: result.as_tuple(rng.randint(0, 3)))
    expect_error(got, TypeError)
    return "TypeError (refused)"


# --- SampledPattern -------------------------------------------------------------------------------


def pattern_rows(rng, count=None):
    if count is None:
        count = rng.choice([0, 1, 1, 2, 3, 4, 6])
    rows = []
    for _ in range(count):
        width = 3 if rng.random() < 0.93 else rng.choice([0, 2, 4])
        if rng.random() < 0.12:
            cells = [number(rng) for _ in range(width)]
        else:
            cells = [plain(v, v) for v in (rng.uniform(-1, 1) for _ in range(width))]
        if rng.random() < 0.02:
            rows.append(refused(rng.choice(["abc", None, 0.5, b"abc"])))
        else:
            rows.append(container(cells, sequence_shape(rng, width, fixed=True)))
    return sequence(rng, rows)


def pattern_model(name, description, rows):
    """('ok', (name, description bytes, rows)) or a failure model."""

    def convert():
        raw_name = scalar(name)
        raw_description = scalar(description)
        table = [fixed_three(row) for row in elements(rows, MAX_PATTERN_SAMPLES + 1, fixed_three)]
        return raw_name, raw_description, table

    converted = guarded(convert)
    if converted[0] != "ok":
        return converted
    raw_name, raw_description, table = converted[1]
    if not is_identifier(raw_name):
        return ("error", ValueError, "Invalid pattern name")
    if not 1 <= len(table) <= MAX_PATTERN_SAMPLES:
        return ("error", ValueError, "A pattern requires 1..65535 samples (one per pip)")
    if not all(math.isfinite(v) and -1.0 <= v <= 1.0 for row in table for v in row):
        return ("error", ValueError, "Pattern samples must be finite and within [-1, 1]")
    return ("ok", (raw_name.decode("ascii"), raw_description, table))


def is_identifier(raw):
    return (
        1 <= len(raw) <= 128
        and 0x61 <= raw[0] <= 0x7A
        and all(0x61 <= b <= 0x7A or 0x30 <= b <= 0x39 or b == 0x5F for b in raw)
    )


def check_constructed(got, model):
    """Checks a construction against its model; returns (label, object or None)."""
    if model[0] in ("refuse", "raise"):
        return fail_as(got, model), None
    if model[0] == "error":
        expect_error(got, model[1], model[2])
        return model[1].__name__, None
    if got[0] != "ok":
        raise Mismatch(f"expected a new object, got {got!r}")
    return "ok", got[1]


def dimensions_of(table):
    if any(z != 0.0 for _, _, z in table):
        return 3
    return 2 if any(y != 0.0 for _, y, _ in table) else 1


def call_sampled_pattern(rng, ref, rows=None):
    name = text(rng, identifier)
    description = text(rng, lambda r: r.choice(["", "A slow ramp", "é\0x"]))
    rows = rows if rows is not None else pattern_rows(rng)
    model = pattern_model(name, description, rows)
    got = run(lambda: motiloom.SampledPattern(name.make(), description.make(), rows.make()))
    label, pattern = check_constructed(got, model)
    if pattern is None:
        return label
    want_name, raw_description, table = model[1]
    if pattern.name != want_name or pattern.period_pips != len(table):
        raise Mismatch(f"pattern {pattern.name!r}/{pattern.period_pips} != model")
    try:
        description_text = raw_description.decode("utf-8")
    except UnicodeDecodeError:
        expect_error(run(lambda: pattern.description), UnicodeDecodeError)
    else:
        if pattern.description != description_text:
            raise Mismatch("description changed")
    for _ in range(3):
        p = pip(rng, strict=True)
        got = run(lambda p=p: pattern.sample(p.make()))
        if p.kind != "ok":
            fail_as(got, guarded(lambda p=p: scalar(p)))
        else:
            check_offset(got[1], table[p.value % len(table)])
    return label


# --- PatternLibrary -------------------------------------------------------------------------------


def library_members(rng, ref):
    members = []
    for _ in range(rng.choice([0, 1, 2, 3, 5])):
        roll = rng.random()
        if roll < 0.08:
            members.append((refused(rng.choice([None, 1, "a", 0.5])), None))
            continue
        if roll < 0.1:
            obj = AttributeStops(rng.choice(STOPS))
            members.append((Arg(lambda obj=obj: obj, "stop", obj.error), None))
            continue
        if roll < 0.2:
            name = rng.choice(list(ref.copies))
            description, rows = ref.copies[name]
            if rng.random() < 0.3:  # one value off, or another description
                rows = list(rows)
                rows[rng.randrange(len(rows))] = (0.123, 0.0, 0.0)
            elif rng.random() < 0.3:
                description = description + "!"
        else:
            name = rng.choice(["a", "b", "c", "d_1"] + ([rng.choice(ref.names)] * 1))
            description = rng.choice(["", "x"])
            rows = [tuple(rng.uniform(-1, 1) for _ in range(3)) for _ in range(rng.randint(1, 4))]
        obj = motiloom.SampledPattern(name, description, rows)
        members.append((plain(obj, obj), (name, description, rows)))
    return members


def library_model(members, ref, listing_arg):
    def convert():
        return [scalar(arg) for arg in elements(listing_arg, most=MAX_PATTERNS + 1)]

    converted = guarded(convert)
    if converted[0] != "ok":
        return converted
    models = [m for _, m in members]
    if len(models) > MAX_PATTERNS:
        return ("error", ValueError, "Too many patterns")
    seen, own, total = set(), [], 0
    for name, description, rows in models:
        if name in seen:
            return ("error", ValueError, f"Duplicate pattern name: {name}")
        seen.add(name)
        total += len(rows)
        if total > MAX_PACK_SAMPLES:
            return ("error", ValueError, "Pattern pack is too large")
        builtin = ref.by_name.get(name)
        if builtin is None:
            own.append((name, description, rows))
            continue
        exact = (
            description == builtin["description"]
            and len(rows) == builtin["period_pips"]
            and [tuple(r) for r in rows] == [ref.value(name, p) for p in range(len(rows))]
        )
        if not exact:
            return ("error", ValueError, f"Cannot override default pattern: {name}")
    return ("ok", own)


def call_pattern_library(rng, ref, members=None):
    members = members if members is not None else library_members(rng, ref)
    listing_arg = sequence(rng, [arg for arg, _ in members])
    model = library_model([m for m in members if m[1] is not None], ref, listing_arg)
    got = run(lambda: motiloom.PatternLibrary(listing_arg.make()))
    label, library = check_constructed(got, model)
    if library is None:
        return label
    own = {name: rows for name, _, rows in model[1]}
    if rng.random() < 0.1:
        expected = ref.listing + [
            {"name": n, "description": d, "period_pips": len(r), "dimensions": dimensions_of(r)}
            for n, d, r in model[1]
        ]
        if library.catalogue() != expected:
            raise Mismatch("library catalogue differs from the model")
    for _ in range(3):
        n = text(rng, lambda r: r.choice(list(own) + ["bounce", "zz_none"] + ref.names[:3]))
        p = pip(rng, strict=True)
        got = run(lambda n=n, p=p: library.sample(n.make(), p.make()))
        if n.kind != "ok" or p.kind != "ok":
            fail_as(got, guarded(lambda n=n, p=p: (scalar(n), scalar(p))))
            continue
        name = n.value.decode("utf-8", "surrogateescape")
        if name in own:
            check_offset(got[1], own[name][p.value % len(own[name])])
        elif name in ref.by_name:
            check_offset(got[1], ref.value(name, p.value))
        else:
            expect_unknown(got, n.value)
    return label


# --- SampledRecording -----------------------------------------------------------------------------


AXIS_NAMES = ["x", "y", "z", "roll", "pitch", "a_1", "m" * 128]


def recording_parts(rng):
    width = rng.choice([1, 1, 2, 3])
    axes = [plain(a, a.encode()) for a in rng.sample(AXIS_NAMES, width)]
    if rng.random() < 0.08:
        i = rng.randrange(width)
        axes[i] = rng.choice(
            [plain("X", b"X"), plain("", b""), plain("m" * 129, b"m" * 129), axes[0]]
            + [refused(None), refused(3), plain(b"\xff", b"\xff"), plain("a\0", b"a\0")]
        )
    if rng.random() < 0.03:
        axes = []
    dims = sequence(rng, axes)
    rows = []
    for _ in range(rng.choice([0, 1, 2, 3, 5])):
        length = width if rng.random() < 0.93 else rng.choice([0, width + 1, max(width - 1, 0)])
        if rng.random() < 0.15:
            cells = [number(rng) for _ in range(length)]
        else:
            cells = [plain(v, v) for v in (rng.uniform(-1, 1) for _ in range(length))]
        rows.append(container(cells, sequence_shape(rng, length)))
    return dims, sequence(rng, rows)


def recording_model(name, dims, rows, bpm, origin, start):
    """pybind11 converts name, dimensions, the rows container itself, bpm, the beat origin and the
    start pip in that order; the rows' contents are read last."""

    def convert():
        raw_name = scalar(name)
        raw_axes = [scalar(a) for a in elements(dims, most=MAX_VALUES + 1)]
        if rows.kind != "seq":
            _refuse_or_raise(rows)
        tempo, zero, first = scalar(bpm), scalar(origin), scalar(start)
        d = len(raw_axes)
        room = 0 if d == 0 or d > MAX_VALUES else min(MAX_VALUES // d, INT32_MAX - first)

        def row_values(row):
            return [scalar(v) for v in elements(row, most=d + 1)]

        table = [row_values(row) for row in elements(rows, room + 1, row_values)]
        return raw_name, raw_axes, table, tempo, zero, first

    converted = guarded(convert)
    if converted[0] != "ok":
        return converted
    raw_name, raw_axes, table, tempo, zero, first = converted[1]
    if not is_identifier(raw_name):
        return ("error", ValueError, "Invalid identifier")
    beat = 60.0 / tempo if math.isfinite(tempo) and tempo > 0 else math.nan
    if not (math.isfinite(beat) and beat * 0.015625 > 0 and math.isfinite(zero)):
        return ("error", ValueError, "A finite positive BPM and beat origin are required")
    d, r = len(raw_axes), len(table)
    if d == 0 or r == 0 or r * d > MAX_VALUES or first + r > INT32_MAX:
        return ("error", ValueError, "Empty recording or recording resource limit exceeded")
    seen = set()
    for axis in raw_axes:
        if not is_identifier(axis):
            return ("error", ValueError, "Invalid identifier")
        if axis in seen:
            return ("error", ValueError, "Duplicate axis")
        seen.add(axis)
    for row in table:
        if len(row) != d:
            return ("error", ValueError, "Ragged recording")
        if not all(math.isfinite(v) and abs(v) <= 1.0 for v in row):
            return ("error", ValueError, "Invalid sample")
    return ("ok", (raw_name.decode(), [a.decode() for a in raw_axes], table, tempo, zero, first))


def start_pip(rng):
    if rng.random() < 0.8:
        v = rng.choice([0, 0, -10, 5, INT32_MAX - 3, INT32_MAX, INT32_MIN])
        return plain(v, v)
    return pip(rng, strict=False)


def tempo(rng):
    if rng.random() < 0.85:
        v = rng.choice([120.0, 60, 1e-3, 1e6, 5e-324, 1e308, 0.0, -1.0, math.inf, math.nan])
        return plain(v, float(v))
    return number(rng, unit=False)


def call_sampled_recording(rng, ref, parts=None):
    name = text(rng, identifier)
    dims, rows = parts if parts is not None else recording_parts(rng)
    bpm = tempo(rng)
    origin = plain(0.0, 0.0) if rng.random() < 0.7 else number(rng, unit=False)
    start = start_pip(rng)
    model = recording_model(name, dims, rows, bpm, origin, start)
    got = run(
        lambda: motiloom.SampledRecording(
            name.make(), dims.make(), rows.make(), bpm.make(), origin.make(), start.make()
        )
    )
    label, take = check_constructed(got, model)
    if take is None:
        return label
    want_name, want_axes, table, want_bpm, want_origin, first = model[1]
    facts = (take.name, take.dimensions, take.sample_count, take.bpm, take.beat_zero_seconds)
    if (
        facts != (want_name, want_axes, len(table), want_bpm, want_origin)
        or take.start_pip != first
    ):
        raise Mismatch(f"recording properties {facts} differ from the model")
    probes = [pip(rng, strict=True) for _ in range(2)]
    probes += [plain(v, v) for v in (first, first + len(table) - 1, first - 1, first + len(table))]
    for p in probes:
        if p.kind == "ok" and not INT32_MIN <= p.value <= INT32_MAX:
            continue
        got = run(lambda p=p: take.sample(p.make()))
        if p.kind != "ok":
            fail_as(got, guarded(lambda p=p: scalar(p)))
        elif first <= p.value < first + len(table):
            if got != ("ok", table[p.value - first]):
                raise Mismatch(f"sample({p.value}) = {got!r}")
        else:
            expect_error(got, IndexError, "Pip outside non-looping recording")
    return label


# --- objects made without their constructor, pickling and copying -------------------------------

UNINITIALISED_CALLS = {
    "Offset3": [lambda o: o.x, lambda o: o.as_tuple()],
    "SampledPattern": [lambda o: o.name, lambda o: o.sample(0), lambda o: o.period_pips],
    "PatternLibrary": [lambda o: o.sample("bounce", 0), lambda o: o.catalogue()],
    "SampledRecording": [lambda o: o.name, lambda o: o.sample(0), lambda o: o.dimensions],
}


def call_uninitialised(rng, ref):
    class_name = rng.choice(list(UNINITIALISED_CALLS))
    cls = getattr(motiloom, class_name)
    obj = cls.__new__(cls)
    use = rng.choice(UNINITIALISED_CALLS[class_name])
    got = run(lambda: use(obj))
    message = f"motiloom.{class_name} instance is not initialised: its __init__ did not run"
    expect_error(got, TypeError, message)
    if rng.random() < 0.2:
        pattern = motiloom.SampledPattern
        got = run(lambda: motiloom.PatternLibrary([pattern.__new__(pattern)]))
        expect_error(
            got,
            TypeError,
            "motiloom.SampledPattern instance is not initialised: its __init__ did not run",
        )
    return "TypeError (not initialised)"


def some_object(rng, ref):
    return rng.choice(
        [
            lambda: motiloom.bounce(rng.randint(0, 63)),
            lambda: motiloom.SampledPattern("a", "", [[0.0, 0.5, 0.0]]),
            lambda: motiloom.PatternLibrary(),
            lambda: motiloom.SampledRecording("take", ["x"], [[0.25]], 120.0),
        ]
    )()


def call_pickle(rng, ref):
    obj = some_object(rng, ref)
    roll = rng.random()
    if roll < 0.7:
        protocol = rng.randint(0, pickle.HIGHEST_PROTOCOL)
        got = run(lambda: pickle.dumps(obj, protocol))
    else:
        got = run(lambda: (copy.copy if roll < 0.85 else copy.deepcopy)(obj))
    if got[0] != "error" or type(got[1]) is not TypeError or "cannot" not in str(got[1]):
        raise Mismatch(f"expected TypeError 'cannot ...', got {got!r}")
    return "TypeError (cannot pickle)"


ENTRIES = {
    "rudiment": (call_rudiment, 14),
    "sample": (call_sample, 14),
    "catalogue": (call_catalogue, 1),
    "Offset3": (call_offset3, 6),
    "SampledPattern": (call_sampled_pattern, 20),
    "PatternLibrary": (call_pattern_library, 12),
    "SampledRecording": (call_sampled_recording, 25),
    "uninitialised": (call_uninitialised, 4),
    "pickle": (call_pickle, 4),
}


def call_once(entry, rng, ref):
    """Makes one random call of the entry point and checks it; returns its outcome label."""
    return ENTRIES[entry][0](rng, ref)


# --- at and beyond every size limit ---------------------------------------------------------------

COUNT_ERROR = "A pattern requires 1..65535 samples (one per pip)"
SIZE_ERROR = "Empty recording or recording resource limit exceeded"


def limit_probes():
    """(label, call, expected) at and one past every size limit, with a fault of another kind
    mixed in where the order of the checks decides, and endless iterators: reading stops at the
    first element past a limit, so what follows it is never looked at. expected: None for
    success, else (type, message). Inputs are shared, so a round costs a few seconds."""
    row = [0.0, 0.5, 0.0]
    full = [row] * MAX_PATTERN_SAMPLES
    over = full + [row]
    bad_first = [[2.0, 0.0, 0.0]] + full
    small = [motiloom.SampledPattern(f"p{i}", "", [row]) for i in range(MAX_PATTERNS + 1)]
    big = [motiloom.SampledPattern(f"big{i}", "", full) for i in range(16)]
    rest = MAX_PACK_SAMPLES - 16 * MAX_PATTERN_SAMPLES
    fits = motiloom.SampledPattern("rest", "", [row] * rest)
    spills = motiloom.SampledPattern("rest", "", [row] * (rest + 1))
    four = [[0.25, -0.25, 1.0, -1.0]]
    axes4 = ["a", "b", "c", "d"]
    rows4 = four * (MAX_VALUES // 4)
    rows1 = [[0.5]] * MAX_VALUES

    def pattern(name, rows):
        return lambda: motiloom.SampledPattern(name, "", rows)

    def recording(name, axes, rows, start=0, bpm=120.0):
        return lambda: motiloom.SampledRecording(name, axes, rows, bpm, 0.0, start)

    def endless(item):  # made anew for every call: an iterator is used up by it
        return lambda: map(operator.itemgetter(0), itertools.repeat((item,)))

    def endless_call(cls, *before, source, after=()):
        return lambda: cls(*before, source(), *after)

    rows_forever = endless([0.5])
    tempo = 120.0
    return [
        (
            "pattern rows endless",
            endless_call(motiloom.SampledPattern, "wave", "", source=endless(row)),
            (ValueError, COUNT_ERROR),
        ),
        (
            "pattern rows endless, bad name",
            endless_call(motiloom.SampledPattern, "Wave", "", source=endless(row)),
            (ValueError, "Invalid pattern name"),
        ),
        (
            "pattern 65536 rows, then a refused one",
            pattern("wave", over + [None]),
            (ValueError, COUNT_ERROR),
        ),
        (
            "library 1025 of the largest pattern",
            lambda: motiloom.PatternLibrary(big[:1] * (MAX_PATTERNS + 1)),
            (ValueError, "Too many patterns"),
        ),
        (
            "library 1025, then a refused element",
            lambda: motiloom.PatternLibrary(small + [None]),
            (ValueError, "Too many patterns"),
        ),
        (
            "library endless",
            endless_call(motiloom.PatternLibrary, source=endless(big[0])),
            (ValueError, "Too many patterns"),
        ),
        (
            "recording rows endless",
            endless_call(
                motiloom.SampledRecording, "take", ["x"], source=rows_forever, after=(tempo,)
            ),
            (ValueError, SIZE_ERROR),
        ),
        (
            "recording rows endless, bad tempo",
            endless_call(
                motiloom.SampledRecording, "take", ["x"], source=rows_forever, after=(0.0,)
            ),
            (ValueError, "A finite positive BPM and beat origin are required"),
        ),
        (
            "recording rows endless past the last pip",
            endless_call(
                motiloom.SampledRecording,
                "take",
                ["x"],
                source=rows_forever,
                after=(tempo, 0.0, INT32_MAX - 3),
            ),
            (ValueError, SIZE_ERROR),
        ),
        (
            "recording axis names endless",
            lambda: motiloom.SampledRecording("take", endless("x")(), [[0.5]], tempo),
            (ValueError, SIZE_ERROR),
        ),
        (
            "recording one endless row",
            lambda: motiloom.SampledRecording("take", ["x"], [endless(0.5)()], tempo),
            (ValueError, "Ragged recording"),
        ),
        (
            "recording 2^23 + 1 rows, then a refused one",
            recording("take", ["x"], rows1 + [[0.5], None]),
            (ValueError, SIZE_ERROR),
        ),
        ("pattern 65535 rows", pattern("wave", full), None),
        ("pattern 65536 rows", pattern("wave", over), (ValueError, COUNT_ERROR)),
        ("pattern 65536 rows, bad value", pattern("wave", bad_first), (ValueError, COUNT_ERROR)),
        (
            "pattern 65536 rows, bad name",
            pattern("Wave", over),
            (ValueError, "Invalid pattern name"),
        ),
        ("pattern name 128", pattern("m" * 128, [row]), None),
        ("pattern name 129", pattern("m" * 129, [row]), (ValueError, "Invalid pattern name")),
        ("library 1024", lambda: motiloom.PatternLibrary(small[:MAX_PATTERNS]), None),
        (
            "library 1025",
            lambda: motiloom.PatternLibrary(small[:1] * (MAX_PATTERNS + 1)),
            (ValueError, "Too many patterns"),
        ),
        ("library 2^20 samples", lambda: motiloom.PatternLibrary(big + [fits]), None),
        (
            "library 2^20 + 1 samples",
            lambda: motiloom.PatternLibrary(big + [spills]),
            (ValueError, "Pattern pack is too large"),
        ),
        ("recording 2^23 values", recording("take", axes4, rows4), None),
        (
            "recording 2^23 + 4 values",
            recording("take", axes4, rows4 + four),
            (ValueError, SIZE_ERROR),
        ),
        (
            "recording 2^23 + 4 values, bad tempo",
            recording("take", axes4, rows4 + four, bpm=0.0),
            (ValueError, "A finite positive BPM and beat origin are required"),
        ),
        (
            "recording 2^23 + 1 values, ragged",
            recording("take", ["x"], rows1 + [[0.5, 0.5]]),
            (ValueError, SIZE_ERROR),
        ),
        ("recording last pip", recording("take", ["x"], rows1, INT32_MAX - MAX_VALUES), None),
        (
            "recording past the last pip",
            recording("take", ["x"], rows1, INT32_MAX - MAX_VALUES + 1),
            (ValueError, SIZE_ERROR),
        ),
        (
            "recording name 129",
            recording("m" * 129, ["x"], [[0.0]]),
            (ValueError, "Invalid identifier"),
        ),
    ]


def check_limit(call, expected):
    got = run(call)
    if expected is None:
        if got[0] != "ok":
            raise Mismatch(f"expected success, got {got!r}")
        return "ok"
    expect_error(got, *expected)
    return expected[0].__name__


def drive(calls, seed, limit_rounds=0, failures_kept=20):
    """Makes `calls` random calls; returns (Counter of (entry, outcome), mismatches)."""
    rng = random.Random(seed)
    ref = Builtins()
    entries = list(ENTRIES)
    weights = [weight for _, weight in ENTRIES.values()]
    counts = Counter()
    mismatches = []
    round_at = {calls * (k + 1) // (limit_rounds + 1) for k in range(limit_rounds)}
    for i in range(calls):
        if i in round_at:
            for label, call, expected in limit_probes():
                try:
                    counts[("limits", check_limit(call, expected))] += 1
                except Mismatch as error:
                    counts[("limits", "MISMATCH")] += 1
                    mismatches.append(f"limit probe {label}: {error}")
        entry = rng.choices(entries, weights)[0]
        try:
            counts[(entry, call_once(entry, rng, ref))] += 1
        except Mismatch as error:
            counts[(entry, "MISMATCH")] += 1
            if len(mismatches) < failures_kept:
                mismatches.append(f"call {i} ({entry}): {error}")
    return counts, mismatches
