#pragma once
// Debian's Chromium, run headless on a local page with a fresh profile and
// nothing that reaches the network, for the tests and tools that must see a
// page as a browser draws it.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace velta::test {

// The chromium executable on PATH, or empty when it is not installed.
QString ChromiumPath();

// Runs Chromium on the local file `page` with `extra` arguments (such as
// --dump-dom or --screenshot=FILE). True when it finished with status 0;
// `output`, when given, receives its standard output.
bool RunHeadlessChromium(const QString &page, const QStringList &extra,
                         QByteArray *output = nullptr);

}  // namespace velta::test
