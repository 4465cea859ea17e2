// The installer's file-copy error messages, answered from a second thread as a user would.
#include <gtest/gtest.h>

#include "driver.h"
#include "setup_state.h"

namespace {

TEST(SetupMessagesTest, FileCopyErrorsShowTheirFixedTexts) {
    const std::pair<EErrorCode, const char*> cases[] = {
        {InternalError, "内部エラーのため、セットアップができませんでした"},
        {FolderNotCreated, "指定されたフォルダが作成できませんでした"},
        {static_cast<EErrorCode>(7), "原因不明のエラーが発生しました"}};
    for (const auto& c : cases) {
        WhileDriven(
            [&] {
                Answer("セットアップエラー", IDOK, c.second, [](HWND box) {
                    EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr) << "OK only";
                });
            },
            [&] { ShowErrorCode(c.first); });
    }
}

} // namespace
