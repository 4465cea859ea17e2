// The band window's layout, tooltips and repaint requests.
#pragma once

#include <windows.h>

struct MeterBand;

// Creates the band window under parentWindow unless it exists; false when there is none.
bool CreateBandWindow(MeterBand* band);
// Counts the visible meters into visibleCount for the grid.
void UpdateLayout(MeterBand* band);
// Sends one tool message per meter; TTM_SETTOOLINFOA only when the layout is dirty.
void SyncTooltips(MeterBand* band, UINT message);
// Invalidates the whole band window, erasing its background when asked.
void RequestRepaint(MeterBand* band, bool eraseBackground);
