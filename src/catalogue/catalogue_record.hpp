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

// Where a baked record comes from, as its authoring declared it: the pack and the family it is
// listed under, and its table (period_pips entries).
struct CatalogueOrigin {
    std::string_view pack;
    std::string_view family;
    const Offset3* table;
};

// A baked name (at most 32 bytes) as four big-endian words of its bytes, zero-padded. Since names
// hold no NUL byte, comparing keys as integers orders names exactly as comparing their bytes.
struct NameKey {
    std::uint64_t words[4];
};
inline constexpr std::size_t NAME_KEY_BYTES = sizeof(NameKey::words);

// Written by the table generator: every baked record in pack order; the origin of each record,
// in the same order; a permutation of their indices that orders the names by unsigned byte-wise
// comparison; and the key of each name in that same order, which the lookup by name searches.
extern const CatalogueRecord catalogue_records[];
extern const CatalogueOrigin catalogue_origins[];
extern const std::uint64_t catalogue_name_index[];
extern const NameKey catalogue_name_keys[];
extern const std::size_t catalogue_record_count;

}  // namespace motiloom
