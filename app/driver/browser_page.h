#pragma once
// The browser page that shows the original and the stego image after a
// hide: written beside the stego image as viewerNN.htm, opened with the
// handler for .htm files, deleted again a few seconds later.
//
// Paths are text from the user, so the page escapes them: captions and the
// title are HTML-escaped (and kept to ASCII with character references, the
// page having no declared encoding), and each image source is a
// percent-encoded file URL, so names with spaces, '#', '%' or quotes still
// show.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

namespace velta {

class UiPort;

// Hands a document to the handler for its type, silently; true when the
// request was accepted. Empty: OpenDocument(path, false) through the
// current launcher (util/launch.h).
using OpenDocumentFn = std::function<bool(const QString &path)>;

// ShowImagesInBrowser results.
constexpr int16_t kPageShown = 0;
constexpr int16_t kPageNotCreatable = -1;
constexpr int16_t kBrowserNotOpened = -2;

// Pauses around opening the page, in milliseconds.
constexpr int kPauseBeforeOpeningMs = 2000;
constexpr int kPauseBeforeDeletingMs = 3000;

// HTML text with & < > " escaped and every character beyond ASCII written as
// a numeric character reference.
QString HtmlEscaped(const QString &text);

// The file URL of a local path, percent-encoded (native separators allowed).
QString ImageSourceUrl(const QString &path);

// The whole page for these paths, as the bytes written (CR LF line ends).
// Image sizes are read from the files now.
QByteArray BrowserPageText(const QString &page_path, const QString &original_image,
                           const QString &stego_image, bool vertical);

// Writes the page (refusing to replace an existing file), waits, opens it
// through `open_document` and, when asked, waits again and deletes it; the page
// is deleted also when the browser did not open. kPageShown,
// kPageNotCreatable or kBrowserNotOpened.
int16_t ShowImagesInBrowser(const QString &page_path, const QString &original_image,
                            const QString &stego_image, bool vertical, bool delete_afterwards,
                            UiPort &ui, const OpenDocumentFn &open_document = {});

// What the report does after a successful hide when the images are to be
// shown: picks viewerNN.htm in the stego image's folder, shows the page and
// reports each failure in its message box. False when a message was shown
// (the caller then skips its final focus step).
bool DisplayImagesInBrowser(const QString &original_image, const QString &stego_image,
                            bool vertical, UiPort &ui,
                            const OpenDocumentFn &open_document = {});

}  // namespace velta
