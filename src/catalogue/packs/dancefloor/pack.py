"""The dancefloor pack: the 36 club styles moved by the twelve dancefloor motions, then 32 more
styles moved by all sixteen."""

from tablegen.model import Pack

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
    seam_ratio=0.98,
    origin_starts=2,
)
