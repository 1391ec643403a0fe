#include "util/format.h"

#include "util/fileutil.h"

#include <QFileInfo>

namespace velta {

QString SizeText(double bytes, int32_t decimals) { return SizeText(bytes, decimals, QLocale()); }

QString SizeText(double bytes, int32_t decimals, const QLocale &locale) {
    if (bytes == 0) {
        return QStringLiteral("0 bytes");
    }
    if (bytes < 1024) {
        return QString::number(bytes, 'f', 0) + QStringLiteral(" bytes");
    }
    QLocale grouped = locale;
    grouped.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    const int places = decimals < 0 ? 0 : decimals;
    double v = bytes / 1024;
    QString unit = QStringLiteral(" Kb");
    if (v >= 1024) {
        v /= 1024;
        unit = QStringLiteral(" Mb");
        if (v >= 1024) {
            v /= 1024;
            unit = QStringLiteral(" Gb");
        }
    }
    return grouped.toString(v, 'f', places) + unit;
}

QString FileSizeText(const QString &path, int32_t decimals) {
    if (path.isEmpty() || !FileExists(path)) {
        return {};
    }
    // The real size: FileLength stops at 2 GiB.
    return SizeText(static_cast<double>(QFileInfo(path).size()), decimals);
}

void TrimControlChars(QString &text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32) {
        ++begin;
    }
    while (end > begin && text[end - 1].unicode() <= 32) {
        --end;
    }
    text = text.mid(begin, end - begin);
}

void TrimTrailingControlChars(QString &text) {
    while (!text.isEmpty() && text.back().unicode() < 32) {
        text.chop(1);
    }
}

}  // namespace velta
