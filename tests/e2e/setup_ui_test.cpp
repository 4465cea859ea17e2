// setup.exe as Windows starts it: command lines it refuses and the uninstall entry as stored;
// texts compared in code page 932.
#include <gtest/gtest.h>

#include <string>

#include "driver.h"

namespace {

// One folder with blanks in its path, each run in turn.
TEST(SetupUiTest, RefusedCommandLinesAndTheStoredEntry) {
    SetupFolder folder("vt-e2e folder with blanks");
    const std::string setupExe = folder.path + "setup.exe";

    // A script path too long for the uninstall or for its relaunch is refused with a message,
    // before any temporary file exists.
    const std::string tooLong = "C:\\" + std::string(257, 'p');
    for (const char* mode : {" /U ", " /u "}) {
        const int before = TemporaryFileCount();
        SetupProcess setup(setupExe, mode + tooLong);
        Answer("エラー", IDOK,
               mode[2] == 'U' ? "アンインストール情報が不正です"
                              : "アンインストールに失敗しました。");
        EXPECT_EQ(setup.WaitForExit(), 0u) << mode;
        EXPECT_EQ(TemporaryFileCount(), before) << mode;
    }

    // The uninstall entry as stored, quoted, and as an older install stored it: a program path
    // with blanks, not quoted. Both are in uninstall mode and end with the restart question.
    for (bool quoted : {true, false}) {
        // The uninstall deletes setup.dat.
        WriteFileText(folder.path + "setup.dat", "[Info]\r\nTitle=Veltrim ソフト\r\n");
        SetupProcess uninstall(setupExe, " /U " + folder.path + "setup.dat", quoted);
        Answer("Veltrim ソフトのアンインストール", IDOK);
        Answer("再起動", IDNO, "アンインストールを完了するため、Windowsを再起動します。");
        EXPECT_EQ(uninstall.WaitForExit(), 0u) << "quoted " << quoted;
    }
}

} // namespace
