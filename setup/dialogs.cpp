// The opening dialog, the destination dialog and its folder browser.
#include "setup_state.h"

#include <shlobj.h>

#include "resource.h"

namespace {

void CopyBounded(char* output, size_t capacity, const char* text) {
    size_t i = 0;
    for (; i + 1 < capacity && text[i]; ++i) {
        output[i] = text[i];
    }
    output[i] = '\0';
}

void InitIntro(HWND dialog) {
    char caption[1284];
    wsprintfA(caption, "%sの%s", setupState.title,
              setupState.uninstallMode ? "アンインストール" : "セットアップ");
    SetWindowTextA(dialog, caption);
    SetDlgItemTextA(dialog, IDC_EXPLANATION, setupState.explanation);
    SetFocus(GetDlgItem(dialog, IDOK));
}

INT_PTR CALLBACK IntroProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        InitIntro(dialog);
        return FALSE; // the focus is set
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam) == IDOK ? 1 : 0);
        return TRUE;
    }
    return FALSE;
}

void InitDestination(HWND dialog) {
    HWND edit = GetDlgItem(dialog, IDC_FOLDER);
    SetWindowTextA(edit, setupState.installFolder);
    const int length = GetWindowTextLengthA(edit);
    SendMessageA(edit, EM_SETSEL, length, length);
    SetFocus(edit);
}

void ConfirmDestination(HWND dialog) {
    char folder[PathCapacity];
    GetDlgItemTextA(dialog, IDC_FOLDER, folder, sizeof(folder));
    if (MessageBoxFormat(dialog, MB_YESNO | MB_ICONQUESTION, "インストール先の確認",
                         "「%s」にインストールします。\nよろしいですか？", folder) != IDYES) {
        return;
    }
    // Taken as typed: the user's text is not expanded.
    CopyBounded(setupState.installFolder, sizeof(setupState.installFolder), folder);
    EndDialog(dialog, 1);
}

// The shell's folder browser; the chosen folder replaces the edit text. Owned by the dialog so
// that the dialog cannot be ended or asked twice while the browser is open.
void BrowseForFolder(HWND dialog) {
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)) || !allocator) {
        return;
    }
    char displayName[MAX_PATH];
    BROWSEINFOA browse = {};
    browse.hwndOwner = dialog;
    browse.pszDisplayName = displayName;
    browse.lpszTitle = "インストール先を選択してください";
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
    LPITEMIDLIST chosen = SHBrowseForFolderA(&browse);
    if (chosen) {
        char path[MAX_PATH];
        if (SHGetPathFromIDListA(chosen, path)) {
            SetDlgItemTextA(dialog, IDC_FOLDER, path);
        }
        allocator->Free(chosen);
    }
    allocator->Release();
}

INT_PTR CALLBACK DestinationProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        InitDestination(dialog);
        return FALSE; // the focus is set
    }
    if (message != WM_COMMAND) {
        return FALSE;
    }
    switch (LOWORD(wParam)) {
    case IDOK:
        ConfirmDestination(dialog);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, 0);
        return TRUE;
    case IDC_BROWSE:
        BrowseForFolder(dialog);
        return TRUE;
    }
    return FALSE;
}

// The folder of the installed copy when the product's uninstall entry names one: an install
// elsewhere would leave that copy where nothing removes it.
void ProposeInstalledFolder() {
    char keyName[PathCapacity * 2];
    HKEY key = nullptr;
    if (!UninstallKeyName(keyName, sizeof(keyName), setupState.title, IsAnsiLeadByte) ||
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return;
    }
    char command[PathCapacity * 2 + 8];
    DWORD type = 0;
    DWORD size = sizeof(command) - 1;
    const LONG result = RegQueryValueExA(key, "UninstallString", nullptr, &type,
                                         reinterpret_cast<BYTE*>(command), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ) {
        return;
    }
    command[size] = '\0';
    char folder[PathCapacity];
    if (InstalledFolder(command, folder, sizeof(folder), IsAnsiLeadByte)) {
        CopyBounded(setupState.installFolder, sizeof(setupState.installFolder), folder);
    }
}

} // namespace

bool IntroDialog() {
    return DialogBoxParamA(setupState.instance, MAKEINTRESOURCEA(IDD_INTRO), nullptr, IntroProc,
                           0) == 1;
}

bool DestinationDialog() {
    ProposeInstalledFolder();
    return DialogBoxParamA(setupState.instance, MAKEINTRESOURCEA(IDD_DESTINATION), nullptr,
                           DestinationProc, 0) == 1;
}
