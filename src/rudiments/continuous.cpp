// Every formula is evaluated in double precision in the written order, one rounding per
// operation (the build disables contraction into fused multiply-adds), so results agree bit for
// bit with the published worked values.
#include "rudiments/continuous.hpp"

#include <array>
#include <cmath>

#include "core/pip.hpp"

namespace motiloom {
namespace {

constexpr double PI = 3.141592653589793;
constexpr double TWO_PI = 6.283185307179586;
constexpr double FOUR_PI = 12.566370614359172;
constexpr double HALF_PI = 1.5707963267948966;

// Cubic ease from 0 to 1 with zero slope at both ends: (3 - 2t) t^2, in this exact order.
constexpr double smoothstep(double t) noexcept { return (3.0 - (t + t)) * (t * t); }

struct Segment {
    double from;
    double to;
};

struct Corner {
    double x;
    double y;
};

constexpr std::array<Segment, 4> STEP_TOUCH_WAYPOINTS{
    {{-1.0, 0.0}, {0.0, 1.0}, {1.0, 0.0}, {0.0, -1.0}}};
constexpr std::array<Corner, 5> BOX_CORNERS{
    {{-1.0, -1.0}, {1.0, -1.0}, {1.0, 1.0}, {-1.0, 1.0}, {-1.0, -1.0}}};

struct Keyframe {
    int pip;
    double x;
    double y;
};

// The drift's keyframes; the last closes the loop at pip 256 on the first one's position. The
// uneven spacing makes the accents: fast moves into 23, 33, 100, 169 and 228.
constexpr std::array<Keyframe, 14> VORN_KEYFRAMES{{
    {0, 0.0 / 14.0, 0.0},
    {23, 2.0 / 14.0, -0.1},
    {33, 13.0 / 14.0, -0.8},
    {49, 5.0 / 14.0, -0.4},
    {87, -3.0 / 14.0, 0.2},
    {100, -14.0 / 14.0, 0.9},
    {118, -5.0 / 14.0, 0.5},
    {154, 1.0 / 14.0, 0.0},
    {169, 12.0 / 14.0, 1.0},
    {187, 4.0 / 14.0, 0.5},
    {215, -2.0 / 14.0, -0.2},
    {228, -10.0 / 14.0, -0.9},
    {243, -3.0 / 14.0, -0.3},
    {256, 0.0 / 14.0, 0.0},
}};

// One entry per pip, eased between keyframes. A keyframe pip belongs to the segment that ends
// there, so its entry is computed with t = 1 and may differ from the keyframe in the last bit.
// Evaluated at compile time: the table is constant data, ready before any sample can run.
constexpr std::array<Offset3, 256> build_vorn_table() {
    std::array<Offset3, 256> table{};
    std::size_t k = 0;
    for (int i = 0; i < 256; ++i) {
        while (k + 1 <= 13 && i > VORN_KEYFRAMES[k + 1].pip) {
            ++k;
        }
        const Keyframe& a = VORN_KEYFRAMES[k];
        const Keyframe& b = VORN_KEYFRAMES[k + 1];
        const double t = static_cast<double>(i - a.pip) / static_cast<double>(b.pip - a.pip);
        const double s = smoothstep(t);
        table[static_cast<std::size_t>(i)] = {(b.x - a.x) * s + a.x, (b.y - a.y) * s + a.y, 0.0};
    }
    return table;
}

constexpr std::array<Offset3, 256> VORN_TABLE = build_vorn_table();

}  // namespace

Offset3 bounce(int pip) noexcept {
    const double w = wrap_pip(pip, 64);
    return {1.0 - (std::fabs(w * 0.015625 - 0.5) * 4.0), 0.0, 0.0};
}

Offset3 sway(int pip) noexcept {
    const double w = wrap_pip(pip, 128);
    return {std::sin((w * 0.0078125) * TWO_PI), 0.0, 0.0};
}

Offset3 circle(int pip) noexcept {
    const double w = wrap_pip(pip, 64);
    const double a = ((w * 0.015625) * TWO_PI) - HALF_PI;
    double s = 0.0;
    double c = 0.0;
    ::sincos(a, &s, &c);
    return {c, s, 0.0};
}

Offset3 figure_eight(int pip) noexcept {
    const double w = wrap_pip(pip, 128);
    const double a = (w * 0.0078125) * TWO_PI;
    return {std::sin(a), std::sin(a + a), 0.0};
}

Offset3 step_touch(int pip) noexcept {
    const int w = wrap_pip(pip, 128);
    const Segment& seg = STEP_TOUCH_WAYPOINTS[static_cast<std::size_t>(w / 32)];
    const double t = static_cast<double>(w % 32) * 0.03125;
    const double s = smoothstep(t);
    // The lift is written as a negated product so it is -0.0 at every waypoint.
    return {s * (seg.to - seg.from) + seg.from, -(std::sin(t * PI) * 0.35), 0.0};
}

Offset3 box_step(int pip) noexcept {
    const int w = wrap_pip(pip, 256);
    const std::size_t k = static_cast<std::size_t>(w / 64);
    const Corner& from = BOX_CORNERS[k];
    const Corner& to = BOX_CORNERS[k + 1];
    const double t = static_cast<double>(w % 64) * 0.015625;
    const double s = smoothstep(t);
    return {(to.x - from.x) * s + from.x, (to.y - from.y) * s + from.y, 0.0};
}

Offset3 helix(int pip) noexcept {
    const double w = wrap_pip(pip, 256);
    const double t = w * 0.00390625;
    double s = 0.0;
    double c = 0.0;
    ::sincos(t * FOUR_PI, &s, &c);
    return {c, s, std::sin(t * TWO_PI)};
}

Offset3 vorn_background(int pip) noexcept {
    return VORN_TABLE[static_cast<std::size_t>(wrap_pip(pip, 256))];
}

}  // namespace motiloom
