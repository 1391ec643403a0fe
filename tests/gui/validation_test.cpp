// The checks before an operation, in their order, and the capacity
// questions with their thresholds.
#include <QPlainTextEdit>

#include "driver/prechecks.h"
#include "util/digest.h"
#include "util/fileutil.h"
#include "util/keyderivation.h"
#include "gui_fixture.h"

namespace velta::test {
namespace {

// Entry states: file names refer to files that exist ("photo.png", "data.txt",
// "empty.txt") or not ("missing.*"); "" is an empty box.
struct EntryState {
    const char *label;
    bool hide;
    bool bmp;
    const char *data;
    const char *original;
    const char *stego;
    bool key;
    const char *first_message;
};

const EntryState kStates[] = {
    {"HideAllEmpty", true, false, "", "", "", false, "The original (input) file has not been specified."},
    {"HidePngWithBmpOriginal", true, false, "", "MISSING.BMP", "", false,
     "The file format is set to 'PNG'\r\nbut the input file has extension 'BMP'."},
    {"HidePngWithBmpOutput", true, false, "", "missing.png", "out.Bmp", false,
     "The file format is set to 'PNG'\r\nbut the output file has extension 'BMP'."},
    {"HideBmpWithPngOriginal", true, true, "", "photo.png", "", false,
     "The file format is set to 'BMP'\r\nbut the input file has extension 'PNG'."},
    {"HideOriginalMissing", true, false, "", "missing.png", "", false, "The original (input) file does not exist."},
    {"HideNoStego", true, false, "", "photo.png", "", false,
     "The image file in which to hide the data has not been specified."},
    {"HideNoData", true, false, "", "photo.png", "out.png", false,
     "The file containing the data to be hidden has not been specified."},
    {"HideDataMissing", true, false, "missing.txt", "photo.png", "out.png", false,
     "The file containing the data to be hidden does not exist."},
    {"HideNoKey", true, false, "data.txt", "photo.png", "out.png", false, "The key has not been specified."},
    {"HideEmptyData", true, false, "empty.txt", "photo.png", "out.png", true,
     "The data file is empty: there is nothing to hide."},
    {"HideSameImageButCase", true, false, "data.txt", "photo.png", "PHOTO.png", true,
     "The output file cannot be the same as the input file."},
    {"ExtractAllEmpty", false, false, "", "", "", false, "The stego (input) file has not been specified."},
    {"ExtractPngWithBmp", false, false, "", "", "missing.bmp", false,
     "The file format is set to 'PNG'\r\nbut the input file has extension 'BMP'."},
    {"ExtractStegoMissing", false, false, "", "", "missing.png", false, "The stego (input) file does not exist."},
    {"ExtractNoData", false, false, "", "", "photo.png", false,
     "The file to contain the extracted data has not been specified."},
    {"ExtractNoKey", false, false, "out.txt", "", "photo.png", false, "The key has not been specified."},
};

class Validation : public MainWindowTest, public ::testing::WithParamInterface<EntryState> {};

TEST_P(Validation, FirstProblemIsShownAndReported) {
    const EntryState s = GetParam();
    QFile::copy(Corpus("kodim03-colour.png"), file(QStringLiteral("photo.png")));
    WriteAll(file(QStringLiteral("data.txt")), "some data");
    WriteAll(file(QStringLiteral("empty.txt")), "");
    const auto path = [this](const char *name) {
        return *name ? file(QLatin1String(name)) : QString();
    };
    if (!s.hide) {
        click(QStringLiteral("optExtract"));
    }
    if (s.bmp) {
        click(QStringLiteral("optBMP"));
    }
    w->txbMessageFile->setText(path(s.data));
    w->txbImageFile[0]->setText(path(s.original));
    w->txbImageFile[1]->setText(path(s.stego));
    setKey(s.key ? QStringLiteral("sixteen significant chars") : QString());
    click(QStringLiteral("cmdPerformTheOperation"));
    ASSERT_EQ(ui.messages().size(), 1);
    EXPECT_EQ(ui.messages()[0].title, QStringLiteral("Invalid input"));
    EXPECT_EQ(ui.messages()[0].icon, MessageIcon::Information);
    EXPECT_EQ(ui.messages()[0].text, QLatin1String(s.first_message));
    EXPECT_EQ(w->txbReport->toPlainText(), QString(QLatin1String(s.first_message)).replace("\r\n", "\n"));
    EXPECT_TRUE(ui.pauses().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Order, Validation, ::testing::ValuesIn(kStates),
                         [](const auto &param_info) { return std::string(param_info.param.label); });

struct CapacityCase {
    const char *label;
    int64_t data, colour_bytes, file_bytes;
    bool png;
    MessageAnswer answer;  // Ok: no question expected
    QStringList titles;
    bool result;
};

class Capacity : public ::testing::TestWithParam<CapacityCase> {};

TEST_P(Capacity, QuestionsAndRefusals) {
    const CapacityCase c = GetParam();
    ScriptedUiPort ui;
    ui.onUnexpected = [](const QString &what) { ADD_FAILURE() << what.toStdString(); };
    if (c.answer != MessageAnswer::Ok) {
        ui.answerQuestion(c.answer);
    }
    EXPECT_EQ(CapacityIsSufficient(c.data, c.colour_bytes, c.file_bytes,
                                   c.png ? ImageFormat::Png : ImageFormat::Bmp, ui),
              c.result);
    EXPECT_EQ(ui.titles(), c.titles);
    EXPECT_EQ(ui.pendingAnswers(), 0);
}

const QString kProbably = QStringLiteral("Image file probably too small");
const QString kTooSmall = QStringLiteral("Image file too small");

INSTANTIATE_TEST_SUITE_P(
    Thresholds, Capacity,
    ::testing::Values(
        CapacityCase{"QuarterExactlyNoQuestion", 100, 400, 1000000, false, MessageAnswer::Ok, {}, true},
        CapacityCase{"AboveQuarterAsksYes", 101, 400, 1000000, false, MessageAnswer::Yes, {kProbably}, true},
        CapacityCase{"AboveQuarterAsksNo", 101, 400, 1000000, false, MessageAnswer::No, {kProbably}, false},
        CapacityCase{"AboveHalfRefused", 201, 400, 1000000, false, MessageAnswer::Ok, {kTooSmall}, false},
        CapacityCase{"HugeDataNoOverflow", 700000000, 2000000, 1000000, false, MessageAnswer::Ok, {kTooSmall}, false},
        CapacityCase{"PngHalfFileAsks", 6000, 10000000, 10000, true, MessageAnswer::Yes, {kProbably}, true},
        CapacityCase{"PngBeyondFileRefused", 12000, 10000000, 10000, true, MessageAnswer::Ok, {kTooSmall}, false},
        CapacityCase{"PngWithinHalfFile", 5000, 10000000, 10000, true, MessageAnswer::Ok, {}, true},
        CapacityCase{"YesSkipsPngStage", 101, 400, 50, true, MessageAnswer::Yes, {kProbably}, true},
        CapacityCase{"BmpHasNoFileStage", 6000, 10000000, 10000, false, MessageAnswer::Ok, {}, true}),
    [](const auto &param_info) { return std::string(param_info.param.label); });

TEST(CapacityText, NumbersAreGroupedAndLinesEndInCrLf) {
    ScriptedUiPort ui;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    CapacityIsSufficient(1500000, 2000000, 1234567, ImageFormat::Bmp, ui);
    QLocale::setDefault(QLocale::system());
    ASSERT_EQ(ui.messages().size(), 1);
    EXPECT_EQ(ui.messages()[0].text,
              QStringLiteral("The data file has 1,500,000 bytes and\r\nthe input image file has 1,234,567 bytes.\r\n"
                             "The image file is too small to hide the data file.\r\n"
                             "To hide the data file you must use a larger image file."));
}

TEST(PlacingFiles, AFailedCopyLeavesTheFileThereAsItWas) {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("stego.bmp"));
    WriteAll(target, "existing");
    QString error;
    EXPECT_FALSE(CopyFileTo(dir.filePath(QStringLiteral("vanished.bmp")), target, error, true));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadAll(target), QByteArray("existing"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST(WorkingFolderNames, FoldedLikeTheEngineFoldsThem) {
    EXPECT_EQ(ConvertedBmpPath("/w/VELTA001/", "/home/u/Ünïcode Photo.PNG"),
              QStringLiteral("/w/VELTA001/Ünïcode photo.bmp"));
    EXPECT_EQ(ConvertedBmpPath("/w/", "/p/picture.jpeg"), QStringLiteral("/w/picture.jbmp"));
    EXPECT_EQ(CheckCopyPath("/w/photo.bmp"), QStringLiteral("/w/photo2.bmp"));
    EXPECT_EQ(EngineOutputPath("/w/", "/p/My.BMP"), QStringLiteral("/w/my.bmp"));
}

}  // namespace
}  // namespace velta::test
