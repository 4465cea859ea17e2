#include "about_box.h"

#include <string.h>

#include "../resources/resource.h"
#include "link_label.h"

namespace {

// Kept for the process: attached while an about box is open, empty in between.
LinkLabel webLink;
LinkLabel mailLink;
HWND openBox;

// The link's target is its own text with a scheme in front, so the resource holds the address.
void AttachLink(LinkLabel* link, HWND dialog, int id, const char* scheme) {
    HWND control = GetDlgItem(dialog, id);
    Attach(link, control);
    char address[256] = "";
    GetWindowTextA(control, address, sizeof(address));
    char target[300];
    const size_t schemeLength = strlen(scheme);
    memcpy(target, scheme, schemeLength);
    memcpy(target + schemeLength, address, strlen(address) + 1);
    SetText(link, nullptr, target);
}

} // namespace

HWND OpenAboutBox() {
    return openBox;
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        openBox = dialog;
        AttachLink(&webLink, dialog, IDC_WEB_LINK, "http://");
        AttachLink(&mailLink, dialog, IDC_MAIL_LINK, "mailto:");
        // OK has the focus first (Enter closes the box); Tab goes on to the links.
        SetFocus(GetDlgItem(dialog, IDOK));
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam) == IDOK ? 1 : 0);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        Detach(&webLink);
        Detach(&mailLink);
        if (openBox == dialog) {
            openBox = nullptr;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
