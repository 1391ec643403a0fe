#pragma once
// Older spellings of the shared utilities, for code written against them
// (the command-line front end). New code includes util/ and persist/
// directly; there is one implementation of each routine.
#include <QByteArray>
#include <QString>
#include <cstdint>

#include "util/digest.h"
#include "util/fileutil.h"
#include "util/keyderivation.h"

namespace velta::wf {

using velta::AsciiLower;
using velta::EngineKey;
using velta::ExtensionOfPath;
using velta::FileExists;
using velta::FileLength;
using velta::FileLength64;
using velta::KeyChecksum;
using velta::KeyIsAdmissible;
using velta::NamePart;
using velta::ReducedKey;
using velta::RemoveWorkingFolders;
using velta::ReplaceFile;
using velta::SameContentDigest;
using velta::SiblingTempPath;
using velta::WipeBytes;

inline QString FolderPart(const QString &path) { return FolderOfPath(path, false); }
inline bool KillFile(const QString &path) { return velta::KillFile(path); }
inline void EmptyFolder(const QString &folder) {
    QString ignored;
    velta::EmptyFolder(folder, ignored);
}
inline double FileRandomness(const QString &path, int block) {
    return velta::FileRandomness(path, block);
}
inline bool HasRiskyExtension(const QString &file_name) {
    QString ignored;
    return velta::HasRiskyExtension(file_name, true, ignored);
}
inline bool CopyIntoPlace(const QString &from, const QString &to, QString &error) {
    return CopyFileTo(from, to, error, true);
}
inline QByteArray Windows1252(const QString &text) { return Windows1252Bytes(text); }
inline QString WorkingBase() {
    const QString base = FirstFixedDrive();
    return base.isEmpty() ? base : base + QLatin1Char('/');
}
inline QString CreateWorkingFolder(const QString &name) {
    return velta::CreateWorkingFolder(name, true);
}

}  // namespace velta::wf
