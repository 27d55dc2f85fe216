"""Fact constructors: the stated properties that a family attaches to its patterns.

Each constructor returns a fact, a callable that takes the finished table (normalised and rounded
to 12 decimals) and raises CheckError naming the fact, the pip and the values when the property
does not hold. The checker runs every pattern's facts before anything is written.

Component arguments x, y, z are optional: a fact only speaks about the components it is given.
"""

from __future__ import annotations

from collections.abc import Callable, Sequence

from .model import CheckError, Fact, Table
from .shapes import cyclic_distance

AXES = "xyz"
ROUNDING_TOLERANCE = 1e-12  # the 12-decimal rounding moves a value by at most 5e-13


def _stated(x: float | None, y: float | None, z: float | None) -> list[tuple[int, float]]:
    stated = [(i, float(v)) for i, v in enumerate((x, y, z)) if v is not None]
    if not stated:
        raise ValueError("a fact needs at least one of x, y, z")
    return stated


def _entry(table: Table, pip: int, fact: str) -> tuple[float, float, float]:
    if not 0 <= pip < len(table):
        raise CheckError(f"{fact}: pip {pip} lies outside the table of {len(table)} entries")
    return table[pip]


def _axis_index(axis: str) -> int:
    if len(axis) != 1 or axis not in AXES:
        raise ValueError(f"an axis is one of 'x', 'y', 'z', got {axis!r}")
    return AXES.index(axis)


def _describe(values: Sequence[float]) -> str:
    return "(" + ", ".join(repr(v) for v in values) + ")"


def _padded(values: Sequence[float]) -> tuple[float, float, float]:
    values = tuple(float(v) for v in values)
    if not 1 <= len(values) <= 3:
        raise CheckError(f"a closed form returned {len(values)} components")
    return values + (0.0,) * (3 - len(values))  # type: ignore[return-value]


def _components_at(pip: int, stated: list[tuple[int, float]], name: str, tol: float) -> Fact:
    """The stated components at `pip` lie within `tol` of their values (tol 0: exactly equal)."""
    word = "stated" if tol == 0.0 else "stated about"

    def fact(table: Table) -> None:
        entry = _entry(table, pip, name)
        for axis, want in stated:
            if not abs(entry[axis] - want) <= tol:
                raise CheckError(
                    f"{name}: {AXES[axis]} at pip {pip} is {entry[axis]!r}, {word} {want!r}"
                )

    return fact


def value_at(
    pip: int, x: float | None = None, y: float | None = None, z: float | None = None
) -> Fact:
    """The named components at `pip` equal the given values exactly."""
    return _components_at(pip, _stated(x, y, z), f"value_at({pip})", 0.0)


def near(
    pip: int,
    x: float | None = None,
    y: float | None = None,
    z: float | None = None,
    tol: float = 0.01,
) -> Fact:
    """The named components at `pip` lie within `tol` of the given values."""
    return _components_at(pip, _stated(x, y, z), f"near({pip}, tol={tol})", tol)


def origin_at(pip: int) -> Fact:
    return value_at(pip, 0.0, 0.0, 0.0)


def four_figures(value: float) -> float:
    """A magnitude rounded to four significant figures, the precision of stated peaks."""
    return float(f"{value:.4g}")


def peaks(
    x: float | None = None, y: float | None = None, z: float | None = None, exact: str = ""
) -> Fact:
    """The largest |component| of each named axis over the table, to four significant figures.

    Axes listed in `exact` (e.g. "xy") must reach their stated peak exactly.
    """
    stated = _stated(x, y, z)
    if any(a not in AXES for a in exact):
        raise ValueError(f"exact names axes from 'xyz', got {exact!r}")
    named = {AXES[axis] for axis, _ in stated}
    if not set(exact) <= named:
        raise ValueError(f"exact peaks {exact!r} must be among the stated axes {sorted(named)}")

    def fact(table: Table) -> None:
        for axis, want in stated:
            largest = max(abs(entry[axis]) for entry in table)
            where = max(range(len(table)), key=lambda k: abs(table[k][axis]))
            letter = AXES[axis]
            if letter in exact:
                if largest != want:
                    raise CheckError(
                        f"peaks: largest |{letter}| is {largest!r} at pip {where}, "
                        f"stated exactly {want!r}"
                    )
            elif four_figures(largest) != four_figures(want):
                raise CheckError(
                    f"peaks: largest |{letter}| is {largest!r} at pip {where}, "
                    f"stated {want!r} to four figures"
                )

    return fact


def formula(
    fn: Callable[[int], Sequence[float]], tol: float = ROUNDING_TOLERANCE, label: str = "formula"
) -> Fact:
    """Every entry equals the closed form fn(k) (1 to 3 components, the rest 0) within `tol`.

    fn is the formula written out on its own, never the curve that baked the table: a table
    compared with its own curve cannot fail. `label` names the formula in the error.
    """

    def fact(table: Table) -> None:
        for k, entry in enumerate(table):
            want = _padded(fn(k))
            for axis in range(3):
                off = abs(entry[axis] - want[axis])
                if not off <= tol:
                    raise CheckError(
                        f"{label}: {AXES[axis]} at pip {k} is {entry[axis]!r}, "
                        f"the closed form gives {want[axis]!r} "
                        f"(off by {off:.3g}, allowed {tol:.3g})"
                    )

    return fact


def constant_over(start: int, end: int, value) -> Fact:
    """Every entry from pip `start` to pip `end`, both included, holds `value` exactly.

    A scalar value speaks about x; a sequence about the leading components it lists, where None
    leaves a component unstated.
    """
    if start > end:
        raise ValueError(f"constant_over needs start <= end, got {start} > {end}")
    values = [value] if isinstance(value, (int, float)) else list(value)
    stated = [(axis, float(v)) for axis, v in enumerate(values) if v is not None]
    if not stated or len(values) > 3:
        raise ValueError(f"constant_over needs one to three components, got {value!r}")
    name = f"constant_over({start}..{end})"

    def fact(table: Table) -> None:
        for k in range(start, end + 1):
            entry = _entry(table, k, name)
            for axis, want in stated:
                if entry[axis] != want:
                    raise CheckError(
                        f"{name}: {AXES[axis]} at pip {k} is {entry[axis]!r}, stated {want!r}"
                    )

    return fact


def zero_except_near(centres: Sequence, half_width: float | None = None) -> Fact:
    """Every entry that no pulse reaches is exactly the origin: the silence between onsets.

    `centres` lists pulse centres (pips, fractional allowed) sharing `half_width`, or
    (centre, half_width) pairs when the widths differ. A pulse reaches the pips closer than its
    half-width, measured around the loop.
    """
    pulses = []
    for c in centres:
        if isinstance(c, (int, float)):
            if half_width is None:
                raise ValueError("zero_except_near needs a half_width for bare centres")
            pulses.append((float(c), float(half_width)))
        else:
            pulses.append((float(c[0]), float(c[1])))

    def fact(table: Table) -> None:
        period = len(table)
        for k, entry in enumerate(table):
            if all(abs(cyclic_distance(k, c, period)) >= w for c, w in pulses):
                if entry != (0.0, 0.0, 0.0):
                    raise CheckError(
                        f"zero_except_near: pip {k} lies outside every pulse "
                        f"but is {_describe(entry)}"
                    )

    return fact


def extremum_at(pip: int, axis: str, kind: str) -> Fact:
    """The named axis has a local maximum (kind "max") or minimum ("min") at `pip`, comparing
    with both neighbours around the loop."""
    if kind not in ("max", "min"):
        raise ValueError(f"extremum_at needs kind 'max' or 'min', got {kind!r}")
    index = _axis_index(axis)
    name = f"extremum_at({pip}, {axis}, {kind})"

    def fact(table: Table) -> None:
        here = _entry(table, pip, name)[index]
        left, right = (pip - 1) % len(table), (pip + 1) % len(table)
        before, after = table[left][index], table[right][index]
        ok = here > before and here >= after if kind == "max" else here < before and here <= after
        if not ok:
            raise CheckError(
                f"{name}: {axis} is {before!r}, {here!r}, {after!r} at pips {left}, {pip}, {right}"
            )

    return fact


def largest_at(pip: int, axis: str) -> Fact:
    """The largest |value| of the axis over the whole table is reached at `pip` and nowhere else."""
    index = _axis_index(axis)
    name = f"largest_at({pip}, {axis})"

    def fact(table: Table) -> None:
        here = abs(_entry(table, pip, name)[index])
        for k, entry in enumerate(table):
            if k != pip and abs(entry[index]) >= here:
                raise CheckError(
                    f"{name}: |{axis}| at pip {k} is {abs(entry[index])!r}, "
                    f"not below {here!r} at pip {pip}"
                )

    return fact


def monotone_over(start: int, end: int, axis: str, rising: bool) -> Fact:
    """The axis never moves against the stated direction from pip `start` to pip `end`."""
    index = _axis_index(axis)
    name = f"monotone_over({start}..{end}, {axis}, {'rising' if rising else 'falling'})"

    def fact(table: Table) -> None:
        period = len(table)
        for k in range(start, end):
            a, b = table[k % period][index], table[(k + 1) % period][index]
            if (b < a) if rising else (b > a):
                raise CheckError(
                    f"{name}: {axis} moves from {a!r} at pip {k} to {b!r} at pip {k + 1}"
                )

    return fact


def _largest(table: Table, axis: int) -> float:
    return max(abs(entry[axis]) for entry in table)


def peak_within(low: float, high: float) -> Fact:
    """The table's largest |component| lies in [low, high]."""
    if not 0.0 <= low <= high:
        raise ValueError(f"peak_within needs 0 <= low <= high, got {low}, {high}")
    name = f"peak_within({low}, {high})"

    def fact(table: Table) -> None:
        peak = max(_largest(table, axis) for axis in range(3))
        if not low <= peak <= high:
            raise CheckError(f"{name}: the largest |component| is {peak!r}")

    return fact


def main_axes(axes: str) -> Fact:
    """Each named axis reaches at least as far (largest |value|) as every axis not named."""
    named = sorted({_axis_index(a) for a in axes})
    if not named or len(axes) != len(named):
        raise ValueError(f"main_axes needs distinct axes from 'xyz', got {axes!r}")
    others = [i for i in range(3) if i not in named]
    name = f"main_axes({axes!r})"

    def fact(table: Table) -> None:
        for main in named:
            for other in others:
                if _largest(table, main) < _largest(table, other):
                    raise CheckError(
                        f"{name}: largest |{AXES[main]}| is {_largest(table, main)!r}, below "
                        f"|{AXES[other]}| of {_largest(table, other)!r}"
                    )

    return fact


def holds(table: Table) -> list[tuple[int, int, tuple[float, float, float]]]:
    """(first pip, entries, entry) of every run of two or more identical entries: the genuine
    rests of a table, for facts about dwells and holds."""
    found, start = [], 0
    for k in range(1, len(table) + 1):
        if k == len(table) or table[k] != table[start]:
            if k - start > 1:
                found.append((start, k - start, table[start]))
            start = k
    return found
