#include "usb/tftdichip.h"

#include "base/exception.h"
#include "usb/tftdithread.h"

#include <array>
#include <cstring>
#include <new>

namespace nx::usb {
namespace {

// What the driver is handed for each enumeration value, indexed by ordinal.
constexpr std::array<DWORD, 14> baudRates{300,   600,   1200,  2400,   4800,   9600,   14400,
                                          19200, 38400, 57600, 115200, 230400, 460800, 921600};
constexpr std::array<UCHAR, 2> wordLengths{8, 7};
constexpr std::array<UCHAR, 2> stopBitCodes{0, 2};
constexpr std::array<UCHAR, 5> parityCodes{0, 1, 2, 3, 4};
constexpr std::array<WORD, 4> flowControlWords{0x0000, 0x0100, 0x0200, 0x0400};
constexpr std::array<DWORD, 3> purgeMasks{FT_PURGE_TX, FT_PURGE_RX, FT_PURGE_RX | FT_PURGE_TX};
// Driver type codes 0..5; every higher code is unknown.
constexpr std::array<fDevice, 6> deviceTypes{fDevice232BM,   fDevice232AM, fDevice100AX,
                                             fDeviceUnknown, fDevice2232C, fDevice232R};

template <typename Table> bool outside(const Table& table, int ordinal)
{
    return ordinal < 0 || std::size_t(ordinal) >= table.size();
}

constexpr DWORD modemCts = 0x10;
constexpr DWORD modemDsr = 0x20;
constexpr DWORD modemRi = 0x40;
constexpr DWORD modemDcd = 0x80;

bool modemLine(FT_HANDLE handle, DWORD bit, const char* failure)
{
    DWORD status = 0;
    if (FT_GetModemStatus(handle, &status) != FT_OK)
        throw Exception(failure);
    return (status & 0xFF & bit) != 0;
}

bool isPresent(const std::string& text, DWORD mode)
{
    FT_HANDLE local = 0;
    if (FT_OpenEx(text.c_str(), mode, &local) != FT_OK)
        return false;
    FT_Close(local);
    return true;
}

}  // namespace

tftdichip::tftdichip() = default;

tftdichip::~tftdichip() { stopCommEvents(); }

bool tftdichip::isPresentByDescription(const std::string& deviceDescription)
{
    return isPresent(deviceDescription, FT_OPEN_BY_DESCRIPTION);
}

bool tftdichip::openDeviceByDescription(const std::string& deviceDescription)
{
    if (fconnected)
        throw Exception("tftdichip.openDeviceByDescription: Already open");
    if (FT_OpenEx(deviceDescription.c_str(), FT_OPEN_BY_DESCRIPTION, &fhandle) != FT_OK)
        return false;
    fconnected = true;
    return true;
}

bool tftdichip::isPresentBySerial(const std::string& deviceSerial)
{
    return isPresent(deviceSerial, FT_OPEN_BY_SERIAL_NUMBER);
}

bool tftdichip::openDeviceBySerial(const std::string& deviceSerial)
{
    if (fconnected)
        throw Exception("tftdichip.openDeviceBySerial: Already open");
    if (FT_OpenEx(deviceSerial.c_str(), FT_OPEN_BY_SERIAL_NUMBER, &fhandle) != FT_OK)
        return false;
    fconnected = true;
    return true;
}

void tftdichip::closeDevice()
{
    if (!fconnected)
        throw Exception("tftdichip.closeDevice: Not open");
    if (thread)
        stopCommEvents();
    // Closed afterwards whatever the driver says: the handle is of no further use.
    FT_Close(fhandle);
    fconnected = false;
}

bool tftdichip::resetDevice() { return FT_ResetDevice(fhandle) == FT_OK; }

bool tftdichip::cycleDevice() { return FT_CyclePort(fhandle) == FT_OK; }

bool tftdichip::setLatencyTimer(std::uint8_t millisecs)
{
    return FT_SetLatencyTimer(fhandle, millisecs) == FT_OK;
}

bool tftdichip::setBaudRate(fBaudRate baudrate)
{
    if (outside(baudRates, baudrate))
        throw Exception("tftdichip.setBaudRate: Invalid baud rate");
    return FT_SetBaudRate(fhandle, baudRates[std::size_t(baudrate)]) == FT_OK;
}

bool tftdichip::setBaudRateEx(std::uint32_t baudrate) { return FT_SetBaudRate(fhandle, baudrate) == FT_OK; }

bool tftdichip::setDataCharacteristics(fWordLength wordLength, fStopBits stopBits, fParity parity)
{
    if (outside(wordLengths, wordLength))
        throw Exception("tftdichip.setDataCharacteristics: Invalid wordLength");
    if (outside(stopBitCodes, stopBits))
        throw Exception("tftdichip.setDataCharacteristics: Invalid stopBits");
    if (outside(parityCodes, parity))
        throw Exception("tftdichip.setDataCharacteristics: Invalid parity");
    return FT_SetDataCharacteristics(fhandle, wordLengths[std::size_t(wordLength)],
                                     stopBitCodes[std::size_t(stopBits)],
                                     parityCodes[std::size_t(parity)]) == FT_OK;
}

bool tftdichip::setFlowControl(fFlowControl flowcontrol, std::uint8_t xonChar, std::uint8_t xoffChar)
{
    if (outside(flowControlWords, flowcontrol))
        throw Exception("tftdichip.setFlowControl: Invalid flowcontrol");
    return FT_SetFlowControl(fhandle, flowControlWords[std::size_t(flowcontrol)], xonChar, xoffChar) == FT_OK;
}

bool tftdichip::setTimeouts(std::uint32_t readTimeout, std::uint32_t writeTimeout)
{
    return FT_SetTimeouts(fhandle, readTimeout, writeTimeout) == FT_OK;
}

bool tftdichip::getDeviceInfo(fDevice& device, std::uint16_t& pid, std::uint16_t& vid,
                              std::string& serialnumber, std::string& description)
{
    DWORD type = 0;
    DWORD id = 0;
    char serial[16 + 1] = {};
    char text[64 + 1] = {};
    if (FT_GetDeviceInfo(fhandle, &type, &id, serial, text, nullptr) != FT_OK)
        return false;
    vid = std::uint16_t(id >> 16);
    pid = std::uint16_t(id & 0xFFFF);
    device = type < deviceTypes.size() ? deviceTypes[type] : fDeviceUnknown;
    // Bounded even when the driver left a buffer unterminated.
    serialnumber.assign(serial, strnlen(serial, sizeof serial));
    description.assign(text, strnlen(text, sizeof text));
    return true;
}

bool tftdichip::createDeviceInfoList(std::uint32_t& devicecount, pftdiDeviceList& devicelist)
{
    DWORD count = 0;
    if (FT_CreateDeviceInfoList(&count) != FT_OK) {
        devicecount = 0;
        devicelist = nullptr;
        return false;
    }
    if (count == 0) {
        devicecount = 0;
        devicelist = nullptr;
        return true;
    }
    // A count no memory can hold is a failed census, not a crash.
    devicelist = new (std::nothrow) ftdiDeviceNode[count]();
    if (devicelist == nullptr) {
        devicecount = 0;
        return false;
    }
    // The count goes in as the room in the block and comes back as the nodes filled.
    if (FT_GetDeviceInfoList(devicelist, &count) != FT_OK) {
        destroyDeviceInfoList(devicelist);
        devicecount = 0;
        return false;
    }
    devicecount = count;
    return true;
}

void tftdichip::destroyDeviceInfoList(pftdiDeviceList& devicelist)
{
    delete[] devicelist;
    devicelist = nullptr;
}

bool tftdichip::read(void* buffer, std::int32_t bytesToRead, std::int32_t& bytesRead)
{
    // A negative count would reach the driver as a huge one and overrun the buffer.
    if (bytesToRead < 0) {
        bytesRead = 0;
        return false;
    }
    DWORD got = 0;
    const bool ok = FT_Read(fhandle, buffer, DWORD(bytesToRead), &got) == FT_OK;
    bytesRead = std::int32_t(got);
    return ok;
}

bool tftdichip::write(const void* buffer, std::int32_t bytesToWrite, std::int32_t& bytesWritten)
{
    if (bytesToWrite < 0) {
        bytesWritten = 0;
        return false;
    }
    DWORD put = 0;
    const bool ok = FT_Write(fhandle, buffer, DWORD(bytesToWrite), &put) == FT_OK;
    bytesWritten = std::int32_t(put);
    if (ok)
        dataHasBeenSent = true;
    return ok;
}

bool tftdichip::getReceiveQueueStatus(std::int32_t& bytesWaiting)
{
    DWORD rx = 0;
    if (FT_GetQueueStatus(fhandle, &rx) != FT_OK)
        return false;
    bytesWaiting = std::int32_t(rx);
    return true;
}

bool tftdichip::getSendQueueStatus(std::int32_t& bytesWaiting)
{
    DWORD rx = 0;
    DWORD tx = 0;
    DWORD events = 0;
    if (FT_GetStatus(fhandle, &rx, &tx, &events) != FT_OK)
        return false;
    bytesWaiting = std::int32_t(tx);
    return true;
}

bool tftdichip::purgeQueue(fQueue queue)
{
    if (outside(purgeMasks, queue))
        throw Exception("tftdichip.purgeQueue: Invalid queue");
    return FT_Purge(fhandle, purgeMasks[std::size_t(queue)]) == FT_OK;
}

// Receive events are not wired up yet: no event object is made and no worker runs.
bool tftdichip::createEventObject(fEvent, FtEvent*& eventHandle)
{
    eventHandle = nullptr;
    return false;
}

fEvent tftdichip::waitForEventObject(FtEvent*&, std::uint32_t) { return fEventError; }

void tftdichip::closeEventObject(FtEvent*& eventhandle) { eventhandle = nullptr; }

bool tftdichip::setupCommEvents(tftdievent_onReceiveData, tftdievent_onSendQueueEmpty, tftdievent_onError)
{
    return false;
}

bool tftdichip::stopCommEvents() { return false; }

bool tftdichip::startCommEvents() { return false; }

bool tftdichip::getCTS() { return modemLine(fhandle, modemCts, "tftdichip.getCTS: Error"); }
bool tftdichip::getDSR() { return modemLine(fhandle, modemDsr, "tftdichip.getDSR: Error"); }
bool tftdichip::getRI() { return modemLine(fhandle, modemRi, "tftdichip.getRI: Error"); }
bool tftdichip::getDCD() { return modemLine(fhandle, modemDcd, "tftdichip.getDCD: Error"); }

bool tftdichip::setDTR() { return FT_SetDtr(fhandle) == FT_OK; }
bool tftdichip::clearDTR() { return FT_ClrDtr(fhandle) == FT_OK; }
bool tftdichip::setRTS() { return FT_SetRts(fhandle) == FT_OK; }
bool tftdichip::clearRTS() { return FT_ClrRts(fhandle) == FT_OK; }

}  // namespace nx::usb
