#pragma once

namespace motiloom {

// One beat is 64 pips; every musical position in the library is an integer pip count.
inline constexpr int PIPS_PER_BEAT = 64;

// Euclidean remainder of a pip by a period, in [0, period); 0 for a period of 0 or less.
// Negative pips continue a loop backwards, so pip -1 is the last pip of the loop.
// r + period cannot overflow: r lies in (-period, 0) when it is added.
constexpr int wrap_pip(int pip, int period) noexcept {
    if (period <= 0) {
        return 0;
    }
    const int r = pip % period;
    return r < 0 ? r + period : r;
}

}  // namespace motiloom
