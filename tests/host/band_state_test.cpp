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
            s->position = s->bytes.size();
            return false;
        }
        memcpy(buffer, s->bytes.data() + s->position, size);
        s->position += size;
        return true;
    }
    static bool Write(void* context, const void* data, uint32_t size) {
        MemoryStream* s = static_cast<MemoryStream*>(context);
        const size_t accepted = size < s->writeBudget ? size : s->writeBudget;
        const unsigned char* p = static_cast<const unsigned char*>(data);
        s->bytes.insert(s->bytes.end(), p, p + accepted);
        s->writeBudget -= accepted;
        return accepted == size;
    }
    ByteReader Reader() {
        return ByteReader{&MemoryStream::Read, this};
    }
    ByteWriter Writer() {
        return ByteWriter{&MemoryStream::Write, this};
    }
    void Number(uint32_t n) {
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<unsigned char>(n >> (8 * i)));
        }
    }
    void Text(const char* text) {
        bytes.insert(bytes.end(), text, text + strlen(text) + 1);
    }
};

struct MeterList {
    Meter* head = nullptr;
    ~MeterList() {
        ReleaseMeters(head);
    }
    Meter* Add(MeterKind kind, const char* key, int32_t index, uint32_t interval) {
        Meter* meter = CreateMeter();
        meter->kind = kind;
        meter->key = key ? CopyText(key) : nullptr;
        meter->index = index;
        meter->interval = interval;
        Meter** tail = &head;
        while (*tail) {
            tail = &(*tail)->next;
        }
        *tail = meter;
        return meter;
    }
    int Count() const {
        int n = 0;
        for (const Meter* m = head; m; m = m->next) {
            ++n;
        }
        return n;
    }
};

TEST(BandState, SavesTheExactLayoutAndItsSize) {
    MeterList none;
    BandOptions defaults = {1, 0};
    MemoryStream empty;
    ASSERT_EQ(SaveBandState(empty.Writer(), defaults, none.head), BandStateOk);
    const std::vector<unsigned char> expected = {1, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0,
                                                 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(empty.bytes, expected);
    EXPECT_EQ(BandStateSize(none.head), 24u);

    MeterList one;
    one.Add(Memory, "Memory\\Load", 0, 1000);
    MemoryStream stream;
    ASSERT_EQ(SaveBandState(stream.Writer(), BandOptions{0, 1}, one.head), BandStateOk);
    ASSERT_EQ(stream.bytes.size(), 60u);
    EXPECT_EQ(BandStateSize(one.head), 60u);

    MemoryStream layout;
    layout.Number(1), layout.Number(0), layout.Number(2), layout.Number(1), layout.Number(0);
    layout.Number(11), layout.Text("Memory\\Load"), layout.Number(3), layout.Number(0);
    layout.Number(1), layout.Number(1000), layout.Number(0), layout.Number(0);
    EXPECT_EQ(stream.bytes, layout.bytes);
}

TEST(BandState, RoundTripKeepsOptionsAndMetersInOrder) {
    MeterList saved;
    saved.Add(PerfStat, "KERNEL\\CPUUsage", -1, 500);
    saved.Add(Drive, "Drive\\C:\\", 2, 3000);
    saved.Add(Resource, "Resource\\GDI", 1, 0);
    saved.Add(static_cast<MeterKind>(-7), "Odd\\空き", -123456, 0xFFFFFFFFu);
    MemoryStream stream;
    ASSERT_EQ(SaveBandState(stream.Writer(), BandOptions{0, 1}, saved.head), BandStateOk);
    EXPECT_EQ(stream.bytes.size(), BandStateSize(saved.head));

    MeterList loaded;
    loaded.Add(Memory, "Memory\\Load", 0, 1); // replaced by the load
    BandOptions options = {1, 0};
    ASSERT_EQ(LoadBandState(stream.Reader(), &options, &loaded.head), BandStateOk);
    EXPECT_EQ(options.animate, 0);
    EXPECT_EQ(options.hideInvalid, 1);
    ASSERT_EQ(loaded.Count(), 4);
    const Meter* a = saved.head;
    for (const Meter* b = loaded.head; b; b = b->next, a = a->next) {
        EXPECT_STREQ(b->key, a->key);
        EXPECT_EQ(b->kind, a->kind);
        EXPECT_EQ(b->index, a->index);
        EXPECT_EQ(b->interval, a->interval);
        EXPECT_EQ(b->label, nullptr) << "labels are rebuilt, not stored";
        EXPECT_EQ(b->visible, 1);
        EXPECT_EQ(b->scale, 0u);
    }
}

TEST(BandState, TaggedListsEndAtUnknownTagsAndTheLastValueWins) {
    // Only tag 2: hideInvalid set, animate keeps what it had.
    MemoryStream onlyHide;
    onlyHide.Number(2), onlyHide.Number(1), onlyHide.Number(0), onlyHide.Number(0);
    MeterList list;
    BandOptions options = {0, 0};
    ASSERT_EQ(LoadBandState(onlyHide.Reader(), &options, &list.head), BandStateOk);
    EXPECT_EQ(options.animate, 0);
    EXPECT_EQ(options.hideInvalid, 1);

    // Repeated tags, an unknown band tag standing for the end, an unknown meter tag likewise.
    MemoryStream odd;
    odd.Number(1), odd.Number(0), odd.Number(1), odd.Number(1), odd.Number(9);
    odd.Number(3), odd.Text("A\\B"), odd.Number(3), odd.Number(1);
    odd.Number(1), odd.Number(500), odd.Number(1), odd.Number(3000), odd.Number(5);
    odd.Number(0);
    options = {0, 0};
    ASSERT_EQ(LoadBandState(odd.Reader(), &options, &list.head), BandStateOk);
    EXPECT_EQ(options.animate, 1);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_STREQ(list.head->key, "A\\B");
    EXPECT_EQ(list.head->interval, 3000u);

    // No interval tag: interval 0, sampled every tick.
    MemoryStream noInterval;
    noInterval.Number(0), noInterval.Number(3), noInterval.Text("A\\B");
    noInterval.Number(0), noInterval.Number(0), noInterval.Number(0), noInterval.Number(0);
    ASSERT_EQ(LoadBandState(noInterval.Reader(), &options, &list.head), BandStateOk);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.head->interval, 0u);
}

TEST(BandState, ShortAndDamagedStreamsFailKeepingWholeMetersOnly) {
    MeterList saved;
    saved.Add(PerfStat, "KERNEL\\CPUUsage", -1, 500);
    saved.Add(Memory, "Memory\\AvailPhys", 1, 1000);
    MemoryStream full;
    ASSERT_EQ(SaveBandState(full.Writer(), BandOptions{1, 0}, saved.head), BandStateOk);
    const size_t firstMeterEnds = 24 - 4 + strlen("KERNEL\\CPUUsage") + 25;

    // Every cut: a failure, and the meters kept are exactly those read whole.
    for (size_t cut = 0; cut < full.bytes.size(); ++cut) {
        MemoryStream partial;
        partial.bytes.assign(full.bytes.begin(), full.bytes.begin() + cut);
        MeterList loaded;
        loaded.Add(Memory, "Memory\\Load", 0, 1);
        BandOptions options = {1, 0};
        EXPECT_EQ(LoadBandState(partial.Reader(), &options, &loaded.head), BandStateFailed) << cut;
        const int whole = cut >= full.bytes.size() - 4 ? 2 : cut >= firstMeterEnds ? 1 : 0;
        EXPECT_EQ(loaded.Count(), whole) << cut;
        if (loaded.head) {
            EXPECT_STREQ(loaded.head->key, "KERNEL\\CPUUsage");
        }
    }

    // An absurd key length fails without trying to allocate it.
    MemoryStream absurd;
    absurd.Number(0), absurd.Number(0xFFFFFFF0u), absurd.Text("x");
    MeterList list;
    BandOptions options = {1, 0};
    EXPECT_EQ(LoadBandState(absurd.Reader(), &options, &list.head), BandStateFailed);
    EXPECT_EQ(list.head, nullptr);

    // A stored key whose terminator is not NUL still becomes a terminated string.
    MemoryStream unterminated;
    unterminated.Number(0), unterminated.Number(3);
    const unsigned char key[] = {'A', '\\', 'B', 'Z'};
    unterminated.bytes.insert(unterminated.bytes.end(), key, key + 4);
    unterminated.Number(3), unterminated.Number(0), unterminated.Number(0), unterminated.Number(0);
    ASSERT_EQ(LoadBandState(unterminated.Reader(), &options, &list.head), BandStateOk);
    EXPECT_STREQ(list.head->key, "A\\B");
}

TEST(BandState, TheLongestStoredKeyLoadsAndOneByteMoreIsRefused) {
    for (uint32_t length : {uint32_t(MaxStoredKeyLength), uint32_t(MaxStoredKeyLength) + 1}) {
        MemoryStream stream;
        stream.Number(0), stream.Number(length), stream.Text(std::string(length, 'k').c_str());
        stream.Number(3), stream.Number(0), stream.Number(0), stream.Number(0);
        MeterList list;
        BandOptions options = {1, 0};
        const bool fits = length == MaxStoredKeyLength;
        EXPECT_EQ(LoadBandState(stream.Reader(), &options, &list.head),
                  fits ? BandStateOk : BandStateFailed)
            << length;
        EXPECT_EQ(list.Count(), fits ? 1 : 0) << length;
    }
}

TEST(BandState, ShortWritesFailAndUnstorableMetersAreLeftOut) {
    MeterList saved;
    saved.Add(PerfStat, "KERNEL\\CPUUsage", -1, 500);
    saved.Add(Memory, nullptr, 1, 1000);
    saved.Add(Memory, "", 2, 1000);
    saved.Add(Drive, "Drive\\D:\\", 3, 3000);
    const uint32_t size = BandStateSize(saved.head);
    EXPECT_EQ(size, 24u + 15 + 25 + 9 + 25);
    for (size_t budget = 0; budget < size; ++budget) {
        MemoryStream stream;
        stream.writeBudget = budget;
        EXPECT_EQ(SaveBandState(stream.Writer(), BandOptions{1, 1}, saved.head), BandStateFailed)
            << budget;
    }
    MemoryStream stream;
    ASSERT_EQ(SaveBandState(stream.Writer(), BandOptions{1, 1}, saved.head), BandStateOk);
    EXPECT_EQ(stream.bytes.size(), size);
    MeterList loaded;
    BandOptions options = {0, 0};
    ASSERT_EQ(LoadBandState(stream.Reader(), &options, &loaded.head), BandStateOk);
    ASSERT_EQ(loaded.Count(), 2) << "the meter after an empty key is not lost";
    EXPECT_STREQ(loaded.head->next->key, "Drive\\D:\\");
}

} // namespace
