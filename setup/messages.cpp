// Message boxes of the installer.
#include "setup_state.h"

#include <stdarg.h>

int MessageBoxFormat(HWND owner, UINT flags, const char* caption, const char* format, ...) {
    // wvsprintfA writes at most 1024 characters, whatever the buffer.
    char text[4096];
    va_list arguments;
    va_start(arguments, format);
    wvsprintfA(text, format, arguments);
    va_end(arguments);
    return MessageBoxA(owner, text, caption, flags);
}

void ShowSetupError(const char* text) {
    MessageBoxFormat(nullptr, MB_OK | MB_ICONERROR, "セットアップエラー", "%s", text);
}

void ShowErrorCode(EErrorCode code) {
    switch (code) {
    case InternalError:
        ShowSetupError("内部エラーのため、セットアップができませんでした");
        return;
    case FolderNotCreated:
        ShowSetupError("指定されたフォルダが作成できませんでした");
        return;
    case CopyFailed:
        break;
    }
    ShowSetupError("原因不明のエラーが発生しました");
}
