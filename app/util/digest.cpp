#include "util/digest.h"

#include "driver/ui_port.h"
#include "util/fileutil.h"
#include "util/keyderivation.h"

#include <QCryptographicHash>
#include <QFile>

namespace velta {

QByteArray StringDigest(const QString &text, int32_t count) {
    QByteArray bytes = Windows1252Bytes(text);
    const qsizetype n = (count < 0 || count > bytes.size()) ? bytes.size() : count;
    QCryptographicHash md5(QCryptographicHash::Md5);
    md5.addData(QByteArrayView(bytes.constData(), n));
    WipeBytes(bytes);
    return md5.result();
}

QString DigitalSignature(const QString &path, int32_t &code, QString &errText) {
    code = 0;
    errText.clear();
    if (path.isEmpty()) {
        code = kSignatureEmptyPath;
        return {};
    }
    if (path.size() == 2 && path[1] == QLatin1Char(':')) {
        code = kSignatureDrive;
        errText = QStringLiteral("Drive, not file");
        return {};
    }
    if (IsFolder(path)) {
        code = kSignatureFolder;
        errText = QStringLiteral("Folder, not file");
        return {};
    }
    const int32_t length = FileLength(path);
    if (length < 0) {
        code = -length;
        errText = length == -kErrFileNotFound ? QStringLiteral("File not found")
                  : length == -kErrBadFileName ? QStringLiteral("Bad file name")
                                               : QStringLiteral("Path/File access error");
        return {};
    }
    if (length == 0) {
        code = kSignatureZeroLength;
        errText = QStringLiteral("Zero-length file");
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        code = file.error() == QFileDevice::PermissionsError ? kErrPermissionDenied : kErrPathAccess;
        errText = file.errorString();
        return {};
    }
    // Read to the end rather than to the measured length (capped at 2 GiB),
    // so large files are digested whole.
    QCryptographicHash md5(QCryptographicHash::Md5);
    QByteArray buffer(kDigestReadBuffer, Qt::Uninitialized);
    for (;;) {
        const qint64 got = file.read(buffer.data(), kDigestReadBuffer);
        if (got < 0) {
            code = 57;
            errText = QStringLiteral("Device I/O error: ") + file.errorString();
            return {};
        }
        if (got == 0) {
            break;
        }
        md5.addData(QByteArrayView(buffer.constData(), got));
    }
    return QString::fromLatin1(md5.result().toHex().toUpper());
}

bool SameDigitalSignature(const QString &path1, const QString &path2, int32_t &code,
                          QString &errText, bool blnShowErrors, UiPort *ui) {
    const QString s1 = DigitalSignature(path1, code, errText);
    if (code != 0 && !errText.isEmpty() && blnShowErrors) {
        if (ui != nullptr) {
            ui->showMessage(QStringLiteral("Error getting digital signature of 1st file:\r\n") +
                                errText,
                            MessageIcon::Exclamation, MessageButtons::Ok, QStringLiteral("Error"));
        }
        return false;
    }
    const QString s2 = DigitalSignature(path2, code, errText);
    if (code != 0 && !errText.isEmpty() && blnShowErrors) {
        if (ui != nullptr) {
            ui->showMessage(QStringLiteral("Error getting digital signature of 2nd file:\r\n") +
                                errText,
                            MessageIcon::Exclamation, MessageButtons::Ok, QStringLiteral("Error"));
        }
        return false;
    }
    return s1 == s2;
}

bool SameContentDigest(const QString &path1, const QString &path2) {
    int32_t code = 0;
    QString err;
    const QString s1 = DigitalSignature(path1, code, err);
    return !s1.isEmpty() && s1 == DigitalSignature(path2, code, err);
}

}  // namespace velta
