// The shipped i686 installer under the 32-bit Wine in Windows 98 mode, driven from this 64-bit
// program as a user would: an install over a file in use, whose replacement waits in WININIT.INI
// while the restart question comes on the 16-bit path, then the uninstall. What the 32-bit
// regsvr32 wrote is read from the keys of the 32-bit programs.
#include "driver.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

const char* const Title = "Veltrim パフォーマンスメーター";
const char* const Folder = "C:\\Program Files\\Veltrim";
// The 32-bit programs' keys where Wine keeps them, seen from this 64-bit program.
const char* const ClassKey = "Software\\Classes\\Wow6432Node\\CLSID\\"
                             "{11795084-FD2F-4677-BFB5-D3D0E8F3AC67}\\InprocServer32";
const char* const EntryKey =
    "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    "Veltrim パフォーマンスメーター";

std::string InFolder(const char* name) {
    return std::string(Folder) + "\\" + name;
}

// The restart question, answered No; WININIT.INI's bytes after it are returned. On the Windows 98
// path (the 16-bit USER loaded and its ExitWindows looked up first) the lines stay in WININIT.INI
// for the restart; the NT path would have handed them over and emptied it.
std::string DeclineRestart(const char* text) {
    std::unique_ptr<SetupProcess> setup;
    Answer("再起動", IDNO, text, [&](HWND box) { setup.reset(new SetupProcess(box)); });
    EXPECT_TRUE(setup && setup->WaitForExit(WaitLimit()) == 0u) << "setup did not end";
    return FileText(WindowsFile("WININIT.INI"));
}

TEST(ShippedSetup, InstallsOverAFileInUseThroughWininitThenUninstalls) {
    DeleteMatching(InFolder(""), "*");
    RemoveDirectoryA(Folder);
    DeleteFileA(WindowsFile("WININIT.INI").c_str());
    // Windows 98's value, for both kinds of program: Wine's 32-bit one holds "%ProgramFiles%".
    for (const char* path : {"Software\\Microsoft\\Windows\\CurrentVersion",
                             "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion"}) {
        SetRegText(HKEY_LOCAL_MACHINE, path, "ProgramFilesPath", "C:\\Program Files");
    }
    const std::string dist = ProgramFolder() + VT_SHIPPED_TREE + "\\dist";
    // An earlier setup.dat, held open without sharing as a running program may hold it.
    ASSERT_TRUE(CreateDirectoryA(Folder, nullptr));
    HANDLE held = CreateFileA(InFolder("setup.dat").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    SetCurrentDirectoryA(dist.c_str());
    SetupProcess setup(dist + "\\setup.exe", "");
    SetCurrentDirectoryA(ProgramFolder().c_str());
    Answer((std::string(Title) + "のセットアップ").c_str(), IDOK);
    HWND destination = WaitForWindow(setup, "インストール先の選択");
    ASSERT_NE(destination, nullptr);
    EXPECT_EQ(ItemText(destination, 1001), Folder);
    Press(destination, IDOK);
    Answer("インストール先の確認", IDYES);
    std::string wininit = DeclineRestart("インストールを完了するため、Windowsを再起動します。");
    // The new setup.dat waits under a temporary name; its line uses the short forms.
    const std::vector<std::string> waiting = FilesMatching(InFolder(""), "_stt*");
    ASSERT_EQ(waiting.size(), 1u);
    EXPECT_EQ(wininit, "[rename]\r\n" + ShortPath(InFolder("setup.dat")) + "=" +
                           ShortPath(InFolder(waiting[0].c_str())) + "\r\n");
    EXPECT_EQ(FileText(InFolder("vt.dll")), FileText(dist + "\\vt.dll"));
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, ClassKey, nullptr), InFolder("vt.dll"));
    const std::string command = RegText(HKEY_LOCAL_MACHINE, EntryKey, "UninstallString");
    EXPECT_EQ(command, "\"" + InFolder("setup.bin") + "\" /u " + InFolder("setup.dat"));

    // The restart carries the line out once the file is free.
    CloseHandle(held);
    EXPECT_EQ(RunAndWait("wineboot.exe -r"), 0u);
    EXPECT_EQ(FileText(InFolder("setup.dat")), FileText(dist + "\\SETUP.DAT"));
    EXPECT_FALSE(Exists(WindowsFile("WININIT.INI")));

    // The installed band in the shell's stand-in.
    SetupProcess host(ProgramFolder() + VT_SHIPPED_TREE + "\\tests\\i686\\bandhost.exe",
                      " /default");
    HWND frame = WaitForChild(host, "VeltrimHostFrame");
    HWND band = frame ? WaitForChild(host, "VeltrimClass", frame) : nullptr;
    ASSERT_NE(band, nullptr) << "the installed band is shown";
    // Its menu's first command opens the settings dialog.
    PostMessageA(band, WM_RBUTTONUP, 0, MAKELPARAM(10, 10));
    HWND popup = WaitForChild(host, "#32768");
    ASSERT_NE(popup, nullptr) << "no menu over the band";
    PostMessageA(popup, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(popup, WM_KEYDOWN, VK_RETURN, 0);
    HWND dialog = WaitForAnyWindow("設定");
    ASSERT_NE(dialog, nullptr) << "the settings dialog did not come";
    Press(dialog, IDCANCEL);
    EXPECT_TRUE(WaitForWindowGone(dialog));

    // Uninstall from the list of installed programs while the band is shown: the copy in the
    // temporary folder runs it, asks for the band to go, and leaves itself to the restart.
    EXPECT_EQ(RunAndWait(command, InFolder("setup.bin").c_str()), 0u);
    std::unique_ptr<SetupProcess> uninstall;
    Answer((std::string(Title) + "のアンインストール").c_str(), IDOK, nullptr,
           [&](HWND intro) { uninstall.reset(new SetupProcess(intro)); });
    Answer("確認", IDRETRY, nullptr, [&](HWND prompt) {
        EXPECT_NE(MessageText(prompt).find("バンドをタスクバーから取り除いてから"),
                  std::string::npos);
        PostMessageA(frame, WM_CLOSE, 0, 0);
        EXPECT_EQ(host.WaitForExit(WaitLimit()), 0u);
    });
    // Everything could go at once: no restart question; only the copy's own line waits.
    EXPECT_TRUE(uninstall && uninstall->WaitForExit(WaitLimit()) == 0u) << "setup did not end";
    wininit = FileText(WindowsFile("WININIT.INI"));
    EXPECT_EQ(wininit.rfind("[rename]\r\nNUL=", 0), 0u) << wininit;
    EXPECT_FALSE(Exists(Folder));
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, ClassKey, nullptr), "(missing)");
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, EntryKey, "UninstallString"), "(missing)");
    EXPECT_EQ(RunAndWait("wineboot.exe -r"), 0u);
    const std::string copy = wininit.substr(14, wininit.find("\r\n", 14) - 14);
    EXPECT_FALSE(Exists(copy)) << copy;
}

} // namespace
