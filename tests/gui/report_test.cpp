// The report pane: the append rule, trimming, the Clear and Copy buttons,
// and the help button.
#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QLocale>
#include <QScreen>
#include <QTimer>

#include "frmView.h"
#include "gui_fixture.h"

namespace velta::test {
namespace {

TEST_F(MainWindowTest, OutputIfNotAlreadyAppendsALineOnce) {
    const QString line = QStringLiteral("Key specified.\r\n");
    w->OutputIfNotAlready(line);
    w->OutputIfNotAlready(line);
    EXPECT_EQ(w->reportText(), line);
    w->OutputIfNotAlready(QStringLiteral("Other.\r\n"));
    w->OutputIfNotAlready(line);
    EXPECT_EQ(w->reportText(), line + QStringLiteral("Other.\r\n") + line);
    EXPECT_EQ(w->txbReport->textCursor().position(), w->txbReport->toPlainText().size());
}

struct Trim {
    const char *name;
    const char *written;
    const char *shown;
};

class ReportTrimming : public MainWindowTest, public ::testing::WithParamInterface<Trim> {};

TEST_P(ReportTrimming, OnlyAReportStartingWithABlankIsTrimmed) {
    w->setReportText(QString::fromLatin1(GetParam().written));
    EXPECT_EQ(w->reportText(), QString::fromLatin1(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReportTrimming,
    ::testing::Values(Trim{"leading_break", "\r\nText\r\n", "Text"},
                      Trim{"tabs_and_spaces", " \t Text \t\r\n\r\n", "Text"},
                      Trim{"letter_first_keeps_final_break", "Text\r\n", "Text\r\n"},
                      Trim{"only_blanks", " \r\n ", ""}),
    [](const ::testing::TestParamInfo<Trim> &p) { return std::string(p.param.name); });

TEST_F(MainWindowTest, CopyIsEnabledAtOnceAbove40CharactersTheTimerForAny) {
    QAbstractButton *copy = child<QAbstractButton>("cmdCopyToClipboard");
    QAbstractButton *clear = child<QAbstractButton>("cmdClearReport");
    // 38 letters and a line break: 40 characters as the pane counts them.
    w->setReportText(QString(38, QLatin1Char('x')) + QStringLiteral("\r\n"));
    EXPECT_TRUE(clear->isEnabled());
    EXPECT_FALSE(copy->isEnabled());
    EXPECT_TRUE(WaitFor([copy] { return copy->isEnabled(); }, 2000));  // the next tick
    w->cmdClearReport_Click();
    EXPECT_FALSE(clear->isEnabled());
    w->setReportText(QString(39, QLatin1Char('x')) + QStringLiteral("\r\n"));
    EXPECT_TRUE(copy->isEnabled());
}

TEST_F(MainWindowTest, CopyPutsTheWholeReportOnTheClipboardAndConfirms) {
    const QString report = QStringLiteral("Operation: Hide data\r\nData file: /d/a.txt\r\n");
    w->setReportText(report);
    QApplication::clipboard()->setText(QStringLiteral("something else"));
    click(QStringLiteral("cmdCopyToClipboard"));
    EXPECT_EQ(QApplication::clipboard()->text(), report);
    ASSERT_EQ(ui.messages().size(), 1);
    EXPECT_EQ(ui.messages()[0].title, QStringLiteral("Copy"));
    EXPECT_EQ(ui.messages()[0].icon, MessageIcon::Information);
    EXPECT_EQ(ui.messages()[0].text,
              QStringLiteral("The contents of the report window have been copied to the clipboard.\r\n"
                             "You can paste them from there into an application such as Notepad."));
    EXPECT_EQ(w->reportText(), report);
}

TEST_F(MainWindowTest, ExtractReportGroupsTheSizes) {
    const QString stego = file(QStringLiteral("s.png"));
    const QString data = file(QStringLiteral("d.txt"));
    WriteAll(stego, QByteArray(1500, 'x'));
    WriteAll(data, QByteArray(1234567, 'y'));
    click(QStringLiteral("optExtract"));
    click(QStringLiteral("optBMP"));
    w->txbImageFile[1]->setText(stego);
    w->txbMessageFile->setText(data);
    w->DisplayReport();
    QLocale grouped;
    grouped.setNumberOptions(grouped.numberOptions() & ~QLocale::OmitGroupSeparator);
    const QString sep = grouped.groupSeparator();
    ASSERT_FALSE(sep.isEmpty());
    EXPECT_EQ(w->reportText(),
              QStringLiteral("Operation: Extract data\r\nStego image file: ") + stego +
                  QStringLiteral("\r\nStego image file size: 1") + sep + QStringLiteral("500 bytes\r\nData file: ") +
                  data + QStringLiteral("\r\nData file size: 1") + sep + QStringLiteral("234") + sep +
                  QStringLiteral("567 bytes\r\nThe data file was successfully extracted from the BMP image file.\r\n"));
}

TEST_F(MainWindowTest, HelpOpensTheGuideOverTheMainWindowWithinTheScreen) {
    w->move(0, 0);
    frmView *seen = nullptr;
    QRect place;
    QTimer::singleShot(0, w.get(), [&] {
        WaitFor([&] {
            seen = w->findChild<frmView *>(QStringLiteral("frmView"));
            return seen && seen->isVisible();
        });
        if (seen) {
            place = seen->geometry();
            seen->cmdClose->click();
        }
    });
    click(QStringLiteral("cmdHelp"));
    ASSERT_NE(seen, nullptr);
    EXPECT_TRUE(ui.messages().isEmpty()) << ui.titles().join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(seen->windowTitle(), QStringLiteral("Help for Velta"));
    EXPECT_TRUE(seen->txbText1->toPlainText().size() > 1000);
    EXPECT_TRUE(w->screen()->availableGeometry().contains(place));
    EXPECT_TRUE(place.intersects(w->frameGeometry()));
}

}  // namespace
}  // namespace velta::test
