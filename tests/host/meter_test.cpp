// The meter record and the value rules that need no Windows call.
#include <gtest/gtest.h>

#include <string.h>

#include <initializer_list>
#include <string>

#include "meters/meter.h"

namespace {

std::string Format(uint32_t value, bool driveUnits) {
    char text[FormatValueCapacity];
    const size_t length = FormatValue(value, driveUnits, text, sizeof(text));
    EXPECT_EQ(length, strlen(text));
    return text;
}

TEST(MeterRecord, NewRecordDefaultsAndListRelease) {
    Meter* head = CreateMeter();
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->kind, MeterKindNone);
    EXPECT_EQ(head->index, -1);
    EXPECT_EQ(head->visible, 1);
    EXPECT_EQ(head->next, nullptr);
    EXPECT_EQ(head->key, nullptr);
    EXPECT_EQ(head->label, nullptr);
    EXPECT_EQ(head->interval + head->scale + head->peak + head->lastRaw + head->blink, 0u);

    // A list with owned strings goes in one call (the leak checker holds us to it).
    head->key = CopyText("Memory\\Load");
    head->label = CopyText("x");
    head->next = CreateMeter();
    head->next->key = CopyTextBytes("Drive\\C:\\trailing", 9);
    EXPECT_STREQ(head->next->key, "Drive\\C:\\");
    ReleaseMeters(head);
    ReleaseMeters(nullptr);
}

TEST(MeterRecord, LabelTablesKeysAndTrueText) {
    EXPECT_STREQ(ResourceLabel(0), "SYSTEM");
    EXPECT_STREQ(ResourceLabel(2), "USER");
    EXPECT_EQ(ResourceLabel(3), nullptr);
    EXPECT_EQ(ResourceLabel(-1), nullptr);
    EXPECT_STREQ(MemoryLabel(0), "使用中メモリ (%)");
    EXPECT_STREQ(MemoryLabel(3), "空き仮想メモリー");
    EXPECT_EQ(MemoryLabel(4), nullptr);
    // Code page 932 in the binary: the first character of the memory-load label.
    EXPECT_EQ(memcmp(MemoryLabel(0), "\x8e\x67", 2), 0);

    EXPECT_STREQ(DriveRootOfKey("Drive\\C:\\"), "C:\\");
    EXPECT_STREQ(DriveRootOfKey("Drive\\"), "");
    EXPECT_STREQ(DriveRootOfKey("Dri"), "");

    for (const char* text : {"TRUE", "true", "tRuE"}) {
        EXPECT_TRUE(IsTrueText(text)) << text;
    }
    for (const char* text : {"TRUE ", "TRU", "", "YES"}) {
        EXPECT_FALSE(IsTrueText(text)) << text;
    }
}

// The texts of values, one after another, as plain or as drive figures (kilobytes).
std::string Formats(std::initializer_list<uint32_t> values, bool driveUnits) {
    std::string texts;
    for (uint32_t value : values) {
        texts += Format(value, driveUnits) + " ";
    }
    return texts;
}

TEST(FormatValue, UnitsAndTruncatedFractions) {
    EXPECT_EQ(Formats({0, 9, 1023, 1024, 1536, 10239, 10240, 102399, 102400, 1048575, 1048576,
                       5242880, UINT32_MAX},
                      false),
              "0 9 1023 1.00K 1.50K 9.99K 10.0K 99.9K 100K 1023K 1.00M 5.00M 4095M ");
    EXPECT_EQ(Formats({0, 9, 512, 1023, 20480, 2097152, UINT32_MAX}, true),
              "0.00K 9.00K 512K 1023K 20.0M 2.00G 4095G ");
}

TEST(FormatValue, NeverWritesPastItsCapacity) {
    char text[8];
    memset(text, '#', sizeof(text));
    EXPECT_EQ(FormatValue(1536, false, text, 0), 0u);
    EXPECT_EQ(text[0], '#');
    EXPECT_EQ(FormatValue(1536, false, text, 1), 0u);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(FormatValue(1536, false, text, 4), 3u);
    EXPECT_STREQ(text, "1.5");
    EXPECT_EQ(text[4], '#');
    EXPECT_EQ(FormatValue(1536, false, text, 6), 5u);
    EXPECT_STREQ(text, "1.50K");
}

TEST(ScaleSteps, OneTwoFiveSeriesInThirtyTwoBits) {
    const uint32_t first[] = {1, 2, 5, 10, 20, 50, 100, 200, 500, 1024, 2048, 5120, 10240};
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(ScaleStep(i), first[i]) << i;
    }
    // 5 G wraps modulo 2^32; past the end there is none.
    const uint32_t later[][2] = {{17, 512000u},      {18, 1048576u},    {26, 524288000u},
                                 {27, 1073741824u},  {28, 2147483648u}, {29, 1073741824u},
                                 {ScaleStepCount, 0}};
    for (const auto& r : later) {
        EXPECT_EQ(ScaleStep(static_cast<int>(r[0])), r[1]) << r[0];
    }
    // Nothing in the list lies above 3e9: the scale stays.
    EXPECT_EQ(ScaleAfterDrop(1023, 5000), 1024u);
    EXPECT_EQ(ScaleAfterDrop(600, 5000), 1024u);
    EXPECT_EQ(ScaleAfterDrop(150, 730), 200u);
    EXPECT_EQ(ScaleAfterDrop(500, 5000), 1024u);
    EXPECT_EQ(ScaleAfterDrop(1, 5000), 2u);
    EXPECT_EQ(ScaleAfterDrop(0, 5000), 0u);
    EXPECT_EQ(ScaleAfterDrop(2000000000, 7), 2147483648u);
    EXPECT_EQ(ScaleAfterDrop(3000000000u, 7), 7u);
}

TEST(SourceMath, DifferentiatedTotalsGiveRatesPerSecond) {
    Meter meter = {};
    uint32_t rate = 99;
    ASSERT_TRUE(DifferentiateSample(&meter, 1000, 1000, &rate));
    EXPECT_EQ(rate, 0u);
    ASSERT_TRUE(DifferentiateSample(&meter, 1500, 1000, &rate));
    EXPECT_EQ(rate, 500u);
    ASSERT_TRUE(DifferentiateSample(&meter, 2500, 1000, &rate));
    EXPECT_EQ(rate, 1000u);
    ASSERT_TRUE(DifferentiateSample(&meter, 2600, 500, &rate));
    EXPECT_EQ(rate, 200u);

    // A total that wraps past 2^32 still differs by the right amount.
    meter.lastRaw = 0xFFFFFF00u;
    ASSERT_TRUE(DifferentiateSample(&meter, 0x100, 1000, &rate));
    EXPECT_EQ(rate, 0x200u);

    // Two samples in one millisecond: no rate, baseline kept for the next one.
    EXPECT_FALSE(DifferentiateSample(&meter, 0x300, 0, &rate));
    EXPECT_EQ(meter.lastRaw, 0x100u);
    ASSERT_TRUE(DifferentiateSample(&meter, 0x300, 1000, &rate));
    EXPECT_EQ(rate, 0x200u);

    // A busy counter is not wrapped by the multiplication; an absurd one is capped.
    ASSERT_TRUE(DifferentiateSample(&meter, 0x300 + 5000000, 1000, &rate));
    EXPECT_EQ(rate, 5000000u);
    ASSERT_TRUE(DifferentiateSample(&meter, meter.lastRaw + 4000000000u, 1, &rate));
    EXPECT_EQ(rate, UINT32_MAX);

    // While the total reads 0 the meter reads 0; the first non-zero total is a new baseline.
    Meter fresh = {};
    ASSERT_TRUE(DifferentiateSample(&fresh, 0, 1000, &rate));
    EXPECT_EQ(rate, 0u);
    ASSERT_TRUE(DifferentiateSample(&fresh, 0, 1000, &rate));
    EXPECT_EQ(rate, 0u);
    ASSERT_TRUE(DifferentiateSample(&fresh, 7000, 1000, &rate));
    EXPECT_EQ(rate, 0u);
    ASSERT_TRUE(DifferentiateSample(&fresh, 8000, 1000, &rate));
    EXPECT_EQ(rate, 1000u);
}

TEST(SourceMath, DriveKilobytesAndStatDataWords) {
    EXPECT_EQ(KilobytesOfBytes(0), 0u);
    EXPECT_EQ(KilobytesOfBytes(1023), 0u);
    EXPECT_EQ(KilobytesOfBytes(uint64_t(UINT32_MAX) << 10), UINT32_MAX);
    // More than 4 terabytes: all ones.
    EXPECT_EQ(KilobytesOfBytes(uint64_t(1) << 42), UINT32_MAX);
    EXPECT_EQ(KilobytesOfBytes(uint64_t(5) << 40), UINT32_MAX);
    EXPECT_EQ(KilobytesOfClusters(8, 512, 1000), 4000u);
    EXPECT_EQ(KilobytesOfClusters(64, 512, 0), 0u);
    // An 8 GB drive through the old call is not wrapped at 4 GB.
    EXPECT_EQ(KilobytesOfClusters(64, 512, 262144), 8388608u);
    EXPECT_EQ(KilobytesOfClusters(UINT32_MAX, UINT32_MAX, UINT32_MAX), UINT32_MAX);

    const unsigned char data[] = {0x78, 0x56, 0x34, 0x12, 0xff};
    uint32_t raw = 0;
    EXPECT_TRUE(StatDataWord(data, 5, true, &raw));
    EXPECT_EQ(raw, 0x12345678u);
    EXPECT_TRUE(StatDataWord(data, 2, true, &raw));
    EXPECT_EQ(raw, 0x5678u);
    EXPECT_FALSE(StatDataWord(data, 5, false, &raw));
}

} // namespace
