"""Random calls of every motiloom host entry point, each checked against the rules of its entry.

    python tools/fuzz.py --calls 1000000 --seed 1

Arguments of every kind are drawn (valid and invalid text, ints at and beyond the 32-bit range,
floats, NaN and infinities in rows, wrong nesting, generators, objects whose __len__, __index__
or __float__ raise or lie); each call must succeed with a result obeying its rules or raise the
documented exception. Rounds of calls at and beyond every size limit are spread over the run.
Prints the outcome counts per entry point and exits non-zero on any mismatch.
"""

import argparse
import random
import sys
from collections import Counter
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "python"))

import entry_fuzz as fuzz  # noqa: E402


def drive(calls, seed, limit_rounds=0, failures_kept=20):
    """Makes `calls` random calls; returns (Counter of (entry, outcome), mismatches)."""
    rng = random.Random(seed)
    ref = fuzz.Builtins()
    entries = list(fuzz.ENTRIES)
    weights = [weight for _, weight in fuzz.ENTRIES.values()]
    counts = Counter()
    mismatches = []
    round_at = {calls * (k + 1) // (limit_rounds + 1) for k in range(limit_rounds)}
    for i in range(calls):
        if i in round_at:
            for label, call, expected in fuzz.limit_probes():
                try:
                    counts[("limits", fuzz.check_limit(call, expected))] += 1
                except fuzz.Mismatch as error:
                    counts[("limits", "MISMATCH")] += 1
                    mismatches.append(f"limit probe {label}: {error}")
        entry = rng.choices(entries, weights)[0]
        try:
            counts[(entry, fuzz.call_once(entry, rng, ref))] += 1
        except fuzz.Mismatch as error:
            counts[(entry, "MISMATCH")] += 1
            if len(mismatches) < failures_kept:
                mismatches.append(f"call {i} ({entry}): {error}")
    return counts, mismatches


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--calls", type=int, default=100_000)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--limit-rounds", type=int, default=2)
    args = parser.parse_args()
    counts, mismatches = drive(args.calls, args.seed, args.limit_rounds)
    width = max(len(entry) for entry, _ in counts) + 2
    for entry in sorted({entry for entry, _ in counts}):
        outcomes = sorted(
            ((n, label) for (e, label), n in counts.items() if e == entry), reverse=True
        )
        print(f"{entry:<{width}}" + ", ".join(f"{label} {n}" for n, label in outcomes))
    total = sum(n for (entry, _), n in counts.items() if entry != "limits")
    print(
        f"{total} random calls and {sum(counts[k] for k in counts if k[0] == 'limits')} limit "
        f"probes, seed {args.seed}: {len(mismatches)} mismatches"
    )
    for line in mismatches:
        print("MISMATCH", line)
    return 1 if mismatches else 0


if __name__ == "__main__":
    sys.exit(main())
