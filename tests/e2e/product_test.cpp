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
const char* const CurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion";

std::string EntryCommand() {
    char value[1024] = "";
    DWORD size = sizeof(value);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, EntryKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return "";
    }
    RegQueryValueExA(key, "UninstallString", nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                     &size);
    RegCloseKey(key);
    return value;
}

BOOL CALLBACK FindBand(HWND window, LPARAM found) {
    char name[64];
    GetClassNameA(window, name, sizeof(name));
    if (lstrcmpA(name, "VeltrimClass") == 0) {
        *reinterpret_cast<bool*>(found) = true;
    }
    return TRUE;
}

bool BandShownBy(HWND host) {
    bool found = false;
    EnumChildWindows(host, FindBand, reinterpret_cast<LPARAM>(&found));
    return found;
}

// The window as the screen shows it, as a PNG beside the test program (for a person to look at).
void Screenshot(HWND window, const char* name) {
    RECT rect;
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    UpdateWindow(window);
    Sleep(200);
    HDC screen = GetDC(nullptr);
    EXPECT_TRUE(WriteScreenPng((ProgramFolder() + name).c_str(), screen, rect.left, rect.top, width,
                               height));
    ReleaseDC(nullptr, screen);
}

HWND HostWindow(const SetupProcess& host) {
    HWND window = WaitForWindow(host, nullptr);
    for (int i = 0; window && i < 100 && !BandShownBy(window); ++i) {
        Sleep(50);
    }
    return window;
}

// Whatever an earlier run left in the install folder.
void RemoveInstallFolder() {
    const char* names[] = {"vt.dll", "setup.bin", "setup.dat"};
    for (const char* name : names) {
        DeleteFileA((std::string(Folder) + "\\" + name).c_str());
    }
    RemoveDirectoryA(Folder);
}

TEST(ProductTest, InstallShowUninstallAndRestart) {
    RemoveInstallFolder();
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, CurrentVersion, 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "ProgramFilesPath", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>("C:\\Program Files"), 17);
    RegCloseKey(key);

    // Install: the opening dialog, the proposed folder, its creation, the completion message.
    {
        // Started from its own folder, as Explorer starts it: the script names vt.dll bare.
        const std::string dist = ProgramFolder() + "dist64";
        SetCurrentDirectoryA(dist.c_str());
        SetupProcess setup(dist + "\\setup.exe", "");
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
    }
    EXPECT_TRUE(Exists(std::string(Folder) + "\\vt.dll"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, ClassKey));
    const std::string command = EntryCommand();
    ASSERT_EQ(command, std::string(Folder) + "\\setup.bin /u " + Folder + "\\setup.dat");

    // The shell's stand-in creates the band from its class id.
    SetupProcess host(ProgramFolder() + "bandhost.exe", " /default");
    HWND hostWindow = HostWindow(host);
    ASSERT_NE(hostWindow, nullptr);
    EXPECT_TRUE(BandShownBy(hostWindow));

    // Uninstall while the band is shown: the prompt; Retry once the host is closed goes on.
    EXPECT_EQ(RunAndWait(command), 0u);
    HWND intro = WaitForAnyWindow((std::string(Title) + "のアンインストール").c_str());
    ASSERT_NE(intro, nullptr);
    DWORD copyId = 0;
    GetWindowThreadProcessId(intro, &copyId);
    HANDLE copy = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, copyId);
    Press(intro, IDOK);
    HWND prompt = WaitForAnyWindow("確認");
    ASSERT_NE(prompt, nullptr);
    EXPECT_NE(MessageText(prompt).find("バンドをタスクバーから取り除いてから"), std::string::npos);
    PostMessageA(hostWindow, WM_CLOSE, 0, 0);
    EXPECT_EQ(host.WaitForExit(), 0u);
    Press(prompt, IDRETRY);
    Answer("再起動", IDNO, "アンインストールを完了するため、Windowsを再起動します。");
    if (copy) {
        if (WaitForSingleObject(copy, 10000) != WAIT_OBJECT_0) {
            TerminateProcess(copy, 1);
        }
        CloseHandle(copy);
    }
    EXPECT_FALSE(Exists(std::string(Folder) + "\\vt.dll"));
    EXPECT_FALSE(Exists(Folder));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, EntryKey));

    // What waits for the restart (the temporary copy that ran the uninstall) goes with it.
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((std::string(temp) + "*.tmp").c_str(), &found);
    int before = 0;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            ++before;
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    EXPECT_GT(before, 0);
    EXPECT_EQ(RunAndWait("wineboot.exe -r"), 0u);
    int after = 0;
    search = FindFirstFileA((std::string(temp) + "*.tmp").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            ++after;
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    EXPECT_LT(after, before);
}

} // namespace
