// The band window: its class, creation, window procedure, grid layout and tooltips.
#pragma once

#include <windows.h>

struct MeterBand;

// Name of the band window's class, registered once per process and never unregistered.
extern const char bandWindowClassName[];

// Creates the band window as a hidden child covering parentWindow's client area, unless the band
// already has one. False when there is no parent window or the window could not be made.
bool CreateBandWindow(MeterBand* band);
// Unties the band's window from a band that is going: the window stops its timer, drops its
// tooltips and stays inert until its parent destroys it.
void DetachBandWindow(MeterBand* band);
// The class's window procedure; finds its band in the window's user data.
LRESULT CALLBACK BandWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Counts the visible meters into visibleCount and chooses the grid for the client area.
void UpdateLayout(MeterBand* band);
// Sets columns and rows for a w x h area and, when the cell height changed, the font.
void ChooseGrid(MeterBand* band, int w, int h);
// Sends one tool message per meter (TTM_ADDTOOLA, TTM_DELTOOLA or TTM_SETTOOLINFOA);
// TTM_SETTOOLINFOA only when the layout is dirty.
void SyncTooltips(MeterBand* band, UINT message);
// After the meter list was replaced or its labels may have changed, its tools removed before:
// builds the labels (starting the timer when asked), adds a tool per meter and repaints the band.
void AdoptMeterList(MeterBand* band, bool startTimer);
// The band window's WM_TIMER: one UpdateMeters tick, then the cells of the meters that changed
// repainted, the whole band when the layout or the labels changed, the tool rectangles kept up.
// Returns 1.
int RunBandTick(MeterBand* band);
// Invalidates the whole band window and has every cell drawn again, erasing its background when
// asked.
void RequestRepaint(MeterBand* band, bool eraseBackground);
