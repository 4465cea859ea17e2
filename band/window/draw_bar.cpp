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

// end, or the number of segments that start inside a bitmap of the given width if that is less:
// segments further right (a value or peak above the scale) would be clipped away entirely, so
// they are not filled at all. Segment i starts at 2 + 3i, inside for i < width / 3.
uint32_t VisibleEnd(uint32_t end, int width) {
    const uint32_t visible = static_cast<uint32_t>(width / 3);
    return end < visible ? end : visible;
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

    const uint32_t litEnd = VisibleEnd(counts.lit, width);
    for (uint32_t i = 0; i < litEnd; ++i) {
        const int position = static_cast<int>(i);
        FillSegment(memory, position, height, ColourRef(BarGradientColour(position, segments)));
    }
    if (counts.peak > counts.lit) {
        const uint32_t trailEnd = VisibleEnd(counts.peak - 1, width);
        for (uint32_t i = counts.lit; i < trailEnd; ++i) {
            const int position = static_cast<int>(i);
            FillSegment(memory, position, height,
                        ColourRef(HalfStrength(BarGradientColour(position, segments))));
        }
        if (VisibleEnd(counts.peak, width) == counts.peak) {
            // The peak segment takes the colour one position further along the gradient.
            const int position = static_cast<int>(counts.peak);
            FillSegment(memory, position - 1, height,
                        ColourRef(BarGradientColour(position, segments)));
        }
    }

    if (font) {
        DrawValueText(memory, value, driveUnits, font, segments, height);
    }

    BitBlt(dc, r.left, r.top, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previousBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
}
