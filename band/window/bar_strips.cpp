#include "bar_strips.h"

#include "../meters/meter.h"

namespace {

enum { UnlitRow = 0, LitRow = 1, TrailRow = 2, PeakRow = 3, WorkRow = 4 };

COLORREF ColourRef(BarColour colour) {
    return RGB(colour.red, colour.green, colour.blue);
}

// Colour of segment i in a row: its own position, at half strength for the trail, and the
// next position for the peak segment.
COLORREF RowColour(int row, int i, int segments) {
    if (row == TrailRow) {
        return ColourRef(HalfStrength(BarGradientColour(i, segments)));
    }
    return ColourRef(BarGradientColour(row == PeakRow ? i + 1 : i, segments));
}

// Segment i filled with a solid brush of its own.
void FillSegment(HDC dc, int i, int top, int height, COLORREF colour) {
    const int left = BarSegmentLeft(i);
    RECT segment = {left, top + 2, left + 2, top + height - 2};
    HBRUSH brush = CreateSolidBrush(colour);
    if (brush) {
        FillRect(dc, &segment, brush);
        DeleteObject(brush);
    }
}

void DrawStripRow(HDC dc, const BarStripSize& size, int row) {
    const int segments = BarSegmentCount(size.width);
    const int top = size.top + row * size.height;
    RECT box = {0, top, BarBoxRight(segments), top + size.height};
    FillRect(dc, &box, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    DrawEdge(dc, &box, EDGE_SUNKEN, BF_RECT);
    RECT strip = {box.right, top, size.width, top + size.height};
    FillRect(dc, &strip, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1)));
    if (row == UnlitRow || row == WorkRow) {
        return;
    }
    for (int i = 0; i < segments; ++i) {
        FillSegment(dc, i, top, size.height, RowColour(row, i, segments));
    }
}

// A new bitmap for every size in the record, each drawn in its four rows.
bool RebuildStrips(BarStrips* strips, HDC reference) {
    int width = 0;
    int height = 0;
    for (int k = 0; k < strips->count; ++k) {
        strips->sizes[k].top = height;
        height += BarStripRows * strips->sizes[k].height;
        width = strips->sizes[k].width > width ? strips->sizes[k].width : width;
    }
    if (!ResizeOffscreen(&strips->pictures, reference, width, height)) {
        return false;
    }
    // Each row clipped to itself: in a bar one or two pixels high the sunken edge and the
    // segments reach past its top and bottom, into the rows beside it.
    HDC dc = strips->pictures.dc;
    for (int k = 0; k < strips->count; ++k) {
        const BarStripSize& size = strips->sizes[k];
        for (int row = 0; row < BarStripRows; ++row) {
            const int top = size.top + row * size.height;
            if (IntersectClipRect(dc, 0, top, size.width, top + size.height) == ERROR) {
                return false;
            }
            DrawStripRow(dc, size, row);
            SelectClipRgn(dc, nullptr);
        }
    }
    return true;
}

// Copies columns left to right (exclusive) of one row; nothing for an empty range.
void CopyColumns(HDC dc, int x, int y, const BarStrips& strips, const BarStripSize& size, int row,
                 int left, int right) {
    if (right <= left) {
        return;
    }
    BitBlt(dc, x + left, y, right - left, size.height, strips.pictures.dc, left,
           size.top + row * size.height, SRCCOPY);
}

} // namespace

const BarStripSize* PrepareBarStrips(BarStrips* strips, HDC reference, int width, int height) {
    if (BarSegmentCount(width) <= 0 || height <= 0) {
        return nullptr;
    }
    for (int k = 0; k < strips->count; ++k) {
        if (strips->sizes[k].width == width && strips->sizes[k].height == height) {
            return &strips->sizes[k];
        }
    }
    if (strips->count == BarStripSizeCount) {
        strips->count = 0; // the sizes in use have changed: start again with this one
    }
    BarStripSize& added = strips->sizes[strips->count++];
    added.width = width;
    added.height = height;
    if (!RebuildStrips(strips, reference)) {
        ReleaseBarStrips(strips);
        return nullptr;
    }
    return &added;
}

bool ResizeOffscreen(OffscreenBitmap* offscreen, HDC reference, int width, int height) {
    if (!offscreen->dc) {
        offscreen->dc = CreateCompatibleDC(reference);
        if (!offscreen->dc) {
            return false;
        }
    }
    HBITMAP bitmap = CreateCompatibleBitmap(reference, width, height);
    if (!bitmap) {
        return false;
    }
    HGDIOBJ previous = SelectObject(offscreen->dc, bitmap);
    if (offscreen->bitmap) {
        DeleteObject(offscreen->bitmap);
    } else {
        offscreen->previousBitmap = previous;
    }
    offscreen->bitmap = bitmap;
    return true;
}

void ReleaseOffscreen(OffscreenBitmap* offscreen) {
    if (offscreen->bitmap) {
        SelectObject(offscreen->dc, offscreen->previousBitmap);
        DeleteObject(offscreen->bitmap);
    }
    if (offscreen->dc) {
        DeleteDC(offscreen->dc);
    }
    ZeroMemory(offscreen, sizeof(*offscreen));
}

void ReleaseBarStrips(BarStrips* strips) {
    ReleaseOffscreen(&strips->pictures);
    ZeroMemory(strips, sizeof(*strips));
}

void ComposeBar(HDC dc, int x, int y, const BarStrips& strips, const BarStripSize& size,
                BarCounts counts) {
    // Rows differ only inside the segments, so each column range may come from any row.
    const int lit = static_cast<int>(counts.lit);
    const int peak = static_cast<int>(counts.peak);
    int done = BarSegmentLeft(lit);
    CopyColumns(dc, x, y, strips, size, LitRow, 0, done);
    if (peak > lit) {
        const int peakLeft = BarSegmentLeft(peak - 1);
        CopyColumns(dc, x, y, strips, size, TrailRow, done, peakLeft);
        done = BarSegmentLeft(peak);
        CopyColumns(dc, x, y, strips, size, PeakRow, peakLeft, done);
    }
    CopyColumns(dc, x, y, strips, size, UnlitRow, done, size.width);
}

void DrawBarValueText(HDC dc, int x, int y, int segments, int height, uint32_t value,
                      bool driveUnits) {
    char text[FormatValueCapacity];
    const int length = static_cast<int>(FormatValue(value, driveUnits, text, sizeof(text)));
    const UINT format = DT_RIGHT | DT_BOTTOM | DT_SINGLELINE | DT_NOPREFIX;
    RECT shadow = {x, y, x + 3 * segments + 1, y + height - 2};
    SetTextColor(dc, RGB(0, 0, 0));
    DrawTextA(dc, text, length, &shadow, format);
    RECT face = {x, y, x + 3 * segments, y + height - 2};
    SetTextColor(dc, RGB(255, 255, 255));
    DrawTextA(dc, text, length, &face, format);
}

void DrawBarThrough(BarStrips* strips, HDC dc, const RECT& r, uint32_t value, uint32_t scale,
                    uint32_t peak, HFONT font, bool driveUnits) {
    if (scale == 0) {
        return;
    }
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    const BarStripSize* size = PrepareBarStrips(strips, dc, width, height);
    if (!size) {
        return;
    }
    const int segments = BarSegmentCount(width);
    const BarCounts counts = BarLitCount(value, scale, peak, static_cast<uint32_t>(segments));
    const int top = size->top + WorkRow * height;
    ComposeBar(strips->pictures.dc, 0, top, *strips, *size, counts);
    if (font) {
        HGDIOBJ previousFont = SelectObject(strips->pictures.dc, font);
        const int previousMode = SetBkMode(strips->pictures.dc, TRANSPARENT);
        DrawBarValueText(strips->pictures.dc, 0, top, segments, height, value, driveUnits);
        SetBkMode(strips->pictures.dc, previousMode);
        SelectObject(strips->pictures.dc, previousFont);
    }
    BitBlt(dc, r.left, r.top, width, height, strips->pictures.dc, 0, top, SRCCOPY);
}
