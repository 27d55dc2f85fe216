"""An independent, straightforward transcription of the procedural rudiments' formulas.

Python floats are IEEE doubles, each operation is rounded on its own and math.sin/math.cos are the
platform C library's, so these agree bit for bit with the native rudiments when both are right.
"""

import functools
import math

PI = 3.141592653589793
TWO_PI = 6.283185307179586
FOUR_PI = 12.566370614359172
HALF_PI = 1.5707963267948966


def wrap(pip, period):
    return pip % period if period > 0 else 0  # Python's % is already the Euclidean remainder


def smoothstep(t):
    return (3.0 - (t + t)) * (t * t)


def bounce(p):
    w = wrap(p, 64)
    return (1.0 - (abs(w * 0.015625 - 0.5) * 4.0), 0.0, 0.0)


def sway(p):
    return (math.sin((wrap(p, 128) * 0.0078125) * TWO_PI), 0.0, 0.0)


def circle(p):
    a = ((wrap(p, 64) * 0.015625) * TWO_PI) - HALF_PI
    return (math.cos(a), math.sin(a), 0.0)


def figure_eight(p):
    a = (wrap(p, 128) * 0.0078125) * TWO_PI
    return (math.sin(a), math.sin(a + a), 0.0)


def step_touch(p):
    w = wrap(p, 128)
    frm, to = [(-1.0, 0.0), (0.0, 1.0), (1.0, 0.0), (0.0, -1.0)][w // 32]
    t = (w % 32) * 0.03125
    s = smoothstep(t)
    return (s * (to - frm) + frm, -(math.sin(t * PI) * 0.35), 0.0)


def box_step(p):
    w = wrap(p, 256)
    corners = [(-1.0, -1.0), (1.0, -1.0), (1.0, 1.0), (-1.0, 1.0), (-1.0, -1.0)]
    (fx, fy), (tx, ty) = corners[w // 64], corners[w // 64 + 1]
    s = smoothstep((w % 64) * 0.015625)
    return ((tx - fx) * s + fx, (ty - fy) * s + fy, 0.0)


def helix(p):
    t = wrap(p, 256) * 0.00390625
    return (math.cos(t * FOUR_PI), math.sin(t * FOUR_PI), math.sin(t * TWO_PI))


VORN_KEYS = [
    (0, 0, 0.0),
    (23, 2, -0.1),
    (33, 13, -0.8),
    (49, 5, -0.4),
    (87, -3, 0.2),
    (100, -14, 0.9),
    (118, -5, 0.5),
    (154, 1, 0.0),
    (169, 12, 1.0),
    (187, 4, 0.5),
    (215, -2, -0.2),
    (228, -10, -0.9),
    (243, -3, -0.3),
    (256, 0, 0.0),
]


def _vorn_table():
    keys = [(pip, n / 14, y) for pip, n, y in VORN_KEYS]
    table, k = [], 0
    for i in range(256):
        while k + 1 <= 13 and i > keys[k + 1][0]:
            k += 1
        (p0, x0, y0), (p1, x1, y1) = keys[k], keys[k + 1]
        s = smoothstep(float(i - p0) / float(p1 - p0))
        table.append(((x1 - x0) * s + x0, (y1 - y0) * s + y0, 0.0))
    return table


VORN_TABLE = _vorn_table()


def vorn_background(p):
    return VORN_TABLE[wrap(p, 256)]


R, L = 1, -1
STROKES = {
    "single_stroke_roll": (64, [(8 * i, R if i % 2 == 0 else L, 0.92, 8) for i in range(8)]),
    "double_stroke_roll": (
        64,
        [(8 * i, R if (i // 2) % 2 == 0 else L, 0.88 if i % 2 == 0 else 0.72, 8) for i in range(8)],
    ),
    "multiple_bounce_roll": (
        64,
        [
            (32 * h + 6 * i, (R, L)[h], (0.92, 0.68, 0.48, 0.32)[i], 6)
            for h in (0, 1)
            for i in range(4)
        ],
    ),
    "single_paradiddle": (
        128,
        [
            (8 * i, {"R": R, "L": L}[hand], 1.0 if i % 4 == 0 else 0.72, 8)
            for i, hand in enumerate("RLRRLRLLRLRRLRLL")
        ],
    ),
    "flam": (64, [(0, L, 0.34, 10), (5, R, 0.9, 14), (32, R, 0.34, 10), (37, L, 0.9, 14)]),
    "drag": (
        64,
        [
            (0, L, 0.28, 8),
            (5, L, 0.32, 8),
            (10, R, 0.88, 14),
            (32, R, 0.28, 8),
            (37, R, 0.32, 8),
            (42, L, 0.88, 14),
        ],
    ),
    "five_stroke_roll": (
        128,
        [
            (0, R, 0.72, 9),
            (8, R, 0.62, 9),
            (16, L, 0.72, 9),
            (24, L, 0.62, 9),
            (36, R, 1.0, 14),
            (64, L, 0.72, 9),
            (72, L, 0.62, 9),
            (80, R, 0.72, 9),
            (88, R, 0.62, 9),
            (100, L, 1.0, 14),
        ],
    ),
}


def strokes(name, p):
    period, table = STROKES[name]
    sx = sy = 0.0
    for onset, hand, amplitude, length in table:
        e = wrap(wrap(p, period) - onset, period)
        if e < length:
            u = math.sin((float(e) / float(length)) * PI)
            g = (amplitude * u) * u
            sy = sy - (0.72 * g)
            sx = sx + g * float(hand)
    return (min(max(sx, -1.0), 1.0), min(max(sy, -1.0), 1.0), 0.0)


STROKE_DESCRIPTIONS = {
    "single_stroke_roll": "Alternating R/L strokes with smooth attack and decay",
    "double_stroke_roll": "RRLL strokes with a softer second motion",
    "multiple_bounce_roll": "Decaying same-hand bounce clusters",
    "single_paradiddle": "RLRR LRLL with accented lead strokes",
    "flam": "Grace motion flowing into an opposite-hand primary motion",
    "drag": "Two grace motions flowing into an opposite-hand primary motion",
    "five_stroke_roll": "Two diddles resolving to an accented fifth motion",
}

# name -> (period, dimensions, description, reference function), in catalogue order
RUDIMENTS = {
    "bounce": (64, 1, "One-beat vertical bounce", bounce),
    "sway": (128, 1, "Two-beat side-to-side sway", sway),
    "circle": (64, 2, "One-beat circular orbit", circle),
    "figure_eight": (128, 2, "Two-beat figure eight", figure_eight),
    "step_touch": (128, 2, "Two-beat side step with a small lift", step_touch),
    "box_step": (256, 2, "Four-beat softened square path", box_step),
    "helix": (256, 3, "Four-beat double-turn helix", helix),
    "vorn_background": (256, 2, "Vorn/Ulbet four-beat accented background drift", vorn_background),
    **{
        name: (STROKES[name][0], 2, description, functools.partial(strokes, name))
        for name, description in STROKE_DESCRIPTIONS.items()
    },
}
