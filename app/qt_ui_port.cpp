#include "qt_ui_port.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>

namespace velta {

MessageAnswer QtUiPort::showMessage(const QString &text, MessageIcon icon, MessageButtons buttons,
                                    const QString &title) {
    QMessageBox box(owner_);
    box.setWindowTitle(title);
    // The texts carry CR LF line breaks; a label wants LF.
    box.setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    switch (icon) {
        case MessageIcon::Critical: box.setIcon(QMessageBox::Critical); break;
        case MessageIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
        case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
        case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    }
    switch (buttons) {
        case MessageButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
        case MessageButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setEscapeButton(QMessageBox::No);
            break;
        case MessageButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Yes: return MessageAnswer::Yes;
        case QMessageBox::No: return MessageAnswer::No;
        case QMessageBox::Cancel: return MessageAnswer::Cancel;
        default:
            return buttons == MessageButtons::Ok      ? MessageAnswer::Ok
                   : buttons == MessageButtons::YesNo ? MessageAnswer::No
                                                      : MessageAnswer::Cancel;
    }
}

QString QtUiPort::openFileName(const QString &title, const QString &filter) {
    return QFileDialog::getOpenFileName(owner_, title, QString(), filter, nullptr,
                                        QFileDialog::ReadOnly);
}

QString QtUiPort::saveFileName(const QString &title, const QString &filter) {
    // The overwrite question is the program's own (it honours "Warn before
    // overwrite").
    return QFileDialog::getSaveFileName(owner_, title, QString(), filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

void QtUiPort::pause(int milliseconds) {
    // Paint events only: the user's clicks wait, as during a plain sleep.
    const QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 50);
        QThread::msleep(static_cast<unsigned long>(qMin<qint64>(20, deadline.remainingTime())));
    }
}

}  // namespace velta
