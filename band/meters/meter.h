// The meter record, its list and the rules that need no Windows call.
// Compiled into vt.dll and into the native test build alike.
#pragma once

#include <stddef.h>
#include <stdint.h>

enum MeterKind : int32_t {
    MeterKindNone = -1,
    PerfStat = 0,
    Resource = 1,
    Drive = 2,
    Memory = 3,
};

// Field order and widths are those the band has always had: 32-bit values, a linked list.
struct Meter {
    Meter* next;
    int32_t kind;
    char* key;
    int32_t index;
    char* label;
    int32_t differentiate;
    uint32_t lastRaw;
    uint32_t value;
    uint32_t scale;
    uint32_t peak;
    uint32_t peakHold;
    uint32_t lastSampleTick;
    uint32_t lastHighTick;
    uint32_t interval;
    uint32_t blink;
    uint32_t lastNonZeroTick;
    int32_t visible;
    // Run-time only, never stored: when the source last gave a sample (a rate's baseline time)
    // and when a missing label was last asked for.
    uint32_t lastReadTick;
    uint32_t lastLabelTick;
};

// A zeroed record with kind and index -1 and visible set; null when memory runs out.
Meter* CreateMeter();
// Frees every record from head to the end, with its key and label.
void ReleaseMeters(Meter* head);
// Owned copy of a NUL-terminated string; null when memory runs out.
char* CopyText(const char* text);
// Owned copy of the first length bytes, NUL-terminated.
char* CopyTextBytes(const char* text, size_t length);

// The item part of a Drive key ("Drive\C:\" gives "C:\"); "" when the key is shorter.
const char* DriveRootOfKey(const char* key);

// Constant labels of the Resource and Memory items; null outside the tables.
const char* ResourceLabel(int32_t index);
const char* MemoryLabel(int32_t index);

// "TRUE" in any letter case.
bool IsTrueText(const char* text);

// Text of a value with K/M units, or K/M/G when the value is in kilobytes (drives).
// Writes at most capacity bytes including the NUL; returns the length written.
enum { FormatValueCapacity = 16 };
size_t FormatValue(uint32_t value, bool driveUnits, char* out, size_t capacity);

// The 36 automatic full-scale steps, 1-2-5 in units of 1, K, M and G, in 32-bit arithmetic.
enum { ScaleStepCount = 36 };
uint32_t ScaleStep(int position);
// The first step greater than value, or current when none is; 0 for a value of 0.
uint32_t ScaleAfterDrop(uint32_t value, uint32_t current);

// Rate per second of a running total over elapsed milliseconds, in 64 bits and capped; updates
// *lastRaw. A total taken while *lastRaw is 0 is the baseline and reads 0. False when no rate can
// be given. The band and the settings preview both go through this.
bool DifferentiateSample(uint32_t* lastRaw, uint32_t raw, uint32_t elapsed, uint32_t* sample);

// Kilobytes of a 64-bit byte count, all ones when the result does not fit.
uint32_t KilobytesOfBytes(uint64_t bytes);
// Kilobytes of a cluster count as the old free-space call reports it.
uint32_t KilobytesOfClusters(uint32_t sectorsPerCluster, uint32_t bytesPerSector,
                             uint32_t clusters);

// First 32-bit little-endian word of a StatData value; false unless it is binary and long enough.
bool StatDataWord(const unsigned char* data, uint32_t size, bool isBinary, uint32_t* raw);
