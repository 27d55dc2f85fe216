"""The fifteen procedural rudiments: worked values bit for bit, and every pip against an
independent transcription of their formulas."""

import math

import motiloom
import pytest
from rudiment_reference import RUDIMENTS

INT_MIN, INT_MAX = -(2**31), 2**31 - 1

WORKED = [
    ("bounce", 0, (-1.0, 0.0, 0.0)),
    ("bounce", 8, (-0.5, 0.0, 0.0)),
    ("bounce", 16, (0.0, 0.0, 0.0)),
    ("bounce", 32, (1.0, 0.0, 0.0)),
    ("bounce", 63, (-0.9375, 0.0, 0.0)),
    ("bounce", -1, (-0.9375, 0.0, 0.0)),
    ("bounce", 64, (-1.0, 0.0, 0.0)),
    ("sway", 16, (0.7071067811865475, 0.0, 0.0)),
    ("sway", 32, (1.0, 0.0, 0.0)),
    ("sway", 64, (1.2246467991473532e-16, 0.0, 0.0)),
    ("sway", -32, (-1.0, 0.0, 0.0)),
    ("circle", 0, (6.123233995736766e-17, -1.0, 0.0)),
    ("circle", 8, (0.7071067811865476, -0.7071067811865475, 0.0)),
    ("circle", 16, (1.0, 0.0, 0.0)),
    ("circle", -16, (-1.0, 1.2246467991473532e-16, 0.0)),
    ("figure_eight", 0, (0.0, 0.0, 0.0)),
    ("figure_eight", 16, (0.7071067811865475, 1.0, 0.0)),
    ("figure_eight", 32, (1.0, 1.2246467991473532e-16, 0.0)),
    ("step_touch", 0, (-1.0, -0.0, 0.0)),
    ("step_touch", 8, (-0.84375, -0.2474873734152916, 0.0)),
    ("step_touch", 16, (-0.5, -0.35, 0.0)),
    ("step_touch", 31, (-0.00286865234375, -0.034305999115346285, 0.0)),
    ("step_touch", 64, (1.0, -0.0, 0.0)),
    ("step_touch", -1, (-0.99713134765625, -0.034305999115346285, 0.0)),
    ("box_step", 0, (-1.0, -1.0, 0.0)),
    ("box_step", 16, (-0.6875, -1.0, 0.0)),
    ("box_step", 32, (0.0, -1.0, 0.0)),
    ("box_step", 96, (1.0, 0.0, 0.0)),
    ("box_step", 192, (-1.0, 1.0, 0.0)),
    ("box_step", -1, (-1.0, -0.9985504150390625, 0.0)),
    ("helix", 0, (1.0, 0.0, 0.0)),
    ("helix", 32, (6.123233995736766e-17, 1.0, 0.7071067811865475)),
    ("helix", 64, (-1.0, 1.2246467991473532e-16, 1.0)),
    ("helix", 192, (-1.0, 3.6739403974420594e-16, -1.0)),
    ("vorn_background", 0, (0.0, 0.0, 0.0)),
    ("vorn_background", 10, (0.05753267033779897, -0.040272869236459286, 0.0)),
    ("vorn_background", 23, (0.14285714285714285, -0.1, 0.0)),
    ("vorn_background", 24, (0.16485714285714287, -0.11960000000000001, 0.0)),
    ("vorn_background", 100, (-1.0, 0.8999999999999999, 0.0)),
    ("vorn_background", 200, (0.09434870887130364, 0.18743622448979597, 0.0)),
    ("vorn_background", -1, (-0.0036088172182846823, -0.005052344105598516, 0.0)),
    ("vorn_background", 255, (-0.0036088172182846823, -0.005052344105598516, 0.0)),
    ("single_stroke_roll", 0, (0.0, 0.0, 0.0)),
    ("single_stroke_roll", 8, (0.0, 0.0, 0.0)),
    ("single_stroke_roll", 2, (0.4599999999999999, -0.33119999999999994, 0.0)),
    ("single_stroke_roll", 4, (0.92, -0.6624, 0.0)),
    ("single_stroke_roll", 12, (-0.92, -0.6624, 0.0)),
    ("single_stroke_roll", 63, (-0.13473088065418823, -0.09700623407101552, 0.0)),
    ("single_stroke_roll", -4, (-0.92, -0.6624, 0.0)),
    ("double_stroke_roll", 4, (0.88, -0.6335999999999999, 0.0)),
    ("double_stroke_roll", 12, (0.72, -0.5184, 0.0)),
    ("double_stroke_roll", 20, (-0.88, -0.6335999999999999, 0.0)),
    ("multiple_bounce_roll", 3, (0.92, -0.6624, 0.0)),
    ("multiple_bounce_roll", 9, (0.68, -0.48960000000000004, 0.0)),
    ("multiple_bounce_roll", 21, (0.32, -0.2304, 0.0)),
    ("multiple_bounce_roll", 24, (0.0, 0.0, 0.0)),
    ("multiple_bounce_roll", 35, (-0.92, -0.6624, 0.0)),
    ("single_paradiddle", 4, (1.0, -0.72, 0.0)),
    ("single_paradiddle", 12, (-0.72, -0.5184, 0.0)),
    ("single_paradiddle", 36, (-1.0, -0.72, 0.0)),
    ("single_paradiddle", 100, (-1.0, -0.72, 0.0)),
    ("single_paradiddle", -4, (-0.72, -0.5184, 0.0)),
    ("flam", 0, (0.0, 0.0, 0.0)),
    ("flam", 32, (0.0, 0.0, 0.0)),
    ("flam", 5, (-0.34, -0.24480000000000002, 0.0)),
    ("flam", 7, (-0.053103299880171206, -0.2822129843092639, 0.0)),
    ("flam", 12, (0.9, -0.648, 0.0)),
    ("flam", 39, (0.053103299880171206, -0.2822129843092639, 0.0)),
    ("drag", 4, (-0.28, -0.2016, 0.0)),
    ("drag", 7, (-0.20100505063388335, -0.14472363645639602, 0.0)),
    ("drag", 14, (0.5379092109407784, -0.3872946318773604, 0.0)),
    ("drag", 17, (0.88, -0.6335999999999999, 0.0)),
    ("five_stroke_roll", 8, (0.08422400047716798, -0.06064128034356094, 0.0)),
    ("five_stroke_roll", 43, (1.0, -0.72, 0.0)),
    ("five_stroke_roll", 50, (0.0, 0.0, 0.0)),
    ("five_stroke_roll", 107, (-1.0, -0.72, 0.0)),
    ("five_stroke_roll", -21, (-1.0, -0.72, 0.0)),
]


def bits(values):
    """Values with the sign of zero made visible, so 0.0 and -0.0 compare unequal."""
    return tuple((v, math.copysign(1.0, v)) for v in values)


@pytest.mark.parametrize(("name", "pip", "expected"), WORKED)
def test_worked_values_bit_for_bit(name, pip, expected):
    got = getattr(motiloom, name)(pip).as_tuple()
    assert bits(got) == bits(expected)
    assert bits(motiloom.sample(name, pip).as_tuple()) == bits(expected)


def _pips(period):
    # two whole periods either side of zero, and the ends of the 32-bit range
    edges = [INT_MIN + i for i in range(2 * period)] + [INT_MAX - i for i in range(2 * period)]
    return list(range(-2 * period, 2 * period)) + edges


@pytest.mark.parametrize("name", list(RUDIMENTS))
def test_every_pip_matches_independent_computation(name):
    period, _, _, reference = RUDIMENTS[name]
    function = getattr(motiloom, name)
    for pip in _pips(period):
        assert bits(function(pip).as_tuple()) == bits(reference(pip)), (name, pip)


@pytest.mark.parametrize("name", list(RUDIMENTS))
def test_periodic_and_within_bounds(name):
    period, dimensions, _, _ = RUDIMENTS[name]
    function = getattr(motiloom, name)
    for pip in range(period):
        value = function(pip).as_tuple()
        assert value == function(pip + period).as_tuple() == function(pip - period).as_tuple()
        assert all(-1.0 <= c <= 1.0 for c in value)
        # components beyond the used ones are exactly +0.0
        assert bits(value[dimensions:]) == bits((0.0,) * (3 - dimensions))
    assert function(INT_MAX).as_tuple() == function(INT_MAX % period).as_tuple()


@pytest.mark.parametrize(
    "name", [n for n in RUDIMENTS if n.endswith(("roll", "paradiddle", "flam", "drag"))]
)
def test_stroke_rudiments_never_give_negative_zero(name):
    period = RUDIMENTS[name][0]
    for pip in range(period):
        for c in getattr(motiloom, name)(pip).as_tuple():
            assert math.copysign(1.0, c) == 1.0 or c != 0.0, (name, pip)
