// setup.exe: one start, one run. Guard, script, opening dialog, the run, then the completion
// message or the restart question.
#include "setup_state.h"

namespace {

const char* const ScriptName = "SETUP.DAT";

// The named mutex that keeps a second installer from running; closed on every path, never
// released explicitly.
struct InstanceMutex {
    HANDLE handle = nullptr;
    ~InstanceMutex() {
        Close();
    }
    void Close() {
        if (handle) {
            CloseHandle(handle);
            handle = nullptr;
        }
    }
};

bool AcquireInstanceMutex(InstanceMutex& mutex, const char* name) {
    mutex.handle = CreateMutexA(nullptr, TRUE, name);
    if (!mutex.handle) {
        return false;
    }
    const DWORD wait = WaitForSingleObject(mutex.handle, 0);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
        return true;
    }
    mutex.Close();
    return false;
}

bool CopyPath(char* output, const char* path) {
    size_t length = 0;
    while (path[length]) {
        if (length + 1 >= PathCapacity) {
            return false;
        }
        ++length;
    }
    for (size_t i = 0; i <= length; ++i) {
        output[i] = path[i];
    }
    return true;
}

// SETUP.DAT beside the program itself.
bool LocateOwnScript() {
    char module[PathCapacity];
    const DWORD length = GetModuleFileNameA(setupState.instance, module, sizeof(module));
    if (length == 0 || length >= sizeof(module)) {
        return false;
    }
    char* filePart = nullptr;
    const DWORD full =
        GetFullPathNameA(module, sizeof(setupState.scriptPath), setupState.scriptPath, &filePart);
    if (full == 0 || full >= sizeof(setupState.scriptPath) || !filePart) {
        return false;
    }
    const size_t folderLength = static_cast<size_t>(filePart - setupState.scriptPath);
    const size_t nameLength = static_cast<size_t>(lstrlenA(ScriptName));
    if (folderLength + nameLength + 1 > sizeof(setupState.scriptPath)) {
        return false;
    }
    for (size_t i = 0; i <= nameLength; ++i) {
        filePart[i] = ScriptName[i];
    }
    return true;
}

bool LocateScript(const SetupCommand& command) {
    if (command.mode != SetupUninstall) {
        if (LocateOwnScript()) {
            return true;
        }
        ShowSetupError("ローカルドライブ以外からのセットアップはできません");
        return false;
    }
    // The uninstall run could not use an empty or overlong path either: refused before anything.
    if (command.scriptPath[0] && CopyPath(setupState.scriptPath, command.scriptPath)) {
        return true;
    }
    MessageBoxFormat(nullptr, MB_OK | MB_ICONERROR, "エラー", "%s",
                     "アンインストール情報が不正です");
    return false;
}

void ReadOpeningTexts() {
    ReadScriptValue(KeyTitle, setupState.title, sizeof(setupState.title));
    ReadScriptValue(setupState.uninstallMode ? KeyUninstallExplanation : KeyInstallExplanation,
                    setupState.explanation, sizeof(setupState.explanation));
}

// The restart question only when the run left something for the restart.
void EndOfRun(bool succeeded) {
    if (setupState.restartNeeded) {
        RestartWindows(setupState.uninstallMode);
        return;
    }
    HandOverWaitingChanges();
    // A run that failed has said why, or the user stopped it: no word of a finished install.
    if (succeeded && !setupState.uninstallMode) {
        MessageBoxA(nullptr, "インストールが終了しました。", "確認", MB_OK | MB_ICONEXCLAMATION);
    }
}

void GuardedRun(const SetupCommand& command) {
    InstanceMutex mutex;
    if (!AcquireInstanceMutex(mutex, "SETUP##MUTEX")) {
        ShowSetupError("セットアップは２重起動できません");
        return;
    }
    if (!LocateScript(command)) {
        return;
    }
    ReadOpeningTexts();
    if (!IntroDialog()) {
        return;
    }
    const bool succeeded =
        setupState.uninstallMode ? RunUninstall(setupState.scriptPath) : RunInstall();
    EndOfRun(succeeded);
}

// The arguments of the command line. The program's own path, long and short, tells where an
// unquoted program name with blanks ends, as the uninstall entry of an older install has it.
SetupCommand ReadCommandLine() {
    char longPath[PathCapacity] = "";
    char shortPath[PathCapacity] = "";
    const DWORD length = GetModuleFileNameA(nullptr, longPath, sizeof(longPath));
    if (length == 0 || length >= sizeof(longPath)) {
        longPath[0] = '\0';
    }
    const DWORD shortLength =
        longPath[0] ? GetShortPathNameA(longPath, shortPath, sizeof(shortPath)) : 0;
    if (shortLength == 0 || shortLength >= sizeof(shortPath)) {
        shortPath[0] = '\0';
    }
    const char* const ownPaths[] = {longPath, shortPath};
    return ParseSetupCommand(SkipProgramName(GetCommandLineA(), ownPaths, 2, IsAnsiLeadByte));
}

} // namespace

// The process's entry point: no C runtime runs before it, and nothing after ExitProcess.
extern "C" void WINAPI SetupEntry() {
    setupState.instance = GetModuleHandleA(nullptr);
    const SetupCommand command = ReadCommandLine();
    if (command.mode == SetupRelaunch) {
        RelaunchForUninstall(command.scriptPath);
    } else {
        setupState.uninstallMode = command.mode == SetupUninstall;
        GuardedRun(command);
    }
    ExitProcess(0);
}
