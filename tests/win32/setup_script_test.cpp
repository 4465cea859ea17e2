// The installer's script reading, expansion lookups and WININIT.INI hand-over against the real
// profile functions, registry and environment.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup_state.h"
#include "win32_test_support.h"

namespace {

const char* const VersionKey = "Software\\Microsoft\\Windows\\CurrentVersion";
const char* const SessionManager = "System\\CurrentControlSet\\Control\\Session Manager";

// Files beside the test program.
std::string Beside(const char* name) {
    return ProgramFolder() + name;
}

class SetupScriptTest : public ::testing::Test {
  protected:
    std::string script = Beside("vt-setup-script.dat");
    std::string wininit = Beside("vt-wininit.ini");
    std::string fileA = Beside("vt-pending-a.tmp");
    std::string fileB = Beside("vt-pending-b.tmp");
    std::vector<char> list = std::vector<char>(ListSectionCapacity);

    void Use(const std::string& content) {
        WriteFileText(script, content);
        lstrcpynA(setupState.scriptPath, script.c_str(), sizeof(setupState.scriptPath));
        setupState.installFolder[0] = '\0';
    }
    // A list section's lines as the reader gives them, each followed by '|'.
    std::string Lines(const char* section) {
        SectionReader reader = ReadListSection(section, list.data());
        std::string lines;
        while (const char* line = NextSectionLine(reader)) {
            lines += std::string(line) + "|";
        }
        return lines;
    }
    void TearDown() override {
        for (const std::string& file : {script, wininit, fileA, fileB}) {
            DeleteFileA(file.c_str());
        }
        SetRegText(HKEY_LOCAL_MACHINE, SessionManager, "PendingFileRenameOperations", nullptr);
        setupState.installFolder[0] = '\0';
    }
};

TEST_F(SetupScriptTest, KeysAndListSectionsReadExpandedOrAsWritten) {
    SetEnvironmentVariableA("VT_SCRIPT_NAME", "ソフト表示");
    Use("[Info]\r\nTitle=%vt_script_name%\\tv1\r\n"
        "[Install]\r\nRebootAfterSetup=7\r\nRunAfterCopy=%WINSYS%\\\\regsvr32.exe /s\r\n"
        "[Uninstall]\r\nPrompt=Close %winsys% \\\\ "
        "now\r\nReadyUninstall=%setup%\\\\vt.dll,Ready\r\n");
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof(system));
    // The prompt and the readiness DLL are used as written; a missing key reads as empty.
    const std::pair<const ScriptKey*, std::string> cases[] = {
        {&KeyTitle, "ソフト表示\tv1"},
        {&KeyRunAfterCopy, std::string(system) + "\\regsvr32.exe /s"},
        {&KeyPrompt, "Close %winsys% \\\\ now"},
        {&KeyReadyUninstall, "%setup%\\\\vt.dll,Ready"},
        {&KeyRunBeforeDelete, ""}};
    char text[3088];
    for (const auto& c : cases) {
        EXPECT_TRUE(ReadScriptValue(*c.first, text, sizeof(text))) << c.second;
        EXPECT_EQ(text, c.second);
    }
    EXPECT_EQ(ReadScriptNumber("Install", "RebootAfterSetup"), 7u);

    // A missing script reads as 0 and no lines (its empty title: the end-to-end tests).
    DeleteFileA(script.c_str());
    EXPECT_EQ(ReadScriptNumber("Install", "RebootAfterSetup"), 0u);
    EXPECT_EQ(Lines("Install.files"), "");

    // An expansion that does not fit leaves no unterminated text.
    Use("[Info]\r\nTitle=" + std::string(300, 't') + "\r\n");
    char title[PathCapacity];
    memset(title, 'x', sizeof(title));
    EXPECT_FALSE(ReadScriptValue(KeyTitle, title, sizeof(title)));
    EXPECT_STREQ(title, "");

    // List sections are read whole, in order with repeats, or not at all.
    Use("[Install.files]\r\n%setup%\\\\=vt.dll\r\nC:\\\\ソフト\\\\=setup.exe\r\n"
        "C:\\\\ソフト\\\\=setup.exe\r\n[Uninstall.regs]\r\n*Software\\\\Veltrim\r\n");
    EXPECT_EQ(Lines("Install.files"),
              "%setup%\\\\=vt.dll|C:\\\\ソフト\\\\=setup.exe|C:\\\\ソフト\\\\=setup.exe|");
    EXPECT_EQ(Lines("Uninstall.regs"), "*Software\\\\Veltrim|");

    // A section larger than the buffer: the reader's cut-off signal, and nothing of it is used.
    std::string big = "[Install.files]\r\n";
    for (int i = 0; i < 1000; ++i) {
        big += "C:\\\\Veltrim\\\\=file" + std::to_string(i) + ".dat\r\n";
    }
    Use(big);
    EXPECT_EQ(GetPrivateProfileSectionA("Install.files", list.data(), ListSectionCapacity,
                                        script.c_str()),
              ListSectionCutOff);
    EXPECT_EQ(Lines("Install.files"), "");
}

TEST_F(SetupScriptTest, KeywordLookupsOfThePlatform) {
    SetRegText(HKEY_LOCAL_MACHINE, VersionKey, "ProgramFilesPath", "C:\\プログラム");
    char text[PathCapacity];
    lstrcpynA(setupState.installFolder, "D:\\Veltrim", sizeof(setupState.installFolder));
    EXPECT_TRUE(ExpandScriptText(text, sizeof(text), "%Program%|%SETUP%"));
    EXPECT_STREQ(text, "C:\\プログラム|D:\\Veltrim");
    // As NT-family Windows keeps it: expanded, never a folder named "%ProgramFiles%".
    SetEnvironmentVariableA("VT_DRIVE", "E:");
    SetRegText(HKEY_LOCAL_MACHINE, VersionKey, "ProgramFilesPath", "%VT_DRIVE%\\Program Files",
               REG_EXPAND_SZ);
    EXPECT_TRUE(ExpandScriptText(text, sizeof(text), "%program%"));
    EXPECT_STREQ(text, "E:\\Program Files");
    SetEnvironmentVariableA("VT_DRIVE", nullptr);

    // Without the value the keyword falls back to an environment variable of that name.
    SetRegText(HKEY_LOCAL_MACHINE, VersionKey, "ProgramFilesPath", nullptr);
    SetEnvironmentVariableA("program", "from-environment");
    EXPECT_TRUE(ExpandScriptText(text, sizeof(text), "%program%"));
    EXPECT_STREQ(text, "from-environment");
    SetEnvironmentVariableA("program", nullptr);
    EXPECT_TRUE(ExpandScriptText(text, sizeof(text), "[%program%]"));
    EXPECT_STREQ(text, "[]");
}

// WININIT.INI's [rename] lines handed over to the platform's pending renames, once; a malformed
// line keeps the section; no file at all is nothing to do.
TEST_F(SetupScriptTest, RenameLinesAreHandedOverAndLeaveTheFile) {
    WriteFileText(fileA, "a");
    WriteFileText(fileB, "b");
    SetRegText(HKEY_LOCAL_MACHINE, SessionManager, "PendingFileRenameOperations", nullptr);
    const std::string target = Beside("vt-pending-target.dll");
    WriteFileText(wininit, "[boot]\r\nx=1\r\n[rename]\r\nNUL=" + fileA + "\r\n" + target + "=" +
                               fileB + "\r\n");
    EXPECT_TRUE(TransferPendingRenames(wininit.c_str()));
    const std::string pending =
        RegText(HKEY_LOCAL_MACHINE, SessionManager, "PendingFileRenameOperations");
    EXPECT_NE(pending.find(fileA + "||"), std::string::npos) << pending;
    EXPECT_NE(pending.find(fileB + "|!\\??\\" + target), std::string::npos) << pending;
    char section[512];
    EXPECT_EQ(GetPrivateProfileSectionA("rename", section, sizeof(section), wininit.c_str()), 0u);
    EXPECT_EQ(GetPrivateProfileIntA("boot", "x", 0, wininit.c_str()), 1u);

    WriteFileText(wininit, "[rename]\r\nNUL=" + fileA + "\r\nnonsense\r\n");
    EXPECT_FALSE(TransferPendingRenames(wininit.c_str()));
    EXPECT_GT(GetPrivateProfileSectionA("rename", section, sizeof(section), wininit.c_str()), 0u);
    DeleteFileA(wininit.c_str());
    EXPECT_TRUE(TransferPendingRenames(wininit.c_str()));
}

} // namespace
