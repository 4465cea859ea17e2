// The install and uninstall runs of setup.exe end to end, with a script written here: files placed,
// a file in use left to WININIT.INI, the uninstall entry and its command.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "driver.h"

namespace {

const std::string Title = "Veltrim 試験";
const std::string EntryKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + Title;
const char* const SessionManager = "System\\CurrentControlSet\\Control\\Session Manager";
const char* const Prompt = "バンドを閉じてから再試行してください";

// A path as a script writes it: every backslash doubled.
std::string Escaped(const std::string& path) {
    return std::regex_replace(path, std::regex(R"(\\)"), R"(\\)");
}

// Everything that waits for the next start of Windows: WININIT.INI, and what the restart question
// hands over from it to the registry where there is no 16-bit Windows.
std::string Waiting() {
    return FileText(WindowsFile("WININIT.INI")) + "|" +
           RegText(HKEY_LOCAL_MACHINE, SessionManager, "PendingFileRenameOperations");
}

class SetupRunTest : public ::testing::Test {
  protected:
    SetupFolder media{"vt-e2e-media"};
    std::string target = media.path + "target\\";

    // A script that installs a.txt, a file that does not exist and c.txt into the target (the
    // error ends the copying before c.txt), and on uninstall empties the target, keeps the media
    // folder (listed only if empty) and removes its empty subfolder. (Its commands run in the
    // product test, where they register the band; here the pre-delete one cannot start.)
    void SetUp() override {
        Clean();
        WriteFileText(media.path + "a.txt", "first file");
        const std::string src = Escaped(media.path);
        const std::string dst = Escaped(target);
        WriteFileText(
            media.path + "SETUP.DAT",
            "[Info]\r\nTitle=" + Title +
                "\r\n[Uninstall]\r\nRunBeforeDelete=no-such-program.exe\r\nReadyUninstall=" +
                Escaped(ProgramFolder()) + "libready_double.dll,ReadyAfterTwo\r\nPrompt=" + Prompt +
                "\r\n[Install.files]\r\n" + dst + "=" + src + "a.txt\r\n" + dst + "=" + src +
                "missing.txt\r\n" + dst + "=" + src +
                "c.txt\r\n[Uninstall.regs]\r\n*Software\\Veltrim試験\\Kept\r\n"
                "Software\\Veltrim試験\\Gone\r\n[Uninstall.files]\r\n%setup%\\\\\r\n*" +
                src + "\r\n*" + src + "empty\\\\\r\n");
    }
    // What the runs left for the next start of Windows is never carried out.
    void TearDown() override {
        Clean();
    }
    void ForgetRestart() {
        DeleteFileA(WindowsFile("WININIT.INI").c_str());
        SetRegText(HKEY_LOCAL_MACHINE, SessionManager, "PendingFileRenameOperations", nullptr);
    }
    void Clean() {
        ForgetRestart();
        DeleteKeyTree(HKEY_LOCAL_MACHINE, EntryKey.c_str());
        DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Veltrim試験");
        DeleteMatching(target, "*");
        RemoveDirectoryA(target.c_str());
        RemoveDirectoryA((media.path + "empty").c_str());
    }
};

TEST_F(SetupRunTest, InstallOverAFileInUseThenUninstall) {
    // a.txt of an earlier install, held open as a loaded DLL would be, and its setup.dat, which a
    // CD left read-only, as it leaves the new files: each is replaced in place.
    CreateDirectoryA(target.c_str(), nullptr);
    WriteFileText(target + "a.txt", "old file");
    WriteFileText(target + "setup.dat", "old script");
    for (const std::string& file :
         {target + "setup.dat", media.path + "a.txt", media.path + "SETUP.DAT"}) {
        SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
    }
    HANDLE held = CreateFileA((target + "a.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    {
        SetupProcess setup(media.path + "setup.exe", "");
        Answer((Title + "のセットアップ").c_str(), IDOK);
        // The second file's source is missing: its message ends the copying, the run goes on.
        Answer("セットアップエラー", IDOK, "内部エラーのため、セットアップができませんでした");
        Answer("再起動", IDNO, "インストールを完了するため、Windowsを再起動します。");
        EXPECT_EQ(setup.WaitForExit(), 0u);
    }
    // The new a.txt waits under a temporary name, WININIT.INI names both in short form; the third
    // file was never copied.
    const std::vector<std::string> temporary = FilesMatching(target, "_stt*");
    ASSERT_EQ(temporary.size(), 1u);
    EXPECT_EQ(Listing(target), temporary[0] + " a.txt setup.bin setup.dat ");
    EXPECT_EQ(FileText(target + temporary[0]), "first file");
    const std::string waiting = Waiting();
    EXPECT_NE(waiting.find(ShortPath(target + temporary[0])), std::string::npos) << waiting;
    EXPECT_NE(waiting.find(ShortPath(target + "a.txt")), std::string::npos) << waiting;
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, EntryKey, "DisplayName"), Title);
    const std::string command = RegText(HKEY_LOCAL_MACHINE, EntryKey, "UninstallString");
    EXPECT_EQ(command, "\"" + target + "setup.bin\" /u " + target + "setup.dat");

    // For the uninstall to meet: nothing waiting for the restart yet, a key kept for its value,
    // one deleted with its subkeys, the empty folder, a.txt still held.
    ForgetRestart();
    SetRegText(HKEY_CURRENT_USER, "Software\\Veltrim試験\\Kept", "v", "x");
    SetRegText(HKEY_CURRENT_USER, "Software\\Veltrim試験\\Gone\\Sub", "v", "x");
    CreateDirectoryA((media.path + "empty").c_str(), nullptr);
    // The entry's command as Windows runs it (the copy it starts in the temporary folder goes at
    // the restart: the product test), twice: Cancel at the prompt deletes nothing and asks for
    // no restart; then Retry until the readiness function agrees. The pre-delete command that
    // cannot start keeps nothing from going.
    for (bool cancel : {true, false}) {
        EXPECT_EQ(RunAndWait(command, (target + "setup.bin").c_str()), 0u);
        HWND intro = WaitForAnyWindow((Title + "のアンインストール").c_str());
        ASSERT_NE(intro, nullptr);
        SetupProcess copy(intro);
        Press(intro, IDOK);
        Answer("確認", cancel ? IDCANCEL : IDRETRY, Prompt);
        if (!cancel) {
            Answer("確認", IDRETRY, Prompt);
            Answer("再起動", IDNO, "アンインストールを完了するため、Windowsを再起動します。");
        }
        EXPECT_EQ(copy.WaitForExit(), 0u);
        EXPECT_EQ(Exists(target + "setup.dat"), cancel);
    }
    CloseHandle(held);

    // The files are gone (the entry too: the product test), a.txt waits for the restart.
    EXPECT_EQ(Listing(target), "a.txt ");
    EXPECT_NE(Waiting().find(ShortPath(target + "a.txt")), std::string::npos) << Waiting();
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Veltrim試験\\Kept"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Veltrim試験\\Gone"));
    EXPECT_EQ(Listing(media.path), "SETUP.DAT! a.txt! setup.exe ");
    EXPECT_FALSE(Exists(media.path + "empty"));
}

} // namespace
