"""Hashed paths: closed, smooth sixteen-beat loops through control points that come from SHA-256
digests of indexed inputs, so every table is reproducible and no random state is kept.

A lane keyed "noise/<path>/<n>/<lane>" with `count` control points takes the hashed steps
hashed_unit(key, i), each in [-1, 1), less their mean so that the walk closes; control point i is
the running sum of steps 0 to i, centred and scaled so that its largest |value| is 1. The point
sits at pip i*1024/count moved by up to 0.15 of the spacing (hashed again, rounded to a whole
pip), and a closed spline joins the points smoothly, the seam included. A walk of hashed steps
wanders where independent values would jump. The path word names the kind of motion:

  drift   x and y walk through n points each: a slow, irregular wander out from the centre;
  orbit   a circle turning once per loop, its radius and phase walked through n points each;
  ripple  a drift through n points under a fine ripple: 8n points of alternating sign and hashed
          size, four ripples for every drift point;
  depth   z walks through n points as the main motion, over a small four-point drift in x, y,
          setting out from the centre.
"""

import math

from tablegen.facts import main_axes, peak_within
from tablegen.model import Pattern
from tablegen.shapes import closed_spline, hashed_unit, nearest_pip, phase

SIXTEEN_BEATS = 1024
PEAK = 0.82
JITTER = 0.15  # how far a control pip may move from its even place, in spacings
ORBIT_RADIUS_SPREAD = 0.25  # the radius stays within 1 +- this
ORBIT_NUDGE = 0.35  # the phase runs up to this many radians ahead of or behind the turn
RIPPLE_POINTS = 8  # ripple control points per drift control point
RIPPLE_SIZE = 0.12  # the ripple's height against the drift's
DEPTH_DRIFT_POINTS = 4
DEPTH_DRIFT_SIZE = 0.4  # the x-y drift under a depth path, against z


def lane_key(path, n, lane):
    return f"noise/{path}/{n}/{lane}"


def spread_pips(key, count):
    """Control pip i: i*1024/count, moved by up to JITTER spacings; the first stays on pip 0."""
    spacing = SIXTEEN_BEATS / count
    return [0] + [
        nearest_pip(i * spacing + JITTER * spacing * hashed_unit(key, "pip", i))
        for i in range(1, count)
    ]


def closed_lane(pips, values):
    spline = closed_spline(list(zip(pips, values, strict=True)), SIXTEEN_BEATS)
    return lambda k: spline(k)[0]


def walked_lane(key, count, from_centre=False):
    """The walk through `count` hashed control points, scaled so its largest |value| is 1: centred
    on its mean, or, from_centre, starting from 0 at pip 0 (a path that sets out from the middle
    of the field and comes back to it once per loop). A walk that sets out from the centre starts
    at its point nearest its own mean, so that the path still wanders around the middle."""
    steps = [hashed_unit(key, i) for i in range(count)]
    closing = math.fsum(steps) / count
    walk, total = [], 0.0
    for step in steps:
        total += step - closing
        walk.append(total)
    centre = math.fsum(walk) / count
    if from_centre:
        start = min(range(count), key=lambda i: abs(walk[i] - centre))
        walk = walk[start:] + walk[:start]
        centre = walk[0]
    top = max(abs(v - centre) for v in walk)
    return closed_lane(spread_pips(key, count), [(v - centre) / top for v in walk])


def ripple_lane(key, count):
    """Alternating crests and troughs of hashed size between 0.2 and 1, evenly spaced."""
    sizes = [0.6 + 0.4 * hashed_unit(key, i) for i in range(count)]
    pips = [nearest_pip(i * SIXTEEN_BEATS / count) for i in range(count)]
    return closed_lane(pips, [size if i % 2 == 0 else -size for i, size in enumerate(sizes)])


def drift(n):
    x, y = (walked_lane(lane_key("drift", n, lane), n, from_centre=True) for lane in "xy")
    return lambda k: (x(k), y(k))


def orbit(n):
    radius, nudge = (walked_lane(lane_key("orbit", n, lane), n) for lane in ("radius", "phase"))

    def curve(k):
        r = 1.0 + ORBIT_RADIUS_SPREAD * radius(k)
        angle = phase(k, SIXTEEN_BEATS) + ORBIT_NUDGE * nudge(k)
        return (r * math.cos(angle), r * math.sin(angle))

    return curve


def ripple(n):
    x, y = (walked_lane(lane_key("ripple", n, lane), n) for lane in "xy")
    fine_x, fine_y = (
        ripple_lane(lane_key("ripple", n, f"fine_{lane}"), RIPPLE_POINTS * n) for lane in "xy"
    )
    return lambda k: (x(k) + RIPPLE_SIZE * fine_x(k), y(k) + RIPPLE_SIZE * fine_y(k))


def depth(n):
    x, y = (
        walked_lane(lane_key("depth", n, lane), DEPTH_DRIFT_POINTS, from_centre=True)
        for lane in "xy"
    )
    z = walked_lane(lane_key("depth", n, "z"), n, from_centre=True)
    return lambda k: (DEPTH_DRIFT_SIZE * x(k), DEPTH_DRIFT_SIZE * y(k), z(k))


# path word, shape, point counts, axes, facts beyond the peak
PATHS = [
    ("drift", drift, (5, 7, 9, 11), 2, ()),
    ("orbit", orbit, (6, 8, 10, 12), 2, ()),
    ("ripple", ripple, (5, 7, 9, 11), 2, ()),
    ("depth", depth, (6, 8, 10, 12), 3, (main_axes("z"),)),
]

PATTERNS = [
    Pattern(
        f"noise_{path}_{n}",
        f"Indexed SHA-256 control points in a closed {path} path. No mutable random state.",
        SIXTEEN_BEATS,
        axes,
        shape(n),
        peak=PEAK,
        facts=(peak_within(PEAK, PEAK), *facts),
    )
    for path, shape, counts, axes, facts in PATHS
    for n in counts
]
