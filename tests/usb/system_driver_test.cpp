// The system driver over small in-test backends: census order, one listing per chip,
// the nodes it fills, and handles.

#include "usb/system_ft_driver.h"
#include "usb/tftdichip.h"
#include "usb/usb_ids.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace nx::usb {
namespace {

// What the devices of one in-test backend were told, by location.
struct Journal {
    std::map<std::string, DWORD> baudRates;
    std::vector<std::string> closed;
};

class StubDevice final : public Device {
public:
    StubDevice(std::string location, std::shared_ptr<Journal> journal)
        : location_(std::move(location)), journal_(std::move(journal))
    {
    }
    ~StubDevice() override { journal_->closed.push_back(location_); }

    FT_STATUS reset() override { return FT_OK; }
    FT_STATUS cyclePort() override { return FT_OK; }
    FT_STATUS setDtr(bool) override { return FT_OK; }
    FT_STATUS setRts(bool) override { return FT_OK; }
    FT_STATUS setBaudRate(DWORD baudRate) override
    {
        journal_->baudRates[location_] = baudRate;
        return FT_OK;
    }
    FT_STATUS setDataCharacteristics(UCHAR, UCHAR, UCHAR) override { return FT_OK; }
    FT_STATUS setFlowControl(WORD, UCHAR, UCHAR) override { return FT_OK; }
    FT_STATUS setTimeouts(DWORD, DWORD) override { return FT_OK; }
    FT_STATUS setLatencyTimer(UCHAR) override { return FT_OK; }
    FT_STATUS setUsbParameters(DWORD, DWORD) override { return FT_OK; }
    FT_STATUS read(void*, DWORD, DWORD* bytesRead) override
    {
        *bytesRead = 0;
        return FT_OK;
    }
    FT_STATUS write(const void*, DWORD bytesToWrite, DWORD* bytesWritten) override
    {
        *bytesWritten = bytesToWrite;
        return FT_OK;
    }
    FT_STATUS queueStatus(DWORD* rxBytes) override
    {
        *rxBytes = 0;
        return FT_OK;
    }
    FT_STATUS status(DWORD* rxBytes, DWORD* txBytes, DWORD* eventWord) override
    {
        *rxBytes = *txBytes = *eventWord = 0;
        return FT_OK;
    }
    FT_STATUS purge(DWORD) override { return FT_OK; }
    FT_STATUS modemStatus(DWORD* modemStatus) override
    {
        *modemStatus = 0x30;
        return FT_OK;
    }
    FT_STATUS setEventNotification(DWORD, FtEvent*) override { return FT_NOT_SUPPORTED; }

private:
    std::string location_;
    std::shared_ptr<Journal> journal_;
};

class StubBackend final : public Backend {
public:
    explicit StubBackend(std::vector<DeviceInfo> devices,
                         std::shared_ptr<Journal> journal = std::make_shared<Journal>())
        : devices_(std::make_shared<std::vector<DeviceInfo>>(std::move(devices))),
          journal_(std::move(journal))
    {
    }

    std::vector<DeviceInfo> enumerate() override
    {
        ++*censuses_;
        return *devices_;
    }

    std::unique_ptr<Device> open(const DeviceInfo& device, FT_STATUS* status) override
    {
        if (openStatus_ != FT_OK) {
            *status = openStatus_;
            return nullptr;
        }
        const auto present = [&](const DeviceInfo& d) { return d.location == device.location; };
        if (std::none_of(devices_->begin(), devices_->end(), present)) {
            *status = FT_DEVICE_NOT_FOUND;
            return nullptr;
        }
        *status = FT_OK;
        return std::make_unique<StubDevice>(device.location, journal_);
    }

    // Handles the test keeps after the backend has moved into the driver.
    std::shared_ptr<std::vector<DeviceInfo>> devices() const { return devices_; }
    std::shared_ptr<int> censuses() const { return censuses_; }
    void failOpens(FT_STATUS status) { openStatus_ = status; }

private:
    std::shared_ptr<std::vector<DeviceInfo>> devices_;
    std::shared_ptr<Journal> journal_;
    std::shared_ptr<int> censuses_ = std::make_shared<int>(0);
    FT_STATUS openStatus_ = FT_OK;
};

DeviceInfo device(std::string serial, std::string location, DWORD locId = 0,
                  std::string description = "FT232R USB UART")
{
    DeviceInfo d;
    d.serialNumber = std::move(serial);
    d.description = std::move(description);
    d.location = std::move(location);
    d.locId = locId;
    return d;
}

template <typename... Backends> SystemFtDriver driverOf(std::unique_ptr<Backends>... backends)
{
    std::vector<std::unique_ptr<Backend>> list;
    (list.push_back(std::move(backends)), ...);
    return SystemFtDriver(std::move(list));
}

std::vector<FT_DEVICE_LIST_INFO_NODE> census(SystemFtDriver& driver)
{
    DWORD count = 0;
    EXPECT_EQ(driver.CreateDeviceInfoList(&count), FT_OK);
    std::vector<FT_DEVICE_LIST_INFO_NODE> nodes(count);
    if (count > 0) {
        EXPECT_EQ(driver.GetDeviceInfoList(nodes.data(), &count), FT_OK);
    }
    nodes.resize(count);
    return nodes;
}

std::vector<std::string> serials(const std::vector<FT_DEVICE_LIST_INFO_NODE>& nodes)
{
    std::vector<std::string> out;
    for (const auto& n : nodes)
        out.emplace_back(n.SerialNumber, strnlen(n.SerialNumber, sizeof n.SerialNumber));
    return out;
}

TEST(SystemDriver, ListsBackendsInTheirOrder)
{
    auto driver = driverOf(std::make_unique<StubBackend>(
                               std::vector{device("PPE1", "emulated:a"), device("PPE2", "emulated:b")}),
                           std::make_unique<StubBackend>(std::vector{device("FT1", "/dev/ttyUSB0", 0x0105)}),
                           std::make_unique<StubBackend>(std::vector{device("FT2", "usb:1:6", 0x0106)}));
    EXPECT_EQ(serials(census(driver)), (std::vector<std::string>{"PPE1", "PPE2", "FT1", "FT2"}));
}

TEST(SystemDriver, ListsAChipTwoBackendsSeeOnceFromTheFirst)
{
    struct Case {
        const char* name;
        DeviceInfo kernel;
        DeviceInfo direct;
        std::vector<std::string> listed;
    };
    const Case cases[] = {
        {"same USB location",
         device("FT1", "/dev/ttyUSB0", 0x0105, "kernel"),
         device("FT1", "usb:1:5", 0x0105, "usb"),
         {"FT1"}},
        {"same location, strings unreadable over USB",
         device("FT1", "/dev/ttyUSB0", 0x0105),
         device("", "usb:1:5", 0x0105),
         {"FT1"}},
        {"no location, same serial and id",
         device("FT1", "/dev/ttyUSB0", 0),
         device("FT1", "usb:1:5", 0x0105),
         {"FT1"}},
        {"clones sharing a serial at two locations",
         device("A50285BI", "/dev/ttyUSB0", 0x0105),
         device("A50285BI", "usb:1:7", 0x0107),
         {"A50285BI", "A50285BI"}},
        {"no location, different chips",
         device("FT1", "/dev/ttyUSB0", 0),
         device("FT2", "usb:1:5", 0x0105),
         {"FT1", "FT2"}},
        {"no location, empty serials", device("", "/dev/ttyUSB0", 0), device("", "usb:1:5", 0), {"", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto driver = driverOf(std::make_unique<StubBackend>(std::vector{c.kernel}),
                               std::make_unique<StubBackend>(std::vector{c.direct}));
        const auto nodes = census(driver);
        EXPECT_EQ(serials(nodes), c.listed);
        if (c.listed.size() == 1) {
            EXPECT_STREQ(nodes[0].Description, c.kernel.description.c_str())
                << "the kernel's listing is kept";
        }
    }
}

TEST(SystemDriver, SameSerialOnAnotherProductIsAnotherChip)
{
    DeviceInfo other = device("FT1", "usb:1:5");
    other.id = 0x04036015;
    auto driver = driverOf(std::make_unique<StubBackend>(std::vector{device("FT1", "/dev/ttyUSB0")}),
                           std::make_unique<StubBackend>(std::vector{other}));
    EXPECT_EQ(census(driver).size(), 2u);
}

TEST(SystemDriver, FillsNodesWithTruncatedTerminatedTexts)
{
    DeviceInfo d = device(std::string(20, 'S'), "/dev/ttyUSB0", 0x0203, std::string(80, 'D'));
    d.type = FT_DEVICE_2232H;
    d.id = 0x04036010;
    d.flags = 2;
    auto driver = driverOf(std::make_unique<StubBackend>(std::vector{d}));
    const auto nodes = census(driver);
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(std::string(nodes[0].SerialNumber), std::string(15, 'S'));
    EXPECT_EQ(std::string(nodes[0].Description), std::string(63, 'D'));
    EXPECT_EQ(nodes[0].Type, DWORD(FT_DEVICE_2232H));
    EXPECT_EQ(nodes[0].ID, 0x04036010u);
    EXPECT_EQ(nodes[0].LocId, 0x0203u);
    EXPECT_EQ(nodes[0].Flags, 2u);
    EXPECT_EQ(nodes[0].ftHandle, 0u);
}

TEST(SystemDriver, NeverFillsMoreNodesThanTheBlockHolds)
{
    auto backend = std::make_unique<StubBackend>(std::vector{device("A", "a")});
    const auto devices = backend->devices();
    auto driver = driverOf(std::move(backend));
    DWORD count = 0;
    ASSERT_EQ(driver.CreateDeviceInfoList(&count), FT_OK);
    ASSERT_EQ(count, 1u);
    // A second census in between grew the list to three.
    *devices = {device("A", "a"), device("B", "b"), device("C", "c")};
    DWORD grown = 0;
    ASSERT_EQ(driver.CreateDeviceInfoList(&grown), FT_OK);
    FT_DEVICE_LIST_INFO_NODE block[2] = {};
    std::memset(&block[1], 0xAB, sizeof block[1]);
    ASSERT_EQ(driver.GetDeviceInfoList(block, &count), FT_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_STREQ(block[0].SerialNumber, "A");
    EXPECT_EQ(block[1].Flags, 0xABABABABu) << "the node past the block's room is untouched";
}

TEST(SystemDriver, OpensBySerialOrDescriptionAndMarksTheNode)
{
    auto driver = driverOf(std::make_unique<StubBackend>(
        std::vector{device("PP0001", "a", 0, "Nivex meter"), device("PP0002", "b", 0, "Other meter")}));
    FT_HANDLE bySerial = 0;
    FT_HANDLE byDescription = 0;
    // No census taken yet: the open takes one.
    ASSERT_EQ(driver.OpenEx("PP0002", FT_OPEN_BY_SERIAL_NUMBER, &bySerial), FT_OK);
    ASSERT_EQ(driver.OpenEx("Nivex meter", FT_OPEN_BY_DESCRIPTION, &byDescription), FT_OK);
    EXPECT_NE(bySerial, 0u);
    EXPECT_NE(byDescription, 0u);
    EXPECT_NE(bySerial, byDescription);

    const auto nodes = census(driver);
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[0].ftHandle, byDescription);
    EXPECT_EQ(nodes[1].ftHandle, bySerial);
    EXPECT_EQ(nodes[1].Flags & FT_FLAGS_OPENED, FT_FLAGS_OPENED);

    DWORD type = 0;
    DWORD id = 0;
    char serial[17] = {};
    char description[65] = {};
    ASSERT_EQ(driver.GetDeviceInfo(bySerial, &type, &id, serial, description, nullptr), FT_OK);
    EXPECT_STREQ(serial, "PP0002");
    EXPECT_STREQ(description, "Other meter");
    EXPECT_EQ(id, 0x04036001u);
}

TEST(SystemDriver, OpenFindsADeviceAttachedSinceTheLastCensus)
{
    auto backend = std::make_unique<StubBackend>(std::vector<DeviceInfo>{});
    const auto devices = backend->devices();
    auto driver = driverOf(std::move(backend));
    EXPECT_TRUE(census(driver).empty());
    devices->push_back(device("PP0009", "late"));
    FT_HANDLE handle = 0;
    EXPECT_EQ(driver.OpenEx("PP0009", FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
}

TEST(SystemDriver, OpenFindsADeviceThatMovedSinceTheLastCensus)
{
    auto backend = std::make_unique<StubBackend>(std::vector{device("PP0009", "/dev/ttyUSB0")});
    const auto devices = backend->devices();
    const auto censuses = backend->censuses();
    auto driver = driverOf(std::move(backend));
    ASSERT_EQ(census(driver).size(), 1u);
    // Replugged: the same meter is now another tty.
    *devices = {device("PP0009", "/dev/ttyUSB1")};
    FT_HANDLE handle = 0;
    EXPECT_EQ(driver.OpenEx("PP0009", FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
    EXPECT_EQ(*censuses, 2);
    // Unplugged: not found, after one more look.
    *devices = {};
    ASSERT_EQ(driver.Close(handle), FT_OK);
    EXPECT_EQ(driver.OpenEx("PP0009", FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(*censuses, 3);
}

TEST(SystemDriver, OpenFailuresCarryTheirStatus)
{
    auto refusing = std::make_unique<StubBackend>(std::vector{device("PPBUSY", "busy")});
    refusing->failOpens(FT_DEVICE_NOT_OPENED);
    auto driver =
        driverOf(std::make_unique<StubBackend>(std::vector{device("PP0001", "a")}), std::move(refusing));
    struct Case {
        const char* name;
        const char* arg;
        DWORD mode;
        FT_STATUS status;
    };
    const Case cases[] = {
        {"unknown serial", "PP9999", FT_OPEN_BY_SERIAL_NUMBER, FT_DEVICE_NOT_FOUND},
        {"serial given as description", "PP0001", FT_OPEN_BY_DESCRIPTION, FT_DEVICE_NOT_FOUND},
        {"unknown mode", "PP0001", 4, FT_INVALID_PARAMETER},
        {"no text", nullptr, FT_OPEN_BY_SERIAL_NUMBER, FT_INVALID_PARAMETER},
        {"backend refuses", "PPBUSY", FT_OPEN_BY_SERIAL_NUMBER, FT_DEVICE_NOT_OPENED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FT_HANDLE handle = 0;
        EXPECT_EQ(driver.OpenEx(c.arg, c.mode, &handle), c.status);
        EXPECT_EQ(handle, 0u);
    }
}

TEST(SystemDriver, ADeviceIsOpenOnceUntilClosed)
{
    auto driver = driverOf(std::make_unique<StubBackend>(std::vector{device("PP0001", "a")}));
    FT_HANDLE first = 0;
    FT_HANDLE second = 0;
    ASSERT_EQ(driver.OpenEx("PP0001", FT_OPEN_BY_SERIAL_NUMBER, &first), FT_OK);
    EXPECT_EQ(driver.OpenEx("PP0001", FT_OPEN_BY_SERIAL_NUMBER, &second), FT_DEVICE_NOT_OPENED);
    ASSERT_EQ(driver.Close(first), FT_OK);
    ASSERT_EQ(driver.OpenEx("PP0001", FT_OPEN_BY_SERIAL_NUMBER, &second), FT_OK);
    EXPECT_NE(second, first) << "a closed handle is not handed out again";
}

TEST(SystemDriver, CallsReachTheDeviceOfTheirHandle)
{
    auto journal = std::make_shared<Journal>();
    auto driver =
        driverOf(std::make_unique<StubBackend>(std::vector{device("A", "a"), device("B", "b")}, journal));
    FT_HANDLE a = 0;
    FT_HANDLE b = 0;
    ASSERT_EQ(driver.OpenEx("A", FT_OPEN_BY_SERIAL_NUMBER, &a), FT_OK);
    ASSERT_EQ(driver.OpenEx("B", FT_OPEN_BY_SERIAL_NUMBER, &b), FT_OK);
    ASSERT_EQ(driver.SetBaudRate(a, 115200), FT_OK);
    ASSERT_EQ(driver.SetBaudRate(b, 9600), FT_OK);
    EXPECT_EQ(journal->baudRates, (std::map<std::string, DWORD>{{"a", 115200}, {"b", 9600}}));
    ASSERT_EQ(driver.Close(a), FT_OK);
    EXPECT_EQ(journal->closed, std::vector<std::string>{"a"});
}

TEST(SystemDriver, UnknownHandlesAreRefused)
{
    auto driver = driverOf(std::make_unique<StubBackend>(std::vector{device("A", "a")}));
    FT_HANDLE closed = 0;
    ASSERT_EQ(driver.OpenEx("A", FT_OPEN_BY_SERIAL_NUMBER, &closed), FT_OK);
    ASSERT_EQ(driver.Close(closed), FT_OK);
    for (FT_HANDLE handle : {FT_HANDLE(0), FT_HANDLE(999), closed}) {
        SCOPED_TRACE("handle " + std::to_string(handle));
        DWORD n = 0;
        DWORD m = 0;
        DWORD e = 0;
        char byte = 0;
        EXPECT_EQ(driver.Close(handle), FT_INVALID_HANDLE);
        EXPECT_EQ(driver.SetBaudRate(handle, 9600), FT_INVALID_HANDLE);
        EXPECT_EQ(driver.Read(handle, &byte, 1, &n), FT_INVALID_HANDLE);
        EXPECT_EQ(driver.Write(handle, &byte, 1, &n), FT_INVALID_HANDLE);
        EXPECT_EQ(driver.GetStatus(handle, &n, &m, &e), FT_INVALID_HANDLE);
        EXPECT_EQ(driver.GetModemStatus(handle, &n), FT_INVALID_HANDLE);
        EXPECT_EQ(driver.GetDeviceInfo(handle, &n, &m, nullptr, nullptr, nullptr), FT_INVALID_HANDLE);
    }
}

TEST(SystemDriver, BadArgumentsAreRefusedBeforeTheDevice)
{
    auto driver = driverOf(std::make_unique<StubBackend>(std::vector{device("A", "a")}));
    FT_HANDLE h = 0;
    ASSERT_EQ(driver.OpenEx("A", FT_OPEN_BY_SERIAL_NUMBER, &h), FT_OK);
    DWORD n = 0;
    EXPECT_EQ(driver.CreateDeviceInfoList(nullptr), FT_INVALID_PARAMETER);
    EXPECT_EQ(driver.GetDeviceInfoList(nullptr, &n), FT_INVALID_PARAMETER);
    EXPECT_EQ(driver.Read(h, nullptr, 4, &n), FT_INVALID_PARAMETER);
    EXPECT_EQ(driver.Write(h, "x", 1, nullptr), FT_INVALID_PARAMETER);
    EXPECT_EQ(driver.Purge(h, 4), FT_INVALID_PARAMETER);
    EXPECT_EQ(driver.Purge(h, FT_PURGE_RX | FT_PURGE_TX), FT_OK);
}

// The link sees the system driver through the FT_* calls.
TEST(SystemDriver, LinkListsAndOpensThroughIt)
{
    auto driver =
        driverOf(std::make_unique<StubBackend>(std::vector{device("PP0001", "a"), device("XY0002", "b")}));
    ScopedFtDriver scope(driver);
    tftdichip link;
    std::uint32_t count = 0;
    pftdiDeviceList list = nullptr;
    ASSERT_TRUE(link.createDeviceInfoList(count, list));
    ASSERT_EQ(count, 2u);
    EXPECT_STREQ(list[1].SerialNumber, "XY0002");
    link.destroyDeviceInfoList(list);
    ASSERT_TRUE(link.openDeviceBySerial("PP0001"));
    EXPECT_TRUE(link.getCTS());
    EXPECT_FALSE(link.isPresentBySerial("PP0001")) << "open already";
    link.closeDevice();
    EXPECT_TRUE(link.isPresentBySerial("PP0001"));
}

TEST(UsbIds, ProductIdsGiveTheChipFamily)
{
    struct Case {
        WORD pid;
        DWORD type;
    };
    const Case cases[] = {{0x6001, FT_DEVICE_232R},     {0x6010, FT_DEVICE_2232H},
                          {0x6011, FT_DEVICE_4232H},    {0x6014, FT_DEVICE_232H},
                          {0x6015, FT_DEVICE_X_SERIES}, {0x6006, FT_DEVICE_UNKNOWN},
                          {0x0000, FT_DEVICE_UNKNOWN}};
    for (const Case& c : cases) {
        SCOPED_TRACE("pid " + std::to_string(c.pid));
        EXPECT_EQ(deviceTypeOfProduct(c.pid), c.type);
    }
    EXPECT_EQ(usbLocationId(1, 5), 0x0105u);
    EXPECT_EQ(usbLocationId(3, 127), 0x037Fu);
}

}  // namespace
}  // namespace nx::usb
