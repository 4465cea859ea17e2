#pragma once

#include <windows.h>

// The about box that is open in this process, or null.
HWND OpenAboutBox();
// Dialog procedure of the about box (dialog 100): the maker's web and mail addresses as links.
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
