#include "support.h"

#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

namespace enginetest {

Bytes read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::string &path, const Bytes &data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(data.data()), static_cast<std::streamsize>(data.size()));
    ASSERT_TRUE(out.good()) << path;
}

bool file_exists(const std::string &path) { return std::filesystem::exists(path); }

Bytes random_bytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes out(n);
    for (auto &b : out) b = static_cast<uint8_t>(rng());
    return out;
}

Bytes text_bytes(size_t n, uint32_t seed) {
    static const char *const words[] = {"the ", "quick ", "brown ", "fox ", "jumps ", "over ",
                                        "lazy ", "dog ", "and ", "runs ", "far ", "away\n"};
    std::mt19937 rng(seed);
    Bytes out;
    out.reserve(n + 8);
    while (out.size() < n) {
        const char *w = words[rng() % 12];
        out.insert(out.end(), w, w + std::strlen(w));
    }
    out.resize(n);
    return out;
}

Bytes test_key(uint32_t seed) {
    Bytes key = random_bytes(OMBRA_KEY_BYTES, seed * 7919u + 13u);
    for (auto &b : key) b = static_cast<uint8_t>('!' + b % 90);  // printable, like a reduced key
    return key;
}

namespace {
void put16(Bytes &b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put32(Bytes &b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
}  // namespace

Bytes make_bmp(const BmpSpec &spec) {
    uint32_t colours_implied = spec.colours;
    if (colours_implied == 0 && spec.bits <= 8) colours_implied = 1u << spec.bits;
    int64_t entries = spec.palette_entries >= 0 ? spec.palette_entries
                      : (spec.bits == 4 || spec.bits == 8) ? colours_implied
                      : spec.bits == 1 ? 2 : 0;
    int64_t offset = spec.data_offset >= 0 ? spec.data_offset : 54 + 4 * entries;
    int64_t stride = ((static_cast<int64_t>(spec.width) * spec.bits + 31) / 32) * 4;
    int64_t pixels = spec.pixel_bytes >= 0 ? spec.pixel_bytes : stride * std::abs(spec.height);
    Bytes b(static_cast<size_t>(54 + 4 * entries), 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 10, static_cast<uint32_t>(offset));
    put32(b, 14, 40);
    put32(b, 18, static_cast<uint32_t>(spec.width));
    put32(b, 22, static_cast<uint32_t>(spec.height));
    put16(b, 26, 1);
    put16(b, 28, spec.bits);
    put32(b, 30, spec.compression);
    put32(b, 34, spec.image_size);
    put32(b, 46, spec.colours);
    for (int64_t i = 0; i < entries; ++i) {
        uint8_t v = static_cast<uint8_t>(i * 255 / (entries > 1 ? entries - 1 : 1));
        size_t at = static_cast<size_t>(54 + 4 * i);
        b[at] = v;
        b[at + 1] = spec.grey_palette && i != spec.coloured_entry ? v : static_cast<uint8_t>(255 - v);
        b[at + 2] = v;
    }
    b.resize(static_cast<size_t>(offset > static_cast<int64_t>(b.size()) ? offset : b.size()), 0);
    Bytes px = random_bytes(static_cast<size_t>(pixels), spec.pixel_seed);
    b.insert(b.end(), px.begin(), px.end());
    put32(b, 2, static_cast<uint32_t>(spec.file_size >= 0 ? spec.file_size : b.size()));
    return b;
}

namespace {
// Smooth gradients with noise: like a photo, not like white noise.
Bytes photo_like(size_t n, size_t row, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes out(n);
    for (size_t i = 0; i < n; ++i) {
        int base = static_cast<int>(((i % row) * 3 + (i / row) * 2) % 200) + 20;
        out[i] = static_cast<uint8_t>(base + static_cast<int>(rng() % 9));
    }
    return out;
}
}  // namespace

Bytes make_colour_bmp(int32_t width, int32_t height, uint32_t seed) {
    BmpSpec spec;
    spec.width = width;
    spec.height = height;
    spec.pixel_bytes = 0;
    Bytes b = make_bmp(spec);
    size_t stride = static_cast<size_t>((3 * width + 3) / 4 * 4);
    Bytes px = photo_like(stride * static_cast<size_t>(height), stride, seed);
    b.insert(b.end(), px.begin(), px.end());
    put32(b, 2, static_cast<uint32_t>(b.size()));
    return b;
}

Bytes make_grey_bmp(int32_t width, int32_t height, uint32_t seed) {
    BmpSpec spec;
    spec.width = width;
    spec.height = height;
    spec.bits = 8;
    spec.pixel_bytes = 0;
    Bytes b = make_bmp(spec);
    size_t stride = static_cast<size_t>((width + 3) / 4 * 4);
    Bytes px = photo_like(stride * static_cast<size_t>(height), stride, seed);
    b.insert(b.end(), px.begin(), px.end());
    put32(b, 2, static_cast<uint32_t>(b.size()));
    return b;
}

Bytes corpus_bmp(const std::string &png_name) {
    std::string path = std::string(VELTA_CORPUS_DIR) + "/" + png_name;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    const bool grey = (image.format & PNG_FORMAT_FLAG_COLOR) == 0;
    image.format = grey ? PNG_FORMAT_GRAY : PNG_FORMAT_BGR;
    const int32_t w = static_cast<int32_t>(image.width), h = static_cast<int32_t>(image.height);
    const int channels = grey ? 1 : 3;
    Bytes raw(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, raw.data(), 0, nullptr)) return {};
    BmpSpec spec;
    spec.width = w;
    spec.height = h;
    spec.bits = grey ? 8 : 24;
    spec.pixel_bytes = 0;
    Bytes b = make_bmp(spec);
    const size_t stride = static_cast<size_t>((channels * w + 3) / 4 * 4);
    for (int32_t y = h - 1; y >= 0; --y) {  // bottom-up rows
        const uint8_t *row = raw.data() + static_cast<size_t>(y) * static_cast<size_t>(channels * w);
        b.insert(b.end(), row, row + channels * w);
        b.resize(b.size() + stride - static_cast<size_t>(channels * w), 0);
    }
    put32(b, 2, static_cast<uint32_t>(b.size()));
    return b;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ombra-test-XXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr) std::abort();
    dir_ = buf.data();
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

Carrier inspect(const std::string &path) {
    BmpFileInfo info{};
    info.file_path = path.c_str();
    EXPECT_EQ(get_bmp_file_info(&info, 0, 800), 0) << path;
    return Carrier{path, info.data_offset, info.is_grayscale};
}

namespace {
void register_images(const std::vector<Carrier> &images) {
    for (size_t i = 0; i < images.size(); ++i) {
        BmpFileInfo info{};
        info.file_path = images[i].path.c_str();
        info.data_offset = images[i].data_offset;
        info.is_grayscale = images[i].is_grayscale;
        ASSERT_EQ(pass_bmp_file_info(static_cast<int32_t>(i), &info), 0);
    }
}
}  // namespace

int32_t run_hide(const Bytes &key, const std::string &message, const std::vector<Carrier> &images,
                 const std::string &output_folder) {
    register_images(images);
    EXPECT_EQ(operation_initialization(1, message.c_str(), static_cast<int32_t>(images.size()),
                                       output_folder.c_str()),
              0);
    seed_prngs(key.data());
    return hide_message();
}

int32_t run_extract(const Bytes &key, const std::string &message,
                    const std::vector<Carrier> &images) {
    register_images(images);
    EXPECT_EQ(operation_initialization(0, message.c_str(), static_cast<int32_t>(images.size()), ""),
              0);
    seed_prngs(key.data());
    return extract_message();
}

Walk::Walk(const Bytes &key) { ombra::derive_key_state(key.data(), &ks); }

std::vector<std::vector<size_t>> Walk::carrying(const std::vector<Bytes> &images,
                                                const std::vector<Carrier> &meta, size_t bits) {
    std::vector<std::vector<size_t>> out(images.size());
    ombra::Lcg lcg = ks.lcg;
    size_t found = 0;
    for (size_t i = 0; i < images.size() && found < bits; ++i) {
        const double u0 = ombra::next_lcg_byte(lcg) * (1.0 / 255.0);
        const double threshold = u0 * 0.1 + (meta[i].is_grayscale ? 0.8 : 0.6);
        const size_t first = static_cast<size_t>(meta[i].data_offset) + ks.signature_position[i] + 32;
        for (size_t at = first; at < images[i].size() && found < bits; ++at) {
            const double u = ombra::next_lcg_byte(lcg) * (1.0 / 255.0);
            if (u < threshold) {
                out[i].push_back(at);
                ++found;
            }
        }
    }
    return out;
}

Forge::Forge(const Bytes &key) { ombra::derive_key_state(key.data(), &ks); }

void Forge::raw_block(uint32_t width, uint32_t kind, uint32_t length, const Bytes &payload) {
    const uint32_t header = ((width << 24) | (kind << 16) | (length & 0xFFFFu)) + ks.block_masks[block++];
    for (int i = 0; i < 4; ++i) stream.push_back(static_cast<uint8_t>(header >> (8 * i)));
    for (uint8_t x : payload) {
        const int k = ombra::next_minstd_byte(ks.minstd) % 64;
        const uint8_t y = static_cast<uint8_t>(x + ks.key[k]);
        stream.push_back(static_cast<uint8_t>(y ^ ombra::next_minstd_byte(ks.minstd)));
    }
}

void Forge::stored_block(const Bytes &plain) {
    Bytes payload = with_digest(plain);
    raw_block(0, 0, static_cast<uint32_t>(payload.size()), payload);
}

void Forge::write(std::vector<Bytes> &images, const std::vector<Carrier> &meta) const {
    Walk walk(Bytes(ks.key, ks.key + OMBRA_KEY_BYTES));
    auto where = walk.carrying(images, meta, stream.size() * 8);
    size_t bit = 0;
    for (size_t i = 0; i < images.size(); ++i) {
        const size_t p = static_cast<size_t>(meta[i].data_offset) + ks.signature_position[i];
        for (size_t k = 0; k < 32 && p + k < images[i].size(); ++k) {
            images[i][p + k] = static_cast<uint8_t>((images[i][p + k] & 0xFE) | ((ks.signature[i] >> k) & 1u));
        }
        for (size_t at : where[i]) {
            const uint8_t b = (stream[bit / 8] >> (bit % 8)) & 1u;
            images[i][at] = static_cast<uint8_t>((images[i][at] & 0xFE) | b);
            ++bit;
        }
    }
}

Bytes with_digest(const Bytes &plain) {
    Bytes out = plain;
    out.resize(plain.size() + OMBRA_DIGEST_BYTES);
    ombra::md5(plain.data(), plain.size(), out.data() + plain.size());
    return out;
}

Bytes pack_codes(const std::vector<uint32_t> &codes, int width) {
    Bytes out;
    uint64_t acc = 0;
    int held = 0;
    for (uint32_t c : codes) {
        acc = (acc << width) | c;
        held += width;
        while (held >= 8) {
            out.push_back(static_cast<uint8_t>(acc >> (held - 8)));
            held -= 8;
        }
    }
    if (held > 0) out.push_back(static_cast<uint8_t>(acc << (8 - held)));
    return out;
}

}  // namespace enginetest
