// nivexctl devices: every FTDI device the driver layer sees, as the link lists them.

#include "base/text8.h"
#include "tools/nivexctl/commands.h"
#include "usb/tftdichip.h"

#include <QString>

#include <array>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace nivexctl {
namespace {

// Driver type codes to chip names.
constexpr std::array<std::string_view, 10> typeNames{"232BM", "232AM", "100AX", "unknown", "2232C",
                                                     "232R",  "2232H", "4232H", "232H",    "X series"};

QString typeName(nx::usb::DWORD type)
{
    if (type < typeNames.size())
        return QString::fromLatin1(typeNames[type].data(), qsizetype(typeNames[type].size()));
    return QStringLiteral("code %1").arg(type);
}

// A node's text field ends at its zero byte, or fills the field.
template <std::size_t N> QString fieldText(const char (&field)[N])
{
    return nx::fromText8(std::string_view(field, strnlen(field, N)));
}

// Owns the link's device list from the call that fills it.
class DeviceList {
public:
    explicit DeviceList(nx::usb::tftdichip& link) : link_(link) {}
    ~DeviceList() { link_.destroyDeviceInfoList(nodes); }
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;

    std::uint32_t count = 0;
    nx::usb::pftdiDeviceList nodes = nullptr;

private:
    nx::usb::tftdichip& link_;
};

}  // namespace

int runDevices(const QStringList& args)
{
    if (!args.isEmpty()) {
        std::fprintf(stderr, "nivexctl devices: takes no arguments\n");
        return 2;
    }
    nx::usb::tftdichip link;
    DeviceList list(link);
    if (!link.createDeviceInfoList(list.count, list.nodes)) {
        std::fprintf(stderr, "nivexctl devices: the driver could not list the FTDI devices\n");
        return 1;
    }
    if (list.count == 0) {
        std::puts("No FTDI device found.");
        return 0;
    }
    const auto row = [](const QString& serial, const QString& description, const QString& type,
                        const QString& vendor, const QString& product) {
        std::printf("%s\n", qPrintable(QStringLiteral("%1  %2  %3  %4  %5")
                                           .arg(serial, -16)
                                           .arg(description, -32)
                                           .arg(type, -9)
                                           .arg(vendor, -6)
                                           .arg(product)));
    };
    row(QStringLiteral("Serial number"), QStringLiteral("Description"), QStringLiteral("Type"),
        QStringLiteral("Vendor"), QStringLiteral("Product"));
    for (std::uint32_t i = 0; i < list.count; ++i) {
        const nx::usb::ftdiDeviceNode& node = list.nodes[i];
        row(fieldText(node.SerialNumber), fieldText(node.Description), typeName(node.Type),
            QStringLiteral("%1").arg(node.ID >> 16, 4, 16, QLatin1Char('0')),
            QStringLiteral("%1").arg(node.ID & 0xFFFF, 4, 16, QLatin1Char('0')));
    }
    return 0;
}

}  // namespace nivexctl
