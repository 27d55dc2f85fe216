"""The gallery: one static HTML page that draws every pattern with a dot moving along it.

The page needs no server, no network and no script from elsewhere: its style, its script and
every table are inside it, and its Content-Security-Policy lets the browser run that style and
that script only (by their digests), nothing else. Tables travel compactly: each used axis is
quantised to 8 bits (256 levels over [-1, 1], finer than the drawings can show), written as
differences from the previous value, deflated and base64-encoded; the page inflates them with the
browser's own DecompressionStream.

The data travels as JSON in a script element of its own. Inside a script element "</script"
ends it and "<!--" can make a later "<script" swallow the rest of the page, so every "<", ">"
and "&" of the JSON is written as its \\u escape: no text of any name or description can end or
comment out the block, and JSON.parse reads the same strings back.
"""

from __future__ import annotations

import base64
import hashlib
import json
import os
import re
import zlib
from collections.abc import Sequence
from importlib import resources
from pathlib import Path

import numpy as np

from .. import catalogue
from .._exact import Real, positive
from ..export import OutputError, replacing
from ..patterns import Pattern, pattern

PAGE_NAME = "index.html"
SCRIPTS = ("patterns.js", "page.js")  # the page's script, in this order


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
    data = json.dumps(meta, ensure_ascii=False, separators=(",", ":"))
    for character in "<>&":
        data = data.replace(character, f"\\u{ord(character):04x}")
    assets = resources.files(__package__)
    style = assets.joinpath("page.css").read_text(encoding="utf-8")
    # One inline script: the pattern reading and search the console shares, then the page.
    script = "\n".join(assets.joinpath(n).read_text(encoding="utf-8") for n in SCRIPTS)
    policy = (
        f"default-src 'none'; style-src '{_digest(style)}'; script-src '{_digest(script)}'; "
        "base-uri 'none'; form-action 'none'"
    )
    filled = {"CSP": policy, "STYLE": style, "SCRIPT": script, "DATA": data}
    # One pass over the template, so that no inserted text is read as a placeholder.
    page = assets.joinpath("page.html").read_text(encoding="utf-8")
    parts = re.split(r"/\*(CSP|STYLE|SCRIPT|DATA)\*/", page)
    return "".join(filled[part] if k % 2 else part for k, part in enumerate(parts))


def _digest(text: str) -> str:
    """The CSP source expression that allows exactly this inline text."""
    return "sha256-" + base64.b64encode(hashlib.sha256(text.encode("utf-8")).digest()).decode()


def write_gallery(
    directory: str | os.PathLike[str],
    patterns: Sequence[Pattern] | None = None,
    *,
    bpm: Real | str = 120,
) -> Path:
    """Write the gallery page for `patterns` (every built-in pattern unless given) into
    `directory`, creating it if needed, and return the page's path.

    The folder and the page's file are made before the page is built, so an unwritable place
    fails at once; if anything fails, the folders made for it are removed again."""
    folder = Path(directory)
    if folder.exists() and not folder.is_dir():
        raise ValueError(f"{folder}: exists and is not a directory")
    tempo = positive(bpm, "bpm")
    made = _make_folders(folder)
    try:
        with replacing(folder / PAGE_NAME, "w") as stream:
            if patterns is None:
                patterns = [pattern(e.name) for e in catalogue.entries()]
            stream.write(build_page(patterns, bpm=tempo))
    except BaseException:
        for made_folder in reversed(made):
            try:
                made_folder.rmdir()
            except OSError:
                break  # no longer empty: it is someone else's now
        raise
    return folder / PAGE_NAME


def _make_folders(folder: Path) -> list[Path]:
    """Make `folder` and any missing parents; returns those made, outermost first."""
    missing = []
    probe = folder
    while not probe.exists():
        missing.append(probe)
        if probe.parent == probe:
            break
        probe = probe.parent
    if not probe.is_dir():
        raise ValueError(f"{folder}: {probe} is not a directory")
    made: list[Path] = []
    try:
        for step in reversed(missing):
            step.mkdir()
            made.append(step)
    except OSError as error:
        for made_folder in reversed(made):
            made_folder.rmdir()
        raise OutputError(error.errno, error.strerror, os.fspath(folder)) from None
    return made
