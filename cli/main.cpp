#include <QCoreApplication>

#include "cli.h"

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velta-cli"));
    return velta::cli::Run(QCoreApplication::arguments());
}
