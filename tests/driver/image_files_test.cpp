#include "driver/image_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/resource.h>

#include <algorithm>
#include <functional>
#include <string>

#include "png_fixtures.h"

namespace {

using fixtures::PngImage;

// ---- IsPngFile ----

TEST(IsPngFile, JudgesByContentNotByName)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString png_named_bmp = dir.filePath("photo.bmp");
    const QString jpeg_named_png = dir.filePath("photo.png");
    const QString short_file = dir.filePath("short.png");
    ASSERT_TRUE(fixtures::WriteAll(png_named_bmp, QByteArray("\x89PNG\r\n\x1a\nrest", 12)));
    ASSERT_TRUE(fixtures::WriteAll(jpeg_named_png, QByteArray("\xff\xd8\xff\xe0\0\x10JFIF", 10)));
    ASSERT_TRUE(fixtures::WriteAll(short_file, QByteArray("\x89PN", 3)));
    EXPECT_EQ(velta::IsPngFile(png_named_bmp), 1);
    EXPECT_EQ(velta::IsPngFile(jpeg_named_png), 0);
    EXPECT_EQ(velta::IsPngFile(short_file), 0);
    EXPECT_EQ(velta::IsPngFile(dir.filePath("absent.png")), -1);
    EXPECT_EQ(velta::IsPngFile(QString()), -1);
    EXPECT_EQ(velta::IsPngFile(dir.path()), -1);
}

// ---- PNG kinds through PNG -> BMP -> PNG -> BMP ----

enum class Trns { None, UnusedGrey, OpaquePalette };

struct KindCase {
    const char *name;
    int colour_type;
    int bit_depth;
    bool interlaced;
    Trns trns;
    uint32_t width;
    uint32_t height;
};

std::ostream &operator<<(std::ostream &os, const KindCase &k)
{
    return os << k.name;
}

struct Expected {
    bool grey = false;
    std::vector<uint8_t> pixels;  // top-down, BMP order (grey, or B G R)
};

class Lcg {
public:
    explicit Lcg(uint32_t seed) : state_(seed) {}
    uint32_t next()
    {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 8;
    }

private:
    uint32_t state_;
};

// Draws one sample of `depth` bits and the 8-bit value a viewer shows for it.
uint16_t Sample(Lcg &rng, int depth, uint8_t &shown)
{
    if (depth == 16) {
        // k * 257 is exactly k at 8 bits; a nudge below half a step rounds back to k.
        const int k = static_cast<int>(rng.next() % 256);
        const int nudge = static_cast<int>(rng.next() % 201) - 100;
        shown = static_cast<uint8_t>(k);
        return static_cast<uint16_t>(std::clamp(k * 257 + nudge, 0, 65535));
    }
    const uint32_t max = (1u << depth) - 1;
    const uint32_t v = rng.next() % (max + 1);
    shown = static_cast<uint8_t>(v * 255 / max);
    return static_cast<uint16_t>(v);
}

PngImage MakeImage(const KindCase &k, Expected &expected)
{
    PngImage im;
    im.width = k.width;
    im.height = k.height;
    im.colour_type = k.colour_type;
    im.bit_depth = k.bit_depth;
    im.interlaced = k.interlaced;
    Lcg rng(k.width * 7919u + k.height * 31u + static_cast<uint32_t>(k.bit_depth));
    const bool palette = k.colour_type == PNG_COLOR_TYPE_PALETTE;
    const bool colour = (k.colour_type & PNG_COLOR_MASK_COLOR) != 0;
    const bool alpha = (k.colour_type & PNG_COLOR_MASK_ALPHA) != 0;
    expected.grey = !colour;

    const int entries = palette ? (1 << k.bit_depth) : 0;
    for (int i = 0; i < entries * 3; ++i) im.palette.push_back(static_cast<uint8_t>(rng.next()));
    if (k.trns == Trns::OpaquePalette) im.trns_alpha.assign(static_cast<size_t>(entries) / 2, 255);
    if (k.trns == Trns::UnusedGrey) {
        im.trns_grey = true;
        im.trns_grey_value = 77;
    }

    const size_t pixels = static_cast<size_t>(k.width) * k.height;
    for (size_t i = 0; i < pixels; ++i) {
        uint8_t shown[3] = {};
        if (palette) {
            const uint32_t index = rng.next() % static_cast<uint32_t>(entries);
            im.samples.push_back(static_cast<uint16_t>(index));
            for (int c = 0; c < 3; ++c) shown[c] = im.palette[index * 3 + static_cast<uint32_t>(c)];
        } else {
            for (int c = 0; c < (colour ? 3 : 1); ++c) {
                uint16_t v = Sample(rng, k.bit_depth, shown[c]);
                if (im.trns_grey && v == im.trns_grey_value) {
                    v = static_cast<uint16_t>(v + 1);
                    shown[c] = static_cast<uint8_t>(v);
                }
                im.samples.push_back(v);
            }
            if (alpha) im.samples.push_back(static_cast<uint16_t>(k.bit_depth == 16 ? 65535 : 255));
        }
        if (colour) {
            expected.pixels.insert(expected.pixels.end(), {shown[2], shown[1], shown[0]});
        } else {
            expected.pixels.push_back(shown[0]);
        }
    }
    return im;
}

// Checks a converted BMP against what the engine accepts and what the
// viewer showed.
void ExpectEngineReadyBmp(const QString &path, uint32_t width, uint32_t height,
                          const Expected &expected)
{
    const fixtures::ParsedBmp bmp = fixtures::ParseBmp(path);
    ASSERT_TRUE(bmp.ok);
    EXPECT_EQ(bmp.bits, expected.grey ? 8 : 24);
    EXPECT_EQ(bmp.data_offset, expected.grey ? 1078u : 54u);
    EXPECT_EQ(bmp.compression, 0u);
    EXPECT_EQ(bmp.width, static_cast<int32_t>(width));
    EXPECT_EQ(bmp.height, static_cast<int32_t>(height));
    EXPECT_EQ(bmp.file_size, static_cast<uint32_t>(bmp.real_length));
    if (expected.grey) {
        EXPECT_EQ(bmp.colours, 256u);
        EXPECT_TRUE(bmp.grey_ramp);
    }
    EXPECT_TRUE(bmp.padding_zero);
    EXPECT_TRUE(bmp.pixels == expected.pixels) << "pixel values differ";
}

// The written PNG: 8-bit grey or RGB, plain, with the BMP's values.
void ExpectPlainPng(const QString &path, uint32_t width, uint32_t height, const Expected &expected)
{
    fixtures::ReadPng png;
    ASSERT_TRUE(fixtures::ReadPngFile(path, png));
    EXPECT_EQ(png.width, width);
    EXPECT_EQ(png.height, height);
    EXPECT_EQ(png.colour_type, expected.grey ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB);
    EXPECT_EQ(png.bit_depth, 8);
    EXPECT_FALSE(png.interlaced);
    EXPECT_FALSE(png.colour_chunks);
    std::vector<uint8_t> bgr = png.pixels;
    if (!expected.grey)
        for (size_t i = 0; i + 2 < bgr.size(); i += 3) std::swap(bgr[i], bgr[i + 2]);
    EXPECT_TRUE(bgr == expected.pixels) << "pixel values differ";
}

// PNG -> BMP -> PNG -> BMP: the second BMP is the first, byte for byte.
void RoundTrip(const QString &source, uint32_t width, uint32_t height, const Expected &expected)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString bmp = dir.filePath("image.bmp");
    const QString png = dir.filePath("stego.png");
    const QString check = dir.filePath("image2.bmp");
    QString message;
    ASSERT_TRUE(velta::ConvertImageFile(source, bmp, message)) << message.toStdString();
    EXPECT_EQ(message, QStringLiteral("No Error"));
    ExpectEngineReadyBmp(bmp, width, height, expected);
    ASSERT_TRUE(velta::ConvertImageFile(bmp, png, message)) << message.toStdString();
    EXPECT_EQ(message, QStringLiteral("No Error"));
    ExpectPlainPng(png, width, height, expected);
    ASSERT_TRUE(velta::ConvertImageFile(png, check, message)) << message.toStdString();
    EXPECT_EQ(fixtures::Md5(bmp), fixtures::Md5(check));
    // Nothing but the three results: no temporary file left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);
}

class PngKindTest : public ::testing::TestWithParam<KindCase> {};

TEST_P(PngKindTest, RoundTripsToTheValuesAViewerShows)
{
    const KindCase &k = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Expected expected;
    const QString source = dir.filePath("source.png");
    ASSERT_TRUE(fixtures::WritePng(source, MakeImage(k, expected)));
    RoundTrip(source, k.width, k.height, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, PngKindTest,
    ::testing::Values(
        KindCase{"grey8", PNG_COLOR_TYPE_GRAY, 8, false, Trns::None, 13, 7},
        KindCase{"grey1", PNG_COLOR_TYPE_GRAY, 1, false, Trns::None, 17, 5},
        KindCase{"grey2", PNG_COLOR_TYPE_GRAY, 2, false, Trns::None, 9, 6},
        KindCase{"grey4", PNG_COLOR_TYPE_GRAY, 4, false, Trns::None, 11, 3},
        KindCase{"grey16", PNG_COLOR_TYPE_GRAY, 16, false, Trns::None, 7, 5},
        KindCase{"grey8_unused_trns", PNG_COLOR_TYPE_GRAY, 8, false, Trns::UnusedGrey, 8, 8},
        KindCase{"grey_alpha8_opaque", PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, Trns::None, 10, 4},
        KindCase{"grey_alpha16_opaque", PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, Trns::None, 5, 5},
        KindCase{"rgb8", PNG_COLOR_TYPE_RGB, 8, false, Trns::None, 13, 7},
        KindCase{"rgb16", PNG_COLOR_TYPE_RGB, 16, false, Trns::None, 6, 4},
        KindCase{"rgba8_opaque", PNG_COLOR_TYPE_RGB_ALPHA, 8, false, Trns::None, 9, 9},
        KindCase{"rgba16_opaque", PNG_COLOR_TYPE_RGB_ALPHA, 16, false, Trns::None, 3, 7},
        KindCase{"palette8", PNG_COLOR_TYPE_PALETTE, 8, false, Trns::None, 15, 6},
        KindCase{"palette4", PNG_COLOR_TYPE_PALETTE, 4, false, Trns::None, 9, 5},
        KindCase{"palette1", PNG_COLOR_TYPE_PALETTE, 1, false, Trns::None, 33, 3},
        KindCase{"palette2_opaque_trns", PNG_COLOR_TYPE_PALETTE, 2, false, Trns::OpaquePalette, 7, 7},
        KindCase{"rgb8_interlaced", PNG_COLOR_TYPE_RGB, 8, true, Trns::None, 37, 29},
        KindCase{"grey8_interlaced", PNG_COLOR_TYPE_GRAY, 8, true, Trns::None, 23, 19},
        KindCase{"palette4_interlaced", PNG_COLOR_TYPE_PALETTE, 4, true, Trns::None, 16, 16},
        // Several runs of rows, the last one partial.
        KindCase{"rgb8_many_runs", PNG_COLOR_TYPE_RGB, 8, false, Trns::None, 4001, 200},
        KindCase{"grey8_many_runs", PNG_COLOR_TYPE_GRAY, 8, false, Trns::None, 4099, 300}),
    [](const ::testing::TestParamInfo<KindCase> &p) { return std::string(p.param.name); });

class CorpusTest : public ::testing::TestWithParam<const char *> {};

TEST_P(CorpusTest, PhotoRoundTripsPixelExact)
{
    const QString source = QStringLiteral(VELTA_CORPUS_DIR "/") + QString::fromLatin1(GetParam());
    fixtures::ReadPng original;
    ASSERT_TRUE(fixtures::ReadPngFile(source, original));
    ASSERT_EQ(original.bit_depth, 8);
    Expected expected;
    expected.grey = original.colour_type == PNG_COLOR_TYPE_GRAY;
    expected.pixels = original.pixels;
    if (!expected.grey)
        for (size_t i = 0; i + 2 < expected.pixels.size(); i += 3)
            std::swap(expected.pixels[i], expected.pixels[i + 2]);
    RoundTrip(source, original.width, original.height, expected);
}

INSTANTIATE_TEST_SUITE_P(Photos, CorpusTest,
                         ::testing::Values("kodim01-grey.png", "kodim05-grey.png",
                                           "kodim03-colour.png", "kodim07-colour.png"));

// ---- PNGs refused ----

PngImage Opaque(int colour_type, int depth, uint32_t w, uint32_t h, bool interlaced = false)
{
    KindCase k{"", colour_type, depth, interlaced, Trns::None, w, h};
    Expected unused;
    return MakeImage(k, unused);
}

QByteArray PngBytes(const PngImage &im)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("x.png");
    if (!fixtures::WritePng(path, im)) return QByteArray();
    return fixtures::ReadAll(path);
}

// One chunk edited, the others as written.
QByteArray EditChunks(const QByteArray &png, const std::function<void(std::vector<fixtures::Chunk> &)> &edit)
{
    std::vector<fixtures::Chunk> chunks = fixtures::SplitChunks(png);
    edit(chunks);
    return fixtures::JoinChunks(chunks);
}

fixtures::Chunk *Find(std::vector<fixtures::Chunk> &chunks, const char *type)
{
    for (fixtures::Chunk &c : chunks)
        if (c.type == type) return &c;
    return nullptr;
}

void SetSize(fixtures::Chunk &ihdr, uint32_t w, uint32_t h)
{
    for (int i = 0; i < 4; ++i) {
        ihdr.data[i] = static_cast<char>(w >> (24 - 8 * i));
        ihdr.data[4 + i] = static_cast<char>(h >> (24 - 8 * i));
    }
}

struct RefusedPng {
    const char *name;
    std::function<QByteArray()> make;
    const char *reason;  // a word the message must hold
};

std::ostream &operator<<(std::ostream &os, const RefusedPng &r)
{
    return os << r.name;
}

long PeakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

class RefusedPngTest : public ::testing::TestWithParam<RefusedPng> {};

TEST_P(RefusedPngTest, IsRefusedCleanlyAndLeavesTheDestinationAlone)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString source = dir.filePath("source.png");
    const QString destination = dir.filePath("image.bmp");
    const QByteArray bytes = GetParam().make();
    ASSERT_FALSE(bytes.isEmpty());
    ASSERT_TRUE(fixtures::WriteAll(source, bytes));
    ASSERT_TRUE(fixtures::WriteAll(destination, "earlier content"));

    const long rss_before = PeakRssKb();
    QString message;
    EXPECT_FALSE(velta::ConvertImageFile(source, destination, message));
    EXPECT_LT(PeakRssKb() - rss_before, 64 * 1024) << "a damaged file made a large allocation";
    EXPECT_NE(message, QStringLiteral("No Error"));
    EXPECT_TRUE(message.contains(QString::fromLatin1(GetParam().reason))) << message.toStdString();
    EXPECT_EQ(fixtures::ReadAll(destination), QByteArray("earlier content"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2) << "a temporary file was left";
}

PngImage WithTransparentPixel(PngImage im, size_t pixel)
{
    const size_t channels = im.colour_type == PNG_COLOR_TYPE_GRAY_ALPHA ? 2 : 4;
    // Opacity is judged at 8 bits: 16-bit alpha must still fall short of 255 there.
    im.samples[pixel * channels + channels - 1] = static_cast<uint16_t>(im.bit_depth == 16 ? 65535 - 300 : 254);
    return im;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedPngTest,
    ::testing::Values(
        RefusedPng{"rgba_one_translucent_pixel_last",
                   [] { return PngBytes(WithTransparentPixel(Opaque(PNG_COLOR_TYPE_RGB_ALPHA, 8, 40, 30), 40 * 30 - 1)); },
                   "transparent"},
        RefusedPng{"grey_alpha16_translucent_pixel",
                   [] { return PngBytes(WithTransparentPixel(Opaque(PNG_COLOR_TYPE_GRAY_ALPHA, 16, 9, 9), 40)); },
                   "transparent"},
        RefusedPng{"interlaced_rgba_translucent_pixel",
                   [] { return PngBytes(WithTransparentPixel(Opaque(PNG_COLOR_TYPE_RGB_ALPHA, 8, 20, 20, true), 7)); },
                   "transparent"},
        RefusedPng{"grey_trns_value_in_use",
                   [] {
                       PngImage im = Opaque(PNG_COLOR_TYPE_GRAY, 8, 12, 12);
                       im.trns_grey = true;
                       im.trns_grey_value = im.samples[50];
                       return PngBytes(im);
                   },
                   "transparent"},
        RefusedPng{"palette_trns_index_in_use",
                   [] {
                       PngImage im = Opaque(PNG_COLOR_TYPE_PALETTE, 8, 12, 12);
                       im.trns_alpha.assign(256, 255);
                       im.trns_alpha[im.samples[3]] = 0;
                       return PngBytes(im);
                   },
                   "transparent"},
        RefusedPng{"truncated_in_image_data",
                   [] {
                       const QByteArray png = PngBytes(Opaque(PNG_COLOR_TYPE_RGB, 8, 64, 64));
                       return png.left(png.size() / 2);
                   },
                   "damaged"},
        RefusedPng{"ancillary_chunk_claiming_gigabytes",
                   [] {
                       // An sPLT right after the header whose length says 1.9 GB,
                       // in a file of a few hundred bytes (found by fuzzing).
                       QByteArray png = PngBytes(Opaque(PNG_COLOR_TYPE_PALETTE, 4, 13, 7));
                       png.truncate(8 + 25);
                       png.append(QByteArray::fromHex("73737373") + "sPLT" + QByteArray(48, 's'));
                       return png;
                   },
                   "damaged"},
        RefusedPng{"truncated_header",
                   [] { return PngBytes(Opaque(PNG_COLOR_TYPE_RGB, 8, 8, 8)).left(20); },
                   "damaged"},
        RefusedPng{"missing_end_chunk",
                   [] {
                       return EditChunks(PngBytes(Opaque(PNG_COLOR_TYPE_RGB, 8, 8, 8)),
                                         [](auto &chunks) { chunks.pop_back(); });
                   },
                   "damaged"},
        RefusedPng{"bad_crc_image_data",
                   [] {
                       return EditChunks(PngBytes(Opaque(PNG_COLOR_TYPE_RGB, 8, 16, 16)), [](auto &chunks) {
                           fixtures::Chunk *idat = Find(chunks, "IDAT");
                           idat->data[idat->data.size() / 2] = static_cast<char>(idat->data[idat->data.size() / 2] ^ 1);
                           idat->keep_bad_crc = true;
                       });
                   },
                   "damaged"},
        RefusedPng{"bad_crc_header",
                   [] {
                       return EditChunks(PngBytes(Opaque(PNG_COLOR_TYPE_RGB, 8, 16, 16)), [](auto &chunks) {
                           chunks[0].data[3] = 17;
                           chunks[0].keep_bad_crc = true;
                       });
                   },
                   "damaged"},
        RefusedPng{"bad_zlib_block_type",
                   [] {
                       return EditChunks(PngBytes(Opaque(PNG_COLOR_TYPE_RGB, 8, 16, 16)), [](auto &chunks) {
                           // Right after the 2-byte zlib header: final block of reserved type 3.
                           Find(chunks, "IDAT")->data[2] = 0x07;
                       });
                   },
                   "damaged"},
        RefusedPng{"absurd_dimensions_small_file",
                   [] {
                       return EditChunks(PngBytes(Opaque(PNG_COLOR_TYPE_RGB_ALPHA, 8, 16, 16)),
                                         [](auto &chunks) { SetSize(chunks[0], 60000, 60000); });
                   },
                   "damaged"},
        RefusedPng{"absurd_dimensions_interlaced",
                   [] {
                       return EditChunks(PngBytes(Opaque(PNG_COLOR_TYPE_GRAY, 8, 16, 16, true)),
                                         [](auto &chunks) { SetSize(chunks[0], 15000, 15000); });
                   },
                   "damaged"},
        RefusedPng{"width_beyond_png_limit",
                   [] {
                       return EditChunks(PngBytes(Opaque(PNG_COLOR_TYPE_GRAY, 8, 16, 16)),
                                         [](auto &chunks) { SetSize(chunks[0], 2000000, 1); });
                   },
                   "damaged"},
        RefusedPng{"too_large_for_a_bmp",
                   [] {
                       // Padded so the file could hold that much compressed data.
                       PngImage im = Opaque(PNG_COLOR_TYPE_GRAY, 8, 16, 16);
                       im.extra_chunk = QByteArray(3 * 1024 * 1024, 'p');
                       return EditChunks(PngBytes(im),
                                         [](auto &chunks) { SetSize(chunks[0], 50000, 50000); });
                   },
                   "too large"},
        RefusedPng{"not_an_image", [] { return QByteArray("GIF89a and so on"); }, "neither"}),
    [](const ::testing::TestParamInfo<RefusedPng> &p) { return std::string(p.param.name); });

// ---- BMPs refused on the way to PNG ----

std::vector<uint8_t> GreyRamp(int entries)
{
    std::vector<uint8_t> table;
    for (int i = 0; i < entries; ++i)
        table.insert(table.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(i),
                                   static_cast<uint8_t>(i), 0});
    return table;
}

struct RefusedBmp {
    const char *name;
    std::function<QByteArray()> make;
};

std::ostream &operator<<(std::ostream &os, const RefusedBmp &r)
{
    return os << r.name;
}

class RefusedBmpTest : public ::testing::TestWithParam<RefusedBmp> {};

TEST_P(RefusedBmpTest, WritesNoPng)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString source = dir.filePath("stego.bmp");
    const QString destination = dir.filePath("stego.png");
    ASSERT_TRUE(fixtures::WriteAll(source, GetParam().make()));
    QString message;
    EXPECT_FALSE(velta::ConvertImageFile(source, destination, message));
    EXPECT_NE(message, QStringLiteral("No Error"));
    EXPECT_FALSE(message.isEmpty());
    EXPECT_FALSE(QFile::exists(destination));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedBmpTest,
    ::testing::Values(
        RefusedBmp{"grey_table_with_a_colour",
                   [] {
                       std::vector<uint8_t> table = GreyRamp(256);
                       table[4 * 200 + 2] = 0;
                       return fixtures::BmpBytes(8, 8, 8, 0, table, 64);
                   }},
        RefusedBmp{"grey_table_out_of_order",
                   [] {
                       std::vector<uint8_t> table = GreyRamp(256);
                       std::swap_ranges(table.begin(), table.begin() + 4, table.begin() + 4);
                       return fixtures::BmpBytes(8, 8, 8, 0, table, 64);
                   }},
        RefusedBmp{"short_grey_table", [] { return fixtures::BmpBytes(8, 8, 8, 0, GreyRamp(16), 64); }},
        RefusedBmp{"bits_32", [] { return fixtures::BmpBytes(8, 8, 32, 0, {}, 256); }},
        RefusedBmp{"bits_4", [] { return fixtures::BmpBytes(8, 8, 4, 0, GreyRamp(16), 32); }},
        RefusedBmp{"rle8_compressed", [] { return fixtures::BmpBytes(8, 8, 8, 1, GreyRamp(256), 64); }},
        RefusedBmp{"pixel_data_cut_short", [] { return fixtures::BmpBytes(10, 10, 24, 0, {}, 10 * 32 - 1); }},
        RefusedBmp{"top_down_rows", [] { return fixtures::BmpBytes(8, -8, 24, 0, {}, 8 * 24); }},
        RefusedBmp{"zero_width", [] { return fixtures::BmpBytes(0, 8, 24, 0, {}, 0); }},
        RefusedBmp{"header_cut_short", [] { return fixtures::BmpBytes(8, 8, 24, 0, {}, 192).left(40); }},
        RefusedBmp{"colour_table_on_24_bits", [] { return fixtures::BmpBytes(8, 8, 24, 0, GreyRamp(256), 192); }}),
    [](const ::testing::TestParamInfo<RefusedBmp> &p) { return std::string(p.param.name); });

// ---- ConvertImageFile and ConvertImageFileAndClean ----

class ConvertTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        good_ = dir_.filePath("good.png");
        bad_ = dir_.filePath("bad.png");
        out_ = dir_.filePath("out.bmp");
        ASSERT_TRUE(fixtures::WritePng(good_, Opaque(PNG_COLOR_TYPE_RGB, 8, 10, 10)));
        ASSERT_TRUE(fixtures::WriteAll(bad_, fixtures::ReadAll(good_).left(60)));
    }
    QTemporaryDir dir_;
    QString good_, bad_, out_;
};

TEST_F(ConvertTest, CleanDeletesOnlyWhatItIsAskedTo)
{
    QString message;
    EXPECT_TRUE(velta::ConvertImageFileAndClean(good_, out_, false, true, message));
    EXPECT_TRUE(QFile::exists(good_));
    EXPECT_TRUE(velta::ConvertImageFileAndClean(good_, out_, true, true, message));
    EXPECT_EQ(message, QStringLiteral("No Error"));
    EXPECT_FALSE(QFile::exists(good_));
    EXPECT_TRUE(QFile::exists(out_));

    EXPECT_FALSE(velta::ConvertImageFileAndClean(bad_, out_, true, false, message));
    EXPECT_TRUE(QFile::exists(bad_));
    EXPECT_TRUE(QFile::exists(out_));
    EXPECT_FALSE(velta::ConvertImageFileAndClean(bad_, out_, true, true, message));
    EXPECT_TRUE(QFile::exists(bad_));
    EXPECT_FALSE(QFile::exists(out_));
}

TEST_F(ConvertTest, RefusesAMissingSourceAFolderlessDestinationAndItself)
{
    QString message;
    EXPECT_FALSE(velta::ConvertImageFile(dir_.filePath("absent.png"), out_, message));
    EXPECT_TRUE(message.contains(QStringLiteral("does not exist"))) << message.toStdString();
    EXPECT_FALSE(velta::ConvertImageFile(good_, dir_.filePath("no/such/folder/out.bmp"), message));
    EXPECT_TRUE(message.contains(QStringLiteral("Unable to create"))) << message.toStdString();

    const QByteArray before = fixtures::ReadAll(good_);
    EXPECT_FALSE(velta::ConvertImageFileAndClean(good_, good_, true, true, message));
    EXPECT_EQ(fixtures::ReadAll(good_), before);
}

TEST_F(ConvertTest, ReplacesAnEarlierDestination)
{
    ASSERT_TRUE(fixtures::WriteAll(out_, "old"));
    QString message;
    ASSERT_TRUE(velta::ConvertImageFile(good_, out_, message)) << message.toStdString();
    EXPECT_TRUE(fixtures::ParseBmp(out_).ok);
}

}  // namespace
