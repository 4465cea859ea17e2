#pragma once

#include <windows.h>

// Dialog procedure of the settings dialog (dialog 101); its creation parameter is the address
// of the band's meter list, which OK replaces.
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The settings dialog open in this process, or null. Its state is module-wide, so a second one
// is refused while this one is up.
HWND OpenSettingsDialog();
