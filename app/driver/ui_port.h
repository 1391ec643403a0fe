#pragma once
// The one boundary between the workflow and the person at the screen:
// message boxes, file dialogs and pauses. The windows pass the Qt
// implementation (QtUiPort, app/qt_ui_port.h); tests and the command-line
// front end pass their own (ScriptedUiPort, driver/scripted_ui_port.h).
#include <QString>

namespace velta {

// Stop = Critical, exclamation = Warning, information = Information.
enum class MessageIcon { None, Critical, Exclamation, Information };
enum class MessageButtons { Ok, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Yes, No, Cancel };

class UiPort {
public:
    virtual ~UiPort() = default;

    // A modal message box; returns the button pressed (closing the box
    // counts as Cancel for Yes/No/Cancel, as No for Yes/No).
    virtual MessageAnswer showMessage(const QString &text, MessageIcon icon,
                                      MessageButtons buttons, const QString &title) = 0;

    // Open and Save dialogs with no preset name; `filter` in Qt's form
    // ("PNG files (*.png)"), empty for all files. Empty result: cancelled.
    virtual QString openFileName(const QString &title, const QString &filter) = 0;
    virtual QString saveFileName(const QString &title, const QString &filter) = 0;

    // A fixed wait that keeps the window painted.
    virtual void pause(int milliseconds) = 0;
};

// Shorthands for the common shapes.
inline void ShowOk(UiPort &ui, const QString &text, MessageIcon icon, const QString &title) {
    ui.showMessage(text, icon, MessageButtons::Ok, title);
}
inline bool AskYesNo(UiPort &ui, const QString &text, MessageIcon icon, const QString &title) {
    return ui.showMessage(text, icon, MessageButtons::YesNo, title) == MessageAnswer::Yes;
}

}  // namespace velta
