"""A contact sheet: many patterns drawn as small paths in one image (needs matplotlib)."""

from __future__ import annotations

import math
import os
from collections.abc import Sequence
from typing import Any

from .export import format_of, replacing
from .patterns import Pattern

SHEET_FORMATS = (".png", ".svg", ".pdf")
# Each cell's size in inches, and the resolution of a picture; a side of more pixels than
# matplotlib's renderer takes (2**16) is refused before anything is drawn.
CELL_INCHES = (2.2, 2.4)
DPI = 110
MAX_PIXELS = 2**16 - 1


class MissingExtraError(ImportError):
    """An optional dependency that this feature needs is not installed."""


def write_sheet(
    path: str | os.PathLike[str], patterns: Sequence[Pattern], *, columns: int = 6
) -> None:
    """Draw every pattern in a grid, `columns` wide, into the image `path` (.png, .svg or
    .pdf): two- and three-axis patterns as their x-y path, one-axis patterns as x against the
    pip. The file is opened before the drawing starts, so an unwritable path fails at once."""
    kind = format_of(path, SHEET_FORMATS)
    if not patterns:
        raise ValueError("a sheet needs at least one pattern")
    if columns < 1:
        raise ValueError(f"columns must be at least 1, got {columns}")
    columns = min(columns, len(patterns))
    rows = math.ceil(len(patterns) / columns)
    size = (CELL_INCHES[0] * columns, CELL_INCHES[1] * rows)
    width, height = (round(inches * DPI) for inches in size)
    if max(width, height) > MAX_PIXELS:
        raise ValueError(
            f"{len(patterns)} patterns in {columns} columns make a {width} x {height} pixel "
            f"picture, more than {MAX_PIXELS} a side: draw fewer or change the columns"
        )
    try:
        import matplotlib

        matplotlib.use("Agg")
        from matplotlib import pyplot
    except ImportError as error:
        raise MissingExtraError(
            "drawing a sheet needs matplotlib: pip install 'motiloom[plot]'"
        ) from error

    with replacing(path, "wb") as stream:
        figure = _draw(pyplot, patterns, rows, columns, size)
        try:
            figure.savefig(stream, format=kind[1:], dpi=DPI)
        finally:
            pyplot.close(figure)


def _draw(
    pyplot: Any, patterns: Sequence[Pattern], rows: int, columns: int, size: tuple[float, float]
) -> Any:
    figure, axes = pyplot.subplots(rows, columns, figsize=size, squeeze=False)
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
    return figure
