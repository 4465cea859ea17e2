// Tick-by-tick timelines of the meter list with a fake clock and a fake source.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "meter_list.h"
#include "meters/meter_tick.h"

namespace {

// A meter's moving parts in one line, for comparisons that name every field.
std::string State(const Meter* m) {
    return "value " + std::to_string(m->value) + " scale " + std::to_string(m->scale) + " peak " +
           std::to_string(m->peak) + " hold " + std::to_string(m->peakHold) + " blink " +
           std::to_string(m->blink) + " high " + std::to_string(m->lastHighTick);
}

// Meters sampled from a fake source (the value, or a rate's total, for each meter's index; none
// for NoSample) by 100 ms timer ticks of a fake clock.
const uint32_t NoSample = 0xFFFFFFFFu;
struct Timeline {
    std::vector<uint32_t> values;
    std::vector<Meter*> meters;
    MeterTickInput input;
    std::string changes; // "grid position:change bits " of each meter the last tick changed
    Meter* head = nullptr;

    Timeline(int count, uint32_t interval, uint32_t start) : values(count) {
        for (int i = 0; i < count; ++i) {
            meters.push_back(AppendMeter(&head, PerfStat, nullptr, i, interval));
            meters.back()->label = CopyText("label");
        }
        input = {start, 100, true, false, &Timeline::Sample, this, &Timeline::Changed, this};
    }
    ~Timeline() {
        ReleaseMeters(head);
    }

    static bool Sample(void* context, Meter* meter, uint32_t, uint32_t elapsed, uint32_t* value) {
        const uint32_t v = *value = static_cast<Timeline*>(context)->values[meter->index];
        return v != NoSample &&
               (!meter->differentiate || DifferentiateSample(&meter->lastRaw, v, elapsed, value));
    }
    static void Changed(void* context, const Meter*, int position, unsigned bits) {
        static_cast<Timeline*>(context)->changes +=
            std::to_string(position) + ":" + std::to_string(bits) + " ";
    }

    // One tick, after ticking until the clock reads `at` when one is given.
    MeterTickEffects Tick(uint32_t at = 0) {
        RunUntil(at ? at : input.now);
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

TEST(UpdateMeters, JumpSetsExactScaleThenDropsAfterQuietMinuteTenSecondsLaterAndToZero) {
    Timeline t(1, 1000, 100000);
    Meter* m = t.meters[0];
    t.values[0] = 10;
    EXPECT_TRUE(t.Tick().eraseBackground);
    EXPECT_EQ(m->scale, 10u);

    t.values[0] = 730; // sampled at 101 s
    EXPECT_TRUE(t.Tick(101000).eraseBackground);
    // The scale takes the value itself, not a step; blink set to 50 and counted down at once.
    EXPECT_EQ(State(m), "value 730 scale 730 peak 730 hold 9 blink 49 high 101000");
    EXPECT_EQ(t.changes, "0:15 ");

    t.values[0] = 243; // at or below a third of 730
    EXPECT_FALSE(t.Tick(160000).eraseBackground || m->scale != 730) << "59 s quiet: not yet";
    m->peak = m->peakHold = 600; // a peak held over the drop
    EXPECT_TRUE(t.Tick(161000).eraseBackground);
    // The old peak is dropped with the old scale and the same sample raises a new one.
    EXPECT_EQ(State(m), "value 243 scale 500 peak 243 hold 9 blink 49 high 111000");

    // A further drop can come ten seconds after the first, not sixty.
    t.values[0] = 50;
    t.RunUntil(171000);
    EXPECT_EQ(m->scale, 500u);
    t.Tick();
    EXPECT_EQ(std::make_pair(m->scale, m->lastHighTick), std::make_pair(100u, 121000u));

    // Zero at the next drop clears the scale until the next non-zero value.
    t.values[0] = 0;
    t.RunUntil(181000);
    EXPECT_EQ(m->scale, 100u);
    EXPECT_TRUE(t.Tick().eraseBackground);
    t.RunUntil(195000);
    EXPECT_EQ(State(m), "value 0 scale 0 peak 0 hold 0 blink 0 high 131000");
    t.values[0] = 7;
    EXPECT_TRUE(t.Tick().eraseBackground);
    EXPECT_EQ(State(m), "value 7 scale 7 peak 7 hold 9 blink 49 high 195000");
}

TEST(UpdateMeters, PeakHeldNineTicksThenFallsBySegmentSteps) {
    Timeline t(1, 3000, 50000);
    Meter* m = t.meters[0];
    t.values[0] = 1000; // scale 1000 over 100 pixels: step 3 * 10
    std::string peaks;
    for (int tick = 0; tick < 11; ++tick) {
        t.Tick();
        peaks += std::to_string(m->peak) + " ";
    }
    EXPECT_EQ(peaks, "1000 1000 1000 1000 1000 1000 1000 1000 1000 970 940 ");

    // A lower sample does not raise the peak; a higher one holds it again.
    t.values[0] = 100;
    t.Tick(53000);
    EXPECT_TRUE(m->value == 100 && m->peak < 940 && m->peak > 100) << State(m);

    // Width 0, or a scale smaller than the width, falls one unit a tick.
    t.input.clientWidth = 0;
    const uint32_t before = m->peak;
    t.Tick();
    EXPECT_EQ(m->peak, before - 1);
    t.input.clientWidth = 5000;
    t.Tick();
    EXPECT_EQ(m->peak, before - 2);
    EXPECT_EQ(t.changes, "0:4 ") << "only the peak moved";

    // A value that reaches the peak holds it again: sampled every tick, it never falls. The
    // ticks after the rise report only the blink's phase, where the scale text hides and shows.
    Timeline every(1, 0, 50000);
    every.values[0] = 1000;
    std::string reported;
    for (int tick = 0; tick < 52; ++tick) {
        every.Tick();
        ASSERT_EQ(every.meters[0]->peak, 1000u) << tick;
        reported += every.changes.empty() ? "" : std::to_string(tick) + "@" + every.changes;
    }
    EXPECT_EQ(reported, "0@0:15 5@0:8 10@0:8 15@0:8 20@0:8 25@0:8 30@0:8 35@0:8 40@0:8 45@0:8 ");
}

TEST(UpdateMeters, HideInvalidLeavesAndRejoinsTheGrid) {
    Timeline t(3, 1000, 100000);
    t.input.hideInvalid = true;
    Meter* m = t.meters[0];
    // An idle meter and one that gives no sample stay for a minute from their first sampling.
    t.values = {5, 0, NoSample};
    t.RunUntil(101100);
    t.values[0] = 0;
    const MeterTickEffects left = t.Tick(160000);
    EXPECT_TRUE(left.layoutChanged && left.eraseBackground) << "left with no scale change";
    // The first, 59 s after its last non-zero, stays; positions count the visible meters before.
    EXPECT_EQ(t.changes, "1:16 1:16 ") << "the other two left";

    EXPECT_TRUE(t.Tick(161000).layoutChanged && m->visible == 0);
    EXPECT_FALSE(t.Tick(162000).layoutChanged) << "already out: no change to report";

    t.RunUntil(170000);
    t.values[0] = 3;
    EXPECT_TRUE(t.Tick().layoutChanged);
    EXPECT_EQ(std::make_pair(m->visible, m->lastNonZeroTick), std::make_pair(1, 170000u));

    // With the option off, visibility is left alone; switched on, the minute counts from then.
    t.input.hideInvalid = false;
    t.values[0] = 0;
    t.RunUntil(300000);
    t.input.hideInvalid = true;
    t.RunUntil(360000);
    EXPECT_EQ(m->visible, 1);
    t.Tick();
    EXPECT_EQ(m->visible, 0);
}

// A rate after samples that failed spans the whole gap; a missing label is asked for at most
// once in ten seconds.
TEST(UpdateMeters, RateAfterAGapAndLabelRetries) {
    Timeline t(1, 1000, 100000);
    Meter* m = t.meters[0];
    m->differentiate = 1;
    free(std::exchange(m->label, nullptr));
    std::string seen;
    for (uint32_t total :
         {1000u, 2000u, NoSample, NoSample, 6000u, 6000u, 6000u, 6000u, 6000u, 6000u, 6000u}) {
        t.values[0] = total;
        seen += t.Tick().rebuildLabels ? "asked " : "";
        seen += std::to_string(m->value) + " ";
        t.RunUntil(t.input.now + 900);
    }
    EXPECT_EQ(seen, "asked 0 1000 1000 1000 1333 0 0 0 0 0 asked 0 ");
}

// GetTickCount wraps after 49.7 days: the schedule and the quiet minute go on across it.
TEST(UpdateMeters, ScheduleAndQuietMinuteAcrossTheClockWrap) {
    const uint32_t start = 0xFFFFEE08u; // wraps 4.6 s in
    Timeline t(1, 1000, start);
    t.input.animate = false; // without animation the drop leaves the (held) peak
    t.meters[0]->peak = t.meters[0]->peakHold = 1000;
    t.values[0] = 900;
    t.Tick();
    t.values[0] = 100;
    t.RunUntil(start + 4100);
    t.values[0] = 150;
    t.Tick(); // the next sample is due after the wrap
    EXPECT_EQ(t.meters[0]->value, 100u);
    t.RunUntil(start + 60000);
    EXPECT_EQ(std::make_pair(t.meters[0]->value, t.meters[0]->scale), std::make_pair(150u, 900u));
    t.Tick();
    EXPECT_EQ(std::make_pair(t.meters[0]->scale, t.meters[0]->peak), std::make_pair(200u, 1000u));
}

} // namespace
