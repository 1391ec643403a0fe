#pragma once
// PNG and BMP fixtures for the conversion tests, written and read with
// libpng directly so the tests do not lean on the code under test.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace fixtures {

// A PNG to write: samples are the raw values per channel (palette indices
// for palette images), row by row; 16-bit samples are written big-endian.
struct PngImage {
    uint32_t width = 0;
    uint32_t height = 0;
    int colour_type = 0;  // PNG_COLOR_TYPE_*
    int bit_depth = 8;
    bool interlaced = false;
    std::vector<uint16_t> samples;
    std::vector<uint8_t> palette;      // RGB triples
    std::vector<uint8_t> trns_alpha;   // palette tRNS
    bool trns_grey = false;            // grey tRNS value
    uint16_t trns_grey_value = 0;
    QByteArray extra_chunk;            // appended before IEND as a private "prVt" chunk
};

bool WritePng(const QString &path, const PngImage &image);

// A PNG read back without transformations.
struct ReadPng {
    uint32_t width = 0;
    uint32_t height = 0;
    int colour_type = -1;
    int bit_depth = 0;
    bool interlaced = false;
    bool colour_chunks = false;  // gAMA, sRGB, iCCP or cHRM present
    std::vector<uint8_t> pixels; // rows without filter bytes, top-down
};

bool ReadPngFile(const QString &path, ReadPng &out);

// A BMP parsed by the test's own reader.
struct ParsedBmp {
    bool ok = false;
    uint32_t file_size = 0;
    uint32_t data_offset = 0;
    int32_t width = 0;
    int32_t height = 0;
    int bits = 0;
    uint32_t compression = 0;
    uint32_t colours = 0;
    bool grey_ramp = false;       // 256 entries i -> (i, i, i)
    bool padding_zero = false;
    qint64 real_length = 0;
    std::vector<uint8_t> pixels;  // top-down, no padding, BMP byte order (BGR)
};

ParsedBmp ParseBmp(const QString &path);

// Writes a BMP from parts, for the refusal cases of BMP to PNG.
QByteArray BmpBytes(int32_t width, int32_t height, int bits, uint32_t compression,
                    const std::vector<uint8_t> &colour_table, qint64 pixel_bytes);

// Chunk surgery: chunks of a PNG file as (type, data) with CRCs recomputed
// on reassembly unless asked otherwise.
struct Chunk {
    QByteArray type;
    QByteArray data;
    bool keep_bad_crc = false;
    uint32_t crc = 0;
};
std::vector<Chunk> SplitChunks(const QByteArray &png);
QByteArray JoinChunks(const std::vector<Chunk> &chunks);

QByteArray ReadAll(const QString &path);
bool WriteAll(const QString &path, const QByteArray &bytes);
QByteArray Md5(const QString &path);

}  // namespace fixtures
