// A real band window under a parent window, under Wine: creation, tooltips, layout, closing
// and painting, GDI objects over many paints, and a screenshot for a person.
#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include <algorithm>
#include <tuple>

#include "import_hook.h"
#include "png_writer.h"
#include "shell/module.h"
#include "win32_test_support.h"
#include "window/band_window.h"
#include "window/grid_layout.h"

namespace {

// One band window from its creation to its closing, and made again, each behaviour checked in
// turn on the same window: four memory meters and a resource meter in a 300 x 24 host.
TEST(BandWindow, CreationTooltipsLayoutAndClose) {
    CreateStartStat(); // without it (as under plain Wine) no label is built at all
    TestBand host(300, 24);
    for (int i = 0; i < 4; ++i) {
        host.Add(Memory, "Memory\\Load", i, 0);
    }
    host.Add(Resource, "Resource\\GDI", 1, 0);
    MeterBand& band = host.band;
    ASSERT_TRUE(host.Create());
    // A resize and a hidden meter are laid out at the next tick; the hidden meter keeps an empty
    // tool at the next cell's top left, so that every other tool keeps its text.
    band.meters->next->visible = 0;
    SetWindowPos(band.window, nullptr, 0, 0, 200, 30, SWP_NOZORDER | SWP_NOACTIVATE);
    host.Tick();
    // Four visible meters in 2 x 2 cells, a font of 6 pixels.
    EXPECT_EQ(std::make_tuple(band.visibleCount, band.columns, band.rows, band.fontHeight),
              std::make_tuple(4, 2, 2, 6));
    EXPECT_EQ(ToolTexts(band.tooltipWindow),
              "0,0使用中メモリ (%)|101,0空き物理メモリー|101,0空きページファイル|"
              "0,15空き仮想メモリー|101,15GDI|");
    // Closing the band (WM_CLOSE) or destroying its window alone stops the timer, takes the
    // tooltip and detaches the band (no stale handle for a later repaint request), which can
    // then have a new window, created hidden for the shell to show.
    for (const bool close : {true, false}) {
        SCOPED_TRACE(close ? "WM_CLOSE" : "DestroyWindow");
        const HWND window = band.window, tooltip = band.tooltipWindow;
        close ? SendMessageA(window, WM_CLOSE, 0, 0) : DestroyWindow(window);
        EXPECT_TRUE(!band.timerId && !band.tooltipWindow && !IsWindow(tooltip) &&
                    !IsWindow(window) && !band.window);
        RequestRepaint(&band, true);
        EXPECT_TRUE(CreateBandWindow(&band) && band.timerId == 1 && !IsWindowVisible(band.window));
    }
}

TEST(BandWindow, PaintDrawsEveryVisibleCellTextLineAndBar) {
    CreateStartStat();
    TestBand host(400, 40);
    Meter* a = host.Add(Memory, "Memory\\Load", 0, 0);
    Meter* hidden = host.Add(Memory, "Memory\\AvailPhys", 1, 0);
    Meter* b = host.Add(Memory, "Memory\\AvailVirtual", 3, 0);
    ASSERT_TRUE(host.Create());
    host.Tick();
    a->value = 50, a->scale = 100, a->peak = 0, a->blink = 0;
    b->value = 100, b->scale = 100, b->peak = 0;
    hidden->visible = 0;
    host.Paint();
    Dib shot(400, 40);
    shot.Capture(host.band.window);
    // Cells (0,0)-(199,40) and (201,0)-(400,40) with a gap of button face, a text line of 16
    // pixels, bar boxes from y 16 (199 wide: 65 segments): half lit (31 lit, 32 not), full.
    const uint32_t face = RgbOf(GetSysColor(COLOR_BTNFACE));
    EXPECT_TRUE(shot.At(199, 30) == face && shot.At(200, 30) == face &&
                shot.At(2, 16 + 1) != shot.At(2, 16 + 2) && shot.At(2 + 3 * 31, 20) != 0);
    EXPECT_EQ(RgbText(shot.At(2, 18)) + " " + RgbText(shot.At(2 + 3 * 32, 20)) + " " +
                  RgbText(shot.At(201 + 2, 20)) + " " + RgbText(shot.At(201 + 2 + 3 * 64, 20)),
              "16,255,16 0,0,0 16,255,16 255,120,0");
    // Text lines: dark label pixels at the top left of each cell.
    auto darkPixels = [&](int left, int right) {
        int dark = 0, w = right - left;
        for (int i = 0; i < 16 * w; ++i) {
            dark += shot.At(left + i % w, i / w) == RgbOf(GetSysColor(COLOR_WINDOWTEXT));
        }
        return dark;
    };
    // And the scale "100" at the top right of the first.
    EXPECT_TRUE(darkPixels(0, 60) > 20 && darkPixels(201, 261) > 20 && darkPixels(160, 199) > 10);
}

TEST(BandWindow, TicksRepaintOnlyMovedCellsAndNoGdiObjectLeaksOver10000Paints) {
    InstallGdiCounter();
    // One meter of each kind: text lines, value texts, lit segments, trails and peaks. (Under
    // Wine a paint costs about a millisecond per bar, so the band is kept to four bars.)
    TestBand host(600, 40);
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
    // Ticks redraw the cells of the meters that moved (the statistic rising, falling under its
    // held peak, rescaling), not the still resource meter's (no flicker), and what they leave on
    // the screen is what a full repaint draws. A colour no cell has, put on the screen alone,
    // shows which cells a tick drew over.
    { // (the pictures go before the objects are counted)
        Dib ticked(600, 40), full(600, 40);
        const CellRect cell = GridCell(1, band.columns, band.rows, 600, 40);
        const RECT still = {cell.left, cell.top, cell.right, cell.bottom};
        const CellRect busyCell = GridCell(3, band.columns, band.rows, 600, 40);
        const RECT busy = {busyCell.left, busyCell.top, busyCell.right, busyCell.bottom};
        const uint32_t mark = 0xff00ff;
        auto markScreen = [&](const RECT& r) {
            HDC dc = GetDC(band.window);
            HBRUSH brush = CreateSolidBrush(RGB(255, 0, 255));
            FillRect(dc, &r, brush);
            DeleteObject(brush);
            ReleaseDC(band.window, dc);
        };
        auto screenIsFullPaint = [&](const RECT& marked) {
            UpdateWindow(band.window);
            ticked.Capture(band.window);
            RequestRepaint(&band, true);
            UpdateWindow(band.window);
            full.Capture(band.window);
            for (int i = 0; i < 600 * 40; ++i) {
                const POINT p = {i % 600, i / 600};
                if (ticked.At(p.x, p.y) != (PtInRect(&marked, p) ? mark : full.At(p.x, p.y))) {
                    return false;
                }
            }
            return true;
        };
        // The resource meter is no longer sampled: its held peak sinks under its lit part.
        band.meters->next->interval = 3600000;
        for (int step = 0; step < 40; ++step) {
            SetStatTotal("VTBand\\Busy", step * 7919 % (step < 20 ? 600 : 2000));
            markScreen(still);
            host.Tick();
            ASSERT_TRUE(screenIsFullPaint(still)) << "step " << step;
        }
        // A statistic that moves by less than its text and its bar show redraws nothing: a
        // scale set, the peak sunk to the value, then one more.
        for (const auto& [total, ticks] :
             {std::make_pair(300001, 60), std::make_pair(123456, 150), std::make_pair(123457, 1)}) {
            UpdateWindow(band.window);
            SetStatTotal("VTBand\\Busy", total);
            markScreen(busy);
            for (int i = 0; i < ticks; ++i) {
                host.Tick();
            }
        }
        EXPECT_TRUE(screenIsFullPaint(busy)) << "the statistic's cell";
        // A hidden band composes nothing at its ticks, and shows what a full paint does again.
        const std::string shown = band.picture.cells[3].valueText;
        ShowWindow(band.window, SW_HIDE);
        SetStatTotal("VTBand\\Busy", 999);
        host.Tick();
        EXPECT_EQ(band.picture.cells[3].valueText, shown);
        ShowWindow(band.window, SW_SHOW);
        EXPECT_TRUE(screenIsFullPaint(RECT{})) << "shown again";
        // So does a paint of one cell while another cell's look changed unseen (a window dragged
        // over the band): the first meter's scale text hides.
        band.meters->blink = 7;
        InvalidateRect(band.window, &still, FALSE);
        EXPECT_TRUE(screenIsFullPaint(RECT{}));
    }
    host.Tick();
    for (Meter* m = band.meters; m; m = m->next) {
        m->value = 3, m->scale = 8, m->peak = 6;
    }
    host.Paint();
    const long live = LiveGdiObjects(), created = GdiObjectsCreated();
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
}

// Statistics as Windows 98 publishes them (first high, then lower), resources, memory and drives,
// sixty ticks (the scales grow and stop blinking) and sixteen more (peaks hold and sink), in a
// band and in a strip.
TEST(BandWindow, ScreenshotOfEveryKind) {
    const std::tuple<const char*, const char*, DWORD, DWORD> statistics[] = {
        {"KERNEL\\CPUUsage", "プロセッサの使用率", 90, 35},
        {"KERNEL\\Threads", "スレッド", 48, 30},
        {"VMM\\cPageFaults", "ページ フォールト", 5000, 1200}};
    const std::tuple<int, int, const char*> shots[] = {{640, 96, "band.png"},
                                                       {900, 30, "band-strip.png"}};
    CreateStartStat();
    CreateDirectoryA((ProgramFolder() + VT_SCREENSHOT_FOLDER).c_str(), nullptr);
    for (const auto& [width, height, name] : shots) {
        TestBand host(width, height);
        for (const auto& [key, label, high, low] : statistics) {
            SetStatDescription(key, label, nullptr);
            host.Add(PerfStat, key, -1, 0);
        }
        for (int i = 0; i < 4; ++i) {
            host.Add(Memory, "Memory\\Load", i, 1000);
            host.Add(Resource, "Resource\\SYSTEM", i % 3, 1000);
        }
        host.Add(Drive, "Drive\\C:\\", 0, 1000);
        host.Add(Drive, "Drive\\Z:\\", 1, 1000);
        ASSERT_TRUE(host.Create());
        for (int i = 0; i < 76; ++i) {
            for (const auto& [key, label, high, low] : statistics) {
                SetStatTotal(key, i < 60 ? high : low);
            }
            host.Tick();
        }
        UpdateWindow(host.band.window);
        Dib shot(width, height);
        shot.Capture(host.band.window);
        const std::string path = ProgramFolder() + VT_SCREENSHOT_FOLDER + "\\" + name;
        ASSERT_TRUE(WritePng(path.c_str(), width, height, shot.bits)) << path;
        printf("screenshot: %s (%d x %d)\n", path.c_str(), width, height);
        // The picture holds something of every kind: no cell is blank button face.
        const uint32_t face = RgbOf(GetSysColor(COLOR_BTNFACE));
        EXPECT_LT(std::count_if(shot.bits, shot.bits + width * height,
                                [&](uint32_t p) { return (p & 0xFFFFFF) == face; }),
                  width * height * 3 / 4);
    }
}

} // namespace
