// The band's stored state: byte layout, round trips, and damaged or short streams.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "meter_list.h"
#include "shell/band_state.h"

namespace {

struct MemoryStream {
    std::vector<unsigned char> bytes;
    size_t position = 0;
    // The read and the write that fail (counted from 1; none at 0) while the others succeed.
    size_t reads = 0, failingRead = 0, writes = 0, failingWrite = 0;

    static bool Read(void* context, void* buffer, uint32_t size) {
        MemoryStream* s = static_cast<MemoryStream*>(context);
        if (s->bytes.size() - s->position < size || ++s->reads == s->failingRead) {
            return false;
        }
        memcpy(buffer, s->bytes.data() + s->position, size);
        s->position += size;
        return true;
    }
    static bool Write(void* context, const void* data, uint32_t size) {
        MemoryStream* s = static_cast<MemoryStream*>(context);
        const unsigned char* p = static_cast<const unsigned char*>(data);
        s->bytes.insert(s->bytes.end(), p, p + size);
        return ++s->writes != s->failingWrite;
    }
    // Little-endian numbers, and texts with their terminator.
    MemoryStream& Numbers(std::initializer_list<uint32_t> numbers) {
        for (uint32_t n : numbers) {
            for (int i = 0; i < 4; ++i) {
                bytes.push_back(static_cast<unsigned char>(n >> (8 * i)));
            }
        }
        return *this;
    }
    MemoryStream& Text(const std::string& text) {
        bytes.insert(bytes.end(), text.c_str(), text.c_str() + text.size() + 1);
        return *this;
    }
    BandStateResult Load(BandOptions* options, Meter** meters) {
        return LoadBandState(ByteReader{&MemoryStream::Read, this}, options, meters);
    }
    BandStateResult Save(BandOptions options, const Meter* meters) {
        return SaveBandState(ByteWriter{&MemoryStream::Write, this}, options, meters);
    }
};

// A list of meters released with it; its meters in order, as "key kind index interval|" (with
// "label" or "hidden" where the meter has one or is).
struct MeterList {
    Meter* head = nullptr;
    ~MeterList() {
        ReleaseMeters(head);
    }
    MeterList& Add(MeterKind kind, const char* key, int32_t index, uint32_t interval) {
        AppendMeter(&head, kind, key, index, interval);
        return *this;
    }
    std::string Keys() const {
        std::string keys;
        for (const Meter* m = head; m; m = m->next) {
            keys += std::string(m->key ? m->key : "(none)") + " " + std::to_string(m->kind) + " " +
                    std::to_string(m->index) + " " + std::to_string(m->interval) +
                    (m->label ? " label" : "") + (m->visible ? "|" : " hidden|");
        }
        return keys;
    }
};

TEST(BandState, SavesTheExactLayoutAndPassesOverUnknownTags) {
    MeterList one;
    one.Add(Memory, "Memory\\Load", 0, 1000);
    MemoryStream stream;
    ASSERT_EQ(stream.Save(BandOptions{0, 1}, one.head), BandStateOk);
    EXPECT_EQ(stream.bytes, MemoryStream()
                                .Numbers({1, 0, 2, 1, 0, 11})
                                .Text("Memory\\Load")
                                .Numbers({3, 0, 1, 1000, 0, 0})
                                .bytes);

    // Repeated tags; unknown tags, of the band or a meter, passed over with their values.
    MemoryStream odd;
    odd.Numbers({1, 0, 1, 1, 9, 3, 0, 3}).Text("A\\B").Numbers({3, 1, 1, 500, 5, 0, 1, 3000, 0, 0});
    BandOptions options = {0, 0};
    ASSERT_EQ(odd.Load(&options, &one.head), BandStateOk);
    EXPECT_EQ(std::to_string(options.animate) + " " + one.Keys(), "1 A\\B 3 1 3000|");
}

TEST(BandState, ShortAndDamagedStreamsFailKeepingWholeMetersOnly) {
    MeterList saved;
    saved.Add(PerfStat, "KERNEL\\CPUUsage", -1, 500).Add(Memory, "Memory\\AvailPhys", 1, 1000);
    MemoryStream full;
    ASSERT_EQ(full.Save(BandOptions{1, 0}, saved.head), BandStateOk);

    // Whichever read fails, the others succeeding: a failure, and the meters kept are exactly
    // those read whole (the first meter's reads end with the 12th, the second's with the 19th).
    for (size_t failing = 1; failing <= 20; ++failing) {
        MemoryStream stream = full;
        stream.failingRead = failing;
        MeterList loaded;
        loaded.Add(Memory, "Memory\\Load", 0, 1);
        BandOptions options = {1, 0};
        EXPECT_EQ(stream.Load(&options, &loaded.head), BandStateFailed) << failing;
        EXPECT_EQ(loaded.Keys(), failing == 20  ? saved.Keys()
                                 : failing > 12 ? "KERNEL\\CPUUsage 0 -1 500|"
                                                : "")
            << failing;
    }

    // The longest key loads; one byte more, or an absurd length, fails without trying to
    // allocate it.
    for (uint32_t length : {uint32_t(MaxStoredKeyLength), MaxStoredKeyLength + 1u, 0xFFFFFFF0u}) {
        MemoryStream stream;
        stream.Numbers({0, length}).Text(std::string(length % 8192, 'k')).Numbers({3, 0, 0, 0});
        MeterList list;
        BandOptions options = {1, 0};
        const bool fits = length == MaxStoredKeyLength;
        EXPECT_EQ(stream.Load(&options, &list.head) == BandStateOk && list.head, fits) << length;
    }
}

TEST(BandState, RoundTripsOptionsAndMetersLeavingOutUnstorableOnesAndShortWritesFail) {
    MeterList saved;
    saved.Add(PerfStat, "KERNEL\\CPUUsage", -1, 500).Add(Memory, nullptr, 1, 1000);
    saved.Add(Memory, "", 2, 1000)
        .Add(static_cast<MeterKind>(-7), "Odd\\空き", -123456, 0xFFFFFFFFu);
    const uint32_t size = BandStateSize(saved.head);
    EXPECT_EQ(size, 24u + 15 + 25 + 8 + 25);
    MemoryStream stream;
    ASSERT_EQ(stream.Save(BandOptions{0, 1}, saved.head), BandStateOk);
    EXPECT_EQ(stream.bytes.size(), size);
    // Whichever write fails, the others succeeding, the save fails.
    for (size_t failing = 1; failing <= stream.writes; ++failing) {
        MemoryStream failed;
        failed.failingWrite = failing;
        EXPECT_EQ(failed.Save(BandOptions{0, 1}, saved.head), BandStateFailed) << failing;
    }
    MeterList loaded;
    loaded.Add(Memory, "Memory\\Load", 0, 1); // replaced by the load
    loaded.head->label = CopyText("label");
    BandOptions options = {1, 0};
    ASSERT_EQ(stream.Load(&options, &loaded.head), BandStateOk);
    EXPECT_EQ(std::make_pair(options.animate, options.hideInvalid), std::make_pair(0, 1));
    // Labels are rebuilt, not stored; the meter after an empty key is not lost.
    EXPECT_EQ(loaded.Keys(), "KERNEL\\CPUUsage 0 -1 500|Odd\\空き -7 -123456 4294967295|");
}

} // namespace
