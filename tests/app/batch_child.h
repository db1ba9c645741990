#pragma once
// The built program run as a script runs it: a child process without any
// display (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM removed), in a
// folder, with its standard output collected and its exit code.

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern "C" char** environ;

namespace tandex::testing {

enum class Stdout { Pipe, Closed, ReaderGone };

struct ChildResult {
    QByteArray out;
    int code = -1;
};

// Starts the program in folder with args and waits for it.
inline ChildResult runTandex(const QString& folder, const QStringList& args, const QString& configHome,
                             Stdout mode = Stdout::Pipe) {
    std::vector<std::string> argStore{TANDEX_EXE};
    for (const QString& a : args) argStore.push_back(a.toStdString());
    std::vector<char*> argv;
    for (auto& a : argStore) argv.push_back(a.data());
    argv.push_back(nullptr);

    std::vector<std::string> envStore;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('='));
        if (name == "DISPLAY" || name == "WAYLAND_DISPLAY" || name == "QT_QPA_PLATFORM" ||
            name == "XDG_CONFIG_HOME")
            continue;
        envStore.push_back(entry);
    }
    envStore.push_back("XDG_CONFIG_HOME=" + configHome.toStdString());
    std::vector<char*> envp;
    for (auto& e : envStore) envp.push_back(e.data());
    envp.push_back(nullptr);

    int fds[2];
    if (::pipe(fds) != 0) return {};
    if (mode == Stdout::ReaderGone) ::close(fds[0]);
    const std::string dir = folder.toStdString();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(dir.c_str()) != 0) ::_exit(126);
        if (mode == Stdout::Closed)
            ::close(STDOUT_FILENO);
        else
            ::dup2(fds[1], STDOUT_FILENO);
        if (mode != Stdout::ReaderGone) ::close(fds[0]);
        ::close(fds[1]);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDERR_FILENO);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    ChildResult result;
    if (mode != Stdout::ReaderGone) {
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) result.out.append(buffer, n);
        ::close(fds[0]);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

// Every run starts with the banner: an empty line, the program and its
// version, an empty line.
inline QByteArray withoutBanner(const QByteArray& out) {
    static const QRegularExpression banner(QStringLiteral("^\nTandex \\S+ - compares files and folders\n\n"));
    const auto m = banner.match(QString::fromUtf8(out));
    if (!m.hasMatch()) return "NO BANNER: " + out;
    return out.mid(m.capturedLength());
}

}  // namespace tandex::testing
