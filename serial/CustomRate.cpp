// Rates without a B constant, through the kernel's termios2 interface. Kept in a
// file of its own because <asm/termbits.h> clashes with <termios.h>.
#include "serial/SerialDevice.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace SerialDevice {

bool SetArbitraryRate(int fd, int rate) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    t.c_cflag &= ~CBAUD;
    t.c_cflag |= BOTHER;
    t.c_ispeed = static_cast<speed_t>(rate);
    t.c_ospeed = static_cast<speed_t>(rate);
    return ioctl(fd, TCSETS2, &t) == 0;
}

int ReadArbitraryRate(int fd) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0 || t.c_ispeed != t.c_ospeed)
        return -1;
    return static_cast<int>(t.c_ospeed);
}

} // namespace SerialDevice
