"""Shaped control waves: x alone, one smooth loop of a named shape over eight beats, written as
a function of the loop angle phi = 2*pi*k/512 and scaled by one factor so that its largest |x|
is 0.82.

Seven shapes are closed forms. The other nine are our own curves of the labelled character; four
of those are odd-harmonic (sin phi plus smaller odd harmonics), so the second half of each loop
is the first half turned upside down.
"""

import math

from tablegen.facts import (
    extremum_at,
    formula,
    half_turn,
    monotone_over,
    near,
    peaks,
    value_at,
)
from tablegen.model import Pattern
from tablegen.shapes import harmonics, phase

EIGHT_BEATS = 512
PEAK = 0.82


# --- the closed forms -------------------------------------------------------------------------


def pinched(phi):
    return math.sin(phi) - math.sin(3 * phi) / 3


def folded(phi):
    return math.sin(2.2 * math.sin(phi))


def double_fold(phi):
    return math.sin(3.8 * math.sin(phi))


def rounded_square(phi):
    return math.tanh(2 * math.sin(phi))


def skew_warp(phi):
    return math.sin(phi + 0.7 * math.sin(phi))


def notched(phi):
    return math.sin(phi) - 0.36 * math.sin(3 * phi) + 0.12 * math.cos(5 * phi)


def ripple_return(phi):
    return math.sin(phi) + 0.09 * math.sin(5 * phi) * (1 + math.cos(phi))


# --- shapes of a stated character -------------------------------------------------------------


def shouldered(phi):
    """A third harmonic strong enough to sink the crest: two shoulders either side of a dip."""
    return math.sin(phi) + 0.4495 * math.sin(3 * phi)


def unequal_peaks(phi):
    """A second harmonic out of phase with the fundamental: a tall crest, then a lower one."""
    return math.sin(phi) + 0.597 * math.sin(2 * phi + 0.8)


def reed(phi):
    """Seven flutters per loop, riding on the fundamental and vanishing where it crosses zero."""
    return math.sin(phi) * (1 + 0.47 * math.cos(7 * phi))


# Soft rectified swell: the smooth absolute value sqrt(sin^2 phi + SOFTNESS^2) of the fundamental
# (two swells per loop, rounded where the rectifier would leave a cusp), lowered by a floor set so
# that each trough sits at 0.767/0.82 of the crest below zero.
SOFTNESS = 0.3
TROUGH_TO_CREST = 0.767 / 0.82
RECTIFIER_FLOOR = (SOFTNESS + TROUGH_TO_CREST * math.hypot(1.0, SOFTNESS)) / (1 + TROUGH_TO_CREST)


def soft_rectifier(phi):
    return math.hypot(math.sin(phi), SOFTNESS) - RECTIFIER_FLOOR


def scoop_warp(phi):
    """The sine read through a warped phase psi that keeps the crest at phi = pi/2 and the
    trough at 3*pi/2 but starts at psi = 0.8: it lingers high through the first half and the
    return scoops quickly down to the trough and back."""
    psi = phi + 0.96 * math.cos(phi) - 0.32 * math.sin(2 * phi) - 0.16 * math.cos(3 * phi)
    return math.sin(psi)


def shelf_and_scoop(phi):
    """The third harmonic cancels the fundamental's slope and curvature near phi = 0.72*pi: a flat
    ledge on the way down from the crest, whose mirror image is a hollow on the way back up."""
    return math.sin(phi) + 0.229 * math.sin(3 * phi - 0.886)


# Bottle-neck swell: broad, level shoulders at about two fifths of the crest and a narrow neck
# rising from them to the crest at phi = pi/2.
bottle = harmonics(
    [(1, 1.0, 0.0), (3, -0.06, 0.0), (5, 0.25, 0.0), (7, -0.03, 0.0), (9, 0.035, 0.0)]
)


def soft_teeth(phi):
    """A flat-topped body carved into three rounded saw teeth on each half of the loop: the tooth
    lane has six cycles per loop and rises faster than it falls."""
    body = math.sin(phi) + 0.3 * math.sin(3 * phi) + 0.1 * math.sin(5 * phi)
    teeth = math.sin(6 * phi - 2 * math.pi / 3) + 0.3 * math.sin(12 * phi - 4 * math.pi / 3)
    return body * (1 + 0.25 * teeth)


def warped_fold(phi):
    """A wave folded back over its crest, read through a phase that runs ahead in the first part
    of each half and late in the second: a long, dipped plateau and a late, sharp peak."""
    return math.sin(2.4 * math.sin(phi + 0.4 * math.cos(2 * phi)))


# --- facts ------------------------------------------------------------------------------------


def at_peak(raw):
    """A rule for a closed form raw(phi): raw at phi = 2*pi*k/512, times 0.82 over the largest
    |raw| on the 512 pips, found here by a search of its own."""
    values = [raw(2 * math.pi * k / 512) for k in range(512)]
    top = max(abs(v) for v in values)
    return lambda k: (0.82 * values[k] / top,)


def closed_form(raw, label):
    return formula(at_peak(raw), label=label)


# The authored shapes state their normalised peak; a closed form's formula fact already does.
REACHES_PEAK = peaks(PEAK, exact="x")


def wave(name, label, shape, *facts):
    return Pattern(
        name,
        f"{label}; a continuous shaped control wave, mapped to horizontal displacement.",
        EIGHT_BEATS,
        1,
        lambda k: (shape(phase(k, EIGHT_BEATS)),),
        peak=PEAK,
        facts=facts,
    )


PATTERNS = [
    wave(
        "wave_pinched",
        "Pinched sine",
        pinched,
        closed_form(lambda p: math.sin(p) - math.sin(3 * p) / 3, "sin phi - sin 3phi / 3"),
    ),
    wave(
        "wave_shouldered",
        "Shouldered sine",
        shouldered,
        REACHES_PEAK,
        near(128, x=0.437, tol=0.0005),
        near(64, x=0.814, tol=0.0005),
        extremum_at(128, "x", "min"),
        formula(
            at_peak(lambda p: math.sin(p) + 0.449 * math.sin(3 * p)),
            tol=0.002,
            label="close to sin phi + 0.449 sin 3phi",
        ),
    ),
    wave(
        "wave_folded",
        "Folded sine",
        folded,
        closed_form(lambda p: math.sin(2.2 * math.sin(p)), "sin(2.2 sin phi)"),
    ),
    wave(
        "wave_double_fold",
        "Double-fold wave",
        double_fold,
        closed_form(lambda p: math.sin(3.8 * math.sin(p)), "sin(3.8 sin phi)"),
    ),
    wave(
        "wave_rounded_square",
        "Rounded square",
        rounded_square,
        closed_form(lambda p: math.tanh(2 * math.sin(p)), "tanh(2 sin phi)"),
    ),
    wave(
        "wave_soft_rectifier",
        "Soft rectified swell",
        soft_rectifier,
        REACHES_PEAK,
        half_turn(+1),
        near(0, x=-0.767, tol=0.0005),
        value_at(128, 0.82),
    ),
    wave(
        "wave_skew_warp",
        "Phase-skew sweep",
        skew_warp,
        closed_form(lambda p: math.sin(p + 0.7 * math.sin(p)), "sin(phi + 0.7 sin phi)"),
    ),
    wave(
        "wave_scoop_warp",
        "Scooped return",
        scoop_warp,
        REACHES_PEAK,
        near(0, x=0.588, tol=0.0005),
        near(256, x=0.588, tol=0.0005),
        value_at(128, 0.82),
        value_at(384, -0.82),
        monotone_over(0, 128, "x", rising=True),
        monotone_over(128, 384, "x", rising=False),
    ),
    wave(
        "wave_shelf_wave",
        "Shelf and scoop",
        shelf_and_scoop,
        REACHES_PEAK,
        half_turn(-1),
        value_at(88, 0.82),
        monotone_over(88, 344, "x", rising=False),
    ),
    wave(
        "wave_notched",
        "Notched crest",
        notched,
        closed_form(
            lambda p: math.sin(p) - 0.36 * math.sin(3 * p) + 0.12 * math.cos(5 * p),
            "sin phi - 0.36 sin 3phi + 0.12 cos 5phi",
        ),
    ),
    wave(
        "wave_bottle",
        "Bottle-neck swell",
        bottle,
        REACHES_PEAK,
        half_turn(-1),
        value_at(128, 0.82),
        extremum_at(62, "x", "min"),
        near(62, x=0.318, tol=0.005),
    ),
    wave(
        "wave_reed",
        "Reed flutter",
        reed,
        closed_form(
            lambda p: math.sin(p) * (1 + 0.47 * math.cos(7 * p)),
            "sin phi (1 + 0.47 cos 7phi)",
        ),
    ),
    wave(
        "wave_unequal_peaks",
        "Unequal double crest",
        unequal_peaks,
        closed_form(
            lambda p: math.sin(p) + 0.597 * math.sin(2 * p + 0.8),
            "sin phi + 0.597 sin(2phi + 0.8)",
        ),
    ),
    wave(
        "wave_ripple_return",
        "Rippled recovery",
        ripple_return,
        closed_form(
            lambda p: math.sin(p) + 0.09 * math.sin(5 * p) * (1 + math.cos(p)),
            "sin phi + 0.09 sin 5phi (1 + cos phi)",
        ),
    ),
    wave(
        "wave_soft_teeth",
        "Soft triple teeth",
        soft_teeth,
        REACHES_PEAK,
        half_turn(-1),
        *(extremum_at(pip, "x", "max") for pip in (46, 129, 212)),
    ),
    wave(
        "wave_warped_fold",
        "Warped wave fold",
        warped_fold,
        REACHES_PEAK,
        half_turn(-1),
        extremum_at(40, "x", "max"),
        extremum_at(154, "x", "min"),
        extremum_at(195, "x", "max"),
    ),
]
