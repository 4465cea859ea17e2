// The installer's script reading, WININIT.INI hand-over and install run against the real profile
// functions, registry and disks (drive Q: is a full one of 256 KB, see CMakeLists.txt).
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

// A run that cannot finish places nothing, a failed copy leaves nothing of itself, and no copy
// stays read-only: each row's answers, then what its folder holds.
TEST(SetupScriptTest, InstallRunsPlaceAllOrNothing) {
    const std::string media = ProgramFolder() + "vt-media\\";
    const std::string tooLong = media + std::string(250 - media.size(), 'L');
    SetEnvironmentVariableA("VT_LONG", tooLong.c_str()); // a script line holds 259 bytes
    for (const std::string& folder : {media, media + "old", tooLong, std::string("Q:\\held")}) {
        CreateDirectoryA(folder.c_str(), nullptr);
    }
    WriteFileText(media + "big.bin", std::string(300 * 1024, 'b'));
    HANDLE held =
        CreateFileA("Q:\\held\\big.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    for (const std::string& file : {media + "a.txt", media + "old\\a.txt"}) {
        WriteFileText(file, file);
        SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
    }
    const std::string big = "=" + Escaped(media) + "big.bin", a = "=" + Escaped(media) + "a.txt";
    const char* const unknown = "原因不明のエラーが発生しました";
    struct Row {
        std::string line, folder;
        const char *question, *message, *placed;
    } const rows[] = {
        // A full disk, with the destination in use and without.
        {"Q:\\\\" + big, "Q:\\", nullptr, unknown, ""},
        {"Q:\\\\held\\\\" + big, "Q:\\held\\", nullptr, unknown, "big.bin "},
        // Every missing level of a folder, or a level that can't be made (a file has its name).
        {Escaped(media) + "1\\\\2\\\\" + a, media + "1\\2\\", "フォルダの作成", nullptr,
         "a.txt setup.bin setup.dat "},
        {Escaped(media) + "a.txt\\\\2\\\\" + a, media + "a.txt\\2\\", "フォルダの作成",
         "指定されたフォルダが作成できませんでした", ""},
        // setup.bin would not fit in the folder; then an upgrade over a read-only file.
        {"%VT_LONG%\\\\" + a, tooLong + "\\", nullptr,
         "アンインストール情報の書き込みに失敗しました", ""},
        {Escaped(media) + "old\\\\" + a, media + "old\\", nullptr, nullptr,
         "a.txt setup.bin setup.dat "},
    };
    lstrcpyA(setupState.scriptPath, (media + "SETUP.DAT").c_str());
    lstrcpyA(setupState.title, "vt-setup-script");
    for (const Row& row : rows) {
        WriteFileText(media + "SETUP.DAT", "[Install.files]\r\n" + row.line + "\r\n");
        WhileDriven(
            [&] {
                Answer(row.question, IDYES);
                Answer(row.message ? "セットアップエラー" : nullptr, IDOK, row.message);
            },
            [&] { EXPECT_EQ(RunInstall(), !row.message) << row.line; });
        EXPECT_EQ(Listing(row.folder), row.placed) << row.line;
        EXPECT_FALSE(setupState.restartNeeded) << row.line;
    }
    EXPECT_EQ(FileText(media + "old\\a.txt"), media + "a.txt");
    CloseHandle(held);
    SetCurrentDirectoryA(ProgramFolder().c_str());
    DeleteKeyTree(HKEY_LOCAL_MACHINE,
                  "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vt-setup-script");
    for (const std::string& folder : {media + "1\\2", media + "1", media + "old", tooLong, media}) {
        DeleteMatching(folder + "\\", "*");
        RemoveDirectoryA(folder.c_str());
    }
}

} // namespace
