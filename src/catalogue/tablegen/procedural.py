"""The fifteen procedural rudiments, declared once: the generator writes the native table the
module registers them from (PROCEDURAL_HEADER), and no baked pattern may take one of their names.

Each rudiment is computed by the C++ function of the same name in src/rudiments/, which the
written table points at. The order here is the catalogue's: the catalogue lists the rudiments
ahead of the baked patterns, sampling by name tries them first and the host registers them in this
order.
"""

from __future__ import annotations

from dataclasses import dataclass


@dataclass(frozen=True)
class Rudiment:
    name: str  # also the name of its C++ function
    description: str
    period: int  # pips
    axes: int
    family: str  # "move" for the continuous dance moves, "stroke" for the rudiments


PROCEDURAL = (
    Rudiment("bounce", "One-beat vertical bounce", 64, 1, "move"),
    Rudiment("sway", "Two-beat side-to-side sway", 128, 1, "move"),
    Rudiment("circle", "One-beat circular orbit", 64, 2, "move"),
    Rudiment("figure_eight", "Two-beat figure eight", 128, 2, "move"),
    Rudiment("step_touch", "Two-beat side step with a small lift", 128, 2, "move"),
    Rudiment("box_step", "Four-beat softened square path", 256, 2, "move"),
    Rudiment("helix", "Four-beat double-turn helix", 256, 3, "move"),
    Rudiment("vorn_background", "Vorn/Ulbet four-beat accented background drift", 256, 2, "move"),
    Rudiment(
        "single_stroke_roll",
        "Alternating R/L strokes with smooth attack and decay",
        64,
        2,
        "stroke",
    ),
    Rudiment("double_stroke_roll", "RRLL strokes with a softer second motion", 64, 2, "stroke"),
    Rudiment("multiple_bounce_roll", "Decaying same-hand bounce clusters", 64, 2, "stroke"),
    Rudiment("single_paradiddle", "RLRR LRLL with accented lead strokes", 128, 2, "stroke"),
    Rudiment("flam", "Grace motion flowing into an opposite-hand primary motion", 64, 2, "stroke"),
    Rudiment(
        "drag", "Two grace motions flowing into an opposite-hand primary motion", 64, 2, "stroke"
    ),
    Rudiment(
        "five_stroke_roll", "Two diddles resolving to an accented fifth motion", 128, 2, "stroke"
    ),
)

PROCEDURAL_NAMES = frozenset(rudiment.name for rudiment in PROCEDURAL)
