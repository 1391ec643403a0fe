// The block expander on arbitrary stored forms at every code width, and a
// compress-then-expand round trip of the same bytes taken as plain data.
// First byte: the width (9-12 for most values, 5-20 for the top sixteen).
#include "fuzz_support.h"
#include "internal.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool ready = [] {
        if (allocate_buffers() != 1) fuzz::fail("allocate_buffers", 0);
        return true;
    }();
    (void)ready;
    if (size == 0) return 0;
    const int32_t width = data[0] >= 0xF0 ? data[0] - 0xF0 + 5 : 9 + data[0] % 4;
    const uint8_t *body = data + 1;
    const int32_t n = static_cast<int32_t>(
        size - 1 > static_cast<size_t>(ombra::kBlockBufferBytes) ? ombra::kBlockBufferBytes
                                                                 : size - 1);
    uint8_t *buf = ombra::g_state.block_buffer;

    std::memset(buf, 0xA5, ombra::kBlockBufferBytes);
    std::memcpy(buf, body, static_cast<size_t>(n));
    int32_t status = 7;
    const int32_t out = ombra::lzw_expand(buf, n, width, &status);
    if (status != 0 && status != -1 && status != -2 && status != -3) fuzz::fail("status", status);
    if (out < 0 || out > ombra::kBlockBufferBytes) fuzz::fail("expanded length", out);
    if (status == 0 && out == 0) fuzz::fail("empty result reported as success", 0);
    if ((width < 9 || width > 12) && (out != 0 || status != -3)) fuzz::fail("bad width", width);

    // What the hiding side may store: up to one block plus its digest.
    const int32_t plain = n > ombra::kMessageBlockBytes + OMBRA_DIGEST_BYTES
                              ? ombra::kMessageBlockBytes + OMBRA_DIGEST_BYTES
                              : n;
    if (plain == 0) return 0;
    std::memcpy(buf, body, static_cast<size_t>(plain));
    const int32_t trial = ombra::lzw_compress(buf, plain, width, true);
    if (std::memcmp(buf, body, static_cast<size_t>(plain)) != 0) {
        fuzz::fail("a trial changed the block", 0);
    }
    const int32_t stored = ombra::lzw_compress(buf, plain, width, false);
    if (stored != trial) fuzz::fail("trial and real compression disagree", stored);
    if (stored > plain) fuzz::fail("compression grew the block", stored);
    if (stored == plain) return 0;  // kept as it was
    status = 7;
    const int32_t back = ombra::lzw_expand(buf, stored, width, &status);
    if (status != 0 || back != plain) fuzz::fail("round trip length", back);
    if (std::memcmp(buf, body, static_cast<size_t>(plain)) != 0) fuzz::fail("round trip bytes", 0);
    return 0;
}
