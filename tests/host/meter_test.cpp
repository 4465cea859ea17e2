// The meter record and the value rules that need no Windows call.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "meters/meter.h"

namespace {

TEST(MeterRecord, NewRecordDefaultsListReleaseAndTexts) {
    Meter* head = CreateMeter();
    ASSERT_NE(head, nullptr);
    Meter expected = {};
    expected.kind = MeterKindNone;
    expected.index = -1;
    expected.visible = 1;
    EXPECT_EQ(memcmp(head, &expected, sizeof(Meter)), 0) << "zeroed, kind and index -1, visible";

    // A list with owned strings goes in one call (the leak checker holds us to it).
    head->key = CopyText("Memory\\Load");
    head->next = CreateMeter();
    head->next->key = CopyTextBytes("Drive\\C:\\trailing", 9);
    EXPECT_STREQ(DriveRootOfKey(head->next->key), "C:\\");
    ReleaseMeters(head);

    // Labels of the tables by index, none outside them (the memory labels in code page 932);
    // the registry's "true" in any case.
    EXPECT_STREQ(ResourceLabel(2), "USER");
    EXPECT_STREQ(MemoryLabel(3), "空き仮想メモリー");
    EXPECT_EQ(std::make_tuple(ResourceLabel(3), MemoryLabel(4), MemoryLabel(-1)),
              std::make_tuple(nullptr, nullptr, nullptr));
    EXPECT_EQ(std::string() + DriveRootOfKey("Drive\\") + DriveRootOfKey("Dri"), "");
    EXPECT_TRUE(IsTrueText("tRuE"));
    EXPECT_FALSE(IsTrueText("TRUE ") || IsTrueText("TRU"));
}

TEST(FormatValue, UnitsTruncatedFractionsAndCapacity) {
    // Plain values, then the same as drive figures (kilobytes).
    std::string texts;
    for (bool drive : {false, true}) {
        for (uint32_t value :
             {0u, 1023u, 1024u, 1536u, 10239u, 102400u, 1048575u, 1048576u, UINT32_MAX}) {
            char text[FormatValueCapacity];
            const size_t length = FormatValue(value, drive, text, sizeof(text));
            EXPECT_EQ(length, strlen(text));
            texts += text + std::string(" ");
        }
    }
    EXPECT_EQ(texts, "0 1023 1.00K 1.50K 9.99K 100K 1023K 1.00M 4095M "
                     "0.00K 1023K 1.00M 1.50M 9.99M 100M 1023M 1.00G 4095G ");

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
    for (int i : {0, 1, 2, 3, 8, 9, 10, 11, 18, 27, 28, 29, int(ScaleStepCount)}) {
        steps += std::to_string(ScaleStep(i)) + " ";
    }
    EXPECT_EQ(steps, "1 2 5 10 500 1024 2048 5120 1048576 1073741824 2147483648 1073741824 0 ");
    // The smallest step above the value; nothing in the list lies above 3e9: the scale stays.
    const uint32_t drops[][3] = {{1023, 5000, 1024},
                                 {150, 730, 200},
                                 {0, 5000, 0},
                                 {2000000000, 7, 2147483648u},
                                 {3000000000u, 7, 7}};
    for (const auto& r : drops) {
        EXPECT_EQ(ScaleAfterDrop(r[0], r[1]), r[2]) << r[0] << " of " << r[1];
    }
}

TEST(SourceMath, RatesPerSecondDriveKilobytesAndStatDataWords) {
    // Totals fed one after another, then the rates ("-" where none came out). While the total
    // reads 0 the meter reads 0; the first non-zero total is a new baseline. A total that wraps
    // past 2^32 still differs by the right amount; two samples in one millisecond give no rate
    // and keep the baseline; a busy counter is not wrapped by the multiplication and an absurd
    // one is capped.
    const std::pair<uint32_t, uint32_t> samples[] = {{0, 1000},
                                                     {7000, 1000},
                                                     {8000, 1000},
                                                     {9100, 500},
                                                     {0xFFFFFF00u, 1000},
                                                     {0x100, 1000},
                                                     {0x300, 0},
                                                     {0x300 + 5000000, 1000},
                                                     {0x300 + 5000000 + 4000000000u, 1}};
    uint32_t lastRaw = 0;
    std::string rates;
    for (const auto& sample : samples) {
        uint32_t rate = 99;
        const bool made = DifferentiateSample(&lastRaw, sample.first, sample.second, &rate);
        rates += (made ? std::to_string(rate) : "-") + " ";
    }
    EXPECT_EQ(rates, "0 0 1000 2200 4294957940 512 - 5000512 4294967295 ");

    // More than 4 terabytes is all ones; an 8 GB drive through the old call is not wrapped.
    EXPECT_EQ(std::make_tuple(KilobytesOfBytes(1023), KilobytesOfBytes(uint64_t(UINT32_MAX) << 10),
                              KilobytesOfBytes(uint64_t(5) << 40)),
              std::make_tuple(0u, UINT32_MAX, UINT32_MAX));
    EXPECT_EQ(std::make_tuple(KilobytesOfClusters(8, 512, 1000),
                              KilobytesOfClusters(64, 512, 262144),
                              KilobytesOfClusters(UINT32_MAX, UINT32_MAX, UINT32_MAX)),
              std::make_tuple(4000u, 8388608u, UINT32_MAX));

    const unsigned char data[] = {0x78, 0x56, 0x34, 0x12, 0xff};
    uint32_t raw = 0;
    EXPECT_TRUE(StatDataWord(data, 2, true, &raw) && raw == 0x5678u) << raw;
    EXPECT_TRUE(StatDataWord(data, 5, true, &raw) && raw == 0x12345678u) << raw;
    EXPECT_FALSE(StatDataWord(data, 5, false, &raw));
}

} // namespace
