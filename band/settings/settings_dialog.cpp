#include "settings_dialog.h"

// The dialog's categories, candidates and preview come with its resource; until then it
// closes as cancelled, leaving the list untouched.
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}
