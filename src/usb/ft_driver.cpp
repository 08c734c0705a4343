#include "usb/ft_driver.h"

#include "usb/system_ft_driver.h"

#include <atomic>

namespace nx::usb {
namespace {

// Set while a ScopedFtDriver is in force; read by every call, also from the
// receive-event worker.
std::atomic<FtDriver*> replacementDriver{nullptr};

FtDriver& systemDriver()
{
    static SystemFtDriver driver;
    return driver;
}

}  // namespace

FtDriver& activeFtDriver()
{
    FtDriver* replacement = replacementDriver.load();
    return replacement != nullptr ? *replacement : systemDriver();
}

ScopedFtDriver::ScopedFtDriver(FtDriver& replacement) : previous_(replacementDriver.exchange(&replacement)) {}

ScopedFtDriver::~ScopedFtDriver() { replacementDriver.store(previous_); }

FT_STATUS FT_CreateDeviceInfoList(DWORD* numDevs) { return activeFtDriver().CreateDeviceInfoList(numDevs); }

FT_STATUS FT_GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* list, DWORD* numDevs)
{
    return activeFtDriver().GetDeviceInfoList(list, numDevs);
}

FT_STATUS FT_OpenEx(const char* arg, DWORD flags, FT_HANDLE* handle)
{
    return activeFtDriver().OpenEx(arg, flags, handle);
}

FT_STATUS FT_Close(FT_HANDLE handle) { return activeFtDriver().Close(handle); }
FT_STATUS FT_ResetDevice(FT_HANDLE handle) { return activeFtDriver().ResetDevice(handle); }
FT_STATUS FT_CyclePort(FT_HANDLE handle) { return activeFtDriver().CyclePort(handle); }
FT_STATUS FT_SetDtr(FT_HANDLE handle) { return activeFtDriver().SetDtr(handle); }
FT_STATUS FT_ClrDtr(FT_HANDLE handle) { return activeFtDriver().ClrDtr(handle); }
FT_STATUS FT_SetRts(FT_HANDLE handle) { return activeFtDriver().SetRts(handle); }
FT_STATUS FT_ClrRts(FT_HANDLE handle) { return activeFtDriver().ClrRts(handle); }
FT_STATUS FT_SetBaudRate(FT_HANDLE handle, DWORD baudRate)
{
    return activeFtDriver().SetBaudRate(handle, baudRate);
}

FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits, UCHAR parity)
{
    return activeFtDriver().SetDataCharacteristics(handle, wordLength, stopBits, parity);
}

FT_STATUS FT_SetFlowControl(FT_HANDLE handle, WORD flowControl, UCHAR xon, UCHAR xoff)
{
    return activeFtDriver().SetFlowControl(handle, flowControl, xon, xoff);
}

FT_STATUS FT_SetTimeouts(FT_HANDLE handle, DWORD readTimeoutMs, DWORD writeTimeoutMs)
{
    return activeFtDriver().SetTimeouts(handle, readTimeoutMs, writeTimeoutMs);
}

FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, UCHAR ms)
{
    return activeFtDriver().SetLatencyTimer(handle, ms);
}

FT_STATUS FT_SetUSBParameters(FT_HANDLE handle, DWORD inTransferSize, DWORD outTransferSize)
{
    return activeFtDriver().SetUSBParameters(handle, inTransferSize, outTransferSize);
}

FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD bytesToRead, DWORD* bytesRead)
{
    return activeFtDriver().Read(handle, buffer, bytesToRead, bytesRead);
}

FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten)
{
    return activeFtDriver().Write(handle, buffer, bytesToWrite, bytesWritten);
}

FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, DWORD* rxBytes)
{
    return activeFtDriver().GetQueueStatus(handle, rxBytes);
}

FT_STATUS FT_GetStatus(FT_HANDLE handle, DWORD* rxBytes, DWORD* txBytes, DWORD* eventWord)
{
    return activeFtDriver().GetStatus(handle, rxBytes, txBytes, eventWord);
}

FT_STATUS FT_Purge(FT_HANDLE handle, DWORD mask) { return activeFtDriver().Purge(handle, mask); }

FT_STATUS FT_GetModemStatus(FT_HANDLE handle, DWORD* modemStatus)
{
    return activeFtDriver().GetModemStatus(handle, modemStatus);
}

FT_STATUS FT_GetDeviceInfo(FT_HANDLE handle, DWORD* type, DWORD* id, char* serialNumber, char* description,
                           void* reserved)
{
    return activeFtDriver().GetDeviceInfo(handle, type, id, serialNumber, description, reserved);
}

FT_STATUS FT_SetEventNotification(FT_HANDLE handle, DWORD mask, FtEvent* event)
{
    return activeFtDriver().SetEventNotification(handle, mask, event);
}

}  // namespace nx::usb
