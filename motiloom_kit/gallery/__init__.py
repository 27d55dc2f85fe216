"""The gallery: one static HTML page that draws every pattern with a dot moving along it.

The page needs no server, no network and no script from elsewhere: its style, its script and
every table are inside it. Tables travel compactly: each used axis is quantised to 8 bits
(256 levels over [-1, 1], finer than the drawings can show), written as differences from the
previous value, deflated and base64-encoded; the page inflates them with the browser's own
DecompressionStream.
"""

from __future__ import annotations

import base64
import json
import os
import zlib
from collections.abc import Sequence
from importlib import resources
from pathlib import Path

import numpy as np

from .. import catalogue
from .._exact import Real, positive
from ..export import replacing
from ..patterns import Pattern, pattern

PAGE_NAME = "index.html"


def encode_tables(patterns: Sequence[Pattern]) -> bytes:
    """Every pattern's used axes, axis after axis, quantised to 8 bits and delta-coded, as one
    deflated byte string; the page undoes each step."""
    chunks = [p.table()[:, : p.dimensions].T.ravel() for p in patterns]
    values = np.concatenate(chunks) if chunks else np.zeros(0)
    levels = np.clip(np.floor((values + 1) * 127.5 + 0.5), 0, 255).astype(np.int16)
    deltas = (np.diff(levels, prepend=0) & 0xFF).astype(np.uint8)
    return zlib.compress(deltas.tobytes(), 4)  # a tenth larger than at 6, four times quicker


def _describe(p: Pattern) -> list[str | int]:
    entry = p.entry
    pack = entry.pack or (catalogue.UNKNOWN if entry.kind != "caller" else "caller")
    family = entry.family or (catalogue.UNKNOWN if entry.kind != "caller" else "caller")
    return [p.name, p.description, p.period, p.dimensions, pack, family]


def build_page(patterns: Sequence[Pattern], *, bpm: Real | str = 120) -> str:
    """The gallery page for `patterns`, drawn at `bpm`, as one HTML document."""
    tempo = positive(bpm, "bpm")
    meta = {
        "bpm": float(tempo),
        "pipsPerBeat": 64,
        "entries": [_describe(p) for p in patterns],
        "data": base64.b64encode(encode_tables(patterns)).decode("ascii"),
    }
    # "</" inside the JSON would end the script element that carries it.
    data = json.dumps(meta, ensure_ascii=False, separators=(",", ":")).replace("</", "<\\/")
    assets = resources.files(__package__)
    page = assets.joinpath("page.html").read_text(encoding="utf-8")
    return (
        page.replace("/*STYLE*/", assets.joinpath("page.css").read_text(encoding="utf-8"))
        .replace("/*SCRIPT*/", assets.joinpath("page.js").read_text(encoding="utf-8"))
        .replace("/*DATA*/", data)
    )


def write_gallery(
    directory: str | os.PathLike[str],
    patterns: Sequence[Pattern] | None = None,
    *,
    bpm: Real | str = 120,
) -> Path:
    """Write the gallery page for `patterns` (every built-in pattern unless given) into
    `directory`, creating it if needed, and return the page's path."""
    folder = Path(directory)
    if folder.exists() and not folder.is_dir():
        raise ValueError(f"{folder}: exists and is not a directory")
    chosen = patterns if patterns is not None else [pattern(e.name) for e in catalogue.entries()]
    page = build_page(chosen, bpm=bpm)
    folder.mkdir(parents=True, exist_ok=True)
    with replacing(folder / PAGE_NAME, "w") as stream:
        stream.write(page)
    return folder / PAGE_NAME
