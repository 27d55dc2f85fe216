"""Envelopes: y alone over an eight-beat phrase, x and z exactly 0.

Each envelope is a list of keyframes (pip, y). Between neighbours y moves along the quintic
smootherstep, so it leaves and reaches every keyframe at rest; after the last keyframe it returns
the same way to (0, 0) at pip 512. Equal neighbouring levels hold exactly. Negative y lifts.
"""

from itertools import pairwise

from tablegen.facts import constant_over, formula
from tablegen.model import Pattern
from tablegen.shapes import keyframe_lane

EIGHT_BEATS = 512

# name, label, keyframes (pip, y)
ENVELOPES = [
    ("env_lift_hold_drop", "Lift, hold, settle",
     [(0, 0), (64, -0.8), (192, -0.8), (256, 0.2), (320, 0)]),
    ("env_inhale_exhale", "Long inhale, short exhale",
     [(0, 0), (320, -0.8), (384, 0.1), (448, 0)]),
    ("env_triple_swell", "Three unequal swells",
     [(0, 0), (64, -0.8), (128, 0), (192, -0.5), (256, 0), (384, -0.3)]),
    ("env_rising_echo", "Rising echo ladder",
     [(0, 0), (64, -0.25), (128, 0), (192, -0.5), (256, 0), (320, -0.8), (384, 0)]),
    ("env_falling_echo", "Falling echo ladder",
     [(0, 0), (64, -0.8), (128, 0), (192, -0.45), (256, 0), (320, -0.15)]),
    ("env_anticipation", "Backward anticipation",
     [(0, 0), (64, 0.35), (128, 0), (192, -0.82), (256, -0.82), (384, 0.12)]),
    ("env_plateau_scoop", "Plateau then scoop",
     [(0, 0), (64, -0.7), (256, -0.7), (320, -0.3), (384, 0.4)]),
    ("env_hesitant", "Hesitant reach",
     [(0, 0), (64, -0.3), (128, -0.2), (192, -0.5), (256, -0.4), (320, -0.8)]),
    ("env_double_hold", "Two-height hold",
     [(0, 0), (64, -0.4), (192, -0.4), (256, -0.8), (384, -0.8)]),
    ("env_swell_recoil", "Deep swell and recoil",
     [(0, 0), (192, -0.8), (256, 0.5), (320, -0.2), (384, 0.08)]),
    ("env_late_release", "Late release",
     [(0, 0), (256, -0.8), (384, -0.8), (448, 0.25)]),
    ("env_split_attack", "Split attack",
     [(0, 0), (32, -0.6), (64, -0.2), (128, -0.8), (320, -0.2)]),
    ("env_suspended", "Suspended answer",
     [(0, 0), (64, -0.75), (128, 0), (256, 0), (384, -0.55), (448, -0.55)]),
    ("env_valley_peaks", "Valley between peaks",
     [(0, 0), (64, -0.7), (192, -0.3), (256, -0.82), (384, 0.2)]),
    ("env_four_breaths", "Four breathing accents",
     [(0, 0), (64, -0.7), (128, 0), (192, -0.5), (256, 0), (320, -0.8), (384, 0), (448, -0.3)]),
    ("env_return_stair", "Stepped soft recovery",
     [(0, 0), (128, -0.8), (192, -0.8), (256, -0.5), (320, -0.5), (384, -0.2), (448, -0.2)]),
]  # fmt: skip


def envelope(frames):
    y = keyframe_lane(frames, EIGHT_BEATS)
    return lambda k: (0.0, y(k))


def quintic_through(frames):
    """The envelope written out again from its keyframes: on the segment from (p0, y0) to
    (p1, y1), with t = (k - p0)/(p1 - p0), y = y0 + (y1 - y0)(6t^5 - 15t^4 + 10t^3); the last
    segment ends at (512, 0)."""
    ends = [*frames, (512, 0.0)]

    def rule(k):
        for (p0, y0), (p1, y1) in pairwise(ends):
            if p0 <= k < p1:
                t = (k - p0) / (p1 - p0)
                return (0.0, y0 + (y1 - y0) * (6 * t**5 - 15 * t**4 + 10 * t**3))
        raise ValueError(f"pip {k} lies outside the envelope")

    return rule


PATTERNS = [
    Pattern(
        name,
        f"{label} over an eight-beat phrase; smooth, resting joins.",
        EIGHT_BEATS,
        2,
        envelope(frames),
        facts=(
            formula(quintic_through(frames), label="quintic smootherstep through the keyframes"),
            constant_over(0, EIGHT_BEATS - 1, (0.0, None, 0.0)),
        ),
    )
    for name, label, frames in ENVELOPES
]
