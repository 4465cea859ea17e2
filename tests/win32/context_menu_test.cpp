// The band's context menu and about box, through COM on the real vt.dll; the about box is
// driven from a second thread as a user would.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "shell/band_object.h"
#include "win32_test_support.h"

namespace {

IContextMenu* NewBandMenu() {
    return NewBand<IContextMenu>(IID_IContextMenu);
}

std::string MenuText(HMENU menu, UINT position) {
    char text[128] = "";
    GetMenuStringA(menu, position, text, sizeof(text), MF_BYPOSITION);
    return text;
}

bool Checked(IContextMenu* bandMenu, UINT offset) {
    HMENU menu = CreatePopupMenu();
    bandMenu->QueryContextMenu(menu, 0, 500, 600, CMF_NORMAL);
    const bool checked = (GetMenuState(menu, 500 + offset, MF_BYCOMMAND) & MF_CHECKED) != 0;
    DestroyMenu(menu);
    return checked;
}

TEST(ContextMenu, InsertsFourCommandsAndASeparatorWithTheirChecks) {
    IContextMenu* bandMenu = NewBandMenu();
    ASSERT_NE(bandMenu, nullptr);
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, 1, "shell item");

    EXPECT_EQ(bandMenu->QueryContextMenu(menu, 1, 100, 101, CMF_DEFAULTONLY), S_OK);
    EXPECT_EQ(GetMenuItemCount(menu), 1);

    const HRESULT result = bandMenu->QueryContextMenu(menu, 1, 100, 101, CMF_NORMAL);
    EXPECT_TRUE(SUCCEEDED(result));
    EXPECT_EQ(HRESULT_CODE(result), 4) << "identifiers used; idCmdLast is not consulted";
    ASSERT_EQ(GetMenuItemCount(menu), 6);
    EXPECT_EQ(MenuText(menu, 0), "shell item");
    const char* texts[] = {"Veltrimのプロパティ", "アニメーションを行う", "無効なメータを非表示に",
                           "About Veltrim..."};
    for (UINT offset = 0; offset < 4; ++offset) {
        EXPECT_EQ(MenuText(menu, 1 + offset), texts[offset]);
        EXPECT_EQ(GetMenuItemID(menu, 1 + offset), 100 + offset);
    }
    EXPECT_TRUE(GetMenuState(menu, 5, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_TRUE(GetMenuState(menu, 101, MF_BYCOMMAND) & MF_CHECKED) << "animation on";
    EXPECT_FALSE(GetMenuState(menu, 102, MF_BYCOMMAND) & MF_CHECKED) << "hiding off";
    DestroyMenu(menu);

    // The toggles, and the checks following them.
    EXPECT_EQ(InvokeVerb(bandMenu, 1), S_OK);
    EXPECT_FALSE(Checked(bandMenu, 1));
    EXPECT_EQ(InvokeVerb(bandMenu, 1), S_OK);
    EXPECT_TRUE(Checked(bandMenu, 1));
    EXPECT_EQ(InvokeVerb(bandMenu, 2), S_OK);
    EXPECT_TRUE(Checked(bandMenu, 2));
    EXPECT_EQ(InvokeVerb(bandMenu, 2), S_OK);
    EXPECT_FALSE(Checked(bandMenu, 2));

    // Unknown offsets and string verbs change nothing.
    EXPECT_EQ(InvokeVerb(bandMenu, 4), E_INVALIDARG);
    CMINVOKECOMMANDINFO byName = {};
    byName.cbSize = sizeof(byName);
    byName.lpVerb = "command";
    EXPECT_EQ(bandMenu->InvokeCommand(&byName), E_INVALIDARG);
    EXPECT_TRUE(Checked(bandMenu, 1));
    EXPECT_FALSE(Checked(bandMenu, 2));
    bandMenu->Release();
}

TEST(ContextMenu, CommandStringsForTheSettingsCommandOnly) {
    IContextMenu* menu = NewBandMenu();
    char text[64];
    ASSERT_EQ(menu->GetCommandString(0, GCS_VERBA, nullptr, text, sizeof(text)), S_OK);
    EXPECT_STREQ(text, "command");
    ASSERT_EQ(menu->GetCommandString(0, GCS_HELPTEXTA, nullptr, text, sizeof(text)), S_OK);
    EXPECT_STREQ(text, "Veltrim command help text");
    memset(text, '#', sizeof(text));
    ASSERT_EQ(menu->GetCommandString(0, GCS_HELPTEXTA, nullptr, text, 5), S_OK);
    EXPECT_STREQ(text, "Velt") << "at most cchMax bytes, the NUL included";
    EXPECT_EQ(text[5], '#');
    EXPECT_EQ(menu->GetCommandString(1, GCS_HELPTEXTA, nullptr, text, sizeof(text)), E_INVALIDARG);
    EXPECT_EQ(menu->GetCommandString(2, GCS_VERBA, nullptr, text, sizeof(text)), E_INVALIDARG);
    EXPECT_EQ(menu->GetCommandString(3, GCS_VALIDATEA, nullptr, text, sizeof(text)), S_OK);
    EXPECT_EQ(menu->GetCommandString(0, GCS_VERBW, nullptr, text, sizeof(text)), E_INVALIDARG);
    EXPECT_EQ(menu->GetCommandString(0, GCS_HELPTEXTW, nullptr, text, sizeof(text)), E_INVALIDARG);
    menu->Release();
}

// What the driver saw of one about box.
struct AboutSeen {
    bool found = false;
    std::string web;
    std::string mail;
    std::vector<std::string> statics;
    int bluePixels = 0;
};

int CountBluePixels(HWND control) {
    RECT area;
    GetClientRect(control, &area);
    HDC dc = GetDC(control);
    int blue = 0;
    for (int y = 0; y < area.bottom; ++y) {
        for (int x = 0; x < area.right; ++x) {
            if (GetPixel(dc, x, y) == RGB(0, 0, 255)) {
                ++blue;
            }
        }
    }
    ReleaseDC(control, dc);
    return blue;
}

BOOL CALLBACK CollectStatic(HWND child, LPARAM seen) {
    char text[128] = "";
    GetWindowTextA(child, text, sizeof(text));
    if (GetDlgCtrlID(child) != 1011 && GetDlgCtrlID(child) != 1012 && text[0]) {
        reinterpret_cast<AboutSeen*>(seen)->statics.push_back(text);
    }
    return TRUE;
}

void DriveAboutBox(AboutSeen* seen) {
    HWND dialog = WaitForAnyWindow("Veltrimのバージョン情報");
    if (!dialog) {
        return;
    }
    seen->found = true;
    seen->web = ItemText(dialog, 1011);
    seen->mail = ItemText(dialog, 1012);
    EnumChildWindows(dialog, CollectStatic, reinterpret_cast<LPARAM>(seen));
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(200);
    seen->bluePixels = CountBluePixels(GetDlgItem(dialog, 1011));
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

TEST(AboutBox, ShowsTheMakerAndUnderlinedBlueLinksEachTimeItOpens) {
    IContextMenu* menu = NewBandMenu();
    for (int round = 0; round < 2; ++round) {
        AboutSeen seen;
        WhileDriven([&] { DriveAboutBox(&seen); }, [&] { EXPECT_EQ(InvokeVerb(menu, 3), S_OK); });
        ASSERT_TRUE(seen.found) << round;
        EXPECT_EQ(seen.web, "www.example.com/vt/");
        EXPECT_EQ(seen.mail, "vt@example.org");
        EXPECT_GT(seen.bluePixels, 10) << "the link is painted blue, round " << round;
        ASSERT_GE(seen.statics.size(), 4u);
        EXPECT_EQ(seen.statics[0], "Veltrim Version 0.1");
        EXPECT_EQ(seen.statics[1], "(C) 2026 Veltrim プロジェクト");
        EXPECT_EQ(seen.statics[2], "web:");
        EXPECT_EQ(seen.statics[3], "mailto:");
    }
    menu->Release();
}

// A second about request (another band of the process) while one box is open, made from the
// open box's message loop as the shell would make it.
IContextMenu* secondMenu = nullptr;
HRESULT secondResult = E_FAIL;

void CALLBACK AskForAboutAgain(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    secondResult = InvokeVerb(secondMenu, 3);
}

BOOL CALLBACK CountAboutBox(HWND window, LPARAM count) {
    char caption[64] = "";
    GetWindowTextA(window, caption, sizeof(caption));
    if (IsWindowVisible(window) && lstrcmpA(caption, "Veltrimのバージョン情報") == 0) {
        ++*reinterpret_cast<int*>(count);
    }
    return TRUE;
}

int AboutBoxCount() {
    int count = 0;
    EnumWindows(CountAboutBox, reinterpret_cast<LPARAM>(&count));
    return count;
}

TEST(AboutBox, ASecondRequestBringsTheOpenBoxForward) {
    IContextMenu* menu = NewBandMenu();
    secondMenu = NewBandMenu();
    int boxes = 0;
    WhileDriven(
        [&] {
            if (!WaitForAnyWindow("Veltrimのバージョン情報")) {
                return;
            }
            Sleep(1500); // the second request is made 200 ms after the first box opened
            boxes = AboutBoxCount();
            for (int i = 0; i < 100 && AboutBoxCount() > 0; ++i) {
                for (HWND box = FindWindowA(nullptr, "Veltrimのバージョン情報"); box;
                     box = FindWindowExA(nullptr, box, nullptr, "Veltrimのバージョン情報")) {
                    PostMessageA(box, WM_COMMAND, IDOK, 0);
                }
                Sleep(100);
            }
        },
        [&] {
            SetTimer(nullptr, 0, 200, AskForAboutAgain);
            EXPECT_EQ(InvokeVerb(menu, 3), S_OK);
        });
    EXPECT_EQ(secondResult, S_OK);
    EXPECT_EQ(boxes, 1) << "the two boxes would share the module's two link labels";
    secondMenu->Release();
    menu->Release();
}

} // namespace
