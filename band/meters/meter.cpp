#include "meter.h"

#include <stdlib.h>
#include <string.h>

Meter* CreateMeter() {
    Meter* meter = static_cast<Meter*>(calloc(1, sizeof(Meter)));
    if (!meter) {
        return nullptr;
    }
    meter->kind = MeterKindNone;
    meter->index = -1;
    meter->visible = 1;
    return meter;
}

void ReleaseMeters(Meter* head) {
    while (head) {
        Meter* next = head->next;
        free(head->key);
        free(head->label);
        free(head);
        head = next;
    }
}

char* CopyTextBytes(const char* text, size_t length) {
    char* copy = static_cast<char*>(malloc(length + 1));
    if (!copy) {
        return nullptr;
    }
    memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

char* CopyText(const char* text) {
    return CopyTextBytes(text, strlen(text));
}

const char* DriveRootOfKey(const char* key) {
    // "Drive" and the backslash take the first six characters.
    const size_t prefix = 6;
    return strlen(key) >= prefix ? key + prefix : "";
}

const char* ResourceLabel(int32_t index) {
    static const char* const labels[] = {"SYSTEM", "GDI", "USER"};
    if (index < 0 || index >= 3) {
        return nullptr;
    }
    return labels[index];
}

const char* MemoryLabel(int32_t index) {
    static const char* const labels[] = {"使用中メモリ (%)", "空き物理メモリー",
                                         "空きページファイル", "空き仮想メモリー"};
    if (index < 0 || index >= 4) {
        return nullptr;
    }
    return labels[index];
}

bool IsTrueText(const char* text) {
    const char* expected = "TRUE";
    for (; *expected; ++expected, ++text) {
        char c = *text;
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        if (c != *expected) {
            return false;
        }
    }
    return *text == '\0';
}

namespace {

// Bounded appender for the handful of number formats FormatValue needs.
struct TextOut {
    char* out;
    size_t capacity;
    size_t length;
};

void PutChar(TextOut& text, char c) {
    if (text.length + 1 < text.capacity) {
        text.out[text.length++] = c;
        text.out[text.length] = '\0';
    }
}

void PutDecimal(TextOut& text, uint32_t value, int minDigits) {
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int pad = count; pad < minDigits; ++pad) {
        PutChar(text, '0');
    }
    while (count > 0) {
        PutChar(text, digits[--count]);
    }
}

void PutText(TextOut& text, const char* s) {
    for (; *s; ++s) {
        PutChar(text, *s);
    }
}

} // namespace

size_t FormatValue(uint32_t value, bool driveUnits, char* out, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    out[0] = '\0';
    TextOut text = {out, capacity, 0};

    const char* unit = nullptr;
    uint32_t whole = value;
    uint32_t fraction = 0;
    if (value < 1024) {
        unit = driveUnits ? "K" : nullptr;
    } else if (value < 1048576) {
        unit = driveUnits ? "M" : "K";
        whole = value / 1024;
        fraction = value % 1024;
    } else {
        unit = driveUnits ? "G" : "M";
        whole = value / 1048576;
        fraction = (value / 1024) % 1024;
    }

    PutDecimal(text, whole, 1);
    if (!unit) {
        return text.length;
    }
    if (whole < 10) {
        PutChar(text, '.');
        PutDecimal(text, fraction * 100 / 1024, 2);
    } else if (whole < 100) {
        PutChar(text, '.');
        PutDecimal(text, fraction * 10 / 1024, 1);
    }
    PutText(text, unit);
    return text.length;
}

uint32_t ScaleStep(int position) {
    if (position < 0 || position >= ScaleStepCount) {
        return 0;
    }
    static const uint32_t mantissa[] = {1, 2, 5};
    static const uint32_t decade[] = {1, 10, 100};
    const uint32_t power = uint32_t(1) << (10 * (position / 9));
    return mantissa[position % 3] * decade[(position / 3) % 3] * power;
}

uint32_t ScaleAfterDrop(uint32_t value, uint32_t current) {
    if (value == 0) {
        return 0;
    }
    for (int position = 0; position < ScaleStepCount; ++position) {
        if (ScaleStep(position) > value) {
            return ScaleStep(position);
        }
    }
    return current;
}

bool DifferentiateSample(uint32_t* lastRaw, uint32_t raw, uint32_t elapsed, uint32_t* sample) {
    if (*lastRaw == 0) {
        // The first total (or a total that read 0) only sets the baseline.
        *lastRaw = raw;
        *sample = 0;
        return true;
    }
    if (elapsed == 0) {
        // Two samples in one millisecond: keep the baseline so the next rate covers both.
        return false;
    }
    const uint32_t difference = raw - *lastRaw;
    *lastRaw = raw;
    // 64-bit so that a busy counter (over 4.3 million a second) is not wrapped into nonsense.
    const uint64_t rate = uint64_t(difference) * 1000 / elapsed;
    *sample = rate > UINT32_MAX ? UINT32_MAX : uint32_t(rate);
    return true;
}

uint32_t KilobytesOfBytes(uint64_t bytes) {
    const uint64_t kilobytes = bytes >> 10;
    return kilobytes > UINT32_MAX ? UINT32_MAX : uint32_t(kilobytes);
}

uint32_t KilobytesOfClusters(uint32_t sectorsPerCluster, uint32_t bytesPerSector,
                             uint32_t clusters) {
    const uint64_t bytesPerCluster = uint64_t(sectorsPerCluster) * bytesPerSector;
    if (clusters != 0 && bytesPerCluster > UINT64_MAX / clusters) {
        return UINT32_MAX;
    }
    return KilobytesOfBytes(bytesPerCluster * clusters);
}

bool StatDataWord(const unsigned char* data, uint32_t size, bool isBinary, uint32_t* raw) {
    if (!isBinary) {
        return false;
    }
    uint32_t word = 0;
    for (uint32_t i = 0; i < 4 && i < size; ++i) {
        word |= uint32_t(data[i]) << (8 * i);
    }
    *raw = word;
    return true;
}
