#pragma once

#include <cstddef>

#include "core/offset3.hpp"

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
Offset3 stroke_envelope_with_period(int pip, int period, const StrokeEvent* strokes,
                                    std::size_t count) noexcept;

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
