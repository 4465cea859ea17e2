#include "driver.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace {

const DWORD PollInterval = 20;

struct WindowSearch {
    DWORD processId;
    const char* caption;
    const char* className;
    HWND parent;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
    WindowSearch& search = *reinterpret_cast<WindowSearch*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    char className[64] = "";
    GetClassNameA(window, className, sizeof(className));
    if ((search.processId && processId != search.processId) || !IsWindowVisible(window) ||
        (search.caption && WindowText(window) != search.caption) ||
        (search.className && strcmp(className, search.className) != 0)) {
        return TRUE;
    }
    search.found = window;
    return FALSE;
}

// Polls for the window (top-level, or below the parent) until it comes, the process (when one is
// given) ends, or the time is up.
HWND WaitFor(WindowSearch search, HANDLE process) {
    for (DWORD waited = 0; waited < WaitLimit(); waited += PollInterval) {
        if (search.parent) {
            EnumChildWindows(search.parent, MatchWindow, reinterpret_cast<LPARAM>(&search));
        } else {
            EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        }
        if (search.found) {
            return search.found;
        }
        if (process ? WaitForSingleObject(process, PollInterval) == WAIT_OBJECT_0
                    : (Sleep(PollInterval), false)) {
            return nullptr;
        }
    }
    return nullptr;
}

DWORD WINAPI RunDriver(void* driver) {
    (*static_cast<const std::function<void()>*>(driver))();
    return 0;
}

} // namespace

DWORD WaitLimit() {
    const char* text = getenv("VT_WAIT_SECONDS");
    const unsigned long seconds = text ? strtoul(text, nullptr, 10) : 0;
    return seconds > 0 && seconds < 3600 ? static_cast<DWORD>(seconds * 1000) : 10000;
}

std::string ProgramFolder() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

void DeleteKeyTree(HKEY root, const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        char child[MAX_PATH];
        DWORD size = sizeof(child);
        // Leaf first: Wine's own recursion is unreliable.
        while (RegEnumKeyExA(key, 0, child, &size, nullptr, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS) {
            const std::string below = std::string(path) + "\\" + child;
            DeleteKeyTree(root, below.c_str());
            size = sizeof(child);
            if (KeyExists(root, below)) {
                break;
            }
        }
        RegCloseKey(key);
    }
    RegDeleteKeyA(root, path);
}

DWORD RunAndWait(std::string commandLine, const char* program) {
    SetupProcess process(program, commandLine);
    return process.info.hProcess ? process.WaitForExit(6 * WaitLimit()) : 0xFFFFFFFF;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool KeyExists(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

std::string RegText(HKEY root, const std::string& path, const char* name) {
    char value[8192];
    DWORD size = sizeof(value), type = REG_NONE;
    if (RegGetValueA(root, path.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type, value, &size) !=
        ERROR_SUCCESS) {
        return "(missing)";
    }
    if (type == REG_BINARY && size == 4) {
        return std::to_string(*reinterpret_cast<DWORD*>(value));
    }
    std::string text(value, size && !value[size - 1] ? size - 1 : size);
    std::replace(text.begin(), text.end(), '\0', '|');
    return text;
}

void SetRegText(HKEY root, const std::string& path, const char* name, const char* value) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
        ERROR_SUCCESS)
        << path;
    if (value) {
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                       static_cast<DWORD>(strlen(value) + 1));
    } else {
        RegDeleteValueA(key, name);
    }
    RegCloseKey(key);
}

std::string ShortPath(const std::string& path) {
    char result[MAX_PATH];
    const DWORD length = GetShortPathNameA(path.c_str(), result, sizeof(result));
    return length > 0 && length < sizeof(result) ? std::string(result, length) : path;
}

std::string WindowsFile(const char* name) {
    char folder[MAX_PATH];
    const UINT length = GetWindowsDirectoryA(folder, sizeof(folder));
    return std::string(folder, length < sizeof(folder) ? length : 0) + "\\" + name;
}

std::string FileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteFileText(const std::string& path, const std::string& content) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    EXPECT_TRUE(file.write(content.data(), content.size()).flush()) << path;
}

SetupFolder::SetupFolder(const char* name) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    path = std::string(temp) + name + "\\";
    CreateDirectoryA(path.c_str(), nullptr);
    EXPECT_TRUE(
        CopyFileA((ProgramFolder() + "setup.exe").c_str(), (path + "setup.exe").c_str(), FALSE));
}

SetupFolder::~SetupFolder() {
    DeleteMatching(path, "*");
    RemoveDirectoryA(path.c_str());
}

SetupProcess::SetupProcess(const std::string& program, const std::string& arguments, bool quoted)
    : SetupProcess(program.c_str(), (quoted ? "\"" + program + "\"" : program) + arguments) {}

SetupProcess::SetupProcess(const char* program, std::string commandLine) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    if (!CreateProcessA(program, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        ADD_FAILURE() << commandLine << " did not start: " << GetLastError();
        info = {};
    }
}

SetupProcess::SetupProcess(HWND window) {
    GetWindowThreadProcessId(window, &info.dwProcessId);
    info.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE,
                                info.dwProcessId);
    EXPECT_NE(info.hProcess, nullptr) << "no process shows the window";
}

SetupProcess::~SetupProcess() {
    if (!info.hProcess) {
        return;
    }
    if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, WaitLimit());
    }
    CloseHandle(info.hThread); // null for a process found by its window
    CloseHandle(info.hProcess);
}

DWORD SetupProcess::WaitForExit(DWORD milliseconds) const {
    if (WaitForSingleObject(info.hProcess, milliseconds) != WAIT_OBJECT_0) {
        return STILL_ACTIVE;
    }
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(info.hProcess, &code);
    return code;
}

HWND WaitForWindow(const SetupProcess& process, const char* caption) {
    return WaitFor({process.info.dwProcessId, caption, nullptr, nullptr, nullptr},
                   process.info.hProcess);
}

HWND WaitForAnyWindow(const char* caption, const char* className) {
    return WaitFor({0, caption, className, nullptr, nullptr}, nullptr);
}

HWND WaitForChild(const SetupProcess& process, const char* className, HWND parent) {
    return WaitFor({process.info.dwProcessId, nullptr, className, parent, nullptr},
                   process.info.hProcess);
}

bool WaitForWindowGone(HWND window) {
    for (DWORD waited = 0; waited < WaitLimit(); waited += PollInterval) {
        if (!IsWindow(window) || !IsWindowVisible(window)) {
            return true;
        }
        Sleep(PollInterval);
    }
    return false;
}

std::string WindowText(HWND window) {
    char text[4096];
    const int length = GetWindowTextA(window, text, sizeof(text));
    return std::string(text, length > 0 ? length : 0);
}

std::string ItemText(HWND dialog, int id) {
    char text[4096];
    const UINT length = GetDlgItemTextA(dialog, id, text, sizeof(text));
    return std::string(text, length);
}

std::string MessageText(HWND box) {
    return ItemText(box, 0xFFFF);
}

void Press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void Click(HWND dialog, int id) {
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void WhileDriven(const std::function<void()>& driver, const std::function<void()>& work) {
    HANDLE thread = CreateThread(nullptr, 0, RunDriver, const_cast<std::function<void()>*>(&driver),
                                 0, nullptr);
    work();
    WaitForSingleObject(thread, 30000);
    CloseHandle(thread);
}

void Answer(const char* caption, int button, const char* text,
            const std::function<void(HWND)>& look) {
    HWND box = WaitForAnyWindow(caption);
    ASSERT_NE(box, nullptr) << caption;
    if (look) {
        look(box);
    }
    if (text) {
        EXPECT_EQ(MessageText(box), text);
    }
    EXPECT_NE(GetDlgItem(box, button), nullptr) << caption << " has no button " << button;
    Press(box, button);
    ASSERT_TRUE(WaitForWindowGone(box));
}

std::vector<std::string> FilesMatching(const std::string& folder, const char* pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            names.push_back(found.cFileName);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

std::string Listing(const std::string& folder) {
    std::vector<std::string> names = FilesMatching(folder, "*");
    std::sort(names.begin(), names.end());
    std::string text;
    for (const std::string& name : names) {
        const DWORD attributes = GetFileAttributesA((folder + name).c_str());
        text += name + (attributes & FILE_ATTRIBUTE_READONLY ? "! " : " ");
    }
    return text;
}

void DeleteMatching(const std::string& folder, const char* pattern) {
    for (const std::string& name : FilesMatching(folder, pattern)) {
        SetFileAttributesA((folder + name).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA((folder + name).c_str());
    }
}

int TemporaryFileCount() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    return static_cast<int>(FilesMatching(temp, "*.tmp").size());
}
