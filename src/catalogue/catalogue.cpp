#include "catalogue/catalogue.hpp"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "catalogue/catalogue_record.hpp"
#include "rudiments/procedural.hpp"

namespace motiloom {
namespace {

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

}  // namespace

const std::vector<RudimentInfo>& catalogue() {
    // A function-local static is built exactly once even when several threads race here; if the
    // build throws (out of memory), nothing is kept and the next call builds it again.
    static const std::vector<RudimentInfo> list = build_catalogue();
    return list;
}

Offset3 sample(std::string_view name, int pip) {
    for (const ProceduralRudiment& rudiment : procedural_rudiments) {
        if (rudiment.info.name == name) {
            return rudiment.function(pip);
        }
    }
    // string_view compares bytes as unsigned values and a proper prefix first: the index's order.
    const std::uint64_t* first = catalogue_name_index;
    const std::uint64_t* last = catalogue_name_index + catalogue_record_count;
    const std::uint64_t* found = std::lower_bound(
        first, last, name,
        [](std::uint64_t index, std::string_view key) { return catalogue_records[index].name < key; });
    if (found != last && catalogue_records[*found].name == name) {
        return catalogue_records[*found].sampler(pip);
    }
    throw std::invalid_argument("Unknown motiloom: " + std::string(name));
}

}  // namespace motiloom
