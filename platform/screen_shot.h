// An area of a device context (a window's, or the screen's) written as a PNG file.
#pragma once

#include <windows.h>

bool WriteScreenPng(const char* path, HDC source, int x, int y, int width, int height);
