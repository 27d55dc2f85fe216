#pragma once

#include <cstdint>
#include <string_view>

namespace motiloom {

// One catalogue entry as listed to callers. The views own nothing: for built-in patterns they
// point at static text, for a caller's pattern into that pattern's own strings.
struct RudimentInfo {
    std::string_view name;
    std::string_view description;
    std::uint16_t period_pips;
    std::uint8_t dimensions;  // how many leading components the pattern uses, 1 to 3
};

}  // namespace motiloom
