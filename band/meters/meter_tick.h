// One tick of the meter list: sampling schedule, automatic full scale, peak, blink and hiding.
// The caller supplies the clock reading, the sampler and the window's width, and carries out
// the window effects that the tick asks for.
#pragma once

#include "meter.h"

// Reads one meter's source; elapsed is the time since the source last gave a sample. Returns
// false when no sample could be taken.
typedef bool (*MeterSampler)(void* context, Meter* meter, uint32_t now, uint32_t elapsed,
                             uint32_t* value);

// What a tick changed in one meter's looks.
enum MeterChange {
    MeterValueChanged = 1,
    MeterScaleChanged = 2,
    MeterPeakChanged = 4,
    MeterBlinkPhaseChanged = 8, // the scale text went from shown to hidden or back
    MeterVisibilityChanged = 16,
};
// Told of each meter whose looks changed in a tick: the meter, its position in the grid (the
// visible meters before it) and the MeterChange bits.
typedef void (*MeterChangeSink)(void* context, const Meter* meter, int gridPosition,
                                unsigned changes);

struct MeterTickInput {
    uint32_t now;         // tick count read once for the whole pass
    uint32_t clientWidth; // band window's client width, for the peak decay step
    bool animate;
    bool hideInvalid;
    MeterSampler sampler;
    void* samplerContext;
    MeterChangeSink changeSink = nullptr; // none: changes are not reported one by one
    void* changeContext = nullptr;
};

// What the pass asks of the window once it is over.
struct MeterTickEffects {
    bool rebuildLabels;   // a due meter had no label (asked at most once in ten seconds)
    bool layoutChanged;   // a meter left or rejoined the grid
    bool eraseBackground; // the repaint must erase (scale or visibility changed)
};

enum {
    PeakHoldTicks = 10,
    BlinkTicks = 50,
    RescaleQuietMs = 60000,
    RescaleRepeatMs = 10000,
    HideAfterZeroMs = 60000,
    LabelRetryMs = 10000,
};

MeterTickEffects RunMeterTick(Meter* head, const MeterTickInput& input);
