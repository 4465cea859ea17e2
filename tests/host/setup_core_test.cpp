// The installer's text rules: command line, value expansion and list sections.
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

// Values as the platform would give them: a value too long for the buffer reports the size it
// needs, as GetEnvironmentVariableA does. The environment's names asked for are noted.
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
        return text.size() + 1;
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
        // not set it, falls back to the environment, as does any other name.
        {"%WinSys%|%PROGRAM%", "C:\\WINDOWS\\SYSTEM|C:\\Program Files"},
        {"%TEMP%\\\\x|%setup%|a%NOSUCH%b", "C:\\TEMP\\x||ab [TEMP] [setup] [NOSUCH]"},
        // Percent signs without a group; the environment is not asked for an empty name.
        {"a%%b%%%", "ab%"},
        // Overlong values are dropped; a name too long for a path is not looked up.
        {"<%LONG%><%FITS%>", "<><" + std::string(259, 'f') + "> [LONG] [FITS]"},
        {"%" + std::string(300, 'n') + "%x", "x"},
        // Double-byte characters move as a unit, in text, in names and after an escape; a lead
        // byte with nothing after it is dropped rather than glued onto later text.
        {"C:\\\\\x83\x5C\\\\vt.dll", "C:\\\x83\x5C\\vt.dll"},
        {"%\x83\x5C%|%\x83\x5C%%", "value|value% [\x83\x5C] [\x83\x5C]"},
        {"\\\x83\x5Cx", "\x83\x5Cx"},
        {"ab\x83", "ab"},
        {"%\x83", "%"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Expand(platform, row.text), row.expected) << row.text;
    }
    platform.folders[ExpandInstallFolder] = "D:\\Veltrim";
    platform.folders[ExpandSystemFolder] = std::string(300, 's');
    EXPECT_EQ(Expand(platform, "%Setup%<%winsys%>"), "D:\\Veltrim<>");

    // Text, the capacity it needs; one byte less fails. "x" and the 10 bytes of the install
    // folder and the terminator take 12.
    const std::pair<const char*, size_t> fits[] = {
        {"abc", 4}, {"a\\nb", 4}, {"x%setup%", 12}, {"", 1}, {"\x83\x5C", 3}};
    for (const auto& row : fits) {
        EXPECT_NE(Expand(platform, row.first, row.second), "<failed>") << row.first;
        EXPECT_EQ(Expand(platform, row.first, row.second - 1), "<failed>") << row.first;
    }
}

TEST(EnvironmentBlockTest, VariablesByNameInAnyAsciiCase) {
    const char block[] = "=C:=C:\\\0Path=C:\\WINDOWS\0TEMP=C:\\TEMP\0名前=ソフト表示\0EMPTY=\0";
    // Length found, then the buffer; too long for the buffer gives the size it needs and
    // writes nothing. A double-byte name matches byte for byte; the drive entries that start
    // with "=" belong to no name.
    const struct {
        const char* name;
        size_t capacity;
        std::string expected;
    } rows[] = {{"temp", 8, "7:C:\\TEMP"},      {"PATH", 260, "10:C:\\WINDOWS"},
                {"名前", 260, "10:ソフト表示"}, {"TEMP", 7, "8:untouched"},
                {"EMPTY", 260, "0:"},           {"=C:", 260, "0:"}};
    for (const auto& row : rows) {
        char value[PathCapacity] = "untouched";
        const size_t length =
            FindEnvironmentValue(block, row.name, value, row.capacity, IsLeadCp932);
        EXPECT_EQ(std::to_string(length) + ":" + (length ? value : ""), row.expected) << row.name;
    }
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
    // The program's own path, long and short, as the start-up reads it.
    const char* const own[] = {"C:\\Program Files\\Veltrim ソア\\setup.bin",
                               "C:\\PROGRA~1\\VELTRI~1\\SETUP.BIN"};
    const std::pair<const char*, const char*> rows[] = {
        {"\"C:\\Program Files\\setup.exe\" /U x", " /U x"},
        {"  setup.exe /u", " /u"},
        {"\"unterminated", ""},
        // An unquoted entry with blanks in its folder: exactly the own path is skipped, in either
        // form and ASCII case; a double-byte character (trail byte 0x5C, or "A" in ア) only
        // byte for byte.
        {"c:\\program files\\veltrim ソア\\SETUP.BIN /u C:\\Program Files\\x.dat",
         " /u C:\\Program Files\\x.dat"},
        {"C:\\PROGRA~1\\VELTRI~1\\SETUP.BIN /u x", " /u x"},
        // Not the own path (or only its start): the name ends at the first blank.
        {"C:\\Program Files\\Veltrim ソア\\setup.binx /u", " Files\\Veltrim ソア\\setup.binx /u"},
        {"C:\\Program Files\\Veltrim ソヂ\\setup.bin /u", " Files\\Veltrim ソヂ\\setup.bin /u"},
    };
    for (const auto& row : rows) {
        EXPECT_STREQ(SkipProgramName(row.first, own, 2, IsLeadCp932), row.second) << row.first;
    }
    // The folder of an uninstall entry's program, quoted or not (ソ ends in 0x5C), in 13 bytes.
    const std::pair<const char*, const char*> entries[] = {
        {"\"C:\\Old Place\\setup.bin\" /u C:\\x\\setup.dat", "C:\\Old Place"},
        {" C:\\Old ソ\\setup.bin /U C:\\x\\setup.dat", "C:\\Old ソ"},
        {"C:\\setup.bin /u x", "C:\\"},
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
    const std::string section = "a=b\0ソ\\=c\0*C:\\dir\\\0"s;
    EXPECT_EQ(Lines(section, section.size()),
              (std::vector<std::string>{"a=b", "ソ\\=c", "*C:\\dir\\"}));
    // The reader's signal for a section that did not fit: nothing of it is used. A last line
    // without its zero inside the fetched bytes is not read past.
    EXPECT_TRUE(Lines(section, ListSectionCutOff).empty());
    EXPECT_EQ(Lines(section, section.size() - 1), (std::vector<std::string>{"a=b", "ソ\\=c"}));

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
        {"a=b=c", ListLineExtraSeparator, "a|b"},
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
    for (const char* line : {"*HKCU", "1234567", "12345678", "123456ソ", "ab\x83"}) {
        char copy[8] = "";
        const ListLineStatus status = CopyListLine(line, copy, sizeof(copy), IsLeadCp932);
        copies += std::to_string(status) + (status == ListLineOk ? copy : "") + " ";
    }
    EXPECT_EQ(copies, "0*HKCU 01234567 3 3 0ab ");
}

} // namespace
