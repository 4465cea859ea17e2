// Replaces an entry of this program's import table, so that a test can count or record the calls
// that the product code (linked into the program) makes to a system function.
#pragma once

// Points the import of function from dll (case-insensitive) at replacement; returns what the
// entry held before (restore by hooking that back), or null when the program imports no such
// function by name.
void* HookImport(const char* dll, const char* function, void* replacement);

// GDI objects made through this program's imports of the creating functions (bitmaps, brushes,
// fonts, regions, device contexts) and not yet deleted by a successful DeleteObject or
// DeleteDC. Counting starts with InstallGdiCounter and covers the product code and the test alike.
void InstallGdiCounter();
long LiveGdiObjects();
long GdiObjectsCreated();
