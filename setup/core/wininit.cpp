// What waits for the next start of Windows: WININIT.INI's [rename] lines and the pending renames
// of NT-family Windows, rewritten so that they agree with the run that changes a file.
#include "setup_core.h"

#include <string.h>

namespace {

const char RenameHeader[] = "[rename]\r\n";
const size_t RenameHeaderLength = sizeof(RenameHeader) - 1;

// The end of the line starting at start: after a carriage return and the line feed that directly
// follows it, after a lone line feed, or the end of the content.
size_t LineEnd(const char* text, size_t size, size_t start) {
    size_t at = start;
    while (at < size && text[at] != '\r' && text[at] != '\n') {
        ++at;
    }
    if (at == size) {
        return size;
    }
    if (text[at] == '\r' && at + 1 < size && text[at + 1] == '\n') {
        ++at;
    }
    return at + 1;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsRenameHeader(const char* line, size_t length) {
    if (length != RenameHeaderLength) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        if (LowerAscii(line[i]) != RenameHeader[i]) {
            return false;
        }
    }
    return true;
}

// Whether the bytes name path: ASCII letters in either case, a double-byte character (whose
// second byte may be a letter) only byte for byte.
bool SamePath(const char* bytes, size_t length, const char* path, LeadByteTest isLead) {
    size_t i = 0;
    while (i < length && path[i]) {
        if (isLead(static_cast<unsigned char>(path[i])) && path[i + 1]) {
            if (i + 1 >= length || bytes[i] != path[i] || bytes[i + 1] != path[i + 1]) {
                return false;
            }
            i += 2;
        } else if (LowerAscii(bytes[i]) != LowerAscii(path[i])) {
            return false;
        } else {
            ++i;
        }
    }
    return i == length && !path[i];
}

struct Span {
    const char* bytes;
    size_t length;
};

// The span without the blanks around it.
Span Trimmed(const char* bytes, size_t length) {
    while (length && (*bytes == ' ' || *bytes == '\t')) {
        ++bytes;
        --length;
    }
    while (length && (bytes[length - 1] == ' ' || bytes[length - 1] == '\t')) {
        --length;
    }
    return {bytes, length};
}

bool Names(Span span, const char* path, LeadByteTest isLead) {
    return SamePath(span.bytes, span.length, path, isLead);
}

// A waiting operation "target=source" that would change the file at path: it replaces that file
// (target path) or deletes it (target NUL, source path). A replacement's source is a temporary
// file that goes with it, unless it is the source of the line being added; a source with a zero
// byte in it is no path and is not listed.
bool Drops(Span target, Span source, const WaitingChange& change, LeadByteTest isLead,
           WaitingOutput& output, size_t& listed) {
    if (!change.path[0]) {
        return false;
    }
    const bool deletes = Names(target, "NUL", isLead) || target.length == 0;
    if (deletes ? !Names(source, change.path, isLead) : !Names(target, change.path, isLead)) {
        return false;
    }
    ++output.dropped;
    bool usable = !deletes && source.length > 0 &&
                  !(change.fromPath && Names(source, change.fromPath, isLead));
    for (size_t i = 0; usable && i < source.length; ++i) {
        usable = source.bytes[i] != '\0';
    }
    if (usable) {
        memcpy(output.temporaries + listed, source.bytes, source.length);
        listed += source.length;
        output.temporaries[listed++] = '\0';
    }
    output.temporaries[listed] = '\0';
    return true;
}

struct Writer {
    char* output;
    size_t length;
};

void Put(Writer& writer, const char* bytes, size_t size) {
    memcpy(writer.output + writer.length, bytes, size);
    writer.length += size;
}

void PutText(Writer& writer, const char* text) {
    Put(writer, text, strlen(text));
}

void PutRenameLine(Writer& writer, const WaitingChange& change) {
    PutText(writer, change.toPath);
    PutText(writer, "=");
    PutText(writer, change.fromPath);
    PutText(writer, "\r\n");
}

// A [rename] line of WININIT.INI split at its first "="; a line without one is no operation.
bool DropsLine(const char* line, size_t length, const WaitingChange& change, LeadByteTest isLead,
               WaitingOutput& output, size_t& listed) {
    while (length && (line[length - 1] == '\r' || line[length - 1] == '\n')) {
        --length;
    }
    size_t equals = 0;
    while (equals < length && line[equals] != '=') {
        ++equals;
    }
    return equals < length &&
           Drops(Trimmed(line, equals), Trimmed(line + equals + 1, length - equals - 1), change,
                 isLead, output, listed);
}

bool NoLeadBytes(unsigned char) {
    return false;
}

// A section header: the line's first non-blank byte is "[".
bool IsHeader(const char* line, size_t length, bool* isRename) {
    size_t end = length;
    while (end && (line[end - 1] == '\r' || line[end - 1] == '\n')) {
        --end;
    }
    const Span header = Trimmed(line, end);
    if (!header.length || header.bytes[0] != '[') {
        return false;
    }
    *isRename = SamePath(header.bytes, header.length, "[rename]", NoLeadBytes);
    return true;
}

// The string of a pending-renames list at offset (up to its zero or the end of the list).
Span StringAt(const char* list, size_t size, size_t offset) {
    size_t length = 0;
    while (offset + length < size && list[offset + length]) {
        ++length;
    }
    return {list + offset, length};
}

// The path of a pending rename without the object manager's prefix "\??\".
Span WithoutPrefix(Span path) {
    if (path.length >= 4 && path.bytes[0] == '\\' && path.bytes[1] == '?' && path.bytes[2] == '?' &&
        path.bytes[3] == '\\') {
        return {path.bytes + 4, path.length - 4};
    }
    return path;
}

} // namespace

size_t WininitCapacity(size_t oldSize, const WaitingChange& change) {
    if (!change.toPath) {
        return oldSize ? oldSize : 1;
    }
    // Previous bytes, a CR LF to close an open last line, the header and the new line.
    return oldSize + 2 + RenameHeaderLength + strlen(change.toPath) + 1 + strlen(change.fromPath) +
           2;
}

bool RewriteWininit(const char* old, size_t oldSize, const WaitingChange& change,
                    LeadByteTest isLead, WaitingOutput& output) {
    output.length = 0;
    output.dropped = 0;
    output.temporaries[0] = '\0';
    if (output.capacity < WininitCapacity(oldSize, change)) {
        return false;
    }
    Writer writer = {output.text, 0};
    size_t listed = 0;
    bool added = !change.toPath;
    bool inRename = false;
    bool lastEndedWithCrLf = true;
    for (size_t start = 0; start < oldSize;) {
        const size_t end = LineEnd(old, oldSize, start);
        const char* line = old + start;
        const size_t length = end - start;
        start = end;
        if (!IsHeader(line, length, &inRename) && inRename &&
            DropsLine(line, length, change, isLead, output, listed)) {
            continue;
        }
        Put(writer, line, length);
        lastEndedWithCrLf = length >= 2 && line[length - 2] == '\r' && line[length - 1] == '\n';
        // New lines go first: Windows 9x carries them out in order, the last one winning.
        if (!added && IsRenameHeader(line, length)) {
            PutRenameLine(writer, change);
            added = true;
        }
    }
    if (!added) {
        if (!lastEndedWithCrLf) {
            PutText(writer, "\r\n");
        }
        Put(writer, RenameHeader, RenameHeaderLength);
        PutRenameLine(writer, change);
    }
    output.length = writer.length;
    return true;
}

bool DropPendingRenames(const char* old, size_t oldSize, const WaitingChange& change,
                        LeadByteTest isLead, WaitingOutput& output) {
    output.length = 0;
    output.dropped = 0;
    output.temporaries[0] = '\0';
    if (output.capacity < oldSize + 3) {
        return false;
    }
    Writer writer = {output.text, 0};
    size_t listed = 0;
    // Pairs of source and target, each with its zero; an empty string after the last pair.
    for (size_t at = 0; at < oldSize;) {
        const Span source = StringAt(old, oldSize, at);
        if (!source.length) {
            break;
        }
        const Span target = StringAt(old, oldSize, at + source.length + 1);
        at += source.length + 1 + target.length + 1;
        Span named = target;
        if (named.length && named.bytes[0] == '!') {
            ++named.bytes;
            --named.length;
        }
        if (Drops(WithoutPrefix(named), WithoutPrefix(source), change, isLead, output, listed)) {
            continue;
        }
        Put(writer, source.bytes, source.length);
        Put(writer, "", 1);
        Put(writer, target.bytes, target.length);
        Put(writer, "", 1);
    }
    if (writer.length) {
        Put(writer, "", 1);
    }
    output.length = writer.length;
    return true;
}
