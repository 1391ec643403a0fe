#include "driver/scripted_ui_port.h"
#include "util/launch.h"
#include "util/programtext.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <vector>

namespace velta {
namespace {

class ProgramTextTest : public ::testing::Test {
protected:
    int32_t load(const QByteArray &content) {
        const QString path = dir_.filePath(QStringLiteral("velta.dat"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
        f.close();
        return LoadProgramTextFile(path);
    }
    QTemporaryDir dir_;
};

TEST_F(ProgramTextTest, LoadsAndLooksUp) {
    const QByteArray long1024 = QByteArray(1024, 'x');
    EXPECT_EQ(load("# head\r\n\r\n1=Velta\r\n2=~\r\n3=a=b \r\n4=" + long1024 + "\n"), 4);
    EXPECT_EQ(ProgramText(1), QStringLiteral("Velta"));
    EXPECT_EQ(ProgramText(2), QString());
    EXPECT_EQ(ProgramText(3), QStringLiteral("a=b "));
    EXPECT_EQ(ProgramText(4).size(), 1024);
    EXPECT_EQ(ProgramText(99), QString());
}

struct LoadCase {
    QByteArray content;
    int32_t code;
};
class ProgramTextFailure : public ProgramTextTest, public ::testing::WithParamInterface<LoadCase> {};
TEST_P(ProgramTextFailure, Codes) {
    load("1=loaded\n");
    EXPECT_EQ(load(GetParam().content), GetParam().code);
    EXPECT_EQ(ProgramText(1), QString());  // a failed load leaves nothing behind
}
INSTANTIATE_TEST_SUITE_P(
    Files, ProgramTextFailure,
    ::testing::Values(LoadCase{"", -6}, LoadCase{"# only comments\n\n", 0},
                      LoadCase{"1=a\n2=b\n1=c\n", -1503}, LoadCase{"1=a\n7=\n", -502},
                      LoadCase{"1=a\nno number\n", -502}, LoadCase{"70000=a\n", -501},
                      LoadCase{"1=" + QByteArray(1025, 'y') + "\n", -1001},
                      LoadCase{"1=\xff\xfe\n", -7}));

TEST_F(ProgramTextTest, MissingFileAndPath) {
    EXPECT_EQ(LoadProgramTextFile(dir_.filePath(QStringLiteral("none.dat"))), -1);
    EXPECT_EQ(ProgramTextPath(QStringLiteral("/opt/velta/"), QStringLiteral("velta.dat")),
              QStringLiteral("/opt/velta/velta.dat"));
    EXPECT_EQ(ProgramTextPath(QStringLiteral("/opt/velta"), QStringLiteral("velta.dat")),
              QStringLiteral("/opt/velta/velta.dat"));
}

TEST(ProgramTextMessage, Table) {
    EXPECT_EQ(ProgramTextLoadMessage(-1, QStringLiteral("/p/velta.dat")),
              QStringLiteral("Cannot open file containing program text.\r\n/p/velta.dat"));
    EXPECT_EQ(ProgramTextLoadMessage(0, {}), QStringLiteral("No program text was read."));
    EXPECT_EQ(ProgramTextLoadMessage(-1512, {}),
              QStringLiteral("Duplicate in program text at line 12."));
    EXPECT_EQ(ProgramTextLoadMessage(-1007, {}), QStringLiteral("String too long at line 7."));
    EXPECT_EQ(ProgramTextLoadMessage(-503, {}), QStringLiteral("Missing string at line 3."));
    EXPECT_EQ(ProgramTextLoadMessage(-5, {}), QStringLiteral("Error -5"));
    EXPECT_EQ(ProgramTextLoadMessage(-20, {}), QStringLiteral("Error -20"));
    EXPECT_EQ(ProgramTextLoadMessage(-6, {}), QStringLiteral("File is empty."));
}

// The shipped file loads and holds every number the program shows.
TEST(ShippedProgramText, HoldsEveryNumber) {
    const int32_t count = LoadProgramTextFile(QStringLiteral(VELTA_SOURCE_DIR "/app/velta.dat"));
    ASSERT_GT(count, 0) << ProgramTextLoadMessage(count, {}).toStdString();
    for (const int n : {1, 3, 4, 15, 17, 21, 22, 23, 24, 25, 26, 44, 46, 47, 184}) {
        EXPECT_FALSE(ProgramText(static_cast<int16_t>(n)).isEmpty()) << n;
    }
}

class RecordingLauncher : public Launcher {
public:
    bool openUrl(const QUrl &url) override {
        urls.push_back(url);
        return accept;
    }
    std::vector<QUrl> urls;
    bool accept = true;
};

class LaunchTest : public ::testing::Test {
protected:
    void SetUp() override { SetLauncher(launcher_); }
    void TearDown() override { SetLauncher(nullptr); }
    std::shared_ptr<RecordingLauncher> launcher_ = std::make_shared<RecordingLauncher>();
    ScriptedUiPort ui_;
    QTemporaryDir dir_;
};

TEST_F(LaunchTest, OpenDocument) {
    const QString f = dir_.filePath(QStringLiteral("out.txt"));
    QFile(f).open(QIODevice::WriteOnly);
    EXPECT_TRUE(OpenDocument(f, true, &ui_));
    ASSERT_EQ(launcher_->urls.size(), 1u);
    EXPECT_EQ(launcher_->urls[0], QUrl::fromLocalFile(f));
    // Missing file, quietly: no request, no message.
    EXPECT_FALSE(OpenDocument(dir_.filePath(QStringLiteral("gone.txt")), false, &ui_));
    EXPECT_EQ(launcher_->urls.size(), 1u);
    EXPECT_TRUE(ui_.messages().isEmpty());
    launcher_->accept = false;
    EXPECT_FALSE(OpenDocument(f, true, &ui_));
    ASSERT_EQ(ui_.messages().size(), 1);
    EXPECT_EQ(ui_.messages()[0].title, QStringLiteral("Error"));
    EXPECT_EQ(ui_.messages()[0].text,
              QStringLiteral("Error opening file ") + f +
                  QStringLiteral(".\r\nPerhaps the file extension is incorrect."));
}

TEST(LaunchText, WebPageHints) {
    EXPECT_EQ(WebPageErrorText(QStringLiteral("/tmp/a.xyz"), 31),
              QStringLiteral("Error launching web browser, error code = 31.\r\n\r\n"
                             "File extension 'xyz' is not associated with any application program."));
    EXPECT_EQ(WebPageErrorText(QStringLiteral("https://example.org/doc.htm"), 31),
              QStringLiteral("Error launching web browser, error code = 31.\r\n\r\n"
                             "File extension 'htm' is not associated with any application program."));
    EXPECT_EQ(WebPageErrorText(QStringLiteral("x"), 2),
              QStringLiteral("Error launching web browser, error code = 2.\r\n\r\nPlease try once more."));
    EXPECT_EQ(WebPageErrorText(QStringLiteral("x"), 5),
              QStringLiteral("Error launching web browser, error code = 5."));
}

TEST_F(LaunchTest, RefusedAndWebAddresses) {
    launcher_->accept = false;
    const QString f = dir_.filePath(QStringLiteral("page.xyz"));
    QFile(f).open(QIODevice::WriteOnly);
    EXPECT_EQ(LaunchTarget(f), kLaunchNoAssociation);
    EXPECT_EQ(LaunchTarget(dir_.filePath(QStringLiteral("none.htm"))), kLaunchFileNotFound);
    OpenWebPage(f, &ui_);
    ASSERT_EQ(ui_.messages().size(), 1);
    EXPECT_EQ(ui_.messages()[0].title, QStringLiteral("Cannot launch web browser"));
    EXPECT_EQ(ui_.messages()[0].text, WebPageErrorText(f, 31));
    launcher_->accept = true;
    EXPECT_GT(LaunchTarget(QStringLiteral("https://example.org/manual.htm")), 32);
    EXPECT_EQ(launcher_->urls.back(), QUrl(QStringLiteral("https://example.org/manual.htm")));
}

}  // namespace
}  // namespace velta
