// The 8.3 form of a path, component by component, as WININIT.INI needs it.
#include "setup_core.h"

#include <string.h>

namespace {

struct Output {
    char* text;
    size_t capacity;
    size_t length;
};

bool Append(Output& output, const char* bytes, size_t size) {
    if (output.length + size >= output.capacity) {
        return false;
    }
    memcpy(output.text + output.length, bytes, size);
    output.length += size;
    output.text[output.length] = '\0';
    return true;
}

// The end of the component starting at start: the next backslash that is not the second byte of
// a double-byte character, or the terminator.
size_t ComponentEnd(const char* path, size_t start, LeadByteTest isLead) {
    size_t at = start;
    while (path[at] && path[at] != '\\') {
        at += (isLead(static_cast<unsigned char>(path[at])) && path[at + 1]) ? 2 : 1;
    }
    return at;
}

// A wildcard would make the directory search match some other name.
bool HasWildcard(const char* bytes, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] == '*' || bytes[i] == '?') {
            return true;
        }
    }
    return false;
}

bool AppendComponent(Output& output, const char* path, size_t start, size_t end,
                     ShortNameLookup lookup, void* context) {
    const size_t before = output.length;
    if (!Append(output, path + start, end - start)) {
        return false;
    }
    char alias[16];
    if (end == start || HasWildcard(path + start, end - start) ||
        !lookup(context, output.text, alias, sizeof(alias)) || !alias[0]) {
        return true;
    }
    output.length = before;
    output.text[before] = '\0';
    return Append(output, alias, strnlen(alias, sizeof(alias) - 1));
}

bool WalkPath(Output& output, const char* path, ShortNameLookup lookup, void* context,
              LeadByteTest isLead) {
    // The root part is copied as written.
    size_t at = 0;
    while (path[at] && (at < 2 || path[at] != '\\')) {
        at += (isLead(static_cast<unsigned char>(path[at])) && path[at + 1]) ? 2 : 1;
    }
    if (!path[at]) {
        return Append(output, path, at);
    }
    ++at;
    if (!Append(output, path, at)) {
        return false;
    }
    while (path[at]) {
        const size_t end = ComponentEnd(path, at, isLead);
        if (!AppendComponent(output, path, at, end, lookup, context)) {
            return false;
        }
        if (!path[end]) {
            break;
        }
        if (!Append(output, "\\", 1)) {
            return false;
        }
        at = end + 1;
    }
    return true;
}

} // namespace

bool ToShortPath(char* output, size_t capacity, const char* path, ShortNameLookup lookup,
                 void* context, LeadByteTest isLead) {
    if (capacity == 0) {
        return false;
    }
    Output writer = {output, capacity, 0};
    output[0] = '\0';
    if (strcmp(path, "NUL") == 0) {
        return Append(writer, path, 3);
    }
    if (!WalkPath(writer, path, lookup, context, isLead)) {
        output[0] = '\0';
        return false;
    }
    return true;
}
