"""The sixteen motions of the beat-grid packs: rules that turn a style's score into a moving point.

Each motion lives in its own module as MOTION, with its rule. A rule takes a score and the number
of axes its table uses (2: x and y only, 3: with depth z) and returns the raw curve of pip k.
Amplitudes come from the rule's own constants and the levels of the score's events; they are not
scaled to a fixed peak afterwards. Where crowded events would pile up past a motion's reach,
`soft_ceiling` bends the sum smoothly toward a limit instead.

Every kernel is summed around the loop (tablegen.shapes), so each path closes on itself. The two
causal rules, `spring` and `recoil`, use only one-sided kernels: nothing moves before its event.
"""

from . import (
    bounce,
    box,
    corkscrew,
    dive,
    figure8,
    flutter,
    glide,
    orbit,
    pendulum,
    recoil,
    ricochet,
    slalom,
    spiral,
    spring,
    step,
    surge,
)
from .motion import Motion

# The club pack moves its styles by these four.
CLUB_MOTIONS: tuple[Motion, ...] = (bounce.MOTION, step.MOTION, orbit.MOTION, glide.MOTION)
# The dancefloor pack moves the club styles by these twelve, and its own styles by all sixteen.
DANCEFLOOR_MOTIONS: tuple[Motion, ...] = (
    surge.MOTION,
    recoil.MOTION,
    flutter.MOTION,
    dive.MOTION,
    pendulum.MOTION,
    figure8.MOTION,
    box.MOTION,
    corkscrew.MOTION,
    spiral.MOTION,
    slalom.MOTION,
    spring.MOTION,
    ricochet.MOTION,
)
# Every motion in table order.
MOTIONS: tuple[Motion, ...] = CLUB_MOTIONS + DANCEFLOOR_MOTIONS

__all__ = ["CLUB_MOTIONS", "DANCEFLOOR_MOTIONS", "MOTIONS", "Motion"]
