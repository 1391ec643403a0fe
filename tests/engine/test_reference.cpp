// Hiding compared byte for byte with a plain, byte-at-a-time rendering of the
// layout written here from its description (walk, signature, density, carry
// decision in doubles, blocks, cipher, masks, balancing).
#include "support.h"

#include <cstring>
#include <filesystem>

using namespace enginetest;

namespace {

struct Reference {
    ombra::KeyState ks;
    ombra::Lcg lcg;
    ombra::Minstd ms;
    const Bytes &message;
    size_t read_at = 0;
    Bytes block;
    size_t bit = 0;  // next bit of `block`
    bool end_produced = false, complete = false;
    uint32_t counter = 0;

    Reference(const Bytes &key, const Bytes &msg) : message(msg) {
        ombra::derive_key_state(key.data(), &ks);
        lcg = ks.lcg;
        ms = ks.minstd;
    }

    void produce() {
        const size_t n = std::min<size_t>(20480, message.size() - read_at);
        Bytes payload(message.begin() + static_cast<long>(read_at),
                      message.begin() + static_cast<long>(read_at + n));
        read_at += n;
        uint32_t width = 0, kind = 0;
        if (n == 0) {
            if (end_produced) {
                complete = true;
                return;
            }
            end_produced = true;
            width = 255;
            kind = 2;
        } else {
            payload = with_digest(payload);
            if (payload.size() >= 256) {
                std::vector<uint8_t> buf(OMBRA_BLOCK_BUFFER_BYTES);
                int32_t best = static_cast<int32_t>(payload.size()), best_width = 0;
                for (int w = 9; w <= 12; ++w) {
                    std::memcpy(buf.data(), payload.data(), payload.size());
                    const int32_t t = ombra::lzw_compress(buf.data(), static_cast<int32_t>(payload.size()), w, true);
                    if (t < best) {
                        best = t;
                        best_width = w;
                    }
                }
                if (best_width) {
                    std::memcpy(buf.data(), payload.data(), payload.size());
                    const int32_t stored = ombra::lzw_compress(buf.data(), static_cast<int32_t>(payload.size()), best_width, false);
                    payload.assign(buf.begin(), buf.begin() + stored);
                    width = static_cast<uint32_t>(best_width);
                    kind = 1;
                }
            }
            for (auto &x : payload) {
                const int k = ombra::next_minstd_byte(ms) % 64;
                x = static_cast<uint8_t>(static_cast<uint8_t>(x + ks.key[k]) ^ ombra::next_minstd_byte(ms));
            }
        }
        const uint32_t header = ((width << 24) | (kind << 16) | static_cast<uint32_t>(payload.size())) +
                                ks.block_masks[counter++];
        block = {static_cast<uint8_t>(header), static_cast<uint8_t>(header >> 8),
                 static_cast<uint8_t>(header >> 16), static_cast<uint8_t>(header >> 24)};
        block.insert(block.end(), payload.begin(), payload.end());
        bit = 0;
    }

    // Returns the count of images opened or a negative status.
    int32_t hide(std::vector<Bytes> &images, const std::vector<Carrier> &meta) {
        bool pending = false;
        int pending_bit = 0;
        for (size_t i = 0;; ++i) {
            if (i == images.size()) return OMBRA_E_IMAGES_USED_UP;
            Bytes &img = images[i];
            const size_t base = static_cast<size_t>(meta[i].data_offset);
            const bool grey = meta[i].is_grayscale != 0;
            int debt[256] = {};
            const double threshold = ombra::next_lcg_byte(lcg) * (1.0 / 255.0) * 0.1 + (grey ? 0.8 : 0.6);
            const size_t p = ks.signature_position[i];
            for (size_t k = 0; k < 32 && base + p + k < img.size(); ++k) {
                img[base + p + k] = static_cast<uint8_t>((img[base + p + k] & 0xFE) | ((ks.signature[i] >> k) & 1));
            }
            for (size_t at = base + p + 32; at < img.size(); ++at) {
                uint8_t &x = img[at];
                if (complete) {
                    const size_t q = (at - base) % 20480;
                    if (debt[x] > 0) {
                        --debt[x];
                        x ^= 1;
                    } else if (q > (grey ? 1u : 3u) && (ombra::next_lcg_byte(lcg) & 1)) {
                        x ^= 1;
                        ++debt[x];
                    }
                    continue;
                }
                if (!pending) {
                    if (block.empty() || bit == block.size() * 8) {
                        produce();
                        if (counter > OMBRA_MAX_BLOCKS) return OMBRA_E_TOO_MANY_BLOCKS;
                        if (complete) continue;  // noticed here: no draw, no balancing
                    }
                    pending_bit = (block[bit / 8] >> (bit % 8)) & 1;
                    ++bit;
                    pending = true;
                }
                if (ombra::next_lcg_byte(lcg) * (1.0 / 255.0) < threshold) {
                    const uint8_t nx = static_cast<uint8_t>((x & 0xFE) | pending_bit);
                    if (nx != x) ++debt[nx];
                    x = nx;
                    pending = false;
                }
            }
            if (complete) return static_cast<int32_t>(i + 1);
        }
    }
};

struct ReferenceCase {
    const char *name;
    std::vector<bool> grey;  // one entry per image
    int32_t side;
    size_t size;
    bool text;
    int32_t result;
};

class MatchesReference : public EngineTest, public ::testing::WithParamInterface<ReferenceCase> {};

TEST_P(MatchesReference, ByteForByte) {
    const ReferenceCase &c = GetParam();
    const Bytes key = test_key(static_cast<uint32_t>(c.size) + 1000);
    std::vector<Bytes> images;
    std::vector<Carrier> meta;
    for (size_t i = 0; i < c.grey.size(); ++i) {
        images.push_back(c.grey[i] ? make_grey_bmp(c.side, c.side, 20 + static_cast<uint32_t>(i))
                                   : make_colour_bmp(c.side, c.side, 30 + static_cast<uint32_t>(i)));
        const std::string path = tmp.path("img" + std::to_string(i) + ".bmp");
        write_file(path, images.back());
        meta.push_back(inspect(path));
    }
    const Bytes message = c.text ? text_bytes(c.size, 11) : random_bytes(c.size, 12);
    write_file(tmp.path("m"), message);
    const std::string out = tmp.path("out");
    std::filesystem::create_directories(out);
    const int32_t engine = run_hide(key, tmp.path("m"), meta, out + "/");

    std::vector<Bytes> expected = images;
    Reference ref(key, message);
    const int32_t reference = ref.hide(expected, meta);
    ASSERT_EQ(reference, c.result);
    ASSERT_EQ(engine, reference);
    for (int32_t i = 0; i < reference; ++i) {
        const Bytes got = read_file(out + "/img" + std::to_string(i) + ".bmp");
        ASSERT_EQ(got.size(), expected[i].size());
        size_t first_difference = got.size();
        for (size_t k = 0; k < got.size() && first_difference == got.size(); ++k) {
            if (got[k] != expected[i][k]) first_difference = k;
        }
        EXPECT_EQ(first_difference, got.size()) << "image " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layout, MatchesReference,
    ::testing::Values(ReferenceCase{"colour_empty", {false}, 150, 0, false, 1},
                      ReferenceCase{"grey_one_byte", {true}, 150, 1, false, 1},
                      ReferenceCase{"colour_text_3000", {false}, 200, 3000, true, 1},
                      ReferenceCase{"grey_text_60000", {true}, 500, 60000, true, 1},
                      ReferenceCase{"colour_random_20481", {false}, 420, 20481, false, 1},
                      ReferenceCase{"spans_three_images", {true, false, true}, 300, 32000, false, 3},
                      ReferenceCase{"too_large", {false}, 100, 5000, false, OMBRA_E_IMAGES_USED_UP}),
    [](const auto &p) { return std::string(p.param.name); });

}  // namespace
