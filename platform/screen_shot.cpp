#include "screen_shot.h"

#include "png_writer.h"

bool WriteScreenPng(const char* path, HDC source, int x, int y, int width, int height) {
    if (width <= 0 || height <= 0) {
        return false;
    }
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down, the row order a PNG wants
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool written = false;
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
        SelectObject(memory, old);
        GdiFlush();
        written = WritePng(path, width, height, static_cast<const uint32_t*>(bits));
    }
    if (bitmap) {
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    return written;
}
