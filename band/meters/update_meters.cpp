#include "update_meters.h"

#include <windows.h>

#include "../shell/meter_band.h"
#include "sources.h"

namespace {

bool SampleForTick(void* context, Meter* meter, uint32_t now, uint32_t elapsed, uint32_t* value) {
    return SampleMeterInTick(static_cast<TickSamples*>(context), meter, now, elapsed, value);
}

} // namespace

MeterTickEffects UpdateMeters(MeterBand* band, uint32_t clientWidth, MeterChangeSink sink,
                              void* sinkContext) {
    TickSamples samples;
    ZeroMemory(&samples, sizeof(samples));
    samples.band = band;
    MeterTickInput input;
    input.now = GetTickCount();
    input.clientWidth = clientWidth;
    input.animate = band->animate != 0;
    input.hideInvalid = band->hideInvalid != 0;
    input.sampler = SampleForTick;
    input.samplerContext = &samples;
    input.changeSink = sink;
    input.changeContext = sinkContext;
    return RunMeterTick(band->meters, input);
}
