// The three forms of the installer's command line.
#include "setup_core.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

const char* SkipBlanks(const char* text) {
    while (IsBlank(*text)) {
        ++text;
    }
    return text;
}

char ToUpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Length of ownPath when text begins with it and a blank or the end follows; 0 otherwise.
// ASCII letters match in either case; a double-byte character only as its two bytes.
size_t OwnPathPrefix(const char* text, const char* ownPath, LeadByteTest isLead) {
    size_t i = 0;
    while (ownPath[i]) {
        const unsigned char expected = static_cast<unsigned char>(ownPath[i]);
        if (isLead(expected) && ownPath[i + 1]) {
            if (text[i] != ownPath[i] || text[i + 1] != ownPath[i + 1]) {
                return 0;
            }
            i += 2;
            continue;
        }
        if (ToUpperAscii(text[i]) != ToUpperAscii(ownPath[i])) {
            return 0;
        }
        ++i;
    }
    return (i > 0 && (text[i] == '\0' || IsBlank(text[i]))) ? i : 0;
}

} // namespace

const char* SkipProgramName(const char* commandLine, const char* const* ownPaths,
                            size_t ownPathCount, LeadByteTest isLead) {
    const char* p = SkipBlanks(commandLine);
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') {
            ++p;
        }
        return *p ? p + 1 : p;
    }
    // An unquoted program path may hold blanks ("C:\Program Files\..."): the longest of the
    // program's own paths that the line starts with is the name.
    size_t longest = 0;
    for (size_t i = 0; i < ownPathCount; ++i) {
        const size_t length = ownPaths[i] ? OwnPathPrefix(p, ownPaths[i], isLead) : 0;
        if (length > longest) {
            longest = length;
        }
    }
    if (longest > 0) {
        return p + longest;
    }
    while (*p && !IsBlank(*p)) {
        ++p;
    }
    return p;
}

bool InstalledFolder(const char* uninstallString, char* folder, size_t capacity,
                     LeadByteTest isLead) {
    const char* program = SkipBlanks(uninstallString);
    const bool quoted = *program == '"';
    program += quoted ? 1 : 0;
    // An unquoted program path ends where the switch follows it.
    const char* end = program;
    const char* separator = nullptr;
    while (*end && *end != '"' &&
           (quoted || !(IsBlank(end[0]) && end[1] == '/' && (end[2] == 'u' || end[2] == 'U') &&
                        (!end[3] || IsBlank(end[3]))))) {
        if (*end == '\\') {
            separator = end;
        }
        end += (isLead(static_cast<unsigned char>(*end)) && end[1]) ? 2 : 1;
    }
    if ((quoted && *end != '"') || !separator) {
        return false;
    }
    size_t length = static_cast<size_t>(separator - program);
    // A program in a drive's root: the root with its backslash.
    if (length > 0 && program[length - 1] == ':') {
        ++length;
    }
    if (length == 0 || length >= capacity) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        folder[i] = program[i];
    }
    folder[length] = '\0';
    return true;
}

SetupCommand ParseSetupCommand(const char* arguments) {
    const char* p = SkipBlanks(arguments);
    SetupCommand command = {SetupInstall, ""};
    if (p[0] != '/' || (p[1] != 'u' && p[1] != 'U')) {
        return command;
    }
    command.mode = p[1] == 'u' ? SetupRelaunch : SetupUninstall;
    // The character after the switch (normally a blank) is not looked at.
    command.scriptPath = p[2] ? p + 3 : p + 2;
    return command;
}
