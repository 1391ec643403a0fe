#pragma once
// Texts of engine status codes and of image unsuitability reasons. Pure
// functions; no text ends in a full stop, the caller adds one.
#include <QString>
#include <cstdint>

#include "ombra.h"

namespace velta {

// The program's own code: a stego PNG that did not read back as the very
// BMP the engine wrote.
constexpr int16_t kStatusPngUnsuitable = -30;

// Text of a failed hide or extract; "Unknown error" for codes without one.
// -16 is two lines joined by a carriage return and line feed.
QString StatusMessage(int16_t code);

// " is not suitable because " + (CR LF for reasons 1, 10, 11) + the reason's
// text; reads only info.unsuitable_reason.
QString UnsuitabilityText(const BmpFileInfo &info);

}  // namespace velta
