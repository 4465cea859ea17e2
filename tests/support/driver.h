// The one driver of the Win32 and end-to-end tests: starts programs, finds windows by caption,
// reads and answers them as a user would.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// A folder of its own under the temporary folder, with a copy of setup.exe; removed at the end.
struct SetupFolder {
    std::string path; // with a trailing backslash
    explicit SetupFolder(const char* name);
    ~SetupFolder();
};

// One running program (setup.exe, bandhost.exe); terminated at the end if it is still running.
// Started as Windows starts a stored command: the program named, the command line as given.
struct SetupProcess {
    PROCESS_INFORMATION info = {};
    SetupProcess(const std::string& program, const std::string& arguments, bool quoted = true);
    // The command line as given, with the program named or (null) taken from the line.
    SetupProcess(const char* program, std::string commandLine);
    // The process that shows this window (one that another program started).
    explicit SetupProcess(HWND window);
    ~SetupProcess();
    // The exit code, or STILL_ACTIVE when it did not end within the time.
    DWORD WaitForExit(DWORD milliseconds = 10000) const;
};

// How long the driver waits for a window or a process: ten seconds, or VT_WAIT_SECONDS where
// programs start slowly (the 32-bit Wine under emulation).
DWORD WaitLimit();

// A visible top-level window of the process with this caption, waited for up to WaitLimit(); null
// when none came.
HWND WaitForWindow(const SetupProcess& process, const char* caption);
// The same for a window of any process (such as a copy that setup.exe started), of the class
// when one is given.
HWND WaitForAnyWindow(const char* caption, const char* className = nullptr);
// A visible window of the class owned by the process: top-level, or anywhere below parent; null
// when none came.
HWND WaitForChild(const SetupProcess& process, const char* className, HWND parent = nullptr);
// Waits until the window is gone; false when it is still there after WaitLimit().
bool WaitForWindowGone(HWND window);

// The folder of the test program, with a trailing backslash.
std::string ProgramFolder();
// Deletes a key and everything below it.
void DeleteKeyTree(HKEY root, const char* path);
// Runs a command line to its end (at most six times WaitLimit()); its exit code, STILL_ACTIVE
// when it did not end in time (it is then ended), or 0xFFFFFFFF (a failure) when it did not start.
// With a program named, the line reaches it exactly as given, as Windows starts a stored command.
DWORD RunAndWait(std::string commandLine, const char* program = nullptr);

// The names of the files (not folders) in folder (with its trailing backslash) that match pattern.
std::vector<std::string> FilesMatching(const std::string& folder, const char* pattern);
// Deletes those files, read-only or not.
void DeleteMatching(const std::string& folder, const char* pattern);
// The names of a folder's files, sorted, each followed by "!" when it is read-only and a blank.
std::string Listing(const std::string& folder);
// How many *.tmp files the temporary folder holds.
int TemporaryFileCount();
bool Exists(const std::string& path);
bool KeyExists(HKEY root, const std::string& path);
// A registry value as text (a NUL inside shown as '|', the last one dropped), four binary bytes
// as a number; "(missing)" when there is none.
std::string RegText(HKEY root, const std::string& path, const char* name);
// Writes a string value, creating the key; a null value deletes the value.
void SetRegText(HKEY root, const std::string& path, const char* name, const char* value);
// The short (8.3) form of an existing path; the path itself when it has none.
std::string ShortPath(const std::string& path);
// A file of the Windows folder, such as WININIT.INI.
std::string WindowsFile(const char* name);
// Writes a file with exactly these bytes.
void WriteFileText(const std::string& path, const std::string& content);
// The whole content of a file; empty when it cannot be read.
std::string FileText(const std::string& path);

std::string WindowText(HWND window);
std::string ItemText(HWND dialog, int id);
// The text of a message box (its static control 0xFFFF).
std::string MessageText(HWND box);
// Answers the message box of this caption with a button it has, after checking its text when one
// is given and letting `look` see it.
void Answer(const char* caption, int button, const char* text = nullptr,
            const std::function<void(HWND)>& look = nullptr);
// Presses a button as a click would: the dialog receives its command.
void Press(HWND dialog, int id);
// Clicks a button and returns when the dialog has handled it (from a thread other than the
// dialog's).
void Click(HWND dialog, int id);
// Runs the driver on a second thread while work runs on this one, then waits for the driver.
void WhileDriven(const std::function<void()>& driver, const std::function<void()>& work);
