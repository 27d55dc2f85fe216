#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/offset3.hpp"
#include "core/rudiment_info.hpp"

namespace motiloom {

// A caller-supplied loop: one stored position per pip of its period, sampled by wrapping the pip
// into the period. Validated once at construction and never changed afterwards.
class SampledPattern {
  public:
    static constexpr std::size_t MAX_SAMPLES = 65535;  // the period must fit RudimentInfo's 16 bits

    // Takes the three values by value and moves them in before any check, so a refused pattern
    // never copies its samples. Throws std::invalid_argument on the first broken rule, checked
    // in the order name, sample count, sample values.
    SampledPattern(std::string name, std::string description, std::vector<Offset3> samples);

    // The stored position of the pip wrapped into the period. Throws std::logic_error if the
    // pattern was moved from (its samples were taken away).
    Offset3 sample(int pip) const;

    // The catalogue entry; its name and description are views of this pattern's own strings and
    // stay valid only while the pattern lives and is not moved from.
    RudimentInfo info() const noexcept;

    const std::string& name() const noexcept { return name_; }
    const std::string& description() const noexcept { return description_; }
    int period_pips() const noexcept { return static_cast<int>(samples_.size()); }
    // The stored positions, entry k for pip k of the loop, and how many components they use.
    const std::vector<Offset3>& samples() const noexcept { return samples_; }
    std::uint8_t axes() const noexcept { return axes_; }

  private:
    std::string name_;
    std::string description_;
    std::vector<Offset3> samples_;
    std::uint8_t axes_;  // leading components in use, 1 to 3, derived from the samples
};

}  // namespace motiloom
