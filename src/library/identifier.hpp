#pragma once

#include <cstddef>
#include <string_view>

namespace motiloom {

// Longest name a pattern, a recording or an axis may have, in bytes.
inline constexpr std::size_t MAX_IDENTIFIER_BYTES = 128;

// Pattern, recording and axis names: 1 to 128 bytes, a lower-case ASCII letter first, then only
// lower-case ASCII letters, digits and underscores. Every such name is plain ASCII, so it is valid
// UTF-8 and safe to hand to the host as text.
constexpr bool is_identifier(std::string_view text) noexcept {
    if (text.empty() || text.size() > MAX_IDENTIFIER_BYTES) {
        return false;
    }
    if (text.front() < 'a' || text.front() > 'z') {
        return false;
    }
    for (const char c : text) {
        const bool lower = c >= 'a' && c <= 'z';
        const bool digit = c >= '0' && c <= '9';
        if (!lower && !digit && c != '_') {
            return false;
        }
    }
    return true;
}

}  // namespace motiloom
