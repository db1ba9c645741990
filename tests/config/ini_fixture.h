#pragma once
// A settings folder of its own for each test: a temporary writable root,
// the real file access of the access layer and a program log to read.

#include "access/ini_file_adapter.h"
#include "access/program_log.h"
#include "access/text_files.h"
#include "config/app_settings.h"
#include "config/find_settings.h"
#include "config/ini_file_access.h"
#include "config/ini_store.h"
#include "config/prg_dir.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>

namespace tandex::testing {

inline QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline void writeBytes(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(data);
}

// The lines of a file the engine wrote: UTF-8 behind its byte-order mark,
// CR LF line ends.
inline QStringList savedLines(const QString& path) {
    QByteArray data = readBytes(path);
    EXPECT_TRUE(data.startsWith("\xEF\xBB\xBF")) << path.toStdString();
    data.remove(0, 3);
    QString text = QString::fromUtf8(data);
    EXPECT_TRUE(text.endsWith(QLatin1String("\r\n")));
    EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("[^\r]\n"))));
    QStringList lines = text.split(QStringLiteral("\r\n"));
    lines.removeLast();
    return lines;
}

// Files past a size limit fail to write from here until the end of the
// scope, as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

class IniFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        config::TPrgDirSources sources;
        sources.executablePath = tmp.filePath(QStringLiteral("bin/tandex"));
        sources.configHome = tmp.filePath(QStringLiteral("cfg"));
        config::SetPrgDir(std::make_unique<config::TPrgDir>(sources));
        root = config::PrgDir().GetWritableRoot();
        iniPath = config::PrgDir().GetIniPath();
        logPath = tmp.filePath(QStringLiteral("TDXLog.txt"));
        access::FZSetLogFile(logPath);
        config::SetIniFileAccess(&adapter);
        config::AppSettings().SetDefaults(root);
        config::FindReplaceSettings() = config::TFindReplaceSettings();
        config::IniFreeLines();
        config::IniStore().LineCapacity = config::kIniMaxLines;
        config::IniStore().SectionCapacity = config::kIniMaxSections;
    }
    void TearDown() override {
        config::IniFreeLines();
        config::IniStore().LineCapacity = config::kIniMaxLines;
        config::IniStore().SectionCapacity = config::kIniMaxSections;
        access::FZSetTabSize(4, 8192);
        config::SetIniFileAccess(nullptr);
        access::FZSetLogFile(QString());
        config::SetPrgDir(nullptr);
    }

    QString log() const { return QString::fromUtf8(readBytes(logPath)); }
    QString path(const QString& name) const { return tmp.filePath(name); }

    QTemporaryDir tmp;
    access::TIniFileAdapter adapter;
    QString root, iniPath, logPath;
};

}  // namespace tandex::testing
