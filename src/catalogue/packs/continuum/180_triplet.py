"""Triplet studies of the continuum pack: gestures on an eighth-note triplet grid (three slots a
beat, 21 1/3 pips apart) over two bars of four beats. Each member has a one-bar mask with slots
deliberately left out and a palette of three directions, one for each slot of the triplet.

  answer      the bar plays twice, the second time mirrored to the other side; every left-out
              slot is answered half a slot late, off the triplet grid, by a small stroke against
              the direction the slot would have taken
  turnaround  after four beats the mask turns: the second bar plays it rotated by some slots,
              and each slot's gesture moves on to the next direction of the palette

Slot strokes are louder on the beat than between beats, the loop's downbeat loudest; all are
raised cosines with silence between, at a fixed size."""

from fractions import Fraction

from tablegen.facts import near, peak_within, value_at, zero_except_near
from tablegen.model import Pattern
from tablegen.shapes import hit_sum, nearest_pip, onset

DESCRIPTION = (
    "Triplet-grid gestures with deliberate omissions; gaps either answer off-grid or rotate after "
    "four beats."
)
LOOP = 512
BAR = 256
SLOT = Fraction(64, 3)  # an eighth-note triplet in pips
SLOTS = 12  # per bar
PEAK = 0.2945
LEVELS = {"downbeat": 1.0, "second bar": 0.9, "beat": 0.78, "between": 0.6}
STROKE = 8  # half-width of a slot stroke: neighbouring slots never touch
ANSWER = 0.5  # an off-grid answer is this share of the left-out slot, the other way
ANSWER_STROKE = 5  # so that it fits between the gap and the next slot
# An answer between pips is sampled a little below its size: by under 0.002 at its width.
BETWEEN_PIPS = 0.002
LAYER_CEILING = 0.32

RIGHT, LEFT = (1.0, 0.0, 0.0), (-1.0, 0.0, 0.0)
UP, DOWN = (0.0, 1.0, 0.0), (0.0, -1.0, 0.0)
FORWARD, BACK = (0.0, 0.0, 1.0), (0.0, 0.0, -1.0)


def toward(main, other, share):
    return tuple(m + share * o for m, o in zip(main, other, strict=True))


# NN: the bar's mask (x sounds, . is left out; a group a beat), the palette for the first,
# second and third slot of each triplet, and the turnaround's rotation in slots.
TRIPLETS = [
    ("01", "x.x xx. x.x .xx", (RIGHT, UP, FORWARD), 1),
    ("02", "xx. x.x .xx x.x", (LEFT, FORWARD, toward(UP, RIGHT, 0.4)), 2),
    ("03", "x.. xxx x.x xx.", (UP, toward(RIGHT, BACK, 0.5), BACK), 4),
    ("04", "xxx .x. xx. x.x", (FORWARD, LEFT, DOWN), 5),
    ("05", "x.x x.x xx. .xx", (toward(RIGHT, DOWN, 0.5), BACK, LEFT), 7),
    ("06", "xx. .xx x.x x..", (DOWN, toward(FORWARD, LEFT, 0.4), RIGHT), 3),
    ("07", "xxx x.x .x. xxx", (toward(LEFT, UP, 0.5), RIGHT, toward(FORWARD, DOWN, 0.3)), 8),
    ("08", "x.x .xx xx. x.x", (BACK, toward(UP, LEFT, 0.5), FORWARD), 10),
]


def level(bar: int, slot: int) -> float:
    if slot == 0:
        return LEVELS["downbeat"] if bar == 0 else LEVELS["second bar"]
    return LEVELS["beat"] if slot % 3 == 0 else LEVELS["between"]


def scaled(direction, size):
    return tuple(size * d for d in direction)


def stored(values):
    return tuple(round(v, 12) + 0.0 for v in values)


def answer_bars(mask: str, palette):
    """Both bars with their gaps answered; the second bar mirrored in x. Returns the strokes and
    the answers as (time, entry)."""
    strokes, answers = [], []
    for bar in range(2):
        mirror = (-1.0, 1.0, 1.0) if bar else (1.0, 1.0, 1.0)
        for slot, mark in enumerate(mask):
            size = PEAK * level(bar, slot)
            gesture = [m * d for m, d in zip(mirror, palette[slot % 3], strict=True)]
            time = bar * BAR + slot * SLOT
            if mark == "x":
                strokes.append(onset(float(time), *scaled(gesture, size), width=STROKE))
            else:
                reply = scaled(gesture, -ANSWER * size)
                late = float(time + SLOT / 2)
                strokes.append(onset(late, *reply, width=ANSWER_STROKE))
                answers.append((late, reply))
    return strokes, answers


def turnaround_bars(mask: str, palette, rotation: int):
    """The bar as written, then rotated by `rotation` slots with each gesture moved on to the
    next direction of the palette; the gaps stay silent."""
    strokes = []
    for bar in range(2):
        turn = rotation if bar else 0
        for slot in range(SLOTS):
            source = (slot - turn) % SLOTS
            if mask[source] != "x":
                continue
            gesture = palette[(source + bar) % 3]
            time = bar * BAR + slot * SLOT
            strokes.append(
                onset(float(time), *scaled(gesture, PEAK * level(bar, slot)), width=STROKE)
            )
    return strokes, []


def triplet_pattern(nn, score, palette, rotation, kind):
    mask = score.replace(" ", "")
    if kind == "answer":
        strokes, answers = answer_bars(mask, palette)
    else:
        strokes, answers = turnaround_bars(mask, palette, rotation)
    facts = (
        peak_within(PEAK, PEAK),
        peak_within(0.0, LAYER_CEILING),
        value_at(0, *stored(scaled(palette[0], PEAK))),
        *(near(nearest_pip(t), *reply, tol=BETWEEN_PIPS) for t, reply in answers),
        zero_except_near([(s.time, s.kernel.reach) for s in strokes]),
    )
    return Pattern(
        f"triplet_{nn}_{kind}", DESCRIPTION, LOOP, 3, hit_sum(strokes, LOOP), facts=facts
    )


PATTERNS = [
    triplet_pattern(nn, score, palette, rotation, kind)
    for nn, score, palette, rotation in TRIPLETS
    for kind in ("answer", "turnaround")
]
