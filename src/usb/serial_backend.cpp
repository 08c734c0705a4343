#include "usb/serial_backend.h"

#include "usb/tty_speed.h"
#include "usb/usb_ids.h"

#include <libserialport.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <linux/serial.h>
#include <memory>
#include <mutex>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace nx::usb {
namespace {

using SteadyClock = std::chrono::steady_clock;

struct ModemBit {
    int line;
    DWORD bit;
};

// TIOCM lines to the driver's modem-status byte.
constexpr std::array<ModemBit, 4> modemBits{{
    {TIOCM_CTS, 0x10},
    {TIOCM_DSR, 0x20},
    {TIOCM_RI, 0x40},
    {TIOCM_CD, 0x80},
}};

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Milliseconds left until `deadline`, rounded up so a wait never ends early.
int msUntil(SteadyClock::time_point deadline)
{
    const auto left = deadline - SteadyClock::now();
    if (left <= SteadyClock::duration::zero())
        return 0;
    return int(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

// The port stays non-blocking; reads and writes wait in poll() for the time-outs the
// caller set. A time-out of 0 means no limit, as with the vendor's driver: a read then
// returns when every byte asked for has come, or the port goes away.
class SerialDevice final : public Device {
public:
    explicit SerialDevice(int fd) : fd_(fd) {}

    FT_STATUS reset() override
    {
        // Of a chip reset a tty can do one thing: empty both queues.
        return ::tcflush(fd_.get(), TCIOFLUSH) == 0 ? FT_OK : FT_IO_ERROR;
    }

    FT_STATUS cyclePort() override
    {
        // Re-enumerating the chip needs its USB device node, which the tty does not give.
        return FT_NOT_SUPPORTED;
    }

    FT_STATUS setDtr(bool on) override { return setModemLine(TIOCM_DTR, on); }
    FT_STATUS setRts(bool on) override { return setModemLine(TIOCM_RTS, on); }

    FT_STATUS setBaudRate(DWORD baudRate) override
    {
        // A rate of 0 would hang the line up.
        if (baudRate == 0)
            return FT_INVALID_BAUD_RATE;
        return setTtySpeed(fd_.get(), baudRate) ? FT_OK : FT_IO_ERROR;
    }

    FT_STATUS setDataCharacteristics(UCHAR wordLength, UCHAR stopBits, UCHAR parity) override
    {
        // 1.5 stop bits (code 1) has no termios setting.
        if ((wordLength != 7 && wordLength != 8) || (stopBits != 0 && stopBits != 2) || parity > 4)
            return FT_INVALID_PARAMETER;
        return changeLine([&](termios& t) {
            t.c_cflag &= ~tcflag_t(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR);
            t.c_cflag |= wordLength == 8 ? CS8 : CS7;
            if (stopBits == 2)
                t.c_cflag |= CSTOPB;
            switch (parity) {
            case 1:
                t.c_cflag |= PARENB | PARODD;
                break;
            case 2:
                t.c_cflag |= PARENB;
                break;
            case 3:
                t.c_cflag |= PARENB | CMSPAR | PARODD;
                break;  // mark: the bit is always 1
            case 4:
                t.c_cflag |= PARENB | CMSPAR;
                break;  // space: always 0
            default:
                break;
            }
            return true;
        });
    }

    FT_STATUS setFlowControl(WORD flowControl, UCHAR xon, UCHAR xoff) override
    {
        switch (flowControl) {
        case 0x0000:
            return changeLine([](termios& t) {
                t.c_cflag &= ~tcflag_t(CRTSCTS);
                t.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
                return true;
            });
        case 0x0100:
            return changeLine([](termios& t) {
                t.c_cflag |= CRTSCTS;
                t.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
                return true;
            });
        case 0x0400:
            return changeLine([&](termios& t) {
                t.c_cflag &= ~tcflag_t(CRTSCTS);
                t.c_iflag |= IXON | IXOFF;
                t.c_cc[VSTART] = cc_t(xon);
                t.c_cc[VSTOP] = cc_t(xoff);
                return true;
            });
        case 0x0200:
            // termios has no DTR/DSR handshake.
            return FT_NOT_SUPPORTED;
        default:
            return FT_INVALID_PARAMETER;
        }
    }

    FT_STATUS setTimeouts(DWORD readTimeoutMs, DWORD writeTimeoutMs) override
    {
        std::lock_guard lock(mutex_);
        readTimeoutMs_ = readTimeoutMs;
        writeTimeoutMs_ = writeTimeoutMs;
        return FT_OK;
    }

    FT_STATUS setLatencyTimer(UCHAR ms) override
    {
        // ftdi_sio maps the low-latency flag to a 1 ms latency timer and its absence to
        // the chip's default of 16 ms. A tty without serial settings (a pseudo-terminal)
        // has no latency timer to set and takes the hint as done.
        serial_struct serial{};
        if (::ioctl(fd_.get(), TIOCGSERIAL, &serial) != 0)
            return errno == ENOTTY || errno == EINVAL ? FT_OK : FT_IO_ERROR;
        if (ms < 16)
            serial.flags |= ASYNC_LOW_LATENCY;
        else
            serial.flags &= ~ASYNC_LOW_LATENCY;
        return ::ioctl(fd_.get(), TIOCSSERIAL, &serial) == 0 ? FT_OK : FT_IO_ERROR;
    }

    FT_STATUS setUsbParameters(DWORD, DWORD) override
    {
        // ftdi_sio sizes its USB transfers itself; there is nothing to hand on.
        return FT_OK;
    }

    FT_STATUS read(void* buffer, DWORD bytesToRead, DWORD* bytesRead) override
    {
        const DWORD timeoutMs = readTimeout();
        const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
        auto* bytes = static_cast<unsigned char*>(buffer);
        *bytesRead = 0;
        while (*bytesRead < bytesToRead) {
            const ssize_t n = ::read(fd_.get(), bytes + *bytesRead, bytesToRead - *bytesRead);
            if (n > 0) {
                *bytesRead += DWORD(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN)
                return FT_IO_ERROR;
            const FT_STATUS waited = waitFor(POLLIN, timeoutMs == 0 ? -1 : msUntil(deadline));
            if (waited == FT_OTHER_ERROR)
                break;  // time-out: success with the bytes that came
            if (waited != FT_OK)
                return waited;
        }
        return FT_OK;
    }

    FT_STATUS write(const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten) override
    {
        const DWORD timeoutMs = writeTimeout();
        const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
        const auto* bytes = static_cast<const unsigned char*>(buffer);
        *bytesWritten = 0;
        while (*bytesWritten < bytesToWrite) {
            const ssize_t n = ::write(fd_.get(), bytes + *bytesWritten, bytesToWrite - *bytesWritten);
            if (n > 0) {
                *bytesWritten += DWORD(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN)
                return FT_IO_ERROR;
            const FT_STATUS waited = waitFor(POLLOUT, timeoutMs == 0 ? -1 : msUntil(deadline));
            if (waited == FT_OTHER_ERROR)
                break;
            if (waited != FT_OK)
                return waited;
        }
        return FT_OK;
    }

    FT_STATUS queueStatus(DWORD* rxBytes) override
    {
        int waiting = 0;
        if (::ioctl(fd_.get(), FIONREAD, &waiting) != 0)
            return FT_IO_ERROR;
        *rxBytes = DWORD(waiting);
        return FT_OK;
    }

    FT_STATUS status(DWORD* rxBytes, DWORD* txBytes, DWORD* eventWord) override
    {
        int waiting = 0;
        int unsent = 0;
        if (::ioctl(fd_.get(), FIONREAD, &waiting) != 0 || ::ioctl(fd_.get(), TIOCOUTQ, &unsent) != 0)
            return FT_IO_ERROR;
        *rxBytes = DWORD(waiting);
        *txBytes = DWORD(unsent);
        *eventWord = waiting > 0 ? FT_EVENT_RXCHAR : 0;
        // A modem-status event is a change of the lines since the last look; a tty
        // without modem lines never has one.
        int lines = 0;
        if (::ioctl(fd_.get(), TIOCMGET, &lines) == 0) {
            // Only the lines the chip reads; DTR and RTS are ours to drive.
            lines &= TIOCM_CTS | TIOCM_DSR | TIOCM_RI | TIOCM_CD;
            std::lock_guard lock(mutex_);
            if (lastLines_ >= 0 && lines != lastLines_)
                *eventWord |= FT_EVENT_MODEM_STATUS;
            lastLines_ = lines;
        }
        return FT_OK;
    }

    FT_STATUS purge(DWORD mask) override
    {
        const bool rx = (mask & FT_PURGE_RX) != 0;
        const bool tx = (mask & FT_PURGE_TX) != 0;
        if (!rx && !tx)
            return FT_OK;
        const int queue = rx && tx ? TCIOFLUSH : rx ? TCIFLUSH : TCOFLUSH;
        return ::tcflush(fd_.get(), queue) == 0 ? FT_OK : FT_IO_ERROR;
    }

    FT_STATUS modemStatus(DWORD* modemStatus) override
    {
        int lines = 0;
        if (::ioctl(fd_.get(), TIOCMGET, &lines) != 0)
            return FT_IO_ERROR;
        DWORD status = 0;
        for (const ModemBit& m : modemBits)
            if ((lines & m.line) != 0)
                status |= m.bit;
        *modemStatus = status;
        return FT_OK;
    }

    FT_STATUS setEventNotification(DWORD, FtEvent*) override
    {
        // A tty signals no driver events; the event worker's 10 ms poll of the status serves.
        return FT_NOT_SUPPORTED;
    }

    // Raw 9600 8N1 without flow control, like a freshly opened chip.
    FT_STATUS configureRaw()
    {
        return changeLine([](termios& t) {
            ::cfmakeraw(&t);
            t.c_cflag |= CLOCAL | CREAD;
            t.c_cflag &= ~tcflag_t(CRTSCTS);
            t.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
            t.c_cc[VMIN] = 0;
            t.c_cc[VTIME] = 0;
            return ::cfsetspeed(&t, B9600) == 0;
        });
    }

private:
    template <typename Change> FT_STATUS changeLine(Change change)
    {
        termios t{};
        if (::tcgetattr(fd_.get(), &t) != 0)
            return FT_IO_ERROR;
        if (!change(t))
            return FT_INVALID_PARAMETER;
        return ::tcsetattr(fd_.get(), TCSANOW, &t) == 0 ? FT_OK : FT_IO_ERROR;
    }

    FT_STATUS setModemLine(int line, bool on)
    {
        return ::ioctl(fd_.get(), on ? TIOCMBIS : TIOCMBIC, &line) == 0 ? FT_OK : FT_IO_ERROR;
    }

    // FT_OK when the port is ready, FT_OTHER_ERROR when the time ran out, FT_IO_ERROR
    // when the port went away (a pulled plug hangs the tty up).
    FT_STATUS waitFor(short events, int timeoutMs)
    {
        for (;;) {
            pollfd p{fd_.get(), events, 0};
            const int r = ::poll(&p, 1, timeoutMs);
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0)
                return FT_IO_ERROR;
            if (r == 0)
                return FT_OTHER_ERROR;
            // A hung-up tty also reports itself readable, yet every read gives 0 bytes.
            if ((p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0)
                return FT_IO_ERROR;
            return FT_OK;
        }
    }

    DWORD readTimeout()
    {
        std::lock_guard lock(mutex_);
        return readTimeoutMs_;
    }

    DWORD writeTimeout()
    {
        std::lock_guard lock(mutex_);
        return writeTimeoutMs_;
    }

    FileDescriptor fd_;
    std::mutex mutex_;
    DWORD readTimeoutMs_ = 0;
    DWORD writeTimeoutMs_ = 0;
    int lastLines_ = -1;
};

struct PortListFree {
    void operator()(sp_port** ports) const { sp_free_port_list(ports); }
};

// The kernel driver a tty is bound to, from sysfs ("" when unknown).
std::string kernelDriverOf(const std::string& devicePath)
{
    const std::string name = std::filesystem::path(devicePath).filename().string();
    std::error_code error;
    const auto target = std::filesystem::read_symlink("/sys/class/tty/" + name + "/device/driver", error);
    return error ? std::string() : target.filename().string();
}

std::string text(const char* maybe) { return maybe != nullptr ? std::string(maybe) : std::string(); }

std::vector<DeviceInfo> listKernelPorts()
{
    sp_port** raw = nullptr;
    if (sp_list_ports(&raw) != SP_OK)
        return {};
    const std::unique_ptr<sp_port*, PortListFree> ports(raw);
    std::vector<DeviceInfo> found;
    for (sp_port** p = ports.get(); *p != nullptr; ++p) {
        sp_port* port = *p;
        if (sp_get_port_transport(port) != SP_TRANSPORT_USB)
            continue;
        int vid = 0;
        int pid = 0;
        if (sp_get_port_usb_vid_pid(port, &vid, &pid) != SP_OK)
            continue;
        const std::string path = text(sp_get_port_name(port));
        // FTDI's own vendor id, or a chip with a custom id that ftdi_sio still drives.
        if (vid != ftdiVendorId && kernelDriverOf(path) != "ftdi_sio")
            continue;
        DeviceInfo info;
        info.type = deviceTypeOfProduct(WORD(pid));
        info.id = DWORD(vid) << 16 | DWORD(pid);
        int bus = 0;
        int address = 0;
        if (sp_get_port_usb_bus_address(port, &bus, &address) == SP_OK)
            info.locId = usbLocationId(bus, address);
        info.serialNumber = text(sp_get_port_usb_serial(port));
        info.description = text(sp_get_port_usb_product(port));
        info.location = path;
        found.push_back(std::move(info));
    }
    return found;
}

class SerialBackend final : public Backend {
public:
    SerialBackend() = default;
    explicit SerialBackend(std::vector<DeviceInfo> ports) : fixed_(true), ports_(std::move(ports)) {}

    std::vector<DeviceInfo> enumerate() override { return fixed_ ? ports_ : listKernelPorts(); }

    std::unique_ptr<Device> open(const DeviceInfo& device, FT_STATUS* status) override
    {
        return openSerialDevice(device.location, status);
    }

private:
    bool fixed_ = false;
    std::vector<DeviceInfo> ports_;
};

}  // namespace

std::unique_ptr<Device> openSerialDevice(const std::string& path, FT_STATUS* status)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *status =
            errno == ENOENT || errno == ENODEV || errno == ENXIO ? FT_DEVICE_NOT_FOUND : FT_DEVICE_NOT_OPENED;
        return nullptr;
    }
    auto device = std::make_unique<SerialDevice>(fd);
    // One program at a time on the port, as with the vendor's driver.
    if (::ioctl(fd, TIOCEXCL) != 0 || device->configureRaw() != FT_OK || ::tcflush(fd, TCIOFLUSH) != 0) {
        *status = FT_DEVICE_NOT_OPENED;
        return nullptr;
    }
    *status = FT_OK;
    return device;
}

std::unique_ptr<Backend> makeSerialBackend() { return std::make_unique<SerialBackend>(); }

std::unique_ptr<Backend> makeSerialBackend(std::vector<DeviceInfo> ports)
{
    return std::make_unique<SerialBackend>(std::move(ports));
}

}  // namespace nx::usb
