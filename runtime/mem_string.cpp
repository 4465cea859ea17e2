// Plain loops: built with -fno-builtin -fno-tree-loop-distribute-patterns, or the compiler would
// turn them back into calls to memcpy and memset, which are these very routines when shipped.
#include "mem_string.h"

void* VtMemCopy(void* target, const void* source, size_t count) {
    unsigned char* to = static_cast<unsigned char*>(target);
    const unsigned char* from = static_cast<const unsigned char*>(source);
    while (count--) {
        *to++ = *from++;
    }
    return target;
}

void* VtMemMove(void* target, const void* source, size_t count) {
    unsigned char* to = static_cast<unsigned char*>(target);
    const unsigned char* from = static_cast<const unsigned char*>(source);
    if (to <= from || to >= from + count) {
        return VtMemCopy(target, source, count);
    }
    // The target overlaps the source's tail: copy from the end.
    while (count--) {
        to[count] = from[count];
    }
    return target;
}

void* VtMemSet(void* target, int value, size_t count) {
    unsigned char* to = static_cast<unsigned char*>(target);
    while (count--) {
        *to++ = static_cast<unsigned char>(value);
    }
    return target;
}

// Bytes compare unsigned, as the C library's do: code-page-932 lead bytes sort above ASCII.
int VtMemCompare(const void* left, const void* right, size_t count) {
    const unsigned char* a = static_cast<const unsigned char*>(left);
    const unsigned char* b = static_cast<const unsigned char*>(right);
    for (size_t i = 0; i < count; ++i) {
        if (a[i] != b[i]) {
            return a[i] < b[i] ? -1 : 1;
        }
    }
    return 0;
}

size_t VtStrLengthN(const char* text, size_t limit) {
    size_t length = 0;
    while (length < limit && text[length]) {
        ++length;
    }
    return length;
}

size_t VtStrLength(const char* text) {
    return VtStrLengthN(text, static_cast<size_t>(-1));
}

int VtStrCompareN(const char* left, const char* right, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const unsigned char a = static_cast<unsigned char>(left[i]);
        const unsigned char b = static_cast<unsigned char>(right[i]);
        if (a != b) {
            return a < b ? -1 : 1;
        }
        if (!a) {
            break;
        }
    }
    return 0;
}

int VtStrCompare(const char* left, const char* right) {
    return VtStrCompareN(left, right, static_cast<size_t>(-1));
}

char* VtStrCopy(char* target, const char* source) {
    VtMemCopy(target, source, VtStrLength(source) + 1);
    return target;
}

char* VtStrAppend(char* target, const char* source) {
    VtStrCopy(target + VtStrLength(target), source);
    return target;
}

bool VtArrayBytes(size_t count, size_t size, size_t* bytes) {
    if (size && count > static_cast<size_t>(-1) / size) {
        return false;
    }
    *bytes = count * size;
    return true;
}
