// The install run, the uninstall run and the relaunch that starts the uninstall from a temporary
// copy of the installer.
#include "setup_state.h"

#include <string.h>

namespace {

const char* const UninstallInfoFailed = "アンインストール情報の書き込みに失敗しました";
const size_t CommandCapacity = 3088;
const size_t ReadinessCapacity = 1284;
const size_t PromptCapacity = 1024;
const size_t FilesEntryCapacity = 520;

// ---- Install -----------------------------------------------------------------------------------

// The folder of the first destination, with its trailing backslash if it was written with one.
bool FirstFolderOf(const char* destination, char* firstFolder) {
    char* filePart = nullptr;
    const DWORD length = GetFullPathNameA(destination, PathCapacity, firstFolder, &filePart);
    if (length == 0 || length >= PathCapacity) {
        firstFolder[0] = '\0';
        return false;
    }
    if (filePart && *filePart && filePart > firstFolder) {
        filePart[-1] = '\0';
    }
    return true;
}

// An Install.files line split at its "=" with both sides expanded; false for a line that is not
// a destination, "=" and a source, or whose sides do not expand.
bool ExpandFileLine(const char* line, char* destination, char* source) {
    char destinationText[PathCapacity];
    char sourceText[PathCapacity];
    if (SplitFileLine(line, destinationText, sizeof(destinationText), sourceText,
                      sizeof(sourceText), IsAnsiLeadByte) != ListLineOk) {
        return false;
    }
    return ExpandScriptText(source, PathCapacity, sourceText) &&
           ExpandScriptText(destination, PathCapacity, destinationText);
}

// Checks that every listed file's paths fit or, placing, copies every listed file; false when
// the check failed, or when none was put in place or a failed write ended the run. Lines that are
// not a destination, "=" and a source, or whose sides do not expand, are passed over.
bool CopyListedFiles(char* firstFolder, bool placing) {
    char list[ListSectionCapacity];
    SectionReader reader = ReadListSection("Install.files", list);
    bool anyCopied = false;
    firstFolder[0] = '\0';
    while (const char* line = NextSectionLine(reader)) {
        char source[PathCapacity];
        char destination[PathCapacity];
        if (!ExpandFileLine(line, destination, source)) {
            continue;
        }
        if (!firstFolder[0] && !FirstFolderOf(destination, firstFolder)) {
            return false;
        }
        EErrorCode error = InternalError;
        if (placing ? !CopyInstallFile(source, destination, &error)
                    : !CopyPathsFit(source, destination)) {
            ShowErrorCode(error);
            // What didn't fit on the disk would not fit on the next file either.
            return placing && anyCopied && error != CopyFailed;
        }
        anyCopied = true;
    }
    return anyCopied;
}

// setup.bin and setup.dat in the install folder. A copy that fails ends the run with its
// message: an uninstall entry would otherwise start a program that is not there.
bool CopyUninstallFiles(const char* binPath, const char* datPath) {
    char ownPath[PathCapacity];
    const DWORD length = GetModuleFileNameA(nullptr, ownPath, sizeof(ownPath));
    if (length == 0 || length >= sizeof(ownPath)) {
        ShowSetupError(UninstallInfoFailed);
        return false;
    }
    // The script this run follows, wherever the current folder is.
    EErrorCode error;
    if (!CopyInstallFile(ownPath, binPath, &error) ||
        !CopyInstallFile(setupState.scriptPath, datPath, &error)) {
        ShowErrorCode(error);
        return false;
    }
    return true;
}

// Relative sources of the script are found beside it, whatever folder setup was started from.
bool EnterScriptFolder() {
    char folder[PathCapacity];
    char* filePart = nullptr;
    const DWORD length = GetFullPathNameA(setupState.scriptPath, sizeof(folder), folder, &filePart);
    if (length == 0 || length >= sizeof(folder) || !filePart) {
        return false;
    }
    *filePart = '\0';
    return SetCurrentDirectoryA(folder) != FALSE;
}

bool WriteUninstallEntry(const char* binPath, const char* datPath) {
    char keyName[PathCapacity * 2];
    HKEY key = nullptr;
    if (!UninstallKeyName(keyName, sizeof(keyName), setupState.title, IsAnsiLeadByte) ||
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        ShowSetupError(UninstallInfoFailed);
        return false;
    }
    // Quoted: the shell starts the entry with its command line as stored, and an install folder
    // with blanks would otherwise end the program name early.
    char command[PathCapacity * 2 + 8];
    wsprintfA(command, "\"%s\" /u %s", binPath, datPath);
    RegSetValueExA(key, "DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(setupState.title),
                   static_cast<DWORD>(strlen(setupState.title) + 1));
    RegSetValueExA(key, "UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(command),
                   static_cast<DWORD>(strlen(command) + 1));
    RegCloseKey(key);
    return true;
}

// Runs the script's command of key, if it has one; false when it could not be started.
bool RunScriptCommand(const ScriptKey& key) {
    char command[CommandCapacity];
    if (!ReadScriptValue(key, command, sizeof(command)) || !command[0]) {
        return true;
    }
    return RunAndWait(command);
}

// ---- Uninstall ---------------------------------------------------------------------------------

// The script's folder into installFolder, without a trailing backslash.
bool ScriptFolder(const char* scriptPath) {
    char* filePart = nullptr;
    const DWORD length =
        GetFullPathNameA(scriptPath, PathCapacity, setupState.installFolder, &filePart);
    if (length == 0 || length >= PathCapacity || !filePart || !*filePart ||
        filePart <= setupState.installFolder) {
        setupState.installFolder[0] = '\0';
        return false;
    }
    filePart[-1] = '\0';
    return true;
}

typedef BOOL(WINAPI* ReadinessFunction)();

// Asks the readiness function until it says yes; false when the user cancels. A readiness DLL
// or export that can't be found lets the run go on.
bool WaitUntilReady() {
    char value[ReadinessCapacity];
    ReadScriptValue(KeyReadyUninstall, value, sizeof(value));
    if (!value[0]) {
        return true;
    }
    const char* exportName = "ReadyUninstall";
    for (char* at = value; *at;) {
        if (*at == ',') {
            *at = '\0';
            if (at[1]) {
                exportName = at + 1;
            }
            break;
        }
        at += (IsAnsiLeadByte(static_cast<unsigned char>(*at)) && at[1]) ? 2 : 1;
    }
    char dllPath[PathCapacity];
    if (!ExpandScriptText(dllPath, sizeof(dllPath), value)) {
        return true;
    }
    char prompt[PromptCapacity];
    ReadScriptValue(KeyPrompt, prompt, sizeof(prompt));
    HMODULE library = LoadLibraryA(dllPath);
    if (!library) {
        return true;
    }
    // Through void*: FARPROC's own signature is not the export's.
    ReadinessFunction ready = reinterpret_cast<ReadinessFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, exportName)));
    bool goOn = true;
    while (ready && !ready()) {
        if (MessageBoxFormat(nullptr, MB_RETRYCANCEL | MB_ICONQUESTION, "確認", "%s", prompt) !=
            IDRETRY) {
            goOn = false;
            break;
        }
    }
    FreeLibrary(library);
    return goOn;
}

void DeleteInstalledFiles() {
    char list[ListSectionCapacity];
    SectionReader reader = ReadListSection("Install.files", list);
    while (const char* line = NextSectionLine(reader)) {
        char source[PathCapacity];
        char destination[PathCapacity];
        if (!ExpandFileLine(line, destination, source) ||
            strlen(destination) + strlen(source) >= PathCapacity) {
            continue;
        }
        char path[PathCapacity];
        wsprintfA(path, "%s%s", destination, source);
        DeleteOrSchedule(path);
    }
}

// Deletes a key with everything below it, leaf first; false when the key stays. Each pass of
// the walk either deletes the child at index (one subkey fewer) or steps past it, so it ends
// even on a key that can be neither opened nor deleted (its parent then stays too).
bool DeleteKeyTree(HKEY parent, const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, name, 0, KEY_READ | KEY_WRITE, &key) == ERROR_SUCCESS) {
        char child[PathCapacity];
        DWORD index = 0;
        for (;;) {
            DWORD size = sizeof(child);
            if (RegEnumKeyExA(key, index, child, &size, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                break;
            }
            if (!DeleteKeyTree(key, child)) {
                ++index;
            }
        }
        RegCloseKey(key);
    }
    return RegDeleteKeyA(parent, name) == ERROR_SUCCESS;
}

bool KeyIsEmpty(const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, name, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    char item[PathCapacity];
    DWORD size = sizeof(item);
    const bool noKeys = RegEnumKeyExA(key, 0, item, &size, nullptr, nullptr, nullptr, nullptr) ==
                        ERROR_NO_MORE_ITEMS;
    size = sizeof(item);
    const bool noValues = RegEnumValueA(key, 0, item, &size, nullptr, nullptr, nullptr, nullptr) ==
                          ERROR_NO_MORE_ITEMS;
    RegCloseKey(key);
    return noKeys && noValues;
}

void DeleteListedKeys() {
    char list[ListSectionCapacity];
    SectionReader reader = ReadListSection("Uninstall.regs", list);
    while (const char* line = NextSectionLine(reader)) {
        char name[PathCapacity];
        if (CopyListLine(line, name, sizeof(name), IsAnsiLeadByte) != ListLineOk) {
            continue;
        }
        const bool onlyIfEmpty = name[0] == '*';
        const char* key = onlyIfEmpty ? name + 1 : name;
        // An empty name would be HKEY_CURRENT_USER itself.
        if (!key[0] || key[0] == '\\') {
            continue;
        }
        if (!onlyIfEmpty) {
            DeleteKeyTree(HKEY_CURRENT_USER, key);
        } else if (KeyIsEmpty(key)) {
            RegDeleteKeyA(HKEY_CURRENT_USER, key);
        }
    }
}

bool IsDotEntry(const char* name) {
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

// Empties a folder (written with its trailing backslash) and removes it; with onlyIfEmpty it is
// removed only when it holds nothing. Subfolders are removed only when they are empty.
void RemoveFolder(const char* folder, bool onlyIfEmpty) {
    char pattern[FilesEntryCapacity + 2];
    wsprintfA(pattern, "%s*", folder);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    bool empty = true;
    do {
        if (IsDotEntry(found.cFileName)) {
            continue;
        }
        empty = false;
        if (onlyIfEmpty) {
            break;
        }
        char entry[FilesEntryCapacity + MAX_PATH];
        wsprintfA(entry, "%s%s", folder, found.cFileName);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            RemoveDirectoryA(entry);
        } else {
            DeleteOrSchedule(entry);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    if (!onlyIfEmpty || empty) {
        RemoveDirectoryA(folder);
    }
}

// The reader walks a buffer that its caller keeps.
void DeleteListedFiles(SectionReader reader) {
    while (const char* line = NextSectionLine(reader)) {
        char text[PathCapacity];
        char entry[FilesEntryCapacity];
        if (CopyListLine(line, text, sizeof(text), IsAnsiLeadByte) != ListLineOk ||
            !ExpandScriptText(entry, sizeof(entry), text) || !entry[0]) {
            continue;
        }
        if (!EndsWithBackslash(entry)) {
            DeleteOrSchedule(entry);
        } else if (entry[0] == '*') {
            RemoveFolder(entry + 1, true);
        } else {
            RemoveFolder(entry, false);
        }
    }
}

void DeleteUninstallEntry() {
    char keyName[PathCapacity * 2];
    if (UninstallKeyName(keyName, sizeof(keyName), setupState.title, IsAnsiLeadByte)) {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyName);
    }
}

void ShowRelaunchError() {
    MessageBoxFormat(nullptr, MB_OK | MB_ICONERROR, "エラー", "%s",
                     "アンインストールに失敗しました。");
}

} // namespace

bool RunInstall() {
    // The value as written decides whether there is a destination dialog.
    char folder[PathCapacity];
    GetPrivateProfileStringA(KeyDefaultInstallFolder.section, KeyDefaultInstallFolder.name, "",
                             folder, sizeof(folder), setupState.scriptPath);
    if (folder[0]) {
        ExpandScriptText(setupState.installFolder, sizeof(setupState.installFolder), folder);
        if (!DestinationDialog()) {
            return false;
        }
    }
    if (!EnterScriptFolder()) {
        ShowErrorCode(InternalError);
        return false;
    }
    // Every path the run writes is checked before the first copy: a path that doesn't fit would
    // stop the run with files placed and nothing to remove them.
    char firstFolder[PathCapacity];
    if (!CopyListedFiles(firstFolder, false)) {
        return false;
    }
    const char* target = setupState.installFolder[0] ? setupState.installFolder : firstFolder;
    char binPath[PathCapacity];
    char datPath[PathCapacity];
    if (!JoinPath(binPath, sizeof(binPath), target, "setup.bin") ||
        !JoinPath(datPath, sizeof(datPath), target, "setup.dat")) {
        ShowSetupError(UninstallInfoFailed);
        return false;
    }
    if (!CopyListedFiles(firstFolder, true) || !CopyUninstallFiles(binPath, datPath) ||
        !WriteUninstallEntry(binPath, datPath)) {
        return false;
    }
    if (!RunScriptCommand(KeyRunAfterCopy)) {
        ShowSetupError("セットアップを完了できませんでした");
        return false;
    }
    if (ReadScriptNumber("Install", "RebootAfterSetup")) {
        setupState.restartNeeded = true;
    }
    return true;
}

bool RunUninstall(const char* scriptPath) {
    if (!ScriptFolder(scriptPath)) {
        MessageBoxFormat(nullptr, MB_OK | MB_ICONERROR, "エラー", "%s",
                         "アンインストール情報が不正です");
        return false;
    }
    if (!WaitUntilReady()) {
        return false;
    }
    // A missing or failing pre-delete command must not keep the product from being removed:
    // what it would have undone (a registration) then points at files that are gone.
    RunScriptCommand(KeyRunBeforeDelete);
    DeleteInstalledFiles();
    DeleteListedKeys();
    // The list is read before the script copy goes.
    char list[ListSectionCapacity];
    SectionReader files = ReadListSection("Uninstall.files", list);
    char path[PathCapacity + 16];
    wsprintfA(path, "%s\\setup.bin", setupState.installFolder);
    DeleteOrSchedule(path);
    wsprintfA(path, "%s\\setup.dat", setupState.installFolder);
    DeleteOrSchedule(path);
    DeleteListedFiles(files);
    DeleteUninstallEntry();
    return true;
}

void RelaunchForUninstall(const char* scriptPath) {
    char ownPath[PathCapacity];
    char tempFolder[PathCapacity];
    char tempFile[PathCapacity];
    // Everything is checked before the temporary file exists: a refusal leaves nothing behind.
    if (strlen(scriptPath) >= PathCapacity) {
        ShowRelaunchError();
        return;
    }
    const DWORD ownLength = GetModuleFileNameA(nullptr, ownPath, sizeof(ownPath));
    const DWORD tempLength = GetTempPathA(sizeof(tempFolder), tempFolder);
    if (ownLength == 0 || ownLength >= sizeof(ownPath) || tempLength == 0 ||
        tempLength >= sizeof(tempFolder) || !GetTempFileNameA(tempFolder, "", 0, tempFile)) {
        ShowRelaunchError();
        return;
    }
    if (!CopyFileA(ownPath, tempFile, FALSE)) {
        RemoveFile(tempFile); // GetTempFileNameA made it
        ShowRelaunchError();
        return;
    }
    ClearReadOnly(tempFile);
    ScheduleRename(tempFile, "NUL");
    // Quoted: a temporary folder with blanks would otherwise start some other program.
    char command[PathCapacity * 2 + 8];
    wsprintfA(command, "\"%s\" /U %s", tempFile, scriptPath);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                        tempFolder, &startup, &process)) {
        ShowRelaunchError();
        return;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}
