// velta-cli end to end: the built program run on corpus photos, its exit
// statuses and the texts it prints.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "driver/image_files.h"

namespace {

const QString kKey = QStringLiteral("Correct horse battery staple 42");

QString Corpus(const char *name) { return QStringLiteral(VELTA_CORPUS_DIR "/") + QLatin1String(name); }

struct Result {
    int code = -1;
    QString err;
    QString out;
};

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        key_file_ = path("key.txt");
        write(key_file_, kKey.toUtf8() + "\n");
    }

    QString path(const QString &name) const { return dir_.filePath(name); }

    static void write(const QString &file, const QByteArray &bytes) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QByteArray read(const QString &file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString randomFile(const QString &name, int bytes) {
        QByteArray data(bytes, '\0');
        for (char &c : data) {
            c = static_cast<char>(QRandomGenerator::global()->bounded(256));
        }
        const QString p = path(name);
        write(p, data);
        return p;
    }
    // A corpus photo as the format the case asks for.
    QString carrier(const char *photo, const QString &format) {
        if (format == QStringLiteral("png")) {
            return Corpus(photo);
        }
        QString name = QString::fromLatin1(photo);
        name.replace(QStringLiteral(".png"), QStringLiteral(".bmp"));
        QString message;
        EXPECT_TRUE(velta::ConvertImageFile(Corpus(photo), path(name), message)) << message.toStdString();
        return path(name);
    }

    Result run(const QStringList &args, const QByteArray &stdin_bytes = QByteArray()) {
        QProcess p;
        p.setWorkingDirectory(dir_.path());
        p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/velta-cli"), args);
        EXPECT_TRUE(p.waitForStarted());
        p.write(stdin_bytes);
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(120000));
        Result r;
        r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.err = QString::fromLocal8Bit(p.readAllStandardError());
        r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
        return r;
    }
    QStringList withKey(QStringList args) const { return args << QStringLiteral("--key-file") << key_file_; }

    QTemporaryDir dir_;
    QString key_file_;
};

// ---- Round trips --------------------------------------------------------------

struct TripCase {
    const char *photo;
    const char *format;
};

class CliRoundTrip : public CliTest, public ::testing::WithParamInterface<TripCase> {};

// Hidden with the key from a file, extracted with the key on standard input.
TEST_P(CliRoundTrip, HidesAndExtractsTheSameBytes) {
    const QString format = QString::fromLatin1(GetParam().format);
    const QString image = carrier(GetParam().photo, format);
    const QString data = randomFile(QStringLiteral("data.bin"), 12000);
    const QString stego = path(QStringLiteral("stego.") + format);
    Result h = run(withKey({QStringLiteral("hide"), QStringLiteral("--image"), image,
                            QStringLiteral("--data"), data, QStringLiteral("--out"), stego}));
    ASSERT_EQ(h.code, 0) << h.err.toStdString();
    EXPECT_TRUE(h.err.contains(QStringLiteral("The data file has been hidden.")));
    EXPECT_EQ(velta::IsPngFile(stego), format == QStringLiteral("png") ? 1 : 0);

    const QString back = path(QStringLiteral("back.bin"));
    Result x = run({QStringLiteral("extract"), QStringLiteral("--image"), stego,
                    QStringLiteral("--out"), back},
                   ("  " + kKey.toLower() + "\n").toUtf8());  // spaces and case ignored
    ASSERT_EQ(x.code, 0) << x.err.toStdString();
    EXPECT_TRUE(x.err.contains(QStringLiteral("The data file has been extracted.")));
    EXPECT_EQ(read(back), read(data));
}

INSTANTIATE_TEST_SUITE_P(Formats, CliRoundTrip,
                         ::testing::Values(TripCase{"kodim01-grey.png", "png"},
                                           TripCase{"kodim03-colour.png", "png"},
                                           TripCase{"kodim05-grey.png", "bmp"},
                                           TripCase{"kodim07-colour.png", "bmp"}));

// ---- Image sets -----------------------------------------------------------------

TEST_F(CliTest, SetOfThreeExtractsInAnyOrderAndNamesWhatIsWrong) {
    const QString data = randomFile(QStringLiteral("data.bin"), 150000);
    QDir(dir_.path()).mkdir(QStringLiteral("set"));
    const QString set = path(QStringLiteral("set"));
    Result h = run(withKey({QStringLiteral("hide"), QStringLiteral("--image"), Corpus("kodim01-grey.png"),
                            QStringLiteral("--image"), Corpus("kodim03-colour.png"),
                            QStringLiteral("--image"), carrier("kodim07-colour.png", QStringLiteral("bmp")),
                            QStringLiteral("--data"), data, QStringLiteral("--out-dir"), set,
                            QStringLiteral("--force")}));
    ASSERT_EQ(h.code, 0) << h.err.toStdString();
    const QString a = set + QStringLiteral("/kodim01-grey.png");
    const QString b = set + QStringLiteral("/kodim03-colour.png");
    const QString c = set + QStringLiteral("/kodim07-colour.bmp");
    ASSERT_TRUE(QFile::exists(c)) << "the data should need all three images";

    const QString back = path(QStringLiteral("back.bin"));
    Result x = run(withKey({QStringLiteral("extract"), QStringLiteral("--image"), c,
                            QStringLiteral("--image"), a, QStringLiteral("--image"), b,
                            QStringLiteral("--out"), back}));
    ASSERT_EQ(x.code, 0) << x.err.toStdString();
    EXPECT_EQ(read(back), read(data));

    const QString other = path(QStringLiteral("other.bin"));
    Result missing = run(withKey({QStringLiteral("extract"), QStringLiteral("--image"), c,
                                  QStringLiteral("--image"), a, QStringLiteral("--out"), other}));
    EXPECT_EQ(missing.code, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("Image number 2 of the set is missing.")))
        << missing.err.toStdString();

    Result foreign = run(withKey({QStringLiteral("extract"), QStringLiteral("--image"), b,
                                  QStringLiteral("--image"), Corpus("kodim05-grey.png"),
                                  QStringLiteral("--image"), a, QStringLiteral("--image"), c,
                                  QStringLiteral("--out"), other}));
    EXPECT_EQ(foreign.code, 1);
    EXPECT_TRUE(foreign.err.contains(QStringLiteral("do not belong to the set")));
    EXPECT_TRUE(foreign.err.contains(QStringLiteral("kodim05-grey.png")));
    EXPECT_FALSE(QFile::exists(other));
}

// ---- Key and refusals -------------------------------------------------------------

TEST_F(CliTest, WrongKeyFailsWithTheEngineTextAndLeavesNoFile) {
    const QString data = randomFile(QStringLiteral("data.bin"), 5000);
    const QString stego = path(QStringLiteral("stego.png"));
    ASSERT_EQ(run(withKey({QStringLiteral("hide"), QStringLiteral("--image"), Corpus("kodim03-colour.png"),
                           QStringLiteral("--data"), data, QStringLiteral("--out"), stego}))
                  .code,
              0);
    const QString back = path(QStringLiteral("back.bin"));
    Result x = run({QStringLiteral("extract"), QStringLiteral("--image"), stego,
                    QStringLiteral("--out"), back},
                   "a different key of twenty chars\n");
    EXPECT_EQ(x.code, 1);
    EXPECT_TRUE(x.err.contains(QStringLiteral("Error, unable to extract data. please check that\n"
                                              "the input file and the stego key are correct.")))
        << x.err.toStdString();
    EXPECT_FALSE(QFile::exists(back));
}

struct RefusalCase {
    const char *name;
    const char *expected;
};

class CliRefusal : public CliTest, public ::testing::WithParamInterface<RefusalCase> {
protected:
    // A 24-bit BMP of one colour: big enough, too uniform.
    QString uniformBmp() {
        const int w = 64, h = 64, stride = w * 3;
        QByteArray b(54, '\0');
        auto put32 = [&b](int at, int v) {
            for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xff);
        };
        b[0] = 'B';
        b[1] = 'M';
        put32(2, 54 + stride * h);
        put32(10, 54);
        put32(14, 40);
        put32(18, w);
        put32(22, h);
        b[26] = 1;
        b[28] = 24;
        put32(34, stride * h);
        b += QByteArray(stride * h, '\x80');
        const QString p = path(QStringLiteral("uniform.bmp"));
        write(p, b);
        return p;
    }
};

TEST_P(CliRefusal, RefusesWithItsText) {
    const std::string name = GetParam().name;
    QString image = Corpus("kodim03-colour.png");
    QString data = randomFile(QStringLiteral("data.bin"), 5000);
    QString out = path(QStringLiteral("stego.png"));
    QStringList extra;
    if (name == "too_small") {
        data = randomFile(QStringLiteral("data.bin"), 700000);
    } else if (name == "probably_too_small") {
        data = randomFile(QStringLiteral("data.bin"), 300000);
    } else if (name == "existing_output") {
        write(out, "keep me");
    } else if (name == "missing_image") {
        image = path(QStringLiteral("nothere.png"));
    } else if (name == "missing_data") {
        data = path(QStringLiteral("nothere.bin"));
    } else if (name == "unsuitable") {
        image = uniformBmp();
        data = randomFile(QStringLiteral("data.bin"), 500);  // below the capacity question
        out = path(QStringLiteral("stego.bmp"));
    } else if (name == "short_key") {
        write(key_file_, "only fifteen ch\n");
    }
    const QByteArray before = read(out);
    Result r = run(withKey({QStringLiteral("hide"), QStringLiteral("--image"), image,
                            QStringLiteral("--data"), data, QStringLiteral("--out"), out}) +
                   extra);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QString::fromUtf8(GetParam().expected))) << r.err.toStdString();
    EXPECT_EQ(read(out), before);
}

INSTANTIATE_TEST_SUITE_P(
    Hide, CliRefusal,
    ::testing::Values(
        RefusalCase{"too_small", "The image file is too small to hide the data file."},
        RefusalCase{"probably_too_small", "No: give --force to proceed anyway."},
        RefusalCase{"existing_output", "The output image file exists.\nOK to overwrite it?\nNo: give --overwrite"},
        RefusalCase{"missing_image", "The original (input) file does not exist."},
        RefusalCase{"missing_data", "The file containing the data to be hidden does not exist."},
        RefusalCase{"unsuitable", "The image file uniform.bmp is not suitable because it is too uniform."},
        RefusalCase{"short_key", "fewer than 16 significant characters"}),
    [](const auto &tc) { return std::string(tc.param.name); });

TEST_F(CliTest, ExistingDataFileIsKeptUnlessOverwrite) {
    const QString data = randomFile(QStringLiteral("data.bin"), 3000);
    const QString stego = path(QStringLiteral("stego.bmp"));
    ASSERT_EQ(run(withKey({QStringLiteral("hide"), QStringLiteral("--image"),
                           carrier("kodim05-grey.png", QStringLiteral("bmp")), QStringLiteral("--data"),
                           data, QStringLiteral("--out"), stego}))
                  .code,
              0);
    const QString back = path(QStringLiteral("back.bin"));
    write(back, "old");
    const QStringList args = withKey({QStringLiteral("extract"), QStringLiteral("--image"), stego,
                                      QStringLiteral("--out"), back});
    Result refused = run(args);
    EXPECT_EQ(refused.code, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("The file to contain the extracted message exists.")));
    EXPECT_EQ(read(back), QByteArray("old"));
    EXPECT_EQ(run(args + QStringList{QStringLiteral("--overwrite")}).code, 0);
    EXPECT_EQ(read(back), read(data));
}

TEST_F(CliTest, InfoReportsSuitabilityAndCapacity) {
    Result r = run({QStringLiteral("info"), Corpus("kodim01-grey.png")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("768 x 512")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("8 bits per pixel, grey")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("Suitable:    yes")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("Capacity:")));
    Result missing = run({QStringLiteral("info"), path(QStringLiteral("nothere.png"))});
    EXPECT_EQ(missing.code, 1);
}

TEST_F(CliTest, BadUsageIsStatusTwo) {
    EXPECT_EQ(run({QStringLiteral("hide"), QStringLiteral("--image")}).code, 2);
    EXPECT_EQ(run({QStringLiteral("frobnicate")}).code, 2);
    EXPECT_EQ(run({QStringLiteral("hide"), QStringLiteral("--image"), QStringLiteral("a.png"),
                   QStringLiteral("--data"), QStringLiteral("d"), QStringLiteral("--out"),
                   QStringLiteral("s.png"), QStringLiteral("--format"), QStringLiteral("gif")})
                  .code,
              2);
    EXPECT_EQ(run({QStringLiteral("--help")}).code, 0);
}

}  // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
