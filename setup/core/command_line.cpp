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

} // namespace

const char* SkipProgramName(const char* commandLine) {
    const char* p = SkipBlanks(commandLine);
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') {
            ++p;
        }
        return *p ? p + 1 : p;
    }
    while (*p && !IsBlank(*p)) {
        ++p;
    }
    return p;
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
