"""The frames a show would send, written to a file instead: .npz arrays, or OLA's show file.

A recording at a fixed tempo holds exactly what `motiloom play` sends at that tempo, frame by
frame: the fade-in from the stop state, the show, and the stop state it ends on.

* `.npz`: one array `universe_<n>` (frames, 512) of uint8 per universe, the musical position of
  every frame (`pips`, in pips, as floats), and `fps` and `bpm`.
* `.show` (OLA's recorder format, played back by `ola_recorder --playback`): the line
  "OLA Show", then for each frame one line per universe, "<universe> <v1>,<v2>,...,<v512>",
  the universes of one frame apart by a line "0" and frames apart by the milliseconds between
  them. Delays are whole milliseconds, taken as differences of rounded frame times, so that over
  a long recording they add up to the true time instead of drifting.
"""

from __future__ import annotations

import math
import os
from collections.abc import Mapping
from pathlib import Path
from typing import IO, Any

import numpy as np
from numpy.typing import NDArray

from .export import check_target, format_of, replacing
from .rig import Rig
from .tempo import TempoMap

RECORD_FORMATS = (".npz", ".show")
MAX_RECORDED_FRAMES = 1_000_000


def recorded_frames(
    rig: Rig, bpm: Any, seconds: Any
) -> tuple[dict[int, NDArray[np.uint8]], NDArray[np.float64]]:
    """Every frame a show of `rig` sends in `seconds` at `bpm`, the stop state last: per
    universe an array (frames, 512), and the position of each frame (the stop state's is the
    last frame's)."""
    tempo = TempoMap(bpm, rig.fps)
    count = math.ceil(float(seconds) * float(tempo.fps))
    if count < 1:
        raise ValueError(f"a recording needs at least one frame, and {seconds} s holds none")
    if count > MAX_RECORDED_FRAMES:
        raise ValueError(
            f"{count:,} frames is more than the {MAX_RECORDED_FRAMES:,} one recording holds"
        )
    times = tempo.times(count)
    show = rig.dmx(times, start=tempo.peek(0))
    last = {u: frames[-1] for u, frames in show.items()}
    final = rig.stop_frame(last)
    frames = {u: np.concatenate([show[u], final[u][None, :]]) for u in show}
    positions = times.positions
    return frames, np.concatenate([positions, positions[-1:]])


def _write_show(stream: IO[str], frames: Mapping[int, NDArray[np.uint8]], fps: float) -> None:
    stream.write("OLA Show\n")
    count = len(next(iter(frames.values())))
    at = [round(1000 * k / fps) for k in range(count)]
    for k in range(count):
        if k:
            stream.write(f"{at[k] - at[k - 1]}\n")
        for n, (universe, values) in enumerate(sorted(frames.items())):
            if n:
                stream.write("0\n")
            stream.write(f"{universe} {','.join(map(str, values[k].tolist()))}\n")


def write_recording(
    path: str | os.PathLike[str], rig: Rig, bpm: Any, seconds: Any
) -> tuple[int, Path]:
    """Record a show of `rig` at `bpm` for `seconds` into `path` (.npz or .show), whole or not
    at all; returns the number of frames and the path."""
    kind = format_of(path, RECORD_FORMATS)
    target = check_target(path)
    frames, positions = recorded_frames(rig, bpm, seconds)
    if kind == ".npz":
        arrays: dict[str, Any] = {f"universe_{u}": f for u, f in frames.items()}
        arrays.update(pips=positions, fps=np.float64(rig.fps), bpm=np.float64(float(bpm)))
        with replacing(target, "wb") as stream:
            np.savez(stream, **arrays)
    else:
        with replacing(target, "w") as stream:
            _write_show(stream, frames, float(rig.fps))
    return len(positions), target
