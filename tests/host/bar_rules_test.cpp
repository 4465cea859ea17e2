// The bar's segment count, lit count and gradient colours.
#include <gtest/gtest.h>

#include <algorithm>

#include "window/bar_rules.h"

namespace {

std::string Rgb(BarColour c) {
    return std::to_string(c.red) + "," + std::to_string(c.green) + "," + std::to_string(c.blue);
}

TEST(BarGeometry, SegmentCountFromTheWidth) {
    // Below 6 pixels no bar; three pixels a segment after the box's edges.
    EXPECT_EQ(std::make_tuple(BarSegmentCount(5) > 0, BarSegmentCount(6), BarSegmentCount(9),
                              BarSegmentCount(303), BarBoxRight(10), BarSegmentLeft(9)),
              std::make_tuple(false, 1, 2, 100, 33, 29));
}

TEST(BarColours, GradientExtrapolationAndHalfStrength) {
    // Position, segments (u), colour. u = 10: half = 5; (16*4+240)/5, (255*4+240)/5, 64/5 at 1;
    // the peak colour of the last one. u = 1: half is at least 1, so position 1 is already the
    // orange stop and 2 lies past it; at 3 red 240*-1 + 255*2 = 270 stays 255, green
    // 240*-1 + 120*2 = 0. The bright peak of the last segment of an odd u sits one past
    // 2 x half: it must stay bright, not wrap to near black: u = 11, half = 5: red
    // (240*-1 + 255*6) / 5 = 258; green (240*-1 + 120*6) / 5 = 96. A negative channel stops at
    // 0: u = 2, position 5: green (240*-3 + 120*4) / 1 = -240. u = 20, position 19: red
    // (240*1 + 255*9) / 10 = 253.5.
    const struct {
        int position, segments;
        const char* rgb;
    } rows[] = {{0, 10, "16,255,16"}, {1, 10, "60,252,12"},  {5, 10, "240,240,0"},
                {9, 10, "252,144,0"}, {10, 10, "255,120,0"}, {1, 1, "240,240,0"},
                {2, 1, "255,120,0"},  {3, 1, "255,0,0"},     {11, 11, "255,96,0"},
                {5, 5, "255,60,0"},   {19, 20, "253,132,0"}, {5, 2, "255,0,0"}};
    for (const auto& r : rows) {
        EXPECT_EQ(Rgb(BarGradientColour(r.position, r.segments)), r.rgb)
            << r.position << " of " << r.segments;
    }
    EXPECT_EQ(Rgb(HalfStrength({255, 121, 1})) + " " + Rgb(HalfStrength({1, 121, 255})),
              "127,60,0 0,60,127");
}
TEST(BarCounts, LitAndPeakCountsWithoutOverflow) {
    const struct {
        uint32_t value, scale, peak, segments, lit, peakLit;
    } rows[] = {
        // 100 x 3000000000 wraps in 32 bits: the rule halves until it fits, and divides the
        // peak by the reduced scale as well.
        {3000000000u, 4000000000u, 0, 100, 75, 0},
        {4000000000u, 4000000000u, 4000000000u, 100, 100, 100},
        {3000000000u, 4000000000u, 3600000000u, 100, 75, 90},
        // Small numbers need no halving and truncate.
        {0, 10, 10, 10, 0, 10},
        // Largest values: every segment, no endless halving with a scale of 1.
        {0xFFFFFFFFu, 0xFFFFFFFFu, 0, 333, 333, 0},
        // Nothing lit, so nothing is halved: 100 x 4000000000 would wrap 32 bits to a position
        // of 0 and lose the peak mark at the top of the bar.
        {0, 4000000000u, 4000000000u, 100, 0, 100},
        // A drive of 100 GB in kilobytes: 50 x 60000000 fits, 50 x 90000000 does not.
        {60000000u, 100000000u, 90000000u, 50, 30, 45},
        // A value at the next segment's edge (3 x 10 / 3) or short of it needs no halving: the
        // peak keeps its low bits.
        {3, 10, 5, 3, 0, 1},
        {5, 9, 7, 3, 1, 2},
        // Values and peaks above the scale fill the box and stop.
        {150, 100, 0, 10, 10, 0},
        {5, 100, 300, 10, 0, 10},
        {0xFFFFFFFFu, 1, 0xFFFFFFFFu, 7, 7, 7},
    };
    for (const auto& r : rows) {
        const BarCounts counts = BarLitCount(r.value, r.scale, r.peak, r.segments);
        EXPECT_EQ(std::make_pair(counts.lit, counts.peak), std::make_pair(r.lit, r.peakLit))
            << r.value << "/" << r.scale << " peak " << r.peak << " in " << r.segments;
    }
}

} // namespace
