// The context menu and about box of one sited band of the real vt.dll, through COM; the about box
// is driven from a second thread as a user would.
#include <gtest/gtest.h>

#include <algorithm>

#include "win32_test_support.h" // windows.h, shlobj.h, the band's class and strings

namespace {

const char aboutCaption[] = "Veltrimのバージョン情報";

// Each item of the menu as "id text", a check mark or a separator after it.
std::string MenuItems(IContextMenu* bandMenu) {
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, 1, "shell item");
    const HRESULT result = bandMenu->QueryContextMenu(menu, 1, 100, 101, CMF_NORMAL);
    std::string items = "result " + std::to_string(result) + ";";
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[128] = "";
        GetMenuStringA(menu, i, text, sizeof(text), MF_BYPOSITION);
        const UINT state = GetMenuState(menu, i, MF_BYPOSITION);
        items += std::to_string(GetMenuItemID(menu, i)) + " " + text +
                 (state & MF_CHECKED ? " (checked)" : "") + (state & MF_SEPARATOR ? "-" : "") + ";";
    }
    DestroyMenu(menu);
    return items;
}

// What a user sees of the about box: its texts and the web link painted blue and underlined (a
// row of blue across the text).
std::string AboutBoxSeen(HWND box) {
    std::string seen;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        seen += WindowText(child) + "|";
    }
    RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(200);
    HWND link = GetDlgItem(box, 1011);
    RECT area;
    GetClientRect(link, &area);
    Dib pixels(area.right, area.bottom);
    pixels.Capture(link);
    int blue = 0, widestRow = 0, left = area.right, right = -1;
    for (int y = 0; y < area.bottom; ++y) {
        int row = 0;
        for (int x = 0; x < area.right; ++x) {
            if ((pixels.bits[y * area.right + x] & 0xFFFFFF) == 0x0000FF) {
                ++row;
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
        blue += row;
        widestRow = std::max(widestRow, row);
    }
    return seen + (blue > 10 ? " blue link" : " no blue link") +
           (widestRow * 10 >= (right - left + 1) * 9 ? " underlined" : " not underlined");
}

TEST(ContextMenu, CommandsChecksStringsAndTheAboutBox) {
    SitedBand band({{Memory, "Memory\\Load", 0, 1000},
                    {Memory, "Memory\\AvailPhys", 1, 1000},
                    {Drive, "Drive\\Q:\\", 0, 1000}},
                   400, 40);
    // Identifiers used; idCmdLast is not consulted. The two options toggle their check marks.
    EXPECT_EQ(MenuItems(band.menu), "result 4;1 shell item;100 Veltrimのプロパティ;101 "
                                    "アニメーションを行う (checked);102 無効なメータを非表示に;103 "
                                    "About Veltrim...;0 -;");
    EXPECT_EQ(band.Invoke(1), S_OK);
    EXPECT_EQ(band.Invoke(2), S_OK);
    EXPECT_EQ(MenuItems(band.menu),
              "result 4;1 shell item;100 Veltrimのプロパティ;101 アニメーションを行う;102 "
              "無効なメータを非表示に (checked);103 About Veltrim...;0 -;");

    // The settings command's help text cut to cchMax, NUL included.
    char text[] = "#######";
    EXPECT_EQ(band.menu->GetCommandString(0, GCS_HELPTEXTA, nullptr, text, 5), S_OK);
    EXPECT_EQ(std::string(text, 6), std::string("Velt\0#", 6));

    // The about box shows the maker and a blue underlined link.
    std::string seen = "no about box";
    WhileDriven(
        [&] {
            HWND box = WaitForAnyWindow(aboutCaption);
            if (box) {
                seen = AboutBoxSeen(box);
                PostMessageA(box, WM_COMMAND, IDOK, 0);
            }
        },
        [&] { EXPECT_EQ(band.Invoke(3), S_OK); });
    EXPECT_EQ(seen, "Veltrim Version 0.1|(C) 2026 Veltrim プロジェクト||web:|www.example.com/vt/|"
                    "mailto:|vt@example.org|OK| blue link underlined");
}

} // namespace
