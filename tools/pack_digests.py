#!/usr/bin/env python3
"""Print, or with --write store, one SHA-256 digest per pack of the built module.

A pack's digest runs over its records in catalogue order: for each, the name's UTF-8 bytes, then
for pip 0 to period - 1 the three components as little-endian doubles. The host tests compare the
built module with tests/python/pack_digests.json, so an intended change to a pack's tables is
confirmed by rewriting that file:

    .venv/bin/python tools/pack_digests.py            # print the digests and what changed
    .venv/bin/python tools/pack_digests.py --write    # rewrite tests/python/pack_digests.json

Each entry's pack is the one the build records for it (motiloom_kit reads it from the build).
"""

from __future__ import annotations

import argparse
import hashlib
import json
import struct
import sys
from pathlib import Path
from typing import Any

REPO = Path(__file__).resolve().parent.parent
DIGESTS = REPO / "tests" / "python" / "pack_digests.json"


def pack_digests(motiloom) -> dict[str, str]:
    from motiloom_kit import catalogue

    pack_of = {e.name: e.pack for e in catalogue.entries()}
    digests: dict[str, Any] = {}
    for entry in motiloom.catalogue():
        pack = pack_of[entry["name"]]
        if pack == catalogue.PROCEDURAL:
            continue
        if pack is None:
            sys.exit("pack_digests: this build does not say which pack a table belongs to")
        digest = digests.setdefault(pack, hashlib.sha256())
        digest.update(entry["name"].encode())
        for pip in range(entry["period_pips"]):
            digest.update(struct.pack("<3d", *motiloom.sample(entry["name"], pip).as_tuple()))
    return {pack: digest.hexdigest() for pack, digest in digests.items()}


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--write", action="store_true", help=f"rewrite {DIGESTS.relative_to(REPO)}")
    args = parser.parse_args()

    import motiloom

    digests = pack_digests(motiloom)
    text = json.dumps(digests, indent=2) + "\n"
    committed = json.loads(DIGESTS.read_text()) if DIGESTS.is_file() else {}
    for key, digest in digests.items():
        state = "new" if key not in committed else "same" if committed[key] == digest else "changed"
        print(f"{key}: {state}", file=sys.stderr)
    if args.write:
        DIGESTS.write_text(text)
        print(f"wrote {DIGESTS.relative_to(REPO)}", file=sys.stderr)
    else:
        sys.stdout.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
