#pragma once
// The one remembered value "Cnfg" (the settings file to restore), kept in
// QSettings: the very registry key on Windows, an INI file elsewhere. Status
// texts begin with their outcome digit; callers test only that digit.
#include <QString>
#include <cstdint>

namespace velta {

constexpr uint32_t kHkeyCurrentUser = 0x80000001u;
inline const QString kRegistryKey = QStringLiteral("Software\\Brannock Works\\VELTA");
inline const QString kCnfgValue = QStringLiteral("Cnfg");

QString ReadRegistryString(uint32_t hive, const QString &keyPath, const QString &valueName,
                           QString &value);
QString WriteRegistryString(uint32_t hive, const QString &keyPath, const QString &valueName,
                            const QString &value);
// True when a status text reports success.
bool RegistryStatusOk(const QString &status);

}  // namespace velta
