// Bars on real pixels: drawn into a DIB section under Wine and read back.
#include <gtest/gtest.h>

#include <string.h>

#include <tuple>

#include "win32_test_support.h"
#include "window/bar_rules.h"
#include "window/bar_strips.h"
#include "window/draw_bar.h"

namespace {

const uint32_t magenta = 0xFF00FF, black = 0x000000;
const HFONT bandFont =
    CreateFontA(-12, 0, 0, 0, 0, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, "MS UI Gothic");

uint32_t Rgb(BarColour c) {
    return (uint32_t(c.red) << 16) | (uint32_t(c.green) << 8) | uint32_t(c.blue);
}

// The colour of an interior pixel (x in 2 .. 3u, y in 2 .. H - 3) of a bar of u segments with
// lit segments and peak position p: segment colours, then the dim trail up to the bright peak
// segment, and black gaps.
uint32_t Expected(int x, int u, uint32_t lit, uint32_t p) {
    const uint32_t i = static_cast<uint32_t>((x - 2) / 3);
    if ((x - 2) % 3 == 2 || (i >= lit && (p <= lit || i >= p))) {
        return black;
    }
    if (i < lit) {
        return Rgb(BarGradientColour(static_cast<int>(i), u));
    }
    const BarColour colour = BarGradientColour(static_cast<int>(i + 1 == p ? p : i), u);
    return Rgb(i + 1 == p ? colour : HalfStrength(colour));
}

// The wrong pixels of a magenta dib after DrawBar into r (nothing drawn at all when lit < 0):
// the sunken edge as DrawEdge draws it on black, the interior by the model, the strip right of
// the box in the button face colour, magenta outside r.
int WrongPixels(const Dib& dib, const RECT& r, int lit, uint32_t p) {
    const int w = r.right - r.left, h = r.bottom - r.top, u = BarSegmentCount(w);
    const int boxRight = BarBoxRight(u);
    Dib edge(lit < 0 ? 1 : boxRight, lit < 0 ? 1 : h);
    RECT box = {0, 0, boxRight, h};
    FillRect(edge.dc, &box, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    DrawEdge(edge.dc, &box, EDGE_SUNKEN, BF_RECT);
    int wrong = 0;
    for (int y = 0; y < dib.height; ++y) {
        for (int x = 0; x < dib.width; ++x) {
            const int bx = x - r.left, by = y - r.top;
            uint32_t want = magenta;
            if (lit < 0 || bx < 0 || bx >= w || by < 0 || by >= h) {
            } else if (bx >= boxRight) {
                want = RgbOf(GetSysColor(COLOR_BTNFACE));
            } else if (bx < 2 || bx >= boxRight - 2 || by < 2 || by >= h - 2) {
                want = edge.At(bx, by);
            } else {
                want = Expected(bx, u, uint32_t(lit), p);
            }
            wrong += dib.At(x, y) != want;
        }
    }
    return wrong;
}

// Bars of every shape pixel for pixel, as the band composes them from its strips (the plain
// drawing that the composed bars are checked against below draws the same).
TEST(DrawBar, EveryPixelOfEdgeSegmentsTrailPeakAndStrip) {
    // The rectangle, value, scale and peak, and the lit count and peak position drawn.
    const std::tuple<RECT, uint32_t, uint32_t, uint32_t, int, uint32_t> rows[] = {
        // W = 35: u = 10, half = 5, box 0 to 33, strip 33 to 35.
        {{4, 3, 39, 21}, 1000, 1000, 0, 10, 0},
        // Trails over 0 to 8 and 3 to 5, segments 9 and 6 in the colour of 10 and 7.
        {{0, 0, 33, 16}, 0, 500, 500, 0, 10},
        {{0, 0, 33, 16}, 30, 100, 70, 3, 7},
        // A peak at or below the value: no trail, no peak; one past it: the peak segment alone.
        {{0, 0, 33, 16}, 70, 100, 50, 7, 0},
        {{0, 0, 33, 16}, 70, 100, 79, 7, 7},
        {{0, 0, 33, 16}, 70, 100, 80, 7, 8},
        {{0, 0, 33, 16}, 0, 100, 0, 0, 0},
        // u x value wraps 32 bits: 75 of 100 lit.
        {{0, 0, 303, 14}, 3000000000u, 4000000000u, 4000000000u, 75, 100},
        // A peak left from a larger scale, a value above the scale, a wrapping peak: in the box.
        {{0, 0, 35, 16}, 20, 100, 900, 2, 10},
        {{0, 0, 35, 16}, 400, 100, 0, 10, 0},
        {{0, 0, 35, 16}, 0, 4000000000u, 4000000000u, 0, 10},
        {{0, 0, 100, 20}, 3000000000u, 4000000000u, 0, 24, 0}, // no font, no text
        // Narrow rectangles: none, one or two segments.
        {{2, 1, 7, 11}, 10, 10, 10, -1, 0},
        {{2, 1, 8, 11}, 10, 10, 10, 1, 1},
        {{2, 1, 11, 11}, 10, 10, 10, 2, 2},
        // A zero scale or no room draws nothing.
        {{0, 0, 40, 20}, 5, 0, 5, -1, 0},
        {{0, 0, 40, 0}, 5, 10, 5, -1, 0},
        {{0, 0, 0, 20}, 5, 10, 5, -1, 0},
        {{10, 0, 0, 20}, 5, 10, 5, -1, 0}};
    BarStrips strips = {};
    for (const auto& [r, value, scale, peak, lit, p] : rows) {
        SCOPED_TRACE(testing::Message() << r.right - r.left << " wide, " << value << " of " << scale
                                        << " peak " << peak);
        Dib dib(310, 26);
        dib.Fill(magenta);
        DrawBarThrough(&strips, dib.dc, r, value, scale, peak, nullptr, false);
        GdiFlush();
        EXPECT_EQ(WrongPixels(dib, r, lit, p), 0);
    }
    ReleaseBarStrips(&strips);
}

// Bars composed from the cached strips against the segment-by-segment drawing, pixel for pixel:
// widths around the segment steps and the strip sizes, heights down to one pixel, lit counts,
// trails, peaks in the last segment, wrapped products, values and peaks above the scale, without
// value text, with it and with it in drive units (FormatValue of the value passed in, not of the
// lit count). One set of strips serves every case, so sizes come and go in its cache as in a band.
TEST(ComposedBar, EqualsTheSegmentBySegmentDrawing) {
    const uint32_t cases[][3] = {{0, 100, 0},     {50, 100, 0},
                                 {100, 100, 100}, {0, 100, 100},
                                 {30, 100, 70},   {99, 100, 100},
                                 {1, 3, 2},       {200, 100, 300},
                                 {7, 1000, 8},    {3000000000u, 4000000000u, 3900000000u},
                                 {5, 0, 9}};
    BarStrips strips = {};
    for (int width : {5, 6, 8, 9, 12, 33, 47, 100, 149, 200}) {
        for (int height : {1, 2, 4, 9, 24}) {
            Dib reference(width + 4, height + 4), composed(width + 4, height + 4);
            for (const auto& c : cases) {
                for (int text : {0, 1, 2}) {
                    const HFONT font = text ? bandFont : nullptr;
                    reference.Fill(magenta);
                    composed.Fill(magenta);
                    RECT r = {2, 2, 2 + width, 2 + height};
                    DrawBar(reference.dc, r, c[0], c[1], c[2], font, text == 2);
                    DrawBarThrough(&strips, composed.dc, r, c[0], c[1], c[2], font, text == 2);
                    GdiFlush();
                    ASSERT_EQ(memcmp(reference.bits, composed.bits, (width + 4) * (height + 4) * 4),
                              0)
                        << width << "x" << height << " value " << c[0] << " scale " << c[1]
                        << " peak " << c[2] << " text " << text;
                }
            }
        }
    }
    ReleaseBarStrips(&strips);
}

} // namespace
