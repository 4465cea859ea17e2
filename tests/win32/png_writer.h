// A PNG file of 24-bit RGB pixels, written without compression (stored deflate blocks), so that
// a person can look at what a test drew.
#pragma once

#include <stdint.h>

#include <string>

// pixels: width x height values 0x00RRGGBB, top row first (a 32-bit top-down DIB's layout).
bool WritePng(const std::string& path, int width, int height, const uint32_t* pixels);
