#include "util/fileutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>
#include <QtGlobal>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velta {
namespace {

std::function<void(int)> &PauseHook() {
    static std::function<void(int)> hook;
    return hook;
}

void Pause(int ms) {
    if (PauseHook()) {
        PauseHook()(ms);
    } else {
        QThread::msleep(static_cast<unsigned long>(ms));
    }
}

const QChar kSep = QLatin1Char('/');

qsizetype LastSeparator(const QString &path) {
#ifdef Q_OS_WIN
    return std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
#else
    return path.lastIndexOf(kSep);
#endif
}

constexpr qsizetype kMaxPath = 4095;
constexpr qsizetype kMaxName = 255;

}  // namespace

void SetFileUtilPause(std::function<void(int)> pause) { PauseHook() = std::move(pause); }

int32_t FileNameError(const QString &path) {
    if (path.isEmpty() || path.contains(QChar(0)) || path.size() > kMaxPath) {
        return kErrBadFileName;
    }
    const QStringList parts = path.split(kSep);
    for (const QString &part : parts) {
        if (QFile::encodeName(part).size() > kMaxName) {
            return kErrBadFileName;
        }
    }
    return 0;
}

bool FileExists(const QString &path) {
    if (FileNameError(path) != 0) {
        return false;
    }
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

bool IsFolder(const QString &path) {
    const QString p = path.trimmed();
    return FileNameError(p) == 0 && QFileInfo(p).isDir();
}

int32_t FileLength(const QString &path) {
    if (const int32_t e = FileNameError(path); e != 0) {
        return -e;
    }
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? -kErrFileNotFound
               : errno == ENAMETOOLONG             ? -kErrBadFileName
                                                   : -kErrPathAccess;
    }
    if (S_ISDIR(st.st_mode)) {
        return -kErrFileNotFound;
    }
    return st.st_size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(st.st_size);
}

QString FolderOfPath(const QString &path, bool normalise) {
    const qsizetype i = LastSeparator(path);
    const QString folder = i < 0 ? QString() : path.left(i + 1);
    return normalise ? LowerCasePath(folder) : folder;
}

QString FileNameOfPath(const QString &path, bool lowerCase) {
    const qsizetype i = LastSeparator(path);
    const QString name = i < 0 ? QString() : path.mid(i + 1);
    return lowerCase ? name.toLower() : name;
}

QString ExtensionOfPath(const QString &path, bool lowerCase) {
    const QString name = path.mid(LastSeparator(path) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot < 0 ? QString() : name.mid(dot + 1);
    return lowerCase ? ext.toLower() : ext;
}

QString LowerCasePath(const QString &path) {
#ifdef Q_OS_WIN
    if (path.size() >= 2 && path[1] == QLatin1Char(':')) {
        return path.left(1).toUpper() + path.mid(1).toLower();
    }
    return path.toLower();
#else
    // Lower-casing on a case-sensitive file system would name another file.
    return path;
#endif
}

void WithTrailingBackslash(QString &path) {
    if (path.isEmpty()) {
        return;
    }
    while (path.endsWith(kSep)) {
        path.chop(1);
    }
    path += kSep;
}

void WithoutTrailingBackslash(QString &path) {
    // The root "/" (and "C:\" where drives exist) keeps its separator.
    while (path.size() >= 2 && path.endsWith(kSep)) {
        path.chop(1);
    }
}

bool KillFile(const QString &path, bool clearHidden, bool clearReadOnly, bool clearSystem) {
    Q_UNUSED(clearHidden);  // no hidden or system bits here
    Q_UNUSED(clearSystem);
    if (!QFileInfo(path).exists() && !QFileInfo(path).isSymLink()) {
        return true;
    }
    if (QFileInfo(path).isDir()) {
        return false;
    }
    if (clearReadOnly) {
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner);
    }
    for (int failures = 0;;) {
        if (QFile::remove(path) || !QFileInfo(path).exists()) {
            return true;
        }
        if (++failures > 3) {
            return false;
        }
        Pause(500);
    }
}

bool EmptyFolder(const QString &folder, QString &errText) {
    errText.clear();
    if (!IsFolder(folder)) {
        errText = QStringLiteral("Folder not found");
        return true;
    }
    const QDir dir(folder.trimmed());
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        KillFile(dir.filePath(name));
    }
    return false;
}

bool RemoveFolder(const QString &folder, QString &errText, bool force) {
    errText.clear();
    QString f = folder;
    WithoutTrailingBackslash(f);
    const QFileInfo info(f);
    if (!info.exists() || !info.isDir()) {
        errText = QStringLiteral("Path not found");
        return false;
    }
    if (info.isSymLink()) {
        // Never follow a link out of the folder being removed.
        errText = QStringLiteral("Not a folder: ") + f;
        return false;
    }
    QDir dir(f);
    if (force) {
        // Read-only contents: give the owner write access to every folder so
        // its entries can be unlinked.
        QFile::setPermissions(f, QFile::permissions(f) | QFileDevice::WriteOwner |
                                     QFileDevice::ExeOwner | QFileDevice::ReadOwner);
        const QStringList subs =
            dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks);
        for (const QString &s : subs) {
            QString ignored;
            RemoveFolder(dir.filePath(s), ignored, true);
        }
    }
    if (!dir.removeRecursively()) {
        errText = QStringLiteral("Permission denied: ") + f;
        return false;
    }
    return true;
}

bool CopyFileTo(const QString &source, const QString &destination, QString &errText,
                bool overwrite) {
    errText.clear();
    if (!FileExists(source)) {
        errText = QStringLiteral("File not found: ") + source;
        return false;
    }
    if (QFileInfo(destination).isDir()) {
        errText = QStringLiteral("Destination is a folder: ") + destination;
        return false;
    }
    if (QFileInfo::exists(destination)) {
        if (!overwrite) {
            errText = QStringLiteral("File already exists: ") + destination;
            return false;
        }
    }
    // Copy into a fresh file beside the destination, then rename it over the
    // destination: a failed copy never leaves a half-written destination.
    // A fresh name: "<destination>.part" could be a file of the user's.
    const QString temp = SiblingTempPath(destination);
    QFile in(source);
    if (!QFile::copy(source, temp)) {
        errText = in.errorString().isEmpty() ? QStringLiteral("Copy failed: ") + destination
                                             : in.errorString();
        QFile::remove(temp);
        return false;
    }
    // rename(2) replaces the destination in one step.
    if (::rename(QFile::encodeName(temp).constData(), QFile::encodeName(destination).constData()) !=
        0) {
        errText = QStringLiteral("Permission denied: ") + destination;
        QFile::remove(temp);
        return false;
    }
    return true;
}

bool NewFileCreatable(const QString &path) {
    if (FileNameError(path) != 0 || QFileInfo(path).exists() || QFileInfo(path).isSymLink()) {
        return false;
    }
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    ::unlink(name.constData());
    return true;
}

QString NewNumberedFileName(const QString &folder, const QString &baseName,
                            const QString &extension, QString &errText) {
    errText.clear();
    QString f = folder;
    WithTrailingBackslash(f);
    if (!IsFolder(f)) {
        errText = f + QStringLiteral(" does not exist.");
        return {};
    }
    const QString ext = extension.startsWith(QLatin1Char('.')) ? extension
                                                                 : QLatin1Char('.') + extension;
    QString candidate;
    for (int n = 1; n <= 99; ++n) {
        candidate = f + baseName + QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')) + ext;
        if (NewFileCreatable(candidate)) {
            Pause(100);
            return candidate;
        }
    }
    errText = QStringLiteral("On 99th attempt, ") + candidate + QStringLiteral(" was not creatable.");
    return {};
}

QString FirstFixedDrive() {
    QString base;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QFileInfo rt(QString::fromLocal8Bit(runtime));
    if (!runtime.isEmpty() && rt.isAbsolute() && rt.isDir() && !rt.isSymLink() &&
        rt.isWritable()) {
        base = rt.absoluteFilePath() + QStringLiteral("/velta");
    } else {
        base = QDir::tempPath() + QStringLiteral("/velta-") + QString::number(::getuid());
    }
    const QByteArray b = QFile::encodeName(base);
    if (::mkdir(b.constData(), 0700) != 0 && errno != EEXIST) {
        return {};
    }
    struct stat st {};
    if (::lstat(b.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
        return {};  // a link, a file or someone else's folder
    }
    if ((st.st_mode & 077) != 0 && ::chmod(b.constData(), 0700) != 0) {
        return {};
    }
    return base;
}

QString CreateWorkingFolder(const QString &name, bool withSeparator) {
    const QString base = FirstFixedDrive();
    if (base.isEmpty() || name.isEmpty() || name.contains(kSep)) {
        return {};
    }
    for (int n = 1; n <= 999; ++n) {
        const QString candidate =
            base + kSep + name + QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0'));
        const QByteArray c = QFile::encodeName(candidate);
        struct stat st {};
        if (::lstat(c.constData(), &st) == 0) {
            continue;  // taken by a folder, a file or a link
        }
        // mkdir is the test and the claim in one step.
        if (::mkdir(c.constData(), 0700) != 0) {
            if (errno == EEXIST) {
                continue;
            }
            return {};
        }
        return withSeparator ? candidate + kSep : candidate;
    }
    return {};
}

void GoToFixedDriveRoot() { QDir::setCurrent(QDir::homePath()); }

bool HasRiskyExtension(const QString &fileName, bool shortList, QString &extension) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) {
        return false;
    }
    const QString ext = fileName.mid(dot + 1).toUpper();
    bool risky = ext.startsWith(QLatin1String("XL")) || ext.startsWith(QLatin1String("OV"));
    if (!risky && shortList) {
        static const QStringList kShort = {
            QStringLiteral("386"), QStringLiteral("BIN"), QStringLiteral("COM"),
            QStringLiteral("DLL"), QStringLiteral("DOC"), QStringLiteral("DRV"),
            QStringLiteral("EXE"), QStringLiteral("SCR"), QStringLiteral("SYS"),
            QStringLiteral("INI"), QStringLiteral("BAT")};
        risky = kShort.contains(ext);
    }
    if (risky) {
        extension = ext;
    }
    return risky;
}

double FileRandomness(const QString &path, int32_t count) {
    if (count <= 0 || !FileExists(path)) {
        return kFileRandomnessFailed;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return kFileRandomnessFailed;
    }
    QByteArray block(count, Qt::Uninitialized);
    double sum = 0.0;
    qint64 blocks = 0;
    for (;;) {
        const qint64 got = file.read(block.data(), count);
        if (got < 0) {
            return kFileRandomnessFailed;
        }
        if (got == 0) {
            break;
        }
        uint32_t freq[256] = {};
        for (qint64 i = 0; i < got; ++i) {
            ++freq[static_cast<uint8_t>(block[i])];
        }
        double h = 0.0;
        const double n = static_cast<double>(got);
        for (const uint32_t f : freq) {
            if (f != 0) {
                const double p = f / n;
                h -= p * std::log2(p);
            }
        }
        sum += h / 8.0;
        ++blocks;
        if (got < count) {
            break;
        }
    }
    return blocks == 0 ? kFileRandomnessFailed : sum / static_cast<double>(blocks);
}

int64_t FileLength64(const QString &path) {
    const int32_t bad = FileNameError(path);
    if (bad != 0) {
        return -int64_t{bad};
    }
    const int32_t n = FileLength(path);
    return n < std::numeric_limits<int32_t>::max() ? int64_t{n} : QFileInfo(path).size();
}

QString NamePart(const QString &path) {
    const qsizetype i = LastSeparator(path);
    return i < 0 ? path : path.mid(i + 1);
}

QString AsciiLower(const QString &text) {
    QString out = text;
    for (QChar &c : out) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) {
            c = QChar(c.unicode() + 32);
        }
    }
    return out;
}

QString SiblingTempPath(const QString &path) {
    const QString folder = FolderOfPath(path, false);
    for (;;) {
        const QString candidate =
            folder + QStringLiteral(".velta-%1.part")
                         .arg(QRandomGenerator::global()->generate() & 0xFFFFFFu, 6, 16,
                              QLatin1Char('0'));
        if (!QFileInfo(candidate).exists() && !QFileInfo(candidate).isSymLink()) {
            return candidate;
        }
    }
}

bool ReplaceFile(const QString &from, const QString &to, QString &errText) {
    errText.clear();
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        errText = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return true;
}

void RemoveWorkingFolders(const QString &folder) {
    QString base = FirstFixedDrive();
    if (base.isEmpty()) {
        return;
    }
    WithTrailingBackslash(base);
    QString f = folder;
    while (f.endsWith(QLatin1Char('/'))) {
        f.chop(1);
    }
    // Only a numbered folder directly inside the base.
    if (!f.startsWith(base) || f.size() < base.size() + 4 ||
        f.indexOf(QLatin1Char('/'), base.size()) >= 0) {
        return;
    }
    bool ok = false;
    int n = f.right(3).toInt(&ok);
    if (!ok) {
        return;
    }
    const QString stem = f.left(f.size() - 3);
    QString error;
    for (; n >= 1; --n) {
        const QString candidate = stem + QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0'));
        const QFileInfo fi(candidate);
        if (fi.isDir() && !fi.isSymLink()) {
            RemoveFolder(candidate, error, true);
        }
    }
}

}  // namespace velta
