#pragma once

struct MeterBand;

// One tick of the band's update timer: samples due meters and asks the window for a repaint.
// Returns nonzero, the band window's answer to WM_TIMER.
int UpdateMeters(MeterBand* band);
