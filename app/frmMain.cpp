#include "frmMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextStream>
#include <QTimer>
#include <QUrl>

#include "driver/browser_page.h"
#include "driver/engine_binding.h"
#include "driver/image_files.h"
#include "driver/operation_run.h"
#include "driver/prechecks.h"
#include "driver/ui_port.h"
#include "driver/validation.h"
#include "persist/registry.h"
#include "util/fileutil.h"
#include "util/format.h"
#include "util/launch.h"
#include "util/programtext.h"
#include "frmKey.h"
#include "frmView.h"
#include "persist/settings_file.h"
#include "twips.h"

namespace velta {

namespace {

constexpr int kVersionMajor = 0;
constexpr int kVersionMinor = 1;
constexpr int kClientWidth = 11910;
// The window is 7150 twips high with its caption and borders.
constexpr int kWindowHeight = 7150;
constexpr int kCaptionAndBorders = 510;
constexpr int kTipLength = 88;
constexpr int kTimerMs = 500;
constexpr uint32_t kYellow = 0xFFFF80;

const QString kMakerPage = QStringLiteral("https://brannock.works/");
const QString kManualPage = QStringLiteral("https://brannock.works/velta/manual/");
const QString kOperationTip = QStringLiteral(
    "The operation can be hiding a message file in one BMP image or a set of them, or extracting "
    "a message file from one or more BMP images.");
const QString kTerminate = QStringLiteral("The program will now terminate.");

QColor Colour(uint32_t rgb) {
    return QColor(static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                  static_cast<int>(rgb & 0xFF));
}

// Grouped even where the locale (C) would omit the separator.
QString Grouped(int64_t n) {
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale.toString(static_cast<qlonglong>(n));
}

void SetBold(QWidget *w, bool bold) {
    QFont f = w->font();
    f.setBold(bold);
    w->setFont(f);
}

}  // namespace

frmMain::frmMain(UiPort &ui, QWidget *parent) : QWidget(parent), ui_(ui) {
    setObjectName(QStringLiteral("frmMain"));
    strProgramTextFile = QStringLiteral("VELTA").toLower() + QStringLiteral(".dat");
    launcher = [](const QString &target) { return LaunchTarget(target) > 32; };
    BuildControls();
    keyWindow = new frmKey(this);
}

frmMain::~frmMain() { ReleaseResources(); }

void frmMain::BuildControls() {
    QFont arial(QStringLiteral("Arial"));
    arial.setPointSizeF(9.75);
    setFont(arial);
    resize(Px(kClientWidth, this), Px(kWindowHeight - kCaptionAndBorders, this));
    setFixedSize(size());

    auto label = [this](QLabel *&member, const char *name, const QString &text) {
        member = new QLabel(text, this);
        member->setObjectName(QLatin1String(name));
        member->setAutoFillBackground(true);
        return member;
    };
    auto option = [](QRadioButton *&member, const char *name, const QString &text, QWidget *parent) {
        member = new QRadioButton(text, parent);
        member->setObjectName(QLatin1String(name));
        member->setAutoFillBackground(true);
        return member;
    };
    auto check = [this](QCheckBox *&member, const char *name, const QString &text) {
        member = new QCheckBox(text, this);
        member->setObjectName(QLatin1String(name));
        member->setAutoFillBackground(true);
        return member;
    };
    auto button = [this](QPushButton *&member, const QString &name, const QString &text) {
        member = new QPushButton(text, this);
        member->setObjectName(name);
        member->setAutoDefault(false);
        return member;
    };
    auto box = [this](QLineEdit *&member, const QString &name) {
        member = new QLineEdit(this);
        member->setObjectName(name);
        member->setReadOnly(true);
        QFont f(QStringLiteral("DokChampa"));
        f.setPointSizeF(9.75);
        member->setFont(f);
        return member;
    };

    PlaceTwips(label(lblFileFormat, "lblFileFormat", QStringLiteral("File format:")), 120, 120, 1350, 270);
    lblFileFormat->setToolTip(kOperationTip);
    fraFileFormat = new QFrame(this);
    fraFileFormat->setObjectName(QStringLiteral("fraFileFormat"));
    fraFileFormat->setAutoFillBackground(true);
    PlaceTwips(fraFileFormat, 1650, 75, 1050, 735);
    PlaceTwips(option(optPNG, "optPNG", QStringLiteral("PNG"), fraFileFormat), 0, 0, 1000, 375);
    PlaceTwips(option(optBMP, "optBMP", QStringLiteral("BMP"), fraFileFormat), 0, 375, 1000, 375);
    PlaceTwips(label(lblSelectOperation, "lblSelectOperation", QStringLiteral("Operation:")), 2880, 120, 1200, 270);
    lblSelectOperation->setToolTip(kOperationTip);
    PlaceTwips(option(optHide, "optHide",
                      QStringLiteral("Encrypt the data file and hide it in the input image"), this),
               4185, 75, 7125, 375);
    PlaceTwips(option(optExtract, "optExtract",
                      QStringLiteral("Extract the encrypted data from the input image and decrypt it"),
                      this),
               4185, 405, 7125, 375);
    PlaceTwips(check(chkWarnOnOverwrite, "chkWarnOnOverwrite", QStringLiteral("Warn before overwrite")), 105, 900, 2950, 270);
    PlaceTwips(check(chkDisplayInBrowser, "chkDisplayInBrowser",
                     QStringLiteral("Display original and stego images in browser")),
               3120, 900, 5100, 270);
    fraBrowserDisplay = new QFrame(this);
    fraBrowserDisplay->setObjectName(QStringLiteral("fraBrowserDisplay"));
    fraBrowserDisplay->setAutoFillBackground(true);
    // Wider than the original layout: Linux desktop fonts run wider.
    PlaceTwips(fraBrowserDisplay, 8280, 795, 3495, 375);
    PlaceTwips(option(optHorizontal, "optHorizontal", QStringLiteral("horizontally"), fraBrowserDisplay), 0, 0, 1400, 375);
    PlaceTwips(option(optVertical, "optVertical", QStringLiteral("vertically"), fraBrowserDisplay), 1400, 0, 1400, 375);

    PlaceTwips(button(cmdMessageFile, QStringLiteral("cmdMessageFile"), QStringLiteral("File with data to be hidden")), 105, 1335, 2940, 375);
    PlaceTwips(box(txbMessageFile, QStringLiteral("txbMessageFile")), 3150, 1290, 7905, 495);
    PlaceTwips(button(cmdClearMessageFile, QStringLiteral("cmdClearMessageFile"), QStringLiteral("Clear")), 11175, 1395, 645, 285);
    const int image_tops[2][3] = {{1980, 1920, 2040}, {2595, 2520, 2640}};
    const int box_lefts[2] = {3150, 3120};
    const QString image_captions[2] = {QStringLiteral("Original (input) PNG file"),
                                       QStringLiteral("Stego (output) PNG file")};
    for (int i = 0; i < 2; ++i) {
        const QString n = QStringLiteral("(%1)").arg(i);
        PlaceTwips(button(cmdImageFile[i], QStringLiteral("cmdImageFile") + n, image_captions[i]), 105, image_tops[i][0], 2940, 375);
        PlaceTwips(box(txbImageFile[i], QStringLiteral("txbImageFile") + n), box_lefts[i], image_tops[i][1], 7905, 495);
        PlaceTwips(button(cmdClearImageFile[i], QStringLiteral("cmdClearImageFile") + n, QStringLiteral("Clear")), 11175, image_tops[i][2], 645, 285);
        cmdClearImageFile[i]->setVisible(false);
    }
    cmdClearMessageFile->setVisible(false);
    PlaceTwips(button(cmdKey, QStringLiteral("cmdKey"), QStringLiteral("Specify key")), 105, 3210, 2940, 360);
    PlaceTwips(button(cmdPerformTheOperation, QStringLiteral("cmdPerformTheOperation"), QStringLiteral("Hide the data")), 105, 3720, 2940, 375);
    PlaceTwips(button(cmdSaveState[0], QStringLiteral("cmdSaveState(0)"), QStringLiteral("Save settings")), 105, 4320, 2940, 375);
    PlaceTwips(button(cmdSaveState[1], QStringLiteral("cmdSaveState(1)"), QStringLiteral("Load settings")), 105, 4920, 2940, 375);
    txbReport = new QPlainTextEdit(this);
    txbReport->setObjectName(QStringLiteral("txbReport"));
    txbReport->setReadOnly(true);
    txbReport->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    PlaceTwips(txbReport, 3150, 3240, 8625, 2370);
    PlaceTwips(button(cmdClearReport, QStringLiteral("cmdClearReport"), QStringLiteral("Clear")), 3165, 5775, 1140, 375);
    PlaceTwips(button(cmdCopyToClipboard, QStringLiteral("cmdCopyToClipboard"), QStringLiteral("Copy")), 5760, 5775, 1140, 375);
    PlaceTwips(button(cmdHelp, QStringLiteral("cmdHelp"), QStringLiteral("Help")), 8280, 5775, 1140, 360);
    PlaceTwips(button(cmdQuit, QStringLiteral("cmdQuit"), QStringLiteral("Quit")), 10620, 5760, 1140, 375);
    cmdClearReport->setEnabled(false);
    cmdCopyToClipboard->setEnabled(false);
    PlaceTwips(check(chkOpenAfterExtraction, "chkOpenAfterExtraction",
                     QStringLiteral("Open this file after extraction (after confirmation)")),
               3240, 6120, 6420, 270);
    chkOpenAfterExtraction->setVisible(false);
    PlaceTwips(check(chkDisplayImageInfo, "chkDisplayImageInfo", QStringLiteral("Display image info")), 3270, 6630, 2430, 270);
    chkDisplayImageInfo->setVisible(false);

    QFont small(QStringLiteral("Arial"));
    small.setPointSizeF(8.25);
    const auto bottom = [&](QLabel *&member, const char *name, const QString &text, uint32_t colour,
                            int width) {
        label(member, name, text)->setFont(small);
        QPalette p = member->palette();
        p.setColor(QPalette::WindowText, Colour(colour));
        member->setPalette(p);
        PlaceTwips(member, 0, 0, width, 225);
    };
    bottom(lblCopyrightNotice, "lblCopyrightNotice",
           QStringLiteral("Copyright \u00A9 2026 Brannock Works. All rights reserved."), 0x808080, 5000);
    bottom(lblBrannockWorks, "lblBrannockWorks", QStringLiteral("Brannock Works"), 0x0000FF, 1500);
    bottom(lblBW_URL, "lblBW_URL", QStringLiteral("brannock.works"), 0x808080, 1500);
    bottom(lblOnlineDocumentation, "lblOnlineDocumentation", QStringLiteral("Online user manual"), 0x0000FF, 1700);
    lblBrannockWorks->setToolTip(QStringLiteral("A click opens the Brannock Works website."));
    lblOnlineDocumentation->setToolTip(QStringLiteral("A click opens the online user manual."));
    for (QLabel *l : {lblBrannockWorks, lblOnlineDocumentation}) {
        l->setCursor(Qt::PointingHandCursor);
        l->installEventFilter(this);
    }

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kTimerMs);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });

    connect(optHide, &QRadioButton::clicked, this, [this] { optHide_Click(); });
    connect(optExtract, &QRadioButton::clicked, this, [this] { optExtract_Click(); });
    connect(optPNG, &QRadioButton::clicked, this, [this] { optPNG_Click(); });
    connect(optBMP, &QRadioButton::clicked, this, [this] { optBMP_Click(); });
    connect(cmdMessageFile, &QPushButton::clicked, this, [this] { cmdMessageFile_Click(); });
    connect(cmdClearMessageFile, &QPushButton::clicked, this, [this] { cmdClearMessageFile_Click(); });
    for (int i = 0; i < 2; ++i) {
        connect(cmdImageFile[i], &QPushButton::clicked, this, [this, i] { cmdImageFile_Click(i); });
        connect(cmdClearImageFile[i], &QPushButton::clicked, this, [this, i] { cmdClearImageFile_Click(i); });
        connect(cmdSaveState[i], &QPushButton::clicked, this, [this, i] { cmdSaveState_Click(i); });
    }
    connect(cmdKey, &QPushButton::clicked, this, [this] { cmdKey_Click(); });
    connect(cmdPerformTheOperation, &QPushButton::clicked, this, [this] { cmdPerformTheOperation_Click(); });
    connect(cmdClearReport, &QPushButton::clicked, this, [this] { cmdClearReport_Click(); });
    connect(cmdCopyToClipboard, &QPushButton::clicked, this, [this] { cmdCopyToClipboard_Click(); });
    connect(cmdHelp, &QPushButton::clicked, this, [this] { cmdHelp_Click(); });
    connect(cmdQuit, &QPushButton::clicked, this, [this] {
        if (cmdQuit_Click()) {
            close();
        }
    });
    connect(chkOpenAfterExtraction, &QCheckBox::clicked, this, [this] { SetTheFocus(); });
    connect(txbReport, &QPlainTextEdit::textChanged, this, [this] { txbReport_Change(); });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        if (now != nullptr && now->window() == this) {
            GotFocus();
        }
    });
}

// ---- Program text -------------------------------------------------------

bool frmMain::LoadProgramText() {
    const QString path =
        ProgramTextPath(QCoreApplication::applicationDirPath(), strProgramTextFile);
    const int32_t count = LoadProgramTextFile(path);
    if (count <= 0) {
        ShowOk(ui_, ProgramTextLoadMessage(count, path), MessageIcon::Critical, QString());
        return false;
    }
    return true;
}

QString frmMain::programText(int16_t number) const { return ProgramText(number); }

// ---- Start-up -------------------------------------------------------------

bool frmMain::Form_Load() {
    blnStartupCompleted = false;
    if (!LoadProgramText()) {
        return false;
    }
    InitialiseDefaults();
    setWindowTitle(programText(1) + QLatin1Char(' ') +
                   QStringLiteral("%1.%2%3").arg(kVersionMajor).arg(kVersionMinor).arg(2));
    EnableControls(true);
    chkOpenAfterExtraction->setVisible(false);
    chkOpenAfterExtraction->move(txbImageFile[0]->x(), txbImageFile[0]->y() - Px(3, this));
    SetFontName(QStringLiteral("Arial"), false, true);
    show();
    const EngineBindResult bound = Engine().isBound() ? Engine().lastResult() : Engine().bind();
    if (!bound.ok() || Engine().allocateBuffers() == 0) {
        EnableControls(true);
        QString text = programText(3) + kCrLf + kTerminate;
        if (!bound.ok()) {
            text = bound.text + kCrLf + text;
        }
        ShowOk(ui_, text, MessageIcon::Critical, programText(4));
        if (!strVeltaFolder.isEmpty()) {
            QDir(strVeltaFolder).removeRecursively();  // this run's own, still empty
        }
        return false;
    }
    if (strVeltaFolder.isEmpty() || !QFileInfo(strVeltaFolder).isDir()) {
        ShowOk(ui_, QStringLiteral("Attempt to create temporary folder was unsuccessful.") + kCrLf + kTerminate,
               MessageIcon::Critical, programText(4));
        return false;
    }
    EnableControls(true);
    QDir::setCurrent(QDir::homePath());
    repaint();
    ApplyOperationMode();
    {
        QString cnfg;
        const QString status = ReadRegistryString(kHkeyCurrentUser, kRegistryKey, kCnfgValue, cnfg);
        strSettingsFile = RegistryStatusOk(status) ? cnfg : QString();
        if (!strSettingsFile.isEmpty() && FileExists(strSettingsFile)) {
            LoadSettings(strSettingsFile);
        }
        WriteRegistryString(kHkeyCurrentUser, kRegistryKey, kCnfgValue, QString());
    }
    UpdateFileToolTips();
    Timer1->start();
    blnStartupCompleted = true;
    return true;
}

void frmMain::InitialiseDefaults() {
    strEmptyFileTip = programText(47);
    dblMinRandomness = 0.07;
    lngBackColor = kDefaultWindowColour;
    SetWindowColour(lngBackColor);
    setFixedHeight(Px(kWindowHeight - kCaptionAndBorders, this));
    setReportText(QString());
    cmdCopyToClipboard->setEnabled(false);
    optHide->setChecked(true);
    blnHide = true;
    blnExtract = false;
    optPNG->setChecked(true);
    ShowFormat(QStringLiteral("PNG"));
    cmdClearReport->setEnabled(false);
    chkOpenAfterExtraction->setChecked(false);
    chkWarnOnOverwrite->setChecked(true);
    chkDisplayInBrowser->setChecked(true);
    optHorizontal->setChecked(true);
    intTPPY = static_cast<int16_t>(kTwipsPerInch / ScreenDpi(this));
    keyWindow->intMinKeyLength = 16;
    keyWindow->intMaxKeyLength = 64;
    keyWindow->setKeyText(QString());
    const int top = Twips(cmdClearReport->y() + cmdClearReport->height(), this) + 10;
    for (QLabel *l : {lblCopyrightNotice, lblBrannockWorks, lblBW_URL, lblOnlineDocumentation}) {
        l->move(l->x(), Px(top, this));
    }
    lblCopyrightNotice->move(cmdSaveState[0]->x(), lblCopyrightNotice->y());
    lblOnlineDocumentation->move(cmdQuit->x() + cmdQuit->width() - lblOnlineDocumentation->width(),
                                 lblOnlineDocumentation->y());
    lblBrannockWorks->move(Px(5200, this), lblBrannockWorks->y());
    lblBW_URL->move(Px(6900, this), lblBW_URL->y());
    strVeltaFolder = CreateWorkingFolder(QStringLiteral("VELTA"), true);
    state.velta_folder = strVeltaFolder;
    state.min_randomness = dblMinRandomness;
}

// ---- Form-wide helpers ----------------------------------------------------

void frmMain::SetControlsEnabled(bool enabled, bool frames, bool text_boxes, bool labels) {
    for (QWidget *w : findChildren<QWidget *>()) {
        if (qobject_cast<QPushButton *>(w) || qobject_cast<QCheckBox *>(w) ||
            qobject_cast<QRadioButton *>(w) || qobject_cast<QComboBox *>(w)) {
            w->setEnabled(enabled);
        } else if (frames && (w == fraFileFormat || w == fraBrowserDisplay)) {
            w->setEnabled(enabled);
        } else if (text_boxes && (qobject_cast<QLineEdit *>(w) || qobject_cast<QPlainTextEdit *>(w))) {
            w->setEnabled(enabled);
        } else if (labels && qobject_cast<QLabel *>(w)) {
            w->setEnabled(enabled);
        }
    }
    repaint();
}

void frmMain::SetWindowColour(uint32_t colour) {
    const QColor c = Colour(colour);
    QPalette p = palette();
    p.setColor(QPalette::Window, c);
    setPalette(p);
    setAutoFillBackground(true);
    for (QWidget *w : findChildren<QWidget *>()) {
        const bool coloured = qobject_cast<QLabel *>(w) || qobject_cast<QCheckBox *>(w) ||
                              qobject_cast<QRadioButton *>(w) || w == fraFileFormat ||
                              w == fraBrowserDisplay;
        if (coloured && w->window() == this) {
            QPalette wp = w->palette();
            wp.setColor(QPalette::Window, c);
            wp.setColor(QPalette::Button, c);  // the fill role of check boxes and options
            w->setPalette(wp);
        }
    }
}

void frmMain::SetFontName(const QString &name, bool text_boxes, bool buttons) {
    for (QWidget *w : findChildren<QWidget *>()) {
        if (w->window() != this) {
            continue;
        }
        const bool always = qobject_cast<QLabel *>(w) || qobject_cast<QCheckBox *>(w) ||
                            qobject_cast<QRadioButton *>(w) || qobject_cast<QComboBox *>(w) ||
                            w == fraFileFormat || w == fraBrowserDisplay;
        const bool box = qobject_cast<QLineEdit *>(w) || qobject_cast<QPlainTextEdit *>(w);
        if (always || (text_boxes && box) || (buttons && qobject_cast<QPushButton *>(w))) {
            QFont f = w->font();
            f.setFamily(name);
            w->setFont(f);
        }
    }
}

void frmMain::EnableControls(bool enable) {
    cmdSaveState[0]->setVisible(true);
    cmdSaveState[1]->setVisible(true);
    SetControlsEnabled(enable, false, false, true);
    cmdQuit->setEnabled(true);
    const bool has_report = !reportText().isEmpty();
    cmdClearReport->setEnabled(has_report);
    cmdCopyToClipboard->setEnabled(has_report);
}

// ---- Refreshes --------------------------------------------------------------

void frmMain::Timer1_Timer() {
    const QString trimmed = txbMessageFile->text().trimmed();
    if (trimmed != txbMessageFile->text()) {
        txbMessageFile->setText(trimmed);
    }
    cmdClearMessageFile->setVisible(!txbMessageFile->text().isEmpty());
    cmdClearImageFile[0]->setVisible(blnHide && !txbImageFile[0]->text().isEmpty());
    cmdClearImageFile[1]->setVisible(!txbImageFile[1]->text().isEmpty());
    optVertical->setEnabled(chkDisplayInBrowser->isChecked());
    optHorizontal->setEnabled(chkDisplayInBrowser->isChecked());
    const bool has_report = !reportText().isEmpty();
    cmdClearReport->setEnabled(has_report);
    cmdCopyToClipboard->setEnabled(has_report);
}

void frmMain::GotFocus() {
    if (!blnStartupCompleted || !cmdPerformTheOperation->isEnabled()) {
        return;
    }
    const QString key = keyWindow->keyText();
    if (key.trimmed() != key) {
        keyWindow->setKeyText(key.trimmed());
    }
    cmdClearReport->setEnabled(!reportText().isEmpty());
    cmdCopyToClipboard->setEnabled(reportText().size() > intMinReportLengthForCopy);
    cmdClearMessageFile->setVisible(!txbMessageFile->text().isEmpty());
    if (blnHide || txbMessageFile->text().isEmpty()) {
        chkOpenAfterExtraction->setVisible(false);
    } else {
        QString risky_extension;
        chkOpenAfterExtraction->setVisible(
            !HasRiskyExtension(NamePart(txbMessageFile->text()), true, risky_extension));
    }
}

void frmMain::SetTheFocus() {
    if (!isVisible() || !isEnabled()) {
        return;
    }
    GotFocus();
    if (txbMessageFile->text().isEmpty()) {
        cmdMessageFile->setFocus();
    } else if (cmdKey->isEnabled() && keyWindow->keyText().isEmpty()) {
        cmdKey->setFocus();
    } else if (cmdPerformTheOperation->isEnabled()) {
        cmdPerformTheOperation->setFocus();
    }
}

void frmMain::UpdateFileToolTips() {
    for (QLineEdit *b : {txbMessageFile, txbImageFile[0], txbImageFile[1]}) {
        const QString t = b->text();
        b->setToolTip(t.isEmpty() ? strEmptyFileTip : t.size() < kTipLength ? QString() : t);
    }
}

void frmMain::Form_DblClick() {
    lngBackColor = lngBackColor != kDefaultWindowColour ? kDefaultWindowColour : kGreyWindowColour;
    SetWindowColour(lngBackColor);
}

void frmMain::mouseDoubleClickEvent(QMouseEvent *event) {
    Form_DblClick();
    QWidget::mouseDoubleClickEvent(event);
}

bool frmMain::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == lblBrannockWorks) {
            launcher(kMakerPage);
        } else if (watched == lblOnlineDocumentation) {
            launcher(kManualPage);
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- Report pane --------------------------------------------------------------

QString frmMain::reportText() const {
    return txbReport->toPlainText().replace(QLatin1Char('\n'), kCrLf);
}

void frmMain::setReportText(const QString &text) {
    txbReport->setPlainText(QString(text).replace(kCrLf, QStringLiteral("\n")));
    txbReport->verticalScrollBar()->setValue(txbReport->verticalScrollBar()->maximum());
    txbReport->repaint();
}

void frmMain::txbReport_Change() {
    if (in_report_change_) {
        return;
    }
    const QString text = txbReport->toPlainText();
    if (!text.isEmpty() && text[0].unicode() <= 32) {
        qsizetype first = 0;
        qsizetype last = text.size();
        while (first < last && text[first].unicode() < 33) {
            ++first;
        }
        while (last > first && text[last - 1].unicode() < 33) {
            --last;
        }
        in_report_change_ = true;
        txbReport->setPlainText(text.mid(first, last - first));
        in_report_change_ = false;
    }
    if (cmdPerformTheOperation->isEnabled()) {
        const QString now = reportText();
        cmdClearReport->setEnabled(!now.isEmpty());
        cmdCopyToClipboard->setEnabled(now.size() > intMinReportLengthForCopy);
    }
}

void frmMain::OutputIfNotAlready(const QString &text) {
    const QString now = reportText();
    if (!now.endsWith(text)) {
        setReportText(now + text);
        txbReport->moveCursor(QTextCursor::End);
    }
}

void frmMain::DisplayReport() {
    const Entries e = entries();
    const QString f = FormatName(e.format);
    QStringList lines;
    const auto size = [](const QString &path) {
        return Grouped(qMax<int64_t>(0, FileLength64(path))) + QStringLiteral(" bytes");
    };
    if (e.hide) {
        lines << QStringLiteral("Operation: Hide data")
              << QStringLiteral("Data file: ") + e.message_file
              << QStringLiteral("Data file size: ") + Grouped(state.data_file_length) + QStringLiteral(" bytes")
              << QStringLiteral("Original image file: ") + e.original_image
              << QStringLiteral("Original image file size: ") + size(e.original_image)
              << QStringLiteral("Stego image file: ") + e.stego_image
              << QStringLiteral("Stego image file size: ") + size(e.stego_image)
              << QStringLiteral("The data file was successfully hidden in the ") + f + QStringLiteral(" image file.");
    } else {
        lines << QStringLiteral("Operation: Extract data")
              << QStringLiteral("Stego image file: ") + e.stego_image
              << QStringLiteral("Stego image file size: ") + size(e.stego_image)
              << QStringLiteral("Data file: ") + e.message_file
              << QStringLiteral("Data file size: ") + size(e.message_file)
              << QStringLiteral("The data file was successfully extracted from the ") + f + QStringLiteral(" image file.");
    }
    setReportText(lines.join(kCrLf) + kCrLf);
    if (e.hide && e.display_in_browser && !DisplayImagesInBrowser()) {
        return;
    }
    SetTheFocus();
}

void frmMain::cmdClearReport_Click() {
    setReportText(QString());
    cmdClearReport->setEnabled(false);
}

void frmMain::cmdCopyToClipboard_Click() {
    QApplication::clipboard()->clear();
    QApplication::clipboard()->setText(reportText());
    ShowOk(ui_,
           QStringLiteral("The contents of the report window have been copied to the clipboard.") + kCrLf +
               QStringLiteral("You can paste them from there into an application such as Notepad."),
           MessageIcon::Information, cmdCopyToClipboard->text());
}

// ---- Mode and files ---------------------------------------------------------

void frmMain::SaveModeFields() {
    const int mode = blnHide ? 0 : 1;
    astrModeFields[mode][0] = txbMessageFile->text();
    astrModeFields[mode][1] = blnHide ? txbImageFile[0]->text() : QString();
    astrModeFields[mode][2] = txbImageFile[1]->text();
    astrModeFields[mode][3] = reportText();
}

void frmMain::RestoreModeFields() {
    const int mode = blnHide ? 0 : 1;
    txbMessageFile->setText(astrModeFields[mode][0]);
    if (blnHide) {
        txbImageFile[0]->setText(astrModeFields[mode][1]);
    }
    txbImageFile[1]->setText(astrModeFields[mode][2]);
    setReportText(astrModeFields[mode][3]);
}

void frmMain::optHide_Click() {
    if (blnHide) {
        return;  // already in force: nothing to save or restore
    }
    SaveModeFields();
    blnHide = true;
    RestoreModeFields();
    cmdMessageFile->setText(QStringLiteral("File with data to be hidden"));
    cmdPerformTheOperation->setText(QStringLiteral("Hide the data in the ") + strImageFormat + QStringLiteral(" file"));
    cmdImageFile[1]->setText(QStringLiteral("Stego (output) ") + strImageFormat + QStringLiteral(" file"));
    ApplyOperationMode();
}

void frmMain::optExtract_Click() {
    if (!blnHide) {
        return;
    }
    SaveModeFields();
    blnHide = false;
    RestoreModeFields();
    cmdMessageFile->setText(QStringLiteral("File for extracted data"));
    cmdPerformTheOperation->setText(QStringLiteral("Extract the data"));
    cmdImageFile[1]->setText(QStringLiteral("Stego (input) ") + strImageFormat + QStringLiteral(" file"));
    ApplyOperationMode();
}

void frmMain::ApplyOperationMode() {
    blnExtract = !blnHide;
    // Kept in step by hand: Qt's auto-exclusive pair can end up with both
    // options checked, and a settings file would then store the wrong mode.
    optHide->setChecked(blnHide);
    optExtract->setChecked(blnExtract);
    SetBold(optHide, blnHide);
    SetBold(optExtract, blnExtract);
    chkOpenAfterExtraction->setVisible(blnExtract);
    chkDisplayInBrowser->setVisible(blnHide);
    fraBrowserDisplay->setVisible(blnHide);
    cmdImageFile[0]->setVisible(blnHide);
    txbImageFile[0]->setVisible(blnHide);
    cmdClearImageFile[0]->setVisible(blnHide && !txbImageFile[0]->text().isEmpty());
    UpdateFileToolTips();
    SetTheFocus();
}

void frmMain::ShowFormat(const QString &f) {
    cmdImageFile[0]->setText(QStringLiteral("Original (input) ") + f + QStringLiteral(" file"));
    cmdImageFile[1]->setText((blnHide ? QStringLiteral("Stego (output) ") : QStringLiteral("Stego (input) ")) + f +
                             QStringLiteral(" file"));
    cmdPerformTheOperation->setText(blnHide ? QStringLiteral("Hide the data in the ") + f + QStringLiteral(" file")
                                            : QStringLiteral("Extract the data"));
    SetBold(optPNG, f == QLatin1String("PNG"));
    SetBold(optBMP, f == QLatin1String("BMP"));
    strImageFormat = f;
}

void frmMain::optPNG_Click() { ShowFormat(QStringLiteral("PNG")); }
void frmMain::optBMP_Click() { ShowFormat(QStringLiteral("BMP")); }

void frmMain::cmdMessageFile_Click() {
    const QString title =
        blnHide ? QStringLiteral("Specify file containing data to hide in the original (input) PNG file")
                : QStringLiteral("Specify file to contain data extracted from the stego (outpt) PNG file");
    const QString name = blnHide ? ui_.openFileName(title, QString()) : ui_.saveFileName(title, QString());
    if (name.isEmpty()) {
        return;
    }
    const int64_t s = FileLength64(name);
    if (s > kMaxChosenDataFileBytes) {
        ShowOk(ui_,
               QStringLiteral("The size of the file is ") + SizeText(static_cast<double>(s), 2) +
                   QStringLiteral(".") + kCrLf + QStringLiteral("This file is too large."),
               MessageIcon::Information, cmdMessageFile->text());
        return;
    }
    setReportText(QString());
    txbMessageFile->setText(name);
    if (blnExtract && FileExists(name) && chkWarnOnOverwrite->isChecked()) {
        if (!AskYesNo(ui_,
                      QStringLiteral("The file ") + name + kCrLf +
                          QStringLiteral("already exists and will be overwritten.") +
                          QStringLiteral("  Is this OK?"),
                      MessageIcon::None, QStringLiteral("Confirm overwrite of file"))) {
            txbMessageFile->clear();
        }
    }
    UpdateFileToolTips();
    SetTheFocus();
}

void frmMain::cmdImageFile_Click(int index) {
    const QString f = strImageFormat;
    QString title;
    if (blnHide) {
        title = index == 0 ? QStringLiteral("Specify input ") + f + QStringLiteral(" file in which to hide the data file.")
                           : QStringLiteral("Specify output ") + f + QStringLiteral(" file which will contain the data file.");
    } else {
        title = QStringLiteral("Specify input ") + f + QStringLiteral(" file in which the data file is hidden.");
    }
    const QString filter = f + QStringLiteral(" files (*.") + f.toLower() + QStringLiteral(")");
    const QString p = ui_.openFileName(title, filter);
    if (p.isEmpty()) {
        return;
    }
    setReportText(QString());
    if (f == QLatin1String("BMP") && index == 0) {
        const BmpCheck check = CheckBmpFile(p, true, dblMinRandomness);
        if (!check.suitable) {
            ShowOk(ui_, check.message, MessageIcon::Information, QStringLiteral("File unsuitable"));
            return;
        }
        state.bmp_info = check.record;
        state.total_color_bytes = check.record.info.pixel_bytes;
        state.image_suitable = true;
    }
    if (f == QLatin1String("PNG") && FileExists(p) && blnExtract && IsPngFile(p) != 1) {
        const QString t = QStringLiteral("The selected input file has extension 'PNG'") + kCrLf +
                          QStringLiteral("but this is not a PNG file.");
        ShowOk(ui_, t, MessageIcon::Information, QStringLiteral("Invalid input"));
        setReportText(t);
        return;
    }
    txbImageFile[index]->setText(p);
    UpdateFileToolTips();
    SetTheFocus();
}

void frmMain::cmdClearMessageFile_Click() {
    txbMessageFile->clear();
    UpdateFileToolTips();
    SetTheFocus();
}

void frmMain::cmdClearImageFile_Click(int index) {
    txbImageFile[index]->clear();
    UpdateFileToolTips();
    SetTheFocus();
}

// ---- Key and perform --------------------------------------------------------

void frmMain::cmdKey_Click() {
    setReportText(QString());
    keyWindow->KeyboardWithDisplay(this, intTPPY);
    if (keyWindow->blnCancel) {
        SetTheFocus();
        return;
    }
    if (keyWindow->keyText().isEmpty()) {
        setReportText(reportText() + QStringLiteral("Key cleared.") + kCrLf);
        cmdKey->setText(QStringLiteral("Specify key"));
    } else {
        OutputIfNotAlready(QStringLiteral("Key specified.") + kCrLf);
        cmdKey->setText(QStringLiteral("View key"));
    }
    SetTheFocus();
}

Entries frmMain::entries() const {
    Entries e;
    e.hide = blnHide;
    e.format = optBMP->isChecked() ? ImageFormat::Bmp : ImageFormat::Png;
    e.message_file = txbMessageFile->text();
    e.original_image = txbImageFile[0]->text();
    e.stego_image = txbImageFile[1]->text();
    e.warn_on_overwrite = chkWarnOnOverwrite->isChecked();
    e.display_in_browser = chkDisplayInBrowser->isChecked();
    e.open_after_extraction = chkOpenAfterExtraction->isChecked();
    return e;
}

QString frmMain::keyText() const { return keyWindow->keyText(); }

bool frmMain::openDocument(const QString &path) { return launcher(path); }

void frmMain::cmdPerformTheOperation_Click() {
    state.velta_folder = strVeltaFolder;
    state.min_randomness = dblMinRandomness;
    PerformTheOperation(*this, ui_, state);
}

// ---- Seams for settings files, the browser page and help ------------------------

// A cancelled dialog saves and loads nothing: writing to, or reloading over
// the entries from, a file the user did not just choose would lose work.
bool frmMain::cmdSaveState_Click(int index) {
    const bool save = index == 0;
    const QString title =
        save ? QStringLiteral("Specify folder and name of file in which to save the settings")
             : QStringLiteral("Specify folder and name of file from which to load the settings");
    const QString filter = QStringLiteral("Settings files (*.velta)");
    const QString name = save ? ui_.saveFileName(title, filter) : ui_.openFileName(title, filter);
    bool done = false;
    if (!name.isEmpty()) {
        // Names are case-sensitive here: the path stays as chosen.
        strSettingsFile = name;
        if (save && FileExists(strSettingsFile) && chkWarnOnOverwrite->isChecked() &&
            !AskYesNo(ui_,
                      QStringLiteral("The settings file ") + strSettingsFile + kCrLf +
                          QStringLiteral("already exists and will be overwritten.") +
                          QStringLiteral("  Is this OK?"),
                      MessageIcon::None, QStringLiteral("Confirm overwrite of file"))) {
            strSettingsFile.clear();
        }
        if (!strSettingsFile.isEmpty()) {
            done = save ? SaveSettings() : LoadSettings(strSettingsFile);
        }
    }
    SetTheFocus();
    return done;
}

bool frmMain::SaveSettings() {
    if (strSettingsFile.isEmpty()) {
        return false;
    }
    SettingsEntries v;
    v.hide = optHide->isChecked();
    v.png = optPNG->isChecked();
    v.openAfterExtraction = chkOpenAfterExtraction->isChecked();
    v.warnOnOverwrite = chkWarnOnOverwrite->isChecked();
    SaveModeFields();
    for (int mode = 0; mode < 2; ++mode) {
        for (int field = 0; field < 3; ++field) {
            v.modeFields[mode][field] = astrModeFields[mode][field];
        }
    }
    v.backColor = lngBackColor == kGreyWindowColour ? velta::kGreyWindowColour
                                                    : velta::kDefaultWindowColour;
    v.displayInBrowser = chkDisplayInBrowser->isChecked();
    v.horizontal = optHorizontal->isChecked();
    QString error;
    const bool ok = WriteSettingsFile(strSettingsFile, v, error);
    if (!ok) {
        ShowOk(ui_, QStringLiteral("Error when attempting to save the settings: ") + error,
               MessageIcon::Exclamation, QStringLiteral("Save settings"));
    }
    SetTheFocus();
    return ok;
}

bool frmMain::LoadSettings(const QString &path) {
    if (path.isEmpty()) {
        return false;
    }
    SettingsEntries v;
    const SettingsReadResult r = ReadSettingsFile(path, v);
    const int n = r.linesApplied;
    if (n >= 1) {
        // Through the click handlers, so the per-mode boxes are kept as usual.
        (v.hide ? optHide : optExtract)->setChecked(true);
        v.hide ? optHide_Click() : optExtract_Click();
    }
    if (n >= 2) {
        (v.png ? optPNG : optBMP)->setChecked(true);
        v.png ? optPNG_Click() : optBMP_Click();
    }
    if (n >= 3) {
        chkOpenAfterExtraction->setChecked(v.openAfterExtraction);
    }
    if (n >= 4) {
        chkWarnOnOverwrite->setChecked(v.warnOnOverwrite);
    }
    if (n >= 5) {
        for (int line = 5; line <= qMin(n, 10); ++line) {
            const int mode = (line - 5) / 3;
            const int field = (line - 5) % 3;
            // The extract mode has no original image.
            astrModeFields[mode][field] = mode == 1 && field == 1 ? QString() : v.modeFields[mode][field];
            if (field == 2) {
                astrModeFields[mode][3].clear();
            }
        }
        // Also when the file ends among these lines: the boxes must show
        // what the memory now holds, or the next mode switch would undo it.
        RestoreModeFields();
    }
    if (n >= 11) {
        lngBackColor = v.backColor == velta::kGreyWindowColour ? kGreyWindowColour : kDefaultWindowColour;
        SetWindowColour(lngBackColor);
    }
    if (n >= 12) {
        chkDisplayInBrowser->setChecked(v.displayInBrowser);
    }
    if (n >= 13) {
        (v.horizontal ? optHorizontal : optVertical)->setChecked(true);
    }
    if (!r.valid) {
        ShowOk(ui_, QStringLiteral("Settings file partially or wholly invalid or out-of-date."),
               MessageIcon::Exclamation, QStringLiteral("Invalid settings file"));
    }
    UpdateFileToolTips();
    GotFocus();
    return r.valid;
}

bool frmMain::DisplayImagesInBrowser() {
    const Entries e = entries();
    return velta::DisplayImagesInBrowser(e.original_image, e.stego_image, optVertical->isChecked(),
                                         ui_, launcher);
}

void frmMain::cmdHelp_Click() {
    ShowHelp(this, ui_, [this](int16_t number) { return programText(number); }, kManualPage);
}

// ---- Quitting ---------------------------------------------------------------

bool frmMain::cmdQuit_Click() {
    if (quitting_) {
        return true;
    }
    bool unsaved = false;
    for (const auto &mode : astrModeFields) {
        for (int field = 0; field < 3; ++field) {
            unsaved = unsaved || !mode[field].isEmpty();
        }
    }
    if (unsaved) {
        const MessageAnswer a = ui_.showMessage(programText(44) + kCrLf + kCrLf + programText(46),
                                                MessageIcon::None, MessageButtons::YesNoCancel,
                                                cmdQuit->text());
        if (a == MessageAnswer::Cancel) {
            return false;
        }
        if (a == MessageAnswer::No) {
            strSettingsFile.clear();
        } else {
            if (!cmdSaveState_Click(0) || strSettingsFile.isEmpty()) {
                return false;  // not saved: stay, nothing is lost
            }
        }
    }
    WriteRegistryString(kHkeyCurrentUser, kRegistryKey, kCnfgValue, strSettingsFile);
    RemoveWorkingFolders(strVeltaFolder);
    ReleaseResources();
    quitting_ = true;
    Timer1->stop();
    return true;
}

void frmMain::WipeKey() { keyWindow->WipeKey(); }

void frmMain::ReleaseResources() {
    if (released_) {
        return;
    }
    released_ = true;
    WipeKey();
    Engine().deallocateBuffers();
}

void frmMain::closeEvent(QCloseEvent *event) {
    // Not while an operation runs: quitting releases the engine's buffers.
    if (!quitting_ && !cmdPerformTheOperation->isEnabled()) {
        event->ignore();
        return;
    }
    if (cmdQuit_Click()) {
        event->accept();
    } else {
        event->ignore();
    }
}

}  // namespace velta
