#pragma once

#include "core/offset3.hpp"

namespace motiloom {

// The eight continuous dance moves: closed paths the point follows once per period.
Offset3 bounce(int pip) noexcept;           // 64 pips, x: triangle wave
Offset3 sway(int pip) noexcept;             // 128 pips, x: one sine cycle
Offset3 circle(int pip) noexcept;           // 64 pips, x-y orbit from (0, -1)
Offset3 figure_eight(int pip) noexcept;     // 128 pips, x-y figure eight on its side
Offset3 step_touch(int pip) noexcept;       // 128 pips, eased side steps with a small lift
Offset3 box_step(int pip) noexcept;         // 256 pips, eased square through four corners
Offset3 helix(int pip) noexcept;            // 256 pips, two x-y turns over one z cycle
Offset3 vorn_background(int pip) noexcept;  // 256 pips, keyframed accented drift

}  // namespace motiloom
