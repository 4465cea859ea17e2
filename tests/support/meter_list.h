// Meter lists built by the tests, on the host and under Wine alike.
#pragma once

#include "meters/meter.h"

// Appends a new meter to a list and returns it; a null key stays null.
inline Meter* AppendMeter(Meter** head, MeterKind kind, const char* key, int32_t index,
                          uint32_t interval) {
    Meter** tail = head;
    while (*tail) {
        tail = &(*tail)->next;
    }
    Meter* meter = *tail = CreateMeter();
    meter->kind = kind;
    meter->key = key ? CopyText(key) : nullptr;
    meter->index = index;
    meter->interval = interval;
    return meter;
}
