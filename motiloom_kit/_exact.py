"""Exact numbers for time and phase: every tempo, time, rate and phase becomes a Fraction.

A float is read as the shortest decimal that prints as it (0.1 is one tenth, 174.3 is 1743/10),
because that is the number its writer meant; its binary value would put frame and beat boundaries
a hair off and floor them onto the wrong pip.
"""

from __future__ import annotations

import math
import numbers
import operator
from decimal import Decimal
from fractions import Fraction
from typing import Any, TypeAlias

import numpy as np

Real: TypeAlias = int | float | Fraction | Decimal | np.integer[Any] | np.floating[Any]


def exact(value: Real | str, what: str) -> Fraction:
    """`value` as an exact Fraction; `what` names it in errors. Strings such as "3/2" and "1.5"
    are read as written. Booleans, NaN and infinities are refused."""
    if isinstance(value, bool) or isinstance(value, np.bool_):
        raise TypeError(f"{what} must be a number, not a boolean")
    if isinstance(value, Fraction | int):
        return Fraction(value)
    if isinstance(value, np.integer):
        return Fraction(operator.index(value))
    if isinstance(value, float | np.floating):
        number = float(value)
        if not math.isfinite(number):
            raise ValueError(f"{what} must be finite, got {number!r}")
        return Fraction(float.__repr__(number))
    if isinstance(value, Decimal):
        if not value.is_finite():
            raise ValueError(f"{what} must be finite, got {value}")
        return Fraction(value)
    if isinstance(value, str):
        try:
            return Fraction(value.strip())
        except ValueError:
            raise ValueError(f"{what} must be a number such as 3/2 or 1.5, got {value!r}") from None
    if isinstance(value, numbers.Rational):
        return Fraction(value.numerator, value.denominator)
    raise TypeError(f"{what} must be a number, not {type(value).__name__}")


def positive(value: Real | str, what: str) -> Fraction:
    """`value` as an exact Fraction that must be above zero."""
    number = exact(value, what)
    if number <= 0:
        raise ValueError(f"{what} must be above zero, got {number}")
    return number
