// The product from its package: setup.exe installs and registers vt.dll, bandhost.exe shows the
// band from its class id, and the uninstall waits for the band to go before it deletes anything.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "screen_shot.h"
#include "driver.h"

namespace {

const char* const Title = "Veltrim パフォーマンスメーター";
const char* const Folder = "C:\\Program Files\\Apps\\Veltrim";
const char* const ClassKey = "CLSID\\{11795084-FD2F-4677-BFB5-D3D0E8F3AC67}";
const char* const EntryKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Veltrim パフォーマンスメーター";

// The window as the screen shows it, as a PNG beside the test program (for a person to look at).
void Screenshot(HWND window, const char* name) {
    RECT r;
    GetWindowRect(window, &r);
    UpdateWindow(window);
    Sleep(200);
    HDC screen = GetDC(nullptr);
    EXPECT_TRUE(WriteScreenPng((ProgramFolder() + name).c_str(), screen, r.left, r.top,
                               r.right - r.left, r.bottom - r.top));
    ReleaseDC(nullptr, screen);
}

// setup.exe of the media typed at a C:\> prompt (the script names vt.dll bare), taken through to
// its last question; the first run's windows are kept as screenshots.
void Install(const std::string& media, bool first, bool restart) {
    SetCurrentDirectoryA("C:\\");
    SetupProcess setup(media + "setup.exe", "");
    SetCurrentDirectoryA(ProgramFolder().c_str());
    HWND intro = WaitForWindow(setup, (std::string(Title) + "のセットアップ").c_str());
    ASSERT_NE(intro, nullptr);
    if (first) {
        Screenshot(intro, "setup_intro.png");
    }
    Press(intro, IDOK);
    HWND destination = WaitForWindow(setup, "インストール先の選択");
    ASSERT_NE(destination, nullptr);
    if (first) {
        Screenshot(destination, "setup_destination.png");
    }
    EXPECT_EQ(ItemText(destination, 1001), Folder);
    const bool newFolder = !Exists(Folder);
    Press(destination, IDOK);
    Answer("インストール先の確認", IDYES);
    if (newFolder) {
        Answer("フォルダの作成", IDYES, nullptr,
               [](HWND box) { Screenshot(box, "setup_folder_question.png"); });
    }
    Answer(restart ? "再起動" : "確認", restart ? IDNO : IDOK,
           restart ? "インストールを完了するため、Windowsを再起動します。"
                   : "インストールが終了しました。");
    EXPECT_EQ(setup.WaitForExit(), 0u);
}

// The uninstall entry started as Windows starts it; the copy that runs it shows the opening
// dialog, then the prompt if the band is shown, then the restart question if anything waits.
void Uninstall(const std::function<void(HWND)>& prompt, bool restart) {
    const std::string command = RegText(HKEY_LOCAL_MACHINE, EntryKey, "UninstallString");
    EXPECT_EQ(RunAndWait(command, (std::string(Folder) + "\\setup.bin").c_str()), 0u);
    HWND uninstall = WaitForAnyWindow((std::string(Title) + "のアンインストール").c_str());
    ASSERT_NE(uninstall, nullptr) << "the entry did not start the uninstall";
    SetupProcess copy(uninstall);
    Press(uninstall, IDOK);
    if (prompt) {
        Answer("確認", IDRETRY, nullptr, prompt);
    }
    if (restart) {
        Answer("再起動", IDNO, "アンインストールを完了するため、Windowsを再起動します。");
    }
    EXPECT_EQ(copy.WaitForExit(), 0u);
}

TEST(ProductTest, InstallShowUninstallAndRestart) {
    const std::string folder = Folder;
    DeleteMatching(folder + "\\", "*");
    RemoveDirectoryA(Folder);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, EntryKey);
    // A programs folder not there yet: the first install makes both levels.
    RemoveDirectoryA("C:\\Program Files\\Apps");
    SetRegText(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion",
               "ProgramFilesPath", "C:\\Program Files\\Apps");
    // From a CD: every file read-only, none of the installed ones.
    SetupFolder cd("vt-e2e-cd");
    for (const char* name : {"setup.exe", "SETUP.DAT", "vt.dll"}) {
        CopyFileA((ProgramFolder() + "dist64\\" + name).c_str(), (cd.path + name).c_str(), FALSE);
        SetFileAttributesA((cd.path + name).c_str(), FILE_ATTRIBUTE_READONLY);
    }
    Install(cd.path, true, false);
    EXPECT_EQ(Listing(folder + "\\"), "setup.bin setup.dat vt.dll ");

    // Uninstalled while another program holds vt.dll, installed again once it let go, before the
    // restart: the restart keeps the new vt.dll.
    HMODULE held = LoadLibraryA((folder + "\\vt.dll").c_str());
    ASSERT_NE(held, nullptr);
    Uninstall(nullptr, true);
    FreeLibrary(held);
    Install(cd.path, false, false);
    EXPECT_EQ(RunAndWait("wineboot.exe -r"), 0u);
    EXPECT_TRUE(FileText(folder + "\\vt.dll") == FileText(ProgramFolder() + "dist64\\vt.dll"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, ClassKey));

    // The shell's stand-in creates the band from its class id.
    SetupProcess host(ProgramFolder() + "bandhost.exe", " /default");
    HWND frame = WaitForChild(host, "VeltrimHostFrame");
    ASSERT_NE(frame ? WaitForChild(host, "VeltrimClass", frame) : nullptr, nullptr);

    // An upgrade while the band is shown leaves the new vt.dll to the restart.
    Install(cd.path, false, true);

    // Uninstalled before that restart, while the band is shown: the copy that runs it asks for
    // the band to go, and Retry goes on once the host is closed. The waiting upgrade goes too,
    // and nothing is left for a restart.
    Uninstall(
        [&](HWND prompt) {
            EXPECT_NE(MessageText(prompt).find("バンドをタスクバーから取り除いてから"),
                      std::string::npos);
            PostMessageA(frame, WM_CLOSE, 0, 0);
            EXPECT_EQ(host.WaitForExit(), 0u);
        },
        false);
    EXPECT_FALSE(Exists(Folder));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, EntryKey));

    // What waits for the restart (the temporary copy that ran the uninstall) goes with it, and
    // nothing of the product comes back.
    const int before = TemporaryFileCount();
    EXPECT_GT(before, 0);
    EXPECT_EQ(RunAndWait("wineboot.exe -r"), 0u);
    EXPECT_LT(TemporaryFileCount(), before);
    EXPECT_FALSE(Exists(Folder));
}

} // namespace
