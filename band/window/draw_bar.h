// One segmented gradient bar drawn segment by segment, each with a brush of its own: the plain
// drawing that the composed bars (bar_strips.h) are checked against, pixel for pixel.
#pragma once

#include <windows.h>

#include <stdint.h>

// Draws the bar of value against scale, with the peak's trail and mark, into r of dc. With a
// font, the value is written into the bar (white with a black shadow); without, no text.
// Draws nothing for a scale of 0 or a rectangle less than 6 pixels wide. Every GDI object it
// makes is deleted before it returns.
void DrawBar(HDC dc, const RECT& r, uint32_t value, uint32_t scale, uint32_t peak, HFONT font,
             bool driveUnits);
