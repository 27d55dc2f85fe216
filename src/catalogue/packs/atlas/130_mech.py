"""Mechanism studies: one point of a small machine, followed through one turn of its driving
crank over eight beats.

Each study is a function of the crank angle theta (0 to 2 pi over the loop) giving the point in
the mechanism's own units; the whole table is then scaled by one factor to a peak of 0.82. The
crank turns at a steady rate, so every change of pace comes from the linkage itself: the
slider-crank's uneven strokes, the slotted lever's quick return, a cam's dwells.
"""

import math

from tablegen.facts import lifts, peaks, returns_quicker, still_over
from tablegen.model import Pattern
from tablegen.shapes import TAU, keyframe_lane, skewed_pulse, smootherstep, soft_ceiling

EIGHT_BEATS = 512
PEAK = 0.82


def per_turn(study, start=0.0):
    """A curve that turns the crank once per loop, from the crank angle `start` at pip 0."""
    return lambda k: study(start + TAU * k / EIGHT_BEATS)


def centred(curve):
    """The curve measured from the middle of its travel on each axis, so that where a
    mechanism's frame happens to put its origin does not shift the table."""
    points = [curve(k) for k in range(EIGHT_BEATS)]
    middles = [(min(lane) + max(lane)) / 2.0 for lane in zip(*points, strict=True)]
    return lambda k: tuple(v - m for v, m in zip(curve(k), middles, strict=True))


# --- slider-cranks -----------------------------------------------------------------------------
#
# Crank radius 1 about the origin, cylinder on the vertical axis, crank pin at (sin, cos) of the
# crank angle. A rod only a little longer than the crank leans far over and makes the stroke
# uneven; a long rod barely leans and strokes almost as a sine.


def wrist_pin(theta, rod, offset=0.0):
    """Height of the wrist pin of a cylinder whose axis is `offset` to the side of the crank."""
    return math.cos(theta) + math.sqrt(rod * rod - (math.sin(theta) - offset) ** 2)


def rod_marker(rod):
    """A marker on the connecting rod one crank radius from the wrist pin: it strokes with the
    piston and leans out with the rod."""

    def study(theta):
        lean = math.sin(theta) / rod  # sine of the rod's angle from the cylinder axis
        return (lean, wrist_pin(theta, rod) - math.sqrt(1.0 - lean * lean))

    return study


SHORT_ROD, LONG_ROD = 1.45, 4.5
piston_short = rod_marker(SHORT_ROD)
piston_long = rod_marker(LONG_ROD)


def offset_crank(theta):
    """A horizontal cylinder 0.7 crank radii off the crank centre, traced at the rod middle:
    the outward stroke takes longer than the inward one, and the rod's tilt draws an egg."""
    offset = 0.7
    slider = wrist_pin(theta, rod=2.4, offset=offset)
    return ((math.cos(theta) + slider) / 2.0, (math.sin(theta) + offset) / 2.0)


# --- yoke and slotted lever --------------------------------------------------------------------


def rocking_yoke(theta):
    """The yoke slides with the crank's pure cosine; a link hinged on the yoke rocks as the crank
    pin rides up and down its slot, so the tip swings out and dips twice per turn."""
    link, rock = 1.0, 0.85
    tilt = math.asin(rock * math.sin(theta))
    return (math.cos(theta) + link * math.sin(tilt), link * math.cos(tilt))


LEVER_PIVOT = 2.0  # below the crank centre, in crank radii: a 240 / 120 degree stroke split
LEVER_LENGTH = 3.0
TOOL_LIFT = 0.8


def quick_return(theta):
    """A crank driving a slotted lever pivoted below it. The lever tip advances while the crank
    pin passes over the top (240 degrees) and comes back while it passes under (120 degrees);
    on the way back the tool is lifted clear, so the path is a flat cut and an arched return."""
    swing = math.atan2(math.sin(theta), math.cos(theta) + LEVER_PIVOT)
    turn = math.acos(-1.0 / LEVER_PIVOT)  # the crank angle of either end of the stroke
    back = (theta - turn) % TAU / (TAU - 2.0 * turn)  # 0 to 1 over the return, beyond it after
    lift = TOOL_LIFT * math.sin(math.pi * back) ** 2 if back < 1.0 else 0.0
    return (LEVER_LENGTH * math.sin(swing), lift)


# --- cams --------------------------------------------------------------------------------------
#
# Lobed cams push a roller follower up the cam's centre line. The traced point is where the
# roller touches the cam: it rises with the follower and slips round the roller to one side on
# the way up and to the other on the way down, by the pressure angle.

BASE_RADIUS, ROLLER = 1.2, 0.5


def cycloidal_lobe(lift, centre, half_width):
    """A lobe that rises and falls with the cycloidal cam law (zero speed and acceleration at
    both ends and at the crest); returns its lift and the lift's rate per radian."""

    def lobe(theta):
        d = math.remainder(theta - centre, TAU)
        if abs(d) >= half_width:
            return 0.0, 0.0
        u = 1.0 - abs(d) / half_width
        rate = lift * (1.0 - math.cos(TAU * u)) / half_width
        return lift * (u - math.sin(TAU * u) / TAU), -math.copysign(rate, d)

    return lobe


def roller_contact(lift, rate):
    pressure = math.atan2(rate, BASE_RADIUS + ROLLER + lift)
    return (-ROLLER * math.sin(pressure), lift + ROLLER * (1.0 - math.cos(pressure)))


def lobed_cam(*lobes):
    def study(theta):
        parts = [lobe(theta) for lobe in lobes]
        return roller_contact(sum(p[0] for p in parts), sum(p[1] for p in parts))

    return study


two_lobe_cam = lobed_cam(cycloidal_lobe(1.0, 0.0, 1.3), cycloidal_lobe(0.6, math.pi, 1.0))
three_lobe_cam = lobed_cam(
    cycloidal_lobe(1.0, 0.0, 0.95),
    cycloidal_lobe(0.72, TAU / 3.0, 0.85),
    cycloidal_lobe(0.48, 2.0 * TAU / 3.0, 0.75),
)

RISE, TOP_DWELL, FALL = TAU / 3.0, TAU / 6.0, TAU / 3.0  # then a bottom dwell of TAU / 6
RISE_START = 0.3 * RISE  # pip 0 falls a little way into the rise


def rise_and_return(theta):
    """The classic dwell-rise-dwell-return cam: a cycloidal rise over 120 degrees, a dwell at
    the top, a cycloidal return over 120 degrees and a dwell at the bottom."""
    theta %= TAU
    if theta < RISE:
        u = theta / RISE
        lift, rate = u - math.sin(TAU * u) / TAU, (1.0 - math.cos(TAU * u)) / RISE
    elif theta < RISE + TOP_DWELL:
        lift, rate = 1.0, 0.0
    elif theta < RISE + TOP_DWELL + FALL:
        u = (theta - RISE - TOP_DWELL) / FALL
        lift, rate = 1.0 - u + math.sin(TAU * u) / TAU, -(1.0 - math.cos(TAU * u)) / FALL
    else:
        lift, rate = 0.0, 0.0
    return roller_contact(1.2 * lift, 1.2 * rate)


# The elliptic cam drives a flat-faced follower instead: its lift is the cam's support height
# h(theta) and it touches the cam h'(theta) to the side of the centre line, so the contact point
# (h', h) sweeps a broad oval.
ELLIPSE = (1.0, 0.72)  # semi-axes of the cam
ELLIPSE_OFFSET = 0.38  # its centre from the shaft, along the long axis


def elliptic_cam(theta):
    """An ellipse keyed off centre: one broad lift per turn, with a shallow shoulder where the
    far end of the long axis passes under the follower."""
    a, b = ELLIPSE
    c, s = math.cos(theta), math.sin(theta)
    root = math.sqrt((a * c) ** 2 + (b * s) ** 2)
    side = (b * b - a * a) * s * c / root - ELLIPSE_OFFSET * s
    return (side, root + ELLIPSE_OFFSET * c)


# --- wheels and plates -------------------------------------------------------------------------

TICKS = 8  # one per beat
TICK_PIPS = EIGHT_BEATS // TICKS


def tick_advance(u):
    """How far one tick has turned the wheel, u pips into the tick: a quick push that overruns
    by 6 %, a recoil onto the tooth, then a hold."""
    if u < 14.0:
        return 1.06 * smootherstep(u / 14.0)
    return 1.06 - 0.06 * smootherstep((u - 14.0) / 10.0)


def escapement(k):
    """A point on the escape wheel: it turns one tooth per beat and rests between ticks. Just
    before each tick the pallet lifts off (the point dips toward the hub), releasing the tooth."""
    tick, u = divmod(k, TICK_PIPS)
    angle = TAU * (tick + tick_advance(u)) / TICKS + 0.3
    release = skewed_pulse(u - TICK_PIPS if u > TICK_PIPS / 2 else u, 0.09, 10.0, 10.0)
    radius = 1.0 - release
    return (radius * math.cos(angle), radius * math.sin(angle))


def paddle_tip(theta):
    """The tip of a paddle on a turning wheel. In the water the tip is held back (it passes the
    lowest point slowly) and pressed flat along the surface of the stroke below."""
    angle = theta - 0.22 * math.cos(theta)  # slowest at the bottom, fastest over the top
    x, y = math.cos(angle), math.sin(angle)
    return (x, -soft_ceiling(-y, 0.62, 0.78) if y < 0.0 else y)


WOBBLE_TILT = 0.42  # radians


def wobble_plate(theta):
    """A point on the rim of a plate that turns once while its tilt runs twice round the other
    way: the point rises and sinks three times per turn and the rim's outline swells and
    narrows with the tilt."""
    tilt_direction = -2.0 * theta
    u = theta - tilt_direction  # the point's angle from the tilt direction, on the plate
    rx, ry = math.cos(u) * math.cos(WOBBLE_TILT), math.sin(u)
    c, s = math.cos(tilt_direction), math.sin(tilt_direction)
    return (c * rx - s * ry, s * rx + c * ry, math.sin(WOBBLE_TILT) * math.cos(u))


# --- beams and linkages ------------------------------------------------------------------------

BEAM_SWING = 0.65  # radians either side of level
# (pip, tilt in swings): it tips over, one end lands and bounces once, rests, and the beam tips
# back. Pip 0 falls late in a tip, so the seam lies inside a move.
BEAM_FRAMES = [
    (50, 1.0), (66, 0.8), (82, 1.0), (176, 1.0),
    (306, -1.0), (322, -0.8), (338, -1.0), (432, -1.0),
]  # fmt: skip
beam_tilt = keyframe_lane([(pip, BEAM_SWING * t) for pip, t in BEAM_FRAMES], EIGHT_BEATS)


def rocking_beam(k):
    """The right end of a beam rocking on a central pivot: a see-saw arc, never a circle."""
    tilt = beam_tilt(k)
    return (math.cos(tilt), math.sin(tilt))


def circle_meet(a, ra, b, rb):
    """The meeting point of two links of lengths ra and rb hinged at a and b, on the left of the
    direction from a to b."""
    dx, dy = b[0] - a[0], b[1] - a[1]
    d = math.hypot(dx, dy)
    along = (ra * ra - rb * rb + d * d) / (2.0 * d)
    up = math.sqrt(ra * ra - along * along)
    return (a[0] + (along * dx - up * dy) / d, a[1] + (along * dy + up * dx) / d)


def coupled_cranks(theta):
    """Two cranks geared 2:1, each driving a link; the joint where the two links meet is traced
    (a geared five-bar): a looping figure that crosses itself once."""
    left = (-1.0 + 0.5 * math.cos(theta), 0.5 * math.sin(theta))
    right = (1.0 + 0.2 * math.cos(2.0 * theta + 0.8), 0.2 * math.sin(2.0 * theta + 0.8))
    return circle_meet(right, 1.6, left, 1.6)


ROCKER_PIVOT = (1.0, 0.0)
CRANK, COUPLER, ROCKER = 0.35, 1.0, 0.8  # the ground link is 1: a crank-rocker


def crank_rocker(theta):
    """A four-bar crank-rocker: x and y follow a point set off the coupler, which draws a
    tear-drop; z follows the rocker tip swinging through depth."""
    pin = (CRANK * math.cos(theta), CRANK * math.sin(theta))
    joint = circle_meet(ROCKER_PIVOT, ROCKER, pin, COUPLER)
    ux, uy = (joint[0] - pin[0]) / COUPLER, (joint[1] - pin[1]) / COUPLER
    rocker = math.atan2(joint[1] - ROCKER_PIVOT[1], joint[0] - ROCKER_PIVOT[0])
    return (pin[0] + 0.5 * ux - 0.45 * uy, pin[1] + 0.5 * uy + 0.45 * ux, ROCKER * rocker)


def piston_balance(theta):
    """A balance mass opposite the crank pin circles in x and y while the piston it balances
    strokes through depth (a short rod, so the stroke is uneven)."""
    return (-0.62 * math.sin(theta), -0.62 * math.cos(theta), wrist_pin(theta, 1.8))


# --- the catalogue -----------------------------------------------------------------------------


def at_pip(angle, start=0.0):
    """The first whole pip at or after a crank angle, for a crank that stands at `start` at
    pip 0."""
    return math.ceil((angle - start) / TAU * EIGHT_BEATS - 1e-9) % EIGHT_BEATS


def leans_out(rod):
    """The rod marker strokes through two crank radii and leans out one crank radius over the
    rod length at the quarter turns, so its x reaches 1/rod of its y."""
    return peaks(x=PEAK / rod, y=PEAK)


RETURN_DWELLS = (
    still_over(at_pip(RISE, RISE_START), at_pip(RISE + TOP_DWELL, RISE_START) - 1),
    still_over(at_pip(RISE + TOP_DWELL + FALL, RISE_START), at_pip(TAU, RISE_START) - 1),
)
TICK_HOLDS = tuple(still_over(TICK_PIPS * t + 24, TICK_PIPS * t + 53) for t in range(TICKS))

# (name, label, axes, curve, facts)
STUDIES = [
    ("mech_piston_short", "Short-rod piston", 2, per_turn(piston_short), (
        leans_out(SHORT_ROD),
    )),
    ("mech_piston_long", "Long-rod piston", 2, per_turn(piston_long), (
        leans_out(LONG_ROD),
    )),
    ("mech_offset_crank", "Offset crank", 2, per_turn(offset_crank), ()),
    ("mech_scotch_yoke", "Yoke with rocking linkage", 2, per_turn(rocking_yoke), ()),
    ("mech_whitworth", "Quick-return linkage study", 2, per_turn(quick_return), (
        returns_quicker("x"),
    )),
    ("mech_elliptic_cam", "Elliptic cam follower", 2, per_turn(elliptic_cam, 0.9), (
        lifts(1, 0.2),
    )),
    ("mech_two_lobe_cam", "Two-lobe cam follower", 2, per_turn(two_lobe_cam, 0.4), (
        lifts(2, 0.2),
    )),
    ("mech_three_lobe_cam", "Three-lobe cam follower", 2, per_turn(three_lobe_cam, 0.4), (
        lifts(3, 0.2),
    )),
    ("mech_escapement", "Soft escapement study", 2, escapement, TICK_HOLDS),
    ("mech_paddle", "Paddle-wheel tip", 2, per_turn(paddle_tip), (
        still_over(352, 416, "y"),  # along the flattened stroke, about pips 348 to 420
    )),
    ("mech_wobble_plate", "Wobble-plate trace", 3, per_turn(wobble_plate), ()),
    ("mech_rocking_beam", "Rocking beam", 2, rocking_beam, (
        still_over(82, 176),
        still_over(338, 432),
    )),
    ("mech_coupled_cranks", "Coupled cranks", 2, per_turn(coupled_cranks), ()),
    ("mech_crank_rocker", "Crank and rocker study", 3, per_turn(crank_rocker), ()),
    ("mech_piston_balance", "Piston and balance mass", 3, per_turn(piston_balance), ()),
    ("mech_cam_return", "Cam rise and return", 2, per_turn(rise_and_return, RISE_START), (
        *RETURN_DWELLS,
        lifts(1, 0.5),
    )),
]  # fmt: skip

PATTERNS = [
    Pattern(
        name,
        f"{label}; an original kinematic-style position study, not an engineering simulation.",
        EIGHT_BEATS,
        axes,
        centred(curve),
        peak=PEAK,
        facts=facts,
    )
    for name, label, axes, curve, facts in STUDIES
]
