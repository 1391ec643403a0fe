#include "driver/png_convert.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <png.h>

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstring>
#include <new>
#include <vector>

// libpng reports errors by longjmp. Every function that calls into libpng
// and may jump back (the "guarded" ones, marked below) creates no object with
// a destructor: all buffers, files and texts are owned by the caller and
// reached through the context, so a jump skips nothing that needs cleaning.

namespace velta {

namespace {

constexpr int kBmpFileHeaderBytes = 14;
constexpr int kBmpInfoHeaderBytes = 40;
constexpr int kBmpHeaderBytes = kBmpFileHeaderBytes + kBmpInfoHeaderBytes;
constexpr int kGreyTableBytes = 256 * 4;
constexpr int32_t kPixelsPerMetre = 2835;  // 72 dpi, as image tools write it
// Rows are moved in runs of about this many bytes: few system calls, and
// memory that does not grow with the image.
constexpr int64_t kRunBytes = 1 << 20;

struct PngContext {
    png_structp png = nullptr;
    png_infop info = nullptr;
    QIODevice *png_file = nullptr;     // read (PNG to BMP) or written (BMP to PNG)
    QIODevice *bmp_file = nullptr;     // the other side
    char error[200] = {};              // libpng's or our reason for a jump
    bool refused_alpha = false;        // a pixel that is not fully opaque
    bool bmp_io_failed = false;        // the BMP side failed (no jump involved)

    // Image geometry after libpng's transformations.
    uint32_t width = 0;
    uint32_t height = 0;
    int channels = 0;                  // 1 grey, 2 grey+alpha, 3 BGR, 4 BGRA
    int64_t stored_bytes = 0;          // filtered image data before any transformation
    bool grey = false;
    bool interlaced = false;
    size_t png_row_bytes = 0;
    int64_t bmp_stride = 0;
    int64_t data_offset = 0;

    std::vector<png_byte> *row = nullptr;    // one decoded row, or the whole interlaced image
    std::vector<png_byte> *run = nullptr;    // a run of BMP rows
    std::vector<png_bytep> *row_pointers = nullptr;
};

void StoreError(PngContext *ctx, const char *text)
{
    std::strncpy(ctx->error, text, sizeof ctx->error - 1);
    ctx->error[sizeof ctx->error - 1] = '\0';
}

void OnPngError(png_structp png, png_const_charp text)
{
    auto *ctx = static_cast<PngContext *>(png_get_error_ptr(png));
    StoreError(ctx, text != nullptr ? text : "unknown libpng error");
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

void ReadPngBytes(png_structp png, png_bytep data, size_t length)
{
    auto *ctx = static_cast<PngContext *>(png_get_io_ptr(png));
    const qint64 got = ctx->png_file->read(reinterpret_cast<char *>(data),
                                           static_cast<qint64>(length));
    if (got != static_cast<qint64>(length))
        png_error(png, got < 0 ? "the file cannot be read" : "the file ends too early");
}

void WritePngBytes(png_structp png, png_bytep data, size_t length)
{
    auto *ctx = static_cast<PngContext *>(png_get_io_ptr(png));
    if (ctx->png_file->write(reinterpret_cast<const char *>(data),
                             static_cast<qint64>(length)) != static_cast<qint64>(length))
        png_error(png, "writing the file failed");
}

void FlushPng(png_structp) {}

void PutLe16(unsigned char *p, uint32_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void PutLe32(unsigned char *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

uint32_t GetLe16(const unsigned char *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
}

uint32_t GetLe32(const unsigned char *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

int64_t BmpStride(uint32_t width, bool grey)
{
    const int64_t bytes = static_cast<int64_t>(width) * (grey ? 1 : 3);
    return (bytes + 3) / 4 * 4;
}

// Header and, for grey images, the identity grey ramp the engine expects.
QByteArray BmpHeader(uint32_t width, uint32_t height, bool grey, int64_t stride)
{
    const int64_t offset = kBmpHeaderBytes + (grey ? kGreyTableBytes : 0);
    const int64_t image = stride * height;
    QByteArray header(static_cast<int>(offset), '\0');
    auto *p = reinterpret_cast<unsigned char *>(header.data());
    p[0] = 'B';
    p[1] = 'M';
    PutLe32(p + 2, static_cast<uint32_t>(offset + image));
    PutLe32(p + 10, static_cast<uint32_t>(offset));
    PutLe32(p + 14, kBmpInfoHeaderBytes);
    PutLe32(p + 18, width);
    PutLe32(p + 22, height);
    PutLe16(p + 26, 1);
    PutLe16(p + 28, grey ? 8 : 24);
    PutLe32(p + 30, 0);
    PutLe32(p + 34, static_cast<uint32_t>(image));
    PutLe32(p + 38, kPixelsPerMetre);
    PutLe32(p + 42, kPixelsPerMetre);
    PutLe32(p + 46, grey ? 256 : 0);
    PutLe32(p + 50, 0);
    if (grey) {
        for (int i = 0; i < 256; ++i) {
            unsigned char *e = p + kBmpHeaderBytes + 4 * i;
            e[0] = e[1] = e[2] = static_cast<unsigned char>(i);
            e[3] = 0;
        }
    }
    return header;
}

int64_t RowsPerRun(int64_t stride, uint32_t height)
{
    return std::clamp<int64_t>(kRunBytes / std::max<int64_t>(stride, 1), 1, height);
}

// ---- PNG to BMP ----

// Guarded. Reads the header and sets up the transformations.
bool ReadPngInfo(PngContext *ctx)
{
    if (setjmp(png_jmpbuf(ctx->png))) return false;
    png_structp png = ctx->png;
    png_infop info = ctx->info;
    png_set_sig_bytes(png, 8);
    png_read_info(png, info);

    const png_byte colour = png_get_color_type(png, info);
    const png_byte depth = png_get_bit_depth(png, info);
    const int64_t stored_row =
        (static_cast<int64_t>(png_get_image_width(png, info)) * png_get_channels(png, info) * depth + 7) / 8;
    ctx->stored_bytes = (stored_row + 1) * png_get_image_height(png, info);
    ctx->grey = (colour & PNG_COLOR_MASK_COLOR) == 0;
    if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (ctx->grey && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (depth == 16) png_set_scale_16(png);
    if (!ctx->grey) png_set_bgr(png);
    ctx->interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    if (ctx->interlaced) png_set_interlace_handling(png);
    png_read_update_info(png, info);

    ctx->width = png_get_image_width(png, info);
    ctx->height = png_get_image_height(png, info);
    ctx->channels = png_get_channels(png, info);
    ctx->png_row_bytes = png_get_rowbytes(png, info);
    return true;
}

// Turns one decoded row into a BMP row; false when a pixel is not opaque.
bool ToBmpRow(const PngContext *ctx, const png_byte *in, png_byte *out)
{
    const uint32_t w = ctx->width;
    switch (ctx->channels) {
    case 1:
        std::memcpy(out, in, w);
        return true;
    case 2:
        for (uint32_t x = 0; x < w; ++x) {
            if (in[2 * x + 1] != 255) return false;
            out[x] = in[2 * x];
        }
        return true;
    case 3:
        std::memcpy(out, in, static_cast<size_t>(w) * 3);
        return true;
    default:
        for (uint32_t x = 0; x < w; ++x) {
            if (in[4 * x + 3] != 255) return false;
            std::memcpy(out + 3 * x, in + 4 * x, 3);
        }
        return true;
    }
}

// PNG rows run top-down, BMP rows bottom-up: a run of PNG rows [y0, y1) is
// laid into the run buffer in reverse and written where those rows sit.
bool WriteBmpRun(PngContext *ctx, uint32_t y1, int64_t count)
{
    const int64_t first_bmp_row = static_cast<int64_t>(ctx->height) - y1;
    const int64_t bytes = count * ctx->bmp_stride;
    if (!ctx->bmp_file->seek(ctx->data_offset + first_bmp_row * ctx->bmp_stride) ||
        ctx->bmp_file->write(reinterpret_cast<const char *>(ctx->run->data()), bytes) != bytes) {
        ctx->bmp_io_failed = true;
        return false;
    }
    return true;
}

// Guarded. Decodes every row and writes the BMP rows.
bool DecodeRows(PngContext *ctx)
{
    if (setjmp(png_jmpbuf(ctx->png))) return false;
    if (ctx->interlaced) png_read_image(ctx->png, ctx->row_pointers->data());

    const int64_t per_run = RowsPerRun(ctx->bmp_stride, ctx->height);
    for (uint32_t y0 = 0; y0 < ctx->height; y0 += static_cast<uint32_t>(per_run)) {
        const uint32_t y1 = static_cast<uint32_t>(
            std::min<int64_t>(static_cast<int64_t>(y0) + per_run, ctx->height));
        for (uint32_t y = y0; y < y1; ++y) {
            png_byte *decoded;
            if (ctx->interlaced) {
                decoded = (*ctx->row_pointers)[y];
            } else {
                decoded = ctx->row->data();
                png_read_row(ctx->png, decoded, nullptr);
            }
            png_byte *out = ctx->run->data() + (y1 - 1 - y) * ctx->bmp_stride;
            if (!ToBmpRow(ctx, decoded, out)) {
                ctx->refused_alpha = true;
                return false;
            }
        }
        if (!WriteBmpRun(ctx, y1, y1 - y0)) return false;
    }
    // The rest of the file must be sound too: a missing end or a bad final
    // checksum means the file is damaged, even when every row came through.
    png_read_end(ctx->png, nullptr);
    return true;
}

// ---- BMP to PNG ----

struct BmpLayout {
    uint32_t width = 0;
    uint32_t height = 0;
    bool grey = false;
    int64_t stride = 0;
    int64_t data_offset = 0;
};

// Accepts exactly the BMP kinds this program writes and the engine rewrites:
// uncompressed, bottom-up, 24-bit or 8-bit with the identity grey ramp (any
// other colour table would make the pixel bytes mean other greys).
bool ReadBmpLayout(QIODevice &file, BmpLayout &layout, QString &message)
{
    unsigned char h[kBmpHeaderBytes];
    if (file.read(reinterpret_cast<char *>(h), kBmpHeaderBytes) != kBmpHeaderBytes ||
        h[0] != 'B' || h[1] != 'M') {
        message = QStringLiteral("The BMP image has no complete header");
        return false;
    }
    const auto width = static_cast<int32_t>(GetLe32(h + 18));
    const auto height = static_cast<int32_t>(GetLe32(h + 22));
    const uint32_t bits = GetLe16(h + 28);
    const uint32_t compression = GetLe32(h + 30);
    uint32_t colours = GetLe32(h + 46);
    layout.data_offset = GetLe32(h + 10);
    layout.grey = bits == 8;
    if (layout.grey && colours == 0) colours = 256;
    const int64_t expected_offset = kBmpHeaderBytes + (layout.grey ? kGreyTableBytes : 0);
    if ((bits != 8 && bits != 24) || compression != 0 || GetLe32(h + 14) != kBmpInfoHeaderBytes ||
        (layout.grey && colours != 256) || layout.data_offset != expected_offset) {
        message = QStringLiteral(
            "The BMP image is not an uncompressed 8-bit grayscale or 24-bit color bitmap");
        return false;
    }
    if (width <= 0 || height <= 0 || width > PNG_USER_WIDTH_MAX || height > PNG_USER_HEIGHT_MAX) {
        message = QStringLiteral("The BMP image has dimensions a PNG image cannot take");
        return false;
    }
    layout.width = static_cast<uint32_t>(width);
    layout.height = static_cast<uint32_t>(height);
    layout.stride = BmpStride(layout.width, layout.grey);
    if (layout.grey) {
        unsigned char table[kGreyTableBytes];
        if (file.read(reinterpret_cast<char *>(table), kGreyTableBytes) != kGreyTableBytes) {
            message = QStringLiteral("The BMP image's color table is incomplete");
            return false;
        }
        for (int i = 0; i < 256; ++i) {
            const unsigned char *e = table + 4 * i;
            if (e[0] != i || e[1] != i || e[2] != i) {
                message = QStringLiteral(
                    "The BMP image's colors are not the plain grayscale ramp");
                return false;
            }
        }
    }
    if (file.size() < layout.data_offset + layout.stride * layout.height) {
        message = QStringLiteral("The BMP image is shorter than its header states");
        return false;
    }
    return true;
}

// Guarded. Writes the PNG, reading the BMP bottom-up in runs of rows.
bool EncodeRows(PngContext *ctx, const PngWriteOptions *options)
{
    if (setjmp(png_jmpbuf(ctx->png))) return false;
    png_structp png = ctx->png;
    png_set_write_fn(png, ctx, WritePngBytes, FlushPng);
    png_set_IHDR(png, ctx->info, ctx->width, ctx->height, 8,
                 ctx->grey ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, options->compression_level);
    if (options->filters >= 0) png_set_filter(png, PNG_FILTER_TYPE_BASE, options->filters);
    png_write_info(png, ctx->info);
    if (!ctx->grey) png_set_bgr(png);

    const int64_t per_run = RowsPerRun(ctx->bmp_stride, ctx->height);
    for (uint32_t y0 = 0; y0 < ctx->height; y0 += static_cast<uint32_t>(per_run)) {
        const uint32_t y1 = static_cast<uint32_t>(
            std::min<int64_t>(static_cast<int64_t>(y0) + per_run, ctx->height));
        const int64_t first_bmp_row = static_cast<int64_t>(ctx->height) - y1;
        const int64_t bytes = (y1 - y0) * ctx->bmp_stride;
        if (!ctx->bmp_file->seek(ctx->data_offset + first_bmp_row * ctx->bmp_stride) ||
            ctx->bmp_file->read(reinterpret_cast<char *>(ctx->run->data()), bytes) != bytes) {
            ctx->bmp_io_failed = true;
            return false;
        }
        for (uint32_t y = y0; y < y1; ++y)
            png_write_row(png, ctx->run->data() + (y1 - 1 - y) * ctx->bmp_stride);
    }
    png_write_end(png, nullptr);
    return true;
}

QString Shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

}  // namespace

bool PngToBmp(const QString &png_path, const QString &bmp_path, QString &message)
{
    QFile in(png_path);
    if (!in.open(QIODevice::ReadOnly)) {
        message = QStringLiteral("Unable to open the PNG image %1").arg(Shown(png_path));
        return false;
    }
    png_byte signature[8];
    if (in.read(reinterpret_cast<char *>(signature), 8) != 8 || png_sig_cmp(signature, 0, 8) != 0) {
        message = QStringLiteral("The file %1 is not a PNG image").arg(Shown(png_path));
        return false;
    }

    PngContext ctx;
    ctx.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &ctx, OnPngError, OnPngWarning);
    if (ctx.png == nullptr) {
        message = QStringLiteral("Not enough memory to read the PNG image");
        return false;
    }
    ctx.info = png_create_info_struct(ctx.png);
    struct Cleanup {
        PngContext &c;
        ~Cleanup() { png_destroy_read_struct(&c.png, c.info ? &c.info : nullptr, nullptr); }
    } cleanup{ctx};
    if (ctx.info == nullptr) {
        message = QStringLiteral("Not enough memory to read the PNG image");
        return false;
    }
    ctx.png_file = &in;
    png_set_read_fn(ctx.png, &ctx, ReadPngBytes);
    // Only the pixels, the palette and tRNS matter. Every other ancillary
    // chunk is skipped unread, so a chunk claiming gigabytes (sPLT, iCCP,
    // zTXt ...) cannot make libpng allocate them; anything else is capped.
    static const png_byte kSkipped[] =
        "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0sBIT\0sCAL\0sPLT\0"
        "sRGB\0tEXt\0tIME\0zTXt";
    png_set_keep_unknown_chunks(ctx.png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_set_keep_unknown_chunks(ctx.png, PNG_HANDLE_CHUNK_NEVER, kSkipped,
                                static_cast<int>(sizeof kSkipped / 5));
    png_set_chunk_malloc_max(ctx.png, 8 << 20);

    if (!ReadPngInfo(&ctx)) {
        message = QStringLiteral("The PNG image is damaged: %1").arg(QString::fromUtf8(ctx.error));
        return false;
    }

    // Deflate expands at most 1032-fold: a header promising more image data
    // than the file could hold is damaged, and is refused before any buffer
    // or file of that size exists.
    if (ctx.stored_bytes > in.size() * 1040 + 65536) {
        message = QStringLiteral("The PNG image is damaged: its %1 x %2 pixels cannot fit in "
                                 "a file of %3 bytes")
                      .arg(ctx.width)
                      .arg(ctx.height)
                      .arg(in.size());
        return false;
    }
    // The engine's record holds 32-bit sizes: the whole BMP must stay below 2 GiB.
    ctx.bmp_stride = BmpStride(ctx.width, ctx.grey);
    ctx.data_offset = kBmpHeaderBytes + (ctx.grey ? kGreyTableBytes : 0);
    if (ctx.data_offset + ctx.bmp_stride * ctx.height > INT32_MAX) {
        message = QStringLiteral("The PNG image is too large for a BMP file (%1 x %2 pixels)")
                      .arg(ctx.width)
                      .arg(ctx.height);
        return false;
    }
    std::vector<png_byte> row;
    std::vector<png_bytep> row_pointers;
    if (ctx.interlaced) {
        const int64_t whole = static_cast<int64_t>(ctx.png_row_bytes) * ctx.height;
        if (whole > kMaxInterlacedBytes) {
            message = QStringLiteral("The interlaced PNG image is too large to convert (%1 x %2 "
                                     "pixels); save it without interlacing")
                          .arg(ctx.width)
                          .arg(ctx.height);
            return false;
        }
        try {
            row.resize(static_cast<size_t>(whole));
        } catch (const std::bad_alloc &) {
            message = QStringLiteral("Not enough memory to convert the interlaced PNG image");
            return false;
        }
        row_pointers.resize(ctx.height);
        for (uint32_t y = 0; y < ctx.height; ++y) row_pointers[y] = row.data() + y * ctx.png_row_bytes;
    } else {
        row.resize(ctx.png_row_bytes);
    }
    std::vector<png_byte> run(
        static_cast<size_t>(RowsPerRun(ctx.bmp_stride, ctx.height) * ctx.bmp_stride), 0);
    ctx.row = &row;
    ctx.row_pointers = &row_pointers;
    ctx.run = &run;

    QSaveFile out(bmp_path);
    const QByteArray header = BmpHeader(ctx.width, ctx.height, ctx.grey, ctx.bmp_stride);
    if (!out.open(QIODevice::WriteOnly) || out.write(header) != header.size()) {
        message = QStringLiteral("Unable to create the BMP image %1").arg(Shown(bmp_path));
        return false;
    }
    ctx.bmp_file = &out;
    if (!DecodeRows(&ctx)) {
        out.cancelWriting();
        if (ctx.refused_alpha)
            message = QStringLiteral("The PNG image has transparent pixels, which a BMP image "
                                     "cannot keep");
        else if (ctx.bmp_io_failed)
            message = QStringLiteral("Unable to write the BMP image %1").arg(Shown(bmp_path));
        else
            message = QStringLiteral("The PNG image is damaged: %1").arg(QString::fromUtf8(ctx.error));
        return false;
    }
    if (!out.commit()) {
        message = QStringLiteral("Unable to write the BMP image %1").arg(Shown(bmp_path));
        return false;
    }
    return true;
}

bool BmpToPng(const QString &bmp_path, const QString &png_path, QString &message,
              const PngWriteOptions &options)
{
    QFile in(bmp_path);
    if (!in.open(QIODevice::ReadOnly)) {
        message = QStringLiteral("Unable to open the BMP image %1").arg(Shown(bmp_path));
        return false;
    }
    BmpLayout layout;
    if (!ReadBmpLayout(in, layout, message)) return false;

    PngContext ctx;
    ctx.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &ctx, OnPngError, OnPngWarning);
    if (ctx.png == nullptr) {
        message = QStringLiteral("Not enough memory to write the PNG image");
        return false;
    }
    ctx.info = png_create_info_struct(ctx.png);
    struct Cleanup {
        PngContext &c;
        ~Cleanup() { png_destroy_write_struct(&c.png, c.info ? &c.info : nullptr); }
    } cleanup{ctx};
    if (ctx.info == nullptr) {
        message = QStringLiteral("Not enough memory to write the PNG image");
        return false;
    }
    ctx.width = layout.width;
    ctx.height = layout.height;
    ctx.grey = layout.grey;
    ctx.bmp_stride = layout.stride;
    ctx.data_offset = layout.data_offset;
    std::vector<png_byte> run(
        static_cast<size_t>(RowsPerRun(ctx.bmp_stride, ctx.height) * ctx.bmp_stride));
    ctx.run = &run;
    ctx.bmp_file = &in;

    QSaveFile out(png_path);
    if (!out.open(QIODevice::WriteOnly)) {
        message = QStringLiteral("Unable to create the PNG image %1").arg(Shown(png_path));
        return false;
    }
    ctx.png_file = &out;
    if (!EncodeRows(&ctx, &options)) {
        out.cancelWriting();
        if (ctx.bmp_io_failed)
            message = QStringLiteral("Unable to read the BMP image %1").arg(Shown(bmp_path));
        else
            message = QStringLiteral("Unable to write the PNG image %1: %2")
                          .arg(Shown(png_path), QString::fromUtf8(ctx.error));
        return false;
    }
    if (!out.commit()) {
        message = QStringLiteral("Unable to write the PNG image %1").arg(Shown(png_path));
        return false;
    }
    return true;
}

}  // namespace velta
