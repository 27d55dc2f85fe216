"""Onset studies of the expansion pack: odd meters, sixteen-step Euclidean sets, a swung answer,
grouped accents and a three-lane polyrhythm. One raised-cosine gesture per onset; silence
between them."""

from tablegen.facts import peaks, value_at, zero_except_near
from tablegen.model import Pattern
from tablegen.shapes import euclid_steps, grid_time, hit_sum, onset

FOUR_BEATS = 256
SEVEN_BEATS = 448
EIGHT_BEATS = 512
SIXTEENTH = 16


def alternating(count, amplitude):
    return [amplitude if i % 2 == 0 else -amplitude for i in range(count)]


# rhythm_five_four / rhythm_seven_four: an even train of 10 or 14 lateral hits over the two bars
# against eight vertical hits on the beats, both alternating in direction.
def lateral_against_beats(lateral_hits):
    x_times = [grid_time(i, lateral_hits, EIGHT_BEATS) for i in range(lateral_hits)]
    y_times = [64 * j for j in range(8)]
    hits = [
        onset(t, a, 0.0, width=12)
        for t, a in zip(x_times, alternating(lateral_hits, 0.72), strict=True)
    ]
    hits += [onset(t, 0.0, a, width=12) for t, a in zip(y_times, alternating(8, 0.68), strict=True)]
    return x_times + y_times, hit_sum(hits, EIGHT_BEATS)


FIVE_FOUR_TIMES, five_four = lateral_against_beats(10)
SEVEN_FOUR_TIMES, seven_four = lateral_against_beats(14)


# rhythm_euclid_7_16 / rhythm_euclid_5_16: the Euclidean set on sixteen sixteenths, in both bars;
# x alternates across every onset of the loop. Onsets on a beat are accented.
def euclid_sixteen(onsets):
    steps = euclid_steps(onsets, 16)
    hits, strokes = [], []
    for bar in range(2):
        for step in steps:
            sign = 1.0 if len(strokes) % 2 == 0 else -1.0
            accented = step % 4 == 0
            x, y = (0.76, -0.3) if accented else (0.5472, -0.216)
            time = bar * FOUR_BEATS + step * SIXTEENTH
            strokes.append((time, sign * x, y))
            hits.append(onset(time, sign * x, y, width=12))
    return strokes, hit_sum(hits, EIGHT_BEATS)


EUCLID_7_16, euclid_7_16 = euclid_sixteen(7)
EUCLID_5_16, euclid_5_16 = euclid_sixteen(5)

# rhythm_swung_answer: a call of two beats on the right, answered by two on the left; each beat
# has a softer swung offbeat two thirds of the way to the next beat.
SWUNG_BEATS = [(64 * b, 0.78 if b < 2 else -0.78, -0.3) for b in range(4)]
SWUNG_OFFBEATS = [(64 * b + 128 / 3, 0.468 if b < 2 else -0.468, -0.18) for b in range(4)]
swung_answer = hit_sum(
    [onset(t, x, y, width=8) for t, x, y in SWUNG_BEATS + SWUNG_OFFBEATS], FOUR_BEATS
)

# rhythm_group_332 / rhythm_group_223: accents at the starts of the eighth-note groups, leaning
# alternately left and right with heights that mark the bar's first group.
GROUP_332 = [
    (0, 0.76, -0.38),
    (96, -0.5472, -0.2736),
    (192, 0.6536, -0.3268),
    (256, -0.76, -0.38),
    (352, 0.5472, -0.2736),
    (448, -0.6536, -0.3268),
]
GROUP_223 = [
    (0, 0.74, -0.4),
    (64, -0.518, -0.28),
    (128, 0.629, -0.34),
    (224, -0.74, -0.4),
    (288, 0.518, -0.28),
    (352, -0.629, -0.34),
]
group_332 = hit_sum([onset(t, x, y, width=16) for t, x, y in GROUP_332], EIGHT_BEATS)
group_223 = hit_sum([onset(t, x, y, width=16) for t, x, y in GROUP_223], SEVEN_BEATS)

# rhythm_three_four_five: three x, four y and five z gestures over the two bars, at exact
# rational times.
TFF_X = [grid_time(i, 3, EIGHT_BEATS) for i in range(3)]
TFF_Y = [grid_time(j, 4, EIGHT_BEATS) for j in range(4)]
TFF_Z = [grid_time(m, 5, EIGHT_BEATS) for m in range(5)]
three_four_five = hit_sum(
    [onset(t, 0.7, 0.0, 0.0, width=24) for t in TFF_X]
    + [onset(t, 0.0, -0.7, 0.0, width=24) for t in TFF_Y]
    + [onset(t, 0.0, 0.0, 0.55, width=24) for t in TFF_Z],
    EIGHT_BEATS,
)


def stroke_facts(strokes, width):
    return (
        *(value_at(t, x, y) for t, x, y in strokes),
        zero_except_near([t for t, _, _ in strokes], width),
    )


PATTERNS = [
    Pattern(
        "rhythm_five_four",
        "5 lateral hits against four vertical hits per four beats; two bars preserve alternating "
        "directions.",
        EIGHT_BEATS,
        2,
        five_four,
        facts=(
            peaks(0.72, 0.68, exact="xy"),
            value_at(0, 0.72, 0.68),
            value_at(64, 0.0, -0.68),
            value_at(256, -0.72, 0.68),
            zero_except_near(FIVE_FOUR_TIMES, 12),
        ),
    ),
    Pattern(
        "rhythm_seven_four",
        "7 lateral hits against four vertical hits per four beats; two bars preserve alternating "
        "directions.",
        EIGHT_BEATS,
        2,
        seven_four,
        facts=(
            peaks(0.72, 0.68, exact="xy"),
            value_at(0, 0.72, 0.68),
            value_at(64, y=-0.68),
            value_at(256, -0.72, 0.68),
            zero_except_near(SEVEN_FOUR_TIMES, 12),
        ),
    ),
    Pattern(
        "rhythm_euclid_7_16",
        "7 evenly distributed onsets on a sixteen-step grid, repeated with alternating sides over "
        "eight beats.",
        EIGHT_BEATS,
        2,
        euclid_7_16,
        facts=(peaks(0.76, 0.3, exact="xy"), *stroke_facts(EUCLID_7_16, 12)),
    ),
    Pattern(
        "rhythm_euclid_5_16",
        "5 evenly distributed onsets on a sixteen-step grid, repeated with alternating sides over "
        "eight beats.",
        EIGHT_BEATS,
        2,
        euclid_5_16,
        facts=(peaks(0.76, 0.3, exact="xy"), *stroke_facts(EUCLID_5_16, 12)),
    ),
    Pattern(
        "rhythm_swung_answer",
        "A two-to-one swung call on the right, answered on the left; four beats and eight "
        "peak-aligned gestures.",
        FOUR_BEATS,
        2,
        swung_answer,
        facts=(
            peaks(0.78, 0.3, exact="xy"),
            *(value_at(t, x, y) for t, x, y in SWUNG_BEATS),
            zero_except_near([t for t, _, _ in SWUNG_BEATS + SWUNG_OFFBEATS], 8),
        ),
    ),
    Pattern(
        "rhythm_group_332",
        "Groups of three, three, and two eighth notes. Six alternating accents make an eight-beat "
        "loop.",
        EIGHT_BEATS,
        2,
        group_332,
        facts=(peaks(0.76, 0.38, exact="xy"), *stroke_facts(GROUP_332, 16)),
    ),
    Pattern(
        "rhythm_group_223",
        "Two 7/8 bars grouped as 2+2+3 eighth notes: a seven-quarter-note loop, not forced into "
        "four beats.",
        SEVEN_BEATS,
        2,
        group_223,
        facts=(peaks(0.74, 0.4, exact="xy"), *stroke_facts(GROUP_223, 16)),
    ),
    Pattern(
        "rhythm_three_four_five",
        "Three X, four Y, and five Z gestures share an eight-beat phrase, with exact rational peak "
        "times.",
        EIGHT_BEATS,
        3,
        three_four_five,
        facts=(
            peaks(0.7, 0.7, 0.55, exact="xyz"),
            value_at(0, 0.7, -0.7, 0.55),
            value_at(128, 0.0, -0.7, 0.0),
            value_at(256, 0.0, -0.7, 0.0),
            zero_except_near(TFF_X + TFF_Y + TFF_Z, 24),
        ),
    ),
]
