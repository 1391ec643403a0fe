// The program text loader on arbitrary file contents: a count or a failure
// code that has a message, texts within their limit, an empty table after a
// failure.
#include "fuzz_support.h"
#include "util/programtext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string path = fuzz::scratch("velta.dat");
    if (!fuzz::write_bytes(path, data, size)) fuzz::fail("cannot write the input", 0);
    const int32_t r = velta::LoadProgramTextFile(QString::fromStdString(path));
    if (r > velta::kProgramTextCount) fuzz::fail("more texts than the table holds", r);
    if (r <= 0) {
        if (velta::ProgramTextLoadMessage(r, QString::fromStdString(path)).isEmpty()) {
            fuzz::fail("a failure code without a message", r);
        }
        for (int16_t n : {int16_t{0}, int16_t{1}, int16_t{3}, int16_t{999}}) {
            if (!velta::ProgramText(n).isEmpty()) fuzz::fail("a text after a failed load", n);
        }
        return 0;
    }
    int32_t found = 0;
    for (int32_t n = -1; n <= 32767 && found < r; ++n) {
        const QString t = velta::ProgramText(static_cast<int16_t>(n));
        if (t.size() > velta::kProgramTextMax) fuzz::fail("text over the limit", n);
        if (t == QStringLiteral("~")) fuzz::fail("the empty marker returned", n);
    }
    return 0;
}
