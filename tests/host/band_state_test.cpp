// The band's stored state: byte layout, round trips, and damaged or short streams.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "shell/band_state.h"

namespace {

struct MemoryStream {
    std::vector<unsigned char> bytes;
    size_t position = 0;
    size_t writeBudget = SIZE_MAX; // bytes accepted before writes come up short

    static bool Read(void* context, void* buffer, uint32_t size) {
        MemoryStream* s = static_cast<MemoryStream*>(context);
        if (s->bytes.size() - s->position < size) {
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
        return s->bytes.size() <= s->writeBudget;
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
        Meter** tail = &head;
        while (*tail) {
            tail = &(*tail)->next;
        }
        *tail = CreateMeter();
        (*tail)->kind = kind;
        (*tail)->key = key ? CopyText(key) : nullptr;
        (*tail)->index = index;
        (*tail)->interval = interval;
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
    const size_t firstMeterEnds = 24 - 4 + strlen("KERNEL\\CPUUsage") + 25;

    // Every cut: a failure, and the meters kept are exactly those read whole.
    for (size_t cut = 0; cut < full.bytes.size(); ++cut) {
        MemoryStream partial;
        partial.bytes.assign(full.bytes.begin(), full.bytes.begin() + cut);
        MeterList loaded;
        loaded.Add(Memory, "Memory\\Load", 0, 1);
        BandOptions options = {1, 0};
        EXPECT_EQ(partial.Load(&options, &loaded.head), BandStateFailed) << cut;
        const std::string keys = loaded.Keys();
        EXPECT_EQ(keys, cut >= full.bytes.size() - 4 ? saved.Keys()
                        : cut >= firstMeterEnds      ? saved.Keys().substr(0, keys.size())
                                                     : "")
            << cut;
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
    for (size_t budget = 0; budget <= size; ++budget) {
        MemoryStream stream;
        stream.writeBudget = budget;
        ASSERT_EQ(stream.Save(BandOptions{0, 1}, saved.head),
                  budget < size ? BandStateFailed : BandStateOk)
            << budget;
    }
    MemoryStream stream;
    ASSERT_EQ(stream.Save(BandOptions{0, 1}, saved.head), BandStateOk);
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
