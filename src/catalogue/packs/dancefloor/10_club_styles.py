"""Dancefloor patterns of the 36 club styles: style-major, each style moved by the twelve
dancefloor motions (surge to ricochet). The club pack holds the same styles' first four motions,
so between the two packs every club style has all sixteen."""

from beatgrid.figures import dancefloor_facts
from beatgrid.motions import DANCEFLOOR_MOTIONS
from beatgrid.patterns import beat_pattern
from beatgrid.scores import STYLES

PATTERNS = [
    beat_pattern(style, motion, "dancefloor", dancefloor_facts(style, motion))
    for style in STYLES[:36]
    for motion in DANCEFLOOR_MOTIONS
]
