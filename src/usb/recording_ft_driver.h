#pragma once

// A driver for unit tests: records every call with its arguments and answers from a
// script (statuses per function, device list, handle, counts, modem status, the bytes
// reads return). Install it with ScopedFtDriver.

#include "usb/ft_driver.h"

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace nx::usb {

// One driver call: the function's name without "FT_", its numeric arguments in order
// (handles, counts, masks; the buffers and out-pointers are left out) and its text
// argument (OpenEx only).
struct FtCall {
    std::string function;
    std::vector<std::uint64_t> args;
    std::string text;

    bool operator==(const FtCall&) const = default;
    // e.g. SetDataCharacteristics(7, 8, 0, 0) or OpenEx("PP0042", 1)
    std::string toString() const;
};

// Makes gtest print calls readably in failure messages.
void PrintTo(const FtCall& call, std::ostream* out);

class RecordingFtDriver final : public FtDriver {
public:
    // The script. Set before the code under test runs; reads and writes of the fake are
    // locked, so a worker thread may call the driver while the test waits.
    std::vector<FT_DEVICE_LIST_INFO_NODE> devices;  // counted and filled by the list calls
    FT_HANDLE openHandle = 7;                       // what a successful OpenEx hands out
    DWORD rxBytes = 0;                              // GetQueueStatus and GetStatus
    DWORD txBytes = 0;                              // GetStatus
    DWORD eventWord = 0;                            // GetStatus
    DWORD modemStatus = 0;                          // GetModemStatus
    DWORD deviceType = FT_DEVICE_232R;              // GetDeviceInfo
    DWORD deviceId = 0x04036001;
    std::string deviceSerial = "PP000001";
    std::string deviceDescription = "FT232R USB UART";

    // Every later call of `function` (the name without "FT_") returns `status`.
    void failWith(std::string_view function, FT_STATUS status);
    // Bytes that reads hand out, in order, as far as each read asks.
    void queueReadBytes(std::string_view bytes);

    std::vector<FtCall> calls() const;
    // The calls of one function, in order.
    std::vector<FtCall> callsOf(std::string_view function) const;
    // All calls, one a line, for failure messages.
    std::string callLog() const;
    // Every byte written with a successful Write, in order.
    std::string written() const;
    void clearCalls();

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
    // Records the call and returns the scripted status; the caller holds mutex_.
    FT_STATUS record(std::string_view function, std::vector<std::uint64_t> args, std::string text = {});

    mutable std::mutex mutex_;
    std::vector<FtCall> calls_;
    std::map<std::string, FT_STATUS, std::less<>> statuses_;
    std::deque<char> readBytes_;
    std::string written_;
};

}  // namespace nx::usb
