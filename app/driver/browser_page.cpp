#include "driver/browser_page.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QUrl>

#include "driver/ui_port.h"
#include "util/fileutil.h"
#include "util/launch.h"

namespace velta {

namespace {

const QString kPageBaseName = QStringLiteral("viewer");
const QString kPageExtension = QStringLiteral("htm");
const QString kOriginalCaption = QStringLiteral("Original image");
const QString kStegoCaption = QStringLiteral("Stego image");
const QString kNameErrorTitle = QStringLiteral("Hiding data");
const QString kNameErrorText = QStringLiteral("Error when attempting to display images:");
const QString kPageErrorTitle = QStringLiteral("Error");
const QString kNotCreatableText = QStringLiteral("Cannot create HTML file to display images.");
const QString kNoBrowserText = QStringLiteral("Cannot open default browser to display images.");

const QByteArray kCrLf = QByteArrayLiteral("\r\n");

// The page text, one line at a time; the text is ASCII by construction.
class PageLines {
public:
    void line(const QString &text) { bytes_ += text.toLatin1() + kCrLf; }
    // A line followed by an empty one.
    void spacedLine(const QString &text) {
        line(text);
        bytes_ += kCrLf;
    }
    const QByteArray &bytes() const { return bytes_; }

private:
    QByteArray bytes_;
};

QString Quoted(const QString &text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

void WriteBrowserPageHead(PageLines &page, const QString &page_path) {
    page.line(QStringLiteral("<html><head><title>"));
    page.line(HtmlEscaped(page_path));
    page.spacedLine(QStringLiteral("</title></head>"));
    page.spacedLine(QStringLiteral("<body bgcolor=") + Quoted(QStringLiteral("#000000")) +
                    QStringLiteral(" text=") + Quoted(QStringLiteral("#FFFFFF")) +
                    QStringLiteral("><center>"));
}

void WriteImageCell(PageLines &page, const QString &caption, const QString &image_path) {
    const qint64 size = QFileInfo(image_path).size();
    page.line(HtmlEscaped(caption + QStringLiteral(", size of file is ") +
                          QLocale().toString(size) + QStringLiteral(" bytes")) +
              QStringLiteral("<br>"));
    page.line(QStringLiteral("<img src=") + Quoted(HtmlEscaped(ImageSourceUrl(image_path))) +
              QStringLiteral(" border=") + Quoted(QStringLiteral("1")) + QStringLiteral(">"));
}

void WriteTable(PageLines &page, const QString &original_image, const QString &stego_image,
                bool vertical) {
    const QString centred = QStringLiteral("<td align=") + Quoted(QStringLiteral("center")) +
                            QStringLiteral(">");
    page.line(QStringLiteral("<center><table border=") + Quoted(QStringLiteral("0")) +
              QStringLiteral(">"));
    page.line(QStringLiteral("<tr>") + centred);
    WriteImageCell(page, kOriginalCaption, original_image);
    if (vertical) {
        page.line(QStringLiteral("</td></tr><tr><td>&nbsp;</td></tr><tr>") + centred);
    } else {
        page.line(QStringLiteral("</td><td width=") + Quoted(QStringLiteral("32")) +
                  QStringLiteral(">&nbsp;</td>"));
        page.line(centred);
    }
    WriteImageCell(page, kStegoCaption, stego_image);
    page.line(QStringLiteral("</td></tr>"));
    page.line(QStringLiteral("</table></center>"));
    page.spacedLine(QStringLiteral("</body></html>"));
}

}  // namespace

QString HtmlEscaped(const QString &text) {
    QString out;
    out.reserve(text.size());
    const QList<uint> codes = text.toUcs4();
    for (const uint c : codes) {
        switch (c) {
        case '&': out += QStringLiteral("&amp;"); break;
        case '<': out += QStringLiteral("&lt;"); break;
        case '>': out += QStringLiteral("&gt;"); break;
        case '"': out += QStringLiteral("&quot;"); break;
        default:
            if (c < 0x20 || c > 0x7E) {
                out += QStringLiteral("&#%1;").arg(c);
            } else {
                out += QChar(static_cast<char16_t>(c));
            }
        }
    }
    return out;
}

QString ImageSourceUrl(const QString &path) {
    const QString absolute = QFileInfo(QDir::fromNativeSeparators(path)).absoluteFilePath();
    return QUrl::fromLocalFile(absolute).toString(QUrl::FullyEncoded);
}

QByteArray BrowserPageText(const QString &page_path, const QString &original_image,
                           const QString &stego_image, bool vertical) {
    PageLines page;
    WriteBrowserPageHead(page, page_path);
    WriteTable(page, original_image, stego_image, vertical);
    return page.bytes();
}

int16_t ShowImagesInBrowser(const QString &page_path, const QString &original_image,
                            const QString &stego_image, bool vertical, bool delete_afterwards,
                            UiPort &ui, const OpenDocumentFn &open_document) {
    if (page_path.isEmpty()) return kPageNotCreatable;
    {
        // NewOnly: the name was free when it was chosen; a file that has
        // appeared there since is somebody else's and stays as it is.
        QFile page(page_path);
        if (!page.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return kPageNotCreatable;
        const QByteArray text = BrowserPageText(page_path, original_image, stego_image, vertical);
        const bool written = page.write(text) == text.size() && page.flush();
        page.close();
        if (!written || page.error() != QFileDevice::NoError) {
            QFile::remove(page_path);
            return kPageNotCreatable;
        }
    }

    int16_t result = kPageShown;
    ui.pause(kPauseBeforeOpeningMs);
    const bool opened =
        open_document ? open_document(page_path) : OpenDocument(page_path, false, &ui);
    if (!opened) result = kBrowserNotOpened;
    if (delete_afterwards) {
        ui.pause(kPauseBeforeDeletingMs);
        KillFile(page_path, true, true, true);
    }
    return result;
}

bool DisplayImagesInBrowser(const QString &original_image, const QString &stego_image,
                            bool vertical, UiPort &ui, const OpenDocumentFn &open_document) {
    QString reason;
    const QString page =
        NewNumberedFileName(FolderOfPath(stego_image, false), kPageBaseName, kPageExtension, reason);
    if (page.isEmpty()) {
        ShowOk(ui, kNameErrorText + QStringLiteral("\r\n") + reason, MessageIcon::Exclamation,
               kNameErrorTitle);
        return false;
    }
    switch (ShowImagesInBrowser(page, original_image, stego_image, vertical, true, ui, open_document)) {
    case kPageNotCreatable:
        ShowOk(ui, kNotCreatableText, MessageIcon::Exclamation, kPageErrorTitle);
        return false;
    case kBrowserNotOpened:
        ShowOk(ui, kNoBrowserText, MessageIcon::Exclamation, kPageErrorTitle);
        return false;
    default: return true;
    }
}

}  // namespace velta
