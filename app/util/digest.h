#pragma once
// MD5 digests of key text and of files ("digital signature": 32 upper-case
// hexadecimal digits).
#include <QByteArray>
#include <QString>
#include <cstdint>

namespace velta {
class UiPort;

constexpr int32_t kSignatureZeroLength = -1;
constexpr int32_t kSignatureFolder = -2;
constexpr int32_t kSignatureDrive = -3;
constexpr int32_t kSignatureEmptyPath = -4;
constexpr qint64 kDigestReadBuffer = 16384;

// The 16 digest bytes of the first `count` Windows-1252 bytes of `text`
// (-1: all of them).
QByteArray StringDigest(const QString &text, int32_t count = -1);

// Signature of the file, or empty with `code` != 0 and `errText` saying why
// (codes above; positive codes: the file cannot be measured, opened or read,
// 53 missing, 52 bad name, 57 read error, 75 access denied).
QString DigitalSignature(const QString &path, int32_t &code, QString &errText);

// True when both signatures are equal. With blnShowErrors (and a port) the
// first unusable file is shown in a warning box titled "Error" and the result
// is false; without, unusable files take part with the empty signature.
bool SameDigitalSignature(const QString &path1, const QString &path2, int32_t &code,
                          QString &errText, bool blnShowErrors, UiPort *ui = nullptr);

// Both files have a signature and it is the same: unlike
// SameDigitalSignature without errors shown, two unreadable files do not
// pass, so a check that must prove something relies on this one.
bool SameContentDigest(const QString &path1, const QString &path2);

}  // namespace velta
