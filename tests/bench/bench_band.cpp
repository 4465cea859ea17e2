// The band's recurring costs as figures (scripts/bench.sh prints them, nothing fails on them):
// one UpdateMeters tick of 8 and 64 mixed meters with the heap allocations a steady tick makes
// (our code's, counted by wrapping the allocator at link time), against the platform calls it
// cannot do without, made directly; one full WM_PAINT (every cell composed, as after an erase)
// of 8 and 32 meters against the WM_PAINT of a band without meters in the same run (the floor
// of any paint here), the repaint of a tick in which nothing moved, and the drawing calls one
// bar costs in a full paint, counted through this program's imports.
#include <windows.h>

#include <stdio.h>

#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>

#include "import_hook.h"
#include "meters/sources.h"
#include "meters/update_meters.h"
#include "shell/module.h"
#include "win32_test_support.h"
#include "window/band_window.h"

static long allocations;

// Each wrapper counts one allocation and passes the call on.
#define COUNTED(name, parameters, arguments)                                                       \
    void* __real_##name parameters;                                                                \
    void* __wrap_##name parameters {                                                               \
        ++allocations;                                                                             \
        return __real_##name arguments;                                                            \
    }
extern "C" {
COUNTED(malloc, (size_t size), (size))
COUNTED(calloc, (size_t count, size_t size), (count, size))
COUNTED(realloc, (void* block, size_t size), (block, size))
}

namespace {

const char* const statistics[] = {"KERNEL\\CPUUsage", "KERNEL\\Threads", "VFAT\\BReadsSec",
                                  "VFAT\\BytesRead"};

// Meters that cycle through statistics, memory, resources (the rsrc32 stand-in) and drive C:.
void AddMixedMeters(TestBand& test, int count, DWORD interval) {
    const MeterKind kinds[] = {PerfStat, Memory, Resource, Drive};
    const char* const keys[] = {nullptr, "Memory\\Load", "Resource\\SYSTEM", "Drive\\C:\\"};
    for (int i = 0; i < count; ++i) {
        const int round = i / 4, kind = i % 4, indexes[] = {-1, round % 4, round % 3, 0};
        test.Add(kinds[kind], kind ? keys[kind] : statistics[round % 4], indexes[kind], interval);
    }
}

// The platform calls that one tick of these meters cannot do without, made directly: each
// statistic's value from a kept key, the memory status once, the resource function for each
// resource meter, each drive meter's free space.
void PlatformCallsOfTick(HKEY statistics, const Meter* meters) {
    static const auto resources =
        reinterpret_cast<UINT(WINAPI*)(UINT)>(reinterpret_cast<void (*)()>(
            GetProcAddress(LoadLibraryA("rsrc32.dll"), "_MyGetFreeSystemResources32@4")));
    MEMORYSTATUS memory = {};
    for (const Meter* m = meters; m; m = m->next) {
        BYTE value[80];
        DWORD size = sizeof(value), type = 0;
        ULARGE_INTEGER available, total, free;
        if (m->kind == PerfStat) {
            RegQueryValueExA(statistics, m->key, nullptr, &type, value, &size);
        } else if (m->kind == Memory && !memory.dwLength) {
            memory.dwLength = sizeof(memory);
            GlobalMemoryStatus(&memory);
        } else if (m->kind == Resource) {
            resources(static_cast<UINT>(m->index));
        } else if (m->kind == Drive) {
            GetDiskFreeSpaceExA(DriveRootOfKey(m->key), &available, &total, &free);
        }
    }
}

// Microseconds that one call of step takes.
template <typename Step> double Micros(Step step) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    step();
    QueryPerformanceCounter(&end);
    return 1e6 * double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

double Median(std::vector<double> micros) {
    std::sort(micros.begin(), micros.end());
    return micros[micros.size() / 2];
}

// Median in microseconds of runs of step, each after an untimed prepare.
template <typename Prepare, typename Step>
double MedianMicros(int runs, Prepare prepare, Step step) {
    std::vector<double> micros;
    for (int run = 0; run < runs; ++run) {
        prepare();
        micros.push_back(Micros(step));
    }
    return Median(micros);
}

// Calls into gdi32 (hooks 0 to 11) and the drawing calls of user32, through hooked imports.
long calls[2];
void* realFunctions[16];

template <int N, typename R, typename... A> R WINAPI Counted(A... arguments) {
    ++calls[N >= 12];
    return reinterpret_cast<R(WINAPI*)(A...)>(realFunctions[N])(arguments...);
}
template <int N, typename R, typename... A> void Hook(const char* name, R(WINAPI*)(A...)) {
    realFunctions[N] = HookImport(N >= 12 ? "user32.dll" : "gdi32.dll", name,
                                  reinterpret_cast<void*>(&Counted<N, R, A...>));
}
// Hooks each name-and-function pair of the list, the Nth pair as hook N.
template <typename List, size_t... N> void HookAll(const List& list, std::index_sequence<N...>) {
    (Hook<N>(std::get<2 * N>(list), std::get<2 * N + 1>(list)), ...);
}
#define NAMED(function) #function, &function

// A shown band window of count mixed meters, its timer stopped (ticks come from here only), with
// bars of every length, a trail on every second meter and the scale texts visible.
struct PaintedBand : TestBand {
    PaintedBand(int count, int width, int height) : TestBand(width, height) {
        AddMixedMeters(*this, count, 1000);
        Create();
        KillTimer(band.window, band.timerId);
        Tick();
        int i = 0;
        for (Meter* m = band.meters; m; m = m->next, ++i) {
            m->scale = 1000;
            m->value = 100 + 37 * i % 900;
            m->peak = (i % 2) ? m->value + 80 : 0;
            m->blink = 0;
        }
        UpdateWindow(band.window);
    }
    double PaintMedian(bool erase) {
        return MedianMicros(
            400, [&] { InvalidateRect(band.window, nullptr, erase); },
            [&] { UpdateWindow(band.window); });
    }
};

} // namespace

int main() {
    moduleInstance = GetModuleHandleA(nullptr);
    CreateStartStat(); // four statistics with their descriptions; the fourth a running total
    for (int i = 0; i < 4; ++i) {
        SetStatTotal(statistics[i], 1000 * (i + 1));
        SetStatDescription(statistics[i], statistics[i], i == 3 ? "TRUE" : nullptr);
    }
    BindDiskFreeSpaceEx();
    printf("UpdateMeters, one tick (statistics, memory, rsrc32 stand-in, drive C:); with every\n"
           "meter due against the platform calls alone (goal: at most 1.3 x):\n");
    HKEY statistics = nullptr;
    RegOpenKeyExA(HKEY_DYN_DATA, "PerfStats\\StatData", 0, KEY_QUERY_VALUE, &statistics);
    for (DWORD interval : {DWORD(0), DWORD(3600000)}) {
        for (int count : {8, 64}) {
            TestBand test;
            AddMixedMeters(test, count, interval);
            BuildLabels(&test.band, false);
            UpdateMeters(&test.band, 600, nullptr, nullptr); // the first tick samples everything
            // The platform calls alone take turns with the ticks, so that a change in the
            // machine's load meets both alike.
            std::vector<double> calls;
            const long before = allocations;
            const double median = MedianMicros(
                2000,
                [&] {
                    calls.push_back(
                        Micros([&] { PlatformCallsOfTick(statistics, test.band.meters); }));
                },
                [&] { UpdateMeters(&test.band, 600, nullptr, nullptr); });
            printf("  %2d meters, %-16s median %8.1f us/tick, allocations/tick %.2f", count,
                   interval ? "none due" : "every meter due", median,
                   double(allocations - before) / 2000);
            if (!interval) {
                printf("; platform calls %7.1f us = %.2f x", Median(calls), median / Median(calls));
            }
            printf("\n");
        }
    }
    // The drawing calls counted from here on.
    HookAll(std::make_tuple(NAMED(BitBlt), NAMED(SelectObject), NAMED(SetTextColor),
                            NAMED(SetBkColor), NAMED(SetBkMode), NAMED(CreateSolidBrush),
                            NAMED(DeleteObject), NAMED(CreateCompatibleDC),
                            NAMED(CreateCompatibleBitmap), NAMED(DeleteDC), NAMED(GetStockObject),
                            NAMED(CreateFontA), NAMED(FillRect), NAMED(DrawTextA), NAMED(DrawEdge)),
            std::make_index_sequence<15>());
    printf("\nBand paint (median of 400 WM_PAINTs; goal: a full paint of 8 meters at most 2 x the\n"
           "floor, at most 12 GDI calls per bar):\n");
    for (const auto& [width, height] : {std::make_pair(600, 40), std::make_pair(200, 120)}) {
        double floor = 0;
        long floorCalls[2] = {};
        for (int count : {0, 8, 32}) {
            PaintedBand b(count, width, height);
            const double full = b.PaintMedian(true), still = b.PaintMedian(false);
            InvalidateRect(b.band.window, nullptr, TRUE); // the drawing calls of one full paint
            calls[0] = calls[1] = 0;
            UpdateWindow(b.band.window);
            if (!count) {
                floor = full, floorCalls[0] = calls[0], floorCalls[1] = calls[1];
                printf("  floor: WM_PAINT of a band without meters, %dx%d: median %.1f us\n", width,
                       height, floor);
                continue;
            }
            printf("  %2d meters %4dx%-3d (%2dx%d grid): full paint median %7.1f us = %5.2f x "
                   "floor; nothing moved %6.1f us\n",
                   count, width, height, b.band.columns, b.band.rows, full, full / floor, still);
            printf("      drawing calls per bar in a full paint: %.1f gdi32 + %.1f user32\n",
                   double(calls[0] - floorCalls[0]) / count,
                   double(calls[1] - floorCalls[1]) / count);
        }
    }
    RegCloseKey(statistics);
    ReleaseResourceModule();
    return 0;
}
