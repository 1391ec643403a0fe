#include "util/launch.h"

#include "driver/ui_port.h"
#include "util/fileutil.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QRegularExpression>

namespace velta {
namespace {

std::shared_ptr<Launcher> &Installed() {
    static std::shared_ptr<Launcher> launcher;
    return launcher;
}

}  // namespace

bool DesktopLauncher::openUrl(const QUrl &url) { return QDesktopServices::openUrl(url); }

Launcher &CurrentLauncher() {
    static DesktopLauncher desktop;
    return Installed() ? *Installed() : desktop;
}

void SetLauncher(std::shared_ptr<Launcher> launcher) { Installed() = std::move(launcher); }

QUrl TargetUrl(const QString &target) {
    // "http:", "https:", "mailto:", "file:" ...; a bare path is a local file.
    static const QRegularExpression kScheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    if (kScheme.match(target).hasMatch()) {
        return QUrl(target, QUrl::TolerantMode);
    }
    return QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath());
}

int LaunchTarget(const QString &target) {
    const QUrl url = TargetUrl(target);
    if (target.isEmpty() || !url.isValid()) {
        return kLaunchFileNotFound;
    }
    if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile())) {
        return kLaunchFileNotFound;
    }
    return CurrentLauncher().openUrl(url) ? kLaunchAccepted : kLaunchNoAssociation;
}

bool OpenDocument(const QString &path, bool showError, UiPort *ui) {
    if (LaunchTarget(path) > 32) {
        return true;
    }
    if (showError && ui != nullptr) {
        ui->showMessage(QStringLiteral("Error opening file ") + path +
                            QStringLiteral(".\r\nPerhaps the file extension is incorrect."),
                        MessageIcon::Exclamation, MessageButtons::Ok, QStringLiteral("Error"));
    }
    return false;
}

QString WebPageErrorText(const QString &target, int r) {
    QString text = QStringLiteral("Error launching web browser, error code =") +
                   QLatin1Char(' ') + QString::number(r) + QLatin1Char('.');
    QString hint;
    if (r == kLaunchNoAssociation) {
        hint = QStringLiteral("File extension '") + ExtensionOfPath(target, true) +
               QStringLiteral("' is not associated with any application program.");
    } else if (r == kLaunchOutOfMemory) {
        hint = QStringLiteral("Out of memory.");
    } else if (r == kLaunchFileNotFound) {
        hint = QStringLiteral("Please try once more.");
    }
    if (!hint.isEmpty()) {
        text += QStringLiteral("\r\n\r\n") + hint;
    }
    return text;
}

void OpenWebPage(const QString &target, UiPort *ui) {
    const int r = LaunchTarget(target);
    if (r > 32 || ui == nullptr) {
        return;
    }
    ui->showMessage(WebPageErrorText(target, r), MessageIcon::Exclamation, MessageButtons::Ok,
                    QStringLiteral("Cannot launch web browser"));
}

}  // namespace velta
