// The context menu and about box of one sited band of the real vt.dll, through COM; the about box
// is driven from a second thread as a user would.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <string>

#include "shell/band_object.h"
#include "win32_test_support.h"

namespace {

const char aboutCaption[] = "Veltrimのバージョン情報";

// Each item of the menu as "id text", a check mark or a separator after it.
std::string MenuItems(IContextMenu* bandMenu, UINT flags) {
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, 1, "shell item");
    const HRESULT result = bandMenu->QueryContextMenu(menu, 1, 100, 101, flags);
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

// A second about request (another band of the process) while one box is open, made from the
// open box's message loop as the shell would make it.
IContextMenu* secondMenu = nullptr;
HRESULT secondResult = E_FAIL;

void CALLBACK AskForAboutAgain(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    secondResult = InvokeVerb(secondMenu, 3);
}

int AboutBoxCount() {
    int count = 0;
    for (HWND box = FindWindowA(nullptr, aboutCaption); box;
         box = FindWindowExA(nullptr, box, nullptr, aboutCaption)) {
        count += IsWindowVisible(box) ? 1 : 0;
    }
    return count;
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
    EXPECT_EQ(MenuItems(band.menu, CMF_DEFAULTONLY), "result 0;1 shell item;");
    // Identifiers used; idCmdLast is not consulted.
    const std::string initial = "result 4;1 shell item;100 Veltrimのプロパティ;101 "
                                "アニメーションを行う (checked);102 無効なメータを非表示に;103 "
                                "About Veltrim...;0 -;";
    EXPECT_EQ(MenuItems(band.menu, CMF_NORMAL), initial);
    EXPECT_EQ(band.Invoke(1), S_OK);
    EXPECT_EQ(band.Invoke(2), S_OK);
    EXPECT_EQ(MenuItems(band.menu, CMF_NORMAL),
              "result 4;1 shell item;100 Veltrimのプロパティ;101 アニメーションを行う;102 "
              "無効なメータを非表示に (checked);103 About Veltrim...;0 -;");
    // Turning hiding off shows the meters the 60-second rule had hidden and lays the grid out.
    for (Meter* m = band.Record()->meters; m; m = m->next) {
        m->visible = m == band.Record()->meters ? 1 : 0;
    }
    EXPECT_EQ(band.Invoke(1), S_OK);
    EXPECT_EQ(band.Invoke(2), S_OK);
    int visible = 0;
    for (const Meter* m = band.Record()->meters; m; m = m->next) {
        visible += m->visible;
    }
    EXPECT_EQ(visible, 3);
    EXPECT_EQ(band.Record()->visibleCount, 3);
    // Unknown offsets and string verbs change nothing.
    EXPECT_EQ(band.Invoke(4), E_INVALIDARG);
    CMINVOKECOMMANDINFO byName = {};
    byName.cbSize = sizeof(byName);
    byName.lpVerb = "command";
    EXPECT_EQ(band.menu->InvokeCommand(&byName), E_INVALIDARG);
    EXPECT_EQ(MenuItems(band.menu, CMF_NORMAL), initial);

    // Strings for the settings command only ("invalid": E_INVALIDARG).
    char text[64];
    std::string strings;
    const UINT asks[][2] = {{0, GCS_VERBA},    {0, GCS_HELPTEXTA}, {1, GCS_HELPTEXTA},
                            {2, GCS_VERBA},    {3, GCS_VALIDATEA}, {0, GCS_VERBW},
                            {0, GCS_HELPTEXTW}};
    for (const auto& ask : asks) {
        text[0] = '\0';
        const HRESULT result =
            band.menu->GetCommandString(ask[0], ask[1], nullptr, text, sizeof(text));
        strings += (result == S_OK           ? text
                    : result == E_INVALIDARG ? "invalid"
                                             : "other") +
                   std::string(";");
    }
    EXPECT_EQ(strings, "command;Veltrim command help text;invalid;invalid;;invalid;invalid;");
    memset(text, '#', sizeof(text));
    EXPECT_EQ(band.menu->GetCommandString(0, GCS_HELPTEXTA, nullptr, text, 5), S_OK);
    EXPECT_EQ(std::string(text, 6), std::string("Velt\0#", 6)) << "at most cchMax, NUL included";

    // The about box shows the maker and blue links each time it opens; a second request while it
    // is open brings it forward rather than opening another (the two would share the module's
    // link labels).
    secondMenu = NewBand<IContextMenu>(IID_IContextMenu);
    for (int round = 0; round < 2; ++round) {
        std::string seen;
        int boxes = 0;
        WhileDriven(
            [&] {
                HWND box = WaitForAnyWindow(aboutCaption);
                seen = box ? AboutBoxSeen(box) : "no about box";
                Sleep(round * 1500); // the second request comes 200 ms after the box opened
                boxes = AboutBoxCount();
                for (int i = 0; i < 100 && AboutBoxCount() > 0; ++i, Sleep(100)) {
                    for (box = FindWindowA(nullptr, aboutCaption); box;
                         box = FindWindowExA(nullptr, box, nullptr, aboutCaption)) {
                        PostMessageA(box, WM_COMMAND, IDOK, 0);
                    }
                }
            },
            [&] {
                if (round == 1) {
                    SetTimer(nullptr, 0, 200, AskForAboutAgain);
                }
                EXPECT_EQ(band.Invoke(3), S_OK);
            });
        EXPECT_EQ(seen + std::to_string(boxes),
                  "Veltrim Version 0.1|(C) 2026 Veltrim プロジェクト||web:|www.example.com/vt/|"
                  "mailto:|vt@example.org|OK| blue link underlined1")
            << round;
    }
    EXPECT_EQ(secondResult, S_OK);
    secondMenu->Release();
}

} // namespace
