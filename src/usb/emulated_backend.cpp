// Meters emulated from image files (NIVEX_EMULATED_METERS, ':'-separated), listed in
// that order and read again at every census. A faulty image is left out of the list
// and its fault is written to the log (qWarning) the first time it is seen.

#include "base/exception.h"
#include "emulator/emulated_meter.h"
#include "usb/backend.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <map>
#include <memory>
#include <set>

namespace nx::usb {
namespace {

using emulator::EmulatedMeter;
using emulator::MeterImage;

constexpr char locationPrefix[] = "emulated:";
// CTS and DSR on: the meter is powered and its lines are up.
constexpr DWORD meterModemStatus = 0x30;

// Locations of the emulated devices that are open; a chip is opened once at a time.
using OpenSet = std::set<std::string>;

class EmulatedDevice final : public Device {
public:
    EmulatedDevice(MeterImage image, std::string location, std::shared_ptr<OpenSet> open)
        : meter_(std::move(image)), location_(std::move(location)), open_(std::move(open))
    {
        open_->insert(location_);
    }
    ~EmulatedDevice() override { open_->erase(location_); }
    EmulatedDevice(const EmulatedDevice&) = delete;
    EmulatedDevice& operator=(const EmulatedDevice&) = delete;

    // A reset empties the chip's buffers; the line settings stay.
    FT_STATUS reset() override
    {
        meter_.purgeReceive();
        return FT_OK;
    }
    FT_STATUS cyclePort() override
    {
        meter_.powerUp();
        return FT_OK;
    }
    FT_STATUS setDtr(bool) override { return FT_OK; }
    FT_STATUS setRts(bool) override { return FT_OK; }
    FT_STATUS setBaudRate(DWORD baudRate) override
    {
        if (baudRate == 0)
            return FT_INVALID_BAUD_RATE;
        emulator::LineSettings line = meter_.line();
        line.baudRate = baudRate;
        meter_.setLine(line);
        return FT_OK;
    }
    FT_STATUS setDataCharacteristics(UCHAR wordLength, UCHAR stopBits, UCHAR parity) override
    {
        if ((wordLength != 7 && wordLength != 8) || (stopBits != 0 && stopBits != 2) || parity > 4)
            return FT_INVALID_PARAMETER;
        emulator::LineSettings line = meter_.line();
        line.wordLength = wordLength;
        line.stopBits = stopBits;
        line.parity = parity;
        meter_.setLine(line);
        return FT_OK;
    }
    // The meter has no handshake lines of its own; CTS and DSR stay on.
    FT_STATUS setFlowControl(WORD flowControl, UCHAR, UCHAR) override
    {
        return flowControl == 0 || flowControl == 0x0100 || flowControl == 0x0200 || flowControl == 0x0400
                   ? FT_OK
                   : FT_INVALID_PARAMETER;
    }
    // Writes never block, so only the read time-out matters.
    FT_STATUS setTimeouts(DWORD readTimeoutMs, DWORD) override
    {
        readTimeout_ = std::chrono::milliseconds(readTimeoutMs);
        return FT_OK;
    }
    FT_STATUS setLatencyTimer(UCHAR ms) override
    {
        if (ms < 2)
            return FT_INVALID_PARAMETER;
        meter_.setLatencyTimer(std::chrono::milliseconds(ms));
        return FT_OK;
    }
    // Packets on the wire are 64 bytes whatever the transfer size.
    FT_STATUS setUsbParameters(DWORD, DWORD) override { return FT_OK; }
    FT_STATUS read(void* buffer, DWORD bytesToRead, DWORD* bytesRead) override
    {
        const QByteArray bytes = meter_.read(qsizetype(bytesToRead), readTimeout_);
        std::copy(bytes.begin(), bytes.end(), static_cast<char*>(buffer));
        *bytesRead = DWORD(bytes.size());
        return FT_OK;
    }
    FT_STATUS write(const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten) override
    {
        meter_.write(QByteArrayView(static_cast<const char*>(buffer), qsizetype(bytesToWrite)));
        *bytesWritten = bytesToWrite;
        return FT_OK;
    }
    FT_STATUS queueStatus(DWORD* rxBytes) override
    {
        *rxBytes = DWORD(meter_.available());
        return FT_OK;
    }
    FT_STATUS status(DWORD* rxBytes, DWORD* txBytes, DWORD* eventWord) override
    {
        *rxBytes = DWORD(meter_.available());
        *txBytes = 0;
        *eventWord = 0;
        return FT_OK;
    }
    FT_STATUS purge(DWORD mask) override
    {
        if (mask == 0 || (mask & ~(FT_PURGE_RX | FT_PURGE_TX)) != 0)
            return FT_INVALID_PARAMETER;
        // Written bytes leave at once, so there is never anything to purge on the way out.
        if (mask & FT_PURGE_RX)
            meter_.purgeReceive();
        return FT_OK;
    }
    FT_STATUS modemStatus(DWORD* modemStatus) override
    {
        *modemStatus = meterModemStatus;
        return FT_OK;
    }
    // Receive events are not emulated: saying so beats pretending to signal.
    FT_STATUS setEventNotification(DWORD, FtEvent*) override { return FT_NOT_SUPPORTED; }

private:
    EmulatedMeter meter_;
    std::chrono::milliseconds readTimeout_{0};
    std::string location_;
    std::shared_ptr<OpenSet> open_;
};

class EmulatedBackend final : public Backend {
public:
    std::vector<DeviceInfo> enumerate() override
    {
        census_.clear();
        std::vector<DeviceInfo> devices;
        const QStringList paths = QString::fromLocal8Bit(qgetenv("NIVEX_EMULATED_METERS"))
                                      .split(QLatin1Char(':'), Qt::SkipEmptyParts);
        for (const QString& path : paths) {
            const std::string location = locationPrefix + path.toStdString();
            if (census_.count(location))
                continue;
            try {
                MeterImage image = emulator::loadMeterImage(path);
                reported_.erase(location);
                DeviceInfo info;
                info.flags = open_->count(location) ? FT_FLAGS_OPENED : 0;
                info.serialNumber = image.usbSerial;
                info.description = image.usbDescription;
                info.location = location;
                devices.push_back(info);
                census_.emplace(location, std::move(image));
            } catch (const Exception& e) {
                if (reported_[location] != e.what()) {
                    reported_[location] = e.what();
                    qWarning("emulated meter left out: %s", e.what());
                }
            }
        }
        return devices;
    }

    std::unique_ptr<Device> open(const DeviceInfo& device, FT_STATUS* status) override
    {
        const auto found = census_.find(device.location);
        if (found == census_.end()) {
            *status = FT_DEVICE_NOT_FOUND;
            return nullptr;
        }
        if (open_->count(device.location)) {
            *status = FT_DEVICE_NOT_OPENED;
            return nullptr;
        }
        *status = FT_OK;
        return std::make_unique<EmulatedDevice>(found->second, device.location, open_);
    }

private:
    std::map<std::string, MeterImage> census_;
    std::map<std::string, std::string> reported_;
    std::shared_ptr<OpenSet> open_ = std::make_shared<OpenSet>();
};

}  // namespace

std::unique_ptr<Backend> makeEmulatedBackend() { return std::make_unique<EmulatedBackend>(); }

}  // namespace nx::usb
