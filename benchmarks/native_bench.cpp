// Native timings: ns per call of each procedural rudiment, of a baked table's sampler, and of
// sampling by name. Prints "label<TAB>ns" lines for benchmarks/run.py to tabulate.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/catalogue.hpp"
#include "catalogue/catalogue_record.hpp"
#include "procedural_rudiments.hpp"

namespace {

volatile double sink;

template <typename F>
double ns_per_call(F&& call) {
    constexpr int kCalls = 1 << 18;
    double best = 1e300;
    for (int round = 0; round < 31; ++round) {
        const auto start = std::chrono::steady_clock::now();
        double acc = 0.0;
        for (int pip = 0; pip < kCalls; ++pip) {
            acc += call(pip).x;
        }
        const auto stop = std::chrono::steady_clock::now();
        sink = acc;
        const double ns = std::chrono::duration<double, std::nano>(stop - start).count() / kCalls;
        best = ns < best ? ns : best;
    }
    return best;
}

}  // namespace

int main() {
    for (const auto& rudiment : motiloom::procedural_rudiments) {
        std::printf("native %s\t%.2f\n", std::string(rudiment.info.name).c_str(),
                    ns_per_call(rudiment.function));
    }
    if (motiloom::catalogue_record_count == 0) {
        return 0;
    }
    // A baked sampler called directly: a remainder and a 24-byte copy.
    const motiloom::Sampler sampler = motiloom::catalogue_records[0].sampler;
    std::printf("native baked sample_<name>\t%.2f\n", ns_per_call(sampler));

    // By name: procedural names are found by a few comparisons, baked ones by a halving search.
    std::printf("native sample(\"bounce\", pip)\t%.2f\n",
                ns_per_call([](int pip) { return motiloom::sample("bounce", pip); }));
    // One baked name again and again, as an animation loop samples its few patterns.
    const std::string_view last =
        motiloom::catalogue_records[motiloom::catalogue_record_count - 1].name;
    std::printf("native sample(baked name, pip), one name\t%.2f\n",
                ns_per_call([&](int pip) { return motiloom::sample(last, pip); }));

    // Names spread over the whole index in a scrambled order, so that the search cannot ride the
    // branch predictor. 64 of them keep their tables in cache, so this times the search.
    constexpr std::size_t kWarmNames = 64;
    const std::size_t count = motiloom::catalogue_record_count;
    std::vector<std::string_view> warm;
    for (std::size_t i = 0; i < kWarmNames && i < count; ++i) {
        const std::size_t spread = (i * 37 % kWarmNames) * count / kWarmNames;
        warm.push_back(motiloom::catalogue_records[spread].name);
    }
    std::size_t next = 0;
    std::printf("native sample(baked name, pip), scrambled names\t%.2f\n",
                ns_per_call([&](int pip) {
                    const std::string_view name = warm[next];
                    next = next + 1 == warm.size() ? 0 : next + 1;
                    return motiloom::sample(name, pip);
                }));
    // Every baked name in turn: each call also fetches an entry of a table that is not in cache
    // (the tables hold 24.5 MB), so this is memory latency more than search.
    std::vector<std::string_view> every;
    for (std::size_t i = 0; i < count; ++i) {
        every.push_back(motiloom::catalogue_records[(i * 7919) % count].name);
    }
    next = 0;
    std::printf("native sample(baked name, pip), every name, cold tables\t%.2f\n",
                ns_per_call([&](int pip) {
                    const std::string_view name = every[next];
                    next = next + 1 == every.size() ? 0 : next + 1;
                    return motiloom::sample(name, pip);
                }));
    return 0;
}
