// The message of a folder that cannot be created, answered from a second thread as a user would
// (the run shows the other file-copy message).
#include <gtest/gtest.h>

#include "driver.h"
#include "setup_state.h"

TEST(SetupMessagesTest, AFolderThatCannotBeCreatedShowsItsText) {
    WhileDriven(
        [] { Answer("セットアップエラー", IDOK, "指定されたフォルダが作成できませんでした"); },
        [] { ShowErrorCode(FolderNotCreated); });
}
