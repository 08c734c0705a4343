#pragma once

// The USB-serial driver interface: the 24 FT_* calls the link uses, their status codes
// and the driver's device-information node. The calls go to the active FtDriver, which
// is the multi-backend system driver unless a test installs another.

#include <cstddef>
#include <cstdint>

namespace nx::usb {

using FT_STATUS = std::uint32_t;
// Opaque handle of an open device; 0 is no device. 32 bits wide, so a device node is
// the 100 bytes the link's callers expect.
using FT_HANDLE = std::uint32_t;
using DWORD = std::uint32_t;
using WORD = std::uint16_t;
using UCHAR = std::uint8_t;

enum : FT_STATUS {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INSUFFICIENT_RESOURCES = 5,
    FT_INVALID_PARAMETER = 6,
    FT_INVALID_BAUD_RATE = 7,
    FT_NOT_SUPPORTED = 17,
    FT_OTHER_ERROR = 18,
};

// FT_OpenEx modes.
inline constexpr DWORD FT_OPEN_BY_SERIAL_NUMBER = 1;
inline constexpr DWORD FT_OPEN_BY_DESCRIPTION = 2;

// FT_Purge masks.
inline constexpr DWORD FT_PURGE_RX = 1;
inline constexpr DWORD FT_PURGE_TX = 2;

// FT_SetEventNotification masks; FT_GetStatus event word.
inline constexpr DWORD FT_EVENT_RXCHAR = 1;
inline constexpr DWORD FT_EVENT_MODEM_STATUS = 2;

// Device-type codes.
enum : DWORD {
    FT_DEVICE_BM = 0,
    FT_DEVICE_AM = 1,
    FT_DEVICE_100AX = 2,
    FT_DEVICE_UNKNOWN = 3,
    FT_DEVICE_2232C = 4,
    FT_DEVICE_232R = 5,
    FT_DEVICE_2232H = 6,
    FT_DEVICE_4232H = 7,
    FT_DEVICE_232H = 8,
    FT_DEVICE_X_SERIES = 9,
};

// Node flag: the device is open (by this or another program).
inline constexpr DWORD FT_FLAGS_OPENED = 1;

// One device of the information list; nodes lie end to end, 100 bytes apart.
struct FT_DEVICE_LIST_INFO_NODE {
    DWORD Flags;
    DWORD Type;
    DWORD ID;  // vendor id << 16 | product id
    DWORD LocId;
    char SerialNumber[16];  // zero-terminated when shorter than 16
    char Description[64];   // zero-terminated when shorter than 64
    FT_HANDLE ftHandle;
};
static_assert(sizeof(FT_DEVICE_LIST_INFO_NODE) == 100);
static_assert(offsetof(FT_DEVICE_LIST_INFO_NODE, SerialNumber) == 16);
static_assert(offsetof(FT_DEVICE_LIST_INFO_NODE, Description) == 32);
static_assert(offsetof(FT_DEVICE_LIST_INFO_NODE, ftHandle) == 96);

// An auto-reset event the driver signals on the conditions armed by FT_SetEventNotification.
class FtEvent;

// What stands behind the FT_* calls.
class FtDriver {
public:
    virtual ~FtDriver() = default;
    // Takes a fresh census of the attached devices and writes their number.
    virtual FT_STATUS CreateDeviceInfoList(DWORD* numDevs) = 0;
    // Fills nodes from the last census. On entry *numDevs is the room in `list` (in
    // nodes), so a census that grew in between never writes past the block; on return
    // it is the number of nodes filled.
    virtual FT_STATUS GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* list, DWORD* numDevs) = 0;
    virtual FT_STATUS OpenEx(const char* arg, DWORD flags, FT_HANDLE* handle) = 0;
    virtual FT_STATUS Close(FT_HANDLE handle) = 0;
    virtual FT_STATUS ResetDevice(FT_HANDLE handle) = 0;
    virtual FT_STATUS CyclePort(FT_HANDLE handle) = 0;
    virtual FT_STATUS SetDtr(FT_HANDLE handle) = 0;
    virtual FT_STATUS ClrDtr(FT_HANDLE handle) = 0;
    virtual FT_STATUS SetRts(FT_HANDLE handle) = 0;
    virtual FT_STATUS ClrRts(FT_HANDLE handle) = 0;
    virtual FT_STATUS SetBaudRate(FT_HANDLE handle, DWORD baudRate) = 0;
    virtual FT_STATUS SetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits,
                                             UCHAR parity) = 0;
    virtual FT_STATUS SetFlowControl(FT_HANDLE handle, WORD flowControl, UCHAR xon, UCHAR xoff) = 0;
    virtual FT_STATUS SetTimeouts(FT_HANDLE handle, DWORD readTimeoutMs, DWORD writeTimeoutMs) = 0;
    virtual FT_STATUS SetLatencyTimer(FT_HANDLE handle, UCHAR ms) = 0;
    virtual FT_STATUS SetUSBParameters(FT_HANDLE handle, DWORD inTransferSize, DWORD outTransferSize) = 0;
    virtual FT_STATUS Read(FT_HANDLE handle, void* buffer, DWORD bytesToRead, DWORD* bytesRead) = 0;
    virtual FT_STATUS Write(FT_HANDLE handle, const void* buffer, DWORD bytesToWrite,
                            DWORD* bytesWritten) = 0;
    virtual FT_STATUS GetQueueStatus(FT_HANDLE handle, DWORD* rxBytes) = 0;
    virtual FT_STATUS GetStatus(FT_HANDLE handle, DWORD* rxBytes, DWORD* txBytes, DWORD* eventWord) = 0;
    virtual FT_STATUS Purge(FT_HANDLE handle, DWORD mask) = 0;
    virtual FT_STATUS GetModemStatus(FT_HANDLE handle, DWORD* modemStatus) = 0;
    virtual FT_STATUS GetDeviceInfo(FT_HANDLE handle, DWORD* type, DWORD* id, char* serialNumber,
                                    char* description, void* reserved) = 0;
    virtual FT_STATUS SetEventNotification(FT_HANDLE handle, DWORD mask, FtEvent* event) = 0;
};

// The driver the FT_* calls use: the system driver (emulated meters, kernel serial
// ports, libftdi) unless a ScopedFtDriver is in force.
FtDriver& activeFtDriver();

class ScopedFtDriver {
public:
    explicit ScopedFtDriver(FtDriver& replacement);
    ~ScopedFtDriver();
    ScopedFtDriver(const ScopedFtDriver&) = delete;
    ScopedFtDriver& operator=(const ScopedFtDriver&) = delete;

private:
    FtDriver* previous_;
};

FT_STATUS FT_CreateDeviceInfoList(DWORD* numDevs);
FT_STATUS FT_GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* list, DWORD* numDevs);
FT_STATUS FT_OpenEx(const char* arg, DWORD flags, FT_HANDLE* handle);
FT_STATUS FT_Close(FT_HANDLE handle);
FT_STATUS FT_ResetDevice(FT_HANDLE handle);
FT_STATUS FT_CyclePort(FT_HANDLE handle);
FT_STATUS FT_SetDtr(FT_HANDLE handle);
FT_STATUS FT_ClrDtr(FT_HANDLE handle);
FT_STATUS FT_SetRts(FT_HANDLE handle);
FT_STATUS FT_ClrRts(FT_HANDLE handle);
FT_STATUS FT_SetBaudRate(FT_HANDLE handle, DWORD baudRate);
FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits, UCHAR parity);
FT_STATUS FT_SetFlowControl(FT_HANDLE handle, WORD flowControl, UCHAR xon, UCHAR xoff);
FT_STATUS FT_SetTimeouts(FT_HANDLE handle, DWORD readTimeoutMs, DWORD writeTimeoutMs);
FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, UCHAR ms);
FT_STATUS FT_SetUSBParameters(FT_HANDLE handle, DWORD inTransferSize, DWORD outTransferSize);
FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD bytesToRead, DWORD* bytesRead);
FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten);
FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, DWORD* rxBytes);
FT_STATUS FT_GetStatus(FT_HANDLE handle, DWORD* rxBytes, DWORD* txBytes, DWORD* eventWord);
FT_STATUS FT_Purge(FT_HANDLE handle, DWORD mask);
FT_STATUS FT_GetModemStatus(FT_HANDLE handle, DWORD* modemStatus);
FT_STATUS FT_GetDeviceInfo(FT_HANDLE handle, DWORD* type, DWORD* id, char* serialNumber, char* description,
                           void* reserved);
FT_STATUS FT_SetEventNotification(FT_HANDLE handle, DWORD mask, FtEvent* event);

}  // namespace nx::usb
