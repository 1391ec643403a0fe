#pragma once
// The program's copy of an image record: the engine's BmpFileInfo, with the
// path kept as text. The engine sees the path only as 8-bit bytes for the
// duration of a call (info.file_path is null otherwise).
#include <QString>

#include "ombra.h"

namespace velta {

struct BmpRecord {
    QString file_path;
    BmpFileInfo info{};
};

}  // namespace velta
