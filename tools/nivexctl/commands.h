#pragma once

#include <QStringList>

// One function per command; each prints its results and returns the exit status.
namespace nivexctl {
int runDevices(const QStringList& args);
int runMeters(const QStringList& args);
int runDownload(const QStringList& args);
}
