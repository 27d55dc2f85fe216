"""Writing rendered frames to .npy, .csv or .json, whole or not at all.

Every file is written to a temporary name beside its target and renamed over it only once
complete, so a failed or interrupted export never leaves a partial file behind.
"""

from __future__ import annotations

import contextlib
import csv
import json
import os
import tempfile
from collections.abc import Callable, Iterator
from pathlib import Path
from typing import IO, Any

import numpy as np
from numpy.typing import NDArray

from .clock import PipTimes

FORMATS = (".npy", ".csv", ".json")


def format_of(path: str | os.PathLike[str], formats: tuple[str, ...] = FORMATS) -> str:
    """The file type `path` asks for, by its extension; anything else raises ValueError."""
    suffix = Path(path).suffix.lower()
    if suffix not in formats:
        wanted = ", ".join(formats[:-1]) + " or " + formats[-1] if len(formats) > 1 else formats[0]
        raise ValueError(f"{os.fspath(path)}: the file name must end in {wanted}")
    return suffix


def check_target(path: str | os.PathLike[str]) -> Path:
    """`path` as a Path, once its folder is known to exist and it is not itself a folder."""
    target = Path(path)
    if target.is_dir():
        raise ValueError(f"{target}: is a directory")
    if not target.parent.is_dir():
        raise ValueError(f"{target}: the folder {target.parent} does not exist")
    return target


@contextlib.contextmanager
def replacing(path: str | os.PathLike[str], mode: str = "wb") -> Iterator[IO[Any]]:
    """A file open for writing whose content replaces `path` only when the block succeeds."""
    target = check_target(path)
    handle, temporary = tempfile.mkstemp(prefix=f".{target.name}.", dir=target.parent)
    try:
        newline = "" if "b" not in mode else None
        encoding = "utf-8" if "b" not in mode else None
        with os.fdopen(handle, mode, newline=newline, encoding=encoding) as stream:
            yield stream
        os.chmod(temporary, 0o644)
        os.replace(temporary, target)
    except BaseException:
        with contextlib.suppress(FileNotFoundError):
            os.unlink(temporary)
        raise


def write_frames(
    path: str | os.PathLike[str],
    positions: NDArray[np.float64],
    times: PipTimes,
    meta: dict[str, Any],
) -> None:
    """Write one row (x, y, z) per frame to `path`, in the format its extension names:
    .npy holds the (frames, 3) float64 array; .csv one line per frame with its number, time,
    pip position and x, y, z; .json `meta` plus the
    frame times ("times"), pip positions ("pips") and rows ("positions") as lists."""
    kind = format_of(path)
    writers: dict[str, Callable[[IO[Any]], None]] = {
        ".npy": lambda stream: np.save(stream, positions, allow_pickle=False),
        ".csv": lambda stream: _write_csv(stream, positions, times),
        ".json": lambda stream: _write_json(stream, positions, times, meta),
    }
    with replacing(path, "wb" if kind == ".npy" else "w") as stream:
        writers[kind](stream)


def _write_csv(stream: IO[str], positions: NDArray[np.float64], times: PipTimes) -> None:
    writer = csv.writer(stream, lineterminator="\n")
    writer.writerow(["frame", "seconds", "pip", "x", "y", "z"])
    pips = times.positions.tolist()
    for frame, (second, pip, row) in enumerate(
        zip(times.seconds.tolist(), pips, positions.tolist(), strict=True)
    ):
        writer.writerow([frame, repr(second), repr(pip), *map(repr, row)])


def _write_json(
    stream: IO[str], positions: NDArray[np.float64], times: PipTimes, meta: dict[str, Any]
) -> None:
    document = dict(meta)
    document["frames"] = len(times)
    document["times"] = times.seconds.tolist()
    document["pips"] = times.positions.tolist()
    document["positions"] = positions.tolist()
    json.dump(document, stream, separators=(",", ":"))
    stream.write("\n")
