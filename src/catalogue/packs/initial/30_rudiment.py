"""Drum-sticking studies: each stroke is a gesture, right hand to +x and left hand to -x, with
a dip in y; accented strokes reach further than taps."""

from tablegen.facts import extremum_at, near, peaks, value_at
from tablegen.model import Pattern
from tablegen.shapes import (
    grid_time,
    hit,
    hit_sum,
    nearest_pip,
    onset,
    rise_fall,
)

FOUR_BEATS = 256
STUDY_NOTE = (
    "; equal triplet spacing over four beats. This is a movement interpretation, "
    "not a complete drum-performance notation."
)

ACCENT = (0.82, -0.42)  # |x| and y of an accented stroke
TAP = (0.49, -0.25)  # |x| and y of an unaccented stroke
# Strokes sit about 21 pips apart; a half-width of half that spacing lets neighbouring strokes
# touch without adding, so each stroke peaks at its own pip with its own height.
STROKE_WIDTH = 10.5

# Twelve strokes on the triplet grid of four beats, each on the pip nearest its exact time.
STROKE_PIPS = [nearest_pip(grid_time(i, 12, FOUR_BEATS)) for i in range(12)]


def sticking_strokes(sticking, accents):
    """(pip, x, y) of every stroke of a twelve-stroke sticking such as "RLRLRR LRLRLL";
    `accents` lists the accented stroke indices."""
    hands = sticking.replace(" ", "")
    if len(hands) != 12 or set(hands) - {"R", "L"}:
        raise ValueError(f"a study has twelve R/L strokes, got {sticking!r}")
    strokes = []
    for i, (pip, hand) in enumerate(zip(STROKE_PIPS, hands, strict=True)):
        size, dip = ACCENT if i in accents else TAP
        strokes.append((pip, size if hand == "R" else -size, dip))
    return strokes


def sticking_study(name, sticking, accents):
    strokes = sticking_strokes(sticking, accents)
    curve = hit_sum([onset(p, x, y, width=STROKE_WIDTH) for p, x, y in strokes], FOUR_BEATS)
    return Pattern(
        name,
        f"Visual sticking study {sticking}{STUDY_NOTE}",
        FOUR_BEATS,
        2,
        curve,
        facts=(peaks(0.82, 0.42, exact="xy"), *(value_at(p, x, y) for p, x, y in strokes)),
    )


# rudiment_flam_accent: six main strokes every 128/3 pips (R L R, L R L); the first of each
# group of three is accented. Every main stroke strikes over 9 pips and releases over 16. Before
# each accent the other hand plays its grace: a flick out to its own side, lifting a little, that
# peaks 13 pips before the accent and is on its way back as the accent strikes; the point then
# swoops through the grace's deep dip three pips before the accent and lands on it. That swoop
# is the fastest motion of the initial pack: 0.19192 between pips 123 and 124 (and 251, 252),
# the pack's stated largest step of 0.1919.
FLAM_MAIN = [(grid_time(i, 6, FOUR_BEATS), hand) for i, hand in enumerate("RLRLRL")]
FLAM_ACCENTS = {0, 3}
FLAM_STROKE = rise_fall(9, 16)
FLAM_ACCENT_Y, FLAM_TAP_Y = -0.24, -0.14
FLAM_FLICK = (0.3, 0.06)  # |x| and y of the grace's flick to the other side
FLAM_FLICK_LEAD, FLAM_FLICK_KERNEL = 13, rise_fall(7, 6)
FLAM_GRACE_LEAD, FLAM_GRACE_KERNEL = 3, rise_fall(4, 4)
FLAM_GRACE_DIP = -0.4261  # y at the grace pip, the deepest point of the table


def _flam_accent_curve():
    strokes = []
    for i, (time, hand) in enumerate(FLAM_MAIN):
        side = 1.0 if hand == "R" else -1.0
        size, dip = (ACCENT[0], FLAM_ACCENT_Y) if i in FLAM_ACCENTS else (TAP[0], FLAM_TAP_Y)
        strokes.append(hit(time, side * size, dip, kernel=FLAM_STROKE))
    graces = []
    for i in sorted(FLAM_ACCENTS):
        time, hand = FLAM_MAIN[i]
        side = -1.0 if hand == "R" else 1.0  # the grace note is played by the other hand
        flick_x, flick_y = FLAM_FLICK
        strokes.append(
            hit(time - FLAM_FLICK_LEAD, side * flick_x, flick_y, kernel=FLAM_FLICK_KERNEL)
        )
        graces.append(time - FLAM_GRACE_LEAD)
    # The grace dip is sized so that, added to what the strokes and flicks leave there, y at
    # the grace pip is exactly FLAM_GRACE_DIP.
    around = hit_sum(strokes, FOUR_BEATS, 2)(graces[0])[1]
    dips = [hit(pip, 0.0, FLAM_GRACE_DIP - around, kernel=FLAM_GRACE_KERNEL) for pip in graces]
    return hit_sum(strokes + dips, FOUR_BEATS, 2)


PATTERNS = [
    sticking_study("rudiment_double_paradiddle", "RLRLRR LRLRLL", {0, 6}),
    sticking_study("rudiment_paradiddle_diddle", "RLRRLL LRLLRR", {0, 6}),
    sticking_study("rudiment_six_stroke", "RLLRRL LRRLLR", {0, 5, 6, 11}),
    Pattern(
        "rudiment_flam_accent",
        "Opposite-hand grace gestures lead accented groups of three; deliberately expanded for "
        "visible motion.",
        FOUR_BEATS,
        2,
        _flam_accent_curve(),
        facts=(
            peaks(0.82, 0.4261, exact="x"),
            value_at(0, x=0.82),
            value_at(128, x=-0.82),
            near(125, y=-0.43),
            near(253, y=-0.43),
            extremum_at(125, "y", "min"),
            extremum_at(253, "y", "min"),
            # each grace flicks out to the other hand's side before its accent strikes
            extremum_at(128 - FLAM_FLICK_LEAD, "x", "max"),
            extremum_at(256 - FLAM_FLICK_LEAD, "x", "min"),
        ),
    ),
]
