"""Easing curves closed into loops: two beats out along the named D3 easing curve, two beats
back along a shared cubic smoothstep; and an original elastic oscillation."""

import math

from tablegen.facts import extremum_at, formula, largest_at, near, peaks, value_at
from tablegen.model import Pattern
from tablegen.shapes import phase

FOUR_BEATS = 256
OUT = 128  # the outward half; the return takes the other 128 pips
LOW, HIGH = -0.65, 0.65
EASE_DESCRIPTION = "An attributed D3 easing curve, assembled into a closed outward-and-return loop."

# D3's back easing overshoots by about ten per cent with this constant.
BACK_OVERSHOOT = 1.70158


def bounce_out(t):
    """D3 bounceOut: three shrinking parabolic bounces settling on 1 (Penner's constants)."""
    b1, b2, b3, b4, b5, b6, b7, b8, b9 = (
        4 / 11,
        6 / 11,
        8 / 11,
        3 / 4,
        9 / 11,
        10 / 11,
        15 / 16,
        21 / 22,
        63 / 64,
    )
    b0 = 1 / b1 / b1
    if t < b1:
        return b0 * t * t
    if t < b3:
        t -= b2
        return b0 * t * t + b4
    if t < b6:
        t -= b5
        return b0 * t * t + b7
    t -= b8
    return b0 * t * t + b9


def back_in(t):
    """D3 backIn: pulls back below 0 before rising to 1."""
    s = BACK_OVERSHOOT
    return t * t * ((s + 1) * t - s)


def back_out(t):
    """D3 backOut: rises past 1 and settles back onto it."""
    s = BACK_OVERSHOOT
    t -= 1
    return t * t * ((s + 1) * t + s) + 1


def shared_return(k):
    """The return from +0.65 to -0.65 over pips 128-256 along the cubic smoothstep."""
    t = (k - OUT) / OUT
    return HIGH * (1 - 2 * (3 * t * t - 2 * t * t * t))


def outward(ease):
    def curve(k):
        if k <= OUT:
            return (LOW + (HIGH - LOW) * ease(k / OUT),)
        return (shared_return(k),)

    return curve


rebound = outward(bounce_out)
overshoot = outward(back_out)


def anticipate(k):
    # The mirror image of the overshoot curve, computed as such so that the two tables mirror
    # each other bit for bit after rounding; algebraically this is the back-in curve.
    if k <= OUT:
        return (-overshoot(OUT - k)[0],)
    return (shared_return(k),)


def anticipate_rule(k):
    """The back-in curve written directly, to check the mirror construction against."""
    if k <= OUT:
        return (LOW + (HIGH - LOW) * back_in(k / OUT),)
    return (shared_return(k),)


def smoothstep_return_rule(k):
    """The shared return over pips 128-256, written out again: 0.65 (1 - 2 (3t^2 - 2t^3))."""
    t = (k - 128) / 128
    return 0.65 * (1 - 2 * (3 * t**2 - 2 * t**3))


def rebound_rule(k):
    """ease_rebound written out again: Penner's bounce-out from -0.65 to +0.65, then the return."""
    if k > 128:
        return (smoothstep_return_rule(k),)
    t = k / 128
    if t < 1 / 2.75:
        e = 7.5625 * t**2
    elif t < 2 / 2.75:
        e = 7.5625 * (t - 1.5 / 2.75) ** 2 + 0.75
    elif t < 2.5 / 2.75:
        e = 7.5625 * (t - 2.25 / 2.75) ** 2 + 0.9375
    else:
        e = 7.5625 * (t - 2.625 / 2.75) ** 2 + 0.984375
    return (-0.65 + 1.3 * e,)


def overshoot_rule(k):
    """ease_overshoot written out again: back-out 1 + (s + 1)(t - 1)^3 + s (t - 1)^2 with
    s = 1.70158, from -0.65 to +0.65, then the return."""
    if k > 128:
        return (smoothstep_return_rule(k),)
    u = k / 128 - 1
    return (-0.65 + 1.3 * (1 + 2.70158 * u**3 + 1.70158 * u**2),)


# ease_elastic: three oscillations per loop under a lopsided window that swells to its height
# around pip 100 and dies away; the window is scaled so that the largest peak is exactly 0.8.
# The oscillation's zeros fall on pips 0, 128 and 256, its peak on pip 106 and its troughs
# near pips 67 and 147 (drawn a little towards the window's centre).
ELASTIC_RISE, ELASTIC_DECAY = 2.1, 3.1


def elastic(k):
    u = k / FOUR_BEATS
    window = u**ELASTIC_RISE * (1 - u) ** ELASTIC_DECAY
    return (window * math.sin(3 * phase(k, FOUR_BEATS)),)


PATTERNS = [
    Pattern(
        "ease_rebound",
        EASE_DESCRIPTION,
        FOUR_BEATS,
        1,
        rebound,
        facts=(
            formula(rebound_rule, label="bounce-out outward and smoothstep return"),
            peaks(0.65, exact="x"),
            value_at(0, LOW),
            value_at(OUT, HIGH),
        ),
    ),
    Pattern(
        "ease_anticipate",
        EASE_DESCRIPTION,
        FOUR_BEATS,
        1,
        anticipate,
        facts=(
            formula(anticipate_rule, label="back-in outward and smoothstep return"),
            peaks(0.78),
            near(54, x=-0.78, tol=0.005),
            value_at(0, LOW),
            value_at(OUT, HIGH),
        ),
    ),
    Pattern(
        "ease_overshoot",
        EASE_DESCRIPTION,
        FOUR_BEATS,
        1,
        overshoot,
        facts=(
            formula(overshoot_rule, label="back-out outward and smoothstep return"),
            peaks(0.78),
            near(74, x=0.78, tol=0.005),
            value_at(0, LOW),
            value_at(OUT, HIGH),
        ),
    ),
    Pattern(
        "ease_elastic",
        "Original windowed, decaying oscillation; not a copied D3 curve. Peak scaled to .8.",
        FOUR_BEATS,
        1,
        elastic,
        peak=0.8,
        facts=(
            peaks(0.8, exact="x"),
            value_at(0, 0.0),
            value_at(128, 0.0),
            value_at(106, 0.8),
            largest_at(106, "x"),
            extremum_at(67, "x", "min"),
            extremum_at(147, "x", "min"),
            near(67, x=-0.61, tol=0.01),
            near(147, x=-0.58, tol=0.01),
        ),
    ),
]
