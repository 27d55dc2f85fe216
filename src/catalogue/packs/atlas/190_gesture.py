"""Gestures: one point moved the way a hand would mark an abstract figure, over eight beats.

x is right, y is up and z is toward the viewer. Each gesture is authored at its final size (the
largest reach is 0.82), either as keyframes (eased holds, taps and corners), as a smooth spline
through a few poses (flowing moves), or as a short formula (arcs and spirals). No gesture holds
still across its seam: each loop starts inside a move or at the turn between two moves.
"""

import math

from tablegen.facts import constant_over, longest_entry, low_for, main_axes, mean_of, peaks
from tablegen.model import Pattern
from tablegen.shapes import TAU, closed_spline, keyframe_lane, keyframes, lanes, smootherstep

EIGHT_BEATS = 512
PEAK = 0.82


# --- reaches and arcs --------------------------------------------------------------------------

# side reach: out to the right, held, back in; then the same to the left, a little quicker. y
# follows x a few pips late, so each reach goes out low and comes back high: a thin loop.
SIDE_X = [
    (16, 0.0), (40, 0.0), (120, 0.82), (168, 0.82), (248, 0.0),
    (280, 0.0), (344, -0.82), (392, -0.82),
]  # fmt: skip
SIDE_Y = [
    (28, -0.24), (52, -0.24), (132, 0.12), (180, 0.12), (260, -0.24),
    (292, -0.24), (356, 0.1), (404, 0.1),
]  # fmt: skip
side_reach = lanes(keyframe_lane(SIDE_X, EIGHT_BEATS), keyframe_lane(SIDE_Y, EIGHT_BEATS))

# cross and reach: from low on the right the hand crosses the body to the far left, rises on
# that side, sweeps across high into a long reach up to the right, stays there, and draws back
# down the right side.
cross_reach = closed_spline(
    [
        (0, (0.36, -0.3)),
        (64, (-0.3, -0.5)),
        (120, (-0.72, -0.5)),
        (184, (-0.5, 0.2)),
        (248, (0.2, 0.66)),
        (296, (0.78, 0.72)),
        (344, (0.82, 0.7)),
        (424, (0.62, 0.04)),
    ],
    EIGHT_BEATS,
)


# low scoop: down onto the floor on the left, a long slow drag along it, a scoop that rises on
# the right and curls back over itself, and a glide back low over the floor. It spends most of
# its loop near the floor: on average only 0.08 above it.
FLOOR = -0.82
FLICK = 0.4  # how high the scoop curls above the floor
CARRY = 0.065  # how far above the floor it glides back
low_scoop = closed_spline(
    [
        (0, (-0.82, FLOOR + CARRY + 0.02)),
        (48, (-0.55, FLOOR)),
        (150, (-0.05, FLOOR)),
        (250, (0.45, FLOOR)),
        (300, (0.76, FLOOR + 0.08)),
        (328, (0.82, FLOOR + 0.55 * FLICK)),
        (356, (0.66, FLOOR + FLICK)),
        (388, (0.42, FLOOR + 0.5 * FLICK)),
        (448, (-0.2, FLOOR + CARRY)),
    ],
    EIGHT_BEATS,
)


def high_arc(k):
    """A slow rainbow from left to right over the top, then a quicker, flatter return low across
    the middle."""
    phi = TAU * k / EIGHT_BEATS
    psi = phi - 0.42 * math.sin(phi) + 0.35  # slow over the arc, quick on the way back
    over = math.sin(psi)  # 1 at the top of the arc, -1 at the bottom of the return
    return (-0.82 * math.cos(psi), 0.56 * over + 0.26 * over * over)  # up to 0.82, down to -0.3


# --- taps, touches and boxes -------------------------------------------------------------------

CORNERS = [(-0.7, 0.62), (0.7, 0.62), (0.7, -0.62), (-0.7, -0.62)]  # clockwise from top left


def corner_tap_frames():
    """Each corner in turn: arrive, tap out toward the corner and back, hold, move on."""
    frames = []
    for i, (x, y) in enumerate(CORNERS):
        t = 128 * i + 32  # arrival; the moves take 48 pips, so pip 0 is inside a move
        frames += [
            (t, (x, y)),
            (t + 12, (math.copysign(PEAK, x), y + math.copysign(0.1, y))),
            (t + 24, (x, y)),
            (t + 80, (x, y)),
        ]
    return frames


corner_taps = keyframes(corner_tap_frames(), EIGHT_BEATS)

# diagonal touch: out to each diagonal in turn and straight back through the middle, touching
# the far point for a moment.
DIAGONALS = [(0.78, 0.64), (-0.78, -0.64), (-0.78, 0.64), (0.78, -0.64)]
diagonal_touch = keyframes(
    [
        frame
        for i, (x, y) in enumerate(DIAGONALS)
        for frame in (
            (128 * i + 8, (0.0, 0.0)),
            (128 * i + 56, (x, y)),
            (128 * i + 72, (x * 0.94, y * 0.94)),
        )
    ],
    EIGHT_BEATS,
)

# box and centre: out from the centre to the top left corner, once round the box (a stop at
# each corner), back into the centre and a rest there.
BOX = 0.66
box_return = keyframes(
    [
        (16, (-BOX, BOX)),
        (80, (BOX, BOX)),
        (144, (BOX, -BOX)),
        (208, (-BOX, -BOX)),
        (272, (-BOX, BOX)),
        (336, (0.0, 0.0)),
        (448, (0.0, 0.0)),
    ],
    EIGHT_BEATS,
)

# zigzag lift: six zigzags climbing from the floor to the top, then a glide back down the right
# side and along the floor.
ZIGS = [(-0.62, -0.8), (0.62, -0.52), (-0.56, -0.22), (0.56, 0.1), (-0.48, 0.42), (0.48, 0.74)]
zigzag_lift = keyframes(
    [(16 + 56 * i, point) for i, point in enumerate(ZIGS)]
    + [(352, (0.82, 0.82)), (448, (0.78, -0.82))],
    EIGHT_BEATS,
)


# --- dips and sways ----------------------------------------------------------------------------

DUCK = keyframe_lane([(24, -0.1), (88, -0.72), (344, -0.72), (408, 0.08)], EIGHT_BEATS)
SWAY_DEPTH = keyframe_lane([(40, 0.0), (104, 1.0), (328, 1.0), (392, 0.0)], EIGHT_BEATS)


def duck_sway(k):
    """Duck down, sway right and left twice while low, rise again."""
    sway = math.sin(TAU * 2.0 * (k - 72) / 256.0)
    depth = SWAY_DEPTH(k)
    return (0.66 * depth * sway, DUCK(k) + 0.1 * depth * sway * sway)  # swings up at the sides


# heel-toe: each foot in turn taps heel (low, a little back toward the middle) then toe (higher,
# a little out), and the point steps across to the other foot.
HEEL_TOE = [
    (8, (0.3, -0.76)), (40, (0.3, -0.76)), (56, (0.56, -0.4)), (88, (0.56, -0.4)),
    (104, (0.3, -0.76)), (136, (0.3, -0.76)), (152, (0.56, -0.4)), (200, (0.56, -0.4)),
    (264, (-0.3, -0.76)), (296, (-0.3, -0.76)), (312, (-0.56, -0.4)), (344, (-0.56, -0.4)),
    (360, (-0.3, -0.76)), (392, (-0.3, -0.76)), (408, (-0.56, -0.4)), (456, (-0.56, -0.4)),
]  # fmt: skip
heel_toe = keyframes(HEEL_TOE, EIGHT_BEATS)

# hop and answer: crouch, a high hop travelling right, land and settle; then a smaller answering
# hop back to the left.
hop_answer = closed_spline(
    [
        (0, (-0.36, -0.6)),
        (40, (-0.3, -0.72)),
        (96, (0.1, 0.82)),
        (148, (0.46, -0.66)),
        (184, (0.5, -0.5)),
        (264, (0.5, -0.52)),
        (296, (0.46, -0.66)),
        (344, (0.1, 0.2)),
        (392, (-0.3, -0.66)),
        (440, (-0.34, -0.5)),
    ],
    EIGHT_BEATS,
)


# --- through depth -----------------------------------------------------------------------------

# push and pull: a quick push forward and up, held, then a slow pull back that sinks low on the
# way and comes up behind the body, with a little drift to the right on the way out.
push_pull = lanes(
    keyframe_lane([(8, -0.1), (72, 0.24), (200, 0.2), (400, -0.14)], EIGHT_BEATS),
    keyframe_lane([(16, -0.18), (80, 0.3), (192, 0.3), (304, -0.46), (432, -0.3)], EIGHT_BEATS),
    keyframe_lane([(0, -0.4), (64, 0.82), (192, 0.82), (416, -0.64)], EIGHT_BEATS),
)

# reach through depth: from far back low left, a long reach that passes the middle and ends far
# forward high right, then a looping return round the outside.
reach_depth = closed_spline(
    [
        (0, (-0.5, -0.3, -0.8)),
        (96, (-0.2, -0.1, -0.2)),
        (176, (0.3, 0.2, 0.5)),
        (240, (0.5, 0.36, 0.82)),
        (312, (0.68, -0.1, 0.4)),
        (376, (0.4, -0.5, -0.3)),
        (440, (-0.3, -0.56, -0.72)),
    ],
    EIGHT_BEATS,
)


def bow_turn(k):
    """A bow, forward and down, and up again (the first three beats); then a turn, one circle
    round through depth in the horizontal plane at chest height, out to the right, round the
    back and in from the left. The hand comes forward ahead of going down and straightens up
    before drawing back, so the bow is a loop."""
    u = k % EIGHT_BEATS
    if u < 192:
        t = smootherstep(u / 192.0)
        down, forward = math.sin(math.pi * t) ** 2, math.sin(math.pi * t**0.75) ** 2
        return (0.0, 0.2 - 0.9 * down, 0.6 * forward)
    turn = TAU * smootherstep((u - 192) / 320.0)
    lift = 0.12 * math.sin(turn / 2.0) ** 2
    return (0.42 * math.sin(turn), 0.2 + lift, 0.42 * (math.cos(turn) - 1.0))


# spiral reach: a spiral of one and a half turns opening out from near the middle while it comes
# forward, ending in a long reach to the far corner, up, right and forward; then the point
# draws back to the spiral's start. The reach is the longest of the loop.
REACH = (0.82, 0.62, 0.68)
REACH_PIPS = 368
SPIRAL_TURNS = 1.5


def spiral_reach(k):
    u = k % EIGHT_BEATS
    bearing = math.atan2(REACH[1], REACH[0])
    radius = math.hypot(REACH[0], REACH[1])
    if u < REACH_PIPS:
        s = smootherstep(u / REACH_PIPS)
        angle = bearing + TAU * SPIRAL_TURNS * (1.0 - s)  # turning clockwise onto the reach
        r = radius * (0.08 + 0.92 * s**5)  # opens late, so that only the reach itself is long
        return (r * math.cos(angle), r * math.sin(angle), -0.3 + (REACH[2] + 0.3) * s)
    s = smootherstep((u - REACH_PIPS) / (EIGHT_BEATS - REACH_PIPS))
    start = (radius * 0.08 * math.cos(bearing + TAU * SPIRAL_TURNS),
             radius * 0.08 * math.sin(bearing + TAU * SPIRAL_TURNS), -0.3)  # fmt: skip
    return tuple(a + (b - a) * s for a, b in zip(REACH, start, strict=True))


# depth diamond: a diamond laid flat, left, forward, right and back, with a small step down at
# each corner.
DIAMOND = [(-0.82, 0.0), (0.0, 0.72), (0.82, 0.0), (0.0, -0.72)]  # (x, z)
diamond_floor = keyframes(
    [(128 * i + t, corner) for i, corner in enumerate(DIAMOND) for t in (24, 56)], EIGHT_BEATS
)
diamond_step = keyframe_lane(
    [(128 * i + t, y) for i in range(4) for t, y in ((16, -0.3), (56, -0.3), (90, 0.0))],
    EIGHT_BEATS,
)


def depth_diamond(k):
    x, z = diamond_floor(k)
    return (x, diamond_step(k), z)


# --- the catalogue -----------------------------------------------------------------------------

# (name, label, axes, curve, facts)
GESTURES = [
    ("gesture_side_reach", "side reach", 2, side_reach, (
        constant_over(120, 168, 0.82),
        constant_over(344, 392, -0.82),
    )),
    ("gesture_cross_reach", "cross and reach", 2, cross_reach, ()),
    ("gesture_low_scoop", "low scoop", 2, low_scoop, (
        mean_of("y", "-0.739"),
        low_for(0.75, -0.6),
    )),
    ("gesture_high_arc", "high arc", 2, high_arc, ()),
    ("gesture_corner_taps", "corner taps", 2, corner_taps, tuple(
        constant_over(128 * i + 56, 128 * i + 112, corner) for i, corner in enumerate(CORNERS)
    )),
    ("gesture_diagonal_touch", "diagonal touch", 2, diagonal_touch, ()),
    ("gesture_box_return", "box and centre", 2, box_return, (
        constant_over(336, 448, (0.0, 0.0)),
    )),
    ("gesture_zigzag_lift", "zigzag lift", 2, zigzag_lift, ()),
    ("gesture_duck_sway", "duck and sway", 2, duck_sway, ()),
    ("gesture_push_pull", "push and pull", 3, push_pull, (main_axes("z"),)),
    ("gesture_reach_depth", "reach through depth", 3, reach_depth, (main_axes("z"),)),
    ("gesture_bow_turn", "bow and turn", 3, bow_turn, ()),
    ("gesture_heel_toe", "heel-toe abstract", 2, heel_toe, ()),
    ("gesture_hop_answer", "hop and answer", 2, hop_answer, ()),
    ("gesture_spiral_reach", "spiral reach", 3, spiral_reach, (
        longest_entry("1.23"),
        peaks(x=0.82, exact="x"),
    )),
    ("gesture_diamond_depth", "depth diamond", 3, depth_diamond, ()),
]  # fmt: skip

PATTERNS = [
    Pattern(
        name,
        f"An original single-point {label} gesture. Abstract motion, not a full-body dance or "
        "biomechanical recording.",
        EIGHT_BEATS,
        axes,
        curve,
        peak=PEAK,
        facts=facts,
    )
    for name, label, axes, curve, facts in GESTURES
]
