"""The shape toolkit shared by every pack's family modules.

A family module describes its patterns with these pieces (phases, eased keyframe paths, events
drawn by kernels such as raised-cosine strokes and one-sided envelopes, closed splines through
hashed control points, lane composition) and leaves the plumbing here. Every helper is a pure
function of its arguments: no random state, no caches, nothing read from outside, so the generated
tables are the same on every run.

A *curve* maps a pip k (an int, or a float when a peak is searched on a finer grid) to one to
three components. A *lane* is the scalar version: a function of k returning one float.
"""

from __future__ import annotations

import hashlib
import math
from collections.abc import Callable, Iterable, Sequence
from dataclasses import dataclass
from itertools import pairwise

TAU = 2.0 * math.pi

Lane = Callable[[float], float]
Value = float | Sequence[float]
Ease = Callable[[float], float]


# --- scalar helpers ---------------------------------------------------------------------------


def clamp(value: float, low: float = -1.0, high: float = 1.0) -> float:
    return low if value < low else high if value > high else value


def lerp(a: float, b: float, t: float) -> float:
    # a + (b - a) * t keeps a exactly when a == b, which is what makes keyframe holds exact.
    return a + (b - a) * t


def phase(k: float, period: float, cycles: float = 1.0) -> float:
    """phi = 2*pi*cycles*k/period: the angle of pip k on a loop of `period` pips."""
    return TAU * cycles * k / period


def quick_start(phi: float, hurry: float) -> float:
    """phi + hurry*sin(phi): an angle that runs at 1 + hurry times its mean rate at phi = 0 and
    1 - hurry times it half a loop later (hurry below 1 keeps it moving forward). It is odd in
    phi, so a path mirror-symmetric about pip 0 stays so, now at its quickest there."""
    return phi + hurry * math.sin(phi)


def wrap(k: float, period: float) -> float:
    """k folded into [0, period), for fractional k as well."""
    r = math.fmod(k, period)
    return r + period if r < 0 else r


def cyclic_distance(k: float, centre: float, period: float) -> float:
    """Signed distance from `centre` to `k` around the loop, in [-period/2, period/2)."""
    d = math.fmod(k - centre, period)
    if d >= period / 2:
        d -= period
    elif d < -period / 2:
        d += period
    return d


# Unit directions by name, for families that score gestures as words ("left", "dip", ...).
DIRECTIONS = {
    "left": (-1.0, 0.0, 0.0),
    "right": (1.0, 0.0, 0.0),
    "up": (0.0, 1.0, 0.0),
    "down": (0.0, -1.0, 0.0),
    "forward": (0.0, 0.0, 1.0),
    "back": (0.0, 0.0, -1.0),
}


# --- easing -----------------------------------------------------------------------------------


def smoothstep(t: float) -> float:
    """Cubic ease 3t^2 - 2t^3 on [0, 1], clamped outside; zero slope at both ends."""
    t = clamp(t, 0.0, 1.0)
    return t * t * (3.0 - 2.0 * t)


def smootherstep(t: float) -> float:
    """Quintic ease 6t^5 - 15t^4 + 10t^3 on [0, 1], clamped; zero slope and curvature at both
    ends."""
    t = clamp(t, 0.0, 1.0)
    return t * t * t * (t * (6.0 * t - 15.0) + 10.0)


def linear(t: float) -> float:
    return clamp(t, 0.0, 1.0)


def accelerating(ease: Ease, power: float = 2.0) -> Ease:
    """An ease that spends longer near its start: ease(t**power). Keeps zero end slopes."""
    return lambda t: ease(clamp(t, 0.0, 1.0) ** power)


def rounded_ramp(corner: float) -> Ease:
    """An ease that travels at constant speed except within `corner` of either end, where the
    speed rises from and falls to zero along a smoothstep: a ramp with rounded ends."""
    if not 0.0 < corner <= 0.5:
        raise ValueError(f"corner must lie in (0, 0.5], got {corner}")
    speed = 1.0 / (1.0 - corner)  # the area under the speed profile is one

    def start(t: float) -> float:  # integral of smoothstep(s / corner) from 0 to t
        u = t / corner
        return corner * (u * u * u - u * u * u * u / 2.0)

    def ease(t: float) -> float:
        t = clamp(t, 0.0, 1.0)
        if t <= corner:
            return speed * start(t)
        if t >= 1.0 - corner:
            return 1.0 - speed * start(1.0 - t)
        return speed * (corner / 2.0 + (t - corner))

    return ease


def soft_triangle(u: float, rise: float, corner: float) -> float:
    """A triangle wave of phase u (cycles): -1 at u = 0, +1 at u = rise, back to -1 at u = 1.

    Each corner is replaced within `corner` (in cycles) of its tip by the parabola that meets both
    straight sides with their slopes, so the wave has no sharp reversal. The straight sides are
    steepened by 1/(1 - 2*corner) so that the rounded tips still reach exactly +-1.
    """
    if not 0.0 < rise < 1.0 or not 0.0 < corner < min(rise, 1.0 - rise) / 2.0:
        raise ValueError("soft_triangle needs 0 < rise < 1 and a corner below half of each side")
    u = wrap(u, 1.0)
    height = 1.0 / (1.0 - 2.0 * corner)
    up, down = 2.0 * height / rise, -2.0 * height / (1.0 - rise)
    for tip, value, slope_in, slope_out in (
        (0.0, -height, down, up),
        (rise, height, up, down),
        (1.0, -height, down, up),
    ):
        d = u - tip
        if -corner <= d <= corner:
            return (
                value + slope_in * d + (slope_out - slope_in) * (d + corner) ** 2 / (4.0 * corner)
            )
    if u < rise:
        return -height + up * u
    return height + down * (u - rise)


# --- lanes and curves -------------------------------------------------------------------------


def constant(value: float) -> Lane:
    return lambda k: value


def lanes(*parts: Lane) -> Callable[[float], tuple[float, ...]]:
    """A curve whose components are the given lanes, in order x, y, z."""
    if not 1 <= len(parts) <= 3:
        raise ValueError(f"a curve has 1 to 3 lanes, got {len(parts)}")
    return lambda k: tuple(part(k) for part in parts)


def add(*parts: Lane) -> Lane:
    return lambda k: math.fsum(part(k) for part in parts)


def scaled(part: Lane, factor: float) -> Lane:
    return lambda k: factor * part(k)


def component(curve: Callable[[float], Sequence[float]], index: int) -> Lane:
    """One lane of a vector-valued curve (0.0 where the curve has fewer components)."""

    def lane(k: float) -> float:
        values = curve(k)
        return values[index] if index < len(values) else 0.0

    return lane


# --- keyframe paths ---------------------------------------------------------------------------


def _as_vector(value: Value) -> tuple[float, ...]:
    if isinstance(value, (int, float)):
        return (float(value),)
    return tuple(float(v) for v in value)


def keyframes(
    points: Iterable[tuple], period: float, ease: Ease = smootherstep
) -> Callable[[float], tuple[float, ...]]:
    """A closed path through keyframes (pip, value) or (pip, value, ease).

    Between one keyframe and the next the value moves along the segment's ease (the ease given
    with the keyframe that starts the segment, else `ease`); after the last keyframe the path
    returns to the first one at pip `period`. Values are scalars or vectors of one length.
    Equal neighbouring values give an exact hold, because each component is a + (b - a) * e.
    The returned curve gives a tuple even for scalar keyframes.
    """
    frames = []
    for point in points:
        if len(point) not in (2, 3):
            raise ValueError(f"keyframe {point!r} is not (pip, value) or (pip, value, ease)")
        pip, value = point[0], _as_vector(point[1])
        frames.append((float(pip), value, point[2] if len(point) == 3 else ease))
    if not frames:
        raise ValueError("a keyframe path needs at least one keyframe")
    times = [f[0] for f in frames]
    if times[0] < 0 or any(b <= a for a, b in pairwise(times)) or times[-1] >= period:
        raise ValueError(f"keyframe pips must rise strictly within [0, {period}): {times}")
    if len({len(f[1]) for f in frames}) != 1:
        raise ValueError("keyframe values must all have the same number of components")
    # The closing segment runs from the last keyframe back to the first, one period later.
    closing = (frames[0][0] + period, frames[0][1])
    segments = []
    for i, (start, value, seg_ease) in enumerate(frames):
        end, target = frames[i + 1][:2] if i + 1 < len(frames) else closing
        segments.append((start, end, value, target, seg_ease))

    def curve(k: float) -> tuple[float, ...]:
        k = wrap(k, period)
        if k < times[0]:
            k += period
        for start, end, a, b, seg_ease in segments:
            if k < end:
                e = seg_ease((k - start) / (end - start))
                return tuple(lerp(ai, bi, e) for ai, bi in zip(a, b, strict=True))
        raise AssertionError("unreachable: the segments cover one whole period")

    return curve


def keyframe_lane(points: Iterable[tuple], period: float, ease: Ease = smootherstep) -> Lane:
    """The scalar form of `keyframes`."""
    return component(keyframes(points, period, ease), 0)


# --- onset grids ------------------------------------------------------------------------------


def grid_time(step: int, steps: int, period: float) -> float:
    """Time of step `step` on a grid of `steps` equal steps spanning `period` pips."""
    return period * step / steps


def euclid_steps(onsets: int, steps: int) -> list[int]:
    """The maximally even onset steps ceil(i*steps/onsets), i = 0 .. onsets-1 (integer exact)."""
    if not 0 < onsets <= steps:
        raise ValueError(f"cannot spread {onsets} onsets over {steps} steps")
    return [-(-i * steps // onsets) for i in range(onsets)]


def nearest_pip(time: float) -> int:
    """The pip nearest a time; halves round up, so ties never depend on banker's rounding."""
    return math.floor(time + 0.5)


# --- closed splines ---------------------------------------------------------------------------


def closed_spline(
    points: Sequence[tuple[float, Value]], period: float
) -> Callable[[float], tuple[float, ...]]:
    """A smooth closed curve through control points (time, value) on a loop of `period` pips.

    Periodic cubic Hermite interpolation with Catmull-Rom tangents for uneven spacing: the
    tangent at a point is the slope between its two neighbours, wrapping around the loop. The
    curve passes through every control point and has a continuous first derivative everywhere,
    the seam included.
    """
    if len(points) < 3:
        raise ValueError("a closed spline needs at least three control points")
    times = [float(t) for t, _ in points]
    values = [_as_vector(v) for _, v in points]
    if times[0] < 0 or any(b <= a for a, b in pairwise(times)) or times[-1] >= period:
        raise ValueError(f"control times must rise strictly within [0, {period}): {times}")
    if len({len(v) for v in values}) != 1:
        raise ValueError("control values must all have the same number of components")
    n = len(points)

    def time_of(i: int) -> float:
        return times[i % n] + period * (i // n)

    tangents = []
    for i in range(n):
        before, after = values[(i - 1) % n], values[(i + 1) % n]
        span = time_of(i + 1) - time_of(i - 1)
        tangents.append(tuple((a - b) / span for a, b in zip(after, before, strict=True)))

    def curve(k: float) -> tuple[float, ...]:
        k = wrap(k, period)
        if k < times[0]:
            k += period
        i = n - 1
        for j in range(n - 1):
            if k < times[j + 1]:
                i = j
                break
        t0, t1 = time_of(i), time_of(i + 1)
        h = t1 - t0
        s = (k - t0) / h
        s2, s3 = s * s, s * s * s
        h00 = 2 * s3 - 3 * s2 + 1
        h10 = s3 - 2 * s2 + s
        h01 = -2 * s3 + 3 * s2
        h11 = s3 - s2
        p0, p1 = values[i], values[(i + 1) % n]
        m0, m1 = tangents[i], tangents[(i + 1) % n]
        return tuple(
            h00 * a + h10 * h * ma + h01 * b + h11 * h * mb
            for a, b, ma, mb in zip(p0, p1, m0, m1, strict=True)
        )

    return curve


# --- hashed control points --------------------------------------------------------------------


def hashed_unit(*key: object) -> float:
    """A value in [-1, 1) fixed by the SHA-256 digest of the key's parts joined with '/'.

    Deterministic and stateless: the same key always gives the same value on every platform.
    """
    text = "/".join(str(part) for part in key)
    digest = hashlib.sha256(text.encode("utf-8")).digest()
    return int.from_bytes(digest[:8], "big") / 2.0**63 - 1.0


def hashed_points(
    key: str, count: int, period: float, jitter: float = 0.0
) -> list[tuple[float, float]]:
    """`count` control points (time, value) around a loop, values from hashed_unit(key, i).

    Times sit at period*i/count, each moved by up to `jitter` of its spacing (again hashed), so
    the lane looks irregular while the points keep their order.
    """
    if count < 3:
        raise ValueError("a hashed lane needs at least three control points")
    if not 0.0 <= jitter < 0.5:
        raise ValueError("jitter must lie in [0, 0.5) so that control points keep their order")
    spacing = period / count
    points = []
    for i in range(count):
        shift = jitter * spacing * hashed_unit(key, "time", i) if i else 0.0
        points.append((i * spacing + shift, hashed_unit(key, "value", i)))
    return points


# --- normalisation ----------------------------------------------------------------------------

HALF_PIP = 2  # points per pip of the half-pip grid on which some families find their peak


def search_points(period: int, grid: int = 1) -> list[float]:
    """The pips (grid > 1: fractions of pips) over which a curve's peak is searched."""
    return [i / grid if grid > 1 else i for i in range(period * grid)]


def largest_magnitude(
    curve: Callable[[float], Sequence[float]], period: int, grid: int = 1
) -> float:
    """The largest |component| of a curve over one period, on the given search grid."""
    return max(abs(c) for k in search_points(period, grid) for c in curve(k))


def lane_peak(lane: Lane, period: int, grid: int = 1) -> float:
    return max(abs(lane(k)) for k in search_points(period, grid))


def scale_lane_to_peak(lane: Lane, period: int, peak: float, grid: int = 1) -> Lane:
    """The lane multiplied by the one factor that makes its largest |value| on the grid `peak`.

    Use this for a lane with its own stated peak; a whole table normalised by one factor for all
    its components is done by the bake step (Pattern.peak).
    """
    largest = lane_peak(lane, period, grid)
    if not largest > 0.0:
        raise ValueError("cannot scale a lane that is zero everywhere")
    factor = peak / largest
    return lambda k: lane(k) * factor


def harmonics(terms: Sequence[tuple[int, float, float]]) -> Callable[[float], float]:
    """A periodic function of the angle phi: the sum of a*sin(n*phi + p) over (n, a, p)."""
    return lambda phi: math.fsum(a * math.sin(n * phi + p) for n, a, p in terms)


# --- events: kernels, hits and their sum ------------------------------------------------------
#
# Every event a family scores (a stroke, a drum hit, an accent) is one model: a Hit at a time
# (fractional allowed) with a signed amplitude per component and a Kernel, the unit shape the
# event leaves on a lane, written as a function of d, the pips from the event to the pip being
# drawn (negative before the event). hit_sum adds the hits of a loop. Each kernel is exactly 0.0
# outside its support, so silence between events is exact; the symmetric raised cosine of
# `onset` peaks at exactly its amplitude on its event, and the causal kernels (attack and
# release, the struck spring) are exactly at rest up to and including their event.


def skewed_pulse(d: float, amplitude: float, rise: float, fall: float) -> float:
    """A raised-cosine pulse that rises over `rise` pips before its event and falls over `fall`
    pips after it: A*(1 + cos(pi*d/rise))/2 before, A*(1 + cos(pi*d/fall))/2 after, exactly A at
    d = 0 and exactly 0.0 for d <= -rise or d >= fall."""
    if d <= -rise or d >= fall:
        return 0.0
    width = rise if d < 0 else fall
    return amplitude * (1.0 + math.cos(math.pi * d / width)) / 2.0


def skewed_pulse_area(d: float, rise: float, fall: float) -> float:
    """The area under the unit skewed pulse from its start up to d: 0.0 before the pulse,
    (rise + fall)/2 after it."""
    if d <= -rise:
        return 0.0
    if d <= 0.0:
        return (d + rise) / 2.0 + rise / TAU * math.sin(math.pi * d / rise)
    if d < fall:
        return rise / 2.0 + d / 2.0 + fall / TAU * math.sin(math.pi * d / fall)
    return (rise + fall) / 2.0


def release_fade(d: float, horizon: float) -> float:
    """1.0 up to half the horizon, then a smootherstep down to exactly 0.0 at `horizon`: ends an
    exponential tail at a finite time without a kink."""
    half = horizon / 2.0
    return 1.0 - smootherstep((d - half) / half)


def attack_decay(d: float, amplitude: float, attack: float, decay: float, horizon: float) -> float:
    """A one-sided envelope: 0.0 up to and at the event; a sin^2 attack reaching `amplitude` at
    d = attack; then the critically damped release (1 + s/decay)*exp(-s/decay) of s = d - attack,
    which leaves the peak with zero slope, faded to exactly 0.0 at d = horizon."""
    if d <= 0.0 or d >= horizon:
        return 0.0
    if d < attack:
        return amplitude * math.sin(math.pi * d / (2.0 * attack)) ** 2
    s = (d - attack) / decay
    return amplitude * (1.0 + s) * math.exp(-s) * release_fade(d, horizon)


def damped_spring(
    d: float, amplitude: float, cycle: float, decay: float, horizon: float, onset: float
) -> float:
    """A struck spring: exactly 0.0 (at rest) up to and at its event, then the ringing
    A*exp(-d/decay)*sin(2*pi*d/cycle). The factor 1 - exp(-(d/onset)^2) starts the ring with zero
    velocity, and the ring is faded to exactly 0.0 at d = horizon, so it never reaches past its
    horizon into the next loop."""
    if d <= 0.0 or d >= horizon:
        return 0.0
    start = 1.0 - math.exp(-((d / onset) ** 2))
    ring = math.exp(-d / decay) * math.sin(TAU * d / cycle)
    return amplitude * start * ring * release_fade(d, horizon)


def soft_ceiling(value: float, knee: float, ceiling: float) -> float:
    """Leaves |value| <= knee unchanged; beyond the knee the magnitude bends along the parabola
    that meets `ceiling` with zero slope at knee + 2*(ceiling - knee) and holds it after. The
    curve has a continuous slope, so crowded events flatten smoothly instead of clipping."""
    if not 0.0 <= knee < ceiling:
        raise ValueError(f"soft_ceiling needs 0 <= knee < ceiling, got {knee}, {ceiling}")
    size = abs(value)
    if size <= knee:
        return value
    span = ceiling - knee
    over = size - knee
    bent = ceiling if over >= 2.0 * span else knee + over - over * over / (4.0 * span)
    return math.copysign(bent, value)


@dataclass(frozen=True)
class Kernel:
    """A unit shape around an event: shape(d) for d pips after it, exactly 0.0 unless
    -lead < d < reach. Causal kernels have lead 0."""

    shape: Callable[[float], float]
    lead: float
    reach: float


def rise_fall(rise: float, fall: float) -> Kernel:
    if not (rise > 0 and fall > 0):
        raise ValueError(f"a pulse needs a positive rise and fall, got {rise}, {fall}")
    return Kernel(lambda d: skewed_pulse(d, 1.0, rise, fall), rise, fall)


def attack_release(attack: float, decay: float, horizon: float) -> Kernel:
    if not (0 < attack < horizon and decay > 0):
        raise ValueError("an envelope needs 0 < attack < horizon and a positive decay")
    return Kernel(lambda d: attack_decay(d, 1.0, attack, decay, horizon), 0.0, horizon)


def spring_ring(cycle: float, decay: float, horizon: float, onset: float) -> Kernel:
    if not (cycle > 0 and decay > 0 and onset > 0 and horizon > 0):
        raise ValueError("a spring needs a positive cycle, decay, onset and horizon")
    return Kernel(lambda d: damped_spring(d, 1.0, cycle, decay, horizon, onset), 0.0, horizon)


@dataclass(frozen=True)
class Hit:
    """One event's mark on a curve: its kernel times a signed amplitude per component."""

    time: float
    amplitudes: tuple[float, ...]
    kernel: Kernel

    def __post_init__(self) -> None:
        if not 1 <= len(self.amplitudes) <= 3:
            raise ValueError(f"a hit moves 1 to 3 components, got {self.amplitudes!r}")


def hit(time: float, *amplitudes: float, kernel: Kernel) -> Hit:
    return Hit(float(time), tuple(float(a) for a in amplitudes), kernel)


def raised_cosine(width: float) -> Kernel:
    """The symmetric pulse (1 + cos(pi*d/width))/2 for |d| < width: the onset stroke."""
    return rise_fall(width, width)


def onset(time: float, *amplitudes: float, width: float) -> Hit:
    """A stroke centred on its event: a raised-cosine pulse of half-width `width` pips that peaks
    at exactly its amplitudes on the event."""
    return hit(time, *amplitudes, kernel=raised_cosine(width))


def since(k: float, time: float, period: float, lead: float = 0.0) -> float:
    """Pips from an event at `time` to pip k, measured around the loop, in [-lead, period - lead):
    a kernel with that lead sees every pip of the loop exactly once. The difference is taken once
    and shifted by whole loops, so every pip near the event gets the same distance whatever the
    lead: a symmetric pulse is drawn the same as by cyclic_distance."""
    d = math.fmod(k - time, period)
    if d >= period - lead:
        d -= period
    elif d < -lead:
        d += period
    return d


def hit_sum(hits: Sequence[Hit], period: float, size: int = 3) -> Callable[[float], tuple]:
    """The sum of every hit's kernel over the loop, `size` components (missing ones are 0.0).

    Each hit is counted once per loop, so the curve closes exactly; a kernel longer than the loop
    is refused. With no hits the curve is 0.0 everywhere.
    """
    hits = tuple(hits)
    for h in hits:
        if h.kernel.lead + h.kernel.reach > period:
            raise ValueError(f"the kernel of the hit at {h.time} is longer than the loop")
        if len(h.amplitudes) > size:
            raise ValueError(f"the hit at {h.time} moves more than {size} components")

    def curve(k: float) -> tuple[float, ...]:
        sums = [0.0] * size
        for h in hits:
            d = since(k, h.time, period, h.kernel.lead)
            if d <= -h.kernel.lead or d >= h.kernel.reach:
                continue
            unit = h.kernel.shape(d)
            for axis, amplitude in enumerate(h.amplitudes):
                sums[axis] += amplitude * unit
        return tuple(sums)

    return curve


def pulse_phase(
    events: Sequence[tuple[float, float]], period: float, base: float, rise: float, fall: float
) -> Lane:
    """A phase in cycles that advances once per loop, 0.0 at pip 0, at a rate of `base` plus a
    skewed pulse (rise, fall) of height `weight` around each (time, weight) event; times may lie
    anywhere and are taken round the loop.

    The phase is the running area under that rate, in closed form, divided by the area of the
    whole loop: events speed the travel up around them and the rest of the loop slows down to
    keep one cycle per loop. Weights must not be negative.
    """
    events = tuple((wrap(float(t), period), float(w)) for t, w in events)
    if base <= 0.0 or any(w < 0.0 for _, w in events) or rise + fall > period:
        raise ValueError("a pulse phase needs a base > 0, weights >= 0 and a pulse within the loop")

    def area(k: float) -> float:
        total = base * k
        for time, weight in events:
            for loop in (-period, 0.0, period):
                d = k - time - loop
                total += weight * (
                    skewed_pulse_area(d, rise, fall) - skewed_pulse_area(-time - loop, rise, fall)
                )
        return total

    whole = area(float(period))

    def lane(k: float) -> float:
        turns, inside = divmod(k, period)
        return turns + area(inside) / whole

    return lane
