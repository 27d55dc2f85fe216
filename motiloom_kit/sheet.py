"""A contact sheet: many patterns drawn as small paths in one image (needs matplotlib)."""

from __future__ import annotations

import math
import os
from collections.abc import Sequence

from .export import format_of, replacing
from .patterns import Pattern

SHEET_FORMATS = (".png", ".svg", ".pdf")


class MissingExtraError(ImportError):
    """An optional dependency that this feature needs is not installed."""


def write_sheet(
    path: str | os.PathLike[str], patterns: Sequence[Pattern], *, columns: int = 6
) -> None:
    """Draw every pattern in a grid, `columns` wide, into the image `path` (.png, .svg or
    .pdf): two- and three-axis patterns as their x-y path, one-axis patterns as x against the
    pip."""
    kind = format_of(path, SHEET_FORMATS)
    if not patterns:
        raise ValueError("a sheet needs at least one pattern")
    if columns < 1:
        raise ValueError(f"columns must be at least 1, got {columns}")
    try:
        import matplotlib

        matplotlib.use("Agg")
        from matplotlib import pyplot
    except ImportError as error:
        raise MissingExtraError(
            "drawing a sheet needs matplotlib: pip install 'motiloom[plot]'"
        ) from error

    columns = min(columns, len(patterns))
    rows = math.ceil(len(patterns) / columns)
    figure, axes = pyplot.subplots(
        rows, columns, figsize=(2.2 * columns, 2.4 * rows), squeeze=False
    )
    for cell, subject in zip(axes.flat, patterns, strict=False):
        table = subject.table()
        if subject.dimensions == 1:
            cell.plot(range(subject.period), table[:, 0], linewidth=0.9)
            cell.set_xlim(0, subject.period)
        else:
            closed = list(range(subject.period)) + [0]
            cell.plot(table[closed, 0], table[closed, 1], linewidth=0.9)
            cell.set_xlim(-1.05, 1.05)
            cell.set_aspect("equal")
        cell.set_ylim(-1.05, 1.05)
        cell.set_title(subject.name, fontsize=7)
        cell.tick_params(labelsize=5)
    for cell in axes.flat[len(patterns) :]:
        cell.axis("off")
    figure.tight_layout()
    with replacing(path, "wb") as stream:
        figure.savefig(stream, format=kind[1:], dpi=110)
    pyplot.close(figure)
