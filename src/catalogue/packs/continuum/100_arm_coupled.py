"""Coupled arms: the tip of two rigid links whose joint angles are driven, nothing more.

A shoulder joint turns the upper link (length 1) to angle `shoulder` from +x; an elbow joint
turns the forearm (length `forearm`) a further `elbow`, so that

    tip = (cos s + f cos(s + e), sin s + f sin(s + e))

Each joint is driven by a periodic wave of its own: a sine, bent in time by `skew` (one way
quicker than the other) and flattened at its ends by `dwell` (the joint lingers at the end of
each sweep). Both keep the wave smooth, so the tip never jerks. The elbow keeps bending the same
way, so the arm never folds through itself. In the axes-3 arms a third drive adds depth: `turn`
swings the whole arm plane round the vertical axis through the shoulder, `raise_` lifts the
forearm out of that plane. The shoulder sits where the tip's path is
centred on the field, and the whole is then scaled to the field.
"""

import math
from dataclasses import dataclass

from tablegen.model import Pattern
from tablegen.shapes import HALF_PIP, TAU

LOOP = 1024
PEAK = 0.82
DESCRIPTION = (
    "Tip position of two kinematically driven links; not a dynamics simulation or anatomical model."
)


@dataclass(frozen=True)
class Drive:
    """A joint angle in degrees: mean + swing * wave(cycles * k / LOOP + phase)."""

    mean: float
    swing: float
    cycles: int
    phase: float = 0.0
    skew: float = 0.0  # below 1 in size: the angle sin(a + skew sin a) still turns one way
    dwell: float = 0.0  # tanh(dwell * sin) / tanh(dwell): flatter ends as it grows

    def degrees(self, k: float) -> float:
        a = TAU * (self.cycles * k / LOOP + self.phase)
        wave = math.sin(a + self.skew * math.sin(a))
        if self.dwell:
            wave = math.tanh(self.dwell * wave) / math.tanh(self.dwell)
        return self.mean + self.swing * wave


@dataclass(frozen=True)
class Arm:
    forearm: float
    shoulder: Drive
    elbow: Drive
    turn: Drive | None = None  # the arm plane round the vertical axis
    raise_: Drive | None = None  # the forearm out of the arm plane

    def joint_tip(self, k: float) -> tuple[float, float, float]:
        s = math.radians(self.shoulder.degrees(k))
        e = math.radians(self.elbow.degrees(k))
        lift = math.radians(self.raise_.degrees(k)) if self.raise_ else 0.0
        reach = self.forearm * math.cos(lift)
        x = math.cos(s) + reach * math.cos(s + e)
        y = math.sin(s) + reach * math.sin(s + e)
        z = self.forearm * math.sin(lift)
        if self.turn:
            t = math.radians(self.turn.degrees(k))
            x, z = x * math.cos(t) - z * math.sin(t), x * math.sin(t) + z * math.cos(t)
        return (x, y, z)

    @property
    def axes(self) -> int:
        return 3 if self.turn or self.raise_ else 2

    def curve(self):
        samples = [self.joint_tip(k) for k in range(LOOP)]
        centre = [math.fsum(column) / LOOP for column in zip(*samples, strict=True)]
        if self.axes == 2:
            centre[2] = 0.0

        def tip(k):
            return tuple(v - c for v, c in zip(self.joint_tip(k), centre, strict=True))[: self.axes]

        return tip


ARMS = [
    # 01-08: the arm in the plane of the screen
    Arm(0.8, Drive(90, 40, 1), Drive(70, 45, 2, 0.13)),
    Arm(0.65, Drive(-10, 55, 1, 0.1, skew=0.6), Drive(95, 50, 3, dwell=2.0)),
    Arm(0.9, Drive(180, 35, 2), Drive(60, 40, 3, 0.4)),
    Arm(0.7, Drive(45, 60, 1, dwell=2.5), Drive(100, 55, 4, 0.1)),
    Arm(0.85, Drive(-90, 50, 2, 0.3), Drive(80, 60, 5, skew=-0.5)),
    Arm(0.6, Drive(130, 45, 3, dwell=1.5), Drive(90, 40, 4, 0.2)),
    Arm(0.95, Drive(0, 30, 1, 0.6), Drive(110, 60, 3, skew=0.7)),
    Arm(0.75, Drive(-135, 40, 3), Drive(75, 50, 5, 0.15)),
    # 09-16: depth from turning the arm plane or raising the forearm
    Arm(0.8, Drive(90, 45, 1), Drive(80, 45, 2, 0.2), turn=Drive(0, 50, 1, 0.37)),
    Arm(0.7, Drive(20, 50, 2, 0.4), Drive(95, 50, 3), turn=Drive(10, 35, 2, 0.3, skew=0.4)),
    Arm(0.9, Drive(-90, 35, 1, skew=0.5), Drive(70, 55, 4, 0.1), raise_=Drive(0, 35, 2)),
    Arm(0.65, Drive(160, 40, 2), Drive(100, 45, 5, 0.3), raise_=Drive(10, 40, 3, 0.6)),
    Arm(0.85, Drive(60, 55, 1, 0.7), Drive(85, 40, 3, dwell=1.8), turn=Drive(-10, 45, 2)),
    Arm(0.75, Drive(-30, 40, 3, 0.2), Drive(90, 50, 2), raise_=Drive(0, 30, 5, 0.1)),
    Arm(
        0.8,
        Drive(120, 35, 2, skew=-0.6),
        Drive(75, 45, 3, 0.35),
        turn=Drive(0, 35, 1),
        raise_=Drive(5, 25, 4, 0.2),
    ),
    Arm(0.95, Drive(200, 30, 1, 0.5), Drive(105, 55, 4), turn=Drive(15, 40, 2, 0.6, dwell=1.5)),
]

PATTERNS = [
    Pattern(
        f"arm_coupled_{number:02d}",
        DESCRIPTION,
        LOOP,
        arm.axes,
        arm.curve(),
        peak=PEAK,
        peak_grid=HALF_PIP,
    )
    for number, arm in enumerate(ARMS, start=1)
]
