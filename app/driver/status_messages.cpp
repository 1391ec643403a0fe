#include "driver/status_messages.h"

namespace velta {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

}  // namespace

QString StatusMessage(int16_t code)
{
    switch (code) {
    case -1: return QStringLiteral("Unable to open the data file");
    case -2: return QStringLiteral("Unable to read from the data file");
    case -3: return QStringLiteral("Unable to compress data file block");
    case -4: return QStringLiteral("Unable to open input image file");
    case -5: return QStringLiteral("Unable to read from input image file");
    case -6: return QStringLiteral("The input image file is too small to hold all the data");
    case -7: return QStringLiteral("Unable to open output image file");
    case -8: return QStringLiteral("Unable to write to output image file");
    case -9: return QStringLiteral("Output image filepath is too long (> 512 bytes)");
    case -10: return QStringLiteral("Input image file is damaged");
    case -12: return QStringLiteral("Data buffer overflow");
    case -13: return QStringLiteral("Unable to write to data file");
    case -14: return QStringLiteral("Recovered data block fails message digest test");
    case -15: return QStringLiteral("The data file is too large to be hidden");
    case -16:
        return QStringLiteral("Unable to extract data. Please check that") + kCrLf +
               QStringLiteral("the input file and the stego key are correct");
    case -21: return QStringLiteral("Output buffer overflow on block decompression");
    case -22: return QStringLiteral("Code expansion error on block decompression");
    case -23: return QStringLiteral("Size of decompressed block is zero");
    case kStatusPngUnsuitable: return QStringLiteral("The input PNG image file is unsuitable");
    default: return QStringLiteral("Unknown error");
    }
}

QString UnsuitabilityText(const BmpFileInfo &info)
{
    QString reason;
    bool own_line = false;
    switch (info.unsuitable_reason) {
    case 1:
        reason = QStringLiteral("the image is neither 8-bit grayscale nor 24-bit color.");
        own_line = true;
        break;
    case 2: reason = QStringLiteral("it is too small."); break;
    case 3: reason = QStringLiteral("the filesize is incorrect."); break;
    case 4: reason = QStringLiteral("the file is compressed."); break;
    case 5: reason = QStringLiteral("it is too uniform."); break;
    case 6: reason = QStringLiteral("unable to open BMP file."); break;
    case 7: reason = QStringLiteral("unable to read BMP file."); break;
    case 8: reason = QStringLiteral("'BM' not found at start of file."); break;
    case 9: reason = QStringLiteral("unable to read color table."); break;
    case 10:
        reason = QStringLiteral("bits per pixel is not 1, 4, 8 or 24.");
        own_line = true;
        break;
    case 11:
        reason = QStringLiteral("the offset to the bitmap data is invalid.");
        own_line = true;
        break;
    default: reason = QStringLiteral("of an unknown error."); break;
    }
    return QStringLiteral(" is not suitable because ") + (own_line ? kCrLf : QString()) + reason;
}

}  // namespace velta
