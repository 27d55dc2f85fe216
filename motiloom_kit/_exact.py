"""Exact numbers for time and phase: every tempo, time, rate and phase becomes a Fraction.

A float is read as the shortest decimal that prints as it (0.1 is one tenth, 174.3 is 1743/10),
because that is the number its writer meant; its binary value would put frame and beat boundaries
a hair off and floor them onto the wrong pip.

Decimal text and Decimals are bounded: at most MAX_DIGITS digits and a power of ten within
MAX_DIGITS either way. "1e999999999" as a Fraction is a billion-digit integer that takes hours to
make; no tempo, time, rate or phase comes near the bound.
"""

from __future__ import annotations

import math
import numbers
import operator
import re
from decimal import Decimal
from fractions import Fraction
from typing import Any, TypeAlias

import numpy as np

Real: TypeAlias = int | float | Fraction | Decimal | np.integer[Any] | np.floating[Any]

MAX_DIGITS = 1000
# The power of ten at the end of decimal text, as Fraction reads it ("1.5e3", "2E-4", "1_0e1_0").
_EXPONENT = re.compile(r"[eE]([-+]?)([0-9]+(?:_[0-9]+)*)\s*\Z")


def _shown(value: object) -> str:
    """`value`'s repr for an error message, cut short when it is long."""
    text = repr(value)
    return text if len(text) <= 60 else text[:57] + "..."


def _too_big(what: str, value: object) -> ValueError:
    return ValueError(
        f"{what} must have at most {MAX_DIGITS} digits and a power of ten within "
        f"10**±{MAX_DIGITS}, got {_shown(value)}"
    )


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
            raise ValueError(f"{what} must be finite, got {_shown(value)}")
        _sign, digits, exponent = value.as_tuple()
        assert isinstance(exponent, int)  # finite
        if len(digits) > MAX_DIGITS or abs(exponent) > MAX_DIGITS:
            raise _too_big(what, value)
        return Fraction(value)
    if isinstance(value, str):
        text = value.strip()
        power = _EXPONENT.search(text)
        if power is not None:
            figures = power.group(2).replace("_", "").lstrip("0")
            if len(figures) > len(str(MAX_DIGITS)) or int(figures or "0") > MAX_DIGITS:
                raise _too_big(what, value)
        try:
            return Fraction(text)
        except ZeroDivisionError:
            raise ValueError(f"{what} divides by zero: {_shown(value)}") from None
        except ValueError:
            raise ValueError(
                f"{what} must be a number such as 3/2 or 1.5, got {_shown(value)}"
            ) from None
    if isinstance(value, numbers.Rational):
        return Fraction(value.numerator, value.denominator)
    raise TypeError(f"{what} must be a number, not {type(value).__name__}")


def positive(value: Real | str, what: str) -> Fraction:
    """`value` as an exact Fraction that must be above zero."""
    number = exact(value, what)
    if number <= 0:
        raise ValueError(f"{what} must be above zero, got {number}")
    return number
