#include "support/headless_chromium.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

namespace velta::test {

QString ChromiumPath() { return QStandardPaths::findExecutable(QStringLiteral("chromium")); }

bool RunHeadlessChromium(const QString &page, const QStringList &extra, QByteArray *output) {
    const QString chromium = ChromiumPath();
    QTemporaryDir profile;
    if (chromium.isEmpty() || !profile.isValid()) {
        return false;
    }
    QProcess p;
    // Its first run writes into HOME; keep that in the throwaway profile too.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), profile.path());
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::SeparateChannels);
    QStringList args = {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"),
                        QStringLiteral("--disable-gpu"), QStringLiteral("--no-first-run"),
                        QStringLiteral("--disable-background-networking"),
                        QStringLiteral("--disable-component-update"),
                        QStringLiteral("--disable-sync"),
                        QStringLiteral("--user-data-dir=") + profile.filePath(QStringLiteral("p"))};
    args << extra << QUrl::fromLocalFile(page).toString(QUrl::FullyEncoded);
    p.start(chromium, args);
    if (!p.waitForFinished(90000)) {
        p.kill();
        p.waitForFinished();
        return false;
    }
    if (output) {
        *output = p.readAllStandardOutput();
    }
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

}  // namespace velta::test
