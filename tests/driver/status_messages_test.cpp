#include "driver/status_messages.h"

#include <gtest/gtest.h>

namespace {

struct StatusCase {
    int16_t code;
    const char *text;
};

class StatusMessageTest : public ::testing::TestWithParam<StatusCase> {};

TEST_P(StatusMessageTest, GivesTheTextOfTheCode)
{
    EXPECT_EQ(velta::StatusMessage(GetParam().code).toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, StatusMessageTest,
    ::testing::Values(
        StatusCase{-1, "Unable to open the data file"},
        StatusCase{-2, "Unable to read from the data file"},
        StatusCase{-3, "Unable to compress data file block"},
        StatusCase{-4, "Unable to open input image file"},
        StatusCase{-5, "Unable to read from input image file"},
        StatusCase{-6, "The input image file is too small to hold all the data"},
        StatusCase{-7, "Unable to open output image file"},
        StatusCase{-8, "Unable to write to output image file"},
        StatusCase{-9, "Output image filepath is too long (> 512 bytes)"},
        StatusCase{-10, "Input image file is damaged"},
        StatusCase{-12, "Data buffer overflow"},
        StatusCase{-13, "Unable to write to data file"},
        StatusCase{-14, "Recovered data block fails message digest test"},
        StatusCase{-15, "The data file is too large to be hidden"},
        StatusCase{-16, "Unable to extract data. Please check that\r\n"
                        "the input file and the stego key are correct"},
        StatusCase{-21, "Output buffer overflow on block decompression"},
        StatusCase{-22, "Code expansion error on block decompression"},
        StatusCase{-23, "Size of decompressed block is zero"},
        StatusCase{-30, "The input PNG image file is unsuitable"},
        // Codes without a text of their own.
        StatusCase{0, "Unknown error"}, StatusCase{1, "Unknown error"},
        StatusCase{-11, "Unknown error"}, StatusCase{-17, "Unknown error"},
        StatusCase{-20, "Unknown error"}, StatusCase{-24, "Unknown error"},
        StatusCase{-29, "Unknown error"}, StatusCase{-31, "Unknown error"},
        StatusCase{-40, "Unknown error"}, StatusCase{INT16_MIN, "Unknown error"},
        StatusCase{INT16_MAX, "Unknown error"}));

TEST(StatusMessage, NoTextEndsInAFullStop)
{
    for (int code = -40; code <= 1; ++code)
        EXPECT_FALSE(velta::StatusMessage(static_cast<int16_t>(code)).endsWith(u'.')) << code;
}

struct ReasonCase {
    int32_t reason;
    const char *text;
};

class UnsuitabilityTextTest : public ::testing::TestWithParam<ReasonCase> {};

TEST_P(UnsuitabilityTextTest, GivesTheEndOfTheSentence)
{
    BmpFileInfo info{};
    info.unsuitable_reason = GetParam().reason;
    // Every other field is noise the text must not depend on.
    info.bits_per_pixel = 24;
    info.is_suitable = 1;
    EXPECT_EQ(velta::UnsuitabilityText(info).toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, UnsuitabilityTextTest,
    ::testing::Values(
        ReasonCase{1, " is not suitable because \r\nthe image is neither 8-bit grayscale nor 24-bit color."},
        ReasonCase{2, " is not suitable because it is too small."},
        ReasonCase{3, " is not suitable because the filesize is incorrect."},
        ReasonCase{4, " is not suitable because the file is compressed."},
        ReasonCase{5, " is not suitable because it is too uniform."},
        ReasonCase{6, " is not suitable because unable to open BMP file."},
        ReasonCase{7, " is not suitable because unable to read BMP file."},
        ReasonCase{8, " is not suitable because 'BM' not found at start of file."},
        ReasonCase{9, " is not suitable because unable to read color table."},
        ReasonCase{10, " is not suitable because \r\nbits per pixel is not 1, 4, 8 or 24."},
        ReasonCase{11, " is not suitable because \r\nthe offset to the bitmap data is invalid."},
        ReasonCase{0, " is not suitable because of an unknown error."},
        ReasonCase{12, " is not suitable because of an unknown error."},
        ReasonCase{-1, " is not suitable because of an unknown error."}));

}  // namespace
