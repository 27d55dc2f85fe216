#include "library/pattern_library.hpp"

#include <cstddef>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <utility>

#include "catalogue/catalogue.hpp"

namespace motiloom {

namespace {

const RudimentInfo* find_builtin(const std::vector<RudimentInfo>& builtins,
                                 std::string_view name) noexcept {
    for (const RudimentInfo& entry : builtins) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

// True when the pattern repeats the built-in entry exactly. Stops at the first difference;
// components compare with ==, so 0.0 and -0.0 count as equal. The axis counts play no part.
bool is_exact_copy(const SampledPattern& pattern, const RudimentInfo& builtin) {
    if (pattern.description() != builtin.description) {
        return false;
    }
    const int period = pattern.period_pips();
    if (period != static_cast<int>(builtin.period_pips)) {
        return false;
    }
    for (int pip = 0; pip < period; ++pip) {
        const Offset3 own = pattern.sample(pip);
        const Offset3 reference = motiloom::sample(builtin.name, pip);
        if (own.x != reference.x || own.y != reference.y || own.z != reference.z) {
            return false;
        }
    }
    return true;
}

}  // namespace

template <typename PatternAt, typename Keep>
void PatternLibrary::accept(std::size_t count, PatternAt pattern_at, Keep keep) {
    if (count > MAX_PATTERNS) {
        throw std::invalid_argument("Too many patterns");
    }
    const std::vector<RudimentInfo>& builtins = motiloom::catalogue();

    // Reserving up front keeps every accepted pattern at a fixed address, so the set can hold
    // views of names wherever they finally live: in patterns_ for accepted patterns, in the
    // argument (which is never resized) for dropped copies. A view of a name that is then moved
    // would dangle, since short strings keep their bytes inside the string object.
    patterns_.reserve(count);
    std::unordered_set<std::string_view> seen;
    seen.reserve(count);
    std::size_t total_samples = 0;

    for (std::size_t i = 0; i < count; ++i) {
        const SampledPattern& pattern = pattern_at(i);
        if (pattern.period_pips() == 0) {
            throw std::invalid_argument("Empty/moved-from pattern");
        }
        if (seen.count(pattern.name()) != 0) {
            throw std::invalid_argument("Duplicate pattern name: " + pattern.name());
        }
        total_samples += static_cast<std::size_t>(pattern.period_pips());
        if (total_samples > MAX_TOTAL_SAMPLES) {
            throw std::invalid_argument("Pattern pack is too large");
        }
        const RudimentInfo* builtin = find_builtin(builtins, pattern.name());
        if (builtin == nullptr) {
            keep(i);
            seen.insert(patterns_.back().name());
        } else if (is_exact_copy(pattern, *builtin)) {
            seen.insert(pattern.name());
        } else {
            throw std::invalid_argument("Cannot override default pattern: " + pattern.name());
        }
    }
}

PatternLibrary::PatternLibrary(std::vector<SampledPattern> patterns) {
    accept(
        patterns.size(), [&](std::size_t i) -> const SampledPattern& { return patterns[i]; },
        [&](std::size_t i) { patterns_.push_back(std::move(patterns[i])); });
}

PatternLibrary::PatternLibrary(const std::vector<const SampledPattern*>& patterns) {
    accept(
        patterns.size(), [&](std::size_t i) -> const SampledPattern& { return *patterns[i]; },
        [&](std::size_t i) { patterns_.push_back(*patterns[i]); });
}

Offset3 PatternLibrary::sample(std::string_view name, int pip) const {
    for (const SampledPattern& pattern : patterns_) {
        if (pattern.name() == name) {
            return pattern.sample(pip);
        }
    }
    return motiloom::sample(name, pip);
}

std::vector<RudimentInfo> PatternLibrary::catalogue() const {
    const std::vector<RudimentInfo>& builtins = motiloom::catalogue();
    std::vector<RudimentInfo> entries;
    entries.reserve(builtins.size() + patterns_.size());
    entries.insert(entries.end(), builtins.begin(), builtins.end());
    for (const SampledPattern& pattern : patterns_) {
        entries.push_back(pattern.info());
    }
    return entries;
}

}  // namespace motiloom
