#include "ui/folders/console_out.h"

#include <QTemporaryFile>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// A script may start the program with its standard output closed. The
// descriptor must stay taken: otherwise the next file or pipe the program
// opens becomes descriptor 1 and receives the console lines.
TEST(ConsoleOut, ClosedStandardOutputStaysTaken) {
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    ASSERT_GE(saved, 0);
    ::close(STDOUT_FILENO);
    tandex::folders::ConsoleAttach();
    const bool attached = tandex::folders::ConsoleAttached();
    const bool taken = ::fcntl(STDOUT_FILENO, F_GETFD) != -1;
    QTemporaryFile file;
    const bool opened = file.open();
    const int handle = file.handle();
    tandex::folders::ConsoleWriteLn(QStringLiteral("Files are equal"));
    file.seek(0);
    const QByteArray written = file.readAll();
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    tandex::folders::ConsoleAttach();

    EXPECT_FALSE(attached);
    EXPECT_TRUE(taken);
    ASSERT_TRUE(opened);
    EXPECT_NE(handle, STDOUT_FILENO);
    EXPECT_TRUE(written.isEmpty());
    EXPECT_TRUE(tandex::folders::ConsoleAttached());
}

}  // namespace
