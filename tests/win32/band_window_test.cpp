// A real band window under a parent window, under Wine: its class, creation, timer, painting,
// tooltips, focus, closing, GDI objects over many paints, and a screenshot for a person.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <stddef.h>
#include <string.h>

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
    if (windowClass->lpszClassName && HIWORD(windowClass->lpszClassName) &&
        strcmp(windowClass->lpszClassName, "VeltrimClass") == 0) {
        ++bandClassRegistrations;
    }
    return reinterpret_cast<decltype(&RegisterClassA)>(realRegisterClassA)(windowClass);
}
const bool registrationsCounted =
    (realRegisterClassA = HookImport("user32.dll", "RegisterClassA",
                                     reinterpret_cast<void*>(&CountingRegisterClassA))) != nullptr;

const char hostClassName[] = "VtTestHost";

// The shell's side: a visible top-level window whose client area the band window covers.
struct HostedBand {
    HWND parent;
    MeterBand band;

    HostedBand(int width, int height) {
        moduleInstance = GetModuleHandleA(nullptr);
        WNDCLASSA host;
        ZeroMemory(&host, sizeof(host));
        host.lpfnWndProc = DefWindowProcA;
        host.hInstance = moduleInstance;
        host.lpszClassName = hostClassName;
        RegisterClassA(&host);
        InitMeterBandFields(&band);
        parent = CreateWindowExA(0, hostClassName, "", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                                 nullptr, nullptr, moduleInstance, nullptr);
        band.parentWindow = parent;
    }
    ~HostedBand() {
        DestroyWindow(parent);
        ReleaseMeters(band.meters);
        if (band.font) {
            DeleteObject(band.font);
        }
    }
    Meter* Add(MeterKind kind, const char* key, int index, DWORD interval) {
        return AppendMeter(&band.meters, kind, key, index, interval);
    }
    // Creates the band window and shows it, as the shell does after SetSite.
    bool Create() {
        if (!CreateBandWindow(&band)) {
            return false;
        }
        ShowWindow(band.window, SW_SHOWNA);
        return true;
    }
    void Tick() {
        SendMessageA(band.window, WM_TIMER, 1, 0);
    }
    void Paint() {
        InvalidateRect(band.window, nullptr, FALSE);
        UpdateWindow(band.window);
    }
    RECT Client() const {
        RECT client;
        GetClientRect(band.window, &client);
        return client;
    }
};

int MeterCount(const MeterBand& band) {
    int count = 0;
    for (const Meter* m = band.meters; m; m = m->next) {
        ++count;
    }
    return count;
}

// Dispatches this thread's messages for ms milliseconds; counts the band's timer messages.
int PumpFor(DWORD ms, HWND window) {
    int timers = 0;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_TIMER && msg.hwnd == window && msg.wParam == 1) {
                ++timers;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return timers;
}

// The client area of a window as it is on the screen.
void Capture(HWND window, Dib& dib) {
    HDC dc = GetDC(window);
    BitBlt(dib.dc, 0, 0, dib.width, dib.height, dc, 0, 0, SRCCOPY);
    ReleaseDC(window, dc);
    GdiFlush();
}

std::vector<TOOLINFOA> Tools(HWND tooltip, std::vector<std::string>* texts = nullptr) {
    std::vector<TOOLINFOA> tools;
    const int count = static_cast<int>(SendMessageA(tooltip, TTM_GETTOOLCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[100] = "";
        TOOLINFOA tool;
        ZeroMemory(&tool, sizeof(tool));
        tool.cbSize = offsetof(TOOLINFOA, lParam) + sizeof(LPARAM);
        tool.lpszText = text;
        EXPECT_TRUE(SendMessageA(tooltip, TTM_ENUMTOOLSA, i, reinterpret_cast<LPARAM>(&tool)));
        tools.push_back(tool);
        if (texts) {
            texts->push_back(tool.lpszText && tool.lpszText != LPSTR_TEXTCALLBACKA ? tool.lpszText
                                                                                   : "");
        }
    }
    return tools;
}

std::string RectText(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

TEST(BandWindow, ClassRegisteredOnceWithItsProperties) {
    ASSERT_TRUE(registrationsCounted);
    HostedBand first(200, 30);
    HostedBand noParent(200, 30);
    noParent.band.parentWindow = nullptr;
    EXPECT_FALSE(CreateBandWindow(&noParent.band)) << "no site window, no band window";
    EXPECT_EQ(noParent.band.window, nullptr);

    ASSERT_TRUE(first.Create());
    HostedBand second(300, 24);
    ASSERT_TRUE(second.Create());
    EXPECT_NE(first.band.window, second.band.window);
    EXPECT_EQ(bandClassRegistrations, 1) << "registered by the first window only";
    const HWND window = first.band.window;
    EXPECT_TRUE(CreateBandWindow(&first.band)) << "a band with a window keeps it";
    EXPECT_EQ(first.band.window, window);
    EXPECT_EQ(bandClassRegistrations, 1);

    WNDCLASSA windowClass;
    ASSERT_TRUE(GetClassInfoA(moduleInstance, "VeltrimClass", &windowClass));
    EXPECT_EQ(windowClass.style, 0x4003u);
    EXPECT_EQ(windowClass.lpfnWndProc, &BandWindowProc);
    EXPECT_EQ(windowClass.cbClsExtra | windowClass.cbWndExtra, 0);
    EXPECT_TRUE(!windowClass.hIcon && !windowClass.lpszMenuName);
    EXPECT_EQ(windowClass.hCursor, LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
    EXPECT_EQ(windowClass.hbrBackground, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));

    // The window: a child of the site's window covering its client area, no title, user data
    // the band.
    EXPECT_EQ(GetParent(window), first.parent);
    EXPECT_EQ(GetWindowLongPtrA(window, GWL_STYLE) & (WS_CHILD | WS_CLIPSIBLINGS | WS_CAPTION),
              WS_CHILD | WS_CLIPSIBLINGS);
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&first.band));
    EXPECT_EQ(GetWindowTextLengthA(window), 0);
    EXPECT_EQ(RectText(first.Client()), "0,0,200,30");
    HostedBand hidden(100, 20);
    ASSERT_TRUE(CreateBandWindow(&hidden.band));
    EXPECT_FALSE(IsWindowVisible(hidden.band.window)) << "created hidden; the shell shows it";

    // A window of the class made without a band is an empty window that paints nothing.
    HWND bare = CreateWindowExA(0, "VeltrimClass", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 50, 20,
                                first.parent, nullptr, moduleInstance, nullptr);
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(GetWindowLongPtrA(bare, GWLP_USERDATA), 0);
    EXPECT_EQ(SendMessageA(bare, WM_TIMER, 1, 0), 0) << "default processing";
    UpdateWindow(bare);
    DestroyWindow(bare);
}

TEST(BandWindow, CreationTiesTheBandBuildsLabelsStartsTheTimerAndAddsTools) {
    CreateStartStat(); // without it (as under plain Wine) no label is built at all
    HostedBand host(400, 40);
    Meter* load = host.Add(Memory, "Memory\\Load", 0, 1000);
    host.Add(Memory, "Memory\\AvailPhys", 1, 1000);
    host.Add(Drive, "Drive\\C:\\", 0, 1000);
    ASSERT_TRUE(host.Create());
    MeterBand& band = host.band;
    ASSERT_STREQ(load->label, "使用中メモリ (%)") << "labels built while the window was made";
    ASSERT_NE(load->next->next->label, nullptr);
    EXPECT_EQ(band.timerId, 1u);
    ASSERT_NE(band.tooltipWindow, nullptr);
    char className[64];
    GetClassNameA(band.tooltipWindow, className, sizeof(className));
    EXPECT_STREQ(className, "tooltips_class32");
    EXPECT_TRUE(GetWindowLongPtrA(band.tooltipWindow, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(GetWindowLongPtrA(band.tooltipWindow, GWL_STYLE) & TTS_ALWAYSTIP);
    // A tooltip is a top-level window: its owner is the band window's top-level ancestor.
    EXPECT_EQ(GetWindow(band.tooltipWindow, GW_OWNER), GetAncestor(band.window, GA_ROOT));

    std::vector<std::string> texts;
    const std::vector<TOOLINFOA> tools = Tools(band.tooltipWindow, &texts);
    ASSERT_EQ(tools.size(), 3u) << "one tool per meter";
    for (size_t i = 0; i < tools.size(); ++i) {
        EXPECT_EQ(tools[i].uId, i);
        EXPECT_EQ(tools[i].hwnd, band.window);
        EXPECT_EQ(tools[i].uFlags & (TTF_IDISHWND | TTF_SUBCLASS), 0u);
    }
    EXPECT_EQ(texts[0], "使用中メモリ (%)");
    EXPECT_EQ(texts[1], "空き物理メモリー");
    EXPECT_EQ(texts[2], load->next->next->label);

    // Timer 1 every 100 ms: about ten ticks in a second.
    const int timers = PumpFor(1000, band.window);
    EXPECT_GE(timers, 5);
    EXPECT_LE(timers, 12);
    EXPECT_EQ(load->scale, 100u) << "the ticks sampled the meters";
}

TEST(BandWindow, TimerTicksRunUpdateMetersAndRepaint) {
    CreateStartStat();
    SetStatDescription("VTBand\\Busy", "ビジー", nullptr);
    SetStatTotal("VTBand\\Busy", 730);
    HostedBand host(240, 40);
    Meter* stat = host.Add(PerfStat, "VTBand\\Busy", -1, 0);
    ASSERT_TRUE(host.Create());
    UpdateWindow(host.band.window);
    ValidateRect(host.band.window, nullptr);
    Dib before(240, 40);
    Capture(host.band.window, before);

    // The first real timer message: it samples and asks for a repaint.
    MSG msg;
    bool ticked = false;
    const DWORD start = GetTickCount();
    while (!ticked && GetTickCount() - start < 3000) {
        if (PeekMessageA(&msg, host.band.window, WM_TIMER, WM_TIMER, PM_REMOVE)) {
            DispatchMessageA(&msg);
            ticked = true;
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_TIMER);
        }
    }
    ASSERT_TRUE(ticked);
    EXPECT_EQ(stat->value, 730u);
    EXPECT_EQ(stat->scale, 730u);
    EXPECT_EQ(stat->blink, 49u) << "set to 50 by the growing scale, counted down in the same tick";
    RECT dirty;
    EXPECT_TRUE(GetUpdateRect(host.band.window, &dirty, FALSE));
    EXPECT_EQ(RectText(dirty), "0,0,240,40") << "the whole window";

    UpdateWindow(host.band.window);
    EXPECT_FALSE(GetUpdateRect(host.band.window, &dirty, FALSE)) << "painted";
    Dib after(240, 40);
    Capture(host.band.window, after);
    // One cell of 240 x 40: a text line of 16 pixels, then the bar, all 79 segments lit.
    EXPECT_EQ(RgbText(after.At(2 + 3 * 78, 16 + 5)), "255,120,0") << "last of 79, position 78";
    EXPECT_NE(after.At(2, 16 + 5), before.At(2, 16 + 5));
}

TEST(BandWindow, PaintDrawsEveryVisibleCellTextLineAndBar) {
    CreateStartStat();
    HostedBand host(400, 40);
    Meter* a = host.Add(Memory, "Memory\\Load", 0, 0);
    Meter* hidden = host.Add(Memory, "Memory\\AvailPhys", 1, 0);
    Meter* b = host.Add(Memory, "Memory\\AvailVirtual", 3, 0);
    ASSERT_TRUE(host.Create());
    host.Tick();
    a->value = 50;
    a->scale = 100;
    a->peak = 0;
    a->blink = 0;
    b->value = 100;
    b->scale = 100;
    b->peak = 0;
    hidden->visible = 0;
    host.Paint();
    EXPECT_EQ(host.band.visibleCount, 2);
    EXPECT_EQ(host.band.columns, 2);
    EXPECT_EQ(host.band.rows, 1);
    Dib shot(400, 40);
    Capture(host.band.window, shot);
    // Cells (0,0)-(199,40) and (201,0)-(400,40), a text line of 16 pixels, bars from y 16; the
    // gap between the cells is button face.
    const uint32_t face = RgbOf(GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(shot.At(199, 30), face);
    EXPECT_EQ(shot.At(200, 30), face);
    EXPECT_EQ(RgbText(shot.At(2, 16 + 2)), "16,255,16") << "the first visible meter's bar";
    EXPECT_NE(shot.At(2, 16 + 1), shot.At(2, 16 + 2)) << "the bar box starts at y 16";
    EXPECT_EQ(RgbText(shot.At(201 + 2, 20)), "16,255,16") << "the third meter, second cell";
    // 199 wide: u = 65; half lit: segment 31 lit, 32 not.
    EXPECT_NE(shot.At(2 + 3 * 31, 20), 0u);
    EXPECT_EQ(shot.At(2 + 3 * 32, 20), 0u);
    EXPECT_EQ(shot.At(201 + 2 + 3 * 64, 20), RgbOf(RGB(255, 120, 0))) << "full: all 65";
    // Text lines: dark label pixels at the top left of each cell.
    auto darkPixels = [&](int left, int right) {
        int dark = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = left; x < right; ++x) {
                dark += shot.At(x, y) == RgbOf(GetSysColor(COLOR_WINDOWTEXT));
            }
        }
        return dark;
    };
    EXPECT_GT(darkPixels(0, 60), 20);
    EXPECT_GT(darkPixels(201, 261), 20);
    // The scale "100" at the top right, hidden while the blink count mod 10 is 5 or more.
    const int shown = darkPixels(160, 199);
    EXPECT_GT(shown, 10);
    for (uint32_t blink : {49u, 45u, 44u, 40u, 39u, 15u, 9u, 5u, 4u, 1u}) {
        a->blink = blink;
        host.Paint();
        Capture(host.band.window, shot);
        EXPECT_EQ(darkPixels(160, 199), blink % 10 >= 5 ? 0 : shown) << "blink " << blink;
    }
}

TEST(BandWindow, ToolRectanglesAreTheCellsAndHiddenMetersKeepAnEmptyOne) {
    HostedBand host(300, 24);
    for (int i = 0; i < 4; ++i) {
        host.Add(Memory, "Memory\\Load", i, 1000);
    }
    Meter* last = host.Add(Resource, "Resource\\GDI", 1, 1000);
    ASSERT_TRUE(host.Create());
    MeterBand& band = host.band;
    host.Tick();
    EXPECT_EQ(band.columns, 3);
    EXPECT_EQ(band.rows, 2);
    EXPECT_EQ(band.fontHeight, 4);

    auto expectCells = [&](const char* when) {
        SCOPED_TRACE(when);
        const RECT client = host.Client();
        const std::vector<TOOLINFOA> tools = Tools(band.tooltipWindow);
        ASSERT_EQ(static_cast<int>(tools.size()), MeterCount(band));
        int v = 0, p = 0;
        for (const Meter* m = band.meters; m; m = m->next, ++p) {
            const CellRect cell = GridCell(v, band.columns, band.rows, client.right, client.bottom);
            RECT want = {cell.left, cell.top, cell.right, cell.bottom};
            if (m->visible) {
                ++v;
            } else {
                want.right = want.left;
                want.bottom = want.top;
            }
            EXPECT_EQ(tools[p].uId, static_cast<UINT_PTR>(p));
            EXPECT_EQ(RectText(tools[p].rect), RectText(want)) << "meter " << p;
        }
    };
    expectCells("after the first tick");
    const std::vector<TOOLINFOA> tools = Tools(band.tooltipWindow);
    EXPECT_EQ(RectText(tools[0].rect), "0,0,98,12");
    EXPECT_EQ(RectText(tools[4].rect), "100,12,199,24");

    // A second meter hides: the layout is redone at the next size change and tick.
    band.meters->next->visible = 0;
    SetWindowPos(band.window, nullptr, 0, 0, 200, 30, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(band.layoutDirty);
    host.Tick();
    EXPECT_FALSE(band.layoutDirty);
    EXPECT_EQ(band.visibleCount, 4);
    expectCells("one hidden, 200 x 30");
    EXPECT_EQ(RectText(Tools(band.tooltipWindow)[1].rect), "101,0,101,0")
        << "the empty rectangle at the top-left of the next visible meter's cell";
    last->visible = 0;
    band.layoutDirty = TRUE;
    host.Tick();
    expectCells("two hidden");

    // A clean layout sends nothing: a tool moved by hand stays where it is.
    TOOLINFOA moved = Tools(band.tooltipWindow)[0];
    moved.rect.right = 7;
    SendMessageA(band.tooltipWindow, TTM_SETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&moved));
    host.Tick();
    EXPECT_EQ(Tools(band.tooltipWindow)[0].rect.right, 7);
    // Deleting takes every tool away.
    SyncTooltips(&band, TTM_DELTOOLA);
    EXPECT_EQ(SendMessageA(band.tooltipWindow, TTM_GETTOOLCOUNT, 0, 0), 0);
    SyncTooltips(&band, TTM_ADDTOOLA);
    expectCells("added again");
}

// What the tooltip control receives, recorded by subclassing it.
WNDPROC tooltipProc;
std::vector<MSG> relayed;
LRESULT CALLBACK RecordingTooltipProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == TTM_RELAYEVENT) {
        relayed.push_back(*reinterpret_cast<const MSG*>(lParam));
    }
    return CallWindowProcA(tooltipProc, window, message, wParam, lParam);
}

TEST(BandWindow, MouseMovesAreRelayedToTheTooltipAndCommandsIgnored) {
    HostedBand host(200, 30);
    host.Add(Memory, "Memory\\Load", 0, 1000);
    ASSERT_TRUE(host.Create());
    tooltipProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        host.band.tooltipWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingTooltipProc)));
    relayed.clear();
    SendMessageA(host.band.window, WM_MOUSEMOVE, MK_SHIFT, MAKELPARAM(12, 7));
    ASSERT_EQ(relayed.size(), 1u);
    EXPECT_EQ(relayed[0].hwnd, host.band.window);
    EXPECT_EQ(relayed[0].message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(relayed[0].wParam, static_cast<WPARAM>(MK_SHIFT));
    EXPECT_EQ(relayed[0].lParam, MAKELPARAM(12, 7));
    EXPECT_EQ(SendMessageA(host.band.window, WM_COMMAND, 1, 0), 0);
    EXPECT_EQ(SendMessageA(host.band.window, WM_TIMER, 7, 0), 1) << "any timer runs a tick";
}

// A site that records OnFocusChangeIS.
struct RecordingSite : IInputObjectSite {
    std::vector<std::pair<IUnknown*, BOOL>> calls;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return 2;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        return 1;
    }
    HRESULT STDMETHODCALLTYPE OnFocusChangeIS(IUnknown* object, BOOL focus) override {
        calls.push_back({object, focus});
        return S_OK;
    }
};

TEST(BandWindow, FocusChangesReachNotifyFocusAndTheSite) {
    HostedBand host(200, 30);
    ASSERT_TRUE(host.Create());
    MeterBand& band = host.band;
    SetForegroundWindow(host.parent);
    SetFocus(band.window);
    EXPECT_EQ(GetFocus(), band.window);
    EXPECT_TRUE(band.hasFocus) << "no site yet: the flag alone";
    SetFocus(host.parent);
    EXPECT_FALSE(band.hasFocus);

    RecordingSite site;
    band.site = &site;
    SetFocus(band.window);
    SetFocus(host.parent);
    band.site = nullptr;
    ASSERT_EQ(site.calls.size(), 2u);
    EXPECT_EQ(site.calls[0].first, reinterpret_cast<IUnknown*>(&band)) << "the primary interface";
    EXPECT_EQ(site.calls[0].second, TRUE);
    EXPECT_EQ(site.calls[1].second, FALSE);
    EXPECT_EQ(SendMessageA(band.window, WM_SETFOCUS, 0, 0), 0);
    EXPECT_TRUE(band.hasFocus);
    EXPECT_EQ(SendMessageA(band.window, WM_KILLFOCUS, 0, 0), 0);
    EXPECT_FALSE(band.hasFocus);
}

std::vector<std::pair<HWND, UINT_PTR>> killedTimers;
void* realKillTimer;
BOOL WINAPI RecordingKillTimer(HWND window, UINT_PTR id) {
    killedTimers.push_back({window, id});
    return reinterpret_cast<decltype(&KillTimer)>(realKillTimer)(window, id);
}

// Closing the band (WM_CLOSE) or destroying its window alone stops the timer, takes the tooltip
// (owned by the top-level window, not by the band window) and detaches the band, which a later
// site can give a new window.
TEST(BandWindow, CloseOrDestroyStopsTheTimerTakesTheTooltipAndDetachesTheBand) {
    for (const bool close : {true, false}) {
        SCOPED_TRACE(close ? "WM_CLOSE" : "DestroyWindow");
        HostedBand host(200, 30);
        host.Add(Memory, "Memory\\Load", 0, 1000);
        ASSERT_TRUE(host.Create());
        MeterBand& band = host.band;
        const HWND window = band.window;
        const HWND tooltip = band.tooltipWindow;
        ASSERT_TRUE(IsWindow(tooltip));
        killedTimers.clear();
        realKillTimer =
            HookImport("user32.dll", "KillTimer", reinterpret_cast<void*>(&RecordingKillTimer));
        ASSERT_NE(realKillTimer, nullptr);
        if (close) {
            SendMessageA(window, WM_CLOSE, 0, 0);
        } else {
            DestroyWindow(window);
        }
        HookImport("user32.dll", "KillTimer", realKillTimer);
        if (close) {
            ASSERT_EQ(killedTimers.size(), 1u);
            EXPECT_EQ(killedTimers[0].first, window);
            EXPECT_EQ(killedTimers[0].second, 1u);
        }
        EXPECT_EQ(band.timerId, 0u);
        EXPECT_EQ(band.tooltipWindow, nullptr);
        EXPECT_FALSE(IsWindow(tooltip));
        EXPECT_FALSE(IsWindow(window)) << "default processing destroyed the window";
        EXPECT_EQ(band.window, nullptr) << "no stale handle for later repaint requests";
        RequestRepaint(&band, true);
        EXPECT_TRUE(CreateBandWindow(&band));
        EXPECT_NE(band.window, nullptr);
        EXPECT_EQ(band.timerId, 1u);
    }
}

TEST(BandWindow, NoGdiObjectLeaksOver10000Paints) {
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
    const long beforeWindow = LiveGdiObjects();
    ASSERT_TRUE(host.Create());
    MeterBand& band = host.band;
    host.Tick();
    for (Meter* m = band.meters; m; m = m->next) {
        m->value = 3;
        m->scale = 8;
        m->peak = 6;
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

    // Size changes replace the font: only the current one stays.
    const HFONT first = band.font;
    ASSERT_TRUE(IsLiveGdiObject(first)) << "made since counting began, and counted as live";
    for (int height : {30, 60, 20, 8, 100, 40}) {
        SetWindowPos(band.window, nullptr, 0, 0, 600, height, SWP_NOZORDER | SWP_NOACTIVATE);
        host.Paint();
    }
    ASSERT_NE(band.font, nullptr);
    if (band.font != first) { // a handle value may come back for the new font
        EXPECT_FALSE(IsLiveGdiObject(first));
    }
    EXPECT_TRUE(IsLiveGdiObject(band.font));
    EXPECT_EQ(LiveGdiObjects(), live) << "the band's current font, nothing else";
    DestroyWindow(band.window);
    EXPECT_EQ(LiveGdiObjects(), beforeWindow + 1) << "the window took its picture along";
}

// Ticks repaint the cells of the meters that moved and nothing else, and what they leave on the
// screen is what a full repaint draws: three statistics move every tick (rising, falling under
// their held peaks, rescaling), three stay still.
TEST(BandWindow, TicksRepaintOnlyMovedCellsAndMatchAFullRepaint) {
    CreateStartStat();
    const char* const keys[] = {"VTBand\\M0", "VTBand\\M1", "VTBand\\M2",
                                "VTBand\\S0", "VTBand\\S1", "VTBand\\S2"};
    HostedBand host(600, 40);
    for (const char* key : keys) {
        SetStatDescription(key, key + 7, nullptr);
        SetStatTotal(key, 500);
        host.Add(PerfStat, key, -1, 0);
    }
    ASSERT_TRUE(host.Create());
    MeterBand& band = host.band;
    for (int i = 0; i < 60; ++i) { // the scales' blinking is over
        host.Tick();
    }
    UpdateWindow(band.window);
    Dib ticked(600, 40);
    Dib full(600, 40);
    HRGN dirty = CreateRectRgn(0, 0, 0, 0);
    uint32_t seed = 7;
    for (int step = 0; step < 40; ++step) {
        for (int m = 0; m < 3; ++m) {
            seed = seed * 1103515245u + 12345u;
            SetStatTotal(keys[m], (seed >> 8) % (step < 20 ? 600 : 2000));
        }
        host.Tick();
        ASSERT_NE(GetUpdateRgn(band.window, dirty, FALSE), ERROR);
        for (int n = 3; n < 6; ++n) {
            const CellRect cell = GridCell(n, band.columns, band.rows, 600, 40);
            RECT r = {cell.left, cell.top, cell.right, cell.bottom};
            EXPECT_FALSE(RectInRegion(dirty, &r)) << "still meter " << n << " at step " << step;
        }
        UpdateWindow(band.window);
        Capture(band.window, ticked);
        RequestRepaint(&band, true);
        UpdateWindow(band.window);
        Capture(band.window, full);
        ASSERT_EQ(memcmp(ticked.bits, full.bits, 600 * 40 * 4), 0) << "step " << step;
    }
    DeleteObject(dirty);
}

void* realGlobalMemoryStatus;
int memoryStatusReads;
void WINAPI CountingGlobalMemoryStatus(MEMORYSTATUS* status) {
    ++memoryStatusReads;
    reinterpret_cast<decltype(&GlobalMemoryStatus)>(realGlobalMemoryStatus)(status);
}

// All memory meters of a tick share one reading of the memory status.
TEST(BandWindow, OneMemoryStatusReadPerTick) {
    HostedBand host(400, 40);
    for (int i = 0; i < 4; ++i) {
        host.Add(Memory, "Memory\\Load", i, 0);
    }
    ASSERT_TRUE(host.Create());
    realGlobalMemoryStatus = HookImport("kernel32.dll", "GlobalMemoryStatus",
                                        reinterpret_cast<void*>(&CountingGlobalMemoryStatus));
    ASSERT_NE(realGlobalMemoryStatus, nullptr);
    memoryStatusReads = 0;
    host.Tick();
    host.Tick();
    HookImport("kernel32.dll", "GlobalMemoryStatus", realGlobalMemoryStatus);
    EXPECT_EQ(memoryStatusReads, 2);
    EXPECT_EQ(host.band.meters->scale, 100u) << "the load, in per cent";
    for (const Meter* m = host.band.meters->next; m; m = m->next) {
        EXPECT_GT(m->scale, 0u) << "every figure came from the shared reading";
    }
}

// Statistics as Windows 98 publishes them, for the screenshot: first high, then lower.
const struct {
    const char* key;
    const char* name;
    DWORD high, low;
} screenshotStatistics[] = {{"KERNEL\\CPUUsage", "プロセッサの使用率", 90, 35},
                            {"KERNEL\\Threads", "スレッド", 48, 30},
                            {"VMM\\cPageFaults", "ページ フォールト", 5000, 1200}};

void Screenshot(int width, int height, const char* name) {
    CreateStartStat();
    HostedBand host(width, height);
    for (const auto& statistic : screenshotStatistics) {
        SetStatDescription(statistic.key, statistic.name, nullptr);
        SetStatTotal(statistic.key, statistic.high);
        host.Add(PerfStat, statistic.key, -1, 0);
    }
    host.Add(Resource, "Resource\\SYSTEM", 0, 1000);
    host.Add(Resource, "Resource\\GDI", 1, 1000);
    host.Add(Resource, "Resource\\USER", 2, 1000);
    for (int i = 0; i < 4; ++i) {
        host.Add(Memory, "Memory\\Load", i, 1000);
    }
    host.Add(Drive, "Drive\\C:\\", 0, 1000);
    host.Add(Drive, "Drive\\Z:\\", 1, 1000);
    ASSERT_TRUE(host.Create());
    // Sixty ticks: the scales grow and their blinking ends; then the statistics fall, and their
    // peaks hold and start to sink.
    for (int i = 0; i < 60; ++i) {
        host.Tick();
    }
    for (const auto& statistic : screenshotStatistics) {
        SetStatTotal(statistic.key, statistic.low);
    }
    for (int i = 0; i < 16; ++i) {
        host.Tick();
    }
    UpdateWindow(host.band.window);
    Dib shot(width, height);
    Capture(host.band.window, shot);
    const std::string folder = ProgramFolder() + VT_SCREENSHOT_FOLDER;
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string path = folder + "\\" + name;
    ASSERT_TRUE(WritePng(path.c_str(), width, height, shot.bits)) << path;
    printf("screenshot: %s (%d x %d, font \"%s\")\n", path.c_str(), width, height, [&] {
        static char face[LF_FACESIZE] = "";
        HDC dc = GetDC(host.band.window);
        HGDIOBJ previous = SelectObject(dc, host.band.font);
        GetTextFaceA(dc, sizeof(face), face);
        SelectObject(dc, previous);
        ReleaseDC(host.band.window, dc);
        return face;
    }());
    // The picture holds something of every kind: no cell is blank button face.
    int blank = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            blank += shot.At(x, y) == RgbOf(GetSysColor(COLOR_BTNFACE));
        }
    }
    EXPECT_LT(blank, width * height * 3 / 4);
}

TEST(BandWindow, ScreenshotOfEveryKind) {
    Screenshot(640, 96, "band.png");
    Screenshot(900, 30, "band-strip.png");
}

} // namespace
