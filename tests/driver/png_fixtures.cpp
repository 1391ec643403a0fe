#include "png_fixtures.h"

#include <QCryptographicHash>
#include <QFile>
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace fixtures {

namespace {

void TestPngError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void TestPngWarning(png_structp, png_const_charp) {}

void Be32(unsigned char *p, uint32_t v)
{
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}

uint32_t GetBe32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return uint32_t{u[0]} << 24 | uint32_t{u[1]} << 16 | uint32_t{u[2]} << 8 | u[3];
}

uint32_t Le32(const unsigned char *p)
{
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void PutLe32(unsigned char *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

int Channels(int colour_type)
{
    switch (colour_type) {
    case PNG_COLOR_TYPE_GRAY: return 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: return 1;  // palette
    }
}

// Packs samples into PNG rows (bits below 8 are packed high bit first).
std::vector<png_byte> PackRows(const PngImage &im, size_t &row_bytes)
{
    const int ch = Channels(im.colour_type);
    row_bytes = (static_cast<size_t>(im.width) * ch * im.bit_depth + 7) / 8;
    std::vector<png_byte> rows(row_bytes * im.height, 0);
    for (uint32_t y = 0; y < im.height; ++y) {
        png_byte *row = rows.data() + y * row_bytes;
        for (size_t i = 0; i < static_cast<size_t>(im.width) * ch; ++i) {
            const uint16_t v = im.samples[y * im.width * ch + i];
            if (im.bit_depth == 16) {
                row[2 * i] = static_cast<png_byte>(v >> 8);
                row[2 * i + 1] = static_cast<png_byte>(v);
            } else if (im.bit_depth == 8) {
                row[i] = static_cast<png_byte>(v);
            } else {
                const size_t bit = i * im.bit_depth;
                const int shift = 8 - im.bit_depth - static_cast<int>(bit % 8);
                row[bit / 8] = static_cast<png_byte>(row[bit / 8] | (v << shift));
            }
        }
    }
    return rows;
}

bool WritePngStruct(FILE *file, const PngImage &im, std::vector<png_bytep> &pointers)
{
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, TestPngError, TestPngWarning);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, im.width, im.height, im.bit_depth, im.colour_type,
                 im.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    for (size_t i = 0; i + 2 < im.palette.size(); i += 3)
        palette.push_back(png_color{im.palette[i], im.palette[i + 1], im.palette[i + 2]});
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    png_color_16 grey{};
    grey.gray = im.trns_grey_value;
    if (!im.trns_alpha.empty())
        png_set_tRNS(png, info, im.trns_alpha.data(), static_cast<int>(im.trns_alpha.size()), nullptr);
    else if (im.trns_grey)
        png_set_tRNS(png, info, nullptr, 0, &grey);
    png_write_info(png, info);
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool WritePng(const QString &path, const PngImage &im)
{
    size_t row_bytes = 0;
    std::vector<png_byte> rows = PackRows(im, row_bytes);
    std::vector<png_bytep> pointers(im.height);
    for (uint32_t y = 0; y < im.height; ++y) pointers[y] = rows.data() + y * row_bytes;
    FILE *file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (file == nullptr) return false;
    const bool ok = WritePngStruct(file, im, pointers);
    std::fclose(file);
    if (!ok || im.extra_chunk.isEmpty()) return ok;
    std::vector<Chunk> chunks = SplitChunks(ReadAll(path));
    chunks.insert(chunks.end() - 1, Chunk{"prVt", im.extra_chunk});
    return WriteAll(path, JoinChunks(chunks));
}

namespace {

bool ReadPngStruct(FILE *file, ReadPng &out, std::vector<png_bytep> &pointers)
{
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, TestPngError, TestPngWarning);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    out.width = png_get_image_width(png, info);
    out.height = png_get_image_height(png, info);
    out.colour_type = png_get_color_type(png, info);
    out.bit_depth = png_get_bit_depth(png, info);
    out.interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    out.colour_chunks = png_get_valid(png, info, PNG_INFO_gAMA | PNG_INFO_sRGB | PNG_INFO_iCCP |
                                                     PNG_INFO_cHRM) != 0;
    if (out.interlaced) png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t row_bytes = png_get_rowbytes(png, info);
    out.pixels.assign(row_bytes * out.height, 0);
    pointers.resize(out.height);
    for (uint32_t y = 0; y < out.height; ++y) pointers[y] = out.pixels.data() + y * row_bytes;
    png_read_image(png, pointers.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

}  // namespace

bool ReadPngFile(const QString &path, ReadPng &out)
{
    FILE *file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (file == nullptr) return false;
    std::vector<png_bytep> pointers;
    const bool ok = ReadPngStruct(file, out, pointers);
    std::fclose(file);
    return ok;
}

ParsedBmp ParseBmp(const QString &path)
{
    ParsedBmp b;
    const QByteArray bytes = ReadAll(path);
    b.real_length = bytes.size();
    if (bytes.size() < 54 || !bytes.startsWith("BM")) return b;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    b.file_size = Le32(p + 2);
    b.data_offset = Le32(p + 10);
    b.width = static_cast<int32_t>(Le32(p + 18));
    b.height = static_cast<int32_t>(Le32(p + 22));
    b.bits = p[28] | p[29] << 8;
    b.compression = Le32(p + 30);
    b.colours = Le32(p + 46);
    if ((b.bits != 8 && b.bits != 24) || b.width <= 0 || b.height <= 0) return b;
    if (b.bits == 8 && bytes.size() >= 1078) {
        b.grey_ramp = true;
        for (int i = 0; i < 256; ++i)
            if (p[54 + 4 * i] != i || p[55 + 4 * i] != i || p[56 + 4 * i] != i) b.grey_ramp = false;
    }
    const int bpp = b.bits / 8;
    const qint64 stride = (qint64{b.width} * bpp + 3) / 4 * 4;
    if (b.data_offset + stride * b.height > bytes.size()) return b;
    b.padding_zero = true;
    b.pixels.resize(static_cast<size_t>(b.width) * bpp * b.height);
    for (int32_t y = 0; y < b.height; ++y) {
        const unsigned char *row = p + b.data_offset + (b.height - 1 - y) * stride;
        std::memcpy(b.pixels.data() + static_cast<size_t>(y) * b.width * bpp, row,
                    static_cast<size_t>(b.width) * bpp);
        for (qint64 i = qint64{b.width} * bpp; i < stride; ++i)
            if (row[i] != 0) b.padding_zero = false;
    }
    b.ok = true;
    return b;
}

QByteArray BmpBytes(int32_t width, int32_t height, int bits, uint32_t compression,
                    const std::vector<uint8_t> &colour_table, qint64 pixel_bytes)
{
    const int offset = 54 + static_cast<int>(colour_table.size());
    QByteArray bytes(offset + static_cast<int>(pixel_bytes), '\x5a');
    auto *p = reinterpret_cast<unsigned char *>(bytes.data());
    std::memset(p, 0, 54);
    p[0] = 'B';
    p[1] = 'M';
    PutLe32(p + 2, static_cast<uint32_t>(bytes.size()));
    PutLe32(p + 10, static_cast<uint32_t>(offset));
    PutLe32(p + 14, 40);
    PutLe32(p + 18, static_cast<uint32_t>(width));
    PutLe32(p + 22, static_cast<uint32_t>(height));
    p[26] = 1;
    p[28] = static_cast<unsigned char>(bits);
    PutLe32(p + 30, compression);
    PutLe32(p + 46, static_cast<uint32_t>(colour_table.size() / 4));
    if (!colour_table.empty()) std::memcpy(p + 54, colour_table.data(), colour_table.size());
    return bytes;
}

std::vector<Chunk> SplitChunks(const QByteArray &png)
{
    std::vector<Chunk> chunks;
    qsizetype pos = 8;
    while (pos + 12 <= png.size()) {
        const uint32_t length = GetBe32(png.constData() + pos);
        Chunk c;
        c.type = png.mid(pos + 4, 4);
        c.data = png.mid(pos + 8, length);
        c.crc = GetBe32(png.constData() + pos + 8 + length);
        chunks.push_back(c);
        pos += 12 + length;
    }
    return chunks;
}

QByteArray JoinChunks(const std::vector<Chunk> &chunks)
{
    QByteArray out("\x89PNG\r\n\x1a\n", 8);
    for (const Chunk &c : chunks) {
        unsigned char word[4];
        Be32(word, static_cast<uint32_t>(c.data.size()));
        out.append(reinterpret_cast<const char *>(word), 4);
        const QByteArray body = c.type + c.data;
        out.append(body);
        uLong crc = crc32(0L, reinterpret_cast<const Bytef *>(body.constData()),
                          static_cast<uInt>(body.size()));
        Be32(word, c.keep_bad_crc ? c.crc : static_cast<uint32_t>(crc));
        out.append(reinterpret_cast<const char *>(word), 4);
    }
    return out;
}

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray Md5(const QString &path)
{
    QFile f(path);
    QCryptographicHash hash(QCryptographicHash::Md5);
    if (!f.open(QIODevice::ReadOnly) || !hash.addData(&f)) return QByteArray();
    return hash.result().toHex();
}

}  // namespace fixtures
