// The block codec: round trips, rotation, give-up and damaged streams.
#include "support.h"

#include <cstring>

using namespace enginetest;

namespace {

class Codec : public EngineTest {
protected:
    // Compresses for real and expands again; returns the stored length.
    int32_t round_trip(const Bytes &input, int width) {
        uint8_t *buf = ombra::g_state.block_buffer;
        std::memcpy(buf, input.data(), input.size());
        const int32_t n = static_cast<int32_t>(input.size());
        const int32_t trial = ombra::lzw_compress(buf, n, width, true);
        EXPECT_EQ(std::memcmp(buf, input.data(), input.size()), 0) << "trial changed the input";
        const int32_t stored = ombra::lzw_compress(buf, n, width, false);
        EXPECT_EQ(stored, trial);
        if (stored >= n) return stored;
        int32_t status = 99;
        const int32_t out = ombra::lzw_expand(buf, stored, width, &status);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(out, n);
        EXPECT_TRUE(out == n && std::memcmp(buf, input.data(), input.size()) == 0) << "width " << width;
        return stored;
    }
    int32_t expand_stream(const Bytes &stream, int width, int32_t *status) {
        uint8_t *buf = ombra::g_state.block_buffer;
        ombra::rotate_stream(stream.data(), static_cast<int32_t>(stream.size()), buf);
        return ombra::lzw_expand(buf, static_cast<int32_t>(stream.size()), width, status);
    }
};

struct CodecInput {
    const char *name;
    Bytes data;
};

class CodecRoundTrip : public Codec,
                       public ::testing::WithParamInterface<std::tuple<int, int>> {};

Bytes codec_input(int which) {
    switch (which) {
    case 0: return text_bytes(20496, 1);                    // fills every dictionary
    case 1: return Bytes(20496, 'a');                       // the code being defined, again and again
    case 2: { Bytes b; for (int i = 0; i < 3000; ++i) { b.push_back('a'); b.push_back('b'); } return b; }
    default: return text_bytes(256, 2);                     // the smallest block offered
    }
}

TEST_P(CodecRoundTrip, ExpandsBackToTheInput) {
    const int width = std::get<0>(GetParam());
    const Bytes input = codec_input(std::get<1>(GetParam()));
    EXPECT_LT(round_trip(input, width), static_cast<int32_t>(input.size()));
}

INSTANTIATE_TEST_SUITE_P(AllWidths, CodecRoundTrip,
                         ::testing::Combine(::testing::Values(9, 10, 11, 12),
                                            ::testing::Values(0, 1, 2, 3)));

TEST_F(Codec, StringBeingDefinedExpandsToPreviousPlusItsFirstByte) {
    // 'a', then code 256 before it is in the dictionary: "a" + "aa".
    int32_t status = 1;
    const int32_t n = expand_stream(pack_codes({'a', 256, 511, 0}, 9), 9, &status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(n, 3);
    EXPECT_EQ(std::memcmp(ombra::g_state.block_buffer, "aaa", 3), 0);
}

TEST_F(Codec, GivesUpOnIncompressibleAndTinyInput) {
    Bytes random = random_bytes(20496, 3);
    uint8_t *buf = ombra::g_state.block_buffer;
    for (int w = 9; w <= 12; ++w) {
        std::memcpy(buf, random.data(), random.size());
        EXPECT_EQ(ombra::lzw_compress(buf, 20496, w, false), 20496);
        EXPECT_EQ(std::memcmp(buf, random.data(), random.size()), 0);
    }
    buf[0] = 'x';
    EXPECT_EQ(ombra::lzw_compress(buf, 1, 9, true), 1);  // the closing codes do not fit
    EXPECT_EQ(ombra::lzw_compress(buf, 300, 8, true), 300);
    EXPECT_EQ(ombra::lzw_compress(buf, 300, 13, true), 300);
}

TEST_F(Codec, NineBitsDefineAtMost255Strings) {
    // With the dictionary full, later input still codes with the old strings.
    Bytes input = text_bytes(20000, 9);
    EXPECT_LT(round_trip(input, 9), 20000);
}

TEST(Rotation, TwoAndTenByteStreams) {
    const Bytes two = {1, 2};
    uint8_t stored[16], back[16];
    ombra::rotate_stream(two.data(), 2, stored);
    EXPECT_EQ(stored[0], 1);  // k = 0: unrotated
    EXPECT_EQ(stored[1], 2);
    const Bytes ten = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    ombra::rotate_stream(ten.data(), 10, stored);
    const Bytes expected = {3, 4, 5, 6, 7, 8, 9, 0, 1, 2};
    EXPECT_EQ(Bytes(stored, stored + 10), expected);
    ombra::unrotate_stream(stored, 10, back);
    EXPECT_EQ(Bytes(back, back + 10), ten);
}

TEST_F(Codec, TenByteStreamIsStoredRotated) {
    // 28 'a's code as a, aa, ..., aaaaaa, aaaaaaa, end, 0: nine 9-bit codes, 10 bytes.
    Bytes input(28, 'a');
    uint8_t *buf = ombra::g_state.block_buffer;
    std::memcpy(buf, input.data(), input.size());
    ASSERT_EQ(ombra::lzw_compress(buf, 28, 9, true), 10);
    Bytes stream(ombra::g_state.work_buffer, ombra::g_state.work_buffer + 10);
    const Bytes packed = pack_codes({'a', 256, 257, 258, 259, 260, 261, 511, 0}, 9);
    ASSERT_EQ(packed.size(), 11u);  // 81 bits: the partial last byte is not part of the stream
    EXPECT_EQ(stream, Bytes(packed.begin(), packed.begin() + 10));
    ASSERT_EQ(ombra::lzw_compress(buf, 28, 9, false), 10);
    Bytes stored(buf, buf + 10), expected(stream.begin() + 3, stream.end());
    expected.insert(expected.end(), stream.begin(), stream.begin() + 3);
    EXPECT_EQ(stored, expected);
}

struct BadStream {
    const char *name;
    std::vector<uint32_t> codes;
    int width;
    int32_t status;
};

class DamagedStream : public Codec, public ::testing::WithParamInterface<BadStream> {};

TEST_P(DamagedStream, ReportsItsStatus) {
    const BadStream &c = GetParam();
    int32_t status = 0;
    expand_stream(pack_codes(c.codes, c.width == 13 ? 12 : c.width), c.width, &status);
    EXPECT_EQ(status, c.status);
}

std::vector<uint32_t> growing_strings() {
    // Every code names the string being defined: outputs 1, 2, 3, ... bytes.
    std::vector<uint32_t> codes = {'a'};
    for (uint32_t c = 256; c < 256 + 300; ++c) codes.push_back(c);
    codes.push_back(4095);
    codes.push_back(0);
    return codes;
}

INSTANTIATE_TEST_SUITE_P(
    Codes, DamagedStream,
    ::testing::Values(BadStream{"code_beyond_next", {'a', 300, 511, 0}, 9, -2},
                      BadStream{"first_code_not_a_byte", {400, 511, 0}, 9, -2},
                      BadStream{"no_end_code", {'a', 'b', 'c'}, 9, -2},
                      BadStream{"starts_with_end_code", {511, 0}, 9, -3},
                      BadStream{"width_outside_9_to_12", {'a', 4095, 0}, 13, -3},
                      BadStream{"output_beyond_the_buffer", growing_strings(), 12, -1}),
    [](const auto &p) { return std::string(p.param.name); });

TEST_F(Codec, RandomStreamsNeverEscapeTheBuffers) {
    // Whatever the bytes, expansion ends with a status and stays in bounds.
    for (uint32_t seed = 0; seed < 200; ++seed) {
        Bytes junk = random_bytes(1 + seed * 37 % 3000, seed);
        for (int w = 9; w <= 12; ++w) {
            int32_t status = 0;
            std::memcpy(ombra::g_state.block_buffer, junk.data(), junk.size());
            const int32_t n = ombra::lzw_expand(ombra::g_state.block_buffer,
                                                static_cast<int32_t>(junk.size()), w, &status);
            EXPECT_TRUE(status == 0 || status == -1 || status == -2 || status == -3);
            EXPECT_LE(n, OMBRA_BLOCK_BUFFER_BYTES);
        }
    }
}

}  // namespace
