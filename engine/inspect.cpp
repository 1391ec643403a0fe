// get_bmp_file_info: the BMP header, the colour table and, on request, the
// sequence signature among the first pixel bytes.
#include "internal.h"

#include <fcntl.h>
#include <unistd.h>

namespace ombra {
namespace {

constexpr int32_t kMaxColourEntries = kChunkBytes / 4;
constexpr int32_t kSignatureWindow = 64;

inline uint16_t load_le16(const uint8_t *p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// Header values are 32-bit; the record keeps their bit patterns.
inline int32_t as_int32(uint32_t v) { return static_cast<int32_t>(v); }

// Widths and heights come from the file: the products are formed in 64 bits
// and held to the range of the record's fields.
inline int32_t clamp_int32(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

// Row bytes times height, saturated: 3 * width * height can exceed 64 bits.
inline int64_t times_height(int64_t row_bytes, int64_t height) {
    int64_t product = 0;
    if (__builtin_mul_overflow(row_bytes, height, &product)) {
        return (row_bytes < 0) != (height < 0) ? INT64_MIN : INT64_MAX;
    }
    return product;
}

class FileCloser {
public:
    explicit FileCloser(int fd) : fd_(fd) {}
    ~FileCloser() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileCloser(const FileCloser &) = delete;
    FileCloser &operator=(const FileCloser &) = delete;

private:
    int fd_;
};

int32_t search_signature_in(const uint8_t *bytes, BmpFileInfo *info, int32_t not_found_value) {
    const KeyState &ks = g_state.ks;
    if (g_state.seeded) {
        for (int32_t s = 0; s < 32; ++s) {
            uint32_t v = 0;
            for (int32_t k = 0; k < 32; ++k) v |= static_cast<uint32_t>(bytes[s + k] & 1u) << k;
            for (int32_t j = 0; j < OMBRA_MAX_IMAGES; ++j) {
                if (ks.signature[j] == v) {
                    info->sequence_index = j;
                    info->signature_offset = s;
                    return 0;
                }
            }
        }
    }
    info->sequence_index = not_found_value;
    return 0;
}

}  // namespace
}  // namespace ombra

using namespace ombra;

extern "C" OMBRA_API int32_t get_bmp_file_info(BmpFileInfo *info, int32_t search_signature,
                                               int32_t not_found_value) {
    if (info == nullptr || info->file_path == nullptr || !g_state.allocated) {
        return OMBRA_BMP_CANNOT_OPEN;
    }
    int fd = ::open(info->file_path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return OMBRA_BMP_CANNOT_OPEN;
    FileCloser closer(fd);
    uint8_t *buf = g_state.image_buffer;

    if (read_full(fd, buf, kHeaderBytes) != kHeaderBytes) return OMBRA_BMP_SHORT_READ;
    if (buf[0] != 'B' || buf[1] != 'M') return OMBRA_BMP_NOT_BM;

    const uint32_t data_offset = load_le32(buf + 10);
    const int32_t width = as_int32(load_le32(buf + 18));
    const int32_t height = as_int32(load_le32(buf + 22));
    const int32_t bits = load_le16(buf + 28);
    uint32_t colours = load_le32(buf + 46);
    const uint32_t image_size = load_le32(buf + 34);
    const uint32_t file_size = load_le32(buf + 2);
    if (colours == 0) colours = bits < 32 ? 1u << bits : 0u;

    info->file_size = as_int32(file_size);
    info->data_offset = as_int32(data_offset);
    info->width = width;
    info->height = height;
    info->bits_per_pixel = bits;
    info->compression = as_int32(load_le32(buf + 30));
    info->image_size = as_int32(image_size);
    info->colors_used = as_int32(colours);

    if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return OMBRA_BMP_BAD_BIT_DEPTH;

    // Unsigned 64-bit: a huge colour count must not wrap onto a plausible offset.
    uint64_t expected = 54;
    if (bits == 1) expected = 62;
    if (bits == 4 || bits == 8) expected = 54 + 4 * static_cast<uint64_t>(colours);
    if (data_offset != expected) return OMBRA_BMP_BAD_OFFSET;

    if (image_size == 0) info->image_size = as_int32(file_size - data_offset);

    const int64_t w = width, h = height;
    int64_t stride = 0, pixels = 0;
    switch (bits) {
    case 1:
        stride = ((w + 31) / 32) * 4;
        pixels = times_height((w + 7) / 8, h);
        break;
    case 4:
        stride = ((4 * w + 31) / 32) * 4;
        pixels = times_height((4 * w + 7) / 8, h);
        break;
    case 8:
        stride = ((w + 3) / 4) * 4;
        pixels = times_height(w, h);
        break;
    default:
        stride = ((3 * w + 3) / 4) * 4;
        pixels = times_height(3 * w, h);
        break;
    }
    info->row_stride = clamp_int32(stride);
    info->pixel_bytes = clamp_int32(pixels);

    if (bits == 24) {
        info->is_grayscale = 0;
    } else if (bits == 1) {
        info->is_grayscale = 1;
    } else {
        // The table is read into image_buffer: a longer one cannot be read in full.
        if (colours > static_cast<uint32_t>(kMaxColourEntries)) return OMBRA_BMP_COLOR_TABLE;
        const int64_t table_bytes = 4 * static_cast<int64_t>(colours);
        if (read_full(fd, buf, static_cast<size_t>(table_bytes)) != table_bytes) {
            return OMBRA_BMP_COLOR_TABLE;
        }
        int32_t grey = 1;
        for (uint32_t i = 0; i < colours; ++i) {
            const uint8_t *e = buf + 4 * i;
            if (e[0] != e[1] || e[1] != e[2]) {
                grey = 0;
                break;
            }
        }
        info->is_grayscale = grey;
    }

    if (search_signature != 0) {
        if (read_full(fd, buf, kSignatureWindow) != kSignatureWindow) return OMBRA_BMP_SHORT_READ;
        search_signature_in(buf, info, not_found_value);
    }
    return OMBRA_BMP_OK;
}
