#include "screen_shot.h"

#include "png_writer.h"

std::vector<uint32_t> CapturePixels(HDC source, int x, int y, int width, int height) {
    std::vector<uint32_t> pixels;
    if (width <= 0 || height <= 0) {
        return pixels;
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
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
        SelectObject(memory, old);
        GdiFlush();
        const uint32_t* first = static_cast<const uint32_t*>(bits);
        pixels.assign(first, first + width * height);
    }
    if (bitmap) {
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    return pixels;
}

bool WriteScreenPng(const char* path, HDC source, int x, int y, int width, int height) {
    const std::vector<uint32_t> pixels = CapturePixels(source, x, y, width, height);
    return !pixels.empty() && WritePng(path, width, height, pixels.data());
}
