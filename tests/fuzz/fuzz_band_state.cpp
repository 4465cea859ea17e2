// Any byte stream handed to the band as its stored state: no crash, no leak, no huge
// allocation, and whatever loads saves back to a stream that loads to the same meters.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "shell/band_state.h"

namespace {

struct Input {
    const uint8_t* data;
    size_t size;
    size_t position;
};

bool ReadInput(void* context, void* buffer, uint32_t size) {
    Input* input = static_cast<Input*>(context);
    if (input->size - input->position < size) {
        input->position = input->size;
        return false;
    }
    memcpy(buffer, input->data + input->position, size);
    input->position += size;
    return true;
}

bool Append(void* context, const void* data, uint32_t size) {
    std::vector<uint8_t>* out = static_cast<std::vector<uint8_t>*>(context);
    const uint8_t* p = static_cast<const uint8_t*>(data);
    out->insert(out->end(), p, p + size);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input input = {data, size, 0};
    BandOptions options = {1, 0};
    Meter* meters = nullptr;
    LoadBandState(ByteReader{&ReadInput, &input}, &options, &meters);

    std::vector<uint8_t> saved;
    if (SaveBandState(ByteWriter{&Append, &saved}, options, meters) != BandStateOk ||
        saved.size() != BandStateSize(meters)) {
        abort();
    }
    Input again = {saved.data(), saved.size(), 0};
    BandOptions reloadedOptions = {0, 0};
    Meter* reloaded = nullptr;
    if (LoadBandState(ByteReader{&ReadInput, &again}, &reloadedOptions, &reloaded) !=
        BandStateOk) {
        abort();
    }
    const Meter* b = reloaded;
    for (const Meter* a = meters; a; a = a->next) {
        if (!a->key || !a->key[0]) {
            continue; // left out when saved
        }
        if (!b || strcmp(a->key, b->key) != 0 || a->kind != b->kind || a->index != b->index ||
            a->interval != b->interval) {
            abort();
        }
        b = b->next;
    }
    if (b) {
        abort();
    }
    ReleaseMeters(meters);
    ReleaseMeters(reloaded);
    return 0;
}
