#pragma once

// A tty's line rate as a plain number of bits per second. Kept apart from the termios
// code: the kernel's termios2, which carries such a rate, clashes with <termios.h>.

#include <cstdint>

namespace nx::usb {

// Sets both directions of the tty's line to `rate`, any rate the driver can make
// (ftdi_sio finds the chip's nearest divisor), keeping every other line setting.
bool setTtySpeed(int fd, std::uint32_t rate);

}  // namespace nx::usb
