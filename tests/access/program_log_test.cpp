#include "access/program_log.h"

#include "config/prg_dir.h"

#include <gtest/gtest.h>
#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <thread>

using namespace tandex::access;

namespace {

QStringList logLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QString all = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(all.isEmpty() || all.endsWith('\n'));
    QStringList lines = all.split('\n');
    lines.removeLast();
    return lines;
}

}  // namespace

TEST(ProgramLog, SetLogFileCreatesItAndLinesCarryTheTimeStamp) {
    QTemporaryDir dir;
    const QString path = dir.filePath("TDXLog.txt");
    FZSetLogFile(path);
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_EQ(QFile(path).size(), 0);

    const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
    FZLog("FI1 Cannot open x.txt");
    FZLog(QString::fromUtf8("FD1: Größe"));
    const QDateTime after = QDateTime::currentDateTime();

    const QStringList lines = logLines(path);
    ASSERT_EQ(lines.size(), 2);
    const QRegularExpression form(R"(^(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d): (.*)$)");
    const auto m = form.match(lines[0]);
    ASSERT_TRUE(m.hasMatch()) << lines[0].toStdString();
    EXPECT_EQ(m.captured(2), "FI1 Cannot open x.txt");
    const QDateTime stamp = QDateTime::fromString(m.captured(1), "dd.MM.yyyy hh:mm:ss");
    EXPECT_GE(stamp, before);
    EXPECT_LE(stamp, after);
    EXPECT_TRUE(lines[1].endsWith(QString::fromUtf8(": FD1: Größe")));
    // Setting it again at the next start keeps what was logged before.
    FZSetLogFile(path);
    EXPECT_EQ(logLines(path).size(), 2);
    FZSetLogFile(QString());
}

TEST(ProgramLog, DefaultsToTheWritableRoot) {
    QTemporaryDir dir;
    tandex::config::TPrgDirSources sources;
    sources.executablePath = dir.filePath("bin/tandex");
    sources.arguments = {sources.executablePath};
    sources.configHome = dir.filePath("cfg");
    sources.home = dir.path();
    tandex::config::SetPrgDir(std::make_unique<tandex::config::TPrgDir>(sources));
    FZSetLogFile(QString());
    const QString expected = tandex::config::PrgDir().GetWritableRoot() + "TDXLog.txt";
    EXPECT_EQ(FZLogFile(), expected);
    FZLog("CT1 start");
    EXPECT_EQ(logLines(expected).size(), 1);
    FZSetLogFile(QString());
    tandex::config::SetPrgDir(nullptr);
}

TEST(ProgramLog, ConcurrentWritersProduceWholeLines) {
    QTemporaryDir dir;
    const QString path = dir.filePath("log.txt");
    FZSetLogFile(path);
    const int perThread = 200;
    auto writer = [&](const char* tag) {
        for (int i = 0; i < perThread; ++i)
            FZLog(QStringLiteral("%1 line %2 ").arg(tag).arg(i) + QString(80, 'x'));
    };
    std::thread a(writer, "AD1"), b(writer, "CT1");
    a.join();
    b.join();
    const QStringList lines = logLines(path);
    ASSERT_EQ(lines.size(), 2 * perThread);
    const QRegularExpression form(
        R"(^\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d: (AD1|CT1) line \d+ x{80}$)");
    for (const QString& line : lines)
        EXPECT_TRUE(form.match(line).hasMatch()) << line.toStdString();
    FZSetLogFile(QString());
}

TEST(ProgramLog, UnwritableLogIsSilent) {
    QTemporaryDir dir;
    FZSetLogFile(dir.filePath("missing/folder/log.txt"));
    FZLog("FI1 nothing happens");
    EXPECT_FALSE(QFile::exists(dir.filePath("missing/folder/log.txt")));
    FZSetLogFile(QString());
}
