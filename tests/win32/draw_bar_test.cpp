// DrawBar on real pixels: bars drawn into a DIB section under Wine and read back.
#include <gtest/gtest.h>

#include <string.h>

#include "import_hook.h"
#include "meters/meter.h"
#include "win32_test_support.h"
#include "window/bar_rules.h"
#include "window/bar_strips.h"
#include "window/draw_bar.h"

namespace {

const uint32_t magenta = 0xFF00FF;
const uint32_t black = 0x000000;
const uint32_t white = 0xFFFFFF;

uint32_t Rgb(int r, int g, int b) {
    return (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
}
uint32_t Rgb(BarColour c) {
    return Rgb(c.red, c.green, c.blue);
}
uint32_t ButtonFace() {
    return RgbOf(GetSysColor(COLOR_BTNFACE));
}

// The expected colour of an interior pixel (x in 2 .. 3u, y in 2 .. H - 3) of a bar with lit
// segments, peak position p and u segments: segment colours, dim trail, peak, black gaps.
uint32_t Expected(int x, int u, uint32_t lit, uint32_t p) {
    if ((x - 2) % 3 == 2) {
        return black;
    }
    const uint32_t i = static_cast<uint32_t>((x - 2) / 3);
    if (i < lit) {
        return Rgb(BarGradientColour(static_cast<int>(i), u));
    }
    if (p > lit && i + 2 <= p) {
        return Rgb(HalfStrength(BarGradientColour(static_cast<int>(i), u)));
    }
    if (p > lit && i + 1 == p) {
        return Rgb(BarGradientColour(static_cast<int>(p), u));
    }
    return black;
}

// Segment i's colour as drawn (its top-left pixel), and a check that both its columns and every
// row from 2 to H - 3 carry it.
uint32_t Segment(const Dib& dib, int ox, int oy, int height, int i) {
    const int x = ox + BarSegmentLeft(i);
    const uint32_t colour = dib.At(x, oy + 2);
    for (int y = oy + 2; y < oy + height - 2; ++y) {
        EXPECT_EQ(dib.At(x, y), colour) << "segment " << i << " row " << y;
        EXPECT_EQ(dib.At(x + 1, y), colour) << "segment " << i << " row " << y;
    }
    return colour;
}

// The whole bar drawn at (ox, oy), W x H: the sunken edge as DrawEdge draws it on black, the
// interior by the model, the strip in the button face colour.
void ExpectBar(const Dib& dib, int ox, int oy, int w, int h, uint32_t lit, uint32_t p) {
    const int u = BarSegmentCount(w);
    const int boxRight = BarBoxRight(u);
    Dib edge(boxRight, h);
    RECT box = {0, 0, boxRight, h};
    FillRect(edge.dc, &box, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    DrawEdge(edge.dc, &box, EDGE_SUNKEN, BF_RECT);
    int wrong = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint32_t want;
            if (x >= boxRight) {
                want = ButtonFace();
            } else if (x < 2 || x >= boxRight - 2 || y < 2 || y >= h - 2) {
                want = edge.At(x, y);
            } else {
                want = Expected(x, u, lit, p);
            }
            const uint32_t got = dib.At(ox + x, oy + y);
            if (got != want && ++wrong <= 5) {
                ADD_FAILURE() << "pixel " << x << "," << y << " is " << RgbText(got)
                              << ", expected " << RgbText(want);
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

// Nothing outside the rectangle at (ox, oy), W x H, changed from magenta.
void ExpectUntouchedOutside(const Dib& dib, int ox, int oy, int w, int h) {
    for (int y = 0; y < dib.height; ++y) {
        for (int x = 0; x < dib.width; ++x) {
            if (x >= ox && x < ox + w && y >= oy && y < oy + h) {
                continue;
            }
            ASSERT_EQ(dib.At(x, y), magenta) << x << "," << y;
        }
    }
}

void Draw(Dib& dib, int ox, int oy, int w, int h, uint32_t value, uint32_t scale, uint32_t peak,
          HFONT font = nullptr, bool driveUnits = false) {
    RECT r = {ox, oy, ox + w, oy + h};
    DrawBar(dib.dc, r, value, scale, peak, font, driveUnits);
}

HFONT BandFont(int height) {
    return CreateFontA(-height, 0, 0, 0, 0, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0,
                       "MS UI Gothic");
}

TEST(DrawBar, FullBarHasItsBoxEdgeStripAndGradientStops) {
    Dib dib(50, 26);
    dib.Fill(magenta);
    // W = 35: u = 10, half = 5, box 0 to 33, strip 33 to 35.
    Draw(dib, 4, 3, 35, 18, 1000, 1000, 0);
    ExpectBar(dib, 4, 3, 35, 18, 10, 0);
    ExpectUntouchedOutside(dib, 4, 3, 35, 18);
    EXPECT_EQ(RgbText(Segment(dib, 4, 3, 18, 0)), "16,255,16");
    EXPECT_EQ(RgbText(Segment(dib, 4, 3, 18, 5)), "240,240,0");
    EXPECT_EQ(RgbText(Segment(dib, 4, 3, 18, 9)), "252,144,0");
    EXPECT_EQ(dib.At(4 + 33, 3 + 9), ButtonFace()) << "the strip right of the box";
    EXPECT_EQ(dib.At(4 + 34, 3 + 9), ButtonFace());
    EXPECT_EQ(dib.At(4 + 4, 3 + 9), black) << "the gap after segment 0";
}

TEST(DrawBar, LitCountDimTrailAndBrightPeakPixelForPixel) {
    // W, H, value, scale, peak -> lit segments, peak position.
    const uint32_t rows[][7] = {
        {33, 16, 0, 500, 500, 0, 10}, // trail over 0 to 8, segment 9 in the colour of 10
        {33, 16, 30, 100, 70, 3, 7},  // trail over 3 to 5, segment 6 in the colour of 7
        {33, 16, 70, 100, 50, 7, 0},  // a peak at or below the value: no trail, no peak
        {33, 16, 70, 100, 79, 7, 7},
        {33, 16, 70, 100, 80, 7, 8}, // one past the value: the peak segment alone
        {33, 16, 0, 100, 0, 0, 0},
        // u x value wraps 32 bits: 75 of 100 lit.
        {303, 14, 3000000000u, 4000000000u, 4000000000u, 75, 100},
        // A peak left from a larger scale, a value above the scale, a wrapping peak: inside the
        // box.
        {35, 16, 20, 100, 900, 2, 10},
        {35, 16, 400, 100, 0, 10, 0},
        {35, 16, 0, 4000000000u, 4000000000u, 0, 10},
        {100, 20, 3000000000u, 4000000000u, 0, 24, 0}}; // without a font, no text
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r[2] << " of " << r[3] << " peak " << r[4]);
        const int w = static_cast<int>(r[0]), h = static_cast<int>(r[1]);
        Dib dib(w, h);
        Draw(dib, 0, 0, w, h, r[2], r[3], r[4]);
        ExpectBar(dib, 0, 0, w, h, r[5], r[6]);
    }
    Dib dib(33, 16);
    Draw(dib, 0, 0, 33, 16, 0, 500, 500);
    EXPECT_EQ(RgbText(Segment(dib, 0, 0, 16, 0)), "8,127,8") << "half of 16,255,16";
    EXPECT_EQ(RgbText(Segment(dib, 0, 0, 16, 5)), "120,120,0");
    EXPECT_EQ(RgbText(Segment(dib, 0, 0, 16, 9)), "255,120,0");
}

TEST(DrawBar, NarrowRectanglesGetNoneOneOrTwoSegments) {
    Dib dib(30, 12);
    dib.Fill(magenta);
    Draw(dib, 2, 1, 5, 10, 10, 10, 10);
    ExpectUntouchedOutside(dib, 0, 0, 0, 0);
    for (int w = 6; w <= 8; ++w) {
        dib.Fill(magenta);
        Draw(dib, 2, 1, w, 10, 10, 10, 10);
        ExpectBar(dib, 2, 1, w, 10, 1, 1);
        ExpectUntouchedOutside(dib, 2, 1, w, 10);
        EXPECT_EQ(RgbText(dib.At(2 + 2, 5)), "16,255,16") << "W " << w;
    }
    dib.Fill(magenta);
    Draw(dib, 2, 1, 9, 10, 10, 10, 10);
    ExpectBar(dib, 2, 1, 9, 10, 2, 2);
    EXPECT_EQ(RgbText(dib.At(2 + 2, 5)), "16,255,16");
    EXPECT_EQ(RgbText(dib.At(2 + 5, 5)), "240,240,0") << "segment 1 is the yellow stop, half 1";
}

TEST(DrawBar, ZeroScaleOrNoRoomDrawsNothing) {
    Dib dib(40, 20);
    dib.Fill(magenta);
    Draw(dib, 0, 0, 40, 20, 5, 0, 5);
    Draw(dib, 0, 0, 40, 0, 5, 10, 5);
    Draw(dib, 0, 0, 0, 20, 5, 10, 5);
    Draw(dib, 10, 0, -10, 20, 5, 10, 5);
    ExpectUntouchedOutside(dib, 0, 0, 0, 0);
}

int bitBlts;
void* realBitBlt;
BOOL WINAPI CountingBitBlt(HDC d, int x, int y, int w, int h, HDC s, int sx, int sy, DWORD rop) {
    ++bitBlts;
    return reinterpret_cast<decltype(&BitBlt)>(realBitBlt)(d, x, y, w, h, s, sx, sy, rop);
}

TEST(DrawBar, OneCopyToTheTargetAndEveryObjectDeleted) {
    InstallGdiCounter();
    HFONT font = BandFont(12);
    Dib dib(120, 24);
    realBitBlt = HookImport("gdi32.dll", "BitBlt", reinterpret_cast<void*>(&CountingBitBlt));
    ASSERT_NE(realBitBlt, nullptr);
    bitBlts = 0;
    const long live = LiveGdiObjects();
    const long created = GdiObjectsCreated();
    Draw(dib, 0, 0, 120, 24, 50, 100, 90, font);
    HookImport("gdi32.dll", "BitBlt", realBitBlt);
    EXPECT_EQ(bitBlts, 1);
    // u = 39: a memory DC, a bitmap and one brush for each of the 19 lit segments, the 15 of the
    // trail (19 to 33) and the peak segment 34.
    EXPECT_EQ(GdiObjectsCreated() - created, 2 + 19 + 15 + 1);
    EXPECT_EQ(LiveGdiObjects(), live) << "everything DrawBar made is gone";
    // The counter catches a leak: an object made and kept shows up.
    HBRUSH kept = CreateSolidBrush(RGB(1, 2, 3));
    EXPECT_EQ(LiveGdiObjects(), live + 1);
    DeleteObject(kept);
    EXPECT_EQ(LiveGdiObjects(), live);
    DeleteObject(font);
}

// The value's text as DrawBar must write it: FormatValue of the value passed in, right and
// bottom aligned in x 0 to 3u, y 0 to H - 2, white; drawn here alone on black.
void ExpectValueText(uint32_t value, uint32_t scale, bool driveUnits, const char* text) {
    SCOPED_TRACE(text);
    char formatted[FormatValueCapacity];
    FormatValue(value, driveUnits, formatted, sizeof(formatted));
    ASSERT_STREQ(formatted, text);
    const int w = 100, h = 20, u = BarSegmentCount(w);
    HFONT font = BandFont(12);
    Dib reference(w, h);
    reference.Fill(black);
    HGDIOBJ previous = SelectObject(reference.dc, font);
    SetBkMode(reference.dc, TRANSPARENT);
    SetTextColor(reference.dc, RGB(255, 255, 255));
    RECT face = {0, 0, 3 * u, h - 2};
    DrawTextA(reference.dc, text, -1, &face, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(reference.dc, previous);

    Dib dib(w, h);
    Draw(dib, 0, 0, w, h, value, scale, 0, font, driveUnits);
    int whites = 0, shadows = 0;
    // The box's outer highlight (white) lies outside the text's rectangle, so every white pixel
    // inside it is text.
    for (int y = 0; y < h - 2; ++y) {
        for (int x = 0; x < 3 * u + 1; ++x) {
            const bool textWhite = reference.At(x, y) == white;
            ASSERT_EQ(dib.At(x, y) == white, textWhite) << x << "," << y;
            whites += textWhite;
            // Right of a white pixel, where the face itself leaves nothing, lies the shadow.
            if (textWhite && reference.At(x + 1, y) == black) {
                EXPECT_EQ(dib.At(x + 1, y), black) << "shadow at " << x + 1 << "," << y;
                ++shadows;
            }
        }
    }
    EXPECT_GT(whites, 10);
    EXPECT_GT(shadows, 5);
    DeleteObject(font);
}

TEST(DrawBar, ValueTextIsWhiteWithItsBlackShadowOnTheRight) {
    // The text shows the value as passed in, not the halved one of the lit count; the same bar
    // without a font has no text (above).
    ExpectValueText(3000000000u, 4000000000u, false, "2861M");
    ExpectValueText(50, 100, false, "50");
    ExpectValueText(2097152, 4000000, true, "2.00G");
}

// Bars composed from the cached strips against the segment-by-segment drawing, pixel for pixel:
// widths around the segment steps and the strip sizes, lit counts, trails, peaks in the last
// segment, wrapped products, values and peaks above the scale, with and without value text.
// One set of strips serves every case, so sizes come and go in its cache as in a band.
TEST(ComposedBar, EqualsTheSegmentBySegmentDrawing) {
    struct Case {
        uint32_t value;
        uint32_t scale;
        uint32_t peak;
    };
    const Case cases[] = {{0, 100, 0},     {50, 100, 0},
                          {100, 100, 100}, {0, 100, 100},
                          {30, 100, 70},   {99, 100, 100},
                          {1, 3, 2},       {200, 100, 300},
                          {7, 1000, 8},    {3000000000u, 4000000000u, 3900000000u},
                          {5, 0, 9}};
    HFONT font = BandFont(12);
    BarStrips strips;
    ZeroMemory(&strips, sizeof(strips));
    for (int width : {5, 6, 8, 9, 12, 33, 47, 100, 149, 200}) {
        for (int height : {4, 9, 24}) {
            Dib reference(width + 4, height + 4);
            Dib composed(width + 4, height + 4);
            for (const Case& c : cases) {
                for (HFONT withFont : {static_cast<HFONT>(nullptr), font}) {
                    reference.Fill(magenta);
                    composed.Fill(magenta);
                    RECT r = {2, 2, 2 + width, 2 + height};
                    DrawBar(reference.dc, r, c.value, c.scale, c.peak, withFont, false);
                    DrawBarThrough(&strips, composed.dc, r, c.value, c.scale, c.peak, withFont,
                                   false);
                    GdiFlush();
                    const size_t pixels = size_t(reference.width) * size_t(reference.height);
                    ASSERT_EQ(memcmp(reference.bits, composed.bits, pixels * 4), 0)
                        << width << "x" << height << " value " << c.value << " scale " << c.scale
                        << " peak " << c.peak << (withFont ? " with text" : "");
                }
            }
        }
    }
    ReleaseBarStrips(&strips);
    DeleteObject(font);
}

} // namespace
