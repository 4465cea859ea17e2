// Writes 24-bit pictures as PNG files (stored, uncompressed deflate blocks): enough for
// screenshots that a person opens, with no library to carry along.
#pragma once

#include <stdint.h>

// pixels: width x height values 0x00RRGGBB, top row first (a 32-bit top-down DIB's layout).
bool WritePng(const char* path, int width, int height, const uint32_t* pixels);
