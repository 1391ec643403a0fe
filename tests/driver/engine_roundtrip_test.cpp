// The conversions against the real engine, bound as the program binds it:
// converted BMPs read as the engine expects, and a stego BMP survives
// BMP -> PNG -> BMP byte for byte, which the operation run relies on.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <png.h>

#include "driver/engine_binding.h"
#include "driver/image_files.h"
#include "png_fixtures.h"

namespace {

class BoundEngineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        bound_ = velta::Engine().bind();
        if (bound_.ok()) allocated_ = velta::Engine().allocateBuffers() == 1;
    }
    static void TearDownTestSuite()
    {
        velta::Engine().deallocateBuffers();
        velta::Engine().unbind();
    }
    void SetUp() override
    {
        ASSERT_TRUE(bound_.ok()) << bound_.text.toStdString();
        ASSERT_TRUE(allocated_);
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(QDir(dir_.path()).mkpath("work"));
        ASSERT_TRUE(QDir(dir_.path()).mkpath("out"));
    }
    QString Path(const char *name) const { return dir_.filePath(QString::fromLatin1(name)); }

    static velta::EngineBindResult bound_;
    static bool allocated_;
    QTemporaryDir dir_;
};

velta::EngineBindResult BoundEngineTest::bound_;
bool BoundEngineTest::allocated_ = false;

QByteArray TestKey()
{
    const QByteArray reduced("CORRECTHORSEBATTERYSTAPLE");
    QByteArray key;
    while (key.size() < OMBRA_KEY_BYTES) key += reduced;
    return key.left(OMBRA_KEY_BYTES);
}

QByteArray DataFile()
{
    QByteArray data;
    uint32_t x = 12345;
    for (int i = 0; i < 12000; ++i) {
        x = x * 1103515245u + 12345u;
        data.append(static_cast<char>(x >> 16));
    }
    for (int i = 0; i < 300; ++i) data.append("a line of text that compresses well\n");
    return data;
}

void ExpectEngineAccepts(const QString &bmp, bool grey, int width, int height)
{
    velta::BmpRecord record;
    record.file_path = bmp;
    ASSERT_EQ(velta::ReadBmpInfo(record, 0, 800), 0);
    const BmpFileInfo &i = record.info;
    EXPECT_EQ(i.file_path, nullptr);
    EXPECT_EQ(i.bits_per_pixel, grey ? 8 : 24);
    EXPECT_EQ(i.is_grayscale, grey ? 1 : 0);
    EXPECT_EQ(i.data_offset, grey ? 1078 : 54);
    EXPECT_EQ(i.compression, 0);
    EXPECT_EQ(i.width, width);
    EXPECT_EQ(i.height, height);
    EXPECT_EQ(i.file_size, QFileInfo(bmp).size());
    EXPECT_EQ(i.colors_used, grey ? 256 : 1 << 24);
    EXPECT_EQ(i.pixel_bytes, width * height * (grey ? 1 : 3));
    EXPECT_EQ(i.image_size, i.row_stride * height);
}

struct HideCase {
    const char *photo;
    bool in_place;  // output folder = the converted BMP's folder, as the operation run does
};

std::ostream &operator<<(std::ostream &os, const HideCase &c)
{
    return os << c.photo << (c.in_place ? " in place" : " to another folder");
}

class CorpusHideTest : public BoundEngineTest, public ::testing::WithParamInterface<HideCase> {};

TEST_P(CorpusHideTest, StegoBmpSurvivesPngAndBackMd5Identical)
{
    const QString name = QString::fromLatin1(GetParam().photo);
    const QString photo = QStringLiteral(VELTA_CORPUS_DIR "/") + name;
    const bool grey = name.contains(QStringLiteral("grey"));
    const QString converted = Path("work/photo.bmp");
    const QString out_folder = GetParam().in_place ? Path("work") : Path("out");
    const QString stego = out_folder + QStringLiteral("/photo.bmp");
    const QString stego_png = Path("stego.png");
    const QString check = Path("work/photo2.bmp");
    const QString data = Path("data.bin");
    const QString extracted = Path("extracted.bin");
    ASSERT_TRUE(fixtures::WriteAll(data, DataFile()));

    QString message;
    ASSERT_TRUE(velta::ConvertImageFile(photo, converted, message)) << message.toStdString();
    ExpectEngineAccepts(converted, grey, 768, 512);

    velta::BmpRecord record;
    record.file_path = converted;
    ASSERT_EQ(velta::ReadBmpInfo(record), 0);
    velta::EngineBinding &engine = velta::Engine();
    ASSERT_EQ(engine.passBmpFileInfo(0, record), 0);
    const QByteArray converted_md5 = fixtures::Md5(converted);
    const qint64 converted_size = QFileInfo(converted).size();
    ASSERT_EQ(engine.operationInitialization(true, data, 1, out_folder + QLatin1Char('/')), 0);
    ASSERT_TRUE(engine.seedPrngs(TestKey()));
    ASSERT_GE(engine.hideMessage(), 1);
    ASSERT_TRUE(QFile::exists(stego));
    EXPECT_EQ(QFileInfo(stego).size(), converted_size);
    EXPECT_NE(fixtures::Md5(stego), converted_md5) << "nothing was hidden";

    ASSERT_TRUE(velta::ConvertImageFileAndClean(stego, stego_png, false, false, message))
        << message.toStdString();
    ASSERT_TRUE(velta::ConvertImageFile(stego_png, check, message)) << message.toStdString();
    EXPECT_EQ(fixtures::Md5(check), fixtures::Md5(stego));

    // And the data comes back out of the BMP the PNG gave.
    velta::BmpRecord stego_record;
    stego_record.file_path = check;
    ASSERT_EQ(velta::ReadBmpInfo(stego_record), 0);
    ASSERT_EQ(engine.passBmpFileInfo(0, stego_record), 0);
    ASSERT_EQ(engine.operationInitialization(false, extracted, 1, QString()), 0);
    ASSERT_TRUE(engine.seedPrngs(TestKey()));
    ASSERT_GE(engine.extractMessage(), 1);
    EXPECT_TRUE(fixtures::ReadAll(extracted) == DataFile());
}

INSTANTIATE_TEST_SUITE_P(Photos, CorpusHideTest,
                         ::testing::Values(HideCase{"kodim01-grey.png", false},
                                           HideCase{"kodim03-colour.png", false},
                                           HideCase{"kodim05-grey.png", true},
                                           HideCase{"kodim07-colour.png", true}));

// Odd widths (row padding) and expanded kinds read as the engine expects.
struct OddCase {
    int colour_type;
    int bit_depth;
    bool interlaced;
    uint32_t width;
    uint32_t height;
};

class ExpandedKindTest : public BoundEngineTest, public ::testing::WithParamInterface<OddCase> {};

TEST_P(ExpandedKindTest, ConvertedBmpPassesTheEngineInspection)
{
    const OddCase &c = GetParam();
    fixtures::PngImage im;
    im.width = c.width;
    im.height = c.height;
    im.colour_type = c.colour_type;
    im.bit_depth = c.bit_depth;
    im.interlaced = c.interlaced;
    const bool palette = c.colour_type == PNG_COLOR_TYPE_PALETTE;
    const int channels = palette ? 1 : ((c.colour_type & PNG_COLOR_MASK_COLOR) ? 3 : 1) +
                                           ((c.colour_type & PNG_COLOR_MASK_ALPHA) ? 1 : 0);
    const uint32_t max = (1u << c.bit_depth) - 1;
    for (uint32_t i = 0; i < c.width * c.height * static_cast<uint32_t>(channels); ++i)
        im.samples.push_back(static_cast<uint16_t>(
            (c.colour_type & PNG_COLOR_MASK_ALPHA) && i % channels == static_cast<uint32_t>(channels - 1)
                ? max
                : (i * 2654435761u >> 7) % (max + 1)));
    for (uint32_t i = 0; palette && i < 3 * (max + 1); ++i)
        im.palette.push_back(static_cast<uint8_t>(i * 37));
    const QString source = Path("kind.png");
    const QString bmp = Path("work/kind.bmp");
    ASSERT_TRUE(fixtures::WritePng(source, im));
    QString message;
    ASSERT_TRUE(velta::ConvertImageFile(source, bmp, message)) << message.toStdString();
    const bool grey = (c.colour_type & PNG_COLOR_MASK_COLOR) == 0;
    ExpectEngineAccepts(bmp, grey, static_cast<int>(c.width), static_cast<int>(c.height));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ExpandedKindTest,
    ::testing::Values(OddCase{PNG_COLOR_TYPE_GRAY, 1, false, 45, 41},
                      OddCase{PNG_COLOR_TYPE_GRAY, 16, true, 33, 35},
                      OddCase{PNG_COLOR_TYPE_PALETTE, 4, false, 35, 37},
                      OddCase{PNG_COLOR_TYPE_RGB_ALPHA, 16, false, 37, 31},
                      OddCase{PNG_COLOR_TYPE_GRAY_ALPHA, 8, true, 43, 29}));

}  // namespace
