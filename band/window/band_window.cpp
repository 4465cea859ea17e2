#include "band_window.h"

#include <windows.h>
#include <commctrl.h>

#include "../shell/meter_band.h"

void UpdateLayout(MeterBand* band) {
    int visible = 0;
    for (const Meter* meter = band->meters; meter; meter = meter->next) {
        if (meter->visible) {
            ++visible;
        }
    }
    band->visibleCount = visible;
}

void SyncTooltips(MeterBand* band, UINT message) {
    if (message == TTM_SETTOOLINFOA && !band->layoutDirty) {
        return;
    }
    band->layoutDirty = FALSE;
    UpdateLayout(band);
}

void RequestRepaint(MeterBand* band, bool eraseBackground) {
    if (band->window) {
        InvalidateRect(band->window, nullptr, eraseBackground ? TRUE : FALSE);
    }
}

bool CreateBandWindow(MeterBand* band) {
    return band->window != nullptr;
}
