// Drives setup.exe from outside: starts it, finds its windows by caption, reads and answers them.
#pragma once

#include <windows.h>

#include <string>

// A folder of its own under the temporary folder, with a copy of setup.exe; removed at the end.
struct SetupFolder {
    std::string path; // with a trailing backslash
    explicit SetupFolder(const char* name);
    ~SetupFolder();
    // Writes SETUP.DAT (bytes as given, code page 932) into the folder.
    void WriteScript(const std::string& content, const char* fileName = "SETUP.DAT") const;
};

// One running setup.exe; terminated at the end if it is still running.
struct SetupProcess {
    PROCESS_INFORMATION info = {};
    SetupProcess(const std::string& program, const std::string& arguments);
    ~SetupProcess();
    bool Started() const {
        return info.hProcess != nullptr;
    }
    // The exit code, or STILL_ACTIVE when it did not end within the time.
    DWORD WaitForExit(DWORD milliseconds = 10000) const;
};

// How long the driver waits for a window or a process: ten seconds, or VT_WAIT_SECONDS where
// programs start slowly (the 32-bit Wine under emulation).
DWORD WaitLimit();

// A visible top-level window of the process with this caption (any caption but the excluded
// window's when caption is null), waited for up to WaitLimit(); null when none came.
HWND WaitForWindow(const SetupProcess& process, const char* caption, HWND excluded = nullptr);
// The same for a window of any process (such as a copy that setup.exe started).
HWND WaitForAnyWindow(const char* caption);
// Waits until the window is gone; false when it is still there after WaitLimit().
bool WaitForWindowGone(HWND window);

// The folder of the test program, with a trailing backslash.
std::string ProgramFolder();
// Deletes a key and everything below it.
void DeleteKeyTree(HKEY root, const char* path);

// What the driver saw, in order: each window found ("caption") and each message read.
std::string& Transcript();

std::string WindowText(HWND window);
std::string ItemText(HWND dialog, int id);
// The text of a message box (its static control 0xFFFF).
std::string MessageText(HWND box);
// Presses a button as a click would: the dialog receives its command.
void Press(HWND dialog, int id);
// The control that has the keyboard focus in the window's thread.
HWND FocusOf(HWND window);
