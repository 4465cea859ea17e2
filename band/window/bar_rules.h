// The segmented bar's geometry and colours: rules that need no Windows call.
// Compiled into vt.dll and into the native test build alike.
#pragma once

#include <stdint.h>

// Segments in a bar W pixels wide: (W - 3) / 3; no bar when the result is 0 or less (W < 6).
int BarSegmentCount(int width);

// Right edge (exclusive) of the bar box of u segments; the strip to its right runs to W.
inline int BarBoxRight(int segments) {
    return 3 * segments + 3;
}
// Left edge of segment i; it is two pixels wide, followed by a one-pixel gap.
inline int BarSegmentLeft(int i) {
    return 2 + 3 * i;
}

// Lit segments and peak position of a bar of u > 0 segments, scale > 0.
struct BarCounts {
    uint32_t lit;  // segments 0 to lit - 1 are lit
    uint32_t peak; // the peak position p: a dim trail from lit to p - 2, bright segment p - 1
};
// lit = u x value / scale in unsigned 32-bit arithmetic; while (lit + 1) x scale / u < value
// shows that the product wrapped (and scale is not 1), value, scale and peak lose their low bit
// and the division is done again. The peak position is u x peak / scale with the scale and peak
// so reduced, computed in 64 bits: a peak above the value can still wrap 32 bits when the value
// no longer does. Both stop at u, so that a value or peak above the scale fills the box and
// never draws past it.
BarCounts BarLitCount(uint32_t value, uint32_t scale, uint32_t peak, uint32_t segments);

struct BarColour {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
};
// Colour of gradient position i in a bar of u segments: green (16, 255, 16) at 0, yellow
// (240, 240, 0) at half = max(u / 2, 1), orange (255, 120, 0) at 2 x half; straight lines
// between, with signed division truncating toward zero; positions past 2 x half extrapolate,
// each channel held within 0..255.
BarColour BarGradientColour(int position, int segments);
// Each channel x 50 / 100, truncated: the dim trail.
BarColour HalfStrength(BarColour colour);
