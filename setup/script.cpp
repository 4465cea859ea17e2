// Reading SETUP.DAT through the platform's profile functions, and the lookups of its keywords.
#include "setup_state.h"

#include <string.h>

const ScriptKey KeyTitle = {"Info", "Title", 2308, PathCapacity};
const ScriptKey KeyInstallExplanation = {"Install", "Explanation", 2308, ExplanationCapacity};
const ScriptKey KeyUninstallExplanation = {"Uninstall", "Explanation", 2308, ExplanationCapacity};
const ScriptKey KeyDefaultInstallFolder = {"Install", "DefaultInstallFolder", PathCapacity,
                                           PathCapacity};
const ScriptKey KeyRunAfterCopy = {"Install", "RunAfterCopy", 1544, 3088};
const ScriptKey KeyReadyUninstall = {"Uninstall", "ReadyUninstall", 1284, 0};
const ScriptKey KeyPrompt = {"Uninstall", "Prompt", 1024, 0};
const ScriptKey KeyRunBeforeDelete = {"Uninstall", "RunBeforeDelete", 1544, 3088};

namespace {

const size_t LargestRead = 2308;

size_t SystemFolder(char* value, size_t capacity) {
    return GetSystemDirectoryA(value, static_cast<UINT>(capacity));
}

// NT-family Windows keeps the value as "%ProgramFiles%"; a folder of that literal name is no
// destination. A result that does not fit is no value.
size_t ExpandProgramFilesPath(char* value, size_t capacity) {
    char expanded[PathCapacity];
    const DWORD size = ExpandEnvironmentStringsA(value, expanded, sizeof(expanded));
    if (size == 0 || size > sizeof(expanded) || size > capacity) {
        return 0;
    }
    memcpy(value, expanded, size);
    value[size - 1] = '\0';
    return strlen(value);
}

size_t ProgramFilesPath(char* value, size_t capacity) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0,
                      KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return 0;
    }
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(capacity);
    const LONG status = RegQueryValueExA(key, "ProgramFilesPath", nullptr, &type,
                                         reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return 0;
    }
    // Stored data need not end with its terminator: only what fits with one is a value.
    size_t length = 0;
    while (length < size && value[length]) {
        ++length;
    }
    if (length >= capacity) {
        return 0;
    }
    value[length] = '\0';
    if (type == REG_EXPAND_SZ) {
        return ExpandProgramFilesPath(value, capacity);
    }
    return length;
}

size_t InstallFolder(char* value, size_t capacity) {
    const size_t length = strlen(setupState.installFolder);
    if (length >= capacity) {
        return length + 1;
    }
    memcpy(value, setupState.installFolder, length + 1);
    return length;
}

size_t EnvironmentValue(const char* name, char* value, size_t capacity) {
    char* block = GetEnvironmentStringsA();
    const size_t size = FindEnvironmentValue(block, name, value, capacity, IsAnsiLeadByte);
    if (block) {
        FreeEnvironmentStringsA(block);
    }
    return size;
}

size_t Lookup(void*, ExpandSource source, const char* name, char* value, size_t capacity) {
    switch (source) {
    case ExpandSystemFolder:
        return SystemFolder(value, capacity);
    case ExpandProgramFiles:
        return ProgramFilesPath(value, capacity);
    case ExpandInstallFolder:
        return InstallFolder(value, capacity);
    case ExpandEnvironment:
        break;
    }
    return EnvironmentValue(name, value, capacity);
}

} // namespace

bool IsAnsiLeadByte(unsigned char byte) {
    return IsDBCSLeadByte(byte) != FALSE;
}

bool ExpandScriptText(char* output, size_t capacity, const char* text) {
    const ExpandServices services = {IsAnsiLeadByte, Lookup, nullptr};
    if (ExpandText(output, capacity, text, services)) {
        return true;
    }
    // What a failed expansion left is not a text; nobody may read it as one.
    if (capacity > 0) {
        output[0] = '\0';
    }
    return false;
}

static size_t Smaller(size_t a, size_t b) {
    return a < b ? a : b;
}

bool ReadScriptValue(const ScriptKey& key, char* output, size_t capacity) {
    if (capacity == 0) {
        return false;
    }
    if (!key.expandCapacity) {
        GetPrivateProfileStringA(key.section, key.name, "", output,
                                 static_cast<DWORD>(Smaller(key.readCapacity, capacity)),
                                 setupState.scriptPath);
        return true;
    }
    char text[LargestRead];
    GetPrivateProfileStringA(key.section, key.name, "", text,
                             static_cast<DWORD>(Smaller(key.readCapacity, sizeof(text))),
                             setupState.scriptPath);
    return ExpandScriptText(output, Smaller(key.expandCapacity, capacity), text);
}

UINT ReadScriptNumber(const char* section, const char* name) {
    return GetPrivateProfileIntA(section, name, 0, setupState.scriptPath);
}

SectionReader ReadListSection(const char* section, char* buffer) {
    const DWORD fetched =
        GetPrivateProfileSectionA(section, buffer, ListSectionCapacity, setupState.scriptPath);
    return ReadSection(buffer, ListSectionCapacity, fetched);
}
