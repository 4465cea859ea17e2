// Replaces an entry of an import table, so that a test can count or record the calls that the
// product code (linked into the program, or vt.dll) makes to a system function.
#pragma once

#include <windows.h>

// Points module's (the program's for null) import of function from dll (case-insensitive) at
// replacement; returns what the entry held before (restore by hooking that back), or null when
// the module imports no such function by name.
void* HookImport(const char* dll, const char* function, void* replacement,
                 HMODULE module = nullptr);

// The same for as long as the swap lives; original is what the stand-in calls through.
struct ImportSwap {
    const char* dll;
    const char* name;
    HMODULE module;
    void* original;
    ImportSwap(HMODULE module, const char* dll, const char* name, void* standIn);
    ~ImportSwap();
};

// GDI objects made through this program's imports of the creating functions (bitmaps, brushes,
// fonts, regions, device contexts) and not yet deleted by a successful DeleteObject or
// DeleteDC. Counting starts with InstallGdiCounter and covers the product code and the test alike.
void InstallGdiCounter();
long LiveGdiObjects();
long GdiObjectsCreated();
