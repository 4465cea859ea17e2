// The meters' sources against the real registry, DLLs, memory and drives, under Wine.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <utility>

#include "meters/guarded_call.h"
#include "meters/sources.h"
#include "meters/update_meters.h"
#include "window/band_window.h"
#include "win32_test_support.h"

namespace {

// Whether the meter gave a sample, and the sample (0 when none).
std::pair<bool, uint32_t> Sample(TestBand& t, Meter* meter, uint32_t now, uint32_t elapsed = 1000) {
    uint32_t value = 0xDEADBEEF;
    const bool sampled = SampleMeter(&t.band, meter, now, elapsed, &value);
    return {sampled, sampled ? value : 0};
}
std::pair<bool, uint32_t> Sampled(uint32_t value) {
    return {true, value};
}
const std::pair<bool, uint32_t> none(false, 0);

TEST(Environment, JapaneseCodePageAndWindows98) {
    EXPECT_EQ(GetACP(), 932u) << "texts are compared as code page 932 bytes";
    EXPECT_EQ(LOWORD(GetVersion()), 0x0A04) << "the prefix is set to Windows 98 (4.10)";
}

// Which values are statistics, the key the band keeps between samples, and totals made rates.
TEST(StatisticSamples, ValuesTheKeptKeyAndDifferentiatedTotals) {
    TestBand t;
    Meter* m = t.Add(PerfStat, "VTTest\\Plain", -1, 1000);
    static const char seven[81] = {7};
    const struct {
        DWORD type;
        const char* data;
        DWORD size;
        std::pair<bool, uint32_t> sample;
    } rows[] = {
        {REG_BINARY, "\x10\x27\0\0\xff\xff", 6, Sampled(10000)}, // the first word
        {REG_BINARY, "\x34\x12", 2, Sampled(0x1234)},
        {REG_BINARY, seven, 80, Sampled(7)},
        {REG_BINARY, seven, 81, none}, // too long for a statistic
        {REG_DWORD, "\x37\0\0\0", 4, none},
        {REG_SZ, "12", 3, none},
    };
    for (const auto& row : rows) {
        SetStatData("VTTest\\Plain", row.type, row.data, row.size);
        EXPECT_EQ(Sample(t, m, 5000), row.sample) << row.type << ", " << row.size << " bytes";
    }
    EXPECT_EQ(m->scale, 0u) << "statistics leave the scale to the automatic rules";
    EXPECT_EQ(Sample(t, t.Add(PerfStat, "VTTest\\Nowhere", -1, 1000), 5000), none);
    Meter* keyless = t.Add(PerfStat, "x", -1, 1000);
    free(keyless->key);
    keyless->key = nullptr;
    EXPECT_EQ(Sample(t, keyless, 5000), none);

    SetStatTotal("VTTest\\Plain", 11);
    ASSERT_EQ(Sample(t, m, 5000), Sampled(11));
    const HKEY kept = t.band.statisticsData;
    ASSERT_NE(kept, nullptr);
    SetStatTotal("VTTest\\Plain", 12);
    EXPECT_EQ(Sample(t, m, 5100), Sampled(12));
    EXPECT_EQ(t.band.statisticsData, kept) << "the same key, not opened again";
    DeleteKeyTree(HKEY_DYN_DATA, "PerfStats\\StatData");
    SetStatTotal("VTTest\\Plain", 13);
    EXPECT_EQ(Sample(t, m, 5200), Sampled(13)) << "the key that went is opened again";

    Meter* total = t.Add(PerfStat, "VTTest\\Total", -1, 1000);
    total->differentiate = 1;
    const DWORD totals[] = {1000, 1500, 2500};
    for (int i = 0; i < 3; ++i) {
        SetStatTotal("VTTest\\Total", totals[i]);
        EXPECT_EQ(Sample(t, total, 1000 * i), Sampled(500 * i)) << i;
    }
    SetStatTotal("VTTest\\Total", 0xFFFFFF00u);
    ASSERT_TRUE(Sample(t, total, 4000).first);
    SetStatTotal("VTTest\\Total", 0x00000100u);
    EXPECT_EQ(Sample(t, total, 5000, 500), Sampled(0x400)) << "512 over half a second, wrapped";
    ReleaseStatisticsKey(&t.band);
    EXPECT_EQ(t.band.statisticsData, nullptr);
}

TEST(BuildLabels, EveryKindAndTheDescriptionRules) {
    CreateStartStat();
    SetStatDescription("VTTest\\Named", "名前", nullptr);
    SetStatDescription("VTTest\\Plain", "Plain", "FALSE");
    SetStatDescription("VTTest\\Total", "転送バイト", "TrUe");
    DeleteKeyTree(HKEY_LOCAL_MACHINE,
                  "System\\CurrentControlSet\\Control\\PerfStats\\Enum\\VTTest\\Undescribed");
    // Each meter with its differentiate flag before, and the label and flag it must get.
    const struct {
        MeterKind kind;
        const char* key;
        int index;
        int differentiate;
        std::pair<std::string, int> built;
    } rows[] = {
        {PerfStat, "VTTest\\Named", -1, 1, {"名前", 0}}, // no Differentiate value: plain
        {PerfStat, "VTTest\\Plain", -1, 1, {"Plain", 0}},
        {PerfStat, "VTTest\\Total", -1, 0, {"転送バイト", 1}},
        {PerfStat, "VTTest\\Undescribed", -1, 1, {"", 1}}, // no description: the flag stays
        {Resource, "Resource\\GDI", 1, 0, {"GDI", 0}},
        {Resource, "Resource\\X", 3, 0, {"", 0}},
        {Memory, "Memory\\AvailVirtual", 3, 0, {"空き仮想メモリー", 0}},
        {Memory, "Memory\\X", 4, 0, {"", 0}},
        {static_cast<MeterKind>(9), "Other\\X", 0, 0, {"", 0}},
    };
    TestBand t;
    for (const auto& row : rows) {
        t.Add(row.kind, row.key, row.index, 1000)->differentiate = row.differentiate;
    }
    Meter* drive = t.Add(Drive, "Drive\\C:\\", 0, 1000);
    auto build = [&t] {
        for (Meter* m = t.band.meters; m; m = m->next) {
            free(m->label);
            m->label = CopyText("stale");
        }
        t.band.timerId = 0;
        BuildLabels(&t.band, true);
        EXPECT_NE(t.band.timerId, 0u);
        EXPECT_TRUE(KillTimer(t.band.window, 1)) << "timer 1 runs on the band window";
    };
    build();
    const Meter* m = t.band.meters;
    for (const auto& row : rows) {
        EXPECT_EQ(std::make_pair(std::string(m->label ? m->label : ""), m->differentiate),
                  row.built)
            << row.key << " " << row.index; // every stale label was released first
        m = m->next;
    }
    ASSERT_NE(drive->label, nullptr);
    EXPECT_NE(strstr(drive->label, "C:"), nullptr) << drive->label;
    // Without StartStat nothing is released or built, but the timer still starts.
    DeleteStartStat();
    build();
    for (m = t.band.meters; m; m = m->next) {
        EXPECT_STREQ(m->label, "stale");
    }
    CreateStartStat();
}

TEST(ResourceSamples, ThroughRsrc32DoublesPresentMissingWithoutExportAndFaulting) {
    const std::string folder = ProgramFolder();
    const std::string target = folder + "rsrc32.dll";
    ReleaseResourceModule();
    DeleteFileA(target.c_str());
    TestBand t;
    Meter* user = t.Add(Resource, "Resource\\USER", 2, 1000);
    Meter* system = t.Add(Resource, "Resource\\SYSTEM", 0, 1000);
    // Each step: the module released or not, the stand-in then copied in place, and one sample.
    const struct {
        const char* what;
        bool release;
        const char* dll;
        Meter* meter;
        std::pair<bool, uint32_t> sample;
    } steps[] = {
        {"no rsrc32.dll", false, nullptr, user, none},
        {"the load is tried again", false, "healthy", user, Sampled(42)},
        {"system resources", false, nullptr, system, Sampled(40)},
        {"no export", true, "noexport", user, none},
        {"loaded without a function until released", false, "healthy", user, none},
        {"a function that faults", true, "faulting", user, none},
        {"faults again, and the band carries on", false, nullptr, user, none},
        {"healthy again", true, "healthy", user, Sampled(42)},
    };
    uint32_t now = 100;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        if (step.release) {
            ReleaseResourceModule();
        }
        if (step.dll) {
            const std::string source = folder + "rsrc32_" + step.dll + ".dll";
            // Only the copy over the library still loaded may fail.
            EXPECT_TRUE(CopyFileA(source.c_str(), target.c_str(), FALSE) ||
                        !(step.release || step.sample.first));
        }
        step.meter->scale = 77;
        EXPECT_EQ(Sample(t, step.meter, now), step.sample);
        EXPECT_EQ(step.meter->scale, step.sample.first ? 100u : 77u);
        EXPECT_TRUE(!step.sample.first || step.meter->lastHighTick == now);
        now += 100;
    }
    ReleaseResourceModule();
    EXPECT_TRUE(DeleteFileA(target.c_str()));
}

uintptr_t WINAPI Doubled(uintptr_t x) {
    return 2 * x;
}

uintptr_t WINAPI RaisesSoftwareException(uintptr_t) {
    RaiseException(0xE0001234, 0, 0, nullptr);
    return 1;
}

TEST(GuardedCall, ReturnsResultsAndSurvivesExceptionsWithRegistersIntact) {
    uintptr_t result = 0;
    EXPECT_EQ(VtGuardedCall1(reinterpret_cast<void*>(&Doubled), 21, &result), 1);
    EXPECT_EQ(result, 42u);
    for (int i = 0; i < 1000; ++i) {
        volatile int kept = i * 3;
        result = 5;
        ASSERT_EQ(VtGuardedCall1(reinterpret_cast<void*>(&RaisesSoftwareException), 0, &result), 0);
        ASSERT_EQ(kept, i * 3);
        ASSERT_EQ(result, 5u) << "no result is stored after an exception";
    }
    EXPECT_EQ(VtGuardedCall1(reinterpret_cast<void*>(&Doubled), 4, &result), 1);
    EXPECT_EQ(result, 8u);
}

BOOL WINAPI HugeDrive(LPCSTR, PULARGE_INTEGER available, PULARGE_INTEGER total,
                      PULARGE_INTEGER totalFree) {
    available->QuadPart = 1;
    total->QuadPart = 5ull << 40;     // 5 TB
    totalFree->QuadPart = 3ull << 30; // 3 GB
    return TRUE;
}

BOOL WINAPI FailingFreeSpaceEx(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER) {
    return FALSE;
}

TEST(LocalSamples, MemoryAndDrivesWithTheirScalesAndBothFreeSpaceCalls) {
    BindDiskFreeSpaceEx();
    char gone[] = "Drive\\Q:\\";
    while (gone[6] < 'Z' && (GetLogicalDrives() & (1u << (gone[6] - 'A')))) {
        ++gone[6];
    }
    ASSERT_LT(gone[6], 'Z');
    // Each meter's scale is set to 5555 first; scale 0 here means any new full scale.
    const struct {
        MeterKind kind;
        const char* key;
        int index;
        bool sampled;
        uint32_t scale;
        uint32_t least;
    } rows[] = {
        {Memory, "Memory\\Load", 0, true, 100, 0},
        {Memory, "Memory\\X", 1, true, 0, 1025}, // bytes, shown in K or M
        {Memory, "Memory\\X", 2, true, 0, 1025},
        {Memory, "Memory\\X", 3, true, 0, 1025},
        {Memory, "Memory\\X", 4, false, 5555, 0},
        {Drive, "Drive\\C:\\", 0, true, 0, 0},
        {Drive, gone, 1, true, 5555, 0}, // a drive that is gone reads 0 and keeps its scale
    };
    TestBand t;
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.key) + " " + std::to_string(row.index));
        Meter* m = t.Add(row.kind, row.key, row.index, 1000);
        m->scale = 5555;
        const std::pair<bool, uint32_t> sample = Sample(t, m, 4321);
        EXPECT_EQ(sample.first, row.sampled);
        EXPECT_TRUE(row.scale ? m->scale == row.scale : m->scale > 0 && m->scale != 5555)
            << m->scale;
        EXPECT_TRUE(!row.sampled || m->lastHighTick == 4321u) << "the scale is kept 60 s from now";
        EXPECT_TRUE(row.scale == 5555 ? sample.second == 0
                                      : sample.second >= row.least && sample.second <= m->scale)
            << sample.second;
    }

    DWORD totalOld = 0, freeOld = 0, total = 0, available = 0;
    ASSERT_TRUE(GetDriveSpaceWith(nullptr, "C:\\", &totalOld, &freeOld));
    EXPECT_GT(totalOld, 0u);
    ASSERT_TRUE(GetDriveSpace("C:\\", &total, &available));
    EXPECT_GT(total, 0u);
    EXPECT_FALSE(GetDriveSpace(gone + 6, &total, &available));
    ASSERT_TRUE(GetDriveSpaceWith(&HugeDrive, "C:\\", &total, &available));
    EXPECT_EQ(std::make_pair(total, available), std::make_pair(DWORD(4294967295u), DWORD(3u << 20)))
        << "kilobytes, the total clamped";
    ASSERT_TRUE(GetDriveSpaceWith(&FailingFreeSpaceEx, "C:\\", &total, &available));
    EXPECT_EQ(total, totalOld) << "a failing extended call falls back to the old one";
}

TEST(UpdateMeters, TickOnARealBandSamplesEveryKindAndRepaints) {
    CreateStartStat();
    SetStatDescription("VTTest\\Tick", "Tick", nullptr);
    SetStatTotal("VTTest\\Tick", 730);
    SetStatTotal("VTTest\\Idle", 0);
    TestBand t;
    Meter* stat = t.Add(PerfStat, "VTTest\\Tick", -1, 0);
    Meter* memory = t.Add(Memory, "Memory\\Load", 0, 0);
    Meter* drive = t.Add(Drive, "Drive\\C:\\", 0, 0);
    Meter* idle = t.Add(PerfStat, "VTTest\\Idle", -1, 0);
    EXPECT_EQ(RunBandTick(&t.band), 1);
    EXPECT_EQ(idle->visible, 1) << "idle meters stay unless the band's option hides them";
    EXPECT_EQ(std::make_pair(stat->value, stat->scale), std::make_pair(730u, 730u));
    EXPECT_STREQ(stat->label, "Tick") << "a due meter without a label rebuilt the labels";
    EXPECT_EQ(memory->scale, 100u);
    EXPECT_GT(drive->scale, 0u);
    RECT dirty;
    EXPECT_TRUE(GetUpdateRect(t.band.window, &dirty, FALSE)) << "a repaint was requested";
    t.band.hideInvalid = TRUE;
    RunBandTick(&t.band);
    EXPECT_EQ(idle->visible, 0);
}

} // namespace
