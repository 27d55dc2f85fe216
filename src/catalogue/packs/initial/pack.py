"""The initial pack: the reference set of low-frequency shapes, onset and sticking studies,
easing loops, single-cycle waveforms and two funk groove excerpts."""

from tablegen.model import Pack

PACK = Pack(
    key="initial",
    order=10,
    count=28,
    peak=1.0,
    max_step=0.1919,
    periods={256: 22, 512: 6},
    axes={1: 12, 2: 16},
    en_dashes={"groove_": 1},
)
