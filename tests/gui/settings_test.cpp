// Settings files through the window: the buttons and their dialogs, what a
// load applies, the overwrite question, and restoring at start-up.
#include <QCheckBox>
#include <QRadioButton>

#include "gui_fixture.h"

namespace velta::test {
namespace {

const QString kSave = QStringLiteral("cmdSaveState(0)");
const QString kLoad = QStringLiteral("cmdSaveState(1)");
const QString kInvalid = QStringLiteral("Invalid settings file");

class Settings : public MainWindowTest {
protected:
    // Both modes' boxes filled, non-default choices everywhere.
    void fillBothModes() {
        w->txbMessageFile->setText(QStringLiteral("/d/data #1.txt"));
        w->txbImageFile[0]->setText(QStringLiteral("/d/in put.png"));
        w->txbImageFile[1]->setText(QStringLiteral("/d/out.png"));
        click(QStringLiteral("optExtract"));
        w->txbMessageFile->setText(QStringLiteral("/d/got.txt"));
        w->txbImageFile[1]->setText(QStringLiteral("/d/stego.png"));
        click(QStringLiteral("optBMP"));
        w->chkWarnOnOverwrite->setChecked(false);
        w->chkOpenAfterExtraction->setChecked(true);
        w->chkDisplayInBrowser->setChecked(false);
        w->optVertical->setChecked(true);
        w->Form_DblClick();  // grey
    }
    void expectBothModes() {
        EXPECT_TRUE(w->astrModeFields[0][0] == QStringLiteral("/d/data #1.txt"));
        EXPECT_EQ(w->astrModeFields[0][1], QStringLiteral("/d/in put.png"));
        EXPECT_EQ(w->astrModeFields[0][2], QStringLiteral("/d/out.png"));
        EXPECT_EQ(w->astrModeFields[1][0], QStringLiteral("/d/got.txt"));
        EXPECT_EQ(w->astrModeFields[1][2], QStringLiteral("/d/stego.png"));
        EXPECT_TRUE(w->optBMP->isChecked());
        EXPECT_FALSE(w->chkWarnOnOverwrite->isChecked());
        EXPECT_TRUE(w->chkOpenAfterExtraction->isChecked());
        EXPECT_FALSE(w->chkDisplayInBrowser->isChecked());
        EXPECT_TRUE(w->optVertical->isChecked());
        EXPECT_EQ(w->lngBackColor, frmMain::kGreyWindowColour);
    }
    // Back to the first start's state, in hide mode.
    void resetWindow() {
        click(QStringLiteral("optHide"));
        click(QStringLiteral("optPNG"));
        for (auto &mode : w->astrModeFields) {
            for (QString &f : mode) f.clear();
        }
        w->RestoreModeFields();
        w->chkWarnOnOverwrite->setChecked(true);
        w->chkOpenAfterExtraction->setChecked(false);
        w->chkDisplayInBrowser->setChecked(true);
        w->optHorizontal->setChecked(true);
        w->Form_DblClick();
        ASSERT_EQ(w->lngBackColor, frmMain::kDefaultWindowColour);
    }
    void load(const QString &path) {
        ui.answerFileDialog(path);
        click(kLoad);
    }
};

class SettingsRoundTrip : public Settings, public ::testing::WithParamInterface<bool> {};

TEST_P(SettingsRoundTrip, BothModesComeBackWhicheverModeIsCurrent) {
    const bool save_in_hide = GetParam();
    fillBothModes();
    if (save_in_hide) click(QStringLiteral("optHide"));
    const QString path = file(QStringLiteral("job.velta"));
    ui.answerFileDialog(path);
    click(kSave);
    ASSERT_TRUE(QFileInfo::exists(path));
    EXPECT_EQ(ui.fileDialogs().back().save, true);
    EXPECT_EQ(ui.fileDialogs().back().filter, QStringLiteral("Settings files (*.velta)"));
    EXPECT_EQ(ui.fileDialogs().back().title,
              QStringLiteral("Specify folder and name of file in which to save the settings"));
    EXPECT_TRUE(ReadAll(path).startsWith(save_in_hide ? "#TRUE#\r\n#FALSE#\r\n" : "#FALSE#\r\n#FALSE#\r\n"));

    resetWindow();
    w->setReportText(QStringLiteral("a report that loading empties\r\n"));
    load(path);
    EXPECT_EQ(ui.fileDialogs().back().save, false);
    EXPECT_TRUE(ui.messages().isEmpty());
    expectBothModes();
    EXPECT_EQ(w->optHide->isChecked(), save_in_hide);
    EXPECT_EQ(w->strSettingsFile, path);
    EXPECT_EQ(w->reportText(), QString());
    EXPECT_EQ(text("txbImageFile(1)"), save_in_hide ? QStringLiteral("/d/out.png") : QStringLiteral("/d/stego.png"));
    // The other mode's boxes and an empty report come back on a switch.
    click(save_in_hide ? QStringLiteral("optExtract") : QStringLiteral("optHide"));
    EXPECT_EQ(text("txbMessageFile"), save_in_hide ? QStringLiteral("/d/got.txt") : QStringLiteral("/d/data #1.txt"));
    EXPECT_EQ(w->reportText(), QString());
}

INSTANTIATE_TEST_SUITE_P(SavedIn, SettingsRoundTrip, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool> &p) { return std::string(p.param ? "hide" : "extract"); });

TEST_F(Settings, HandWrittenCrLfFileLoads) {
    const QString path = file(QStringLiteral("hand.velta"));
    WriteAll(path,
             "#FALSE#\r\n#FALSE#\r\n\"1\"\r\n\"0\"\r\n\"/d/a.txt\"\r\n\"/d/b.bmp\"\r\n\"/d/c.bmp\"\r\n"
             "\"/d/x.txt\"\r\n\"\"\r\n\"/d/s.bmp\"\r\n14737632\r\n\"0\"\r\n#FALSE#\r\n");
    load(path);
    EXPECT_TRUE(ui.messages().isEmpty());
    EXPECT_TRUE(w->optExtract->isChecked());
    EXPECT_TRUE(w->optBMP->isChecked());
    EXPECT_EQ(child<QAbstractButton>("cmdImageFile(1)")->text(), QStringLiteral("Stego (input) BMP file"));
    EXPECT_EQ(text("txbMessageFile"), QStringLiteral("/d/x.txt"));
    EXPECT_EQ(text("txbImageFile(1)"), QStringLiteral("/d/s.bmp"));
    EXPECT_EQ(w->astrModeFields[0][1], QStringLiteral("/d/b.bmp"));
    EXPECT_EQ(w->lngBackColor, frmMain::kGreyWindowColour);
    EXPECT_TRUE(w->optVertical->isChecked());
}

TEST_F(Settings, TwelveLinesApplyThenTheInvalidFileIsReported) {
    const QString path = file(QStringLiteral("short.velta"));
    WriteAll(path,
             "#TRUE#\r\n#FALSE#\r\n\"0\"\r\n\"0\"\r\n\"/d/a.txt\"\r\n\"/d/b.bmp\"\r\n\"/d/c.bmp\"\r\n"
             "\"\"\r\n\"\"\r\n\"\"\r\n14737632\r\n\"0\"\r\n");
    load(path);
    ASSERT_EQ(ui.messages().size(), 1);
    EXPECT_EQ(ui.messages()[0].title, kInvalid);
    EXPECT_EQ(ui.messages()[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(ui.messages()[0].text, QStringLiteral("Settings file partially or wholly invalid or out-of-date."));
    EXPECT_TRUE(w->optBMP->isChecked());
    EXPECT_EQ(text("txbImageFile(0)"), QStringLiteral("/d/b.bmp"));
    EXPECT_EQ(w->lngBackColor, frmMain::kGreyWindowColour);
    EXPECT_FALSE(w->chkDisplayInBrowser->isChecked());  // line 12 applied
    EXPECT_TRUE(w->optHorizontal->isChecked());         // line 13 missing
    EXPECT_EQ(w->strSettingsFile, path);                // kept after a failed load
}

TEST_F(Settings, FileEndingAmongThePathsShowsWhatItRead) {
    const QString path = file(QStringLiteral("six.velta"));
    WriteAll(path, "#TRUE#\r\n#TRUE#\r\n\"0\"\r\n\"1\"\r\n\"/d/a.txt\"\r\n\"/d/b.png\"\r\n");
    w->txbImageFile[1]->setText(QStringLiteral("/d/old-stego.png"));
    load(path);
    ASSERT_EQ(ui.messages().size(), 1);
    EXPECT_EQ(text("txbMessageFile"), QStringLiteral("/d/a.txt"));
    EXPECT_EQ(text("txbImageFile(0)"), QStringLiteral("/d/b.png"));
    click(QStringLiteral("optExtract"));
    click(QStringLiteral("optHide"));
    EXPECT_EQ(text("txbMessageFile"), QStringLiteral("/d/a.txt"));  // not undone by a switch
}

TEST_F(Settings, ColourOtherThanGreyLoadsAsTheDefaultGreen) {
    w->Form_DblClick();
    ASSERT_EQ(w->lngBackColor, frmMain::kGreyWindowColour);
    const QString path = file(QStringLiteral("red.velta"));
    WriteAll(path,
             "#TRUE#\r\n#TRUE#\r\n\"0\"\r\n\"1\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n255\r\n\"1\"\r\n#TRUE#\r\n");
    load(path);
    EXPECT_TRUE(ui.messages().isEmpty());
    EXPECT_EQ(w->lngBackColor, frmMain::kDefaultWindowColour);
    EXPECT_EQ(w->palette().color(QPalette::Window), QColor(185, 238, 168));
}

TEST_F(Settings, MissingFileIsReportedAsInvalid) {
    load(file(QStringLiteral("gone.velta")));
    ASSERT_EQ(ui.messages().size(), 1);
    EXPECT_EQ(ui.messages()[0].title, kInvalid);
}

TEST_F(Settings, OverwriteQuestionNoWritesNothing) {
    const QString path = file(QStringLiteral("old.velta"));
    WriteAll(path, "keep me");
    w->txbMessageFile->setText(QStringLiteral("/d/a.txt"));
    ui.answerFileDialog(path);
    ui.answerQuestion(MessageAnswer::No, QStringLiteral("Confirm overwrite of file"));
    EXPECT_FALSE(w->cmdSaveState_Click(0));
    EXPECT_EQ(ReadAll(path), QByteArray("keep me"));
    EXPECT_EQ(w->strSettingsFile, QString());
    EXPECT_EQ(ui.messages()[0].text, QStringLiteral("The settings file ") + path +
                                         QStringLiteral("\r\nalready exists and will be overwritten.  Is this OK?"));
    ui.answerFileDialog(path);
    ui.answerQuestion(MessageAnswer::Yes, QStringLiteral("Confirm overwrite of file"));
    EXPECT_TRUE(w->cmdSaveState_Click(0));
    EXPECT_TRUE(ReadAll(path).startsWith("#TRUE#\r\n"));
    // Without the warning, no question.
    w->chkWarnOnOverwrite->setChecked(false);
    ui.answerFileDialog(path);
    EXPECT_TRUE(w->cmdSaveState_Click(0));
}

TEST_F(Settings, CancelledDialogsNeitherSaveNorReload) {
    const QString path = file(QStringLiteral("job.velta"));
    w->txbMessageFile->setText(QStringLiteral("/d/a.txt"));
    ui.answerFileDialog(path);
    ASSERT_TRUE(w->cmdSaveState_Click(0));
    const QByteArray saved = ReadAll(path);
    w->txbMessageFile->setText(QStringLiteral("/d/newer entry.txt"));
    ui.answerFileDialog(QString());
    EXPECT_FALSE(w->cmdSaveState_Click(0));
    ui.answerFileDialog(QString());
    EXPECT_FALSE(w->cmdSaveState_Click(1));
    EXPECT_EQ(ReadAll(path), saved);
    EXPECT_EQ(text("txbMessageFile"), QStringLiteral("/d/newer entry.txt"));
    EXPECT_EQ(w->strSettingsFile, path);  // still remembered for the next start
}

TEST_F(Settings, QuitWhoseSaveIsCancelledStays) {
    w->txbMessageFile->setText(QStringLiteral("/d/a.txt"));
    click(QStringLiteral("optExtract"));
    click(QStringLiteral("optHide"));
    ui.answerQuestion(MessageAnswer::Yes, QStringLiteral("Quit"));
    ui.answerFileDialog(QString());
    EXPECT_FALSE(w->cmdQuit_Click());
    EXPECT_TRUE(QFileInfo(w->strVeltaFolder).isDir());
}

TEST_F(Settings, SaveErrorIsShownAndQuitStays) {
    w->txbMessageFile->setText(QStringLiteral("/d/a.txt"));
    click(QStringLiteral("optExtract"));
    ui.answerQuestion(MessageAnswer::Yes, QStringLiteral("Quit"));
    ui.answerFileDialog(file(QStringLiteral("no-such-folder/job.velta")));
    EXPECT_FALSE(w->cmdQuit_Click());
    ASSERT_EQ(ui.messages().size(), 2);
    EXPECT_EQ(ui.messages()[1].title, QStringLiteral("Save settings"));
    EXPECT_TRUE(ui.messages()[1].text.startsWith(QStringLiteral("Error when attempting to save the settings: ")));
}

TEST_F(Settings, SavedAtQuitRestoredAtTheNextStartOnce) {
    w->txbMessageFile->setText(QStringLiteral("/d/a.txt"));
    w->txbImageFile[1]->setText(QStringLiteral("/d/s.png"));
    click(QStringLiteral("optExtract"));
    const QString path = file(QStringLiteral("at-quit.velta"));
    ui.answerQuestion(MessageAnswer::Yes, QStringLiteral("Quit"));
    ui.answerFileDialog(path);
    ASSERT_TRUE(w->cmdQuit_Click());
    EXPECT_EQ(QSettings(QSettings::NativeFormat, QSettings::UserScope, "Brannock Works", "VELTA")
                  .value("Cnfg").toString(),
              path);
    ASSERT_TRUE(ReadAll(path).startsWith("#FALSE#\r\n#TRUE#\r\n")) << ReadAll(path).constData();
    ui.clearRecord();
    w.reset();
    w = std::make_unique<frmMain>(ui);
    w->launcher = [](const QString &) { return true; };
    ASSERT_TRUE(w->Form_Load());
    EXPECT_EQ(ui.titles(), QStringList());
    EXPECT_TRUE(w->optExtract->isChecked());
    EXPECT_EQ(w->astrModeFields[0][2], QStringLiteral("/d/s.png"));
    EXPECT_EQ(w->strSettingsFile, path);
    EXPECT_EQ(QSettings(QSettings::NativeFormat, QSettings::UserScope, "Brannock Works", "VELTA")
                  .value("Cnfg").toString(),
              QString());
}

TEST_F(Settings, InvalidFileNamedAtStartIsReportedAndForgotten) {
    const QString path = file(QStringLiteral("bad.velta"));
    WriteAll(path, "#TRUE#\r\n");
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "Brannock Works", "VELTA").setValue("Cnfg", path);
    quit();
    w.reset();
    w = std::make_unique<frmMain>(ui);
    w->launcher = [](const QString &) { return true; };
    // The quit above stored an empty "Cnfg"; name the file again.
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "Brannock Works", "VELTA").setValue("Cnfg", path);
    ui.clearRecord();
    ASSERT_TRUE(w->Form_Load());
    EXPECT_EQ(ui.titles(), QStringList{kInvalid});
    EXPECT_EQ(QSettings(QSettings::NativeFormat, QSettings::UserScope, "Brannock Works", "VELTA")
                  .value("Cnfg").toString(),
              QString());
}

}  // namespace
}  // namespace velta::test
