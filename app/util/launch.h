#pragma once
// Opening documents and web pages with their associated application.
#include <QString>
#include <QUrl>
#include <memory>

namespace velta {
class UiPort;

// Result codes kept from the original platform's shell.
constexpr int kLaunchFileNotFound = 2;
constexpr int kLaunchOutOfMemory = 8;
constexpr int kLaunchNoAssociation = 31;
constexpr int kLaunchAccepted = 42;  // any value above 32 is success

class Launcher {
public:
    virtual ~Launcher() = default;
    // True when the desktop accepted the request.
    virtual bool openUrl(const QUrl &url) = 0;
};

// QDesktopServices::openUrl.
class DesktopLauncher : public Launcher {
public:
    bool openUrl(const QUrl &url) override;
};

// The launcher in use (a DesktopLauncher unless one was installed). Tests
// install a recording one; nullptr restores the desktop launcher.
Launcher &CurrentLauncher();
void SetLauncher(std::shared_ptr<Launcher> launcher);

// A local path or a web address ("scheme:" prefix) as a URL.
QUrl TargetUrl(const QString &target);
// > 32 accepted; 2 a local file that does not exist; 31 refused.
int LaunchTarget(const QString &target);

bool OpenDocument(const QString &path, bool showError, UiPort *ui);
void OpenWebPage(const QString &target, UiPort *ui);
// The message OpenWebPage shows for result code r.
QString WebPageErrorText(const QString &target, int r);

}  // namespace velta
