// The installer's script reading and WININIT.INI hand-over against the real profile functions
// and registry.
#include <gtest/gtest.h>

#include <string>

#include "setup_state.h"
#include "win32_test_support.h"

namespace {

const char* const SessionManager = "System\\CurrentControlSet\\Control\\Session Manager";

TEST(SetupScriptTest, KeysReadAsWrittenOrExpandedWithinTheirBuffer) {
    const std::string script = ProgramFolder() + "vt-setup-script.dat";
    lstrcpynA(setupState.scriptPath, script.c_str(), sizeof(setupState.scriptPath));
    WriteFileText(script, "[Install]\r\nRebootAfterSetup=7\r\n"
                          "[Uninstall]\r\nPrompt=Close %winsys% \\\\ now\r\n");
    // The prompt is shown as written.
    char text[1024];
    EXPECT_TRUE(ReadScriptValue(KeyPrompt, text, sizeof(text)));
    EXPECT_STREQ(text, "Close %winsys% \\\\ now");
    EXPECT_EQ(ReadScriptNumber("Install", "RebootAfterSetup"), 7u);

    // An expansion that does not fit leaves no unterminated text.
    WriteFileText(script, "[Info]\r\nTitle=" + std::string(300, 't') + "\r\n");
    char title[PathCapacity];
    memset(title, 'x', sizeof(title));
    EXPECT_FALSE(ReadScriptValue(KeyTitle, title, sizeof(title)));
    EXPECT_STREQ(title, "");
    DeleteFileA(script.c_str());
}

// WININIT.INI's [rename] lines handed over to the platform's pending renames, once.
TEST(SetupScriptTest, RenameLinesAreHandedOverAndLeaveTheFile) {
    const std::string wininit = ProgramFolder() + "vt-wininit.ini";
    const std::string fileA = ProgramFolder() + "vt-pending-a.tmp";
    const std::string fileB = ProgramFolder() + "vt-pending-b.tmp";
    const std::string target = ProgramFolder() + "vt-pending-target.dll";
    WriteFileText(fileA, "a");
    WriteFileText(fileB, "b");
    SetRegText(HKEY_LOCAL_MACHINE, SessionManager, "PendingFileRenameOperations", nullptr);
    WriteFileText(wininit, "[rename]\r\nNUL=" + fileA + "\r\n" + target + "=" + fileB + "\r\n");
    EXPECT_TRUE(TransferPendingRenames(wininit.c_str()));
    const std::string pending =
        RegText(HKEY_LOCAL_MACHINE, SessionManager, "PendingFileRenameOperations");
    EXPECT_NE(pending.find(fileA + "||"), std::string::npos) << pending;
    EXPECT_NE(pending.find(fileB + "|!\\??\\" + target), std::string::npos) << pending;
    char section[512];
    EXPECT_EQ(GetPrivateProfileSectionA("rename", section, sizeof(section), wininit.c_str()), 0u);
    for (const std::string& file : {wininit, fileA, fileB}) {
        DeleteFileA(file.c_str());
    }
    SetRegText(HKEY_LOCAL_MACHINE, SessionManager, "PendingFileRenameOperations", nullptr);
}

} // namespace
