#include "update_meters.h"

#include <windows.h>
#include <commctrl.h>

#include "../shell/meter_band.h"
#include "../window/band_window.h"
#include "meter_tick.h"
#include "sources.h"

namespace {

bool SampleForTick(void* context, Meter* meter, uint32_t now, uint32_t elapsed, uint32_t* value) {
    return SampleMeter(static_cast<MeterBand*>(context), meter, now, elapsed, value);
}

uint32_t ClientWidth(HWND window) {
    RECT client;
    if (!window || !GetClientRect(window, &client) || client.right <= client.left) {
        return 0;
    }
    return static_cast<uint32_t>(client.right - client.left);
}

} // namespace

int UpdateMeters(MeterBand* band) {
    MeterTickInput input;
    input.now = GetTickCount();
    input.clientWidth = ClientWidth(band->window);
    input.animate = band->animate != 0;
    input.hideInvalid = band->hideInvalid != 0;
    input.sampler = SampleForTick;
    input.samplerContext = band;

    const MeterTickEffects effects = RunMeterTick(band->meters, input);
    if (effects.layoutChanged) {
        band->layoutDirty = TRUE;
        UpdateLayout(band);
    }
    if (effects.rebuildLabels) {
        BuildLabels(band, false);
    }
    RequestRepaint(band, effects.eraseBackground);
    SyncTooltips(band, TTM_SETTOOLINFOA);
    return 1;
}
