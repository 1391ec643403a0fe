#include "driver/operation_run.h"

#include <QFile>

#include "driver/engine_binding.h"
#include "driver/image_files.h"
#include "driver/prechecks.h"
#include "driver/status_messages.h"
#include "driver/ui_port.h"
#include "driver/validation.h"
#include "util/digest.h"
#include "util/fileutil.h"
#include "util/keyderivation.h"

namespace velta {

namespace {
constexpr int16_t kTextHideStarts = 15;
constexpr int16_t kTextExtractStarts = 17;
constexpr int32_t kPassNoMemory = OMBRA_PASS_NO_MEMORY;
const QString kNotDone = QStringLiteral("Not done");
const QString kDone = QStringLiteral("Done");

// An operation failed after the engine succeeded because its result could
// not be put where the user asked.
void ReportPlacementFailure(WorkflowHost &host, UiPort &ui, const QString &what,
                            const QString &path, const QString &error) {
    const QString text =
        QStringLiteral("Unable to write %1 %2").arg(what, path) + kCrLf + error;
    ShowOk(ui, text, MessageIcon::Exclamation, kNotDone);
    host.setReportText(text + kCrLf);
}

// The engine writes the extracted data beside the data file; it replaces
// the data file only when something was extracted.
QString ExtractionTarget(const QString &data_path) {
    const QString temp = SiblingTempPath(data_path);
    return QFile::encodeName(temp).size() > OMBRA_MAX_PATH ? data_path : temp;
}
}  // namespace

void PerformOperation(WorkflowHost &host, UiPort &ui, OperationState &state) {
    const Entries e = host.entries();
    const bool png = e.format == ImageFormat::Png;
    const QString folder = state.velta_folder;
    QString converted;
    QString message;

    if (e.hide) {
        AppendReportLine(host, host.programText(kTextHideStarts));
        state.image_suitable = false;
        if (png) {
            converted = ConvertedBmpPath(folder, e.original_image);
            ConvertImageFile(e.original_image, converted, message);
            if (!CheckInputImage(host, ui, state)) {
                host.setReportText(QString());
                return;
            }
        }
        if (Engine().passBmpFileInfo(0, state.bmp_info) == kPassNoMemory) {
            ShowOk(ui, QStringLiteral("Insufficient memory."), MessageIcon::Critical,
                   QStringLiteral("Problem"));
            return;
        }
        state.image_suitable = true;
    } else {
        AppendReportLine(host, host.programText(kTextExtractStarts));
        if (png) {
            converted = ConvertedBmpPath(folder, e.stego_image);
            ConvertImageFile(e.stego_image, converted, message);
            CheckInputImage(host, ui, state);
        } else {
            state.bmp_info.file_path = e.stego_image;
        }
        if (Engine().passBmpFileInfo(0, state.bmp_info) < 0) {
            ShowOk(ui, QStringLiteral("Insufficient memory."), MessageIcon::Critical,
                   QStringLiteral("Fatal error"));
            return;
        }
    }

    const QString engine_data_path = e.hide ? e.message_file : ExtractionTarget(e.message_file);
    const int32_t init = Engine().operationInitialization(e.hide, engine_data_path, 1, folder);
    if (init < 0) {
        QString line;
        if (init == OMBRA_INIT_MESSAGE_PATH_LONG) {
            line = QStringLiteral("Path to data file too long (is > 255 bytes).");
        } else if (init == OMBRA_INIT_OUTPUT_FOLDER_LONG) {
            line = QStringLiteral("Path to output images folder is too long (is > 255 bytes)");
        } else if (init == OMBRA_INIT_BAD_IMAGE_COUNT) {
            line = QStringLiteral("Number of suitable input images is <= 0.");
        }
        AppendReportLine(host, line);
        return;
    }

    SeedEngine(host.keyText());
    int32_t r = e.hide ? Engine().hideMessage() : Engine().extractMessage();

    if (e.hide && r > 0) {
        if (png) {
            // The new PNG is checked beside the stego path and moved into
            // place only when it carries every pixel byte.
            const QString temp_png = SiblingTempPath(e.stego_image);
            const QString check = CheckCopyPath(converted);
            ConvertImageFileAndClean(converted, temp_png, false, false, message);
            ConvertImageFile(temp_png, check, message);
            if (!SameContentDigest(converted, check)) {
                r = kStatusPngUnsuitable;
            }
            KillFile(check);
            QString error;
            if (r > 0 && !ReplaceFile(temp_png, e.stego_image, error)) {
                ReportPlacementFailure(host, ui, QStringLiteral("the stego image"), e.stego_image,
                                       error);
                r = 0;
            }
            KillFile(temp_png);
            KillFile(converted);
        } else {
            const QString output = EngineOutputPath(folder, e.original_image);
            QString error;
            if (!CopyFileTo(output, e.stego_image, error, true)) {
                ReportPlacementFailure(host, ui, QStringLiteral("the stego image"), e.stego_image,
                                       error);
                r = 0;
            }
            KillFile(output);
        }
        if (r > 0) {
            host.displayReport();
            ShowOk(ui, QStringLiteral("The data file has been hidden."), MessageIcon::None, kDone);
        }
    } else if (!e.hide) {
        if (engine_data_path != e.message_file) {
            // Nothing extracted: the data file stays as it was. Otherwise the
            // extracted data (whole, or up to a damaged block) replaces it.
            const bool produced = FileExists(engine_data_path);
            QString error;
            if (produced && r != OMBRA_E_NOTHING_EXTRACTED && r != 0 &&
                !ReplaceFile(engine_data_path, e.message_file, error)) {
                ReportPlacementFailure(host, ui, QStringLiteral("the data file"), e.message_file,
                                       error);
                r = 0;
            }
            KillFile(engine_data_path);
        }
        if (r > 0) {
            state.data_file_length = FileLength(e.message_file);
            host.displayReport();
            const QString name = NamePart(e.message_file);
            QString risky_extension;
            if (HasRiskyExtension(name, true, risky_extension) || !e.open_after_extraction) {
                ShowOk(ui, QStringLiteral("The data file has been extracted."), MessageIcon::None,
                       kDone);
            } else if (AskYesNo(ui,
                                QStringLiteral("The data file \"") + name +
                                    QStringLiteral("\" has been extracted.") + kCrLf + kCrLf +
                                    QStringLiteral("Do you wish to open this file?"),
                                MessageIcon::None, kDone)) {
                host.openDocument(e.message_file);
            }
        }
    }

    if (r >= 0) {
        return;
    }
    const QString m = StatusMessage(static_cast<int16_t>(r < -32768 ? -32768 : r));
    ShowOk(ui, QStringLiteral("Error, ") + m.toLower() + QStringLiteral("."),
           MessageIcon::Exclamation, kNotDone);
    host.setReportText(m + QStringLiteral(".") + kCrLf);
    if (e.hide && r == OMBRA_E_IMAGES_USED_UP) {
        host.gotFocus();
    }
}

void PerformTheOperation(WorkflowHost &host, UiPort &ui, OperationState &state) {
    host.setReportText(QString());
    QString not_emptied;
    EmptyFolder(state.velta_folder, not_emptied);
    const Entries e = host.entries();
    const QString m = ValidateInput(e, host.keyText().isEmpty(), host, state);
    if (!m.isEmpty()) {
        ShowOk(ui, m, MessageIcon::Information, QStringLiteral("Invalid input"));
        host.setReportText(m);
        return;
    }
    if (e.format == ImageFormat::Bmp && !CheckInputImage(host, ui, state)) {
        return;
    }
    if (e.warn_on_overwrite) {
        QString t;
        if (e.hide && FileExists(e.stego_image)) {
            t = QStringLiteral("The output image file exists.");
        } else if (!e.hide && FileExists(e.message_file)) {
            t = QStringLiteral("The file to contain the extracted message exists.");
        }
        if (!t.isEmpty() && !AskYesNo(ui, t + kCrLf + QStringLiteral("OK to overwrite it?"),
                                      MessageIcon::None, QStringLiteral("File exists"))) {
            return;
        }
    }
    host.enableControls(false);
    host.saveModeFields();
    PerformOperation(host, ui, state);
    ui.pause(kPauseAfterRunMs);
    host.enableControls(true);
    if (e.display_in_browser && e.hide) {
        ui.pause(kPauseAfterBrowserHideMs);
    }
    EmptyFolder(state.velta_folder, not_emptied);
}

}  // namespace velta
