"""Club beat-grid patterns: style-major, each of the 36 club styles moved by bounce, step, orbit
and glide. The bare four-on-the-floor pulse calibrates the first three motions, so its tables
also carry the values that pin those rules down."""

import math

from beatgrid.motions import CLUB_MOTIONS
from beatgrid.patterns import beat_pattern
from beatgrid.scores import STYLES
from tablegen.facts import constant_over, near, value_at

LOOP = 256
KICKS = (0, 64, 128, 192)  # four_floor: one accented kick per beat
TOL = 0.00005  # the calibration values are stated to four decimals
STILL = (0.0, 0.0, 0.0)

# Bounce: +0.55 in y on each kick, rising over the 6 pips before it and gone within 30 after;
# x and z stay 0.
BOUNCE = [
    constant_over(0, LOOP - 1, (0.0, None, 0.0)),
    *[value_at(kick, y=0.55) for kick in KICKS],
    *[
        near((kick + offset) % LOOP, y=y, tol=TOL)
        for kick in KICKS
        for offset, y in (
            (-6, 0.0053),
            (-4, 0.1698),
            (-2, 0.4278),
            (8, 0.4557),
            (16, 0.2376),
            (24, 0.045),
        )
    ],
    *[constant_over(kick + 30, kick + 57, STILL) for kick in KICKS],
]

# Step: the same pulse, x = +0.42 on kicks 1 and 3 and -0.42 on 2 and 4, y = -0.22 on each.
STEP = [
    *[value_at(kick, x=(0.42, -0.42)[i % 2], y=-0.22) for i, kick in enumerate(KICKS)],
    *[constant_over(kick + 30, kick + 57, STILL) for kick in KICKS],
]


def _on_circle(pip: int, radius: float, degrees: float):
    angle = math.radians(degrees)
    return near(pip, x=radius * math.cos(angle), y=radius * math.sin(angle), tol=TOL)


# Orbit: one turn from (0.58, 0), a quarter turn per kick. After each kick the radius is down to
# 0.43 by 32 pips, 60 degrees on, and 24 pips later 18 degrees further on.
ORBIT = [
    *[
        value_at(kick, x=x, y=y)
        for kick, (x, y) in zip(
            KICKS, ((0.58, 0.0), (0.0, 0.58), (-0.58, 0.0), (0.0, -0.58)), strict=True
        )
    ],
    *[_on_circle(kick + 32, 0.43, 90.0 * i + 60.0) for i, kick in enumerate(KICKS)],
    *[_on_circle(kick + 56, 0.43, 90.0 * i + 78.0) for i, kick in enumerate(KICKS)],
]

CALIBRATION = {"bounce": BOUNCE, "step": STEP, "orbit": ORBIT}


def _calibration(style, motion):
    return CALIBRATION.get(motion.key, ()) if style.key == "four_floor" else ()


PATTERNS = [
    beat_pattern(style, motion, "club", _calibration(style, motion))
    for style in STYLES[:36]
    for motion in CLUB_MOTIONS
]
