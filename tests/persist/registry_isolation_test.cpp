// The store of "Cnfg" lives where the test says, never in the user's own
// configuration, and a store that cannot be written reports it.
#include "persist/registry.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace velta {
namespace {

// Before any QSettings exists: the configuration folder is a temporary one
// for the whole program, so no case can reach the user's.
class TemporaryConfigHome : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.path()));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path());
    }
    static QTemporaryDir dir_;
};
QTemporaryDir TemporaryConfigHome::dir_;
const auto *const kConfigHome = ::testing::AddGlobalTestEnvironment(new TemporaryConfigHome);

TEST(RegistryIsolation, StoreIsInTheTemporaryFolder) {
    ASSERT_EQ(WriteRegistryString(kHkeyCurrentUser, kRegistryKey, kCnfgValue,
                                  QStringLiteral("/home/u/a.velta"))
                  .left(1),
              QStringLiteral("0"));
    const QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                          QStringLiteral("Brannock Works"), QStringLiteral("VELTA"));
    EXPECT_TRUE(store.fileName().startsWith(TemporaryConfigHome::dir_.path() + QLatin1Char('/')))
        << store.fileName().toStdString();
    EXPECT_TRUE(QFileInfo::exists(store.fileName()));
    QString value;
    EXPECT_EQ(ReadRegistryString(kHkeyCurrentUser, kRegistryKey, kCnfgValue, value),
              QStringLiteral("0 OK"));
    EXPECT_EQ(value, QStringLiteral("/home/u/a.velta"));
}

// A configuration folder under a plain file cannot be made, not even by root.
TEST(RegistryIsolation, UncreatableStoreIsAFailureStatus) {
    QTemporaryDir dir;
    const QString blocker = dir.filePath(QStringLiteral("file"));
    QFile(blocker).open(QIODevice::WriteOnly);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       blocker + QStringLiteral("/config"));
    const QString status =
        WriteRegistryString(kHkeyCurrentUser, kRegistryKey, kCnfgValue, QStringLiteral("x"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, TemporaryConfigHome::dir_.path());
    EXPECT_FALSE(RegistryStatusOk(status)) << status.toStdString();
    EXPECT_TRUE(status.at(0).isDigit()) << status.toStdString();
}

}  // namespace
}  // namespace velta
