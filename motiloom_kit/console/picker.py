"""The patterns a console page picks from: every built-in pattern and the rig's own, in the
gallery's compact form (names and facts, and every table quantised, delta-coded and deflated by
`motiloom_kit.gallery.encode_tables`), as one JSON document the page fetches once."""

from __future__ import annotations

import base64
import functools
import json

import motiloom

from .. import catalogue
from ..clock import PIPS_PER_BEAT
from ..gallery import encode_tables
from ..patterns import Pattern, pattern


def _describe(p: Pattern) -> list[str | int]:
    entry = p.entry
    caller = entry.kind == "caller"
    pack = entry.pack or ("caller" if caller else catalogue.UNKNOWN)
    family = entry.family or ("caller" if caller else catalogue.UNKNOWN)
    return [p.name, p.description, p.period, p.dimensions, pack, family]


def _document(patterns: list[Pattern]) -> bytes:
    data = base64.b64encode(encode_tables(patterns)).decode("ascii")
    document = {
        "pipsPerBeat": PIPS_PER_BEAT,
        "entries": [_describe(p) for p in patterns],
        "data": data,
    }
    return json.dumps(document, ensure_ascii=False, separators=(",", ":")).encode()


@functools.cache
def _built_in() -> bytes:
    return _document([pattern(e.name) for e in catalogue.entries()])


def picker_document(library: motiloom.PatternLibrary | None = None) -> bytes:
    """The picker's JSON: the built-in patterns (made once per process), then `library`'s own."""
    if library is None:
        return _built_in()
    built_in = len(catalogue.entries())
    own = [pattern(e["name"], library=library) for e in library.catalogue()[built_in:]]
    return _document([pattern(e.name) for e in catalogue.entries()] + own)
