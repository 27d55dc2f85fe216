"""Vertex tours: n vertices visited in star order, k places around the centre per move.

Every tour starts on its first vertex, (0.82, 0) at pip 0, the farthest point of the path, so
the one normalising factor is 1 and the authored values are the stored ones. The other vertices
sit nearer the centre at radii of their own, their angles moved a few degrees off the regular
star. Each visit is a slot of 1024/n pips: the path arrives at the vertex, holds there for a
dwell that alternates long and short (and varies a little on top of that), then eases along a
straight chord to the next vertex. The axes-3 tours alternate their vertices in front of and
behind the screen, cycling through three depths.
"""

import math
from dataclasses import dataclass

from tablegen.facts import heading_near, star_order, value_at
from tablegen.model import Pattern
from tablegen.shapes import HALF_PIP, hashed_unit, keyframes

LOOP = 1024
PEAK = 0.82
DESCRIPTION = "A noncircular vertex tour with eased corners and alternating dwell lengths."

FIRST_RADIUS = PEAK  # the first vertex is the farthest one
RADII = (0.56, 0.79)  # every other vertex lies somewhere in this band
DEPARTURE = 9.0  # degrees: the most a vertex strays from its regular star angle
LONG_DWELL, SHORT_DWELL = 0.34, 0.17  # shares of a slot, on even and odd visits
DWELL_SPREAD = 0.25  # each dwell varies by up to this share of itself


@dataclass(frozen=True)
class Tour:
    n: int
    k: int
    depths: tuple[float, ...] = ()  # three |z| values cycled over the visits; empty for 2-D
    angles: tuple[float, ...] = ()  # authored vertex angles per visit, degrees; else derived

    @property
    def name(self) -> str:
        return f"tour_{self.n}_{self.k}"

    @property
    def slot(self) -> float:
        return LOOP / self.n

    def place(self, visit: int) -> int:
        """Which vertex (counted around the centre) the given visit lands on."""
        return visit * self.k % self.n

    def angle(self, visit: int) -> float:
        if self.angles:
            return self.angles[visit]
        place = self.place(visit)
        if place == 0:
            return 0.0
        return 360.0 * place / self.n + DEPARTURE * hashed_unit(self.name, "angle", place)

    def radius(self, visit: int) -> float:
        if visit == 0:
            return FIRST_RADIUS
        low, high = RADII
        return low + (high - low) * (0.5 + 0.5 * hashed_unit(self.name, "radius", visit))

    def vertex(self, visit: int) -> tuple[float, ...]:
        angle = math.radians(self.angle(visit))
        r = self.radius(visit)
        flat = (r * math.cos(angle), r * math.sin(angle))
        if not self.depths:
            return flat
        side = 1.0 if visit % 2 == 0 else -1.0
        return (*flat, side * self.depths[visit % 3])

    def dwell(self, visit: int) -> float:
        share = LONG_DWELL if visit % 2 == 0 else SHORT_DWELL
        return self.slot * share * (1.0 + DWELL_SPREAD * hashed_unit(self.name, "dwell", visit))

    def arrival(self, visit: int) -> float:
        return visit * self.slot

    def settled_pip(self, visit: int) -> int:
        """A whole pip inside the dwell at the visit's vertex."""
        return math.ceil(self.arrival(visit) + self.dwell(visit) / 2)

    def curve(self):
        frames = []
        for visit in range(self.n):
            point, arrival = self.vertex(visit), self.arrival(visit)
            frames += [(arrival, point), (arrival + self.dwell(visit), point)]
        return keyframes(frames, LOOP)


def stated(tour: Tour, extra=()):
    start = value_at(0, x=PEAK, y=0.0) if tour.depths else value_at(0, PEAK, 0.0, 0.0)
    return (start, star_order(tour.n, tour.k), *extra)


# tour_5_2 visits its vertices near 0, 154, 296, 64 and 206 degrees.
TOUR_5_2 = Tour(5, 2, angles=(0.0, 154.0, 296.0, 64.0, 206.0))
STAR_5_2 = tuple(
    heading_near(TOUR_5_2.settled_pip(visit), degrees)
    for visit, degrees in enumerate((0.0, 154.0, 296.0, 64.0, 206.0))
)

# tour_14_3 alternates its vertices between z = +-0.084, +-0.151 and +-0.188.
TOUR_14_3 = Tour(14, 3, depths=(0.084, 0.151, 0.188))
DEPTHS_14_3 = tuple(
    value_at(TOUR_14_3.settled_pip(visit), z=z)
    for visit, z in enumerate((0.084, -0.151, 0.188, -0.084, 0.151, -0.188) * 2 + (0.084, -0.151))
)

TOURS = [
    (TOUR_5_2, STAR_5_2),
    (Tour(7, 2), ()),
    (Tour(7, 3), ()),
    (Tour(8, 3), ()),
    (Tour(9, 2), ()),
    (Tour(9, 4), ()),
    (Tour(10, 3), ()),
    (Tour(11, 2), ()),
    (Tour(11, 3, depths=(0.12, 0.2, 0.16)), ()),
    (Tour(11, 4, depths=(0.18, 0.1, 0.14)), ()),
    (Tour(12, 5, depths=(0.22, 0.13, 0.17)), ()),
    (Tour(13, 2, depths=(0.09, 0.17, 0.21)), ()),
    (Tour(13, 3, depths=(0.15, 0.24, 0.11)), ()),
    (Tour(13, 4, depths=(0.2, 0.12, 0.25)), ()),
    (Tour(13, 5, depths=(0.1, 0.19, 0.14)), ()),
    (TOUR_14_3, DEPTHS_14_3),
]

PATTERNS = [
    Pattern(
        tour.name,
        DESCRIPTION,
        LOOP,
        3 if tour.depths else 2,
        tour.curve(),
        peak=PEAK,
        peak_grid=HALF_PIP,
        facts=stated(tour, extra),
    )
    for tour, extra in TOURS
]
