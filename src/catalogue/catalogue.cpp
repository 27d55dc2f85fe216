#include "catalogue/catalogue.hpp"

#include <cstring>
#include <stdexcept>
#include <string>

#include "catalogue/catalogue_exports.hpp"
#include "catalogue/catalogue_record.hpp"
#include "procedural_rudiments.hpp"

namespace motiloom {
namespace {

constexpr std::size_t longest_procedural_name() {
    std::size_t longest = 0;
    for (const ProceduralRudiment& rudiment : procedural_rudiments) {
        longest = rudiment.info.name.size() > longest ? rudiment.info.name.size() : longest;
    }
    return longest;
}

// Longer names cannot be procedural, so they skip straight to the baked search.
constexpr std::size_t LONGEST_PROCEDURAL_NAME = longest_procedural_name();

std::vector<RudimentInfo> build_catalogue() {
    std::vector<RudimentInfo> list;
    list.reserve(procedural_rudiments.size() + catalogue_record_count);
    for (const ProceduralRudiment& rudiment : procedural_rudiments) {
        list.push_back(rudiment.info);
    }
    for (std::size_t i = 0; i < catalogue_record_count; ++i) {
        const CatalogueRecord& record = catalogue_records[i];
        list.push_back({record.name, record.description, record.period_pips, record.axes});
    }
    return list;
}

// Reads eight bytes loaded from memory as one big-endian number.
std::uint64_t big_endian(std::uint64_t word) noexcept {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return word;
#else
    return __builtin_bswap64(word);
#endif
}

NameKey name_key(std::string_view name) noexcept {
    // Whole words are read straight from the name; the bytes of a last partial word are shifted
    // in one by one, so nothing is read past the end of the name.
    NameKey key{};
    const std::size_t whole = name.size() / 8;
    for (std::size_t w = 0; w < whole; ++w) {
        std::uint64_t word = 0;
        std::memcpy(&word, name.data() + 8 * w, 8);
        key.words[w] = big_endian(word);
    }
    if (whole < 4) {
        std::uint64_t tail = 0;
        for (std::size_t i = 8 * whole; i < name.size(); ++i) {
            tail |= std::uint64_t{static_cast<unsigned char>(name[i])} << (56 - 8 * (i % 8));
        }
        key.words[whole] = tail;
    }
    return key;
}

bool key_less(const NameKey& a, const NameKey& b) noexcept {
    for (std::size_t w = 0; w < 3; ++w) {
        if (a.words[w] != b.words[w]) {
            return a.words[w] < b.words[w];
        }
    }
    return a.words[3] < b.words[3];
}

bool key_equal(const NameKey& a, const NameKey& b) noexcept {
    return a.words[0] == b.words[0] && a.words[1] == b.words[1] && a.words[2] == b.words[2] &&
           a.words[3] == b.words[3];
}

}  // namespace

const std::vector<RudimentInfo>& catalogue() {
    // A function-local static is built exactly once even when several threads race here; if the
    // build throws (out of memory), nothing is kept and the next call builds it again.
    static const std::vector<RudimentInfo> list = build_catalogue();
    return list;
}

Offset3 sample(std::string_view name, int pip) {
    if (name.size() <= LONGEST_PROCEDURAL_NAME) {
        for (const ProceduralRudiment& rudiment : procedural_rudiments) {
            if (rudiment.info.name == name) {
                return rudiment.function(pip);
            }
        }
    }
    // A halving search of the name index in byte order, on integer keys: no name of more than
    // 32 bytes is baked, so a longer name is unknown without a search, and equal keys with equal
    // lengths settle the match.
    if (name.size() <= NAME_KEY_BYTES) {
        const NameKey key = name_key(name);
        const NameKey* first = catalogue_name_keys;
        std::size_t count = catalogue_record_count;
        while (count > 1) {
            const std::size_t half = count / 2;
            first = key_less(first[half - 1], key) ? first + half : first;
            count -= half;
        }
        if (count == 1 && key_less(*first, key)) {
            ++first;
        }
        const std::size_t position = static_cast<std::size_t>(first - catalogue_name_keys);
        // Equal keys hold the same first 32 bytes, so equal lengths make the names equal.
        if (position < catalogue_record_count && key_equal(*first, key)) {
            const CatalogueRecord& record = catalogue_records[catalogue_name_index[position]];
            if (record.name.size() == name.size()) {
                return record.sampler(pip);
            }
        }
    }
    throw std::invalid_argument("Unknown motiloom: " + std::string(name));
}

}  // namespace motiloom

// Constant data: every field is a size or the address of static data, so the loader fills it in.
extern "C" const motiloom::CatalogueExports motiloom_catalogue_exports = {
    motiloom::CATALOGUE_EXPORTS_VERSION,   sizeof(motiloom::CatalogueRecord),
    sizeof(motiloom::CatalogueOrigin),     sizeof(motiloom::ProceduralRudiment),
    sizeof(motiloom::SampledPattern),      sizeof(motiloom::PatternLibrary),
    motiloom::procedural_rudiments.data(), motiloom::procedural_rudiments.size(),
    motiloom::catalogue_records,           motiloom::catalogue_origins,
    &motiloom::catalogue_record_count,
};
