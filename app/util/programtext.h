#pragma once
// Numbered program texts from velta.dat (format described in its head).
#include <QString>
#include <cstdint>

namespace velta {

constexpr int kProgramTextMax = 1024;   // characters per text
constexpr int kProgramTextCount = 4096; // texts per file
constexpr int kProgramTextMaxLine = 499; // line numbers the failure codes can carry

// Loader failure codes (anything <= 0).
constexpr int32_t kPtNothingRead = 0;
constexpr int32_t kPtCannotOpen = -1;
constexpr int32_t kPtTooMuch = -3;
constexpr int32_t kPtFileEmpty = -6;
constexpr int32_t kPtReadError = -7;
constexpr int32_t kPtBadLine = -9;  // a defect beyond kProgramTextMaxLine
constexpr int32_t kPtDuplicateBase = -1500;
constexpr int32_t kPtTooLongBase = -1000;
constexpr int32_t kPtMissingBase = -500;

// The path: folder, one separator unless it already ends in one, file name.
QString ProgramTextPath(const QString &folder, const QString &fileName);
// Loads `path` into the process-wide table; count of texts (> 0) or a
// failure code. On failure the table is left empty.
int32_t LoadProgramTextFile(const QString &path);
// From the program's folder (QCoreApplication::applicationDirPath()).
int32_t LoadProgramText(const QString &fileName);
// The message shown for failure code c; `path` completes the -1 text.
QString ProgramTextLoadMessage(int32_t c, const QString &path);
// The text, "" for "~", a number the file does not hold or nothing loaded.
QString ProgramText(int16_t number);
void SetProgramTextLanguage(int16_t language);  // only 0 is held

}  // namespace velta
