"""Drum-sticking studies: each stroke is a gesture, right hand to +x and left hand to -x, with
a dip in y; accented strokes reach further than taps."""

from tablegen.facts import near, peaks, value_at
from tablegen.model import Pattern
from tablegen.shapes import grid_time, nearest_pip, onset, pulse_train

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
    curve = pulse_train([onset(p, x, y, width=STROKE_WIDTH) for p, x, y in strokes], FOUR_BEATS)
    return Pattern(
        name,
        f"Visual sticking study {sticking}{STUDY_NOTE}",
        FOUR_BEATS,
        2,
        curve,
        facts=(peaks(0.82, 0.42, exact="xy"), *(value_at(p, x, y) for p, x, y in strokes)),
    )


# rudiment_flam_accent: six main strokes every 128/3 pips (R L R, L R L); the first of each
# group of three is accented. Before each accent the other hand plays a grace note three pips
# early, drawn as a short deep dip that merges into the accent's own rise.
FLAM_MAIN = [(grid_time(i, 6, FOUR_BEATS), hand) for i, hand in enumerate("RLRLRL")]
FLAM_ACCENTS = {0, 3}
FLAM_MAIN_WIDTH = 16
FLAM_ACCENT_Y, FLAM_TAP_Y = -0.24, -0.14
FLAM_GRACE_LEAD = 3
# The grace note's small sideways flick is over before the accent lands (half-width = lead), so
# the accent keeps its full height; its dip is wider and merges into the accent's rise.
FLAM_GRACE_X, FLAM_GRACE_X_WIDTH = 0.16, FLAM_GRACE_LEAD
FLAM_GRACE_Y_WIDTH = 5
FLAM_GRACE_DIP = -0.4261  # y at the grace pip, the deepest point of the table


def _flam_accent_curve():
    hits = []
    for i, (time, hand) in enumerate(FLAM_MAIN):
        side = 1.0 if hand == "R" else -1.0
        if i in FLAM_ACCENTS:
            hits.append(onset(time, side * ACCENT[0], FLAM_ACCENT_Y, width=FLAM_MAIN_WIDTH))
        else:
            hits.append(onset(time, side * TAP[0], FLAM_TAP_Y, width=FLAM_MAIN_WIDTH))
    # The grace dip is sized so that, added to the tail of the accent's own dip, y at the grace
    # pip is exactly FLAM_GRACE_DIP.
    accent_tail = pulse_train([onset(0, 0.0, FLAM_ACCENT_Y, width=FLAM_MAIN_WIDTH)], FOUR_BEATS)(
        -FLAM_GRACE_LEAD
    )[1]
    grace_y = FLAM_GRACE_DIP - accent_tail
    for i in sorted(FLAM_ACCENTS):
        time, hand = FLAM_MAIN[i]
        side = -1.0 if hand == "R" else 1.0  # the grace note is played by the other hand
        grace_time = (time - FLAM_GRACE_LEAD) % FOUR_BEATS
        hits.append(onset(grace_time, side * FLAM_GRACE_X, 0.0, width=FLAM_GRACE_X_WIDTH))
        hits.append(onset(grace_time, 0.0, grace_y, width=FLAM_GRACE_Y_WIDTH))
    return pulse_train(hits, FOUR_BEATS)


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
        ),
    ),
]
