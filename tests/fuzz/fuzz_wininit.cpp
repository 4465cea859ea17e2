// Whatever WININIT.INI holds, its rewrite keeps every byte and stays within its buffer; the short
// form of any path stays within its capacity.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "core/setup_core.h"

namespace {

bool IsLeadCp932(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Every other existing path has an alias as long as its length allows.
bool Alias(void*, const char* path, char* alias, size_t capacity) {
    const size_t length = strlen(path);
    if (length % 2) {
        return false;
    }
    const size_t size = length % capacity;
    memset(alias, 'A', size);
    alias[size] = '\0';
    return true;
}

void CheckRewrite(const uint8_t* data, size_t size) {
    const char* to = "C:\\PROGRA~1\\VT.DLL";
    const char* from = "C:\\PROGRA~1\\_STT0001";
    std::vector<char> output(WininitCapacity(size, to, from));
    const size_t length = RewriteWininit(reinterpret_cast<const char*>(data), size, to, from,
                                         output.data(), output.size());
    if (length < size || length > output.size()) {
        abort();
    }
    // Either the line went in somewhere between the previous bytes, or a header and the line were
    // appended after them (with a CR LF to close an open last line).
    const std::string result(output.data(), length);
    const std::string old(reinterpret_cast<const char*>(data), size);
    const std::string line = std::string(to) + "=" + from + "\r\n";
    if (result == old + "[rename]\r\n" + line || result == old + "\r\n[rename]\r\n" + line) {
        return;
    }
    for (size_t k = 0; k <= size; ++k) {
        if (result.compare(0, k, old, 0, k) != 0) {
            break;
        }
        if (result.compare(k, line.size(), line) == 0 &&
            result.compare(k + line.size(), std::string::npos, old, k, std::string::npos) == 0) {
            return;
        }
    }
    abort();
}

void CheckShortPath(const uint8_t* data, size_t size) {
    std::string path(reinterpret_cast<const char*>(data), size);
    path = path.c_str();
    const size_t capacity = size % 64;
    std::vector<char> output(capacity);
    if (ToShortPath(output.data(), capacity, path.c_str(), Alias, nullptr, IsLeadCp932) &&
        strnlen(output.data(), capacity) >= capacity) {
        abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckRewrite(data, size);
    CheckShortPath(data, size);
    return 0;
}
