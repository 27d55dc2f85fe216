"""Turns a Pattern into its stored table: evaluate, normalise to a peak, round to 12 places."""

from __future__ import annotations

import math

from .model import CheckError, Pattern, Table, Vec3
from .shapes import largest_magnitude

DECIMALS = 12


def _vec3(values) -> Vec3:
    comps = [float(v) for v in values]
    if not 1 <= len(comps) <= 3:
        raise CheckError(f"curve returned {len(comps)} components")
    return tuple(comps + [0.0] * (3 - len(comps)))  # type: ignore[return-value]


def store(v: float) -> float:
    """The stored form of one component: rounded to 12 places, never -0.0."""
    return round(v, DECIMALS) + 0.0


def normalising_factor(pattern: Pattern) -> float:
    """One factor for all axes, so that the largest |component| on the search grid is the peak."""
    largest = largest_magnitude(pattern.curve, pattern.period, pattern.peak_grid)
    if not largest > 0.0 or not math.isfinite(largest):
        raise CheckError(f"{pattern.name}: cannot normalise a curve whose peak is {largest}")
    return pattern.peak / largest


def bake(pattern: Pattern) -> Table:
    factor = normalising_factor(pattern) if pattern.peak is not None else 1.0
    table: Table = []
    for k in range(pattern.period):
        x, y, z = _vec3(pattern.curve(k))
        table.append((store(x * factor), store(y * factor), store(z * factor)))
    return table
