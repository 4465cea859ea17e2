// setup.exe as a user meets it: the opening dialog, the destination dialog, the messages and the
// restart question, each found by caption and compared byte for byte in code page 932.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "driver.h"

namespace {

// The installer's texts, written here independently of its sources.
const char* const InstallCaption = "Veltrim ソフトのセットアップ";
const char* const DestinationCaption = "インストール先の選択";
const char* const Confirm = "インストール先の確認";
const char* const SecondInstance = "セットアップは２重起動できません";

const char* const Script = "[Info]\r\n"
                           "Title=Veltrim ソフト\r\n"
                           "[Install]\r\n"
                           "Explanation=%VT_E2E_NAME% を入れます。\\n場所: %WinSys%\\\\x 100%\r\n"
                           "DefaultInstallFolder=C:\\\\Veltrim ソフト\\\\%VT_E2E_NAME%\r\n"
                           "[Uninstall]\r\n"
                           "Explanation=取り除きます。\\t%%終わり\r\n";

// One folder with blanks in its path, each run in turn.
TEST(SetupUiTest, EveryDialogAndMessageOfTheInstaller) {
    // The driver's environment reaches setup.exe, whose script names this variable.
    SetEnvironmentVariableA("VT_E2E_NAME", "ソフト表示");
    SetupFolder folder("vt-e2e folder with blanks");
    const std::string setupExe = folder.path + "setup.exe";

    // Command lines refused with a message, and the missing script, which leaves the opening
    // dialog empty; Cancel or OK ends the program without another word or temporary file.
    const std::string tooLong = "C:\\" + std::string(257, 'p');
    const std::tuple<std::string, const char*, int, const char*> refusals[] = {
        {"", "のセットアップ", 1000, ""},
        {" /U " + tooLong, "エラー", 0xFFFF, "アンインストール情報が不正です"},
        {" /U", "エラー", 0xFFFF, "アンインストール情報が不正です"},
        {" /u " + tooLong, "エラー", 0xFFFF, "アンインストールに失敗しました。"},
    };
    for (const auto& [arguments, caption, item, text] : refusals) {
        const int before = TemporaryFileCount();
        SetupProcess setup(setupExe, arguments);
        HWND window = WaitForWindow(setup, caption);
        ASSERT_NE(window, nullptr) << arguments;
        EXPECT_EQ(ItemText(window, item), text) << arguments;
        Press(window, item == 1000 ? IDCANCEL : IDOK);
        EXPECT_EQ(setup.WaitForExit(), 0u) << arguments;
        EXPECT_EQ(TemporaryFileCount(), before) << arguments;
    }

    WriteFileText(folder.path + "SETUP.DAT", Script);
    SetupProcess setup(setupExe, " /x");
    HWND intro = WaitForWindow(setup, InstallCaption);
    ASSERT_NE(intro, nullptr) << "/x starts an install";
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof(system));
    EXPECT_EQ(ItemText(intro, 1000),
              "ソフト表示 を入れます。\n場所: " + std::string(system) + "\\x 100%");
    EXPECT_EQ(ItemText(intro, IDOK) + "|" + ItemText(intro, IDCANCEL), "OK|ｷｬﾝｾﾙ");
    EXPECT_EQ(FocusOf(intro), GetDlgItem(intro, IDOK));

    // One installer at a time: a second one is refused while the first runs, and so is the copy
    // that the uninstall's relaunch starts (the relaunch itself ends at once without looking).
    {
        // The guard's name is shared with the other installers of its kind.
        HANDLE guard = OpenMutexA(SYNCHRONIZE, FALSE, "SETUP##MUTEX");
        EXPECT_NE(guard, nullptr);
        CloseHandle(guard);
        SetupProcess second(setupExe, "");
        Answer("セットアップエラー", IDOK, SecondInstance);
        EXPECT_EQ(second.WaitForExit(), 0u);
        SetupProcess relaunch(setupExe, " /u " + folder.path + "SETUP.DAT");
        EXPECT_EQ(relaunch.WaitForExit(), 0u) << "the relaunch waits for its copy";
        Answer("セットアップエラー", IDOK, SecondInstance);
    }
    EXPECT_TRUE(IsWindowVisible(intro));
    Press(intro, IDOK);

    HWND dialog = WaitForWindow(setup, DestinationCaption);
    ASSERT_NE(dialog, nullptr) << "no destination dialog";
    const std::string proposed = "C:\\Veltrim ソフト\\ソフト表示";
    EXPECT_EQ(ItemText(dialog, 1001), proposed);
    EXPECT_EQ(ItemText(dialog, IDOK) + "|" + ItemText(dialog, IDCANCEL) + "|" +
                  ItemText(dialog, 1002),
              "インストール|中止|フォルダの選択(&B)");
    // The caret after the last character (the edit counts in its own units), and the focus.
    HWND edit = GetDlgItem(dialog, 1001);
    const DWORD end = static_cast<DWORD>(SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0));
    EXPECT_EQ(static_cast<DWORD>(SendMessageA(edit, EM_GETSEL, 0, 0)), MAKELONG(end, end));
    EXPECT_EQ(FocusOf(dialog), edit);

    // No keeps the dialog and its text.
    Press(dialog, IDOK);
    Answer(Confirm, IDNO, ("「" + proposed + "」にインストールします。\nよろしいですか？").c_str(),
           [dialog](HWND box) { EXPECT_EQ(GetWindow(box, GW_OWNER), dialog); });
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(ItemText(dialog, 1001), proposed);

    // The folder button opens the shell's browser; cancelling it keeps the text.
    Press(dialog, 1002);
    HWND browser = WaitForWindow(setup, nullptr, dialog);
    ASSERT_NE(browser, nullptr) << "no folder browser";
    EXPECT_NE(WindowText(browser), DestinationCaption);
    Press(browser, IDCANCEL);
    ASSERT_TRUE(WaitForWindowGone(browser));
    EXPECT_EQ(ItemText(dialog, 1001), proposed);

    // A typed folder is asked about as typed, with no expansion; Yes ends the dialog.
    const std::string typed = "D:\\新しい %WinSys% フォルダ";
    SetDlgItemTextA(dialog, 1001, typed.c_str());
    Press(dialog, IDOK);
    Answer(Confirm, IDYES, ("「" + typed + "」にインストールします。\nよろしいですか？").c_str());
    EXPECT_TRUE(WaitForWindowGone(dialog));
    // The script lists no file: nothing is placed and no completion message follows.
    EXPECT_EQ(setup.WaitForExit(), 0u);

    // Cancel in the destination dialog ends the install.
    SetupProcess again(setupExe, "");
    Answer(InstallCaption, IDOK);
    HWND destination = WaitForWindow(again, DestinationCaption);
    ASSERT_NE(destination, nullptr);
    Press(destination, IDCANCEL);
    EXPECT_EQ(again.WaitForExit(), 0u);

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
