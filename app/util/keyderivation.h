#pragma once
// Key derivation: the typed key becomes Windows-1252 bytes, so one key gives
// the same engine key on every platform. A character with no Windows-1252
// byte becomes "?" (one per character, as the original platform's default
// conversion does); hiding and extraction share this code, so both sides
// agree.
#include <QByteArray>
#include <QString>
#include <cstdint>

namespace velta {

constexpr int kMinKeyLength = 16;
constexpr int kMaxKeyLength = 64;
constexpr int kEngineKeyLength = 64;

// One byte per character (per code point); "?" where Windows-1252 has none.
QByteArray Windows1252Bytes(const QString &text);

// The inverse: every byte to its character (0x81, 0x8D, 0x8F, 0x90, 0x9D to
// the control code of the same number).
QString FromWindows1252(const QByteArray &bytes);
// True when every character of `text` has a Windows-1252 byte.
bool FitsWindows1252(const QString &text);

// Characters of code 32 or less dropped, then upper-cased character by
// character; a character whose capital is not one single character (ß)
// stays as it is.
QString ReducedKey(const QString &strKey);
// The reduced key has at least `intMinKeyLength` characters.
bool KeyIsAdmissible(const QString &strKey, int intMinKeyLength = kMinKeyLength);
// 1001..9999, from the MD5 digest of the reduced key's Windows-1252 bytes.
int16_t KeyChecksum(const QString &strReducedKey);
// The 64 engine key bytes (no NUL; the caller adds it). Empty when the
// reduced key is empty.
QByteArray EngineKey(const QString &strKey);

// Overwrites the bytes before the buffer is released.
void WipeBytes(QByteArray &bytes);

}  // namespace velta
