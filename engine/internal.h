// Internals of the engine, shared by its sources and reachable by the tests
// through ombra_static. Nothing here is exported from libombra.so: the target
// is built with hidden visibility, and no standard-library templates are
// instantiated here (their instantiations would carry default visibility).
#ifndef OMBRA_INTERNAL_H
#define OMBRA_INTERNAL_H

#include "ombra.h"

#include <stddef.h>
#include <stdint.h>

namespace ombra {

constexpr int32_t kChunkBytes = OMBRA_IMAGE_BUFFER_BYTES;
constexpr int32_t kBlockBufferBytes = OMBRA_BLOCK_BUFFER_BYTES;
constexpr int32_t kMessageBlockBytes = OMBRA_MESSAGE_BLOCK_BYTES;
constexpr int32_t kDictionarySlots = 5003;
constexpr int32_t kHeaderBytes = 54;
constexpr double kOneOver255 = 1.0 / 255.0;

// ---- digest -------------------------------------------------------------
struct Md5 {
    uint32_t state[4];
    uint32_t count[2];  // bits, low word first
    uint8_t buffer[64];
};
void md5_init(Md5 *ctx);
void md5_update(Md5 *ctx, const uint8_t *data, size_t length);
void md5_final(Md5 *ctx, uint8_t digest[OMBRA_DIGEST_BYTES]);
void md5(const uint8_t *data, size_t length, uint8_t digest[OMBRA_DIGEST_BYTES]);

// Overwrites memory in a way the optimiser cannot drop.
void wipe(void *data, size_t length);

// ---- generators -----------------------------------------------------------
// `left` counts the bytes of the current state still to be delivered; 0 makes
// the next draw step first.
struct Lcg {
    uint32_t t;
    int32_t left;
};
struct Minstd {
    uint32_t s;
    int32_t left;
};

inline uint32_t lcg_step(uint32_t t) { return t * 6128053u + 1002787u; }

inline uint32_t minstd_step(uint32_t s) {
    uint32_t hi = s / 127773u;
    uint32_t lo = s % 127773u;
    // The difference wraps modulo 2^32 on purpose: that wrapped value is the state.
    uint32_t next = 16807u * lo - 2836u * hi;
    return next == 0 ? 2147483647u : next;
}

inline uint8_t next_lcg_byte(Lcg &g) {
    if (g.left == 0) {
        g.t = lcg_step(g.t);
        g.left = 3;
    }
    uint8_t b = static_cast<uint8_t>(g.t >> (8 * (4 - g.left)));
    --g.left;
    return b;
}

inline uint8_t next_minstd_byte(Minstd &g) {
    if (g.left == 0) {
        g.s = minstd_step(g.s);
        g.left = 3;
    }
    uint8_t b = static_cast<uint8_t>(g.s >> (8 * (3 - g.left)));
    --g.left;
    return b;
}

inline double unit_fraction(uint8_t b) { return static_cast<double>(b) * kOneOver255; }

// carry_threshold of an image: a draw scaled into [base, base + 0.1].
inline double carry_threshold(uint8_t drawn, bool grayscale) {
    return unit_fraction(drawn) * 0.1 + (grayscale ? 0.8 : 0.6);
}

// The carry decision `unit_fraction(b) < threshold` depends only on the byte:
// it holds exactly for b below the value returned here (the fraction grows
// with b), so the hot loops compare bytes instead of multiplying doubles.
inline int32_t carry_cutoff(double threshold) {
    int32_t c = 0;
    while (c < 256 && unit_fraction(static_cast<uint8_t>(c)) < threshold) {
        ++c;
    }
    return c;
}

// LCG output fetched ahead in bulk, for the per-byte loops of a run. The
// bytes come out in exactly the order of next_lcg_byte on the same state.
struct LcgStream {
    static constexpr int32_t kCapacity = 3 * 512;
    static constexpr int32_t kBatch = 256;  // guaranteed by ensure_batch()
    Lcg *gen;
    int32_t head;
    int32_t tail;
    uint8_t buf[kCapacity];

    void start(Lcg *g) {
        gen = g;
        head = tail = 0;
    }
    void refill();
    void ensure_batch() {
        if (tail - head < kBatch) refill();
    }
    uint8_t next() {
        if (head == tail) refill();
        return buf[head++];
    }
};

// ---- key schedule ---------------------------------------------------------
struct KeyState {
    uint8_t key[OMBRA_KEY_BYTES];
    Lcg lcg;
    Minstd minstd;
    uint8_t signature_position[OMBRA_MAX_IMAGES];
    uint32_t signature[OMBRA_MAX_IMAGES];
    uint32_t block_masks[OMBRA_MAX_BLOCKS];
};
// Builds generators and tables from a 64-byte key (the work of seed_prngs).
void derive_key_state(const uint8_t key[OMBRA_KEY_BYTES], KeyState *ks);

// ---- codec ----------------------------------------------------------------
// Trial: returns the code stream length (in the work buffer), or `length` when
// compression does not pay. Otherwise the rotated stream replaces the input.
// `data` must hold `length` bytes; widths outside 9-12 never compress.
int32_t lzw_compress(uint8_t *data, int32_t length, int32_t width, bool trial);
// Expands a stored (rotated) stream held in `buffer` (30720 bytes) in place.
// status: 0, -1 output overflow, -2 code expansion error, -3 empty result.
int32_t lzw_expand(uint8_t *buffer, int32_t length, int32_t width, int32_t *status);
// Stored form of a code stream: bytes k..L-1, then 0..k-1, with k = L / 3.
void rotate_stream(const uint8_t *stream, int32_t length, uint8_t *stored);
void unrotate_stream(const uint8_t *stored, int32_t length, uint8_t *stream);

// ---- state ----------------------------------------------------------------
struct Slot {
    char *path;        // as the caller gave it: the file that is opened
    char *lower_path;  // lower-cased copy: names the output image
    int32_t data_offset;
    int32_t is_grayscale;
};

struct EngineState {
    bool allocated;
    uint8_t *block_buffer;
    uint8_t *work_buffer;
    uint8_t *image_buffer;
    int32_t *dict_code;
    int32_t *dict_prefix;
    uint8_t *dict_suffix;

    bool settings_valid;
    bool hide;
    char message_path[OMBRA_MAX_PATH + 1];
    char output_folder[OMBRA_MAX_PATH + 1];
    int32_t image_count;
    int32_t images_opened;
    Slot slots[OMBRA_MAX_IMAGES];

    bool seeded;     // tables valid
    bool key_fresh;  // seeded since the last run
    KeyState ks;

    // Blocks a message may use, end block included; lowered only by tests.
    int32_t block_limit = OMBRA_MAX_BLOCKS;
};
extern EngineState g_state;

void release_slots(int32_t count);
void forget_key_stream();

// ---- files ----------------------------------------------------------------
// Reads until `length` bytes or end of file; -1 on error.
int64_t read_full(int fd, void *data, size_t length);
bool write_full(int fd, const void *data, size_t length);
// The name part of a path: the text after its last '/' or '\'.
const char *name_part(const char *path);
// folder + name into out (capacity OMBRA_MAX_OUTPUT_PATH + 1); false when too long.
bool form_output_path(const char *folder, const char *image_path, char *out);
// True when both paths name one existing file.
bool same_file(const char *a, const char *b);

inline uint32_t load_le32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline void store_le32(uint8_t *p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace ombra

#endif  // OMBRA_INTERNAL_H

namespace ombra {
// Reads an image's header region into the chunk buffer piece by piece and,
// when out_fd >= 0, writes it out unchanged. 0, -5 (read), -10 (file shorter
// than data_offset) or -8 (write).
int32_t pass_header_region(int in_fd, int out_fd, int32_t data_offset, uint8_t *buf);
}  // namespace ombra
