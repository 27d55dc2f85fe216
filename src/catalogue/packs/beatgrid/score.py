"""Drum scores on the pip clock: what a style plays, written so that a drummer can read it.

A score is a loop of events. Most are written as grid lanes, one character per sixteenth note
(16 pips at 64 pips per beat):

    X  accented hit      x  normal hit      g  ghost (quiet) hit      .  rest

Spaces and '|' only help the eye, but a lane that marks bars with '|' must mark every bar line
and only bar lines, so a bar one sixteenth short cannot hide behind a long neighbour. Events that
do not sit on the straight sixteenth grid are written with exact times: `swing` delays every
off-sixteenth of a lane (the second and fourth sixteenth of each beat) by less than a sixteenth,
and `extra` adds events at exact rational times, such as the true triplets of `triplets` or the
crescendo of a `roll`. Times are `Fraction`s of a pip, so a triplet at 64/3 pips is exact and
only the motion rules decide how it meets the integer pips.
"""

from __future__ import annotations

from collections.abc import Iterable, Mapping
from dataclasses import dataclass
from fractions import Fraction
from itertools import accumulate

PIPS_PER_BEAT = 64
STEP = 16  # pips per sixteenth note
BAR = 4 * PIPS_PER_BEAT

# Hit levels by grid symbol. A ghost note is a quiet hit of the same instrument.
LEVELS = {"X": 1.0, "x": 0.7, "g": 0.35}
ACCENT, NORMAL, GHOST = LEVELS["X"], LEVELS["x"], LEVELS["g"]

# Every instrument a score may use, and the role through which the motion rules hear it.
ROLES = {
    "kick": "kick",
    "snare": "snare",
    "clap": "snare",
    "rim": "snare",
    "hat": "hat",
    "open_hat": "hat",
    "shaker": "hat",
    "ride": "hat",
    "tom_low": "perc",
    "tom_mid": "perc",
    "tom_high": "perc",
    "conga": "perc",
    "bell": "perc",
    "cowbell": "perc",
    "perc": "perc",
    "bass": "bass",
}
ROLE_ORDER = ("kick", "snare", "hat", "perc", "bass")


@dataclass(frozen=True, order=True)
class Event:
    time: Fraction  # pips from the start of the loop, in [0, period)
    instrument: str
    level: float  # loudness in (0, 1]: ACCENT, NORMAL, GHOST or an exact value

    @property
    def role(self) -> str:
        return ROLES[self.instrument]

    @property
    def on_grid(self) -> bool:
        return self.time.denominator == 1 and self.time % STEP == 0


@dataclass(frozen=True)
class Score:
    key: str  # the style key, e.g. "house_classic"
    title: str  # "House / kick-clap-offbeat hat"
    note: str  # the club style note; "" when it has none
    period: int  # pips
    axes2: frozenset[str]  # motions whose tables use only x and y for this style
    events: tuple[Event, ...]  # in time order, then by instrument

    def of(self, *kinds: str) -> tuple[Event, ...]:
        """The events of the given roles or instruments, in time order."""
        return tuple(e for e in self.events if e.role in kinds or e.instrument in kinds)

    @property
    def instruments(self) -> tuple[str, ...]:
        """The instruments that play, in ROLES order."""
        present = {e.instrument for e in self.events}
        return tuple(name for name in ROLES if name in present)

    def times(self, *kinds: str) -> list[Fraction]:
        return [e.time for e in self.of(*kinds)]


def at(beat_or_step: str) -> Fraction:
    """A position written as "bar.beat.sixteenth", each counted from 1: "2.3.3" is the & of 3 in
    bar two, at pip 256 + 128 + 32 = 416."""
    bar, beat, sixteenth = (int(part) for part in beat_or_step.split("."))
    return Fraction((bar - 1) * BAR + (beat - 1) * PIPS_PER_BEAT + (sixteenth - 1) * STEP)


def triplets(
    instrument: str, start: Fraction | int, count: int, span: Fraction | int, level: float = NORMAL
) -> list[tuple[str, Fraction, float]]:
    """`count` evenly spaced hits from `start` over `span` pips (a true tuplet: 3 in the time of
    2 sixteenths is triplets(..., 3, 32)), as `extra` events."""
    return roll(instrument, start, count, span, level, level)


def roll(
    instrument: str,
    start: Fraction | int,
    count: int,
    span: Fraction | int,
    first: float = GHOST,
    last: float = ACCENT,
) -> list[tuple[str, Fraction, float]]:
    """`count` evenly spaced hits from `start` over `span` pips whose level moves evenly from
    `first` to `last` (a snare roll: roll("snare", at("2.4.1"), 8, 64) is eight 32nds rising from
    a ghost to an accent), as `extra` events."""
    if count < 1 or span <= 0:
        raise ValueError(f"{instrument}: a roll needs at least one hit and a positive span")
    start, span = Fraction(start), Fraction(span)
    rise = (last - first) / (count - 1) if count > 1 else 0.0
    return [
        (instrument, start + span * i / count, round(first + rise * i, 3)) for i in range(count)
    ]


def _lane(instrument: str, grid: str, period: int, swing: Fraction | int) -> list[Event]:
    cells = [c for c in grid if c not in " |"]
    if len(cells) * STEP != period:
        raise ValueError(
            f"{instrument}: {len(cells)} sixteenths make {len(cells) * STEP} pips, not {period}"
        )
    if "|" in grid:
        bars = [len(part.replace(" ", "")) * STEP for part in grid.split("|")]
        bar_lines = list(accumulate(bars[:-1]))
        if bar_lines != list(range(BAR, period, BAR)):
            raise ValueError(
                f"{instrument}: '|' falls after pips {bar_lines}, not on every bar line "
                f"{list(range(BAR, period, BAR))}"
            )
    if not 0 <= swing < STEP:
        raise ValueError(f"{instrument}: swing of {swing} pips is not in [0, {STEP})")
    events = []
    for step, cell in enumerate(cells):
        if cell == ".":
            continue
        if cell not in LEVELS:
            raise ValueError(f"{instrument}: unknown symbol {cell!r} at sixteenth {step + 1}")
        time = step * STEP + (swing if step % 2 else 0)
        events.append(Event(Fraction(time), instrument, LEVELS[cell]))
    return events


def score(
    key: str,
    title: str,
    note: str = "",
    *,
    period: int = 2 * BAR,
    axes2: str = "",
    lanes: Mapping[str, str],
    swing: Mapping[str, Fraction | int] | None = None,
    extra: Iterable[tuple[str, Fraction | int, float]] = (),
) -> Score:
    """A score from grid lanes {instrument: grid}, optional swing {instrument: pips} and extra
    events (instrument, time, level) at exact times. Raises ValueError for a score that cannot be
    played: a lane of the wrong length or with misplaced bar lines, an unknown symbol or
    instrument, swing of a sixteenth or more, an event outside the loop or written twice, or
    nothing at all."""
    swing = dict(swing or {})
    events: list[Event] = []
    for instrument, grid in lanes.items():
        if instrument not in ROLES:
            raise ValueError(f"{key}: unknown instrument {instrument!r}")
        events += _lane(instrument, grid, period, swing.pop(instrument, 0))
    if swing:
        raise ValueError(f"{key}: swing for instruments without a lane: {sorted(swing)}")
    for instrument, time, level in extra:
        if instrument not in ROLES:
            raise ValueError(f"{key}: unknown instrument {instrument!r}")
        events.append(Event(Fraction(time), instrument, float(level)))
    for e in events:
        if not 0 <= e.time < period or not 0.0 < e.level <= 1.0:
            raise ValueError(f"{key}: {e} lies outside the loop or has no level in (0, 1]")
    if not events:
        raise ValueError(f"{key}: nothing plays")
    timed = sorted(events, key=lambda e: (e.time, e.instrument))
    for a, b in zip(timed, timed[1:], strict=False):
        if a.time == b.time and a.instrument == b.instrument:
            raise ValueError(f"{key}: {a.instrument} is written twice at pip {a.time}")
    return Score(key, title, note, period, frozenset(axes2.split()), tuple(timed))
