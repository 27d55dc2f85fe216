"""Writing rendered frames to .npy, .csv or .json, whole or not at all.

Every file is written to a temporary name beside its target and renamed over it only once
complete, so a failed or interrupted export never leaves a partial file behind. CSV and JSON are
written a block of frames at a time: their text is never held whole.
"""

from __future__ import annotations

import contextlib
import json
import os
import signal
import stat
import tempfile
from collections.abc import Callable, Iterable, Iterator
from pathlib import Path
from typing import IO, Any

import numpy as np
from numpy.typing import NDArray

from .clock import PipTimes

FORMATS = (".npy", ".csv", ".json")
# Frames turned into text per step of a CSV or JSON export.
_BLOCK = 65536
# Signals that interrupt a program (the CLI turns SIGTERM into an exception as well): held off
# while a temporary file is made, so that none can land before its removal is armed.
_INTERRUPTS = {signal.SIGINT, signal.SIGTERM}


class OutputError(OSError, ValueError):
    """The target cannot be written at all (its folder refuses a new file): nothing was done.
    An OSError, and a ValueError too: the request is refused before any work."""


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


def _umask() -> int:
    try:
        with open("/proc/self/status", encoding="ascii") as status:
            for line in status:
                if line.startswith("Umask:"):
                    return int(line.split()[1], 8)
    except (OSError, ValueError):
        pass
    mask = os.umask(0o022)  # no other way to read it: set and put back at once
    os.umask(mask)
    return mask


def _mode_for(target: Path) -> int:
    """The mode the finished file gets: the replaced file's own, or what the umask leaves of
    0o666 for a new one."""
    try:
        existing = os.stat(target)
    except OSError:
        return 0o666 & ~_umask()
    return stat.S_IMODE(existing.st_mode) if stat.S_ISREG(existing.st_mode) else 0o666 & ~_umask()


@contextlib.contextmanager
def replacing(path: str | os.PathLike[str], mode: str = "wb") -> Iterator[IO[Any]]:
    """A file open for writing whose content replaces `path` only when the block succeeds.

    The temporary file is made on entry, so an unwritable folder is found before any work
    (OutputError); a failure after that is an OSError naming `path`, never the temporary file.
    The finished file keeps the mode of the file it replaces (a new one gets the umask's)."""
    target = check_target(path)
    blocked = _mask(signal.SIG_BLOCK, _INTERRUPTS)
    try:
        try:
            handle, temporary = tempfile.mkstemp(prefix=f".{target.name}.", dir=target.parent)
        except OSError as error:
            raise OutputError(error.errno, error.strerror, os.fspath(target)) from None
        try:
            _mask(signal.SIG_SETMASK, blocked)  # a signal held off lands in here
            newline = "" if "b" not in mode else None
            encoding = "utf-8" if "b" not in mode else None
            try:
                with os.fdopen(handle, mode, newline=newline, encoding=encoding) as stream:
                    yield stream
                    stream.flush()
                    os.fchmod(stream.fileno(), _mode_for(target))
                os.replace(temporary, target)
            except OSError as error:
                if error.filename is not None and error.filename != temporary:
                    raise
                raise OSError(error.errno, error.strerror, os.fspath(target)) from None
        except BaseException:
            with contextlib.suppress(FileNotFoundError):
                os.unlink(temporary)
            raise
    finally:
        _mask(signal.SIG_SETMASK, blocked)


def _mask(how: int, signals: Iterable[int]) -> set[int]:
    """The thread's signal mask changed, and the mask before; nothing where there is none."""
    if not hasattr(signal, "pthread_sigmask"):
        return set()
    return set(signal.pthread_sigmask(how, signals))


def mode_of(kind: str) -> str:
    """The file mode `replacing` opens a file of this type with."""
    return "wb" if kind == ".npy" else "w"


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
    with replacing(path, mode_of(kind)) as stream:
        write_frames_to(stream, kind, positions, times, meta)


def write_frames_to(
    stream: IO[Any],
    kind: str,
    positions: NDArray[np.float64],
    times: PipTimes,
    meta: dict[str, Any],
) -> None:
    """`write_frames` into an open stream (opened with `mode_of(kind)`), for a caller that
    opens its target before it renders."""
    writers: dict[str, Callable[[IO[Any]], None]] = {
        ".npy": lambda stream: np.save(stream, positions, allow_pickle=False),
        ".csv": lambda stream: _write_csv(stream, positions, times),
        ".json": lambda stream: _write_json(stream, positions, times, meta),
    }
    writers[kind](stream)


def _blocks(times: PipTimes) -> Iterator[slice]:
    for start in range(0, len(times), _BLOCK):
        yield slice(start, start + _BLOCK)


def _write_csv(stream: IO[str], positions: NDArray[np.float64], times: PipTimes) -> None:
    # The text csv.writer gives for these rows (numbers never need quoting), a block at a time.
    stream.write("frame,seconds,pip,x,y,z\n")
    for block in _blocks(times):
        seconds = times.seconds[block].tolist()
        pips = (times.whole[block] + times.fraction[block]).tolist()
        first = block.start
        stream.writelines(
            f"{first + i},{second!r},{pip!r},{x!r},{y!r},{z!r}\n"
            for i, (second, pip, (x, y, z)) in enumerate(
                zip(seconds, pips, positions[block].tolist(), strict=True)
            )
        )


def _write_json(
    stream: IO[str], positions: NDArray[np.float64], times: PipTimes, meta: dict[str, Any]
) -> None:
    # The text json.dump gives for the whole document with separators (",", ":"), written
    # list by list and block by block: json writes a float as its repr.
    head = dict(meta)
    head["frames"] = len(times)
    stream.write(json.dumps(head, separators=(",", ":"))[:-1])

    def write_list(
        key: str, rows: Callable[[slice], list[Any]], item: Callable[[Any], str]
    ) -> None:
        stream.write(f',"{key}":[')
        for block in _blocks(times):
            if block.start:
                stream.write(",")
            stream.write(",".join(map(item, rows(block))))
        stream.write("]")

    write_list("times", lambda b: times.seconds[b].tolist(), repr)
    write_list("pips", lambda b: (times.whole[b] + times.fraction[b]).tolist(), repr)
    write_list(
        "positions", lambda b: positions[b].tolist(), lambda r: f"[{r[0]!r},{r[1]!r},{r[2]!r}]"
    )
    stream.write("}\n")
