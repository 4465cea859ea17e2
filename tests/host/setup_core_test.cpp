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

class ExpandTextTest : public ::testing::Test {
  protected:
    FakePlatform platform;

    // The expansion of text, or "<failed>".
    std::string Expand(const char* text, size_t capacity = 4096) {
        std::vector<char> output(capacity + 1, '#');
        const ExpandServices services = {IsLeadCp932, FakeLookup, &platform};
        if (!ExpandText(output.data(), capacity, text, services)) {
            return "<failed>";
        }
        // Nothing may be written past the capacity.
        EXPECT_EQ(output[capacity], '#');
        return output.data();
    }
};

TEST_F(ExpandTextTest, EscapesGiveTheByteAfterTheBackslash) {
    EXPECT_EQ(Expand("C:\\\\%winsys%\\\\a"), "C:\\C:\\WINDOWS\\SYSTEM\\a");
    EXPECT_EQ(Expand("a\\b"), "ab");
    EXPECT_EQ(Expand("line\\none\\ttab"), "line\none\ttab");
    // An escaped percent sign is literal and opens no group; the second has no partner.
    EXPECT_EQ(Expand("\\%winsys%"), "%winsys%");
    // A backslash with nothing after it stays (a folder written with a trailing separator).
    EXPECT_EQ(Expand("C:\\\\dir\\"), "C:\\dir\\");
}

TEST_F(ExpandTextTest, KeywordsInAnyCase) {
    platform.installFolder = "D:\\Veltrim";
    EXPECT_EQ(Expand("%WinSys%|%PROGRAM%|%Setup%"),
              "C:\\WINDOWS\\SYSTEM|C:\\Program Files|D:\\Veltrim");
    EXPECT_TRUE(platform.environmentNames.empty());
}

TEST_F(ExpandTextTest, EnvironmentServesUnknownNamesAndEmptyKeywords) {
    platform.environment["TEMP"] = "C:\\TEMP";
    platform.environment["setup"] = "from-environment";
    // Before a run has set the install folder the keyword falls back to the environment.
    EXPECT_EQ(Expand("%TEMP%\\\\x|%setup%"), "C:\\TEMP\\x|from-environment");
    platform.programFiles.clear();
    EXPECT_EQ(Expand("[%program%]"), "[]");
    EXPECT_EQ(platform.environmentNames.back(), "program");
    // An unknown name that is no variable either expands to nothing.
    EXPECT_EQ(Expand("a%NOSUCHNAME%b"), "ab");
}

TEST_F(ExpandTextTest, PercentSignsWithoutAGroup) {
    EXPECT_EQ(Expand("100%"), "100%");
    EXPECT_EQ(Expand("50% off"), "50% off");
    EXPECT_EQ(Expand("a%%b"), "ab");
    EXPECT_EQ(Expand("%%%"), "%");
    // The environment is not asked for an empty name.
    EXPECT_TRUE(platform.environmentNames.empty());
}

TEST_F(ExpandTextTest, EmptyAndOverlongValuesAreDropped) {
    platform.environment["EMPTY"] = "";
    platform.environment["FITS"] = std::string(259, 'f');
    platform.environment["LONG"] = std::string(260, 'l');
    platform.environment["LONGER"] = std::string(1000, 'l');
    EXPECT_EQ(Expand("<%EMPTY%>"), "<>");
    EXPECT_EQ(Expand("<%FITS%>"), "<" + std::string(259, 'f') + ">");
    EXPECT_EQ(Expand("<%LONG%>"), "<>");
    EXPECT_EQ(Expand("<%LONGER%>"), "<>");
    // A name too long for a path buffer is not looked up at all.
    const std::string longName = "%" + std::string(300, 'n') + "%x";
    EXPECT_EQ(Expand(longName.c_str()), "x");
    platform.systemFolder = std::string(300, 's');
    EXPECT_EQ(Expand("<%winsys%>"), "<>");
}

TEST_F(ExpandTextTest, CapacityCountsEveryByteAndTheTerminator) {
    EXPECT_EQ(Expand("abc", 4), "abc");
    EXPECT_EQ(Expand("abc", 3), "<failed>");
    EXPECT_EQ(Expand("a\\nb", 4), "a\nb");
    EXPECT_EQ(Expand("a\\nb", 3), "<failed>");
    // "x" and the 17 bytes of the system folder and the terminator.
    EXPECT_EQ(Expand("x%winsys%", 19), "xC:\\WINDOWS\\SYSTEM");
    EXPECT_EQ(Expand("x%winsys%", 18), "<failed>");
    EXPECT_EQ(Expand("", 1), "");
    EXPECT_EQ(Expand("", 0), "<failed>");
    EXPECT_EQ(Expand("a", 1), "<failed>");
    EXPECT_EQ(Expand("ソ", 2), "<failed>");
    EXPECT_EQ(Expand("ソ", 3), "ソ");
}

TEST_F(ExpandTextTest, DoubleByteCharactersMoveAsAUnit) {
    // 0x83 0x5C: its trail byte is a backslash and must not escape the next byte.
    ASSERT_STREQ("ソ", "\x83\x5C");
    EXPECT_EQ(Expand("C:\\\\ソフト\\\\vt.dll"), "C:\\ソフト\\vt.dll");
    EXPECT_EQ(Expand("ソn"), "ソn");
    // Inside a group name as well: the variable is looked up by its full name.
    platform.environment["ソ"] = "value";
    EXPECT_EQ(Expand("%ソ%|%ソ%%"), "value|value%");
    EXPECT_EQ(platform.environmentNames[0], "ソ");
    // An escaped double-byte character keeps its trail byte.
    EXPECT_EQ(Expand("\\ソx"), "ソx");
    // A lead byte with nothing after it is dropped rather than glued onto later text.
    EXPECT_EQ(Expand("ab\x83"), "ab");
    EXPECT_EQ(Expand("%\x83"), "%");
}

TEST(EnvironmentBlockTest, VariablesByNameInAnyAsciiCase) {
    const char block[] = "=C:=C:\\\0Path=C:\\WINDOWS\0TEMP=C:\\TEMP\0名前=ソフト表示\0EMPTY=\0";
    char value[PathCapacity];
    auto find = [&](const char* name, size_t capacity = sizeof(value)) {
        return FindEnvironmentValue(block, name, value, capacity, IsLeadCp932);
    };
    EXPECT_EQ(find("temp"), 7u);
    EXPECT_STREQ(value, "C:\\TEMP");
    EXPECT_EQ(find("PATH"), 10u);
    // A double-byte value is returned whole, and a double-byte name matches byte for byte.
    EXPECT_EQ(find("名前"), strlen("ソフト表示"));
    EXPECT_STREQ(value, "ソフト表示");
    EXPECT_EQ(find("EMPTY"), 0u);
    EXPECT_EQ(find("TEM"), 0u);
    EXPECT_EQ(find("TEMPX"), 0u);
    EXPECT_EQ(find(""), 0u);
    // The drive entries that start with "=" belong to no name.
    EXPECT_EQ(find("=C:"), 0u);
    // Too long for the buffer: the size it needs, nothing written.
    strcpy(value, "untouched");
    EXPECT_EQ(find("TEMP", 7), 8u);
    EXPECT_STREQ(value, "untouched");
    EXPECT_EQ(find("TEMP", 8), 7u);
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
    SetupCommand command = ParseSetupCommand(" /U C:\\Program Files\\Veltrim\\setup.dat ");
    EXPECT_EQ(command.mode, SetupUninstall);
    // Blanks inside and after the path are part of it.
    EXPECT_STREQ(command.scriptPath, "C:\\Program Files\\Veltrim\\setup.dat ");

    command = ParseSetupCommand("/u C:\\A B\\setup.dat");
    EXPECT_EQ(command.mode, SetupRelaunch);
    EXPECT_STREQ(command.scriptPath, "C:\\A B\\setup.dat");

    // Only two characters are tested; the third is skipped unseen.
    command = ParseSetupCommand("/Uxpath");
    EXPECT_EQ(command.mode, SetupUninstall);
    EXPECT_STREQ(command.scriptPath, "path");
    command = ParseSetupCommand("/u");
    EXPECT_EQ(command.mode, SetupRelaunch);
    EXPECT_STREQ(command.scriptPath, "");

    for (const char* install : {"", "   ", "/x", "/X C:\\setup.dat", "/", "setup.dat", "u /U"}) {
        command = ParseSetupCommand(install);
        EXPECT_EQ(command.mode, SetupInstall) << install;
        EXPECT_STREQ(command.scriptPath, "") << install;
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
    char destination[PathCapacity];
    char source[PathCapacity];
    auto split = [&](const std::string& line) {
        return SplitFileLine(line.c_str(), destination, sizeof(destination), source, sizeof(source),
                             IsLeadCp932);
    };
    EXPECT_EQ(split("%setup%\\\\=vt.dll"), ListLineOk);
    EXPECT_STREQ(destination, "%setup%\\\\");
    EXPECT_STREQ(source, "vt.dll");
    EXPECT_EQ(split("ソフト\\\\=ソ.dll"), ListLineOk);
    EXPECT_STREQ(destination, "ソフト\\\\");
    EXPECT_STREQ(source, "ソ.dll");
    EXPECT_EQ(split("=x"), ListLineOk);
    EXPECT_STREQ(destination, "");
    EXPECT_EQ(split("no separator"), ListLineNoSeparator);
    // The source ends at a second "=", and the line says so.
    EXPECT_EQ(split("a=b=c"), ListLineExtraSeparator);
    EXPECT_STREQ(source, "b");
    EXPECT_EQ(split("a==c"), ListLineExtraSeparator);
    EXPECT_STREQ(source, "");
    // Each side holds at most 259 bytes.
    const std::string side259(259, 's');
    EXPECT_EQ(split(side259 + "=" + side259), ListLineOk);
    EXPECT_EQ(strlen(destination), 259u);
    EXPECT_EQ(strlen(source), 259u);
    EXPECT_EQ(split(side259 + "d=x"), ListLineTooLong);
    EXPECT_EQ(split("x=" + side259 + "s"), ListLineTooLong);
    // A double-byte character that would straddle the limit does not fit.
    EXPECT_EQ(split(std::string(258, 'd') + "ソ=x"), ListLineTooLong);
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
