#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>

#include "catalogue/catalogue.hpp"
#include "catalogue/catalogue_exports.hpp"
#include "catalogue/catalogue_record.hpp"
#include "core/pip.hpp"
#include "motiloom_packs.hpp"
#include "procedural_rudiments.hpp"

using motiloom::catalogue_name_index;
using motiloom::catalogue_record_count;
using motiloom::catalogue_records;

namespace {

// Unsigned byte-wise order, a proper prefix first, written out without std::string_view.
bool bytes_less(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    const int c = std::memcmp(a.data(), b.data(), n);
    return c < 0 || (c == 0 && a.size() < b.size());
}

bool same(const motiloom::Offset3& a, const motiloom::Offset3& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

TEST(Catalogue, NameIndexIsAPermutationInStrictByteOrder) {
    ASSERT_GT(catalogue_record_count, 0u);
    std::vector<bool> seen(catalogue_record_count, false);
    for (std::size_t i = 0; i < catalogue_record_count; ++i) {
        const std::uint64_t r = catalogue_name_index[i];
        ASSERT_LT(r, catalogue_record_count);
        EXPECT_FALSE(seen[r]);
        seen[r] = true;
        if (i > 0) {
            EXPECT_TRUE(bytes_less(catalogue_records[catalogue_name_index[i - 1]].name,
                                   catalogue_records[r].name))
                << catalogue_records[r].name;
        }
    }
}

TEST(Catalogue, RecordTextIsNulTerminatedButCountedByLength) {
    for (std::size_t i = 0; i < catalogue_record_count; ++i) {
        const auto& record = catalogue_records[i];
        EXPECT_EQ(record.name.data()[record.name.size()], '\0');
        EXPECT_EQ(record.description.data()[record.description.size()], '\0');
        EXPECT_EQ(std::strlen(record.name.data()), record.name.size());
    }
}

TEST(Catalogue, EverySamplerReadsItsOwnTableWrapped) {
    const int probes[] = {INT_MIN, INT_MIN + 1, -1025, -1, 0, 1, 159, 160, 1023, 1024, INT_MAX};
    for (std::size_t i = 0; i < catalogue_record_count; ++i) {
        const auto& record = catalogue_records[i];
        const motiloom::Offset3* table = motiloom::catalogue_origins[i].table;
        for (int k = 0; k < record.period_pips; ++k) {
            ASSERT_TRUE(same(record.sampler(k), table[k])) << record.name << " " << k;
        }
        for (int pip : probes) {
            const auto expected = table[motiloom::wrap_pip(pip, record.period_pips)];
            ASSERT_TRUE(same(record.sampler(pip), expected)) << record.name << " " << pip;
            ASSERT_TRUE(same(motiloom::sample(record.name, pip), expected)) << record.name;
        }
    }
}

TEST(Catalogue, ListingIsProceduralHeadThenRecordsAndIsBuiltOnce) {
    const auto& list = motiloom::catalogue();
    ASSERT_EQ(list.size(), 15 + catalogue_record_count);
    EXPECT_EQ(&list, &motiloom::catalogue());
    for (std::size_t i = 0; i < 15; ++i) {
        EXPECT_EQ(list[i].name, motiloom::procedural_rudiments[i].info.name);
    }
    for (std::size_t i = 0; i < catalogue_record_count; ++i) {
        const auto& entry = list[15 + i];
        const auto& record = catalogue_records[i];
        // views point at the records' own constant text: nothing is copied
        EXPECT_EQ(entry.name.data(), record.name.data());
        EXPECT_EQ(entry.description.data(), record.description.data());
        EXPECT_EQ(entry.period_pips, record.period_pips);
        EXPECT_EQ(entry.dimensions, record.axes);
    }
}

TEST(Catalogue, ExportsGatherTheRecordsTheirOriginsAndTheRudiments) {
    const motiloom::CatalogueExports& exports = motiloom_catalogue_exports;
    ASSERT_TRUE(motiloom::same_layout(exports));
    EXPECT_EQ(exports.records, catalogue_records);
    EXPECT_EQ(*exports.record_count, catalogue_record_count);
    EXPECT_EQ(exports.procedural, motiloom::procedural_rudiments.data());
    EXPECT_EQ(exports.procedural_count, 15u);
    std::set<std::string_view> packs;
    for (std::size_t i = 0; i < catalogue_record_count; ++i) {
        const motiloom::CatalogueOrigin& origin = exports.origins[i];
        ASSERT_FALSE(origin.pack.empty() || origin.family.empty()) << catalogue_records[i].name;
        // Each record's table is the one its sampler reads.
        const auto& record = catalogue_records[i];
        ASSERT_TRUE(
            same(record.sampler(record.period_pips - 1), origin.table[record.period_pips - 1]));
        packs.insert(origin.pack);
    }
    EXPECT_EQ(packs.size(), 6u);
    motiloom::CatalogueExports other = exports;
    other.record_size += 8;
    EXPECT_FALSE(motiloom::same_layout(other));
}

TEST(Catalogue, UnknownNamesThrowWithTheNameAppended) {
    const std::string_view names[] = {"", "Bounce", "box", "zzz", "a", "bounce "};
    for (std::string_view name : names) {
        try {
            motiloom::sample(name, 0);
            FAIL() << "no error for " << name;
        } catch (const std::invalid_argument& error) {
            EXPECT_EQ(std::string(error.what()), "Unknown motiloom: " + std::string(name));
        }
    }
}

TEST(Catalogue, EveryPrefixAndExtensionOfABakedNameIsUnknownUnlessItIsAName) {
    std::set<std::string_view> names;
    for (std::size_t i = 0; i < catalogue_record_count; ++i) {
        names.insert(catalogue_records[i].name);
    }
    for (const std::string_view name : names) {
        // every length from 0 to 40 bytes, so keys end inside and on word boundaries
        std::string probe(name);
        probe.append(40 - probe.size(), 'a');
        for (std::size_t length = 0; length <= probe.size(); ++length) {
            const std::string_view candidate(probe.data(), length);
            bool known = names.count(candidate) != 0;
            for (const auto& rudiment : motiloom::procedural_rudiments) {
                known = known || rudiment.info.name == candidate;
            }
            if (!known) {
                EXPECT_THROW(motiloom::sample(candidate, 0), std::invalid_argument) << candidate;
            }
        }
    }
}
