// The installer's text rules: command line, value expansion and list sections.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include <string.h>

#include "core/setup_core.h"

namespace {

bool IsLeadCp932(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Values as the platform would give them: a value too long for the buffer reports the size it
// needs, as GetEnvironmentVariableA does.
struct FakePlatform {
    std::string systemFolder = "C:\\WINDOWS\\SYSTEM";
    std::string programFiles = "C:\\Program Files";
    std::string installFolder;
    std::map<std::string, std::string> environment;
    std::vector<std::string> environmentNames;
};

size_t Give(const std::string& text, char* value, size_t capacity) {
    if (text.size() >= capacity) {
        return text.size() + 1;
    }
    memcpy(value, text.c_str(), text.size() + 1);
    return text.size();
}

size_t FakeLookup(void* context, ExpandSource source, const char* name, char* value,
                  size_t capacity) {
    FakePlatform& platform = *static_cast<FakePlatform*>(context);
    switch (source) {
    case ExpandSystemFolder:
        return Give(platform.systemFolder, value, capacity);
    case ExpandProgramFiles:
        return Give(platform.programFiles, value, capacity);
    case ExpandInstallFolder:
        return Give(platform.installFolder, value, capacity);
    case ExpandEnvironment:
        break;
    }
    platform.environmentNames.push_back(name);
    auto found = platform.environment.find(name);
    return found == platform.environment.end() ? 0 : Give(found->second, value, capacity);
}

// The expansion of text by a platform (or "<failed>"), and the environment names it asked for.
std::string Expand(FakePlatform& platform, const std::string& text, size_t capacity = 4096) {
    std::vector<char> output(capacity + 1, '#');
    const ExpandServices services = {IsLeadCp932, FakeLookup, &platform};
    platform.environmentNames.clear();
    const bool expanded = ExpandText(output.data(), capacity, text.c_str(), services);
    EXPECT_EQ(output[capacity], '#') << "written past the capacity: " << text;
    std::string result = expanded ? output.data() : "<failed>";
    for (const std::string& name : platform.environmentNames) {
        result += " [" + name + "]";
    }
    return result;
}

TEST(ExpandText, EscapesKeywordsEnvironmentAndDoubleByteCharacters) {
    FakePlatform platform;
    platform.environment = {{"TEMP", "C:\\TEMP"},
                            {"setup", "from-environment"},
                            {"EMPTY", ""},
                            {"FITS", std::string(259, 'f')},
                            {"LONG", std::string(260, 'l')},
                            {"LONGER", std::string(1000, 'l')},
                            {"\x83\x5C", "value"}};
    // 0x83 0x5C is "ソ": its trail byte is a backslash and must not escape the next byte.
    const struct {
        std::string text, expected;
    } rows[] = {
        {"C:\\\\%winsys%\\\\a", "C:\\C:\\WINDOWS\\SYSTEM\\a"},
        {"a\\b", "ab"},
        {"line\\none\\ttab", "line\none\ttab"},
        // An escaped percent sign is literal and opens no group; the second has no partner.
        {"\\%winsys%", "%winsys%"},
        // A backslash with nothing after it stays (a folder written with a trailing separator).
        {"C:\\\\dir\\", "C:\\dir\\"},
        // Keywords in any case never reach the environment; the install folder, while a run has
        // not set it, falls back to the environment, as does any other name.
        {"%WinSys%|%PROGRAM%", "C:\\WINDOWS\\SYSTEM|C:\\Program Files"},
        {"%TEMP%\\\\x|%setup%", "C:\\TEMP\\x|from-environment [TEMP] [setup]"},
        {"a%NOSUCHNAME%b", "ab [NOSUCHNAME]"},
        // Percent signs without a group; the environment is not asked for an empty name.
        {"100%", "100%"},
        {"50% off", "50% off"},
        {"a%%b", "ab"},
        {"%%%", "%"},
        // Empty and overlong values are dropped; a name too long for a path is not looked up.
        {"<%EMPTY%><%LONG%><%LONGER%>", "<><><> [EMPTY] [LONG] [LONGER]"},
        {"<%FITS%>", "<" + std::string(259, 'f') + "> [FITS]"},
        {"%" + std::string(300, 'n') + "%x", "x"},
        // Double-byte characters move as a unit, in text, in names and after an escape; a lead
        // byte with nothing after it is dropped rather than glued onto later text.
        {"C:\\\\\x83\x5C\\\\vt.dll", "C:\\\x83\x5C\\vt.dll"},
        {"\x83\x5Cn", "\x83\x5Cn"},
        {"%\x83\x5C%|%\x83\x5C%%", "value|value% [\x83\x5C] [\x83\x5C]"},
        {"\\\x83\x5Cx", "\x83\x5Cx"},
        {"ab\x83", "ab"},
        {"%\x83", "%"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Expand(platform, row.text), row.expected) << row.text;
    }
    platform.installFolder = "D:\\Veltrim";
    EXPECT_EQ(Expand(platform, "%Setup%"), "D:\\Veltrim");
    platform.programFiles.clear();
    EXPECT_EQ(Expand(platform, "[%program%]"), "[] [program]");
    platform.systemFolder = std::string(300, 's');
    EXPECT_EQ(Expand(platform, "<%winsys%>"), "<>");
}

TEST(ExpandText, CapacityCountsEveryByteAndTheTerminator) {
    FakePlatform platform;
    // Text, the capacity it needs; one byte less fails. "x" and the 17 bytes of the system
    // folder and the terminator take 19.
    const struct {
        const char* text;
        size_t capacity;
    } rows[] = {{"abc", 4}, {"a\\nb", 4}, {"x%winsys%", 19}, {"", 1}, {"\x83\x5C", 3}};
    for (const auto& row : rows) {
        EXPECT_NE(Expand(platform, row.text, row.capacity), "<failed>") << row.text;
        EXPECT_EQ(Expand(platform, row.text, row.capacity - 1), "<failed>") << row.text;
    }
    EXPECT_EQ(Expand(platform, "a", 1), "<failed>");
}

TEST(EnvironmentBlockTest, VariablesByNameInAnyAsciiCase) {
    const char block[] = "=C:=C:\\\0Path=C:\\WINDOWS\0TEMP=C:\\TEMP\0名前=ソフト表示\0EMPTY=\0";
    // Length found, then the buffer; too long for the buffer gives the size it needs and
    // writes nothing.
    auto find = [&](const char* name, size_t capacity = PathCapacity) {
        char value[PathCapacity] = "untouched";
        const size_t length = FindEnvironmentValue(block, name, value, capacity, IsLeadCp932);
        return std::to_string(length) + ":" + (length ? value : "");
    };
    EXPECT_EQ(find("temp"), "7:C:\\TEMP");
    EXPECT_EQ(find("PATH"), "10:C:\\WINDOWS");
    // A double-byte value is returned whole, and a double-byte name matches byte for byte.
    EXPECT_EQ(find("名前"), "10:ソフト表示");
    EXPECT_EQ(find("TEMP", 7), "8:untouched");
    EXPECT_EQ(find("TEMP", 8), "7:C:\\TEMP");
    // The drive entries that start with "=" belong to no name.
    for (const char* missing : {"EMPTY", "TEM", "TEMPX", "", "=C:"}) {
        EXPECT_EQ(find(missing), "0:") << missing;
    }
    char value[8];
    EXPECT_EQ(FindEnvironmentValue(nullptr, "TEMP", value, sizeof(value), IsLeadCp932), 0u);
}

TEST(UninstallKeyTest, NamesOnlyTheProductsOwnKey) {
    char key[PathCapacity];
    ASSERT_TRUE(UninstallKeyName(key, sizeof(key), "Veltrim ソフト", IsLeadCp932));
    EXPECT_STREQ(key, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Veltrim ソフト");
    // The trail byte 0x5C of a double-byte character is no separator.
    EXPECT_TRUE(UninstallKeyName(key, sizeof(key), "ソ", IsLeadCp932));
    // An empty title would name the list of every product's entry.
    EXPECT_FALSE(UninstallKeyName(key, sizeof(key), "", IsLeadCp932));
    EXPECT_FALSE(UninstallKeyName(key, sizeof(key), "\\", IsLeadCp932));
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
    const struct {
        const char* line;
        const char* arguments;
    } rows[] = {
        {"\"C:\\Program Files\\setup.exe\" /U x", " /U x"},
        {"  setup.exe /u", " /u"},
        {"setup.exe", ""},
        {"\"unterminated", ""},
        // An unquoted entry with blanks in its folder: exactly the own path is skipped, in either
        // form and ASCII case; a double-byte character (trail byte 0x5C, or "A" in ア) only
        // byte for byte.
        {"C:\\Program Files\\Veltrim ソア\\setup.bin /u C:\\Program Files\\x.dat",
         " /u C:\\Program Files\\x.dat"},
        {"c:\\program files\\veltrim ソア\\SETUP.BIN /u x", " /u x"},
        {"C:\\PROGRA~1\\VELTRI~1\\SETUP.BIN /u x", " /u x"},
        {"C:\\Program Files\\Veltrim ソア\\setup.bin", ""},
        // Not the own path (or only its start): the name ends at the first blank.
        {"C:\\Program Files\\Veltrim ソア\\setup.binx /u", " Files\\Veltrim ソア\\setup.binx /u"},
        {"C:\\Program Files\\other.exe /u", " Files\\other.exe /u"},
        {"C:\\Program Files\\Veltrim ソヂ\\setup.bin /u", " Files\\Veltrim ソヂ\\setup.bin /u"},
    };
    for (const auto& row : rows) {
        EXPECT_STREQ(SkipProgramName(row.line, own, 2, IsLeadCp932), row.arguments) << row.line;
    }
}

TEST(SetupCommandTest, ThreeForms) {
    // Blanks inside and after the path are part of it; only two characters are tested, the
    // third is skipped unseen.
    const struct {
        const char* arguments;
        SetupMode mode;
        const char* path;
    } rows[] = {
        {" /U C:\\Program Files\\Veltrim\\setup.dat ", SetupUninstall,
         "C:\\Program Files\\Veltrim\\setup.dat "},
        {"/u C:\\A B\\setup.dat", SetupRelaunch, "C:\\A B\\setup.dat"},
        {"/Uxpath", SetupUninstall, "path"},
        {"/u", SetupRelaunch, ""},
        {"", SetupInstall, ""},
        {"   ", SetupInstall, ""},
        {"/x", SetupInstall, ""},
        {"/X C:\\setup.dat", SetupInstall, ""},
        {"/", SetupInstall, ""},
        {"setup.dat", SetupInstall, ""},
        {"u /U", SetupInstall, ""},
    };
    for (const auto& row : rows) {
        const SetupCommand command = ParseSetupCommand(row.arguments);
        EXPECT_EQ(command.mode, row.mode) << row.arguments;
        EXPECT_STREQ(command.scriptPath, row.path) << row.arguments;
    }
}

// A section as the profile reader hands it over: lines, each with its zero, and one more zero.
struct Section {
    std::vector<char> buffer = std::vector<char>(ListSectionCapacity, '\0');
    size_t fetched = 0;

    explicit Section(std::initializer_list<std::string> lines) {
        for (const std::string& line : lines) {
            memcpy(buffer.data() + fetched, line.c_str(), line.size() + 1);
            fetched += line.size() + 1;
        }
    }
    std::vector<std::string> Lines() const {
        SectionReader reader = ReadSection(buffer.data(), buffer.size(), fetched);
        std::vector<std::string> lines;
        while (const char* line = NextSectionLine(reader)) {
            lines.push_back(line);
        }
        return lines;
    }
};

TEST(ListSectionTest, LinesAndCutOffSections) {
    Section section({"a=b", "ソ\\=c", "*C:\\dir\\"});
    EXPECT_EQ(section.Lines(), (std::vector<std::string>{"a=b", "ソ\\=c", "*C:\\dir\\"}));
    EXPECT_TRUE(Section({}).Lines().empty());
    // The reader's signal for a section that did not fit: nothing of it is used.
    section.fetched = ListSectionCutOff;
    EXPECT_TRUE(section.Lines().empty());
    // A last line without its zero inside the fetched bytes is not read past.
    Section unterminated({"one", "two"});
    unterminated.fetched -= 1;
    EXPECT_EQ(unterminated.Lines(), (std::vector<std::string>{"one"}));
}

TEST(ListSectionTest, FileLinesSplitAtTheFirstEquals) {
    const std::string side259(259, 's');
    const struct {
        std::string line;
        ListLineStatus status;
        std::string sides; // "destination|source" of a line that was split
    } rows[] = {
        {"%setup%\\\\=vt.dll", ListLineOk, "%setup%\\\\|vt.dll"},
        {"ソフト\\\\=ソ.dll", ListLineOk, "ソフト\\\\|ソ.dll"},
        {"=x", ListLineOk, "|x"},
        {"no separator", ListLineNoSeparator, ""},
        // The source ends at a second "=", and the line says so.
        {"a=b=c", ListLineExtraSeparator, "a|b"},
        {"a==c", ListLineExtraSeparator, "a|"},
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
}

TEST(ListSectionTest, WholeLineCopies) {
    char line[8];
    EXPECT_EQ(CopyListLine("*HKCU", line, sizeof(line), IsLeadCp932), ListLineOk);
    EXPECT_STREQ(line, "*HKCU");
    EXPECT_EQ(CopyListLine("1234567", line, sizeof(line), IsLeadCp932), ListLineOk);
    EXPECT_EQ(CopyListLine("12345678", line, sizeof(line), IsLeadCp932), ListLineTooLong);
    EXPECT_EQ(CopyListLine("123456ソ", line, sizeof(line), IsLeadCp932), ListLineTooLong);
    EXPECT_EQ(CopyListLine("ab\x83", line, sizeof(line), IsLeadCp932), ListLineOk);
    EXPECT_STREQ(line, "ab");
    EXPECT_EQ(CopyListLine("", line, 0, IsLeadCp932), ListLineTooLong);
}

} // namespace
