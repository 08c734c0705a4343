#include "meter/meter_link.h"

#include "base/clock.h"
#include "base/exception.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace nx::meter {

const std::string& MeterSerialList::operator[](int index) const
{
    if (index < 1 || index > capacity)
        throw Exception("meter list: no entry " + std::to_string(index));
    return entries_[static_cast<std::size_t>(index - 1)];
}

std::string& MeterSerialList::operator[](int index)
{
    return const_cast<std::string&>(std::as_const(*this)[index]);
}

namespace {

// One census of the attached chips, given back to the link when it goes out of scope.
class DeviceList {
public:
    explicit DeviceList(usb::tftdichip& link) : link_(link)
    {
        if (!link_.createDeviceInfoList(count_, nodes_))
            count_ = 0;
    }
    ~DeviceList() { link_.destroyDeviceInfoList(nodes_); }
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;

    std::uint32_t size() const { return nodes_ ? count_ : 0; }
    // The node's serial number ends at its first zero byte, or fills all 16 bytes.
    std::string serialNumber(std::uint32_t index) const
    {
        const char* serial = nodes_[index].SerialNumber;
        const std::size_t width = sizeof nodes_[index].SerialNumber;
        return std::string(serial,
                           static_cast<std::size_t>(std::find(serial, serial + width, '\0') - serial));
    }

private:
    usb::tftdichip& link_;
    std::uint32_t count_ = 0;
    usb::pftdiDeviceList nodes_ = nullptr;
};

bool isMeterSerial(std::string_view serial) { return serial.size() > 4 && serial.starts_with("PP"); }

}  // namespace

MeterLink::MeterLink(usb::tftdichip& link, std::function<void()> pumpEvents, std::size_t replyLimit)
    : link_(link), pumpEvents_(std::move(pumpEvents)), replyLimit_(replyLimit)
{
}

void MeterLink::pump()
{
    if (pumpEvents_)
        pumpEvents_();
}

void MeterLink::scanDevices(int& count, bool pumpFirst)
{
    const DeviceList list(link_);
    for (std::uint32_t i = 0; i < list.size(); ++i) {
        if (pumpFirst)
            pump();
        USBPortSerial = list.serialNumber(i);
        if (!pumpFirst)
            pump();
        if (isMeterSerial(USBPortSerial) && count < MeterSerialList::capacity)
            ListaPPDev[++count] = USBPortSerial;
    }
}

int MeterLink::FindMeters()
{
    int count = 0;
    scanDevices(count, false);
    if (count == 0) {
        clock().sleep(secondPassDelay);
        scanDevices(count, true);
    }
    if (link_.fconnected)
        link_.closeDevice();
    return count;
}

void MeterLink::configureLink()
{
    if (link_.fconnected)
        link_.closeDevice();
    pump();
    link_.openDeviceBySerial(USBPortSerial);
    link_.resetDevice();
    link_.setBaudRate(usb::fBaud115200);
    link_.setDataCharacteristics(usb::fBits8, usb::fStopBits1, usb::fParityNone);
    link_.setLatencyTimer(2);
    // The link has no call for the transfer sizes; small ones keep replies flowing promptly.
    usb::FT_SetUSBParameters(link_.fhandle, 16, 16);
    link_.setFlowControl(usb::fFlowNone, 0, 0);
    link_.setTimeouts(5, 5);
    clock().sleep(settleDelay);
}

ExchangeResult MeterLink::CommandExchange(std::string_view command, int expected)
{
    link_.purgeQueue(usb::fReceiveQueue);
    std::int32_t written = 0;
    link_.write(command.data(), static_cast<std::int32_t>(command.size()), written);

    ExchangeResult result;
    Ms lastNews = clock().now();
    std::int32_t lastSeen = 0;
    std::int32_t waiting = 0;
    for (;;) {
        // A failed query tells nothing: count it as nothing waiting, so quiet still ends the wait.
        if (!link_.getReceiveQueueStatus(waiting) || waiting < 0)
            waiting = 0;
        clock().sleep(pollPeriod);
        if (waiting > lastSeen)
            lastNews = clock().now();
        lastSeen = waiting;
        if (expected != 0 && waiting >= expected)
            break;
        if (static_cast<std::size_t>(waiting) >= replyLimit_) {
            result.cutShort = true;
            break;
        }
        if (clock().now() - lastNews > quietTime)
            break;
    }

    clock().sleep(readDelay);
    const std::int32_t wanted =
        static_cast<std::int32_t>(std::min(static_cast<std::size_t>(waiting), replyLimit_));
    result.reply.resize(static_cast<std::size_t>(wanted));
    std::int32_t got = 0;
    if (!link_.read(result.reply.data(), wanted, got) || got < 0)
        got = 0;
    // The driver may hand over fewer bytes than were counted; never pass on unfilled ones.
    result.reply.resize(static_cast<std::size_t>(std::min(got, wanted)));
    return result;
}

}  // namespace nx::meter
