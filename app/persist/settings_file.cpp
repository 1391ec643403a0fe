#include "persist/settings_file.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace velta {

namespace {

const QByteArray kTrue = QByteArrayLiteral("#TRUE#");
const QByteArray kFalse = QByteArrayLiteral("#FALSE#");
const QByteArray kCrLf = QByteArrayLiteral("\r\n");

QByteArray Quoted(const QString &text) {
    return '"' + text.toLocal8Bit() + '"';
}

QByteArray Flag(bool value) { return value ? kTrue : kFalse; }
QByteArray Check(bool value) { return value ? QByteArrayLiteral("\"1\"") : QByteArrayLiteral("\"0\""); }

// Files from the original platform are in its 8-bit code page; text that is
// not UTF-8 is taken as Windows-1252.
QString Decode(const QByteArray &bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) {
        return text;
    }
    static const char16_t kHigh[32] = {
        0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    text.clear();
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text.append(b >= 0x80 && b < 0xA0 ? QChar(kHigh[b - 0x80]) : QChar(b));
    }
    return text;
}

// One value of a line: the text between the first and the last double
// quote, else the line itself without surrounding blanks. Taking the last
// quote keeps a quote inside a (non-Windows) path whole.
QString Field(const QByteArray &line) {
    const QByteArray t = line.trimmed();
    if (t.startsWith('"')) {
        const qsizetype last = t.lastIndexOf('"');
        return Decode(last > 0 ? t.mid(1, last - 1) : t.mid(1));
    }
    return Decode(t);
}

}  // namespace

bool SettingsFileText(const SettingsValues &v, QByteArray &text, QString &error) {
    for (const auto &mode : v.mode_fields) {
        for (const QString &path : mode) {
            if (path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r'))) {
                error = QStringLiteral("the file name contains a line break: ") + path;
                return false;
            }
        }
    }
    QList<QByteArray> lines;
    lines << Flag(v.hide) << Flag(v.png) << Check(v.open_after_extraction)
          << Check(v.warn_on_overwrite);
    for (const auto &mode : v.mode_fields) {
        for (const QString &path : mode) {
            lines << Quoted(path);
        }
    }
    lines << QByteArray::number(v.colour) << Check(v.display_in_browser) << Flag(v.horizontal);
    text = lines.join(kCrLf) + kCrLf;
    return true;
}

bool WriteSettingsFile(const QString &path, const SettingsValues &values, QString &error) {
    QByteArray text;
    if (!SettingsFileText(values, text, error)) {
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

SettingsRead ParseSettingsText(const QByteArray &text) {
    SettingsRead r;
    SettingsValues &v = r.values;
    qsizetype pos = 0;
    for (int n = 1; n <= kSettingsLineCount; ++n) {
        if (pos >= text.size()) {
            return r;  // fewer than thirteen lines
        }
        qsizetype end = text.indexOf('\n', pos);
        // The last line may lack its line break.
        const qsizetype stop = end < 0 ? text.size() : end;
        QByteArray line = text.mid(pos, stop - pos);
        pos = stop + 1;
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        if (line.size() > kSettingsMaxLineBytes) {
            return r;
        }
        const QString f = Field(line);
        const bool is_true = f == QLatin1String(kTrue);
        const bool is_one = f == QLatin1String("1");
        switch (n) {
            case 1: v.hide = is_true; break;
            case 2: v.png = is_true; break;
            case 3: v.open_after_extraction = is_one; break;
            case 4: v.warn_on_overwrite = is_one; break;
            case 11: {
                bool ok = false;
                const qlonglong c = f.toLongLong(&ok);
                if (!ok) {
                    return r;
                }
                v.colour = static_cast<uint32_t>(c);
                break;
            }
            case 12: v.display_in_browser = is_one; break;
            case 13: v.horizontal = is_true; break;
            default: v.mode_fields[(n - 5) / 3][(n - 5) % 3] = f; break;
        }
        r.lines_read = n;
    }
    return r;
}

SettingsRead ReadSettingsFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    // Thirteen lines of at most the line limit each; more is never needed.
    return ParseSettingsText(file.read((kSettingsMaxLineBytes + 2) * kSettingsLineCount));
}

}  // namespace velta
