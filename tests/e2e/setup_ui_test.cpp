// setup.exe as a user meets it: the opening dialog, the destination dialog, the messages and the
// restart question, each found by caption and compared byte for byte in code page 932.
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "driver.h"

namespace {

// The installer's texts, written here independently of its sources.
const char* const ErrorCaption = "セットアップエラー";
const char* const SecondInstanceText = "セットアップは２重起動できません";
const char* const RestartCaption = "再起動";
const char* const UninstallRestartText = "アンインストールを完了するため、Windowsを再起動します。";
const char* const DestinationCaption = "インストール先の選択";
const char* const ConfirmCaption = "インストール先の確認";
const char* const BadUninstallText = "アンインストール情報が不正です";

const char* const Script = "[Info]\r\n"
                           "Title=Veltrim ソフト\r\n"
                           "[Install]\r\n"
                           "Explanation=%VT_E2E_NAME% を入れます。\\n場所: %WinSys%\\\\x 100%\r\n"
                           "DefaultInstallFolder=C:\\\\Veltrim ソフト\\\\%VT_E2E_NAME%\r\n"
                           "[Uninstall]\r\n"
                           "Explanation=取り除きます。\\t%%終わり\r\n";

std::string SystemFolder() {
    char folder[MAX_PATH];
    const UINT length = GetSystemDirectoryA(folder, sizeof(folder));
    return std::string(folder, length);
}

std::string ConfirmText(const std::string& folder) {
    return "「" + folder + "」にインストールします。\nよろしいですか？";
}

class SetupUiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // The driver's environment reaches setup.exe, whose script names this variable.
        SetEnvironmentVariableA("VT_E2E_NAME", "ソフト表示");
        Transcript().clear();
    }
    void TearDown() override {
        // On failure, what setup.exe showed (code page 932).
        if (HasFailure()) {
            printf("%s", Transcript().c_str());
        }
    }
};

TEST_F(SetupUiTest, OpeningDialogInInstallModeAndCancel) {
    SetupFolder folder("vt-e2e-intro");
    folder.WriteScript(Script);
    SetupProcess setup(folder.path + "setup.exe", "");
    ASSERT_TRUE(setup.Started());

    HWND intro = WaitForWindow(setup, "Veltrim ソフトのセットアップ");
    ASSERT_NE(intro, nullptr) << "no opening dialog";
    EXPECT_EQ(ItemText(intro, 1000),
              "ソフト表示 を入れます。\n場所: " + SystemFolder() + "\\x 100%");
    EXPECT_EQ(ItemText(intro, IDOK), "OK");
    EXPECT_EQ(ItemText(intro, IDCANCEL), "ｷｬﾝｾﾙ");
    EXPECT_EQ(FocusOf(intro), GetDlgItem(intro, IDOK));
    EXPECT_TRUE(GetWindowLongA(GetDlgItem(intro, 1000), GWL_STYLE) & SS_SUNKEN);
    EXPECT_TRUE(GetWindowLongA(GetDlgItem(intro, IDOK), GWL_STYLE) & BS_DEFPUSHBUTTON);

    Press(intro, IDCANCEL);
    // Cancel ends the program without another word.
    EXPECT_EQ(setup.WaitForExit(), 0u);
}

TEST_F(SetupUiTest, MissingScriptGivesAnEmptyTitleAndText) {
    SetupFolder folder("vt-e2e-noscript");
    SetupProcess setup(folder.path + "setup.exe", "");
    HWND intro = WaitForWindow(setup, "のセットアップ");
    ASSERT_NE(intro, nullptr) << "no opening dialog without a script";
    EXPECT_EQ(ItemText(intro, 1000), "");
    // Escape arrives as Cancel.
    PostMessageA(intro, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(setup.WaitForExit(), 0u);
}

TEST_F(SetupUiTest, SecondInstanceIsRefusedWhileTheFirstRuns) {
    SetupFolder folder("vt-e2e-twice");
    folder.WriteScript(Script);
    SetupProcess first(folder.path + "setup.exe", "");
    HWND intro = WaitForWindow(first, "Veltrim ソフトのセットアップ");
    ASSERT_NE(intro, nullptr);

    SetupProcess second(folder.path + "setup.exe", "");
    HWND refusal = WaitForWindow(second, ErrorCaption);
    ASSERT_NE(refusal, nullptr) << "no refusal from the second instance";
    EXPECT_EQ(MessageText(refusal), SecondInstanceText);
    Press(refusal, IDOK);
    EXPECT_EQ(second.WaitForExit(), 0u);

    // The first one is untouched by that and ends on its own Cancel.
    EXPECT_TRUE(IsWindowVisible(intro));
    Press(intro, IDCANCEL);
    EXPECT_EQ(first.WaitForExit(), 0u);

    // Once the first has ended, the mutex is free again.
    SetupProcess third(folder.path + "setup.exe", "");
    HWND again = WaitForWindow(third, "Veltrim ソフトのセットアップ");
    ASSERT_NE(again, nullptr);
    Press(again, IDCANCEL);
    EXPECT_EQ(third.WaitForExit(), 0u);
}

TEST_F(SetupUiTest, UninstallModeKeepsBlanksInThePathAndAsksToRestart) {
    SetupFolder folder("vt-e2e folder with blanks");
    folder.WriteScript(Script, "setup.dat");
    SetupProcess setup(folder.path + "setup.exe", " /U " + folder.path + "setup.dat");

    HWND intro = WaitForWindow(setup, "Veltrim ソフトのアンインストール");
    ASSERT_NE(intro, nullptr) << "no opening dialog in uninstall mode";
    EXPECT_EQ(ItemText(intro, 1000), "取り除きます。\t終わり");
    Press(intro, IDOK);

    HWND restart = WaitForWindow(setup, RestartCaption);
    ASSERT_NE(restart, nullptr) << "no restart question";
    EXPECT_EQ(MessageText(restart), UninstallRestartText);
    ASSERT_NE(GetDlgItem(restart, IDYES), nullptr);
    ASSERT_NE(GetDlgItem(restart, IDNO), nullptr);
    Press(restart, IDNO);
    EXPECT_EQ(setup.WaitForExit(), 0u);
}

// The uninstall entry of an older install: a program path with blanks, not quoted.
TEST_F(SetupUiTest, UnquotedProgramPathWithBlanksStillUninstalls) {
    SetupFolder folder("vt-e2e unquoted entry");
    folder.WriteScript(Script, "setup.dat");
    SetupProcess setup(folder.path + "setup.exe", " /U " + folder.path + "setup.dat", false);
    HWND intro = WaitForWindow(setup, "Veltrim ソフトのアンインストール");
    ASSERT_NE(intro, nullptr) << "not in uninstall mode";
    Press(intro, IDCANCEL);
    EXPECT_EQ(setup.WaitForExit(), 0u);
}

TEST_F(SetupUiTest, RelaunchRefusesAnOverlongPathBeforeCopyingItself) {
    SetupFolder folder("vt-e2e-longrelaunch");
    const int before = TemporaryFileCount();
    SetupProcess setup(folder.path + "setup.exe", " /u C:\\" + std::string(257, 'p'));
    HWND box = WaitForWindow(setup, "エラー");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageText(box), "アンインストールに失敗しました。");
    EXPECT_EQ(TemporaryFileCount(), before) << "a copy of setup left in the temporary folder";
    Press(box, IDOK);
    EXPECT_EQ(setup.WaitForExit(), 0u);
}

TEST_F(SetupUiTest, UnusableUninstallPathsAreRefused) {
    SetupFolder folder("vt-e2e-badpath");
    const std::string tooLong = "C:\\" + std::string(257, 'p');
    for (const std::string& arguments : {" /U " + tooLong, std::string(" /U")}) {
        SetupProcess setup(folder.path + "setup.exe", arguments);
        HWND box = WaitForWindow(setup, "エラー");
        ASSERT_NE(box, nullptr) << arguments;
        EXPECT_EQ(MessageText(box), BadUninstallText);
        Press(box, IDOK);
        EXPECT_EQ(setup.WaitForExit(), 0u);
    }
}

TEST_F(SetupUiTest, RelaunchRunsOutsideTheGuard) {
    SetupFolder folder("vt-e2e-relaunch");
    folder.WriteScript(Script);
    // Another installer holds the guard; the relaunch step does not look at it.
    HANDLE held = CreateMutexA(nullptr, TRUE, "SETUP##MUTEX");
    ASSERT_NE(held, nullptr);
    SetupProcess setup(folder.path + "setup.exe", " /u " + folder.path + "SETUP.DAT");
    // It ends at once; the copy it started meets the guard and says so.
    EXPECT_EQ(setup.WaitForExit(), 0u);
    HWND box = WaitForAnyWindow(ErrorCaption);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageText(box), SecondInstanceText);
    Press(box, IDOK);
    EXPECT_TRUE(WaitForWindowGone(box));
    ReleaseMutex(held);
    CloseHandle(held);
}

TEST_F(SetupUiTest, DestinationDialogConfirmsTheFolderAsTyped) {
    SetupFolder folder("vt-e2e-destination");
    folder.WriteScript(Script);
    SetupProcess setup(folder.path + "setup.exe", " /x");
    HWND intro = WaitForWindow(setup, "Veltrim ソフトのセットアップ");
    ASSERT_NE(intro, nullptr) << "/x starts an install";
    Press(intro, IDOK);

    HWND dialog = WaitForWindow(setup, DestinationCaption);
    ASSERT_NE(dialog, nullptr) << "no destination dialog";
    const std::string proposed = "C:\\Veltrim ソフト\\ソフト表示";
    EXPECT_EQ(ItemText(dialog, 1001), proposed);
    HWND edit = GetDlgItem(dialog, 1001);
    // The caret after the last character: the edit counts characters in its own units.
    const DWORD selection = static_cast<DWORD>(SendMessageA(edit, EM_GETSEL, 0, 0));
    const WORD end = static_cast<WORD>(SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0));
    EXPECT_GT(end, 0);
    EXPECT_EQ(LOWORD(selection), end);
    EXPECT_EQ(HIWORD(selection), end);
    EXPECT_EQ(FocusOf(dialog), edit);
    EXPECT_EQ(ItemText(dialog, IDOK), "インストール");
    EXPECT_EQ(ItemText(dialog, IDCANCEL), "中止");
    EXPECT_EQ(ItemText(dialog, 1002), "フォルダの選択(&B)");
    const LONG editStyle = GetWindowLongA(edit, GWL_STYLE);
    EXPECT_TRUE(editStyle & ES_AUTOHSCROLL);
    // A Windows 4.0 dialog draws an edit's border as a sunken client edge.
    EXPECT_TRUE((editStyle & WS_BORDER) || (GetWindowLongA(edit, GWL_EXSTYLE) & WS_EX_CLIENTEDGE));
    EXPECT_TRUE(GetWindowLongA(GetDlgItem(dialog, IDOK), GWL_STYLE) & BS_DEFPUSHBUTTON);

    // No keeps the dialog and its text.
    Press(dialog, IDOK);
    HWND confirm = WaitForWindow(setup, ConfirmCaption);
    ASSERT_NE(confirm, nullptr) << "no confirmation question";
    EXPECT_EQ(MessageText(confirm), ConfirmText(proposed));
    EXPECT_EQ(GetWindow(confirm, GW_OWNER), dialog);
    Press(confirm, IDNO);
    ASSERT_TRUE(WaitForWindowGone(confirm));
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
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
    Press(dialog, IDOK);
    confirm = WaitForWindow(setup, ConfirmCaption);
    ASSERT_NE(confirm, nullptr);
    EXPECT_EQ(MessageText(confirm), ConfirmText(typed));
    Press(confirm, IDYES);
    EXPECT_TRUE(WaitForWindowGone(dialog));
    // The script lists no file: nothing is placed and no completion message follows.
    EXPECT_EQ(setup.WaitForExit(), 0u);
}

TEST_F(SetupUiTest, DestinationCancelEndsTheInstall) {
    SetupFolder folder("vt-e2e-stop");
    folder.WriteScript(Script);
    SetupProcess setup(folder.path + "setup.exe", "");
    HWND intro = WaitForWindow(setup, "Veltrim ソフトのセットアップ");
    ASSERT_NE(intro, nullptr);
    Press(intro, IDOK);
    HWND dialog = WaitForWindow(setup, DestinationCaption);
    ASSERT_NE(dialog, nullptr);
    Press(dialog, IDCANCEL);
    EXPECT_EQ(setup.WaitForExit(), 0u);
}

} // namespace
