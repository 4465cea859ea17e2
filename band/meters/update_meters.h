#pragma once

#include <stdint.h>

#include "meter_tick.h"

struct MeterBand;

// One tick of the band's update timer: samples the due meters (the memory status read once for
// all memory meters) and ages every meter; tells sink, when given, of each meter whose looks
// changed. Returns what the window has to do about it: the engine calls nothing of the window.
MeterTickEffects UpdateMeters(MeterBand* band, uint32_t clientWidth, MeterChangeSink sink,
                              void* sinkContext);
