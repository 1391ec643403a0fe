// Not a test: scripts/screenshots runs it to save pictures of the windows
// (hide mode, and the key window with a key) for a person to look at.
#include <QPixmap>
#include <QTimer>

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

}  // namespace
}  // namespace velta::test
