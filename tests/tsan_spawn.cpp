// Linked into the test programs of the ThreadSanitizer tree only.
//
// QProcess starts its children with clone(CLONE_VM | CLONE_VFORK |
// CLONE_PIDFD): the child runs on a small stack inside the parent's memory
// until it executes the program. The sanitizer's runtime of this toolchain
// handles every clone as a fork and runs its after-fork bookkeeping in that
// child, on the parent's own state, and aborts. The tests start their
// servers and tools through QProcess, so here such a clone becomes a real
// fork, which the runtime knows: the child runs the same function in its
// own copy of memory and the parent gets the process descriptor that
// CLONE_PIDFD would have handed back. Every other clone goes through as it
// is.

#include <dlfcn.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>

// The runtime's own handling, which this definition replaces.
extern "C" int __interceptor_clone(int (*fn)(void*), void* stack, int flags, void* arg, ...)
    __attribute__((weak));

extern "C" int clone(int (*fn)(void*), void* stack, int flags, void* arg, ...) {
    va_list rest;
    va_start(rest, arg);
    pid_t* parentTid = va_arg(rest, pid_t*);
    void* tls = va_arg(rest, void*);
    pid_t* childTid = va_arg(rest, pid_t*);
    va_end(rest);

    const int spawn = CLONE_VM | CLONE_VFORK;
    if ((flags & spawn) == spawn && !(flags & CLONE_THREAD)) {
        const pid_t pid = ::fork();
        if (pid == 0) ::_exit(fn(arg));
        if (pid > 0 && (flags & CLONE_PIDFD)) {
            const long fd = ::syscall(SYS_pidfd_open, pid, 0);
            if (fd < 0) return -1;
            *reinterpret_cast<int*>(parentTid) = int(fd);
        }
        return pid;
    }
    if (__interceptor_clone) return __interceptor_clone(fn, stack, flags, arg, parentTid, tls, childTid);
    using Clone = int (*)(int (*)(void*), void*, int, void*, ...);
    static const auto next = reinterpret_cast<Clone>(::dlsym(RTLD_NEXT, "clone"));
    if (!next) {
        errno = ENOSYS;
        return -1;
    }
    return next(fn, stack, flags, arg, parentTid, tls, childTid);
}
