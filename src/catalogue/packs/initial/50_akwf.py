"""Single-cycle waveforms played one sample per pip over four beats.

Each is our own 256-sample cycle of the named waveform's character, built from a few harmonics
so that it loops without a seam, and scaled so that its largest magnitude is exactly 0.85.
"""

import math

from tablegen.facts import peaks
from tablegen.model import Pattern
from tablegen.shapes import harmonics, phase

FOUR_BEATS = 256
PEAK = 0.85


def band_limited_saw(count):
    """A rising sawtooth from its first `count` harmonics, with Lanczos factors so that the
    fall is a rounded, ripple-free return instead of a ringing edge."""
    terms = []
    for n in range(1, count + 1):
        x = math.pi * n / (count + 1)
        sigma = math.sin(x) / x
        # (-1)^(n+1) sin(n*phi)/n rises through zero at phi = 0 and falls at phi = pi.
        terms.append((n, sigma / n, 0.0 if n % 2 else math.pi))
    return harmonics(terms)


def waveform(shape):
    return lambda k: (shape(phase(k, FOUR_BEATS)),)


# A soft saw: six harmonics give a gently curved ramp and a broad rounded fall.
round_saw_shape = band_limited_saw(6)
# A saw with a brisk return: more harmonics steepen the fall; a touch of second harmonic bows
# the ramp.
_quick_saw = band_limited_saw(11)


def quick_return_shape(phi):
    return _quick_saw(phi) + 0.12 * math.sin(2 * phi + 2.4)


# Several unequal lobes from five harmonics with scattered phases.
multi_lobe_shape = harmonics(
    [(1, 1.0, 0.0), (2, 0.55, 0.9), (3, 0.5, 2.2), (4, 0.22, 0.4), (5, 0.3, 1.3)]
)


def plateau_shape(phi):
    """A soft-clipped wave: broad, slightly tilted plateaus joined by rounded edges."""
    drive = math.sin(phi) + 0.3 * math.sin(2 * phi + 0.5) + 0.08 * math.sin(3 * phi)
    return math.tanh(3.0 * drive) + 0.05 * math.sin(5 * phi + 0.7)


def akwf(name, source, shape):
    return Pattern(
        name,
        f"{source}: an actual CC0 waveform slowed to a four-beat position loop.",
        FOUR_BEATS,
        1,
        waveform(shape),
        peak=PEAK,
        facts=(peaks(PEAK, exact="x"),),
    )


PATTERNS = [
    akwf("akwf_round_saw", "AKWF_R_asym_saw_05_256", round_saw_shape),
    akwf("akwf_quick_return", "AKWF_R_asym_saw_15_256", quick_return_shape),
    akwf("akwf_multi_lobe", "AKWF_0001_256", multi_lobe_shape),
    akwf("akwf_plateau", "AKWF_0010_256", plateau_shape),
]
