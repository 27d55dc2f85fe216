"""Inputs that once stopped the interpreter: objects made without their constructor, pickling with
protocols 0 and 1, calls of pybind11's common base class, and an import in a sub-interpreter.

Each case runs in a child interpreter that must exit normally, so a regression (a crash, an abort
or a hang) fails its test instead of taking the test run down with it.
"""

import pickle
import subprocess
import sys
import textwrap

import pytest

CHILD_TIME_LIMIT = 120  # seconds; only a hang comes near it


def run_child(code):
    try:
        done = subprocess.run(
            [sys.executable, "-P", "-c", textwrap.dedent(code)],
            capture_output=True,
            text=True,
            timeout=CHILD_TIME_LIMIT,
        )
    except subprocess.TimeoutExpired:
        pytest.fail("the child interpreter hung")
    assert done.returncode == 0, f"child exited with {done.returncode}:\n{done.stderr}"
    return done.stdout


UNINITIALISED_USES = {
    "Offset3": ["o.x", "o.y", "o.z", "o.as_tuple()"],
    "SampledPattern": ["o.name", "o.description", "o.period_pips", "o.sample(0)"],
    "PatternLibrary": ["o.sample('bounce', 0)", "o.catalogue()"],
    "SampledRecording": [
        "o.name",
        "o.dimensions",
        "o.sample_count",
        "o.bpm",
        "o.beat_zero_seconds",
        "o.start_pip",
        "o.sample(0)",
    ],
}


@pytest.mark.parametrize(
    "class_name, use",
    [(c, u) for c, uses in UNINITIALISED_USES.items() for u in uses],
)
def test_member_of_an_object_made_without_its_constructor_raises(class_name, use):
    out = run_child(
        f"""
        import motiloom
        cls = motiloom.{class_name}
        o = cls.__new__(cls)
        for attempt in range(2):  # the object stays unusable, and nothing is left half-made
            try:
                {use}
            except TypeError as error:
                print(error)
            else:
                raise SystemExit("no error")
        del o
        print(motiloom.bounce(32).x)
        """
    )
    expected = f"motiloom.{class_name} instance is not initialised: its __init__ did not run"
    assert out.splitlines() == [expected, expected, "1.0"]


def test_an_unconstructed_pattern_is_refused_by_a_library():
    out = run_child(
        """
        import motiloom
        good = motiloom.SampledPattern("wave", "", [[0.5, 0.0, 0.0]])
        bare = motiloom.SampledPattern.__new__(motiloom.SampledPattern)
        try:
            motiloom.PatternLibrary([good, bare])
        except TypeError as error:
            print(error)
        print(motiloom.PatternLibrary([good]).sample("wave", 3).x)
        """
    )
    assert out.splitlines() == [
        "motiloom.SampledPattern instance is not initialised: its __init__ did not run",
        "0.5",
    ]


SUBCLASS_ROUTES = {
    # A subclass that uses the instance before the bound __init__ has run.
    "used before __init__": (
        """
        class Early(motiloom.PatternLibrary):
            def __init__(self):
                self.sample("bounce", 0)
        Early()
        """,
        "TypeError motiloom.PatternLibrary instance is not initialised: its __init__ did not run",
    ),
    # A subclass that keeps the instance and never calls __init__: pybind11 refuses the
    # instance, but the kept reference survives and must stay harmless.
    "kept without __init__": (
        """
        kept = []
        class Keeper(motiloom.SampledRecording):
            def __init__(self):
                kept.append(self)
        try:
            Keeper()
        except TypeError:
            pass
        kept[0].sample(0)
        """,
        "TypeError motiloom.SampledRecording instance is not initialised: its __init__ did not run",
    ),
    "subclass __new__ called directly": (
        """
        class Tagged(motiloom.SampledPattern):
            pass
        Tagged.__new__(Tagged).sample(0)
        """,
        "TypeError motiloom.SampledPattern instance is not initialised: its __init__ did not run",
    ),
}


@pytest.mark.parametrize("route", list(SUBCLASS_ROUTES))
def test_subclass_routes_to_an_unconstructed_object_raise(route):
    body, expected = SUBCLASS_ROUTES[route]
    out = run_child(
        "import motiloom\ntry:\n"
        + textwrap.indent(textwrap.dedent(body), "    ")
        + "\nexcept Exception as error:\n    print(type(error).__name__, error)\n"
    )
    assert out.strip() == expected


def test_subclasses_with_their_own_new_and_init_still_work():
    out = run_child(
        """
        import motiloom

        class Named(motiloom.SampledPattern):
            def __new__(cls, *args, **kwargs):
                return super().__new__(cls)

            def __init__(self, name):
                super().__init__(name, "", [[0.25, 0.0, 0.0]])

        p = Named("wave")
        print(type(p).__name__, p.name, p.sample(7).x)
        """
    )
    assert out.split() == ["Named", "wave", "0.25"]


OBJECTS = {
    "Offset3": "motiloom.bounce(32)",
    "SampledPattern": "motiloom.SampledPattern('wave', '', [[0.5, 0.0, 0.0]])",
    "PatternLibrary": "motiloom.PatternLibrary()",
    "SampledRecording": "motiloom.SampledRecording('take', ['x'], [[0.5]], 120.0)",
}


@pytest.mark.parametrize("class_name", list(OBJECTS))
def test_pickling_and_copying_raise_type_error_at_every_protocol(class_name):
    out = run_child(
        f"""
        import copy, pickle, motiloom
        obj = {OBJECTS[class_name]}
        attempts = [lambda p=p: pickle.dumps(obj, p) for p in range(pickle.HIGHEST_PROTOCOL + 1)]
        for attempt in attempts + [lambda: copy.copy(obj), lambda: copy.deepcopy(obj)]:
            try:
                attempt()
            except TypeError as error:
                print("cannot" in str(error))
            else:
                print("pickled")
        """
    )
    assert out.split() == ["True"] * (pickle.HIGHEST_PROTOCOL + 3)


BASE_CALLS = [
    "base()",
    "base.__new__(base)",
    "motiloom.Offset3.__new__(base)",
    "type('Bare', (base,), {})()",
    "type('Bare', (base,), {}).__new__(type('Bare', (base,), {}))",
]


@pytest.mark.parametrize("call", BASE_CALLS)
def test_instances_of_the_common_base_are_refused(call):
    out = run_child(
        f"""
        import motiloom
        base = motiloom.Offset3.__base__
        try:
            {call}
        except TypeError as error:
            print(error)
        print(motiloom.PatternLibrary().sample("bounce", 32).x)
        """
    )
    lines = out.splitlines()
    assert lines[0].startswith("cannot create '") and "instances" in lines[0]
    assert lines[1] == "1.0"


SUBINTERPRETER_IMPORT = """
import _xxsubinterpreters as interpreters
{before}
sub = interpreters.create()
try:
    interpreters.run_string(sub, "import motiloom")
except interpreters.RunFailedError as error:
    print(error)
interpreters.run_string(sub, "import math; assert math.sqrt(4.0) == 2.0")
interpreters.destroy(sub)
import motiloom
print(motiloom.sample("bounce", 32).x)
"""


@pytest.mark.parametrize("main_first", [False, True], ids=["sub-first", "main-first"])
def test_import_in_a_sub_interpreter_raises_import_error(main_first):
    out = run_child(SUBINTERPRETER_IMPORT.format(before="import motiloom" if main_first else ""))
    assert out.splitlines() == [
        "<class 'ImportError'>: module motiloom does not support loading in subinterpreters",
        "1.0",
    ]
