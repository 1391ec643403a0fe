#include "driver/validation.h"

#include <QFileInfo>

#include "util/digest.h"
#include "util/fileutil.h"
#include "util/keyderivation.h"

namespace velta {

namespace {
const QString kS = QStringLiteral(" original (input) ");

QString FormatMismatch(ImageFormat format, const QString &which) {
    const bool png = format == ImageFormat::Png;
    return QStringLiteral("The file format is set to '%1'\r\nbut the %2 file has extension '%3'.")
        .arg(png ? QStringLiteral("PNG") : QStringLiteral("BMP"), which,
             png ? QStringLiteral("BMP") : QStringLiteral("PNG"));
}

// The extension that contradicts the chosen format.
QString WrongExtension(ImageFormat format) {
    return format == ImageFormat::Png ? QStringLiteral("bmp") : QStringLiteral("png");
}
}  // namespace

QString ValidateInput(const Entries &e, bool key_empty, const WorkflowHost &host,
                      OperationState &state) {
    const QString wrong = WrongExtension(e.format);
    if (e.hide) {
        if (e.original_image.isEmpty()) {
            return QStringLiteral("The") + kS + QStringLiteral("file has not been specified.");
        }
        if (ExtensionOfPath(e.original_image, true) == wrong) {
            return FormatMismatch(e.format, QStringLiteral("input"));
        }
        if (ExtensionOfPath(e.stego_image, true) == wrong) {
            return FormatMismatch(e.format, QStringLiteral("output"));
        }
        if (!FileExists(e.original_image)) {
            return QStringLiteral("The") + kS + QStringLiteral("file does not exist.");
        }
        if (e.stego_image.isEmpty()) {
            return QStringLiteral("The image file in which to hide the data has not been specified.");
        }
        if (e.message_file.isEmpty()) {
            return QStringLiteral("The file containing the data to be hidden has not been specified.");
        }
        if (!FileExists(e.message_file)) {
            return QStringLiteral("The file containing the data to be hidden does not exist.");
        }
    } else {
        if (e.stego_image.isEmpty()) {
            return QStringLiteral("The stego (input) file has not been specified.");
        }
        if (ExtensionOfPath(e.stego_image, true) == wrong) {
            return FormatMismatch(e.format, QStringLiteral("input"));
        }
        if (!FileExists(e.stego_image)) {
            return QStringLiteral("The stego (input) file does not exist.");
        }
        if (e.message_file.isEmpty()) {
            return QStringLiteral("The file to contain the extracted data has not been specified.");
        }
    }
    if (key_empty) {
        return QStringLiteral("The key has not been specified.");
    }
    if (e.hide) {
        const int64_t n = FileLength64(e.message_file);
        state.data_file_length = FileLength(e.message_file);
        if (n == 0) {
            return host.programText(25);
        }
        if (n > kMaxDataFileBytes) {
            return host.programText(23);
        }
        if (n == -52) {
            return host.programText(24);
        }
        if (e.original_image.compare(e.stego_image, Qt::CaseInsensitive) == 0) {
            return QStringLiteral("The output file cannot be the same as the input file.");
        }
        // The same file under two names would be overwritten while read.
        const QFileInfo in(e.original_image);
        const QFileInfo out(e.stego_image);
        if (out.exists() && in.canonicalFilePath() == out.canonicalFilePath()) {
            return QStringLiteral("The output file cannot be the same as the input file.");
        }
    }
    return QString();
}

}  // namespace velta
