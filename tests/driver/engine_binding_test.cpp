#include "driver/engine_binding.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "png_fixtures.h"

namespace {

using velta::EngineBinding;
using velta::EngineBindStatus;

void ExpectNothingBound(EngineBinding &engine)
{
    EXPECT_FALSE(engine.isBound());
    EXPECT_EQ(engine.allocateBuffers(), 0);
    EXPECT_EQ(engine.hideMessage(), velta::kStatusEngineNotBound);
    EXPECT_EQ(engine.extractMessage(), velta::kStatusEngineNotBound);
    velta::BmpRecord record;
    record.file_path = QStringLiteral("/nonexistent.bmp");
    EXPECT_EQ(engine.getBmpFileInfo(record, 0, 0), velta::kStatusEngineNotBound);
    EXPECT_EQ(engine.operationInitialization(true, "m", 1, "/tmp/"), velta::kStatusEngineNotBound);
    EXPECT_FALSE(engine.seedPrngs(QByteArray(OMBRA_KEY_BYTES, 'K')));
    engine.deallocateBuffers();  // harmless
}

TEST(EngineBinding, UnboundEngineRefusesEveryCall)
{
    EngineBinding engine;
    EXPECT_EQ(engine.lastResult().status, EngineBindStatus::NotBound);
    ExpectNothingBound(engine);
}

TEST(EngineBinding, MissingLibraryIsReportedWithItsPath)
{
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    EngineBinding engine;
    const velta::EngineBindResult r = engine.bind(empty.path());
    EXPECT_EQ(r.status, EngineBindStatus::LibraryMissing);
    EXPECT_EQ(r.library_path, QDir(empty.path()).filePath(velta::EngineLibraryFileName()));
    EXPECT_TRUE(r.missing_function.isEmpty());
    EXPECT_TRUE(r.text.contains(QDir::toNativeSeparators(r.library_path))) << r.text.toStdString();
    EXPECT_TRUE(r.text.contains(QStringLiteral("not found"))) << r.text.toStdString();
    ExpectNothingBound(engine);
}

TEST(EngineBinding, FileThatIsNoLibraryIsNotLoadable)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile fake(QDir(dir.path()).filePath(velta::EngineLibraryFileName()));
    ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
    fake.write("this is not a shared object");
    fake.close();
    EngineBinding engine;
    const velta::EngineBindResult r = engine.bind(dir.path());
    EXPECT_EQ(r.status, EngineBindStatus::LibraryNotLoadable);
    EXPECT_TRUE(r.text.contains(QStringLiteral("could not be loaded"))) << r.text.toStdString();
    ExpectNothingBound(engine);
}

TEST(EngineBinding, LibraryLackingAFunctionNamesIt)
{
    // Built beside the tests by tests/CMakeLists.txt: every entry point but hide_message.
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/fake_engine");
    ASSERT_TRUE(QFile::exists(QDir(folder).filePath(velta::EngineLibraryFileName())));
    EngineBinding engine;
    const velta::EngineBindResult r = engine.bind(folder);
    EXPECT_EQ(r.status, EngineBindStatus::FunctionMissing);
    EXPECT_EQ(r.missing_function, QStringLiteral("hide_message"));
    EXPECT_TRUE(r.text.contains(QStringLiteral("hide_message"))) << r.text.toStdString();
    // The seven functions it has must not stay usable on their own.
    ExpectNothingBound(engine);
}

TEST(EngineBinding, RealEngineBindsFromTheProgramFolder)
{
    EngineBinding engine;
    const velta::EngineBindResult r = engine.bind();
    ASSERT_TRUE(r.ok()) << r.text.toStdString();
    EXPECT_EQ(engine.allocateBuffers(), 1);
    EXPECT_FALSE(engine.seedPrngs(QByteArray(OMBRA_KEY_BYTES - 1, 'K')));
    EXPECT_TRUE(engine.seedPrngs(QByteArray(OMBRA_KEY_BYTES, 'K')));
    // The program and the command-line front end may both bind: the second
    // bind must not reload the library and lose its buffers.
    EXPECT_TRUE(engine.bind(QCoreApplication::applicationDirPath()).ok());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    velta::BmpRecord record;
    record.file_path = dir.filePath("plain.bmp");
    ASSERT_TRUE(fixtures::WriteAll(record.file_path, fixtures::BmpBytes(8, 8, 24, 0, {}, 192)));
    EXPECT_EQ(engine.getBmpFileInfo(record, 0, 0), OMBRA_BMP_OK) << "the buffers were lost";
    EXPECT_EQ(record.info.width, 8);
    EXPECT_EQ(record.info.file_path, nullptr);
    engine.deallocateBuffers();

    // A failed rebind leaves nothing of the earlier binding behind.
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    EXPECT_EQ(engine.bind(empty.path()).status, EngineBindStatus::LibraryMissing);
    ExpectNothingBound(engine);
}

}  // namespace
