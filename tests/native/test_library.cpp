// Native behaviour of the caller-supplied pattern classes that the host cannot reach: moved-from
// objects, the borrowed views of catalogue entries, and pip arithmetic at the 32-bit limits.

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
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

// --- a recording built from rows laid out flat -----------------------------------------------

// The flat form of rows, as a reader that converts them one at a time keeps them: the values of
// the rows of the axis count up to the first row of another length, and the number of rows.
std::vector<double> leading_rows(const std::vector<std::vector<double>>& rows, std::size_t axes) {
    std::vector<double> values;
    for (const std::vector<double>& row : rows) {
        if (row.size() != axes) {
            break;
        }
        values.insert(values.end(), row.begin(), row.end());
    }
    return values;
}

struct FlatCase {
    const char* label;
    std::string name;
    std::vector<std::string> axes;
    std::vector<std::vector<double>> rows;
    double bpm;
    int start_pip;
};

const double kNaN = std::numeric_limits<double>::quiet_NaN();

class SampledRecordingFlat : public ::testing::TestWithParam<FlatCase> {};

// Both constructors accept the same recordings and refuse the others with the same first error.
TEST_P(SampledRecordingFlat, AgreesWithTheRowsConstructor) {
    const FlatCase& c = GetParam();
    std::string by_rows = "accepted";
    std::string flat = "accepted";
    std::vector<double> values_by_rows;
    std::vector<double> values_flat;
    try {
        const SampledRecording r(c.name, c.axes, c.rows, c.bpm, 0.5, c.start_pip);
        for (int k = 0; k < r.sample_count(); ++k) {
            const std::vector<double> row = r.sample(c.start_pip + k);
            values_by_rows.insert(values_by_rows.end(), row.begin(), row.end());
        }
    } catch (const std::invalid_argument& error) {
        by_rows = error.what();
    }
    try {
        const SampledRecording r(c.name, c.axes, leading_rows(c.rows, c.axes.size()), c.rows.size(),
                                 c.bpm, 0.5, c.start_pip);
        EXPECT_EQ(r.dimensions(), c.axes);
        EXPECT_EQ(r.bpm(), c.bpm);
        EXPECT_EQ(r.beat_zero_seconds(), 0.5);
        for (int k = 0; k < r.sample_count(); ++k) {
            const std::vector<double> row = r.sample(c.start_pip + k);
            values_flat.insert(values_flat.end(), row.begin(), row.end());
        }
    } catch (const std::invalid_argument& error) {
        flat = error.what();
    }
    EXPECT_EQ(flat, by_rows);
    EXPECT_EQ(values_flat, values_by_rows);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SampledRecordingFlat,
    ::testing::Values(
        FlatCase{"valid", "take", {"x", "y"}, {{0.0, 1.0}, {-1.0, -0.0}, {0.5, 0.25}}, 120.0, 0},
        FlatCase{"one_value", "take", {"x"}, {{0.5}}, 120.0, kMaxPip - 1},
        FlatCase{"name_first", "Take", {}, {}, 0.0, 0},
        FlatCase{"tempo_before_size", "take", {}, {}, 0.0, 0},
        FlatCase{"no_axes", "take", {}, {{}}, 120.0, 0},
        FlatCase{"no_rows", "take", {"x"}, {}, 120.0, 0},
        FlatCase{"end_pip", "take", {"x"}, {{0.5}, {0.5}}, 120.0, kMaxPip - 1},
        FlatCase{"size_before_axis", "take", {"X"}, {{0.5}, {0.5}}, 120.0, kMaxPip},
        FlatCase{"axis_name", "take", {"x", "Y"}, {{0.5, 0.5}}, 120.0, 0},
        FlatCase{"axis_twice", "take", {"x", "x"}, {{0.5, 0.5}}, 120.0, 0},
        FlatCase{"ragged_short", "take", {"x", "y"}, {{0.5, 0.5}, {0.5}}, 120.0, 0},
        FlatCase{"ragged_long", "take", {"x"}, {{0.5}, {0.5, 0.5}, {0.5}}, 120.0, 0},
        FlatCase{"value_before_ragged", "take", {"x"}, {{2.0}, {0.5, 0.5}}, 120.0, 0},
        FlatCase{"ragged_before_value", "take", {"x"}, {{0.5}, {0.5, 0.5}, {kNaN}}, 120.0, 0},
        FlatCase{"first_row_ragged", "take", {"x", "y"}, {{}, {0.5, 0.5}}, 120.0, 0},
        FlatCase{"nan", "take", {"x", "y"}, {{0.5, kNaN}}, 120.0, 0},
        FlatCase{"above_one", "take", {"x"}, {{0.5}, {std::nextafter(1.0, 2.0)}}, 120.0, 0}),
    [](const ::testing::TestParamInfo<FlatCase>& named) { return std::string(named.param.label); });

// Values that do not fill whole rows, or more values than the rows counted, are a ragged
// recording; the values of the whole rows before it are checked first.
TEST(SampledRecordingFlat, ValuesThatDoNotFillTheCountedRowsAreRagged) {
    const std::vector<std::string> axes{"x", "y"};
    expect_error<std::invalid_argument>(
        [&] { SampledRecording("take", axes, {0.5, 0.5, 0.5}, 2, 120.0, 0.0, 0); },
        "Ragged recording");
    expect_error<std::invalid_argument>(
        [&] { SampledRecording("take", axes, {0.5, 0.5, 0.5, 0.5}, 1, 120.0, 0.0, 0); },
        "Ragged recording");
    expect_error<std::invalid_argument>(
        [&] { SampledRecording("take", axes, {0.5, 3.0, 0.5}, 2, 120.0, 0.0, 0); },
        "Invalid sample");
}

TEST(SampledRecordingFlat, HoldsTheLargestRecording) {
    std::vector<double> values(SampledRecording::MAX_VALUES, 0.25);
    values.back() = -1.0;
    const SampledRecording r("take", {"x"}, std::move(values), SampledRecording::MAX_VALUES, 120.0,
                             0.0, 0);
    EXPECT_EQ(r.sample_count(), static_cast<int>(SampledRecording::MAX_VALUES));
    EXPECT_EQ(r.sample(static_cast<int>(SampledRecording::MAX_VALUES) - 1),
              std::vector<double>{-1.0});
    expect_error<std::invalid_argument>(
        [] {
            SampledRecording("take", {"x"}, std::vector<double>(SampledRecording::MAX_VALUES, 0.0),
                             SampledRecording::MAX_VALUES + 1, 120.0, 0.0, 0);
        },
        "Empty recording or recording resource limit exceeded");
}

}  // namespace
