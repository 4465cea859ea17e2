// Writes 24-bit pictures as PNG files (stored, uncompressed deflate blocks): enough for
// screenshots that a person opens, with no library to carry along.
#pragma once

#include <stdint.h>

// pixels: rows top to bottom, 3 bytes per pixel in red, green, blue order.
bool WritePng(const char* path, const unsigned char* pixels, uint32_t width, uint32_t height);
