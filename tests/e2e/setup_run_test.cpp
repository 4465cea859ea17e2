// The install and uninstall runs of setup.exe end to end, with scripts written here: files placed,
// folders asked about, files in use left to WININIT.INI, the uninstall entry and its command.
#include <gtest/gtest.h>

#include <string>

#include "driver.h"

namespace {

const char* const Title = "Veltrim 試験";
const char* const EntryKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Veltrim 試験";
const char* const RegsKey = "Software\\Veltrim試験";

// A path as a script writes it: every backslash doubled.
std::string Escaped(const std::string& path) {
    std::string text;
    for (char c : path) {
        text += c;
        if (c == '\\') {
            text += '\\';
        }
    }
    return text;
}

std::string Short(const std::string& path) {
    char output[MAX_PATH];
    const DWORD length = GetShortPathNameA(path.c_str(), output, sizeof(output));
    return length && length < sizeof(output) ? std::string(output, length) : path;
}

std::string WininitPath() {
    char folder[MAX_PATH];
    GetWindowsDirectoryA(folder, sizeof(folder));
    return std::string(folder) + "\\WININIT.INI";
}

const char* const SessionManager = "System\\CurrentControlSet\\Control\\Session Manager";

// The renames waiting for the next start where the platform keeps them in the registry: the
// restart question hands WININIT.INI's lines over there when there is no 16-bit Windows.
bool PendingRenames(std::string& value) {
    HKEY key = nullptr;
    value.clear();
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SessionManager, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    DWORD size = 0;
    bool found = RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr, nullptr,
                                  &size) == ERROR_SUCCESS;
    if (found && size) {
        value.resize(size);
        RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(&value[0]), &size);
        value.resize(size);
    }
    RegCloseKey(key);
    return found;
}

void RestorePendingRenames(bool existed, const std::string& value) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SessionManager, 0, KEY_SET_VALUE, &key) !=
        ERROR_SUCCESS) {
        return;
    }
    if (existed) {
        RegSetValueExA(key, "PendingFileRenameOperations", 0, REG_MULTI_SZ,
                       reinterpret_cast<const BYTE*>(value.data()),
                       static_cast<DWORD>(value.size()));
    } else {
        RegDeleteValueA(key, "PendingFileRenameOperations");
    }
    RegCloseKey(key);
}

// Everything that waits for the next start of Windows, in WININIT.INI or handed over from it.
std::string Waiting() {
    std::string pending;
    PendingRenames(pending);
    return FileText(WininitPath()) + "|" + pending;
}

std::string EntryValue(const char* name) {
    char value[1024] = "";
    DWORD size = sizeof(value);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, EntryKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return "<no entry>";
    }
    RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return value;
}

// Confirms the opening dialog; the process that shows it, to be waited for (null when none came).
HANDLE PressIntro(const char* run) {
    HWND intro = WaitForAnyWindow((std::string(Title) + run).c_str());
    if (!intro) {
        ADD_FAILURE() << "no opening dialog";
        return nullptr;
    }
    DWORD processId = 0;
    GetWindowThreadProcessId(intro, &processId);
    Press(intro, IDOK);
    return OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId);
}

// Waits for a process started by another one; ends it if it is still there.
void Finish(HANDLE process) {
    if (!process) {
        return;
    }
    if (WaitForSingleObject(process, 10000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "setup did not end";
        TerminateProcess(process, 1);
    }
    CloseHandle(process);
}

class SetupRunTest : public ::testing::Test {
  protected:
    SetupFolder media{"vt-e2e-media"};
    std::string target;
    std::string savedWininit;
    bool hadWininit = false;
    std::string savedPending;
    bool hadPending = false;

    void SetUp() override {
        Transcript().clear();
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        target = std::string(temp) + "vt-e2e-target\\";
        RemoveTarget();
        WriteFileText(media.path + "a.txt", "first file");
        WriteFileText(media.path + "c.txt", "third file");
        CopyFileA((ProgramFolder() + "ready_double.dll").c_str(),
                  (media.path + "ready_double.dll").c_str(), FALSE);
        hadWininit = Exists(WininitPath());
        savedWininit = FileText(WininitPath());
        hadPending = PendingRenames(savedPending);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, EntryKey);
    }
    void TearDown() override {
        if (HasFailure()) {
            printf("%s", Transcript().c_str());
        }
        // What the runs left for the next start of Windows must not be carried out later.
        if (hadWininit) {
            WriteFileText(WininitPath(), savedWininit);
        } else {
            DeleteFileA(WininitPath().c_str());
        }
        RestorePendingRenames(hadPending, savedPending);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, EntryKey);
        DeleteKeyTree(HKEY_CURRENT_USER, RegsKey);
        RemoveTarget();
    }
    void RemoveTarget() const {
        const char* names[] = {"a.txt", "c.txt", "setup.bin", "setup.dat", "ran.txt"};
        for (const char* name : names) {
            DeleteFileA((target + name).c_str());
        }
        DeleteMatching(target, "_stt*");
        RemoveDirectoryA(target.c_str());
    }

    // A script that installs a.txt, a file that does not exist and c.txt into the target, and
    // records RunAfterCopy's run in ran.txt.
    std::string Script(const char* readiness) const {
        const std::string src = Escaped(media.path);
        const std::string dst = Escaped(target);
        return std::string("[Info]\r\nTitle=") + Title +
               "\r\n[Install]\r\nExplanation=試験\r\n"
               "RunAfterCopy=cmd.exe /c copy \"" +
               src + "a.txt\" \"" + dst +
               "ran.txt\"\r\n"
               "[Uninstall]\r\nExplanation=試験の削除\r\nReadyUninstall=" +
               readiness +
               "\r\nPrompt=バンドを閉じてから再試行してください\r\n"
               "RunBeforeDelete=cmd.exe /c del \"" +
               dst +
               "ran.txt\"\r\n"
               "[Install.files]\r\n" +
               dst + "=" + src + "a.txt\r\n" + dst + "=" + src + "missing.txt\r\n" + dst + "=" +
               src +
               "c.txt\r\n"
               "[Uninstall.regs]\r\n*Software\\Veltrim試験\\Kept\r\nSoftware\\Veltrim試験\\Gone\r\n"
               "[Uninstall.files]\r\n%setup%\\\\\r\n";
    }

    // Installs with the script, answering the folder questions No, No, then Yes.
    void Install(const std::string& script, bool folderExists) {
        media.WriteScript(script);
        SetupProcess setup(media.path + "setup.exe", "");
        CloseHandle(PressIntro("のセットアップ"));
        std::string folder = target.substr(0, target.size() - 1);
        if (!folderExists) {
            const std::string question =
                "「" + folder + "」は存在しません。\nこのフォルダを作成しますか？";
            Answer("フォルダの作成", IDNO, question.c_str());
            Answer("インストールの中断", IDNO, "インストールを中断しますか？");
            Answer("フォルダの作成", IDYES, question.c_str());
        }
        // The second file's source is missing: its message, and the run goes on.
        Answer("セットアップエラー", IDOK, "内部エラーのため、セットアップができませんでした");
        if (folderExists) {
            Answer("再起動", IDNO, "インストールを完了するため、Windowsを再起動します。");
        } else {
            Answer("確認", IDOK, "インストールが終了しました。");
        }
        EXPECT_EQ(setup.WaitForExit(), 0u);
    }
};

TEST_F(SetupRunTest, InstallIntoNewFolderThenUninstallFromTheEntry) {
    Install(Script((Escaped(media.path) + "ready_double.dll,ReadyAfterTwo").c_str()), false);
    EXPECT_EQ(FileText(target + "a.txt"), "first file");
    // The error stopped the loop: the third file was never copied.
    EXPECT_FALSE(Exists(target + "c.txt"));
    EXPECT_TRUE(Exists(target + "setup.bin"));
    EXPECT_EQ(FileText(target + "setup.dat"), FileText(media.path + "SETUP.DAT"));
    EXPECT_EQ(FileText(target + "ran.txt"), "first file");
    EXPECT_EQ(EntryValue("DisplayName"), Title);
    const std::string command = EntryValue("UninstallString");
    EXPECT_EQ(command, "\"" + target + "setup.bin\" /u " + target + "setup.dat");

    // Keys for the uninstall to meet: one kept for its value, one deleted with its subkeys.
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Veltrim試験\\Kept", 0, nullptr, 0, KEY_WRITE,
                    nullptr, &key, nullptr);
    RegSetValueExA(key, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
    RegCloseKey(key);
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Veltrim試験\\Gone\\Sub", 0, nullptr, 0, KEY_WRITE,
                    nullptr, &key, nullptr);
    RegCloseKey(key);

    // The entry's command as Windows runs it; a.txt is held open, as a loaded DLL would be.
    const std::string shortA = Short(target + "a.txt");
    HANDLE held = CreateFileA((target + "a.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::string line = command;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA((target + "setup.bin").c_str(), &line[0], nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &process));
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 10000), WAIT_OBJECT_0);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // The copy is listed for deletion before it starts.
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    EXPECT_NE(FileText(WininitPath()).find("NUL=" + Short(temp)), std::string::npos);

    HANDLE copy = PressIntro("のアンインストール");
    Answer("確認", IDRETRY, "バンドを閉じてから再試行してください");
    Answer("確認", IDRETRY, "バンドを閉じてから再試行してください");
    Answer("再起動", IDNO, "アンインストールを完了するため、Windowsを再起動します。");
    Finish(copy);
    CloseHandle(held);

    // RunBeforeDelete ran, the files and the entry are gone, a.txt waits in WININIT.INI.
    EXPECT_FALSE(Exists(target + "ran.txt"));
    EXPECT_FALSE(Exists(target + "setup.bin"));
    EXPECT_FALSE(Exists(target + "setup.dat"));
    EXPECT_TRUE(Exists(target + "a.txt"));
    EXPECT_NE(Waiting().find(shortA), std::string::npos) << Waiting();
    EXPECT_EQ(EntryValue("DisplayName"), "<no entry>");
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Veltrim試験\\Kept"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Veltrim試験\\Gone"));
}

TEST_F(SetupRunTest, FileInUseWaitsForRestartAndCancelKeepsEverything) {
    CreateDirectoryA(target.c_str(), nullptr);
    WriteFileText(target + "a.txt", "old");
    HANDLE held = CreateFileA((target + "a.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Install(Script((Escaped(media.path) + "ready_double.dll,NeverReady").c_str()), true);
    CloseHandle(held);
    EXPECT_EQ(FileText(target + "a.txt"), "old");
    // The new file waits under a temporary name; WININIT.INI names both in short form.
    const std::vector<std::string> waitingFiles = FilesMatching(target, "_stt*");
    ASSERT_EQ(waitingFiles.size(), 1u);
    const std::string temporary = target + waitingFiles[0];
    EXPECT_EQ(waitingFiles[0].size(), 8u);
    EXPECT_EQ(FileText(temporary), "first file");
    const std::string waiting = Waiting();
    EXPECT_NE(waiting.find(Short(temporary)), std::string::npos) << waiting;
    EXPECT_NE(waiting.find(Short(target + "a.txt")), std::string::npos) << waiting;

    // Cancel at the readiness question leaves the product as it is.
    SetupProcess setup(target + "setup.bin", " /U " + target + "setup.dat");
    CloseHandle(PressIntro("のアンインストール"));
    Answer("確認", IDCANCEL, "バンドを閉じてから再試行してください");
    Answer("再起動", IDNO, "アンインストールを完了するため、Windowsを再起動します。");
    EXPECT_EQ(setup.WaitForExit(), 0u);
    EXPECT_TRUE(Exists(target + "a.txt"));
    EXPECT_TRUE(Exists(target + "setup.bin"));
    EXPECT_TRUE(Exists(target + "setup.dat"));
    EXPECT_TRUE(Exists(target + "ran.txt"));
    EXPECT_EQ(EntryValue("DisplayName"), Title);
}

} // namespace
