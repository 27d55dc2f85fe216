"""What a motion is: its key, titles, sentence, the stated reach of its tables, and its rule."""

from __future__ import annotations

from collections.abc import Callable
from dataclasses import dataclass

from ..score import Score

Curve = Callable[[float], tuple[float, ...]]
# A rule takes a score and the number of axes its table uses (2: x and y only, 3: with depth z)
# and returns the raw curve of pip k.
Rule = Callable[[Score, int], Curve]


@dataclass(frozen=True)
class Motion:
    key: str
    title: str  # as the club pack and every other description write it
    sentence: str  # the second sentence of a dancefloor description
    main_axes: str  # the axes that carry the largest excursions, e.g. "xy"
    peak_range: tuple[float, float]  # every table's largest |component| lies in this range
    rule: Rule
    dancefloor_title: str = ""  # when the dancefloor pack names the motion differently

    def title_in(self, pack: str) -> str:
        if pack == "dancefloor" and self.dancefloor_title:
            return self.dancefloor_title
        return self.title
