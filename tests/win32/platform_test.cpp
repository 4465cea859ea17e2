// The stand-in for the Windows 98 statistics publishes what the band reads; the shell's stand-in
// keeps the band's state and writes its screenshot. (Showing the installed band and its menu is
// the end-to-end tests' part.)
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "win32_test_support.h"

namespace {

std::string PlatformFolder() {
    return ProgramFolder() + "..\\..\\platform\\";
}

TEST(StatisticsProvider, PublishesHostFiguresWithTheirDescriptions) {
    DeleteStartStat();
    ASSERT_EQ(RunAndWait("\"" + PlatformFolder() + "statistics_provider.exe\" 2"), 0u);
    const std::string data = "PerfStats\\StatData";
    const int usage = atoi(RegText(HKEY_DYN_DATA, data, "KERNEL\\CPUUsage").c_str());
    const int threads = atoi(RegText(HKEY_DYN_DATA, data, "KERNEL\\Threads").c_str());
    EXPECT_TRUE(usage <= 100 && threads > 0 && KeyExists(HKEY_DYN_DATA, "PerfStats\\StartStat"));
    EXPECT_NE(RegText(HKEY_DYN_DATA, data, "VFAT\\BytesRead"), "(missing)");
    const std::string enumKey = "System\\CurrentControlSet\\Control\\PerfStats\\Enum\\";
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, enumKey + "KERNEL\\CPUUsage", "Name") + " " +
                  RegText(HKEY_LOCAL_MACHINE, enumKey + "VFAT\\BytesRead", "Differentiate") +
                  " " + RegText(HKEY_LOCAL_MACHINE, enumKey + "KERNEL", "Name"),
              "プロセッサ使用率 (%) TRUE カーネル");
}

TEST(BandHost, KeepsTheBandsStateAndWritesAScreenshot) {
    const std::string dll = PlatformFolder() + "..\\band\\vt.dll";
    const std::string state = PlatformFolder() + "bandhost-test-state.bin";
    const std::string shot = PlatformFolder() + "bandhost-test.png";
    DeleteFileA(state.c_str());
    DeleteFileA(shot.c_str());
    ASSERT_EQ(RunAndWait("regsvr32.exe /s \"" + dll + "\""), 0u);
    const std::string host = "\"" + PlatformFolder() + "bandhost.exe\" /state \"" + state + "\"";
    ASSERT_EQ(RunAndWait(host + " /default /exit 2 /screenshot \"" + shot + "\""), 0u);
    const std::string saved = FileText(state);
    // Four meters: processor usage, memory load, free physical memory and drive C:.
    EXPECT_EQ(saved.size(), 24u + (15 + 25) + (11 + 25) + (16 + 25) + (9 + 25));
    // The strip as an uncompressed PNG of 600 x 40, with lit segments (green) among its bytes.
    const std::string png = FileText(shot);
    EXPECT_EQ(png.substr(12, 12), std::string("IHDR\0\0\x02\x58\0\0\0\x28", 12));
    int green = 0;
    for (size_t i = 0; i + 2 < png.size(); ++i) {
        green += uint8_t(png[i]) < 150 && uint8_t(png[i + 1]) > 150 && uint8_t(png[i + 2]) < 100;
    }
    EXPECT_GT(green, 50);

    // The next start restores the band from the file and saves it unchanged.
    ASSERT_EQ(RunAndWait(host + " /exit 1"), 0u);
    EXPECT_EQ(FileText(state), saved);
    ASSERT_EQ(RunAndWait("regsvr32.exe /s /u \"" + dll + "\""), 0u);
    DeleteFileA(state.c_str());
    DeleteFileA(shot.c_str());
}

} // namespace
