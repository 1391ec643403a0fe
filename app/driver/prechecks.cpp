#include "driver/prechecks.h"

#include <QLocale>
#include <cmath>
#include <cstdlib>

#include "driver/engine_binding.h"
#include "driver/image_files.h"
#include "driver/status_messages.h"
#include "driver/ui_port.h"
#include "util/digest.h"
#include "util/fileutil.h"
#include "util/keyderivation.h"

namespace velta {

namespace {
constexpr int32_t kNotFoundValue = 800;
constexpr int32_t kMinPixelBytes = 1024;

QString Grouped(int64_t n) { return QLocale().toString(static_cast<qlonglong>(n)); }

const QString kTooSmallTitle = QStringLiteral("Image file too small");
const QString kProbablyTooSmallTitle = QStringLiteral("Image file probably too small");
const QString kTooSmall = QStringLiteral(
    "The image file is too small to hide the data file.\r\n"
    "To hide the data file you must use a larger image file.");
const QString kProbablyTooSmall = QStringLiteral(
    "The image file is probably too small to hide the data file.\r\n"
    "Do you wish to proceed anyway?");
}  // namespace

QString FormatName(ImageFormat format) {
    return format == ImageFormat::Png ? QStringLiteral("PNG") : QStringLiteral("BMP");
}

void AppendReportLine(WorkflowHost &host, const QString &line) {
    host.setReportText(host.reportText() + line + kCrLf);
}

QString ConvertedBmpPath(const QString &velta_folder, const QString &png_path) {
    QString name = AsciiLower(NamePart(png_path));
    name.chop(3);
    return velta_folder + name + QStringLiteral("bmp");
}

QString EngineOutputPath(const QString &velta_folder, const QString &bmp_path) {
    return velta_folder + AsciiLower(NamePart(bmp_path));
}

QString CheckCopyPath(const QString &converted_bmp_path) {
    return converted_bmp_path.left(converted_bmp_path.size() - 4) + QStringLiteral("2.bmp");
}

void AssessImageSuitability(BmpRecord &record, bool hide, double min_randomness) {
    BmpFileInfo &info = record.info;
    info.size_matches = FileLength64(record.file_path) == int64_t{info.file_size} ? 1 : 0;
    info.unsuitable_reason = 0;
    if (info.pixel_bytes < kMinPixelBytes) {
        info.unsuitable_reason = 2;
    } else if (!((info.bits_per_pixel == 8 && info.is_grayscale == 1) ||
                 info.bits_per_pixel == 24)) {
        info.unsuitable_reason = 1;
    } else if (info.compression >= 1) {
        info.unsuitable_reason = 4;
    } else if (info.size_matches == 0) {
        info.unsuitable_reason = 3;
    }
    if (info.unsuitable_reason != 0) {
        info.is_suitable = 0;
        return;
    }
    if (hide) {
        const double m = FileRandomness(record.file_path, 1024);
        if (!(m >= min_randomness)) {  // NaN counts as below
            info.unsuitable_reason = 5;
            info.is_suitable = 0;
            return;
        }
    }
    info.is_suitable = 1;
}

bool CapacityIsSufficient(int64_t d, int64_t c, int64_t f, ImageFormat format, UiPort &ui) {
    bool result = true;
    bool accepted = false;
    if (4 * d > c) {
        const QString p = QStringLiteral("The data file has ") + Grouped(d) +
                          QStringLiteral(" bytes and\r\nthe input image file has ") + Grouped(f) +
                          QStringLiteral(" bytes.\r\n");
        if (4 * d > 2 * c) {
            ShowOk(ui, p + kTooSmall, MessageIcon::None, kTooSmallTitle);
            result = false;
        } else if (AskYesNo(ui, p + kProbablyTooSmall, MessageIcon::None, kProbablyTooSmallTitle)) {
            accepted = true;
        } else {
            result = false;
        }
    }
    if (format == ImageFormat::Png && result && !accepted &&
        static_cast<double>(f) / 2.0 < static_cast<double>(d)) {
        if (d > f) {
            ShowOk(ui, kTooSmall, MessageIcon::None, kTooSmallTitle);
            result = false;
        } else if (!AskYesNo(ui, kProbablyTooSmall, MessageIcon::None, kProbablyTooSmallTitle)) {
            result = false;
        }
    }
    return result;
}

bool SeedEngine(const QString &key_text) {
    QByteArray key = EngineKey(key_text);
    const bool ok = Engine().seedPrngs(key);
    WipeBytes(key);
    return ok;
}

bool InspectImage(WorkflowHost &host, UiPort &ui, OperationState &state) {
    const Entries e = host.entries();
    BmpRecord &rec = state.bmp_info;
    if (!e.hide) {
        rec.info.sequence_index = 0;
        SeedEngine(host.keyText());
    }
    state.image_suitable = false;
    state.stego_image_readable = false;
    state.total_color_bytes = 0;
    const QString image = e.hide ? e.original_image : e.stego_image;
    rec.file_path =
        e.format == ImageFormat::Bmp ? image : ConvertedBmpPath(state.velta_folder, image);
    const int16_t s = ReadBmpInfo(rec, 0, kNotFoundValue);
    if (s == kStatusEngineNotBound) {
        ShowOk(ui, Engine().lastResult().text, MessageIcon::Exclamation, QStringLiteral("Error"));
        return false;
    }
    if (s != 0) {
        rec.info.is_suitable = 0;
        rec.info.unsuitable_reason = std::abs(s) + 5;
    } else if (e.hide) {
        state.total_color_bytes = rec.info.pixel_bytes;
        if (!CapacityIsSufficient(state.data_file_length, state.total_color_bytes,
                                  FileLength64(e.original_image), e.format, ui)) {
            host.setReportText(QString());
            return false;
        }
        AssessImageSuitability(rec, true, state.min_randomness);
        state.image_suitable = rec.info.is_suitable == 1;
    } else {
        state.stego_image_readable = true;
    }
    if (!e.hide) {
        state.image_suitable = state.stego_image_readable;
    }
    return true;
}

bool CheckInputImage(WorkflowHost &host, UiPort &ui, OperationState &state) {
    bool result = false;
    if (InspectImage(host, ui, state)) {
        if (host.entries().hide && !state.image_suitable) {
            ShowOk(ui, QStringLiteral("The input image is not suitable."), MessageIcon::Exclamation,
                   QStringLiteral("Image unsuitable"));
        } else {
            result = true;
        }
    }
    host.gotFocus();
    return result;
}

BmpCheck CheckBmpFile(const QString &path, bool full_path, double min_randomness) {
    BmpCheck out;
    out.record.file_path = path;
    const int16_t s = ReadBmpInfo(out.record, 0, kNotFoundValue);
    if (s != 0) {
        out.record.info.is_suitable = 0;
        out.record.info.unsuitable_reason = std::abs(s) + 5;
    } else {
        AssessImageSuitability(out.record, true, min_randomness);
    }
    out.suitable = out.record.info.is_suitable == 1;
    if (!out.suitable) {
        out.message = (full_path ? path
                                 : QStringLiteral("The image file ") + NamePart(path).toLower()) +
                      UnsuitabilityText(out.record.info);
    }
    return out;
}

}  // namespace velta
