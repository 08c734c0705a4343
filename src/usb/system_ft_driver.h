#pragma once

// The driver behind the FT_* calls in normal use: a census across its backends, and
// small integer handles for the devices it opened.

#include "usb/backend.h"
#include "usb/ft_driver.h"

#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace nx::usb {

class SystemFtDriver final : public FtDriver {
public:
    // Backends in listing order; a device a later backend sees again is dropped.
    explicit SystemFtDriver(std::vector<std::unique_ptr<Backend>> backends);
    // Emulated meters, kernel serial ports, libftdi.
    SystemFtDriver();
    ~SystemFtDriver() override;

    FT_STATUS CreateDeviceInfoList(DWORD* numDevs) override;
    FT_STATUS GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* list, DWORD* numDevs) override;
    FT_STATUS OpenEx(const char* arg, DWORD flags, FT_HANDLE* handle) override;
    FT_STATUS Close(FT_HANDLE handle) override;
    FT_STATUS ResetDevice(FT_HANDLE handle) override;
    FT_STATUS CyclePort(FT_HANDLE handle) override;
    FT_STATUS SetDtr(FT_HANDLE handle) override;
    FT_STATUS ClrDtr(FT_HANDLE handle) override;
    FT_STATUS SetRts(FT_HANDLE handle) override;
    FT_STATUS ClrRts(FT_HANDLE handle) override;
    FT_STATUS SetBaudRate(FT_HANDLE handle, DWORD baudRate) override;
    FT_STATUS SetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits,
                                     UCHAR parity) override;
    FT_STATUS SetFlowControl(FT_HANDLE handle, WORD flowControl, UCHAR xon, UCHAR xoff) override;
    FT_STATUS SetTimeouts(FT_HANDLE handle, DWORD readTimeoutMs, DWORD writeTimeoutMs) override;
    FT_STATUS SetLatencyTimer(FT_HANDLE handle, UCHAR ms) override;
    FT_STATUS SetUSBParameters(FT_HANDLE handle, DWORD inTransferSize, DWORD outTransferSize) override;
    FT_STATUS Read(FT_HANDLE handle, void* buffer, DWORD bytesToRead, DWORD* bytesRead) override;
    FT_STATUS Write(FT_HANDLE handle, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten) override;
    FT_STATUS GetQueueStatus(FT_HANDLE handle, DWORD* rxBytes) override;
    FT_STATUS GetStatus(FT_HANDLE handle, DWORD* rxBytes, DWORD* txBytes, DWORD* eventWord) override;
    FT_STATUS Purge(FT_HANDLE handle, DWORD mask) override;
    FT_STATUS GetModemStatus(FT_HANDLE handle, DWORD* modemStatus) override;
    FT_STATUS GetDeviceInfo(FT_HANDLE handle, DWORD* type, DWORD* id, char* serialNumber, char* description,
                            void* reserved) override;
    FT_STATUS SetEventNotification(FT_HANDLE handle, DWORD mask, FtEvent* event) override;

private:
    struct Listed {
        DeviceInfo info;
        Backend* backend;
    };
    struct Open {
        DeviceInfo info;
        Backend* backend;
        std::shared_ptr<Device> device;
    };

    std::vector<Listed> takeCensus();
    FT_STATUS openListed(const Listed& listed, FT_HANDLE* handle);
    std::shared_ptr<Device> find(FT_HANDLE handle);
    FT_HANDLE openHandleOf(const Listed& listed) const;  // 0 when not open
    template <typename Call> FT_STATUS onDevice(FT_HANDLE handle, Call call);

    std::vector<std::unique_ptr<Backend>> backends_;
    // Guards the census and the handle table, never a device call: the receive-event
    // worker asks for the status while the GUI thread waits in a read.
    std::mutex mutex_;
    std::vector<Listed> census_;
    std::map<FT_HANDLE, Open> open_;
    FT_HANDLE nextHandle_ = 1;
};

}  // namespace nx::usb
