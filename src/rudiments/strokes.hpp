#pragma once

#include <cmath>
#include <cstddef>

#include "core/offset3.hpp"
#include "core/pip.hpp"

namespace motiloom {

// One stroke of a drum rudiment: starts at onset_pip, pushes x towards its hand (+1 right,
// -1 left) and pulls y down, rising and falling over length_pips with a peak weight of amplitude.
struct StrokeEvent {
    int onset_pip;
    int hand;
    double amplitude;
    int length_pips;
};

// How far a stroke of weight 1 pulls the point into negative y.
inline constexpr double STROKE_DROP = 0.72;

// The sum of the strokes sounding at a pip in a loop of `period` pips, clamped to [-1, 1].
// Defined here so that a rudiment's fixed period and table reach the compiler as constants: the
// two wraps per stroke then cost a mask instead of a division.
inline Offset3 stroke_envelope_with_period(int pip, int period, const StrokeEvent* strokes,
                                           std::size_t count) noexcept {
    double sx = 0.0;
    double sy = 0.0;
    const int w = wrap_pip(pip, period);
    for (std::size_t i = 0; i < count; ++i) {
        const StrokeEvent& stroke = strokes[i];
        // Pips since the stroke began, within the loop: a stroke crossing the loop's end
        // continues at its start.
        const int e = wrap_pip(w - stroke.onset_pip, period);
        if (e < stroke.length_pips) {
            const double u =
                std::sin((static_cast<double>(e) / static_cast<double>(stroke.length_pips)) *
                         3.141592653589793);
            const double g = (stroke.amplitude * u) * u;
            sy = sy - (STROKE_DROP * g);
            sx = sx + g * static_cast<double>(stroke.hand);
        }
    }
    sx = sx < -1.0 ? -1.0 : sx;
    sx = sx > 1.0 ? 1.0 : sx;
    sy = sy < -1.0 ? -1.0 : sy;
    sy = sy > 1.0 ? 1.0 : sy;
    return {sx, sy, 0.0};
}

// The same over one beat (64 pips).
Offset3 stroke_envelope(int pip, const StrokeEvent* strokes, std::size_t count) noexcept;

// The seven drum rudiments turned into motion.
Offset3 single_stroke_roll(int pip) noexcept;
Offset3 double_stroke_roll(int pip) noexcept;
Offset3 multiple_bounce_roll(int pip) noexcept;
Offset3 single_paradiddle(int pip) noexcept;
Offset3 flam(int pip) noexcept;
Offset3 drag(int pip) noexcept;
Offset3 five_stroke_roll(int pip) noexcept;

}  // namespace motiloom
