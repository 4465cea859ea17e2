// Script values and list sections come from a file anyone can edit: every input must expand and
// split within its buffers. Each buffer is allocated to its exact size so that AddressSanitizer
// sees the first byte written past it.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "core/setup_core.h"

namespace {

bool IsLeadCp932(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Lookups answer with a value whose length follows the name: empty, fitting or too long.
size_t Lookup(void*, ExpandSource source, const char* name, char* value, size_t capacity) {
    const size_t length = (strlen(name) * 37 + static_cast<size_t>(source) * 11) % 300;
    if (length >= capacity) {
        return length + 1;
    }
    memset(value, 'v', length);
    value[length] = '\0';
    return length;
}

void CheckExpand(const char* text, size_t capacity) {
    std::vector<char> output(capacity);
    const ExpandServices services = {IsLeadCp932, Lookup, nullptr};
    if (ExpandText(output.data(), capacity, text, services)) {
        if (strnlen(output.data(), capacity) >= capacity) {
            abort();
        }
    }
}

void CheckSection(const uint8_t* data, size_t size) {
    // The buffer as the profile reader leaves it: the fetched bytes, then zeros (one byte more
    // than the reader's cut-off signal, so that the lines are read).
    std::vector<char> buffer(size + 3, '\0');
    memcpy(buffer.data(), data, size);
    SectionReader reader = ReadSection(buffer.data(), buffer.size(), size);
    while (const char* line = NextSectionLine(reader)) {
        std::vector<char> destination(PathCapacity);
        std::vector<char> source(PathCapacity);
        SplitFileLine(line, destination.data(), destination.size(), source.data(), source.size(),
                      IsLeadCp932);
        std::vector<char> whole(PathCapacity);
        CopyListLine(line, whole.data(), whole.size(), IsLeadCp932);
        const char* const ownPaths[] = {line, "C:\\Program Files\\setup.bin"};
        ParseSetupCommand(SkipProgramName(line, ownPaths, 2, IsLeadCp932));
        std::vector<char> key(PathCapacity);
        UninstallKeyName(key.data(), key.size(), line, IsLeadCp932);
        std::vector<char> value(PathCapacity);
        FindEnvironmentValue(buffer.data(), line, value.data(), value.size(), IsLeadCp932);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const size_t capacity = data[0];
    std::vector<char> text(data + 1, data + size);
    text.push_back('\0');
    CheckExpand(text.data(), capacity);
    CheckSection(data + 1, size - 1);
    return 0;
}
