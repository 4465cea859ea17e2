// Placing files: the copy with its folder questions and in-use fallback, WININIT.INI and paths.
#include "setup_state.h"

#include <string.h>

namespace {

// The largest WININIT.INI that is read; a bigger one is left alone rather than half handled.
const DWORD LargestWininit = 4 * 1024 * 1024;

bool FullPath(const char* path, char* output, char** filePart) {
    *filePart = nullptr;
    const DWORD length = GetFullPathNameA(path, PathCapacity, output, filePart);
    return length != 0 && length < PathCapacity;
}

bool DiskAlias(void*, const char* path, char* alias, size_t capacity) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    FindClose(search);
    lstrcpynA(alias, found.cAlternateFileName, static_cast<int>(capacity));
    return true;
}

bool WriteAll(HANDLE file, const char* bytes, DWORD size) {
    DWORD written = 0;
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) != 0) {
        return false;
    }
    if (size && (!WriteFile(file, bytes, size, &written, nullptr) || written != size)) {
        return false;
    }
    return SetEndOfFile(file) != FALSE;
}

// The whole previous content of the open file into a heap block (null with size 0 for an empty
// file). False when it can't be read in full: the caller must then leave the file alone.
bool ReadWhole(HANDLE file, char** content, DWORD* size) {
    *content = nullptr;
    *size = GetFileSize(file, nullptr);
    if (*size == INVALID_FILE_SIZE || *size > LargestWininit) {
        return false;
    }
    if (*size == 0) {
        return true;
    }
    *content = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, *size));
    if (!*content) {
        return false;
    }
    DWORD read = 0;
    if (!ReadFile(file, *content, *size, &read, nullptr) || read != *size) {
        HeapFree(GetProcessHeap(), 0, *content);
        *content = nullptr;
        return false;
    }
    return true;
}

char* NewBlock(size_t size) {
    return static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, size));
}

void FreeBlock(char* block) {
    if (block) {
        HeapFree(GetProcessHeap(), 0, block);
    }
}

// Rewrites the open WININIT.INI as the change says, or leaves it as it was (also when a write
// fails). True when it was rewritten; *temporaries (a heap block) then lists the temporary files
// of the replacements that went.
bool RewriteOpenWininit(HANDLE file, const WaitingChange& change, char** temporaries) {
    char* old = nullptr;
    DWORD oldSize = 0;
    if (!ReadWhole(file, &old, &oldSize)) {
        return false;
    }
    WaitingOutput output = {};
    output.capacity = WininitCapacity(oldSize, change);
    output.text = NewBlock(output.capacity);
    output.temporaries = NewBlock(oldSize + 1);
    bool rewritten = false;
    if (output.text && output.temporaries &&
        RewriteWininit(old, oldSize, change, IsAnsiLeadByte, output) &&
        (change.toPath || output.dropped)) {
        rewritten = WriteAll(file, output.text, static_cast<DWORD>(output.length));
        if (!rewritten) {
            WriteAll(file, old, oldSize);
        }
    }
    FreeBlock(output.text);
    FreeBlock(old);
    *temporaries = rewritten ? output.temporaries : nullptr;
    if (!rewritten) {
        FreeBlock(output.temporaries);
    }
    return rewritten;
}

// The temporary files of replacements that no longer wait; one that can't go now goes at the
// next start of Windows.
void DeleteTemporaries(char* list) {
    for (const char* at = list; at && *at; at += strlen(at) + 1) {
        if (!DeleteFileA(at) && GetFileAttributesA(at) != INVALID_FILE_ATTRIBUTES) {
            ScheduleRename(at, "NUL");
        }
    }
    FreeBlock(list);
}

// Where WININIT.INI's lines were handed over to the platform (NT-family Windows), the pending
// renames that the change drops go from there too.
void DropHandedOverRenames(const WaitingChange& change) {
    const char* const name = "PendingFileRenameOperations";
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
        return;
    }
    DWORD type = 0;
    DWORD size = 0;
    char* old = nullptr;
    WaitingOutput output = {};
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        type == REG_MULTI_SZ && size > 0 && size <= LargestWininit) {
        old = NewBlock(size);
        output.capacity = size + 3;
        output.text = NewBlock(output.capacity);
        output.temporaries = NewBlock(size + 1);
    }
    if (old && output.text && output.temporaries &&
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(old), &size) ==
            ERROR_SUCCESS &&
        DropPendingRenames(old, size, change, IsAnsiLeadByte, output) && output.dropped &&
        (output.length ? RegSetValueExA(key, name, 0, REG_MULTI_SZ,
                                        reinterpret_cast<const BYTE*>(output.text),
                                        static_cast<DWORD>(output.length))
                       : RegDeleteValueA(key, name)) == ERROR_SUCCESS) {
        DeleteTemporaries(output.temporaries);
        output.temporaries = nullptr;
    }
    RegCloseKey(key);
    FreeBlock(old);
    FreeBlock(output.text);
    FreeBlock(output.temporaries);
}

// Changes what waits for the next start of Windows as a WaitingChange on these paths says; true
// when WININIT.INI was rewritten.
bool ChangeWaiting(const char* path, const char* toPath, const char* fromPath) {
    char windows[PathCapacity];
    const UINT length = GetWindowsDirectoryA(windows, sizeof(windows));
    char wininit[PathCapacity];
    if (length == 0 || length >= sizeof(windows) ||
        !JoinPath(wininit, sizeof(wininit), windows, "WININIT.INI")) {
        return false;
    }
    // A line with a cut path would rename the wrong file: no change then.
    char shortPath[PathCapacity];
    char shortTo[PathCapacity];
    char shortFrom[PathCapacity];
    if (!ToShortPath(shortPath, sizeof(shortPath), path) ||
        (toPath && (!ToShortPath(shortTo, sizeof(shortTo), toPath) ||
                    !ToShortPath(shortFrom, sizeof(shortFrom), fromPath)))) {
        return false;
    }
    const WaitingChange change = {shortPath, toPath ? shortTo : nullptr, shortFrom};
    DropHandedOverRenames(change);
    // One handle, unshared, from the read to the last write: nobody changes it in between. Only
    // a line to add creates the file.
    HANDLE file = CreateFileA(wininit, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              toPath ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    char* temporaries = nullptr;
    const bool rewritten = RewriteOpenWininit(file, change, &temporaries);
    CloseHandle(file);
    DeleteTemporaries(temporaries);
    return rewritten;
}

// The folder of a full file path. A file in a drive's root gives the root with its backslash,
// so that the folder test looks at the drive and not at its current folder.
void FolderOf(const char* fullPath, const char* filePart, char* folder) {
    size_t length = static_cast<size_t>(filePart - fullPath);
    if (length > 0) {
        --length;
    }
    if (length == 0 || fullPath[length - 1] == ':') {
        ++length;
    }
    memcpy(folder, fullPath, length);
    folder[length] = '\0';
}

// Creates every missing level of a full folder path; false when the folder is not there after.
bool CreateFolderLevels(char* folder) {
    // From after the drive's root on: each level in turn, those that exist refuse quietly.
    for (char* at = folder + 3; *at;) {
        if (*at == '\\') {
            *at = '\0';
            CreateDirectoryA(folder, nullptr);
            *at = '\\';
        }
        at += (IsAnsiLeadByte(static_cast<unsigned char>(*at)) && at[1]) ? 2 : 1;
    }
    CreateDirectoryA(folder, nullptr);
    const DWORD attributes = GetFileAttributesA(folder);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Makes sure the folder exists, asking the user before creating it; false (with the code to
// show) when it is not there to copy into.
bool EnsureFolder(char* folder, EErrorCode* error) {
    *error = FolderNotCreated;
    for (;;) {
        const DWORD attributes = GetFileAttributesA(folder);
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        }
        if (MessageBoxFormat(nullptr, MB_YESNO | MB_ICONQUESTION, "フォルダの作成",
                             "「%s」は存在しません。\nこのフォルダを作成しますか？",
                             folder) == IDYES) {
            return CreateFolderLevels(folder);
        }
        if (MessageBoxFormat(nullptr, MB_YESNO | MB_ICONERROR, "インストールの中断", "%s",
                             "インストールを中断しますか？") == IDYES) {
            return false;
        }
    }
}

// A name "_stt" and four hex digits that no file in the folder has yet; false when none is free.
bool FreeTemporaryName(const char* folder, char* path) {
    for (DWORD i = 0; i < 0x10000; ++i) {
        char name[16];
        wsprintfA(name, "_stt%04x", (GetTickCount() + i) & 0xFFFF);
        if (!JoinPath(path, PathCapacity, folder, name)) {
            return false;
        }
        if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
            return true;
        }
    }
    return false;
}

// The full paths of a copy (a destination folder gets the source's name); false when either
// can't be resolved or doesn't fit.
bool ResolveCopy(const char* source, const char* destination, char* fullSource,
                 char* fullDestination, char** destinationName) {
    char* sourceName = nullptr;
    if (!FullPath(source, fullSource, &sourceName) || !sourceName || !*sourceName ||
        !FullPath(destination, fullDestination, destinationName)) {
        return false;
    }
    if (*destinationName && **destinationName) {
        return true;
    }
    char named[PathCapacity];
    if (strlen(destination) + strlen(sourceName) >= sizeof(named)) {
        return false;
    }
    wsprintfA(named, "%s%s", destination, sourceName);
    return FullPath(named, fullDestination, destinationName) && *destinationName;
}

} // namespace

bool EndsWithBackslash(const char* path) {
    bool last = false;
    for (const char* at = path; *at;) {
        last = *at == '\\';
        at += (IsAnsiLeadByte(static_cast<unsigned char>(*at)) && at[1]) ? 2 : 1;
    }
    return last;
}

bool JoinPath(char* output, size_t capacity, const char* folder, const char* name) {
    char full[PathCapacity];
    char* filePart = nullptr;
    if (!FullPath(folder, full, &filePart)) {
        return false;
    }
    const char* separator = EndsWithBackslash(full) ? "" : "\\";
    if (strlen(full) + strlen(separator) + strlen(name) >= capacity) {
        return false;
    }
    wsprintfA(output, "%s%s%s", full, separator, name);
    return true;
}

bool ToShortPath(char* output, size_t capacity, const char* path) {
    return ToShortPath(output, capacity, path, DiskAlias, nullptr, IsAnsiLeadByte);
}

void ScheduleRename(const char* fromPath, const char* toPath) {
    const bool deletes = lstrcmpiA(toPath, "NUL") == 0;
    if (ChangeWaiting(deletes ? fromPath : toPath, toPath, fromPath)) {
        setupState.restartNeeded = true;
    }
}

void ForgetWaitingChanges(const char* path) {
    ChangeWaiting(path, nullptr, nullptr);
}

bool CopyPathsFit(const char* source, const char* destination) {
    char fullSource[PathCapacity];
    char fullDestination[PathCapacity];
    char* destinationName = nullptr;
    return ResolveCopy(source, destination, fullSource, fullDestination, &destinationName);
}

void ClearReadOnly(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        const DWORD rest = attributes & ~FILE_ATTRIBUTE_READONLY;
        SetFileAttributesA(path, rest ? rest : FILE_ATTRIBUTE_NORMAL);
    }
}

bool RemoveFile(const char* path) {
    ClearReadOnly(path);
    return DeleteFileA(path) != FALSE;
}

bool CopyInstallFile(const char* source, const char* destination, EErrorCode* error) {
    *error = InternalError;
    char fullSource[PathCapacity];
    char fullDestination[PathCapacity];
    char* destinationName = nullptr;
    // A source that isn't there is the script's fault, not the disk's: the destination stays.
    if (!ResolveCopy(source, destination, fullSource, fullDestination, &destinationName) ||
        GetFileAttributesA(fullSource) == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    char folder[PathCapacity];
    FolderOf(fullDestination, destinationName, folder);
    if (!EnsureFolder(folder, error)) {
        return false;
    }
    *error = InternalError;
    // A read-only destination (an earlier install from a CD) is replaced in place.
    ClearReadOnly(fullDestination);
    if (CopyFileA(fullSource, fullDestination, FALSE)) {
        ClearReadOnly(fullDestination);
        ForgetWaitingChanges(fullDestination);
        return true;
    }
    // Only a file in use waits for the restart; any other failure (a full disk) takes away what
    // the copy wrote.
    const DWORD failure = GetLastError();
    if (failure != ERROR_SHARING_VIOLATION && failure != ERROR_ACCESS_DENIED) {
        RemoveFile(fullDestination);
        *error = CopyFailed;
        return false;
    }
    char temporary[PathCapacity];
    if (!FreeTemporaryName(folder, temporary)) {
        return false;
    }
    if (!CopyFileA(fullSource, temporary, FALSE)) {
        RemoveFile(temporary);
        *error = CopyFailed;
        return false;
    }
    ClearReadOnly(temporary);
    ScheduleRename(temporary, fullDestination);
    setupState.restartNeeded = true;
    return true;
}

void DeleteOrSchedule(const char* path) {
    // Whatever waits to put the file back goes first, while its short name can still be found.
    ForgetWaitingChanges(path);
    if (RemoveFile(path)) {
        return;
    }
    // What is not there needs no line in WININIT.INI.
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        return;
    }
    ScheduleRename(path, "NUL");
}

bool RunAndWait(char* commandLine) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                        nullptr, nullptr, &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    return true;
}
