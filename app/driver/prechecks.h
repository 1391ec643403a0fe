#pragma once
// Before an image reaches the engine: is it readable, suitable, and big
// enough for the data file?
#include <QString>
#include <cstdint>

#include "driver/workflow.h"

namespace velta {

// Paths in the working folder. Names are folded like the engine folds them
// (A-Z only), so the engine's in-place rewrite lands on the file we read.
QString ConvertedBmpPath(const QString &velta_folder, const QString &png_path);
QString EngineOutputPath(const QString &velta_folder, const QString &bmp_path);
QString CheckCopyPath(const QString &converted_bmp_path);

// Suitability tests on a record that get_bmp_file_info filled with status 0.
void AssessImageSuitability(BmpRecord &record, bool hide, double min_randomness);

// The two-stage capacity estimate with its dialogs. D data bytes, C colour
// bytes, F the original image file's length.
bool CapacityIsSufficient(int64_t data_bytes, int64_t colour_bytes, int64_t image_file_bytes,
                          ImageFormat format, UiPort &ui);

// The engine seeded with the key's engine key; false when the engine refused.
bool SeedEngine(const QString &key_text);

// Inspects the operation's image into state.bmp_info (InspectImage).
bool InspectImage(WorkflowHost &host, UiPort &ui, OperationState &state);

// InspectImage plus the "Image unsuitable" box; the host's gotFocus at the end.
bool CheckInputImage(WorkflowHost &host, UiPort &ui, OperationState &state);

// A BMP chosen as original: inspected and judged. `message` names the
// image (full path or "The image file " + name) and the reason.
struct BmpCheck {
    bool suitable = false;
    QString message;
    BmpRecord record;
};
BmpCheck CheckBmpFile(const QString &path, bool full_path, double min_randomness);

}  // namespace velta
