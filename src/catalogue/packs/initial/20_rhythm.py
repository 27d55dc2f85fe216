"""Onset studies of the initial pack: one raised-cosine gesture per onset, silence between them."""

from tablegen.facts import peaks, value_at, zero_except_near
from tablegen.model import Pattern
from tablegen.shapes import euclid_steps, grid_time, hit_sum, onset

FOUR_BEATS = 256


def euclid_study(onsets, steps):
    """Maximally even onsets over four beats; x alternates +0.8, -0.8 and every onset dips y
    to -0.3."""
    times = [grid_time(s, steps, FOUR_BEATS) for s in euclid_steps(onsets, steps)]
    hits = [onset(t, 0.8 if i % 2 == 0 else -0.8, -0.3, width=12) for i, t in enumerate(times)]
    return times, hit_sum(hits, FOUR_BEATS)


EUCLID_3_8_TIMES, euclid_3_8 = euclid_study(3, 8)
EUCLID_5_12_TIMES, euclid_5_12 = euclid_study(5, 12)

# rhythm_three_two: three horizontal gestures against two vertical ones in one bar.
THREE_TWO_X = [grid_time(i, 3, FOUR_BEATS) for i in range(3)]
THREE_TWO_Y = [grid_time(j, 2, FOUR_BEATS) for j in range(2)]
three_two = hit_sum(
    [onset(t, 0.78, 0.0, width=24) for t in THREE_TWO_X]
    + [onset(t, 0.0, 0.78, width=24) for t in THREE_TWO_Y],
    FOUR_BEATS,
)

# rhythm_half_time: (time, x, y, half-width). The downbeat lifts y, beat three carries the
# snare-like accent (x out, y back), and the offbeat shuffles are small.
HALF_TIME_HITS = [
    (0, 0.0, 0.85, 16),
    (96, 0.0, 0.4675, 16),
    (128, 0.85, -0.25, 16),
    (224, -0.4, -0.1, 12),
]
half_time = hit_sum([onset(t, x, y, width=w) for t, x, y, w in HALF_TIME_HITS], FOUR_BEATS)


PATTERNS = [
    Pattern(
        "rhythm_euclid_3_8",
        "3 evenly distributed onsets on a 8-step grid. Alternating lateral gestures.",
        FOUR_BEATS,
        2,
        euclid_3_8,
        facts=(
            peaks(0.8, 0.3, exact="xy"),
            value_at(0, 0.8, -0.3),
            value_at(96, -0.8, -0.3),
            value_at(192, 0.8, -0.3),
            zero_except_near(EUCLID_3_8_TIMES, 12),
        ),
    ),
    Pattern(
        "rhythm_euclid_5_12",
        "5 evenly distributed onsets on a 12-step grid. Alternating lateral gestures.",
        FOUR_BEATS,
        2,
        euclid_5_12,
        facts=(
            peaks(0.8, 0.3, exact="xy"),
            value_at(0, 0.8, -0.3),
            value_at(64, -0.8, -0.3),
            zero_except_near(EUCLID_5_12_TIMES, 12),
        ),
    ),
    Pattern(
        "rhythm_three_two",
        "Three horizontal gestures interlock with two vertical gestures in one four-beat cycle.",
        FOUR_BEATS,
        2,
        three_two,
        facts=(
            peaks(0.78, 0.78, exact="xy"),
            value_at(0, 0.78, 0.78),
            value_at(128, 0.0, 0.78),
            zero_except_near(THREE_TWO_X + THREE_TWO_Y, 24),
        ),
    ),
    Pattern(
        "rhythm_half_time",
        "A strong downbeat, snare-like accent on beat three, and smaller offbeat shuffles.",
        FOUR_BEATS,
        2,
        half_time,
        facts=(
            peaks(0.85, 0.85, exact="xy"),
            value_at(0, 0.0, 0.85),
            value_at(96, 0.0, 0.4675),
            value_at(128, 0.85, -0.25),
            value_at(224, -0.4, -0.1),
            zero_except_near([(t, w) for t, _, _, w in HALF_TIME_HITS]),
        ),
    ),
]
