#include "link_label.h"

#include <shellapi.h>
#include <stdlib.h>

#include "../meters/meter.h"

namespace {

// The hand cursor of the help viewer, tried once per process.
HCURSOR linkCursor;
bool linkCursorTried;

HCURSOR LinkCursor() {
    if (!linkCursorTried) {
        linkCursorTried = true;
        HMODULE viewer = LoadLibraryA("WINHLP32.EXE");
        if (viewer) {
            HCURSOR cursor = LoadCursorA(viewer, MAKEINTRESOURCEA(106));
            if (cursor) {
                linkCursor = CopyIcon(cursor);
            }
            FreeLibrary(viewer);
        }
    }
    return linkCursor;
}

HFONT UnderlinedFont(HWND control) {
    HFONT current = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    LOGFONTA description;
    if (!current || GetObjectA(current, sizeof(description), &description) == 0) {
        current = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        GetObjectA(current, sizeof(description), &description);
    }
    description.lfUnderline = 1;
    return CreateFontIndirectA(&description);
}

void PaintLink(LinkLabel* link, HWND control) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(control, &paint);
    if (!link->font) {
        link->font = UnderlinedFont(control);
    }
    HGDIOBJ oldFont = SelectObject(dc, link->font);
    SetTextColor(dc, RGB(0, 0, 255));
    SetBkMode(dc, TRANSPARENT);
    RECT area;
    GetClientRect(control, &area);
    if (link->text) {
        DrawTextA(dc, link->text, -1, &area, DT_NOPREFIX);
    }
    SelectObject(dc, oldFont);
    EndPaint(control, &paint);
}

LRESULT CALLBACK LinkLabelProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    LinkLabel* link = reinterpret_cast<LinkLabel*>(GetWindowLongPtrA(control, GWLP_USERDATA));
    if (!link || !link->previousProc) {
        return DefWindowProcA(control, message, wParam, lParam);
    }
    switch (message) {
    case WM_NCHITTEST:
        return HTCLIENT;
    case WM_SETCURSOR:
        if (LinkCursor()) {
            SetCursor(linkCursor);
            return TRUE;
        }
        break;
    case WM_PAINT:
        PaintLink(link, control);
        return 1;
    case WM_LBUTTONDOWN:
        if (link->text || link->target) {
            ShellExecuteA(nullptr, "open", link->target ? link->target : link->text, nullptr,
                          nullptr, SW_SHOWNORMAL);
        }
        return 1;
    default:
        break;
    }
    return CallWindowProcA(link->previousProc, control, message, wParam, lParam);
}

} // namespace

BOOL Attach(LinkLabel* link, HWND control) {
    if (!control) {
        Detach(link);
        return TRUE;
    }
    link->window = control;
    SetWindowLongPtrA(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(link));
    link->previousProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LinkLabelProc)));
    return TRUE;
}

void SetText(LinkLabel* link, const char* text, const char* target) {
    char own[256] = "";
    if (!text && link->window) {
        GetWindowTextA(link->window, own, sizeof(own));
    }
    free(link->text);
    link->text = CopyText(text ? text : own);
    if (target) {
        free(link->target);
        link->target = CopyText(target);
    }
}

void Detach(LinkLabel* link) {
    if (link->font) {
        DeleteObject(link->font);
    }
    if (link->window && link->previousProc) {
        SetWindowLongPtrA(link->window, GWLP_WNDPROC,
                          reinterpret_cast<LONG_PTR>(link->previousProc));
        SetWindowLongPtrA(link->window, GWLP_USERDATA, 0);
    }
    free(link->text);
    free(link->target);
    link->window = nullptr;
    link->previousProc = nullptr;
    link->font = nullptr;
    link->text = nullptr;
    link->target = nullptr;
}
