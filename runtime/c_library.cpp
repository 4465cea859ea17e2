// The C library's names for what the shipped binaries and the compiler call: the routines of
// mem_string.cpp and memory from the process heap. Linked only into vt.dll and setup.exe, which
// start without a C runtime; the test programs keep their own.
#include <windows.h>

#include "mem_string.h"

extern "C" {

void* memcpy(void* target, const void* source, size_t count) {
    return VtMemCopy(target, source, count);
}

void* memmove(void* target, const void* source, size_t count) {
    return VtMemMove(target, source, count);
}

void* memset(void* target, int value, size_t count) {
    return VtMemSet(target, value, count);
}

int memcmp(const void* left, const void* right, size_t count) {
    return VtMemCompare(left, right, count);
}

size_t strlen(const char* text) {
    return VtStrLength(text);
}

size_t strnlen(const char* text, size_t limit) {
    return VtStrLengthN(text, limit);
}

int strcmp(const char* left, const char* right) {
    return VtStrCompare(left, right);
}

int strncmp(const char* left, const char* right, size_t count) {
    return VtStrCompareN(left, right, count);
}

char* strcpy(char* target, const char* source) {
    return VtStrCopy(target, source);
}

char* strcat(char* target, const char* source) {
    return VtStrAppend(target, source);
}

void* malloc(size_t size) {
    return HeapAlloc(GetProcessHeap(), 0, size);
}

void* calloc(size_t count, size_t size) {
    size_t bytes = 0;
    if (!VtArrayBytes(count, size, &bytes)) {
        return nullptr;
    }
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes);
}

void free(void* block) {
    if (block) {
        HeapFree(GetProcessHeap(), 0, block);
    }
}

// A failed resize leaves the block as it was, as the C library's does.
void* realloc(void* block, size_t size) {
    if (!block) {
        return malloc(size);
    }
    return HeapReAlloc(GetProcessHeap(), 0, block, size);
}

} // extern "C"
