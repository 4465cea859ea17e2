#include "meter_tick.h"

namespace {

void RescaleDown(Meter* meter, const MeterTickInput& input, MeterTickEffects& effects) {
    if (meter->value > meter->scale / 3) {
        meter->lastHighTick = input.now;
        return;
    }
    if (input.now - meter->lastHighTick < RescaleQuietMs || meter->scale == 0) {
        return;
    }
    // The next drop of the same meter may follow ten seconds later rather than sixty.
    meter->lastHighTick += RescaleRepeatMs;
    meter->scale = ScaleAfterDrop(meter->value, meter->scale);
    if (input.animate) {
        meter->peak = 0;
    }
    meter->blink = BlinkTicks;
    effects.eraseBackground = true;
}

// A due meter that gave no sample counts as reading 0 (a rate's baseline reads 0 too): a meter
// that cannot be read leaves the grid like an idle one.
void UpdateVisibility(Meter* meter, bool readNonZero, uint32_t now, MeterTickEffects& effects) {
    bool changed = false;
    if (readNonZero) {
        meter->lastNonZeroTick = now;
        if (!meter->visible) {
            meter->visible = 1;
            changed = true;
        }
    } else if (now - meter->lastNonZeroTick >= HideAfterZeroMs && meter->visible) {
        meter->visible = 0;
        changed = true;
    }
    if (changed) {
        effects.layoutChanged = true;
        effects.eraseBackground = true;
    }
}

void RescaleUp(Meter* meter, bool animate, MeterTickEffects& effects) {
    if (meter->value <= meter->scale) {
        return;
    }
    meter->scale = meter->value;
    if (animate) {
        meter->blink = BlinkTicks;
    }
    effects.eraseBackground = true;
}

void SampleIfDue(Meter* meter, const MeterTickInput& input, MeterTickEffects& effects) {
    if (input.now - meter->lastSampleTick < meter->interval) {
        return;
    }
    if (meter->lastSampleTick == 0) {
        // The quiet minute that hides a meter counts from its first sampling.
        meter->lastNonZeroTick = input.now;
    }
    if (!meter->label && input.now - meter->lastLabelTick >= LabelRetryMs) {
        effects.rebuildLabels = true;
    }
    meter->lastSampleTick = input.now;
    uint32_t value = 0;
    // A rate spans the time since the last sample the source gave, not since the last attempt.
    const bool sampled = input.sampler(input.samplerContext, meter, input.now,
                                       input.now - meter->lastReadTick, &value);
    if (sampled) {
        meter->lastReadTick = input.now;
        meter->value = value;
        RescaleDown(meter, input, effects);
    }
    if (input.hideInvalid) {
        UpdateVisibility(meter, sampled && value != 0, input.now, effects);
    }
    if (!sampled) {
        return;
    }
    RescaleUp(meter, input.animate, effects);
    if (input.animate && meter->value >= meter->peak) {
        meter->peak = meter->value;
        meter->peakHold = PeakHoldTicks;
    }
}

// About one bar segment per tick in a one-column grid.
uint32_t PeakDecayStep(uint32_t scale, uint32_t width) {
    if (width == 0) {
        return 1;
    }
    const uint64_t step = uint64_t(3) * (scale / width);
    if (step == 0) {
        return 1;
    }
    return step > UINT32_MAX ? UINT32_MAX : uint32_t(step);
}

void AgeMeter(Meter* meter, uint32_t clientWidth) {
    if (meter->peakHold > 0) {
        --meter->peakHold;
    }
    if (meter->peakHold == 0) {
        const uint32_t step = PeakDecayStep(meter->scale, clientWidth);
        meter->peak = meter->peak < step ? 0 : meter->peak - step;
    }
    if (meter->blink > 0) {
        --meter->blink;
    }
}

unsigned ChangeBit(bool changed, MeterChange bit) {
    return changed ? static_cast<unsigned>(bit) : 0u;
}

unsigned ChangesOf(const Meter& before, const Meter& after) {
    const bool hiddenBefore = before.blink % 10 >= 5;
    const bool hiddenAfter = after.blink % 10 >= 5;
    return ChangeBit(before.value != after.value, MeterValueChanged) |
           ChangeBit(before.scale != after.scale, MeterScaleChanged) |
           ChangeBit(before.peak != after.peak, MeterPeakChanged) |
           ChangeBit(hiddenBefore != hiddenAfter, MeterBlinkPhaseChanged) |
           ChangeBit(before.visible != after.visible, MeterVisibilityChanged);
}

} // namespace

MeterTickEffects RunMeterTick(Meter* head, const MeterTickInput& input) {
    MeterTickEffects effects = {false, false, false};
    int gridPosition = 0;
    for (Meter* meter = head; meter; meter = meter->next) {
        const Meter before = *meter;
        if (!input.hideInvalid) {
            // Switched on later, the option gives every meter a full minute from then.
            meter->lastNonZeroTick = input.now;
        }
        SampleIfDue(meter, input, effects);
        AgeMeter(meter, input.clientWidth);
        const unsigned changes = ChangesOf(before, *meter);
        if (changes != 0 && input.changeSink) {
            input.changeSink(input.changeContext, meter, gridPosition, changes);
        }
        if (meter->visible) {
            ++gridPosition;
        }
    }
    for (Meter* meter = head; meter && effects.rebuildLabels; meter = meter->next) {
        if (!meter->label) {
            meter->lastLabelTick = input.now; // asked for now: not again for ten seconds
        }
    }
    return effects;
}
