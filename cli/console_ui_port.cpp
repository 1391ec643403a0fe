#include "console_ui_port.h"

#include <cstdio>

namespace velta::cli {

void PrintError(const QString &text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    while (t.endsWith(QLatin1Char('\n'))) {
        t.chop(1);
    }
    const QByteArray bytes = t.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

MessageAnswer ConsoleUiPort::showMessage(const QString &text, MessageIcon /*icon*/,
                                         MessageButtons buttons, const QString &title) {
    titles_ << title;
    PrintError(text);
    if (buttons == MessageButtons::Ok) {
        return MessageAnswer::Ok;
    }
    const bool yes = title == kTitleFileExists ? overwrite_
                     : title == kTitleProbablyTooSmall ? force_
                                                      : false;
    if (yes) {
        PrintError(QStringLiteral("Yes (%1).").arg(title == kTitleFileExists
                                                       ? QStringLiteral("--overwrite")
                                                       : QStringLiteral("--force")));
        return MessageAnswer::Yes;
    }
    refused_ = true;
    if (title == kTitleFileExists) {
        PrintError(QStringLiteral("No: give --overwrite to replace it."));
    } else if (title == kTitleProbablyTooSmall) {
        PrintError(QStringLiteral("No: give --force to proceed anyway."));
    } else {
        PrintError(QStringLiteral("No."));
    }
    return MessageAnswer::No;
}

QString ConsoleUiPort::openFileName(const QString &, const QString &) { return QString(); }
QString ConsoleUiPort::saveFileName(const QString &, const QString &) { return QString(); }
void ConsoleUiPort::pause(int) {}

}  // namespace velta::cli
