// The product from its package: setup.exe installs and registers vt.dll, bandhost.exe shows the
// band from its class id, and the uninstall waits for the band to go before it deletes anything.
#include <gtest/gtest.h>

#include <string>

#include "screen_shot.h"
#include "driver.h"

namespace {

const char* const Title = "Veltrim パフォーマンスメーター";
const char* const Folder = "C:\\Program Files\\Veltrim";
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

TEST(ProductTest, InstallShowUninstallAndRestart) {
    const std::string folder = Folder;
    DeleteMatching(folder + "\\", "*");
    RemoveDirectoryA(Folder);
    SetRegText(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion",
               "ProgramFilesPath", "C:\\Program Files");
    // From a CD (every file read-only), typed at a C:\> prompt: the script names vt.dll bare.
    SetupFolder cd("vt-e2e-cd");
    for (const char* name : {"setup.exe", "SETUP.DAT", "vt.dll"}) {
        const std::string file = cd.path + name;
        CopyFileA((ProgramFolder() + "dist64\\" + name).c_str(), file.c_str(), FALSE);
        SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
    }
    SetCurrentDirectoryA("C:\\");
    SetupProcess setup(cd.path + "setup.exe", "");
    SetCurrentDirectoryA(ProgramFolder().c_str());
    HWND intro = WaitForWindow(setup, (std::string(Title) + "のセットアップ").c_str());
    ASSERT_NE(intro, nullptr);
    Screenshot(intro, "setup_intro.png");
    Press(intro, IDOK);
    HWND destination = WaitForWindow(setup, "インストール先の選択");
    ASSERT_NE(destination, nullptr);
    Screenshot(destination, "setup_destination.png");
    EXPECT_EQ(ItemText(destination, 1001), Folder);
    Press(destination, IDOK);
    Answer("インストール先の確認", IDYES);
    Answer("フォルダの作成", IDYES, nullptr,
           [](HWND box) { Screenshot(box, "setup_folder_question.png"); });
    Answer("確認", IDOK, "インストールが終了しました。");
    EXPECT_EQ(setup.WaitForExit(), 0u);
    EXPECT_EQ(Listing(folder + "\\"), "setup.bin setup.dat vt.dll ");
    const std::string shortFolder = ShortPath(folder);
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, ClassKey));

    // The shell's stand-in creates the band from its class id.
    SetupProcess host(ProgramFolder() + "bandhost.exe", " /default");
    HWND frame = WaitForChild(host, "VeltrimHostFrame");
    ASSERT_NE(frame ? WaitForChild(host, "VeltrimClass", frame) : nullptr, nullptr);

    // The uninstall entry started as Windows starts it, while the band is shown: the copy that
    // runs it asks for the band to go, and Retry goes on once the host is closed.
    const std::string command = RegText(HKEY_LOCAL_MACHINE, EntryKey, "UninstallString");
    EXPECT_EQ(RunAndWait(command, (folder + "\\setup.bin").c_str()), 0u);
    HWND uninstall = WaitForAnyWindow((std::string(Title) + "のアンインストール").c_str());
    ASSERT_NE(uninstall, nullptr) << "the entry did not start the uninstall";
    SetupProcess copy(uninstall);
    Press(uninstall, IDOK);
    Answer("確認", IDRETRY, nullptr, [&](HWND prompt) {
        EXPECT_NE(MessageText(prompt).find("バンドをタスクバーから取り除いてから"),
                  std::string::npos);
        PostMessageA(frame, WM_CLOSE, 0, 0);
        EXPECT_EQ(host.WaitForExit(), 0u);
    });
    Answer("再起動", IDNO, "アンインストールを完了するため、Windowsを再起動します。");
    EXPECT_EQ(copy.WaitForExit(), 0u);
    // Deleted at once: no line for the restart.
    EXPECT_FALSE(Exists(Folder));
    EXPECT_EQ(Waiting().find(shortFolder), std::string::npos) << Waiting();
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, EntryKey));

    // What waits for the restart (the temporary copy that ran the uninstall) goes with it.
    const int before = TemporaryFileCount();
    EXPECT_GT(before, 0);
    EXPECT_EQ(RunAndWait("wineboot.exe -r"), 0u);
    EXPECT_LT(TemporaryFileCount(), before);
}

} // namespace
