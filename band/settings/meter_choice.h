// The settings dialog's record per tree item and the rules of its preview that need no Windows
// call. Compiled into vt.dll and into the native test build alike.
#pragma once

#include <stdint.h>

#include "../meters/meter.h"

// One record per tree item, categories included; the item's lParam points to it.
struct MeterChoice {
    int32_t kind;
    char* key;
    int32_t index;
    int32_t enabled;
    int32_t differentiate;
    uint32_t interval;
    uint32_t value;
    uint32_t lastRaw;
    uint32_t scale;
    uint32_t lastSampleTick;
    uint32_t peak;
    uint32_t peakHold;
    uint32_t lastReadTick; // when the source last gave a reading: a rate's baseline time
};

enum {
    PreviewTickMilliseconds = 100,
    PreviewPeakHoldTicks = 10,
    PreviewPercentScale = 100,
};

// A record of kind with an owned copy of key (category: kind -1), index -1, interval 1000,
// scale 1; null when memory runs out.
MeterChoice* CreateMeterChoice(int32_t kind, const char* key);
// Frees the record and its key; null is allowed.
void ReleaseMeterChoice(MeterChoice* choice);

// The first meter from first on whose key equals fullKey exactly (letter case counts).
Meter* LookupMeterByKey(Meter* first, const char* fullKey);
// Ticks the choice and takes the interval of the band's meter of that key, if there is one.
void TakeMeterSetting(MeterChoice* choice, Meter* first, const char* fullKey);

// "category\item" as a new string; null when memory runs out.
char* JoinKey(const char* category, const char* item);

// The interval a radio button stands for and the button that shows an interval (others: 1 s).
enum { HalfSecondRadio = 1005, OneSecondRadio = 1006, ThreeSecondRadio = 1007 };
int RadioOfInterval(uint32_t interval);

// Rate per second of a differentiated statistic, reckoned as the band reckons it; the first
// reading gives 0, and where no rate can be given the last value stays.
uint32_t DifferentiateChoice(MeterChoice* choice, uint32_t raw, uint32_t elapsed);

// Stores the value drawn on this tick and raises the peak (with a fresh hold) to meet it.
void NotePreviewValue(MeterChoice* choice, uint32_t value);
// After the bar is drawn: counts the hold down, then lets the peak fall 3 x (scale / width),
// at least 1, never below 0. A width below 1 counts as 1 pixel.
void LetPreviewPeakFall(MeterChoice* choice, int width);
