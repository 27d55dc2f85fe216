#include "library/sampled_recording.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "core/pip.hpp"
#include "library/identifier.hpp"

namespace motiloom {

namespace {

constexpr std::int64_t MAX_PIP = std::numeric_limits<std::int32_t>::max();

// Tempo and beat origin must describe a real clock: a finite positive tempo whose beat length
// and pip length are finite and above zero, and a finite time for beat zero.
bool is_valid_clock(double bpm, double beat_zero_seconds) noexcept {
    if (!std::isfinite(bpm) || !(bpm > 0.0)) {
        return false;
    }
    const double seconds_per_beat = 60.0 / bpm;
    if (!std::isfinite(seconds_per_beat)) {
        return false;
    }
    const double seconds_per_pip = seconds_per_beat * (1.0 / PIPS_PER_BEAT);
    if (!(seconds_per_pip > 0.0)) {
        return false;
    }
    return std::isfinite(beat_zero_seconds);
}

bool is_valid_sample(double v) noexcept { return std::isfinite(v) && std::fabs(v) <= 1.0; }

}  // namespace

SampledRecording::SampledRecording(std::string name, std::vector<std::string> dimensions,
                                   const std::vector<std::vector<double>>& samples, double bpm,
                                   double beat_zero_seconds, int start_pip)
    : name_(std::move(name)),
      dimensions_(std::move(dimensions)),
      bpm_(bpm),
      beat_zero_seconds_(beat_zero_seconds),
      start_pip_(start_pip) {
    check_all_but_rows(samples.size());
    const std::size_t axes = dimensions_.size();
    samples_.reserve(samples.size() * axes);
    for (const std::vector<double>& row : samples) {
        if (row.size() != axes) {
            throw std::invalid_argument("Ragged recording");
        }
        for (const double v : row) {
            if (!is_valid_sample(v)) {
                throw std::invalid_argument("Invalid sample");
            }
            samples_.push_back(v);
        }
    }
}

SampledRecording::SampledRecording(std::string name, std::vector<std::string> dimensions,
                                   std::vector<double> leading_rows, std::size_t row_count,
                                   double bpm, double beat_zero_seconds, int start_pip)
    : name_(std::move(name)),
      dimensions_(std::move(dimensions)),
      bpm_(bpm),
      beat_zero_seconds_(beat_zero_seconds),
      start_pip_(start_pip) {
    check_all_but_rows(row_count);
    // Past the size check the axis count is positive and row_count * axes is at most MAX_VALUES.
    // Only whole rows are value-checked: a row is measured before its values are looked at.
    const std::size_t axes = dimensions_.size();
    const std::size_t expected = row_count * axes;
    const std::size_t whole = std::min(leading_rows.size() / axes * axes, expected);
    for (std::size_t i = 0; i < whole; ++i) {
        if (!is_valid_sample(leading_rows[i])) {
            throw std::invalid_argument("Invalid sample");
        }
    }
    if (leading_rows.size() != expected) {
        throw std::invalid_argument("Ragged recording");
    }
    samples_ = std::move(leading_rows);
}

void SampledRecording::check_all_but_rows(std::size_t rows) const {
    if (!is_identifier(name_)) {
        throw std::invalid_argument("Invalid identifier");
    }
    if (!is_valid_clock(bpm_, beat_zero_seconds_)) {
        throw std::invalid_argument("A finite positive BPM and beat origin are required");
    }

    // The row limit is a quotient so that rows x axes is never formed and cannot overflow; the
    // quotient is only taken once the axis count is known to be positive. The end pip is summed
    // in 64 bits because start_pip + rows may not fit 32.
    const std::size_t axes = dimensions_.size();
    if (axes == 0 || axes > MAX_VALUES || rows == 0 || rows > MAX_VALUES / axes ||
        static_cast<std::int64_t>(start_pip_) + static_cast<std::int64_t>(rows) > MAX_PIP) {
        throw std::invalid_argument("Empty recording or recording resource limit exceeded");
    }

    std::unordered_set<std::string_view> seen;
    seen.reserve(axes);
    for (const std::string& axis : dimensions_) {
        if (!is_identifier(axis)) {
            throw std::invalid_argument("Invalid identifier");
        }
        if (!seen.insert(axis).second) {
            throw std::invalid_argument("Duplicate axis");
        }
    }
}

int SampledRecording::sample_count() const noexcept {
    // A recording that was moved from has no axes left; it holds no rows either.
    if (dimensions_.empty()) {
        return 0;
    }
    return static_cast<int>(samples_.size() / dimensions_.size());
}

std::vector<double> SampledRecording::sample(int pip) const {
    if (pip < start_pip_) {
        throw std::out_of_range("Pip outside non-looping recording");
    }
    const std::int64_t row = static_cast<std::int64_t>(pip) - static_cast<std::int64_t>(start_pip_);
    if (row >= sample_count()) {
        throw std::out_of_range("Pip outside non-looping recording");
    }
    const std::size_t axes = dimensions_.size();
    const auto first =
        samples_.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(row) * axes);
    return std::vector<double>(first, first + static_cast<std::ptrdiff_t>(axes));
}

}  // namespace motiloom
