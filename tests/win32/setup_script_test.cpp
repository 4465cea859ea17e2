// The installer's script reading, WININIT.INI hand-over and install run against the real profile
// functions, registry and disks (drive Q: is a tmpfs of 256 KB for this program: CMakeLists.txt).
#include <gtest/gtest.h>

#include <string>

#include "setup_state.h"
#include "win32_test_support.h"

namespace {

const char* const SessionManager = "System\\CurrentControlSet\\Control\\Session Manager";

TEST(SetupScriptTest, KeysReadAsWrittenOrExpandedWithinTheirBuffer) {
    lstrcpyA(setupState.scriptPath, "Q:\\vt-setup-script.dat");
    WriteFileText(setupState.scriptPath, "[Install]\r\nRebootAfterSetup=7\r\n"
                                         "[Uninstall]\r\nPrompt=Close %winsys% \\\\ now\r\n");
    // The prompt is shown as written.
    char text[1024];
    EXPECT_TRUE(ReadScriptValue(KeyPrompt, text, sizeof(text)));
    EXPECT_STREQ(text, "Close %winsys% \\\\ now");
    EXPECT_EQ(ReadScriptNumber("Install", "RebootAfterSetup"), 7u);

    // An expansion that does not fit leaves no unterminated text.
    WriteFileText(setupState.scriptPath, "[Info]\r\nTitle=" + std::string(300, 't') + "\r\n");
    char title[PathCapacity];
    memset(title, 'x', sizeof(title));
    EXPECT_FALSE(ReadScriptValue(KeyTitle, title, sizeof(title)));
    EXPECT_STREQ(title, "");
}

// WININIT.INI's [rename] lines handed over to the platform's pending renames, once. (Drive Q:
// goes with everything on it when the program ends.)
TEST(SetupScriptTest, RenameLinesAreHandedOverAndLeaveTheFile) {
    const std::string wininit = "Q:\\vt-wininit.ini";
    const std::string fileA = "Q:\\vt-pending-a.tmp";
    const std::string fileB = "Q:\\vt-pending-b.tmp";
    const std::string target = "Q:\\vt-pending-target.dll";
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
    SetRegText(HKEY_LOCAL_MACHINE, SessionManager, "PendingFileRenameOperations", nullptr);
}

// A run that cannot finish places nothing, and a failed copy leaves nothing of itself: in Q:\i,
// each row's answers, then what its folder holds.
TEST(SetupScriptTest, InstallRunsThatCannotFinishPlaceNothing) {
    const std::string tooLong = "Q:\\i\\" + std::string(245, 'L'); // setup.bin would not fit
    SetEnvironmentVariableA("VT_LONG", tooLong.c_str());           // a script line holds 259 bytes
    SetEnvironmentVariableA("VT_BIG", (ProgramFolder() + "win32_setup_script_tests.exe").c_str());
    CreateDirectoryA("Q:\\i", nullptr);
    CreateDirectoryA(tooLong.c_str(), nullptr);
    HANDLE held = CreateFileA("Q:\\i\\big", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const struct {
        std::string line, folder;
        const char *question, *message, *placed;
    } rows[] = {
        // A full disk, with the destination in use and without.
        {"Q:\\\\i\\\\=%VT_BIG%", "Q:\\i\\", nullptr, "原因不明のエラーが発生しました",
         "SETUP.DAT big "},
        {"Q:\\\\i\\\\big=%VT_BIG%", "Q:\\i\\", nullptr, "原因不明のエラーが発生しました",
         "SETUP.DAT big "},
        // A folder level that can't be made: a file has its name.
        {"Q:\\\\i\\\\big\\\\2\\\\=SETUP.DAT", "Q:\\i\\", "フォルダの作成",
         "指定されたフォルダが作成できませんでした", "SETUP.DAT big "},
        {"%VT_LONG%\\\\a.txt=SETUP.DAT", tooLong + "\\", nullptr,
         "アンインストール情報の書き込みに失敗しました", ""},
    };
    lstrcpyA(setupState.scriptPath, "Q:\\i\\SETUP.DAT");
    for (const auto& row : rows) {
        WriteFileText(setupState.scriptPath, "[Install.files]\r\n" + row.line + "\r\n");
        WhileDriven(
            [&] {
                if (row.question) {
                    Answer(row.question, IDYES);
                }
                Answer("セットアップエラー", IDOK, row.message);
            },
            [&] { EXPECT_FALSE(RunInstall()) << row.line; });
        EXPECT_EQ(Listing(row.folder), row.placed) << row.line;
    }
    CloseHandle(held);
}

} // namespace
