#pragma once
// A real main window, offscreen, with scripted answers, its own
// configuration store and its own working folder.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QAbstractButton>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

#include "driver/scripted_ui_port.h"
#include "frmKey.h"
#include "frmMain.h"

namespace velta::test {

inline QByteArray ReadAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void WriteAll(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(bytes);
}

// Data that compresses in parts and not in others, like a real file.
inline QByteArray SampleData(int size, uint32_t seed) {
    QByteArray out;
    out.reserve(size);
    uint32_t x = seed;
    while (out.size() < size) {
        x = x * 1664525u + 1013904223u;
        if ((x >> 28) < 4) {
            out.append("the quick brown fox jumps over the lazy dog ");
        } else {
            out.append(static_cast<char>(x >> 16));
        }
    }
    out.truncate(size);
    return out;
}

inline QString Corpus(const char *name) {
    return QStringLiteral(VELTA_CORPUS_DIR "/") + QLatin1String(name);
}

// Processes events until `done` holds (QTRY_ style); false on time-out.
inline bool WaitFor(const std::function<bool()> &done, int timeout_ms = 5000) {
    const QDeadlineTimer deadline(timeout_ms);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        QDir(tmp.path()).mkpath(QStringLiteral("run"));
        QDir(tmp.path()).mkpath(QStringLiteral("config"));
        QDir(tmp.path()).mkpath(QStringLiteral("files"));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(tmp.filePath(QStringLiteral("run"))));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           tmp.filePath(QStringLiteral("config")));
        ui.onUnexpected = [](const QString &what) { ADD_FAILURE() << what.toStdString(); };
        w = std::make_unique<frmMain>(ui);
        w->launcher = [this](const QString &target) {
            launched.append(target);
            return true;
        };
        ASSERT_TRUE(w->Form_Load());
        ui.clearRecord();
    }

    void TearDown() override {
        if (w) {
            EXPECT_EQ(ui.pendingAnswers(), 0) << "answers queued but never asked for";
            quit();
            w.reset();
        }
    }

    // Quits, declining to save any stored entries.
    void quit() {
        bool unsaved = false;
        for (const auto &mode : w->astrModeFields) {
            for (int field = 0; field < 3; ++field) {
                unsaved = unsaved || !mode[field].isEmpty();
            }
        }
        if (unsaved) {
            ui.answerQuestion(MessageAnswer::No, QStringLiteral("Quit"));
        }
        EXPECT_TRUE(w->cmdQuit_Click());
    }

    QString file(const QString &name) const { return tmp.filePath(QStringLiteral("files/") + name); }
    QString workingBase() const { return tmp.filePath(QStringLiteral("run/velta")); }

    template <typename T>
    T *child(const QString &name) const {
        T *c = w->findChild<T *>(name);
        EXPECT_NE(c, nullptr) << name.toStdString();
        return c;
    }
    void click(const QString &name) { child<QAbstractButton>(name)->click(); }
    QString text(const QString &name) const { return child<QLineEdit>(name)->text(); }

    void setKey(const QString &key) { w->keyWindow->setKeyText(key); }

    // Fills the boxes through the file dialogs, as a user would.
    void chooseHideFiles(const QString &data, const QString &original, const QString &stego) {
        ui.answerFileDialog(data);
        click(QStringLiteral("cmdMessageFile"));
        ui.answerFileDialog(original);
        click(QStringLiteral("cmdImageFile(0)"));
        ui.answerFileDialog(stego);
        click(QStringLiteral("cmdImageFile(1)"));
    }

    QTemporaryDir tmp;
    ScriptedUiPort ui;
    std::unique_ptr<frmMain> w;
    QStringList launched;
};

}  // namespace velta::test
