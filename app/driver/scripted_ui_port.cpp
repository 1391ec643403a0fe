#include "driver/scripted_ui_port.h"

namespace velta {

void ScriptedUiPort::answerQuestion(MessageAnswer answer, const QString &expected_title) {
    questions_.append({answer, expected_title});
}

void ScriptedUiPort::answerFileDialog(const QString &path) { files_.append(path); }

void ScriptedUiPort::fail(const QString &what) {
    unexpected_.append(what);
    if (onUnexpected) {
        onUnexpected(what);
    }
}

MessageAnswer ScriptedUiPort::showMessage(const QString &text, MessageIcon icon,
                                          MessageButtons buttons, const QString &title) {
    ShownMessage shown{text, icon, buttons, title, MessageAnswer::Ok};
    if (buttons != MessageButtons::Ok) {
        shown.answer = buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
        if (questions_.isEmpty()) {
            fail(QStringLiteral("unanswered question \"%1\": %2").arg(title, text));
        } else {
            const QueuedQuestion next = questions_.takeFirst();
            if (!next.title.isEmpty() && next.title != title) {
                fail(QStringLiteral("question \"%1\" came where \"%2\" was expected")
                         .arg(title, next.title));
            } else if (next.answer == MessageAnswer::Cancel &&
                       buttons != MessageButtons::YesNoCancel) {
                fail(QStringLiteral("Cancel queued for a Yes/No question \"%1\"").arg(title));
            } else if (next.answer == MessageAnswer::Ok) {
                fail(QStringLiteral("OK queued for a question \"%1\"").arg(title));
            } else {
                shown.answer = next.answer;
            }
        }
    }
    messages_.append(shown);
    return shown.answer;
}

QString ScriptedUiPort::fileDialog(bool save, const QString &title, const QString &filter) {
    ShownFileDialog shown{save, title, filter, QString()};
    if (files_.isEmpty()) {
        fail(QStringLiteral("unanswered file dialog \"%1\"").arg(title));
    } else {
        shown.answer = files_.takeFirst();
    }
    dialogs_.append(shown);
    return shown.answer;
}

QString ScriptedUiPort::openFileName(const QString &title, const QString &filter) {
    return fileDialog(false, title, filter);
}

QString ScriptedUiPort::saveFileName(const QString &title, const QString &filter) {
    return fileDialog(true, title, filter);
}

void ScriptedUiPort::pause(int milliseconds) {
    pauses_.append(milliseconds);
    if (onPause) {
        onPause(milliseconds);
    }
}

QStringList ScriptedUiPort::titles() const {
    QStringList out;
    for (const ShownMessage &m : messages_) {
        out.append(m.title);
    }
    return out;
}

void ScriptedUiPort::clearRecord() {
    messages_.clear();
    dialogs_.clear();
    pauses_.clear();
    unexpected_.clear();
}

}  // namespace velta
