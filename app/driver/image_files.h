#pragma once
// Image inspection and PNG/BMP conversion for the operation run and the
// main window.
#include <QString>
#include <cstdint>

#include "driver/bmp_record.h"

namespace velta {

// The conversion's success text.
inline const QString kConvertNoError = QStringLiteral("No Error");

// -1 when the file does not exist (an empty path or a folder counts as not
// existing), 1 when it begins with the PNG signature, else 0.
int16_t IsPngFile(const QString &path);

// get_bmp_file_info through the bound engine on record.file_path; copies the
// engine's fields into record.info and returns its code (0 ... -6), or
// kStatusEngineNotBound.
int16_t ReadBmpInfo(BmpRecord &record, int32_t search_signature = 0,
                    int32_t not_found_value = 0);

// Converts `source` into `destination`; the direction follows from the
// source's content: a PNG becomes an uncompressed 8-bit grey or 24-bit BMP,
// a BMP (8-bit grey or 24-bit) becomes a PNG with exactly its pixel values.
// `message` is "No Error" on success (the result is then true), otherwise a
// sentence saying why; on failure the destination is left as it was (the
// result is written beside it and renamed into place only when complete).
bool ConvertImageFile(const QString &source, const QString &destination, QString &message);

// As ConvertImageFile; on success deletes `source` when asked, on failure
// deletes `destination` when asked, ignoring errors of the deletion.
bool ConvertImageFileAndClean(const QString &source, const QString &destination,
                              bool delete_source_on_success,
                              bool delete_destination_on_failure, QString &message);

}  // namespace velta
