"""The club pack: the first 36 beat-grid styles, each moved by the first four motions (bounce,
step, orbit, glide)."""

from tablegen.model import Distinct, Pack

# Across its styles no motion's tables nearly copy one another: at some pip some component of any
# two lies 0.05 apart, and x or y alone (what a pan/tilt head shows) 0.02 apart. The dancefloor
# pack declares the same groups, so a motion's styles are compared across both packs.
MOTIONS = ("bounce", "step", "orbit", "glide")
DISTINCT = tuple(Distinct(f"beat_{m}", f"_{m}", apart=0.05, planar=0.02) for m in MOTIONS)

PACK = Pack(
    key="club",
    order=50,
    count=144,
    peak=0.7464,
    max_step=0.1981,
    periods={256: 4, 512: 124, 768: 4, 1024: 12},
    axes={2: 45, 3: 99},
    name_prefix="beat_",
    em_dashes=1,
    distinct=DISTINCT,
    seam_ratio=0.81,
    origin_starts=0,
)
