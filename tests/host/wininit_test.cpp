// WININIT.INI's rewrite and the short form of paths written into it.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include <string.h>

#include "core/setup_core.h"

namespace {

using namespace std::string_literals;

bool IsLeadCp932(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// A rewrite of old (WININIT.INI, or NT's pending renames when pending is set) by a change: its
// result, then "|" and the temporary files it listed, each followed by a blank.
std::string Rewrite(const std::string& old, const WaitingChange& change, bool pending = false) {
    std::vector<char> text(pending ? old.size() + 3 : WininitCapacity(old.size(), change));
    std::vector<char> temporaries(old.size() + 1, '#');
    WaitingOutput output = {text.data(), text.size(), temporaries.data(), 0, 0};
    EXPECT_TRUE(pending ? DropPendingRenames(old.data(), old.size(), change, IsLeadCp932, output)
                        : RewriteWininit(old.data(), old.size(), change, IsLeadCp932, output));
    std::string listed;
    for (const char* at = temporaries.data(); *at; at += strlen(at) + 1) {
        listed += std::string(at) + " ";
    }
    return std::string(text.data(), output.length) + "|" + listed;
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
        EXPECT_EQ(Rewrite(row.old, {"C:\\Y", "NUL", "C:\\Y"}), row.expected + "|")
            << testing::PrintToString(row.old);
    }
    char output[8], temporaries[1];
    WaitingOutput small = {output, sizeof(output), temporaries, 0, 0};
    EXPECT_FALSE(RewriteWininit("", 0, {"C:\\Y", "NUL", "C:\\Y"}, IsLeadCp932, small));
}

// A run that places or deletes a file drops every operation still waiting to replace or delete
// it, under [rename] only, and lists the temporary file of each replacement that goes (not the
// new line's own, not one with a zero byte in it). Paths compare in either ASCII case, a
// double-byte character (ア 83 41, ヂ 83 61) byte for byte.
TEST(WininitTest, WaitingLinesOfTheChangedFileGo) {
    const std::string pendingOld = "\\??\\C:\\T1\0!\\??\\C:\\Y\0\\??\\c:\\y\0\0C:\\A\0\0\0"s;
    const struct {
        std::string old;
        WaitingChange change;
        bool pending;
        std::string expected;
    } rows[] = {
        // The uninstall of an upgraded file, and two upgrades before one restart: the newest wins.
        {"[rename]\r\nNUL=c:\\y\r\n C:\\Y = C:\\T1 \r\nC:\\Z=C:\\Y\r\nNUL=C:\\YY\r\n",
         {"C:\\Y", "NUL", "C:\\Y"},
         false,
         "[rename]\r\nNUL=C:\\Y\r\nC:\\Z=C:\\Y\r\nNUL=C:\\YY\r\n|C:\\T1 "},
        {"[rename]\r\nC:\\Y=C:\\T1\r\nC:\\Y=C:\\T0\r\n",
         {"C:\\Y", "C:\\Y", "C:\\T1"},
         false,
         "[rename]\r\nC:\\Y=C:\\T1\r\n|C:\\T0 "},
        // A file placed in place: only its lines go, also from sections written with LF alone.
        {"[Other]\r\nC:\\Y=C:\\T\r\n[RENAME]\nC:\\Y=C:\\T9\nC:\\Y\r\nNUL=C:\\Y",
         {"C:\\Y", nullptr, nullptr},
         false,
         "[Other]\r\nC:\\Y=C:\\T\r\n[RENAME]\nC:\\Y\r\n|C:\\T9 "},
        {"[rename]\r\nC:\\ヂ=C:\\T\r\nC:\\ア=C:\\T3\r\n"s + std::string("C:\\ア=C:\0", 9),
         {"C:\\ア", nullptr, nullptr},
         false,
         "[rename]\r\nC:\\ヂ=C:\\T\r\n|C:\\T3 "},
        // NT's list of the same operations, after the restart question handed them over.
        {pendingOld, {"C:\\Y", nullptr, nullptr}, true, "C:\\A\0\0\0|C:\\T1 "s},
        {pendingOld + "C:\\B",
         {"C:\\A", nullptr, nullptr},
         true,
         "\\??\\C:\\T1\0!\\??\\C:\\Y\0\\??\\c:\\y\0\0\0|"s},
        {"C:\\A\0\0\0"s, {"C:\\A", nullptr, nullptr}, true, "|"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Rewrite(row.old, row.change, row.pending), row.expected)
            << testing::PrintToString(row.old);
    }
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
        {"ABC", "WRONG"}};
    const struct {
        const char* path;
        size_t capacity;
        const char* expected; // null: refused
    } rows[] = {
        {"C:\\Program Files\\Veltrim Band\\vt.dll", 260, "C:\\PROGRA~1\\VELTRI~1\\vt.dll"},
        {"C:\\New Folder\\x.txt", 260, "C:\\New Folder\\x.txt"},
        // A name without a separator, or a drive alone, is copied whole.
        {"NUL", 4, "NUL"},
        {"ABC\\x", 260, "ABC\\x"}, // the root part ends at its first backslash
        {"C:\\dir\\", 260, "C:\\dir\\"},
        {"C:", 260, "C:"},
        {"C:\\\x83\x5C\x83\x74\x83\x67\\a", 260, "C:\\SOFUTO~1\\a"},
        {"C:\\*", 260, "C:\\*"},
        // A component that fits only once shortened is refused: it is copied before the lookup.
        {"C:\\Program Files", 12, nullptr},
        {"C:\\Program Files", 17, "C:\\PROGRA~1"},
        {"C:\\abc\\def", 10, nullptr},
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
