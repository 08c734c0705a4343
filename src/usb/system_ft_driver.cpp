#include "usb/system_ft_driver.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>

namespace nx::usb {
namespace {

// One chip seen by two backends: the same USB location when both know it, else the
// same serial number on the same vendor and product id.
bool sameChip(const DeviceInfo& a, const DeviceInfo& b)
{
    if (a.locId != 0 && b.locId != 0)
        return a.locId == b.locId;
    return !a.serialNumber.empty() && a.serialNumber == b.serialNumber && a.id == b.id;
}

// Copies at most size - 1 bytes and always ends with a zero byte.
void copyTerminated(char* target, std::size_t size, std::string_view text)
{
    const std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(target, text.data(), n);
    std::memset(target + n, 0, size - n);
}

}  // namespace

SystemFtDriver::SystemFtDriver(std::vector<std::unique_ptr<Backend>> backends)
    : backends_(std::move(backends))
{
}

SystemFtDriver::SystemFtDriver()
{
    // The kernel's ftdi_sio comes before libftdi: a chip the kernel holds is driven
    // through its tty, because libftdi's open detaches ftdi_sio and resets the chip.
    backends_.push_back(makeEmulatedBackend());
    backends_.push_back(makeSerialBackend());
    backends_.push_back(makeLibftdiBackend());
}

SystemFtDriver::~SystemFtDriver() = default;

std::vector<SystemFtDriver::Listed> SystemFtDriver::takeCensus()
{
    std::vector<Listed> census;
    for (const std::unique_ptr<Backend>& backend : backends_) {
        const std::size_t fromEarlierBackends = census.size();
        for (DeviceInfo& info : backend->enumerate()) {
            const auto earlier = census.begin() + std::ptrdiff_t(fromEarlierBackends);
            if (std::any_of(census.begin(), earlier, [&](const Listed& l) { return sameChip(l.info, info); }))
                continue;
            census.push_back({std::move(info), backend.get()});
        }
    }
    std::lock_guard lock(mutex_);
    census_ = census;
    return census;
}

FT_HANDLE SystemFtDriver::openHandleOf(const Listed& listed) const
{
    for (const auto& [handle, open] : open_)
        if (open.backend == listed.backend && open.info.location == listed.info.location)
            return handle;
    return 0;
}

FT_STATUS SystemFtDriver::CreateDeviceInfoList(DWORD* numDevs)
{
    if (numDevs == nullptr)
        return FT_INVALID_PARAMETER;
    *numDevs = DWORD(takeCensus().size());
    return FT_OK;
}

FT_STATUS SystemFtDriver::GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* list, DWORD* numDevs)
{
    if (list == nullptr || numDevs == nullptr)
        return FT_INVALID_PARAMETER;
    std::lock_guard lock(mutex_);
    const std::size_t count = std::min<std::size_t>(*numDevs, census_.size());
    for (std::size_t i = 0; i < count; ++i) {
        const Listed& listed = census_[i];
        FT_DEVICE_LIST_INFO_NODE& node = list[i];
        node = {};
        node.Flags = listed.info.flags;
        node.Type = listed.info.type;
        node.ID = listed.info.id;
        node.LocId = listed.info.locId;
        copyTerminated(node.SerialNumber, sizeof node.SerialNumber, listed.info.serialNumber);
        copyTerminated(node.Description, sizeof node.Description, listed.info.description);
        node.ftHandle = openHandleOf(listed);
        if (node.ftHandle != 0)
            node.Flags |= FT_FLAGS_OPENED;
    }
    *numDevs = DWORD(count);
    return FT_OK;
}

FT_STATUS SystemFtDriver::OpenEx(const char* arg, DWORD flags, FT_HANDLE* handle)
{
    if (arg == nullptr || handle == nullptr)
        return FT_INVALID_PARAMETER;
    if (flags != FT_OPEN_BY_SERIAL_NUMBER && flags != FT_OPEN_BY_DESCRIPTION)
        return FT_INVALID_PARAMETER;
    const std::string_view wanted(arg);
    const auto lookUp = [&](const std::vector<Listed>& census) -> std::optional<Listed> {
        for (const Listed& l : census)
            if ((flags == FT_OPEN_BY_SERIAL_NUMBER ? l.info.serialNumber : l.info.description) == wanted)
                return l;
        return std::nullopt;
    };

    std::vector<Listed> last;
    {
        std::lock_guard lock(mutex_);
        last = census_;
    }
    if (const std::optional<Listed> listed = lookUp(last)) {
        const FT_STATUS status = openListed(*listed, handle);
        // Gone from where the last census saw it (unplugged, or back under another
        // tty name): look again below.
        if (status != FT_DEVICE_NOT_FOUND)
            return status;
    }
    const std::optional<Listed> listed = lookUp(takeCensus());
    return listed ? openListed(*listed, handle) : FT_DEVICE_NOT_FOUND;
}

FT_STATUS SystemFtDriver::openListed(const Listed& listed, FT_HANDLE* handle)
{
    {
        // One open per device, as with the vendor's driver.
        std::lock_guard lock(mutex_);
        if (openHandleOf(listed) != 0)
            return FT_DEVICE_NOT_OPENED;
    }
    FT_STATUS status = FT_OK;
    std::unique_ptr<Device> device = listed.backend->open(listed.info, &status);
    if (device == nullptr)
        return status == FT_OK ? FT_DEVICE_NOT_OPENED : status;

    std::lock_guard lock(mutex_);
    const FT_HANDLE assigned = nextHandle_++;
    if (nextHandle_ == 0)
        nextHandle_ = 1;
    open_.emplace(assigned, Open{listed.info, listed.backend, std::move(device)});
    *handle = assigned;
    return FT_OK;
}

FT_STATUS SystemFtDriver::Close(FT_HANDLE handle)
{
    std::shared_ptr<Device> closing;
    {
        std::lock_guard lock(mutex_);
        const auto it = open_.find(handle);
        if (it == open_.end())
            return FT_INVALID_HANDLE;
        closing = std::move(it->second.device);
        open_.erase(it);
    }
    // The device closes when the last call still running on it returns.
    return FT_OK;
}

std::shared_ptr<Device> SystemFtDriver::find(FT_HANDLE handle)
{
    std::lock_guard lock(mutex_);
    const auto it = open_.find(handle);
    return it == open_.end() ? nullptr : it->second.device;
}

template <typename Call> FT_STATUS SystemFtDriver::onDevice(FT_HANDLE handle, Call call)
{
    const std::shared_ptr<Device> device = find(handle);
    if (device == nullptr)
        return FT_INVALID_HANDLE;
    return call(*device);
}

FT_STATUS SystemFtDriver::ResetDevice(FT_HANDLE handle)
{
    return onDevice(handle, [](Device& d) -> FT_STATUS { return d.reset(); });
}

FT_STATUS SystemFtDriver::CyclePort(FT_HANDLE handle)
{
    return onDevice(handle, [](Device& d) -> FT_STATUS { return d.cyclePort(); });
}

FT_STATUS SystemFtDriver::SetDtr(FT_HANDLE handle)
{
    return onDevice(handle, [](Device& d) -> FT_STATUS { return d.setDtr(true); });
}

FT_STATUS SystemFtDriver::ClrDtr(FT_HANDLE handle)
{
    return onDevice(handle, [](Device& d) -> FT_STATUS { return d.setDtr(false); });
}

FT_STATUS SystemFtDriver::SetRts(FT_HANDLE handle)
{
    return onDevice(handle, [](Device& d) -> FT_STATUS { return d.setRts(true); });
}

FT_STATUS SystemFtDriver::ClrRts(FT_HANDLE handle)
{
    return onDevice(handle, [](Device& d) -> FT_STATUS { return d.setRts(false); });
}

FT_STATUS SystemFtDriver::SetBaudRate(FT_HANDLE handle, DWORD baudRate)
{
    return onDevice(handle, [&](Device& d) -> FT_STATUS { return d.setBaudRate(baudRate); });
}

FT_STATUS SystemFtDriver::SetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits,
                                                 UCHAR parity)
{
    return onDevice(handle, [&](Device& d) -> FT_STATUS {
        return d.setDataCharacteristics(wordLength, stopBits, parity);
    });
}

FT_STATUS SystemFtDriver::SetFlowControl(FT_HANDLE handle, WORD flowControl, UCHAR xon, UCHAR xoff)
{
    return onDevice(handle, [&](Device& d) -> FT_STATUS { return d.setFlowControl(flowControl, xon, xoff); });
}

FT_STATUS SystemFtDriver::SetTimeouts(FT_HANDLE handle, DWORD readTimeoutMs, DWORD writeTimeoutMs)
{
    return onDevice(handle,
                    [&](Device& d) -> FT_STATUS { return d.setTimeouts(readTimeoutMs, writeTimeoutMs); });
}

FT_STATUS SystemFtDriver::SetLatencyTimer(FT_HANDLE handle, UCHAR ms)
{
    return onDevice(handle, [&](Device& d) -> FT_STATUS { return d.setLatencyTimer(ms); });
}

FT_STATUS SystemFtDriver::SetUSBParameters(FT_HANDLE handle, DWORD inTransferSize, DWORD outTransferSize)
{
    return onDevice(
        handle, [&](Device& d) -> FT_STATUS { return d.setUsbParameters(inTransferSize, outTransferSize); });
}

FT_STATUS SystemFtDriver::Read(FT_HANDLE handle, void* buffer, DWORD bytesToRead, DWORD* bytesRead)
{
    return onDevice(handle, [&](Device& d) -> FT_STATUS {
        if (bytesRead == nullptr || (buffer == nullptr && bytesToRead > 0))
            return FT_INVALID_PARAMETER;
        return d.read(buffer, bytesToRead, bytesRead);
    });
}

FT_STATUS SystemFtDriver::Write(FT_HANDLE handle, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten)
{
    return onDevice(handle, [&](Device& d) -> FT_STATUS {
        if (bytesWritten == nullptr || (buffer == nullptr && bytesToWrite > 0))
            return FT_INVALID_PARAMETER;
        return d.write(buffer, bytesToWrite, bytesWritten);
    });
}

FT_STATUS SystemFtDriver::GetQueueStatus(FT_HANDLE handle, DWORD* rxBytes)
{
    return onDevice(handle, [&](Device& d) -> FT_STATUS {
        return rxBytes == nullptr ? FT_INVALID_PARAMETER : d.queueStatus(rxBytes);
    });
}

FT_STATUS SystemFtDriver::GetStatus(FT_HANDLE handle, DWORD* rxBytes, DWORD* txBytes, DWORD* eventWord)
{
    return onDevice(handle, [&](Device& d) -> FT_STATUS {
        if (rxBytes == nullptr || txBytes == nullptr || eventWord == nullptr)
            return FT_INVALID_PARAMETER;
        return d.status(rxBytes, txBytes, eventWord);
    });
}

FT_STATUS SystemFtDriver::Purge(FT_HANDLE handle, DWORD mask)
{
    return onDevice(handle, [&](Device& d) -> FT_STATUS {
        if ((mask & ~(FT_PURGE_RX | FT_PURGE_TX)) != 0)
            return FT_INVALID_PARAMETER;
        return d.purge(mask);
    });
}

FT_STATUS SystemFtDriver::GetModemStatus(FT_HANDLE handle, DWORD* modemStatus)
{
    return onDevice(handle, [&](Device& d) -> FT_STATUS {
        return modemStatus == nullptr ? FT_INVALID_PARAMETER : d.modemStatus(modemStatus);
    });
}

FT_STATUS SystemFtDriver::GetDeviceInfo(FT_HANDLE handle, DWORD* type, DWORD* id, char* serialNumber,
                                        char* description, void*)
{
    std::lock_guard lock(mutex_);
    const auto it = open_.find(handle);
    if (it == open_.end())
        return FT_INVALID_HANDLE;
    const DeviceInfo& info = it->second.info;
    // Each output is optional. The buffers hold 16 + 1 and 64 + 1 bytes.
    if (type != nullptr)
        *type = info.type;
    if (id != nullptr)
        *id = info.id;
    if (serialNumber != nullptr)
        copyTerminated(serialNumber, 17, info.serialNumber);
    if (description != nullptr)
        copyTerminated(description, 65, info.description);
    return FT_OK;
}

FT_STATUS SystemFtDriver::SetEventNotification(FT_HANDLE handle, DWORD mask, FtEvent* event)
{
    return onDevice(handle, [&](Device& d) -> FT_STATUS {
        if (event == nullptr || (mask & ~(FT_EVENT_RXCHAR | FT_EVENT_MODEM_STATUS)) != 0)
            return FT_INVALID_PARAMETER;
        return d.setEventNotification(mask, event);
    });
}

}  // namespace nx::usb
