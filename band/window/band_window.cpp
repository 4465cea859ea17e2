#include "band_window.h"

#include <windows.h>
#include <commctrl.h>

#include <stddef.h>

#include "../meters/sources.h"
#include "../meters/update_meters.h"
#include "../shell/meter_band.h"
#include "../shell/module.h"
#include "grid_layout.h"
#include "paint_meters.h"

const char bandWindowClassName[] = "VeltrimClass";

namespace {

const UINT bandWindowClassStyle = CS_VREDRAW | CS_HREDRAW | CS_GLOBALCLASS; // 0x4003
static_assert(bandWindowClassStyle == 0x4003, "the class style the band has always had");

// The TOOLINFO as comctl32 4.70 and later know it, up to lParam: 44 bytes on 32-bit Windows.
const UINT toolInfoSize = offsetof(TOOLINFOA, lParam) + sizeof(LPARAM);
#if !defined(_WIN64)
static_assert(offsetof(TOOLINFOA, lParam) + sizeof(LPARAM) == 44, "a TOOLINFO of 44 bytes");
#endif

void RegisterBandWindowClass() {
    WNDCLASSA windowClass;
    if (GetClassInfoA(moduleInstance, bandWindowClassName, &windowClass)) {
        return;
    }
    ZeroMemory(&windowClass, sizeof(windowClass));
    windowClass.style = bandWindowClassStyle;
    windowClass.lpfnWndProc = BandWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = moduleInstance;
    windowClass.hIcon = nullptr;
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = bandWindowClassName;
    RegisterClassA(&windowClass);
}

void ClientSize(HWND window, int* width, int* height) {
    RECT client;
    if (!window || !GetClientRect(window, &client)) {
        *width = 0;
        *height = 0;
        return;
    }
    *width = client.right - client.left;
    *height = client.bottom - client.top;
}

// WM_NCCREATE: ties window and band, builds labels, starts the timer, adds the tooltips.
void AttachBand(HWND window, MeterBand* band) {
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(band));
    band->window = window;
    BuildLabels(band, true);
    InitCommonControls();
    band->tooltipWindow = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, TTS_ALWAYSTIP,
                                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                          CW_USEDEFAULT, window, nullptr, moduleInstance, nullptr);
    SyncTooltips(band, TTM_ADDTOOLA);
}

void CloseBandWindow(MeterBand* band) {
    if (band->timerId != 0) {
        KillTimer(band->window, band->timerId);
        band->timerId = 0;
    }
    if (band->tooltipWindow) {
        DestroyWindow(band->tooltipWindow);
        band->tooltipWindow = nullptr;
    }
}

// The window is going, however it goes. The tooltip control is owned by the top-level window
// (an owner is always top-level), so it would outlive the band window; the timer dies with the
// window; and the band keeps no handle that could later name some other window.
void DetachBand(HWND window, MeterBand* band) {
    if (band->tooltipWindow) {
        DestroyWindow(band->tooltipWindow);
        band->tooltipWindow = nullptr;
    }
    band->timerId = 0;
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    if (band->window == window) {
        band->window = nullptr;
    }
}

void RelayMouseMove(HWND window, MeterBand* band, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!band->tooltipWindow) {
        return;
    }
    MSG relayed;
    ZeroMemory(&relayed, sizeof(relayed));
    relayed.hwnd = window;
    relayed.message = message;
    relayed.wParam = wParam;
    relayed.lParam = lParam;
    SendMessageA(band->tooltipWindow, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
}

} // namespace

bool CreateBandWindow(MeterBand* band) {
    if (band->window) {
        return true;
    }
    if (!band->parentWindow) {
        return false;
    }
    RegisterBandWindowClass();
    RECT area;
    if (!GetClientRect(band->parentWindow, &area)) {
        SetRectEmpty(&area);
    }
    // WM_NCCREATE sets band->window during this call.
    CreateWindowExA(0, bandWindowClassName, nullptr, WS_CHILD | WS_CLIPSIBLINGS, area.left,
                    area.top, area.right - area.left, area.bottom - area.top, band->parentWindow,
                    nullptr, moduleInstance, band);
    return band->window != nullptr;
}

void DetachBandWindow(MeterBand* band) {
    if (!band->window) {
        return;
    }
    if (band->timerId != 0) {
        KillTimer(band->window, band->timerId);
    }
    ReleaseBandPicture(&band->picture);
    DetachBand(band->window, band);
}

LRESULT CALLBACK BandWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const CREATESTRUCTA* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        MeterBand* band = static_cast<MeterBand*>(create->lpCreateParams);
        if (band) { // a window of the class made without a band stays an empty window
            AttachBand(window, band);
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
    MeterBand* band = reinterpret_cast<MeterBand*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!band) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    switch (message) {
    case WM_SIZE:
        UpdateLayout(band);
        band->layoutDirty = TRUE;
        InvalidateRect(window, nullptr, TRUE);
        break;
    case WM_SETFOCUS:
        NotifyFocus(band, TRUE);
        return 0;
    case WM_KILLFOCUS:
        NotifyFocus(band, FALSE);
        return 0;
    case WM_PAINT:
        return PaintMeters(band);
    case WM_CLOSE:
        CloseBandWindow(band);
        break;
    case WM_COMMAND:
        return 0;
    case WM_TIMER:
        return RunBandTick(band);
    case WM_ERASEBKGND:
        // The paint covers the whole area from the band's picture; erasing first would flicker.
        DiscardPicture(&band->picture, false);
        return 1;
    case WM_SYSCOLORCHANGE:
        DiscardPicture(&band->picture, true);
        InvalidateRect(window, nullptr, FALSE);
        break;
    case WM_MOUSEMOVE:
        RelayMouseMove(window, band, message, wParam, lParam);
        break;
    case WM_DESTROY:
        ReleaseBandPicture(&band->picture);
        DetachBand(window, band);
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void UpdateLayout(MeterBand* band) {
    int visible = 0;
    for (const Meter* meter = band->meters; meter; meter = meter->next) {
        if (meter->visible) {
            ++visible;
        }
    }
    band->visibleCount = visible;
    int width, height;
    ClientSize(band->window, &width, &height);
    ChooseGrid(band, width, height);
}

void ChooseGrid(MeterBand* band, int w, int h) {
    const GridChoice choice = ChooseGridLayout(band->visibleCount, w, h, band->cellHeight);
    band->columns = choice.columns;
    band->rows = choice.rows;
    if (!choice.newFont) {
        return;
    }
    if (band->font) {
        DeleteObject(band->font);
        band->font = nullptr;
    }
    band->cellHeight = choice.cellHeight;
    band->fontHeight = choice.fontHeight;
    if (band->fontHeight < MinFontHeight) {
        return; // cells too low for a text line: bars only
    }
    band->font = CreateFontA(-band->fontHeight, 0, 0, 0, 0, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0,
                             0, 0, 0, "MS UI Gothic");
}

void SyncTooltips(MeterBand* band, UINT message) {
    if (message == TTM_SETTOOLINFOA && !band->layoutDirty) {
        return;
    }
    band->layoutDirty = FALSE;
    UpdateLayout(band);
    RECT client;
    if (!band->window || !GetClientRect(band->window, &client)) {
        SetRectEmpty(&client);
    }
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;

    int v = 0;
    UINT_PTR position = 0;
    for (Meter* meter = band->meters; meter; meter = meter->next, ++position) {
        TOOLINFOA tool;
        ZeroMemory(&tool, sizeof(tool));
        tool.cbSize = toolInfoSize;
        tool.uFlags = 0;
        tool.hwnd = band->window;
        tool.uId = position;
        tool.hinst = moduleInstance;
        tool.lpszText = meter->label;
        const CellRect cell = GridCell(v, band->columns, band->rows, width, height);
        tool.rect.left = client.left + cell.left;
        tool.rect.top = client.top + cell.top;
        if (meter->visible) {
            tool.rect.right = client.left + cell.right;
            tool.rect.bottom = client.top + cell.bottom;
            ++v;
        } else {
            // An empty rectangle at the cell's top-left corner keeps the identifier in place.
            tool.rect.right = tool.rect.left;
            tool.rect.bottom = tool.rect.top;
        }
        if (band->tooltipWindow) {
            SendMessageA(band->tooltipWindow, message, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }
}

void AdoptMeterList(MeterBand* band, bool startTimer) {
    BuildLabels(band, startTimer);
    SyncTooltips(band, TTM_ADDTOOLA);
    RequestRepaint(band, true);
}

int RunBandTick(MeterBand* band) {
    int width, height;
    ClientSize(band->window, &width, &height);
    const MeterTickEffects effects =
        UpdateMeters(band, static_cast<uint32_t>(width), nullptr, nullptr);
    if (effects.layoutChanged) {
        band->layoutDirty = TRUE;
        UpdateLayout(band);
    }
    if (effects.rebuildLabels) {
        BuildLabels(band, false);
    }
    if (effects.layoutChanged || effects.rebuildLabels) {
        RequestRepaint(band, false);
    } else if (band->window) {
        ShowChangedCells(band);
    }
    SyncTooltips(band, TTM_SETTOOLINFOA);
    return 1;
}

void RequestRepaint(MeterBand* band, bool eraseBackground) {
    DiscardPicture(&band->picture, false);
    if (band->window) {
        InvalidateRect(band->window, nullptr, eraseBackground ? TRUE : FALSE);
    }
}
