#pragma once

#include <array>
#include <string_view>

#include "core/rudiment_info.hpp"
#include "rudiments/continuous.hpp"
#include "rudiments/strokes.hpp"

namespace motiloom {

struct ProceduralRudiment {
    RudimentInfo info;
    Offset3 (*function)(int) noexcept;
    std::string_view family;  // "move" for the continuous dance moves, "stroke" for the rudiments
};

// The fifteen procedural rudiments in catalogue order. The catalogue lists them ahead of the
// baked patterns, sampling by name tries them first, and the host registers them in this order.
inline constexpr std::array<ProceduralRudiment, 15> procedural_rudiments{{
    {{"bounce", "One-beat vertical bounce", 64, 1}, &bounce, "move"},
    {{"sway", "Two-beat side-to-side sway", 128, 1}, &sway, "move"},
    {{"circle", "One-beat circular orbit", 64, 2}, &circle, "move"},
    {{"figure_eight", "Two-beat figure eight", 128, 2}, &figure_eight, "move"},
    {{"step_touch", "Two-beat side step with a small lift", 128, 2}, &step_touch, "move"},
    {{"box_step", "Four-beat softened square path", 256, 2}, &box_step, "move"},
    {{"helix", "Four-beat double-turn helix", 256, 3}, &helix, "move"},
    {{"vorn_background", "Vorn/Ulbet four-beat accented background drift", 256, 2},
     &vorn_background,
     "move"},
    {{"single_stroke_roll", "Alternating R/L strokes with smooth attack and decay", 64, 2},
     &single_stroke_roll,
     "stroke"},
    {{"double_stroke_roll", "RRLL strokes with a softer second motion", 64, 2},
     &double_stroke_roll,
     "stroke"},
    {{"multiple_bounce_roll", "Decaying same-hand bounce clusters", 64, 2},
     &multiple_bounce_roll,
     "stroke"},
    {{"single_paradiddle", "RLRR LRLL with accented lead strokes", 128, 2},
     &single_paradiddle,
     "stroke"},
    {{"flam", "Grace motion flowing into an opposite-hand primary motion", 64, 2}, &flam, "stroke"},
    {{"drag", "Two grace motions flowing into an opposite-hand primary motion", 64, 2},
     &drag,
     "stroke"},
    {{"five_stroke_roll", "Two diddles resolving to an accented fifth motion", 128, 2},
     &five_stroke_roll,
     "stroke"},
}};

}  // namespace motiloom
