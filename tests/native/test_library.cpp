// Native behaviour of the caller-supplied pattern classes that the host cannot reach: moved-from
// objects, the borrowed views of catalogue entries, and pip arithmetic at the 32-bit limits.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include "core/offset3.hpp"
#include "core/rudiment_info.hpp"
#include "library/identifier.hpp"
#include "library/pattern_library.hpp"
#include "library/sampled_pattern.hpp"
#include "library/sampled_recording.hpp"

namespace {

using motiloom::Offset3;
using motiloom::PatternLibrary;
using motiloom::RudimentInfo;
using motiloom::SampledPattern;
using motiloom::SampledRecording;

constexpr int kMinPip = std::numeric_limits<int>::min();
constexpr int kMaxPip = std::numeric_limits<int>::max();

// Runs the call and checks that it throws exactly E (not a type derived from it: an
// invalid_argument is also a logic_error, yet the host reports the two differently) with exactly
// the given message.
template <typename E>
void expect_error(const std::function<void()>& call, const std::string& message) {
    try {
        call();
        ADD_FAILURE() << "expected " << typeid(E).name() << " with \"" << message << "\"";
    } catch (const std::exception& error) {
        EXPECT_EQ(typeid(error), typeid(E)) << "caught " << typeid(error).name();
        EXPECT_EQ(std::string(error.what()), message);
    }
}

std::vector<Offset3> ramp(int count) {
    std::vector<Offset3> samples;
    for (int k = 0; k < count; ++k) {
        const double v = static_cast<double>(k) / static_cast<double>(count);
        samples.push_back(Offset3{v, -v, v / 2.0});
    }
    return samples;
}

void expect_same_offset(const Offset3& actual, const Offset3& expected) {
    EXPECT_EQ(actual.x, expected.x);
    EXPECT_EQ(actual.y, expected.y);
    EXPECT_EQ(actual.z, expected.z);
}

std::vector<std::vector<double>> rows_of(int count, int axes) {
    std::vector<std::vector<double>> rows;
    for (int r = 0; r < count; ++r) {
        std::vector<double> row;
        for (int a = 0; a < axes; ++a) {
            row.push_back(static_cast<double>(r * axes + a) / 1024.0);
        }
        rows.push_back(row);
    }
    return rows;
}

SampledRecording make_recording(int start_pip, int rows, int axes = 2) {
    std::vector<std::string> dimensions;
    for (int a = 0; a < axes; ++a) {
        dimensions.push_back("axis_" + std::to_string(a));
    }
    return SampledRecording("take", std::move(dimensions), rows_of(rows, axes), 120.0, 0.0,
                            start_pip);
}

// --- moved-from patterns ---------------------------------------------------------------------

TEST(SampledPatternMovedFrom, SamplingAfterMoveConstructionThrowsLogicError) {
    SampledPattern source("wave", "a wave", ramp(4));
    const SampledPattern target(std::move(source));
    expect_error<std::logic_error>([&] { (void)source.sample(0); },
                                   "Cannot sample a moved-from pattern");
    expect_error<std::logic_error>([&] { (void)source.sample(-1); },
                                   "Cannot sample a moved-from pattern");
    EXPECT_EQ(source.period_pips(), 0);
    expect_same_offset(target.sample(5), ramp(4)[1]);
}

TEST(SampledPatternMovedFrom, SamplingAfterMoveAssignmentThrowsLogicError) {
    SampledPattern source("wave", "", ramp(3));
    SampledPattern target("other", "", ramp(7));
    target = std::move(source);
    expect_error<std::logic_error>([&] { (void)source.sample(kMaxPip); },
                                   "Cannot sample a moved-from pattern");
    EXPECT_EQ(target.period_pips(), 3);
    EXPECT_EQ(target.name(), "wave");
}

TEST(PatternLibraryMovedFrom, RefusesAMovedFromPattern) {
    SampledPattern source("wave", "", ramp(4));
    SampledPattern kept(std::move(source));
    std::vector<SampledPattern> patterns;
    patterns.push_back(kept);
    patterns.push_back(std::move(source));
    expect_error<std::invalid_argument>([&] { PatternLibrary library(std::move(patterns)); },
                                        "Empty/moved-from pattern");
}

// --- catalogue entries borrow the pattern's own strings --------------------------------------

struct ViewCase {
    std::string name;
    std::string description;
};

class SampledPatternInfo : public ::testing::TestWithParam<ViewCase> {};

TEST_P(SampledPatternInfo, ViewsPointIntoThePatternsOwnStrings) {
    const ViewCase& c = GetParam();
    const SampledPattern pattern(c.name, c.description, ramp(5));
    const RudimentInfo info = pattern.info();
    EXPECT_EQ(info.name.data(), pattern.name().data());
    EXPECT_EQ(info.name.size(), pattern.name().size());
    EXPECT_EQ(info.description.data(), pattern.description().data());
    EXPECT_EQ(info.description.size(), c.description.size());
    EXPECT_EQ(info.name, c.name);
    EXPECT_EQ(info.description, c.description);
    EXPECT_EQ(info.period_pips, 5);
}

INSTANTIATE_TEST_SUITE_P(ShortAndLongStrings, SampledPatternInfo,
                         ::testing::Values(ViewCase{"a", ""}, ViewCase{"wave_1", "short"},
                                           ViewCase{std::string(128, 'z'), std::string(300, 'd')},
                                           ViewCase{"nul_inside", std::string("a\0b", 3)},
                                           ViewCase{"not_utf8", std::string("\xff\xfe", 2)}));

TEST(SampledPatternInfo, PeriodOfTheLongestPatternFitsSixteenBits) {
    const SampledPattern pattern("longest", "", std::vector<Offset3>(65535, Offset3{0, 0, 0}));
    EXPECT_EQ(pattern.info().period_pips, 65535);
    EXPECT_EQ(pattern.period_pips(), 65535);
}

TEST(PatternLibraryCatalogue, OwnEntriesPointIntoTheLibrarysPatterns) {
    // Long strings live on the heap; the library's entries must still read correctly after the
    // caller's originals are gone.
    const std::string long_name = "pattern_" + std::string(100, 'q');
    const std::string long_description(500, 'x');
    std::vector<RudimentInfo> entries;
    std::size_t builtin_count = 0;
    {
        PatternLibrary empty{std::vector<SampledPattern>{}};
        builtin_count = empty.catalogue().size();
    }
    auto library = [&] {
        std::vector<SampledPattern> patterns;
        patterns.emplace_back("s", "tiny", ramp(1));
        patterns.emplace_back(long_name, long_description, ramp(9));
        return PatternLibrary(std::move(patterns));
    }();
    entries = library.catalogue();
    ASSERT_EQ(entries.size(), builtin_count + 2);
    EXPECT_EQ(entries[builtin_count].name, "s");
    EXPECT_EQ(entries[builtin_count].description, "tiny");
    EXPECT_EQ(entries[builtin_count].period_pips, 1);
    EXPECT_EQ(entries[builtin_count + 1].name, long_name);
    EXPECT_EQ(entries[builtin_count + 1].description, long_description);
    EXPECT_EQ(entries[builtin_count + 1].period_pips, 9);
    // Two listings of one library borrow the same storage.
    const std::vector<RudimentInfo> again = library.catalogue();
    EXPECT_EQ(again[builtin_count + 1].name.data(), entries[builtin_count + 1].name.data());
}

// --- recording pip arithmetic at the 32-bit limits -------------------------------------------

struct EndCase {
    int start_pip;
    int rows;
    bool accepted;
};

class SampledRecordingEnd : public ::testing::TestWithParam<EndCase> {};

TEST_P(SampledRecordingEnd, TheLastPipAndTheOneAfterItMustFitThirtyTwoBits) {
    const EndCase& c = GetParam();
    if (c.accepted) {
        const SampledRecording recording = make_recording(c.start_pip, c.rows);
        EXPECT_EQ(recording.start_pip(), c.start_pip);
        EXPECT_EQ(recording.sample_count(), c.rows);
    } else {
        expect_error<std::invalid_argument>([&] { (void)make_recording(c.start_pip, c.rows); },
                                            "Empty recording or recording resource limit exceeded");
    }
}

INSTANTIATE_TEST_SUITE_P(Limits, SampledRecordingEnd,
                         ::testing::Values(EndCase{kMaxPip - 1, 1, true},
                                           EndCase{kMaxPip - 1, 2, false},
                                           EndCase{kMaxPip, 1, false},
                                           EndCase{kMaxPip - 5, 5, true},
                                           EndCase{kMaxPip - 5, 6, false},
                                           EndCase{kMinPip, 3, true}, EndCase{-1, 3, true}));

TEST(SampledRecordingPips, RowsAtTheTopOfTheRange) {
    const SampledRecording recording = make_recording(kMaxPip - 3, 3);
    const std::vector<std::vector<double>> rows = rows_of(3, 2);
    EXPECT_EQ(recording.sample(kMaxPip - 3), rows[0]);
    EXPECT_EQ(recording.sample(kMaxPip - 1), rows[2]);
    expect_error<std::out_of_range>([&] { (void)recording.sample(kMaxPip); },
                                    "Pip outside non-looping recording");
    expect_error<std::out_of_range>([&] { (void)recording.sample(kMinPip); },
                                    "Pip outside non-looping recording");
}

TEST(SampledRecordingPips, DistanceFromTheBottomOfTheRangeDoesNotWrap) {
    // pip - start_pip spans up to 2^32 - 1 here; taken in 32 bits it would wrap to a small or
    // negative row and read outside the recording.
    const SampledRecording recording = make_recording(kMinPip, 3);
    const std::vector<std::vector<double>> rows = rows_of(3, 2);
    EXPECT_EQ(recording.sample(kMinPip), rows[0]);
    EXPECT_EQ(recording.sample(kMinPip + 2), rows[2]);
    for (const int pip : {kMinPip + 3, -1, 0, 1, kMaxPip - 1, kMaxPip}) {
        expect_error<std::out_of_range>([&] { (void)recording.sample(pip); },
                                        "Pip outside non-looping recording");
    }
}

TEST(SampledRecordingPips, OneRowAtTheLastAcceptedStart) {
    const SampledRecording recording = make_recording(kMaxPip - 1, 1, 1);
    EXPECT_EQ(recording.sample(kMaxPip - 1), rows_of(1, 1)[0]);
    expect_error<std::out_of_range>([&] { (void)recording.sample(kMaxPip); },
                                    "Pip outside non-looping recording");
    expect_error<std::out_of_range>([&] { (void)recording.sample(kMaxPip - 2); },
                                    "Pip outside non-looping recording");
}

// --- the identifier rule ---------------------------------------------------------------------

class IdentifierAccepted : public ::testing::TestWithParam<std::string> {};
class IdentifierRefused : public ::testing::TestWithParam<std::string> {};

TEST_P(IdentifierAccepted, Holds) { EXPECT_TRUE(motiloom::is_identifier(GetParam())); }
TEST_P(IdentifierRefused, Fails) { EXPECT_FALSE(motiloom::is_identifier(GetParam())); }

INSTANTIATE_TEST_SUITE_P(Names, IdentifierAccepted,
                         ::testing::Values("a", "z", "wave_1", "a_", "a0123456789",
                                           "abcdefghijklmnopqrstuvwxyz_0123456789",
                                           std::string(128, 'm')));
INSTANTIATE_TEST_SUITE_P(Names, IdentifierRefused,
                         ::testing::Values("", std::string(129, 'm'), "Wave", "waVe", "1wave",
                                           "_wave", "wave-1", "wave 1", "wave.1", "wave`", "wave{",
                                           "wave@", "wave[", "wave/",
                                           "wave:", std::string("wa\0ve", 5), "caf\xc3\xa9",
                                           std::string("\x80wave")));

}  // namespace
