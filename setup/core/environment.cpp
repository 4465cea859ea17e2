// Reading a variable out of the process's environment block. The block is read directly because
// some platforms' GetEnvironmentVariableA cut double-byte values short.
#include "setup_core.h"

namespace {

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The value after "name=" when entry starts with the name, else null.
const char* ValueOf(const char* entry, const char* name, LeadByteTest isLead) {
    const char* e = entry;
    const char* n = name;
    while (*n) {
        if (isLead(static_cast<unsigned char>(*n)) && n[1]) {
            if (e[0] != n[0] || e[1] != n[1]) {
                return nullptr;
            }
            e += 2;
            n += 2;
            continue;
        }
        if (AsciiLower(*e) != AsciiLower(*n)) {
            return nullptr;
        }
        ++e;
        ++n;
    }
    return *e == '=' ? e + 1 : nullptr;
}

size_t Length(const char* text) {
    size_t length = 0;
    while (text[length]) {
        ++length;
    }
    return length;
}

} // namespace

size_t FindEnvironmentValue(const char* block, const char* name, char* value, size_t capacity,
                            LeadByteTest isLead) {
    if (!block || !name[0]) {
        return 0;
    }
    for (const char* entry = block; *entry; entry += Length(entry) + 1) {
        // Entries such as "=C:=C:\" belong to no name.
        const char* found = entry[0] == '=' ? nullptr : ValueOf(entry, name, isLead);
        if (!found) {
            continue;
        }
        const size_t length = Length(found);
        if (length >= capacity) {
            return length + 1;
        }
        for (size_t i = 0; i <= length; ++i) {
            value[i] = found[i];
        }
        return length;
    }
    return 0;
}
