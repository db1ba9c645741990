#include "console_out.h"

#include <QByteArray>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace tandex::folders {

namespace {

// Until ConsoleAttach has run (unit tests), the standard output counts as
// attached while it is open.
int attachedState = -1;

}  // namespace

void ConsoleAttach() {
    attachedState = ::fcntl(STDOUT_FILENO, F_GETFD) != -1 ? 1 : 0;
    // The error output is guarded the same way: Qt's warnings go there.
    for (int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(fd, F_GETFD) != -1) continue;
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0 && null != fd) {
            ::dup2(null, fd);
            ::close(null);
        }
    }
}

bool ConsoleAttached() {
    if (attachedState >= 0) return attachedState == 1;
    return ::fcntl(STDOUT_FILENO, F_GETFD) != -1;
}

void ConsoleWriteLn(const QString& text) {
    if (!ConsoleAttached()) return;
    const QByteArray line = text.toUtf8() + '\n';
    // A reader that went away leaves EPIPE here (SIGPIPE is ignored), a full
    // disk ENOSPC: neither changes what the run found.
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
    std::clearerr(stdout);
}

void ConsoleDetach() {
    std::fflush(stdout);
    std::clearerr(stdout);
}

}  // namespace tandex::folders
