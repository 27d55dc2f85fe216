"""The continuum pack: families of large continuous paths that fill the field, then quiet rhythmic
studies meant to be layered over larger motion."""

from tablegen.model import Pack

PACK = Pack(
    key="continuum",
    order=40,
    count=320,
    peak=0.82,
    max_step=0.1719,
    periods={288: 1, 320: 1, 352: 1, 384: 2, 416: 2, 448: 4, 480: 4, 512: 129, 1024: 176},
    axes={2: 68, 3: 252},
    # The path tables whose widest point falls on a pip reach 0.82 exactly; the others, widest
    # between two pips, peak just below it.
    exact_peaks=138,
)
