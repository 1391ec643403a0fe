#include "persist/registry.h"

#include <QFileInfo>
#include <QSettings>

namespace velta {
namespace {

const QString kOk = QStringLiteral("The operation completed successfully.");

// "Software\<organisation>\<application>" names the store; anything else
// (or another hive) is a key this program does not keep.
bool OpenStore(uint32_t hive, const QString &keyPath, QString &organisation, QString &application) {
    const QStringList parts = keyPath.split(QLatin1Char('\\'));
    if (hive != kHkeyCurrentUser || parts.size() != 3 ||
        parts[0].compare(QLatin1String("Software"), Qt::CaseInsensitive) != 0 ||
        parts[1].isEmpty() || parts[2].isEmpty()) {
        return false;
    }
    organisation = parts[1];
    application = parts[2];
    return true;
}

}  // namespace

bool RegistryStatusOk(const QString &status) { return status.startsWith(QLatin1Char('0')); }

QString ReadRegistryString(uint32_t hive, const QString &keyPath, const QString &valueName,
                           QString &value) {
    value.clear();
    QString organisation;
    QString application;
    if (keyPath.isEmpty() || !OpenStore(hive, keyPath, organisation, application)) {
        return QStringLiteral("1 Key not found or is empty.");
    }
    const QSettings store(QSettings::NativeFormat, QSettings::UserScope, organisation,
                          application);
#ifndef Q_OS_WIN
    if (!QFileInfo::exists(store.fileName())) {
        return QStringLiteral("1 Key not found or is empty.");
    }
#endif
    if (valueName.isEmpty()) {
        return QStringLiteral("2 Name not specified.");
    }
    if (store.status() != QSettings::NoError || !store.contains(valueName)) {
        return QStringLiteral("3 Name not found.");
    }
    value = store.value(valueName).toString();
    // A stored terminating NUL is not part of the value.
    if (value.endsWith(QChar(0))) {
        value.chop(1);
    }
    return value.isEmpty() ? QStringLiteral("0 Empty value") : QStringLiteral("0 OK");
}

QString WriteRegistryString(uint32_t hive, const QString &keyPath, const QString &valueName,
                            const QString &value) {
    QString organisation;
    QString application;
    if (!OpenStore(hive, keyPath, organisation, application) || valueName.isEmpty()) {
        return QStringLiteral("87 Unable to create (or find) key.  The parameter is incorrect.");
    }
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, organisation, application);
    const bool existed = QFileInfo::exists(store.fileName()) || !store.allKeys().isEmpty();
    store.setValue(valueName, value);
    store.sync();
    if (store.status() != QSettings::NoError) {
        return QStringLiteral("5 Unable to create (or find) key.  Access is denied.");
    }
    return (existed ? QStringLiteral("0 Key already exists.") : QStringLiteral("0 New key created.")) +
           QStringLiteral("  ") + kOk;
}

}  // namespace velta
