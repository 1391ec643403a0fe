#pragma once
// The workflow's dialogs answered from command-line flags. Every box is
// printed on standard error; a question is answered Yes only when its flag
// was given, otherwise it becomes a refusal that names the flag.
#include <QString>
#include <QStringList>

#include "driver/ui_port.h"

namespace velta::cli {

class ConsoleUiPort : public UiPort {
public:
    ConsoleUiPort(bool force, bool overwrite) : force_(force), overwrite_(overwrite) {}

    MessageAnswer showMessage(const QString &text, MessageIcon icon, MessageButtons buttons,
                              const QString &title) override;
    // No dialogs and no waits on a terminal.
    QString openFileName(const QString &title, const QString &filter) override;
    QString saveFileName(const QString &title, const QString &filter) override;
    void pause(int milliseconds) override;

    // Titles of the boxes shown, in order (the outcome of a run is read from them).
    const QStringList &titles() const { return titles_; }
    bool refused() const { return refused_; }

private:
    bool force_;
    bool overwrite_;
    bool refused_ = false;
    QStringList titles_;
};

// Writes `text` to standard error, line breaks as "\n", ending in one.
void PrintError(const QString &text);

// The titles of the workflow's boxes that the front end reacts to.
inline const QString kTitleDone = QStringLiteral("Done");
inline const QString kTitleFileExists = QStringLiteral("File exists");
inline const QString kTitleProbablyTooSmall = QStringLiteral("Image file probably too small");
inline const QString kTitleUnsuitable = QStringLiteral("Image unsuitable");

}  // namespace velta::cli
