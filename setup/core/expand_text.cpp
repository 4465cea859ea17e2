// Expansion of script values: escapes, %keyword% groups and double-byte characters.
#include "setup_core.h"

namespace {

struct Output {
    char* bytes;
    size_t capacity;
    size_t used;
};

bool Put(Output& output, char byte) {
    if (output.used >= output.capacity) {
        return false;
    }
    output.bytes[output.used++] = byte;
    return true;
}

bool IsLead(const ExpandServices& services, const char* p) {
    return services.isLeadByte(static_cast<unsigned char>(*p));
}

// The "%" that closes a group whose name starts at p, stepping over double-byte characters.
const char* FindClosingPercent(const char* p, const ExpandServices& services) {
    while (*p) {
        if (*p == '%') {
            return p;
        }
        p += (IsLead(services, p) && p[1]) ? 2 : 1;
    }
    return nullptr;
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool NameIs(const char* name, const char* keyword) {
    for (; *name && *keyword; ++name, ++keyword) {
        if (AsciiLower(*name) != *keyword) {
            return false;
        }
    }
    return *name == *keyword;
}

ExpandSource SourceOf(const char* name) {
    if (NameIs(name, "winsys")) {
        return ExpandSystemFolder;
    }
    if (NameIs(name, "program")) {
        return ExpandProgramFiles;
    }
    if (NameIs(name, "setup")) {
        return ExpandInstallFolder;
    }
    return ExpandEnvironment;
}

// The value of the group name [begin, end) in value (PathCapacity bytes); 0 when it expands to
// nothing. A name too long for a path buffer can name neither a keyword nor a variable we read.
size_t GroupValue(const char* begin, const char* end, char* value, const ExpandServices& services) {
    const size_t length = static_cast<size_t>(end - begin);
    if (length == 0 || length >= PathCapacity) {
        return 0;
    }
    char name[PathCapacity];
    for (size_t i = 0; i < length; ++i) {
        name[i] = begin[i];
    }
    name[length] = '\0';
    const ExpandSource source = SourceOf(name);
    size_t size = 0;
    if (source != ExpandEnvironment) {
        size = services.lookup(services.context, source, name, value, PathCapacity);
    }
    if (size == 0) {
        size = services.lookup(services.context, ExpandEnvironment, name, value, PathCapacity);
    }
    // A value that did not fit its buffer is dropped like an empty one.
    return size < PathCapacity ? size : 0;
}

bool PutValue(Output& output, const char* value, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        if (!Put(output, value[i])) {
            return false;
        }
    }
    return true;
}

char Unescape(char byte) {
    if (byte == 'n') {
        return '\n';
    }
    if (byte == 't') {
        return '\t';
    }
    return byte;
}

} // namespace

bool ExpandText(char* output, size_t capacity, const char* text, const ExpandServices& services) {
    Output out = {output, capacity, 0};
    const char* p = text;
    while (*p) {
        if (IsLead(services, p)) {
            // A lead byte with nothing after it would glue onto whatever text follows: dropped.
            if (p[1] && (!Put(out, p[0]) || !Put(out, p[1]))) {
                return false;
            }
            p += p[1] ? 2 : 1;
            continue;
        }
        if (*p == '\\') {
            if (!p[1]) {
                // Nothing to escape: the backslash stays, so a trailing folder separator survives.
                if (!Put(out, '\\')) {
                    return false;
                }
                ++p;
                continue;
            }
            // An escaped double-byte character still moves as a unit.
            if (IsLead(services, p + 1) && p[2]) {
                if (!Put(out, p[1]) || !Put(out, p[2])) {
                    return false;
                }
                p += 3;
                continue;
            }
            if (!Put(out, Unescape(p[1]))) {
                return false;
            }
            p += 2;
            continue;
        }
        if (*p == '%') {
            const char* close = FindClosingPercent(p + 1, services);
            if (close) {
                char value[PathCapacity];
                const size_t size = GroupValue(p + 1, close, value, services);
                if (!PutValue(out, value, size)) {
                    return false;
                }
                p = close + 1;
                continue;
            }
        }
        if (!Put(out, *p)) {
            return false;
        }
        ++p;
    }
    return Put(out, '\0');
}
