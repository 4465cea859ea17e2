// The settings dialog's records and the preview's arithmetic, natively.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "meter_list.h"
#include "settings/meter_choice.h"

namespace {

TEST(MeterChoice, NewRecordsTheBandsSettingByExactKey) {
    MeterChoice* choice = CreateMeterChoice(Drive, "C:\\");
    ASSERT_NE(choice, nullptr);
    EXPECT_EQ(std::make_tuple(choice->kind, std::string(choice->key), choice->index,
                              choice->enabled, choice->interval, choice->scale),
              std::make_tuple(Drive, std::string("C:\\"), -1, 0, 1000u, 1u));

    // The first of two equal keys wins; letter case must match; a keyless meter is passed over;
    // a key that could not be built changes nothing.
    Meter* list = nullptr;
    for (uint32_t interval : {0u, 3000u, 500u}) {
        AppendMeter(&list, MeterKindNone, interval ? "Drive\\C:\\" : nullptr, -1, interval);
    }
    TakeMeterSetting(choice, list, "Drive\\c:\\");
    EXPECT_EQ(std::make_pair(choice->enabled, choice->interval), std::make_pair(0, 1000u));
    TakeMeterSetting(choice, list, "Drive\\C:\\");
    TakeMeterSetting(choice, list, nullptr);
    EXPECT_EQ(std::make_pair(choice->enabled, choice->interval), std::make_pair(1, 3000u));
    // The radio of each interval; one stored by hand shows as 1 s.
    std::string radios;
    for (uint32_t interval : {500u, 1000u, 3000u, 250u, 2000u}) {
        radios += std::to_string(RadioOfInterval(interval) - HalfSecondRadio);
    }
    EXPECT_EQ(radios, "01211");
    char* key = JoinKey("Memory", "Load");
    EXPECT_STREQ(key, "Memory\\Load");
    free(key);
    ReleaseMeters(list);
    ReleaseMeterChoice(choice);
}

TEST(PreviewSample, DifferentiatedCounterReckonedAsTheBandDoes) {
    MeterChoice choice = {};
    choice.lastRaw = 5000;
    choice.value = 7;
    EXPECT_EQ(DifferentiateChoice(&choice, 5300, 0), 7u) << "no time passed: the value stays";
    // Over 4.3 million a second is not wrapped.
    EXPECT_EQ(DifferentiateChoice(&choice, 10005000, 1000), 10000000u);
}

TEST(PreviewPeak, HeldForTenTicksThenFallsByThreeSegmentsOrOneAndNotBelowZero) {
    MeterChoice choice = {};
    choice.scale = 1000;
    NotePreviewValue(&choice, 600);
    EXPECT_EQ(std::make_tuple(choice.value, choice.peak, choice.peakHold),
              std::make_tuple(600u, 600u, 10u));
    // Drawn at its height on the tick that sets it and on the nine after it, then falls by
    // 3 x (1000 / 100) a tick.
    std::string peaks;
    for (int tick = 0; tick < 11; ++tick) {
        LetPreviewPeakFall(&choice, 100);
        NotePreviewValue(&choice, 10);
        peaks += std::to_string(choice.peak) + " ";
    }
    EXPECT_EQ(peaks, "600 600 600 600 600 600 600 600 600 570 540 ");
    // A value that reaches the peak refreshes the hold.
    NotePreviewValue(&choice, 540);
    EXPECT_EQ(std::make_pair(choice.peak, choice.peakHold), std::make_pair(540u, 10u));

    // Scale, width, peak before and after one fall: a scale below the width falls by 1; a huge
    // scale over a zero-width bar or a negative width (one pixel) stops at 0; three pixels'
    // worth of a scale near 2^32 fits in 32 bits: no clamp.
    const struct {
        uint32_t scale;
        int width;
        uint32_t peak, after;
    } falls[] = {{50, 124, 2, 1},
                 {50, 124, 0, 0},
                 {0xFFFFFFFFu, 0, 7, 0},
                 {3000, -5, 1000, 0},
                 {0xF0000000u, 3, 0xF0000001u, 1}};
    for (const auto& f : falls) {
        choice.scale = f.scale;
        choice.peak = f.peak;
        choice.peakHold = 0;
        LetPreviewPeakFall(&choice, f.width);
        EXPECT_EQ(choice.peak, f.after) << f.scale << " over " << f.width;
    }
}

} // namespace
