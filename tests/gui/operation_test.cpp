// Whole operations through the real main window: hide, extract, wrong key,
// and the faults of the run that must not lose or misreport data.
#include <QCheckBox>
#include <QDirIterator>
#include <QPlainTextEdit>
#include <QRadioButton>

#include "driver/image_files.h"
#include "gui_fixture.h"

namespace velta::test {
namespace {

const QString kKey = QStringLiteral("Correct Horse Battery Staple 42");

struct Carrier {
    const char *label;
    const char *corpus;
    const char *name;  // as the user named it (capitals on purpose)
    bool bmp;
};

class RoundTrip : public MainWindowTest, public ::testing::WithParamInterface<Carrier> {
protected:
    // The image as the user has it: a corpus PNG, or that photo as a BMP.
    QString original() {
        const Carrier c = GetParam();
        const QString path = file(QLatin1String(c.name));
        if (c.bmp) {
            QString message;
            EXPECT_TRUE(ConvertImageFile(Corpus(c.corpus), path, message)) << message.toStdString();
        } else {
            QFile::copy(Corpus(c.corpus), path);
        }
        return path;
    }
};

TEST_P(RoundTrip, HiddenDataComesBackByteForByte) {
    const Carrier c = GetParam();
    const QString ext = c.bmp ? QStringLiteral(".bmp") : QStringLiteral(".png");
    const QByteArray data = SampleData(20000, 7);
    WriteAll(file(QStringLiteral("Secret Notes.txt")), data);
    const QString in = original();
    const QString stego = file(QStringLiteral("Stego Out") + ext);
    if (c.bmp) {
        click(QStringLiteral("optBMP"));
    }
    chooseHideFiles(file(QStringLiteral("Secret Notes.txt")), in, stego);
    setKey(kKey);
    click(QStringLiteral("cmdPerformTheOperation"));

    ASSERT_FALSE(ui.messages().isEmpty());
    EXPECT_EQ(ui.messages().last().title, QStringLiteral("Done"));
    EXPECT_EQ(ui.messages().last().text, QStringLiteral("The data file has been hidden."));
    // The browser page was opened and removed again; then the run's pauses.
    ASSERT_EQ(launched.size(), 1);
    EXPECT_TRUE(launched[0].endsWith(QStringLiteral("/viewer01.htm"))) << launched[0].toStdString();
    EXPECT_FALSE(QFileInfo::exists(launched[0]));
    ASSERT_GE(ui.pauses().size(), 2);
    EXPECT_EQ(ui.pauses().mid(ui.pauses().size() - 2), (QList<int>{1000, 3000}));
    const QString report = w->reportText();
    EXPECT_TRUE(report.startsWith(QStringLiteral("Operation: Hide data\r\n"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("Data file size: ") + QLocale().toString(20000) +
                                QStringLiteral(" bytes\r\n")));
    EXPECT_TRUE(report.endsWith(QStringLiteral("successfully hidden in the ") +
                                (c.bmp ? QStringLiteral("BMP") : QStringLiteral("PNG")) +
                                QStringLiteral(" image file.\r\n")));
    ASSERT_TRUE(QFileInfo::exists(stego));
    EXPECT_NE(ReadAll(stego), ReadAll(in));
    // Nothing of the run stays in the working folder.
    EXPECT_TRUE(QDir(w->strVeltaFolder).entryList(QDir::Files).isEmpty());

    ui.clearRecord();
    click(QStringLiteral("optExtract"));
    const QString out = file(QStringLiteral("recovered.txt"));
    ui.answerFileDialog(out);
    click(QStringLiteral("cmdMessageFile"));
    ui.answerFileDialog(stego);
    click(QStringLiteral("cmdImageFile(1)"));
    click(QStringLiteral("cmdPerformTheOperation"));
    ASSERT_FALSE(ui.messages().isEmpty());
    EXPECT_EQ(ui.messages().last().text, QStringLiteral("The data file has been extracted."));
    EXPECT_EQ(ReadAll(out), data);
    EXPECT_TRUE(w->reportText().startsWith(QStringLiteral("Operation: Extract data\r\n")));
    EXPECT_EQ(ui.pauses(), QList<int>{1000});

    // The key is in no file the program wrote, nor in the report.
    const QByteArray reduced = QByteArray("CORRECTHORSEBATTERYSTAPLE42");
    EXPECT_FALSE(w->reportText().contains(kKey));
    quit();
    for (const QString &root : {tmp.filePath(QStringLiteral("config")), tmp.filePath(QStringLiteral("run")),
                                tmp.filePath(QStringLiteral("files"))}) {
        QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QByteArray bytes = ReadAll(it.next());
            EXPECT_FALSE(bytes.contains(kKey.toLatin1()) || bytes.contains(reduced))
                << it.filePath().toStdString();
        }
    }
    EXPECT_EQ(w->keyWindow->keyText(), QString());
    EXPECT_EQ(w->keyWindow->intKeyChecksum, -1);
    EXPECT_FALSE(QFileInfo::exists(w->strVeltaFolder));
}

INSTANTIATE_TEST_SUITE_P(Carriers, RoundTrip,
                         ::testing::Values(Carrier{"PngColourCapitalised", "kodim03-colour.png", "Kodim03-Colour.PNG", false},
                                           Carrier{"PngGrey", "kodim05-grey.png", "kodim05-grey.png", false},
                                           Carrier{"BmpColourCapitalised", "kodim07-colour.png", "Kodim07-Colour.BMP", true},
                                           Carrier{"BmpGrey", "kodim01-grey.png", "kodim01-grey.bmp", true}),
                         [](const auto &param_info) { return std::string(param_info.param.label); });

class RunFaults : public MainWindowTest {
protected:
    // A BMP copy of a corpus photo and a data file; hide mode, BMP format.
    void prepareBmpHide(const QString &stego) {
        QString message;
        ASSERT_TRUE(ConvertImageFile(Corpus("kodim03-colour.png"), file(QStringLiteral("photo.bmp")), message));
        WriteAll(file(QStringLiteral("data.bin")), SampleData(5000, 3));
        click(QStringLiteral("optBMP"));
        chooseHideFiles(file(QStringLiteral("data.bin")), file(QStringLiteral("photo.bmp")), stego);
        setKey(kKey);
    }
};

TEST_F(RunFaults, WrongKeyLeavesTheExistingDataFileAsItWas) {
    prepareBmpHide(file(QStringLiteral("stego.bmp")));
    click(QStringLiteral("cmdPerformTheOperation"));
    ASSERT_EQ(ui.messages().last().title, QStringLiteral("Done"));

    ui.clearRecord();
    click(QStringLiteral("optExtract"));
    const QString out = file(QStringLiteral("keep.txt"));
    WriteAll(out, "precious earlier content");
    ui.answerFileDialog(out);
    ui.answerQuestion(MessageAnswer::Yes, QStringLiteral("Confirm overwrite of file"));
    click(QStringLiteral("cmdMessageFile"));
    ui.answerFileDialog(file(QStringLiteral("stego.bmp")));
    click(QStringLiteral("cmdImageFile(1)"));
    setKey(QStringLiteral("a different key of enough length"));
    ui.answerQuestion(MessageAnswer::Yes, QStringLiteral("File exists"));
    click(QStringLiteral("cmdPerformTheOperation"));

    const ShownMessage &m = ui.messages().last();
    EXPECT_EQ(m.title, QStringLiteral("Not done"));
    EXPECT_EQ(m.icon, MessageIcon::Exclamation);
    EXPECT_EQ(m.text, QStringLiteral("Error, unable to extract data. please check that\r\n"
                                     "the input file and the stego key are correct."));
    EXPECT_EQ(w->reportText(), QStringLiteral("Unable to extract data. Please check that\r\n"
                                              "the input file and the stego key are correct.\r\n"));
    EXPECT_EQ(ReadAll(out), QByteArray("precious earlier content"));
    EXPECT_EQ(QDir(tmp.filePath(QStringLiteral("files"))).entryList(QDir::Files | QDir::Hidden).size(), 4)
        << "no temporary file left beside the data file";
}

TEST_F(RunFaults, BmpHideWhoseCopyFailsIsNotReportedAsDone) {
    const QString stego = file(QStringLiteral("no such folder/stego.bmp"));
    prepareBmpHide(stego);
    click(QStringLiteral("cmdPerformTheOperation"));
    ASSERT_FALSE(ui.messages().isEmpty());
    const ShownMessage &m = ui.messages().last();
    EXPECT_EQ(m.title, QStringLiteral("Not done"));
    EXPECT_TRUE(m.text.contains(stego)) << m.text.toStdString();
    EXPECT_FALSE(ui.titles().contains(QStringLiteral("Done")));
    EXPECT_FALSE(w->reportText().contains(QStringLiteral("successfully"))) << w->reportText().toStdString();
    EXPECT_FALSE(QFileInfo::exists(stego));
}

TEST_F(RunFaults, DataTooLargeForTheImageKeepsTheExistingStegoFile) {
    // The engine refuses (-6) after the user accepted the risk; the file
    // already at the stego path is not touched.
    QString message;
    ASSERT_TRUE(ConvertImageFile(Corpus("kodim01-grey.png"), file(QStringLiteral("grey.bmp")), message));
    const int64_t colour_bytes = 768 * 512;
    QByteArray noise(static_cast<int>(colour_bytes / 2 - 10), '\0');
    uint32_t x = 99;
    for (char &b : noise) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<char>(x >> 24);
    }
    WriteAll(file(QStringLiteral("big.bin")), noise);
    WriteAll(file(QStringLiteral("old.bmp")), "an older stego image");
    click(QStringLiteral("optBMP"));
    chooseHideFiles(file(QStringLiteral("big.bin")), file(QStringLiteral("grey.bmp")), file(QStringLiteral("old.bmp")));
    setKey(kKey);
    ui.answerQuestion(MessageAnswer::Yes, QStringLiteral("Image file probably too small"));
    ui.answerQuestion(MessageAnswer::Yes, QStringLiteral("File exists"));
    click(QStringLiteral("cmdPerformTheOperation"));
    ASSERT_EQ(ui.messages().last().title, QStringLiteral("Not done"));
    EXPECT_EQ(ui.messages().last().text,
              QStringLiteral("Error, the input image file is too small to hold all the data."));
    EXPECT_EQ(ReadAll(file(QStringLiteral("old.bmp"))), QByteArray("an older stego image"));
}

struct OpenOffer {
    const char *label;
    const char *name;
    bool open_checked;
    MessageAnswer answer;  // Ok: no question
    bool launched;
};

class OpenAfterExtraction : public RunFaults, public ::testing::WithParamInterface<OpenOffer> {};

TEST_P(OpenAfterExtraction, OfferedOnlyForHarmlessTypesWhenAsked) {
    const OpenOffer o = GetParam();
    prepareBmpHide(file(QStringLiteral("stego.bmp")));
    click(QStringLiteral("cmdPerformTheOperation"));
    ASSERT_EQ(ui.messages().last().title, QStringLiteral("Done"));
    ui.clearRecord();
    click(QStringLiteral("optExtract"));
    const QString out = file(QLatin1String(o.name));
    ui.answerFileDialog(out);
    click(QStringLiteral("cmdMessageFile"));
    ui.answerFileDialog(file(QStringLiteral("stego.bmp")));
    click(QStringLiteral("cmdImageFile(1)"));
    EXPECT_EQ(w->chkOpenAfterExtraction->isVisible(), !QByteArray(o.name).endsWith(".exe"));
    w->chkOpenAfterExtraction->setChecked(o.open_checked);
    if (o.answer != MessageAnswer::Ok) {
        ui.answerQuestion(o.answer, QStringLiteral("Done"));
    }
    click(QStringLiteral("cmdPerformTheOperation"));
    const ShownMessage &m = ui.messages().last();
    EXPECT_EQ(m.title, QStringLiteral("Done"));
    if (o.answer == MessageAnswer::Ok) {
        EXPECT_EQ(m.text, QStringLiteral("The data file has been extracted."));
    } else {
        EXPECT_EQ(m.text, QStringLiteral("The data file \"") + QLatin1String(o.name) +
                              QStringLiteral("\" has been extracted.\r\n\r\nDo you wish to open this file?"));
    }
    EXPECT_EQ(launched.contains(out), o.launched);
    EXPECT_EQ(ReadAll(out), SampleData(5000, 3));
}

INSTANTIATE_TEST_SUITE_P(
    Types, OpenAfterExtraction,
    ::testing::Values(OpenOffer{"TextYes", "notes.txt", true, MessageAnswer::Yes, true},
                      OpenOffer{"TextNo", "notes.txt", true, MessageAnswer::No, false},
                      OpenOffer{"TextNotAsked", "notes.txt", false, MessageAnswer::Ok, false},
                      OpenOffer{"ExecutableNeverOffered", "setup.exe", true, MessageAnswer::Ok, false}),
    [](const auto &param_info) { return std::string(param_info.param.label); });

}  // namespace
}  // namespace velta::test
