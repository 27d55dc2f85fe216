"""Oscillation packets: `count` short bursts of oscillation, each under a smooth-edged envelope,
separated by rests exactly at the origin, over a two-bar phrase.

A packet is an envelope (flat in the middle, cosine-tapered to exactly zero at its edges) times a
carrier cos(2 pi (k - centre) / period) along one direction, plus a side motion: a skewed bump
that carries the packet out from the centre and back again, exactly zero at the packet's edges
too. Packet centres and carrier periods are whole pips, so the carrier crests fall on pips and a
table reaches its peak on a pip; only the cascade of four lets its first, largest crest trail
its centre by a third of a pip, and so peaks a little below 0.82.

The phrase is laid out per count. The first packet fades in from a fraction of a pip before pip
0, so the loop opens on the downbeat and closes on a rest; the others follow at slightly uneven
distances, with rests of slightly different lengths between them.

Kinds: alternating packets take turns shaking up and down on the right and side to side at the
bottom; cascading packets step across the field from one side to the other, each smaller and
quicker than the last; crossing packets shake along one diagonal while their side motion carries
them out along the other, the diagonals swapping from packet to packet so that the shakes cross;
depth packets pulse in depth while their side motion fans out round the centre.
"""

import math
from collections.abc import Callable
from dataclasses import dataclass

from tablegen.facts import peak_within, rest, separated_packets
from tablegen.model import Pattern
from tablegen.shapes import HALF_PIP, TAU

LOOP = 512
PEAK = 0.82
DESCRIPTION = (
    "Compact, smooth-edged oscillation packets arranged around a closed phrase, with shaped side "
    "motion."
)
TAPER = 0.45  # share of a packet's half-width spent fading in (and out)

# (centre, half-width) of every packet, per count.
LAYOUTS = {
    2: ((107, 107.6), (364, 107.6)),
    3: ((70, 70.6), (244, 66.6), (414, 62.6)),
    4: ((52, 52.6), (182, 48.6), (308, 52.6), (438, 46.6)),
    5: ((41, 41.6), (144, 39.6), (247, 41.6), (350, 37.6), (452, 41.6)),
}
# Carrier period in pips, per kind and count: more packets, quicker shakes.
PERIODS = {
    "alternating": {2: 44, 3: 40, 4: 37, 5: 34},
    "cascading": {2: 50, 3: 46, 4: 42, 5: 40},  # of the first packet; later ones are quicker
    "crossing": {2: 46, 3: 40, 4: 36, 5: 29},
    "depth": {2: 42, 3: 39, 4: 36, 5: 34},
}
# Side reach of a crossing packet, per count; the quickest crossing is the pack's fastest motion.
CROSSING_SIDE = {2: 0.5, 3: 0.5, 4: 0.5, 5: 0.4621}
# Direction (degrees) of the first step of a cascade, per count; the last lies opposite.
CASCADE_FROM = {2: 140.0, 3: 35.0, 4: 20.0, 5: 165.0}
# How far the first crest of a cascade trails its packet's centre, in pips, per count.
CASCADE_LAG = {2: 0.0, 3: 0.0, 4: 0.3205, 5: 0.0}


def envelope(d: float, half_width: float) -> float:
    """1 in the middle of a packet, a cosine taper to exactly 0 at |d| = half_width."""
    flat = half_width * (1.0 - TAPER)
    if abs(d) >= half_width:
        return 0.0
    if abs(d) <= flat:
        return 1.0
    return math.cos(0.5 * math.pi * (abs(d) - flat) / (half_width - flat)) ** 2


def bump(u: float, p: float, q: float) -> float:
    """u^p (1 - u)^q on [0, 1], scaled to a peak of 1 (at u = p / (p + q)); 0 outside."""
    if not 0.0 < u < 1.0:
        return 0.0
    top = p / (p + q)
    return (u**p * (1.0 - u) ** q) / (top**p * (1.0 - top) ** q)


@dataclass(frozen=True)
class Shake:
    """What one packet does: a carrier of `amplitude` along `carrier` (x, y, z) with the given
    period and crest offset, and a side motion side(u) * `side` for u across the packet."""

    carrier: tuple[float, float, float]
    amplitude: float
    period: float
    side: tuple[float, float, float]
    side_shape: Callable[[float], float]
    offset: float = 0.0


def skew_out(u):
    return bump(u, 2, 3)  # out quickly, back slowly


def step_out(u):
    return bump(u, 3, 3)


# --- the kinds: the shake of packet j of `count` ----------------------------------------------


def alternating(j, count):
    period = PERIODS["alternating"][count]
    if j % 2 == 0:  # up and down, out on the right
        return Shake((0, 1, 0), 1.0, period, (0.55, 0, 0), skew_out)
    return Shake((1, 0, 0), 1.0, period, (0, -0.55, 0), skew_out)  # across, at the bottom


def cascading(j, count):
    fall = j / (count - 1)
    top = math.radians(CASCADE_FROM[count])
    reach = 0.78 * (1.0 - 2.0 * fall)  # from the upper side through the centre to the far side
    return Shake(
        (0, 1, 0),
        0.6 - 0.25 * fall,
        round(PERIODS["cascading"][count] * (1.0 - 0.3 * fall)),
        (reach * math.cos(top), reach * math.sin(top), 0),
        step_out,
        CASCADE_LAG[count] if j == 0 else 0.0,
    )


def crossing(j, count):
    lean = 1.0 if j % 2 == 0 else -1.0
    r = math.sqrt(0.5)
    side = CROSSING_SIDE[count] * r
    return Shake(
        (r, lean * r, 0), 1.0, PERIODS["crossing"][count], (-lean * side, side, 0), step_out
    )


def depth(j, count):
    angle = math.radians(30.0 + 360.0 * j / count)
    side = (0.6 * math.cos(angle), 0.6 * math.sin(angle), 0)
    return Shake((0, 0, 1), 1.0, PERIODS["depth"][count], side, skew_out)


KINDS = {"alternating": alternating, "cascading": cascading, "crossing": crossing, "depth": depth}


def packets(kind: str, count: int):
    layout = LAYOUTS[count]
    shakes = [KINDS[kind](j, count) for j in range(count)]
    axes = 3 if kind == "depth" else 2

    def curve(k):
        total = [0.0, 0.0, 0.0]
        for (centre, half_width), shake in zip(layout, shakes, strict=True):
            d = (k - centre + LOOP / 2) % LOOP - LOOP / 2
            if abs(d) >= half_width:
                continue
            wave = shake.amplitude * envelope(d, half_width)
            wave *= math.cos(TAU * (d - shake.offset) / shake.period)
            side = shake.side_shape((d + half_width) / (2.0 * half_width))
            for axis in range(3):
                total[axis] += wave * shake.carrier[axis] + side * shake.side[axis]
        return tuple(total[:axes])

    return curve


STATED = {
    # packet_alternating_2 rests for 42 entries from pip 215 and 40 from pip 472
    ("alternating", 2): (rest(215, 42), rest(472, 40)),
    # the lowest peak of the pack's paths: the largest crest falls between pips
    ("cascading", 4): (peak_within(0.819615, 0.819625),),
}

PATTERNS = [
    Pattern(
        f"packet_{kind}_{count}",
        DESCRIPTION,
        LOOP,
        3 if kind == "depth" else 2,
        packets(kind, count),
        peak=PEAK,
        peak_grid=HALF_PIP,
        facts=(separated_packets(count), *STATED.get((kind, count), ())),
    )
    for count in (2, 3, 4, 5)
    for kind in KINDS
]
