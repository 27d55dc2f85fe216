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

    // The same recording from rows already laid out one after another in a single array, the form
    // in which a reader that converts rows one at a time can keep them without a separate array
    // per row. `leading_rows` holds the values of the first rows, exactly one per axis each;
    // `row_count` counts every row passed, including rows the reader did not keep once it met a
    // row of another length. Checks the same rules in the same order and throws the same errors
    // as the constructor above: rows counted beyond those held stand for a row whose length
    // differs from the axis count, reported as "Ragged recording" once the held rows have passed
    // their value check. The array becomes the recording's own storage without a copy.
    SampledRecording(std::string name, std::vector<std::string> dimensions,
                     std::vector<double> leading_rows, std::size_t row_count, double bpm,
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
    // The checks that come before the rows: name, tempo, sizes, axis names.
    void check_all_but_rows(std::size_t rows) const;

    std::string name_;
    std::vector<std::string> dimensions_;
    std::vector<double> samples_;  // row after row: axis a of row r is at r * axes + a
    double bpm_;
    double beat_zero_seconds_;
    int start_pip_;
};

}  // namespace motiloom
