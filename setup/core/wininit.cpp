// The rewrite of WININIT.INI: one new [rename] line among the previous bytes, all of them kept.
#include "setup_core.h"

#include <string.h>

namespace {

const char RenameHeader[] = "[rename]\r\n";
const size_t RenameHeaderLength = sizeof(RenameHeader) - 1;

// The end of the line starting at start: after a carriage return and the line feed that directly
// follows it, or the end of the content.
size_t LineEnd(const char* text, size_t size, size_t start) {
    size_t at = start;
    while (at < size && text[at] != '\r') {
        ++at;
    }
    if (at == size) {
        return size;
    }
    ++at;
    if (at < size && text[at] == '\n') {
        ++at;
    }
    return at;
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

struct Writer {
    char* output;
    size_t capacity;
    size_t length;
};

void Put(Writer& writer, const char* bytes, size_t size) {
    memcpy(writer.output + writer.length, bytes, size);
    writer.length += size;
}

void PutText(Writer& writer, const char* text) {
    Put(writer, text, strlen(text));
}

void PutRenameLine(Writer& writer, const char* toPath, const char* fromPath) {
    PutText(writer, toPath);
    PutText(writer, "=");
    PutText(writer, fromPath);
    PutText(writer, "\r\n");
}

} // namespace

size_t WininitCapacity(size_t oldSize, const char* toPath, const char* fromPath) {
    // Previous bytes, a CR LF to close an open last line, the header and the new line.
    return oldSize + 2 + RenameHeaderLength + strlen(toPath) + 1 + strlen(fromPath) + 2;
}

size_t RewriteWininit(const char* old, size_t oldSize, const char* toPath, const char* fromPath,
                      char* output, size_t capacity) {
    if (capacity < WininitCapacity(oldSize, toPath, fromPath)) {
        return 0;
    }
    Writer writer = {output, capacity, 0};
    bool lastEndedWithCrLf = true;
    size_t start = 0;
    while (start < oldSize) {
        const size_t end = LineEnd(old, oldSize, start);
        Put(writer, old + start, end - start);
        lastEndedWithCrLf = end - start >= 2 && old[end - 2] == '\r' && old[end - 1] == '\n';
        if (IsRenameHeader(old + start, end - start)) {
            PutRenameLine(writer, toPath, fromPath);
            Put(writer, old + end, oldSize - end);
            return writer.length;
        }
        start = end;
    }
    if (!lastEndedWithCrLf) {
        PutText(writer, "\r\n");
    }
    Put(writer, RenameHeader, RenameHeaderLength);
    PutRenameLine(writer, toPath, fromPath);
    return writer.length;
}
