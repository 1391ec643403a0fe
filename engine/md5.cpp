// MD5 (RFC 1321): condenses the key into the generator seeds and seals every
// message block.
#include "internal.h"

#include <string.h>

namespace ombra {
namespace {

inline uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

#define OMBRA_MD5_STEP(f, a, b, c, d, x, s, ac) \
    (a) += f((b), (c), (d)) + (x) + (ac);       \
    (a) = rotl((a), (s)) + (b)

inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return (x & y) | (~x & z); }
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) { return (x & z) | (y & ~z); }
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }

void transform(uint32_t state[4], const uint8_t block[64]) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = load_le32(block + 4 * i);
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];

    OMBRA_MD5_STEP(F, a, b, c, d, x[0], 7, 0xd76aa478u);
    OMBRA_MD5_STEP(F, d, a, b, c, x[1], 12, 0xe8c7b756u);
    OMBRA_MD5_STEP(F, c, d, a, b, x[2], 17, 0x242070dbu);
    OMBRA_MD5_STEP(F, b, c, d, a, x[3], 22, 0xc1bdceeeu);
    OMBRA_MD5_STEP(F, a, b, c, d, x[4], 7, 0xf57c0fafu);
    OMBRA_MD5_STEP(F, d, a, b, c, x[5], 12, 0x4787c62au);
    OMBRA_MD5_STEP(F, c, d, a, b, x[6], 17, 0xa8304613u);
    OMBRA_MD5_STEP(F, b, c, d, a, x[7], 22, 0xfd469501u);
    OMBRA_MD5_STEP(F, a, b, c, d, x[8], 7, 0x698098d8u);
    OMBRA_MD5_STEP(F, d, a, b, c, x[9], 12, 0x8b44f7afu);
    OMBRA_MD5_STEP(F, c, d, a, b, x[10], 17, 0xffff5bb1u);
    OMBRA_MD5_STEP(F, b, c, d, a, x[11], 22, 0x895cd7beu);
    OMBRA_MD5_STEP(F, a, b, c, d, x[12], 7, 0x6b901122u);
    OMBRA_MD5_STEP(F, d, a, b, c, x[13], 12, 0xfd987193u);
    OMBRA_MD5_STEP(F, c, d, a, b, x[14], 17, 0xa679438eu);
    OMBRA_MD5_STEP(F, b, c, d, a, x[15], 22, 0x49b40821u);

    OMBRA_MD5_STEP(G, a, b, c, d, x[1], 5, 0xf61e2562u);
    OMBRA_MD5_STEP(G, d, a, b, c, x[6], 9, 0xc040b340u);
    OMBRA_MD5_STEP(G, c, d, a, b, x[11], 14, 0x265e5a51u);
    OMBRA_MD5_STEP(G, b, c, d, a, x[0], 20, 0xe9b6c7aau);
    OMBRA_MD5_STEP(G, a, b, c, d, x[5], 5, 0xd62f105du);
    OMBRA_MD5_STEP(G, d, a, b, c, x[10], 9, 0x02441453u);
    OMBRA_MD5_STEP(G, c, d, a, b, x[15], 14, 0xd8a1e681u);
    OMBRA_MD5_STEP(G, b, c, d, a, x[4], 20, 0xe7d3fbc8u);
    OMBRA_MD5_STEP(G, a, b, c, d, x[9], 5, 0x21e1cde6u);
    OMBRA_MD5_STEP(G, d, a, b, c, x[14], 9, 0xc33707d6u);
    OMBRA_MD5_STEP(G, c, d, a, b, x[3], 14, 0xf4d50d87u);
    OMBRA_MD5_STEP(G, b, c, d, a, x[8], 20, 0x455a14edu);
    OMBRA_MD5_STEP(G, a, b, c, d, x[13], 5, 0xa9e3e905u);
    OMBRA_MD5_STEP(G, d, a, b, c, x[2], 9, 0xfcefa3f8u);
    OMBRA_MD5_STEP(G, c, d, a, b, x[7], 14, 0x676f02d9u);
    OMBRA_MD5_STEP(G, b, c, d, a, x[12], 20, 0x8d2a4c8au);

    OMBRA_MD5_STEP(H, a, b, c, d, x[5], 4, 0xfffa3942u);
    OMBRA_MD5_STEP(H, d, a, b, c, x[8], 11, 0x8771f681u);
    OMBRA_MD5_STEP(H, c, d, a, b, x[11], 16, 0x6d9d6122u);
    OMBRA_MD5_STEP(H, b, c, d, a, x[14], 23, 0xfde5380cu);
    OMBRA_MD5_STEP(H, a, b, c, d, x[1], 4, 0xa4beea44u);
    OMBRA_MD5_STEP(H, d, a, b, c, x[4], 11, 0x4bdecfa9u);
    OMBRA_MD5_STEP(H, c, d, a, b, x[7], 16, 0xf6bb4b60u);
    OMBRA_MD5_STEP(H, b, c, d, a, x[10], 23, 0xbebfbc70u);
    OMBRA_MD5_STEP(H, a, b, c, d, x[13], 4, 0x289b7ec6u);
    OMBRA_MD5_STEP(H, d, a, b, c, x[0], 11, 0xeaa127fau);
    OMBRA_MD5_STEP(H, c, d, a, b, x[3], 16, 0xd4ef3085u);
    OMBRA_MD5_STEP(H, b, c, d, a, x[6], 23, 0x04881d05u);
    OMBRA_MD5_STEP(H, a, b, c, d, x[9], 4, 0xd9d4d039u);
    OMBRA_MD5_STEP(H, d, a, b, c, x[12], 11, 0xe6db99e5u);
    OMBRA_MD5_STEP(H, c, d, a, b, x[15], 16, 0x1fa27cf8u);
    OMBRA_MD5_STEP(H, b, c, d, a, x[2], 23, 0xc4ac5665u);

    OMBRA_MD5_STEP(I, a, b, c, d, x[0], 6, 0xf4292244u);
    OMBRA_MD5_STEP(I, d, a, b, c, x[7], 10, 0x432aff97u);
    OMBRA_MD5_STEP(I, c, d, a, b, x[14], 15, 0xab9423a7u);
    OMBRA_MD5_STEP(I, b, c, d, a, x[5], 21, 0xfc93a039u);
    OMBRA_MD5_STEP(I, a, b, c, d, x[12], 6, 0x655b59c3u);
    OMBRA_MD5_STEP(I, d, a, b, c, x[3], 10, 0x8f0ccc92u);
    OMBRA_MD5_STEP(I, c, d, a, b, x[10], 15, 0xffeff47du);
    OMBRA_MD5_STEP(I, b, c, d, a, x[1], 21, 0x85845dd1u);
    OMBRA_MD5_STEP(I, a, b, c, d, x[8], 6, 0x6fa87e4fu);
    OMBRA_MD5_STEP(I, d, a, b, c, x[15], 10, 0xfe2ce6e0u);
    OMBRA_MD5_STEP(I, c, d, a, b, x[6], 15, 0xa3014314u);
    OMBRA_MD5_STEP(I, b, c, d, a, x[13], 21, 0x4e0811a1u);
    OMBRA_MD5_STEP(I, a, b, c, d, x[4], 6, 0xf7537e82u);
    OMBRA_MD5_STEP(I, d, a, b, c, x[11], 10, 0xbd3af235u);
    OMBRA_MD5_STEP(I, c, d, a, b, x[2], 15, 0x2ad7d2bbu);
    OMBRA_MD5_STEP(I, b, c, d, a, x[9], 21, 0xeb86d391u);

    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    wipe(x, sizeof x);
}

#undef OMBRA_MD5_STEP

}  // namespace

void md5_init(Md5 *ctx) {
    ctx->state[0] = 0x67452301u;
    ctx->state[1] = 0xefcdab89u;
    ctx->state[2] = 0x98badcfeu;
    ctx->state[3] = 0x10325476u;
    ctx->count[0] = ctx->count[1] = 0;
}

void md5_update(Md5 *ctx, const uint8_t *data, size_t length) {
    size_t used = (ctx->count[0] >> 3) & 63u;
    uint64_t bits = (static_cast<uint64_t>(ctx->count[1]) << 32 | ctx->count[0]) +
                    (static_cast<uint64_t>(length) << 3);
    ctx->count[0] = static_cast<uint32_t>(bits);
    ctx->count[1] = static_cast<uint32_t>(bits >> 32);

    size_t i = 0;
    if (used != 0) {
        size_t fill = 64 - used;
        if (length < fill) {
            memcpy(ctx->buffer + used, data, length);
            return;
        }
        memcpy(ctx->buffer + used, data, fill);
        transform(ctx->state, ctx->buffer);
        i = fill;
    }
    for (; i + 64 <= length; i += 64) transform(ctx->state, data + i);
    if (i < length) memcpy(ctx->buffer, data + i, length - i);
}

void md5_final(Md5 *ctx, uint8_t digest[OMBRA_DIGEST_BYTES]) {
    uint8_t bits[8];
    store_le32(bits, ctx->count[0]);
    store_le32(bits + 4, ctx->count[1]);
    size_t used = (ctx->count[0] >> 3) & 63u;
    static const uint8_t padding[64] = {0x80};
    md5_update(ctx, padding, used < 56 ? 56 - used : 120 - used);
    md5_update(ctx, bits, 8);
    for (int i = 0; i < 4; ++i) store_le32(digest + 4 * i, ctx->state[i]);
    wipe(ctx, sizeof *ctx);
}

void md5(const uint8_t *data, size_t length, uint8_t digest[OMBRA_DIGEST_BYTES]) {
    Md5 ctx;
    md5_init(&ctx);
    md5_update(&ctx, data, length);
    md5_final(&ctx, digest);
}

void wipe(void *data, size_t length) {
    volatile uint8_t *p = static_cast<volatile uint8_t *>(data);
    while (length--) *p++ = 0;
}

}  // namespace ombra
