// WININIT.INI's rewrite and the short form of paths written into it.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include <string.h>

#include "core/setup_core.h"

namespace {

// The rewrite of an old file with the line "NUL=C:\Y".
std::string Rewrite(const std::string& old) {
    std::vector<char> output(WininitCapacity(old.size(), "NUL", "C:\\Y"));
    const size_t length =
        RewriteWininit(old.data(), old.size(), "NUL", "C:\\Y", output.data(), output.size());
    EXPECT_GT(length, 0u);
    return std::string(output.data(), length);
}

// The line goes directly under the first header line ended by CR LF (in any letter case), or a
// header and the line are appended; every other byte stays, zero bytes too.
TEST(WininitTest, LineGoesUnderTheFirstHeaderOrAtTheEnd) {
    const struct {
        std::string old, expected;
    } rows[] = {
        {"", "[rename]\r\nNUL=C:\\Y\r\n"},
        {"[other]\r\na=b\r\n[Rename]\r\nNUL=C:\\X\r\n[rename]\r\ntail",
         "[other]\r\na=b\r\n[Rename]\r\nNUL=C:\\Y\r\nNUL=C:\\X\r\n[rename]\r\ntail"},
        // A header as the very last line without CR LF, or ended by a bare LF or CR, is none.
        {"a=b\r\n[rename]", "a=b\r\n[rename]\r\n[rename]\r\nNUL=C:\\Y\r\n"},
        {"a=b\r\n", "a=b\r\n[rename]\r\nNUL=C:\\Y\r\n"},
        {"[others]\r\n", "[others]\r\n[rename]\r\nNUL=C:\\Y\r\n"},
        {"[rename]\n", "[rename]\n\r\n[rename]\r\nNUL=C:\\Y\r\n"},
        {"x\r", "x\r\r\n[rename]\r\nNUL=C:\\Y\r\n"},
        {std::string("a\0b\r\n[rename]\r\n\0tail", 20),
         std::string("a\0b\r\n[rename]\r\nNUL=C:\\Y\r\n\0tail", 30)},
        {std::string("x\0y", 3), std::string("x\0y\r\n[rename]\r\nNUL=C:\\Y\r\n", 25)},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Rewrite(row.old), row.expected) << testing::PrintToString(row.old);
    }
    char output[8];
    EXPECT_EQ(RewriteWininit("", 0, "NUL", "C:\\Y", output, sizeof(output)), 0u) << "too small";
}

bool IsLeadCp932(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// A disk with 8.3 aliases for some names, as FindFirstFileA reports them ("" when already 8.3).
bool FakeAlias(void* context, const char* path, char* alias, size_t capacity) {
    const auto& aliases = *static_cast<std::map<std::string, std::string>*>(context);
    auto found = aliases.find(path);
    if (found == aliases.end()) {
        return false;
    }
    snprintf(alias, capacity, "%s", found->second.c_str());
    return true;
}

// Each component is looked up with the ones before it already shortened (the alias of the long
// form is never used), and replaced by its alias when it has one; wildcards are not looked up;
// the result stays within its capacity.
TEST(ShortPathTest, ComponentsWithAliasesAreReplacedWithinCapacity) {
    std::map<std::string, std::string> aliases = {
        {"C:\\Program Files", "PROGRA~1"},
        {"C:\\Program Files\\Veltrim Band", "WRONG"},
        {"C:\\PROGRA~1\\Veltrim Band", "VELTRI~1"},
        {"C:\\PROGRA~1\\VELTRI~1\\vt.dll", ""},
        {"C:\\\x83\x5C\x83\x74\x83\x67", "SOFUTO~1"}, // 0x83 0x5C is one character
        {"C:\\*", "WRONG"},
        {"C:\\a\\", "WRONG"},
        {"\\\\\x83\x5Cs", "WRONG"},
        {"\\\\\x83\x5Cs\\Long Name", "LONGNA~1"},
        {"ABC", "WRONG"}};
    const struct {
        const char* path;
        size_t capacity;
        const char* expected; // null: refused
    } rows[] = {
        {"C:\\Program Files\\Veltrim Band\\vt.dll", 260, "C:\\PROGRA~1\\VELTRI~1\\vt.dll"},
        // A name without a separator, or a drive alone, is copied whole.
        {"NUL", 4, "NUL"},
        {"ABC\\x", 260, "ABC\\x"}, // the root part ends at its first backslash
        {"C:\\dir\\", 260, "C:\\dir\\"},
        {"C:", 260, "C:"},
        {"C:\\\x83\x5C\x83\x74\x83\x67\\a", 260, "C:\\SOFUTO~1\\a"},
        // The trail byte 0x5C of a server's name ends no root part; an empty component is not
        // looked up.
        {"\\\\\x83\x5Cs\\Long Name", 260, "\\\\\x83\x5Cs\\LONGNA~1"},
        {"C:\\a\\\\b", 260, "C:\\a\\\\b"},
        {"C:\\a\x83", 260, "C:\\a\x83"},
        {"C:\x83", 260, "C:\x83"},
        {"C:\\*", 260, "C:\\*"},
        // A component that fits only once shortened is refused: it is copied before the lookup.
        {"C:\\Program Files", 12, nullptr},
        {"C:\\Program Files", 17, "C:\\PROGRA~1"},
        {"C:\\abc\\def", 10, nullptr},
        {"C:\\abc\\def", 7, nullptr},
        {"C:\\abc\\def", 11, "C:\\abc\\def"},
        {"NUL", 3, nullptr},
        {"C:", 0, nullptr},
    };
    for (const auto& row : rows) {
        std::vector<char> output(row.capacity + 1, '#');
        const bool made =
            ToShortPath(output.data(), row.capacity, row.path, FakeAlias, &aliases, IsLeadCp932);
        EXPECT_STREQ(made ? output.data() : nullptr, row.expected)
            << row.path << " " << row.capacity;
        EXPECT_EQ(output[row.capacity], '#') << "written past the capacity: " << row.path;
    }
}

} // namespace
