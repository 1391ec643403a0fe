#include "util/digest.h"
#include "util/keyderivation.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "file_fixture.h"

namespace velta {
namespace {

TEST(KeyDerivation, ChecksumOfAbcIs7498) { EXPECT_EQ(KeyChecksum(QStringLiteral("ABC")), 7498); }

TEST(KeyDerivation, SpacesAndCaseDoNotMatter) {
    const QString typed = QStringLiteral(" abc def\tghi jkl mno p ");
    const QString plain = QStringLiteral("ABCDEFGHIJKLMNOP");
    EXPECT_EQ(ReducedKey(typed), plain);
    EXPECT_EQ(EngineKey(typed), EngineKey(plain));
    EXPECT_EQ(KeyChecksum(ReducedKey(typed)), KeyChecksum(plain));
}

TEST(KeyDerivation, AdmissibleFromSixteenSignificantCharacters) {
    EXPECT_FALSE(KeyIsAdmissible(QStringLiteral("a b c d e f g h i j k l m n o          ")));
    EXPECT_TRUE(KeyIsAdmissible(QStringLiteral("a b c d e f g h i j k l m n o p")));
    EXPECT_FALSE(KeyIsAdmissible(QString()));
}

struct EngineKeyCase {
    int reducedLength;
};
class EngineKeyLength : public ::testing::TestWithParam<EngineKeyCase> {};

TEST_P(EngineKeyLength, DoublesThenCutsTo64) {
    QString k;
    for (int i = 0; i < GetParam().reducedLength; ++i) {
        k += QChar(u'A' + i % 26);
    }
    QByteArray expected = k.toLatin1();
    while (expected.size() < 64) {
        expected += expected;
    }
    const QByteArray key = EngineKey(k);
    ASSERT_EQ(key.size(), 64);
    EXPECT_EQ(key, expected.left(64));
}
INSTANTIATE_TEST_SUITE_P(Lengths, EngineKeyLength,
                         ::testing::Values(EngineKeyCase{16}, EngineKeyCase{20},
                                           EngineKeyCase{33}, EngineKeyCase{64}));

TEST(KeyDerivation, EmptyReducedKeyGivesEmptyEngineKey) {
    EXPECT_TRUE(EngineKey(QStringLiteral(" \t ")).isEmpty());
}

struct Cp1252Case {
    const char16_t *typed;
    QByteArray reducedBytes;
};
class Windows1252Key : public ::testing::TestWithParam<Cp1252Case> {};

TEST_P(Windows1252Key, ReducedKeyBytes) {
    EXPECT_EQ(Windows1252Bytes(ReducedKey(QString::fromUtf16(GetParam().typed))),
              GetParam().reducedBytes);
}
INSTANTIATE_TEST_SUITE_P(
    Letters, Windows1252Key,
    ::testing::Values(Cp1252Case{u"\u00e9t\u00e9", QByteArray("\xC9T\xC9")},    // é -> É
                      Cp1252Case{u"stra\u00dfe", QByteArray("STRA\xDF" "E")},  // ß stays
                      Cp1252Case{u"\u00ff\u0153\u0161", QByteArray("\x9F\x8C\x8A")},
                      Cp1252Case{u"\u20ac5", QByteArray("\x80" "5")},
                      // No Windows-1252 byte: one "?" per character, also
                      // outside the basic plane.
                      Cp1252Case{u"\u0434\U0001F600x", QByteArray("??X")}));

TEST(KeyDerivation, NonCodePageKeyGivesFullEngineKey) {
    const QByteArray key = EngineKey(QStringLiteral("\U0001F600").repeated(16));
    EXPECT_EQ(key, QByteArray(64, '?'));
}

TEST(Digest, StringDigestIsMd5OfCodePageBytes) {
    EXPECT_EQ(StringDigest(QStringLiteral("abc")).toHex(),
              QByteArray("900150983cd24fb0d6963f7d28e17f72"));
    EXPECT_EQ(StringDigest(QStringLiteral("abcdef"), 3), StringDigest(QStringLiteral("abc")));
    EXPECT_EQ(StringDigest(QStringLiteral("\u00e9")).toHex(),
              QCryptographicHash::hash("\xE9", QCryptographicHash::Md5).toHex());
}

class SignatureTest : public test::FileFixture {};

TEST_F(SignatureTest, MatchesMd5AroundTheBufferSize) {
    for (const int size : {1, 16384, 16385, 40000}) {
        QByteArray content(size, Qt::Uninitialized);
        for (int i = 0; i < size; ++i) {
            content[i] = static_cast<char>(i * 7 + 3);
        }
        int32_t code = 99;
        QString err = QStringLiteral("x");
        const QString sig = DigitalSignature(write(QStringLiteral("f"), content), code, err);
        EXPECT_EQ(code, 0);
        EXPECT_TRUE(err.isEmpty());
        EXPECT_EQ(sig, QString::fromLatin1(
                           QCryptographicHash::hash(content, QCryptographicHash::Md5)
                               .toHex()
                               .toUpper()))
            << size;
    }
}

TEST_F(SignatureTest, FailureCodes) {
    int32_t code = 0;
    QString err;
    EXPECT_TRUE(DigitalSignature(write(QStringLiteral("empty"), {}), code, err).isEmpty());
    EXPECT_EQ(code, -1);
    EXPECT_EQ(err, QStringLiteral("Zero-length file"));
    DigitalSignature(QStringLiteral("C:"), code, err);
    EXPECT_EQ(code, -3);
    DigitalSignature(dir_.path() + QStringLiteral("/"), code, err);
    EXPECT_EQ(code, -2);
    EXPECT_EQ(err, QStringLiteral("Folder, not file"));
    DigitalSignature(QString(), code, err);
    EXPECT_EQ(code, -4);
    EXPECT_TRUE(err.isEmpty());
    EXPECT_TRUE(DigitalSignature(dir_.filePath(QStringLiteral("missing")), code, err).isEmpty());
    EXPECT_GT(code, 0);
    EXPECT_FALSE(err.isEmpty());
}

TEST_F(SignatureTest, Comparison) {
    const QString a = write(QStringLiteral("a"), "same bytes");
    const QString b = write(QStringLiteral("b"), "same bytes");
    const QString c = write(QStringLiteral("c"), "same bytez");
    int32_t code = 0;
    QString err;
    EXPECT_TRUE(SameDigitalSignature(a, b, code, err, false));
    EXPECT_FALSE(SameDigitalSignature(a, c, code, err, false));
    const QString m1 = dir_.filePath(QStringLiteral("m1"));
    const QString m2 = dir_.filePath(QStringLiteral("m2"));
    EXPECT_TRUE(SameDigitalSignature(m1, m2, code, err, false));  // both empty
    EXPECT_FALSE(SameDigitalSignature(m1, m2, code, err, true));
}

}  // namespace
}  // namespace velta
