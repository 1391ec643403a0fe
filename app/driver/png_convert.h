#pragma once
// PNG <-> BMP conversion on libpng, streaming by rows. The BMP side is our
// own code and writes only what the engine accepts: uncompressed, bottom-up,
// rows padded to 4 bytes, 8-bit with a 256-entry grey ramp (data offset 1078)
// or 24-bit (data offset 54).
//
// PNG kinds:
//   8-bit grey             -> 8-bit grey BMP, exact
//   1/2/4-bit grey         -> expanded to 8-bit grey (0..255 scale)
//   8-bit RGB              -> 24-bit BMP, exact
//   palette                -> expanded to 24-bit RGB
//   16-bit channels        -> rounded to 8 bits (what a display shows)
//   alpha channel or tRNS  -> accepted only when every pixel is fully opaque
//                             (alpha 255 once reduced to 8 bits);
//                             a transparent pixel refuses the whole image
//   interlaced             -> decoded whole (bounded by kMaxInterlacedBytes)
// BMP to PNG writes IHDR, IDAT and IEND only: no gamma or colour-space chunk
// that would make a viewer alter the values the hidden bits live in.
#include <QString>
#include <cstdint>

namespace velta {

// Largest decoded interlaced image held in memory (interlaced rows cannot be
// streamed).
constexpr int64_t kMaxInterlacedBytes = int64_t{256} * 1024 * 1024;

// zlib level 6 with libpng's adaptive choice among all five filters: on a
// noisy 24-megapixel photo it writes files as small as level 9 and as
// ImageMagick's, in two thirds of ImageMagick's time; levels 1-3 save a third of the
// time for files a tenth larger (bench/core_convert.cpp).
struct PngWriteOptions {
    int compression_level = 6;  // zlib 0-9
    int filters = -1;           // libpng PNG_FILTER_* mask; -1: all five, chosen per row
};

// Both return true on success; otherwise `message` says why and the
// destination is untouched.
bool PngToBmp(const QString &png_path, const QString &bmp_path, QString &message);
bool BmpToPng(const QString &bmp_path, const QString &png_path, QString &message,
              const PngWriteOptions &options = PngWriteOptions());

}  // namespace velta
