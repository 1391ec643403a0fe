#pragma once
// The modal key window: the key as typed, its checksum, and three answers.
#include <QDialog>
#include <QString>
#include <cstdint>

class QLabel;
class QLineEdit;
class QPushButton;

namespace velta {

class frmKey : public QDialog {
    Q_OBJECT
public:
    explicit frmKey(QWidget *parent = nullptr);

    // Placed along the bottom of `main_window`, shown modally; returns when
    // answered. The caller then reads blnCancel and the key text.
    void KeyboardWithDisplay(const QWidget *main_window, int intTPPY);
    QString keyText() const;
    void setKeyText(const QString &text);
    // Overwrites and clears the key and its copy; checksum -1.
    void WipeKey();

    QLineEdit *txbKey = nullptr;
    QLabel *lblChecksumIs = nullptr;
    QLabel *lblUseThisKey = nullptr;
    QPushButton *cmdYes = nullptr;
    QPushButton *cmdNo = nullptr;
    QPushButton *cmdCancel = nullptr;

    bool blnCancel = false;
    int16_t intMinKeyLength = 16;
    int16_t intMaxKeyLength = 64;
    int16_t intKeyChecksum = -1;
    QString strKeyOnEntry;

    static const QString kCaption;

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void reject() override;  // Escape and the close box count as Cancel

private:
    void txbKey_Change();
    void LayOut();
    void Place();
    void cmdYes_Click();
    void cmdNo_Click();
    void cmdCancel_Click();

    const QWidget *place_over_ = nullptr;
    int tppy_ = 15;
};

}  // namespace velta
