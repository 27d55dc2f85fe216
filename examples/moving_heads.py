"""Four moving heads on one circle, phase-spread across the rig: degrees, 16-bit DMX, speed check.

Each head pans 0-540 degrees and tilts 0-270. At 128 BPM a full-range one-beat circle would ask
some 3,600 degrees per second of pan, far beyond any head, so the circle is slowed to one turn per
bar and then shrunk until it stays within the heads' speed.
"""

from __future__ import annotations

import warnings

import numpy as np

import motiloom_kit as kit

BPM = 128
FPS = 44
BARS = 16
HEADS = 4
SPEED_LIMIT = 250.0  # degrees per second that the heads manage on pan and tilt
CHANNELS_PER_HEAD = 4  # pan coarse, pan fine, tilt coarse, tilt fine


def main() -> None:
    clock = kit.Clock(BPM)
    frames = clock.frames(FPS, clock.duration(bars=BARS))
    head = kit.Head()  # pan 0-540 fed by x, tilt 0-270 fed by y

    circle = kit.pattern("circle")
    pan, tilt = head.speeds(circle, BPM)
    print(f"full-range circle at {BPM} BPM: pan {pan.peak:,.0f} deg/s, tilt {tilt.peak:,.0f} deg/s")

    per_bar = circle.with_rate("1/4")  # one turn per bar of four beats
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always", kit.SpeedWarning)
        rig = head.fitted(per_bar, BPM, SPEED_LIMIT)
    for warning in caught:
        print(f"speed check: {warning.message}")
    pan, tilt = rig.speeds(per_bar, BPM)
    print(f"after fitting: pan {pan.peak:.0f} deg/s, tilt {tilt.peak:.0f} deg/s; pan sweeps "
          f"{rig.pan.resolved_size:.0f} deg around {rig.pan.resolved_centre:.0f}")  # fmt: skip

    # Each head a quarter of a turn behind the one before: one array (heads, frames, 3).
    positions = kit.spread(per_bar, HEADS, frames, mode="even", interpolate="linear")
    degrees = rig.degrees(positions)  # (heads, frames, 2)
    levels = rig.dmx16(positions)  # (heads, frames, 4)

    # One DMX universe per frame, head k patched at address 1 + 4k.
    universe = np.zeros((len(frames), 512), dtype=np.uint8)
    for k in range(HEADS):
        universe[:, k * CHANNELS_PER_HEAD : (k + 1) * CHANNELS_PER_HEAD] = levels[k]

    print(f"\n{BARS} bars at {FPS} fps: {len(frames)} frames, {universe.nbytes:,} bytes of DMX")
    print("frame  time    " + "  ".join(f"head {k + 1} pan/tilt" for k in range(HEADS)))
    for frame in range(0, 99, 11):  # an eighth of a turn apart, over the first bar
        cells = "  ".join(f"{p:6.1f}/{t:5.1f}    " for p, t in degrees[:, frame])
        print(f"{frame:5d}  {frames.seconds[frame]:5.2f}s  {cells}")
    print(f"\nframe 0 DMX, channels 1-{HEADS * CHANNELS_PER_HEAD}: "
          f"{universe[0, : HEADS * CHANNELS_PER_HEAD].tolist()}")  # fmt: skip


if __name__ == "__main__":
    main()
