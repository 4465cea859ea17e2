// The installer's script reading and WININIT.INI hand-over against the real profile functions,
// registry and environment.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup_state.h"
#include "win32_test_support.h"

namespace {

const char* const SessionManager = "System\\CurrentControlSet\\Control\\Session Manager";

TEST(SetupScriptTest, KeysAndListSectionsReadExpandedOrAsWritten) {
    const std::string script = ProgramFolder() + "vt-setup-script.dat";
    lstrcpynA(setupState.scriptPath, script.c_str(), sizeof(setupState.scriptPath));
    std::vector<char> list(ListSectionCapacity);
    // A list section's lines as the reader gives them, each followed by '|'.
    auto lines = [&list](const char* section) {
        SectionReader reader = ReadListSection(section, list.data());
        std::string text;
        while (const char* line = NextSectionLine(reader)) {
            text += std::string(line) + "|";
        }
        return text;
    };
    SetEnvironmentVariableA("VT_SCRIPT_NAME", "ソフト表示");
    WriteFileText(script, "[Info]\r\nTitle=%vt_script_name%\\tv1\r\n"
                          "[Install]\r\nRebootAfterSetup=7\r\nRunAfterCopy=%WINSYS%\\\\r.exe /s\r\n"
                          "[Uninstall]\r\nPrompt=Close %winsys% \\\\ now\r\n"
                          "ReadyUninstall=%setup%\\\\vt.dll,Ready\r\n"
                          "[Install.files]\r\n%setup%\\\\=vt.dll\r\nC:\\\\ソフト\\\\=setup.exe\r\n"
                          "C:\\\\ソフト\\\\=setup.exe\r\n");
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof(system));
    // The prompt and the readiness DLL are used as written; a missing key reads as empty. List
    // sections are read whole, in order with repeats.
    const std::pair<const ScriptKey*, std::string> cases[] = {
        {&KeyTitle, "ソフト表示\tv1"},
        {&KeyRunAfterCopy, std::string(system) + "\\r.exe /s"},
        {&KeyPrompt, "Close %winsys% \\\\ now"},
        {&KeyReadyUninstall, "%setup%\\\\vt.dll,Ready"},
        {&KeyRunBeforeDelete, ""}};
    char text[3088];
    for (const auto& c : cases) {
        EXPECT_TRUE(ReadScriptValue(*c.first, text, sizeof(text))) << c.second;
        EXPECT_EQ(text, c.second);
    }
    EXPECT_EQ(ReadScriptNumber("Install", "RebootAfterSetup"), 7u);
    EXPECT_EQ(lines("Install.files"),
              "%setup%\\\\=vt.dll|C:\\\\ソフト\\\\=setup.exe|C:\\\\ソフト\\\\=setup.exe|");

    // An expansion that does not fit leaves no unterminated text.
    WriteFileText(script, "[Info]\r\nTitle=" + std::string(300, 't') + "\r\n");
    char title[PathCapacity];
    memset(title, 'x', sizeof(title));
    EXPECT_FALSE(ReadScriptValue(KeyTitle, title, sizeof(title)));
    EXPECT_STREQ(title, "");

    // A section larger than the buffer: nothing of it is used.
    std::string big = "[Install.files]\r\n";
    for (int i = 0; i < 1000; ++i) {
        big += "C:\\\\Veltrim\\\\=file" + std::to_string(i) + ".dat\r\n";
    }
    WriteFileText(script, big);
    EXPECT_EQ(lines("Install.files"), "");

    // A missing script reads as 0 and no lines (its empty title: the end-to-end tests).
    DeleteFileA(script.c_str());
    EXPECT_EQ(ReadScriptNumber("Install", "RebootAfterSetup"), 0u);
    EXPECT_EQ(lines("Install.files"), "");
}

// WININIT.INI's [rename] lines handed over to the platform's pending renames, once; a malformed
// line keeps the section; no file at all is nothing to do.
TEST(SetupScriptTest, RenameLinesAreHandedOverAndLeaveTheFile) {
    const std::string wininit = ProgramFolder() + "vt-wininit.ini";
    const std::string fileA = ProgramFolder() + "vt-pending-a.tmp";
    const std::string fileB = ProgramFolder() + "vt-pending-b.tmp";
    const std::string target = ProgramFolder() + "vt-pending-target.dll";
    WriteFileText(fileA, "a");
    WriteFileText(fileB, "b");
    SetRegText(HKEY_LOCAL_MACHINE, SessionManager, "PendingFileRenameOperations", nullptr);
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
    for (const std::string& file : {wininit, fileA, fileB}) {
        DeleteFileA(file.c_str());
    }
    EXPECT_TRUE(TransferPendingRenames(wininit.c_str()));
    SetRegText(HKEY_LOCAL_MACHINE, SessionManager, "PendingFileRenameOperations", nullptr);
}

} // namespace
