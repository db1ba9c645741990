#pragma once
// Checks that need an ordinary user (a folder that cannot be read, a move
// that is refused) pass trivially for root. Run as root, such a test calls
// RunAsNobody, which runs the same test again in a copy of this executable
// as the user nobody and reports that run's outcome.

#include <gtest/gtest.h>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

namespace tandex::testing {

inline void RunAsNobody() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const QString filter = QString::fromUtf8(info->test_suite_name()) + "." + info->name();
    QTemporaryDir dir(QStringLiteral("/tmp/tandex-nobody-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    ::chmod(QFile::encodeName(dir.path()).constData(), 01777);
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    const QString copy = dir.filePath("test");
    ASSERT_TRUE(QFile::copy(QString::fromLocal8Bit(self, n), copy));
    ::chmod(QFile::encodeName(copy).constData(), 0755);
    QProcess child;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir.path());
    env.insert("TMPDIR", dir.path());
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    child.setProcessEnvironment(env);
    child.setWorkingDirectory(dir.path());
    child.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", copy,
                            "--gtest_filter=" + filter});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QString output =
        QString::fromLocal8Bit(child.readAllStandardOutput() + child.readAllStandardError());
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
    EXPECT_FALSE(output.contains("SKIPPED")) << output.toStdString();
}

}  // namespace tandex::testing
