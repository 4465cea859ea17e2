// setup.exe as a user meets it: command lines it refuses, the destination dialog and the
// uninstall entry as stored; texts compared in code page 932.
#include <gtest/gtest.h>

#include <string>

#include "driver.h"

namespace {

const char* const Script = "[Info]\r\nTitle=Veltrim ソフト\r\n"
                           "[Install]\r\nDefaultInstallFolder=%WinSys%\\\\Veltrim ソフト\r\n"
                           "[Uninstall]\r\nExplanation=取り除きます。\r\n";

std::string Question(const std::string& folder) {
    return "「" + folder + "」にインストールします。\nよろしいですか？";
}

// One folder with blanks in its path, each run in turn.
TEST(SetupUiTest, EveryDialogAndMessageOfTheInstaller) {
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
    // /x starts an install.
    Answer("Veltrim ソフトのセットアップ", IDOK);

    // The proposed folder expanded; No keeps the dialog; a typed folder is asked about as typed,
    // with no expansion, and Yes ends the dialog.
    HWND dialog = WaitForWindow(setup, "インストール先の選択");
    ASSERT_NE(dialog, nullptr) << "no destination dialog";
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof(system));
    const std::string proposed = std::string(system) + "\\Veltrim ソフト";
    EXPECT_EQ(ItemText(dialog, 1001), proposed);
    Press(dialog, IDOK);
    Answer("インストール先の確認", IDNO, Question(proposed).c_str());
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
        EXPECT_EQ(ItemText(window, 1000), "取り除きます。");
        Press(window, IDOK);
        Answer("再起動", IDNO, "アンインストールを完了するため、Windowsを再起動します。");
        EXPECT_EQ(uninstall.WaitForExit(), 0u);
    }
}

} // namespace
