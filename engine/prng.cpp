// The two byte generators and the key schedule. Every draw here is part of
// the embedded layout: one draw more or less changes every stego image.
#include "internal.h"

#include <string.h>

namespace ombra {

void LcgStream::refill() {
    int32_t n = tail - head;
    if (n > 0 && head > 0) memmove(buf, buf + head, static_cast<size_t>(n));
    head = 0;
    tail = n;
    // Bytes still due from the generator's current state come first.
    while (gen->left > 0 && tail < kCapacity) buf[tail++] = next_lcg_byte(*gen);
    // Four interleaved chains, each jumping four steps at a time, so the
    // multiplications do not wait on each other.
    constexpr uint32_t a = 6128053u, c = 1002787u;
    constexpr uint32_t a4 = a * a * a * a;
    constexpr uint32_t c4 = c * (a * a * a + a * a + a + 1u);
    uint32_t t0 = lcg_step(gen->t), t1 = lcg_step(t0), t2 = lcg_step(t1), t3 = lcg_step(t2);
    uint32_t last = gen->t;
    while (tail + 12 <= kCapacity) {
        const uint32_t ts[4] = {t0, t1, t2, t3};
        for (int i = 0; i < 4; ++i) {
            buf[tail] = static_cast<uint8_t>(ts[i] >> 8);
            buf[tail + 1] = static_cast<uint8_t>(ts[i] >> 16);
            buf[tail + 2] = static_cast<uint8_t>(ts[i] >> 24);
            tail += 3;
        }
        last = t3;
        t0 = t0 * a4 + c4;
        t1 = t1 * a4 + c4;
        t2 = t2 * a4 + c4;
        t3 = t3 * a4 + c4;
    }
    gen->t = last;
}

void derive_key_state(const uint8_t key[OMBRA_KEY_BYTES], KeyState *ks) {
    memmove(ks->key, key, OMBRA_KEY_BYTES);

    uint8_t digest[OMBRA_DIGEST_BYTES];
    md5(ks->key, OMBRA_KEY_BYTES, digest);
    uint32_t d0 = load_le32(digest), d1 = load_le32(digest + 4);
    uint32_t d2 = load_le32(digest + 8), d3 = load_le32(digest + 12);
    wipe(digest, sizeof digest);

    ks->lcg.t = d0 + d2;
    ks->lcg.left = 0;
    uint32_t t = d1 + d3;
    if (t == 0) {
        ks->minstd.s = static_cast<uint32_t>(ks->key[0]) * ks->key[1] * ks->key[2];
    } else if (t > 2147483646u) {
        ks->minstd.s = t / ((ks->key[0] % 4u) + 3u);
    } else {
        ks->minstd.s = t;
    }
    ks->minstd.left = 0;
    t = d0 = d1 = d2 = d3 = 0;

    Lcg &lcg = ks->lcg;
    Minstd &ms = ks->minstd;

    int32_t b = next_minstd_byte(ms) % 32;
    int32_t a = next_lcg_byte(lcg) % 32;
    for (int32_t i = 0; i < a + b + 16; ++i) {
        next_lcg_byte(lcg);
        next_minstd_byte(ms);
    }

    for (int32_t j = 0; j < OMBRA_MAX_IMAGES; ++j) {
        int32_t k = next_minstd_byte(ms) % 32;
        while (k-- > 0) next_lcg_byte(lcg);
        k = next_lcg_byte(lcg) % 32;
        while (k-- > 0) next_minstd_byte(ms);
        ks->signature_position[j] = static_cast<uint8_t>(next_lcg_byte(lcg) % 32);
        uint32_t l1 = next_lcg_byte(lcg);
        uint32_t m1 = next_minstd_byte(ms);
        uint32_t l2 = next_lcg_byte(lcg);
        uint32_t m2 = next_minstd_byte(ms);
        ks->signature[j] = l1 << 24 | m1 << 16 | l2 << 8 | m2;
    }

    for (int32_t m = 0; m < OMBRA_MAX_BLOCKS; ++m) {
        int32_t k = next_minstd_byte(ms) % 8;
        while (k-- > 0) next_lcg_byte(lcg);
        k = next_lcg_byte(lcg) % 8;
        while (k-- > 0) next_minstd_byte(ms);
        uint32_t m1 = next_minstd_byte(ms);
        uint32_t l1 = next_lcg_byte(lcg);
        uint32_t m2 = next_minstd_byte(ms);
        uint32_t l2 = next_lcg_byte(lcg);
        ks->block_masks[m] = m1 << 24 | l1 << 16 | m2 << 8 | l2;
    }
}

void forget_key_stream() {
    wipe(g_state.ks.key, sizeof g_state.ks.key);
    wipe(&g_state.ks.lcg, sizeof g_state.ks.lcg);
    wipe(&g_state.ks.minstd, sizeof g_state.ks.minstd);
    g_state.key_fresh = false;
}

}  // namespace ombra

extern "C" OMBRA_API void seed_prngs(const unsigned char *key) {
    using namespace ombra;
    if (key == nullptr) return;
    derive_key_state(key, &g_state.ks);
    g_state.seeded = true;
    g_state.key_fresh = true;
}
