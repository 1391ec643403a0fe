#include "util/keyderivation.h"

#include "util/digest.h"

#include <QList>
#include <QStringView>
#include <array>

namespace velta {
namespace {

// Code points of Windows-1252 bytes 0x80..0x9F (0 where the code page has no
// character: those bytes map to the same-numbered control code).
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The byte for code point u, or -1.
int ByteOf(char32_t u) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
        return static_cast<int>(u);
    }
    if (u >= 0x80 && u <= 0x9F) {
        return kHigh[u - 0x80] == 0 ? static_cast<int>(u) : -1;
    }
    for (size_t i = 0; i < kHigh.size(); ++i) {
        if (kHigh[i] != 0 && kHigh[i] == u) {
            return static_cast<int>(0x80 + i);
        }
    }
    return -1;
}

}  // namespace

QByteArray Windows1252Bytes(const QString &text) {
    QByteArray out;
    out.reserve(text.size());
    for (const uint u : QStringView(text).toUcs4()) {
        const int b = ByteOf(static_cast<char32_t>(u));
        out.append(b < 0 ? '?' : static_cast<char>(b));
    }
    return out;
}

QString FromWindows1252(const QByteArray &bytes) {
    QString out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<uint8_t>(c);
        const char16_t high = (b >= 0x80 && b <= 0x9F) ? kHigh[b - 0x80] : char16_t(0);
        out += QChar(high != 0 ? high : char16_t(b));
    }
    return out;
}

bool FitsWindows1252(const QString &text) {
    for (const uint u : QStringView(text).toUcs4()) {
        if (ByteOf(static_cast<char32_t>(u)) < 0) {
            return false;
        }
    }
    return true;
}

QString ReducedKey(const QString &strKey) {
    QString out;
    out.reserve(strKey.size());
    for (const uint u : QStringView(strKey).toUcs4()) {
        if (u <= 32) {
            continue;
        }
        const auto c = static_cast<char32_t>(u);
        const QString one = QString::fromUcs4(&c, 1);
        const QString upper = one.toUpper();
        // Only a one-character capital replaces the character (ß keeps its
        // form rather than becoming "SS", which would change the key length).
        out += QStringView(upper).toUcs4().size() == 1 ? upper : one;
    }
    return out;
}

bool KeyIsAdmissible(const QString &strKey, int intMinKeyLength) {
    return QStringView(ReducedKey(strKey)).toUcs4().size() >= intMinKeyLength;
}

int16_t KeyChecksum(const QString &strReducedKey) {
    QByteArray d = StringDigest(strReducedKey, -1);
    int32_t s = 0;
    for (int k = 0; k < 8; ++k) {
        s += static_cast<int32_t>(static_cast<uint8_t>(d[2 * k])) * 65536 +
             static_cast<int32_t>(static_cast<uint8_t>(d[2 * k + 1]));
    }
    WipeBytes(d);
    return static_cast<int16_t>(s % 8999 + 1001);
}

QByteArray EngineKey(const QString &strKey) {
    // Doubling works on bytes, one per character, so a character outside
    // the code page can never be cut in half.
    QByteArray k = Windows1252Bytes(ReducedKey(strKey));
    if (k.isEmpty()) {
        return k;
    }
    while (k.size() < kEngineKeyLength) {
        k += k;
    }
    QByteArray out = k.left(kEngineKeyLength);
    WipeBytes(k);
    return out;
}

void WipeBytes(QByteArray &bytes) {
    volatile char *p = bytes.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        p[i] = 0;
    }
    bytes.clear();
}

}  // namespace velta
