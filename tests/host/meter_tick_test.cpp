// Tick-by-tick timelines of the meter list with a fake clock and a fake source.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "meters/meter_tick.h"

namespace {

// What the fake source answers for one meter; meters find theirs through their index.
struct FakeSource {
    bool available = true;
    uint32_t value = 0;
    int samples = 0;
    uint32_t lastElapsed = 0;
};

// A meter's moving parts in one line, for comparisons that name every field.
std::string State(const Meter* m) {
    return "value " + std::to_string(m->value) + " scale " + std::to_string(m->scale) + " peak " +
           std::to_string(m->peak) + " hold " + std::to_string(m->peakHold) + " blink " +
           std::to_string(m->blink) + " high " + std::to_string(m->lastHighTick);
}

struct Timeline {
    std::vector<FakeSource> sources;
    std::vector<Meter*> meters;
    MeterTickInput input = {};
    std::string changes; // "grid position:change bits " of each meter the last tick changed
    Meter* head = nullptr;

    explicit Timeline(int count, uint32_t interval, uint32_t start) : sources(count) {
        for (int i = count - 1; i >= 0; --i) {
            Meter* meter = CreateMeter();
            meter->kind = PerfStat;
            meter->index = i;
            meter->interval = interval;
            meter->key = CopyText("KERNEL\\CPUUsage");
            meter->label = CopyText("label");
            meter->next = head;
            head = meter;
            meters.insert(meters.begin(), meter);
        }
        input.now = start;
        input.clientWidth = 100;
        input.animate = true;
        input.sampler = &Timeline::Sample;
        input.samplerContext = this;
        input.changeSink = &Timeline::Changed;
        input.changeContext = this;
    }
    ~Timeline() {
        ReleaseMeters(head);
    }

    static bool Sample(void* context, Meter* meter, uint32_t, uint32_t elapsed, uint32_t* value) {
        FakeSource& source = static_cast<Timeline*>(context)->sources[meter->index];
        source.lastElapsed = elapsed;
        if (!source.available) {
            return false;
        }
        ++source.samples;
        *value = source.value;
        return true;
    }
    static void Changed(void* context, const Meter*, int position, unsigned bits) {
        static_cast<Timeline*>(context)->changes +=
            std::to_string(position) + ":" + std::to_string(bits) + " ";
    }

    // One 100 ms timer tick.
    MeterTickEffects Tick() {
        changes.clear();
        const MeterTickEffects effects = RunMeterTick(head, input);
        input.now += 100;
        return effects;
    }
    // Ticks until the clock reads `until` (exclusive).
    void RunUntil(uint32_t until) {
        while (input.now != until) {
            Tick();
        }
    }
};

TEST(UpdateMeters, JumpSetsExactScaleThenDropsAfterQuietMinuteAndTenSecondsLater) {
    Timeline t(1, 1000, 100000);
    Meter* m = t.meters[0];
    t.sources[0].value = 10;
    EXPECT_TRUE(t.Tick().eraseBackground);
    EXPECT_EQ(m->scale, 10u);

    t.RunUntil(101000);
    t.sources[0].value = 730;
    EXPECT_TRUE(t.Tick().eraseBackground);
    // The scale takes the value itself, not a step; blink set to 50 and counted down at once.
    EXPECT_EQ(State(m), "value 730 scale 730 peak 730 hold 9 blink 49 high 101000");
    EXPECT_EQ(t.changes, "0:15 ");

    t.sources[0].value = 243; // at or below a third of 730
    t.RunUntil(160000);
    EXPECT_EQ(m->scale, 730u);
    EXPECT_EQ(t.sources[0].samples, 60);
    EXPECT_FALSE(t.Tick().eraseBackground) << "159.9 s: not yet";
    t.RunUntil(161000);
    EXPECT_TRUE(t.Tick().eraseBackground);
    // The old peak is dropped with the old scale and the same sample raises a new one.
    EXPECT_EQ(State(m), "value 243 scale 500 peak 243 hold 9 blink 49 high 111000");

    // A further drop can come ten seconds after the first, not sixty.
    t.sources[0].value = 50;
    t.RunUntil(170000);
    EXPECT_EQ(m->scale, 500u);
    t.RunUntil(171000);
    t.Tick();
    EXPECT_EQ(m->scale, 100u);
    EXPECT_EQ(m->lastHighTick, 121000u);
}

TEST(UpdateMeters, ZeroForAMinuteClearsTheScaleUntilTheNextNonZeroValue) {
    Timeline t(1, 1000, 100000);
    Meter* m = t.meters[0];
    t.sources[0].value = 500;
    t.Tick();
    t.sources[0].value = 0;
    t.RunUntil(160000);
    EXPECT_EQ(m->scale, 500u);
    EXPECT_TRUE(t.Tick().eraseBackground);
    EXPECT_EQ(m->scale, 0u);
    t.RunUntil(175000);
    EXPECT_EQ(State(m), "value 0 scale 0 peak 0 hold 0 blink 0 high 110000");
    t.sources[0].value = 7;
    EXPECT_TRUE(t.Tick().eraseBackground);
    EXPECT_EQ(State(m), "value 7 scale 7 peak 7 hold 9 blink 49 high 175000");
}

TEST(UpdateMeters, PeakHeldNineTicksThenFallsBySegmentSteps) {
    Timeline t(1, 3000, 50000);
    Meter* m = t.meters[0];
    t.sources[0].value = 1000; // scale 1000 over 100 pixels: step 3 * 10
    std::string peaks;
    for (int tick = 0; tick < 11; ++tick) {
        t.Tick();
        peaks += std::to_string(m->peak) + " ";
    }
    EXPECT_EQ(peaks, "1000 1000 1000 1000 1000 1000 1000 1000 1000 970 940 ");

    // A lower sample does not raise the peak; a higher one holds it again.
    t.sources[0].value = 100;
    t.RunUntil(53000);
    t.Tick();
    EXPECT_EQ(m->value, 100u);
    EXPECT_LT(m->peak, 940u);
    EXPECT_GT(m->peak, 100u);

    // Width 0, or a scale smaller than the width, falls one unit a tick.
    t.input.clientWidth = 0;
    const uint32_t before = m->peak;
    t.Tick();
    EXPECT_EQ(m->peak, before - 1);
    t.input.clientWidth = 5000;
    t.Tick();
    EXPECT_EQ(m->peak, before - 2);
    EXPECT_EQ(t.changes, "0:4 ") << "only the peak moved";

    // A value that reaches the peak holds it again: sampled every tick, it never falls.
    Timeline every(1, 0, 50000);
    every.sources[0].value = 1000;
    for (int tick = 0; tick < 12; ++tick) {
        every.Tick();
        ASSERT_EQ(every.meters[0]->peak, 1000u) << tick;
    }
}

TEST(UpdateMeters, AnimationOffNeverRaisesThePeakAndLetsAnOldOneFall) {
    Timeline t(1, 1000, 50000);
    Meter* m = t.meters[0];
    t.input.animate = false;
    m->peak = 45;
    t.sources[0].value = 1000;
    t.Tick();
    EXPECT_EQ(State(m), "value 1000 scale 1000 peak 15 hold 0 blink 0 high 50000");
    t.Tick();
    EXPECT_EQ(m->peak, 0u);
    t.RunUntil(60000);
    EXPECT_EQ(m->peak, 0u);
}

TEST(UpdateMeters, HideInvalidLeavesAndRejoinsTheGrid) {
    Timeline t(2, 1000, 100000);
    t.input.hideInvalid = true;
    Meter* m = t.meters[0];
    t.sources[0].value = 5;
    t.sources[1].value = 0; // never non-zero: leaves at its first zero sample
    EXPECT_TRUE(t.Tick().layoutChanged);
    EXPECT_EQ(t.meters[1]->visible, 0);
    EXPECT_EQ(m->visible, 1);
    EXPECT_EQ(t.changes, "0:15 1:16 ") << "the second meter's position counts the first";
    Timeline alone(1, 1000, 100000);
    alone.input.hideInvalid = true;
    const MeterTickEffects left = alone.Tick();
    EXPECT_TRUE(left.layoutChanged && left.eraseBackground) << "left with no scale change";

    t.sources[0].value = 0;
    t.RunUntil(159000);
    EXPECT_FALSE(t.Tick().layoutChanged);
    EXPECT_EQ(m->visible, 1);
    t.RunUntil(160000);
    MeterTickEffects gone = t.Tick();
    EXPECT_TRUE(gone.layoutChanged);
    EXPECT_TRUE(gone.eraseBackground);
    EXPECT_EQ(m->visible, 0);
    t.RunUntil(161000);
    EXPECT_FALSE(t.Tick().layoutChanged) << "already out: no change to report";

    t.RunUntil(170000);
    t.sources[0].value = 3;
    EXPECT_TRUE(t.Tick().layoutChanged);
    EXPECT_EQ(m->visible, 1);
    EXPECT_EQ(m->lastNonZeroTick, 170000u);

    // With the option off, visibility is left alone.
    t.input.hideInvalid = false;
    t.sources[0].value = 0;
    t.RunUntil(300000);
    EXPECT_EQ(m->visible, 1);
}

TEST(UpdateMeters, ScheduleSurvivesTickCountWrapAndIntervalZero) {
    Timeline t(2, 1000, 0xFFFFF000u);
    t.meters[1]->interval = 0;
    t.sources[0].value = 100;
    t.sources[1].value = 100;
    // 0xFFFFF000 to 0x00002000 is 8192 ms: 100 ticks of 100 ms cross the wrap.
    t.RunUntil(0xFFFFF000u + 10000u);
    EXPECT_EQ(t.sources[0].samples, 10);
    EXPECT_EQ(t.sources[1].samples, 100);
    EXPECT_EQ(t.sources[1].lastElapsed, 100u);

    // Interval 0 samples even when the clock has not moved.
    t.input.now -= 100;
    t.Tick();
    EXPECT_EQ(t.sources[1].samples, 101);
    EXPECT_EQ(t.sources[1].lastElapsed, 0u);

    // Sixty quiet seconds across the wrap still rescale.
    Timeline w(1, 1000, 0xFFFF0000u);
    w.sources[0].value = 900;
    w.Tick();
    w.sources[0].value = 100;
    w.RunUntil(0xFFFF0000u + 60000u);
    EXPECT_EQ(w.meters[0]->scale, 900u);
    w.Tick();
    EXPECT_EQ(w.meters[0]->scale, 200u);
}

TEST(UpdateMeters, FailedSampleKeepsStateButStillAgesAndMissingLabelAsksForRebuild) {
    Timeline t(1, 1000, 100000);
    Meter* m = t.meters[0];
    t.sources[0].value = 400;
    t.Tick();
    t.sources[0].available = false;
    t.RunUntil(101000);
    MeterTickEffects effects = t.Tick();
    // The attempt counts as the meter's sampling; the blink still counts down.
    EXPECT_EQ(m->lastSampleTick, 101000u);
    EXPECT_EQ(State(m), "value 400 scale 400 peak 376 hold 0 blink 39 high 100000");
    EXPECT_FALSE(effects.rebuildLabels);
    EXPECT_FALSE(effects.eraseBackground);

    free(m->label);
    m->label = nullptr;
    EXPECT_FALSE(t.Tick().rebuildLabels) << "not due: labels are not asked for";
    t.RunUntil(102000);
    EXPECT_TRUE(t.Tick().rebuildLabels);
}

} // namespace
