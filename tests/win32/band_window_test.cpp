// A real band window under a parent window, under Wine: its class, creation, timer, tooltips,
// focus, closing and painting, GDI objects over many paints, and a screenshot for a person.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <stddef.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "import_hook.h"
#include "meters/sources.h"
#include "png_writer.h"
#include "shell/module.h"
#include "win32_test_support.h"
#include "window/band_window.h"
#include "window/grid_layout.h"

namespace {

// Every RegisterClassA of the band's class in this process, from before the first test on.
int bandClassRegistrations;
void* realRegisterClassA;
ATOM WINAPI CountingRegisterClassA(const WNDCLASSA* windowClass) {
    const char* name = windowClass->lpszClassName;
    bandClassRegistrations += !IS_INTRESOURCE(name) && strcmp(name, "VeltrimClass") == 0;
    return reinterpret_cast<decltype(&RegisterClassA)>(realRegisterClassA)(windowClass);
}
const bool registrationsCounted =
    (realRegisterClassA = HookImport("user32.dll", "RegisterClassA",
                                     reinterpret_cast<void*>(&CountingRegisterClassA))) != nullptr;

// The shell's side: a visible top-level window whose client area the band window covers (and
// which clips the band window out of its own painting).
struct HostedBand : TestBand {
    HWND parent;
    HostedBand(int width, int height) {
        moduleInstance = GetModuleHandleA(nullptr);
        // A host of its own class, as a shell's strip is, instead of the test band's window.
        DestroyWindow(band.window);
        band.window = nullptr;
        WNDCLASSA host = {};
        host.lpfnWndProc = DefWindowProcA;
        host.hInstance = moduleInstance;
        host.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        host.lpszClassName = "VtTestHost";
        RegisterClassA(&host);
        parent = CreateWindowExA(0, "VtTestHost", "", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                                 width, height, nullptr, nullptr, moduleInstance, nullptr);
        band.parentWindow = parent;
    }
    ~HostedBand() {
        DestroyWindow(parent);
        band.window = nullptr;
    }
    // Creates the band window and shows it, as the shell does after SetSite.
    bool Create() {
        return CreateBandWindow(&band) && !ShowWindow(band.window, SW_SHOWNA);
    }
    void Tick() {
        SendMessageA(band.window, WM_TIMER, 1, 0);
    }
    void Paint() {
        InvalidateRect(band.window, nullptr, FALSE);
        UpdateWindow(band.window);
    }
};

std::string Grid(const MeterBand& band) {
    return std::to_string(band.visibleCount) + " visible in " + std::to_string(band.columns) +
           " x " + std::to_string(band.rows) + ", font " + std::to_string(band.fontHeight);
}

// The band's tools in order, "left,top,right,bottom" each, marked "!" where the id is not the
// meter's position, the window not the band's or the tool a subclassing or window tool; their
// texts "|"-separated into texts.
std::string Tools(const MeterBand& band, std::string* texts = nullptr) {
    std::string rects;
    const int count = static_cast<int>(SendMessageA(band.tooltipWindow, TTM_GETTOOLCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[100] = "";
        TOOLINFOA tool;
        ZeroMemory(&tool, sizeof(tool));
        tool.cbSize = offsetof(TOOLINFOA, lParam) + sizeof(LPARAM);
        tool.lpszText = text;
        EXPECT_TRUE(SendMessageA(band.tooltipWindow, TTM_ENUMTOOLSA, i, LPARAM(&tool)));
        const RECT& r = tool.rect;
        const bool ours = tool.uId == UINT_PTR(i) && tool.hwnd == band.window &&
                          !(tool.uFlags & (TTF_IDISHWND | TTF_SUBCLASS));
        rects += (i ? " " : "") + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
                 std::to_string(r.right) + "," + std::to_string(r.bottom) + (ours ? "" : "!");
        if (texts) {
            *texts += std::string(text) + "|";
        }
    }
    return rects;
}

// Stand-ins that record what the band window passes to the system and the tooltip control.
void* realKillTimer;
std::vector<std::pair<HWND, UINT_PTR>> killedTimers;
BOOL WINAPI RecordingKillTimer(HWND window, UINT_PTR id) {
    killedTimers.push_back({window, id});
    return reinterpret_cast<decltype(&KillTimer)>(realKillTimer)(window, id);
}
void* realGlobalMemoryStatus;
int memoryStatusReads;
void WINAPI CountingGlobalMemoryStatus(MEMORYSTATUS* status) {
    ++memoryStatusReads;
    reinterpret_cast<decltype(&GlobalMemoryStatus)>(realGlobalMemoryStatus)(status);
}
WNDPROC tooltipProc;
std::vector<MSG> relayed;
LRESULT CALLBACK RecordingTooltipProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == TTM_RELAYEVENT) {
        relayed.push_back(*reinterpret_cast<const MSG*>(lParam));
    }
    return CallWindowProcA(tooltipProc, window, message, wParam, lParam);
}

// One band window from its creation to its closing, and made again, each behaviour checked in
// turn on the same window: four memory meters and a resource meter in a 300 x 24 host.
TEST(BandWindow, ClassCreationToolsTimerFocusAndClose) {
    CreateStartStat(); // without it (as under plain Wine) no label is built at all
    HostedBand host(300, 24);
    for (int i = 0; i < 4; ++i) {
        host.Add(Memory, "Memory\\Load", i, 0);
    }
    Meter* last = host.Add(Resource, "Resource\\GDI", 1, 0);
    MeterBand& band = host.band;
    {
        SCOPED_TRACE("class, creation, labels, timer and tooltips");
        band.parentWindow = nullptr;
        EXPECT_FALSE(CreateBandWindow(&band) || band.window) << "no parent, no window";
        band.parentWindow = host.parent;
        ASSERT_TRUE(host.Create());
        const HWND window = band.window, tooltip = band.tooltipWindow;
        WNDCLASSA c;
        ASSERT_TRUE(GetClassInfoA(moduleInstance, "VeltrimClass", &c));
        EXPECT_TRUE(c.style == 0x4003 && c.lpfnWndProc == &BandWindowProc && !c.cbClsExtra &&
                    !c.cbWndExtra && !c.hIcon && !c.lpszMenuName &&
                    c.hCursor == LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)) &&
                    c.hbrBackground == reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
        // A child of the site's window (covering its client area: the tools' cells below), no
        // title, user data the band; a tooltip control owned by the top-level ancestor.
        EXPECT_TRUE(GetParent(window) == host.parent && !GetWindowTextLengthA(window) &&
                    (GetWindowLongPtrA(window, GWL_STYLE) &
                     (WS_CHILD | WS_CLIPSIBLINGS | WS_CAPTION)) == (WS_CHILD | WS_CLIPSIBLINGS) &&
                    GetWindowLongPtrA(window, GWLP_USERDATA) == LONG_PTR(&band));
        EXPECT_TRUE(band.timerId == 1 &&
                    (GetWindowLongPtrA(tooltip, GWL_EXSTYLE) & WS_EX_TOPMOST) &&
                    (GetWindowLongPtrA(tooltip, GWL_STYLE) & TTS_ALWAYSTIP) &&
                    GetWindow(tooltip, GW_OWNER) == GetAncestor(window, GA_ROOT));
        std::string texts;
        Tools(band, &texts);
        EXPECT_EQ(texts,
                  "使用中メモリ (%)|空き物理メモリー|空きページファイル|空き仮想メモリー|GDI|");
        // A window of the class made without a band is an empty window that paints nothing.
        HWND bare = CreateWindowExA(0, "VeltrimClass", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 50, 20,
                                    host.parent, nullptr, moduleInstance, nullptr);
        EXPECT_TRUE(bare && !GetWindowLongPtrA(bare, GWLP_USERDATA));
        EXPECT_EQ(SendMessageA(bare, WM_TIMER, 1, 0), 0) << "default processing";
        UpdateWindow(bare);
        DestroyWindow(bare);
    }
    {
        SCOPED_TRACE("ticks: the grid, the tools' cells, one memory reading per tick");
        realGlobalMemoryStatus = HookImport("kernel32.dll", "GlobalMemoryStatus",
                                            reinterpret_cast<void*>(&CountingGlobalMemoryStatus));
        ASSERT_NE(realGlobalMemoryStatus, nullptr);
        host.Tick();
        host.Tick();
        HookImport("kernel32.dll", "GlobalMemoryStatus", realGlobalMemoryStatus);
        EXPECT_EQ(memoryStatusReads, 2);
        for (const Meter* m = band.meters->next; m != last; m = m->next) {
            EXPECT_GT(m->scale, 0u) << "every figure came from the shared reading";
        }
        EXPECT_EQ(Grid(band), "5 visible in 3 x 2, font 4");
        EXPECT_EQ(Tools(band), "0,0,98,12 100,0,199,12 201,0,300,12 0,12,98,24 100,12,199,24");
        // Timer 1 every 100 ms: about ten ticks in a second.
        int timers = 0;
        for (const DWORD start = GetTickCount(); GetTickCount() - start < 1000;) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                timers += msg.message == WM_TIMER && msg.hwnd == band.window && msg.wParam == 1;
                DispatchMessageA(&msg);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
        EXPECT_TRUE(timers >= 5 && timers <= 12) << timers;
    }
    {
        SCOPED_TRACE("hidden meters keep an empty tool at the next cell's top left");
        const char oneHidden[] = "0,0,99,15 101,0,101,0 101,0,200,15 0,15,99,30 101,15,200,30";
        const char twoHidden[] = "0,0,99,15 101,0,101,0 101,0,200,15 0,15,99,30 101,15,101,15";
        band.meters->next->visible = 0;
        SetWindowPos(band.window, nullptr, 0, 0, 200, 30, SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_TRUE(band.layoutDirty) << "redone at the next tick";
        host.Tick();
        EXPECT_FALSE(band.layoutDirty);
        EXPECT_EQ(Grid(band), "4 visible in 2 x 2, font 6");
        EXPECT_EQ(Tools(band), oneHidden);
        last->visible = 0;
        band.layoutDirty = TRUE;
        host.Tick();
        EXPECT_EQ(Tools(band), twoHidden);
        // A clean layout sends nothing: a tool moved by hand stays where it is.
        TOOLINFOA moved;
        ZeroMemory(&moved, sizeof(moved));
        moved.cbSize = offsetof(TOOLINFOA, lParam) + sizeof(LPARAM);
        moved.hwnd = band.window;
        moved.rect = {0, 0, 7, 15};
        SendMessageA(band.tooltipWindow, TTM_NEWTOOLRECTA, 0, LPARAM(&moved));
        host.Tick();
        EXPECT_EQ(Tools(band).substr(0, 9), "0,0,7,15 ");
        SyncTooltips(&band, TTM_DELTOOLA);
        EXPECT_EQ(Tools(band), "") << "deleting takes every tool away";
        SyncTooltips(&band, TTM_ADDTOOLA);
        EXPECT_EQ(Tools(band), twoHidden);
    }
    {
        SCOPED_TRACE("mouse moves relayed to the tooltip, commands ignored, any timer ticks");
        tooltipProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
            band.tooltipWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingTooltipProc)));
        SendMessageA(band.window, WM_MOUSEMOVE, MK_SHIFT, MAKELPARAM(12, 7));
        ASSERT_EQ(relayed.size(), 1u);
        const MSG& m = relayed[0];
        EXPECT_TRUE(m.hwnd == band.window && m.message == WM_MOUSEMOVE && m.wParam == MK_SHIFT &&
                    m.lParam == MAKELPARAM(12, 7));
        EXPECT_EQ(SendMessageA(band.window, WM_COMMAND, 1, 0), 0);
        EXPECT_EQ(SendMessageA(band.window, WM_TIMER, 7, 0), 1);
    }
    {
        SCOPED_TRACE("focus changes reach the flag and the site");
        SetForegroundWindow(host.parent);
        SetFocus(band.window);
        EXPECT_TRUE(GetFocus() == band.window && band.hasFocus) << "no site yet: the flag alone";
        SetFocus(host.parent);
        EXPECT_FALSE(band.hasFocus);
        TestSite site;
        band.site = &site;
        SetFocus(band.window);
        SetFocus(host.parent);
        EXPECT_EQ(SendMessageA(band.window, WM_SETFOCUS, 0, 0), 0);
        EXPECT_TRUE(band.hasFocus);
        EXPECT_EQ(SendMessageA(band.window, WM_KILLFOCUS, 0, 0) + band.hasFocus, 0);
        band.site = nullptr;
        EXPECT_EQ(site.focusChanges, (std::vector<BOOL>{TRUE, FALSE, TRUE, FALSE}));
        EXPECT_EQ(site.focusFrom, reinterpret_cast<IUnknown*>(&band)) << "the primary interface";
    }
    // Closing the band (WM_CLOSE) or destroying its window alone stops the timer, takes the
    // tooltip (owned by the top-level window) and detaches the band, which can have a new window.
    for (const bool close : {true, false}) {
        SCOPED_TRACE(close ? "WM_CLOSE" : "DestroyWindow");
        const HWND window = band.window;
        const HWND tooltip = band.tooltipWindow;
        ASSERT_TRUE(IsWindow(tooltip));
        killedTimers.clear();
        realKillTimer =
            HookImport("user32.dll", "KillTimer", reinterpret_cast<void*>(&RecordingKillTimer));
        ASSERT_NE(realKillTimer, nullptr);
        close ? SendMessageA(window, WM_CLOSE, 0, 0) : DestroyWindow(window);
        HookImport("user32.dll", "KillTimer", realKillTimer);
        if (close) {
            EXPECT_EQ(killedTimers, (std::vector<std::pair<HWND, UINT_PTR>>{{window, 1}}));
        }
        EXPECT_TRUE(!band.timerId && !band.tooltipWindow && !IsWindow(tooltip));
        EXPECT_FALSE(IsWindow(window)) << "default processing destroyed the window";
        EXPECT_EQ(band.window, nullptr) << "no stale handle for later repaint requests";
        RequestRepaint(&band, true);
        EXPECT_TRUE(CreateBandWindow(&band) && band.window && band.timerId == 1);
        EXPECT_FALSE(IsWindowVisible(band.window)) << "created hidden; the shell shows it";
    }
    EXPECT_TRUE(registrationsCounted && bandClassRegistrations == 1) << "by the first window only";
}

TEST(BandWindow, PaintDrawsEveryVisibleCellTextLineAndBar) {
    CreateStartStat();
    HostedBand host(400, 40);
    Meter* a = host.Add(Memory, "Memory\\Load", 0, 0);
    Meter* hidden = host.Add(Memory, "Memory\\AvailPhys", 1, 0);
    Meter* b = host.Add(Memory, "Memory\\AvailVirtual", 3, 0);
    ASSERT_TRUE(host.Create());
    host.Tick();
    a->value = 50, a->scale = 100, a->peak = 0, a->blink = 0;
    b->value = 100, b->scale = 100, b->peak = 0;
    hidden->visible = 0;
    host.Paint();
    EXPECT_EQ(Grid(host.band), "2 visible in 2 x 1, font 16");
    Dib shot(400, 40);
    shot.Capture(host.band.window);
    // Cells (0,0)-(199,40) and (201,0)-(400,40), a text line of 16 pixels, bars from y 16; the
    // gap between the cells is button face.
    const uint32_t face = RgbOf(GetSysColor(COLOR_BTNFACE));
    EXPECT_TRUE(shot.At(199, 30) == face && shot.At(200, 30) == face);
    EXPECT_EQ(RgbText(shot.At(2, 16 + 2)), "16,255,16") << "the first visible meter's bar";
    EXPECT_NE(shot.At(2, 16 + 1), shot.At(2, 16 + 2)) << "the bar box starts at y 16";
    EXPECT_EQ(RgbText(shot.At(201 + 2, 20)), "16,255,16") << "the third meter, second cell";
    // 199 wide: u = 65; half lit: segment 31 lit, 32 not; full: all 65.
    EXPECT_TRUE(shot.At(2 + 3 * 31, 20) != 0 && shot.At(2 + 3 * 32, 20) == 0);
    EXPECT_EQ(RgbText(shot.At(201 + 2 + 3 * 64, 20)), "255,120,0");
    // Text lines: dark label pixels at the top left of each cell.
    auto darkPixels = [&](int left, int right) {
        int dark = 0, w = right - left;
        for (int i = 0; i < 16 * w; ++i) {
            dark += shot.At(left + i % w, i / w) == RgbOf(GetSysColor(COLOR_WINDOWTEXT));
        }
        return dark;
    };
    EXPECT_TRUE(darkPixels(0, 60) > 20 && darkPixels(201, 261) > 20);
    // The scale "100" at the top right, hidden while the blink count mod 10 is 5 or more.
    const int shown = darkPixels(160, 199);
    EXPECT_GT(shown, 10);
    for (uint32_t blink : {49u, 45u, 44u, 40u, 39u, 15u, 9u, 5u, 4u, 1u}) {
        a->blink = blink;
        host.Paint();
        shot.Capture(host.band.window);
        EXPECT_EQ(darkPixels(160, 199), blink % 10 >= 5 ? 0 : shown) << "blink " << blink;
    }
}

TEST(BandWindow, TicksRepaintOnlyMovedCellsAndNoGdiObjectLeaksOver10000Paints) {
    InstallGdiCounter();
    // One meter of each kind: text lines, value texts, lit segments, trails and peaks. (Under
    // Wine a paint costs about a millisecond per bar, nearly all of it in selecting the bar's
    // off-screen bitmap, so the band is kept to four bars.)
    HostedBand host(600, 40);
    host.Add(Memory, "Memory\\AvailPhys", 1, 0);
    host.Add(Resource, "Resource\\SYSTEM", 0, 0);
    host.Add(Drive, "Drive\\C:\\", 0, 0);
    host.Add(PerfStat, "VTBand\\Busy", -1, 0);
    CreateStartStat();
    SetStatTotal("VTBand\\Busy", 40);
    SetStatDescription("VTBand\\Busy", "Busy", nullptr); // labelled: no tick rebuilds every label
    const long beforeWindow = LiveGdiObjects();
    ASSERT_TRUE(host.Create());
    MeterBand& band = host.band;
    for (int i = 0; i < 60; ++i) { // the scales' blinking is over
        host.Tick();
    }
    UpdateWindow(band.window);
    {
        // Ticks repaint the cells of the meters that moved (the statistic rising, falling under
        // its held peak, rescaling) and not the still resource meter's, and what they leave on
        // the screen is what a full repaint draws.
        Dib ticked(600, 40), full(600, 40);
        HRGN dirty = CreateRectRgn(0, 0, 0, 0);
        uint32_t seed = 7;
        for (int step = 0; step < 40; ++step) {
            seed = seed * 1103515245u + 12345u;
            SetStatTotal("VTBand\\Busy", (seed >> 8) % (step < 20 ? 600 : 2000));
            host.Tick();
            ASSERT_NE(GetUpdateRgn(band.window, dirty, FALSE), ERROR);
            const CellRect cell = GridCell(1, band.columns, band.rows, 600, 40);
            RECT still = {cell.left, cell.top, cell.right, cell.bottom};
            EXPECT_FALSE(RectInRegion(dirty, &still)) << "the resource meter, step " << step;
            UpdateWindow(band.window);
            ticked.Capture(band.window);
            RequestRepaint(&band, true);
            UpdateWindow(band.window);
            full.Capture(band.window);
            ASSERT_EQ(memcmp(ticked.bits, full.bits, 600 * 40 * 4), 0) << "step " << step;
        }
        DeleteObject(dirty);
    }
    host.Tick();
    for (Meter* m = band.meters; m; m = m->next) {
        m->value = 3, m->scale = 8, m->peak = 6;
    }
    host.Paint();
    ASSERT_NE(band.font, nullptr) << "value texts and text lines are drawn too";
    const long live = LiveGdiObjects();
    const long created = GdiObjectsCreated();
    // Every paint composes every cell again; now and then the system colours change, which
    // remakes the bar pictures: the band keeps its picture and strips, and nothing more.
    for (int i = 0; i < 10000; ++i) {
        for (Meter* m = band.meters; m; m = m->next) {
            m->value = uint32_t(i % 9);
        }
        if (i % 1000 == 999) {
            SendMessageA(band.window, WM_SYSCOLORCHANGE, 0, 0);
        }
        host.Paint();
    }
    EXPECT_GE(GdiObjectsCreated() - created, 10L * 3 * 40) << "the strips were remade";
    EXPECT_EQ(LiveGdiObjects(), live);
    // Size changes replace the font: only the current one stays, the one object the window
    // leaves behind (so fonts are counted too).
    for (int height : {30, 60, 20, 8, 100, 40}) {
        SetWindowPos(band.window, nullptr, 0, 0, 600, height, SWP_NOZORDER | SWP_NOACTIVATE);
        host.Paint();
    }
    EXPECT_EQ(LiveGdiObjects(), live) << "the band's current font, nothing else";
    DestroyWindow(band.window);
    EXPECT_EQ(LiveGdiObjects(), beforeWindow + 1) << "the window took its picture along";
    EXPECT_NE(band.font, nullptr);
}

// Statistics as Windows 98 publishes them (first high, then lower), resources, memory and drives,
// sixty ticks (the scales grow and stop blinking) and sixteen more (peaks hold and sink).
void Screenshot(int width, int height, const char* name) {
    const struct {
        const char* key;
        const char* name;
        DWORD high, low;
    } statistics[] = {{"KERNEL\\CPUUsage", "プロセッサの使用率", 90, 35},
                      {"KERNEL\\Threads", "スレッド", 48, 30},
                      {"VMM\\cPageFaults", "ページ フォールト", 5000, 1200}};
    CreateStartStat();
    HostedBand host(width, height);
    for (const auto& statistic : statistics) {
        SetStatDescription(statistic.key, statistic.name, nullptr);
        host.Add(PerfStat, statistic.key, -1, 0);
    }
    for (int i = 0; i < 3; ++i) {
        host.Add(Resource, "Resource\\SYSTEM", i, 1000);
    }
    for (int i = 0; i < 4; ++i) {
        host.Add(Memory, "Memory\\Load", i, 1000);
    }
    host.Add(Drive, "Drive\\C:\\", 0, 1000);
    host.Add(Drive, "Drive\\Z:\\", 1, 1000);
    ASSERT_TRUE(host.Create());
    for (int i = 0; i < 76; ++i) {
        if (i == 0 || i == 60) {
            for (const auto& statistic : statistics) {
                SetStatTotal(statistic.key, i < 60 ? statistic.high : statistic.low);
            }
        }
        host.Tick();
    }
    UpdateWindow(host.band.window);
    Dib shot(width, height);
    shot.Capture(host.band.window);
    const std::string path = ProgramFolder() + VT_SCREENSHOT_FOLDER + "\\" + name;
    CreateDirectoryA((ProgramFolder() + VT_SCREENSHOT_FOLDER).c_str(), nullptr);
    ASSERT_TRUE(WritePng(path.c_str(), width, height, shot.bits)) << path;
    printf("screenshot: %s (%d x %d)\n", path.c_str(), width, height);
    // The picture holds something of every kind: no cell is blank button face.
    const uint32_t face = RgbOf(GetSysColor(COLOR_BTNFACE));
    EXPECT_LT(std::count_if(shot.bits, shot.bits + width * height,
                            [&](uint32_t p) { return (p & 0xFFFFFF) == face; }),
              width * height * 3 / 4);
}

TEST(BandWindow, ScreenshotOfEveryKind) {
    Screenshot(640, 96, "band.png");
    Screenshot(900, 30, "band-strip.png");
}

} // namespace
