#include "util/fileutil.h"
#include "util/format.h"
#include "util/launch.h"
#include "util/programtext.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "file_fixture.h"
#include <png.h>

#include <sys/stat.h>
#include <vector>

namespace velta {
namespace {

class FileUtilTest : public test::FileFixture {};

TEST_F(FileUtilTest, ExistenceAndLength) {
    const QString f = write(QStringLiteral("five"), "12345");
    EXPECT_TRUE(FileExists(f));
    EXPECT_FALSE(FileExists(dir_.path()));
    EXPECT_FALSE(FileExists(QString()));
    EXPECT_TRUE(IsFolder(QStringLiteral("  ") + dir_.path() + QStringLiteral(" ")));
    EXPECT_FALSE(IsFolder(f));
    EXPECT_EQ(FileLength(f), 5);
    EXPECT_EQ(FileLength(dir_.filePath(QStringLiteral("missing"))), -53);
    EXPECT_EQ(FileLength(QString()), -52);
    EXPECT_EQ(FileLength(dir_.path() + QChar(0) + QStringLiteral("x")), -52);
    EXPECT_EQ(FileLength(dir_.filePath(QString(300, QLatin1Char('n')))), -52);
}

TEST_F(FileUtilTest, LengthAbove2GiBIsCapped) {
    const QString f = write(QStringLiteral("sparse"), {});
    QFile file(f);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    if (!file.resize(qint64(3) << 30)) {
        GTEST_SKIP() << "no sparse files here";
    }
    file.close();
    EXPECT_EQ(FileLength(f), INT32_MAX);
    const QString text = FileSizeText(f, 2);
    EXPECT_TRUE(text.startsWith(QLatin1Char('3')) && text.endsWith(QStringLiteral("00 Gb")))
        << text.toStdString();
}

struct PathCase {
    const char *path;
    const char *folder;
    const char *name;
    const char *ext;
};
class PathText : public ::testing::TestWithParam<PathCase> {};
TEST_P(PathText, Splits) {
    const QString p = QString::fromUtf8(GetParam().path);
    EXPECT_EQ(FolderOfPath(p, true), QString::fromUtf8(GetParam().folder));
    EXPECT_EQ(FileNameOfPath(p, false), QString::fromUtf8(GetParam().name));
    EXPECT_EQ(ExtensionOfPath(p, false), QString::fromUtf8(GetParam().ext));
}
INSTANTIATE_TEST_SUITE_P(
    Paths, PathText,
    ::testing::Values(PathCase{"/home/u/Photo.PNG", "/home/u/", "Photo.PNG", "PNG"},
                      PathCase{"/a.b/noext", "/a.b/", "noext", ""},
                      PathCase{"bare.txt", "", "", "txt"},
                      PathCase{"/d/Mixed/", "/d/Mixed/", "", ""},
                      PathCase{"/d/x.tar.gz", "/d/", "x.tar.gz", "gz"}));

TEST(PathTextMisc, CaseAndSeparators) {
    EXPECT_EQ(LowerCasePath(QStringLiteral("/Home/U/A.PNG")), QStringLiteral("/Home/U/A.PNG"));
    EXPECT_EQ(FileNameOfPath(QStringLiteral("/d/ÉTÉ.PNG"), true), QStringLiteral("été.png"));
    EXPECT_EQ(ExtensionOfPath(QStringLiteral("/d/a.PNG"), true), QStringLiteral("png"));
    QString p = QStringLiteral("/tmp///");
    WithTrailingBackslash(p);
    EXPECT_EQ(p, QStringLiteral("/tmp/"));
    p.clear();
    WithTrailingBackslash(p);
    EXPECT_TRUE(p.isEmpty());
    p = QStringLiteral("/tmp//");
    WithoutTrailingBackslash(p);
    EXPECT_EQ(p, QStringLiteral("/tmp"));
    p = QStringLiteral("/");
    WithoutTrailingBackslash(p);
    EXPECT_EQ(p, QStringLiteral("/"));
}

TEST_F(FileUtilTest, KillFile) {
    EXPECT_TRUE(KillFile(dir_.filePath(QStringLiteral("missing"))));
    const QString ro = write(QStringLiteral(".hidden-readonly"));
    QFile::setPermissions(ro, QFileDevice::ReadOwner);
    EXPECT_TRUE(KillFile(ro));
    EXPECT_FALSE(QFileInfo::exists(ro));
    EXPECT_TRUE(pauses_.empty());
}

TEST_F(FileUtilTest, KillFileRetriesThreeTimesThenFails) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root deletes from a locked folder";
    }
    const QString sub = dir_.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkdir(sub));
    const QString f = sub + QStringLiteral("/held");
    QFile(f).open(QIODevice::WriteOnly);
    QFile::setPermissions(sub, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_FALSE(KillFile(f));
    EXPECT_EQ(pauses_, (std::vector<int>{500, 500, 500}));
    QFile::setPermissions(sub, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                   QFileDevice::ExeOwner);
}

TEST_F(FileUtilTest, EmptyAndRemoveFolder) {
    QString err;
    EXPECT_TRUE(EmptyFolder(dir_.filePath(QStringLiteral("nope")), err));
    EXPECT_EQ(err, QStringLiteral("Folder not found"));
    const QString sub = dir_.filePath(QStringLiteral("sub"));
    QDir().mkpath(sub + QStringLiteral("/inner"));
    write(QStringLiteral("sub/a"));
    write(QStringLiteral("sub/inner/b"));
    EXPECT_FALSE(EmptyFolder(sub, err));
    EXPECT_FALSE(QFileInfo::exists(sub + QStringLiteral("/a")));
    EXPECT_TRUE(QFileInfo::exists(sub + QStringLiteral("/inner/b")));
    QFile::setPermissions(sub + QStringLiteral("/inner"),
                          QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_TRUE(RemoveFolder(sub + QStringLiteral("//"), err, true)) << err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(sub));
    EXPECT_FALSE(RemoveFolder(sub, err, true));
    EXPECT_FALSE(err.isEmpty());
}

TEST_F(FileUtilTest, RemoveFolderDoesNotFollowLinks) {
    const QString outside = write(QStringLiteral("keep"));
    const QString sub = dir_.filePath(QStringLiteral("w"));
    QDir().mkdir(sub);
    QFile::link(dir_.path(), sub + QStringLiteral("/up"));
    QString err;
    EXPECT_TRUE(RemoveFolder(sub, err, true));
    EXPECT_TRUE(QFileInfo::exists(outside));
}

TEST_F(FileUtilTest, CopyFileTo) {
    const QString a = write(QStringLiteral("a"), "new");
    const QString b = write(QStringLiteral("b"), "old");
    QString err;
    EXPECT_FALSE(CopyFileTo(a, b, err, false));
    EXPECT_FALSE(err.isEmpty());
    EXPECT_TRUE(CopyFileTo(a, b, err, true));
    EXPECT_TRUE(err.isEmpty());
    QFile f(b);
    f.open(QIODevice::ReadOnly);
    EXPECT_EQ(f.readAll(), QByteArray("new"));
    EXPECT_FALSE(CopyFileTo(dir_.filePath(QStringLiteral("missing")), b, err, true));
}

TEST_F(FileUtilTest, NewNumberedFileName) {
    for (int n = 1; n <= 98; ++n) {
        write(QStringLiteral("viewer%1.htm").arg(n, 2, 10, QLatin1Char('0')));
    }
    QString err;
    const QString expected = dir_.filePath(QStringLiteral("viewer99.htm"));
    EXPECT_EQ(NewNumberedFileName(dir_.path(), QStringLiteral("viewer"), QStringLiteral("htm"), err),
              expected);
    EXPECT_EQ(NewNumberedFileName(dir_.path() + QStringLiteral("/"), QStringLiteral("viewer"),
                                  QStringLiteral(".htm"), err),
              expected);
    EXPECT_FALSE(QFileInfo::exists(expected));
    write(QStringLiteral("viewer99.htm"));
    EXPECT_TRUE(
        NewNumberedFileName(dir_.path(), QStringLiteral("viewer"), QStringLiteral("htm"), err)
            .isEmpty());
    EXPECT_EQ(err, QStringLiteral("On 99th attempt, ") + expected +
                       QStringLiteral(" was not creatable."));
    const QString missing = dir_.filePath(QStringLiteral("gone"));
    NewNumberedFileName(missing, QStringLiteral("v"), QStringLiteral("htm"), err);
    EXPECT_EQ(err, missing + QStringLiteral("/ does not exist."));
}

TEST_F(FileUtilTest, WorkingFolderInPrivateBase) {
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir_.path()));
    const QString base = FirstFixedDrive();
    EXPECT_EQ(base, dir_.filePath(QStringLiteral("velta")));
    EXPECT_EQ(QFileInfo(base).permissions() & 0x0077, 0);  // group and others: nothing
    write(QStringLiteral("velta/VELTA001"));               // a file takes a number
    QDir().mkdir(base + QStringLiteral("/VELTA002"));
    EXPECT_EQ(CreateWorkingFolder(QStringLiteral("VELTA"), true),
              base + QStringLiteral("/VELTA003/"));
    EXPECT_EQ(CreateWorkingFolder(QStringLiteral("VELTA"), false),
              base + QStringLiteral("/VELTA004"));
    EXPECT_TRUE(QFileInfo(base + QStringLiteral("/VELTA004")).isDir());
    qunsetenv("XDG_RUNTIME_DIR");
}

TEST_F(FileUtilTest, WorkingBaseRefusesALink) {
    const QString target = dir_.filePath(QStringLiteral("elsewhere"));
    QDir().mkdir(target);
    QFile::link(target, dir_.filePath(QStringLiteral("velta")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir_.path()));
    EXPECT_TRUE(FirstFixedDrive().isEmpty());
    EXPECT_TRUE(CreateWorkingFolder(QStringLiteral("VELTA"), true).isEmpty());
    qunsetenv("XDG_RUNTIME_DIR");
}

struct RiskCase {
    const char *name;
    bool risky;
    const char *ext;
};
class RiskyExtension : public ::testing::TestWithParam<RiskCase> {};
TEST_P(RiskyExtension, Table) {
    QString ext = QStringLiteral("unchanged");
    EXPECT_EQ(HasRiskyExtension(QString::fromUtf8(GetParam().name), true, ext), GetParam().risky);
    EXPECT_EQ(ext, QString::fromUtf8(GetParam().ext));
}
INSTANTIATE_TEST_SUITE_P(Names, RiskyExtension,
                         ::testing::Values(RiskCase{"book.xlsx", true, "XLSX"},
                                           RiskCase{"a.ovl", true, "OVL"},
                                           RiskCase{"setup.exe", true, "EXE"},
                                           RiskCase{"x.Bat", true, "BAT"},
                                           RiskCase{"photo.png", false, "unchanged"},
                                           RiskCase{"README", false, "unchanged"}));

// Randomness on synthetic data and on the decoded pixels of the corpus photos.
TEST_F(FileUtilTest, RandomnessScale) {
    EXPECT_LT(FileRandomness(dir_.filePath(QStringLiteral("missing")), 1024), 0);
    EXPECT_LT(FileRandomness(write(QStringLiteral("empty"), {}), 1024), 0);
    EXPECT_DOUBLE_EQ(FileRandomness(write(QStringLiteral("flat"), QByteArray(100000, 'A')), 1024),
                     0.0);
    QByteArray noise(100000, Qt::Uninitialized);
    QRandomGenerator gen(7);
    for (auto &c : noise) {
        c = static_cast<char>(gen.bounded(256));
    }
    EXPECT_GT(FileRandomness(write(QStringLiteral("noise"), noise), 1024), 0.95);
    // A flat grey image with a BMP-like header stays below the threshold.
    QByteArray flat(54, '\x01');
    flat += QByteArray(512 * 512, '\x80');
    EXPECT_LT(FileRandomness(write(QStringLiteral("flat.bmp"), flat), 1024), 0.07);
}

QByteArray DecodedPixels(const QString &path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, QFile::encodeName(path).constData())) {
        return {};
    }
    image.format = (image.format & PNG_FORMAT_FLAG_COLOR) ? PNG_FORMAT_BGR : PNG_FORMAT_GRAY;
    QByteArray pixels(static_cast<qsizetype>(PNG_IMAGE_SIZE(image)), Qt::Uninitialized);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        return {};
    }
    return pixels;
}

TEST_F(FileUtilTest, CorpusPhotosScoreWellAboveThreshold) {
    const QDir corpus(QStringLiteral(VELTA_CORPUS_DIR));
    const QStringList photos = corpus.entryList({QStringLiteral("*.png")}, QDir::Files);
    if (photos.isEmpty()) {
        GTEST_SKIP() << "no corpus";
    }
    for (const QString &name : photos) {
        const QByteArray pixels = DecodedPixels(corpus.filePath(name));
        ASSERT_FALSE(pixels.isEmpty()) << name.toStdString();
        const double r = FileRandomness(write(QStringLiteral("pixels.raw"), pixels), 1024);
        EXPECT_GT(r, 0.3) << name.toStdString();
    }
}

TEST(SizeText, Table) {
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(SizeText(0, 2, us), QStringLiteral("0 bytes"));
    EXPECT_EQ(SizeText(1, 2, us), QStringLiteral("1 bytes"));
    EXPECT_EQ(SizeText(1023, 2, us), QStringLiteral("1023 bytes"));
    EXPECT_EQ(SizeText(1024, 2, us), QStringLiteral("1.00 Kb"));
    EXPECT_EQ(SizeText(1048575, 2, us), QStringLiteral("1,024.00 Kb"));
    EXPECT_EQ(SizeText(1572864, 2, us), QStringLiteral("1.50 Mb"));
    EXPECT_EQ(SizeText(3.0 * 1024 * 1024 * 1024, 2, us), QStringLiteral("3.00 Gb"));
    EXPECT_EQ(SizeText(1572864, 0, us), QStringLiteral("2 Mb"));
    const QLocale de(QLocale::German, QLocale::Germany);
    EXPECT_EQ(SizeText(1048575, 2, de), QStringLiteral("1.024,00 Kb"));
    // The C locale omits group separators by default; sizes keep them.
    EXPECT_EQ(SizeText(1048575, 1, QLocale::c()), QStringLiteral("1,024.0 Kb"));
}

TEST(Trim, ControlCharacters) {
    QString t = QStringLiteral(" \r\n \t");
    TrimControlChars(t);
    EXPECT_TRUE(t.isEmpty());
    t = QStringLiteral("\t a b \r\n");
    TrimControlChars(t);
    EXPECT_EQ(t, QStringLiteral("a b"));
    t = QStringLiteral("path ") + QChar(0) + QStringLiteral("\r\n");
    TrimTrailingControlChars(t);
    EXPECT_EQ(t, QStringLiteral("path "));
}

}  // namespace
}  // namespace velta
