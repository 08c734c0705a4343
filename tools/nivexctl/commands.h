#pragma once

#include "usb/tftdichip.h"

#include <QStringList>

// One function per command; each prints its results and returns the exit status.
namespace nivexctl {
int runDevices(const QStringList& args);
int runMeters(const QStringList& args);
int runDownload(const QStringList& args);

// A shell command ends its process, so it gives the chip back; the window's download
// leaves the link open for the next one.
class LinkCloser {
public:
    explicit LinkCloser(nx::usb::tftdichip& link) : link_(link) {}
    ~LinkCloser()
    {
        if (link_.fconnected)
            link_.closeDevice();
    }
    LinkCloser(const LinkCloser&) = delete;
    LinkCloser& operator=(const LinkCloser&) = delete;

private:
    nx::usb::tftdichip& link_;
};

}  // namespace nivexctl
