#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace motiloom {

// A finite, non-looping recording: one row per pip starting at start_pip, one value per named
// axis in each row, plus the tempo and the time of beat zero that the caller recorded it at.
// Validated once at construction and never changed afterwards.
class SampledRecording {
  public:
    static constexpr std::size_t MAX_VALUES = std::size_t{1} << 23;  // rows x axes

    // Moves name and dimensions in, then checks, in this order: name, tempo, sizes, axis names,
    // rows (length, then values, row by row). Throws std::invalid_argument on the first broken
    // rule. The rows are copied into one flat array allocated once at its final size.
    SampledRecording(std::string name, std::vector<std::string> dimensions,
                     const std::vector<std::vector<double>>& samples, double bpm,
                     double beat_zero_seconds, int start_pip);

    // The row of that pip, one value per axis in axis order. Throws std::out_of_range for a pip
    // before the first row or after the last.
    std::vector<double> sample(int pip) const;

    const std::string& name() const noexcept { return name_; }
    const std::vector<std::string>& dimensions() const noexcept { return dimensions_; }
    int sample_count() const noexcept;
    double bpm() const noexcept { return bpm_; }
    double beat_zero_seconds() const noexcept { return beat_zero_seconds_; }
    int start_pip() const noexcept { return start_pip_; }

  private:
    std::string name_;
    std::vector<std::string> dimensions_;
    std::vector<double> samples_;  // row after row: axis a of row r is at r * axes + a
    double bpm_;
    double beat_zero_seconds_;
    int start_pip_;
};

}  // namespace motiloom
