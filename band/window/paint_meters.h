// The band window's WM_PAINT: every visible meter's text line and bar in its grid cell.
#pragma once

struct MeterBand;

// Paints the band window (BeginPaint to EndPaint); returns 0.
int PaintMeters(MeterBand* band);
