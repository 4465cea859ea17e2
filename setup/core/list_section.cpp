// The lines of a list section of the script, and the two sides of a file line.
#include "setup_core.h"

namespace {

bool IsLead(LeadByteTest isLead, const char* p) {
    return isLead(static_cast<unsigned char>(*p));
}

// The first "=" in [p, end), stepping over double-byte characters; end when there is none.
const char* FindEquals(const char* p, const char* end, LeadByteTest isLead) {
    while (p < end) {
        if (*p == '=') {
            return p;
        }
        p += (IsLead(isLead, p) && p + 1 < end) ? 2 : 1;
    }
    return end;
}

const char* EndOfLine(const char* line) {
    while (*line) {
        ++line;
    }
    return line;
}

// Copies [begin, end) with its terminator into output; a lone lead byte at the end is dropped.
ListLineStatus CopySpan(const char* begin, const char* end, char* output, size_t capacity,
                        LeadByteTest isLead) {
    size_t used = 0;
    const char* p = begin;
    while (p < end) {
        const size_t step = IsLead(isLead, p) ? 2 : 1;
        if (p + step > end) {
            break;
        }
        if (used + step >= capacity) {
            return ListLineTooLong;
        }
        for (size_t i = 0; i < step; ++i) {
            output[used++] = p[i];
        }
        p += step;
    }
    if (used >= capacity) {
        return ListLineTooLong;
    }
    output[used] = '\0';
    return ListLineOk;
}

} // namespace

SectionReader ReadSection(const char* buffer, size_t capacity, size_t fetched) {
    SectionReader reader = {buffer, buffer};
    if (fetched + 2 == capacity || fetched >= capacity) {
        return reader;
    }
    reader.end = buffer + fetched;
    return reader;
}

const char* NextSectionLine(SectionReader& reader) {
    if (reader.next >= reader.end || *reader.next == '\0') {
        return nullptr;
    }
    const char* line = reader.next;
    const char* p = line;
    while (p < reader.end && *p) {
        ++p;
    }
    // A line must end with its own zero inside what was fetched.
    if (p >= reader.end) {
        reader.next = reader.end;
        return nullptr;
    }
    reader.next = p + 1;
    return line;
}

ListLineStatus CopyListLine(const char* line, char* output, size_t capacity, LeadByteTest isLead) {
    return CopySpan(line, EndOfLine(line), output, capacity, isLead);
}

ListLineStatus SplitFileLine(const char* line, char* destination, size_t destinationCapacity,
                             char* source, size_t sourceCapacity, LeadByteTest isLead) {
    const char* end = EndOfLine(line);
    const char* equals = FindEquals(line, end, isLead);
    if (equals == end) {
        return ListLineNoSeparator;
    }
    const char* sourceEnd = FindEquals(equals + 1, end, isLead);
    ListLineStatus status = CopySpan(line, equals, destination, destinationCapacity, isLead);
    if (status != ListLineOk) {
        return status;
    }
    status = CopySpan(equals + 1, sourceEnd, source, sourceCapacity, isLead);
    if (status != ListLineOk) {
        return status;
    }
    return sourceEnd == end ? ListLineOk : ListLineExtraSeparator;
}
