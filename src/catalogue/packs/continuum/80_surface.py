"""Surface paths: a point travelling over a lumpy globe whose polar axis is vertical (y).

surface_<a>_<b>_<low or wide>: a turns of longitude round the vertical axis while the latitude
swings b times up and down, low ones staying near the equator and wide ones climbing towards the
poles. The two are coupled: longitude lingers while the latitude crosses the equator and hurries
round its turning points, and the latitude swing is lopsided by the longitude, higher on one side
of the globe than on the other. The globe's radius varies with both, so the path rides over
two broad bulges and a flattened cap. x and z come from the longitude and y from the latitude;
none of them is dropped.

Every surface path is mirror-symmetric about pip 0 (left for right): it starts at the top of a
latitude swing on the far side of the globe, where the longitude hurries, and the pace quickens
further through pip 0, so that in several members the seam is the table's largest step.
"""

import math
from dataclasses import dataclass

from tablegen.facts import peak_within
from tablegen.model import Pattern
from tablegen.shapes import HALF_PIP, phase, quick_start

SIXTEEN_BEATS = 1024
PEAK = 0.82
LOWEST_PEAK = 0.81962  # a half-pip peak can fall between two pips; the table then peaks lower
DESCRIPTION = (
    "A varying-radius surface path with coupled longitude and latitude; all three coordinates "
    "are retained."
)


@dataclass(frozen=True)
class Sweep:
    latitude: float  # largest latitude swing, radians
    hurry: float  # share by which longitude speeds up at the latitude's turning points (below 1)
    lopsided: float  # share by which the latitude swing grows on the near side of the globe


LOW = Sweep(latitude=0.5, hurry=0.5, lopsided=0.3)
WIDE = Sweep(latitude=1.05, hurry=0.6, lopsided=0.2)
# How much quicker than its mean pace the point runs through pip 0 (and slower half a loop on).
PACE = 0.4


def radius(longitude, latitude):
    """Two broad bulges round the equator, left and right, and a cap flattened on top."""
    return 1 - 0.16 * math.cos(2 * longitude) - 0.14 * max(0.0, math.sin(latitude)) ** 2


def surface(turns: int, swings: int, sweep: Sweep):
    def curve(k):
        phi = quick_start(phase(k, SIXTEEN_BEATS), PACE)
        swing = swings * phi + math.pi / 2  # at the top of its swing at pip 0
        # d(longitude)/d(phi) = turns * (1 - hurry * cos(2 * swing)): never backwards.
        longitude = turns * (phi - sweep.hurry * math.sin(2 * swing) / (2 * swings)) - math.pi / 2
        latitude = sweep.latitude * (1 + sweep.lopsided * math.sin(longitude)) * math.sin(swing)
        r = radius(longitude, latitude)
        across = r * math.cos(latitude)
        return (across * math.cos(longitude), r * math.sin(latitude), across * math.sin(longitude))

    return curve


TURNS = [(1, 2), (1, 3), (1, 4), (1, 5), (2, 3), (2, 5), (3, 4), (3, 5)]

PATTERNS = [
    Pattern(
        f"surface_{a}_{b}_{kind}",
        DESCRIPTION,
        SIXTEEN_BEATS,
        3,
        surface(a, b, sweep),
        peak=PEAK,
        peak_grid=HALF_PIP,
        facts=(peak_within(LOWEST_PEAK, PEAK),),
    )
    for kind, sweep in (("low", LOW), ("wide", WIDE))
    for a, b in TURNS
]
