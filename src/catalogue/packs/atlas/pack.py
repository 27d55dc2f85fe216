"""The atlas pack: a systematic survey of motion shapes, family by family (shaped waves,
envelopes, sequences, hashed drifts, harmonic orbits, weaves, roses, scallops, rolling-circle
traces, torus knots, mechanisms, Euclidean rhythms, polyrhythms, additive meters, swing, sticking
studies and gestures)."""

from tablegen.model import Pack

PACK = Pack(
    key="atlas",
    order=30,
    count=256,
    peak=0.82,
    max_step=0.1054,
    periods={
        160: 3, 224: 5, 288: 4, 320: 3, 352: 5, 384: 2, 416: 4, 448: 1, 480: 1, 512: 144,
        544: 1, 608: 1, 640: 1, 768: 1, 1024: 80,
    },
    axes={1: 16, 2: 168, 3: 72},
)  # fmt: skip
