// The helpers the operation run and the front ends use to place files: temporary
// names beside a target, moves in one step, the removal of old working
// folders, and the content comparison that must not pass on unreadable files.
#include "util/digest.h"
#include "util/fileutil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "file_fixture.h"

#include <vector>

namespace velta {
namespace {

QByteArray ReadAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class RunHelpersTest : public test::FileFixture {};

TEST_F(RunHelpersTest, SiblingTempPathIsFreeAndBesideTheTarget) {
    const QString target = dir_.filePath(QStringLiteral("out.png"));
    for (int i = 0; i < 20; ++i) {
        const QString temp = SiblingTempPath(target);
        EXPECT_EQ(FolderOfPath(temp, false), FolderOfPath(target, false));
        EXPECT_FALSE(QFileInfo(temp).exists() || QFileInfo(temp).isSymLink());
        write(NamePart(temp), "taken");  // the next one must avoid it
    }
}

// A copy over an existing file goes through a new name: a file of the user's
// called "<destination>.part" is neither used nor deleted.
TEST_F(RunHelpersTest, CopyLeavesTheUsersPartFileAlone) {
    const QString source = write(QStringLiteral("a.bin"), "new content");
    const QString dest = write(QStringLiteral("b.bin"), "old");
    const QString part = write(QStringLiteral("b.bin.part"), "the user's own");
    QString error;
    ASSERT_TRUE(CopyFileTo(source, dest, error, true)) << error.toStdString();
    EXPECT_EQ(ReadAll(dest), QByteArray("new content"));
    EXPECT_EQ(ReadAll(part), QByteArray("the user's own"));
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

TEST_F(RunHelpersTest, ReplaceFileMovesInOneStep) {
    const QString from = write(QStringLiteral("from"), "1");
    const QString to = write(QStringLiteral("to"), "2");
    QString error;
    ASSERT_TRUE(ReplaceFile(from, to, error));
    EXPECT_EQ(ReadAll(to), QByteArray("1"));
    EXPECT_FALSE(QFileInfo::exists(from));
    EXPECT_FALSE(ReplaceFile(from, to, error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadAll(to), QByteArray("1"));
}

TEST_F(RunHelpersTest, KillFileRetriesAFileNobodyMayDelete) {
    // Not even root may unlink a /proc entry.
    const QString held = QStringLiteral("/proc/self/status");
    ASSERT_TRUE(QFileInfo::exists(held));
    EXPECT_FALSE(KillFile(held));
    EXPECT_EQ(pauses_, (std::vector<int>{500, 500, 500}));
}

TEST_F(RunHelpersTest, SameContentDigestNeedsTwoReadableEqualFiles) {
    const QString a = write(QStringLiteral("a"), "same bytes");
    const QString b = write(QStringLiteral("b"), "same bytes");
    const QString c = write(QStringLiteral("c"), "same byteS");
    const QString missing = dir_.filePath(QStringLiteral("missing"));
    EXPECT_TRUE(SameContentDigest(a, b));
    EXPECT_FALSE(SameContentDigest(a, c));
    EXPECT_FALSE(SameContentDigest(a, missing));
    // The silent comparison lets two missing files pass; this one does not.
    int32_t code = 0;
    QString err;
    EXPECT_TRUE(SameDigitalSignature(missing, missing, code, err, false));
    EXPECT_FALSE(SameContentDigest(missing, missing));
}

struct NameCase {
    const char *path;
    const char *name_part;
    const char *ascii_lower;
};

class NameParts : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameParts, Table) {
    const QString path = QString::fromUtf8(GetParam().path);
    EXPECT_EQ(NamePart(path), QString::fromUtf8(GetParam().name_part));
    EXPECT_EQ(AsciiLower(NamePart(path)), QString::fromUtf8(GetParam().ascii_lower));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, NameParts,
    ::testing::Values(NameCase{"/a/B.PNG", "B.PNG", "b.png"},
                      NameCase{"Photo.png", "Photo.png", "photo.png"},  // no separator
                      NameCase{"/dir.x/", "", ""},
                      // The engine folds A-Z only: É stays as it is.
                      NameCase{"/p/ÉTÉ Z.BMP", "ÉTÉ Z.BMP", "ÉtÉ z.bmp"}));

TEST_F(RunHelpersTest, FileLength64IsNotCapped) {
    const QString f = write(QStringLiteral("sparse"), "");
    QFile file(f);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    if (!file.resize(qint64{3} << 30)) {
        GTEST_SKIP() << "no sparse files here";
    }
    file.close();
    EXPECT_EQ(FileLength64(f), qint64{3} << 30);
    EXPECT_EQ(FileLength(f), INT32_MAX);
    EXPECT_EQ(FileLength64(dir_.filePath(QStringLiteral("none"))), -53);
    EXPECT_EQ(FileLength64(QString()), -52);
}

class WorkingFolders : public RunHelpersTest {
protected:
    void SetUp() override {
        RunHelpersTest::SetUp();
        old_ = qgetenv("XDG_RUNTIME_DIR");
        ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("run")));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir_.filePath(QStringLiteral("run"))));
    }
    void TearDown() override {
        qputenv("XDG_RUNTIME_DIR", old_);
        RunHelpersTest::TearDown();
    }
    QByteArray old_;
};

TEST_F(WorkingFolders, RemovesThisRunsFolderAndOlderOnesOnly) {
    const QString first = CreateWorkingFolder(QStringLiteral("VELTA"), true);
    const QString second = CreateWorkingFolder(QStringLiteral("VELTA"), true);
    const QString third = CreateWorkingFolder(QStringLiteral("VELTA"), true);
    ASSERT_FALSE(third.isEmpty());
    EXPECT_TRUE(third.endsWith(QStringLiteral("/VELTA003/")));
    QFile(second + QStringLiteral("leftover.bmp")).open(QIODevice::WriteOnly);
    RemoveWorkingFolders(second);
    EXPECT_FALSE(QFileInfo::exists(first));
    EXPECT_FALSE(QFileInfo::exists(second));
    EXPECT_TRUE(QFileInfo(third).isDir());  // another run's, still in use
    RemoveWorkingFolders(third);
    EXPECT_FALSE(QFileInfo::exists(third));
}

TEST_F(WorkingFolders, NothingOutsideTheBaseIsRemoved) {
    const QString outside = dir_.filePath(QStringLiteral("VELTA001"));
    ASSERT_TRUE(QDir().mkdir(outside));
    RemoveWorkingFolders(outside);
    RemoveWorkingFolders(outside + QStringLiteral("/"));
    const QString base = FirstFixedDrive();
    ASSERT_FALSE(base.isEmpty());
    const QString nested = base + QStringLiteral("/VELTA001/VELTA001");
    ASSERT_TRUE(QDir().mkpath(nested));
    RemoveWorkingFolders(nested);
    EXPECT_TRUE(QFileInfo(outside).isDir());
    EXPECT_TRUE(QFileInfo(nested).isDir());
}

}  // namespace
}  // namespace velta
