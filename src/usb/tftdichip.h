#pragma once

// The link object for one FTDI USB-serial chip: lists the attached chips, opens one,
// sets up the line and moves raw bytes. Each operation is one or two driver calls whose
// status becomes a boolean; only calls that break the link's rules raise nx::Exception.

#include "usb/ft_driver.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace nx::usb {

enum fBaudRate : int {
    fBaud300,
    fBaud600,
    fBaud1200,
    fBaud2400,
    fBaud4800,
    fBaud9600,
    fBaud14400,
    fBaud19200,
    fBaud38400,
    fBaud57600,
    fBaud115200,
    fBaud230400,
    fBaud460800,
    fBaud921600,
};
enum fWordLength : int { fBits8, fBits7 };
enum fStopBits : int { fStopBits1, fStopBits2 };
enum fParity : int { fParityNone, fParityOdd, fParityEven, fParityMark, fParitySpace };
enum fFlowControl : int { fFlowNone, fFlowRTSCTS, fFlowDTRDSR, fFlowXONXOFF };
enum fQueue : int { fSendQueue, fReceiveQueue, fAll };
enum fDevice : int { fDevice232BM, fDevice232AM, fDevice100AX, fDeviceUnknown, fDevice2232C, fDevice232R };
enum fEvent : int { fEventRXChar, fEventModemStatus, fEventAny, fEventTimedOut, fEventError };

using ftdiDeviceNode = FT_DEVICE_LIST_INFO_NODE;
// The device list: nodes end to end in one block, owned by the caller from
// createDeviceInfoList until destroyDeviceInfoList. Empty is nullptr.
using pftdiDeviceList = ftdiDeviceNode*;

class tftdichip;
class tftdithread;

using tftdievent_onReceiveData = std::function<void(tftdichip* ftdichip, std::int32_t datalength)>;
using tftdievent_onSendQueueEmpty = std::function<void(tftdichip* ftdichip)>;
using tftdievent_onError = std::function<void(tftdichip* ftdichip)>;

class tftdichip {
public:
    FT_HANDLE fhandle = 0;
    bool fconnected = false;
    tftdievent_onReceiveData e_onReceiveData;
    tftdievent_onSendQueueEmpty e_onSendQueueEmpty;
    tftdievent_onError e_onError;
    std::unique_ptr<tftdithread> thread;
    bool dataHasBeenSent = false;

    tftdichip();
    virtual ~tftdichip();
    tftdichip(const tftdichip&) = delete;
    tftdichip& operator=(const tftdichip&) = delete;

    bool isPresentByDescription(const std::string& deviceDescription);
    bool openDeviceByDescription(const std::string& deviceDescription);
    bool isPresentBySerial(const std::string& deviceSerial);
    bool openDeviceBySerial(const std::string& deviceSerial);
    void closeDevice();
    bool resetDevice();
    bool cycleDevice();
    bool setLatencyTimer(std::uint8_t millisecs);
    bool setBaudRate(fBaudRate baudrate);
    bool setBaudRateEx(std::uint32_t baudrate);
    bool setDataCharacteristics(fWordLength wordLength, fStopBits stopBits, fParity parity);
    bool setFlowControl(fFlowControl flowcontrol, std::uint8_t xonChar, std::uint8_t xoffChar);
    bool setTimeouts(std::uint32_t readTimeout, std::uint32_t writeTimeout);
    bool getDeviceInfo(fDevice& device, std::uint16_t& pid, std::uint16_t& vid, std::string& serialnumber,
                       std::string& description);
    bool createDeviceInfoList(std::uint32_t& devicecount, pftdiDeviceList& devicelist);
    void destroyDeviceInfoList(pftdiDeviceList& devicelist);
    bool read(void* buffer, std::int32_t bytesToRead, std::int32_t& bytesRead);
    bool write(const void* buffer, std::int32_t bytesToWrite, std::int32_t& bytesWritten);
    bool getReceiveQueueStatus(std::int32_t& bytesWaiting);
    bool getSendQueueStatus(std::int32_t& bytesWaiting);
    bool purgeQueue(fQueue queue);
    bool createEventObject(fEvent event, FtEvent*& eventHandle);
    fEvent waitForEventObject(FtEvent*& eventhandle, std::uint32_t timeout);
    void closeEventObject(FtEvent*& eventhandle);
    bool setupCommEvents(tftdievent_onReceiveData onReceiveData, tftdievent_onSendQueueEmpty onSendQueueEmpty,
                         tftdievent_onError onError);
    bool stopCommEvents();
    bool startCommEvents();
    bool getCTS();
    bool getDSR();
    bool getRI();
    bool getDCD();
    bool setDTR();
    bool clearDTR();
    bool setRTS();
    bool clearRTS();
};

}  // namespace nx::usb
