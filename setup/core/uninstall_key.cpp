// The name of the uninstall entry, which must name the product's own key and no other.
#include "setup_core.h"

bool UninstallKeyName(char* output, size_t capacity, const char* title, LeadByteTest isLead) {
    static const char parent[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    if (!title[0]) {
        return false;
    }
    size_t used = 0;
    for (const char* p = parent; *p; ++p) {
        if (used + 1 >= capacity) {
            return false;
        }
        output[used++] = *p;
    }
    for (const char* p = title; *p;) {
        const size_t step = (isLead(static_cast<unsigned char>(*p)) && p[1]) ? 2 : 1;
        if (step == 1 && *p == '\\') {
            return false;
        }
        if (used + step >= capacity) {
            return false;
        }
        for (size_t i = 0; i < step; ++i) {
            output[used++] = p[i];
        }
        p += step;
    }
    output[used] = '\0';
    return true;
}
