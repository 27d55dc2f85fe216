"""A VJ's position array: ten minutes at 60 fps and 174 BPM, tabulated once and gathered.

The show runs on wall-clock time, so its pips, counted from the Unix epoch, run far beyond 32
bits; the kit reduces each one into the pattern's loop before motiloom is involved. At 174 BPM a
frame is 3.0933 pips: whole pips advance 3 or 4 per frame, a speed wobble of about 9%, while
interpolating between pips advances every frame by the same amount.
"""

from __future__ import annotations

import time

import numpy as np

import motiloom_kit as kit

BPM = 174
FPS = 60
MINUTES = 10
SHOW_START = 1_733_000_000  # seconds since the epoch, where pip 0 sits


def wobble(advance: np.ndarray) -> float:
    """How unevenly the point advances from frame to frame: the spread of the steps over their
    mean."""
    return float(np.std(advance) / np.mean(advance))


def main() -> None:
    clock = kit.Clock(BPM)
    times = clock.frames(FPS, MINUTES * 60, start_seconds=SHOW_START)
    print(f"{len(times):,} frames, pips {times.whole[0]:,} to {times.whole[-1]:,} "
          f"(a 32-bit pip stops at {2**31 - 1:,})")  # fmt: skip

    pattern = kit.pattern("figure_eight")
    start = time.perf_counter()
    pattern.table()  # every pip of the loop, once, through motiloom.sample
    tabulated = time.perf_counter() - start
    start = time.perf_counter()
    stepped = pattern.render(times)
    gathered = time.perf_counter() - start
    start = time.perf_counter()
    smooth = pattern.render(times, "linear")
    interpolated = time.perf_counter() - start
    print(f"table of {pattern.period} pips: {tabulated * 1e3:.2f} ms; "
          f"gather of {len(times):,} frames: {gathered * 1e3:.2f} ms; "
          f"interpolated: {interpolated * 1e3:.2f} ms")  # fmt: skip
    print(f"array {smooth.shape} float64, {smooth.nbytes / 1e6:.2f} MB")

    steps = np.diff(times.whole)
    print(f"whole pips advance {steps.min()} or {steps.max()} per frame: "
          f"{wobble(steps):.1%} speed wobble")  # fmt: skip
    print(f"interpolated positions advance {wobble(np.diff(times.positions)):.1e} unevenly")
    drift = np.abs(smooth - stepped).max()
    print(f"largest gap between the stepped and the interpolated point: {drift:.4f}")


if __name__ == "__main__":
    main()
