// The installer's file-copy error messages, answered from a second thread as a user would.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup_state.h"

namespace {

struct SeenBox {
    std::string caption;
    std::string text;
    bool okOnly;
};

struct Answerer {
    DWORD threadId;
    std::vector<SeenBox> seen;
    HANDLE stop;
};

BOOL CALLBACK AnswerBox(HWND window, LPARAM parameter) {
    Answerer& answerer = *reinterpret_cast<Answerer*>(parameter);
    if (GetWindowThreadProcessId(window, nullptr) != answerer.threadId ||
        !IsWindowVisible(window) || !GetDlgItem(window, 0xFFFF)) {
        return TRUE;
    }
    char caption[256];
    char text[1024];
    GetWindowTextA(window, caption, sizeof(caption));
    GetDlgItemTextA(window, 0xFFFF, text, sizeof(text));
    const bool okOnly = GetDlgItem(window, IDOK) && !GetDlgItem(window, IDCANCEL) &&
                        !GetDlgItem(window, IDYES) && !GetDlgItem(window, IDNO);
    answerer.seen.push_back({caption, text, okOnly});
    ShowWindow(window, SW_HIDE);
    PostMessageA(window, WM_COMMAND, IDOK, 0);
    return FALSE;
}

DWORD WINAPI AnswerBoxes(void* parameter) {
    Answerer& answerer = *static_cast<Answerer*>(parameter);
    while (WaitForSingleObject(answerer.stop, 20) == WAIT_TIMEOUT) {
        EnumWindows(AnswerBox, reinterpret_cast<LPARAM>(&answerer));
    }
    return 0;
}

TEST(SetupMessagesTest, FileCopyErrorsShowTheirFixedTexts) {
    Answerer answerer = {GetCurrentThreadId(), {}, CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    HANDLE thread = CreateThread(nullptr, 0, AnswerBoxes, &answerer, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ShowErrorCode(InternalError);
    ShowErrorCode(FolderNotCreated);
    ShowErrorCode(static_cast<EErrorCode>(7));
    SetEvent(answerer.stop);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(answerer.stop);

    ASSERT_EQ(answerer.seen.size(), 3u);
    const char* const expected[] = {"内部エラーのため、セットアップができませんでした",
                                    "指定されたフォルダが作成できませんでした",
                                    "原因不明のエラーが発生しました"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(answerer.seen[i].caption, "セットアップエラー");
        EXPECT_EQ(answerer.seen[i].text, expected[i]);
        EXPECT_TRUE(answerer.seen[i].okOnly);
    }
}

} // namespace
