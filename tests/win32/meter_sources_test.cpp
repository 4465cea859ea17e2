// The meters' sources against the real registry, DLLs, memory and drives, under Wine.
#include <gtest/gtest.h>

#include <string.h>

#include "meters/guarded_call.h"
#include "meters/sources.h"
#include "meters/update_meters.h"
#include "window/band_window.h"
#include "win32_test_support.h"

namespace {

bool Sample(TestBand& t, Meter* meter, uint32_t now, uint32_t elapsed, uint32_t* value) {
    *value = 0xDEADBEEF;
    return SampleMeter(&t.band, meter, now, elapsed, value);
}

TEST(Environment, JapaneseCodePageAndWindows98) {
    EXPECT_EQ(GetACP(), 932u) << "texts are compared as code page 932 bytes";
    EXPECT_EQ(LOWORD(GetVersion()), 0x0A04) << "the prefix is set to Windows 98 (4.10)";
}

TEST(StatisticSamples, OnlyBinaryValuesThatFitReadAsTheirFirstWord) {
    TestBand t;
    Meter* m = t.Add(PerfStat, "VTTest\\Plain", -1, 1000);
    uint32_t value = 0;

    const unsigned char word[] = {0x10, 0x27, 0, 0, 0xff, 0xff};
    SetStatData("VTTest\\Plain", REG_BINARY, word, sizeof(word));
    ASSERT_TRUE(Sample(t, m, 5000, 1000, &value));
    EXPECT_EQ(value, 10000u);
    EXPECT_EQ(m->scale, 0u) << "statistics leave the scale to the automatic rules";

    const unsigned char shortValue[] = {0x34, 0x12};
    SetStatData("VTTest\\Plain", REG_BINARY, shortValue, sizeof(shortValue));
    ASSERT_TRUE(Sample(t, m, 5000, 1000, &value));
    EXPECT_EQ(value, 0x1234u);

    unsigned char exactly80[80] = {7};
    SetStatData("VTTest\\Plain", REG_BINARY, exactly80, sizeof(exactly80));
    ASSERT_TRUE(Sample(t, m, 5000, 1000, &value));
    EXPECT_EQ(value, 7u);

    unsigned char tooLong[81] = {7};
    SetStatData("VTTest\\Plain", REG_BINARY, tooLong, sizeof(tooLong));
    EXPECT_FALSE(Sample(t, m, 5000, 1000, &value));

    const DWORD number = 55;
    SetStatData("VTTest\\Plain", REG_DWORD, &number, sizeof(number));
    EXPECT_FALSE(Sample(t, m, 5000, 1000, &value)) << "REG_DWORD is not a statistic";
    SetStatData("VTTest\\Plain", REG_SZ, "12", 3);
    EXPECT_FALSE(Sample(t, m, 5000, 1000, &value));

    Meter* missing = t.Add(PerfStat, "VTTest\\Nowhere", -1, 1000);
    EXPECT_FALSE(Sample(t, missing, 5000, 1000, &value));
    Meter* keyless = t.Add(PerfStat, "x", -1, 1000);
    free(keyless->key);
    keyless->key = nullptr;
    EXPECT_FALSE(Sample(t, keyless, 5000, 1000, &value));
}

TEST(StatisticSamples, DifferentiatedTotalsBecomeRatesThroughTheirDescription) {
    CreateStartStat();
    SetStatDescription("VTTest\\Total", "転送バイト", "TrUe");
    TestBand t;
    Meter* m = t.Add(PerfStat, "VTTest\\Total", -1, 1000);
    BuildLabels(&t.band, false);
    ASSERT_NE(m->label, nullptr);
    EXPECT_STREQ(m->label, "転送バイト");
    ASSERT_EQ(m->differentiate, 1);

    const DWORD totals[] = {1000, 1500, 2500};
    const uint32_t rates[] = {0, 500, 1000};
    uint32_t value = 0;
    for (int i = 0; i < 3; ++i) {
        SetStatTotal("VTTest\\Total", totals[i]);
        ASSERT_TRUE(Sample(t, m, 1000 * i, 1000, &value));
        EXPECT_EQ(value, rates[i]) << i;
    }
    SetStatTotal("VTTest\\Total", 0xFFFFFF00u);
    ASSERT_TRUE(Sample(t, m, 4000, 1000, &value));
    SetStatTotal("VTTest\\Total", 0x00000100u);
    ASSERT_TRUE(Sample(t, m, 5000, 500, &value));
    EXPECT_EQ(value, 0x400u) << "512 over half a second across the wrap";
}

TEST(BuildLabels, EveryKindAndTheDescriptionRules) {
    CreateStartStat();
    SetStatDescription("VTTest\\Named", "名前", nullptr);
    SetStatDescription("VTTest\\Plain", "Plain", "FALSE");
    DeleteKeyTree(HKEY_LOCAL_MACHINE,
                  "System\\CurrentControlSet\\Control\\PerfStats\\Enum\\VTTest\\Undescribed");

    TestBand t;
    Meter* named = t.Add(PerfStat, "VTTest\\Named", -1, 1000);
    named->differentiate = 1;
    Meter* plain = t.Add(PerfStat, "VTTest\\Plain", -1, 1000);
    plain->differentiate = 1;
    Meter* undescribed = t.Add(PerfStat, "VTTest\\Undescribed", -1, 1000);
    undescribed->differentiate = 1;
    Meter* gdi = t.Add(Resource, "Resource\\GDI", 1, 1000);
    Meter* badResource = t.Add(Resource, "Resource\\X", 3, 1000);
    Meter* virt = t.Add(Memory, "Memory\\AvailVirtual", 3, 1000);
    Meter* badMemory = t.Add(Memory, "Memory\\X", 4, 1000);
    Meter* drive = t.Add(Drive, "Drive\\C:\\", 0, 1000);
    Meter* other = t.Add(static_cast<MeterKind>(9), "Other\\X", 0, 1000);
    other->label = CopyText("stale");

    BuildLabels(&t.band, true);
    EXPECT_STREQ(named->label, "名前");
    EXPECT_EQ(named->differentiate, 0) << "no Differentiate value: a plain statistic";
    EXPECT_STREQ(plain->label, "Plain");
    EXPECT_EQ(plain->differentiate, 0);
    EXPECT_EQ(undescribed->label, nullptr);
    EXPECT_EQ(undescribed->differentiate, 1) << "without a description the flag stays";
    EXPECT_STREQ(gdi->label, "GDI");
    EXPECT_EQ(badResource->label, nullptr);
    EXPECT_STREQ(virt->label, "空き仮想メモリー");
    EXPECT_EQ(badMemory->label, nullptr);
    ASSERT_NE(drive->label, nullptr);
    EXPECT_NE(strstr(drive->label, "C:"), nullptr) << drive->label;
    EXPECT_EQ(other->label, nullptr) << "every label is released first";
    EXPECT_NE(t.band.timerId, 0u);
    EXPECT_TRUE(KillTimer(t.band.window, 1)) << "timer 1 runs on the band window";

    // Without StartStat nothing is released or built, but the timer still starts.
    DeleteStartStat();
    free(gdi->label);
    gdi->label = nullptr;
    t.band.timerId = 0;
    BuildLabels(&t.band, true);
    EXPECT_EQ(gdi->label, nullptr);
    EXPECT_STREQ(named->label, "名前");
    EXPECT_NE(t.band.timerId, 0u);
    EXPECT_TRUE(KillTimer(t.band.window, 1));
    CreateStartStat();
}

TEST(ResourceSamples, ThroughRsrc32DoublesPresentMissingWithoutExportAndFaulting) {
    const std::string folder = ProgramFolder();
    const std::string target = folder + "rsrc32.dll";
    ReleaseResourceModule();
    DeleteFileA(target.c_str());

    TestBand t;
    Meter* user = t.Add(Resource, "Resource\\USER", 2, 1000);
    uint32_t value = 0;
    EXPECT_FALSE(Sample(t, user, 100, 1000, &value)) << "no rsrc32.dll";

    // The load is tried again at the next sampling.
    ASSERT_TRUE(CopyFileA((folder + "rsrc32_healthy.dll").c_str(), target.c_str(), FALSE));
    ASSERT_TRUE(Sample(t, user, 200, 1000, &value));
    EXPECT_EQ(value, 42u);
    EXPECT_EQ(user->scale, 100u);
    EXPECT_EQ(user->lastHighTick, 200u);
    Meter* system = t.Add(Resource, "Resource\\SYSTEM", 0, 1000);
    ASSERT_TRUE(Sample(t, system, 300, 1000, &value));
    EXPECT_EQ(value, 40u);

    // A library without the export stays loaded without a function until released.
    ReleaseResourceModule();
    ASSERT_TRUE(CopyFileA((folder + "rsrc32_noexport.dll").c_str(), target.c_str(), FALSE));
    EXPECT_FALSE(Sample(t, user, 400, 1000, &value));
    ASSERT_TRUE(CopyFileA((folder + "rsrc32_healthy.dll").c_str(), target.c_str(), FALSE) ||
                GetLastError() != 0);
    EXPECT_FALSE(Sample(t, user, 500, 1000, &value));
    ReleaseResourceModule();

    // A function that faults gives no sample, and the band carries on.
    ASSERT_TRUE(CopyFileA((folder + "rsrc32_faulting.dll").c_str(), target.c_str(), FALSE));
    user->scale = 77;
    EXPECT_FALSE(Sample(t, user, 600, 1000, &value));
    EXPECT_FALSE(Sample(t, user, 700, 1000, &value));
    EXPECT_EQ(user->scale, 77u);
    ReleaseResourceModule();

    ASSERT_TRUE(CopyFileA((folder + "rsrc32_healthy.dll").c_str(), target.c_str(), FALSE));
    ASSERT_TRUE(Sample(t, user, 800, 1000, &value));
    EXPECT_EQ(value, 42u);
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

TEST(MemorySamples, EveryIndexAndItsScale) {
    TestBand t;
    uint32_t value = 0;
    Meter* load = t.Add(Memory, "Memory\\Load", 0, 1000);
    ASSERT_TRUE(Sample(t, load, 1234, 1000, &value));
    EXPECT_EQ(load->scale, 100u);
    EXPECT_LE(value, 100u);
    EXPECT_EQ(load->lastHighTick, 1234u);
    for (int index = 1; index <= 3; ++index) {
        Meter* m = t.Add(Memory, "Memory\\X", index, 1000);
        ASSERT_TRUE(Sample(t, m, 99, 1000, &value)) << index;
        EXPECT_GT(m->scale, 0u) << index;
        EXPECT_LE(value, m->scale) << index;
        EXPECT_GT(value, 1024u) << index << ": bytes, shown in K or M";
        EXPECT_EQ(m->lastHighTick, 99u);
    }
    Meter* bad = t.Add(Memory, "Memory\\X", 4, 1000);
    bad->scale = 3;
    EXPECT_FALSE(Sample(t, bad, 99, 1000, &value));
    EXPECT_EQ(bad->scale, 3u);
}

char UnusedDriveLetter() {
    const DWORD drives = GetLogicalDrives();
    for (char letter = 'Q'; letter <= 'Y'; ++letter) {
        if (!(drives & (1u << (letter - 'A')))) {
            return letter;
        }
    }
    return 0;
}

TEST(DriveSamples, RealDriveMissingDriveAndBothFreeSpaceCalls) {
    BindDiskFreeSpaceEx();
    TestBand t;
    uint32_t value = 0;
    Meter* c = t.Add(Drive, "Drive\\C:\\", 0, 1000);
    ASSERT_TRUE(Sample(t, c, 4321, 1000, &value));
    EXPECT_GT(c->scale, 0u);
    EXPECT_LE(value, c->scale);
    EXPECT_EQ(c->lastHighTick, 4321u);

    const char letter = UnusedDriveLetter();
    ASSERT_NE(letter, 0);
    char key[] = "Drive\\?:\\";
    key[6] = letter;
    Meter* gone = t.Add(Drive, key, 1, 1000);
    gone->scale = 5555;
    ASSERT_TRUE(Sample(t, gone, 4321, 1000, &value)) << "a drive that is gone reads 0";
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(gone->scale, 5555u);
    EXPECT_EQ(gone->lastHighTick, 4321u) << "the kept full scale is not dropped 60 s later";

    DWORD totalOld = 0, freeOld = 0, totalEx = 0, freeEx = 0;
    ASSERT_TRUE(GetDriveSpaceWith(nullptr, "C:\\", &totalOld, &freeOld));
    ASSERT_TRUE(GetDriveSpace("C:\\", &totalEx, &freeEx));
    EXPECT_GT(totalOld, 0u);
    EXPECT_GT(totalEx, 0u);
    EXPECT_FALSE(GetDriveSpace(key + 6, &totalEx, &freeEx));
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

TEST(DriveSamples, HugeDrivesClampAndAFailingExtendedCallFallsBack) {
    DWORD total = 0, available = 0;
    ASSERT_TRUE(GetDriveSpaceWith(&HugeDrive, "C:\\", &total, &available));
    EXPECT_EQ(total, 4294967295u);
    EXPECT_EQ(available, 3u << 20);

    DWORD totalOld = 0, freeOld = 0;
    ASSERT_TRUE(GetDriveSpaceWith(nullptr, "C:\\", &totalOld, &freeOld));
    ASSERT_TRUE(GetDriveSpaceWith(&FailingFreeSpaceEx, "C:\\", &total, &available));
    EXPECT_EQ(total, totalOld);
}

// The band keeps the statistics key between samples; when the platform drops the key, the next
// sample opens it again.
TEST(StatisticSamples, KeptKeyIsOpenedAgainWhenItGoes) {
    TestBand t;
    Meter* m = t.Add(PerfStat, "VTTest\\Kept", -1, 1000);
    uint32_t value = 0;
    SetStatTotal("VTTest\\Kept", 11);
    ASSERT_TRUE(Sample(t, m, 5000, 1000, &value));
    const HKEY kept = t.band.statisticsData;
    ASSERT_NE(kept, nullptr);
    SetStatTotal("VTTest\\Kept", 12);
    ASSERT_TRUE(Sample(t, m, 5100, 100, &value));
    EXPECT_EQ(value, 12u);
    EXPECT_EQ(t.band.statisticsData, kept) << "the same key, not opened again";
    DeleteKeyTree(HKEY_DYN_DATA, "PerfStats\\StatData");
    SetStatTotal("VTTest\\Kept", 13);
    ASSERT_TRUE(Sample(t, m, 5200, 100, &value));
    EXPECT_EQ(value, 13u);
    ReleaseStatisticsKey(&t.band);
    EXPECT_EQ(t.band.statisticsData, nullptr);
}

TEST(UpdateMeters, TickOnARealBandSamplesEveryKindAndRepaints) {
    CreateStartStat();
    SetStatDescription("VTTest\\Tick", "Tick", nullptr);
    SetStatTotal("VTTest\\Tick", 730);
    TestBand t;
    Meter* stat = t.Add(PerfStat, "VTTest\\Tick", -1, 0);
    Meter* memory = t.Add(Memory, "Memory\\Load", 0, 0);
    Meter* drive = t.Add(Drive, "Drive\\C:\\", 0, 0);
    SetStatTotal("VTTest\\Idle", 0);
    Meter* idle = t.Add(PerfStat, "VTTest\\Idle", -1, 0);
    EXPECT_EQ(RunBandTick(&t.band), 1);
    EXPECT_EQ(idle->visible, 1) << "idle meters stay unless the band's option hides them";
    EXPECT_EQ(stat->value, 730u);
    EXPECT_EQ(stat->scale, 730u);
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
