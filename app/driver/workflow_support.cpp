#include "driver/workflow_support.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <array>
#include <cmath>
#include <filesystem>
#include <limits>
#include <system_error>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace velta::wf {

bool FileExists(const QString &path) {
    if (path.isEmpty()) {
        return false;
    }
    const QFileInfo fi(path);
    return fi.exists() && !fi.isDir();
}

int64_t FileLength64(const QString &path) {
    if (path.isEmpty() || path.contains(QChar(0)) || QFile::encodeName(path).size() > 4095) {
        return -52;
    }
    const QFileInfo fi(path);
    if (!fi.exists() || fi.isDir()) {
        return -53;
    }
    return fi.size();
}

int32_t FileLength(const QString &path) {
    const int64_t n = FileLength64(path);
    return n > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                    : static_cast<int32_t>(n);
}

QString NamePart(const QString &path) {
    const qsizetype i = path.lastIndexOf(QLatin1Char('/'));
    return i < 0 ? path : path.mid(i + 1);
}

QString FolderPart(const QString &path) {
    const qsizetype i = path.lastIndexOf(QLatin1Char('/'));
    return i < 0 ? QString() : path.left(i + 1);
}

QString ExtensionOfPath(const QString &path, bool lower_case) {
    const QString name = NamePart(path);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot < 0 ? QString() : name.mid(dot + 1);
    return lower_case ? ext.toLower() : ext;
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

bool KillFile(const QString &path) {
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink()) {
        return true;
    }
    QFile f(path);
    f.setPermissions(f.permissions() | QFileDevice::WriteOwner);
    return f.remove() || !QFileInfo::exists(path);
}

void EmptyFolder(const QString &folder) {
    QDir dir(folder);
    if (folder.isEmpty() || !dir.exists()) {
        return;
    }
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &fi : files) {
        KillFile(fi.absoluteFilePath());
    }
}

namespace {
QByteArray FileMd5(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
    QCryptographicHash h(QCryptographicHash::Md5);
    if (!h.addData(&f)) {
        return QByteArray();
    }
    return h.result();
}
}  // namespace

bool SameContentDigest(const QString &a, const QString &b) {
    const QByteArray da = FileMd5(a);
    return !da.isEmpty() && da == FileMd5(b);
}

double FileRandomness(const QString &path, int block) {
    QFile f(path);
    if (block <= 0 || !f.open(QIODevice::ReadOnly)) {
        return -1.0;
    }
    double sum = 0.0;
    int64_t blocks = 0;
    QByteArray buffer;
    while (!(buffer = f.read(block)).isEmpty()) {
        std::array<int, 256> counts{};
        for (const char c : buffer) {
            ++counts[static_cast<unsigned char>(c)];
        }
        double h = 0.0;
        const double n = static_cast<double>(buffer.size());
        for (const int k : counts) {
            if (k > 0) {
                const double p = k / n;
                h -= p * std::log2(p);
            }
        }
        sum += h / 8.0;
        ++blocks;
    }
    return blocks == 0 ? -1.0 : sum / static_cast<double>(blocks);
}

bool HasRiskyExtension(const QString &file_name) {
    const qsizetype dot = file_name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) {
        return false;
    }
    const QString ext = file_name.mid(dot + 1).toUpper();
    if (ext.startsWith(QLatin1String("XL")) || ext.startsWith(QLatin1String("OV"))) {
        return true;
    }
    static const QStringList kShortList = {"386", "BIN", "COM", "DLL", "DOC", "DRV",
                                           "EXE", "SCR", "SYS", "INI", "BAT"};
    return kShortList.contains(ext);
}

QString SiblingTempPath(const QString &path) {
    const QString folder = FolderPart(path);
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

bool ReplaceFile(const QString &from, const QString &to, QString &error) {
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(QFile::encodeName(from).toStdString()),
                            std::filesystem::path(QFile::encodeName(to).toStdString()), ec);
    if (ec) {
        error = QString::fromStdString(ec.message());
        return false;
    }
    return true;
}

bool CopyIntoPlace(const QString &from, const QString &to, QString &error) {
    error.clear();
    const QString temp = SiblingTempPath(to);
    QFile source(from);
    if (!source.exists()) {
        error = QStringLiteral("The file %1 does not exist.").arg(from);
        return false;
    }
    if (!source.copy(temp)) {
        error = source.errorString();
        KillFile(temp);
        return false;
    }
    if (!ReplaceFile(temp, to, error)) {
        KillFile(temp);
        return false;
    }
    return true;
}

QString ReducedKey(const QString &key) {
    QString out;
    out.reserve(key.size());
    for (const QChar c : key) {
        if (c.unicode() > 32) {
            out.append(c);
        }
    }
    return out.toUpper();
}

bool KeyIsAdmissible(const QString &key, int min_length) {
    return ReducedKey(key).size() >= min_length;
}

QByteArray Windows1252(const QString &text) {
    // 0x80-0x9F of Windows-1252; 0 marks an unassigned code.
    static const char16_t kHigh[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    QByteArray out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        char b = '?';
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            b = static_cast<char>(u);
        } else {
            for (int i = 0; i < 32; ++i) {
                if (kHigh[i] != 0 && kHigh[i] == u) {
                    b = static_cast<char>(0x80 + i);
                    break;
                }
            }
        }
        out.append(b);
    }
    return out;
}

int16_t KeyChecksum(const QString &reduced_key) {
    QByteArray bytes = Windows1252(reduced_key);
    const QByteArray d = QCryptographicHash::hash(bytes, QCryptographicHash::Md5);
    WipeBytes(bytes);
    int32_t s = 0;
    for (int k = 0; k < 8; ++k) {
        s += static_cast<unsigned char>(d[2 * k]) * 65536 + static_cast<unsigned char>(d[2 * k + 1]);
    }
    return static_cast<int16_t>(s % 8999 + 1001);
}

QByteArray EngineKey(const QString &key) {
    QString k = ReducedKey(key);
    if (k.isEmpty()) {
        k = QStringLiteral(" ");
    }
    while (k.size() < 64) {
        k += k;
    }
    QByteArray out = Windows1252(k.left(64));
    k.fill(QChar(0));
    return out;
}

void WipeBytes(QByteArray &bytes) {
    volatile char *p = bytes.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        p[i] = 0;
    }
    bytes.clear();
}

QString WorkingBase() {
    QString base;
    const QString runtime = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir() && QFileInfo(runtime).isWritable()) {
        base = QDir(runtime).filePath(QStringLiteral("velta"));
    } else {
        base = QDir(QDir::tempPath()).filePath(QStringLiteral("velta-%1").arg(::getuid()));
    }
    const QByteArray native = QFile::encodeName(base);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        return QString();
    }
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
        return QString();
    }
    ::chmod(native.constData(), 0700);
    return base + QLatin1Char('/');
}

QString CreateWorkingFolder(const QString &name) {
    const QString base = WorkingBase();
    if (base.isEmpty()) {
        return QString();
    }
    for (int n = 1; n <= 999; ++n) {
        const QString candidate = base + name + QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0'));
        const QFileInfo fi(candidate);
        if (fi.exists() || fi.isSymLink()) {
            continue;
        }
        if (::mkdir(QFile::encodeName(candidate).constData(), 0700) != 0) {
            return QString();
        }
        return candidate + QLatin1Char('/');
    }
    return QString();
}

void RemoveWorkingFolders(const QString &folder) {
    const QString base = WorkingBase();
    QString f = folder;
    while (f.endsWith(QLatin1Char('/'))) {
        f.chop(1);
    }
    if (base.isEmpty() || !f.startsWith(base) || f.size() < 3) {
        return;
    }
    bool ok = false;
    int n = f.right(3).toInt(&ok);
    if (!ok) {
        return;
    }
    const QString stem = f.left(f.size() - 3);
    for (; n >= 1; --n) {
        const QString candidate = stem + QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0'));
        const QFileInfo fi(candidate);
        if (fi.isDir() && !fi.isSymLink()) {
            QDir(candidate).removeRecursively();
        }
    }
}

}  // namespace velta::wf
