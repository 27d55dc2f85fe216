#include "rudiments/strokes.hpp"

#include <cmath>
#include <iterator>

#include "core/pip.hpp"

namespace motiloom {
namespace {

constexpr int R = +1;
constexpr int L = -1;

// Stroke tables: {onset_pip, hand, amplitude, length_pips}, summed in this order.
constexpr StrokeEvent SINGLE_STROKE_ROLL[] = {
    {0, R, 0.92, 8},  {8, L, 0.92, 8},  {16, R, 0.92, 8}, {24, L, 0.92, 8},
    {32, R, 0.92, 8}, {40, L, 0.92, 8}, {48, R, 0.92, 8}, {56, L, 0.92, 8},
};

constexpr StrokeEvent DOUBLE_STROKE_ROLL[] = {
    {0, R, 0.88, 8},  {8, R, 0.72, 8},  {16, L, 0.88, 8}, {24, L, 0.72, 8},
    {32, R, 0.88, 8}, {40, R, 0.72, 8}, {48, L, 0.88, 8}, {56, L, 0.72, 8},
};

// Four decaying bounces per hand, then a rest (pips 24-31 and 56-63 are silent).
constexpr StrokeEvent MULTIPLE_BOUNCE_ROLL[] = {
    {0, R, 0.92, 6},  {6, R, 0.68, 6},  {12, R, 0.48, 6}, {18, R, 0.32, 6},
    {32, L, 0.92, 6}, {38, L, 0.68, 6}, {44, L, 0.48, 6}, {50, L, 0.32, 6},
};

// R L R R, L R L L, twice; each group's first stroke accented.
constexpr StrokeEvent SINGLE_PARADIDDLE[] = {
    {0, R, 1.0, 8},  {8, L, 0.72, 8},   {16, R, 0.72, 8},  {24, R, 0.72, 8},
    {32, L, 1.0, 8}, {40, R, 0.72, 8},  {48, L, 0.72, 8},  {56, L, 0.72, 8},
    {64, R, 1.0, 8}, {72, L, 0.72, 8},  {80, R, 0.72, 8},  {88, R, 0.72, 8},
    {96, L, 1.0, 8}, {104, R, 0.72, 8}, {112, L, 0.72, 8}, {120, L, 0.72, 8},
};

// A soft grace stroke overlapped 5 pips later by a long primary on the other hand; then mirrored.
constexpr StrokeEvent FLAM[] = {
    {0, L, 0.34, 10},
    {5, R, 0.9, 14},
    {32, R, 0.34, 10},
    {37, L, 0.9, 14},
};

constexpr StrokeEvent DRAG[] = {
    {0, L, 0.28, 8},  {5, L, 0.32, 8},  {10, R, 0.88, 14},
    {32, R, 0.28, 8}, {37, R, 0.32, 8}, {42, L, 0.88, 14},
};

// Two 9-pip diddles (each overlapping the next onset by one pip) and an accented fifth stroke.
constexpr StrokeEvent FIVE_STROKE_ROLL[] = {
    {0, R, 0.72, 9},  {8, R, 0.62, 9},  {16, L, 0.72, 9}, {24, L, 0.62, 9}, {36, R, 1.0, 14},
    {64, L, 0.72, 9}, {72, L, 0.62, 9}, {80, R, 0.72, 9}, {88, R, 0.62, 9}, {100, L, 1.0, 14},
};

}  // namespace

Offset3 stroke_envelope(int pip, const StrokeEvent* strokes, std::size_t count) noexcept {
    return stroke_envelope_with_period(pip, PIPS_PER_BEAT, strokes, count);
}

Offset3 single_stroke_roll(int pip) noexcept {
    return stroke_envelope(pip, SINGLE_STROKE_ROLL, std::size(SINGLE_STROKE_ROLL));
}
Offset3 double_stroke_roll(int pip) noexcept {
    return stroke_envelope(pip, DOUBLE_STROKE_ROLL, std::size(DOUBLE_STROKE_ROLL));
}
Offset3 multiple_bounce_roll(int pip) noexcept {
    return stroke_envelope(pip, MULTIPLE_BOUNCE_ROLL, std::size(MULTIPLE_BOUNCE_ROLL));
}
Offset3 single_paradiddle(int pip) noexcept {
    return stroke_envelope_with_period(pip, 128, SINGLE_PARADIDDLE, std::size(SINGLE_PARADIDDLE));
}
Offset3 flam(int pip) noexcept { return stroke_envelope(pip, FLAM, std::size(FLAM)); }
Offset3 drag(int pip) noexcept { return stroke_envelope(pip, DRAG, std::size(DRAG)); }
Offset3 five_stroke_roll(int pip) noexcept {
    return stroke_envelope_with_period(pip, 128, FIVE_STROKE_ROLL, std::size(FIVE_STROKE_ROLL));
}

}  // namespace motiloom
