"""Canons of the continuum pack: a short motif on rational beats is stated in the lateral lane
(x) and imitated in the depth lane (z), either close behind it (under a beat) or late (a beat or
more). In the second four beats depth leads and the lateral lane answers with an altered response
that also dips in y. Every note is one raised-cosine stroke with silence between, at a fixed size
quiet enough to layer over a larger path."""

from fractions import Fraction

from tablegen.facts import peak_within, value_at, zero_except_near
from tablegen.model import Pattern
from tablegen.shapes import hit_sum, nearest_pip, onset

DESCRIPTION = (
    "A rational-beat motif passes between lateral and depth lanes, with an altered second-half "
    "response."
)
LOOP = 512
PIPS_PER_BEAT = 64
SECOND_HALF = Fraction(4)  # in beats
NOTE = 8  # half-width of every stroke in pips: notes a sixteenth apart never touch
RESPONSE_DIP = 0.4  # the altered response dips y by this share of its lateral size
FAMILY_PEAKS = (0.279, 0.3109)  # the quietest and the loudest canon
LAYER_CEILING = 0.32


def motif(score: str) -> list[tuple[Fraction, float]]:
    """A motif written as 'beat:weight' notes, e.g. '0:+1 1/2:-.6'. The first note is on the
    downbeat and is the loudest; the sign of a weight is the side (lateral) or the direction
    (depth) of the stroke."""
    notes = []
    for note in score.split():
        beat, weight = note.split(":")
        notes.append((Fraction(beat), float(weight)))
    return notes


# How the lateral lane alters the motif when depth hands it back in the second half.
def inverted(notes):
    return [(t, -w) for t, w in notes]


def retrograde(notes):
    span = notes[-1][0]
    return sorted((span - t, w) for t, w in notes)


def compressed(notes):
    return [(t * Fraction(2, 3), w) for t, w in notes]


def inverted_retrograde(notes):
    return inverted(retrograde(notes))


# The motifs: every note as beat:weight.
MOTIFS = {
    "01": "0:+1  1/2:-.6  3/4:+.55  3/2:-.8",
    "02": "0:+1  1/3:+.5  2/3:-.7  5/3:+.6",
    "03": "0:-1  3/4:+.7  5/4:-.5  2:+.75",
    "04": "0:+1  2/5:-.55  4/5:+.6  8/5:-.7",
    "05": "0:-1  1/2:-.5  4/3:+.8  11/6:-.6",
    "06": "0:+1  1/4:-.5  1:+.7  5/4:-.5  7/4:+.6",
    "07": "0:-1  2/3:+.75  1:-.5  5/3:+.65",
    "08": "0:+1  3/5:+.6  6/5:-.7  2:-.55",
}

# NN: the delay of the imitation in beats, close and late; the alteration of the second-half
# response; the peak of the close and of the late canon.
CANONS = [
    ("01", "1/2", "3/2", inverted, 0.3109, 0.2968),
    ("02", "1/3", "4/3", retrograde, 0.3052, 0.2893),
    ("03", "1/4", "5/4", compressed, 0.2996, 0.2851),
    ("04", "2/5", "7/5", inverted_retrograde, 0.3074, 0.2919),
    ("05", "2/3", "3/2", inverted, 0.3018, 0.2790),
    ("06", "1/2", "5/4", compressed, 0.2947, 0.2832),
    ("07", "1/3", "1", retrograde, 0.3087, 0.2906),
    ("08", "3/5", "3/2", inverted_retrograde, 0.2973, 0.2812),
]


def pips(beat: Fraction) -> float:
    return float(beat * PIPS_PER_BEAT)


def canon(notes, delay: Fraction, alteration, peak: float):
    """x states the motif at beat 0 and z imitates it `delay` later; from beat 4 z leads and x
    answers, altered, `delay` later."""
    strokes = []
    for t, w in notes:
        strokes.append(onset(pips(t), peak * w, 0.0, 0.0, width=NOTE))
        strokes.append(onset(pips(t + delay), 0.0, 0.0, peak * w, width=NOTE))
        strokes.append(onset(pips(SECOND_HALF + t), 0.0, 0.0, peak * w, width=NOTE))
    for t, w in alteration(notes):
        size = peak * w
        strokes.append(
            onset(pips(SECOND_HALF + delay + t), size, -RESPONSE_DIP * abs(size), 0.0, width=NOTE)
        )
    return strokes


def canon_pattern(nn, notes, delay, alteration, peak, kind):
    strokes = canon(notes, Fraction(delay), alteration, peak)
    downbeat = peak * notes[0][1]
    facts = (
        peak_within(*FAMILY_PEAKS),
        peak_within(peak, peak),
        peak_within(0.0, LAYER_CEILING),
        value_at(0, x=downbeat, y=0.0),  # the motif's downbeat, lateral only
        value_at(nearest_pip(pips(SECOND_HALF)), x=0.0, z=downbeat),  # depth takes the lead
        zero_except_near([s.time for s in strokes], NOTE),
    )
    return Pattern(f"canon_{nn}_{kind}", DESCRIPTION, LOOP, 3, hit_sum(strokes, LOOP), facts=facts)


PATTERNS = [
    canon_pattern(nn, motif(MOTIFS[nn]), delay, alteration, peak, kind)
    for nn, close, late, alteration, peak_close, peak_late in CANONS
    for kind, delay, peak in (("close", close, peak_close), ("late", late, peak_late))
]
