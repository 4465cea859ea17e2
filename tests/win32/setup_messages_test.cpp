// The installer's file-copy error messages, answered from a second thread as a user would (the
// internal error's text: the end-to-end run).
#include <gtest/gtest.h>

#include "driver.h"
#include "setup_state.h"

namespace {

TEST(SetupMessagesTest, FileCopyErrorsShowTheirFixedTexts) {
    const std::pair<EErrorCode, const char*> cases[] = {
        {FolderNotCreated, "指定されたフォルダが作成できませんでした"},
        {static_cast<EErrorCode>(7), "原因不明のエラーが発生しました"}};
    for (const auto& c : cases) {
        WhileDriven([&] { Answer("セットアップエラー", IDOK, c.second); },
                    [&] { ShowErrorCode(c.first); });
    }
}

} // namespace
