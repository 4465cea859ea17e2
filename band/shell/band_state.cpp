#include "band_state.h"

#include <stdlib.h>
#include <string.h>

namespace {

enum : uint32_t {
    EndTag = 0,
    AnimateTag = 1,
    HideInvalidTag = 2,
    IntervalTag = 1,
};

// Fixed bytes: the option list (two tagged values and its end tag) and the end-of-list length.
const uint32_t OptionsSize = 20;
const uint32_t ListEndSize = 4;
// Per meter besides its key: length, NUL, kind, index, interval tag and value, end tag.
const uint32_t MeterOverhead = 25;

bool ReadNumber(const ByteReader& reader, uint32_t* number) {
    unsigned char bytes[4];
    if (!reader.read(reader.context, bytes, sizeof(bytes))) {
        return false;
    }
    *number = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
              uint32_t(bytes[3]) << 24;
    return true;
}

bool WriteNumber(const ByteWriter& writer, uint32_t number) {
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(number), static_cast<unsigned char>(number >> 8),
        static_cast<unsigned char>(number >> 16), static_cast<unsigned char>(number >> 24)};
    return writer.write(writer.context, bytes, sizeof(bytes));
}

bool WriteTagged(const ByteWriter& writer, uint32_t tag, uint32_t value) {
    if (!WriteNumber(writer, tag)) {
        return false;
    }
    return tag == EndTag || WriteNumber(writer, value);
}

// A meter without a key cannot be stored: an empty key would read back as the end of the list.
bool IsStorable(const Meter* meter) {
    return meter->key && meter->key[0] != '\0';
}

// One entry of a tagged list. Every tag but the end tag carries a 4-byte value, so a tag this
// version does not know is passed over with its value and only the end tag ends the list.
bool ReadTagged(const ByteReader& reader, uint32_t* tag, uint32_t* value) {
    *value = 0;
    return ReadNumber(reader, tag) && (*tag == EndTag || ReadNumber(reader, value));
}

BandStateResult ReadOptions(const ByteReader& reader, BandOptions* options) {
    uint32_t tag = 0;
    uint32_t value = 0;
    while (ReadTagged(reader, &tag, &value)) {
        if (tag == EndTag) {
            return BandStateOk;
        }
        if (tag == AnimateTag) {
            options->animate = static_cast<int32_t>(value);
        } else if (tag == HideInvalidTag) {
            options->hideInvalid = static_cast<int32_t>(value);
        }
    }
    return BandStateFailed;
}

// Reads one meter whose key length is known; the meter is the caller's to free on failure.
BandStateResult ReadMeter(const ByteReader& reader, uint32_t keyLength, Meter* meter) {
    meter->key = static_cast<char*>(malloc(size_t(keyLength) + 1));
    if (!meter->key) {
        return BandStateOutOfMemory;
    }
    if (!reader.read(reader.context, meter->key, keyLength + 1)) {
        return BandStateFailed;
    }
    // The stored terminator is not trusted: the key stays a string whatever the stream held.
    meter->key[keyLength] = '\0';
    uint32_t kind = 0;
    uint32_t index = 0;
    if (!ReadNumber(reader, &kind) || !ReadNumber(reader, &index)) {
        return BandStateFailed;
    }
    meter->kind = static_cast<int32_t>(kind);
    meter->index = static_cast<int32_t>(index);
    uint32_t tag = 0;
    uint32_t value = 0;
    while (ReadTagged(reader, &tag, &value)) {
        if (tag == EndTag) {
            return BandStateOk;
        }
        if (tag == IntervalTag) {
            meter->interval = value;
        }
    }
    return BandStateFailed;
}

} // namespace

BandStateResult LoadBandState(const ByteReader& reader, BandOptions* options, Meter** meters) {
    ReleaseMeters(*meters);
    *meters = nullptr;
    Meter** tail = meters;

    BandStateResult result = ReadOptions(reader, options);
    if (result != BandStateOk) {
        return result;
    }
    uint32_t keyLength = 0;
    if (!ReadNumber(reader, &keyLength)) {
        return BandStateFailed;
    }
    while (keyLength != 0) {
        if (keyLength > MaxStoredKeyLength) {
            return BandStateFailed;
        }
        Meter* meter = CreateMeter();
        if (!meter) {
            return BandStateOutOfMemory;
        }
        result = ReadMeter(reader, keyLength, meter);
        if (result != BandStateOk) {
            // A meter not read whole is dropped rather than kept half-filled.
            ReleaseMeters(meter);
            return result;
        }
        *tail = meter;
        tail = &meter->next;
        if (!ReadNumber(reader, &keyLength)) {
            return BandStateFailed;
        }
    }
    return BandStateOk;
}

BandStateResult SaveBandState(const ByteWriter& writer, const BandOptions& options,
                              const Meter* meters) {
    if (!WriteTagged(writer, AnimateTag, static_cast<uint32_t>(options.animate)) ||
        !WriteTagged(writer, HideInvalidTag, static_cast<uint32_t>(options.hideInvalid)) ||
        !WriteTagged(writer, EndTag, 0)) {
        return BandStateFailed;
    }
    for (const Meter* meter = meters; meter; meter = meter->next) {
        if (!IsStorable(meter)) {
            continue;
        }
        const uint32_t keyLength = static_cast<uint32_t>(strlen(meter->key));
        if (!WriteNumber(writer, keyLength) ||
            !writer.write(writer.context, meter->key, keyLength + 1) ||
            !WriteNumber(writer, static_cast<uint32_t>(meter->kind)) ||
            !WriteNumber(writer, static_cast<uint32_t>(meter->index)) ||
            !WriteTagged(writer, IntervalTag, meter->interval) || !WriteTagged(writer, EndTag, 0)) {
            return BandStateFailed;
        }
    }
    return WriteNumber(writer, 0) ? BandStateOk : BandStateFailed;
}

uint32_t BandStateSize(const Meter* meters) {
    uint32_t size = OptionsSize + ListEndSize;
    for (const Meter* meter = meters; meter; meter = meter->next) {
        if (IsStorable(meter)) {
            size += static_cast<uint32_t>(strlen(meter->key)) + MeterOverhead;
        }
    }
    return size;
}
