// The installer's text rules that need no Windows call: the command line, the expansion of
// script values and the splitting of list sections. Compiled into setup.exe and the native tests.
#pragma once

#include <stddef.h>

// Buffer sizes of the installer: a path holds at most 259 bytes and its terminator.
const size_t PathCapacity = 260;
const size_t ListSectionCapacity = 16384;
// What the profile reader reports for a section that did not fit into ListSectionCapacity.
const size_t ListSectionCutOff = ListSectionCapacity - 2;

// Whether a byte starts a double-byte character in the ANSI code page.
typedef bool (*LeadByteTest)(unsigned char byte);

// ---- Command line ----------------------------------------------------------------------------

enum SetupMode {
    SetupInstall,   // no switch: install from the program's own folder
    SetupRelaunch,  // "/u": copy the program to a temporary file and start that copy
    SetupUninstall, // "/U": carry out the uninstall with the script named after the switch
};

struct SetupCommand {
    SetupMode mode;
    const char* scriptPath; // points into the parsed text; empty in install mode
};

// The arguments that follow the program name of a full command line. A quoted name ends at its
// closing quote; an unquoted one that begins with one of the program's own paths (long or short
// form; ASCII case ignored) and a blank ends after that path, any other at its first blank.
const char* SkipProgramName(const char* commandLine, const char* const* ownPaths,
                            size_t ownPathCount, LeadByteTest isLead);
// The folder of the program that an uninstall entry's command starts (quoted, or unquoted and
// followed by "/u"), without a trailing backslash unless it is a drive's root. False when the
// program names no folder or the folder does not fit into capacity.
bool InstalledFolder(const char* uninstallString, char* folder, size_t capacity,
                     LeadByteTest isLead);
// Chooses the mode from the arguments; only the first two characters count, the third is
// skipped unseen and the rest, blanks included, is the script path.
SetupCommand ParseSetupCommand(const char* arguments);

// ---- Text expansion ----------------------------------------------------------------------------

enum ExpandSource {
    ExpandSystemFolder,  // keyword "winsys"
    ExpandProgramFiles,  // keyword "program"
    ExpandInstallFolder, // keyword "setup"
    ExpandEnvironment,   // any other name, and the fallback of an empty keyword value
};

// Reads one value into value (capacity bytes) and returns its length without the terminator;
// 0 when it is empty or missing, capacity or more when it did not fit.
typedef size_t (*ExpandLookup)(void* context, ExpandSource source, const char* name, char* value,
                               size_t capacity);

struct ExpandServices {
    LeadByteTest isLeadByte;
    ExpandLookup lookup;
    void* context;
};

// Expands escapes and %keyword% groups of text into output. Every byte written, the terminator
// included, counts against capacity; false when it does not fit (output is then unusable).
bool ExpandText(char* output, size_t capacity, const char* text, const ExpandServices& services);

// The value of a variable in an environment block ("NAME=value" strings, an empty one after the
// last; names compared without regard to ASCII case), with the lookup's contract above.
size_t FindEnvironmentValue(const char* block, const char* name, char* value, size_t capacity,
                            LeadByteTest isLead);

// ---- Uninstall entry ---------------------------------------------------------------------------

// The registry path of the product's uninstall entry under HKEY_LOCAL_MACHINE. False for a title
// that would name another key: an empty one (the list of all entries itself) or one with a
// backslash (a key elsewhere in the list), and when the path does not fit.
bool UninstallKeyName(char* output, size_t capacity, const char* title, LeadByteTest isLead);

// ---- List sections -----------------------------------------------------------------------------

// Walks the zero-terminated lines of a fetched section; an empty line ends it.
struct SectionReader {
    const char* next;
    const char* end;
};

// A reader over buffer as the profile reader filled it (fetched bytes without the final zero);
// a section that was cut off reads as empty.
SectionReader ReadSection(const char* buffer, size_t capacity, size_t fetched);
// The next line, or null after the last.
const char* NextSectionLine(SectionReader& reader);

enum ListLineStatus {
    ListLineOk,
    ListLineNoSeparator,    // a file line without "="
    ListLineExtraSeparator, // a file line with a second "="
    ListLineTooLong,        // a part longer than capacity - 1 bytes
};

// Copies a whole line (a double-byte character moves as a unit; a lead byte left without its
// follower at the end is dropped).
ListLineStatus CopyListLine(const char* line, char* output, size_t capacity, LeadByteTest isLead);
// Splits an "Install.files" line into destination and source at its "=".
ListLineStatus SplitFileLine(const char* line, char* destination, size_t destinationCapacity,
                             char* source, size_t sourceCapacity, LeadByteTest isLead);

// ---- What waits for the next start of Windows ---------------------------------------------------

// One run's change to a file (paths in short form): the operations still waiting to change the
// file at path (replace it, or delete it) go, and when toPath is not null the line
// "toPath=fromPath" is added. Paths are compared with ASCII letters in either case.
struct WaitingChange {
    const char* path;
    const char* toPath;
    const char* fromPath;
};

// Where a rewrite puts its result. temporaries holds at least one byte more than the previous
// content: it receives the sources of the replacements that went (the temporary files that would
// have replaced the file), each ended by a zero, and an empty string after the last.
struct WaitingOutput {
    char* text;
    size_t capacity;
    char* temporaries;
    size_t length;  // bytes written to text
    size_t dropped; // operations that went
};

// The bytes the rewrite of WININIT.INI with previous content of oldSize bytes can need.
size_t WininitCapacity(size_t oldSize, const WaitingChange& change);
// The new content of WININIT.INI: every previous byte in order except the [rename] lines that go,
// and the new line directly after the first "[rename]" line that ends in CR LF, or appended under
// a new "[rename]" header. The previous content is taken by its size (a zero byte in it is
// content). False when output.capacity is smaller than WininitCapacity.
bool RewriteWininit(const char* old, size_t oldSize, const WaitingChange& change,
                    LeadByteTest isLead, WaitingOutput& output);
// The pending renames of NT-family Windows (pairs of zero-terminated source and target paths,
// each after "\??\", "!" before a target that is replaced, an empty target for a deletion, an
// empty string after the last pair) without the pairs that the change drops; no pair left gives
// length 0. False when output.capacity is smaller than oldSize + 3.
bool DropPendingRenames(const char* old, size_t oldSize, const WaitingChange& change,
                        LeadByteTest isLead, WaitingOutput& output);

// ---- Short paths -------------------------------------------------------------------------------

// Looks up the existing path (up to and including one component) and writes its 8.3 alias
// (empty when the name already has that form) into alias. False when it is not found.
typedef bool (*ShortNameLookup)(void* context, const char* path, char* alias, size_t capacity);

// The short form of path: after the root part (up to the first backslash at or after the third
// byte), each component that has an alias is replaced by it; one not found stays as written.
// "NUL" stays "NUL". False when the result does not fit into capacity (output then empty).
bool ToShortPath(char* output, size_t capacity, const char* path, ShortNameLookup lookup,
                 void* context, LeadByteTest isLead);
