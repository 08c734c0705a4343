#pragma once

// The kernel path: FTDI chips bound to ftdi_sio, driven through their tty.

#include "usb/backend.h"

#include <memory>
#include <string>
#include <vector>

namespace nx::usb {

// Opens a tty as a device: a /dev/ttyUSB port, or the slave side of a pseudo-terminal.
std::unique_ptr<Device> openSerialDevice(const std::string& path, FT_STATUS* status);

// A serial backend that lists exactly these ports (each found again by its `location`,
// the tty's path) instead of asking the system which ports there are.
std::unique_ptr<Backend> makeSerialBackend(std::vector<DeviceInfo> ports);

}  // namespace nx::usb
