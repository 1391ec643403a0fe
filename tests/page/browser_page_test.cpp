// The browser page: its exact text for both layouts, its name, the
// sequence with its pauses and messages, and a real browser that must show
// both images whatever the stego file is called.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QUrl>

#include "driver/browser_page.h"
#include "driver/image_files.h"
#include "driver/scripted_ui_port.h"
#include "support/headless_chromium.h"
#include "util/fileutil.h"
#include "util/launch.h"

namespace velta {
namespace {

QByteArray ReadAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteBytes(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

// Records what would be opened and keeps a copy of the page as the browser
// would read it (the page is deleted after the pause that follows).
class RecordingLauncher {
public:
    OpenDocumentFn fn() {
        return [this](const QString &path) {
            opened.append(path);
            page_at_open = ReadAll(path);
            return !refuse;
        };
    }
    bool refuse = false;
    QStringList opened;
    QByteArray page_at_open;
};

class BrowserPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        SetFileUtilPause([this](int ms) { ui_.pause(ms); });
        ASSERT_TRUE(dir_.isValid());
        original_ = dir_.filePath(QStringLiteral("original.bmp"));
        stego_ = dir_.filePath(QStringLiteral("stego.bmp"));
        WriteBytes(original_, QByteArray(1234, 'o'));
        WriteBytes(stego_, QByteArray(1234567, 's'));
    }
    void TearDown() override { SetFileUtilPause(nullptr); }
    QTemporaryDir dir_;
    QString original_;
    QString stego_;
    ScriptedUiPort ui_;
    RecordingLauncher launcher_;
};

TEST_F(BrowserPageTest, HorizontalPageReadsLineByLine) {
    const QString page = dir_.filePath(QStringLiteral("viewer01.htm"));
    const QString url = QUrl::fromLocalFile(dir_.path()).toString(QUrl::FullyEncoded);
    const QString expected =
        QStringLiteral("<html><head><title>\r\n") + page +
        QStringLiteral("\r\n"
                       "</title></head>\r\n"
                       "\r\n"
                       "<body bgcolor=\"#000000\" text=\"#FFFFFF\"><center>\r\n"
                       "\r\n"
                       "<center><table border=\"0\">\r\n"
                       "<tr><td align=\"center\">\r\n"
                       "Original image, size of file is 1,234 bytes<br>\r\n"
                       "<img src=\"") +
        url + QStringLiteral("/original.bmp\" border=\"1\">\r\n"
                             "</td><td width=\"32\">&nbsp;</td>\r\n"
                             "<td align=\"center\">\r\n"
                             "Stego image, size of file is 1,234,567 bytes<br>\r\n"
                             "<img src=\"") +
        url + QStringLiteral("/stego.bmp\" border=\"1\">\r\n"
                             "</td></tr>\r\n"
                             "</table></center>\r\n"
                             "</body></html>\r\n"
                             "\r\n");
    EXPECT_EQ(QString::fromLatin1(BrowserPageText(page, original_, stego_, false)), expected);
}

TEST_F(BrowserPageTest, VerticalPageReadsLineByLine) {
    const QString page = dir_.filePath(QStringLiteral("viewer01.htm"));
    const QString url = QUrl::fromLocalFile(dir_.path()).toString(QUrl::FullyEncoded);
    const QString expected =
        QStringLiteral("<html><head><title>\r\n") + page +
        QStringLiteral("\r\n"
                       "</title></head>\r\n"
                       "\r\n"
                       "<body bgcolor=\"#000000\" text=\"#FFFFFF\"><center>\r\n"
                       "\r\n"
                       "<center><table border=\"0\">\r\n"
                       "<tr><td align=\"center\">\r\n"
                       "Original image, size of file is 1,234 bytes<br>\r\n"
                       "<img src=\"") +
        url + QStringLiteral("/original.bmp\" border=\"1\">\r\n"
                             "</td></tr><tr><td>&nbsp;</td></tr><tr><td align=\"center\">\r\n"
                             "Stego image, size of file is 1,234,567 bytes<br>\r\n"
                             "<img src=\"") +
        url + QStringLiteral("/stego.bmp\" border=\"1\">\r\n"
                             "</td></tr>\r\n"
                             "</table></center>\r\n"
                             "</body></html>\r\n"
                             "\r\n");
    EXPECT_EQ(QString::fromLatin1(BrowserPageText(page, original_, stego_, true)), expected);
}

struct EscapeCase {
    const char *name;
    const char *html;
    const char *url_tail;
};

class PageEscapeTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(PageEscapeTest, TitleIsEscapedAndSourceIsAPercentEncodedFileUrl) {
    const EscapeCase c = GetParam();
    const QString name = QString::fromUtf8(c.name);
    EXPECT_EQ(HtmlEscaped(name), QString::fromLatin1(c.html));
    EXPECT_EQ(ImageSourceUrl(QStringLiteral("/pics/") + name),
              QStringLiteral("file:///pics/") + QString::fromLatin1(c.url_tail));
}

INSTANTIATE_TEST_SUITE_P(
    Names, PageEscapeTest,
    ::testing::Values(
        EscapeCase{"plain.png", "plain.png", "plain.png"},
        EscapeCase{"a b#1.png", "a b#1.png", "a%20b%231.png"},
        EscapeCase{"50%.png", "50%.png", "50%25.png"},
        EscapeCase{"say \"hi\".png", "say &quot;hi&quot;.png", "say%20%22hi%22.png"},
        EscapeCase{"<b>&amp.png", "&lt;b&gt;&amp;amp.png", "%3Cb%3E&amp.png"},
        EscapeCase{"caf\xc3\xa9 \xf0\x9f\x98\x80.png", "caf&#233; &#128512;.png",
                   "caf%C3%A9%20%F0%9F%98%80.png"},
        EscapeCase{"back\\slash?.png", "back\\slash?.png", "back%5Cslash%3F.png"}));

TEST_F(BrowserPageTest, AmpersandInTheSourceIsEscapedInTheAttribute) {
    const QString odd = dir_.filePath(QStringLiteral("R&D.bmp"));
    WriteBytes(odd, "x");
    const QString text =
        QString::fromLatin1(BrowserPageText(dir_.filePath(QStringLiteral("v.htm")), odd, odd, true));
    EXPECT_TRUE(text.contains(QStringLiteral("/R&amp;D.bmp\" border=\"1\">")));
    EXPECT_FALSE(text.contains(QStringLiteral("R&D")));
}

TEST_F(BrowserPageTest, ShowsOpensAfterTwoSecondsAndDeletesThreeSecondsLater) {
    ASSERT_TRUE(DisplayImagesInBrowser(original_, stego_, false, ui_, launcher_.fn()));
    const QString page = dir_.filePath(QStringLiteral("viewer01.htm"));
    EXPECT_EQ(launcher_.opened, QStringList{page});
    EXPECT_EQ(QString::fromLatin1(launcher_.page_at_open),
              QString::fromLatin1(BrowserPageText(page, original_, stego_, false)));
    EXPECT_EQ(ui_.pauses(), (QList<int>{100, 2000, 3000}));
    EXPECT_FALSE(QFile::exists(page));
    EXPECT_TRUE(ui_.messages().isEmpty());
}

// With no opener given, the page goes to the program's launcher.
class RecordingDesktop : public Launcher {
public:
    bool openUrl(const QUrl &url) override {
        urls.append(url);
        return true;
    }
    QList<QUrl> urls;
};

TEST_F(BrowserPageTest, OpensThroughTheProgramsLauncherByDefault) {
    auto desktop = std::make_shared<RecordingDesktop>();
    SetLauncher(desktop);
    const bool shown = DisplayImagesInBrowser(original_, stego_, true, ui_);
    SetLauncher(nullptr);
    EXPECT_TRUE(shown);
    EXPECT_EQ(desktop->urls,
              QList<QUrl>{QUrl::fromLocalFile(dir_.filePath(QStringLiteral("viewer01.htm")))});
    EXPECT_TRUE(ui_.messages().isEmpty());
}

TEST_F(BrowserPageTest, KeepsThePageWhenNotAskedToDelete) {
    const QString page = dir_.filePath(QStringLiteral("keep.htm"));
    EXPECT_EQ(ShowImagesInBrowser(page, original_, stego_, true, false, ui_, launcher_.fn()), kPageShown);
    EXPECT_EQ(ui_.pauses(), QList<int>{2000});
    EXPECT_TRUE(QFile::exists(page));
}

TEST_F(BrowserPageTest, BrowserThatDoesNotOpenIsReportedAndThePageStillDeleted) {
    launcher_.refuse = true;
    EXPECT_FALSE(DisplayImagesInBrowser(original_, stego_, true, ui_, launcher_.fn()));
    ASSERT_EQ(ui_.messages().size(), 1);
    EXPECT_EQ(ui_.messages().front().title, QStringLiteral("Error"));
    EXPECT_EQ(ui_.messages().front().text,
              QStringLiteral("Cannot open default browser to display images."));
    EXPECT_EQ(ui_.messages().front().icon, MessageIcon::Exclamation);
    EXPECT_FALSE(QFile::exists(dir_.filePath(QStringLiteral("viewer01.htm"))));
}

TEST_F(BrowserPageTest, PageThatCannotBeCreatedIsReportedAndNothingOpens) {
    EXPECT_EQ(ShowImagesInBrowser(QString(), original_, stego_, false, true, ui_, launcher_.fn()),
              kPageNotCreatable);
    // A file that appeared under the chosen name is not ours to replace.
    const QString taken = dir_.filePath(QStringLiteral("viewer01.htm"));
    WriteBytes(taken, "someone else's");
    EXPECT_EQ(ShowImagesInBrowser(taken, original_, stego_, false, true, ui_, launcher_.fn()),
              kPageNotCreatable);
    EXPECT_EQ(ReadAll(taken), QByteArray("someone else's"));
    EXPECT_TRUE(launcher_.opened.isEmpty());
    EXPECT_TRUE(ui_.pauses().isEmpty());
}

TEST_F(BrowserPageTest, FolderWhereNoFileCanBeMadeGivesTheMessagesAndOpensNothing) {
    // /proc/self is a folder in which not even root creates files.
    const QString folder = QStringLiteral("/proc/self/");
    EXPECT_EQ(ShowImagesInBrowser(folder + QStringLiteral("viewer01.htm"), original_, stego_, false,
                                  true, ui_, launcher_.fn()),
              kPageNotCreatable);
    EXPECT_FALSE(DisplayImagesInBrowser(original_, folder + QStringLiteral("stego.bmp"), false, ui_,
                                        launcher_.fn()));
    ASSERT_EQ(ui_.messages().size(), 1);
    EXPECT_EQ(ui_.messages().front().text,
              QStringLiteral("Error when attempting to display images:\r\nOn 99th attempt, ") +
                  folder + QStringLiteral("viewer99.htm was not creatable."));
    EXPECT_TRUE(launcher_.opened.isEmpty());
}

TEST_F(BrowserPageTest, NinetyNinthNameIsTheLastOne) {
    for (int n = 1; n <= 98; ++n) {
        WriteBytes(dir_.filePath(QStringLiteral("viewer%1.htm").arg(n, 2, 10, QLatin1Char('0'))),
                   "x");
    }
    ASSERT_TRUE(DisplayImagesInBrowser(original_, stego_, false, ui_, launcher_.fn()));
    EXPECT_EQ(launcher_.opened, QStringList{dir_.filePath(QStringLiteral("viewer99.htm"))});

    WriteBytes(dir_.filePath(QStringLiteral("viewer99.htm")), "x");
    launcher_.opened.clear();
    ui_.clearRecord();
    EXPECT_FALSE(DisplayImagesInBrowser(original_, stego_, false, ui_, launcher_.fn()));
    EXPECT_TRUE(launcher_.opened.isEmpty());
    ASSERT_EQ(ui_.messages().size(), 1);
    const ShownMessage &m = ui_.messages().front();
    EXPECT_EQ(m.title, QStringLiteral("Hiding data"));
    EXPECT_EQ(m.icon, MessageIcon::Exclamation);
    EXPECT_EQ(m.text, QStringLiteral("Error when attempting to display images:\r\nOn 99th attempt, ") +
                          dir_.filePath(QStringLiteral("viewer99.htm")) +
                          QStringLiteral(" was not creatable."));
}

TEST_F(BrowserPageTest, MissingFolderNamesItInTheMessage) {
    const QString gone = dir_.filePath(QStringLiteral("gone"));
    EXPECT_FALSE(DisplayImagesInBrowser(original_, gone + QStringLiteral("/stego.bmp"), false, ui_,
                                        launcher_.fn()));
    ASSERT_EQ(ui_.messages().size(), 1);
    EXPECT_EQ(ui_.messages().front().text,
              QStringLiteral("Error when attempting to display images:\r\n") + gone +
                  QStringLiteral("/ does not exist."));
}

// The page as the browser shows it: a copy with a script that records, once
// everything has loaded, each image's natural size and the page title.
struct RenderCase {
    const char *stego_name;
    bool vertical;
};

class BrowserRenderTest : public BrowserPageTest, public ::testing::WithParamInterface<RenderCase> {
protected:
    static QString Chromium() { return test::ChromiumPath(); }

    // Runs headless Chromium on `page` and returns its serialised DOM (empty
    // when it failed, which the checks of the DOM then report).
    QString DumpDom(const QString &page) {
        QByteArray dom;
        test::RunHeadlessChromium(page, {QStringLiteral("--dump-dom")}, &dom);
        return QString::fromUtf8(dom);
    }
};

TEST_P(BrowserRenderTest, ShowsBothImages) {
    if (Chromium().isEmpty()) GTEST_SKIP() << "chromium is not installed";
    // The original is a corpus photo; the stego image is its BMP conversion
    // under an awkward name (what the browser must load is the same kind of
    // file the hide writes).
    const QString original = dir_.filePath(QStringLiteral("kodim03 colour.png"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VELTA_CORPUS_DIR "/kodim03-colour.png"), original));
    const QString stego = dir_.filePath(QString::fromUtf8(GetParam().stego_name));
    if (stego.endsWith(QStringLiteral(".png"))) {
        ASSERT_TRUE(QFile::copy(original, stego));
    } else {
        QString message;
        ASSERT_TRUE(ConvertImageFile(original, stego, message)) << message.toStdString();
    }

    ASSERT_TRUE(DisplayImagesInBrowser(original, stego, GetParam().vertical, ui_, launcher_.fn()));
    ASSERT_EQ(launcher_.opened.size(), 1);
    const QString page = launcher_.opened.front();
    QByteArray probe = launcher_.page_at_open;
    const QByteArray script =
        "<script>window.addEventListener('load', function () {"
        " var sizes = [];"
        " for (var i = 0; i < document.images.length; ++i)"
        "   sizes.push(document.images[i].naturalWidth + 'x' + document.images[i].naturalHeight);"
        " document.body.setAttribute('data-sizes', sizes.join(','));"
        " document.body.setAttribute('data-title', encodeURIComponent(document.title.trim()));"
        "});</script>\r\n";
    const qsizetype end = probe.lastIndexOf("</body></html>");
    ASSERT_GE(end, 0);
    probe.insert(end, script);
    const QString probe_path = dir_.filePath(QStringLiteral("probe.htm"));
    WriteBytes(probe_path, probe);

    const QString dom = DumpDom(probe_path);
    EXPECT_NE(dom.indexOf(QStringLiteral("data-sizes=\"768x512,768x512\"")), -1)
        << dom.left(2000).toStdString();
    const int at = static_cast<int>(dom.indexOf(QStringLiteral("data-title=\"")));
    ASSERT_GE(at, 0);
    const int from = at + 12;
    const QString title = QUrl::fromPercentEncoding(
        dom.mid(from, dom.indexOf(QLatin1Char('"'), from) - from).toLatin1());
    EXPECT_EQ(title, page);
}

INSTANTIATE_TEST_SUITE_P(StegoNames, BrowserRenderTest,
                         ::testing::Values(RenderCase{"stego.bmp", false},
                                           RenderCase{"stego image #1.bmp", false},
                                           RenderCase{"stego image #1.bmp", true},
                                           RenderCase{"100% \"real\" & <odd>.png", false},
                                           RenderCase{"caf\xc3\xa9 st\xc3\xa9go.bmp", true}));

}  // namespace
}  // namespace velta
