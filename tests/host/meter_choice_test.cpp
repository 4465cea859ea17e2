// The settings dialog's records and the preview's arithmetic, natively.
#include <gtest/gtest.h>

#include <stdlib.h>

#include "settings/meter_choice.h"

namespace {

Meter* NewMeter(const char* key, uint32_t interval, Meter* next) {
    Meter* meter = CreateMeter();
    meter->key = CopyText(key);
    meter->interval = interval;
    meter->next = next;
    return meter;
}

TEST(MeterChoice, NewRecordsAndTheBandsSettingByExactKey) {
    MeterChoice* choice = CreateMeterChoice(Drive, "C:\\");
    ASSERT_NE(choice, nullptr);
    EXPECT_EQ(choice->kind, Drive);
    EXPECT_STREQ(choice->key, "C:\\");
    EXPECT_EQ(choice->index, -1);
    EXPECT_EQ(choice->enabled, 0);
    EXPECT_EQ(choice->interval, 1000u);
    EXPECT_EQ(choice->scale, 1u);
    EXPECT_EQ(choice->value + choice->peak + choice->peakHold + choice->lastRaw, 0u);

    // The first of two equal keys wins; letter case must match; a keyless meter is passed over.
    Meter* list = NewMeter("Drive\\C:\\", 3000, NewMeter("Drive\\C:\\", 500, nullptr));
    Meter* keyless = CreateMeter();
    keyless->next = list;
    EXPECT_EQ(LookupMeterByKey(keyless, "Drive\\C:\\"), list);
    EXPECT_EQ(LookupMeterByKey(keyless, "drive\\c:\\"), nullptr);
    EXPECT_EQ(LookupMeterByKey(nullptr, "Drive\\C:\\"), nullptr);

    TakeMeterSetting(choice, keyless, "Drive\\c:\\");
    EXPECT_EQ(choice->enabled, 0);
    EXPECT_EQ(choice->interval, 1000u);
    TakeMeterSetting(choice, keyless, "Drive\\C:\\");
    EXPECT_EQ(choice->enabled, 1);
    EXPECT_EQ(choice->interval, 3000u);
    TakeMeterSetting(choice, keyless, nullptr); // a key that could not be built changes nothing
    EXPECT_EQ(choice->interval, 3000u);

    char* key = JoinKey("Memory", "Load");
    EXPECT_STREQ(key, "Memory\\Load");
    free(key);
    key = JoinKey("", "");
    EXPECT_STREQ(key, "\\");
    free(key);
    ReleaseMeters(keyless);
    ReleaseMeterChoice(choice);
    ReleaseMeterChoice(nullptr);
}

TEST(MeterChoice, RadioButtonOfEachInterval) {
    EXPECT_EQ(RadioOfInterval(500), HalfSecondRadio);
    EXPECT_EQ(RadioOfInterval(1000), OneSecondRadio);
    EXPECT_EQ(RadioOfInterval(3000), ThreeSecondRadio);
    EXPECT_EQ(RadioOfInterval(0), OneSecondRadio);
    EXPECT_EQ(RadioOfInterval(2000), OneSecondRadio);
    EXPECT_EQ(RadioOfInterval(501), OneSecondRadio);
}

TEST(PreviewSample, DifferentiatedCounterStartsAtZeroAndWraps) {
    MeterChoice choice = {};
    EXPECT_EQ(DifferentiateChoice(&choice, 5000, 4000000000u), 0u) << "first reading";
    EXPECT_EQ(choice.lastRaw, 5000u);
    EXPECT_EQ(DifferentiateChoice(&choice, 5300, 3000), 100u);
    EXPECT_EQ(DifferentiateChoice(&choice, 5300, 0), 0u) << "no time passed: no division";
    EXPECT_EQ(choice.lastRaw, 5300u);

    // A counter that wraps keeps counting forward in 32-bit arithmetic.
    choice.lastRaw = 0xFFFFFFF0u;
    EXPECT_EQ(DifferentiateChoice(&choice, 0x10, 1000), 0x20u);
    // raw x 1000 itself wraps: the result is that of the unsigned 32-bit formula.
    choice.lastRaw = 1;
    const uint32_t expected = (5000000u * 1000u - 1u * 1000u) / 500u;
    EXPECT_EQ(DifferentiateChoice(&choice, 5000000, 500), expected);
}

TEST(PreviewPeak, HeldForTenTicksThenFallsByThreeSegments) {
    MeterChoice choice = {};
    choice.scale = 1000;
    NotePreviewValue(&choice, 600);
    EXPECT_EQ(choice.value, 600u);
    EXPECT_EQ(choice.peak, 600u);
    EXPECT_EQ(choice.peakHold, 10u);
    // Drawn at its height on the tick that sets it and on the nine after it.
    for (int tick = 0; tick < 9; ++tick) {
        LetPreviewPeakFall(&choice, 100);
        EXPECT_EQ(choice.peak, 600u) << tick;
        NotePreviewValue(&choice, 10);
    }
    LetPreviewPeakFall(&choice, 100); // the hold runs out: 3 x (1000 / 100)
    EXPECT_EQ(choice.peak, 570u);
    NotePreviewValue(&choice, 10);
    LetPreviewPeakFall(&choice, 100);
    EXPECT_EQ(choice.peak, 540u);

    // A value that reaches the peak refreshes the hold; the peak never goes below the value.
    NotePreviewValue(&choice, 540);
    EXPECT_EQ(choice.peakHold, 10u);
    EXPECT_EQ(choice.peak, 540u);
}

TEST(PreviewPeak, SmallScalesFallByOneAndNothingWrapsBelowZero) {
    MeterChoice choice = {};
    choice.scale = 50; // below the bar width: 3 x 0 becomes 1
    choice.peak = 2;
    LetPreviewPeakFall(&choice, 124);
    EXPECT_EQ(choice.peak, 1u);
    LetPreviewPeakFall(&choice, 124);
    LetPreviewPeakFall(&choice, 124);
    EXPECT_EQ(choice.peak, 0u);

    choice.scale = 0xFFFFFFFFu; // a huge scale over a zero-width bar
    choice.peak = 7;
    LetPreviewPeakFall(&choice, 0);
    EXPECT_EQ(choice.peak, 0u);
    choice.scale = 3000;
    choice.peak = 1000;
    LetPreviewPeakFall(&choice, -5);
    EXPECT_EQ(choice.peak, 0u) << "a negative width counts as one pixel";
    choice.scale = 0xF0000000u; // three pixels' worth still fits in 32 bits: no clamp
    choice.peak = 0xF0000001u;
    LetPreviewPeakFall(&choice, 3);
    EXPECT_EQ(choice.peak, 1u);
}

} // namespace
