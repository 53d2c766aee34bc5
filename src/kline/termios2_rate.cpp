// Only the kernel's termios here; see termios_kline.h.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

namespace kline {

int termios2SetRate(int fd, int baud) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return errno;
    t.c_cflag &= ~tcflag_t(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = speed_t(baud);
    t.c_ospeed = speed_t(baud);
    if (ioctl(fd, TCSETS2, &t) != 0)
        return errno;
    return 0;
}

int termios2GetRate(int fd, int* baud) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return errno;
    *baud = int(t.c_ospeed);
    return 0;
}

} // namespace kline
