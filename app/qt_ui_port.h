#pragma once
// The real user-interface port: QMessageBox, QFileDialog and a pause that
// keeps the windows painted.
#include <QPointer>
#include <QWidget>

#include "driver/ui_port.h"

namespace velta {

class QtUiPort : public UiPort {
public:
    explicit QtUiPort(QWidget *owner = nullptr) : owner_(owner) {}
    void setOwner(QWidget *owner) { owner_ = owner; }

    MessageAnswer showMessage(const QString &text, MessageIcon icon, MessageButtons buttons,
                              const QString &title) override;
    QString openFileName(const QString &title, const QString &filter) override;
    QString saveFileName(const QString &title, const QString &filter) override;
    void pause(int milliseconds) override;

private:
    QPointer<QWidget> owner_;
};

}  // namespace velta
