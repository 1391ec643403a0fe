#pragma once
// Settings files (".velta"): thirteen lines, each ending in CR LF, in the
// notation of the original program's sequential files: strings in double
// quotes with no escaping, Booleans as #TRUE# / #FALSE#, the colour as a
// plain decimal. Files written there load here and the other way round.
#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

namespace velta {

constexpr int kSettingsLineCount = 13;
// Colours as the file stores them (0x00BBGGRR).
constexpr uint32_t kSettingsDefaultColour = 11071161;  // RGB(185, 238, 168)
constexpr uint32_t kSettingsGreyColour = 14737632;     // RGB(224, 224, 224)
// A longer line is no settings line (and keeps a stray huge file cheap).
constexpr qsizetype kSettingsMaxLineBytes = 65536;

struct SettingsValues {
    bool hide = true;                    // line 1
    bool png = true;                     // line 2
    bool open_after_extraction = false;  // line 3
    bool warn_on_overwrite = true;       // line 4
    // Lines 5-10: mode 0 (hide) then mode 1 (extract); data file, original
    // image, stego image. Mode 1's original image is always empty.
    std::array<std::array<QString, 3>, 2> mode_fields{};
    uint32_t colour = kSettingsDefaultColour;  // line 11, as stored
    bool display_in_browser = true;            // line 12
    bool horizontal = true;                    // line 13
};

// The file's bytes. False (with a reason) when a path cannot be stored:
// a line break in it would shift every later line.
bool SettingsFileText(const SettingsValues &values, QByteArray &text, QString &error);

// Writes through a temporary file, so a failed save leaves the old file whole.
bool WriteSettingsFile(const QString &path, const SettingsValues &values, QString &error);

struct SettingsRead {
    SettingsValues values;
    // Leading lines read: values of line lines_read + 1 on are not set.
    int lines_read = 0;
    bool complete() const { return lines_read == kSettingsLineCount; }
};

SettingsRead ParseSettingsText(const QByteArray &text);
// A file that cannot be opened reads no line.
SettingsRead ReadSettingsFile(const QString &path);

// 0xRRGGBB to and from the stored 0x00BBGGRR.
constexpr uint32_t StoredColour(uint32_t rgb) {
    return ((rgb >> 16) & 0xFFu) | (rgb & 0xFF00u) | ((rgb & 0xFFu) << 16);
}
constexpr uint32_t RgbFromStored(uint32_t stored) { return StoredColour(stored); }

}  // namespace velta
