"""The expansion pack: richer low-frequency shapes, closed 2-D and 3-D paths and longer onset
studies (odd meters, Euclidean sixteen-step sets, swung and grouped accents)."""

from tablegen.model import Pack

PACK = Pack(
    key="expansion",
    order=20,
    count=24,
    peak=0.85,
    max_step=0.1599,
    periods={256: 3, 448: 1, 512: 17, 1024: 3},
    axes={1: 1, 2: 20, 3: 3},
)
