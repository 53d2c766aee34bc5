// Preloaded into tests that run under qemu-user (cross builds only). Debian
// 12's qemu-user (7.2) passes waitid(P_PIDFD) through to the kernel but
// refuses clone(CLONE_PIDFD), so Qt takes process descriptors for available
// and every QProcess start fails. Refusing that waitid makes Qt start
// programs with a plain fork, as on an older kernel.
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <dlfcn.h>
#include <sys/syscall.h>
#include <sys/wait.h>

#ifndef P_PIDFD
#define P_PIDFD 3
#endif

namespace {
// Loaded already: the programs this process starts need not load it again
// (qemu passes it on to the emulated ones through QEMU_SET_ENV), and the
// machine's own programs cannot.
__attribute__((constructor)) void forget() {
    unsetenv("LD_PRELOAD");
}
} // namespace

extern "C" long syscall(long number, ...) {
    va_list list;
    va_start(list, number);
    long args[6];
    for (long& a : args)
        a = va_arg(list, long);
    va_end(list);
    if (number == SYS_waitid && args[0] == P_PIDFD) {
        errno = EINVAL;
        return -1;
    }
    using Syscall = long (*)(long, ...);
    static const auto next = reinterpret_cast<Syscall>(dlsym(RTLD_NEXT, "syscall"));
    return next(number, args[0], args[1], args[2], args[3], args[4], args[5]);
}
