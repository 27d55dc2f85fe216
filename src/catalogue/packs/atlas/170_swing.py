"""Swing scores over two bars of four beats. Every beat leans x to alternate sides, strongest
on the two bar downbeats, and dips y; each beat's offbeat sits p/q of the way to the next beat,
on the nearest pip, and the score decides which offbeats sound and how:

  push     the offbeats before beats 2 and 4 of each bar push into the beat that follows: a dip
           in y, a lean towards that beat's side and a depth stroke on z
  answer   the first bar calls with plain beats; in the second bar every offbeat answers its
           beat from the other side (x and y only)
  skip     every offbeat is a light rebound: y lifts against the beats' dips and z hops forward
  shuffle  three offbeats in a row scuff further out on their beat's side, lifting, with a depth
           stroke; the fourth beat of each bar goes without

Every gesture strikes fast and releases slowly (a raised cosine skewed by its rise and fall).
The dip is quicker than the lean, so a beat goes out and comes back along different arcs. The
gestures of an offbeat are shorter than a beat's: however close the offbeat (3/4: 16 pips before
the next beat), no gesture reaches the centre of another, so each keeps its own values."""

from tablegen.facts import peaks, value_at, zero_except_near
from tablegen.model import Pattern
from tablegen.shapes import hit, hit_sum, nearest_pip, rise_fall

EIGHT_BEATS = 512
BEAT = 64

# Kernels of x, y and z: for a beat and for an offbeat.
BEAT_KERNELS = (rise_fall(12, 28), rise_fall(6, 18), rise_fall(6, 14))
OFFBEAT_KERNELS = (rise_fall(8, 14), rise_fall(4, 10), rise_fall(4, 12))

DOWNBEAT = (0.585, -0.216)  # |x| and y on pips 0 and 256
OTHER_BEAT = (0.422, -0.156)

# What a marked offbeat adds, per score mark: (x, y, z), with x measured towards its beat's side
# (a negative x goes to the other side, where the next beat leans).
MARKS = {
    "p": (-0.15, -0.149, 0.09),  # push
    "a": (-0.324, -0.12, 0.0),  # answer
    "k": (0.0, 0.1, 0.09),  # skip
    "s": (0.26, 0.08, 0.09),  # shuffle
}

# One mark per beat, "." for a silent offbeat.
SCORES = {
    "push": ". p . p . p . p",
    "answer": ". . . . a a a a",
    "skip": "k k k k k k k k",
    "shuffle": "s s s . s s s .",
}

RATIOS = [(3, 5), (2, 3), (5, 7), (3, 4)]


def beat_lean(b):
    """(x, y) of beat b: alternate sides, right on the even beats."""
    size, dip = DOWNBEAT if b % 4 == 0 else OTHER_BEAT
    return (size if b % 2 == 0 else -size, dip)


def gestures(score, p, q):
    """(pip, (x, y, z), kernels) of every beat and every marked offbeat of a score."""
    offset = nearest_pip(BEAT * p / q)
    out = []
    for b, mark in enumerate(SCORES[score].split()):
        x, y = beat_lean(b)
        out.append((BEAT * b, (x, y, 0.0), BEAT_KERNELS))
        if mark != ".":
            along, dip, depth = MARKS[mark]
            side = 1.0 if x > 0 else -1.0
            out.append((BEAT * b + offset, (side * along + 0.0, dip, depth), OFFBEAT_KERNELS))
    return out


def swing(score, p, q):
    strokes = []
    for pip, values, kernels in gestures(score, p, q):
        for axis, (value, kernel) in enumerate(zip(values, kernels, strict=True)):
            if value:
                strokes.append(hit(pip, *[0.0] * axis, value, kernel=kernel))
    return hit_sum(strokes, EIGHT_BEATS)


def stated_values(score, p, q):
    """The values at the beats and the marked offbeats, worked out on their own: beat b at pip
    64*b leans +-0.585 on pips 0 and 256 and +-0.422 elsewhere, right on even beats, with y
    -0.216 and -0.156; a marked offbeat sits round(64*p/q) pips after its beat."""
    facts = []
    for b, mark in enumerate(SCORES[score].split()):
        side = 1.0 if b % 2 == 0 else -1.0
        size, dip = (0.585, -0.216) if b in (0, 4) else (0.422, -0.156)
        facts.append(value_at(64 * b, side * size, dip, 0.0))
        if mark != ".":
            along, dip, depth = MARKS[mark]
            facts.append(value_at(64 * b + round(64 * p / q), side * along + 0.0, dip, depth))
    return facts


def member(score, p, q):
    axes = 2 if score == "answer" else 3
    spans = [
        (pip, max(max(k.lead, k.reach) for k in kernels))
        for pip, _, kernels in gestures(score, p, q)
    ]
    return Pattern(
        f"swing_{score}_{p}_{q}",
        f"Eight-beat {score} score with offbeats at {p}/{q} of each beat; peaks follow the score.",
        EIGHT_BEATS,
        axes,
        swing(score, p, q),
        facts=(
            peaks(0.585, 0.216, exact="xy") if axes == 2 else peaks(0.585, 0.216, 0.09, "xyz"),
            *stated_values(score, p, q),
            zero_except_near(spans),
        ),
    )


PATTERNS = [member(score, p, q) for p, q in RATIOS for score in SCORES]
