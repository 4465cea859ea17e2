// The shipped binaries' own memory and string routines, against the C library's.
#include <gtest/gtest.h>

#include <algorithm>

#include <string.h>

#include "mem_string.h"

namespace {

int Sign(int value) {
    return (value > 0) - (value < 0);
}

TEST(MemString, ComparesAsUnsignedBytesAndStopsWhereTheLibraryDoes) {
    // Code-page-932 lead bytes (0x81 up) sort above ASCII; a shorter text sorts first.
    const char* const rows[][2] = {{"abc", "abc"}, {"abc", "abd"}, {"\x82\xa0", "a"},
                                   {"ab", "abc"},  {"", "\x81"},   {"abcX", "abcY"}};
    for (const auto& r : rows) {
        EXPECT_EQ(Sign(VtStrCompare(r[0], r[1])), Sign(strcmp(r[0], r[1]))) << r[0] << r[1];
        EXPECT_EQ(Sign(VtStrCompare(r[1], r[0])), Sign(strcmp(r[1], r[0]))) << r[1] << r[0];
        EXPECT_EQ(Sign(VtStrCompareN(r[0], r[1], 3)), Sign(strncmp(r[0], r[1], 3))) << r[0];
        const size_t both = std::min(strlen(r[0]), strlen(r[1])) + 1;
        EXPECT_EQ(Sign(VtMemCompare(r[0], r[1], both)), Sign(memcmp(r[0], r[1], both))) << r[0];
        EXPECT_EQ(VtStrLengthN(r[0], 2), strnlen(r[0], 2)) << r[0];
    }
}

TEST(MemString, CopiesMovesOverlapsAndFills) {
    char text[16] = "0123456789";
    EXPECT_EQ(VtMemMove(text + 2, text, 6), text + 2); // forward over its own tail
    EXPECT_STREQ(text, "0101234589");
    VtMemMove(text, text + 3, 5);
    EXPECT_STREQ(text, "1234534589");
    EXPECT_EQ(VtMemSet(text + 8, 'x', 2), text + 8);
    EXPECT_STREQ(VtStrAppend(VtStrCopy(text, "ab"), "cd"), "abcd");
    EXPECT_EQ(VtStrLength(text), 4u);
    EXPECT_EQ(VtMemCopy(text, "xyz", 2), text);
    EXPECT_STREQ(text, "xycd");
}

TEST(MemString, ArrayBytesRefusesWhatASizeCannotHold) {
    size_t bytes = 1;
    EXPECT_TRUE(VtArrayBytes(0, 7, &bytes) && bytes == 0);
    EXPECT_TRUE(VtArrayBytes(3, 5, &bytes) && bytes == 15);
    EXPECT_FALSE(VtArrayBytes(static_cast<size_t>(-1) / 4 + 1, 4, &bytes));
}

} // namespace
