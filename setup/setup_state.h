// The installer's process-wide state and the operations that its start-up, runs and dialogs share.
#pragma once

#include <windows.h>

#include "core/setup_core.h"

const size_t ExplanationCapacity = 2048;

struct SetupState {
    HINSTANCE instance;
    bool uninstallMode;
    bool restartNeeded;
    char scriptPath[PathCapacity];
    char title[PathCapacity];
    char explanation[ExplanationCapacity];
    char installFolder[PathCapacity]; // what the keyword "setup" expands to; empty until a run sets
                                      // it
};

extern SetupState setupState;

// Why a file copy failed, for the message that ends the run.
enum EErrorCode {
    InternalError = 0,
    FolderNotCreated = 1,
    CopyFailed = 2, // any other failure of a copy (a full disk): an error of unknown cause
};

// ---- Script (script.cpp) -----------------------------------------------------------------------

// A key of the script with the buffer its text is read into and, for an expanded key, the
// buffer it expands into (0: used as read).
struct ScriptKey {
    const char* section;
    const char* name;
    size_t readCapacity;
    size_t expandCapacity;
};

extern const ScriptKey KeyTitle;
extern const ScriptKey KeyInstallExplanation;
extern const ScriptKey KeyUninstallExplanation;
extern const ScriptKey KeyDefaultInstallFolder;
extern const ScriptKey KeyRunAfterCopy;
extern const ScriptKey KeyReadyUninstall;
extern const ScriptKey KeyPrompt;
extern const ScriptKey KeyRunBeforeDelete;

// The value of key in the script at setupState.scriptPath, expanded when the key is; a missing
// script or key reads as empty. False when the expansion did not fit; output is then empty.
bool ReadScriptValue(const ScriptKey& key, char* output, size_t capacity);
// An integer key; 0 when missing.
UINT ReadScriptNumber(const char* section, const char* name);
// Fetches a list section into buffer (ListSectionCapacity bytes); a section that did not fit
// reads as empty.
SectionReader ReadListSection(const char* section, char* buffer);
// ExpandText with the platform's lookups; on failure output holds the empty text.
bool ExpandScriptText(char* output, size_t capacity, const char* text);
bool IsAnsiLeadByte(unsigned char byte);

// ---- Messages and dialogs (messages.cpp, dialogs.cpp) -------------------------------------------

// Formats with wvsprintfA and shows a message box. Text from outside (a script value) goes in
// as an argument of "%s", never as the format.
int MessageBoxFormat(HWND owner, UINT flags, const char* caption, const char* format, ...);
// A fixed text with caption "セットアップエラー" and the error icon, no owner.
void ShowSetupError(const char* text);
// The message for a file-copy failure.
void ShowErrorCode(EErrorCode code);

// The opening dialog: true for OK.
bool IntroDialog();
// The destination dialog on installFolder: true when the user confirmed a folder.
bool DestinationDialog();

// ---- Restart (restart.cpp) ----------------------------------------------------------------------

// Asks to restart Windows to complete the run and restarts on Yes.
void RestartWindows(bool uninstallMode);
// Where Windows carries out no WININIT.INI at its start, hands its lines over to the platform.
void HandOverWaitingChanges();
// Where Windows carries out no WININIT.INI: hands its [rename] lines to the platform's pending
// renames and removes them from the file. False when a line could not be handed over.
bool TransferPendingRenames(const char* wininitPath);

// ---- Placing files (files.cpp) ------------------------------------------------------------------

// Whether the last character of a path is a backslash (not the second byte of a double-byte one).
bool EndsWithBackslash(const char* path);

// The full path of folder, a backslash unless it already ends in one, and name. False when the
// folder can't be resolved or the result doesn't fit.
bool JoinPath(char* output, size_t capacity, const char* folder, const char* name);
// The short form of an existing path as the disk names it; "NUL" stays. False when it won't fit.
bool ToShortPath(char* output, size_t capacity, const char* path);
// Adds "toPath=fromPath" (short forms) under [rename] of WININIT.INI, in place of what still
// waits to change the same file (toPath, or fromPath for a target of NUL), and notes that a
// restart is needed. The file is left as it was when anything fails.
void ScheduleRename(const char* fromPath, const char* toPath);
// A file was put in place or deleted: nothing that waits for the next start of Windows may still
// replace or delete it, and the temporary files of such replacements go.
void ForgetWaitingChanges(const char* path);
// Copies source to destination (a trailing backslash: the source's name in that folder), asking
// before it creates a missing folder (every missing level); a file in use is replaced at the next
// start of Windows. The copy is never read-only. False, with the code of the message to show in
// error, when the file was not put in place; nothing partial stays then.
bool CopyInstallFile(const char* source, const char* destination, EErrorCode* error);
// Whether a copy's source and destination resolve to full paths that fit, as CopyInstallFile
// resolves them.
bool CopyPathsFit(const char* source, const char* destination);
// Clears the read-only attribute, keeping the others: files from a CD carry it, and Windows
// neither replaces nor deletes a read-only file. A file left read-only is cleared again before
// it is deleted.
void ClearReadOnly(const char* path);
// Deletes a file setup placed, read-only or not.
bool RemoveFile(const char* path);
// Deletes a file now, or at the next start of Windows when it is in use.
void DeleteOrSchedule(const char* path);
// Starts a command line (the program found from its first word) and waits for its end. False
// when it can't be started.
bool RunAndWait(char* commandLine);

// ---- Runs (runs.cpp) ----------------------------------------------------------------------------

bool RunInstall();
bool RunUninstall(const char* scriptPath);
void RelaunchForUninstall(const char* scriptPath);
