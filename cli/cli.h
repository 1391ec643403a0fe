#pragma once
// velta-cli: hide, extract and info from a terminal, over the same workflow
// as the windows (validation, inspection, capacity rules, conversion, engine
// calls, round-trip check and status texts). One image goes through the
// workflow's PerformTheOperation with the dialogs answered by flags; an image
// set (several --image) is driven here over the engine binding, with the
// workflow's own inspection, conversion, key derivation and texts.
#include <QStringList>

namespace velta::cli {

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // refused or failed operation
constexpr int kExitUsage = 2;

// Runs one command; `args` as QCoreApplication::arguments() gives them.
// Needs a QCoreApplication.
int Run(const QStringList &args);

}  // namespace velta::cli
