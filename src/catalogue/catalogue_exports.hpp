#pragma once

#include <cstddef>
#include <cstdint>

#include "catalogue/catalogue_record.hpp"
#include "library/pattern_library.hpp"
#include "library/sampled_pattern.hpp"
#include "rudiments/procedural.hpp"

namespace motiloom {

// Everything the build knows about its catalogue, gathered where a companion module loaded into
// the same process can find it at run time: the procedural rudiments, and every baked record with
// its origin. The module that links the core exports it under one unmangled name, so that a
// companion reads the tables the module already holds instead of carrying a second copy. The
// sizes let a reader refuse a build whose records are laid out differently from its own.
struct CatalogueExports {
    std::uint32_t version;
    std::uint32_t record_size;
    std::uint32_t origin_size;
    std::uint32_t procedural_size;
    std::uint32_t pattern_size;
    std::uint32_t library_size;
    const ProceduralRudiment* procedural;
    std::size_t procedural_count;
    const CatalogueRecord* records;
    const CatalogueOrigin* origins;
    const std::size_t* record_count;
};

inline constexpr std::uint32_t CATALOGUE_EXPORTS_VERSION = 1;

// Whether exports found at run time were laid out by headers like these.
inline bool same_layout(const CatalogueExports& found) noexcept {
    return found.version == CATALOGUE_EXPORTS_VERSION &&
           found.record_size == sizeof(CatalogueRecord) &&
           found.origin_size == sizeof(CatalogueOrigin) &&
           found.procedural_size == sizeof(ProceduralRudiment) &&
           found.pattern_size == sizeof(SampledPattern) &&
           found.library_size == sizeof(PatternLibrary);
}

}  // namespace motiloom

#define MOTILOOM_CATALOGUE_EXPORTS_SYMBOL "motiloom_catalogue_exports"
extern "C"
    [[gnu::visibility("default")]] const motiloom::CatalogueExports motiloom_catalogue_exports;
