#include "draw_bar.h"

#include "../meters/meter.h"
#include "bar_rules.h"

namespace {

COLORREF ColourRef(BarColour colour) {
    return RGB(colour.red, colour.green, colour.blue);
}

// Segment i filled with a solid brush of its own.
void FillSegment(HDC dc, int i, int height, COLORREF colour) {
    const int left = BarSegmentLeft(i);
    RECT segment = {left, 2, left + 2, height - 2};
    HBRUSH brush = CreateSolidBrush(colour);
    if (brush) {
        FillRect(dc, &segment, brush);
        DeleteObject(brush);
    }
}

void DrawValueText(HDC dc, uint32_t value, bool driveUnits, HFONT font, int segments, int height) {
    char text[FormatValueCapacity];
    const int length = static_cast<int>(FormatValue(value, driveUnits, text, sizeof(text)));
    HGDIOBJ previousFont = SelectObject(dc, font);
    const int previousMode = SetBkMode(dc, TRANSPARENT);
    const UINT format = DT_RIGHT | DT_BOTTOM | DT_SINGLELINE | DT_NOPREFIX;
    RECT shadow = {0, 0, 3 * segments + 1, height - 2};
    SetTextColor(dc, RGB(0, 0, 0));
    DrawTextA(dc, text, length, &shadow, format);
    RECT face = {0, 0, 3 * segments, height - 2};
    SetTextColor(dc, RGB(255, 255, 255));
    DrawTextA(dc, text, length, &face, format);
    SetBkMode(dc, previousMode);
    SelectObject(dc, previousFont);
}

} // namespace

void DrawBar(HDC dc, const RECT& r, uint32_t value, uint32_t scale, uint32_t peak, HFONT font,
             bool driveUnits) {
    if (scale == 0) {
        return;
    }
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    const int segments = BarSegmentCount(width);
    if (segments <= 0 || height <= 0) {
        return;
    }
    HDC memory = CreateCompatibleDC(dc);
    if (!memory) {
        return;
    }
    const BarCounts counts = BarLitCount(value, scale, peak, static_cast<uint32_t>(segments));
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    if (!bitmap) {
        DeleteDC(memory);
        return;
    }
    HGDIOBJ previousBitmap = SelectObject(memory, bitmap);

    RECT box = {0, 0, BarBoxRight(segments), height};
    FillRect(memory, &box, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    DrawEdge(memory, &box, EDGE_SUNKEN, BF_RECT);
    RECT strip = {box.right, 0, width, height};
    FillRect(memory, &strip, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1)));

    // Both counts are at most u, so every segment lies inside the box.
    const int lit = static_cast<int>(counts.lit);
    const int peakPosition = static_cast<int>(counts.peak);
    for (int i = 0; i < lit; ++i) {
        FillSegment(memory, i, height, ColourRef(BarGradientColour(i, segments)));
    }
    if (peakPosition > lit) {
        for (int i = lit; i < peakPosition - 1; ++i) {
            FillSegment(memory, i, height, ColourRef(HalfStrength(BarGradientColour(i, segments))));
        }
        // The peak segment takes the colour one position further along the gradient.
        FillSegment(memory, peakPosition - 1, height,
                    ColourRef(BarGradientColour(peakPosition, segments)));
    }

    if (font) {
        DrawValueText(memory, value, driveUnits, font, segments, height);
    }

    BitBlt(dc, r.left, r.top, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previousBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
}
