// setup.exe as a user meets it: command lines it refuses, the opening and destination dialogs,
// one installer at a time, and the uninstall entry as stored; texts compared in code page 932.
#include <gtest/gtest.h>

#include <string>

#include "driver.h"

namespace {

const char* const Script = "[Info]\r\n"
                           "Title=Veltrim ソフト\r\n"
                           "[Install]\r\n"
                           "Explanation=%VT_E2E_NAME% を入れます。\\n場所: %WinSys%\\\\x 100%\r\n"
                           "DefaultInstallFolder=C:\\\\Veltrim ソフト\\\\%VT_E2E_NAME%\r\n"
                           "[Uninstall]\r\n"
                           "Explanation=取り除きます。\\t%%終わり\r\n";

std::string Question(const std::string& folder) {
    return "「" + folder + "」にインストールします。\nよろしいですか？";
}

// One folder with blanks in its path, each run in turn.
TEST(SetupUiTest, EveryDialogAndMessageOfTheInstaller) {
    // The driver's environment reaches setup.exe, whose script names this variable.
    SetEnvironmentVariableA("VT_E2E_NAME", "ソフト表示");
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

    WriteFileText(folder.path + "SETUP.DAT", Script);
    SetupProcess setup(setupExe, " /x");
    HWND intro = WaitForWindow(setup, "Veltrim ソフトのセットアップ");
    ASSERT_NE(intro, nullptr) << "/x starts an install";
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof(system));
    EXPECT_EQ(ItemText(intro, 1000),
              "ソフト表示 を入れます。\n場所: " + std::string(system) + "\\x 100%");
    // One installer at a time: a second one is refused while the first runs.
    SetupProcess second(setupExe, "");
    Answer("セットアップエラー", IDOK, "セットアップは２重起動できません");
    EXPECT_EQ(second.WaitForExit(), 0u);
    Press(intro, IDOK);

    // No keeps the destination dialog; a typed folder is asked about as typed, with no expansion,
    // and Yes ends the dialog.
    HWND dialog = WaitForWindow(setup, "インストール先の選択");
    ASSERT_NE(dialog, nullptr) << "no destination dialog";
    const std::string proposed = "C:\\Veltrim ソフト\\ソフト表示";
    EXPECT_EQ(ItemText(dialog, 1001), proposed);
    Press(dialog, IDOK);
    Answer("インストール先の確認", IDNO, Question(proposed).c_str());
    EXPECT_TRUE(IsWindowVisible(dialog));
    const std::string typed = "D:\\新しい %WinSys% フォルダ";
    SetDlgItemTextA(dialog, 1001, typed.c_str());
    Press(dialog, IDOK);
    Answer("インストール先の確認", IDYES, Question(typed).c_str());
    // The script lists no file: nothing is placed and no completion message follows.
    EXPECT_EQ(setup.WaitForExit(), 0u);

    // The uninstall entry as stored, quoted, and as an older install stored it: a program path
    // with blanks, not quoted. Both are in uninstall mode and end with the restart question.
    for (bool quoted : {true, false}) {
        // The uninstall deletes setup.dat.
        WriteFileText(folder.path + "setup.dat", Script);
        SetupProcess uninstall(setupExe, " /U " + folder.path + "setup.dat", quoted);
        HWND window = WaitForWindow(uninstall, "Veltrim ソフトのアンインストール");
        ASSERT_NE(window, nullptr) << "not in uninstall mode; quoted " << quoted;
        EXPECT_EQ(ItemText(window, 1000), "取り除きます。\t終わり");
        Press(window, IDOK);
        Answer("再起動", IDNO, "アンインストールを完了するため、Windowsを再起動します。");
        EXPECT_EQ(uninstall.WaitForExit(), 0u);
    }
}

} // namespace
