#include "bench_support.h"

#include <algorithm>
#include <string.h>

namespace {

const char* const statistics[] = {"KERNEL\\CPUUsage", "KERNEL\\Threads", "VFAT\\BReadsSec",
                                  "VFAT\\BytesRead"};

} // namespace

void PublishStatistics() {
    HKEY key;
    RegCreateKeyExA(HKEY_DYN_DATA, "PerfStats\\StartStat", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &key, nullptr);
    RegCloseKey(key);
    RegCreateKeyExA(HKEY_DYN_DATA, "PerfStats\\StatData", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &key, nullptr);
    for (int i = 0; i < 4; ++i) {
        const DWORD value = 1000 * (i + 1);
        RegSetValueExA(key, statistics[i], 0, REG_BINARY, reinterpret_cast<const BYTE*>(&value),
                       sizeof(value));
    }
    RegCloseKey(key);
    for (int i = 0; i < 4; ++i) {
        char path[200] = "System\\CurrentControlSet\\Control\\PerfStats\\Enum\\";
        strcat(path, statistics[i]);
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr);
        RegSetValueExA(key, "Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(statistics[i]),
                       static_cast<DWORD>(strlen(statistics[i]) + 1));
        if (i == 3) {
            RegSetValueExA(key, "Differentiate", 0, REG_SZ, reinterpret_cast<const BYTE*>("TRUE"),
                           5);
        }
        RegCloseKey(key);
    }
}

Meter* MixedMeter(int position, DWORD interval) {
    Meter* meter = CreateMeter();
    meter->interval = interval;
    switch (position % 4) {
    case 0:
        meter->kind = PerfStat;
        meter->key = CopyText(statistics[(position / 4) % 4]);
        break;
    case 1:
        meter->kind = Memory;
        meter->index = (position / 4) % 4;
        meter->key = CopyText("Memory\\Load");
        break;
    case 2:
        meter->kind = Resource;
        meter->index = (position / 4) % 3;
        meter->key = CopyText("Resource\\SYSTEM");
        break;
    default:
        meter->kind = Drive;
        meter->index = 0;
        meter->key = CopyText("Drive\\C:\\");
        break;
    }
    return meter;
}

double Median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}
