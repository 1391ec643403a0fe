#pragma once
// File and folder helpers. Paths are native ("/" separators on Linux); "the
// name part" is the text after the last separator.
#include <QString>
#include <cstdint>
#include <functional>

namespace velta {

constexpr int32_t kErrBadFileName = 52;
constexpr int32_t kErrFileNotFound = 53;
constexpr int32_t kErrInputPastEnd = 62;
constexpr int32_t kErrPermissionDenied = 70;
constexpr int32_t kErrPathAccess = 75;
constexpr double kFileRandomnessFailed = -1.0;

// The waits of KillFile (500 ms) and NewNumberedFileName (100 ms). Tests
// install one that records instead of sleeping; nullptr restores the sleep.
void SetFileUtilPause(std::function<void(int milliseconds)> pause);

// Existence and size.
bool FileExists(const QString &path);  // false for folders and an empty path
bool IsFolder(const QString &path);    // trimmed of surrounding spaces first
// Length in bytes, capped at 2,147,483,647; -53 missing (or a folder), -52
// bad name (empty, NUL, too long), -75 not accessible.
int32_t FileLength(const QString &path);
// 0 or one of the error numbers above for `path` as a file name.
int32_t FileNameError(const QString &path);

// Path text.
QString FolderOfPath(const QString &path, bool normalise);
QString FileNameOfPath(const QString &path, bool lowerCase);
QString ExtensionOfPath(const QString &path, bool lowerCase);
// Unchanged on a case-sensitive file system; drive letter up, rest down on
// Windows.
QString LowerCasePath(const QString &path);
void WithTrailingBackslash(QString &path);     // exactly one trailing separator
void WithoutTrailingBackslash(QString &path);  // keeps a root such as "/" or "C:\"

// Deleting and copying.
bool KillFile(const QString &path, bool clearHidden = true, bool clearReadOnly = true,
              bool clearSystem = true);
// True with "Folder not found" when the folder is missing; otherwise deletes
// the files directly in it and returns false (as callers expect).
bool EmptyFolder(const QString &folder, QString &errText);
bool RemoveFolder(const QString &folder, QString &errText, bool force);
bool CopyFileTo(const QString &source, const QString &destination, QString &errText,
                bool overwrite);

// New names and folders.
// True when no file of that name exists and one can be created there.
bool NewFileCreatable(const QString &path);
QString NewNumberedFileName(const QString &folder, const QString &baseName,
                            const QString &extension, QString &errText);
// The private per-user base of the working folders: $XDG_RUNTIME_DIR/velta
// when usable, else <temp>/velta-<uid>; mode 0700; empty when it is a
// symbolic link, owned by another user or cannot be made.
QString FirstFixedDrive();
// name + 001..999 inside FirstFixedDrive(), created; "/" appended with
// withSeparator. Empty on failure.
QString CreateWorkingFolder(const QString &name, bool withSeparator);
// Makes the user's home folder current.
void GoToFixedDriveRoot();

// Tests on file content and type.
bool HasRiskyExtension(const QString &fileName, bool shortList, QString &extension);
// Mean over the file's `count`-byte blocks of each block's Shannon entropy of
// byte values divided by 8 (0 uniform, 1 random); negative on failure.
double FileRandomness(const QString &path, int32_t count);

// ---- Used by the operation run

// Length in bytes without the cap; the same negative error numbers.
int64_t FileLength64(const QString &path);
// The name part: after the last separator, the whole text when there is none.
QString NamePart(const QString &path);
// A-Z to a-z only: how the engine folds the names of the files it writes,
// so temporary names in the working folder match the file it reads.
QString AsciiLower(const QString &text);
// A name no file or link has yet, beside `path` (".velta-XXXXXX.part").
QString SiblingTempPath(const QString &path);
// Moves `from` over `to` in one step; errText on failure.
bool ReplaceFile(const QString &from, const QString &to, QString &errText);
// Removes `folder` and the lower-numbered folders of its name that earlier
// runs left; only directly inside FirstFixedDrive().
void RemoveWorkingFolders(const QString &folder);

}  // namespace velta
