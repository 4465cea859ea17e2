// The byte stream in which the shell keeps a band: its two display options and, per meter,
// key, kind, index and interval, as little-endian 32-bit numbers in tagged lists.
#pragma once

#include <stdint.h>

#include "../meters/meter.h"

// Reads exactly size bytes; false when fewer arrive.
typedef bool (*ByteReadFunction)(void* context, void* buffer, uint32_t size);
// Writes exactly size bytes; false when fewer were written.
typedef bool (*ByteWriteFunction)(void* context, const void* data, uint32_t size);

struct ByteReader {
    ByteReadFunction read;
    void* context;
};

struct ByteWriter {
    ByteWriteFunction write;
    void* context;
};

struct BandOptions {
    int32_t animate;
    int32_t hideInvalid;
};

enum BandStateResult {
    BandStateOk,
    BandStateFailed,
    BandStateOutOfMemory,
};

// Keys are "category\item" names of at most a few hundred bytes; a longer length is damage.
enum { MaxStoredKeyLength = 4096 };

// Frees *meters, then reads options and meters from the stream. Options absent from the stream
// keep their values; meters read whole before a failure stay, in stream order.
BandStateResult LoadBandState(const ByteReader& reader, BandOptions* options, Meter** meters);
BandStateResult SaveBandState(const ByteWriter& writer, const BandOptions& options,
                              const Meter* meters);
// Exactly the number of bytes SaveBandState writes.
uint32_t BandStateSize(const Meter* meters);
