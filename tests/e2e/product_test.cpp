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

// Installs dist64 into folder: the opening dialog, the proposed folder (replaced by folder when
// that is another), its creation when it is new, the completion message.
void Install(const std::string& folder, bool screenshots) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, CurrentVersion, 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "ProgramFilesPath", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>("C:\\Program Files"), 17);
    RegCloseKey(key);
    const bool newFolder = !Exists(folder);
    // Started from its own folder, as Explorer starts it: the script names vt.dll bare.
    const std::string dist = ProgramFolder() + "dist64";
    SetCurrentDirectoryA(dist.c_str());
    SetupProcess setup(dist + "\\setup.exe", "");
    SetCurrentDirectoryA(ProgramFolder().c_str());
    HWND intro = WaitForWindow(setup, (std::string(Title) + "のセットアップ").c_str());
    ASSERT_NE(intro, nullptr);
    if (screenshots) {
        Screenshot(intro, "setup_intro.png");
    }
    Press(intro, IDOK);
    HWND destination = WaitForWindow(setup, "インストール先の選択");
    ASSERT_NE(destination, nullptr);
    if (screenshots) {
        Screenshot(destination, "setup_destination.png");
    }
    EXPECT_EQ(ItemText(destination, 1001), Folder);
    SetDlgItemTextA(destination, 1001, folder.c_str());
    Press(destination, IDOK);
    Answer("インストール先の確認", IDYES);
    if (newFolder) {
        Answer("フォルダの作成", IDYES, nullptr, [screenshots](HWND box) {
            if (screenshots) {
                Screenshot(box, "setup_folder_question.png");
            }
        });
    }
    Answer("確認", IDOK, "インストールが終了しました。");
    EXPECT_EQ(setup.WaitForExit(), 0u);
    EXPECT_TRUE(Exists(folder + "\\vt.dll"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, ClassKey));
    // Quoted: Windows starts the entry with its command line exactly as stored.
    EXPECT_EQ(EntryCommand(), "\"" + folder + "\\setup.bin\" /u " + folder + "\\setup.dat");
}

// Starts the uninstall entry as Windows does and lets it run to the restart question; the
// temporary copy that carries out the uninstall is waited for.
void UninstallFromTheEntry(const std::string& folder, HWND bandHost, SetupProcess* host) {
    const std::string program = folder + "\\setup.bin";
    EXPECT_EQ(RunAndWait(EntryCommand(), program.c_str()), 0u);
    HWND intro = WaitForAnyWindow((std::string(Title) + "のアンインストール").c_str());
    ASSERT_NE(intro, nullptr) << "the entry did not start the uninstall";
    DWORD copyId = 0;
    GetWindowThreadProcessId(intro, &copyId);
    HANDLE copy = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, copyId);
    Press(intro, IDOK);
    if (bandHost) {
        // The band is shown: the prompt; Retry once the host is closed goes on.
        HWND prompt = WaitForAnyWindow("確認");
        ASSERT_NE(prompt, nullptr);
        EXPECT_NE(MessageText(prompt).find("バンドをタスクバーから取り除いてから"),
                  std::string::npos);
        PostMessageA(bandHost, WM_CLOSE, 0, 0);
        EXPECT_EQ(host->WaitForExit(), 0u);
        Press(prompt, IDRETRY);
    }
    Answer("再起動", IDNO, "アンインストールを完了するため、Windowsを再起動します。");
    if (copy) {
        if (WaitForSingleObject(copy, 10000) != WAIT_OBJECT_0) {
            TerminateProcess(copy, 1);
        }
        CloseHandle(copy);
    }
}

TEST(ProductTest, InstallShowUninstallAndRestart) {
    RemoveInstallFolder();
    Install(Folder, true);
    ASSERT_FALSE(HasFatalFailure());

    // The shell's stand-in creates the band from its class id.
    SetupProcess host(ProgramFolder() + "bandhost.exe", " /default");
    HWND hostWindow = HostWindow(host);
    ASSERT_NE(hostWindow, nullptr);
    EXPECT_TRUE(BandShownBy(hostWindow));

    // Uninstall while the band is shown.
    UninstallFromTheEntry(Folder, hostWindow, &host);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_FALSE(Exists(std::string(Folder) + "\\vt.dll"));
    EXPECT_FALSE(Exists(Folder));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, EntryKey));

    // What waits for the restart (the temporary copy that ran the uninstall) goes with it.
    const int before = TemporaryFileCount();
    EXPECT_GT(before, 0);
    EXPECT_EQ(RunAndWait("wineboot.exe -r"), 0u);
    const int after = TemporaryFileCount();
    EXPECT_LT(after, before);
}

// The destination dialog takes any existing folder; uninstalling removes what the product put
// there and the folder only when nothing else is left in it.
TEST(ProductTest, UninstallLeavesTheUsersFilesInTheChosenFolder) {
    const std::string folder = "C:\\My Documents";
    const std::string letter = folder + "\\letter.txt";
    CreateDirectoryA(folder.c_str(), nullptr);
    HANDLE file = CreateFileA(letter.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);

    Install(folder, false);
    ASSERT_FALSE(HasFatalFailure());
    UninstallFromTheEntry(folder, nullptr, nullptr);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_TRUE(Exists(letter)) << "the user's file was deleted";
    for (const char* name : {"vt.dll", "setup.bin", "setup.dat"}) {
        EXPECT_FALSE(Exists(folder + "\\" + name)) << name;
    }
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, EntryKey));
    DeleteFileA(letter.c_str());
    RemoveDirectoryA(folder.c_str());
}

} // namespace
