#include "frmKey.h"

#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include "util/digest.h"
#include "util/fileutil.h"
#include "util/keyderivation.h"
#include "twips.h"

namespace velta {

const QString frmKey::kCaption =
    QStringLiteral("Enter the key (16-64 characters, spaces ignored, case not significant):");

namespace {
constexpr int kMargin = 150;          // twips from the right edge and between buttons
constexpr int kLeft = 105;
constexpr int kRow1Top = 105;
constexpr int kRow2Top = 600;
constexpr int kRowHeight = 375;
constexpr int kButtonWidth = 1140;
constexpr int kLabelWidth = 1500;
constexpr int kClientHeight = 1110;
constexpr int kDesignWidth = 11910;

void Wipe(QString &text) {
    text.fill(QChar(0));
    text.clear();
}
}  // namespace

frmKey::frmKey(QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmKey"));
    setWindowTitle(kCaption);
    setModal(true);
    QFont arial(QStringLiteral("Arial"));
    arial.setPointSizeF(9.75);
    setFont(arial);

    txbKey = new QLineEdit(this);
    txbKey->setObjectName(QStringLiteral("txbKey"));
    QFont mono(QStringLiteral("Courier New"));
    mono.setStyleHint(QFont::Monospace);
    mono.setFixedPitch(true);
    mono.setPointSizeF(9.75);
    txbKey->setFont(mono);
    txbKey->setMaxLength(intMaxKeyLength);

    lblChecksumIs = new QLabel(QStringLiteral("Checksum is 2222."), this);
    lblChecksumIs->setObjectName(QStringLiteral("lblChecksumIs"));
    lblUseThisKey = new QLabel(QStringLiteral("Use this key?"), this);
    lblUseThisKey->setObjectName(QStringLiteral("lblUseThisKey"));
    lblUseThisKey->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    cmdYes = new QPushButton(QStringLiteral("Yes"), this);
    cmdYes->setObjectName(QStringLiteral("cmdYes"));
    cmdNo = new QPushButton(QStringLiteral("No"), this);
    cmdNo->setObjectName(QStringLiteral("cmdNo"));
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    for (QPushButton *b : {cmdYes, cmdNo, cmdCancel}) {
        b->setAutoDefault(false);
    }

    connect(txbKey, &QLineEdit::textChanged, this, [this] { txbKey_Change(); });
    connect(cmdYes, &QPushButton::clicked, this, [this] { cmdYes_Click(); });
    connect(cmdNo, &QPushButton::clicked, this, [this] { cmdNo_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });

    resize(Px(kDesignWidth, this), Px(kClientHeight, this));
    LayOut();
}

QString frmKey::keyText() const { return txbKey->text(); }

void frmKey::setKeyText(const QString &text) { txbKey->setText(text); }

void frmKey::LayOut() {
    const int w = Twips(width(), this);
    PlaceTwips(txbKey, kLeft, kRow1Top, w - kMargin - kLeft, kRowHeight);
    const int cancel_left = w - kMargin - kButtonWidth;
    const int no_left = cancel_left - kMargin - kButtonWidth;
    const int yes_left = no_left - kMargin - kButtonWidth;
    PlaceTwips(cmdCancel, cancel_left, kRow2Top, kButtonWidth, kRowHeight);
    PlaceTwips(cmdNo, no_left, kRow2Top, kButtonWidth, kRowHeight);
    PlaceTwips(cmdYes, yes_left, kRow2Top, kButtonWidth, kRowHeight);
    PlaceTwips(lblUseThisKey, yes_left - kMargin - kLabelWidth, kRow2Top, kLabelWidth, kRowHeight);
    PlaceTwips(lblChecksumIs, kLeft, kRow2Top, 2400, kRowHeight);
}

void frmKey::resizeEvent(QResizeEvent *event) {
    QDialog::resizeEvent(event);
    LayOut();
}

void frmKey::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    Place();  // the frame is known only once shown
    LayOut();
    cmdCancel->setVisible(true);
    for (QWidget *w : {static_cast<QWidget *>(cmdYes), static_cast<QWidget *>(cmdNo),
                       static_cast<QWidget *>(lblChecksumIs), static_cast<QWidget *>(lblUseThisKey)}) {
        w->setVisible(false);
    }
    blnCancel = false;
    txbKey->setMaxLength(intMaxKeyLength);
    strKeyOnEntry = txbKey->text();
    txbKey_Change();
    txbKey->setFocus();
    txbKey->setCursorPosition(static_cast<int>(txbKey->text().size()));
}

void frmKey::txbKey_Change() {
    const bool admissible = KeyIsAdmissible(txbKey->text(), intMinKeyLength);
    for (QWidget *w : {static_cast<QWidget *>(cmdYes), static_cast<QWidget *>(cmdNo),
                       static_cast<QWidget *>(lblChecksumIs), static_cast<QWidget *>(lblUseThisKey)}) {
        w->setVisible(admissible);
    }
    if (admissible) {
        QString reduced = ReducedKey(txbKey->text());
        intKeyChecksum = KeyChecksum(reduced);
        Wipe(reduced);
        lblChecksumIs->setText(QStringLiteral("Checksum is %1.").arg(intKeyChecksum));
    }
}

void frmKey::Place() {
    if (place_over_ == nullptr) {
        return;
    }
    const QRect main = place_over_->frameGeometry();
    resize(place_over_->width(), height());
    const int frame_extra = frameGeometry().height() - height();
    const int pixel = Px(tppy_, this);
    move(main.left(), main.top() + main.height() - (height() + frame_extra) - 3 * pixel);
}

void frmKey::KeyboardWithDisplay(const QWidget *main_window, int intTPPY) {
    place_over_ = main_window;
    tppy_ = intTPPY > 0 ? intTPPY : 15;
    Place();
    exec();
}

void frmKey::cmdYes_Click() {
    // Only spaces are trimmed: inner ones stay and ReducedKey ignores them.
    const QString text = txbKey->text();
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == QLatin1Char(' ')) {
        ++first;
    }
    while (last > first && text[last - 1] == QLatin1Char(' ')) {
        --last;
    }
    if (first != 0 || last != text.size()) {
        txbKey->setText(text.mid(first, last - first));
    }
    done(QDialog::Accepted);
}

void frmKey::cmdNo_Click() {
    txbKey->clear();
    done(QDialog::Accepted);
}

void frmKey::cmdCancel_Click() {
    txbKey->setText(strKeyOnEntry);
    blnCancel = true;
    done(QDialog::Rejected);
}

void frmKey::reject() { cmdCancel_Click(); }

void frmKey::WipeKey() {
    QString text = txbKey->text();
    txbKey->setText(QString(text.size(), QChar(0)));
    txbKey->clear();
    Wipe(text);
    strKeyOnEntry.fill(QChar(0));
    strKeyOnEntry.clear();
    intKeyChecksum = -1;
}

}  // namespace velta
