"""An Ableton Link peer driven over stdin, run by `link.LinkPeer` inside a network namespace.

    python link_peer.py BPM QUANTUM [ENABLE_AFTER]

It makes its Link, waits ENABLE_AFTER seconds (0 by default), enables it and prints "ready",
then answers each command line on stdin:
    status        one JSON line: {"at", "link_time", "peers", "tempo", "beat", "phase", "playing"}
                  ("at" is CLOCK_MONOTONIC seconds, comparable with time.monotonic() of any
                  process on the machine; beat and phase are read at that moment)
    tempo BPM     propose a tempo to the session, then answer as "status" does
    quit          leave the session and exit
"""

from __future__ import annotations

import asyncio
import json
import sys
import time
from datetime import timedelta


def status(link: object) -> str:
    return json.dumps(
        {
            "at": time.monotonic(),
            "link_time": link.time // timedelta(microseconds=1),  # type: ignore[attr-defined]
            "peers": link.num_peers,  # type: ignore[attr-defined]
            "tempo": link.tempo,  # type: ignore[attr-defined]
            "beat": link.beat,  # type: ignore[attr-defined]
            "phase": link.phase,  # type: ignore[attr-defined]
            "playing": link.playing,  # type: ignore[attr-defined]
        }
    )


async def main(bpm: float, quantum: float, enable_after: float) -> None:
    from aalink import Link

    link = Link(bpm)
    link.quantum = quantum
    await asyncio.sleep(enable_after)
    link.enabled = True
    print("ready", flush=True)
    loop = asyncio.get_running_loop()
    reader = asyncio.StreamReader()
    await loop.connect_read_pipe(lambda: asyncio.StreamReaderProtocol(reader), sys.stdin)
    while line := (await reader.readline()).decode():
        words = line.split()
        if not words:
            continue
        if words[0] == "quit":
            break
        if words[0] == "tempo":
            link.tempo = float(words[1])
        elif words[0] != "status":
            print(json.dumps({"error": f"unknown command {line.strip()!r}"}), flush=True)
            continue
        print(status(link), flush=True)
    link.enabled = False


if __name__ == "__main__":
    asyncio.run(main(float(sys.argv[1]), float(sys.argv[2]), float((sys.argv[3:] or ["0"])[0])))
