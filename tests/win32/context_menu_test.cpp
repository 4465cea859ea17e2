// The context menu and about box of one sited band of the real vt.dll, through COM; the about box
// is driven from a second thread as a user would.
#include <gtest/gtest.h>

#include <algorithm>

#include "import_hook.h"
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

// What the links opened through the shell: "verb file|" of each ShellExecuteA of vt.dll.
std::string opened;
HINSTANCE WINAPI RecordOpen(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR, INT) {
    opened += std::string(verb) + " " + file + "|";
    return reinterpret_cast<HINSTANCE>(33);
}

// A key pressed and released, given time to be handled where the focus is.
void Key(BYTE key) {
    keybd_event(key, 0, 0, 0);
    keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
    Sleep(200);
}

// What a user sees of the about box: its texts and the web link painted blue and underlined (a
// row of blue across the text); or whether the focused link shows a focus mark (pixels neither
// blue nor button face).
std::string AboutBoxSeen(HWND box, bool focused = false) {
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
    int blue = 0, widestRow = 0, left = area.right, right = -1, marked = 0;
    for (int y = 0; y < area.bottom; ++y) {
        int row = 0;
        for (int x = 0; x < area.right; ++x) {
            if (pixels.At(x, y) == 0x0000FF) {
                ++row;
                left = std::min(left, x);
                right = std::max(right, x);
            }
            marked +=
                pixels.At(x, y) != 0xFF && pixels.At(x, y) != RgbOf(GetSysColor(COLOR_BTNFACE));
        }
        blue += row;
        widestRow = std::max(widestRow, row);
    }
    // (The dotted frame of the mark crosses the underline.)
    return focused
               ? (marked > 10 ? " focus mark" : " no focus mark")
               : seen + (blue > 10 ? " blue link" : " no blue link") +
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
    EXPECT_TRUE(band.Invoke(1) == S_OK && band.Invoke(2) == S_OK);
    EXPECT_EQ(MenuItems(band.menu),
              "result 4;1 shell item;100 Veltrimのプロパティ;101 アニメーションを行う;102 "
              "無効なメータを非表示に (checked);103 About Veltrim...;0 -;");

    // The settings command's help text cut to cchMax, NUL included.
    char text[] = "#######";
    EXPECT_EQ(band.menu->GetCommandString(0, GCS_HELPTEXTA, nullptr, text, 5), S_OK);
    EXPECT_EQ(std::string(text, 6), std::string("Velt\0#", 6));

    // The about box shows the maker and a blue underlined link. A click on a link opens it, and
    // so do Space and Enter on a link reached with Tab from OK, which shows a focus mark meanwhile.
    std::string seen = "no about box";
    const ImportSwap shell(BandDll(), "shell32.dll", "ShellExecuteA",
                           reinterpret_cast<void*>(RecordOpen));
    WhileDriven(
        [&] {
            HWND box = WaitForAnyWindow(aboutCaption);
            if (box) {
                seen = AboutBoxSeen(box);
                SendMessageA(GetDlgItem(box, 1011), WM_LBUTTONDOWN, 0, 0);
                Key(VK_TAB);
                seen += AboutBoxSeen(box, true);
                Key(VK_SPACE);
                Key(VK_TAB);
                Key(VK_RETURN);
                seen += AboutBoxSeen(box, true) + (IsWindowVisible(box) ? ", open" : ", closed");
                PostMessageA(box, WM_COMMAND, IDOK, 0);
            }
        },
        [&] { EXPECT_EQ(band.Invoke(3), S_OK); });
    EXPECT_EQ(seen + "; " + opened,
              "Veltrim Version 0.1|(C) 2026 Veltrim プロジェクト||web:|www.example.com/vt/|"
              "mailto:|vt@example.org|OK| blue link underlined focus mark no focus mark, open; "
              "open http://www.example.com/vt/|open http://www.example.com/vt/|"
              "open mailto:vt@example.org|");
}

} // namespace
