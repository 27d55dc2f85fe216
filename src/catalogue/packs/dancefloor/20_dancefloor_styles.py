"""Dancefloor patterns of the styles that only this pack plays (37 onward): style-major, each
style moved by all sixteen motions in table order."""

from beatgrid.figures import dancefloor_facts
from beatgrid.motions import MOTIONS
from beatgrid.patterns import beat_pattern
from beatgrid.scores import STYLES

PATTERNS = [
    beat_pattern(style, motion, "dancefloor", dancefloor_facts(style, motion))
    for style in STYLES[36:]
    for motion in MOTIONS
]
