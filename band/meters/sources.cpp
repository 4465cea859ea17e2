#include "sources.h"

#include <stdlib.h>
#include <string.h>

#include <shellapi.h>

#include "../shell/meter_band.h"
#include "guarded_call.h"

namespace {

const char statisticsStartKey[] = "PerfStats\\StartStat";
const char statisticsDataKey[] = "PerfStats\\StatData";
const char statisticsEnumKey[] = "System\\CurrentControlSet\\Control\\PerfStats\\Enum\\";
const char resourceFunctionName[] = "_MyGetFreeSystemResources32@4";
// Longest registry key name the platform accepts.
const size_t maxStatisticKey = 255;

// rsrc32.dll and its function: loaded on first need, freed when a band object goes.
HMODULE resourceModule;
void* resourceFunction;

// GetDiskFreeSpaceExA, absent before Windows 95 OSR2: bound once, kept for the process.
HMODULE kernelModule;
DiskFreeSpaceExFunction diskFreeSpaceEx;

void BuildStatisticLabel(HKEY startStat, Meter* meter) {
    // Reading the value is what starts the platform's collection of the statistic.
    BYTE ignored[80];
    DWORD ignoredSize = sizeof(ignored);
    RegQueryValueExA(startStat, meter->key, nullptr, nullptr, ignored, &ignoredSize);

    const size_t keyLength = strlen(meter->key);
    if (keyLength > maxStatisticKey) {
        return;
    }
    char path[sizeof(statisticsEnumKey) + maxStatisticKey];
    memcpy(path, statisticsEnumKey, sizeof(statisticsEnumKey) - 1);
    memcpy(path + sizeof(statisticsEnumKey) - 1, meter->key, keyLength + 1);

    HKEY description;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &description) != ERROR_SUCCESS) {
        return;
    }
    meter->label = ReadStringValue(description, "Name");
    meter->differentiate = 0;
    char* differentiate = ReadStringValue(description, "Differentiate");
    if (differentiate) {
        meter->differentiate = IsTrueText(differentiate) ? 1 : 0;
        free(differentiate);
    }
    RegCloseKey(description);
}

// Critical-error boxes ("drive not ready") must never come up from a taskbar meter.
struct QuietDriveErrors {
    UINT previous;
    QuietDriveErrors() : previous(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~QuietDriveErrors() {
        SetErrorMode(previous);
    }
};

void BuildDriveLabel(Meter* meter) {
    SHFILEINFOA info;
    ZeroMemory(&info, sizeof(info));
    {
        QuietDriveErrors quiet;
        SHGetFileInfoA(DriveRootOfKey(meter->key), 0, &info, sizeof(info), SHGFI_DISPLAYNAME);
    }
    info.szDisplayName[sizeof(info.szDisplayName) - 1] = '\0';
    meter->label = CopyText(info.szDisplayName);
}

void CopyTableLabel(Meter* meter, const char* label) {
    if (label) {
        meter->label = CopyText(label);
    }
}

void BuildLabel(HKEY startStat, Meter* meter) {
    switch (meter->kind) {
    case PerfStat:
        BuildStatisticLabel(startStat, meter);
        break;
    case Resource:
        CopyTableLabel(meter, ResourceLabel(meter->index));
        break;
    case Drive:
        BuildDriveLabel(meter);
        break;
    case Memory:
        CopyTableLabel(meter, MemoryLabel(meter->index));
        break;
    default:
        break;
    }
}

// The band's statistics data key, opened when it has none.
HKEY StatisticsData(MeterBand* band) {
    if (!band->statisticsData) {
        HKEY data;
        if (RegOpenKeyExA(HKEY_DYN_DATA, statisticsDataKey, 0, KEY_QUERY_VALUE, &data) !=
            ERROR_SUCCESS) {
            return nullptr;
        }
        band->statisticsData = data;
    }
    return band->statisticsData;
}

LONG QueryStatistic(HKEY data, const char* key, BYTE* buffer, DWORD* size, DWORD* type) {
    *type = REG_NONE;
    return RegQueryValueExA(data, key, nullptr, type, buffer, size);
}

bool SampleStatistic(MeterBand* band, Meter* meter, uint32_t elapsed, uint32_t* value) {
    HKEY data = StatisticsData(band);
    if (!data) {
        return false;
    }
    // Zeroed so that a value shorter than a word reads as its own bytes, not stack garbage.
    BYTE buffer[80] = {};
    DWORD size = sizeof(buffer);
    DWORD type = REG_NONE;
    LONG result = QueryStatistic(data, meter->key, buffer, &size, &type);
    if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) {
        // The kept key may be one the platform has dropped since: open it again, once.
        ReleaseStatisticsKey(band);
        data = StatisticsData(band);
        if (!data) {
            return false;
        }
        size = sizeof(buffer);
        result = QueryStatistic(data, meter->key, buffer, &size, &type);
    }

    uint32_t raw = 0;
    if (result != ERROR_SUCCESS || !StatDataWord(buffer, size, type == REG_BINARY, &raw)) {
        return false;
    }
    if (!meter->differentiate) {
        *value = raw;
        return true;
    }
    return DifferentiateSample(&meter->lastRaw, raw, elapsed, value);
}

template <typename Function> Function ProcAddress(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

bool SampleResource(Meter* meter, uint32_t now, uint32_t* value) {
    if (!resourceModule) {
        resourceModule = LoadLibraryA("rsrc32.dll");
        if (!resourceModule) {
            return false;
        }
        resourceFunction = ProcAddress<void*>(resourceModule, resourceFunctionName);
    }
    if (!resourceFunction) {
        return false;
    }
    uintptr_t percent = 0;
    if (!VtGuardedCall1(resourceFunction, static_cast<uintptr_t>(meter->index), &percent)) {
        return false;
    }
    *value = static_cast<uint32_t>(percent);
    meter->scale = 100;
    meter->lastHighTick = now;
    return true;
}

bool SampleDrive(Meter* meter, uint32_t now, uint32_t* value) {
    DWORD total = 0;
    DWORD available = 0;
    if (!GetDriveSpace(DriveRootOfKey(meter->key), &total, &available)) {
        return false; // a free space of 0 would read as a full disk
    }
    meter->scale = total;
    meter->lastHighTick = now;
    *value = available;
    return true;
}

uint32_t Clamp32(SIZE_T value) {
    return value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value);
}

MEMORYSTATUS ReadMemory() {
    MEMORYSTATUS status;
    ZeroMemory(&status, sizeof(status));
    status.dwLength = sizeof(status);
    GlobalMemoryStatus(&status);
    return status;
}

bool SampleMemory(TickSamples* tick, Meter* meter, uint32_t now, uint32_t* value) {
    if (!tick->memoryRead) {
        tick->memory = ReadMemory();
        tick->memoryRead = true;
    }
    uint32_t scale = 0;
    if (!MemoryFigure(tick->memory, meter->index, value, &scale)) {
        return false;
    }
    meter->scale = scale;
    meter->lastHighTick = now;
    return true;
}

} // namespace

bool ReadMemoryStatus(int32_t index, uint32_t* value, uint32_t* scale) {
    return MemoryFigure(ReadMemory(), index, value, scale);
}

bool MemoryFigure(const MEMORYSTATUS& status, int32_t index, uint32_t* value, uint32_t* scale) {
    switch (index) {
    case 0:
        *value = status.dwMemoryLoad;
        *scale = 100;
        return true;
    case 1:
        *value = Clamp32(status.dwAvailPhys);
        *scale = Clamp32(status.dwTotalPhys);
        return true;
    case 2:
        *value = Clamp32(status.dwAvailPageFile);
        *scale = Clamp32(status.dwTotalPageFile);
        return true;
    case 3:
        *value = Clamp32(status.dwAvailVirtual);
        *scale = Clamp32(status.dwTotalVirtual);
        return true;
    default:
        return false;
    }
}

char* ReadStringValue(HKEY key, const char* name) {
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) {
        return nullptr;
    }
    char* text = static_cast<char*>(malloc(size + 1));
    if (!text) {
        return nullptr;
    }
    DWORD read = size;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &read) !=
        ERROR_SUCCESS) {
        free(text);
        return nullptr;
    }
    text[read < size ? read : size] = '\0';
    return text;
}

void BuildLabels(MeterBand* band, bool startTimer) {
    // Only a statistic's label needs the statistics; the others are built on any system.
    HKEY startStat = nullptr;
    if (RegOpenKeyExA(HKEY_DYN_DATA, statisticsStartKey, 0, KEY_READ, &startStat) !=
        ERROR_SUCCESS) {
        startStat = nullptr;
    }
    for (Meter* meter = band->meters; meter; meter = meter->next) {
        if (meter->kind == PerfStat && !startStat) {
            continue;
        }
        free(meter->label);
        meter->label = nullptr;
        BuildLabel(startStat, meter);
    }
    if (startStat) {
        RegCloseKey(startStat);
    }
    // Without a window SetTimer would make a thread timer that nothing ever kills.
    if (startTimer && band->window) {
        band->timerId = SetTimer(band->window, 1, 100, nullptr);
    }
}

bool SampleMeter(MeterBand* band, Meter* meter, uint32_t now, uint32_t elapsed, uint32_t* value) {
    TickSamples tick;
    ZeroMemory(&tick, sizeof(tick));
    tick.band = band;
    return SampleMeterInTick(&tick, meter, now, elapsed, value);
}

bool SampleMeterInTick(TickSamples* tick, Meter* meter, uint32_t now, uint32_t elapsed,
                       uint32_t* value) {
    if (!meter->key) {
        return false;
    }
    switch (meter->kind) {
    case PerfStat:
        return SampleStatistic(tick->band, meter, elapsed, value);
    case Resource:
        return SampleResource(meter, now, value);
    case Drive:
        return SampleDrive(meter, now, value);
    case Memory:
        return SampleMemory(tick, meter, now, value);
    default:
        return false;
    }
}

bool IsSteadyDrive(const char* root) {
    // The type comes from the system's tables; a floppy, CD-ROM or network drive would make the
    // shell's thread wait on the device at every sample.
    const UINT type = GetDriveTypeA(root);
    return type == DRIVE_FIXED || type == DRIVE_RAMDISK;
}

bool GetDriveSpaceWith(DiskFreeSpaceExFunction freeSpaceEx, const char* root, DWORD* totalKilobytes,
                       DWORD* freeKilobytes) {
    if (!IsSteadyDrive(root)) {
        return false;
    }
    QuietDriveErrors quiet;
    if (freeSpaceEx) {
        // Where the extended call exists its failure is final: the drive is not asked twice.
        ULARGE_INTEGER available;
        ULARGE_INTEGER total;
        ULARGE_INTEGER totalFree;
        if (!freeSpaceEx(root, &available, &total, &totalFree)) {
            return false;
        }
        *totalKilobytes = KilobytesOfBytes(total.QuadPart);
        *freeKilobytes = KilobytesOfBytes(totalFree.QuadPart);
        return true;
    }
    DWORD sectorsPerCluster = 0;
    DWORD bytesPerSector = 0;
    DWORD freeClusters = 0;
    DWORD totalClusters = 0;
    if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters,
                           &totalClusters)) {
        return false;
    }
    *totalKilobytes = KilobytesOfClusters(sectorsPerCluster, bytesPerSector, totalClusters);
    *freeKilobytes = KilobytesOfClusters(sectorsPerCluster, bytesPerSector, freeClusters);
    return true;
}

bool GetDriveSpace(const char* root, DWORD* totalKilobytes, DWORD* freeKilobytes) {
    return GetDriveSpaceWith(diskFreeSpaceEx, root, totalKilobytes, freeKilobytes);
}

void BindDiskFreeSpaceEx() {
    if (kernelModule) {
        return;
    }
    kernelModule = LoadLibraryA("KERNEL32.DLL");
    if (kernelModule) {
        diskFreeSpaceEx = ProcAddress<DiskFreeSpaceExFunction>(kernelModule, "GetDiskFreeSpaceExA");
    }
}

void ReleaseResourceModule() {
    if (!resourceModule) {
        return;
    }
    FreeLibrary(resourceModule);
    resourceModule = nullptr;
    resourceFunction = nullptr;
}

void ReleaseStatisticsKey(MeterBand* band) {
    if (band->statisticsData) {
        RegCloseKey(band->statisticsData);
        band->statisticsData = nullptr;
    }
}
