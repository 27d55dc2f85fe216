"""Two two-bar funk groove excerpts, each as performed and as quantised to sixteenths.

Every hit is a raised-cosine gesture of half a sixteenth (8 pips) either side of its centre, so
hits on neighbouring sixteenths touch without adding and each hit peaks at its own pip with its
own height. Kicks dip the point (-y); snares throw it right (+x); ghost notes flick it a little
left (-x); the syncopated push that closes bar one of excerpt B throws it right like a snare.

In the grid table every hit is centred on a sixteenth (a multiple of 16 pips). In the played
table the same hits are displaced by -8 to +6 pips, mostly early, and land a little harder or
softer. Hits on neighbouring sixteenths never move towards each other, so the played gestures
still touch without adding.
"""

from tablegen.facts import peaks, value_at, zero_except_near
from tablegen.model import Pattern
from tablegen.shapes import hit_sum, onset

TWO_BARS = 512
SIXTEENTH = 16
HIT_WIDTH = 8

# The direction each kind of hit moves the point: (x, y) per unit of height.
KICK, SNARE, GHOST, PUSH = (0.0, -1.0), (1.0, 0.0), (-1.0, 0.0), (1.0, 0.0)

# (sixteenth step, kind, height on the grid, played displacement in pips, played height)
EXCERPT_A = [
    (0, KICK, 0.468, -2, 0.4859),
    (3, GHOST, 0.16, -5, 0.15),
    (4, SNARE, 0.62, -4, 0.655),
    (6, KICK, 0.30, -6, 0.29),
    (7, GHOST, 0.14, -3, 0.13),
    (9, GHOST, 0.18, -7, 0.19),
    (10, KICK, 0.42, -2, 0.43),
    (12, SNARE, 0.6488, -3, 0.6745),
    (14, GHOST, 0.15, 6, 0.16),
    (16, KICK, 0.44, -1, 0.45),
    (19, GHOST, 0.17, -6, 0.16),
    (20, SNARE, 0.63, -5, 0.60),
    (22, KICK, 0.31, -4, 0.33),
    (23, KICK, 0.22, 2, 0.20),
    (25, GHOST, 0.16, -8, 0.17),
    (26, KICK, 0.40, -3, 0.38),
    (28, SNARE, 0.60, -2, 0.63),
    (30, GHOST, 0.20, -4, 0.18),
    (31, GHOST, 0.12, -3, 0.13),
]

EXCERPT_B = [
    (0, KICK, 0.4121, -2, 0.41),
    (2, KICK, 0.28, -4, 0.30),
    (4, SNARE, 0.97, 0, 1.0),
    (7, GHOST, 0.20, -5, 0.18),
    (8, KICK, 0.30, -3, 0.31),
    (10, KICK, 0.38, -6, 0.40),
    (11, GHOST, 0.17, -2, 0.19),
    (12, SNARE, 0.92, -1, 0.90),
    (15, PUSH, 1.0, -4, 0.96),
    (16, KICK, 0.40, -2, 0.4287),
    (18, KICK, 0.26, -7, 0.24),
    (20, SNARE, 0.95, -3, 0.93),
    (22, GHOST, 0.18, 5, 0.20),
    (23, KICK, 0.33, 6, 0.35),
    (26, KICK, 0.36, -4, 0.38),
    (27, GHOST, 0.15, -3, 0.16),
    (28, SNARE, 0.94, -2, 0.97),
    (30, GHOST, 0.20, -8, 0.18),
]


def hits(excerpt, played):
    """(centre pip, x, y) of every hit of an excerpt, as played or on the grid."""
    out = []
    for step, (dx, dy), grid_height, shift, played_height in excerpt:
        centre = (step * SIXTEENTH + (shift if played else 0)) % TWO_BARS
        height = played_height if played else grid_height
        out.append((centre, dx * height + 0.0, dy * height + 0.0))
    return out


def groove(name, description, excerpt, played, peak_x, peak_y, extra_facts=()):
    centres = hits(excerpt, played)
    curve = hit_sum([onset(c, x, y, width=HIT_WIDTH) for c, x, y in centres], TWO_BARS)
    return Pattern(
        name,
        description,
        TWO_BARS,
        2,
        curve,
        facts=(
            peaks(peak_x, peak_y, exact="xy"),
            *(value_at(c, x, y) for c, x, y in centres),
            zero_except_near([c for c, _, _ in centres], HIT_WIDTH),
            *extra_facts,
        ),
    )


A_RANGE = "(4\u201312 source beats)"
B_RANGE = "(36\u201344 source beats)"

PATTERNS = [
    groove(
        "groove_a_played",
        f"Two-bar funk excerpt A {A_RANGE}, performed microtiming.",
        EXCERPT_A,
        True,
        0.6745,
        0.4859,
    ),
    groove(
        "groove_a_grid",
        f"Two-bar funk excerpt A {A_RANGE}, same hits quantised to sixteenths.",
        EXCERPT_A,
        False,
        0.6488,
        0.468,
    ),
    groove(
        "groove_b_played",
        f"Two-bar funk excerpt B {B_RANGE}, performed microtiming.",
        EXCERPT_B,
        True,
        1.0,
        0.4287,
        (value_at(64, x=1.0),),
    ),
    groove(
        "groove_b_grid",
        f"Two-bar funk excerpt B {B_RANGE}, same hits quantised to sixteenths.",
        EXCERPT_B,
        False,
        1.0,
        0.4121,
        (value_at(240, x=1.0),),
    ),
]
