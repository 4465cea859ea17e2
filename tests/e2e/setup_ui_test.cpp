// setup.exe as Windows starts it: command lines it refuses, one installer at a time, Cancel, and
// the uninstall entry as stored; texts compared in code page 932.
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

    // One installer at a time: a second one is refused while the first runs, and so is the copy
    // that the uninstall's relaunch starts (the relaunch itself ends at once without looking).
    // Cancel in the destination dialog then ends the install; it proposed the folder of the
    // installed copy that the uninstall entry starts.
    WriteFileText(folder.path + "SETUP.DAT", "[Info]\r\nTitle=Veltrim ソフト\r\n[Install]\r\n"
                                             "DefaultInstallFolder=C:\\\\Veltrim\r\n");
    SetRegText(HKEY_LOCAL_MACHINE,
               "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Veltrim ソフト",
               "UninstallString", "\"C:\\Old Place\\setup.bin\" /u C:\\Old Place\\setup.dat");
    SetupProcess setup(setupExe, "");
    HWND intro = WaitForWindow(setup, "Veltrim ソフトのセットアップ");
    ASSERT_NE(intro, nullptr);
    SetupProcess second(setupExe, "");
    Answer("セットアップエラー", IDOK, "セットアップは２重起動できません");
    EXPECT_EQ(second.WaitForExit(), 0u);
    SetupProcess relaunch(setupExe, " /u " + folder.path + "SETUP.DAT");
    EXPECT_EQ(relaunch.WaitForExit(), 0u) << "the relaunch waits for its copy";
    Answer("セットアップエラー", IDOK, "セットアップは２重起動できません");
    Press(intro, IDOK);
    HWND destination = WaitForWindow(setup, "インストール先の選択");
    ASSERT_NE(destination, nullptr);
    EXPECT_EQ(ItemText(destination, 1001), "C:\\Old Place");
    Press(destination, IDCANCEL);
    EXPECT_EQ(setup.WaitForExit(), 0u);

    // The uninstall entry as stored, quoted, and as an older install stored it: a program path
    // with blanks, not quoted. Both are in uninstall mode (which removes the entry) and, with
    // nothing left for a restart, end without the restart question.
    for (bool quoted : {true, false}) {
        // The uninstall deletes setup.dat.
        WriteFileText(folder.path + "setup.dat", "[Info]\r\nTitle=Veltrim ソフト\r\n");
        SetupProcess uninstall(setupExe, " /U " + folder.path + "setup.dat", quoted);
        Answer("Veltrim ソフトのアンインストール", IDOK);
        EXPECT_EQ(uninstall.WaitForExit(), 0u) << "quoted " << quoted;
    }
}

} // namespace
