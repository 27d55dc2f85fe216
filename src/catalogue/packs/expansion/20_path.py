"""Closed 2-D and 3-D curves, each an exact formula of the loop phase phi = 2*pi*k/N."""

import math

from tablegen.facts import formula, peaks, value_at
from tablegen.model import Pattern
from tablegen.shapes import phase

FOUR_BEATS = 256
EIGHT_BEATS = 512
SIXTEEN_BEATS = 1024


def lissajous_2_3(k):
    phi = phase(k, EIGHT_BEATS)
    return (0.78 * math.sin(2 * phi), 0.68 * math.sin(3 * phi))


def rose_4(k):
    # A signed radius: the point passes through the centre between petals.
    phi = phase(k, EIGHT_BEATS)
    r = 0.82 * math.cos(2 * phi)
    return (r * math.cos(phi), r * math.sin(phi))


def rose_5(k):
    # An odd rose is complete after half a turn, so the parameter only runs through pi.
    theta = math.pi * k / EIGHT_BEATS
    r = 0.82 * math.cos(5 * theta)
    return (r * math.cos(theta), r * math.sin(theta))


def bowed_diamond(k):
    phi = phase(k, EIGHT_BEATS)
    return (0.8 * math.cos(phi) ** 3, 0.8 * math.sin(phi) ** 3)


def orbit_dwell(k):
    # psi = phi - sin(phi) has zero speed at pip 0 and twice the mean speed half a loop later.
    phi = phase(k, EIGHT_BEATS)
    psi = phi - math.sin(phi)
    return (0.8 * math.cos(psi), 0.6 * math.sin(psi))


def torus_knot(k):
    phi = phase(k, SIXTEEN_BEATS)
    rho = 0.54 + 0.22 * math.cos(3 * phi)
    return (rho * math.cos(2 * phi), rho * math.sin(2 * phi), 0.36 * math.sin(3 * phi))


def woven_3d(k):
    phi = phase(k, SIXTEEN_BEATS)
    return (0.72 * math.sin(2 * phi), 0.64 * math.sin(3 * phi), 0.48 * math.sin(5 * phi))


def crank_slider(k):
    # Slider travel s = cos(phi) + sqrt(9 - sin^2 phi) for crank radius 1 and rod length 3
    # runs from 4 (phi = 0) to 2 (phi = pi); x maps that range linearly onto +-0.78.
    phi = phase(k, FOUR_BEATS)
    s = math.cos(phi) + math.sqrt(9 - math.sin(phi) ** 2)
    return (0.78 * (s - 3), 0.3 * math.sin(phi))


# Each closed form written out again on its own, without the phase helper, so that the facts
# compare every table with its formula rather than with the curve that produced it.
def lissajous_2_3_rule(k):
    phi = 2 * math.pi * k / 512
    return (0.78 * math.sin(2 * phi), 0.68 * math.sin(3 * phi))


def rose_4_rule(k):
    phi = 2 * math.pi * k / 512
    r = 0.82 * math.cos(2 * phi)
    return (r * math.cos(phi), r * math.sin(phi))


def rose_5_rule(k):
    theta = math.pi * k / 512
    r = 0.82 * math.cos(5 * theta)
    return (r * math.cos(theta), r * math.sin(theta))


def bowed_diamond_rule(k):
    phi = 2 * math.pi * k / 512
    return (0.8 * math.cos(phi) ** 3, 0.8 * math.sin(phi) ** 3)


def orbit_dwell_rule(k):
    phi = 2 * math.pi * k / 512
    psi = phi - math.sin(phi)
    return (0.8 * math.cos(psi), 0.6 * math.sin(psi))


def torus_knot_rule(k):
    phi = 2 * math.pi * k / 1024
    rho = 0.54 + 0.22 * math.cos(3 * phi)
    return (rho * math.cos(2 * phi), rho * math.sin(2 * phi), 0.36 * math.sin(3 * phi))


def woven_3d_rule(k):
    phi = 2 * math.pi * k / 1024
    return (0.72 * math.sin(2 * phi), 0.64 * math.sin(3 * phi), 0.48 * math.sin(5 * phi))


def crank_slider_rule(k):
    # x maps the slider travel linearly so that the outer dead centre s(0) goes to +0.78 and
    # the inner one s(pi) to -0.78; both ends come from s itself, not from the values 4 and 2.
    def s(angle):
        return math.cos(angle) + math.sqrt(9 - math.sin(angle) ** 2)

    phi = 2 * math.pi * k / 256
    outer, inner = s(0.0), s(math.pi)
    return (-0.78 + 1.56 * (s(phi) - inner) / (outer - inner), 0.3 * math.sin(phi))


PATTERNS = [
    Pattern(
        "path_lissajous_2_3",
        "Two horizontal cycles cross three vertical cycles in a closed eight-beat Lissajous path.",
        EIGHT_BEATS,
        2,
        lissajous_2_3,
        facts=(
            formula(lissajous_2_3_rule, label="0.78 sin 2phi; 0.68 sin 3phi"),
            peaks(0.78, 0.68, exact="xy"),
            value_at(64, x=0.78),
            value_at(384, y=0.68),
        ),
    ),
    Pattern(
        "path_rose_4",
        "A signed radial oscillation draws four petals, passing through the centre between them.",
        EIGHT_BEATS,
        2,
        rose_4,
        facts=(
            formula(rose_4_rule, label="r = 0.82 cos 2phi; r cos phi; r sin phi"),
            peaks(0.82, 0.82, exact="xy"),
            value_at(0, 0.82, 0.0),
        ),
    ),
    Pattern(
        "path_rose_5",
        "Five petals in one complete eight-beat traversal; the odd-petal parameter runs through "
        "pi, not two pi.",
        EIGHT_BEATS,
        2,
        rose_5,
        facts=(
            formula(rose_5_rule, label="theta = pi k / 512; r = 0.82 cos 5theta; r cos, r sin"),
            peaks(0.82, 0.7814, exact="x"),
            value_at(0, 0.82, 0.0),
        ),
    ),
    Pattern(
        "path_bowed_diamond",
        "An astroid-shaped loop with inward-curved edges and naturally slow corners.",
        EIGHT_BEATS,
        2,
        bowed_diamond,
        facts=(
            formula(bowed_diamond_rule, label="0.8 cos^3 phi; 0.8 sin^3 phi"),
            peaks(0.8, 0.8, exact="xy"),
            value_at(0, 0.8, 0.0),
            value_at(128, y=0.8),
        ),
    ),
    Pattern(
        "path_orbit_dwell",
        "An ellipse whose phase slows to zero speed at the loop boundary and accelerates through "
        "the opposite side.",
        EIGHT_BEATS,
        2,
        orbit_dwell,
        facts=(
            formula(orbit_dwell_rule, label="psi = phi - sin phi; 0.8 cos psi; 0.6 sin psi"),
            peaks(0.8, 0.6, exact="x"),
            value_at(0, 0.8, 0.0),
        ),
    ),
    Pattern(
        "path_torus_knot",
        "Two turns around the axis and three through the tube. XYZ is retained; the demo projects "
        "depth.",
        SIXTEEN_BEATS,
        3,
        torus_knot,
        facts=(
            formula(
                torus_knot_rule,
                label="rho = 0.54 + 0.22 cos 3phi; rho cos 2phi; rho sin 2phi; 0.36 sin 3phi",
            ),
            peaks(0.76, 0.7199, 0.36, exact="xz"),
            value_at(0, 0.76, 0.0, 0.0),
        ),
    ),
    Pattern(
        "path_woven_3d",
        "Independent two-, three-, and five-cycle XYZ oscillations close after sixteen beats.",
        SIXTEEN_BEATS,
        3,
        woven_3d,
        facts=(
            formula(woven_3d_rule, label="0.72 sin 2phi; 0.64 sin 3phi; 0.48 sin 5phi"),
            peaks(0.72, 0.64, 0.48, exact="xyz"),
            value_at(0, 0.0, 0.0, 0.0),
        ),
    ),
    Pattern(
        "path_crank_slider",
        "Horizontal slider-crank travel with rod length three and crank radius one; vertical "
        "motion follows the crank tip.",
        FOUR_BEATS,
        2,
        crank_slider,
        facts=(
            formula(crank_slider_rule, label="s = cos phi + sqrt(9 - sin^2 phi) onto +-0.78"),
            peaks(0.78, 0.3, exact="xy"),
            value_at(0, 0.78, 0.0, 0.0),
            value_at(128, -0.78, 0.0, 0.0),
        ),
    ),
]
