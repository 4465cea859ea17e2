// WININIT.INI's rewrite and the short form of paths written into it.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include <string.h>

#include "core/setup_core.h"

namespace {

std::string Rewrite(const std::string& old, const char* to = "C:\\PROG~1\\VT.DLL",
                    const char* from = "C:\\PROG~1\\_STT1A2B") {
    std::vector<char> output(WininitCapacity(old.size(), to, from));
    const size_t length =
        RewriteWininit(old.data(), old.size(), to, from, output.data(), output.size());
    EXPECT_GT(length, 0u);
    return std::string(output.data(), length);
}

TEST(WininitTest, MissingFileGetsHeaderAndLine) {
    EXPECT_EQ(Rewrite(""), "[rename]\r\nC:\\PROG~1\\VT.DLL=C:\\PROG~1\\_STT1A2B\r\n");
}

TEST(WininitTest, LineGoesDirectlyAfterFirstHeaderOtherBytesStay) {
    const std::string old = "[other]\r\na=b\r\n[Rename]\r\nNUL=C:\\X\r\n[rename]\r\ntail";
    EXPECT_EQ(Rewrite(old, "NUL", "C:\\Y"),
              "[other]\r\na=b\r\n[Rename]\r\nNUL=C:\\Y\r\nNUL=C:\\X\r\n[rename]\r\ntail");
}

TEST(WininitTest, AppendsWhenNoHeaderEndsInCrLf) {
    // A header as the very last line without CR LF does not count: a second one follows.
    EXPECT_EQ(Rewrite("a=b\r\n[rename]", "NUL", "C:\\Y"),
              "a=b\r\n[rename]\r\n[rename]\r\nNUL=C:\\Y\r\n");
    EXPECT_EQ(Rewrite("a=b\r\n", "NUL", "C:\\Y"), "a=b\r\n[rename]\r\nNUL=C:\\Y\r\n");
    // A header ended by a bare line feed or a bare carriage return is not the header line.
    EXPECT_EQ(Rewrite("[rename]\n", "NUL", "C:\\Y"), "[rename]\n\r\n[rename]\r\nNUL=C:\\Y\r\n");
    EXPECT_EQ(Rewrite("x\r", "NUL", "C:\\Y"), "x\r\r\n[rename]\r\nNUL=C:\\Y\r\n");
}

TEST(WininitTest, ZeroBytesInPreviousContentAreKept) {
    const std::string old("a\0b\r\n[rename]\r\n\0tail", 20);
    const std::string expected("a\0b\r\n[rename]\r\nNUL=C:\\Y\r\n\0tail", 30);
    EXPECT_EQ(Rewrite(old, "NUL", "C:\\Y"), expected);
    const std::string noHeader("x\0y", 3);
    EXPECT_EQ(Rewrite(noHeader, "NUL", "C:\\Y"),
              std::string("x\0y\r\n[rename]\r\nNUL=C:\\Y\r\n", 25));
}

TEST(WininitTest, TooSmallOutputWritesNothing) {
    char output[8];
    EXPECT_EQ(RewriteWininit("", 0, "NUL", "C:\\Y", output, sizeof(output)), 0u);
}

// Removes the first occurrence of part from text; false when it is not there.
bool Remove(std::string& text, const std::string& part, size_t from = 0) {
    const size_t at = text.find(part, from);
    if (at == std::string::npos) {
        return false;
    }
    text.erase(at, part.size());
    return true;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// The first entry under the first "[rename]" line ending in CR LF, as Windows reads the file.
std::string FirstRenameLine(const std::string& text) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\r', start);
        end = end == std::string::npos ? text.size() : end + 1;
        if (end < text.size() && text[end] == '\n') {
            ++end;
        }
        std::string line = text.substr(start, end - start);
        for (char& c : line) {
            c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        }
        if (line == "[rename]\r\n") {
            // A repeated header opens the same section again.
            const size_t next = text.find("\r\n", end);
            const std::string entry = next == std::string::npos ? "" : text.substr(end, next - end);
            if (entry != "[rename]") {
                return entry;
            }
        }
        start = end;
    }
    return "";
}

// Random contents built from the pieces that matter: headers in any case, CR, LF, zero bytes.
TEST(WininitTest, PropertiesOverRandomContent) {
    const char* const pieces[] = {"[rename]", "[RENAME]",  "\r\n",    "\r", "\n",
                                  "a=b",      "NUL=C:\\Q", "[other]", " ",  "\x83\x5C"};
    std::mt19937 random(1998);
    const std::string line = "C:\\PROG~1\\VT.DLL=C:\\PROG~1\\_STT1A2B";
    for (int round = 0; round < 3000; ++round) {
        std::string old;
        const int count = static_cast<int>(random() % 12);
        for (int i = 0; i < count; ++i) {
            const size_t which = random() % 11;
            old += which == 10 ? std::string(1, '\0') : std::string(pieces[which]);
        }
        const std::string result = Rewrite(old);
        // Exactly one new line, and it is the first line under the first proper header.
        ASSERT_EQ(Count(result, line + "\r\n"), 1u) << round;
        ASSERT_EQ(FirstRenameLine(result), line) << ::testing::PrintToString(old);
        // Removing what was added gives back every previous byte in order.
        std::string back = result;
        ASSERT_TRUE(Remove(back, line + "\r\n"));
        if (back != old) {
            ASSERT_TRUE(Remove(back, "[rename]\r\n", old.size() >= 2 ? old.size() - 2 : 0));
            if (back != old) {
                ASSERT_EQ(back, old + "\r\n") << round;
            }
        }
    }
}

bool IsLeadCp932(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// A disk with 8.3 aliases for some names, as FindFirstFileA reports them.
struct FakeDisk {
    std::map<std::string, std::string> aliases; // full path -> alias ("" when already 8.3)
    std::vector<std::string> lookups;
};

bool FakeAlias(void* context, const char* path, char* alias, size_t capacity) {
    FakeDisk& disk = *static_cast<FakeDisk*>(context);
    disk.lookups.push_back(path);
    auto found = disk.aliases.find(path);
    if (found == disk.aliases.end()) {
        return false;
    }
    snprintf(alias, capacity, "%s", found->second.c_str());
    return true;
}

class ShortPathTest : public ::testing::Test {
  protected:
    FakeDisk disk;
    std::string Short(const char* path, size_t capacity = 260) {
        std::vector<char> output(capacity, '#');
        if (!ToShortPath(output.data(), capacity, path, FakeAlias, &disk, IsLeadCp932)) {
            return "<failed>";
        }
        return output.data();
    }
};

TEST_F(ShortPathTest, ComponentsWithAliasesAreReplaced) {
    disk.aliases["C:\\Program Files"] = "PROGRA~1";
    disk.aliases["C:\\Program Files\\Veltrim Band"] = "never used";
    disk.aliases["C:\\PROGRA~1\\Veltrim Band"] = "VELTRI~1";
    disk.aliases["C:\\PROGRA~1\\VELTRI~1\\vt.dll"] = "";
    EXPECT_EQ(Short("C:\\Program Files\\Veltrim Band\\vt.dll"), "C:\\PROGRA~1\\VELTRI~1\\vt.dll");
    // Each lookup names the path with the components before it already shortened.
    ASSERT_EQ(disk.lookups.size(), 3u);
    EXPECT_EQ(disk.lookups[1], "C:\\PROGRA~1\\Veltrim Band");
}

TEST_F(ShortPathTest, UnknownComponentsStayAndNulPassesThrough) {
    EXPECT_EQ(Short("C:\\New Folder\\x.txt"), "C:\\New Folder\\x.txt");
    EXPECT_EQ(Short("NUL"), "NUL");
    EXPECT_TRUE(disk.lookups.empty() || disk.lookups[0] == "C:\\New Folder");
    EXPECT_EQ(Short("C:\\dir\\"), "C:\\dir\\");
    EXPECT_EQ(Short("C:"), "C:");
}

TEST_F(ShortPathTest, TrailByteBackslashStaysInsideTheComponent) {
    // 0x83 0x5C is one character; the component is looked up whole.
    disk.aliases["C:\\\x83\x5C\x83\x74\x83\x67"] = "SOFUTO~1";
    EXPECT_EQ(Short("C:\\\x83\x5C\x83\x74\x83\x67\\a"), "C:\\SOFUTO~1\\a");
}

TEST_F(ShortPathTest, WildcardsAreNotLookedUp) {
    disk.aliases["C:\\*"] = "WRONG";
    EXPECT_EQ(Short("C:\\*"), "C:\\*");
    EXPECT_TRUE(disk.lookups.empty());
}

TEST_F(ShortPathTest, StaysWithinCapacity) {
    disk.aliases["C:\\Program Files"] = "PROGRA~1";
    // A component that fits only once shortened is still refused: it is copied before lookup.
    EXPECT_EQ(Short("C:\\Program Files", 12), "<failed>");
    EXPECT_EQ(Short("C:\\Program Files", 17), "C:\\PROGRA~1");
    EXPECT_EQ(Short("C:\\abc\\def", 10), "<failed>");
    EXPECT_EQ(Short("C:\\abc\\def", 11), "C:\\abc\\def");
    EXPECT_EQ(Short("NUL", 3), "<failed>");
    EXPECT_EQ(Short("C:", 0), "<failed>");
}

} // namespace
