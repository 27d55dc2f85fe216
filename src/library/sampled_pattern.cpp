#include "library/sampled_pattern.hpp"

#include <cmath>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "core/pip.hpp"
#include "library/identifier.hpp"

namespace motiloom {

namespace {

bool is_unit_value(double v) noexcept { return std::isfinite(v) && v >= -1.0 && v <= 1.0; }

}  // namespace

SampledPattern::SampledPattern(std::string name, std::string description,
                               std::vector<Offset3> samples)
    : name_(std::move(name)),
      description_(std::move(description)),
      samples_(std::move(samples)),
      axes_(1) {
    if (!is_identifier(name_)) {
        throw std::invalid_argument("Invalid pattern name");
    }
    if (samples_.empty() || samples_.size() > MAX_SAMPLES) {
        throw std::invalid_argument("A pattern requires 1..65535 samples (one per pip)");
    }
    for (const Offset3& s : samples_) {
        if (!is_unit_value(s.x) || !is_unit_value(s.y) || !is_unit_value(s.z)) {
            throw std::invalid_argument("Pattern samples must be finite and within [-1, 1]");
        }
        // x never counts: a pattern that only moves along x, or not at all, uses one component.
        // -0.0 compares equal to 0.0 and so does not count either.
        if (s.z != 0.0) {
            axes_ = 3;
        } else if (s.y != 0.0 && axes_ != 3) {
            axes_ = 2;
        }
    }
}

Offset3 SampledPattern::sample(int pip) const {
    if (samples_.empty()) {
        throw std::logic_error("Cannot sample a moved-from pattern");
    }
    return samples_[static_cast<std::size_t>(wrap_pip(pip, period_pips()))];
}

RudimentInfo SampledPattern::info() const noexcept {
    return RudimentInfo{std::string_view(name_), std::string_view(description_),
                        static_cast<std::uint16_t>(samples_.size()), axes_};
}

}  // namespace motiloom
