// Fixed-width LZW over one message block, with a 5003-slot hash dictionary.
// The stored form is the code stream rotated by a third of its length.
#include "internal.h"

#include <string.h>

namespace ombra {
namespace {

constexpr int32_t kStackBytes = 4096;
constexpr int32_t kMaxChain = 4094;
// Headroom for the closing codes after the give-up test.
constexpr int32_t kMaxCompressInput = kBlockBufferBytes - 8;

}  // namespace

void rotate_stream(const uint8_t *stream, int32_t length, uint8_t *stored) {
    const int32_t k = length / 3;
    memcpy(stored, stream + k, static_cast<size_t>(length - k));
    memcpy(stored + (length - k), stream, static_cast<size_t>(k));
}

void unrotate_stream(const uint8_t *stored, int32_t length, uint8_t *stream) {
    const int32_t k = length / 3;
    memcpy(stream, stored + (length - k), static_cast<size_t>(k));
    memcpy(stream + k, stored, static_cast<size_t>(length - k));
}

int32_t lzw_compress(uint8_t *data, int32_t length, int32_t width, bool trial) {
    if (width < 9 || width > 12 || length < 1 || length > kMaxCompressInput) return length;
    int32_t *code = g_state.dict_code;
    int32_t *prefix_of = g_state.dict_prefix;
    uint8_t *suffix_of = g_state.dict_suffix;
    uint8_t *out = g_state.work_buffer;

    for (int32_t i = 0; i < kDictionarySlots; ++i) code[i] = -1;
    const uint32_t end_code = (1u << width) - 1;
    const int32_t max_code = static_cast<int32_t>(end_code) - 1;
    const int32_t limit = length;
    int32_t next = 256;
    int32_t produced = 0;
    uint32_t acc = 0;
    int32_t held = 0;

    auto emit = [&](uint32_t c) {
        acc |= c << (32 - held - width);
        held += width;
        while (held >= 8) {
            out[produced++] = static_cast<uint8_t>(acc >> 24);
            acc <<= 8;
            held -= 8;
        }
    };

    int32_t prefix = data[0];
    for (int32_t i = 1; i < length; ++i) {
        const int32_t c = data[i];
        int32_t h = (c << (width - 8)) ^ prefix;
        const int32_t step = h == 0 ? 1 : kDictionarySlots - h;
        while (code[h] != -1 && !(prefix_of[h] == prefix && suffix_of[h] == c)) {
            h -= step;
            if (h < 0) h += kDictionarySlots;
        }
        if (code[h] != -1) {
            prefix = code[h];
            continue;
        }
        if (next <= max_code) {
            code[h] = next++;
            prefix_of[h] = prefix;
            suffix_of[h] = static_cast<uint8_t>(c);
        }
        // Once the stream reaches the input's length it can no longer win.
        if (produced >= limit) return length;
        emit(static_cast<uint32_t>(prefix));
        prefix = c;
    }
    if (produced + 3 > limit) return length;
    emit(static_cast<uint32_t>(prefix));
    emit(end_code);
    emit(0);  // pushes the end code's last bits out; the partial byte stays behind
    if (produced >= length) return length;

    if (!trial) rotate_stream(out, produced, data);
    return produced;
}

int32_t lzw_expand(uint8_t *buffer, int32_t length, int32_t width, int32_t *status) {
    *status = 0;
    if (width < 9 || width > 12 || length <= 0 || length > kBlockBufferBytes) {
        *status = -3;
        return 0;
    }
    uint8_t *in = g_state.work_buffer;
    int32_t *prefix_of = g_state.dict_prefix;
    uint8_t *suffix_of = g_state.dict_suffix;

    unrotate_stream(buffer, length, in);

    const uint32_t end_code = (1u << width) - 1;
    const int32_t max_code = static_cast<int32_t>(end_code) - 1;
    const int64_t stream_bits = static_cast<int64_t>(length) * 8;
    int64_t used_bits = 0;
    int32_t next_in = 0;
    uint32_t acc = 0;
    int32_t held = 0;
    bool overrun = false;

    // Bytes past the stream read as zeros; a code that needs them means the
    // stream ended without its end code.
    auto read_code = [&]() -> uint32_t {
        while (held < 25) {
            uint32_t byte = next_in < length ? in[next_in] : 0u;
            ++next_in;
            acc |= byte << (24 - held);
            held += 8;
        }
        uint32_t c = acc >> (32 - width);
        acc <<= width;
        held -= width;
        used_bits += width;
        if (used_bits > stream_bits) overrun = true;
        return c;
    };

    uint8_t stack[kStackBytes];
    int32_t produced = 0;

    uint32_t old = read_code();
    if (overrun) {
        *status = -2;
        return 0;
    }
    if (old == end_code) {
        *status = -3;
        return 0;
    }
    if (old > 255) {
        *status = -2;
        return 0;
    }
    buffer[produced++] = static_cast<uint8_t>(old);
    uint8_t finchar = static_cast<uint8_t>(old);
    int32_t next = 256;

    for (;;) {
        const uint32_t code = read_code();
        if (overrun) {
            *status = -2;
            return 0;
        }
        if (code == end_code) break;
        int32_t top = 0;
        uint32_t c = code;
        if (static_cast<int32_t>(code) >= next) {
            // Only the string being defined right now may be named ahead.
            if (static_cast<int32_t>(code) > next) {
                *status = -2;
                return 0;
            }
            stack[top++] = finchar;
            c = old;
        }
        int32_t chain = 0;
        while (c > 255) {
            if (++chain > kMaxChain) {
                *status = -2;
                return 0;
            }
            stack[top++] = suffix_of[c];
            c = static_cast<uint32_t>(prefix_of[c]);
        }
        stack[top++] = static_cast<uint8_t>(c);
        finchar = static_cast<uint8_t>(c);
        while (top > 0) {
            if (produced >= kBlockBufferBytes) {
                *status = -1;
                return 0;
            }
            buffer[produced++] = stack[--top];
        }
        if (next <= max_code) {
            prefix_of[next] = static_cast<int32_t>(old);
            suffix_of[next] = finchar;
            ++next;
        }
        old = code;
    }
    return produced;
}

}  // namespace ombra
