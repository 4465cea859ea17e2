#pragma once

#include <windows.h>

// Dialog procedure of the settings dialog (dialog 101); its creation parameter is the address
// of the band's meter list, which OK replaces.
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
