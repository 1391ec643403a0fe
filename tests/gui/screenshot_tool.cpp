// Not a test: scripts/screenshots runs it to save pictures of the windows
// (hide mode, the key window with a key, the window after a real hide with
// its report, the help window and the browser page as Chromium draws it) for
// a person to look at.
#include <QPixmap>
#include <QTimer>

#include "frmView.h"
#include "support/headless_chromium.h"

#include "gui_fixture.h"

namespace velta::test {
namespace {

TEST_F(MainWindowTest, DISABLED_SaveScreenshots) {
    const QString dir = qEnvironmentVariable("VELTA_SCREENSHOT_DIR");
    ASSERT_FALSE(dir.isEmpty()) << "set VELTA_SCREENSHOT_DIR";
    QDir().mkpath(dir);
    w->txbMessageFile->setText(QStringLiteral("/home/user/Documents/notes for the trip.txt"));
    w->txbImageFile[0]->setText(QStringLiteral("/home/user/Pictures/kodim03-colour.png"));
    w->txbImageFile[1]->setText(QStringLiteral("/home/user/Pictures/kodim03-stego.png"));
    w->setReportText(QStringLiteral("Key specified.\r\nOperation: Hide data\r\n"));
    w->raise();
    w->activateWindow();
    WaitFor([] { return false; }, 700);  // let the timer and the painting catch up
    EXPECT_TRUE(w->grab().save(dir + QStringLiteral("/main-hide.png")));
    click(QStringLiteral("optExtract"));
    WaitFor([] { return false; }, 700);
    EXPECT_TRUE(w->grab().save(dir + QStringLiteral("/main-extract.png")));
    click(QStringLiteral("optHide"));
    QTimer::singleShot(0, w.get(), [&] {
        frmKey &k = *w->keyWindow;
        WaitFor([&] { return k.isVisible(); });
        k.txbKey->setText(QStringLiteral("correct horse battery staple 42"));
        WaitFor([] { return false; }, 300);
        EXPECT_TRUE(k.grab().save(dir + QStringLiteral("/key.png")));
        k.cmdCancel->click();
    });
    click(QStringLiteral("cmdKey"));
}

// Draws `page` with headless Chromium into `png`, while the images it shows
// still exist (the program deletes the page a moment later).
bool RenderPage(const QString &page, const QString &png) {
    return RunHeadlessChromium(page, {QStringLiteral("--hide-scrollbars"),
                                      QStringLiteral("--window-size=1280,720"),
                                      QStringLiteral("--screenshot=") + png});
}

TEST_F(MainWindowTest, DISABLED_SaveScreenshotsAfterHide) {
    const QString dir = qEnvironmentVariable("VELTA_SCREENSHOT_DIR");
    ASSERT_FALSE(dir.isEmpty()) << "set VELTA_SCREENSHOT_DIR";
    QDir().mkpath(dir);
    w->launcher = [&](const QString &page) {
        EXPECT_TRUE(RenderPage(page, dir + QStringLiteral("/browser-page.png")));
        launched.append(page);
        return true;
    };
    const QString original = file(QStringLiteral("kodim03 colour.png"));
    ASSERT_TRUE(QFile::copy(Corpus("kodim03-colour.png"), original));
    WriteAll(file(QStringLiteral("trip notes.txt")), SampleData(20000, 5));
    chooseHideFiles(file(QStringLiteral("trip notes.txt")), original,
                    file(QStringLiteral("kodim03 stego #1.png")));
    setKey(QStringLiteral("correct horse battery staple 42"));
    click(QStringLiteral("cmdPerformTheOperation"));
    ASSERT_FALSE(ui.messages().isEmpty());
    EXPECT_EQ(ui.messages().last().title, QStringLiteral("Done"));
    ASSERT_EQ(launched.size(), 1);
    w->raise();
    WaitFor([] { return false; }, 700);
    EXPECT_TRUE(w->grab().save(dir + QStringLiteral("/main-after-hide.png")));

    // The help window is modal: it is pictured and closed from inside its loop.
    QTimer::singleShot(0, w.get(), [&] {
        frmView *viewer = nullptr;
        WaitFor([&] {
            viewer = w->findChild<frmView *>(QStringLiteral("frmView"));
            return viewer && viewer->isVisible();
        });
        ASSERT_NE(viewer, nullptr);
        WaitFor([] { return false; }, 700);
        EXPECT_TRUE(viewer->grab().save(dir + QStringLiteral("/help.png")));
        viewer->close();
    });
    click(QStringLiteral("cmdHelp"));
}

}  // namespace
}  // namespace velta::test
