#pragma once
// Runs work in a child process and kills it (SIGKILL) at the point where
// the work calls its `reached` argument: what a crash or kill -9 leaves
// behind at that moment can then be examined.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace tandex::testing {

// True when the child got to `reached` and was killed there; false when it
// ended (or failed) before.
inline bool KilledWhere(const std::function<void(const std::function<void()>& reached)>& work) {
    int fds[2];
    if (::pipe(fds) != 0) return false;
    const pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
        ::close(fds[0]);
        const int tell = fds[1];
        work([tell] {
            const char ready = 1;
            if (::write(tell, &ready, 1) != 1) ::_exit(3);
            for (;;) ::pause();
        });
        ::_exit(2);
    }
    ::close(fds[1]);
    char ready = 0;
    const bool reached = ::read(fds[0], &ready, 1) == 1;
    ::close(fds[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    return reached && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

}  // namespace tandex::testing
