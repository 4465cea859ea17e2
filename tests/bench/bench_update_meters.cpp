// Cost of one UpdateMeters tick for 8 and 64 meters of mixed kinds, and the heap allocations
// that a steady-state tick makes (our code's, counted by wrapping the allocator at link time).
#include <windows.h>

#include <algorithm>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <vector>

#include "bench_support.h"
#include "meters/sources.h"
#include "meters/update_meters.h"
#include "shell/meter_band.h"

namespace {
long allocations;
}

extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t count, size_t size);
void* __real_realloc(void* block, size_t size);
void* __wrap_malloc(size_t size) {
    ++allocations;
    return __real_malloc(size);
}
void* __wrap_calloc(size_t count, size_t size) {
    ++allocations;
    return __real_calloc(count, size);
}
void* __wrap_realloc(void* block, size_t size) {
    ++allocations;
    return __real_realloc(block, size);
}
}

namespace {

void Measure(int count, DWORD interval, const char* what) {
    MeterBand band;
    InitMeterBandFields(&band);
    band.window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 600, 40, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    Meter** tail = &band.meters;
    for (int i = 0; i < count; ++i) {
        *tail = MixedMeter(i, interval);
        tail = &(*tail)->next;
    }
    const long beforeLabels = allocations;
    BuildLabels(&band, false);
    const long labelAllocations = allocations - beforeLabels;
    UpdateMeters(&band, 600, nullptr, nullptr); // the first tick samples everything at once

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const int ticks = 2000;
    std::vector<double> micros;
    micros.reserve(ticks);
    const long allocationsBefore = allocations;
    for (int i = 0; i < ticks; ++i) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        UpdateMeters(&band, 600, nullptr, nullptr);
        QueryPerformanceCounter(&end);
        micros.push_back(1e6 * double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart));
    }
    const long allocationsDuring = allocations - allocationsBefore;
    printf("  %2d meters, %-16s median %8.1f us/tick, allocations/tick %.2f"
           " (a label rebuild: %ld)\n",
           count, what, Median(micros), double(allocationsDuring) / ticks, labelAllocations);
    ReleaseMeters(band.meters);
    DestroyWindow(band.window);
    if (band.font) {
        DeleteObject(band.font); // made by the grid choice of the ticks
    }
}

} // namespace

int main() {
    PublishStatistics();
    BindDiskFreeSpaceEx();
    printf("UpdateMeters, one tick (statistics, memory, rsrc32 stand-in, drive C:):\n");
    Measure(8, 0, "every meter due");
    Measure(64, 0, "every meter due");
    Measure(8, 3600000, "none due");
    Measure(64, 3600000, "none due");
    ReleaseResourceModule();
    return 0;
}
