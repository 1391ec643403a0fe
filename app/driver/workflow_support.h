#pragma once
// Small file and key helpers the workflow needs, kept in their own
// namespace beside the shared utilities.
#include <QByteArray>
#include <QString>
#include <cstdint>

namespace velta::wf {

bool FileExists(const QString &path);
// Length in bytes; INT32_MAX when it does not fit; -53 missing, -52 bad name.
int32_t FileLength(const QString &path);
int64_t FileLength64(const QString &path);
// Text after the last "." of the name part; empty when the name has none.
QString ExtensionOfPath(const QString &path, bool lower_case);
// Text after the last separator (the whole path when there is none).
QString NamePart(const QString &path);
QString FolderPart(const QString &path);  // up to and including the last separator
// A-Z to a-z only: the engine folds image names so, and temporary names must
// match the file it writes.
QString AsciiLower(const QString &text);
bool KillFile(const QString &path);
void EmptyFolder(const QString &folder);
bool SameContentDigest(const QString &a, const QString &b);
// Mean per-1024-byte-block Shannon entropy / 8; negative on failure.
double FileRandomness(const QString &path, int block);
bool HasRiskyExtension(const QString &file_name);
// A name for a new file beside `path` ("." + random + ".part" in its folder).
QString SiblingTempPath(const QString &path);
// Moves `from` over `to` (replacing it) in one step; error text on failure.
bool ReplaceFile(const QString &from, const QString &to, QString &error);
// Copies `from` into a new file beside `to`, then moves it into place.
bool CopyIntoPlace(const QString &from, const QString &to, QString &error);

// Key: characters above 32 kept, upper-cased.
QString ReducedKey(const QString &key);
bool KeyIsAdmissible(const QString &key, int min_length);
int16_t KeyChecksum(const QString &reduced_key);
// 64 Windows-1252 bytes.
QByteArray EngineKey(const QString &key);
QByteArray Windows1252(const QString &text);
void WipeBytes(QByteArray &bytes);

// The private per-user base of the working folders ($XDG_RUNTIME_DIR/velta,
// else <temp>/velta-<uid>), mode 0700; empty when it is a symbolic link,
// owned by another user or cannot be made.
QString WorkingBase();
// VELTA001 ... VELTA999 inside the base, created; with a trailing "/".
// Empty on failure.
QString CreateWorkingFolder(const QString &name);
// Removes `folder` and the lower-numbered folders of the same name left by
// earlier runs; only inside the working base.
void RemoveWorkingFolders(const QString &folder);

}  // namespace velta::wf
