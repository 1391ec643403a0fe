// get_bmp_file_info on arbitrary file contents, with and without the
// signature search.
#include "fuzz_support.h"
#include "ombra.h"

namespace {

void check(const BmpFileInfo &info, int32_t code, bool searched) {
    if (code > 0 || code < -6) fuzz::fail("status out of range", code);
    if (code != 0) return;
    const int32_t b = info.bits_per_pixel;
    if (b != 1 && b != 4 && b != 8 && b != 24) fuzz::fail("accepted bit depth", b);
    if (b == 24 && info.is_grayscale != 0) fuzz::fail("24-bit image called grey", 0);
    if (b == 1 && info.is_grayscale != 1) fuzz::fail("1-bit image not grey", 0);
    // Strides of absurd widths saturate at the largest (and smallest) 32-bit value.
    if (info.row_stride % 4 != 0 && info.row_stride != INT32_MAX && info.row_stride != INT32_MIN) {
        fuzz::fail("row stride not padded", info.row_stride);
    }
    if (searched && info.sequence_index != 800 &&
        (info.signature_offset < 0 || info.signature_offset > 31)) {
        fuzz::fail("signature offset", info.signature_offset);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool ready = [] {
        if (allocate_buffers() != 1) fuzz::fail("allocate_buffers", 0);
        seed_prngs(fuzz::fixed_key().data());
        return true;
    }();
    (void)ready;
    static const std::string path = fuzz::scratch("image.bmp");
    if (!fuzz::write_bytes(path, data, size)) fuzz::fail("cannot write the input", 0);

    BmpFileInfo info{};
    info.file_path = path.c_str();
    check(info, get_bmp_file_info(&info, 0, 0), false);

    BmpFileInfo searched{};
    searched.file_path = path.c_str();
    searched.sequence_index = -7;
    searched.signature_offset = -7;
    const int32_t code = get_bmp_file_info(&searched, 1, 800);
    check(searched, code, true);
    if (code == 0 && searched.sequence_index == 800 && searched.signature_offset != -7) {
        fuzz::fail("signature offset set without a match", searched.signature_offset);
    }
    return 0;
}
