// Helpers of the engine tests: BMP builders, files, a scripted engine session
// and an independent walk over the carrier bytes for forging stego images.
#ifndef VELTA_TESTS_ENGINE_SUPPORT_H
#define VELTA_TESTS_ENGINE_SUPPORT_H

#include "internal.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace enginetest {

using Bytes = std::vector<uint8_t>;

Bytes read_file(const std::string &path);
void write_file(const std::string &path, const Bytes &data);
bool file_exists(const std::string &path);
Bytes random_bytes(size_t n, uint32_t seed);
Bytes text_bytes(size_t n, uint32_t seed);  // compressible, word-like
Bytes test_key(uint32_t seed);              // 64 key bytes

// A BMP file built field by field; the defaults describe a valid image.
struct BmpSpec {
    int32_t width = 16;
    int32_t height = 16;
    uint16_t bits = 24;
    uint32_t colours = 0;          // header value
    int32_t palette_entries = -1;  // entries written; -1: what the header implies
    bool grey_palette = true;
    int32_t coloured_entry = -1;  // this one entry alone is not grey
    int64_t data_offset = -1;  // -1: the right one
    uint32_t compression = 0;
    uint32_t image_size = 0;
    int64_t file_size = -1;  // header value; -1: the real length
    int64_t pixel_bytes = -1;  // carrier-region bytes written; -1: stride * height
    uint32_t pixel_seed = 1;
};
Bytes make_bmp(const BmpSpec &spec);
// Noisy photo-like carriers.
Bytes make_colour_bmp(int32_t width, int32_t height, uint32_t seed);
Bytes make_grey_bmp(int32_t width, int32_t height, uint32_t seed);
// A corpus photograph as an uncompressed BMP (grey PNG -> 8-bit grey, else 24-bit).
Bytes corpus_bmp(const std::string &png_name);

// A fresh folder per test, removed afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    std::string path(const std::string &name) const { return dir_ + "/" + name; }
    const std::string &dir() const { return dir_; }

private:
    std::string dir_;
};

struct Carrier {
    std::string path;
    int32_t data_offset;
    int32_t is_grayscale;
};
Carrier inspect(const std::string &path);  // through get_bmp_file_info

// One hide or extract run through the exported functions.
int32_t run_hide(const Bytes &key, const std::string &message, const std::vector<Carrier> &images,
                 const std::string &output_folder);
int32_t run_extract(const Bytes &key, const std::string &message,
                    const std::vector<Carrier> &images);

// Every test of the engine gets fresh buffers and leaves none behind.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(allocate_buffers(), 1); }
    void TearDown() override {
        ombra::g_state.block_limit = OMBRA_MAX_BLOCKS;
        deallocate_buffers();
    }
    TempDir tmp;
};

// The carrier walk written from the layout description, apart from the
// engine's own loops: which file offsets carry bits, in order.
struct Walk {
    ombra::KeyState ks;
    explicit Walk(const Bytes &key);
    // Offsets (per image, into each file) of the first `bits` carrying bytes.
    std::vector<std::vector<size_t>> carrying(const std::vector<Bytes> &images,
                                              const std::vector<Carrier> &meta, size_t bits);
};

// Builds the bit stream of forged blocks, enciphered and masked as hiding does.
struct Forge {
    ombra::KeyState ks;
    uint32_t block = 0;
    Bytes stream;  // bytes in bit-stream order
    explicit Forge(const Bytes &key);
    void raw_block(uint32_t width, uint32_t kind, uint32_t length, const Bytes &payload);
    void stored_block(const Bytes &plain);  // plain + digest, kind 0
    void end_block() { raw_block(255, 2, 0, {}); }
    // Writes the stream into the carrying bytes of the images (signatures too).
    void write(std::vector<Bytes> &images, const std::vector<Carrier> &meta) const;
};

Bytes with_digest(const Bytes &plain);
// Packs codes MSB first into a byte stream (the final partial byte included).
Bytes pack_codes(const std::vector<uint32_t> &codes, int width);

}  // namespace enginetest

#endif
