"""Random calls of every motiloom host entry point, each checked against the rules of its entry.

    python tools/fuzz.py --calls 1000000 --seed 1

Arguments of every kind are drawn (valid and invalid text, ints at and beyond the 32-bit range,
floats, NaN and infinities in rows, wrong nesting, generators, objects whose __len__, __index__
or __float__ raise or lie); each call must succeed with a result obeying its rules or raise the
documented exception. Rounds of calls at and beyond every size limit are spread over the run.
Prints the outcome counts per entry point and exits non-zero on any mismatch. The calls, their
rules and the driver are tests/python/entry_fuzz.py, which the tests run a slice of.
"""

import argparse
import sys

from entry_fuzz import drive


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
