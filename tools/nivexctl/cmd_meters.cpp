// nivexctl meters: finds the attached meters, sets up the line to the first one and asks
// for its identity, as a download begins.

#include "base/text8.h"
#include "meter/meter_link.h"
#include "meter/records.h"
#include "tools/nivexctl/commands.h"
#include "usb/tftdichip.h"

#include <QCoreApplication>
#include <QString>

#include <cstdio>
#include <string_view>

namespace nivexctl {
namespace {

void printLine(const char* label, std::string_view text8)
{
    std::printf("%s: %s\n", label, nx::fromText8(text8).toLocal8Bit().constData());
}

}  // namespace

int runMeters(const QStringList& args)
{
    if (!args.isEmpty()) {
        std::fprintf(stderr, "nivexctl meters: takes no arguments\n");
        return 2;
    }
    nx::usb::tftdichip link;
    const LinkCloser closer(link);
    nx::meter::MeterLink meters(link, [] { QCoreApplication::processEvents(); });

    const int count = meters.FindMeters();
    std::printf("meters found: %d\n", count);
    if (count == 0) {
        std::puts("Device not connected");
        return 1;
    }
    meters.USBPortSerial = meters.ListaPPDev[1];
    printLine("serial number", meters.USBPortSerial);
    meters.configureLink();

    const nx::meter::ExchangeResult exchange =
        meters.CommandExchange(nx::meter::identityCommand, nx::meter::identityExpectedLength);
    const nx::meter::Decoded<nx::meter::IdentReply> identity = nx::meter::checkIdentity(exchange.reply);
    if (exchange.cutShort || !identity) {
        std::printf("identity reply: %zu bytes, %s\n", exchange.reply.size(),
                    exchange.cutShort ? "cut short" : nx::meter::describe(identity.error()));
        std::puts("Device not connected");
        return 1;
    }
    printLine("identity serial", identity->serialText);
    printLine("firmware", identity->firmware);
    return 0;
}

}  // namespace nivexctl
