#pragma once
// A UiPort that answers from a queue and records everything shown, for
// tests and unattended runs. Boxes with only an OK button need no answer;
// every question and every file dialog takes the next queued answer, used
// once. A prompt with no answer queued (or of another kind than queued) is
// recorded in unexpected() and handed to the failure hook, then answered
// the safe way (No, Cancel, no file), so a test fails instead of blocking.
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "driver/ui_port.h"

namespace velta {

struct ShownMessage {
    QString text;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    QString title;
    MessageAnswer answer = MessageAnswer::Ok;
};

struct ShownFileDialog {
    bool save = false;
    QString title;
    QString filter;
    QString answer;
};

class ScriptedUiPort : public UiPort {
public:
    // Queue the answer to the next question; `expected_title`, when given,
    // must match the question's title.
    void answerQuestion(MessageAnswer answer, const QString &expected_title = QString());
    // Queue the file name the next file dialog returns (empty: cancelled).
    void answerFileDialog(const QString &path);

    MessageAnswer showMessage(const QString &text, MessageIcon icon, MessageButtons buttons,
                              const QString &title) override;
    QString openFileName(const QString &title, const QString &filter) override;
    QString saveFileName(const QString &title, const QString &filter) override;
    void pause(int milliseconds) override;

    const QList<ShownMessage> &messages() const { return messages_; }
    const QList<ShownFileDialog> &fileDialogs() const { return dialogs_; }
    const QList<int> &pauses() const { return pauses_; }
    QStringList titles() const;
    const QStringList &unexpected() const { return unexpected_; }
    // Answers queued but never asked for.
    int pendingAnswers() const { return static_cast<int>(questions_.size() + files_.size()); }
    void clearRecord();

    // Called with a description of each unexpected prompt (a test passes
    // ADD_FAILURE here).
    std::function<void(const QString &)> onUnexpected;
    // Called after each pause, e.g. to let a test look at the window then.
    std::function<void(int)> onPause;

private:
    struct QueuedQuestion {
        MessageAnswer answer;
        QString title;
    };
    void fail(const QString &what);
    QString fileDialog(bool save, const QString &title, const QString &filter);

    QList<QueuedQuestion> questions_;
    QStringList files_;
    QList<ShownMessage> messages_;
    QList<ShownFileDialog> dialogs_;
    QList<int> pauses_;
    QStringList unexpected_;
};

}  // namespace velta
