#pragma once
// Size texts and trimming.
#include <QLocale>
#include <QString>
#include <cstdint>

namespace velta {

// "0 bytes", "512 bytes", "1.00 Kb", "1,024.00 Kb", "1.50 Mb", "3.00 Gb":
// units of 1024, chosen from the unformatted value; decimal and group
// separators of `locale` (the default locale when omitted).
QString SizeText(double bytes, int32_t decimals);
QString SizeText(double bytes, int32_t decimals, const QLocale &locale);
// Empty when the path is empty or names no file.
QString FileSizeText(const QString &path, int32_t decimals);

void TrimControlChars(QString &text);          // codes <= 32 from both ends
void TrimTrailingControlChars(QString &text);  // codes < 32 from the end

}  // namespace velta
