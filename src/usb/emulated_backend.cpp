#include "usb/backend.h"

namespace nx::usb {
namespace {

// Placeholder until the emulator lands: lists no meter.
class EmulatedBackend final : public Backend {
public:
    std::vector<DeviceInfo> enumerate() override { return {}; }
    std::unique_ptr<Device> open(const DeviceInfo&, FT_STATUS* status) override
    {
        *status = FT_DEVICE_NOT_FOUND;
        return nullptr;
    }
};

}  // namespace

std::unique_ptr<Backend> makeEmulatedBackend() { return std::make_unique<EmulatedBackend>(); }

}  // namespace nx::usb
