// The settings dialog and its preview, opened through the context menu of a real band (vt.dll)
// that has a site and a window; the dialog is driven from a second thread as a user would, and
// the results are checked on the main thread afterwards. Also the menu over a live band.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "png_writer.h"
#include "settings/meter_choice.h"
#include "shell/band_object.h"
#include "shell/band_state.h"
#include "win32_test_support.h"

namespace {

const char settingsCaption[] = "設定";
const char enumPath[] = "System\\CurrentControlSet\\Control\\PerfStats\\Enum\\";

// Statistics objects and counters of our own, removed again afterwards.
struct RegisteredStatistics {
    bool startStatCreated = false;
    RegisteredStatistics() {
        // The band rebuilds its labels only while the statistics can be started.
        HKEY startStat;
        if (RegOpenKeyExA(HKEY_DYN_DATA, "PerfStats\\StartStat", 0, KEY_READ, &startStat) ==
            ERROR_SUCCESS) {
            RegCloseKey(startStat);
        } else {
            CreateStartStat();
            startStatCreated = true;
        }
        SetStatDescription("VtTestDisk", "テスト ディスク", nullptr);
        SetStatDescription("VtTestDisk\\Queue", nullptr, "TRUE");
        SetStatDescription("VtTestDisk\\Reads", "読み取り", "true");
        SetStatDescription("VtTestDisk\\Total", "合計", nullptr);
        SetStatDescription("VtTestDisk\\Writes", "書き込み", "yes");
        SetStatDescription("VtTestEmpty", nullptr, nullptr);
        SetStatTotal("VtTestDisk\\Reads", 1000);
        SetStatTotal("VtTestDisk\\Total", 500);
    }
    ~RegisteredStatistics() {
        if (startStatCreated) {
            DeleteStartStat();
        }
        DeleteKeyTree(HKEY_LOCAL_MACHINE, (std::string(enumPath) + "VtTestDisk").c_str());
        DeleteKeyTree(HKEY_LOCAL_MACHINE, (std::string(enumPath) + "VtTestEmpty").c_str());
        HKEY data;
        if (RegOpenKeyExA(HKEY_DYN_DATA, "PerfStats\\StatData", 0, KEY_ALL_ACCESS, &data) ==
            ERROR_SUCCESS) {
            RegDeleteValueA(data, "VtTestDisk\\Reads");
            RegDeleteValueA(data, "VtTestDisk\\Total");
            RegCloseKey(data);
        }
    }
};

// --- What the driver thread does and sees --------------------------------------------------

// One tree item as read while the dialog is open: its record is live only until the dialog ends,
// so what the checks afterwards need is copied.
struct TreeNode {
    HTREEITEM item;
    std::string text;
    MeterChoice* choice;
    std::string key;
    int kind;
    int index;
    int differentiate;
    std::vector<TreeNode> children;
};

TreeNode ReadNode(HWND tree, HTREEITEM item) {
    char text[256] = "";
    TVITEMA data = {};
    data.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_PARAM;
    data.hItem = item;
    data.pszText = text;
    data.cchTextMax = sizeof(text);
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
    MeterChoice* choice = reinterpret_cast<MeterChoice*>(data.lParam);
    if (!choice) {
        return TreeNode{item, text, nullptr, "", -2, -2, -2, {}};
    }
    return TreeNode{
        item, text, choice, choice->key, choice->kind, choice->index, choice->differentiate, {}};
}

std::vector<TreeNode> ReadTree(HWND dialog) {
    HWND tree = GetDlgItem(dialog, 1000);
    std::vector<TreeNode> nodes;
    for (HTREEITEM top = TreeView_GetRoot(tree); top; top = TreeView_GetNextSibling(tree, top)) {
        TreeNode node = ReadNode(tree, top);
        for (HTREEITEM child = TreeView_GetChild(tree, top); child;
             child = TreeView_GetNextSibling(tree, child)) {
            node.children.push_back(ReadNode(tree, child));
        }
        nodes.push_back(node);
    }
    return nodes;
}

const TreeNode* Category(const std::vector<TreeNode>& nodes, const char* key) {
    for (const TreeNode& node : nodes) {
        if (node.key == key) {
            return &node;
        }
    }
    return nullptr;
}

const TreeNode* Candidate(const std::vector<TreeNode>& nodes, const char* category,
                          const char* key) {
    const TreeNode* parent = Category(nodes, category);
    for (size_t i = 0; parent && i < parent->children.size(); ++i) {
        if (parent->children[i].key == key) {
            return &parent->children[i];
        }
    }
    return nullptr;
}

void Select(HWND dialog, const TreeNode* node) {
    if (node) {
        TreeView_SelectItem(GetDlgItem(dialog, 1000), node->item);
    }
}

// The item controls as a user sees them: enabled state, check box, the radio button checked.
struct ControlState {
    std::string key;
    bool enabled[5];
    bool ticked;
    int radio;
};

ControlState Controls(HWND dialog) {
    ControlState state = {};
    state.key = ItemText(dialog, 1001);
    const int ids[] = {1009, 1005, 1006, 1007, 1002};
    for (int i = 0; i < 5; ++i) {
        state.enabled[i] = IsWindowEnabled(GetDlgItem(dialog, ids[i])) != FALSE;
    }
    state.ticked = IsDlgButtonChecked(dialog, 1002) == BST_CHECKED;
    for (int id = 1005; id <= 1007; ++id) {
        if (IsDlgButtonChecked(dialog, id) == BST_CHECKED) {
            state.radio = id;
        }
    }
    return state;
}

bool AllEnabled(const ControlState& s, bool enabled) {
    for (bool e : s.enabled) {
        if (e != enabled) {
            return false;
        }
    }
    return true;
}

// Pixels of the preview static: bright (a lit segment) and black (the bar's box).
struct PreviewPixels {
    int bright = 0;
    int black = 0;
    int marked = 0;
};

PreviewPixels ReadPreview(HWND dialog) {
    HWND preview = GetDlgItem(dialog, 1008);
    RECT area;
    GetClientRect(preview, &area);
    HDC dc = GetDC(preview);
    PreviewPixels pixels;
    for (int y = 0; y < area.bottom; ++y) {
        for (int x = 0; x < area.right; ++x) {
            const COLORREF c = GetPixel(dc, x, y);
            pixels.black += c == RGB(0, 0, 0);
            pixels.bright += GetGValue(c) >= 200 && GetRValue(c) < 100 && GetBValue(c) < 100;
            pixels.marked += c == RGB(255, 0, 255);
        }
    }
    ReleaseDC(preview, dc);
    return pixels;
}

void MarkPreview(HWND dialog) {
    HWND preview = GetDlgItem(dialog, 1008);
    RECT area;
    GetClientRect(preview, &area);
    HDC dc = GetDC(preview);
    HBRUSH brush = CreateSolidBrush(RGB(255, 0, 255));
    FillRect(dc, &area, brush);
    DeleteObject(brush);
    ReleaseDC(preview, dc);
}

// Runs the script on a second thread, once the dialog shows, while the settings command runs on
// this one.
HRESULT RunSettings(SitedBand& band, std::function<void(HWND)> script, bool* found) {
    HRESULT result = E_FAIL;
    *found = false;
    WhileDriven(
        [&] {
            HWND dialog = WaitForAnyWindow(settingsCaption);
            *found = dialog != nullptr;
            if (dialog) {
                script(dialog);
            }
        },
        [&] { result = band.Invoke(0); });
    return result;
}

const std::vector<StoredMeter> startingMeters = {
    {PerfStat, "VtTestDisk\\Reads", -1, 700},
    {Memory, "Memory\\AvailPhys", 1, 500},
    {Resource, "Resource\\GDI", 1, 3000},
    {Memory, "Memory\\Gone", 9, 1000},
    {Resource, "resource\\USER", 2, 1000},
    {Memory, "Memory\\AvailPhys", 1, 3000},
    {Drive, "Drive\\C:\\", 0, 0},
};

class SettingsDialog : public testing::Test {
  protected:
    RegisteredStatistics statistics;
};

TEST_F(SettingsDialog, ListsEveryCategoryAndShowsTheSelectedCandidate) {
    SitedBand band(startingMeters, 400, 40);
    ASSERT_NE(band.Record()->window, nullptr);
    std::vector<TreeNode> tree;
    std::vector<ControlState> states;
    std::vector<std::string> driveKeys;
    UINT_PTR timerDuring = 1;
    int toolsDuring = -1;
    std::vector<StoredMeter> savedDuring;
    bool found = false;
    const HRESULT result = RunSettings(
        band,
        [&](HWND dialog) {
            timerDuring = band.Record()->timerId;
            toolsDuring = band.ToolCount();
            tree = ReadTree(dialog);
            states.push_back(Controls(dialog)); // nothing selected
            Select(dialog, Category(tree, "Memory"));
            states.push_back(Controls(dialog));
            const char* const picks[][2] = {{"Memory", "AvailPhys"}, {"Resource", "GDI"},
                                            {"VtTestDisk", "Reads"}, {"Drive", "C:\\"},
                                            {"Memory", "Load"},      {"Resource", "USER"}};
            for (const auto& pick : picks) {
                Select(dialog, Candidate(tree, pick[0], pick[1]));
                states.push_back(Controls(dialog));
            }
            Select(dialog, Category(tree, "VtTestDisk")); // controls keep what they showed
            states.push_back(Controls(dialog));
            const TreeNode* drives = Category(tree, "Drive");
            for (size_t i = 0; drives && i < drives->children.size(); ++i) {
                Select(dialog, &drives->children[i]);
                driveKeys.push_back(ItemText(dialog, 1001));
            }
            Click(dialog, 2);
        },
        &found);
    ASSERT_TRUE(found);
    EXPECT_EQ(result, S_OK);
    EXPECT_EQ(timerDuring, 0u) << "the band does not sample while the dialog is open";
    EXPECT_EQ(toolsDuring, 0);
    EXPECT_NE(band.Record()->timerId, 0u) << "timer back after the dialog";
    EXPECT_EQ(band.ToolCount(), static_cast<int>(startingMeters.size()));

    ASSERT_GE(tree.size(), 5u);
    EXPECT_EQ(tree[0].text, "リソース");
    EXPECT_EQ(tree[1].text, "メモリー");
    EXPECT_EQ(tree[2].text, "ドライブ");
    std::vector<std::string> texts;
    for (const TreeNode& n : tree[0].children) {
        texts.push_back(n.text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"SYSTEM", "GDI", "USER"}));
    texts.clear();
    for (const TreeNode& n : tree[1].children) {
        texts.push_back(n.text + "=" + n.key + "/" + std::to_string(n.index));
    }
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "使用中メモリ (%)=Load/0", "空き物理メモリー=AvailPhys/1",
                         "空きページファイル=AvailPageFile/2", "空き仮想メモリー=AvailVirtual/3"}));
    // The prefix's drives, each by its root path, in the shell's order.
    char roots[256] = "";
    GetLogicalDriveStringsA(sizeof(roots), roots);
    std::vector<std::string> expectedDrives;
    for (const char* root = roots; *root; root += strlen(root) + 1) {
        if (GetDriveTypeA(root) == DRIVE_FIXED) {
            expectedDrives.push_back(std::string("Drive\\") + root);
        }
    }
    for (const std::string& expected : expectedDrives) {
        EXPECT_NE(std::find(driveKeys.begin(), driveKeys.end(), expected), driveKeys.end())
            << expected;
    }
    ASSERT_EQ(tree[2].children.size(), driveKeys.size());
    for (size_t i = 0; i < tree[2].children.size(); ++i) {
        EXPECT_EQ(tree[2].children[i].index, static_cast<int>(i));
        EXPECT_FALSE(tree[2].children[i].text.empty());
    }

    // The statistics objects after the fixed categories, with names or key names.
    const TreeNode* disk = Category(tree, "VtTestDisk");
    const TreeNode* empty = Category(tree, "VtTestEmpty");
    ASSERT_NE(disk, nullptr);
    ASSERT_NE(empty, nullptr);
    EXPECT_GE(disk - tree.data(), 3);
    EXPECT_EQ(disk->text, "テスト ディスク");
    EXPECT_EQ(empty->text, "VtTestEmpty");
    EXPECT_TRUE(empty->children.empty());
    ASSERT_EQ(disk->children.size(), 4u);
    const char* const counterTexts[] = {"Queue", "読み取り", "合計", "書き込み"};
    const int differentiate[] = {1, 1, 0, 0};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(disk->children[i].text, counterTexts[i]);
        EXPECT_EQ(disk->children[i].differentiate, differentiate[i]) << i;
        EXPECT_EQ(disk->children[i].index, -1);
        EXPECT_EQ(disk->children[i].kind, PerfStat);
    }

    // Selection states: nothing, a category, then candidates of each interval.
    ASSERT_EQ(states.size(), 9u);
    EXPECT_EQ(states[0].key, "");
    EXPECT_TRUE(AllEnabled(states[0], false));
    EXPECT_EQ(states[1].key, "Memory");
    EXPECT_TRUE(AllEnabled(states[1], false));
    const char* const keys[] = {"Memory\\AvailPhys", "Resource\\GDI", "VtTestDisk\\Reads",
                                "Drive\\C:\\",       "Memory\\Load",  "Resource\\USER"};
    const bool ticked[] = {true, true, true, true, false, false};
    const int radios[] = {1005, 1007, 1006, 1006, 1006, 1006};
    for (int i = 0; i < 6; ++i) {
        const ControlState& s = states[2 + i];
        EXPECT_EQ(s.key, keys[i]);
        EXPECT_TRUE(AllEnabled(s, true)) << keys[i];
        EXPECT_EQ(s.ticked, ticked[i]) << keys[i] << ": the first of equal keys, exact case";
        EXPECT_EQ(s.radio, radios[i]) << keys[i];
    }
    EXPECT_EQ(states[8].key, "VtTestDisk");
    EXPECT_TRUE(AllEnabled(states[8], false));
    EXPECT_FALSE(states[8].ticked);
    EXPECT_EQ(states[8].radio, 1006) << "the controls keep what they showed";

    EXPECT_EQ(band.Saved(), startingMeters) << "Cancel leaves the list";
}

TEST_F(SettingsDialog, OkGivesTheTickedCandidatesInTreeOrder) {
    SitedBand band(startingMeters, 400, 40);
    bool found = false;
    const HRESULT result = RunSettings(
        band,
        [&](HWND dialog) {
            std::vector<TreeNode> tree = ReadTree(dialog);
            // A command with a category selected changes no record.
            Select(dialog, Category(tree, "Resource"));
            SendMessageA(dialog, WM_COMMAND, 1005, 0);
            SendMessageA(dialog, WM_COMMAND, 1002, 0);
            Select(dialog, Candidate(tree, "Memory", "Load"));
            Click(dialog, 1002);
            Click(dialog, 1007);
            Select(dialog, Candidate(tree, "Resource", "GDI"));
            Click(dialog, 1002); // untick
            Select(dialog, Candidate(tree, "Memory", "AvailVirtual"));
            Click(dialog, 1005); // an interval for a candidate left unticked
            Select(dialog, Candidate(tree, "VtTestDisk", "Total"));
            Click(dialog, 1002);
            Click(dialog, 1005);
            Click(dialog, 1);
        },
        &found);
    ASSERT_TRUE(found);
    EXPECT_EQ(result, S_OK);
    const std::vector<StoredMeter> expected = {
        {Memory, "Memory\\Load", 0, 3000},
        {Memory, "Memory\\AvailPhys", 1, 500},
        {Drive, "Drive\\C:\\", 0, 0},
        {PerfStat, "VtTestDisk\\Reads", -1, 700},
        {PerfStat, "VtTestDisk\\Total", -1, 500},
    };
    std::vector<StoredMeter> saved = band.Saved();
    // The drive's index is its position among the prefix's drives.
    for (StoredMeter& m : saved) {
        if (m.kind == Drive) {
            m.index = 0;
        }
    }
    EXPECT_EQ(saved, expected);
    EXPECT_NE(band.Record()->timerId, 0u);
    EXPECT_EQ(band.ToolCount(), static_cast<int>(expected.size()));
    for (const Meter* m = band.Record()->meters; m; m = m->next) {
        EXPECT_NE(m->label, nullptr) << m->key << ": labels rebuilt after OK";
    }

    // OK with nothing ticked leaves the list empty.
    RunSettings(
        band,
        [&](HWND dialog) {
            std::vector<TreeNode> tree = ReadTree(dialog);
            for (const TreeNode& category : tree) {
                for (const TreeNode& candidate : category.children) {
                    if (candidate.choice->enabled) {
                        Select(dialog, &candidate);
                        Click(dialog, 1002);
                    }
                }
            }
            Click(dialog, 1);
        },
        &found);
    ASSERT_TRUE(found);
    EXPECT_TRUE(band.Saved().empty());
    EXPECT_EQ(band.ToolCount(), 0);
}

TEST_F(SettingsDialog, CancelAndTheCloseBoxLeaveTheListAndItsOrder) {
    SitedBand band(startingMeters, 400, 40);
    for (int round = 0; round < 2; ++round) {
        bool found = false;
        RunSettings(
            band,
            [&](HWND dialog) {
                std::vector<TreeNode> tree = ReadTree(dialog);
                Select(dialog, Candidate(tree, "Memory", "AvailPhys"));
                Click(dialog, 1002);
                Click(dialog, 1007);
                Select(dialog, Candidate(tree, "Resource", "SYSTEM"));
                Click(dialog, 1002);
                if (round == 0) {
                    Click(dialog, 2);
                } else {
                    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
                }
            },
            &found);
        ASSERT_TRUE(found) << round;
        EXPECT_EQ(band.Saved(), startingMeters) << round;
        EXPECT_NE(band.Record()->timerId, 0u) << round;
        EXPECT_EQ(band.ToolCount(), static_cast<int>(startingMeters.size())) << round;
        EXPECT_EQ(FindWindowA(nullptr, settingsCaption), nullptr) << round;
    }
}

TEST_F(SettingsDialog, ASecondRequestWhileOneIsOpenIsRefused) {
    SitedBand band(startingMeters, 400, 40);
    SitedBand other({{Memory, "Memory\\Load", 0, 1000}}, 400, 40);
    HRESULT second = E_FAIL;
    HRESULT third = E_FAIL;
    UINT_PTR otherTimer = 0;
    int dialogs = 0;
    bool found = false;
    std::function<void()> again = [&] {
        second = other.Invoke(0); // another band of the process
        third = band.Invoke(0);   // the same band again
        otherTimer = other.Record()->timerId;
    };
    RunSettings(
        band,
        [&](HWND dialog) {
            band.RunOnHostThread(again);
            for (HWND w = FindWindowA(nullptr, settingsCaption); w;
                 w = FindWindowExA(nullptr, w, nullptr, settingsCaption)) {
                ++dialogs;
            }
            std::vector<TreeNode> tree = ReadTree(dialog);
            Select(dialog, Candidate(tree, "Memory", "Load"));
            Click(dialog, 1002);
            Click(dialog, 1);
        },
        &found);
    ASSERT_TRUE(found);
    EXPECT_EQ(second, S_OK);
    EXPECT_EQ(third, S_OK);
    EXPECT_EQ(dialogs, 1);
    EXPECT_NE(otherTimer, 0u) << "the refused band keeps sampling";
    EXPECT_EQ(other.Saved(), (std::vector<StoredMeter>{{Memory, "Memory\\Load", 0, 1000}}));
    std::vector<StoredMeter> saved = band.Saved();
    ASSERT_EQ(saved.size(), 5u) << "the open dialog's OK still counts";
    EXPECT_EQ(saved[0], (StoredMeter{Resource, "Resource\\GDI", 1, 3000}));
    EXPECT_EQ(saved[1], (StoredMeter{Memory, "Memory\\Load", 0, 1000}));
    EXPECT_EQ(band.ToolCount(), static_cast<int>(saved.size()));
}

HRESULT CanUnloadDll() {
    typedef HRESULT(STDAPICALLTYPE * CanUnloadFunction)();
    CanUnloadFunction canUnload = reinterpret_cast<CanUnloadFunction>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("vt.dll"), "DllCanUnloadNow")));
    return canUnload();
}

// The user removes the band from the taskbar while its dialog is open: the host closes it and
// lets it go. The command keeps the band until the dialog's OK has written into it, and no
// timer is started for the window that is gone.
TEST_F(SettingsDialog, ABandLetGoWhileTheDialogIsOpenLastsToTheEndOfTheCommand) {
    SitedBand* band = new SitedBand(startingMeters, 400, 40);
    HRESULT unloadWhileOpen = E_FAIL;
    std::function<void()> letGo = [&] {
        band->docking->CloseDW(0);
        delete band; // the site, every reference and the host window go
        unloadWhileOpen = CanUnloadDll();
    };
    bool found = false;
    EXPECT_EQ(RunSettings(
                  *band,
                  [&](HWND dialog) {
                      band->RunOnHostThread(letGo);
                      std::vector<TreeNode> tree = ReadTree(dialog);
                      Select(dialog, Candidate(tree, "Memory", "Load"));
                      Click(dialog, 1002);
                      Click(dialog, 1);
                  },
                  &found),
              S_OK);
    ASSERT_TRUE(found);
    EXPECT_EQ(unloadWhileOpen, S_FALSE) << "the band lives while its command runs";
    EXPECT_EQ(CanUnloadDll(), S_OK) << "and goes when it is over";
    // A timer of no window posts its WM_TIMER to the thread with no window named.
    Sleep(300);
    MSG message;
    bool threadTimer = false;
    while (PeekMessageA(&message, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) {
        if (!message.hwnd) {
            threadTimer = true;
            KillTimer(nullptr, message.wParam);
        }
    }
    EXPECT_FALSE(threadTimer) << "a timer of no window ticks in the host's thread";
}

// --- The preview --------------------------------------------------------------------------

struct PreviewSeen {
    PreviewPixels before;
    PreviewPixels full;
    uint32_t firstDifferentiated = 1;
    uint32_t differentiatedScale = 0;
    PreviewPixels differentiatedPixels;
    std::vector<uint32_t> sampleTicks;
    std::vector<uint32_t> values;
    bool redrawnBetweenSamples = false;
    uint32_t totalScale = 0;
    uint32_t totalPeak = 0;
    uint32_t totalScaleBack = 0;
    uint32_t totalPeakBack = 0;
    uint32_t readsScaleLeft = 0;
    uint32_t readsPeakLeft = 0;
    uint32_t readsScaleBack = 1;
    uint32_t readsPeakBack = 1;
    PreviewPixels category;
};

TEST_F(SettingsDialog, PreviewDrawsTheSelectedCandidateAtItsOwnInterval) {
    SitedBand band({}, 400, 40);
    PreviewSeen seen;
    bool found = false;
    RunSettings(
        band,
        [&](HWND dialog) {
            std::vector<TreeNode> tree = ReadTree(dialog);
            Sleep(300);
            seen.before = ReadPreview(dialog);
            const TreeNode* total = Candidate(tree, "VtTestDisk", "Total");
            const TreeNode* reads = Candidate(tree, "VtTestDisk", "Reads");
            if (!total || !reads) {
                Click(dialog, 2);
                return;
            }
            Select(dialog, total);
            Sleep(400);
            seen.full = ReadPreview(dialog);
            seen.totalScale = total->choice->scale;
            seen.totalPeak = total->choice->peak;

            Select(dialog, reads);
            Sleep(250);
            seen.firstDifferentiated = reads->choice->value;
            seen.differentiatedScale = reads->choice->scale;
            seen.differentiatedPixels = ReadPreview(dialog);

            // Three seconds between samples, the bar redrawn on every tick in between.
            Click(dialog, 1007);
            uint32_t lastTick = reads->choice->lastSampleTick;
            seen.sampleTicks.push_back(lastTick);
            const DWORD start = GetTickCount();
            uint32_t raw = 1000;
            while (GetTickCount() - start < 6600) {
                raw += 300;
                SetStatTotal("VtTestDisk\\Reads", raw);
                MarkPreview(dialog);
                Sleep(150);
                if (ReadPreview(dialog).marked == 0) {
                    seen.redrawnBetweenSamples = true;
                }
                if (reads->choice->lastSampleTick != lastTick) {
                    lastTick = reads->choice->lastSampleTick;
                    seen.sampleTicks.push_back(lastTick);
                    seen.values.push_back(reads->choice->value);
                }
            }
            Select(dialog, total);
            seen.readsScaleLeft = reads->choice->scale;
            seen.readsPeakLeft = reads->choice->peak;
            Sleep(250);
            seen.totalScaleBack = total->choice->scale;
            seen.totalPeakBack = total->choice->peak;
            seen.readsScaleBack = reads->choice->scale;
            seen.readsPeakBack = reads->choice->peak;
            Select(dialog, Category(tree, "Memory"));
            MarkPreview(dialog);
            Sleep(300);
            seen.category = ReadPreview(dialog);
            Click(dialog, 2);
        },
        &found);
    ASSERT_TRUE(found);
    EXPECT_EQ(seen.before.black, 0) << "nothing drawn before a candidate is selected";
    EXPECT_GT(seen.full.black, 20) << "the bar's box";
    EXPECT_GT(seen.full.bright, 20) << "a statistic at its full scale lights segments";
    EXPECT_EQ(seen.totalScale, 500u);
    EXPECT_EQ(seen.totalPeak, 500u);
    EXPECT_EQ(seen.firstDifferentiated, 0u) << "a differentiated statistic starts at 0";
    EXPECT_EQ(seen.differentiatedScale, 1u);
    EXPECT_GT(seen.differentiatedPixels.black, 20);
    EXPECT_EQ(seen.differentiatedPixels.bright, 0);
    ASSERT_GE(seen.sampleTicks.size(), 3u);
    for (size_t i = 1; i < seen.sampleTicks.size(); ++i) {
        const uint32_t gap = seen.sampleTicks[i] - seen.sampleTicks[i - 1];
        EXPECT_GE(gap, 3000u) << i;
        EXPECT_LT(gap, 4000u) << i << ": not one sample skipped";
    }
    for (uint32_t value : seen.values) {
        // 300 counts every 150 ms or more (the loop slows on a busy machine): at most 2000 a
        // second.
        EXPECT_GT(value, 0u);
        EXPECT_LE(value, 2100u);
    }
    EXPECT_TRUE(seen.redrawnBetweenSamples);
    EXPECT_EQ(seen.totalScaleBack, 500u) << "each candidate keeps its own scale";
    EXPECT_EQ(seen.totalPeakBack, 500u);
    EXPECT_GT(seen.readsPeakLeft, 1000u);
    EXPECT_EQ(seen.readsScaleBack, seen.readsScaleLeft) << "left alone while another is selected";
    EXPECT_EQ(seen.readsPeakBack, seen.readsPeakLeft);
    EXPECT_GT(seen.category.marked, 0) << "a category is neither sampled nor drawn";
}

// --- The menu over a live band, and pictures of all three ------------------------------------

TEST(BandMenu, TurningHidingOffShowsEveryMeter) {
    SitedBand band({{Memory, "Memory\\Load", 0, 1000},
                    {Memory, "Memory\\AvailPhys", 1, 1000},
                    {Drive, "Drive\\Q:\\", 0, 1000}},
                   400, 40);
    EXPECT_EQ(band.Invoke(2), S_OK);
    ASSERT_TRUE(band.Record()->hideInvalid);
    for (Meter* m = band.Record()->meters; m; m = m->next) {
        m->visible = m == band.Record()->meters ? 1 : 0; // as the 60-second rule leaves them
    }
    EXPECT_EQ(band.Invoke(2), S_OK);
    EXPECT_FALSE(band.Record()->hideInvalid);
    int visible = 0;
    for (const Meter* m = band.Record()->meters; m; m = m->next) {
        visible += m->visible;
    }
    EXPECT_EQ(visible, 3);
    EXPECT_EQ(band.Record()->visibleCount, 3) << "the grid is laid out again";
}

// The screen under a rectangle, written as a PNG beside the band's screenshots; true when written.
// blankPercent is the share of pure black pixels.
bool ShootScreen(const RECT& r, const char* name, int* blankPercent) {
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    Dib shot(width, height);
    HDC screen = GetDC(nullptr);
    BitBlt(shot.dc, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    int blank = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            blank += shot.At(x, y) == 0;
        }
    }
    const std::string folder = ProgramFolder() + VT_SCREENSHOT_FOLDER;
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string path = folder + "\\" + name;
    printf("screenshot: %s (%d x %d)\n", path.c_str(), width, height);
    const bool written =
        width > 0 && height > 0 && WritePng(path.c_str(), width, height, shot.bits);
    *blankPercent = width > 0 && height > 0 ? blank * 100 / (width * height) : 100;
    return written;
}

// Waits for a window, shoots it (with `also` around it) and closes it with `close`. A window shot
// alone must not be mostly black.
bool ShootWhenShown(const char* className, const char* caption, const RECT& also, const char* name,
                    UINT close, WPARAM closeParameter) {
    HWND window = WaitForAnyWindow(caption, className);
    if (!window) {
        return false;
    }
    SetForegroundWindow(window);
    Sleep(600);
    RECT r;
    GetWindowRect(window, &r);
    UnionRect(&r, &r, &also);
    int blank = 100;
    const bool written = ShootScreen(r, name, &blank);
    if (IsRectEmpty(&also)) {
        EXPECT_LT(blank, 10) << name << ": the window, not the bare screen, was captured";
    }
    PostMessageA(window, close, closeParameter, 0);
    return written;
}

const RECT nothing = {};

TEST_F(SettingsDialog, ScreenshotWithACandidateSelected) {
    SitedBand band(startingMeters, 400, 40);
    bool found = false;
    bool written = false;
    RunSettings(
        band,
        [&](HWND dialog) {
            std::vector<TreeNode> tree = ReadTree(dialog);
            HWND treeWindow = GetDlgItem(dialog, 1000);
            TreeView_Expand(treeWindow, Category(tree, "Memory")->item, TVE_EXPAND);
            TreeView_Expand(treeWindow, Category(tree, "Drive")->item, TVE_EXPAND);
            Select(dialog, Candidate(tree, "Memory", "AvailPhys"));
            written = ShootWhenShown(nullptr, settingsCaption, nothing, "settings-dialog.png",
                                     WM_COMMAND, IDCANCEL);
        },
        &found);
    ASSERT_TRUE(found);
    EXPECT_TRUE(written);
}

TEST(BandMenu, ScreenshotsOfTheAboutBoxAndTheMenuOverTheBand) {
    SitedBand band({{Memory, "Memory\\Load", 0, 500},
                    {Memory, "Memory\\AvailPhys", 1, 500},
                    {Resource, "Resource\\GDI", 1, 500}},
                   480, 36);
    bool written = false;
    WhileDriven(
        [&] {
            written = ShootWhenShown(nullptr, "Veltrimのバージョン情報", nothing, "about-box.png",
                                     WM_COMMAND, IDOK);
        },
        [&] { EXPECT_EQ(band.Invoke(3), S_OK); });
    EXPECT_TRUE(written);

    MoveWindow(band.parent, 40, 300, 480, 36, TRUE);
    // Let the band sample and paint for a moment, as it would on the taskbar.
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 800) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&msg);
        }
        Sleep(10);
    }
    HMENU menu = CreatePopupMenu();
    ASSERT_TRUE(SUCCEEDED(band.menu->QueryContextMenu(menu, 0, 1, 100, CMF_NORMAL)));
    RECT strip;
    GetWindowRect(band.parent, &strip);
    written = false;
    WhileDriven(
        [&] {
            written =
                ShootWhenShown("#32768", nullptr, strip, "context-menu.png", WM_KEYDOWN, VK_ESCAPE);
        },
        [&] {
            SetForegroundWindow(band.parent);
            TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_BOTTOMALIGN, 200, 310, 0,
                           band.parent, nullptr);
        });
    DestroyMenu(menu);
    EXPECT_TRUE(written);
}

} // namespace
