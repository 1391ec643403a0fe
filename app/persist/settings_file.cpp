#include "persist/settings_file.h"

#include "util/keyderivation.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringList>

namespace velta {
namespace {

QString Bool(bool b) { return b ? QStringLiteral("#TRUE#") : QStringLiteral("#FALSE#"); }
QString Check(bool b) { return b ? QStringLiteral("\"1\"") : QStringLiteral("\"0\""); }
QString Quoted(const QString &s) { return QLatin1Char('"') + s + QLatin1Char('"'); }

// A field as the original's line input reads it: the text between the
// quotes, or the whole line trimmed when it is not quoted.
QString Field(const QString &line) {
    const QString t = line.trimmed();
    if (t.startsWith(QLatin1Char('"'))) {
        const qsizetype end = t.indexOf(QLatin1Char('"'), 1);
        return end < 0 ? t.mid(1) : t.mid(1, end - 1);
    }
    return t;
}

}  // namespace

bool FormatSettings(const SettingsEntries &e, QByteArray &bytes, QString &errText) {
    errText.clear();
    QStringList lines = {Bool(e.hide), Bool(e.png), Check(e.openAfterExtraction),
                         Check(e.warnOnOverwrite)};
    for (int mode = 0; mode < 2; ++mode) {
        for (int field = 0; field < 3; ++field) {
            // Extract mode keeps no original image.
            const QString value = (mode == 1 && field == 1) ? QString() : e.modeFields[mode][field];
            if (value.contains(QLatin1Char('"')) || value.contains(QLatin1Char('\r')) ||
                value.contains(QLatin1Char('\n'))) {
                errText = QStringLiteral("The path ") + value +
                          QStringLiteral(" contains a character a settings file cannot hold.");
                return false;
            }
            lines << Quoted(value);
        }
    }
    lines << QString::number(e.backColor) << Check(e.displayInBrowser) << Bool(e.horizontal);
    const QString text = lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
    bytes = text.toUtf8();
    if (FitsWindows1252(text)) {
        // The reader takes valid UTF-8 as UTF-8, so code-page bytes that
        // happen to form it must be written as UTF-8 instead.
        const QByteArray codePage = Windows1252Bytes(text);
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString asUtf8 = utf8(codePage);
        if (utf8.hasError() || asUtf8 == text) {
            bytes = codePage;
        }
    }
    return true;
}

bool WriteSettingsFile(const QString &path, const SettingsEntries &entries, QString &errText) {
    QByteArray bytes;
    if (!FormatSettings(entries, bytes, errText)) {
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        errText = file.errorString();
        return false;
    }
    return true;
}

SettingsReadResult ParseSettings(const QByteArray &bytes, SettingsEntries &e) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError()) {
        text = FromWindows1252(bytes);
    }
    QStringList lines = text.split(QStringLiteral("\n"));
    if (!lines.isEmpty() && lines.back().isEmpty()) {
        lines.removeLast();  // after the last line break
    }
    for (QString &l : lines) {
        if (l.endsWith(QLatin1Char('\r'))) {
            l.chop(1);
        }
    }
    SettingsReadResult r;
    auto has = [&](int n) { return lines.size() >= n; };
    auto at = [&](int n) { return lines[n - 1].trimmed(); };
    if (!has(1)) return r;
    e.hide = at(1) == QStringLiteral("#TRUE#");
    r.linesApplied = 1;
    if (!has(2)) return r;
    e.png = at(2) == QStringLiteral("#TRUE#");
    r.linesApplied = 2;
    if (!has(3)) return r;
    e.openAfterExtraction = Field(lines[2]) == QStringLiteral("1");
    r.linesApplied = 3;
    if (!has(4)) return r;
    e.warnOnOverwrite = Field(lines[3]) == QStringLiteral("1");
    r.linesApplied = 4;
    for (int i = 0; i < 6; ++i) {
        if (!has(5 + i)) return r;
        e.modeFields[i / 3][i % 3] = Field(lines[4 + i]);
        r.linesApplied = 5 + i;
    }
    if (!has(11)) return r;
    bool ok = false;
    const qlonglong colour = Field(lines[10]).toLongLong(&ok);
    if (!ok) return r;
    e.backColor = colour == kGreyWindowColour ? kGreyWindowColour : kDefaultWindowColour;
    r.linesApplied = 11;
    if (!has(12)) return r;
    e.displayInBrowser = Field(lines[11]) == QStringLiteral("1");
    r.linesApplied = 12;
    if (!has(13)) return r;
    e.horizontal = at(13) == QStringLiteral("#TRUE#");
    r.linesApplied = 13;
    r.valid = true;
    return r;
}

SettingsReadResult ReadSettingsFile(const QString &path, SettingsEntries &entries) {
    QFile file(path);
    // A settings file is a few hundred bytes; do not read a huge file whole.
    if (!file.open(QIODevice::ReadOnly) || file.size() > (1 << 20)) {
        return {};
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return {};
    }
    return ParseSettings(bytes, entries);
}

}  // namespace velta
