#pragma once

// Backends of the system driver. Each finds devices of one kind and opens them; the
// system driver lists them in a fixed order (emulated meters first), drops a chip that
// a later backend sees again, and hands out handles.

#include "usb/ft_driver.h"

#include <memory>
#include <string>
#include <vector>

namespace nx::usb {

struct DeviceInfo {
    DWORD flags = 0;
    DWORD type = FT_DEVICE_232R;
    DWORD id = 0x04036001;  // vendor id << 16 | product id
    DWORD locId = 0;
    std::string serialNumber;  // at most 15 bytes reach the node
    std::string description;   // at most 63 bytes reach the node
    // Where the backend finds the device again (a path, a USB bus and port); the
    // system driver also compares it to recognise one chip seen by two backends.
    std::string location;
};

// One open device. Calls mirror the per-handle FT_* calls and return their status.
class Device {
public:
    virtual ~Device() = default;
    virtual FT_STATUS reset() = 0;
    virtual FT_STATUS cyclePort() = 0;
    virtual FT_STATUS setDtr(bool on) = 0;
    virtual FT_STATUS setRts(bool on) = 0;
    virtual FT_STATUS setBaudRate(DWORD baudRate) = 0;
    virtual FT_STATUS setDataCharacteristics(UCHAR wordLength, UCHAR stopBits, UCHAR parity) = 0;
    virtual FT_STATUS setFlowControl(WORD flowControl, UCHAR xon, UCHAR xoff) = 0;
    virtual FT_STATUS setTimeouts(DWORD readTimeoutMs, DWORD writeTimeoutMs) = 0;
    virtual FT_STATUS setLatencyTimer(UCHAR ms) = 0;
    virtual FT_STATUS setUsbParameters(DWORD inTransferSize, DWORD outTransferSize) = 0;
    virtual FT_STATUS read(void* buffer, DWORD bytesToRead, DWORD* bytesRead) = 0;
    virtual FT_STATUS write(const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten) = 0;
    virtual FT_STATUS queueStatus(DWORD* rxBytes) = 0;
    virtual FT_STATUS status(DWORD* rxBytes, DWORD* txBytes, DWORD* eventWord) = 0;
    virtual FT_STATUS purge(DWORD mask) = 0;
    virtual FT_STATUS modemStatus(DWORD* modemStatus) = 0;
    virtual FT_STATUS setEventNotification(DWORD mask, FtEvent* event) = 0;
};

class Backend {
public:
    virtual ~Backend() = default;
    // A fresh census of this backend's devices.
    virtual std::vector<DeviceInfo> enumerate() = 0;
    // Opens a device of the last census; nullptr and a status when it cannot.
    virtual std::unique_ptr<Device> open(const DeviceInfo& device, FT_STATUS* status) = 0;
};

// Meters emulated from the image files listed in NIVEX_EMULATED_METERS.
std::unique_ptr<Backend> makeEmulatedBackend();
// FTDI chips bound to the kernel's ftdi_sio driver (/dev/ttyUSB*).
std::unique_ptr<Backend> makeSerialBackend();
// FTDI chips reached directly over USB with libftdi.
std::unique_ptr<Backend> makeLibftdiBackend();

}  // namespace nx::usb
