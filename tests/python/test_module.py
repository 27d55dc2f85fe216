"""Host conventions of the module: attributes and their order, argument kinds, Offset3."""

import importlib
import subprocess
import sys

import motiloom
import pytest
from host_values import IndexOnly, IntOnly
from rudiment_reference import RUDIMENTS

REGISTERED = [
    "PIPS_PER_BEAT",
    "SampledRecording",
    "Offset3",
    "SampledPattern",
    "PatternLibrary",
    "sample",
    "catalogue",
    *RUDIMENTS,
]


def test_docstring_and_pips_per_beat():
    assert motiloom.__doc__ == "Integer-pip rhythmic position functions"
    assert motiloom.PIPS_PER_BEAT == 64 and type(motiloom.PIPS_PER_BEAT) is int


def test_registered_attributes_in_order():
    own = [name for name in vars(motiloom) if not name.startswith("__")]
    assert own == REGISTERED


def test_second_import_returns_the_registered_module():
    first = sys.modules.pop("motiloom")
    try:
        again = importlib.import_module("motiloom")
        assert [n for n in vars(again) if not n.startswith("__")] == REGISTERED
        # the classes were not registered a second time
        assert again.Offset3 is first.Offset3
        assert again.bounce(32).x == 1.0
    finally:
        sys.modules["motiloom"] = first


def test_import_in_a_fresh_interpreter_twice():
    code = (
        "import sys, motiloom\n"
        "del sys.modules['motiloom']\n"
        "import motiloom as m\n"
        "assert m.sample('helix', 64).x == -1.0 and len(m.catalogue()) >= 15\n"
    )
    subprocess.run([sys.executable, "-P", "-c", code], check=True)


@pytest.mark.parametrize("name", list(RUDIMENTS))
@pytest.mark.parametrize(
    "pip", [2**31, -(2**31) - 1, 1.0, 0.5, float("nan"), "1", None, b"\x01", [1], 1 + 0j]
)
def test_refused_pips_raise_type_error(name, pip):
    with pytest.raises(TypeError):
        getattr(motiloom, name)(pip)


@pytest.mark.parametrize("name", list(RUDIMENTS))
def test_accepted_pips(name):
    function = getattr(motiloom, name)
    assert function(True).as_tuple() == function(1).as_tuple()
    assert function(IndexOnly(37)).as_tuple() == function(37).as_tuple()
    assert function(2**31 - 1).as_tuple() == function((2**31 - 1) % RUDIMENTS[name][0]).as_tuple()
    function(-(2**31))


def test_rudiment_pip_is_positional_only():
    for keyword in ("pip", "pip_count", "arg0"):
        with pytest.raises(TypeError):
            motiloom.bounce(**{keyword: 37})
    with pytest.raises(TypeError):
        motiloom.bounce()
    with pytest.raises(TypeError):
        motiloom.bounce(1, 2)


def test_int_convertible_pip_accepted_only_where_conversion_is_allowed():
    # the rudiments and the module-level sample allow conversion through __int__
    assert motiloom.bounce(IntOnly(32)).x == motiloom.bounce(32).x
    assert motiloom.sample("bounce", IntOnly(32)).x == 1.0


class TestOffset3:
    def test_no_constructor(self):
        with pytest.raises(TypeError, match=r": No constructor defined!$"):
            motiloom.Offset3()

    def test_fields_and_tuple(self):
        o = motiloom.helix(32)
        assert (o.x, o.y, o.z) == o.as_tuple()
        assert type(o.as_tuple()) is tuple and all(type(c) is float for c in o.as_tuple())
        assert o.as_tuple() == (6.123233995736766e-17, 1.0, 0.7071067811865475)

    @pytest.mark.parametrize("field", ["x", "y", "z", "w"])
    def test_read_only_and_no_instance_dict(self, field):
        o = motiloom.bounce(0)
        with pytest.raises(AttributeError):
            setattr(o, field, 0.5)
        assert not hasattr(o, "__dict__")
        assert o.as_tuple() == (-1.0, 0.0, 0.0)

    def test_every_result_is_a_new_object_and_equality_is_identity(self):
        a, b = motiloom.bounce(5), motiloom.bounce(5)
        assert a is not b and a.as_tuple() == b.as_tuple()
        assert a != b and a == a


def test_pips_per_beat_may_be_rebound_without_effect():
    try:
        motiloom.PIPS_PER_BEAT = 96
        assert motiloom.bounce(32).x == 1.0 and motiloom.bounce(64).x == -1.0
    finally:
        motiloom.PIPS_PER_BEAT = 64
