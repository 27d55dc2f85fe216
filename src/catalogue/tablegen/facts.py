"""Fact constructors: the stated properties that a family attaches to its patterns.

Each constructor returns a fact, a callable that takes the finished table (normalised and rounded
to 12 decimals) and raises CheckError naming the fact, the pip and the values when the property
does not hold. The checker runs every pattern's facts before anything is written.

Component arguments x, y, z are optional: a fact only speaks about the components it is given.

The first facts state values at pips and over spans; the later ones describe the shape of a path
as a whole (its holds and rests, how it turns about the centre, its spectrum, a tour of vertices,
a scan of rows), so that a family module states them instead of writing its own checks.
"""

from __future__ import annotations

import cmath
import math
from collections.abc import Callable, Sequence

from .model import CheckError, Fact, Table
from .shapes import cyclic_distance

AXES = "xyz"
ORIGIN = (0.0, 0.0, 0.0)
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


def _places(stated: str) -> int:
    """How many decimals a stated figure such as "-0.739" gives."""
    return len(stated.split(".")[1])


# --- the shape of a path as a whole ------------------------------------------------------------


def still_over(start: int, end: int, axes: str = "xy") -> Fact:
    """The named components hold one value, whatever it is, from pip `start` to pip `end`, both
    included (constant_over states the value as well)."""
    indices = [_axis_index(a) for a in axes]
    name = f"still_over({start}..{end}, {axes})"

    def fact(table: Table) -> None:
        first = _entry(table, start, name)
        for k in range(start, end + 1):
            entry = _entry(table, k, name)
            if any(entry[i] != first[i] for i in indices):
                raise CheckError(f"{name}: pip {k} is {entry}, pip {start} {first}")

    return fact


def hold(start: int, entries: int) -> Fact:
    """One of the holds is exactly the run of `entries` identical entries from pip `start`."""

    def fact(table: Table) -> None:
        if not any(run[:2] == (start, entries) for run in holds(table)):
            raise CheckError(f"hold({start}, {entries}): no such run of identical entries")

    return fact


def rest(start: int, entries: int) -> Fact:
    """Entries start .. start + entries - 1 are exactly the origin; the entries either side are
    not."""

    def fact(table: Table) -> None:
        end = start + entries - 1
        inside = all(table[k] == ORIGIN for k in range(start, end + 1))
        if not inside or table[start - 1] == ORIGIN or table[(end + 1) % len(table)] == ORIGIN:
            raise CheckError(f"rest({start}, {entries}): not a rest of exactly {entries} entries")

    return fact


def separated_packets(count: int) -> Fact:
    """Going round the loop, the table alternates `count` times between a packet (entries off
    the origin) and a rest (entries exactly at the origin)."""

    def fact(table: Table) -> None:
        still = [entry == ORIGIN for entry in table]
        starts = sum(1 for k in range(len(table)) if still[k - 1] and not still[k])
        if starts != count:
            raise CheckError(f"separated_packets: {starts} packets between rests, not {count}")

    return fact


def half_turn(sign: int) -> Fact:
    """x half a loop later is sign * x, at every pip (to within the 12-decimal rounding)."""

    def fact(table: Table) -> None:
        half = len(table) // 2
        for k in range(half):
            here, later = table[k][0], table[k + half][0]
            if not abs(later - sign * here) <= ROUNDING_TOLERANCE:
                raise CheckError(
                    f"half_turn({sign:+d}): x is {here!r} at pip {k} and {later!r} at pip "
                    f"{k + half}"
                )

    return fact


def retraced_after(shift: int) -> Fact:
    """Pip k + shift is at the same place as pip k (within the rounding): one loop is the same
    figure drawn twice."""

    def fact(table: Table) -> None:
        for k in range(len(table) - shift):
            a, b = table[k], table[k + shift]
            if math.dist(a, b) > 1e-12:
                raise CheckError(f"retraced_after({shift}): pip {k} is {a}, pip {k + shift} {b}")

    return fact


def returns_quicker(axis: str) -> Fact:
    """The axis climbs steadily from its lowest to its highest value (the advance) and falls
    steadily back (the return), and the return takes fewer pips than the advance."""
    index = _axis_index(axis)

    def fact(table: Table) -> None:
        values = [entry[index] for entry in table]
        period = len(values)
        low, high = values.index(min(values)), values.index(max(values))
        advance, back = (high - low) % period, (low - high) % period
        for start, length, sign in ((low, advance, 1), (high, back, -1)):
            for i in range(length):
                a, b = values[(start + i) % period], values[(start + i + 1) % period]
                if sign * (b - a) <= 0.0:
                    raise CheckError(f"returns_quicker: {axis} turns back at pip {start + i}")
        if not back < advance:
            raise CheckError(f"returns_quicker: return {back} pips, advance {advance}")

    return fact


def lifts(count: int, share: float) -> Fact:
    """y has exactly `count` crests that stand out by at least `share` of y's whole range: from
    each crest y falls by that much on both sides before it climbs above the crest again."""

    def fact(table: Table) -> None:
        y = [entry[1] for entry in table]
        lowest = y.index(min(y))
        ring = y[lowest:] + y[:lowest] + [y[lowest]]  # from the lowest point round to it again
        least = share * (max(y) - min(y))

        def dip(i: int, step: int) -> float:
            j, low = i, ring[i]
            while 0 <= j < len(ring) and ring[j] <= ring[i]:
                low = min(low, ring[j])
                j += step
            return ring[i] - low

        crests = sum(
            1
            for i in range(1, len(ring) - 1)
            if ring[i - 1] < ring[i] >= ring[i + 1] and min(dip(i, -1), dip(i, 1)) >= least
        )
        if crests != count:
            raise CheckError(f"lifts: {crests} lifts standing out by {share} of the range")

    return fact


def mean_of(axis: str, stated: str) -> Fact:
    """The axis' mean over the loop, to as many decimals as `stated` gives."""
    index = _axis_index(axis)
    places = _places(stated)

    def fact(table: Table) -> None:
        mean = math.fsum(entry[index] for entry in table) / len(table)
        if f"{mean:.{places}f}" != stated:
            raise CheckError(f"mean_of({axis}): the mean is {mean!r}, stated {stated}")

    return fact


def low_for(share: float, below: float) -> Fact:
    """y lies below `below` on at least `share` of the pips."""

    def fact(table: Table) -> None:
        low = sum(1 for entry in table if entry[1] < below) / len(table)
        if low < share:
            raise CheckError(f"low_for: y is below {below} on {low:.3f} of the loop, not {share}")

    return fact


def longest_entry(stated: str) -> Fact:
    """The largest distance of an entry from the origin, to as many decimals as `stated`."""
    places = _places(stated)

    def fact(table: Table) -> None:
        longest = max(math.sqrt(math.fsum(c * c for c in entry)) for entry in table)
        if f"{longest:.{places}f}" != stated:
            raise CheckError(f"longest_entry: {longest!r}, stated {stated}")

    return fact


def reaching_out(count: int, least: float = 0.4) -> Fact:
    """Cut the loop into `count` equal spans: within each (the whole pips strictly inside its
    bounds) the path reaches at least `least` from the centre."""

    def fact(table: Table) -> None:
        period = len(table)
        for j in range(count):
            span = table[math.ceil(period * j / count) : math.floor(period * (j + 1) / count)]
            if max(math.hypot(*entry) for entry in span) < least:
                raise CheckError(f"reaching_out: reach {j} stays near the centre")

    return fact


# --- around the centre, in the x-y plane -------------------------------------------------------


def _turn(degrees: float) -> float:
    """An angle brought into [-180, 180)."""
    return (degrees + 180.0) % 360.0 - 180.0


def heading_near(pip: int, degrees: float, tol: float = 1.0) -> Fact:
    """The x-y direction of the entry at `pip` lies within `tol` degrees of `degrees`."""

    def fact(table: Table) -> None:
        x, y, _ = _entry(table, pip, f"heading_near({pip})")
        off = _turn(math.degrees(math.atan2(y, x)) - degrees)
        if abs(off) > tol:
            raise CheckError(
                f"heading_near({pip}): direction is {degrees + off:.2f} degrees, "
                f"stated about {degrees}"
            )

    return fact


def circles_centre_once(margin: float) -> Fact:
    """The loop winds exactly once around the centre, counterclockwise, and its distance from the
    centre never falls below `margin`."""

    def fact(table: Table) -> None:
        nearest = min(range(len(table)), key=lambda k: math.hypot(*table[k][:2]))
        if math.hypot(*table[nearest][:2]) < margin:
            raise CheckError(
                f"circles_centre_once: pip {nearest} is {table[nearest]}, within {margin} "
                "of the centre"
            )
        angles = [math.atan2(y, x) for x, y, _ in table]
        swept = 0.0
        for a, b in zip(angles, angles[1:] + angles[:1], strict=True):
            swept += math.remainder(b - a, math.tau)
        if abs(swept - math.tau) > 1e-9:
            raise CheckError(f"circles_centre_once: the loop sweeps {swept / math.tau} turns")

    return fact


def petal_tips(tips: int, distinct: int) -> Fact:
    """The distance from the centre has `tips` local maxima over the loop, and they lie at
    `distinct` separate places (more than 0.05 apart): fewer when a figure is drawn twice."""

    def fact(table: Table) -> None:
        radius = [math.hypot(x, y) for x, y, _ in table]
        period = len(table)
        found = [
            k
            for k in range(period)
            if radius[k] > radius[k - 1] and radius[k] >= radius[(k + 1) % period]
        ]
        places: list[int] = []
        for k in found:
            if all(math.dist(table[k], table[j]) > 0.05 for j in places):
                places.append(k)
        if (len(found), len(places)) != (tips, distinct):
            raise CheckError(
                f"petal_tips: {len(found)} petal tips at pips {found} in {len(places)} places, "
                f"stated {tips} tips in {distinct} places"
            )

    return fact


def harmonic_sizes(table: Table, harmonics: dict[str, int]) -> tuple[dict[str, float], float]:
    """The size of each named harmonic m of x + iy (m turns per loop, negative: clockwise), and
    the share of the path's energy that none of them holds (only rounding, when they are all)."""
    period = len(table)
    z = [complex(x, y) for x, y, _ in table]
    size = {}
    for key, m in harmonics.items():
        c = sum(v * cmath.exp(-2j * math.pi * m * k / period) for k, v in enumerate(z))
        size[key] = abs(c / period)
    energy = math.fsum(abs(v) ** 2 for v in z) / period
    return size, energy - math.fsum(v * v for v in size.values())


def star_order(n: int, k: int, most: float = 12.0) -> Fact:
    """The path rests at n vertices, the i-th (from pip 0) near the regular star angle of vertex
    i*k mod n but off it by up to `most` degrees and not on it throughout; the vertices lie at n
    different radii; each dwell on an even visit outlasts the dwells of the odd visits either
    side; with depth, z changes sign from each visit to the next."""

    def fact(table: Table) -> None:
        rests = holds(table)
        if len(rests) != n:
            raise CheckError(f"star_order: {len(rests)} dwells, not {n}")
        offs = [
            _turn(math.degrees(math.atan2(y, x)) - 360.0 * (i * k % n) / n)
            for i, (_, _, (x, y, _)) in enumerate(rests)
        ]
        radii = {round(math.hypot(x, y), 6) for _, _, (x, y, _) in rests}
        lengths = [length for _, length, _ in rests]
        depths = [z for _, _, (_, _, z) in rests]
        if max(map(abs, offs)) > most or max(map(abs, offs)) < 2.0:
            raise CheckError(f"star_order: vertex angles off the star by {offs}")
        if len(radii) != n:
            raise CheckError("star_order: two vertices share a radius")
        for i in range(1, n, 2):
            if lengths[i] >= min(lengths[i - 1], lengths[(i + 1) % n]):
                raise CheckError(f"star_order: dwell lengths {lengths} do not alternate")
        if any(z != 0.0 for z in depths) and any(
            a * b >= 0 for a, b in zip(depths, depths[1:], strict=False)
        ):
            raise CheckError(f"star_order: vertex depths {depths} do not alternate")

    return fact


def serpentine(rows: int, grid: float, edge: float, longest_rest: int = 24) -> Fact:
    """The path rests briefly (at most `longest_rest` entries) at both ends of every row, bottom
    row first; rows alternate direction between x = -grid and +grid, and their heights (the
    middle of their two ends) are equally spaced from -grid to +grid. After the last row the
    path stays outside the grid, max(|x|, |y|) >= grid, and runs along the edge of the field at
    `edge`."""
    spacing = 2.0 * grid / (rows - 1)

    def fact(table: Table) -> None:
        rests = holds(table)
        if len(rests) != 2 * rows or max(length for _, length, _ in rests) > longest_rest:
            raise CheckError(f"serpentine: rests {[r[:2] for r in rests]}")
        for row in range(rows):
            (_, _, a), (_, _, b) = rests[2 * row], rests[2 * row + 1]
            side = -grid if row % 2 == 0 else grid
            height = (a[1] + b[1]) / 2.0
            if (a[0], b[0]) != (side, -side) or abs(height - (-grid + row * spacing)) > 1e-9:
                raise CheckError(f"serpentine: row {row} runs from {a} to {b}")
        start, length, _ = rests[-1]
        outside = [max(abs(x), abs(y)) for x, y, _ in table[start + length :]]
        if min(outside) < grid - 1e-9 or max(outside) != edge:
            raise CheckError("serpentine: the return does not run outside the grid to the edge")

    return fact
