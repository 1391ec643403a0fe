#include "persist/settings_file.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace velta {
namespace {

// As the original platform's program writes it.
const QByteArray kHandWritten =
    "#FALSE#\r\n#TRUE#\r\n\"1\"\r\n\"0\"\r\n\"C:\\data\\notes.txt\"\r\n\"C:\\img\\a.png\"\r\n"
    "\"C:\\img\\s.png\"\r\n\"C:\\out\\n.txt\"\r\n\"\"\r\n\"C:\\img\\s2.png\"\r\n14737632\r\n"
    "\"1\"\r\n#FALSE#\r\n";

TEST(SettingsFile, HandWrittenFileLoadsAndWritesBackIdentically) {
    SettingsEntries e;
    const SettingsReadResult r = ParseSettings(kHandWritten, e);
    EXPECT_TRUE(r.valid);
    EXPECT_EQ(r.linesApplied, 13);
    EXPECT_FALSE(e.hide);
    EXPECT_TRUE(e.png);
    EXPECT_TRUE(e.openAfterExtraction);
    EXPECT_FALSE(e.warnOnOverwrite);
    EXPECT_EQ(e.modeFields[0][0], QStringLiteral("C:\\data\\notes.txt"));
    EXPECT_EQ(e.modeFields[1][2], QStringLiteral("C:\\img\\s2.png"));
    EXPECT_TRUE(e.modeFields[1][1].isEmpty());
    EXPECT_EQ(e.backColor, kGreyWindowColour);
    EXPECT_TRUE(e.displayInBrowser);
    EXPECT_FALSE(e.horizontal);
    QByteArray bytes;
    QString err;
    ASSERT_TRUE(FormatSettings(e, bytes, err));
    EXPECT_EQ(bytes, kHandWritten);
}

TEST(SettingsFile, TwelveLinesApplyThenReportInvalid) {
    SettingsEntries e;
    e.horizontal = true;
    const QByteArray twelve = kHandWritten.left(kHandWritten.lastIndexOf("#FALSE#"));
    const SettingsReadResult r = ParseSettings(twelve, e);
    EXPECT_FALSE(r.valid);
    EXPECT_EQ(r.linesApplied, 12);
    EXPECT_TRUE(e.displayInBrowser);
    EXPECT_TRUE(e.horizontal);  // line 13 never read
}

TEST(SettingsFile, ColourOtherThanGreyLoadsAsDefault) {
    for (const char *colour : {"255", "0", "11071161"}) {
        QByteArray bytes = kHandWritten;
        bytes.replace("14737632", colour);
        SettingsEntries e;
        e.backColor = kGreyWindowColour;
        EXPECT_TRUE(ParseSettings(bytes, e).valid);
        EXPECT_EQ(e.backColor, kDefaultWindowColour) << colour;
    }
}

TEST(SettingsFile, UnreadableColourStopsAtLineEleven) {
    QByteArray bytes = kHandWritten;
    bytes.replace("14737632", "green");
    SettingsEntries e;
    const SettingsReadResult r = ParseSettings(bytes, e);
    EXPECT_FALSE(r.valid);
    EXPECT_EQ(r.linesApplied, 10);
    EXPECT_FALSE(e.displayInBrowser);
}

TEST(SettingsFile, UnknownWordsAreFalse) {
    QByteArray bytes = kHandWritten;
    bytes.replace("#TRUE#", "True");
    bytes.replace("\"1\"", "\"yes\"");
    SettingsEntries e;
    EXPECT_TRUE(ParseSettings(bytes, e).valid);
    EXPECT_FALSE(e.png);
    EXPECT_FALSE(e.openAfterExtraction);
    EXPECT_FALSE(e.displayInBrowser);
}

class SettingsFileOnDisk : public ::testing::Test {
protected:
    QTemporaryDir dir_;
    QString path_ = dir_.filePath(QStringLiteral("job.velta"));
};

TEST_F(SettingsFileOnDisk, RoundTripsBothModesAndPathEncodings) {
    SettingsEntries out;
    out.hide = false;
    out.png = false;
    out.warnOnOverwrite = false;
    out.modeFields[0][0] = QStringLiteral("/home/u/été.txt");       // fits Windows-1252
    out.modeFields[0][1] = QStringLiteral("/home/u/a b.png");
    out.modeFields[0][2] = QStringLiteral("/home/u/s.png");
    out.modeFields[1][0] = QStringLiteral("/home/u/\u0434\u043e\u043c.bin");  // needs UTF-8
    out.modeFields[1][2] = QStringLiteral("/home/u/x.bmp");
    out.displayInBrowser = true;
    out.horizontal = false;
    QString err;
    ASSERT_TRUE(WriteSettingsFile(path_, out, err)) << err.toStdString();
    SettingsEntries in;
    ASSERT_TRUE(ReadSettingsFile(path_, in).valid);
    for (int m = 0; m < 2; ++m) {
        for (int f = 0; f < 3; ++f) {
            EXPECT_EQ(in.modeFields[m][f], out.modeFields[m][f]) << m << f;
        }
    }
    EXPECT_EQ(in.hide, out.hide);
    EXPECT_EQ(in.png, out.png);
    EXPECT_EQ(in.warnOnOverwrite, out.warnOnOverwrite);
    EXPECT_EQ(in.displayInBrowser, out.displayInBrowser);
    EXPECT_EQ(in.horizontal, out.horizontal);
}

TEST_F(SettingsFileOnDisk, Windows1252FileReads) {
    QFile f(path_);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    QByteArray bytes = kHandWritten;
    bytes.replace("notes", "n\xE9tes");
    f.write(bytes);
    f.close();
    SettingsEntries e;
    ASSERT_TRUE(ReadSettingsFile(path_, e).valid);
    EXPECT_EQ(e.modeFields[0][0], QStringLiteral("C:\\data\\n\u00e9tes.txt"));
}

// Windows-1252 bytes that happen to spell valid UTF-8 ("Ã©" is C3 A9, UTF-8
// for "é") would come back as other letters.
TEST_F(SettingsFileOnDisk, PathsWhoseCodePageBytesLookLikeUtf8RoundTrip) {
    SettingsEntries out;
    out.modeFields[0][0] = QStringLiteral("/home/u/\u00c3\u00a9t\u00c3\u00a9.txt");
    QString err;
    ASSERT_TRUE(WriteSettingsFile(path_, out, err)) << err.toStdString();
    SettingsEntries in;
    ASSERT_TRUE(ReadSettingsFile(path_, in).valid);
    EXPECT_EQ(in.modeFields[0][0], out.modeFields[0][0]);
}

TEST_F(SettingsFileOnDisk, UnstorablePathIsRefusedAndOldFileKept) {
    SettingsEntries good;
    QString err;
    ASSERT_TRUE(WriteSettingsFile(path_, good, err));
    SettingsEntries bad;
    bad.modeFields[0][0] = QStringLiteral("/home/u/say \"hi\".txt");
    EXPECT_FALSE(WriteSettingsFile(path_, bad, err));
    EXPECT_FALSE(err.isEmpty());
    SettingsEntries in;
    EXPECT_TRUE(ReadSettingsFile(path_, in).valid);
}

TEST_F(SettingsFileOnDisk, MissingFileAppliesNothing) {
    SettingsEntries e;
    e.hide = false;
    const SettingsReadResult r = ReadSettingsFile(dir_.filePath(QStringLiteral("none")), e);
    EXPECT_FALSE(r.valid);
    EXPECT_EQ(r.linesApplied, 0);
    EXPECT_FALSE(e.hide);
}

}  // namespace
}  // namespace velta
