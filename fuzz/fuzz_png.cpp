// PNG -> BMP conversion on arbitrary PNG bytes. A conversion that succeeds
// must give a BMP the engine accepts as a carrier kind; one that fails must
// leave the destination as it was.
#include "driver/png_convert.h"
#include "fuzz_support.h"
#include "ombra.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool ready = [] {
        if (allocate_buffers() != 1) fuzz::fail("allocate_buffers", 0);
        return true;
    }();
    (void)ready;
    static const std::string png = fuzz::scratch("in.png");
    static const std::string bmp = fuzz::scratch("out.bmp");
    static const uint8_t kOld[] = "an earlier file at the destination";

    if (!fuzz::write_bytes(png, data, size)) fuzz::fail("cannot write the input", 0);
    if (!fuzz::write_bytes(bmp, kOld, sizeof kOld)) fuzz::fail("cannot write the old file", 0);
    QString message;
    const bool ok = velta::PngToBmp(QString::fromStdString(png), QString::fromStdString(bmp),
                                    message);
    const std::vector<uint8_t> out = fuzz::read_bytes(bmp);
    if (!ok) {
        if (message.isEmpty()) fuzz::fail("a failure without a message", 0);
        if (out.size() != sizeof kOld || std::memcmp(out.data(), kOld, sizeof kOld) != 0) {
            fuzz::fail("a failed conversion changed the destination", 0);
        }
        return 0;
    }
    BmpFileInfo info{};
    info.file_path = bmp.c_str();
    const int32_t code = get_bmp_file_info(&info, 0, 0);
    if (code != 0) fuzz::fail("the BMP written is refused", code);
    if (info.compression != 0) fuzz::fail("compressed BMP", info.compression);
    if (!(info.bits_per_pixel == 24 || (info.bits_per_pixel == 8 && info.is_grayscale == 1))) {
        fuzz::fail("BMP kind", info.bits_per_pixel);
    }
    if (info.file_size < 0 || static_cast<size_t>(info.file_size) != out.size()) {
        fuzz::fail("stated file size", info.file_size);
    }
    const int64_t need = int64_t{info.row_stride} * (info.height < 0 ? -info.height : info.height);
    if (int64_t{info.data_offset} + need != static_cast<int64_t>(out.size())) {
        fuzz::fail("pixel data length", info.file_size);
    }
    return 0;
}
