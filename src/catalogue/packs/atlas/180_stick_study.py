"""Sticking studies: sixteen strokes, one every eighth note. The first eight follow the study's
sticking and the last eight answer it with the hands swapped. R strokes go right (+x), L strokes
left (-x), and every stroke dips y; the group leads (strokes 0, 4, 8 and 12) are accented.

Each stroke is a raised cosine of half-width 12 pips, so strokes never touch and the point rests
at the origin between them. The accented stroke is the steepest gesture of the atlas pack: its
largest step between neighbouring pips is |A|*sin(pi/24)*sin(11*pi/24) = 0.10539 for
|A| = |(0.74, -0.34)|."""

import math

from tablegen.facts import formula, peaks, value_at
from tablegen.model import Pattern
from tablegen.shapes import hit_sum, onset

EIGHT_BEATS = 512
EIGHTH = 32
HALF_WIDTH = 12
ACCENT = (0.74, -0.34)  # |x| and y of a capital letter
TAP = (0.407, -0.187)  # |x| and y of a lower-case letter

DESCRIPTION = (
    "Original R/L movement study with accented group leads, followed by its hand-swapped answer. "
    "Not an official rudiment transcription."
)

# Strokes 0-7 of each study; capitals are accented.
STICKINGS = {
    "01": "R l r r L r l l",
    "02": "R r l r L l r l",
    "03": "R l l r L r r l",
    "04": "R r l l R l r l",
    "05": "R l r l R r l l",
    "06": "R r r l L l r l",
    "07": "R l l l R r r l",
    "08": "R r l r R l l l",
    "09": "R l r r L l r l",
    "10": "R r l l R l l r",
    "11": "R l r l L r r l",
    "12": "R r r l R l l l",
    "13": "R r r r L r l l",
    "14": "R r l l L r r l",
    "15": "R l r r R l l l",
    "16": "R r l r L l l r",
}

SWAP = str.maketrans("RLrl", "LRlr")


def strokes(sticking):
    """(pip, x, y) of all sixteen strokes: the sticking, then its hand-swapped answer."""
    letters = sticking.split()
    if len(letters) != 8 or set(letters) - set("RLrl"):
        raise ValueError(f"a study is eight strokes of R, L, r, l, got {sticking!r}")
    answer = [letter.translate(SWAP) for letter in letters]
    out = []
    for i, letter in enumerate(letters + answer):
        size, dip = ACCENT if letter.isupper() else TAP
        out.append((EIGHTH * i, size if letter.upper() == "R" else -size, dip))
    return out


def study(sticking):
    gestures = [onset(pip, x, y, width=HALF_WIDTH) for pip, x, y in strokes(sticking)]
    return hit_sum(gestures, EIGHT_BEATS)


def study_rule(sticking):
    """The family rule written out on its own: stroke s (0-15) at pip 32*s adds
    A*(1 + cos(pi*d/12))/2 within 12 pips; strokes 0, 4, 8, 12 have |x| 0.74 and y -0.34, the
    rest 0.407 and -0.187; the hand of stroke s is letter s of the sticking for s < 8 and the
    other hand of letter s - 8 after that, R to +x."""
    hands = sticking.upper().split()

    def rule(p):
        s = round(p / 32) % 16
        d = abs(p - 32 * round(p / 32))
        if d >= 12:
            return (0.0, 0.0)
        bump = (1 + math.cos(math.pi * d / 12)) / 2
        size, dip = (0.74, -0.34) if s % 4 == 0 else (0.407, -0.187)
        right = (hands[s] == "R") if s < 8 else (hands[s - 8] == "L")
        return ((size if right else -size) * bump, dip * bump)

    return rule


PATTERNS = [
    Pattern(
        f"stick_study_{number}",
        DESCRIPTION,
        EIGHT_BEATS,
        2,
        study(sticking),
        facts=(
            formula(study_rule(sticking), label=f"sticking {sticking}, then hands swapped"),
            peaks(0.74, 0.34, exact="xy"),
            value_at(0, 0.74, -0.34),
            value_at(256, -0.74, -0.34),
        ),
    )
    for number, sticking in STICKINGS.items()
]
