#include "paint_meters.h"

#include <stdlib.h>
#include <string.h>

#include "../shell/meter_band.h"
#include "band_window.h"
#include "grid_layout.h"

namespace {

// The system colours in the picture: text line, background and the bar box's sunken edge.
const int pictureColourIndex[PictureColourCount] = {COLOR_BTNFACE,    COLOR_WINDOWTEXT,
                                                    COLOR_3DDKSHADOW, COLOR_3DSHADOW,
                                                    COLOR_3DLIGHT,    COLOR_3DHILIGHT};

HBRUSH FaceBrush() {
    return reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
}

ShownCell LookOf(const Meter* meter, int width) {
    ShownCell shown;
    shown.meter = meter;
    shown.label = meter->label;
    const bool driveUnits = meter->kind == Drive;
    FormatValue(meter->value, driveUnits, shown.valueText, sizeof(shown.valueText));
    FormatValue(meter->scale, driveUnits, shown.scaleText, sizeof(shown.scaleText));
    shown.counts.lit = 0;
    shown.counts.peak = 0;
    const int segments = BarSegmentCount(width);
    if (meter->key && meter->scale != 0 && segments > 0) {
        shown.counts =
            BarLitCount(meter->value, meter->scale, meter->peak, static_cast<uint32_t>(segments));
    }
    if (shown.counts.peak <= shown.counts.lit) {
        shown.counts.peak = 0; // a peak under the lit part is not drawn: it shows nowhere
    }
    shown.scaleHidden = meter->blink % 10 >= 5;
    return shown;
}

bool SameTextLine(const ShownCell& a, const ShownCell& b) {
    return a.meter == b.meter && a.label == b.label && !strcmp(a.scaleText, b.scaleText) &&
           a.scaleHidden == b.scaleHidden;
}

bool SameLook(const ShownCell& a, const ShownCell& b) {
    return SameTextLine(a, b) && !strcmp(a.valueText, b.valueText) &&
           a.counts.lit == b.counts.lit && a.counts.peak == b.counts.peak;
}

// A picture drawn for a client area of this size, every cell's look recorded.
bool PictureFits(const BandPicture& picture, int width, int height) {
    return !picture.stale && picture.surface.bitmap && picture.width == width &&
           picture.height == height;
}

// True when the meter at grid position n would look different from what the picture shows
// there (a meter that moved by less than a pixel shows does not).
bool LookChanged(const MeterBand& band, int n, const Meter* meter, int width, int height) {
    const CellRect grid = GridCell(n, band.columns, band.rows, width, height);
    const BandPicture& picture = band.picture;
    return !PictureFits(picture, width, height) || n >= picture.shownCount ||
           n >= picture.cellCapacity ||
           !SameLook(picture.cells[n], LookOf(meter, grid.right - grid.left));
}

// A picture of the client area's size; a new one starts stale.
bool PreparePicture(BandPicture* picture, HDC reference, int width, int height) {
    if (picture->surface.bitmap && picture->width == width && picture->height == height) {
        return true;
    }
    if (!ResizeOffscreen(&picture->surface, reference, width, height)) {
        return false;
    }
    picture->width = width;
    picture->height = height;
    picture->stale = true;
    return true;
}

// Marks the picture stale when the grid, the font or the system colours are not those it was
// drawn with.
void NoteLayout(BandPicture* picture, const MeterBand* band) {
    if (picture->columns != band->columns || picture->rows != band->rows ||
        picture->shownCount != band->visibleCount || picture->font != band->font ||
        picture->fontHeight != band->fontHeight) {
        picture->columns = band->columns;
        picture->rows = band->rows;
        picture->shownCount = band->visibleCount;
        picture->font = band->font;
        picture->fontHeight = band->fontHeight;
        picture->stale = true;
    }
    bool recoloured = false;
    for (int k = 0; k < PictureColourCount; ++k) {
        const COLORREF colour = GetSysColor(pictureColourIndex[k]);
        recoloured = recoloured || picture->colours[k] != colour;
        picture->colours[k] = colour;
    }
    if (recoloured) {
        DiscardPicture(picture, true);
    }
}

// Room for a record of every visible cell; false (and none kept) when memory runs out.
bool ReserveCells(BandPicture* picture, int count) {
    if (count <= picture->cellCapacity) {
        return true;
    }
    void* cells = realloc(picture->cells, sizeof(ShownCell) * static_cast<size_t>(count));
    if (!cells) {
        free(picture->cells);
        picture->cells = nullptr;
        picture->cellCapacity = 0;
        return false;
    }
    picture->cells = static_cast<ShownCell*>(cells);
    picture->cellCapacity = count;
    return true;
}

// Label at the top left, full scale at the top right (hidden while the blink says so); the
// texts' opaque background sits on the button face the cell was filled with. The caller has
// selected the band's font.
void DrawTextLine(HDC dc, const Meter* meter, RECT* cell) {
    if (cell->left >= cell->right) {
        return;
    }
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, face);
    if (meter->label) {
        DrawTextA(dc, meter->label, -1, cell, DT_SINGLELINE | DT_NOPREFIX);
    }
    if (meter->blink % 10 >= 5) {
        SetTextColor(dc, face);
    }
    char scale[FormatValueCapacity];
    const int length =
        static_cast<int>(FormatValue(meter->scale, meter->kind == Drive, scale, sizeof(scale)));
    DrawTextA(dc, scale, length, cell, DT_SINGLELINE | DT_NOPREFIX | DT_RIGHT);
}

// False when the bar could not be drawn for want of GDI objects.
bool ComposeBarOfMeter(BandPicture* picture, HDC reference, const Meter* meter, HFONT font,
                       const RECT& r) {
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    if (!meter->key || meter->scale == 0 || BarSegmentCount(width) <= 0 || height <= 0) {
        return true; // no bar to draw
    }
    const BarStripSize* size = PrepareBarStrips(&picture->strips, reference, width, height);
    if (!size) {
        return false;
    }
    const int segments = BarSegmentCount(width);
    const BarCounts counts =
        BarLitCount(meter->value, meter->scale, meter->peak, static_cast<uint32_t>(segments));
    ComposeBar(picture->surface.dc, r.left, r.top, picture->strips, *size, counts);
    if (font) {
        SetBkMode(picture->surface.dc, TRANSPARENT);
        DrawBarValueText(picture->surface.dc, r.left, r.top, segments, height, meter->value,
                         meter->kind == Drive);
        SetBkMode(picture->surface.dc, OPAQUE);
    }
    return true;
}

// One cell composed on button face: text line (unless it shows what it showed), then the bar
// below it. False when the bar is missing.
bool ComposeCell(BandPicture* picture, HDC reference, const MeterBand* band, const Meter* meter,
                 RECT cell, bool filled, bool textLineShown) {
    if (band->font && textLineShown) {
        cell.top += band->fontHeight;
    }
    if (!filled) {
        FillRect(picture->surface.dc, &cell, FaceBrush());
    }
    if (band->font && !textLineShown) {
        DrawTextLine(picture->surface.dc, meter, &cell);
        cell.top += band->fontHeight;
    }
    return ComposeBarOfMeter(picture, reference, meter, band->font, cell);
}

// Brings every cell of the picture up to date with its meter; each cell composed is also copied
// to `screen` when there is one.
void ComposeChangedCells(BandPicture* picture, HDC reference, const MeterBand* band, HDC screen) {
    const bool tracked = ReserveCells(picture, band->visibleCount);
    const bool all = picture->stale || !tracked;
    if (all) {
        RECT whole = {0, 0, picture->width, picture->height};
        FillRect(picture->surface.dc, &whole, FaceBrush());
    }
    HGDIOBJ previousFont = band->font ? SelectObject(picture->surface.dc, band->font) : nullptr;
    bool complete = true;
    int n = 0;
    for (const Meter* meter = band->meters; meter && n < band->visibleCount; meter = meter->next) {
        if (!meter->visible) {
            continue;
        }
        const CellRect grid =
            GridCell(n, band->columns, band->rows, picture->width, picture->height);
        const ShownCell look = LookOf(meter, grid.right - grid.left);
        if (all || !SameLook(picture->cells[n], look)) {
            const RECT cell = {grid.left, grid.top, grid.right, grid.bottom};
            const bool textLineShown = !all && SameTextLine(picture->cells[n], look);
            complete =
                ComposeCell(picture, reference, band, meter, cell, all, textLineShown) && complete;
            if (screen) {
                BitBlt(screen, cell.left, cell.top, cell.right - cell.left, cell.bottom - cell.top,
                       picture->surface.dc, cell.left, cell.top, SRCCOPY);
            }
        }
        if (tracked) {
            picture->cells[n] = look;
        }
        ++n;
    }
    if (band->font) {
        SelectObject(picture->surface.dc, previousFont);
    }
    // A bar left out for want of GDI objects is tried again at the next paint.
    picture->stale = !tracked || !complete;
}

// Every cell the paint will compose joins the update region, so that what is composed is also
// copied to the screen: a cell whose look changed without an invalidation (labels built again, a
// window dragged over another cell) would otherwise be recorded as shown and never be seen.
void InvalidateUnshownCells(MeterBand* band, int width, int height) {
    if (!PictureFits(band->picture, width, height)) {
        InvalidateRect(band->window, nullptr, FALSE);
        return;
    }
    int n = 0;
    for (const Meter* meter = band->meters; meter && n < band->visibleCount; meter = meter->next) {
        if (!meter->visible) {
            continue;
        }
        if (LookChanged(*band, n, meter, width, height)) {
            const CellRect grid = GridCell(n, band->columns, band->rows, width, height);
            const RECT cell = {grid.left, grid.top, grid.right, grid.bottom};
            InvalidateRect(band->window, &cell, FALSE);
        }
        ++n;
    }
}

// True when some visible meter would look different from what the picture shows in its cell.
bool AnyLookChanged(const MeterBand& band, int width, int height) {
    int n = 0;
    for (const Meter* meter = band.meters; meter && n < band.visibleCount; meter = meter->next) {
        if (meter->visible && LookChanged(band, n++, meter, width, height)) {
            return true;
        }
    }
    return false;
}

// The client area's size; the picture notes the grid, font and colours it is to be drawn with.
void NoteClientArea(MeterBand* band, int* width, int* height) {
    RECT client = {0, 0, 0, 0};
    GetClientRect(band->window, &client);
    *width = client.right - client.left;
    *height = client.bottom - client.top;
    NoteLayout(&band->picture, band);
}

} // namespace

int PaintMeters(MeterBand* band) {
    UpdateLayout(band);
    int width, height;
    NoteClientArea(band, &width, &height);
    BandPicture* picture = &band->picture;
    InvalidateUnshownCells(band, width, height);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(band->window, &paint);
    // Without a picture the window keeps what it shows; the next paint tries again.
    if (dc && width > 0 && height > 0 && PreparePicture(picture, dc, width, height)) {
        ComposeChangedCells(picture, dc, band, nullptr);
        const RECT& area = paint.rcPaint;
        BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top,
               picture->surface.dc, area.left, area.top, SRCCOPY);
    }
    EndPaint(band->window, &paint);
    return 0;
}

void ShowChangedCells(MeterBand* band) {
    int width, height;
    NoteClientArea(band, &width, &height);
    BandPicture* picture = &band->picture;
    if (!PictureFits(*picture, width, height)) {
        InvalidateRect(band->window, nullptr, FALSE); // the paint composes the whole picture
        return;
    }
    // A hidden band draws nothing: showing it again repaints it from its meters.
    if (!IsWindowVisible(band->window) || !AnyLookChanged(*band, width, height)) {
        return;
    }
    HDC dc = GetDC(band->window);
    if (!dc) {
        return; // the looks stay unrecorded: the next tick tries again
    }
    ComposeChangedCells(picture, dc, band, dc);
    ReleaseDC(band->window, dc);
}

void DiscardPicture(BandPicture* picture, bool newColours) {
    picture->stale = true;
    if (newColours) {
        ReleaseBarStrips(&picture->strips);
    }
}

void ReleaseBandPicture(BandPicture* picture) {
    ReleaseBarStrips(&picture->strips);
    ReleaseOffscreen(&picture->surface);
    free(picture->cells);
    ZeroMemory(picture, sizeof(*picture));
}
