// Publishes Windows 98-style dynamic statistics for the band under Wine, which has none:
// HKEY_DYN_DATA "PerfStats\StatData" values (REG_BINARY, 32-bit little-endian), their
// descriptions under HKLM "...\PerfStats\Enum", and the "PerfStats\StartStat" key.
// The figures come from the host's own counters (Wine maps the host's root to drive Z:).
//
// usage: statistics_provider.exe [seconds]   (runs until killed when no time is given)
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

struct Statistic {
    const char* key;  // provider\statistic, the meter key
    const char* name; // label shown by the band
    bool differentiate;
};

const Statistic statistics[] = {
    {"KERNEL\\CPUUsage", "プロセッサ使用率 (%)", false},
    {"KERNEL\\Threads", "実行中のスレッド", false},
    {"VFAT\\BytesRead", "読み込みバイト/秒", true},
    {"VFAT\\BytesWritten", "書き込みバイト/秒", true},
};

struct Provider {
    const char* key;
    const char* name;
};

const Provider providers[] = {{"KERNEL", "カーネル"}, {"VFAT", "ファイル システム"}};

const char enumRoot[] = "System\\CurrentControlSet\\Control\\PerfStats\\Enum\\";

void SetString(HKEY key, const char* name, const char* value) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>(strlen(value) + 1));
}

void Describe(const char* key, const char* name, const char* differentiate) {
    char path[256];
    snprintf(path, sizeof(path), "%s%s", enumRoot, key);
    HKEY described;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &described, nullptr) != ERROR_SUCCESS) {
        return;
    }
    SetString(described, "Name", name);
    if (differentiate) {
        SetString(described, "Differentiate", differentiate);
    }
    RegCloseKey(described);
}

void DescribeAll() {
    for (const Provider& provider : providers) {
        Describe(provider.key, provider.name, nullptr);
    }
    for (const Statistic& statistic : statistics) {
        Describe(statistic.key, statistic.name, statistic.differentiate ? "TRUE" : "FALSE");
    }
    HKEY start;
    if (RegCreateKeyExA(HKEY_DYN_DATA, "PerfStats\\StartStat", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &start, nullptr) == ERROR_SUCCESS) {
        RegCloseKey(start);
    }
}

// Reads a small text file of the host (through drive Z:) into buffer; false when absent.
bool ReadHostFile(const char* path, char* buffer, DWORD capacity) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD read = 0;
    const BOOL ok = ReadFile(file, buffer, capacity - 1, &read, nullptr);
    CloseHandle(file);
    buffer[ok ? read : 0] = '\0';
    return ok && read > 0;
}

struct CpuTimes {
    unsigned long long busy;
    unsigned long long total;
};

bool ReadCpuTimes(CpuTimes* times) {
    char text[4096];
    if (!ReadHostFile("Z:\\proc\\stat", text, sizeof(text)) || strncmp(text, "cpu ", 4) != 0) {
        return false;
    }
    unsigned long long field[8] = {};
    sscanf(text + 4, "%llu %llu %llu %llu %llu %llu %llu %llu", &field[0], &field[1], &field[2],
           &field[3], &field[4], &field[5], &field[6], &field[7]);
    times->total = 0;
    for (unsigned long long f : field) {
        times->total += f;
    }
    times->busy = times->total - field[3] - field[4]; // idle and I/O wait
    return true;
}

DWORD RunningThreads() {
    char text[256];
    if (!ReadHostFile("Z:\\proc\\loadavg", text, sizeof(text))) {
        return 0;
    }
    // "0.10 0.20 0.30 running/total lastpid": the total is the host's thread count.
    const char* slash = strchr(text, '/');
    return slash ? static_cast<DWORD>(strtoul(slash + 1, nullptr, 10)) : 0;
}

// Bytes read and written by the host's disks since boot (sectors of 512 bytes), modulo 2^32.
void DiskTotals(DWORD* read, DWORD* written) {
    static char text[65536];
    *read = 0;
    *written = 0;
    if (!ReadHostFile("Z:\\proc\\diskstats", text, sizeof(text))) {
        return;
    }
    unsigned long long sectorsRead = 0;
    unsigned long long sectorsWritten = 0;
    for (char* line = strtok(text, "\n"); line; line = strtok(nullptr, "\n")) {
        unsigned major = 0, minor = 0;
        char device[64] = {};
        unsigned long long f[7] = {};
        if (sscanf(line, "%u %u %63s %llu %llu %llu %llu %llu %llu %llu", &major, &minor, device,
                   &f[0], &f[1], &f[2], &f[3], &f[4], &f[5], &f[6]) == 10 &&
            strncmp(device, "loop", 4) != 0 && strncmp(device, "ram", 3) != 0) {
            sectorsRead += f[2];
            sectorsWritten += f[6];
        }
    }
    *read = static_cast<DWORD>(sectorsRead * 512);
    *written = static_cast<DWORD>(sectorsWritten * 512);
}

void Publish(HKEY data, const char* key, DWORD value) {
    RegSetValueExA(data, key, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

} // namespace

int main(int argc, char** argv) {
    const DWORD seconds = argc > 1 ? strtoul(argv[1], nullptr, 10) : 0;
    DescribeAll();
    HKEY data;
    if (RegCreateKeyExA(HKEY_DYN_DATA, "PerfStats\\StatData", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &data, nullptr) != ERROR_SUCCESS) {
        fprintf(stderr, "statistics_provider: HKEY_DYN_DATA cannot be written\n");
        return 1;
    }
    CpuTimes before = {};
    ReadCpuTimes(&before);
    const DWORD start = GetTickCount();
    for (;;) {
        Sleep(500);
        CpuTimes now = {};
        DWORD usage = 0;
        if (ReadCpuTimes(&now) && now.total > before.total) {
            usage = static_cast<DWORD>(100 * (now.busy - before.busy) / (now.total - before.total));
            before = now;
        }
        DWORD read = 0, written = 0;
        DiskTotals(&read, &written);
        Publish(data, "KERNEL\\CPUUsage", usage);
        Publish(data, "KERNEL\\Threads", RunningThreads());
        Publish(data, "VFAT\\BytesRead", read);
        Publish(data, "VFAT\\BytesWritten", written);
        if (seconds != 0 && GetTickCount() - start >= seconds * 1000) {
            break;
        }
    }
    RegCloseKey(data);
    return 0;
}
