// The main window's own behaviour: defaults, mode memory, the key window,
// refreshes and quitting.
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTimer>

#include "driver/image_files.h"
#include "gui_fixture.h"

namespace velta::test {
namespace {

TEST_F(MainWindowTest, FirstStartShowsTheDefaults) {
    EXPECT_TRUE(child<QRadioButton>("optHide")->isChecked());
    EXPECT_TRUE(child<QRadioButton>("optPNG")->isChecked());
    EXPECT_TRUE(child<QAbstractButton>("chkWarnOnOverwrite")->isChecked());
    EXPECT_TRUE(child<QAbstractButton>("chkDisplayInBrowser")->isChecked());
    EXPECT_TRUE(child<QRadioButton>("optHorizontal")->isChecked());
    EXPECT_FALSE(child<QAbstractButton>("cmdClearReport")->isEnabled());
    EXPECT_FALSE(child<QAbstractButton>("cmdCopyToClipboard")->isEnabled());
    EXPECT_EQ(child<QAbstractButton>("cmdPerformTheOperation")->text(), QStringLiteral("Hide the data in the PNG file"));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Velta 0.12"));
    EXPECT_TRUE(w->strVeltaFolder.startsWith(workingBase() + QStringLiteral("/VELTA001")));
    EXPECT_TRUE(QFileInfo(w->strVeltaFolder).isDir());
    EXPECT_EQ(QFileInfo(workingBase()).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
              QFileDevice::Permissions());
}

TEST_F(MainWindowTest, SwitchingModesRestoresEachModesBoxesAndReport) {
    w->txbMessageFile->setText(QStringLiteral("/d/data.txt"));
    w->txbImageFile[0]->setText(QStringLiteral("/d/in.png"));
    w->txbImageFile[1]->setText(QStringLiteral("/d/out.png"));
    w->setReportText(QStringLiteral("hide report\r\n"));
    click(QStringLiteral("optExtract"));
    EXPECT_EQ(text("txbMessageFile"), QString());
    EXPECT_EQ(text("txbImageFile(1)"), QString());
    EXPECT_EQ(w->reportText(), QString());
    EXPECT_FALSE(w->txbImageFile[0]->isVisibleTo(w.get()));
    EXPECT_EQ(child<QAbstractButton>("cmdImageFile(1)")->text(), QStringLiteral("Stego (input) PNG file"));
    click(QStringLiteral("optBMP"));
    EXPECT_EQ(child<QAbstractButton>("cmdImageFile(1)")->text(), QStringLiteral("Stego (input) BMP file"));
    EXPECT_EQ(child<QAbstractButton>("cmdPerformTheOperation")->text(), QStringLiteral("Extract the data"));
    w->txbMessageFile->setText(QStringLiteral("/d/got.txt"));
    w->txbImageFile[1]->setText(QStringLiteral("/d/stego.bmp"));
    w->setReportText(QStringLiteral("extract report\r\n"));
    click(QStringLiteral("optHide"));
    EXPECT_EQ(text("txbMessageFile"), QStringLiteral("/d/data.txt"));
    EXPECT_EQ(text("txbImageFile(0)"), QStringLiteral("/d/in.png"));
    EXPECT_EQ(text("txbImageFile(1)"), QStringLiteral("/d/out.png"));
    EXPECT_EQ(w->reportText(), QStringLiteral("hide report\r\n"));
    EXPECT_EQ(child<QAbstractButton>("cmdPerformTheOperation")->text(), QStringLiteral("Hide the data in the BMP file"));
    click(QStringLiteral("optExtract"));
    EXPECT_EQ(text("txbMessageFile"), QStringLiteral("/d/got.txt"));
    EXPECT_EQ(text("txbImageFile(1)"), QStringLiteral("/d/stego.bmp"));
    EXPECT_EQ(w->reportText(), QStringLiteral("extract report\r\n"));
}

TEST_F(MainWindowTest, ExtractModeRefusesAFileNamedPngThatIsNot) {
    click(QStringLiteral("optExtract"));
    WriteAll(file(QStringLiteral("x.png")), "\xFF\xD8\xFF\xE0 a JPEG really");
    ui.answerFileDialog(file(QStringLiteral("x.png")));
    click(QStringLiteral("cmdImageFile(1)"));
    ASSERT_EQ(ui.messages().size(), 1);
    EXPECT_EQ(ui.messages()[0].title, QStringLiteral("Invalid input"));
    EXPECT_EQ(text("txbImageFile(1)"), QString());
    EXPECT_EQ(ui.fileDialogs()[0].title, QStringLiteral("Specify input PNG file in which the data file is hidden."));
    EXPECT_EQ(ui.fileDialogs()[0].filter, QStringLiteral("PNG files (*.png)"));
}

TEST_F(MainWindowTest, UnsuitableBmpOriginalIsNotTaken) {
    click(QStringLiteral("optBMP"));
    WriteAll(file(QStringLiteral("tiny.bmp")), "BM not really a bitmap");
    ui.answerFileDialog(file(QStringLiteral("tiny.bmp")));
    click(QStringLiteral("cmdImageFile(0)"));
    ASSERT_EQ(ui.messages().size(), 1);
    EXPECT_EQ(ui.messages()[0].title, QStringLiteral("File unsuitable"));
    EXPECT_TRUE(ui.messages()[0].text.startsWith(file(QStringLiteral("tiny.bmp")) +
                                                 QStringLiteral(" is not suitable because ")));
    EXPECT_EQ(text("txbImageFile(0)"), QString());
}

TEST_F(MainWindowTest, ReportCopyThresholdAfterAFocusRefresh) {
    w->setReportText(QString(40, QLatin1Char('x')));
    w->GotFocus();
    EXPECT_TRUE(child<QAbstractButton>("cmdClearReport")->isEnabled());
    EXPECT_FALSE(child<QAbstractButton>("cmdCopyToClipboard")->isEnabled());
    w->setReportText(QString(41, QLatin1Char('x')));
    w->GotFocus();
    EXPECT_TRUE(child<QAbstractButton>("cmdCopyToClipboard")->isEnabled());
    w->setReportText(QStringLiteral("\r\n  leading break"));
    EXPECT_EQ(w->reportText(), QStringLiteral("leading break"));
}

TEST_F(MainWindowTest, TimerShowsClearButtonsForFilledBoxes) {
    w->txbMessageFile->setText(QStringLiteral("  /d/data.txt  "));
    w->cmdClearMessageFile->setVisible(false);
    EXPECT_TRUE(WaitFor([this] { return text("txbMessageFile") == QStringLiteral("/d/data.txt"); }));
    EXPECT_TRUE(w->cmdClearMessageFile->isVisible());
    w->txbMessageFile->clear();
    EXPECT_TRUE(WaitFor([this] { return !w->cmdClearMessageFile->isVisible(); }));
}

TEST_F(MainWindowTest, LongPathsGetTheirToolTip) {
    w->txbMessageFile->setText(QString(87, QLatin1Char('a')));
    w->txbImageFile[1]->setText(QString(88, QLatin1Char('a')));
    w->UpdateFileToolTips();
    EXPECT_EQ(w->txbMessageFile->toolTip(), QString());
    EXPECT_EQ(w->txbImageFile[1]->toolTip(), QString(88, QLatin1Char('a')));
    EXPECT_EQ(w->txbImageFile[0]->toolTip(), w->strEmptyFileTip);
}

TEST_F(MainWindowTest, QuittingWithEntriesCanBeCancelledAndEmptiesCnfg) {
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "Brannock Works", "VELTA")
        .setValue("Cnfg", "/nowhere/old.velta");
    w->txbMessageFile->setText(QStringLiteral("/d/data.txt"));
    click(QStringLiteral("optExtract"));  // stores the hide entries
    ui.answerQuestion(MessageAnswer::Cancel, QStringLiteral("Quit"));
    EXPECT_FALSE(w->cmdQuit_Click());
    EXPECT_TRUE(QFileInfo(w->strVeltaFolder).isDir());
    ui.answerQuestion(MessageAnswer::No, QStringLiteral("Quit"));
    EXPECT_TRUE(w->cmdQuit_Click());
    EXPECT_EQ(QSettings(QSettings::NativeFormat, QSettings::UserScope, "Brannock Works", "VELTA")
                  .value("Cnfg").toString(),
              QString());
    EXPECT_FALSE(QFileInfo::exists(w->strVeltaFolder));
    EXPECT_EQ(w->keyWindow->intKeyChecksum, -1);
}

TEST_F(MainWindowTest, QuitRemovesFoldersLeftByEarlierRuns) {
    ASSERT_TRUE(w->strVeltaFolder.endsWith(QStringLiteral("VELTA001/")));
    w.reset();  // a run that did not quit in order: its folder stays
    w = std::make_unique<frmMain>(ui);
    ASSERT_TRUE(w->Form_Load());
    ASSERT_TRUE(w->strVeltaFolder.endsWith(QStringLiteral("VELTA002/")));
    EXPECT_TRUE(w->cmdQuit_Click());
    EXPECT_FALSE(QFileInfo::exists(workingBase() + QStringLiteral("/VELTA001")));
    EXPECT_FALSE(QFileInfo::exists(workingBase() + QStringLiteral("/VELTA002")));
}

// The key window, answered while it is open.
class KeyWindow : public MainWindowTest {
protected:
    // Opens the key window from the main window and runs `act` in it.
    void withKeyWindow(const std::function<void(frmKey &)> &act) {
        bool ran = false;
        QTimer::singleShot(0, w.get(), [&] {
            frmKey &k = *w->keyWindow;
            EXPECT_TRUE(WaitFor([&] { return k.isVisible(); }));
            act(k);
            ran = true;
            if (k.isVisible()) {
                k.cmdCancel->click();
            }
        });
        click(QStringLiteral("cmdKey"));
        EXPECT_TRUE(ran);
    }
};

TEST_F(KeyWindow, SixteenSignificantCharactersAreNeeded) {
    withKeyWindow([](frmKey &k) {
        EXPECT_EQ(k.windowTitle(), frmKey::kCaption);
        k.txbKey->setText(QStringLiteral("abc de fgh\tijk lmno"));  // 15 significant
        EXPECT_FALSE(k.cmdYes->isVisible());
        EXPECT_FALSE(k.lblChecksumIs->isVisible());
        EXPECT_TRUE(k.cmdCancel->isVisible());
        k.txbKey->setText(k.txbKey->text() + QStringLiteral("p"));
        EXPECT_TRUE(k.cmdYes->isVisible());
        EXPECT_TRUE(k.cmdNo->isVisible());
        EXPECT_TRUE(k.lblUseThisKey->isVisible());
        const QString shown = k.lblChecksumIs->text();
        k.txbKey->setText(QStringLiteral("ABCDEFGHIJKLMNOP"));
        EXPECT_EQ(k.lblChecksumIs->text(), shown) << "spaces and case do not count";
        k.txbKey->setText(QStringLiteral("  abc de fgh ijk lmnop  "));
        k.cmdYes->click();
    });
    EXPECT_EQ(w->keyWindow->keyText(), QStringLiteral("abc de fgh ijk lmnop"));
    EXPECT_EQ(w->reportText(), QStringLiteral("Key specified.\r\n"));
    EXPECT_EQ(child<QAbstractButton>("cmdKey")->text(), QStringLiteral("View key"));
}

TEST_F(KeyWindow, CancelRestoresTheEarlierKeyAndNoClearsIt) {
    setKey(QStringLiteral("an accepted key of length"));
    withKeyWindow([](frmKey &k) {
        EXPECT_TRUE(k.cmdYes->isVisible()) << "an accepted key shows its answers at once";
        EXPECT_EQ(k.txbKey->maxLength(), 64);
        k.txbKey->setText(QStringLiteral("edited"));
        k.cmdCancel->click();
    });
    EXPECT_EQ(w->keyWindow->keyText(), QStringLiteral("an accepted key of length"));
    EXPECT_EQ(w->reportText(), QString());
    EXPECT_EQ(child<QAbstractButton>("cmdKey")->text(), QStringLiteral("Specify key"));

    withKeyWindow([](frmKey &k) { k.cmdNo->click(); });
    EXPECT_EQ(w->keyWindow->keyText(), QString());
    EXPECT_EQ(w->reportText(), QStringLiteral("Key cleared.\r\n"));
}

TEST_F(KeyWindow, LiesAlongTheBottomOfTheMainWindow) {
    withKeyWindow([this](frmKey &k) {
        EXPECT_EQ(k.frameGeometry().left(), w->frameGeometry().left());
        EXPECT_EQ(k.width(), w->width());
        EXPECT_LE(k.frameGeometry().bottom(), w->frameGeometry().bottom());
        EXPECT_GE(k.frameGeometry().top(), w->frameGeometry().top());
    });
}

}  // namespace
}  // namespace velta::test

namespace velta::test {
namespace {

// Sparse files: the sizes matter, not the content.
void MakeFileOfSize(const QString &path, qint64 size) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_TRUE(f.resize(size));
}

TEST_F(MainWindowTest, ChosenDataFileSizeLimit) {
    MakeFileOfSize(file(QStringLiteral("limit.bin")), 262144000);
    MakeFileOfSize(file(QStringLiteral("over.bin")), 262144001);
    ui.answerFileDialog(file(QStringLiteral("over.bin")));
    click(QStringLiteral("cmdMessageFile"));
    ASSERT_EQ(ui.messages().size(), 1);
    EXPECT_EQ(ui.messages()[0].title, QStringLiteral("File with data to be hidden"));
    EXPECT_TRUE(ui.messages()[0].text.endsWith(QStringLiteral("\r\nThis file is too large.")));
    EXPECT_EQ(text("txbMessageFile"), QString());
    ui.answerFileDialog(file(QStringLiteral("limit.bin")));
    click(QStringLiteral("cmdMessageFile"));
    EXPECT_EQ(ui.messages().size(), 1);
    EXPECT_EQ(text("txbMessageFile"), file(QStringLiteral("limit.bin")));
}

TEST_F(MainWindowTest, DataFileOfOneGibibytePassesTheSizeCheckOneByteMoreDoesNot) {
    QFile::copy(Corpus("kodim03-colour.png"), file(QStringLiteral("photo.png")));
    MakeFileOfSize(file(QStringLiteral("big.bin")), qint64{1} << 30);
    w->txbMessageFile->setText(file(QStringLiteral("big.bin")));
    w->txbImageFile[0]->setText(file(QStringLiteral("photo.png")));
    w->txbImageFile[1]->setText(file(QStringLiteral("out.png")));
    setKey(QStringLiteral("sixteen significant chars"));
    // Passes validation; the capacity estimate then refuses it.
    click(QStringLiteral("cmdPerformTheOperation"));
    EXPECT_EQ(ui.titles(), QStringList{QStringLiteral("Image file too small")});
    ui.clearRecord();
    MakeFileOfSize(file(QStringLiteral("big.bin")), (qint64{1} << 30) + 1);
    click(QStringLiteral("cmdPerformTheOperation"));
    EXPECT_EQ(ui.titles(), QStringList{QStringLiteral("Invalid input")});
    EXPECT_EQ(ui.messages()[0].text, w->programText(23));
}

}  // namespace
}  // namespace velta::test

namespace velta::test {
namespace {

// A 64 x 64 24-bit BMP of one colour: readable, big enough, too uniform.
QByteArray UniformBmp() {
    const int w = 64, h = 64, stride = w * 3, pixels = stride * h;
    QByteArray b(54 + pixels, '\x80');
    auto put32 = [&b](int at, int32_t v) {
        for (int i = 0; i < 4; ++i) {
            b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
        }
    };
    auto put16 = [&b](int at, int v) {
        b[at] = static_cast<char>(v & 0xFF);
        b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, 54 + pixels);
    put32(6, 0);
    put32(10, 54);
    put32(14, 40);
    put32(18, w);
    put32(22, h);
    put16(26, 1);
    put16(28, 24);
    put32(30, 0);
    put32(34, pixels);
    put32(38, 2835);
    put32(42, 2835);
    put32(46, 0);
    put32(50, 0);
    return b;
}

TEST_F(MainWindowTest, UniformBmpOriginalIsRefusedWhenChosen) {
    WriteAll(file(QStringLiteral("flat.bmp")), UniformBmp());
    click(QStringLiteral("optBMP"));
    ui.answerFileDialog(file(QStringLiteral("flat.bmp")));
    click(QStringLiteral("cmdImageFile(0)"));
    ASSERT_EQ(ui.messages().size(), 1);
    EXPECT_EQ(ui.messages()[0].title, QStringLiteral("File unsuitable"));
    EXPECT_EQ(ui.messages()[0].text,
              file(QStringLiteral("flat.bmp")) + QStringLiteral(" is not suitable because it is too uniform."));
}

TEST_F(MainWindowTest, UniformPngOriginalStopsTheHideWithImageUnsuitable) {
    WriteAll(file(QStringLiteral("flat.bmp")), UniformBmp());
    QString message;
    ASSERT_TRUE(ConvertImageFile(file(QStringLiteral("flat.bmp")), file(QStringLiteral("flat.png")), message))
        << message.toStdString();
    WriteAll(file(QStringLiteral("data.txt")), "a little data");
    chooseHideFiles(file(QStringLiteral("data.txt")), file(QStringLiteral("flat.png")), file(QStringLiteral("out.png")));
    setKey(QStringLiteral("sixteen significant chars"));
    click(QStringLiteral("cmdPerformTheOperation"));
    EXPECT_EQ(ui.titles(), QStringList{QStringLiteral("Image unsuitable")});
    EXPECT_EQ(w->reportText(), QString());
    EXPECT_FALSE(QFileInfo::exists(file(QStringLiteral("out.png"))));
}

TEST_F(MainWindowTest, DoubleClickTogglesTheWindowColour) {
    EXPECT_EQ(w->lngBackColor, frmMain::kDefaultWindowColour);
    w->Form_DblClick();
    EXPECT_EQ(w->lngBackColor, frmMain::kGreyWindowColour);
    EXPECT_EQ(w->chkWarnOnOverwrite->palette().color(QPalette::Window), QColor(224, 224, 224));
    w->Form_DblClick();
    EXPECT_EQ(w->palette().color(QPalette::Window), QColor(185, 238, 168));
}

}  // namespace
}  // namespace velta::test
