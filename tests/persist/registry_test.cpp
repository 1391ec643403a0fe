#include "persist/registry.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace velta {
namespace {

// Every case gets its own configuration folder; the user's is never touched.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path());
    }
    QString read(QString &value) {
        return ReadRegistryString(kHkeyCurrentUser, kRegistryKey, kCnfgValue, value);
    }
    QTemporaryDir dir_;
};

TEST_F(RegistryTest, FirstStartFindsNoKey) {
    QString value = QStringLiteral("stale");
    EXPECT_EQ(read(value), QStringLiteral("1 Key not found or is empty."));
    EXPECT_TRUE(value.isEmpty());
    EXPECT_TRUE(QDir(dir_.path()).isEmpty());  // reading creates nothing
}

TEST_F(RegistryTest, WriteThenReadRoundTrip) {
    const QString path = QStringLiteral("/home/u/My settings/été.velta");
    EXPECT_EQ(WriteRegistryString(kHkeyCurrentUser, kRegistryKey, kCnfgValue, path),
              QStringLiteral("0 New key created.  The operation completed successfully."));
    QString value;
    EXPECT_EQ(read(value), QStringLiteral("0 OK"));
    EXPECT_EQ(value, path);
    // Start-up empties it again.
    EXPECT_TRUE(RegistryStatusOk(
        WriteRegistryString(kHkeyCurrentUser, kRegistryKey, kCnfgValue, QString())));
    EXPECT_EQ(WriteRegistryString(kHkeyCurrentUser, kRegistryKey, kCnfgValue, QString()).left(22),
              QStringLiteral("0 Key already exists. "));
    EXPECT_EQ(read(value), QStringLiteral("0 Empty value"));
    EXPECT_TRUE(value.isEmpty());
    // The store lives in the folder the test chose, under the maker's name.
    EXPECT_TRUE(QFile::exists(dir_.filePath(QStringLiteral("Brannock Works/VELTA.conf"))));
}

TEST_F(RegistryTest, NameErrors) {
    WriteRegistryString(kHkeyCurrentUser, kRegistryKey, QStringLiteral("Other"), QStringLiteral("x"));
    QString value;
    EXPECT_EQ(read(value), QStringLiteral("3 Name not found."));
    EXPECT_EQ(ReadRegistryString(kHkeyCurrentUser, kRegistryKey, QString(), value),
              QStringLiteral("2 Name not specified."));
    EXPECT_EQ(ReadRegistryString(kHkeyCurrentUser, QString(), kCnfgValue, value),
              QStringLiteral("1 Key not found or is empty."));
    EXPECT_EQ(ReadRegistryString(0x80000002u, kRegistryKey, kCnfgValue, value).left(1),
              QStringLiteral("1"));
}

TEST_F(RegistryTest, UnwritableStoreIsAFailureStatus) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes anywhere";
    }
    QFile::setPermissions(dir_.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const QString status =
        WriteRegistryString(kHkeyCurrentUser, kRegistryKey, kCnfgValue, QStringLiteral("x"));
    QFile::setPermissions(dir_.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_FALSE(RegistryStatusOk(status)) << status.toStdString();
}

TEST(RegistryStatus, LeadingDigitDecides) {
    EXPECT_TRUE(RegistryStatusOk(QStringLiteral("0 ???")));
    EXPECT_TRUE(RegistryStatusOk(QStringLiteral("0 Empty value")));
    EXPECT_FALSE(RegistryStatusOk(QStringLiteral("3 Name not found.")));
    EXPECT_FALSE(RegistryStatusOk(QString()));
}

}  // namespace
}  // namespace velta
