#pragma once
// The thirteen-line settings file (".velta"), as the original platform's
// program writes it: CR LF lines, #TRUE#/#FALSE#, quoted strings without
// escaping, the window colour in decimal. Text is Windows-1252 when every
// character fits (so files stay readable there), otherwise UTF-8; reading
// takes UTF-8 when the bytes are valid UTF-8, else Windows-1252.
#include <QByteArray>
#include <QString>
#include <cstdint>

namespace velta {

constexpr int32_t kDefaultWindowColour = 11071161;  // RGB(185, 238, 168)
constexpr int32_t kGreyWindowColour = 14737632;     // RGB(224, 224, 224)
constexpr int kSettingsLines = 13;

struct SettingsEntries {
    bool hide = true;                 // line 1
    bool png = true;                  // line 2
    bool openAfterExtraction = false; // line 3
    bool warnOnOverwrite = true;      // line 4
    QString modeFields[2][3];         // lines 5-10: [mode][data, original, stego]
    int32_t backColor = kDefaultWindowColour;  // line 11
    bool displayInBrowser = false;    // line 12
    bool horizontal = true;           // line 13
};

struct SettingsReadResult {
    int linesApplied = 0;  // lines 1..linesApplied were applied to the entries
    bool valid = false;    // all thirteen lines read
};

// The file's bytes. False (nothing produced) with errText when a path holds a
// double quote or a line break, which the format cannot store.
bool FormatSettings(const SettingsEntries &entries, QByteArray &bytes, QString &errText);
// Writes the whole file or nothing (a failed write leaves the old file).
bool WriteSettingsFile(const QString &path, const SettingsEntries &entries, QString &errText);
// Applies the file's lines to `entries` in order, stopping at the first line
// missing or unreadable; a missing file applies nothing.
SettingsReadResult ParseSettings(const QByteArray &bytes, SettingsEntries &entries);
SettingsReadResult ReadSettingsFile(const QString &path, SettingsEntries &entries);

}  // namespace velta
