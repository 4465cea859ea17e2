// Segmented gradient bars composed from cached pictures of whole bars: a bar costs a few copies,
// its value text and nothing else, however many segments it has.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "bar_rules.h"

enum {
    BarStripSizeCount = 4, // bar sizes kept at once: a band's cells differ by a pixel at most
    BarStripRows = 5,      // segments black, lit, at half strength, as peak; a row to compose in
};

// A memory DC with a bitmap of its own selected into it.
struct OffscreenBitmap {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ previousBitmap;
};

// Gives the record a new width x height bitmap compatible with reference, the DC made when
// missing and the old bitmap deleted; false, the old bitmap kept, when a GDI object is not made.
bool ResizeOffscreen(OffscreenBitmap* offscreen, HDC reference, int width, int height);
// Deletes the bitmap and the DC; the record is empty afterwards.
void ReleaseOffscreen(OffscreenBitmap* offscreen);

// Where the rows of one bar size start in the strips bitmap.
struct BarStripSize {
    int width;
    int height;
    int top;
};

// Pictures of whole bars (box, sunken edge, strip to the right) for each size in use, one row per
// way a segment can look; a bar is then a few copies of column ranges from these rows. Created
// when first needed, rebuilt when a new size comes, released by ReleaseBarStrips. The pictures
// hold system colours: release them when those change.
struct BarStrips {
    OffscreenBitmap pictures;
    int count;
    BarStripSize sizes[BarStripSizeCount];
};

// The strips' entry for a width x height bar, made compatible with reference when missing.
// Null when width gives no segment or the GDI objects could not be made.
const BarStripSize* PrepareBarStrips(BarStrips* strips, HDC reference, int width, int height);
// Deletes the strips' bitmap and DC; the record is empty afterwards.
void ReleaseBarStrips(BarStrips* strips);

// Copies the bar of counts from the strips into dc with its top-left corner at x, y: at most
// four BitBlt calls (lit part, trail, peak segment, unlit remainder).
void ComposeBar(HDC dc, int x, int y, const BarStrips& strips, const BarStripSize& size,
                BarCounts counts);
// The value written into a bar of the given segment count and height at x, y: black, then white
// one pixel further left. The caller has selected the font and set the transparent mode.
void DrawBarValueText(HDC dc, int x, int y, int segments, int height, uint32_t value,
                      bool driveUnits);

// The bar of value against scale with its peak's trail and mark, and with a font its value text,
// composed through the strips and copied into r of dc in one step. Nothing for a scale of 0 or
// a rectangle less than 6 pixels wide.
void DrawBarThrough(BarStrips* strips, HDC dc, const RECT& r, uint32_t value, uint32_t scale,
                    uint32_t peak, HFONT font, bool driveUnits);
