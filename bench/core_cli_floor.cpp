// The floor under an end-to-end PNG hide: one decode and one encode of the
// image by the project's own conversion, nothing else. Timed from outside
// (bench/cli_bench).
//
//   bench_core_cli_floor in.png work_folder
#include <QDir>
#include <QString>
#include <cstdio>

#include "driver/png_convert.h"

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_core_cli_floor in.png work_folder\n");
        return 2;
    }
    const QString in = QString::fromLocal8Bit(argv[1]);
    const QDir work(QString::fromLocal8Bit(argv[2]));
    const QString bmp = work.filePath(QStringLiteral("floor.bmp"));
    const QString png = work.filePath(QStringLiteral("floor.png"));
    QString message;
    if (!velta::PngToBmp(in, bmp, message) || !velta::BmpToPng(bmp, png, message)) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        return 1;
    }
    QFile::remove(bmp);
    QFile::remove(png);
    return 0;
}
