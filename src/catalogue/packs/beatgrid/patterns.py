"""One beat-grid pattern: a style's score moved by one motion, named and described for its pack."""

from __future__ import annotations

from collections.abc import Iterable

from tablegen.facts import main_axes, peak_within
from tablegen.model import Fact, Pattern

from .motions import Motion
from .score import Score

PACKS = ("club", "dancefloor")
# The motions that never lose depth: their tables use three axes in every style.
ALWAYS_DEPTH = frozenset(("glide",))


def axes_of(score: Score, motion: Motion) -> int:
    """2 (x and y) where the style's score names the motion for a flat table, else 3."""
    return 2 if motion.key in score.axes2 and motion.key not in ALWAYS_DEPTH else 3


def description(score: Score, motion: Motion, pack: str) -> str:
    """ "<style title> — <motion title>. <more>": the club pack adds the style's note (nothing
    when it is empty), the dancefloor pack the motion's sentence."""
    if pack not in PACKS:
        raise ValueError(f"a beat-grid pattern belongs to {PACKS}, not {pack!r}")
    more = score.note if pack == "club" else motion.sentence
    head = f"{score.title} \u2014 {motion.title_in(pack)}."
    return f"{head} {more}" if more else head


def beat_pattern(score: Score, motion: Motion, pack: str, facts: Iterable[Fact] = ()) -> Pattern:
    """The pattern beat_<style>_<motion> with the facts every motion states about its tables
    (peak range, main axes) and any further `facts`."""
    axes = axes_of(score, motion)
    stated = [peak_within(*motion.peak_range)]
    if len(motion.main_axes) < axes:
        stated.append(main_axes(motion.main_axes))
    return Pattern(
        name=f"beat_{score.key}_{motion.key}",
        description=description(score, motion, pack),
        period=score.period,
        axes=axes,
        curve=motion.rule(score, axes),
        facts=(*stated, *facts),
        family=f"beat_{motion.key}",
    )
