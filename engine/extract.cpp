// extract_message: the same walk over the carrier bytes as hiding, collecting
// the carried bits into blocks that are unmasked, deciphered, expanded and
// checked before they reach the message file.
#include "internal.h"

#include <fcntl.h>
#include <string.h>
#include <unistd.h>

namespace ombra {
namespace {

struct ExtractRun {
    EngineState &s = g_state;
    int msg_fd = -1;
    int in_fd = -1;
    int32_t status = 0;
    int32_t opened = 0;
    int64_t written = 0;
    bool finished = false;

    uint8_t *chunk = nullptr;
    int32_t len = 0;
    int32_t pos = 0;
    int32_t cut = 0;

    uint8_t *block = nullptr;
    int32_t byte_pos = 0;
    uint64_t acc = 0;    // bits collected and not yet stored, oldest lowest
    uint32_t nbits = 0;  // how many
    int32_t block_counter = 0;
    int32_t payload_length = 0;
    uint32_t kind = 0;
    uint32_t width = 0;

    LcgStream lcg;

    void open_image();
    void next_chunk();
    void collect_bytes();
    bool take_byte(uint8_t value);
    void finish_block();
};

void ExtractRun::open_image() {
    const Slot &slot = s.slots[opened];
    if (slot.path == nullptr) {
        status = OMBRA_E_IMAGE_OPEN;
        return;
    }
    in_fd = ::open(slot.path, O_RDONLY | O_CLOEXEC);
    if (in_fd < 0) {
        status = OMBRA_E_IMAGE_OPEN;
        return;
    }
    status = pass_header_region(in_fd, -1, slot.data_offset, chunk);
    if (status != 0) return;
    cut = carry_cutoff(carry_threshold(lcg.next(), slot.is_grayscale != 0));
    const int64_t n = read_full(in_fd, chunk, kChunkBytes);
    if (n < 0) {
        status = OMBRA_E_IMAGE_READ;
        return;
    }
    len = static_cast<int32_t>(n);
    pos = s.ks.signature_position[opened] + 32;  // the signature is skipped, not checked
    ++opened;
}

void ExtractRun::next_chunk() {
    const int64_t n = read_full(in_fd, chunk, kChunkBytes);
    if (n < 0) {
        status = OMBRA_E_IMAGE_READ;
        return;
    }
    if (n > 0) {
        len = static_cast<int32_t>(n);
        pos = 0;
        return;
    }
    len = 0;
    ::close(in_fd);
    in_fd = -1;
    if (opened == s.image_count) {
        finished = true;
    } else {
        open_image();
    }
}

void ExtractRun::finish_block() {
    memmove(block, block + 4, static_cast<size_t>(payload_length));
    Minstd &ms = s.ks.minstd;
    const uint8_t *key = s.ks.key;
    for (int32_t i = 0; i < payload_length; ++i) {
        const uint8_t k = next_minstd_byte(ms);
        const uint8_t t = next_minstd_byte(ms);
        block[i] = static_cast<uint8_t>((block[i] ^ t) - key[k % 64]);
    }
    int32_t length = payload_length;
    if (kind != 0) {
        int32_t expand_status = 0;
        length = lzw_expand(block, length, static_cast<int32_t>(width), &expand_status);
        if (expand_status < 0) {
            status = expand_status - 20;
            return;
        }
    }
    if (length < OMBRA_DIGEST_BYTES) {
        status = OMBRA_E_DIGEST;
        return;
    }
    const int32_t plain = length - OMBRA_DIGEST_BYTES;
    uint8_t digest[OMBRA_DIGEST_BYTES];
    md5(block, static_cast<size_t>(plain), digest);
    if (memcmp(digest, block + plain, OMBRA_DIGEST_BYTES) != 0) {
        status = OMBRA_E_DIGEST;
        return;
    }
    if (!write_full(msg_fd, block, static_cast<size_t>(plain))) {
        status = OMBRA_E_MESSAGE_WRITE;
        return;
    }
    written += plain;
    byte_pos = 0;
}

// One collected byte; false ends the walk.
bool ExtractRun::take_byte(uint8_t value) {
    block[byte_pos++] = value;
    if (byte_pos == 4) {
        if (block_counter >= OMBRA_MAX_BLOCKS) {
            // No hiding run writes more blocks than there are masks.
            status = OMBRA_E_BLOCK_OVERFLOW;
            return false;
        }
        const uint32_t header = load_le32(block) - s.ks.block_masks[block_counter];
        ++block_counter;
        payload_length = static_cast<int32_t>(header & 0xFFFFu);
        kind = (header >> 16) & 0xFFu;
        width = header >> 24;
        if (payload_length == 0 && kind == 2 && width == 255) {
            finished = true;
            return false;
        }
    } else if (byte_pos == 4 + payload_length) {
        finish_block();
        if (status != 0) return false;
    }
    return true;
}

// Bits are gathered branch-free into a 64-bit accumulator, 32 bytes at a
// time, and handed on byte by byte afterwards; every byte still takes exactly
// one draw, so the walk is unchanged. Locals, because stores through the
// block pointer could alias the members.
void ExtractRun::collect_bytes() {
    const uint8_t *const bytes = chunk;
    const int32_t end = len;
    const uint32_t cutoff = static_cast<uint32_t>(cut);
    int32_t at = pos;
    uint64_t bits = acc;
    uint32_t held = nbits;
    bool go_on = true;
    while (go_on && at < end) {
        lcg.ensure_batch();
        int32_t batch_end = end - at;
        if (batch_end > LcgStream::kBatch) batch_end = LcgStream::kBatch;
        batch_end += at;
        const uint8_t *const draws = lcg.buf + lcg.head;
        const int32_t first = at;
        while (go_on && at < batch_end) {
            int32_t stop = at + 32;
            if (stop > batch_end) stop = batch_end;
            for (; at < stop; ++at) {
                const uint32_t carry = draws[at - first] < cutoff ? 1u : 0u;
                bits |= static_cast<uint64_t>(bytes[at] & carry) << held;
                held += carry;
            }
            while (held > 0) {
                if (byte_pos == kBlockBufferBytes) {
                    // A bit is due, but the block buffer is full.
                    status = OMBRA_E_BLOCK_OVERFLOW;
                    go_on = false;
                    break;
                }
                if (held < 8) break;
                const uint8_t value = static_cast<uint8_t>(bits);
                bits >>= 8;
                held -= 8;
                if (!take_byte(value)) {
                    go_on = false;
                    break;
                }
            }
        }
        lcg.head += at - first;
    }
    acc = bits;
    nbits = held;
    pos = at;
}

}  // namespace
}  // namespace ombra

using namespace ombra;

extern "C" OMBRA_API int32_t extract_message(void) {
    EngineState &s = g_state;
    if (!s.allocated || !s.settings_valid || s.hide || !s.key_fresh) {
        return OMBRA_E_MESSAGE_OPEN;
    }
    // Creating the message file truncates it: never over one of the carriers.
    for (int32_t i = 0; i < s.image_count; ++i) {
        if (s.slots[i].path != nullptr && same_file(s.message_path, s.slots[i].path)) {
            release_slots(s.image_count);
            forget_key_stream();
            return OMBRA_E_MESSAGE_OPEN;
        }
    }
    ExtractRun run;
    run.chunk = s.image_buffer;
    run.block = s.block_buffer;
    memset(run.block, 0, kBlockBufferBytes);
    run.lcg.start(&s.ks.lcg);

    run.msg_fd = ::open(s.message_path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (run.msg_fd < 0) {
        release_slots(s.image_count);
        forget_key_stream();
        return OMBRA_E_MESSAGE_OPEN;
    }
    run.open_image();
    while (run.status == 0 && !run.finished) {
        if (run.pos < run.len) {
            run.collect_bytes();
        } else {
            run.next_chunk();
        }
    }
    if (::close(run.msg_fd) != 0 && run.status == 0) run.status = OMBRA_E_MESSAGE_WRITE;
    if (run.in_fd >= 0) ::close(run.in_fd);
    release_slots(s.image_count);
    forget_key_stream();
    s.images_opened = run.opened;
    if (run.written == 0) return OMBRA_E_NOTHING_EXTRACTED;
    return run.status < 0 ? run.status : run.opened;
}
