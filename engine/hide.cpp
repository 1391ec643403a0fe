// hide_message: blocks of the message file, sealed, compressed when it pays,
// enciphered and spread over key-chosen carrier bytes; then balancing to the
// end of the image the message completed in.
#include "internal.h"

#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ombra {
namespace {

struct HideRun {
    EngineState &s = g_state;
    int msg_fd = -1;
    int in_fd = -1;
    int out_fd = -1;
    int64_t out_written = 0;
    int32_t status = 0;
    int32_t opened = 0;

    uint8_t *chunk = nullptr;
    int32_t len = 0;
    int32_t pos = 0;
    int32_t cut = 0;
    bool grey = false;
    int32_t debt[256] = {};

    uint8_t *block = nullptr;
    int32_t block_len = 0;
    int32_t byte_pos = 0;
    int32_t bit_pos = 0;
    uint32_t cur = 0;
    int32_t block_counter = 0;
    bool need_block = true;
    bool end_produced = false;
    bool complete = false;
    bool finished = false;

    LcgStream lcg;

    void produce_block();
    void open_image();
    void next_chunk();
    void end_of_image();
    void embed_bytes();
    void balance_bytes();
    void close_files();
    bool write_out(const uint8_t *data, int32_t n) {
        if (!write_full(out_fd, data, static_cast<size_t>(n))) return false;
        out_written += n;
        return true;
    }
};

void HideRun::produce_block() {
    uint8_t *payload = block + 4;
    const int64_t n = read_full(msg_fd, payload, kMessageBlockBytes);
    if (n < 0) {
        status = OMBRA_E_MESSAGE_READ;
        return;
    }
    uint32_t width = 0, kind = 0;
    int32_t length = 0;
    if (n == 0) {
        if (end_produced) {
            complete = true;
            return;
        }
        end_produced = true;
        width = 255;
        kind = 2;
    } else {
        md5(payload, static_cast<size_t>(n), payload + n);
        length = static_cast<int32_t>(n) + OMBRA_DIGEST_BYTES;
        if (length >= 256) {
            int32_t best = length, best_width = 0;
            for (int32_t w = 9; w <= 12; ++w) {
                const int32_t trial = lzw_compress(payload, length, w, true);
                if (trial < best) {
                    best = trial;
                    best_width = w;
                }
            }
            if (best_width != 0) {
                length = lzw_compress(payload, length, best_width, false);
                width = static_cast<uint32_t>(best_width);
                kind = 1;
            }
        }
        Minstd &ms = s.ks.minstd;
        const uint8_t *key = s.ks.key;
        for (int32_t i = 0; i < length; ++i) {
            const int32_t k = next_minstd_byte(ms) % 64;
            uint8_t y = static_cast<uint8_t>(payload[i] + key[k]);
            payload[i] = static_cast<uint8_t>(y ^ next_minstd_byte(ms));
        }
    }
    if (block_counter >= s.block_limit) {
        status = OMBRA_E_TOO_MANY_BLOCKS;
        return;
    }
    const uint32_t header = (width << 24 | kind << 16 | static_cast<uint32_t>(length)) +
                            s.ks.block_masks[block_counter];
    ++block_counter;
    store_le32(block, header);
    block_len = 4 + length;
    byte_pos = 0;
    bit_pos = 0;
    cur = block[0];
    need_block = false;
}

void HideRun::open_image() {
    if (opened >= s.image_count) {
        status = OMBRA_E_IMAGES_USED_UP;
        return;
    }
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
    char out_path[OMBRA_MAX_OUTPUT_PATH + 1];
    if (!form_output_path(s.output_folder, slot.lower_path, out_path)) {
        status = OMBRA_E_OUTPUT_PATH_LONG;
        return;
    }
    // Writing over the message file would destroy what is being hidden.
    if (same_file(out_path, s.message_path)) {
        status = OMBRA_E_OUTPUT_CREATE;
        return;
    }
    // Not truncated: the output may be the very file being read (in-place rewrite).
    out_fd = ::open(out_path, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (out_fd < 0) {
        status = OMBRA_E_OUTPUT_CREATE;
        return;
    }
    out_written = 0;
    status = pass_header_region(in_fd, out_fd, slot.data_offset, chunk);
    if (status != 0) return;
    out_written = slot.data_offset;

    memset(debt, 0, sizeof debt);
    grey = slot.is_grayscale != 0;
    cut = carry_cutoff(carry_threshold(lcg.next(), grey));

    const int64_t n = read_full(in_fd, chunk, kChunkBytes);
    if (n < 0) {
        status = OMBRA_E_IMAGE_READ;
        return;
    }
    len = static_cast<int32_t>(n);
    const int32_t p = s.ks.signature_position[opened];
    const uint32_t signature = s.ks.signature[opened];
    for (int32_t k = 0; k < 32 && p + k < len; ++k) {
        chunk[p + k] = static_cast<uint8_t>((chunk[p + k] & 0xFEu) | ((signature >> k) & 1u));
    }
    pos = p + 32;
    ++opened;
}

void HideRun::end_of_image() {
    // An existing longer file at the output path must not keep a stale tail.
    struct stat st;
    if (fstat(out_fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > out_written &&
        ftruncate(out_fd, out_written) != 0) {
        status = OMBRA_E_OUTPUT_WRITE;
    }
    ::close(in_fd);
    in_fd = -1;
    if (::close(out_fd) != 0 && status == 0) status = OMBRA_E_OUTPUT_WRITE;
    out_fd = -1;
    if (status != 0) return;
    if (complete) {
        finished = true;
    } else {
        open_image();
    }
}

void HideRun::next_chunk() {
    if (!write_out(chunk, len)) {
        status = OMBRA_E_OUTPUT_WRITE;
        return;
    }
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
    end_of_image();
}

// The per-byte loops work on locals: stores through the byte pointers could
// alias any member, and would make the compiler reload them for every byte.
void HideRun::embed_bytes() {
    uint8_t *const bytes = chunk;
    const int32_t end = len;
    const uint32_t cutoff = static_cast<uint32_t>(cut);
    int32_t *const owed = debt;
    int32_t at = pos;
    while (at < end) {
        if (need_block) {
            produce_block();
            if (status != 0) break;
            if (complete) {
                ++at;  // the byte that noticed the end takes no draw
                break;
            }
        }
        lcg.ensure_batch();
        int32_t stop = end - at;
        if (stop > LcgStream::kBatch) stop = LcgStream::kBatch;
        stop += at;
        const uint8_t *const draws = lcg.buf + lcg.head;
        const int32_t first = at;
        const uint8_t *const blk = block;
        const int32_t blk_len = block_len;
        int32_t bp = byte_pos;
        int32_t bit = bit_pos;
        uint32_t current = cur;
        for (; at < stop; ++at) {
            if (draws[at - first] >= cutoff) continue;
            const uint32_t x = bytes[at];
            const uint32_t nx = (x & 0xFEu) | ((current >> bit) & 1u);
            bytes[at] = static_cast<uint8_t>(nx);
            owed[nx] += nx != x ? 1 : 0;
            if (++bit == 8) {
                bit = 0;
                if (++bp == blk_len) {
                    need_block = true;
                    ++at;
                    break;
                }
                current = blk[bp];
            }
        }
        byte_pos = bp;
        bit_pos = bit;
        cur = current;
        lcg.head += at - first;
    }
    pos = at;
}

void HideRun::balance_bytes() {
    uint8_t *const bytes = chunk;
    const int32_t end = len;
    int32_t *const owed = debt;
    int32_t at = pos;
    // Bytes this close to the chunk start only repay debt; they take no draw.
    const int32_t q_min = grey ? 2 : 4;
    for (; at < end && at < q_min; ++at) {
        const uint32_t x = bytes[at];
        if (owed[x] > 0) {
            --owed[x];
            bytes[at] = static_cast<uint8_t>(x ^ 1u);
        }
    }
    while (at < end) {
        lcg.ensure_batch();
        int32_t stop = end - at;
        if (stop > LcgStream::kBatch) stop = LcgStream::kBatch;
        stop += at;
        const uint8_t *const draws = lcg.buf + lcg.head;
        int32_t used = 0;
        // The debts of the byte's pair of values are loaded one byte ahead,
        // before this byte's stores, and corrected in registers when the next
        // byte falls into the same pair: no load waits on the store before it.
        uint32_t x = bytes[at];
        int32_t own = owed[x], other = owed[x ^ 1u];
        for (; at < stop; ++at) {
            const uint32_t xn = at + 1 < stop ? bytes[at + 1] : x;
            const int32_t load_own = owed[xn], load_other = owed[xn ^ 1u];
            const int32_t repay = own > 0 ? 1 : 0;
            // A draw only when nothing is owed; a noise flip can only make x ^ 1.
            const uint32_t noise = draws[used] & 1u & static_cast<uint32_t>(1 - repay);
            used += 1 - repay;
            bytes[at] = static_cast<uint8_t>(x ^ (static_cast<uint32_t>(repay) | noise));
            const int32_t new_own = own - repay, new_other = other + static_cast<int32_t>(noise);
            owed[x] = new_own;
            owed[x ^ 1u] = new_other;
            const bool same = xn == x, partner = xn == (x ^ 1u);
            own = same ? new_own : partner ? new_other : load_own;
            other = same ? new_other : partner ? new_own : load_other;
            x = xn;
        }
        lcg.head += used;
    }
    pos = at;
}

void HideRun::close_files() {
    if (msg_fd >= 0) ::close(msg_fd);
    if (in_fd >= 0) ::close(in_fd);
    if (out_fd >= 0) ::close(out_fd);
    msg_fd = in_fd = out_fd = -1;
}

}  // namespace
}  // namespace ombra

using namespace ombra;

extern "C" OMBRA_API int32_t hide_message(void) {
    EngineState &s = g_state;
    // Refused before any file is touched: no buffers, settings for another
    // direction, or a key stream already spent by an earlier run.
    if (!s.allocated || !s.settings_valid || !s.hide || !s.key_fresh) {
        return OMBRA_E_MESSAGE_OPEN;
    }
    HideRun run;
    run.chunk = s.image_buffer;
    run.block = s.block_buffer;
    run.lcg.start(&s.ks.lcg);

    run.msg_fd = ::open(s.message_path, O_RDONLY | O_CLOEXEC);
    if (run.msg_fd < 0) {
        release_slots(s.image_count);
        forget_key_stream();
        return OMBRA_E_MESSAGE_OPEN;
    }
    run.open_image();
    while (run.status == 0 && !run.finished) {
        if (run.pos < run.len) {
            if (!run.complete) {
                run.embed_bytes();
            } else {
                run.balance_bytes();
            }
        } else {
            run.next_chunk();
        }
    }
    run.close_files();
    release_slots(s.image_count);
    forget_key_stream();
    s.images_opened = run.opened;
    return run.status < 0 ? run.status : run.opened;
}
