#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "core/offset3.hpp"
#include "core/rudiment_info.hpp"
#include "library/sampled_pattern.hpp"

namespace motiloom {

// The caller's own patterns layered over the built-in catalogue. Sampling by name tries the
// library's patterns first and then the built-in ones; a built-in can never be overridden.
class PatternLibrary {
  public:
    static constexpr std::size_t MAX_PATTERNS = 1024;
    static constexpr std::size_t MAX_TOTAL_SAMPLES = std::size_t{1} << 20;

    // Moves every accepted pattern out of the argument. A pattern that is an exact copy of a
    // built-in (same name, description, period and value at every pip) is accepted but left
    // behind, so the built-in keeps serving its name. Throws std::invalid_argument on the first
    // broken rule.
    explicit PatternLibrary(std::vector<SampledPattern> patterns);

    // The same library from patterns that stay the caller's: each accepted pattern is copied in,
    // and only once every check before it has passed, so a refused argument never costs a copy
    // of what lies past the broken rule (more than MAX_PATTERNS entries are refused before any
    // is looked at). Same checks, order and errors as the constructor above; the pointers are
    // read only during the call. Dropped copies of built-ins are not copied at all.
    explicit PatternLibrary(const std::vector<const SampledPattern*>& patterns);

    // The library's own pattern of that name, else the built-in one; throws
    // std::invalid_argument ("Unknown motiloom: " + name) if neither exists.
    Offset3 sample(std::string_view name, int pip) const;

    // The built-in entries, then one entry per own pattern in the order accepted. The own
    // entries borrow this library's strings and are valid while the library lives.
    std::vector<RudimentInfo> catalogue() const;

    // The library's own patterns, in the order accepted.
    const std::vector<SampledPattern>& patterns() const noexcept { return patterns_; }

  private:
    // Runs the construction checks over `count` patterns, pattern_at(i) giving the i-th, and
    // hands each accepted one to keep(i), which must append it to patterns_.
    template <typename PatternAt, typename Keep>
    void accept(std::size_t count, PatternAt pattern_at, Keep keep);

    std::vector<SampledPattern> patterns_;
};

}  // namespace motiloom
