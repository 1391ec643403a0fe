#pragma once
// The text viewer: shows a text file read-only in a scrolling box, cut with
// a note when the file is longer than the box is meant to hold. The main
// window shows the help file in it (ShowHelp).
#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>

class QPlainTextEdit;
class QPushButton;

namespace velta {

class UiPort;

// Looks up a numbered program text (the main window's loaded velta.dat).
using ProgramTextFn = std::function<QString(int16_t number)>;

// The most characters the viewer shows; a longer file is cut between the
// head and the tail note.
constexpr int kViewerTextLimit = 65530;

QString ViewerHeadNote();
QString ViewerTailNote();

// What the viewer does with a file: the text to show, or the message box
// (exclamation icon) that replaces it.
struct ViewerContent {
    bool ok = false;
    QString text;
    QString error_title;
    QString error_text;
};

// Reads the file as text (UTF-8, else Latin-1; CR LF and CR become line
// breaks) and cuts it as the viewer shows it. Reads at most as many bytes
// as can make up the limit, so a huge file costs no more than a small one.
ViewerContent LoadViewerText(const QString &path);

class frmView : public QDialog {
    Q_OBJECT
public:
    frmView(UiPort &ui, ProgramTextFn program_text, QWidget *parent = nullptr);

    // Set by the caller before the window is shown.
    QString strFilename;
    bool blnFileDisplayed = false;

    QPlainTextEdit *txbText1 = nullptr;
    QPushButton *cmdClose = nullptr;

    // Loads strFilename into the box. On a read error shows the message,
    // hides the window and returns false.
    bool Form_Activate();
    void Form_Resize();
    void cmdClose_Click();

    // Loads the file and, when that worked, shows the window modally.
    // False when the file could not be shown.
    bool ShowModally();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    UiPort &ui_;
    ProgramTextFn program_text_;
};

// The help button of the main window: finds or creates the viewer (a child
// of `main_window`, kept hidden between uses), places it over the main
// window within the screen, and shows velta_help.txt from the program's
// folder in it, modally. When the screen cannot hold the viewer, shows the
// screen-resolution message instead, which names `manual_address` (the
// online user manual). Returns true when the help was shown. `help_file`
// empty means the program's own help file.
bool ShowHelp(QWidget *main_window, UiPort &ui, const ProgramTextFn &program_text,
              const QString &manual_address, const QString &help_file = QString());

// Where the viewer goes: near the main window's frame `main_frame`, inside
// `screen` (both in global pixels), at most `preferred` in size. An empty
// result when the screen is smaller than `minimum`.
QRect HelpViewerPlacement(const QRect &main_frame, const QRect &screen, const QSize &preferred,
                          const QSize &minimum);

}  // namespace velta
