#include "usb/tty_speed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace nx::usb {

bool setTtySpeed(int fd, std::uint32_t rate)
{
    termios2 t{};
    if (::ioctl(fd, TCGETS2, &t) != 0)
        return false;
    t.c_cflag &= ~tcflag_t(CBAUD | CBAUD << IBSHIFT);
    t.c_cflag |= BOTHER | BOTHER << IBSHIFT;
    t.c_ospeed = rate;
    t.c_ispeed = rate;
    return ::ioctl(fd, TCSETS2, &t) == 0;
}

}  // namespace nx::usb
