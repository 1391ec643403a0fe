// Digest, generators, key schedule and the integer carry decision.
#include "support.h"

#include <cmath>
#include <cstring>
#include <random>

using namespace enginetest;

namespace {

struct Md5Case {
    const char *input;
    const char *hex;
};

class Md5Suite : public ::testing::TestWithParam<Md5Case> {};

std::string hex(const uint8_t *d, size_t n) {
    static const char *digits = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += digits[d[i] >> 4];
        s += digits[d[i] & 15];
    }
    return s;
}

TEST_P(Md5Suite, MatchesRfc1321) {
    const Md5Case &c = GetParam();
    uint8_t d[16];
    ombra::md5(reinterpret_cast<const uint8_t *>(c.input), std::strlen(c.input), d);
    EXPECT_EQ(hex(d, 16), c.hex);

    // Fed in uneven pieces, the digest is the same.
    ombra::Md5 ctx;
    ombra::md5_init(&ctx);
    const size_t n = std::strlen(c.input);
    for (size_t at = 0, step = 1; at < n; at += step, step = step * 2 + 1) {
        ombra::md5_update(&ctx, reinterpret_cast<const uint8_t *>(c.input) + at, std::min(step, n - at));
    }
    ombra::md5_final(&ctx, d);
    EXPECT_EQ(hex(d, 16), c.hex);
}

INSTANTIATE_TEST_SUITE_P(
    Rfc1321, Md5Suite,
    ::testing::Values(
        Md5Case{"", "d41d8cd98f00b204e9800998ecf8427e"},
        Md5Case{"a", "0cc175b9c0f1b6a831c399e269772661"},
        Md5Case{"abc", "900150983cd24fb0d6963f7d28e17f72"},
        Md5Case{"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        Md5Case{"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        Md5Case{"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
                "d174ab98d277d9f5a5611c2c9f419d9f"},
        Md5Case{"1234567890123456789012345678901234567890123456789012345678901234567890"
                "1234567890",
                "57edf4a22be3c955ac49da2e2107b67a"}));

TEST(Md5, PaddingBoundaries) {
    // Lengths around the 56-byte padding edge, against a digest of the same
    // bytes computed one byte at a time.
    for (size_t n : {55u, 56u, 57u, 63u, 64u, 65u, 20496u}) {
        Bytes data = random_bytes(n, static_cast<uint32_t>(n));
        uint8_t whole[16], bytewise[16];
        ombra::md5(data.data(), n, whole);
        ombra::Md5 ctx;
        ombra::md5_init(&ctx);
        for (uint8_t b : data) ombra::md5_update(&ctx, &b, 1);
        ombra::md5_final(&ctx, bytewise);
        EXPECT_EQ(hex(whole, 16), hex(bytewise, 16)) << n;
    }
}

struct DrawCase {
    const char *name;
    uint32_t state;
    bool lcg;
    std::vector<uint8_t> draws;
};

class GeneratorExamples : public ::testing::TestWithParam<DrawCase> {};

TEST_P(GeneratorExamples, DeliverTheDocumentedBytes) {
    const DrawCase &c = GetParam();
    ombra::Lcg lcg{c.state, 0};
    ombra::Minstd ms{c.state, 0};
    for (size_t i = 0; i < c.draws.size(); ++i) {
        const uint8_t b = c.lcg ? ombra::next_lcg_byte(lcg) : ombra::next_minstd_byte(ms);
        EXPECT_EQ(b, c.draws[i]) << c.name << " draw " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Part, GeneratorExamples,
    ::testing::Values(DrawCase{"lcg_from_0", 0, true, {0x4D, 0x0F, 0x00, 0x79, 0x76, 0xC6}},
                      DrawCase{"minstd_from_1", 1, false, {0xA7, 0x41, 0x00, 0xF1, 0x3A, 0xD6}}),
    [](const auto &p) { return std::string(p.param.name); });

TEST(Generators, MinstdWrapsInsteadOfAddingTheModulus) {
    EXPECT_EQ(ombra::minstd_step(127773u), 4294967296u - 2836u);
    EXPECT_EQ(ombra::minstd_step(1u), 16807u);
    // The state never stays at zero.
    EXPECT_EQ(ombra::minstd_step(0u), 2147483647u);
    ombra::Minstd ms{127773u, 0};
    const uint32_t wrapped = 4294967296u - 2836u;
    EXPECT_EQ(ombra::next_minstd_byte(ms), wrapped & 0xFF);
    EXPECT_EQ(ombra::next_minstd_byte(ms), (wrapped >> 8) & 0xFF);
    EXPECT_EQ(ombra::next_minstd_byte(ms), (wrapped >> 16) & 0xFF);
}

TEST(Generators, BufferedStreamMatchesSingleDraws) {
    ombra::Lcg a{0x12345678u, 2}, b{0x12345678u, 2};  // starts mid-state
    ombra::LcgStream stream;
    stream.start(&b);
    for (int i = 0; i < 5000; ++i) {
        if (i % 700 == 0) stream.ensure_batch();
        ASSERT_EQ(stream.next(), ombra::next_lcg_byte(a)) << i;
    }
}

TEST(KeySchedule, SameKeySameTablesAndStreams) {
    Bytes key = test_key(1);
    ombra::KeyState a{}, b{};
    ombra::derive_key_state(key.data(), &a);
    ombra::derive_key_state(key.data(), &b);
    EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
    for (int i = 0; i < OMBRA_MAX_IMAGES; ++i) ASSERT_LT(a.signature_position[i], 32);
}

TEST(KeySchedule, OneKeyByteChangesEverything) {
    Bytes key = test_key(2), other = key;
    other[63] ^= 1;
    ombra::KeyState a{}, b{};
    ombra::derive_key_state(key.data(), &a);
    ombra::derive_key_state(other.data(), &b);
    int same_masks = 0, same_signatures = 0;
    for (int m = 0; m < OMBRA_MAX_BLOCKS; ++m) same_masks += a.block_masks[m] == b.block_masks[m];
    for (int j = 0; j < OMBRA_MAX_IMAGES; ++j) same_signatures += a.signature[j] == b.signature[j];
    EXPECT_LT(same_masks, 3);
    EXPECT_LT(same_signatures, 3);
}

TEST(KeySchedule, SeedsFromTheKeyDigest) {
    // The first LCG draw of the warm-up comes from T = d0 + d2 of MD5(key);
    // rebuild the warm-up by hand and compare the first signature.
    Bytes key = test_key(3);
    uint8_t d[16];
    ombra::md5(key.data(), 64, d);
    const uint32_t d0 = ombra::load_le32(d), d1 = ombra::load_le32(d + 4);
    const uint32_t d2 = ombra::load_le32(d + 8), d3 = ombra::load_le32(d + 12);
    ombra::Lcg lcg{d0 + d2, 0};
    uint32_t t = d1 + d3;
    uint32_t s = t == 0 ? uint32_t(key[0]) * key[1] * key[2]
                 : t > 2147483646u ? t / (key[0] % 4u + 3u)
                                   : t;
    ombra::Minstd ms{s, 0};
    int b = ombra::next_minstd_byte(ms) % 32;
    int a = ombra::next_lcg_byte(lcg) % 32;
    for (int i = 0; i < a + b + 16; ++i) {
        ombra::next_lcg_byte(lcg);
        ombra::next_minstd_byte(ms);
    }
    int k = ombra::next_minstd_byte(ms) % 32;
    while (k-- > 0) ombra::next_lcg_byte(lcg);
    k = ombra::next_lcg_byte(lcg) % 32;
    while (k-- > 0) ombra::next_minstd_byte(ms);
    const uint32_t position = ombra::next_lcg_byte(lcg) % 32;
    uint32_t l1 = ombra::next_lcg_byte(lcg), m1 = ombra::next_minstd_byte(ms);
    uint32_t l2 = ombra::next_lcg_byte(lcg), m2 = ombra::next_minstd_byte(ms);

    ombra::KeyState ks{};
    ombra::derive_key_state(key.data(), &ks);
    EXPECT_EQ(ks.signature_position[0], position);
    EXPECT_EQ(ks.signature[0], l1 << 24 | m1 << 16 | l2 << 8 | m2);
}

// The integer cut-off must decide exactly as the double comparison does.
TEST(CarryDecision, IntegerCutoffEqualsDoubleComparison) {
    std::vector<double> thresholds;
    for (int b = 0; b < 256; ++b) {
        thresholds.push_back(ombra::carry_threshold(static_cast<uint8_t>(b), true));
        thresholds.push_back(ombra::carry_threshold(static_cast<uint8_t>(b), false));
        const double f = b * (1.0 / 255.0);  // thresholds that coincide with a fraction
        thresholds.push_back(f);
        thresholds.push_back(std::nextafter(f, 0.0));
        thresholds.push_back(std::nextafter(f, 2.0));
    }
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> any(-0.1, 1.1);
    for (int i = 0; i < 2000; ++i) thresholds.push_back(any(rng));
    for (double t : thresholds) {
        const int32_t cut = ombra::carry_cutoff(t);
        for (int b = 0; b < 256; ++b) {
            const double u = b * (1.0 / 255.0);
            ASSERT_EQ(b < cut, u < t) << "threshold " << t << " byte " << b;
        }
    }
}

}  // namespace
