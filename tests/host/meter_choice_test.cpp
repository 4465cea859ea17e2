// The settings dialog's records and the preview's arithmetic, natively.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "settings/meter_choice.h"

namespace {

Meter* NewMeter(const char* key, uint32_t interval, Meter* next) {
    Meter* meter = CreateMeter();
    meter->key = CopyText(key);
    meter->interval = interval;
    meter->next = next;
    return meter;
}

// A choice's setting in one line.
std::string Setting(const MeterChoice* c) {
    return std::to_string(c->kind) + " " + c->key + " index " + std::to_string(c->index) +
           (c->enabled ? " on " : " off ") + std::to_string(c->interval) + " scale " +
           std::to_string(c->scale) + " " +
           std::to_string(c->value + c->peak + c->peakHold + c->lastRaw);
}

TEST(MeterChoice, NewRecordsTheBandsSettingByExactKeyAndRadios) {
    MeterChoice* choice = CreateMeterChoice(Drive, "C:\\");
    ASSERT_NE(choice, nullptr);
    EXPECT_EQ(Setting(choice), std::to_string(Drive) + " C:\\ index -1 off 1000 scale 1 0");

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

    for (auto parts : {std::make_pair("Memory", "Load"), std::make_pair("", "")}) {
        char* key = JoinKey(parts.first, parts.second);
        EXPECT_EQ(std::string(key), std::string(parts.first) + "\\" + parts.second);
        free(key);
    }
    ReleaseMeters(keyless);
    ReleaseMeterChoice(choice);
    ReleaseMeterChoice(nullptr);

    // Other intervals than the three of the radio buttons show as one second.
    std::string radios;
    for (uint32_t interval : {500, 1000, 3000, 0, 2000, 501}) {
        radios += std::to_string(RadioOfInterval(interval) - HalfSecondRadio) + " ";
    }
    EXPECT_EQ(radios, "0 1 2 1 1 1 ") << "offsets from the half-second button";
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
