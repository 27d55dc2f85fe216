#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "core/pip.hpp"
#include "procedural_rudiments.hpp"
#include "rudiments/continuous.hpp"
#include "rudiments/strokes.hpp"

using motiloom::Offset3;
using motiloom::wrap_pip;

struct WrapCase {
    int pip;
    int period;
    int expected;
};

class WrapPip : public ::testing::TestWithParam<WrapCase> {};

TEST_P(WrapPip, EuclideanRemainder) {
    const WrapCase& c = GetParam();
    EXPECT_EQ(wrap_pip(c.pip, c.period), c.expected) << c.pip << " mod " << c.period;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WrapPip,
    ::testing::Values(WrapCase{-1, 64, 63}, WrapCase{64, 64, 0}, WrapCase{-64, 64, 0},
                      WrapCase{-65, 64, 63}, WrapCase{100, 256, 100}, WrapCase{-1, 256, 255},
                      WrapCase{INT_MAX, 64, 63}, WrapCase{INT_MIN, 64, 0},
                      WrapCase{INT_MIN, 160, 32}, WrapCase{INT_MAX, 160, 127},
                      WrapCase{INT_MAX, INT_MAX, 0}, WrapCase{INT_MIN, INT_MAX, INT_MAX - 1},
                      WrapCase{INT_MIN, 1, 0}, WrapCase{5, 0, 0}, WrapCase{5, -3, 0},
                      WrapCase{INT_MIN, -1, 0}, WrapCase{INT_MIN, INT_MIN, 0}, WrapCase{7, 1, 0}));

TEST(WrapPip, IsAConstantExpression) {
    static_assert(wrap_pip(-1, 64) == 63);
    static_assert(motiloom::PIPS_PER_BEAT == 64);
}

// Bit-level equality that also tells 0.0 from -0.0.
void expect_same_bits(const Offset3& got, double x, double y, double z) {
    EXPECT_EQ(std::signbit(got.x), std::signbit(x));
    EXPECT_EQ(std::signbit(got.y), std::signbit(y));
    EXPECT_EQ(std::signbit(got.z), std::signbit(z));
    EXPECT_EQ(got.x, x);
    EXPECT_EQ(got.y, y);
    EXPECT_EQ(got.z, z);
}

TEST(Rudiments, NativeWorkedValues) {
    expect_same_bits(motiloom::circle(0), 6.123233995736766e-17, -1.0, 0.0);
    expect_same_bits(motiloom::step_touch(0), -1.0, -0.0, 0.0);
    expect_same_bits(motiloom::vorn_background(100), -1.0, 0.8999999999999999, 0.0);
    expect_same_bits(motiloom::vorn_background(INT_MIN + 255), -0.0036088172182846823,
                     -0.005052344105598516, 0.0);
    expect_same_bits(motiloom::helix(192), -1.0, 3.6739403974420594e-16, -1.0);
    expect_same_bits(motiloom::flam(7), -0.053103299880171206, -0.2822129843092639, 0.0);
    expect_same_bits(motiloom::five_stroke_roll(-21), -1.0, -0.72, 0.0);
}

TEST(Rudiments, EmptyStrokeTableIsTheOriginEverywhere) {
    for (int pip : {INT_MIN, -1, 0, 17, 63, INT_MAX}) {
        expect_same_bits(motiloom::stroke_envelope(pip, nullptr, 0), 0.0, 0.0, 0.0);
        expect_same_bits(motiloom::stroke_envelope_with_period(pip, 128, nullptr, 0), 0.0, 0.0,
                         0.0);
    }
}

TEST(Rudiments, ClampBoundsPiledUpStrokes) {
    // Three full-weight strokes on one hand at once would reach 3.0 in x and -2.16 in y.
    const motiloom::StrokeEvent pile[] = {{0, 1, 1.0, 8}, {0, 1, 1.0, 8}, {0, 1, 1.0, 8}};
    expect_same_bits(motiloom::stroke_envelope(4, pile, 3), 1.0, -1.0, 0.0);
    const motiloom::StrokeEvent left[] = {{0, -1, 1.0, 8}, {0, -1, 1.0, 8}};
    expect_same_bits(motiloom::stroke_envelope(68, left, 2), -1.0, -1.0, 0.0);
}

TEST(Rudiments, ProceduralTableListsEveryRudimentOnce) {
    const auto& table = motiloom::procedural_rudiments;
    ASSERT_EQ(table.size(), 15u);
    EXPECT_EQ(table.front().info.name, "bounce");
    EXPECT_EQ(table.back().info.name, "five_stroke_roll");
    for (const auto& rudiment : table) {
        // every function repeats with the listed period
        for (int pip = 0; pip < rudiment.info.period_pips; ++pip) {
            const Offset3 a = rudiment.function(pip);
            const Offset3 b = rudiment.function(pip + rudiment.info.period_pips);
            EXPECT_TRUE(a.x == b.x && a.y == b.y && a.z == b.z) << rudiment.info.name << pip;
        }
    }
}
