// Every input from outside, fed the same bytes: the band's stored state as the shell hands it
// back, script values and list sections from a file anyone can edit, WININIT.INI as found on disk
// and paths shortened for it. No crash, no leak, no write past a buffer: each buffer is allocated
// to its exact size so that AddressSanitizer sees the first byte written past it.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "core/setup_core.h"
#include "shell/band_state.h"

namespace {

bool IsLeadCp932(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// The bytes not read yet.
struct Input {
    const uint8_t* data;
    size_t left;
};

bool ReadInput(void* context, void* buffer, uint32_t size) {
    Input* input = static_cast<Input*>(context);
    if (input->left < size) {
        return false;
    }
    memcpy(buffer, input->data, size);
    input->data += size;
    input->left -= size;
    return true;
}

bool Append(void* context, const void* data, uint32_t size) {
    std::vector<uint8_t>* output = static_cast<std::vector<uint8_t>*>(context);
    output->insert(output->end(), static_cast<const uint8_t*>(data),
                   static_cast<const uint8_t*>(data) + size);
    return true;
}

// Whatever loads saves back at its computed size, and that stream loads and saves to the same
// bytes again.
std::vector<uint8_t> Resave(const uint8_t* data, size_t size, bool mustLoad) {
    Input input = {data, size};
    BandOptions options = {1, 0};
    Meter* meters = nullptr;
    const bool loaded =
        LoadBandState(ByteReader{&ReadInput, &input}, &options, &meters) == BandStateOk;
    std::vector<uint8_t> saved;
    if (SaveBandState(ByteWriter{&Append, &saved}, options, meters) != BandStateOk ||
        saved.size() != BandStateSize(meters) || (mustLoad && !loaded)) {
        abort();
    }
    ReleaseMeters(meters);
    return saved;
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

void CheckSetupText(const char* text, size_t capacity, const uint8_t* data, size_t size) {
    std::vector<char> output(capacity);
    const ExpandServices services = {IsLeadCp932, Lookup, nullptr};
    if (ExpandText(output.data(), capacity, text, services) &&
        strnlen(output.data(), capacity) >= capacity) {
        abort();
    }
    // The buffer as the profile reader leaves it: the fetched bytes, then zeros (one byte more
    // than the reader's cut-off signal, so that the lines are read).
    std::vector<char> buffer(size + 3, '\0');
    memcpy(buffer.data(), data, size);
    SectionReader reader = ReadSection(buffer.data(), buffer.size(), size);
    std::vector<char> first(PathCapacity), second(PathCapacity);
    while (const char* line = NextSectionLine(reader)) {
        SplitFileLine(line, first.data(), first.size(), second.data(), second.size(), IsLeadCp932);
        CopyListLine(line, first.data(), first.size(), IsLeadCp932);
        const char* const ownPaths[] = {line, "C:\\Program Files\\setup.bin"};
        ParseSetupCommand(SkipProgramName(line, ownPaths, 2, IsLeadCp932));
        UninstallKeyName(first.data(), first.size(), line, IsLeadCp932);
        FindEnvironmentValue(buffer.data(), line, first.data(), first.size(), IsLeadCp932);
    }
}

// Every other existing path has an alias as long as its length allows.
bool Alias(void*, const char* path, char* alias, size_t capacity) {
    const size_t length = strlen(path);
    if (length % 2) {
        return false;
    }
    memset(alias, 'A', length % capacity);
    alias[length % capacity] = '\0';
    return true;
}

// Both rewrites stay within their computed buffers; a new line is always written, and whatever
// is dropped, no more bytes go than were there. A short path stays in its capacity.
void CheckWininit(const uint8_t* data, size_t size, const char* text) {
    const char* old = reinterpret_cast<const char*>(data);
    const char* path = "C:\\PROGRA~1\\VT.DLL";
    const WaitingChange change = {path, size % 2 ? "NUL" : path, "C:\\PROGRA~1\\_STT0001"};
    const size_t added = strlen(change.toPath) + strlen(change.fromPath) + 3;
    std::vector<char> output(WininitCapacity(size, change)), temporaries(size + 1);
    WaitingOutput rewrite = {output.data(), output.size(), temporaries.data(), 0, 0};
    if (!RewriteWininit(old, size, change, IsLeadCp932, rewrite) || rewrite.length < added ||
        rewrite.length > output.size() || (!rewrite.dropped && rewrite.length < size + added)) {
        abort();
    }
    std::vector<char> pending(size + 3);
    rewrite = {pending.data(), pending.size(), temporaries.data(), 0, 0};
    if (!DropPendingRenames(old, size, {path, nullptr, nullptr}, IsLeadCp932, rewrite) ||
        rewrite.length > pending.size()) {
        abort();
    }
    const size_t capacity = size % 64;
    std::vector<char> shortened(capacity);
    if (ToShortPath(shortened.data(), capacity, text, Alias, nullptr, IsLeadCp932) &&
        strnlen(shortened.data(), capacity) >= capacity) {
        abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> saved = Resave(data, size, false);
    if (Resave(saved.data(), saved.size(), true) != saved) {
        abort();
    }
    if (size == 0) {
        return 0;
    }
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    CheckSetupText(text.c_str(), data[0], data + 1, size - 1);
    CheckWininit(data, size, text.c_str());
    return 0;
}
