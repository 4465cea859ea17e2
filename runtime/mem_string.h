// The memory and string routines of the shipped binaries, which carry no C runtime. Under
// names of their own, so that the native tests check them beside the C library's.
#pragma once

#include <stddef.h>

void* VtMemCopy(void* target, const void* source, size_t count);
void* VtMemMove(void* target, const void* source, size_t count);
void* VtMemSet(void* target, int value, size_t count);
int VtMemCompare(const void* left, const void* right, size_t count);
size_t VtStrLength(const char* text);
size_t VtStrLengthN(const char* text, size_t limit);
int VtStrCompare(const char* left, const char* right);
int VtStrCompareN(const char* left, const char* right, size_t count);
char* VtStrCopy(char* target, const char* source);
char* VtStrAppend(char* target, const char* source);
// count * size in bytes; false when that does not fit in a size_t.
bool VtArrayBytes(size_t count, size_t size, size_t* bytes);
