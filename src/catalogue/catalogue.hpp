#pragma once

#include <string_view>
#include <vector>

#include "core/offset3.hpp"
#include "core/rudiment_info.hpp"

namespace motiloom {

// Every built-in pattern: the fifteen procedural rudiments, then the baked records in pack order.
// Built once, on first use, and shared read-only afterwards.
const std::vector<RudimentInfo>& catalogue();

// Samples any built-in pattern by name. Throws std::invalid_argument
// ("Unknown motiloom: " + name) for a name that no built-in pattern has.
Offset3 sample(std::string_view name, int pip);

}  // namespace motiloom
