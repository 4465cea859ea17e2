// The installer's text rules: command line, value expansion and list sections; WININIT.INI's
// rewrite and the short form of paths written into it.
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

// Values as the platform would give them: a value too long for the buffer reports its length,
// the least that says it did not fit. The environment's names asked for are noted.
struct FakePlatform {
    std::string folders[ExpandEnvironment] = {"C:\\WINDOWS\\SYSTEM", "C:\\Program Files", ""};
    std::map<std::string, std::string> environment;
    std::string asked;
};

size_t FakeLookup(void* context, ExpandSource source, const char* name, char* value,
                  size_t capacity) {
    FakePlatform& platform = *static_cast<FakePlatform*>(context);
    if (source == ExpandEnvironment) {
        platform.asked += " ["s + name + "]";
    }
    const std::string text =
        source == ExpandEnvironment ? platform.environment[name] : platform.folders[source];
    if (text.size() >= capacity) {
        return text.size();
    }
    memcpy(value, text.c_str(), text.size() + 1);
    return text.size();
}

// The expansion of text by a platform (or "<failed>"), and the environment names it asked for.
std::string Expand(FakePlatform& platform, const std::string& text, size_t capacity = 4096) {
    std::vector<char> output(capacity + 1, '#');
    platform.asked.clear();
    const bool expanded =
        ExpandText(output.data(), capacity, text.c_str(), {IsLeadCp932, FakeLookup, &platform});
    EXPECT_EQ(output[capacity], '#') << "written past the capacity: " << text;
    return (expanded ? output.data() : "<failed>") + platform.asked;
}

TEST(ExpandText, EscapesKeywordsEnvironmentDoubleByteCharactersAndCapacity) {
    FakePlatform platform;
    platform.environment = {{"TEMP", "C:\\TEMP"},
                            {"FITS", std::string(259, 'f')},
                            {"LONG", std::string(260, 'l')},
                            {std::string(259, 'n'), "N"},
                            {"\x83\x5C", "value"}};
    // 0x83 0x5C is "ソ": its trail byte is a backslash and must not escape the next byte.
    const struct {
        std::string text, expected;
    } rows[] = {
        {"C:\\\\%winsys%\\\\a\\b", "C:\\C:\\WINDOWS\\SYSTEM\\ab"},
        // An escaped percent sign is literal and opens no group; the second has no partner.
        {"\\%winsys%", "%winsys%"},
        // A backslash with nothing after it stays (a folder written with a trailing separator).
        {"C:\\\\dir\\", "C:\\dir\\"},
        // Keywords in any case never reach the environment; the install folder, while a run has
        // not set it, falls back to the environment, as does any other name, a keyword's prefix
        // or a name that runs past one included.
        {"%WinSys%|%PROGRAM%", "C:\\WINDOWS\\SYSTEM|C:\\Program Files"},
        {"%TEMP%\\\\x|%setup%|a%NOSUCH%b", "C:\\TEMP\\x||ab [TEMP] [setup] [NOSUCH]"},
        {"%setu%%SetupX%%WINSY%%programs%", " [setu] [SetupX] [WINSY] [programs]"},
        // Percent signs without a group; the environment is not asked for an empty name.
        {"a%%b%%%", "ab%"},
        // Overlong values are dropped; a name too long for a path is not looked up.
        {"<%LONG%><%FITS%>", "<><" + std::string(259, 'f') + "> [LONG] [FITS]"},
        {"%" + std::string(259, 'n') + "%%" + std::string(260, 'n') + "%x",
         "Nx [" + std::string(259, 'n') + "]"},
        // Double-byte characters move as a unit, in text, in names and after an escape; a lead
        // byte with nothing after it is dropped rather than glued onto later text.
        {"C:\\\\\x83\x5C\\\\vt\x83\x5C", "C:\\\x83\x5C\\vt\x83\x5C"},
        {"%\x83\x5C%|%\x83\x5C%%", "value|value% [\x83\x5C] [\x83\x5C]"},
        {"\\\x83\x5Cx\\\x83\x83", "\x83\x5Cx\x83\x83"},
        {"one lead byte alone\x83", "one lead byte alone"}, // too long to sit in a small string
        {"%\x83", "%"},
        {"%\x83%", "%\x83%"}, // the lead byte takes the "%" after it: no group
    };
    // Each text needs its output and the terminator: any less fails, wherever the output fills
    // up (inside a double-byte character or a value, at an escape or the terminator).
    for (const auto& row : rows) {
        EXPECT_EQ(Expand(platform, row.text), row.expected) << row.text;
        const size_t needed = row.expected.substr(0, row.expected.find(" [")).size() + 1;
        for (size_t capacity = 0; capacity < needed; ++capacity) {
            EXPECT_EQ(Expand(platform, row.text, capacity).substr(0, 8), "<failed>") << capacity;
        }
        EXPECT_EQ(Expand(platform, row.text, needed), row.expected) << row.text;
    }
    platform.folders[ExpandInstallFolder] = "D:\\Veltrim";
    platform.folders[ExpandSystemFolder] = std::string(300, 's');
    EXPECT_EQ(Expand(platform, "%Setup%<%winsys%>"), "D:\\Veltrim<>");
}

TEST(EnvironmentBlockTest, VariablesByNameInAnyAsciiCase) {
    const char block[] =
        "=C:=C:\\\0Path=C:\\WINDOWS\0TEMP=C:\\TEMP\0名前=ソフト表示\0\x83\x61=x\0EMPTY=\0";
    // Length found, then the buffer; too long for the buffer gives the size it needs and
    // writes nothing. A double-byte name matches byte for byte; the drive entries that start
    // with "=" belong to no name.
    const struct {
        const char* name;
        size_t capacity;
        std::string expected;
    } rows[] = {{"temp", 8, "7:C:\\TEMP"},
                {"PATH", 260, "10:C:\\WINDOWS"},
                {"名前", 260, "10:ソフト表示"},
                {"TEMP", 7, "8:untouched"},
                {"EMPTY", 260, "0:"},
                {"=C:", 260, "0:"},
                {"", 260, "0:"},
                {"\x83\x41", 260, "0:"}};
    for (const auto& row : rows) {
        char value[PathCapacity] = "untouched";
        const size_t length =
            FindEnvironmentValue(block, row.name, value, row.capacity, IsLeadCp932);
        EXPECT_EQ(std::to_string(length) + ":" + (length ? value : ""), row.expected) << row.name;
    }
    char value[PathCapacity];
    EXPECT_EQ(FindEnvironmentValue(nullptr, "TEMP", value, sizeof(value), IsLeadCp932), 0u);
}

TEST(UninstallKeyTest, NamesOnlyTheProductsOwnKey) {
    char key[PathCapacity];
    ASSERT_TRUE(UninstallKeyName(key, sizeof(key), "Veltrim ソフト", IsLeadCp932));
    EXPECT_STREQ(key, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Veltrim ソフト");
    // The trail byte 0x5C of a double-byte character is no separator; an empty title would name
    // the list of every product's entry.
    EXPECT_TRUE(UninstallKeyName(key, sizeof(key), "ソ", IsLeadCp932));
    EXPECT_FALSE(UninstallKeyName(key, sizeof(key), "", IsLeadCp932));
    EXPECT_FALSE(UninstallKeyName(key, sizeof(key), "Other\\Product", IsLeadCp932));
    // Bounded by the buffer: the parent path alone is 52 bytes.
    EXPECT_TRUE(UninstallKeyName(key, 54, "V", IsLeadCp932));
    EXPECT_FALSE(UninstallKeyName(key, 53, "V", IsLeadCp932));
    std::vector<char> small(20);
    EXPECT_FALSE(UninstallKeyName(small.data(), small.size(), "V", IsLeadCp932));
}

TEST(SetupCommandTest, ProgramNameQuotedOrNot) {
    // The program's own path, long and short, as the start-up reads it. Each line gives the
    // arguments, then the mode and the script path read from them: only the first two characters
    // count, the third is skipped unseen.
    const char* const own[] = {"C:\\Program Files\\Veltrim ソア\\setup.bin",
                               "C:\\PROGRA~1\\VELTRI~1\\SETUP.BIN"};
    const std::pair<const char*, const char*> rows[] = {
        {"\"C:\\Program Files\\setup.exe\" /U x", " /U x|2x"},
        {"  setup.exe /u", " /u|1"},
        {"\"unterminated", "|0"},
        // An unquoted entry with blanks in its folder: exactly the own path is skipped, in either
        // form and ASCII case; a double-byte character (trail byte 0x5C, or "A" in ア) only
        // byte for byte.
        {"c:\\program files\\veltrim ソア\\SETUP.BIN /u C:\\Program Files\\x.dat",
         " /u C:\\Program Files\\x.dat|1C:\\Program Files\\x.dat"},
        {"C:\\PROGRA~1\\VELTRI~1\\SETUP.BIN /Ux", " /Ux|2"},
        // Not the own path (or only its start): the name ends at the first blank.
        {"C:\\Program Files\\Veltrim ソア\\setup.binx /u", " Files\\Veltrim ソア\\setup.binx /u|0"},
        {"C:\\Program Files\\Veltrim ソヂ\\setup.bin /u", " Files\\Veltrim ソヂ\\setup.bin /u|0"},
    };
    for (const auto& row : rows) {
        const char* arguments = SkipProgramName(row.first, own, 2, IsLeadCp932);
        const SetupCommand command = ParseSetupCommand(arguments);
        EXPECT_EQ(arguments + ("|" + std::to_string(command.mode)) + command.scriptPath, row.second)
            << row.first;
    }
    // The folder of an uninstall entry's program, quoted or not (ソ ends in 0x5C), in 13 bytes.
    const std::pair<const char*, const char*> entries[] = {
        {"\"C:\\Old Place\\setup.bin\" /u C:\\x\\setup.dat", "C:\\Old Place"},
        {" C:\\Old ソ\\setup.bin /U C:\\x\\setup.dat", "C:\\Old ソ"},
        {"C:\\setup.bin /u x", "C:\\"},
        {"C:\\ソ", "C:\\"},
        {"C:\\x\\setup.bin /u", "C:\\x"},
        {"setup.bin /u C:\\x\\setup.dat", nullptr},
        {"\"C:\\x\\setup.bin", nullptr},
        {"C:\\Old Places\\setup.bin", nullptr},
    };
    for (const auto& entry : entries) {
        char folder[13] = "";
        EXPECT_STREQ(InstalledFolder(entry.first, folder, sizeof(folder), IsLeadCp932) ? folder
                                                                                       : nullptr,
                     entry.second)
            << entry.first;
    }
}

// The lines read from a section's bytes as the profile reader hands them over (each line with
// its zero, then one more zero), of which it reports `fetched`.
std::vector<std::string> Lines(const std::string& bytes, size_t fetched) {
    std::vector<char> buffer(ListSectionCapacity, '\0');
    memcpy(buffer.data(), bytes.data(), bytes.size());
    SectionReader reader = ReadSection(buffer.data(), buffer.size(), fetched);
    std::vector<std::string> lines;
    while (const char* line = NextSectionLine(reader)) {
        lines.push_back(line);
    }
    return lines;
}

TEST(ListSectionTest, LinesFileLinesAndWholeLines) {
    // An empty line ends the section.
    const std::string section = "a=b\0*C:\\dir\\\0ソ\\=c\0"s;
    EXPECT_EQ(Lines(section + "\0x\0"s, section.size() + 3),
              (std::vector<std::string>{"a=b", "*C:\\dir\\", "ソ\\=c"}));
    // A last line without its zero inside the fetched bytes, or cut inside a double-byte
    // character, is not read past.
    for (size_t cut : {section.size() - 1, section.size() - 5}) {
        EXPECT_EQ(Lines(section, cut), (std::vector<std::string>{"a=b", "*C:\\dir\\"})) << cut;
    }
    // A line that fills the section up to the reader's signal for one that did not fit, of
    // which nothing is used.
    const std::string longest(ListSectionCutOff - 2, 'l');
    EXPECT_EQ(Lines(longest, longest.size() + 1), std::vector<std::string>{longest});
    EXPECT_TRUE(Lines(longest + "l", ListSectionCutOff).empty());

    const std::string side259(259, 's');
    const struct {
        std::string line;
        ListLineStatus status;
        std::string sides; // "destination|source" of a line that was split
    } rows[] = {
        {"ソフト\\\\=ソ.dll", ListLineOk, "ソフト\\\\|ソ.dll"},
        {"=x", ListLineOk, "|x"},
        {"no separator", ListLineNoSeparator, ""},
        // The source ends at a second "=", and the line says so.
        {"a==b", ListLineExtraSeparator, "a|"},
        // Each side holds at most 259 bytes; a double-byte character that would straddle the
        // limit does not fit.
        {side259 + "=" + side259, ListLineOk, side259 + "|" + side259},
        {side259 + "d=x", ListLineTooLong, ""},
        {"x=" + side259 + "s", ListLineTooLong, ""},
        {std::string(258, 'd') + "ソ=x", ListLineTooLong, ""},
    };
    for (const auto& row : rows) {
        char destination[PathCapacity] = "", source[PathCapacity] = "";
        EXPECT_EQ(SplitFileLine(row.line.c_str(), destination, sizeof(destination), source,
                                sizeof(source), IsLeadCp932),
                  row.status)
            << row.line;
        if (!row.sides.empty()) {
            EXPECT_EQ(std::string(destination) + "|" + source, row.sides) << row.line;
        }
    }

    // A whole line in a buffer of 8, or "too long"; a dangling lead byte is dropped.
    std::string copies;
    for (const char* line : {"*HKCU", "1234567", "12345678", "123456789", "123456ソ", "ab\x83"}) {
        char copy[8] = "";
        const ListLineStatus status = CopyListLine(line, copy, sizeof(copy), IsLeadCp932);
        copies += std::to_string(status) + (status == ListLineOk ? copy : "") + " ";
    }
    EXPECT_EQ(copies, "0*HKCU 01234567 3 3 3 0ab ");
}

// A rewrite of old (WININIT.INI, or NT's pending renames when pending is set) by a change: its
// result, then "|", the number of operations that went and the temporary files it listed, each
// followed by a blank.
std::string Rewrite(const std::string& old, const WaitingChange& change, bool pending = false) {
    std::vector<char> text(pending ? old.size() + 3 : WininitCapacity(old.size(), change));
    std::vector<char> temporaries(old.size() + 1, '#');
    WaitingOutput output = {text.data(), text.size(), temporaries.data(), 0, 99};
    EXPECT_TRUE(pending ? DropPendingRenames(old.data(), old.size(), change, IsLeadCp932, output)
                        : RewriteWininit(old.data(), old.size(), change, IsLeadCp932, output));
    std::string listed;
    for (const char* at = temporaries.data(); *at; at += strlen(at) + 1) {
        listed += std::string(at) + " ";
    }
    return std::string(text.data(), output.length) + "|" + std::to_string(output.dropped) + " " +
           listed;
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
        EXPECT_EQ(Rewrite(row.old, {"C:\\Y", "NUL", "C:\\Y"}), row.expected + "|0 ")
            << testing::PrintToString(row.old);
    }
    char output[8], temporaries[1];
    WaitingOutput small = {output, sizeof(output), temporaries, 0, 0};
    EXPECT_FALSE(RewriteWininit("", 0, {"C:\\Y", "NUL", "C:\\Y"}, IsLeadCp932, small));
}

// A run that places or deletes a file drops every operation still waiting to replace or delete
// it, under [rename] only, and lists the temporary file of each replacement that goes (not the
// new line's own, not one with a zero byte in it). Paths compare in either ASCII case, a
// double-byte character (ア 83 41, ヂ 83 61, А 84 41) byte for byte.
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
         "[rename]\r\nNUL=C:\\Y\r\nC:\\Z=C:\\Y\r\nNUL=C:\\YY\r\n|2 C:\\T1 "},
        {"[rename]\r\nC:\\Y=C:\\T1\r\nC:\\Y=C:\\T0\r\n",
         {"C:\\Y", "C:\\Y", "C:\\T1"},
         false,
         "[rename]\r\nC:\\Y=C:\\T1\r\n|2 C:\\T0 "},
        // A file placed in place: only its lines go, also from sections written with LF alone.
        {"[Other]\r\nC:\\Y=C:\\T\r\n[RENAME]\nC:\\Y=C:\\T9\nC:\\Y\r\nNUL=C:\\Y",
         {"C:\\Y", nullptr, nullptr},
         false,
         "[Other]\r\nC:\\Y=C:\\T\r\n[RENAME]\nC:\\Y\r\n|2 C:\\T9 "},
        {"[rename]\r\nC:\\ヂ=C:\\T\r\nC:\\\x84\x41=C:\\T\r\nC:\\ア=C:\\T3\r\n"s +
             std::string("C:\\ア=C:\0", 9),
         {"C:\\ア", nullptr, nullptr},
         false,
         "[rename]\r\nC:\\ヂ=C:\\T\r\nC:\\\x84\x41=C:\\T\r\n|2 C:\\T3 "},
        // NT's list of the same operations, after the restart question handed them over.
        {pendingOld, {"C:\\Y", nullptr, nullptr}, true, "C:\\A\0\0\0|2 C:\\T1 "s},
        {pendingOld + "C:\\B",
         {"C:\\A", nullptr, nullptr},
         true,
         "\\??\\C:\\T1\0!\\??\\C:\\Y\0\\??\\c:\\y\0\0\0|1 "s},
        {"C:\\A\0\0\0"s, {"C:\\A", nullptr, nullptr}, true, "|1 "},
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
        {"C:\\a\\", "WRONG"},
        {"\\\\\x83\x5Cs\x83\x5C", "WRONG"},
        {"\\\\\x83\x5Cs\x83\x5C\\Long Name", "LONGNA~1"},
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
        {"\\\\\x83\x5Cs\x83\x5C\\Long Name", 260, "\\\\\x83\x5Cs\x83\x5C\\LONGNA~1"},
        {"C:\\a\\\\b", 260, "C:\\a\\\\b"},
        // A lead byte with nothing after it ends a component or the root part, and stays.
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
        {"C:\\a", 3, nullptr},
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
