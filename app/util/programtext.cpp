#include "util/programtext.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QStringDecoder>

namespace velta {
namespace {

struct Table {
    QHash<int16_t, QString> texts;
    int16_t language = 0;
};

Table &Texts() {
    static Table table;
    return table;
}

// A defect at `line` as its code, or kPtBadLine when the line number does not
// fit the code's range.
int32_t LineCode(int32_t base, int line) {
    return line <= kProgramTextMaxLine ? base - line : kPtBadLine;
}

}  // namespace

QString ProgramTextPath(const QString &folder, const QString &fileName) {
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/'))) {
        return folder + fileName;
    }
    return folder + QLatin1Char('/') + fileName;
}

int32_t LoadProgramTextFile(const QString &path) {
    Texts().texts.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return kPtCannotOpen;
    }
    // A text file of a few kilobytes; refuse anything absurd before reading.
    constexpr qint64 kMaxFile = qint64(kProgramTextCount) * (kProgramTextMax + 16);
    if (file.size() > kMaxFile) {
        return kPtTooMuch;
    }
    const QByteArray raw = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return kPtReadError;
    }
    if (raw.isEmpty()) {
        return kPtFileEmpty;
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString all = utf8(raw);
    if (utf8.hasError()) {
        return kPtReadError;
    }
    if (all.startsWith(QChar(0xFEFF))) {
        all.remove(0, 1);
    }
    QHash<int16_t, QString> texts;
    const QStringList lines = all.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int line = static_cast<int>(i + 1);
        QString text = lines[i];
        if (text.endsWith(QLatin1Char('\r'))) {
            text.chop(1);
        }
        if (text.trimmed().isEmpty() || text.startsWith(QLatin1Char('#'))) {
            continue;
        }
        const qsizetype eq = text.indexOf(QLatin1Char('='));
        bool ok = false;
        const int number = eq > 0 ? text.left(eq).trimmed().toInt(&ok) : 0;
        if (!ok || number < INT16_MIN || number > INT16_MAX || eq + 1 >= text.size()) {
            return LineCode(kPtMissingBase, line);
        }
        QString value = text.mid(eq + 1);
        if (value.size() > kProgramTextMax) {
            return LineCode(kPtTooLongBase, line);
        }
        const auto key = static_cast<int16_t>(number);
        if (texts.contains(key)) {
            return LineCode(kPtDuplicateBase, line);
        }
        if (texts.size() >= kProgramTextCount) {
            return kPtTooMuch;
        }
        texts.insert(key, value == QStringLiteral("~") ? QString() : value);
    }
    if (texts.isEmpty()) {
        return kPtNothingRead;
    }
    Texts().texts = texts;
    return static_cast<int32_t>(texts.size());
}

int32_t LoadProgramText(const QString &fileName) {
    return LoadProgramTextFile(ProgramTextPath(QCoreApplication::applicationDirPath(), fileName));
}

QString ProgramTextLoadMessage(int32_t c, const QString &path) {
    switch (c) {
    case 0: return QStringLiteral("No program text was read.");
    case -1: return QStringLiteral("Cannot open file containing program text.\r\n") + path;
    case -2: return QStringLiteral("Particular memory allocation error.");
    case -3: return QStringLiteral("Too much program text.");
    case -4: return QStringLiteral("Text not recovered.");
    case -6: return QStringLiteral("File is empty.");
    case -7: return QStringLiteral("Error reading file.");
    case -8: return QStringLiteral("General memory allocation error.");
    default: break;
    }
    if (c < -1500) {
        return QStringLiteral("Duplicate in program text at line") + QLatin1Char(' ') +
               QString::number(-(c + 1500)) + QLatin1Char('.');
    }
    if (c <= -1001) {
        return QStringLiteral("String too long at line") + QLatin1Char(' ') +
               QString::number(-(c + 1000)) + QLatin1Char('.');
    }
    if (c <= -501) {
        return QStringLiteral("Missing string at line") + QLatin1Char(' ') +
               QString::number(-(c + 500)) + QLatin1Char('.');
    }
    return QStringLiteral("Error ") + QString::number(c);
}

QString ProgramText(int16_t number) {
    if (Texts().language != 0) {
        return {};
    }
    return Texts().texts.value(number);
}

void SetProgramTextLanguage(int16_t language) { Texts().language = language; }

}  // namespace velta
