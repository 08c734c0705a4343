#pragma once

// A meter image: the JSON file that describes one emulated FTDI device and, when it
// is a meter, what it holds. The format is fixed; tests and outside tools write it:
//
//   usbSerial           required; the chip's serial number (at most 15 bytes)
//   usbDescription      the chip's description (default "FT232R USB UART")
//   identity            {"serialText": 8 chars beginning "TC", "firmware": 4 chars}
//   moisture            [{"record", "time", "moisture", "temperature", "species", "sample"}]
//   temperatureObjects  [{"number", "name", "records": [{"record", "time", "temperature"}]}]
//   replies             {"I" | "H" | "L" | "M<hex byte>": "hex bytes with optional blanks"}
//   bytesPerSecond      line pace of the replies (default 11520: 115200 baud, 8N1)
//   pauses              [{"command": a replies key, "afterByte", "ms"}]
//
// A device with neither "identity" nor "replies" is an FTDI chip that never answers.
// Times are local date-times "yyyy-MM-ddTHH:mm:ss" (no zone) in 1999-2126; the meter
// stores seconds in 2-second steps, so an odd second is refused rather than changed.
// Values are rounded to tenths and must fit their 16-bit fields.

#include "emulator/meter_records.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace nx::emulator {

struct TempObject {
    std::uint8_t number = 0;
    std::string name;  // 8-bit text, at most 20 bytes
    std::vector<TempResult> records;
};

struct ReplyPause {
    std::string command;  // a command key, see commandKey()
    std::uint32_t afterByte = 0;
    std::chrono::milliseconds duration{0};
};

inline constexpr std::uint32_t defaultBytesPerSecond = 11520;
inline constexpr char defaultUsbDescription[] = "FT232R USB UART";

struct MeterImage {
    std::string usbSerial;  // 8-bit text
    std::string usbDescription = defaultUsbDescription;
    std::optional<Identity> identity;
    std::vector<MoistureResult> moisture;
    std::vector<TempObject> temperatureObjects;
    bool hasReplies = false;
    std::map<std::string, QByteArray> replies;  // by command key
    std::uint32_t bytesPerSecond = defaultBytesPerSecond;
    std::vector<ReplyPause> pauses;

    // Whether the device is a meter at all; one that is not never answers.
    bool answers() const { return identity.has_value() || hasReplies; }
};

// Both raise nx::Exception "<file name>: <what is wrong>".
MeterImage parseMeterImage(const QByteArray& json, const QString& fileName);
MeterImage loadMeterImage(const QString& path);

}  // namespace nx::emulator
