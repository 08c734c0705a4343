#include "usb/recording_ft_driver.h"

#include <algorithm>
#include <cstring>
#include <ostream>
#include <sstream>

namespace nx::usb {

std::string FtCall::toString() const
{
    std::ostringstream out;
    out << function << '(';
    const char* separator = "";
    if (!text.empty() || function == "OpenEx") {
        out << '"' << text << '"';
        separator = ", ";
    }
    for (std::uint64_t a : args) {
        out << separator << a;
        separator = ", ";
    }
    out << ')';
    return out.str();
}

void PrintTo(const FtCall& call, std::ostream* out) { *out << call.toString(); }

void RecordingFtDriver::failWith(std::string_view function, FT_STATUS status)
{
    std::lock_guard lock(mutex_);
    statuses_.insert_or_assign(std::string(function), status);
}

void RecordingFtDriver::queueReadBytes(std::string_view bytes)
{
    std::lock_guard lock(mutex_);
    readBytes_.insert(readBytes_.end(), bytes.begin(), bytes.end());
}

std::vector<FtCall> RecordingFtDriver::calls() const
{
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<FtCall> RecordingFtDriver::callsOf(std::string_view function) const
{
    std::lock_guard lock(mutex_);
    std::vector<FtCall> found;
    std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(found),
                 [&](const FtCall& c) { return c.function == function; });
    return found;
}

std::string RecordingFtDriver::callLog() const
{
    std::lock_guard lock(mutex_);
    std::string log;
    for (const FtCall& c : calls_)
        log += c.toString() + '\n';
    return log.empty() ? "(no driver call)\n" : log;
}

std::string RecordingFtDriver::written() const
{
    std::lock_guard lock(mutex_);
    return written_;
}

void RecordingFtDriver::clearCalls()
{
    std::lock_guard lock(mutex_);
    calls_.clear();
}

FT_STATUS RecordingFtDriver::record(std::string_view function, std::vector<std::uint64_t> args,
                                    std::string text)
{
    calls_.push_back({std::string(function), std::move(args), std::move(text)});
    const auto it = statuses_.find(function);
    return it == statuses_.end() ? FT_OK : it->second;
}

FT_STATUS RecordingFtDriver::CreateDeviceInfoList(DWORD* numDevs)
{
    std::lock_guard lock(mutex_);
    const FT_STATUS status = record("CreateDeviceInfoList", {});
    if (status == FT_OK)
        *numDevs = DWORD(devices.size());
    return status;
}

FT_STATUS RecordingFtDriver::GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* list, DWORD* numDevs)
{
    std::lock_guard lock(mutex_);
    const FT_STATUS status = record("GetDeviceInfoList", {*numDevs});
    if (status != FT_OK)
        return status;
    const std::size_t count = std::min<std::size_t>(*numDevs, devices.size());
    std::copy_n(devices.begin(), count, list);
    *numDevs = DWORD(count);
    return status;
}

FT_STATUS RecordingFtDriver::OpenEx(const char* arg, DWORD flags, FT_HANDLE* handle)
{
    std::lock_guard lock(mutex_);
    const FT_STATUS status = record("OpenEx", {flags}, arg);
    if (status == FT_OK)
        *handle = openHandle;
    return status;
}

FT_STATUS RecordingFtDriver::Close(FT_HANDLE handle)
{
    std::lock_guard lock(mutex_);
    return record("Close", {handle});
}

FT_STATUS RecordingFtDriver::ResetDevice(FT_HANDLE handle)
{
    std::lock_guard lock(mutex_);
    return record("ResetDevice", {handle});
}

FT_STATUS RecordingFtDriver::CyclePort(FT_HANDLE handle)
{
    std::lock_guard lock(mutex_);
    return record("CyclePort", {handle});
}

FT_STATUS RecordingFtDriver::SetDtr(FT_HANDLE handle)
{
    std::lock_guard lock(mutex_);
    return record("SetDtr", {handle});
}

FT_STATUS RecordingFtDriver::ClrDtr(FT_HANDLE handle)
{
    std::lock_guard lock(mutex_);
    return record("ClrDtr", {handle});
}

FT_STATUS RecordingFtDriver::SetRts(FT_HANDLE handle)
{
    std::lock_guard lock(mutex_);
    return record("SetRts", {handle});
}

FT_STATUS RecordingFtDriver::ClrRts(FT_HANDLE handle)
{
    std::lock_guard lock(mutex_);
    return record("ClrRts", {handle});
}

FT_STATUS RecordingFtDriver::SetBaudRate(FT_HANDLE handle, DWORD baudRate)
{
    std::lock_guard lock(mutex_);
    return record("SetBaudRate", {handle, baudRate});
}

FT_STATUS RecordingFtDriver::SetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits,
                                                    UCHAR parity)
{
    std::lock_guard lock(mutex_);
    return record("SetDataCharacteristics", {handle, wordLength, stopBits, parity});
}

FT_STATUS RecordingFtDriver::SetFlowControl(FT_HANDLE handle, WORD flowControl, UCHAR xon, UCHAR xoff)
{
    std::lock_guard lock(mutex_);
    return record("SetFlowControl", {handle, flowControl, xon, xoff});
}

FT_STATUS RecordingFtDriver::SetTimeouts(FT_HANDLE handle, DWORD readTimeoutMs, DWORD writeTimeoutMs)
{
    std::lock_guard lock(mutex_);
    return record("SetTimeouts", {handle, readTimeoutMs, writeTimeoutMs});
}

FT_STATUS RecordingFtDriver::SetLatencyTimer(FT_HANDLE handle, UCHAR ms)
{
    std::lock_guard lock(mutex_);
    return record("SetLatencyTimer", {handle, ms});
}

FT_STATUS RecordingFtDriver::SetUSBParameters(FT_HANDLE handle, DWORD inTransferSize, DWORD outTransferSize)
{
    std::lock_guard lock(mutex_);
    return record("SetUSBParameters", {handle, inTransferSize, outTransferSize});
}

FT_STATUS RecordingFtDriver::Read(FT_HANDLE handle, void* buffer, DWORD bytesToRead, DWORD* bytesRead)
{
    std::lock_guard lock(mutex_);
    const FT_STATUS status = record("Read", {handle, bytesToRead});
    if (status != FT_OK)
        return status;
    const std::size_t n = std::min<std::size_t>(bytesToRead, readBytes_.size());
    std::copy_n(readBytes_.begin(), n, static_cast<char*>(buffer));
    readBytes_.erase(readBytes_.begin(), readBytes_.begin() + std::ptrdiff_t(n));
    *bytesRead = DWORD(n);
    return status;
}

FT_STATUS RecordingFtDriver::Write(FT_HANDLE handle, const void* buffer, DWORD bytesToWrite,
                                   DWORD* bytesWritten)
{
    std::lock_guard lock(mutex_);
    const FT_STATUS status = record("Write", {handle, bytesToWrite});
    if (status != FT_OK)
        return status;
    written_.append(static_cast<const char*>(buffer), bytesToWrite);
    *bytesWritten = bytesToWrite;
    return status;
}

FT_STATUS RecordingFtDriver::GetQueueStatus(FT_HANDLE handle, DWORD* rx)
{
    std::lock_guard lock(mutex_);
    const FT_STATUS status = record("GetQueueStatus", {handle});
    if (status == FT_OK)
        *rx = rxBytes;
    return status;
}

FT_STATUS RecordingFtDriver::GetStatus(FT_HANDLE handle, DWORD* rx, DWORD* tx, DWORD* events)
{
    std::lock_guard lock(mutex_);
    const FT_STATUS status = record("GetStatus", {handle});
    if (status == FT_OK) {
        *rx = rxBytes;
        *tx = txBytes;
        *events = eventWord;
    }
    return status;
}

FT_STATUS RecordingFtDriver::Purge(FT_HANDLE handle, DWORD mask)
{
    std::lock_guard lock(mutex_);
    return record("Purge", {handle, mask});
}

FT_STATUS RecordingFtDriver::GetModemStatus(FT_HANDLE handle, DWORD* status)
{
    std::lock_guard lock(mutex_);
    const FT_STATUS result = record("GetModemStatus", {handle});
    if (result == FT_OK)
        *status = modemStatus;
    return result;
}

FT_STATUS RecordingFtDriver::GetDeviceInfo(FT_HANDLE handle, DWORD* type, DWORD* id, char* serialNumber,
                                           char* description, void* reserved)
{
    std::lock_guard lock(mutex_);
    const FT_STATUS status = record("GetDeviceInfo", {handle, reserved == nullptr ? 0u : 1u});
    if (status != FT_OK)
        return status;
    *type = deviceType;
    *id = deviceId;
    // The caller's buffers hold 16 + 1 and 64 + 1 bytes.
    const std::size_t serialLength = std::min<std::size_t>(deviceSerial.size(), 16);
    std::memcpy(serialNumber, deviceSerial.data(), serialLength);
    serialNumber[serialLength] = '\0';
    const std::size_t descriptionLength = std::min<std::size_t>(deviceDescription.size(), 64);
    std::memcpy(description, deviceDescription.data(), descriptionLength);
    description[descriptionLength] = '\0';
    return status;
}

FT_STATUS RecordingFtDriver::SetEventNotification(FT_HANDLE handle, DWORD mask, FtEvent*)
{
    std::lock_guard lock(mutex_);
    return record("SetEventNotification", {handle, mask});
}

}  // namespace nx::usb
