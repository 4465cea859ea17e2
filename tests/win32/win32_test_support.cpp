#include "win32_test_support.h"

#include <gtest/gtest.h>

#include <string.h>

std::string ProgramFolder() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

DWORD RunAndWait(std::string commandLine) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return 0xFFFFFFFF;
    }
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

namespace {

HKEY CreateKey(HKEY root, const char* path) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << path;
    return key;
}

} // namespace

void SetStatData(const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = CreateKey(HKEY_DYN_DATA, "PerfStats\\StatData");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void SetStatTotal(const char* name, DWORD total) {
    SetStatData(name, REG_BINARY, &total, sizeof(total));
}

void CreateStartStat() {
    HKEY key = CreateKey(HKEY_DYN_DATA, "PerfStats\\StartStat");
    RegCloseKey(key);
}

void DeleteStartStat() {
    DeleteKeyTree(HKEY_DYN_DATA, "PerfStats\\StartStat");
}

void SetStatDescription(const char* key, const char* name, const char* differentiate) {
    std::string path = "System\\CurrentControlSet\\Control\\PerfStats\\Enum\\";
    path += key;
    DeleteKeyTree(HKEY_LOCAL_MACHINE, path.c_str());
    HKEY description = CreateKey(HKEY_LOCAL_MACHINE, path.c_str());
    ASSERT_NE(description, nullptr);
    if (name) {
        RegSetValueExA(description, "Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                       static_cast<DWORD>(strlen(name) + 1));
    }
    if (differentiate) {
        RegSetValueExA(description, "Differentiate", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(differentiate),
                       static_cast<DWORD>(strlen(differentiate) + 1));
    }
    RegCloseKey(description);
}

void DeleteKeyTree(HKEY root, const char* path) {
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        return;
    }
    char child[256];
    while (RegEnumKeyA(key, 0, child, sizeof(child)) == ERROR_SUCCESS) {
        std::string childPath = std::string(path) + "\\" + child;
        DeleteKeyTree(root, childPath.c_str());
    }
    RegCloseKey(key);
    RegDeleteKeyA(root, path);
}

TestBand::TestBand() {
    InitMeterBandFields(&band);
    band.window = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 200, 40, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
}

TestBand::~TestBand() {
    ReleaseMeters(band.meters);
    if (band.font) {
        DeleteObject(band.font); // made by the grid choice of a tick
    }
    if (band.window) {
        DestroyWindow(band.window);
    }
}

Meter* TestBand::Add(MeterKind kind, const char* key, int index, DWORD interval) {
    return AppendMeter(&band.meters, kind, key, index, interval);
}

Meter* AppendMeter(Meter** head, MeterKind kind, const char* key, int index, DWORD interval) {
    Meter* meter = CreateMeter();
    meter->kind = kind;
    meter->key = CopyText(key);
    meter->index = index;
    meter->interval = interval;
    Meter** tail = head;
    while (*tail) {
        tail = &(*tail)->next;
    }
    *tail = meter;
    return meter;
}

Dib::Dib(int w, int h)
    : dc(nullptr), bitmap(nullptr), previous(nullptr), bits(nullptr), width(w), height(h) {
    BITMAPINFO info;
    ZeroMemory(&info, sizeof(info));
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    bits = static_cast<uint32_t*>(pixels);
    dc = CreateCompatibleDC(nullptr);
    previous = SelectObject(dc, bitmap);
    EXPECT_NE(bits, nullptr);
}

Dib::~Dib() {
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(bitmap);
}

uint32_t Dib::At(int x, int y) const {
    GdiFlush();
    return bits[static_cast<size_t>(y) * width + x] & 0xFFFFFF;
}

void Dib::Fill(uint32_t rgb) {
    GdiFlush();
    for (int i = 0; i < width * height; ++i) {
        bits[i] = rgb;
    }
}

uint32_t RgbOf(COLORREF colour) {
    return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

std::string RgbText(uint32_t rgb) {
    return std::to_string((rgb >> 16) & 0xFF) + "," + std::to_string((rgb >> 8) & 0xFF) + "," +
           std::to_string(rgb & 0xFF);
}
