#include "meter_choice.h"

#include <stdlib.h>
#include <string.h>

MeterChoice* CreateMeterChoice(int32_t kind, const char* key) {
    MeterChoice* choice = static_cast<MeterChoice*>(calloc(1, sizeof(MeterChoice)));
    if (!choice) {
        return nullptr;
    }
    choice->key = CopyText(key);
    if (!choice->key) {
        free(choice);
        return nullptr;
    }
    choice->kind = kind;
    choice->index = -1;
    choice->interval = 1000;
    choice->scale = 1;
    return choice;
}

void ReleaseMeterChoice(MeterChoice* choice) {
    if (!choice) {
        return;
    }
    free(choice->key);
    free(choice);
}

Meter* LookupMeterByKey(Meter* first, const char* fullKey) {
    for (Meter* meter = first; meter; meter = meter->next) {
        if (meter->key && strcmp(meter->key, fullKey) == 0) {
            return meter;
        }
    }
    return nullptr;
}

void TakeMeterSetting(MeterChoice* choice, Meter* first, const char* fullKey) {
    const Meter* meter = fullKey ? LookupMeterByKey(first, fullKey) : nullptr;
    if (!meter) {
        return;
    }
    choice->enabled = 1;
    choice->interval = meter->interval;
}

char* JoinKey(const char* category, const char* item) {
    const size_t categoryLength = strlen(category);
    const size_t itemLength = strlen(item);
    char* key = static_cast<char*>(malloc(categoryLength + 1 + itemLength + 1));
    if (!key) {
        return nullptr;
    }
    memcpy(key, category, categoryLength);
    key[categoryLength] = '\\';
    memcpy(key + categoryLength + 1, item, itemLength + 1);
    return key;
}

int RadioOfInterval(uint32_t interval) {
    if (interval == 500) {
        return HalfSecondRadio;
    }
    if (interval == 3000) {
        return ThreeSecondRadio;
    }
    return OneSecondRadio;
}

uint32_t DifferentiateChoice(MeterChoice* choice, uint32_t raw, uint32_t elapsed) {
    uint32_t rate = choice->value;
    DifferentiateSample(&choice->lastRaw, raw, elapsed, &rate);
    return rate;
}

void NotePreviewValue(MeterChoice* choice, uint32_t value) {
    choice->value = value;
    if (value >= choice->peak) {
        choice->peak = value;
        choice->peakHold = PreviewPeakHoldTicks;
    }
}

void LetPreviewPeakFall(MeterChoice* choice, int width) {
    if (choice->peakHold > 0) {
        --choice->peakHold;
        if (choice->peakHold > 0) {
            return;
        }
    }
    const uint32_t pixels = width < 1 ? 1u : static_cast<uint32_t>(width);
    const uint32_t perPixel = choice->scale / pixels;
    // A bar narrower than 3 pixels could make the step wrap; it then drops the peak at once.
    uint32_t step = perPixel > UINT32_MAX / 3 ? UINT32_MAX : 3u * perPixel;
    if (step < 1) {
        step = 1;
    }
    choice->peak = choice->peak > step ? choice->peak - step : 0;
}
