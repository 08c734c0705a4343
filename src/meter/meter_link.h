#pragma once

// Finding meters among the attached FTDI chips, setting up the line they speak, and one
// command/reply exchange. Every pause and every reading of the time goes through nx::clock().

#include "usb/tftdichip.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace nx::meter {

// Serial numbers of the meters found, numbered from 1. Entries past the last count keep
// whatever an earlier discovery left there.
class MeterSerialList {
public:
    static constexpr int capacity = 100;
    // index 1..capacity; anything else raises nx::Exception.
    const std::string& operator[](int index) const;
    std::string& operator[](int index);

private:
    std::array<std::string, capacity> entries_;
};

struct ExchangeResult {
    std::string reply;
    // The device kept sending past any real meter's memory; the reply is incomplete.
    bool cutShort = false;
};

class MeterLink {
public:
    using Ms = std::chrono::milliseconds;

    static constexpr Ms secondPassDelay{2000};
    static constexpr Ms pollPeriod{10};
    static constexpr Ms quietTime{1000};
    static constexpr Ms readDelay{300};
    static constexpr Ms settleDelay{100};
    // Far above what a meter holds: a sender that never stops is cut here.
    static constexpr std::size_t defaultReplyLimit = std::size_t{16} << 20;

    // pumpEvents keeps windows alive during discovery (QCoreApplication::processEvents in
    // the program); it may be empty.
    explicit MeterLink(usb::tftdichip& link, std::function<void()> pumpEvents = {},
                       std::size_t replyLimit = defaultReplyLimit);

    // Fills ListaPPDev from 1 with the serial numbers beginning "PP" (more than four
    // characters) and returns how many; looks twice, 2 s apart, when the first look finds
    // none. Leaves the link closed.
    int FindMeters();

    // Opens USBPortSerial and sets up the meter's line: 115200 8N1, short latency and
    // transfers, no flow control. Results are not checked: a link that did not open simply
    // gets no reply.
    void configureLink();

    // Sends command and collects the reply: until `expected` bytes (0: no such length) have
    // arrived or the line has been quiet for more than a second, then 300 ms later reads
    // what was counted.
    ExchangeResult CommandExchange(std::string_view command, int expected);

    MeterSerialList ListaPPDev;
    std::string USBPortSerial;

private:
    // One look at the device list, adding the meters it shows after the count found so far.
    void scanDevices(int& count, bool pumpFirst);
    void pump();

    usb::tftdichip& link_;
    std::function<void()> pumpEvents_;
    std::size_t replyLimit_;
};

}  // namespace nx::meter
