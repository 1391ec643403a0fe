#include "driver/image_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "driver/engine_binding.h"
#include "driver/png_convert.h"

namespace velta {

namespace {

const char kPngSignature[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};

enum class ImageKind { Missing, Png, Bmp, Other };

ImageKind SniffImage(const QString &path)
{
    const QFileInfo fi(path);
    if (path.isEmpty() || !fi.exists() || fi.isDir()) return ImageKind::Missing;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return ImageKind::Other;
    const QByteArray head = file.read(8);
    if (head.size() == 8 && std::equal(head.begin(), head.end(), kPngSignature))
        return ImageKind::Png;
    if (head.startsWith("BM")) return ImageKind::Bmp;
    return ImageKind::Other;
}

}  // namespace

int16_t IsPngFile(const QString &path)
{
    switch (SniffImage(path)) {
    case ImageKind::Missing: return -1;
    case ImageKind::Png: return 1;
    default: return 0;
    }
}

int16_t ReadBmpInfo(BmpRecord &record, int32_t search_signature, int32_t not_found_value)
{
    return static_cast<int16_t>(
        Engine().getBmpFileInfo(record, search_signature, not_found_value));
}

bool ConvertImageFile(const QString &source, const QString &destination, QString &message)
{
    const ImageKind kind = SniffImage(source);
    if (kind == ImageKind::Missing) {
        message = QStringLiteral("The image file %1 does not exist")
                      .arg(QDir::toNativeSeparators(source));
        return false;
    }
    const QString canonical = QFileInfo(source).canonicalFilePath();
    if (!canonical.isEmpty() && canonical == QFileInfo(destination).canonicalFilePath()) {
        message = QStringLiteral("The image cannot be converted into its own file");
        return false;
    }
    bool ok = false;
    if (kind == ImageKind::Png) {
        ok = PngToBmp(source, destination, message);
    } else if (kind == ImageKind::Bmp) {
        ok = BmpToPng(source, destination, message);
    } else {
        message = QStringLiteral("The file %1 is neither a PNG nor a BMP image")
                      .arg(QDir::toNativeSeparators(source));
    }
    if (ok) message = kConvertNoError;
    return ok;
}

bool ConvertImageFileAndClean(const QString &source, const QString &destination,
                              bool delete_source_on_success,
                              bool delete_destination_on_failure, QString &message)
{
    const bool ok = ConvertImageFile(source, destination, message);
    if (ok && delete_source_on_success) QFile::remove(source);
    // Never the source: a refused "convert into itself" names it as destination.
    if (!ok && delete_destination_on_failure &&
        QFileInfo(destination).canonicalFilePath() != QFileInfo(source).canonicalFilePath())
        QFile::remove(destination);
    return ok;
}

}  // namespace velta
