"""The dancefloor pack: the 36 club styles moved by the twelve dancefloor motions, then 32 more
styles moved by all sixteen."""

from tablegen.model import Distinct, Pack

# Across its styles no motion's tables nearly copy one another: at some pip some component of any
# two lies 0.05 apart, and for the motions whose main axes include x or y, x or y alone (what a
# pan/tilt head shows) 0.02 apart. The club pack declares its four motions alike, so a motion's
# styles are compared across both packs.
MOTIONS = (
    "bounce", "step", "orbit", "glide", "surge", "recoil", "flutter", "dive",
    "pendulum", "figure8", "box", "corkscrew", "spiral", "slalom", "spring", "ricochet",
)  # fmt: skip
IN_DEPTH = ("surge", "dive")  # their main axis is z alone
DISTINCT = tuple(
    Distinct(f"beat_{m}", f"_{m}", apart=0.05, planar=None if m in IN_DEPTH else 0.02)
    for m in MOTIONS
)

PACK = Pack(
    key="dancefloor",
    order=60,
    count=944,
    peak=0.92,
    max_step=0.2793,
    periods={256: 12, 512: 884, 768: 12, 1024: 36},
    axes={2: 4, 3: 940},
    name_prefix="beat_",
    em_dashes=1,
    distinct=DISTINCT,
    seam_ratio=0.98,
    origin_starts=2,
)
