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

TEST(MeterRecord, NewRecordDefaultsListReleaseAndTexts) {
    Meter* head = CreateMeter();
    ASSERT_NE(head, nullptr);
    const Meter zero = {};
    Meter expected = zero;
    expected.kind = MeterKindNone;
    expected.index = -1;
    expected.visible = 1;
    EXPECT_EQ(memcmp(head, &expected, sizeof(Meter)), 0) << "zeroed, kind and index -1, visible";

    // A list with owned strings goes in one call (the leak checker holds us to it).
    head->key = CopyText("Memory\\Load");
    head->label = CopyText("x");
    head->next = CreateMeter();
    head->next->key = CopyTextBytes("Drive\\C:\\trailing", 9);
    EXPECT_STREQ(head->next->key, "Drive\\C:\\");
    ReleaseMeters(head);
    ReleaseMeters(nullptr);

    // Labels of the tables by index, and none outside them.
    EXPECT_STREQ(ResourceLabel(2), "USER");
    EXPECT_EQ(ResourceLabel(3), nullptr);
    EXPECT_EQ(ResourceLabel(-1), nullptr);
    EXPECT_STREQ(MemoryLabel(3), "空き仮想メモリー");
    EXPECT_EQ(MemoryLabel(4), nullptr);
    // Code page 932 in the binary: the first character of the memory-load label.
    EXPECT_EQ(memcmp(MemoryLabel(0), "\x8e\x67", 2), 0);
    EXPECT_STREQ(DriveRootOfKey("Drive\\C:\\"), "C:\\");
    EXPECT_STREQ(DriveRootOfKey("Drive\\"), "");
    EXPECT_STREQ(DriveRootOfKey("Dri"), "");
    std::string truth;
    for (const char* text : {"TRUE", "true", "tRuE", "TRUE ", "TRU", "", "YES"}) {
        truth += IsTrueText(text) ? "1" : "0";
    }
    EXPECT_EQ(truth, "1110000");
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
    // Capacity, then the length written and the text (or the first byte when none fits).
    std::string results;
    for (size_t capacity : {0, 1, 4, 6}) {
        char text[8];
        memset(text, '#', sizeof(text));
        const size_t length = FormatValue(1536, false, text, capacity);
        results += std::to_string(length) + ":" + std::string(text, capacity + 1) + " ";
    }
    EXPECT_EQ(results, std::string("0:# 0:\0# 3:1.5\0# 5:1.50K\0# ", 27));
}

TEST(ScaleSteps, OneTwoFiveSeriesInThirtyTwoBits) {
    // 5 G wraps modulo 2^32; past the end there is none.
    std::string steps;
    for (int i :
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 17, 18, 26, 27, 28, 29, int(ScaleStepCount)}) {
        steps += std::to_string(ScaleStep(i)) + " ";
    }
    EXPECT_EQ(steps, "1 2 5 10 20 50 100 200 500 1024 2048 5120 10240 512000 1048576 524288000 "
                     "1073741824 2147483648 1073741824 0 ");
    // The smallest step above the value; nothing in the list lies above 3e9: the scale stays.
    const uint32_t drops[][3] = {{1023, 5000, 1024},
                                 {600, 5000, 1024},
                                 {150, 730, 200},
                                 {500, 5000, 1024},
                                 {1, 5000, 2},
                                 {0, 5000, 0},
                                 {2000000000, 7, 2147483648u},
                                 {3000000000u, 7, 7}};
    for (const auto& r : drops) {
        EXPECT_EQ(ScaleAfterDrop(r[0], r[1]), r[2]) << r[0] << " of " << r[1];
    }
}

// The rates of totals fed one after another ("-" where no rate came out).
std::string Rates(Meter& meter, std::initializer_list<std::pair<uint32_t, uint32_t>> samples) {
    std::string rates;
    for (const auto& sample : samples) {
        uint32_t rate = 99;
        const bool made = DifferentiateSample(&meter, sample.first, sample.second, &rate);
        rates += (made ? std::to_string(rate) : "-") + " ";
    }
    return rates;
}

TEST(SourceMath, DifferentiatedTotalsGiveRatesPerSecond) {
    Meter meter = {};
    EXPECT_EQ(Rates(meter, {{1000, 1000}, {1500, 1000}, {2500, 1000}, {2600, 500}}),
              "0 500 1000 200 ");
    // A total that wraps past 2^32 still differs by the right amount; two samples in one
    // millisecond give no rate and keep the baseline for the next one.
    meter.lastRaw = 0xFFFFFF00u;
    EXPECT_EQ(Rates(meter, {{0x100, 1000}, {0x300, 0}}), "512 - ");
    EXPECT_EQ(meter.lastRaw, 0x100u);
    // A busy counter is not wrapped by the multiplication; an absurd one is capped.
    EXPECT_EQ(
        Rates(meter, {{0x300, 1000}, {0x300 + 5000000, 1000}, {0x300 + 5000000 + 4000000000u, 1}}),
        "512 5000000 4294967295 ");
    // While the total reads 0 the meter reads 0; the first non-zero total is a new baseline.
    Meter fresh = {};
    EXPECT_EQ(Rates(fresh, {{0, 1000}, {0, 1000}, {7000, 1000}, {8000, 1000}}), "0 0 0 1000 ");
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
