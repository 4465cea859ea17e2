// The band window's WM_PAINT: every visible meter's text line and bar in its grid cell, composed
// in a picture that the window keeps, so that a paint redraws only the cells that changed and
// reaches the screen in one copy.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "../meters/meter.h"
#include "bar_strips.h"

struct Meter;
struct MeterBand;

// What one cell of the picture shows: enough to tell whether its meter has moved since by as
// much as a pixel. Value and scale as their texts: most moves change neither.
struct ShownCell {
    const Meter* meter;
    const char* label;
    char valueText[FormatValueCapacity];
    char scaleText[FormatValueCapacity];
    BarCounts counts;
    bool scaleHidden; // the blink's phase
};

enum { PictureColourCount = 6 };

// The band's picture and the cached objects it is drawn with, owned by the band window: made on
// the first paint, remade when the size, the grid, the font or the system colours change, and
// released when the window goes.
struct BandPicture {
    OffscreenBitmap surface;
    int width;
    int height;
    int columns;
    int rows;
    int shownCount;
    HFONT font;
    int fontHeight;
    COLORREF colours[PictureColourCount]; // the system colours the picture was drawn in
    bool stale;                           // every cell is composed again at the next paint
    BarStrips strips;
    ShownCell* cells;
    int cellCapacity;
};

// Paints the band window (BeginPaint to EndPaint); returns 0.
int PaintMeters(MeterBand* band);
// A tick's change on the screen: the cells whose meters moved by as much as a pixel shows are
// composed and copied straight to the window, without a WM_PAINT round trip; a picture that does
// not fit the window has the whole window invalidated instead.
void ShowChangedCells(MeterBand* band);
// Has every cell composed again at the next paint; with newColours the bar pictures go too.
void DiscardPicture(BandPicture* picture, bool newColours);
// Deletes every GDI object and the cell records; the record is empty afterwards.
void ReleaseBandPicture(BandPicture* picture);
