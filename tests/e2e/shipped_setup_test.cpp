// The shipped i686 installer under the 32-bit Wine in Windows 98 mode, driven from this 64-bit
// program as a user would: an install over a file in use, whose replacement waits in WININIT.INI
// while the restart question comes on the 16-bit path, the band's settings in the shell's
// stand-in, then the uninstall. What the 32-bit regsvr32 wrote is read from the keys of the 32-bit
// programs.
#include "driver.h"
#include "screen_shot.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
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

// The package in a folder of its own, its setup.exe as a machine without msvcrt.dll loads it:
// an import of that DLL, if any, names one that is nowhere. (A DLL override cannot take it away
// here: Wine's own advapi32.dll imports it, and without it no program starts at all.)
std::string WithoutCrtDll(const std::string& dist) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    const std::string folder = std::string(temp) + "vt_no_crt";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string program = FileText(dist + "\\setup.exe");
    for (size_t at = 0; (at = program.find("msvcrt.dll", at)) != std::string::npos;) {
        program[at + 5] = '_';
    }
    WriteFileText(folder + "\\setup.exe", program);
    for (const char* name : {"\\SETUP.DAT", "\\vt.dll"}) {
        EXPECT_TRUE(CopyFileA((dist + name).c_str(), (folder + name).c_str(), FALSE)) << name;
    }
    return folder;
}

// The band's settings dialog, opened by the first command of the band's menu.
HWND OpenSettings(const SetupProcess& host, HWND band) {
    PostMessageA(band, WM_RBUTTONUP, 0, MAKELPARAM(10, 10));
    HWND popup = WaitForChild(host, "#32768");
    EXPECT_NE(popup, nullptr) << "no menu over the band";
    PostMessageA(popup, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(popup, WM_KEYDOWN, VK_RETURN, 0);
    return WaitForAnyWindow("設定");
}

// Selects the candidates in turn, as the arrow keys would, until the dialog shows the key.
bool SelectKey(HWND dialog, const std::string& key) {
    HWND tree = GetDlgItem(dialog, 1000);
    auto next = [&](WPARAM relation, LPARAM item) {
        return SendMessageA(tree, TVM_GETNEXTITEM, relation, item);
    };
    for (LPARAM top = next(TVGN_ROOT, 0); top; top = next(TVGN_NEXT, top)) {
        for (LPARAM item = next(TVGN_CHILD, top); item; item = next(TVGN_NEXT, item)) {
            SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, item);
            if (ItemText(dialog, 1001) == key) {
                return true;
            }
        }
    }
    return false;
}

// The lit (green) pixels of the dialog's preview as the screen shows it, after a wait.
long LitPreviewPixels(HWND dialog) {
    Sleep(3000);
    RECT r;
    GetWindowRect(GetDlgItem(dialog, 1008), &r);
    HDC screen = GetDC(nullptr);
    const std::vector<uint32_t> pixels =
        CapturePixels(screen, r.left, r.top, r.right - r.left, r.bottom - r.top);
    ReleaseDC(nullptr, screen);
    return std::count_if(pixels.begin(), pixels.end(), [](uint32_t c) {
        return (c >> 8 & 0xFF) >= 200 && (c >> 16) < 100 && (c & 0xFF) < 100;
    });
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
    const std::string dist = WithoutCrtDll(ProgramFolder() + VT_SHIPPED_TREE + "\\dist");
    // An earlier setup.dat, held open without sharing as a running program may hold it.
    ASSERT_TRUE(CreateDirectoryA(Folder, nullptr));
    HANDLE held = CreateFileA(InFolder("setup.dat").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    SetCurrentDirectoryA(dist.c_str());
    SetupProcess setup(dist + "\\setup.exe", "");
    SetCurrentDirectoryA(ProgramFolder().c_str());
    HWND intro = WaitForWindow(setup, (std::string(Title) + "のセットアップ").c_str());
    ASSERT_NE(intro, nullptr) << "setup.exe did not start where msvcrt.dll is missing";
    Press(intro, IDOK);
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

    // The installed band in the shell's stand-in, its statistic and one of ours published.
    const std::string statistics = "System\\CurrentControlSet\\Control\\PerfStats\\Enum\\";
    SetRegText(HKEY_LOCAL_MACHINE, statistics + "KERNEL\\CPUUsage", "Name", "CPU");
    SetRegText(HKEY_LOCAL_MACHINE, statistics + "VtLane\\Reads", "Name", "読み取り");
    HKEY data = nullptr;
    const DWORD total = 1000;
    ASSERT_EQ(RegCreateKeyA(HKEY_DYN_DATA, "PerfStats\\StatData", &data), ERROR_SUCCESS);
    RegSetValueExA(data, "VtLane\\Reads", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&total), 4);
    RegCloseKey(data);
    const std::string state = dist + "\\band.bin";
    DeleteFileA(state.c_str());
    SetupProcess host(ProgramFolder() + VT_SHIPPED_TREE + "\\tests\\i686\\bandhost.exe",
                      " /default /state " + state);
    HWND frame = WaitForChild(host, "VeltrimHostFrame");
    HWND band = frame ? WaitForChild(host, "VeltrimClass", frame) : nullptr;
    ASSERT_NE(band, nullptr) << "the installed band is shown";
    // From its menu, the settings: a statistic previewed and ticked, a drive ticked, OK; the
    // band then holds the ticked candidates in tree order. Opened again and cancelled.
    HWND dialog = OpenSettings(host, band);
    ASSERT_NE(dialog, nullptr) << "the settings dialog did not come";
    ASSERT_TRUE(SelectKey(dialog, "VtLane\\Reads"));
    EXPECT_GT(LitPreviewPixels(dialog), 20) << "the statistic at its full scale in the preview";
    Click(dialog, 1002);
    ASSERT_TRUE(SelectKey(dialog, "Drive\\Z:\\"));
    Click(dialog, 1002);
    Press(dialog, IDOK);
    EXPECT_TRUE(WaitForWindowGone(dialog));
    dialog = OpenSettings(host, band);
    ASSERT_NE(dialog, nullptr) << "the settings dialog did not come again";
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
    // The band's list as it kept it: the ticked candidates in tree order.
    const std::string kept = FileText(state);
    size_t at = 0;
    for (const char* key : {"Memory\\Load", "Memory\\AvailPhys", "Drive\\C:\\", "Drive\\Z:\\",
                            "KERNEL\\CPUUsage", "VtLane\\Reads"}) {
        at = kept.find(key, at);
        EXPECT_NE(at, std::string::npos) << key << " in its place";
    }
    DeleteKeyTree(HKEY_LOCAL_MACHINE, (statistics + "VtLane").c_str());
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
