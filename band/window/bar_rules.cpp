#include "bar_rules.h"

namespace {

struct Stop {
    int64_t red;
    int64_t green;
    int64_t blue;
};

const Stop stopA = {16, 255, 16};
const Stop stopB = {240, 240, 0};
const Stop stopC = {255, 120, 0};

// (from x (span - offset) + to x offset) / span, signed, truncating toward zero, held within
// 0..255: past the last stop the line runs on, and a wrapped channel would turn orange black.
uint8_t Blend(int64_t from, int64_t to, int64_t offset, int64_t span) {
    const int64_t channel = (from * (span - offset) + to * offset) / span;
    return static_cast<uint8_t>(channel < 0 ? 0 : (channel > 255 ? 255 : channel));
}

} // namespace

int BarSegmentCount(int width) {
    return (width - 3) / 3;
}

BarCounts BarLitCount(uint32_t value, uint32_t scale, uint32_t peak, uint32_t segments) {
    const uint32_t u = segments;
    uint32_t lit = u * value / scale;
    while ((lit + 1) * scale / u < value && scale != 1) {
        value >>= 1;
        scale >>= 1;
        peak >>= 1;
        lit = u * value / scale;
    }
    const uint64_t position = uint64_t(u) * peak / scale;
    BarCounts counts;
    counts.lit = lit < u ? lit : u;
    counts.peak = position < u ? static_cast<uint32_t>(position) : u;
    return counts;
}

BarColour BarGradientColour(int position, int segments) {
    int64_t half = segments / 2;
    if (half < 1) {
        half = 1;
    }
    const int64_t i = position;
    const Stop& from = i < half ? stopA : stopB;
    const Stop& to = i < half ? stopB : stopC;
    const int64_t offset = i < half ? i : i - half;
    BarColour colour;
    colour.red = Blend(from.red, to.red, offset, half);
    colour.green = Blend(from.green, to.green, offset, half);
    colour.blue = Blend(from.blue, to.blue, offset, half);
    return colour;
}

BarColour HalfStrength(BarColour colour) {
    BarColour dim;
    dim.red = static_cast<uint8_t>(colour.red * 50 / 100);
    dim.green = static_cast<uint8_t>(colour.green * 50 / 100);
    dim.blue = static_cast<uint8_t>(colour.blue * 50 / 100);
    return dim;
}
