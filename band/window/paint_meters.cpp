#include "paint_meters.h"

#include <windows.h>

#include "../shell/meter_band.h"
#include "band_window.h"
#include "draw_bar.h"
#include "grid_layout.h"

namespace {

// Label at the top left, full scale at the top right (hidden while the blink says so), in the
// band's font; the texts' opaque background cleans the line.
void DrawTextLine(HDC dc, const MeterBand* band, const Meter* meter, RECT* cell) {
    HGDIOBJ previousFont = SelectObject(dc, band->font);
    if (cell->left < cell->right) {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        if (meter->label) {
            DrawTextA(dc, meter->label, -1, cell, DT_SINGLELINE | DT_NOPREFIX);
        }
        if (meter->blink % 10 >= 5) {
            SetTextColor(dc, GetSysColor(COLOR_BTNFACE));
        }
        char scale[FormatValueCapacity];
        const int length =
            static_cast<int>(FormatValue(meter->scale, meter->kind == Drive, scale, sizeof(scale)));
        DrawTextA(dc, scale, length, cell, DT_SINGLELINE | DT_NOPREFIX | DT_RIGHT);
    }
    SelectObject(dc, previousFont);
}

} // namespace

int PaintMeters(MeterBand* band) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(band->window, &paint);
    UpdateLayout(band);
    RECT client;
    GetClientRect(band->window, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;

    int n = 0;
    for (const Meter* meter = band->meters; meter; meter = meter->next) {
        if (!meter->visible) {
            continue;
        }
        const CellRect grid = GridCell(n, band->columns, band->rows, width, height);
        RECT cell = {client.left + grid.left, client.top + grid.top, client.left + grid.right,
                     client.top + grid.bottom};
        if (band->font) {
            DrawTextLine(dc, band, meter, &cell);
            cell.top += band->fontHeight;
        }
        if (meter->key) {
            DrawBar(dc, cell, meter->value, meter->scale, meter->peak, band->font,
                    meter->kind == Drive);
        }
        ++n;
    }
    EndPaint(band->window, &paint);
    return 0;
}
