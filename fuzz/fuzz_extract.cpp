// extract_message on mutated stego images hidden with the fixed key: the
// seeds reach header unmasking, payload collection, deciphering, expansion
// and the digest test; mutations break each of them in turn.
#include "fuzz_support.h"
#include "internal.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string image = fuzz::scratch("stego.bmp");
    static const std::string message = fuzz::scratch("message.out");
    static const std::vector<uint8_t> key = fuzz::fixed_key();

    // Every input starts from fresh engine state, as a new program run would.
    deallocate_buffers();
    ombra::g_state.block_limit = OMBRA_MAX_BLOCKS;
    if (allocate_buffers() != 1) fuzz::fail("allocate_buffers", 0);

    if (!fuzz::write_bytes(image, data, size)) fuzz::fail("cannot write the input", 0);
    BmpFileInfo info{};
    info.file_path = image.c_str();
    if (get_bmp_file_info(&info, 0, 0) != 0) return 0;

    if (pass_bmp_file_info(0, &info) != 0) fuzz::fail("pass_bmp_file_info", 0);
    if (operation_initialization(0, message.c_str(), 1, "") != 0) {
        fuzz::fail("operation_initialization", 0);
    }
    seed_prngs(key.data());
    const int32_t r = extract_message();

    static const int32_t kCodes[] = {-1, -4, -5, -10, -12, -13, -14, -16, -21, -22, -23};
    bool known = (r == 1);
    for (int32_t c : kCodes) known = known || (r == c);
    if (!known) fuzz::fail("extract_message status", r);

    const std::vector<uint8_t> written = fuzz::read_bytes(message);
    if (r == 1 && written.empty()) fuzz::fail("success with nothing written", 0);
    if (r == -16 && !written.empty()) fuzz::fail("nothing extracted, yet bytes written", 0);
    // Carrier images are only read.
    const std::vector<uint8_t> after = fuzz::read_bytes(image);
    if (after.size() != size || (size != 0 && std::memcmp(after.data(), data, size) != 0)) {
        fuzz::fail("the carrier image changed", 0);
    }
    return 0;
}
