#include "frmView.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QStringDecoder>
#include <QTextCursor>

#include "driver/ui_port.h"
#include "twips.h"
#include "util/fileutil.h"

namespace velta {

namespace {

const QString kViewerTitle = QStringLiteral("Viewing");
const QString kHelpTitle = QStringLiteral("Help for Velta");
const QString kHelpFileName = QStringLiteral("velta_help.txt");
const QString kViewerFont = QStringLiteral("Tahoma");
const QString kCloseCaption = QStringLiteral("Close");
const QString kEmptyTitle = QStringLiteral("Error");
const QString kEmptyText = QStringLiteral("File is empty!");
const QString kReadErrorTitle = QStringLiteral("Error reading file");

constexpr int16_t kTextCloseCaption = 184;
constexpr int16_t kTextManualHint = 21;
constexpr int16_t kTextManualHintEnd = 22;
constexpr int16_t kTextHelpErrorTitle = 26;

// Design geometry, twips.
constexpr int kClientWidth = 11670;
constexpr int kClientHeight = 6660;
constexpr int kTextLeft = 105;
constexpr int kTextTop = 105;
constexpr int kCloseWidth = 2220;
constexpr int kCloseHeight = 330;
constexpr int kTextWidthAllowance = 320;
constexpr int kTextHeightAllowance = 1200;
constexpr int kCloseGap = 100;
// Below this client size the Close button and a few lines no longer fit.
constexpr int kMinClientWidth = kCloseWidth + kTextWidthAllowance + 2 * kTextLeft;
constexpr int kMinClientHeight = kTextHeightAllowance + 1200;

// Error numbers and descriptions of the platform the program came from; the
// viewer's message quotes them.
struct ReadError {
    int32_t number;
    const char *description;
};
constexpr int32_t kErrDeviceIo = 57;
constexpr ReadError kBadFileName{kErrBadFileName, "Bad file name or number"};
constexpr ReadError kFileNotFound{kErrFileNotFound, "File not found"};
constexpr ReadError kDeviceError{kErrDeviceIo, "Device I/O error"};
constexpr ReadError kPastEnd{kErrInputPastEnd, "Input past end of file"};
constexpr ReadError kPermissionDenied{kErrPermissionDenied, "Permission denied"};
constexpr ReadError kPathAccess{kErrPathAccess, "Path/File access error"};

ViewerContent Failure(const ReadError &error) {
    ViewerContent c;
    if (error.number == kPastEnd.number) {
        c.error_title = kEmptyTitle;
        c.error_text = kEmptyText;
    } else {
        c.error_title = kReadErrorTitle;
        c.error_text = QStringLiteral("Error %1.  %2")
                           .arg(error.number)
                           .arg(QString::fromLatin1(error.description));
    }
    return c;
}

QString NormalisedLineBreaks(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

}  // namespace

QString ViewerHeadNote() {
    return QStringLiteral("NOTE: This file is too large to display entirely in this textbox.\n"
                          "To view the entire contents of the file load it into NotePad,\n"
                          "WordPad or some other text editor.\n"
                          "\n");
}

QString ViewerTailNote() {
    return QStringLiteral("NOTE: Entire contents of file have not been displayed.\n");
}

ViewerContent LoadViewerText(const QString &path) {
    if (path.isEmpty() || path.contains(QChar(0))) return Failure(kBadFileName);
    const QFileInfo info(path);
    if (!info.exists()) return Failure(kFileNotFound);
    if (info.isDir()) return Failure(kPathAccess);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return Failure(file.error() == QFileDevice::PermissionsError ? kPermissionDenied
                                                                     : kDeviceError);
    }
    // No character takes more than four bytes (a CR LF pair takes two for
    // one), so this many bytes decode to at least the limit when the file
    // goes on beyond them.
    constexpr qint64 kMaxBytes = 4 * qint64(kViewerTextLimit) + 4;
    const QByteArray bytes = file.read(kMaxBytes);
    if (file.error() != QFileDevice::NoError) return Failure(kDeviceError);
    if (bytes.isEmpty()) return Failure(kPastEnd);

    // A stateful decoder: a character split by the read limit is not a fault.
    QStringDecoder utf8(QStringConverter::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) text = QString::fromLatin1(bytes);
    text = NormalisedLineBreaks(text);

    ViewerContent c;
    c.ok = true;
    if (text.size() < kViewerTextLimit) {
        c.text = text;
        return c;
    }
    const QString head = ViewerHeadNote();
    const QString tail = ViewerTailNote();
    qsizetype n = kViewerTextLimit - head.size() - tail.size();
    if (n > 0 && text.at(n - 1).isHighSurrogate()) --n;
    c.text = head + text.left(n) + QStringLiteral("\n\n") + tail;
    return c;
}

frmView::frmView(UiPort &ui, ProgramTextFn program_text, QWidget *parent)
    : QDialog(parent), ui_(ui), program_text_(std::move(program_text)) {
    setObjectName(QStringLiteral("frmView"));
    setWindowTitle(kViewerTitle);
    const QFont font(kViewerFont);

    txbText1 = new QPlainTextEdit(this);
    txbText1->setObjectName(QStringLiteral("txbText1"));
    txbText1->setReadOnly(true);
    txbText1->setFont(font);
    txbText1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txbText1->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    cmdClose = new QPushButton(kCloseCaption, this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setFont(font);
    cmdClose->setDefault(true);
    connect(cmdClose, &QPushButton::clicked, this, &frmView::cmdClose_Click);

    txbText1->move(Px(kTextLeft, this), Px(kTextTop, this));
    cmdClose->resize(Px(kCloseWidth, this), Px(kCloseHeight, this));
    setMinimumSize(Px(kMinClientWidth, this), Px(kMinClientHeight, this));
    resize(Px(kClientWidth, this), Px(kClientHeight, this));
    Form_Resize();
}

bool frmView::Form_Activate() {
    const QString caption = program_text_ ? program_text_(kTextCloseCaption) : QString();
    cmdClose->setText(caption.isEmpty() ? kCloseCaption : caption);
    blnFileDisplayed = false;
    txbText1->clear();
    txbText1->setReadOnly(true);
    Form_Resize();

    const ViewerContent content = LoadViewerText(strFilename);
    if (!content.ok) {
        ShowOk(ui_, content.error_text, MessageIcon::Exclamation, content.error_title);
        hide();
        return false;
    }
    txbText1->setPlainText(content.text);
    txbText1->moveCursor(QTextCursor::Start);
    txbText1->ensureCursorVisible();
    update();
    blnFileDisplayed = true;
    return true;
}

void frmView::Form_Resize() {
    if (isMinimized()) return;
    const int width = qMax(0, this->width() - Px(kTextWidthAllowance, this));
    const int height = qMax(0, this->height() - Px(kTextHeightAllowance, this));
    txbText1->resize(width, height);
    cmdClose->move((this->width() - cmdClose->width()) / 2,
                   txbText1->y() + txbText1->height() + Px(kCloseGap, this));
}

void frmView::cmdClose_Click() {
    // Hidden, not destroyed: size and place carry over to the next use.
    done(QDialog::Accepted);
}

bool frmView::ShowModally() {
    if (!Form_Activate()) return false;
    exec();
    return true;
}

void frmView::resizeEvent(QResizeEvent *event) {
    QDialog::resizeEvent(event);
    Form_Resize();
}

QRect HelpViewerPlacement(const QRect &main_frame, const QRect &screen, const QSize &preferred,
                          const QSize &minimum) {
    if (screen.width() < minimum.width() || screen.height() < minimum.height()) return {};
    const QSize size = preferred.boundedTo(screen.size()).expandedTo(minimum);
    // Over the main window, centred on it, then pushed inside the screen.
    QRect r(QPoint(0, 0), size);
    r.moveCenter(main_frame.isValid() ? main_frame.center() : screen.center());
    if (r.right() > screen.right()) r.moveRight(screen.right());
    if (r.bottom() > screen.bottom()) r.moveBottom(screen.bottom());
    if (r.left() < screen.left()) r.moveLeft(screen.left());
    if (r.top() < screen.top()) r.moveTop(screen.top());
    return r;
}

bool ShowHelp(QWidget *main_window, UiPort &ui, const ProgramTextFn &program_text,
              const QString &manual_address, const QString &help_file) {
    const auto text = [&program_text](int16_t number) {
        return program_text ? program_text(number) : QString();
    };
    auto *viewer = main_window ? main_window->findChild<frmView *>(QStringLiteral("frmView"),
                                                                   Qt::FindDirectChildrenOnly)
                               : nullptr;
    if (!viewer) {
        viewer = new frmView(ui, program_text, main_window);
        if (!main_window) viewer->setAttribute(Qt::WA_DeleteOnClose);
    }

    // Room for the window's frame and title bar, which the placement does
    // not see before the window is shown.
    QScreen *screen = main_window ? main_window->screen() : viewer->screen();
    const QRect available =
        screen ? screen->availableGeometry().adjusted(8, 40, -8, -8) : QRect();
    const QSize preferred = viewer->property("placed").toBool()
                                ? viewer->size()
                                : QSize(Px(kClientWidth, viewer), Px(kClientHeight, viewer));
    const QRect place = HelpViewerPlacement(
        main_window ? main_window->frameGeometry() : QRect(), available, preferred,
        viewer->minimumSize());
    if (place.isEmpty()) {
        ShowOk(ui,
               QStringLiteral("Error: Probably the screen resolution is too small\r\n"
                              "to display the help file.\r\n") +
                   text(kTextManualHint) + QStringLiteral("\r\n\r\n") + manual_address +
                   QStringLiteral("\r\n") + text(kTextManualHintEnd),
               MessageIcon::None, text(kTextHelpErrorTitle));
        return false;
    }
    viewer->setGeometry(place);
    viewer->setProperty("placed", true);

    viewer->strFilename =
        help_file.isEmpty()
            ? QDir(QCoreApplication::applicationDirPath()).filePath(kHelpFileName)
            : help_file;
    viewer->setWindowTitle(kHelpTitle);
    return viewer->ShowModally();
}

}  // namespace velta
