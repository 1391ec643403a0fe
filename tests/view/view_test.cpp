// The help viewer: what it shows of a file, its cut at the limit, its two
// error messages, its layout rule, and the help button's placement.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "driver/scripted_ui_port.h"
#include "frmView.h"
#include "twips.h"

namespace velta {
namespace {

class ViewerTest : public ::testing::Test {
protected:
    QString writeFile(const QString &name, const QByteArray &bytes) {
        const QString path = dir_.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    // Program texts as velta.dat might hold them.
    static QString Text(int16_t number) {
        switch (number) {
        case 184: return QStringLiteral("Close it");
        case 21: return QStringLiteral("The user manual is also online:");
        case 22: return QStringLiteral("Open it in your web browser.");
        case 26: return QStringLiteral("Velta help");
        default: return QString();
        }
    }
    QTemporaryDir dir_;
    ScriptedUiPort ui_;
    ProgramTextFn texts_ = &Text;
};

// A text of exactly n characters with a recognisable first and last line.
QByteArray TextOf(int n) {
    QByteArray text(n, 'x');
    for (int i = 79; i < n; i += 80) text[i] = '\n';
    text[0] = 'A';
    text[n - 1] = 'Z';
    return text;
}

struct CutCase {
    int length;
    bool cut;
};

class ViewerCutTest : public ViewerTest, public ::testing::WithParamInterface<CutCase> {};

TEST_P(ViewerCutTest, ShowsWholeBelowTheLimitAndCutsBetweenTheNotesFromIt) {
    const CutCase c = GetParam();
    const QByteArray text = TextOf(c.length);
    const ViewerContent content = LoadViewerText(writeFile(QStringLiteral("t.txt"), text));
    ASSERT_TRUE(content.ok);
    if (!c.cut) {
        EXPECT_EQ(content.text, QString::fromLatin1(text));
        return;
    }
    const QString head = ViewerHeadNote();
    const QString tail = ViewerTailNote();
    ASSERT_TRUE(content.text.startsWith(head));
    ASSERT_TRUE(content.text.endsWith(QStringLiteral("\n\n") + tail));
    const qsizetype shown = content.text.size() - head.size() - tail.size() - 2;
    EXPECT_EQ(content.text.size(), kViewerTextLimit + 2);
    EXPECT_EQ(content.text.mid(head.size(), shown), QString::fromLatin1(text.left(shown)));
}

INSTANTIATE_TEST_SUITE_P(AtTheLimit, ViewerCutTest,
                         ::testing::Values(CutCase{1, false}, CutCase{65529, false},
                                           CutCase{65530, true}, CutCase{65531, true},
                                           CutCase{3 * 65530, true}));

TEST_F(ViewerTest, NotesReadAsTheProgramWordsThem) {
    EXPECT_EQ(ViewerHeadNote(),
              QStringLiteral("NOTE: This file is too large to display entirely in this textbox.\n"
                             "To view the entire contents of the file load it into NotePad,\n"
                             "WordPad or some other text editor.\n\n"));
    EXPECT_EQ(ViewerTailNote(),
              QStringLiteral("NOTE: Entire contents of file have not been displayed.\n"));
}

TEST_F(ViewerTest, HugeFileIsCutAfterReadingOnlyItsHead) {
    // 20 MB of text: the cut text is the same as for a file just past the limit.
    QByteArray big = TextOf(20 * 1024 * 1024);
    const ViewerContent content = LoadViewerText(writeFile(QStringLiteral("big.txt"), big));
    ASSERT_TRUE(content.ok);
    EXPECT_EQ(content.text.size(), kViewerTextLimit + 2);
}

TEST_F(ViewerTest, WindowsLineEndsAndUtf8ShowAsText) {
    const ViewerContent content = LoadViewerText(writeFile(
        QStringLiteral("crlf.txt"), QByteArray("caf\xc3\xa9 \xe2\x82\xac\r\nline two\rthree\r\n")));
    ASSERT_TRUE(content.ok);
    EXPECT_EQ(content.text, QStringLiteral("caf\u00e9 \u20ac\nline two\nthree\n"));
}

TEST_F(ViewerTest, CutNeverSplitsACharacterOutsideTheBasicPlane) {
    // U+1F600 is two UTF-16 units; put one across the cut position.
    const QString head = ViewerHeadNote();
    const QString tail = ViewerTailNote();
    const int n = kViewerTextLimit - static_cast<int>(head.size() + tail.size());
    QByteArray text(n - 1, 'a');
    text += "\xf0\x9f\x98\x80";
    text += QByteArray(1000, 'b');
    const ViewerContent content = LoadViewerText(writeFile(QStringLiteral("e.txt"), text));
    ASSERT_TRUE(content.ok);
    const QString shown = content.text.mid(head.size());
    EXPECT_TRUE(shown.startsWith(QString(n - 1, QLatin1Char('a')) + QStringLiteral("\n\n")));
}

struct ErrorCase {
    const char *name;
    const char *title;
    const char *text;
};

class ViewerErrorTest : public ViewerTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(ViewerErrorTest, ShowsItsMessageAndHides) {
    const ErrorCase c = GetParam();
    QString path;
    const QString name = QString::fromLatin1(c.name);
    if (name == QLatin1String("empty")) path = writeFile(name, QByteArray());
    if (name == QLatin1String("missing")) path = dir_.filePath(name);
    if (name == QLatin1String("folder")) path = dir_.path();

    frmView viewer(ui_, texts_);
    viewer.strFilename = path;
    viewer.show();
    EXPECT_FALSE(viewer.Form_Activate());
    EXPECT_FALSE(viewer.blnFileDisplayed);
    EXPECT_FALSE(viewer.isVisible());
    ASSERT_EQ(ui_.messages().size(), 1);
    const ShownMessage &m = ui_.messages().front();
    EXPECT_EQ(m.title, QString::fromLatin1(c.title));
    EXPECT_EQ(m.text, QString::fromLatin1(c.text));
    EXPECT_EQ(m.icon, MessageIcon::Exclamation);
    EXPECT_EQ(m.buttons, MessageButtons::Ok);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ViewerErrorTest,
    ::testing::Values(ErrorCase{"empty", "Error", "File is empty!"},
                      ErrorCase{"missing", "Error reading file", "Error 53.  File not found"},
                      ErrorCase{"folder", "Error reading file", "Error 75.  Path/File access error"}),
    [](const ::testing::TestParamInfo<ErrorCase> &param) { return std::string(param.param.name); });

TEST_F(ViewerTest, ReopeningShowsTheFileAgainFromItsStart) {
    frmView viewer(ui_, texts_);
    viewer.strFilename = writeFile(QStringLiteral("a.txt"), TextOf(5000));
    viewer.show();
    ASSERT_TRUE(viewer.Form_Activate());
    viewer.txbText1->moveCursor(QTextCursor::End);
    viewer.cmdClose->click();
    EXPECT_FALSE(viewer.isVisible());
    viewer.show();
    ASSERT_TRUE(viewer.Form_Activate());
    EXPECT_TRUE(viewer.blnFileDisplayed);
    EXPECT_EQ(viewer.txbText1->textCursor().position(), 0);
    EXPECT_TRUE(viewer.txbText1->isReadOnly());
    EXPECT_EQ(viewer.cmdClose->text(), QStringLiteral("Close it"));
    EXPECT_TRUE(ui_.messages().isEmpty());
}

TEST_F(ViewerTest, ResizingKeepsCloseBelowTheTextAndCentred) {
    frmView viewer(ui_, texts_);
    viewer.show();
    const int gap = Px(100, &viewer);
    for (const QSize size : {QSize(900, 600), QSize(500, 300), QSize(1200, 800)}) {
        viewer.resize(size);
        QCoreApplication::processEvents();
        const QRect text = viewer.txbText1->geometry();
        const QRect close = viewer.cmdClose->geometry();
        EXPECT_EQ(close.top(), text.bottom() + 1 + gap) << size.width();
        EXPECT_LE(qAbs(close.center().x() - viewer.width() / 2), 1) << size.width();
        EXPECT_EQ(text.width(), viewer.width() - Px(320, &viewer));
    }
}

TEST(HelpPlacement, StaysOnTheScreenNearTheMainWindow) {
    const QRect screen(0, 0, 1280, 800);
    const QSize preferred(778, 444);
    const QSize minimum(200, 160);
    // Centred over a main window in the middle of the screen.
    const QRect main(200, 100, 800, 500);
    const QRect r = HelpViewerPlacement(main, screen, preferred, minimum);
    EXPECT_EQ(r.size(), preferred);
    EXPECT_EQ(r.center(), main.center());
    // A main window half off the right and bottom edges: pushed back inside.
    const QRect off = HelpViewerPlacement(QRect(1100, 700, 800, 500), screen, preferred, minimum);
    EXPECT_TRUE(screen.contains(off)) << off.x() << "," << off.y();
    EXPECT_TRUE(off.intersects(QRect(1100, 700, 800, 500)));
    // A screen smaller than the viewer: the viewer shrinks to it.
    const QRect small = HelpViewerPlacement(main, QRect(0, 0, 640, 400), preferred, minimum);
    EXPECT_TRUE(QRect(0, 0, 640, 400).contains(small));
    // A screen that cannot hold even the smallest viewer: no place.
    EXPECT_TRUE(HelpViewerPlacement(main, QRect(0, 0, 150, 100), preferred, minimum).isEmpty());
}

TEST_F(ViewerTest, HelpShowsTheFileModallyInItsOwnWindowAndKeepsIt) {
    QWidget main;
    main.resize(800, 500);
    main.show();
    const QString help = writeFile(QStringLiteral("velta_help.txt"), "VELTA USER GUIDE\n");
    for (int round = 0; round < 2; ++round) {
        QTimer::singleShot(0, [&main] {
            auto *viewer = main.findChild<frmView *>(QStringLiteral("frmView"));
            ASSERT_NE(viewer, nullptr);
            EXPECT_TRUE(viewer->isModal());
            EXPECT_EQ(viewer->windowTitle(), QStringLiteral("Help for Velta"));
            EXPECT_EQ(viewer->txbText1->toPlainText(), QStringLiteral("VELTA USER GUIDE\n"));
            viewer->cmdClose->click();
        });
        EXPECT_TRUE(ShowHelp(&main, ui_, texts_, QStringLiteral("https://example.org/manual"), help));
    }
    EXPECT_EQ(main.findChildren<frmView *>().size(), 1);
    EXPECT_TRUE(ui_.messages().isEmpty());
}

TEST_F(ViewerTest, MissingHelpFileGivesTheViewersMessageAndLeavesTheMainWindowUsable) {
    QWidget main;
    main.show();
    EXPECT_FALSE(ShowHelp(&main, ui_, texts_, QStringLiteral("https://example.org/manual"),
                          dir_.filePath(QStringLiteral("none.txt"))));
    ASSERT_EQ(ui_.messages().size(), 1);
    EXPECT_EQ(ui_.messages().front().text, QStringLiteral("Error 53.  File not found"));
    EXPECT_TRUE(main.isEnabled());
}

TEST_F(ViewerTest, ShippedHelpFileFitsTheViewerWhole) {
    const ViewerContent content =
        LoadViewerText(QStringLiteral(VELTA_SOURCE_DIR "/app/velta_help.txt"));
    ASSERT_TRUE(content.ok);
    EXPECT_LT(content.text.size(), kViewerTextLimit);
    EXPECT_FALSE(content.text.contains(QChar::ReplacementCharacter));
}

}  // namespace
}  // namespace velta

int main(int argc, char **argv) {
    // Test discovery runs the executable without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
