#include "access/program_log.h"

#include "config/prg_dir.h"

#include <fcntl.h>
#include <unistd.h>
#include <QDateTime>
#include <QFile>
#include <cerrno>
#include <mutex>

namespace tandex::access {

namespace {

struct LogState {
    std::mutex mutex;  // serialises writers and guards the path
    QString path;
};

LogState& logState() {
    static LogState state;
    return state;
}

}  // namespace

void FZSetLogFile(const QString& path) {
    auto& state = logState();
    std::lock_guard lock(state.mutex);
    state.path = path;
    if (path.isEmpty()) return;
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd >= 0) ::close(fd);
}

QString FZLogFile() {
    auto& state = logState();
    {
        std::lock_guard lock(state.mutex);
        if (!state.path.isEmpty()) return state.path;
    }
    const QString fallback =
        config::PrgDir().GetWritableRoot() + QLatin1String(config::kProgramLogName);
    std::lock_guard lock(state.mutex);
    if (state.path.isEmpty()) state.path = fallback;
    return state.path;
}

void FZLog(const QString& text) {
    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    const QByteArray line = (stamp + QLatin1String(": ") + text + QLatin1Char('\n')).toUtf8();
    const QByteArray name = QFile::encodeName(FZLogFile());
    auto& state = logState();
    std::lock_guard lock(state.mutex);
    // One write of the whole line on an append descriptor: even another
    // process appending to the same log cannot split it.
    const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return;
    qsizetype done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(fd, line.constData() + done, size_t(line.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    ::close(fd);
}

}  // namespace tandex::access
