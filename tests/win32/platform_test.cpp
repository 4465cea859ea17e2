// The stand-ins for the Windows 98 statistics and rsrc32.dll publish what the band reads.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "win32_test_support.h"

namespace {

std::string PlatformFolder() {
    return ProgramFolder() + "..\\..\\platform\\";
}

bool ReadStatistic(const char* name, DWORD* value) {
    HKEY data;
    if (RegOpenKeyExA(HKEY_DYN_DATA, "PerfStats\\StatData", 0, KEY_READ, &data) != ERROR_SUCCESS) {
        return false;
    }
    DWORD type = 0;
    DWORD size = sizeof(*value);
    const LONG result =
        RegQueryValueExA(data, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(data);
    return result == ERROR_SUCCESS && type == REG_BINARY && size == 4;
}

std::string Description(const char* key, const char* value) {
    std::string path = std::string("System\\CurrentControlSet\\Control\\PerfStats\\Enum\\") + key;
    HKEY described;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &described) != ERROR_SUCCESS) {
        return "<none>";
    }
    char text[256] = {};
    DWORD size = sizeof(text) - 1;
    RegQueryValueExA(described, value, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(described);
    return text;
}

TEST(StatisticsProvider, PublishesHostFiguresWithTheirDescriptions) {
    DeleteKeyTree(HKEY_DYN_DATA, "PerfStats\\StartStat");
    ASSERT_EQ(RunAndWait("\"" + PlatformFolder() + "statistics_provider.exe\" 2"), 0u);
    DWORD usage = 0xFFFFFFFF;
    ASSERT_TRUE(ReadStatistic("KERNEL\\CPUUsage", &usage));
    EXPECT_LE(usage, 100u);
    DWORD threads = 0;
    ASSERT_TRUE(ReadStatistic("KERNEL\\Threads", &threads));
    EXPECT_GT(threads, 0u) << "the host runs threads";
    DWORD bytes = 0;
    EXPECT_TRUE(ReadStatistic("VFAT\\BytesRead", &bytes));
    EXPECT_EQ(Description("KERNEL\\CPUUsage", "Name"), "プロセッサ使用率 (%)");
    EXPECT_EQ(Description("VFAT\\BytesRead", "Differentiate"), "TRUE");
    EXPECT_EQ(Description("KERNEL", "Name"), "カーネル");
    HKEY start;
    ASSERT_EQ(RegOpenKeyExA(HKEY_DYN_DATA, "PerfStats\\StartStat", 0, KEY_READ, &start),
              ERROR_SUCCESS);
    RegCloseKey(start);
}

TEST(Rsrc32StandIn, AnswersFreePercentagesForTheThreeHeaps) {
    HMODULE module = LoadLibraryA((PlatformFolder() + "rsrc32.dll").c_str());
    ASSERT_NE(module, nullptr);
    typedef UINT(WINAPI * FreeResources)(UINT);
    FreeResources function = reinterpret_cast<FreeResources>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "_MyGetFreeSystemResources32@4")));
    ASSERT_NE(function, nullptr);
    for (UINT which = 0; which <= 2; ++which) {
        EXPECT_LE(function(which), 100u) << which;
    }
    EXPECT_LE(function(0), function(1)) << "system resources are the lower of the heaps";
    FreeLibrary(module);
}

std::vector<unsigned char> FileBytes(const std::string& path) {
    std::vector<unsigned char> bytes;
    FILE* in = fopen(path.c_str(), "rb");
    if (!in) {
        return bytes;
    }
    int c;
    while ((c = fgetc(in)) != EOF) {
        bytes.push_back(static_cast<unsigned char>(c));
    }
    fclose(in);
    return bytes;
}

// Pixels (0xRRGGBB) of a PNG as the band's tools write it: 8-bit RGB in stored deflate blocks.
bool ReadStoredPng(const std::vector<unsigned char>& png, int* width, int* height,
                   std::vector<uint32_t>* pixels) {
    std::vector<unsigned char> zlib;
    size_t at = 8;
    auto number = [&png](size_t i) {
        return uint32_t(png[i]) << 24 | uint32_t(png[i + 1]) << 16 | uint32_t(png[i + 2]) << 8 |
               png[i + 3];
    };
    while (at + 12 <= png.size()) {
        const uint32_t length = number(at);
        const std::string type(png.begin() + at + 4, png.begin() + at + 8);
        if (at + 12 + length > png.size()) {
            return false;
        }
        if (type == "IHDR") {
            *width = static_cast<int>(number(at + 8));
            *height = static_cast<int>(number(at + 12));
        } else if (type == "IDAT") {
            zlib.insert(zlib.end(), png.begin() + at + 8, png.begin() + at + 8 + length);
        }
        at += 12 + length;
    }
    std::vector<unsigned char> raw;
    for (size_t i = 2; i + 5 <= zlib.size();) {
        const bool last = zlib[i] & 1;
        const size_t block = zlib[i + 1] | zlib[i + 2] << 8;
        raw.insert(raw.end(), zlib.begin() + i + 5, zlib.begin() + i + 5 + block);
        i += 5 + block;
        if (last) {
            break;
        }
    }
    const size_t stride = 1 + size_t(*width) * 3;
    if (*width <= 0 || raw.size() != stride * size_t(*height)) {
        return false;
    }
    for (int y = 0; y < *height; ++y) {
        for (int x = 0; x < *width; ++x) {
            const unsigned char* p = &raw[y * stride + 1 + x * 3];
            pixels->push_back(uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]);
        }
    }
    return true;
}

TEST(BandHost, ShowsTheRegisteredBandKeepsItsStateAndWritesAScreenshot) {
    const std::string dll = PlatformFolder() + "..\\band\\vt.dll";
    const std::string state = PlatformFolder() + "bandhost-test-state.bin";
    const std::string shot = PlatformFolder() + "bandhost-test.png";
    DeleteFileA(state.c_str());
    DeleteFileA(shot.c_str());
    ASSERT_EQ(RunAndWait("regsvr32.exe /s \"" + dll + "\""), 0u);

    const std::string host = "\"" + PlatformFolder() + "bandhost.exe\" /state \"" + state + "\"";
    ASSERT_EQ(RunAndWait(host + " /default /exit 2 /screenshot \"" + shot + "\""), 0u);
    const std::vector<unsigned char> saved = FileBytes(state);
    // Four meters: processor usage, memory load, free physical memory and drive C:.
    ASSERT_EQ(saved.size(), 24u + (15 + 25) + (11 + 25) + (16 + 25) + (9 + 25));
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    ASSERT_TRUE(ReadStoredPng(FileBytes(shot), &width, &height, &pixels));
    EXPECT_EQ(width, 600);
    EXPECT_EQ(height, 40);
    // Lit segments start green: the bars of memory and drive C: show them.
    int green = 0;
    for (uint32_t pixel : pixels) {
        const uint32_t r = pixel >> 16, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
        green += g > 150 && r < 150 && b < 100;
    }
    EXPECT_GT(green, 50);

    // The next start restores the band from the file and saves it unchanged.
    ASSERT_EQ(RunAndWait(host + " /exit 1"), 0u);
    EXPECT_EQ(FileBytes(state), saved);

    ASSERT_EQ(RunAndWait("regsvr32.exe /s /u \"" + dll + "\""), 0u);
    EXPECT_NE(RunAndWait(host + " /exit 1"), 0u) << "an unregistered band cannot be hosted";
    DeleteFileA(state.c_str());
    DeleteFileA(shot.c_str());
}

// A child window of the class, waited for up to ten seconds.
HWND WaitForChild(HWND parent, const char* className) {
    HWND child = nullptr;
    for (int i = 0; parent && !child && i < 200; ++i, Sleep(50)) {
        child = FindWindowExA(parent, nullptr, className, nullptr);
    }
    return child;
}

TEST(BandHost, RightClickOnTheBandOpensItsMenuAndRunsTheChosenCommand) {
    const std::string dll = PlatformFolder() + "..\\band\\vt.dll";
    ASSERT_EQ(RunAndWait("regsvr32.exe /s \"" + dll + "\""), 0u);
    HWND band = nullptr;
    HWND popup = nullptr;
    HWND about = nullptr;
    {
        SetupProcess host(PlatformFolder() + "bandhost.exe", " /default /exit 20");
        // bandhost tracks a menu only when the band added its items to it.
        HWND frame = WaitForAnyWindow(nullptr, "VeltrimHostFrame");
        band = WaitForChild(WaitForChild(frame, "VeltrimHostStrip"), "VeltrimClass");
        if (band) {
            PostMessageA(band, WM_RBUTTONUP, 0, MAKELPARAM(10, 10));
            popup = WaitForAnyWindow(nullptr, "#32768");
        }
        if (popup) {
            // Up from no selection lands on the last command, "About Veltrim...".
            PostMessageA(popup, WM_KEYDOWN, VK_UP, 0);
            PostMessageA(popup, WM_KEYDOWN, VK_RETURN, 0);
            about = WaitForAnyWindow("Veltrimのバージョン情報");
        }
        if (about) {
            PostMessageA(about, WM_COMMAND, IDOK, 0);
            Sleep(300);
        }
        if (frame) {
            PostMessageA(frame, WM_CLOSE, 0, 0);
        }
        host.WaitForExit(15000);
    }
    RunAndWait("regsvr32.exe /s /u \"" + dll + "\"");

    ASSERT_NE(band, nullptr) << "bandhost shows the band in its strip";
    ASSERT_NE(popup, nullptr) << "a right-click on the band brings up its menu";
    EXPECT_NE(about, nullptr) << "the chosen command runs: the about box";
}

} // namespace
