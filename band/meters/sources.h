// Reading the meters' sources: the dynamic statistics, free resources, memory and drives.
#pragma once

#include <windows.h>

#include "meter.h"

struct MeterBand;

typedef BOOL(WINAPI* DiskFreeSpaceExFunction)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER,
                                              PULARGE_INTEGER);

// Rebuilds every meter's label (and a statistic's differentiate flag); starts the update timer
// when asked, even if the statistics cannot be opened.
void BuildLabels(MeterBand* band, bool startTimer);

// What the samples of one tick share: the band, whose statistics key stays open between ticks,
// and the memory status, read for the first memory meter and used by all.
struct TickSamples {
    MeterBand* band;
    MEMORYSTATUS memory;
    bool memoryRead;
};

// One reading of the meter's source; false when the source gives no sample.
bool SampleMeter(MeterBand* band, Meter* meter, uint32_t now, uint32_t elapsed, uint32_t* value);
// The same within a tick.
bool SampleMeterInTick(TickSamples* tick, Meter* meter, uint32_t now, uint32_t elapsed,
                       uint32_t* value);
// Closes the band's statistics data key, if it holds one.
void ReleaseStatisticsKey(MeterBand* band);

// A fixed disk or a RAM disk: a drive whose free space can be asked without waiting on a device.
bool IsSteadyDrive(const char* root);
// Total and free kilobytes of a drive's root path ("C:\"); false for any other kind of drive.
bool GetDriveSpace(const char* root, DWORD* totalKilobytes, DWORD* freeKilobytes);
// The same with the extended free-space function given (null: the old call only).
bool GetDriveSpaceWith(DiskFreeSpaceExFunction freeSpaceEx, const char* root, DWORD* totalKilobytes,
                       DWORD* freeKilobytes);

// A string value of an open key as a new NUL-terminated buffer; null when it is absent.
char* ReadStringValue(HKEY key, const char* name);
// One of the four memory figures (load, physical, page file, virtual) with its full scale.
bool ReadMemoryStatus(int32_t index, uint32_t* value, uint32_t* scale);
// The same figure out of a status already read.
bool MemoryFigure(const MEMORYSTATUS& status, int32_t index, uint32_t* value, uint32_t* scale);

// Looks up GetDiskFreeSpaceExA once per process; it stays bound for the life of the process.
void BindDiskFreeSpaceEx();
// Frees rsrc32.dll if it is loaded, so that the next Resource sample loads it again.
void ReleaseResourceModule();
