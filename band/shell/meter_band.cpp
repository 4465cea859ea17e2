#include "meter_band.h"

void NotifyFocus(MeterBand* band, BOOL flag) {
    band->hasFocus = flag;
    if (band->site) {
        // The record starts with the primary interface's table: its address is the object's
        // IUnknown.
        band->site->OnFocusChangeIS(reinterpret_cast<IUnknown*>(band), flag);
    }
}
