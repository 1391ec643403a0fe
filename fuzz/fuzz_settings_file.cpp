// The settings file loader on arbitrary bytes: the lines applied are a prefix
// of the thirteen, "valid" means all of them, and whatever was read writes
// back and reads again to the same entries (but the extract mode's original
// image, which is never stored).
#include "fuzz_support.h"
#include "persist/settings_file.h"

namespace {

bool same(const velta::SettingsEntries &a, const velta::SettingsEntries &b) {
    for (int m = 0; m < 2; ++m) {
        for (int f = 0; f < 3; ++f) {
            if (a.modeFields[m][f] != b.modeFields[m][f]) return false;
        }
    }
    return a.hide == b.hide && a.png == b.png && a.openAfterExtraction == b.openAfterExtraction &&
           a.warnOnOverwrite == b.warnOnOverwrite && a.backColor == b.backColor &&
           a.displayInBrowser == b.displayInBrowser && a.horizontal == b.horizontal;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    velta::SettingsEntries read;
    const velta::SettingsReadResult r = velta::ParseSettings(bytes, read);
    if (r.linesApplied < 0 || r.linesApplied > velta::kSettingsLines) {
        fuzz::fail("lines applied out of range", r.linesApplied);
    }
    if (r.valid != (r.linesApplied == velta::kSettingsLines)) {
        fuzz::fail("valid disagrees with the lines applied", r.linesApplied);
    }

    QByteArray written;
    QString err;
    // Paths with a quote or a line break cannot be stored; refusing them is right.
    if (!velta::FormatSettings(read, written, err)) {
        if (err.isEmpty()) fuzz::fail("a refused write without a message", 0);
        return 0;
    }
    read.modeFields[1][1].clear();  // extract mode keeps no original image
    velta::SettingsEntries again;
    const velta::SettingsReadResult r2 = velta::ParseSettings(written, again);
    if (!r2.valid) fuzz::fail("a written file does not read back whole", r2.linesApplied);
    if (!same(read, again)) fuzz::fail("a written file reads back different", 0);
    return 0;
}
