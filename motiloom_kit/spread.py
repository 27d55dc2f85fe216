"""One pattern across a row of fixtures, each at its own phase.

A spread gives fixture k the phase offset o_k, a fraction of the loop, so that it runs the same
pattern o_k of a loop ahead of fixture 0's position. `amount` is the largest spread as a
fraction of the loop (1 spreads the fixtures around the whole loop).
"""

from __future__ import annotations

from collections.abc import Sequence
from fractions import Fraction
from typing import Literal, TypeAlias

import numpy as np
from numpy.typing import NDArray

from ._exact import Real, exact
from .patterns import (
    Interpolation,
    Pattern,
    Pips,
    Table,
    _advance,
    _check_interpolation,
    _linear,
    _output,
    _split,
)

SpreadMode: TypeAlias = Literal["even", "reverse", "wings", "position"]


def phase_offsets(
    count: int,
    mode: SpreadMode = "even",
    *,
    amount: Real | str = 1,
    positions: Sequence[Real] | None = None,
) -> list[Fraction]:
    """The phase offset of each of `count` fixtures, as exact fractions of the loop.

    * "even": fixture k gets k / count of `amount`, so with amount 1 the fixtures sit evenly
      around the loop.
    * "reverse": the even spread from the other end (the last fixture leads).
    * "wings": mirrored about the middle of the row: the two outer fixtures share a phase, then
      the next two inwards, and so on, each wing an even spread over its half.
    * "position": offsets in proportion to the fixtures' `positions` (for example metres along a
      truss), scaled so that evenly spaced fixtures get exactly the "even" spread.
    """
    if count < 1:
        raise ValueError(f"a spread needs at least one fixture, got {count}")
    share = exact(amount, "amount")
    if positions is not None and mode != "position":
        raise ValueError('positions are only used by the "position" spread')
    if mode == "even":
        return [share * k / count for k in range(count)]
    if mode == "reverse":
        return [share * (count - 1 - k) / count for k in range(count)]
    if mode == "wings":
        half = (count + 1) // 2
        return [share * min(k, count - 1 - k) / half for k in range(count)]
    if mode == "position":
        if positions is None or len(positions) != count:
            raise ValueError(f'the "position" spread needs one position per fixture ({count})')
        places = [exact(p, "position") for p in positions]
        low, high = min(places), max(places)
        if count > 1 and high == low:
            raise ValueError("the fixture positions must not all be equal")
        scale = share * (count - 1) / count / (high - low) if count > 1 else Fraction(0)
        return [(p - low) * scale for p in places]
    raise ValueError(f'mode must be "even", "reverse", "wings" or "position", not {mode!r}')


def spread(
    pattern: Pattern,
    count: int,
    pips: Pips,
    *,
    mode: SpreadMode = "even",
    amount: Real | str = 1,
    positions: Sequence[Real] | None = None,
    interpolate: Interpolation = "none",
    out: Table | None = None,
) -> NDArray[np.float64]:
    """`pattern` rendered for `count` fixtures at `pips`, each at its phase offset (see
    `phase_offsets`): an array of shape (count,) + pips.shape + (3,), written into `out` when
    given. Fixture k's rows are exactly `pattern.shifted(offsets[k]).render(pips, interpolate)`.

    The pips are reduced into the loop once for every fixture; each fixture then costs its own
    exact index arithmetic and one gather, straight into its part of the output."""
    _check_interpolation(interpolate)
    offsets = phase_offsets(count, mode, amount=amount, positions=positions)
    views = [pattern.shifted(o) for o in offsets]
    period = pattern.period
    rate = pattern.rate
    whole, fraction = _split(pips, rate.denominator * period)
    out = _output(out, (count,) + whole.shape + (3,))
    reduced = np.mod(whole.reshape(-1), rate.denominator * period)
    part = fraction.reshape(-1) if fraction is not None else None
    linear = interpolate == "linear"
    source = pattern._source
    table = source.table()
    a, b = rate.numerator, rate.denominator
    # Most loops are a power of two long: then the wrap is a mask, not a division.
    mask = period - 1 if period & (period - 1) == 0 else 0
    index = np.empty_like(reduced)
    for k, view in enumerate(views):
        rows = out[k].reshape(-1, 3)
        phase = view.phase
        if rate == 1 and phase.denominator == 1:
            np.add(reduced, phase.numerator, out=index)
            if mask:
                np.bitwise_and(index, mask, out=index)
            else:
                np.mod(index, period, out=index)
            here = part
        else:
            c, d = phase.numerator, phase.denominator
            index, here = _advance(reduced, part, a * d, c * b, b * d, a / b, period, linear)
        if linear and here is not None:
            _linear(source, index, here, rows)
        else:
            np.take(table, index, axis=0, out=rows, mode="clip")
    return out
