// The settings dialog and its preview, opened through the context menu of a real band (vt.dll)
// that has a site and a window; the dialog is driven from a second thread as a user would and
// checked while it is open. Also screenshots of the dialog, the about box and the menu.
#include <gtest/gtest.h>

#include "win32_test_support.h" // windows.h, shlobj.h, the band's class and strings

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "png_writer.h"
#include "settings/meter_choice.h"
#include "import_hook.h"

namespace {

const char settingsCaption[] = "設定";

// One tree item and its record, which lives while the dialog is open.
struct TreeNode {
    HTREEITEM item;
    std::string text;
    MeterChoice* choice;
    std::vector<TreeNode> children;
};

std::vector<TreeNode> ReadItems(HWND tree, HTREEITEM first) {
    std::vector<TreeNode> nodes;
    for (HTREEITEM item = first; item; item = TreeView_GetNextSibling(tree, item)) {
        char text[256] = "";
        TVITEMA data = {};
        data.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_PARAM;
        data.hItem = item;
        data.pszText = text;
        data.cchTextMax = sizeof(text);
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
        nodes.push_back({item, text, reinterpret_cast<MeterChoice*>(data.lParam),
                         ReadItems(tree, TreeView_GetChild(tree, item))});
    }
    return nodes;
}

std::vector<TreeNode> ReadTree(HWND dialog) {
    HWND tree = GetDlgItem(dialog, 1000);
    return ReadItems(tree, TreeView_GetRoot(tree));
}

// The category of that key, or (with item) its candidate of that key; null when not listed.
const TreeNode* Find(const std::vector<TreeNode>& nodes, const char* key,
                     const char* item = nullptr) {
    for (const TreeNode& node : nodes) {
        if (node.choice && strcmp(node.choice->key, key) == 0) {
            return item ? Find(node.children, item) : &node;
        }
    }
    return nullptr;
}

// Selects the item and clicks the buttons, as a user would.
void Select(HWND dialog, const TreeNode* node, std::initializer_list<int> clicks = {}) {
    if (node) {
        TreeView_SelectItem(GetDlgItem(dialog, 1000), node->item);
    }
    for (int id : clicks) {
        Click(dialog, id);
    }
}

// "category{text=key/kind/index/differentiate;...}" of a category and its candidates.
std::string Rows(const TreeNode& category) {
    std::string rows = category.text + "{";
    for (const TreeNode& n : category.children) {
        rows += n.text + "=" + n.choice->key + "/" + std::to_string(n.choice->kind) + "/" +
                std::to_string(n.choice->index) + "/" + std::to_string(n.choice->differentiate) +
                ";";
    }
    return rows + "}";
}

// The item controls as a user sees them: the key shown, which of the interval group, the three
// radio buttons and the check box are enabled, whether it is ticked and the radio checked.
std::string Controls(HWND dialog) {
    std::string state = ItemText(dialog, 1001) + " ";
    for (int id : {1009, 1005, 1006, 1007, 1002}) {
        state += IsWindowEnabled(GetDlgItem(dialog, id)) ? '1' : '0';
    }
    state += IsDlgButtonChecked(dialog, 1002) == BST_CHECKED ? " ticked" : " unticked";
    for (int id = 1005; id <= 1007; ++id) {
        state += IsDlgButtonChecked(dialog, id) == BST_CHECKED ? " " + std::to_string(id) : "";
    }
    return state;
}

// The preview after a wait: whether it shows the bar's box (black) and lit segments (green).
std::string Preview(HWND dialog, DWORD wait) {
    Sleep(wait);
    HWND preview = GetDlgItem(dialog, 1008);
    RECT area;
    GetClientRect(preview, &area);
    Dib shot(area.right, area.bottom);
    shot.Capture(preview);
    const uint32_t* bits = shot.bits;
    const uint32_t* end = bits + area.right * area.bottom;
    const auto lit = std::count_if(bits, end, [](uint32_t c) {
        return (c >> 8 & 0xFF) >= 200 && (c >> 16) < 100 && (c & 0xFF) < 100;
    });
    const char* seen = lit > 20 ? " lit" : lit ? " barely lit" : " dark";
    return std::string(std::count(bits, end, 0u) > 20 ? "box" : "no box") + seen;
}

// What vt.dll gives back to the process heap while that is watched.
std::vector<void*> freed;
BOOL WINAPI WatchFree(HANDLE heap, DWORD flags, void* block) {
    freed.push_back(block);
    return HeapFree(heap, flags, block);
}

// Runs the script on a second thread, once the dialog shows, while the settings command runs on
// this one; gives the command's result and whether it left the band window to repaint. The script
// must close the dialog. (The band's timer is off while the dialog is open: nothing else paints.)
std::string RunSettings(SitedBand& band, const std::function<void(HWND)>& script) {
    HRESULT result = E_FAIL;
    HWND window = band.Record()->window;
    bool repaint = false;
    WhileDriven(
        [&] {
            HWND dialog = WaitForAnyWindow(settingsCaption);
            ASSERT_NE(dialog, nullptr) << "the settings dialog did not come";
            band.RunOnHostThread([&] { ValidateRect(window, nullptr); });
            script(dialog);
        },
        [&] {
            result = band.Invoke(0);
            repaint = GetUpdateRect(window, nullptr, FALSE);
        });
    return std::to_string(result) + (repaint ? " repaint" : " nothing to repaint");
}

// Waits for the window, writes the screen under it and `also` as a PNG beside the band's
// screenshots for a person to look at, and closes it with `close`.
void Shoot(const char* className, const char* caption, const RECT& also, const char* name,
           UINT close, WPARAM closeParameter) {
    HWND window = WaitForAnyWindow(caption, className);
    ASSERT_NE(window, nullptr) << name;
    SetForegroundWindow(window);
    Sleep(600);
    RECT r;
    GetWindowRect(window, &r);
    UnionRect(&r, &r, &also);
    Dib shot(r.right - r.left, r.bottom - r.top);
    shot.Capture(nullptr, r.left, r.top);
    const std::string folder = ProgramFolder() + VT_SCREENSHOT_FOLDER;
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string path = folder + "\\" + name;
    printf("screenshot: %s\n", path.c_str());
    EXPECT_TRUE(WritePng(path.c_str(), shot.width, shot.height, shot.bits)) << path;
    PostMessageA(window, close, closeParameter, 0);
}

// One band with meters of every kind, a key the tree does not list, a key in other letter case
// (a category of its own) and a key twice.
const std::vector<StoredMeter> startingMeters = {
    {PerfStat, "VtTestDisk\\Reads", -1, 700},
    {Memory, "Memory\\AvailPhys", 1, 500},
    {Resource, "Resource\\GDI", 1, 3000},
    {Memory, "Memory\\Gone", 9, 1000},
    {Resource, "resource\\USER", 2, 500},
    {Memory, "Memory\\AvailPhys", 1, 3000},
    {Drive, "Drive\\C:\\", 0, 0},
    {PerfStat, "表\\Gone", -1, 3000}, // the trail byte of 表 is a backslash
};

// Statistics objects and counters of our own, removed again afterwards.
class SettingsDialog : public testing::Test {
  protected:
    // The band rebuilds its labels only while the statistics can be started.
    const bool startStatCreated = !KeyExists(HKEY_DYN_DATA, "PerfStats\\StartStat");
    SettingsDialog() {
        if (startStatCreated) {
            CreateStartStat();
        }
        DefineWineDrive('R', DRIVE_CDROM, "/tmp"); // never offered: a CD-ROM
        const char* const descriptions[][3] = {
            {"VtTestDisk", "テスト ディスク", nullptr}, {"VtTestDisk\\Queue", nullptr, "TRUE"},
            {"VtTestDisk\\Reads", "読み取り", "true"},  {"VtTestDisk\\Total", "合計", nullptr},
            {"VtTestDisk\\Writes", "書き込み", "yes"},  {"VtTestEmpty", nullptr, nullptr}};
        for (const auto& d : descriptions) {
            SetStatDescription(d[0], d[1], d[2]);
        }
        SetStatTotal("VtTestDisk\\Reads", 1000);
        SetStatTotal("VtTestDisk\\Total", 500);
    }
    ~SettingsDialog() {
        if (startStatCreated) {
            DeleteStartStat();
        }
        DefineWineDrive('R', DRIVE_NO_ROOT_DIR, nullptr);
        const std::string enumKey = "System\\CurrentControlSet\\Control\\PerfStats\\Enum\\";
        for (const char* key : {"VtTestDisk", "VtTestEmpty"}) {
            DeleteKeyTree(HKEY_LOCAL_MACHINE, (enumKey + key).c_str());
        }
        for (const char* total : {"VtTestDisk\\Reads", "VtTestDisk\\Total"}) {
            SetRegText(HKEY_DYN_DATA, "PerfStats\\StatData", total, nullptr);
        }
    }
};

// One dialog: the listing, what a selection shows, the preview, and OK giving the ticked candidates
// in tree order; then the about box and the menu, shot.
TEST_F(SettingsDialog, ListsSelectsPreviewsAndOkGivesTheTickedCandidatesInTreeOrder) {
    SitedBand band(startingMeters, 400, 40);
    SitedBand other({{Memory, "Memory\\Load", 0, 1000}}, 400, 40);
    std::vector<void*> previous;
    for (Meter* m = band.Record()->meters; m; m = m->next) {
        previous.push_back(m);
    }
    const ImportSwap watch(BandDll(), "kernel32.dll", "HeapFree",
                           reinterpret_cast<void*>(WatchFree));
    const std::string result = RunSettings(band, [&](HWND dialog) {
        // Another band of the process asking meanwhile is refused (a second dialog would share
        // this one's records).
        band.RunOnHostThread([&] { EXPECT_EQ(other.Invoke(0), S_OK); });
        const std::vector<TreeNode> tree = ReadTree(dialog);
        // The statistics objects after the fixed categories, with names or key names. Not asserted:
        // the script must still end the dialog.
        const TreeNode* disk = Find(tree, "VtTestDisk");
        const TreeNode* empty = Find(tree, "VtTestEmpty");
        // Meters the tree does not list come last in their category, or in one made for them.
        const bool listed = tree.size() >= 7 && disk && empty;
        EXPECT_EQ(
            listed ? Rows(tree[0]) + Rows(tree[1]) + tree[2].text + Rows(*disk) + Rows(*empty) +
                         Rows(tree[tree.size() - 2]) + Rows(tree.back())
                   : "categories missing",
            "リソース{SYSTEM=SYSTEM/1/0/0;GDI=GDI/1/1/0;USER=USER/1/2/0;}メモリー{使用中メモリ "
            "(%)=Load/3/0/0;"
            "空き物理メモリー=AvailPhys/3/1/0;空きページファイル=AvailPageFile/3/2/0;"
            "空き仮想メモリー=AvailVirtual/3/3/0;Gone=Gone/3/9/0;}ドライブテスト "
            "ディスク{Queue=Queue/0/-1/1;読み取り=Reads/0/-1/1;合計=Total/0/-1/0;書き込み="
            "Writes/0/-1/0;}VtTestEmpty{}resource{USER=USER/1/2/0;}表{Gone=Gone/0/-1/0;}");
        EXPECT_TRUE(Find(tree, "Drive", "C:\\") && !Find(tree, "Drive", "R:\\"));

        // Ticked: the first meter of a key, letter case counting; a category shows no item.
        std::string states = Controls(dialog) + ";"; // nothing selected
        const char* const picks[][2] = {{"Memory", nullptr},
                                        {"Memory", "AvailPhys"},
                                        {"Resource", "GDI"},
                                        {"Drive", "C:\\"},
                                        {"Resource", "USER"}};
        for (const auto& pick : picks) {
            Select(dialog, Find(tree, pick[0], pick[1]));
            states += Controls(dialog) + ";";
        }
        EXPECT_EQ(states, " 00000 unticked;Memory 00000 unticked;Memory\\AvailPhys 11111 ticked "
                          "1005;Resource\\GDI 11111 ticked 1007;Drive\\C:\\ 11111 ticked 1006;"
                          "Resource\\USER 11111 unticked 1006;");

        // The preview: a statistic at its full scale lights segments; a differentiated one starts
        // at 0. Reads then takes three seconds.
        Select(dialog, Find(tree, "VtTestDisk", "Total"));
        const std::string full = Preview(dialog, 400);
        Select(dialog, Find(tree, "VtTestDisk", "Reads"));
        EXPECT_EQ(full + ", " + Preview(dialog, 250), "box lit, box dark");
        Click(dialog, 1007);

        Select(dialog, Find(tree, "Memory", "Load"), {1002, 1007});
        Select(dialog, Find(tree, "Resource", "GDI"), {1002});        // untick
        Select(dialog, Find(tree, "Memory", "AvailVirtual"), {1005}); // left unticked
        Select(dialog, Find(tree, "Memory", "Gone"), {1002});
        Select(dialog, Find(tree, "VtTestDisk", "Total"), {1002, 1005, IDOK});
    });
    EXPECT_EQ(result, "0 repaint");
    EXPECT_EQ(other.Saved(), (std::vector<StoredMeter>{{Memory, "Memory\\Load", 0, 1000}}));
    for (void* m : previous) {
        EXPECT_NE(std::find(freed.begin(), freed.end(), m), freed.end()) << "previous meters freed";
    }
    std::vector<StoredMeter> saved = band.Saved();
    for (StoredMeter& m : saved) {
        m.index = m.kind == Drive ? 0 : m.index; // its position among the prefix's drives
    }
    EXPECT_EQ(saved, (std::vector<StoredMeter>{{Memory, "Memory\\Load", 0, 3000},
                                               {Memory, "Memory\\AvailPhys", 1, 500},
                                               {Drive, "Drive\\C:\\", 0, 0},
                                               {PerfStat, "VtTestDisk\\Reads", -1, 3000},
                                               {PerfStat, "VtTestDisk\\Total", -1, 500},
                                               {Resource, "resource\\USER", 2, 500},
                                               {PerfStat, "表\\Gone", -1, 3000}}));

    // The band then, as its user sees it: its about box, and its menu over it.
    WhileDriven(
        [&] {
            Shoot(nullptr, "Veltrimのバージョン情報", RECT{}, "about-box.png", WM_COMMAND, IDOK);
        },
        [&] { EXPECT_EQ(band.Invoke(3), S_OK); });
    MoveWindow(band.parent, 40, 300, 480, 36, TRUE);
    HMENU menu = CreatePopupMenu();
    ASSERT_TRUE(SUCCEEDED(band.menu->QueryContextMenu(menu, 0, 1, 100, CMF_NORMAL)));
    RECT strip;
    GetWindowRect(band.parent, &strip);
    WhileDriven([&] { Shoot("#32768", nullptr, strip, "context-menu.png", WM_KEYDOWN, VK_ESCAPE); },
                [&] {
                    SetForegroundWindow(band.parent);
                    TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_BOTTOMALIGN, 200, 310,
                                   0, band.parent, nullptr);
                });
    DestroyMenu(menu);
}

// Cancel leaves the list and its order whatever was changed; the dialog is shot before it. The
// labels are built again, and a statistic renamed meanwhile shows its new name at the next paint.
TEST_F(SettingsDialog, CancelLeavesTheList) {
    SitedBand band(startingMeters, 400, 40);
    Dib before(60, 8), after(60, 8); // the screen under the first cell's label
    UpdateWindow(band.Record()->window);
    before.Capture(band.Record()->window);
    const std::string result = RunSettings(band, [&](HWND dialog) {
        SetStatDescription("VtTestDisk\\Reads", "読込回数", "true");
        const std::vector<TreeNode> tree = ReadTree(dialog);
        for (const char* category : {"Memory", "Drive"}) {
            TreeView_Expand(GetDlgItem(dialog, 1000), Find(tree, category)->item, TVE_EXPAND);
        }
        Select(dialog, Find(tree, "Resource", "SYSTEM"), {1002});
        Select(dialog, Find(tree, "Memory", "AvailPhys"), {1002, 1007});
        Shoot(nullptr, settingsCaption, RECT{}, "settings-dialog.png", WM_COMMAND, IDCANCEL);
    });
    EXPECT_EQ(result, "0 repaint");
    EXPECT_EQ(band.Saved(), startingMeters);
    EXPECT_NE(band.Record()->timerId, 0u) << "sampling again after the dialog";
    UpdateWindow(band.Record()->window);
    after.Capture(band.Record()->window);
    EXPECT_NE(memcmp(before.bits, after.bits, 60 * 8 * 4), 0) << "the new label on the screen";
}

// The user removes the band from the taskbar while its dialog is open: the host closes it and
// lets it go. The command keeps the band until the dialog's OK has written into it.
TEST_F(SettingsDialog, ABandLetGoWhileTheDialogIsOpenLastsToTheEndOfTheCommand) {
    const auto canUnload = BandExport<HRESULT(STDAPICALLTYPE*)()>("DllCanUnloadNow");
    SitedBand* band = new SitedBand(startingMeters, 400, 40);
    HRESULT unloadWhileOpen = E_FAIL;
    const std::string result = RunSettings(*band, [&](HWND dialog) {
        band->RunOnHostThread([&] {
            band->docking->CloseDW(0);
            delete band; // the site, every reference and the host window go
            unloadWhileOpen = canUnload();
        });
        Select(dialog, Find(ReadTree(dialog), "Memory", "Load"), {1002, IDOK});
    });
    EXPECT_EQ(result, "0 nothing to repaint");
    EXPECT_EQ(unloadWhileOpen, S_FALSE) << "the band lives while its command runs";
    EXPECT_EQ(canUnload(), S_OK) << "and goes when it is over";
}

} // namespace
