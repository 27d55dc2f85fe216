#pragma once

#include <string_view>

#include "core/rudiment_info.hpp"
#include "rudiments/continuous.hpp"
#include "rudiments/strokes.hpp"

namespace motiloom {

// One procedural rudiment as the catalogue registers it. The table of all of them,
// procedural_rudiments, is generated from the generator's declaration (tablegen/procedural.py)
// into "procedural_rudiments.hpp".
struct ProceduralRudiment {
    RudimentInfo info;
    Offset3 (*function)(int) noexcept;
    std::string_view family;  // "move" for the continuous dance moves, "stroke" for the rudiments
};

}  // namespace motiloom
