// A static control turned into a hyperlink: underlined blue text, a hand cursor, a click opens
// its target through the shell.
#pragma once

#include <windows.h>

struct LinkLabel {
    HWND window;
    WNDPROC previousProc;
    HFONT font;
    char* text;
    char* target;
};

// Takes over the control (none: detaches). Returns TRUE.
BOOL Attach(LinkLabel* link, HWND control);
// The text shown (none: the control's own text) and, when given, what a click opens.
void SetText(LinkLabel* link, const char* text, const char* target);
// Gives the control its own procedure back and frees everything; all fields empty afterwards.
void Detach(LinkLabel* link);
