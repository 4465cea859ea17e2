// An area of a device context (a window's, or the screen's) read back, or written as a PNG file.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <vector>

// The area's pixels as 0x00RRGGBB, rows top-down; empty when it cannot be read.
std::vector<uint32_t> CapturePixels(HDC source, int x, int y, int width, int height);
bool WriteScreenPng(const char* path, HDC source, int x, int y, int width, int height);
