#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/offset3.hpp"

namespace motiloom {

using Sampler = Offset3 (*)(int pip);

// The compiled-in record of one baked pattern. std::string_view is a byte length followed by a
// pointer, so the record's text fields are (length, bytes); the bytes are NUL-terminated in
// storage but readers go by the length.
struct CatalogueRecord {
    std::string_view name;
    std::string_view description;
    std::uint16_t period_pips;
    std::uint8_t axes;
    Sampler sampler;
};

// Written by the table generator: every baked record in pack order, and a permutation of their
// indices that orders the names by unsigned byte-wise comparison.
extern const CatalogueRecord catalogue_records[];
extern const std::uint64_t catalogue_name_index[];
extern const std::size_t catalogue_record_count;

}  // namespace motiloom
