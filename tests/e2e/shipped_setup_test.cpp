// The shipped i686 installer under the 32-bit Wine in Windows 98 mode, driven from this 64-bit
// program as a user would: an install over a file in use, whose replacement waits in WININIT.INI
// while the restart question comes on the 16-bit path, then the uninstall. What the 32-bit
// regsvr32 wrote is read from the keys of the 32-bit programs.
#include "driver.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <stdio.h>

#include <string>
#include <vector>

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

std::string WindowsFile(const char* name) {
    char windows[MAX_PATH];
    const UINT length = GetWindowsDirectoryA(windows, sizeof(windows));
    return std::string(windows, length < sizeof(windows) ? length : 0) + "\\" + name;
}

std::string FileBytes(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "(missing)";
    }
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    const BOOL ok = ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    return ok ? bytes.substr(0, read) : "(unreadable)";
}

// A value of HKEY_LOCAL_MACHINE; "(missing)" when the key or value is not there.
std::string MachineValue(const char* path, const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return "(missing)";
    }
    char value[1024];
    DWORD size = sizeof(value);
    const LONG result =
        RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && size > 0 ? std::string(value, size - 1) : "(missing)";
}

std::string ShortPath(const std::string& path) {
    char result[MAX_PATH];
    const DWORD length = GetShortPathNameA(path.c_str(), result, sizeof(result));
    return length > 0 && length < sizeof(result) ? std::string(result, length) : path;
}

// The one file of the folder whose name starts so (the installer's temporary names).
std::string FileStarting(const std::string& folder, const char* pattern) {
    const std::vector<std::string> names = FilesMatching(folder + "\\", pattern);
    return names.empty() ? "" : folder + "\\" + names[0];
}

// The restart question, answered No; WININIT.INI's bytes while it was asked are returned. On the
// Windows 98 path (the 16-bit USER loaded and its ExitWindows looked up first) the lines stay in
// WININIT.INI; the NT path would have handed them over and emptied it before asking.
std::string DeclineRestart(const char* text) {
    HWND box = WaitForAnyWindow("再起動");
    if (!box) {
        ADD_FAILURE() << "no restart question";
        return "";
    }
    EXPECT_EQ(MessageText(box), text);
    DWORD processId = 0;
    GetWindowThreadProcessId(box, &processId);
    const std::string wininit = FileBytes(WindowsFile("WININIT.INI"));
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    Press(box, IDNO);
    EXPECT_TRUE(WaitForWindowGone(box));
    if (process) {
        EXPECT_EQ(WaitForSingleObject(process, WaitLimit()), WAIT_OBJECT_0);
        CloseHandle(process);
    }
    return wininit;
}

// A window of that class: top-level of the process, or a child of parent.
HWND WaitForClass(const SetupProcess& process, const char* className, HWND parent) {
    for (DWORD waited = 0; waited < WaitLimit(); waited += 50) {
        HWND window = FindWindowExA(parent, nullptr, className, nullptr);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (window && owner == process.info.dwProcessId) {
            return window;
        }
        if (process.WaitForExit(50) != STILL_ACTIVE) {
            return nullptr;
        }
    }
    return nullptr;
}

// The band's menu in the shell's stand-in, its first command (the settings dialog), the dialog's
// tree filled and Cancel pressed; false when a step did not come.
bool OpenAndCancelSettings(const SetupProcess& host, HWND band) {
    PostMessageA(band, WM_RBUTTONUP, 0, MAKELPARAM(10, 10));
    HWND popup = WaitForClass(host, "#32768", nullptr);
    if (!popup) {
        ADD_FAILURE() << "no menu over the band";
        return false;
    }
    PostMessageA(popup, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(popup, WM_KEYDOWN, VK_RETURN, 0);
    const DWORD asked = GetTickCount();
    HWND dialog = WaitForAnyWindow("設定");
    if (!dialog) {
        ADD_FAILURE() << "the settings dialog did not come";
        return false;
    }
    printf("settings dialog shown after %lu ms\n", GetTickCount() - asked);
    // Categories of resources, memory and drives at least.
    EXPECT_GE(SendDlgItemMessageA(dialog, 1000, TVM_GETCOUNT, 0, 0), 3);
    Press(dialog, IDCANCEL);
    return WaitForWindowGone(dialog);
}

void StartClean() {
    const char* names[] = {"vt.dll", "setup.bin", "setup.dat"};
    for (const char* name : names) {
        DeleteFileA(InFolder(name).c_str());
    }
    RemoveDirectoryA(Folder);
    DeleteFileA(WindowsFile("WININIT.INI").c_str());
    DeleteFileA(WindowsFile("wininit.bak").c_str());
    // Windows 98's value, for both kinds of program: Wine's 32-bit one holds "%ProgramFiles%".
    for (const char* path : {"Software\\Microsoft\\Windows\\CurrentVersion",
                             "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion"}) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExA(key, "ProgramFilesPath", 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>("C:\\Program Files"), 17),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
}

TEST(ShippedSetup, InstallsOverAFileInUseThroughWininitThenUninstalls) {
    ASSERT_NO_FATAL_FAILURE(StartClean());
    const std::string dist = ProgramFolder() + VT_SHIPPED_DIST;
    // An earlier setup.dat, held open without sharing as a running program may hold it.
    ASSERT_TRUE(CreateDirectoryA(Folder, nullptr));
    HANDLE held = CreateFileA(InFolder("setup.dat").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(held, "old", 3, &written, nullptr);

    std::string wininit;
    {
        SetCurrentDirectoryA(dist.c_str());
        SetupProcess setup(dist + "\\setup.exe", "");
        SetCurrentDirectoryA(ProgramFolder().c_str());
        HWND intro = WaitForWindow(setup, (std::string(Title) + "のセットアップ").c_str());
        ASSERT_NE(intro, nullptr);
        Press(intro, IDOK);
        HWND destination = WaitForWindow(setup, "インストール先の選択");
        ASSERT_NE(destination, nullptr);
        EXPECT_EQ(ItemText(destination, 1001), Folder);
        Press(destination, IDOK);
        HWND confirm = WaitForAnyWindow("インストール先の確認");
        ASSERT_NE(confirm, nullptr);
        Press(confirm, IDYES);
        wininit = DeclineRestart("インストールを完了するため、Windowsを再起動します。");
        EXPECT_EQ(setup.WaitForExit(WaitLimit()), 0u);
    }
    // The new setup.dat waits under a temporary name; its line uses the short forms.
    const std::string waiting = FileStarting(Folder, "_stt*");
    ASSERT_FALSE(waiting.empty());
    EXPECT_EQ(wininit, "[rename]\r\n" + ShortPath(InFolder("setup.dat")) + "=" +
                           ShortPath(waiting) + "\r\n");
    EXPECT_EQ(FileBytes(WindowsFile("WININIT.INI")), wininit) << "No leaves it to the restart";
    EXPECT_EQ(FileBytes(InFolder("vt.dll")), FileBytes(dist + "\\vt.dll"));
    EXPECT_EQ(MachineValue(ClassKey, nullptr), InFolder("vt.dll"));
    EXPECT_EQ(MachineValue(ClassKey, "ThreadingModel"), "Apartment");
    const std::string command = MachineValue(EntryKey, "UninstallString");
    EXPECT_EQ(command, "\"" + InFolder("setup.bin") + "\" /u " + InFolder("setup.dat"));

    // The restart carries the line out once the file is free.
    CloseHandle(held);
    EXPECT_EQ(RunAndWait("wineboot.exe -r"), 0u);
    EXPECT_EQ(FileBytes(InFolder("setup.dat")), FileBytes(dist + "\\SETUP.DAT"));
    EXPECT_EQ(FileBytes(WindowsFile("WININIT.INI")), "(missing)");

    // The installed band in the shell's stand-in, its settings dialog opened from its menu.
    SetupProcess host(ProgramFolder() + VT_SHIPPED_BANDHOST, " /default");
    HWND frame = WaitForClass(host, "VeltrimHostFrame", nullptr);
    HWND strip = frame ? WaitForClass(host, "VeltrimHostStrip", frame) : nullptr;
    HWND band = strip ? WaitForClass(host, "VeltrimClass", strip) : nullptr;
    ASSERT_NE(band, nullptr) << "the installed band is shown";
    EXPECT_TRUE(OpenAndCancelSettings(host, band));

    // Uninstall from the list of installed programs while the band is shown: the copy in the
    // temporary folder runs it, asks for the band to go, and leaves itself to the restart.
    EXPECT_EQ(RunAndWait(command, InFolder("setup.bin").c_str()), 0u);
    HWND intro = WaitForAnyWindow((std::string(Title) + "のアンインストール").c_str());
    ASSERT_NE(intro, nullptr);
    Press(intro, IDOK);
    HWND prompt = WaitForAnyWindow("確認");
    ASSERT_NE(prompt, nullptr);
    EXPECT_NE(MessageText(prompt).find("バンドをタスクバーから取り除いてから"), std::string::npos);
    PostMessageA(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(host.WaitForExit(WaitLimit()), 0u);
    Press(prompt, IDRETRY);
    wininit = DeclineRestart("アンインストールを完了するため、Windowsを再起動します。");
    EXPECT_EQ(wininit.rfind("[rename]\r\nNUL=", 0), 0u) << wininit;
    EXPECT_FALSE(GetFileAttributesA(Folder) != INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(MachineValue(ClassKey, nullptr), "(missing)");
    EXPECT_EQ(MachineValue(EntryKey, "UninstallString"), "(missing)");
    EXPECT_EQ(RunAndWait("wineboot.exe -r"), 0u);
    const std::string copy = wininit.substr(14, wininit.find("\r\n", 14) - 14);
    EXPECT_EQ(GetFileAttributesA(copy.c_str()), INVALID_FILE_ATTRIBUTES) << copy;
}

} // namespace
