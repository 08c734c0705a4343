#include "usb/backend.h"
#include "usb/usb_ids.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <ftdi.h>
#include <libusb.h>
#include <memory>
#include <mutex>

namespace nx::usb {
namespace {

using SteadyClock = std::chrono::steady_clock;

struct ContextFree {
    void operator()(ftdi_context* context) const { ftdi_free(context); }
};
using Context = std::unique_ptr<ftdi_context, ContextFree>;

struct DeviceListFree {
    void operator()(ftdi_device_list* list) const { ftdi_list_free(&list); }
};
using DeviceList = std::unique_ptr<ftdi_device_list, DeviceListFree>;

// The chip moves USB data in 64-byte packets; a smaller transfer would overflow.
DWORD transferSize(DWORD requested)
{
    constexpr DWORD packet = 64;
    return std::max(packet, (requested + packet - 1) / packet * packet);
}

// The location a census gives a chip: "usb:<bus>:<address>".
std::string locationOf(int bus, int address)
{
    return "usb:" + std::to_string(bus) + ":" + std::to_string(address);
}

bool parseLocation(const std::string& location, int* bus, int* address)
{
    char tail = 0;
    return std::sscanf(location.c_str(), "usb:%d:%d%c", bus, address, &tail) == 2;
}

// libftdi counts neither the bytes waiting nor those not yet sent. This device keeps
// its own receive queue: every read and every queue query first drains the chip into
// it with ftdi_read_data until that returns 0 (libftdi has already stripped the two
// modem-status bytes of each USB packet). ftdi_write_data returns once the bytes are on
// the bus, so nothing is ever waiting to be sent and the transmit count is 0.
class LibftdiDevice final : public Device {
public:
    explicit LibftdiDevice(Context context) : context_(std::move(context)) {}

    ~LibftdiDevice() override { ftdi_usb_close(context_.get()); }

    FT_STATUS reset() override
    {
        std::lock_guard lock(mutex_);
        received_.clear();
        return ftdi_usb_reset(context_.get()) == 0 ? FT_OK : FT_IO_ERROR;
    }

    FT_STATUS cyclePort() override
    {
        // The chip re-enumerates; the handle is of no further use afterwards.
        std::lock_guard lock(mutex_);
        return libusb_reset_device(context_->usb_dev) == 0 ? FT_OK : FT_IO_ERROR;
    }

    FT_STATUS setDtr(bool on) override
    {
        std::lock_guard lock(mutex_);
        return result(ftdi_setdtr(context_.get(), on ? 1 : 0));
    }

    FT_STATUS setRts(bool on) override
    {
        std::lock_guard lock(mutex_);
        return result(ftdi_setrts(context_.get(), on ? 1 : 0));
    }

    FT_STATUS setBaudRate(DWORD baudRate) override
    {
        std::lock_guard lock(mutex_);
        const int r = ftdi_set_baudrate(context_.get(), int(baudRate));
        return r == 0 ? FT_OK : r == -1 ? FT_INVALID_BAUD_RATE : FT_IO_ERROR;
    }

    FT_STATUS setDataCharacteristics(UCHAR wordLength, UCHAR stopBits, UCHAR parity) override
    {
        if ((wordLength != 7 && wordLength != 8) || stopBits > 2 || parity > 4)
            return FT_INVALID_PARAMETER;
        std::lock_guard lock(mutex_);
        return result(ftdi_set_line_property2(context_.get(), ftdi_bits_type(wordLength),
                                              ftdi_stopbits_type(stopBits), ftdi_parity_type(parity),
                                              BREAK_OFF));
    }

    FT_STATUS setFlowControl(WORD flowControl, UCHAR xon, UCHAR xoff) override
    {
        std::lock_guard lock(mutex_);
        switch (flowControl) {
        case SIO_DISABLE_FLOW_CTRL:
        case SIO_RTS_CTS_HS:
        case SIO_DTR_DSR_HS:
            return result(ftdi_setflowctrl(context_.get(), flowControl));
        case SIO_XON_XOFF_HS:
            return result(ftdi_setflowctrl_xonxoff(context_.get(), xon, xoff));
        default:
            return FT_INVALID_PARAMETER;
        }
    }

    FT_STATUS setTimeouts(DWORD readTimeoutMs, DWORD writeTimeoutMs) override
    {
        std::lock_guard lock(mutex_);
        readTimeoutMs_ = readTimeoutMs;
        // libusb takes 0 as no limit, as the vendor's driver does.
        context_->usb_write_timeout = int(std::min<DWORD>(writeTimeoutMs, 0x7FFFFFFF));
        return FT_OK;
    }

    FT_STATUS setLatencyTimer(UCHAR ms) override
    {
        std::lock_guard lock(mutex_);
        const int r = ftdi_set_latency_timer(context_.get(), ms);
        return r == 0 ? FT_OK : r == -1 ? FT_INVALID_PARAMETER : FT_IO_ERROR;
    }

    FT_STATUS setUsbParameters(DWORD inTransferSize, DWORD outTransferSize) override
    {
        std::lock_guard lock(mutex_);
        if (ftdi_read_data_set_chunksize(context_.get(), transferSize(inTransferSize)) != 0 ||
            ftdi_write_data_set_chunksize(context_.get(), transferSize(outTransferSize)) != 0)
            return FT_IO_ERROR;
        return FT_OK;
    }

    FT_STATUS read(void* buffer, DWORD bytesToRead, DWORD* bytesRead) override
    {
        auto* bytes = static_cast<unsigned char*>(buffer);
        *bytesRead = 0;
        DWORD timeoutMs = 0;
        {
            std::lock_guard lock(mutex_);
            timeoutMs = readTimeoutMs_;
        }
        const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            std::lock_guard lock(mutex_);
            const std::size_t n = std::min<std::size_t>(bytesToRead - *bytesRead, received_.size());
            std::copy_n(received_.begin(), n, bytes + *bytesRead);
            received_.erase(received_.begin(), received_.begin() + std::ptrdiff_t(n));
            *bytesRead += DWORD(n);
            if (*bytesRead == bytesToRead)
                return FT_OK;
            // Each read of the chip returns within its latency timer, which paces this loop.
            const int got = readChip();
            if (got < 0)
                return FT_IO_ERROR;
            if (got == 0 && timeoutMs != 0 && SteadyClock::now() >= deadline)
                return FT_OK;
        }
    }

    FT_STATUS write(const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten) override
    {
        std::lock_guard lock(mutex_);
        const int r =
            ftdi_write_data(context_.get(), static_cast<const unsigned char*>(buffer), int(bytesToWrite));
        if (r < 0)
            return FT_IO_ERROR;
        *bytesWritten = DWORD(r);
        return FT_OK;
    }

    FT_STATUS queueStatus(DWORD* rxBytes) override
    {
        std::lock_guard lock(mutex_);
        if (!drainChip())
            return FT_IO_ERROR;
        *rxBytes = DWORD(received_.size());
        return FT_OK;
    }

    FT_STATUS status(DWORD* rxBytes, DWORD* txBytes, DWORD* eventWord) override
    {
        std::lock_guard lock(mutex_);
        unsigned short modem = 0;
        if (!drainChip() || ftdi_poll_modem_status(context_.get(), &modem) != 0)
            return FT_IO_ERROR;
        *rxBytes = DWORD(received_.size());
        *txBytes = 0;
        *eventWord = received_.empty() ? 0 : FT_EVENT_RXCHAR;
        // Only the modem lines (low byte, high nibble) make a modem-status event.
        const int lines = modem & 0xF0;
        if (lastLines_ >= 0 && lines != lastLines_)
            *eventWord |= FT_EVENT_MODEM_STATUS;
        lastLines_ = lines;
        return FT_OK;
    }

    FT_STATUS purge(DWORD mask) override
    {
        std::lock_guard lock(mutex_);
        if ((mask & FT_PURGE_RX) != 0) {
            received_.clear();
            if (ftdi_tciflush(context_.get()) != 0)
                return FT_IO_ERROR;
        }
        if ((mask & FT_PURGE_TX) != 0 && ftdi_tcoflush(context_.get()) != 0)
            return FT_IO_ERROR;
        return FT_OK;
    }

    FT_STATUS modemStatus(DWORD* modemStatus) override
    {
        std::lock_guard lock(mutex_);
        unsigned short status = 0;
        if (ftdi_poll_modem_status(context_.get(), &status) != 0)
            return FT_IO_ERROR;
        // Low byte: the modem lines (0x10 CTS ... 0x80 DCD); high byte: the line status.
        *modemStatus = status;
        return FT_OK;
    }

    FT_STATUS setEventNotification(DWORD, FtEvent*) override
    {
        // libftdi signals no events; the event worker's 10 ms poll of the status serves.
        return FT_NOT_SUPPORTED;
    }

private:
    static FT_STATUS result(int r) { return r == 0 ? FT_OK : FT_IO_ERROR; }

    // One read of the chip into the receive queue: bytes got, or < 0 on failure. mutex_ held.
    int readChip()
    {
        unsigned char chunk[512];
        const int got = ftdi_read_data(context_.get(), chunk, int(sizeof chunk));
        if (got > 0)
            received_.insert(received_.end(), chunk, chunk + got);
        return got;
    }

    // Reads the chip until it has nothing more. A chip that streams without pause is
    // drained a bounded number of times, so a query always returns. mutex_ held.
    bool drainChip()
    {
        for (int round = 0; round < 64; ++round) {
            const int got = readChip();
            if (got < 0)
                return false;
            if (got == 0)
                return true;
        }
        return true;
    }

    Context context_;
    std::mutex mutex_;
    std::deque<unsigned char> received_;
    DWORD readTimeoutMs_ = 0;
    int lastLines_ = -1;
};

class LibftdiBackend final : public Backend {
public:
    std::vector<DeviceInfo> enumerate() override
    {
        // Without USB access (no bus, no permission) the census is empty, not an error.
        const Context context(ftdi_new());
        if (context == nullptr)
            return {};
        std::vector<DeviceInfo> found;
        for (const FtdiProduct& product : ftdiProducts) {
            ftdi_device_list* raw = nullptr;
            const int count = ftdi_usb_find_all(context.get(), &raw, ftdiVendorId, product.productId);
            const DeviceList list(raw);
            if (count <= 0)
                continue;
            for (ftdi_device_list* entry = list.get(); entry != nullptr; entry = entry->next) {
                const int bus = libusb_get_bus_number(entry->dev);
                const int address = libusb_get_device_address(entry->dev);
                // A chip whose strings cannot be read (no permission) is still listed.
                char description[128] = {};
                char serial[128] = {};
                ftdi_usb_get_strings(context.get(), entry->dev, nullptr, 0, description,
                                     int(sizeof description), serial, int(sizeof serial));
                DeviceInfo info;
                info.type = product.type;
                info.id = DWORD(ftdiVendorId) << 16 | product.productId;
                info.locId = usbLocationId(bus, address);
                info.serialNumber = serial;
                info.description = description;
                info.location = locationOf(bus, address);
                found.push_back(std::move(info));
            }
        }
        return found;
    }

    std::unique_ptr<Device> open(const DeviceInfo& device, FT_STATUS* status) override
    {
        int bus = 0;
        int address = 0;
        if (!parseLocation(device.location, &bus, &address)) {
            *status = FT_DEVICE_NOT_FOUND;
            return nullptr;
        }
        Context context(ftdi_new());
        if (context == nullptr) {
            *status = FT_INSUFFICIENT_RESOURCES;
            return nullptr;
        }
        // This detaches ftdi_sio from the chip and resets it; a chip the kernel holds
        // is reached through its tty instead and never comes here.
        const int r = ftdi_usb_open_bus_addr(context.get(), std::uint8_t(bus), std::uint8_t(address));
        if (r != 0) {
            *status = r == -3 ? FT_DEVICE_NOT_FOUND : FT_DEVICE_NOT_OPENED;
            return nullptr;
        }
        *status = FT_OK;
        return std::make_unique<LibftdiDevice>(std::move(context));
    }
};

}  // namespace

std::unique_ptr<Backend> makeLibftdiBackend() { return std::make_unique<LibftdiBackend>(); }

}  // namespace nx::usb
