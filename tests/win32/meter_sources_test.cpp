// The meters' sources against the real registry, DLLs, memory and drives, under Wine.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <tuple>
#include <utility>

#include "import_hook.h"
#include "meters/guarded_call.h"
#include "meters/sources.h"
#include "meters/update_meters.h"
#include "window/band_window.h"
#include "win32_test_support.h"

namespace {

// Whether the meter gave a sample, and the sample (0 when none).
using Sampled = std::pair<bool, uint32_t>;
const Sampled none(false, 0);
Sampled Sample(TestBand& t, Meter* meter, uint32_t now, uint32_t elapsed = 1000) {
    uint32_t value = 0xDEADBEEF;
    const bool sampled = SampleMeter(&t.band, meter, now, elapsed, &value);
    return {sampled, sampled ? value : 0};
}
// The same after the statistic's total was set.
Sampled SampleTotal(TestBand& t, Meter* meter, DWORD total, uint32_t now, uint32_t elapsed = 1000) {
    SetStatTotal(meter->key, total);
    return Sample(t, meter, now, elapsed);
}

TEST(Environment, JapaneseCodePageAndWindows98) {
    EXPECT_EQ(GetACP(), 932u) << "texts are compared as code page 932 bytes";
    EXPECT_EQ(LOWORD(GetVersion()), 0x0A04) << "the prefix is set to Windows 98 (4.10)";
}

// Which values are statistics, the key opened again after it went, and totals made rates.
TEST(StatisticSamples, ValuesAKeyThatWentAndDifferentiatedTotals) {
    TestBand t;
    Meter* m = t.Add(PerfStat, "VTTest\\Plain", -1, 1000);
    auto stored = [&](DWORD type, const char* data, DWORD size) {
        SetStatData("VTTest\\Plain", type, data, size);
        return Sample(t, m, 5000);
    };
    static const char seven[81] = {7};
    // The first word of up to 80 binary bytes; more is too long for a statistic.
    EXPECT_EQ(stored(REG_BINARY, "\x10\x27\0\0\xff\xff", 6), Sampled(true, 10000));
    EXPECT_EQ(stored(REG_BINARY, seven, 80), Sampled(true, 7));
    EXPECT_EQ(stored(REG_BINARY, seven, 81), none);
    EXPECT_EQ(Sample(t, t.Add(PerfStat, "VTTest\\Nowhere", -1, 1000), 5000), none);

    ASSERT_EQ(SampleTotal(t, m, 12, 5100), Sampled(true, 12));
    DeleteKeyTree(HKEY_DYN_DATA, "PerfStats\\StatData");
    EXPECT_EQ(SampleTotal(t, m, 13, 5200), Sampled(true, 13)); // the key that went, again

    Meter* total = t.Add(PerfStat, "VTTest\\Total", -1, 1000);
    total->differentiate = 1;
    EXPECT_EQ(SampleTotal(t, total, 0xFFFFFF00u, 0), Sampled(true, 0));
    EXPECT_EQ(SampleTotal(t, total, 0x100, 500, 500), Sampled(true, 0x400)); // 512 in 0.5 s
}

// malloc through the program's imports, each block one byte longer than asked and filled with a
// mark: a write just past what was asked for clears the mark in the last byte.
void* realMalloc;
std::pair<unsigned char*, size_t> blocks[64];
int blockCount;
void* MarkedMalloc(size_t size) {
    auto* at =
        static_cast<unsigned char*>(reinterpret_cast<decltype(&malloc)>(realMalloc)(size + 1));
    if (at && blockCount < 64) {
        memset(at, 0xA5, size + 1); // no terminator comes from the block
        blocks[blockCount++] = {at, size};
    }
    return at;
}
bool MarkIntact(const void* p) {
    const auto* b = std::find_if(blocks, blocks + blockCount,
                                 [p](const auto& block) { return block.first == p; });
    return b != blocks + blockCount && b->first[b->second] == 0xA5;
}

TEST(BuildLabels, EveryKindAndTheDescriptionRules) {
    CreateStartStat();
    SetStatDescription("VTTest\\Named", "名前", nullptr, false); // stored without a terminator
    SetStatDescription("VTTest\\Plain", "Plain", "FALSE");
    SetStatDescription("VTTest\\Total", "転送バイト", "TrUe");
    // Each meter with its differentiate flag before, and the label and flag it must get.
    const std::tuple<MeterKind, const char*, int, int, std::pair<std::string, int>> rows[] = {
        {PerfStat, "VTTest\\Named", -1, 1, {"名前", 0}}, // no Differentiate value: plain
        {PerfStat, "VTTest\\Plain", -1, 1, {"Plain", 0}},
        {PerfStat, "VTTest\\Total", -1, 0, {"転送バイト", 1}},
        {PerfStat, "VTTest\\Undescribed", -1, 1, {"", 1}}, // never described: the flag stays
        {Resource, "Resource\\X", 3, 0, {"", 0}},
        {Memory, "Memory\\X", 4, 0, {"", 0}},
    };
    TestBand t;
    for (const auto& [kind, key, index, differentiate, built] : rows) {
        t.Add(kind, key, index, 1000)->differentiate = differentiate;
    }
    Meter* drive = t.Add(Drive, "Drive\\C:\\", 0, 1000);
    for (Meter* m = t.band.meters; m; m = m->next) {
        m->label = CopyText("stale");
    }
    realMalloc = HookImport("msvcrt.dll", "malloc", reinterpret_cast<void*>(&MarkedMalloc));
    BuildLabels(&t.band, false);
    HookImport("msvcrt.dll", "malloc", realMalloc);
    const Meter* m = t.band.meters;
    for (const auto& [kind, key, index, differentiate, built] : rows) {
        EXPECT_EQ(std::make_pair(std::string(m->label ? m->label : ""), m->differentiate), built)
            << key << " " << index; // every stale label was released first
        EXPECT_TRUE(!m->label || MarkIntact(m->label)) << key << ": written past its block";
        m = m->next;
    }
    EXPECT_TRUE(drive->label && strstr(drive->label, "C:")) << drive->label;

    DeleteStartStat(); // only the statistics' labels wait for the key
    Meter* load = t.Add(Memory, "Memory\\Load", 0, 1000);
    BuildLabels(&t.band, false);
    EXPECT_TRUE(load->label && t.band.meters->label) << "table label built, statistic's kept";
}

TEST(ResourceSamples, ThroughRsrc32DoublesPresentMissingWithoutExportAndFaulting) {
    const std::string folder = ProgramFolder(), target = folder + "rsrc32.dll";
    ReleaseResourceModule();
    DeleteFileA(target.c_str());
    TestBand t;
    Meter* user = t.Add(Resource, "Resource\\USER", 2, 1000);
    Meter* system = t.Add(Resource, "Resource\\SYSTEM", 0, 1000);
    // Each step: the module released or not, the stand-in then copied in place, and one sample.
    const std::tuple<const char*, bool, const char*, Meter*, Sampled> steps[] = {
        {"no rsrc32.dll", false, nullptr, user, none},
        {"the load is tried again", false, "healthy", user, Sampled(true, 42)},
        {"system resources", false, nullptr, system, Sampled(true, 40)},
        {"no export", true, "noexport", user, none},
        {"loaded without a function until released", false, "healthy", user, none},
        {"a function that faults", true, "faulting", user, none},
        {"healthy again", true, "healthy", user, Sampled(true, 42)},
    };
    uint32_t now = 100;
    for (const auto& [what, release, dll, meter, sample] : steps) {
        // Named in each message: a trace object alive across the 32-bit guard's recovery
        // leaves the fault unhandled under the emulated 32-bit Wine.
        if (release) {
            ReleaseResourceModule();
        }
        // Only the copy over the library still loaded may fail.
        EXPECT_TRUE(!dll ||
                    CopyFileA((folder + "rsrc32_" + dll + ".dll").c_str(), target.c_str(), FALSE) ||
                    !(release || sample.first))
            << what;
        meter->scale = 77;
        EXPECT_EQ(Sample(t, meter, now), sample) << what;
        EXPECT_TRUE(sample.first ? meter->scale == 100 && meter->lastHighTick == now
                                 : meter->scale == 77)
            << what << ": a scale only from a sample";
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

#if defined(__i386__)
uintptr_t WINAPI ReadsAt(uintptr_t address) {
    return *reinterpret_cast<volatile uintptr_t*>(address);
}
// FS:[0], the head of the thread's frame-based handlers, and a handler of the test's own.
void** FrameChain() {
    void** head;
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}
void SetFrameChain(void** head) {
    asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
}
int ownHandlerCalls;
extern "C" EXCEPTION_DISPOSITION OwnHandler(EXCEPTION_RECORD* record, void*, CONTEXT*, void*) {
    ownHandlerCalls += record->ExceptionCode == 0xE0005678;
    return ExceptionContinueExecution;
}
#endif

TEST(GuardedCall, ReturnsResultsAndSurvivesExceptionsWithRegistersIntact) {
    uintptr_t result = 0;
    for (int i = 0; i < 1000; ++i) {
        volatile int kept = i * 3;
        result = 5;
        ASSERT_EQ(VtGuardedCall1(reinterpret_cast<void*>(&RaisesSoftwareException), 0, &result), 0);
        ASSERT_EQ(kept, i * 3);
        ASSERT_EQ(result, 5u) << "no result is stored after an exception";
    }
#if defined(__i386__)
    // The guard's frame goes again after a fault and after a return: FS:[0] is as it was, and an
    // exception raised afterwards reaches the frame registered before the calls.
    void* own[2] = {FrameChain(), reinterpret_cast<void*>(&OwnHandler)};
    SetFrameChain(own);
    const bool faulted = VtGuardedCall1(reinterpret_cast<void*>(&ReadsAt), 0x10, &result) == 0;
    bool unlinked = FrameChain() == own;
    EXPECT_TRUE(VtGuardedCall1(reinterpret_cast<void*>(&Doubled), 4, &result) == 1 && result == 8);
    unlinked = unlinked && FrameChain() == own;
    if (unlinked) {
        RaiseException(0xE0005678, 0, 0, nullptr);
    }
    SetFrameChain(static_cast<void**>(own[0]));
    EXPECT_TRUE(faulted && unlinked && ownHandlerCalls == 1);
#else
    EXPECT_TRUE(VtGuardedCall1(reinterpret_cast<void*>(&Doubled), 4, &result) == 1 && result == 8);
#endif
}

// A drive of 5 TB with 3 GB free, or the extended call failing.
bool exFails;
BOOL WINAPI HugeDrive(LPCSTR, PULARGE_INTEGER available, PULARGE_INTEGER total,
                      PULARGE_INTEGER totalFree) {
    available->QuadPart = 1;
    total->QuadPart = 5ull << 40;
    totalFree->QuadPart = 3ull << 30;
    return !exFails;
}

// GetDriveTypeA as the product code calls it, counted.
long driveTypesAsked;
void* realDriveType;
UINT WINAPI CountedGetDriveType(LPCSTR root) {
    ++driveTypesAsked;
    return reinterpret_cast<UINT(WINAPI*)(LPCSTR)>(realDriveType)(root);
}

TEST(LocalSamples, MemoryAndDrivesWithTheirScalesAndBothFreeSpaceCalls) {
    BindDiskFreeSpaceEx();
    ASSERT_TRUE(DefineWineDrive('R', DRIVE_CDROM, "/tmp"));
    // Each meter's scale is set to 5555 first; a scale of 0 here means any new full scale. A
    // CD-ROM (whose free space Wine gives) is never asked, like any drive but a fixed one.
    const std::tuple<MeterKind, const char*, int, bool, uint32_t, uint32_t> rows[] = {
        {Memory, "Memory\\Load", 0, true, 100, 0},
        {Memory, "Memory\\X", 1, true, 0, 1025}, // bytes, shown in K or M
        {Drive, "Drive\\C:\\", 0, true, 0, 0},
        {Drive, "Drive\\R:\\", 2, false, 5555, 0},
    };
    TestBand t;
    for (const auto& [kind, key, index, sampled, scale, least] : rows) {
        Meter* m = t.Add(kind, key, index, 1000);
        m->scale = 5555;
        const auto [given, value] = Sample(t, m, 4321);
        const bool scaleRight = scale ? m->scale == scale : m->scale > 0 && m->scale != 5555;
        const bool valueRight = scale == 5555 ? value == 0 : value >= least && value <= m->scale;
        // The new full scale is kept until 60 s after the sample.
        EXPECT_EQ(
            std::make_tuple(given, scaleRight, valueRight, !given || m->lastHighTick == 4321u),
            std::make_tuple(sampled, true, true, true))
            << key << " " << index << ": " << value << " of " << m->scale;
    }

    // A drive's type (a costly question under Wine) is asked again after 10 s, not every time.
    realDriveType =
        HookImport("kernel32.dll", "GetDriveTypeA", reinterpret_cast<void*>(&CountedGetDriveType));
    for (uint32_t now : {900000u, 901000u, 909999u, 910000u}) {
        EXPECT_TRUE(Sample(t, t.Add(Drive, "Drive\\C:\\", 0, 1000), now).first) << now;
    }
    HookImport("kernel32.dll", "GetDriveTypeA", realDriveType);
    EXPECT_EQ(driveTypesAsked, 2);
    DWORD totalOld = 0, freeOld = 0, total = 0, available = 0;
    ASSERT_TRUE(GetDriveSpaceWith(nullptr, "C:\\", &totalOld, &freeOld) && totalOld > 0);
    ASSERT_TRUE(GetDriveSpaceWith(&HugeDrive, "C:\\", &total, &available));
    EXPECT_EQ(std::make_pair(total, available), std::make_pair(DWORD(4294967295u), DWORD(3u << 20)))
        << "kilobytes, the total clamped";
    exFails = true;
    EXPECT_FALSE(GetDriveSpaceWith(&HugeDrive, "C:\\", &total, &available)) << "asked once";
    EXPECT_TRUE(DefineWineDrive('R', DRIVE_NO_ROOT_DIR, nullptr));
}

TEST(UpdateMeters, TickOnARealBandSamplesAndHidesIdleMetersByTheOption) {
    CreateStartStat();
    SetStatDescription("VTTest\\Tick", "Tick", nullptr);
    SetStatTotal("VTTest\\Tick", 730);
    SetStatTotal("VTTest\\Idle", 0);
    TestBand t;
    Meter* stat = t.Add(PerfStat, "VTTest\\Tick", -1, 0);
    Meter* idle = t.Add(PerfStat, "VTTest\\Idle", -1, 0);
    RunBandTick(&t.band);
    // Idle meters stay unless the band's option hides them; a due meter without a label
    // rebuilds the labels.
    EXPECT_EQ(std::make_tuple(idle->visible, stat->value, stat->scale),
              std::make_tuple(1, 730u, 730u));
    EXPECT_STREQ(stat->label, "Tick");
    t.band.hideInvalid = TRUE; // idle for a minute by then
    idle->lastNonZeroTick -= HideAfterZeroMs;
    RunBandTick(&t.band);
    EXPECT_EQ(std::make_pair(stat->visible, idle->visible), std::make_pair(1, 0));
}

} // namespace
