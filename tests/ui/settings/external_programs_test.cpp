// The launcher of external and associated programs, with a recording
// script as the program and a fake xdg-open first on PATH.

#include "ui/settings/external_programs.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>

#include "access/access_slots.h"
#include "access/error_texts.h"
#include "config/app_settings.h"
#include "tests/ui/settings/recording_program.h"
#include "tests/ui/widget_harness.h"

namespace config = tandex::config;
namespace acc = tandex::access;
using namespace tandex::settings;
using tandex::testing::RecordingProgram;

namespace {

// Puts an environment variable back as the test found it.
class SavedVariable {
public:
    explicit SavedVariable(const char* name) : name_(name), set_(qEnvironmentVariableIsSet(name)) {
        value_ = qgetenv(name);
    }
    ~SavedVariable() {
        if (set_)
            qputenv(name_, value_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    bool set_;
    QByteArray value_;
};

class ExternalProgramsTest : public tandex::testing::WidgetTest {
protected:
    void SetUp() override {
        config::AppSettings() = config::TAppSettings();
        QDir(dir_.path()).mkpath(QStringLiteral("run"));
        acc::FZSetTempFolder(dir_.filePath(QStringLiteral("temp")), previousTemp_);
    }
    void TearDown() override {
        WidgetTest::TearDown();
        acc::FZSetTempFolder(previousTemp_, previousTemp_);
        config::AppSettings() = config::TAppSettings();
    }
    QString file(const QString& name, const QByteArray& bytes) {
        const QString path = dir_.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    static QString startError(const QString& program, const QString& reason) {
        return QStringLiteral("Could not start ") + program + QStringLiteral(" - Error: \n") + reason;
    }

    QTemporaryDir dir_;
    QString previousTemp_;
    SavedVariable visual_{"VISUAL"}, editor_{"EDITOR"}, path_{"PATH"};
};

TEST_F(ExternalProgramsTest, CaptionNamesTheProgramUpToItsFirstDot) {
    struct Case {
        const char* setting;  // external program 1
        const char* visual;   // nullptr: unset
        const char* editor;
        const char* caption;
    } cases[] = {
        {"/opt/my.viewer.exe", "vim", nullptr, "Open file in external Editor/Viewer 1 (my)"},
        {"/usr/bin/gedit", nullptr, nullptr, "Open file in external Editor/Viewer 1 (gedit)"},
        {"", "/usr/bin/vim -g", "nano", "Open file in external Editor/Viewer 1 (vim)"},
        {"", nullptr, "nano --restricted", "Open file in external Editor/Viewer 1 (nano)"},
        {"", "  ", nullptr, "Open file in external Editor/Viewer 1 (xdg-open)"},
        {"", nullptr, nullptr, "Open file in external Editor/Viewer 1 (xdg-open)"},
    };
    for (const Case& c : cases) {
        config::AppSettings().TEExtEditor = QString::fromUtf8(c.setting);
        for (const auto& [name, value] : {std::pair{"VISUAL", c.visual}, std::pair{"EDITOR", c.editor}}) {
            if (value)
                qputenv(name, value);
            else
                qunsetenv(name);
        }
        EXPECT_EQ(ExternalViewerCaption(1), QString::fromUtf8(c.caption)) << c.setting << " " << c.visual;
    }
    config::AppSettings().TEExtEditor2 = QStringLiteral("/usr/bin/gedit");
    EXPECT_EQ(ExternalViewerCaption(2), QStringLiteral("Open file in external Editor/Viewer 2 (gedit)"));
}

// No shell sees the name: its blanks, quotes and "$(...)" reach the program
// as they are, and nothing in it runs.
TEST_F(ExternalProgramsTest, PathReachesTheProgramAsOneArgumentWithoutAShell) {
    const RecordingProgram program(dir_.filePath(QStringLiteral("run")));
    config::AppSettings().TEExtEditor2 = program.path();
    const QString target = file(QStringLiteral("a b \"q\" $(touch x).txt"), "bytes");
    const QString previousCurrent = QDir::currentPath();
    QDir::setCurrent(dir_.path());
    const QString error = RunExternalProgram(ekProgram2, target);
    const QStringList args = program.waitForArguments();
    QDir::setCurrent(previousCurrent);
    EXPECT_EQ(error, QString());
    EXPECT_EQ(args, QStringList{target});
    EXPECT_EQ(program.content(), QByteArray("bytes"));
    EXPECT_FALSE(QFile::exists(dir_.filePath(QStringLiteral("x"))));
    EXPECT_FALSE(QFile::exists(dir_.filePath(QStringLiteral("run/x"))));
}

TEST_F(ExternalProgramsTest, EmptySettingRunsVisualWithItsArgumentsBeforeThePath) {
    const RecordingProgram program(dir_.filePath(QStringLiteral("run")));
    qputenv("VISUAL", (program.path() + QStringLiteral(" --new-window")).toUtf8());
    const QString target = file(QStringLiteral("t.txt"), "t");
    EXPECT_EQ(RunExternalProgram(ekProgram1, target), QString());
    EXPECT_EQ(program.waitForArguments(), (QStringList{QStringLiteral("--new-window"), target}));
}

TEST_F(ExternalProgramsTest, FailedStartsNameTheProgramAndTheReason) {
    const QString text = file(QStringLiteral("plain.txt"), "not a program\n");
    QFile::setPermissions(text, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString noExec = file(QStringLiteral("noexec"), "#!/bin/sh\n");
    const QString target = file(QStringLiteral("t.txt"), "t");
    struct Case {
        QString program;
        QString reason;
    } cases[] = {
        {dir_.filePath(QStringLiteral("missing-program")), QStringLiteral("FILE_NOT_FOUND")},
        {QStringLiteral("tandex-no-such-program"), QStringLiteral("FILE_NOT_FOUND")},
        {dir_.filePath(QStringLiteral("no-folder/program")), QStringLiteral("PATH_NOT_FOUND")},
        {text, QStringLiteral("BAD EXE FORMAT")},
        {noExec, QString::fromLocal8Bit(std::strerror(EACCES))},
    };
    for (const Case& c : cases) {
        config::AppSettings().TEExtEditor = c.program;
        EXPECT_EQ(RunExternalProgram(ekProgram1, target), startError(c.program, c.reason));
    }
}

TEST_F(ExternalProgramsTest, OtherKindsStartNothing) {
    const RecordingProgram program(dir_.filePath(QStringLiteral("run")));
    config::AppSettings().TEExtEditor = program.path();
    const QString target = file(QStringLiteral("t.txt"), "t");
    EXPECT_EQ(RunExternalProgram(4, target), QString());
    EXPECT_EQ(RunExternalProgram(0, target), QString());
    // A run that does start shows that the two before it did not.
    EXPECT_EQ(RunExternalProgram(ekProgram1, target), QString());
    EXPECT_EQ(program.waitForArguments(), QStringList{target});
    EXPECT_EQ(program.runCount(), 1);
}

TEST_F(ExternalProgramsTest, AssociatedProgramReadsXdgOpensStatus) {
    QDir(dir_.path()).mkpath(QStringLiteral("bin"));
    const QString fake = dir_.filePath(QStringLiteral("bin/xdg-open"));
    const QString status = dir_.filePath(QStringLiteral("status"));
    {
        QFile script(fake);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\nprintf '%s' \"$1\" > '%1.arg'\nexit $(cat '%1')\n").arg(status).toUtf8());
    }
    QFile::setPermissions(fake, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("PATH", (dir_.filePath(QStringLiteral("bin")) + QLatin1Char(':') + qEnvironmentVariable("PATH")).toUtf8());
    const QString target = file(QStringLiteral("a b.odt"), "doc");
    struct Case {
        const char* code;
        QString error;
    } cases[] = {
        {"0", QString()},
        {"2", startError(QString(), QStringLiteral("FILE_NOT_FOUND"))},
        {"3", startError(QString(),
                         QStringLiteral("There is no application associated with the given filename extension"))},
    };
    for (const Case& c : cases) {
        QFile code(status);
        ASSERT_TRUE(code.open(QIODevice::WriteOnly));
        code.write(c.code);
        code.close();
        EXPECT_EQ(RunExternalProgram(ekAssociated, target), c.error) << c.code;
        QFile arg(status + QStringLiteral(".arg"));
        ASSERT_TRUE(arg.open(QIODevice::ReadOnly));
        EXPECT_EQ(QString::fromUtf8(arg.readAll()), target);
    }
}

TEST_F(ExternalProgramsTest, ArchiveMemberOpensAsATemporaryCopyOfItsNameAndBytes) {
    const RecordingProgram program(dir_.filePath(QStringLiteral("run")));
    config::AppSettings().TEExtEditor = program.path();
    file(QStringLiteral("data file.txt"), "member bytes\n");
    QProcess zip;
    zip.setWorkingDirectory(dir_.path());
    zip.start(QStringLiteral("zip"), {QStringLiteral("-q"), QStringLiteral("pack.zip"), QStringLiteral("data file.txt")});
    ASSERT_TRUE(zip.waitForFinished(10000));
    ASSERT_EQ(zip.exitCode(), 0);
    QFile::remove(dir_.filePath(QStringLiteral("data file.txt")));

    // A member that is not there: the access layer's text, and nothing starts.
    const QString missing = dir_.filePath(QStringLiteral("pack.zip/nothere.txt"));
    QString ignored;
    const int code = acc::FZDownloadToTemp(missing, true, QString(), ignored);
    ASSERT_NE(code, 0);
    const QString missingError = RunExternalProgram(ekProgram1, missing);
    EXPECT_EQ(missingError, acc::FZErrorText(-code, acc::eoNone));
    EXPECT_TRUE(missingError.startsWith(QStringLiteral("Error "))) << qPrintable(missingError);

    EXPECT_EQ(RunExternalProgram(ekProgram1, dir_.filePath(QStringLiteral("pack.zip/data file.txt"))), QString());
    const QStringList args = program.waitForArguments();
    ASSERT_EQ(args.size(), 1);
    EXPECT_EQ(args[0], acc::FZTempFolder() + QStringLiteral("data file.txt"));
    EXPECT_EQ(program.content(), QByteArray("member bytes\n"));
    EXPECT_EQ(program.runCount(), 1);
}

}  // namespace
