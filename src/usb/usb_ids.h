#pragma once

// USB ids of the FTDI chips both USB backends look for, and what the driver calls them.

#include "usb/ft_driver.h"

#include <array>
#include <cstdint>

namespace nx::usb {

inline constexpr WORD ftdiVendorId = 0x0403;

struct FtdiProduct {
    WORD productId;
    DWORD type;
};

// The product ids of the factory-programmed chips; the type is the chip family. A
// 0x6001 chip may also be an older BM or AM; without its release number it is taken
// for the common R.
inline constexpr std::array<FtdiProduct, 5> ftdiProducts{{
    {0x6001, FT_DEVICE_232R},
    {0x6010, FT_DEVICE_2232H},
    {0x6011, FT_DEVICE_4232H},
    {0x6014, FT_DEVICE_232H},
    {0x6015, FT_DEVICE_X_SERIES},
}};

constexpr DWORD deviceTypeOfProduct(WORD productId)
{
    for (const FtdiProduct& p : ftdiProducts)
        if (p.productId == productId)
            return p.type;
    return FT_DEVICE_UNKNOWN;
}

// Both USB backends give a chip the same location id, so one chip seen by the kernel
// and by libftdi is recognised.
constexpr DWORD usbLocationId(int bus, int address)
{
    return (DWORD(bus) & 0xFFu) << 8 | (DWORD(address) & 0xFFu);
}

}  // namespace nx::usb
