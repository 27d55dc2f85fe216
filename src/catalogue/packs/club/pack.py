"""The club pack: the first 36 beat-grid styles, each moved by the first four motions (bounce,
step, orbit, glide)."""

from tablegen.model import Pack

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
    seam_ratio=0.81,
    origin_starts=0,
)
