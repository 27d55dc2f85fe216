#!/usr/bin/env python3
"""Print, or with --write store, one SHA-256 digest per pack of the built module.

A pack's digest runs over its records in catalogue order: for each, the name's UTF-8 bytes, then
for pip 0 to period - 1 the three components as little-endian doubles. The host tests compare the
built module with tests/python/pack_digests.json, so an intended change to a pack's tables is
confirmed by rewriting that file:

    .venv/bin/python tools/pack_digests.py            # print the digests and what changed
    .venv/bin/python tools/pack_digests.py --write    # rewrite tests/python/pack_digests.json

The baked entries follow the fifteen procedural ones pack after pack, each pack as long as the
count its pack.py declares.
"""

from __future__ import annotations

import argparse
import hashlib
import json
import runpy
import struct
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
PACKS_DIR = REPO / "src" / "catalogue" / "packs"
DIGESTS = REPO / "tests" / "python" / "pack_digests.json"
PROCEDURAL = 15
sys.path.insert(0, str(REPO / "src" / "catalogue"))

from tablegen.load import PACK_ORDER  # noqa: E402


def declared_count(key: str) -> int:
    return runpy.run_path(str(PACKS_DIR / key / "pack.py"))["PACK"].count


def pack_digests(motiloom) -> dict[str, str]:
    baked = motiloom.catalogue()[PROCEDURAL:]
    digests, start = {}, 0
    for key in PACK_ORDER:
        if start == len(baked):
            break
        if not (PACKS_DIR / key / "pack.py").is_file():
            continue
        count = declared_count(key)
        entries = baked[start : start + count]
        start += count
        digest = hashlib.sha256()
        for entry in entries:
            digest.update(entry["name"].encode())
            for pip in range(entry["period_pips"]):
                digest.update(struct.pack("<3d", *motiloom.sample(entry["name"], pip).as_tuple()))
        digests[key] = digest.hexdigest()
    if start != len(baked):
        sys.exit(
            f"pack_digests: the module holds {len(baked)} baked tables but the declared packs "
            f"account for {start}; rebuild the module first"
        )
    return digests


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
