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

// On the dialog's background, so that the focus mark goes when the focus does; the mark is a
// dotted frame around the text.
void PaintLink(LinkLabel* link, HWND control) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(control, &paint);
    if (!link->font) {
        link->font = UnderlinedFont(control);
    }
    RECT area;
    GetClientRect(control, &area);
    HBRUSH background = reinterpret_cast<HBRUSH>(SendMessageA(GetParent(control), WM_CTLCOLORSTATIC,
                                                              reinterpret_cast<WPARAM>(dc),
                                                              reinterpret_cast<LPARAM>(control)));
    FillRect(dc, &area,
             background ? background
                        : reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1)));
    HGDIOBJ oldFont = SelectObject(dc, link->font);
    SetTextColor(dc, RGB(0, 0, 255));
    SetBkMode(dc, TRANSPARENT);
    if (link->text) {
        DrawTextA(dc, link->text, -1, &area, DT_NOPREFIX);
        RECT mark = area;
        DrawTextA(dc, link->text, -1, &mark, DT_NOPREFIX | DT_CALCRECT);
        if (GetFocus() == control && IntersectRect(&mark, &mark, &area)) {
            DrawFocusRect(dc, &mark);
        }
    }
    SelectObject(dc, oldFont);
    EndPaint(control, &paint);
}

void Open(const LinkLabel* link) {
    if (link->text || link->target) {
        ShellExecuteA(nullptr, "open", link->target ? link->target : link->text, nullptr, nullptr,
                      SW_SHOWNORMAL);
    }
}

// Enter on a focused link opens it instead of pressing the dialog's default button.
bool IsEnterKey(LPARAM message) {
    const MSG* key = reinterpret_cast<const MSG*>(message);
    return key && key->message == WM_KEYDOWN && key->wParam == VK_RETURN;
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
        Open(link);
        return 1;
    case WM_GETDLGCODE:
        if (IsEnterKey(lParam)) {
            return DLGC_WANTMESSAGE;
        }
        break;
    case WM_KEYDOWN: // Enter or Space, as a click; a key held down opens once
        if ((wParam == VK_RETURN || wParam == VK_SPACE) && !(lParam & 0x40000000)) {
            Open(link);
            return 0;
        }
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(control, nullptr, FALSE);
        break;
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
