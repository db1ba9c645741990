#include "ui/main/file_properties.h"
#include "ui/main/main_window_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <optional>

#include "access/access_slots.h"
#include "access/archive_options.h"
#include "access/file_times.h"
#include "config/num_format.h"
#include "config/services.h"
#include "tests/ui/modal_driver.h"
#include "tests/ui/widget_harness.h"

using namespace tandex::ui;
namespace acc = tandex::access;

namespace config = tandex::config;
using tandex::testing::OnNextModal;
using tandex::testing::PressFlatButton;

namespace {

timespec LocalStamp(QDate date, QTime time, long nanoseconds) {
    return {time_t(QDateTime(date, time, Qt::LocalTime).toSecsSinceEpoch()), nanoseconds};
}

struct stat StatOf(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

bool SameStamp(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

void WriteFile(const QString& path, qint64 size) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(size, 'x'));
}

class FilePropertiesTest : public tandex::testing::WidgetTest {
protected:
    void SetUp() override {
        config::SetSizeDecimalChar(QLatin1Char(','));
        config::setMessageSink(&messages);
        ASSERT_TRUE(dir.isValid());
        dlg.OnRenamed = [this](int tag, const QString& name) { renamed.emplace(tag, name); };
        dlg.OnTimeChanged = [this](int tag, acc::FileTime time) { timeChanged.emplace(tag, time); };
        dlg.OnAttributesChanged = [this](int tag, quint32 attributes) {
            attributesChanged.emplace(tag, attributes);
        };
        Watch(&dlg);
    }
    void TearDown() override {
        WidgetTest::TearDown();
        config::setMessageSink(nullptr);
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    // Runs the dialog on path; action sees the loaded dialog and ends it
    // (OK by default).
    int run(const QString& target, bool folder, std::function<void(TfProperties&)> action,
            QPoint position = QPoint(20, 20)) {
        OnNextModal([this, action](QWidget* form) {
            action(dlg);
            if (form->isVisible()) PressFlatButton(form, "fbOk");
        });
        return dlg.Execute(position, 7, target, folder);
    }

    QTemporaryDir dir;
    config::RecordingMessageSink messages;
    TfProperties dlg;
    std::optional<std::pair<int, QString>> renamed;
    std::optional<std::pair<int, acc::FileTime>> timeChanged;
    std::optional<std::pair<int, quint32>> attributesChanged;
};

TEST(FilePropertiesTexts, SizeAndContainsTexts) {
    config::SetSizeDecimalChar(QLatin1Char(','));
    EXPECT_EQ(PropertiesSizeText(500), QStringLiteral("500"));
    EXPECT_EQ(PropertiesSizeText(0), QStringLiteral("0"));
    EXPECT_TRUE(PropertiesSizeText(2048).endsWith(QStringLiteral(" (2.048 Bytes)")));
    EXPECT_EQ(PropertiesContainsText(1234, 1), QStringLiteral("1.234 Files, 1 Folders"));
}

TEST(FilePropertiesTexts, NewNamesThatLeaveTheFolderAreRefused) {
    struct Case {
        const char* name;
        bool refused;
    } cases[] = {{"b.txt", false}, {".hidden", false}, {"a\\b:c", false}, {"..x", false}, {"../x", true},
                 {"a/b", true},    {"/etc", true},     {".", true},       {"..", true},    {"", true}};
    for (const Case& c : cases)
        EXPECT_EQ(!CheckNewFileName(QString::fromUtf8(c.name)).isEmpty(), c.refused) << c.name;
}

TEST_F(FilePropertiesTest, FolderShowsItsTotals) {
    const QString folder = path("tree");
    ASSERT_TRUE(QDir().mkpath(folder + "/sub"));
    WriteFile(folder + "/a", 100);
    WriteFile(folder + "/b", 200);
    WriteFile(folder + "/sub/c", 200);
    QString contains, size, type, name;
    bool nameEditable = true;
    run(folder, true, [&](TfProperties& d) {
        contains = d.lContains->text();
        size = d.lSize->text();
        type = d.lType->text();
        name = d.eName->text();
        nameEditable = !d.eName->isReadOnly();
        if (qEnvironmentVariableIsSet("TANDEX_GRAB_DIR")) tandex::testing::GrabToPng(&d, "file-properties-folder");
    });
    EXPECT_EQ(contains, QStringLiteral("3 Files, 1 Folders"));
    EXPECT_EQ(size, QStringLiteral("500"));
    EXPECT_EQ(type, QStringLiteral("Folder"));
    EXPECT_EQ(name, QStringLiteral("tree"));
    EXPECT_FALSE(nameEditable);
    EXPECT_FALSE(attributesChanged);
    EXPECT_FALSE(timeChanged);
}

// Presses Cancel the first time the folder count lets events through.
class CancellingPump : public config::EventPump {
public:
    explicit CancellingPump(TfProperties& dlg) : dlg_(dlg) { config::setEventPump(this); }
    ~CancellingPump() override { config::setEventPump(nullptr); }
    void processEvents() override {
        if (calls++ == 0) PressFlatButton(&dlg_, "fbCancel");
    }
    int calls = 0;

private:
    TfProperties& dlg_;
};

TEST_F(FilePropertiesTest, RootCannotBeChangedAndCancelStopsItsCount) {
    CancellingPump pump(dlg);
    QString type;
    bool aborted = false;
    std::vector<QWidget*> editable;
    run(QStringLiteral("/"), true, [&](TfProperties& d) {
        type = d.lType->text();
        aborted = d.lAborted->isVisible();
        for (QWidget* w : std::initializer_list<QWidget*>{d.dCreated, d.tCreated, d.dModified, d.tModified,
                                                          d.dAccessed, d.tAccessed, d.cbArchive, d.cbReadOnly,
                                                          d.cbHidden, d.cbSystem})
            if (w->isEnabled()) editable.push_back(w);
    }, QPoint(0, 0));
    EXPECT_EQ(type, QStringLiteral("Root"));
    EXPECT_TRUE(aborted);
    EXPECT_GT(pump.calls, 0);
    EXPECT_TRUE(editable.empty()) << editable.front()->objectName().toStdString();
}

TEST_F(FilePropertiesTest, FileShowsSizeTimesAndAttributes) {
    const QString file = path(".small");
    WriteFile(file, 500);
    const timespec stamps[2] = {LocalStamp({2021, 3, 4}, {8, 9, 10}, 5), LocalStamp({2020, 5, 6}, {12, 0, 0}, 7)};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), stamps, 0), 0);
    QString size, type, location;
    QDate modifiedDate;
    QTime modifiedTime, accessedTime;
    bool hidden = false, hiddenEnabled = true, createdEnabled = true, readOnlyEnabled = false;
    run(file, false, [&](TfProperties& d) {
        size = d.lSize->text();
        type = d.lType->text();
        location = d.eLocation->text();
        modifiedDate = d.dModified->date();
        modifiedTime = d.tModified->time();
        accessedTime = d.tAccessed->time();
        hidden = d.cbHidden->isChecked();
        hiddenEnabled = d.cbHidden->isEnabled();
        createdEnabled = d.dCreated->isEnabled();
        readOnlyEnabled = d.cbReadOnly->isEnabled();
    });
    EXPECT_EQ(size, QStringLiteral("500"));
    EXPECT_EQ(type, QStringLiteral("File"));
    EXPECT_EQ(location, QDir(dir.path()).absolutePath());
    EXPECT_EQ(modifiedDate, QDate(2020, 5, 6));
    EXPECT_EQ(modifiedTime, QTime(12, 0, 0));
    EXPECT_EQ(accessedTime, QTime(8, 9, 10));
    EXPECT_TRUE(hidden);
    EXPECT_FALSE(hiddenEnabled);
    EXPECT_FALSE(createdEnabled);
    EXPECT_TRUE(readOnlyEnabled);
    // OK without a change writes nothing and tells nobody.
    EXPECT_FALSE(renamed || timeChanged || attributesChanged);
    EXPECT_TRUE(SameStamp(StatOf(file).st_mtim, stamps[1]));

    WriteFile(file, 2048);
    run(file, false, [&](TfProperties& d) { size = d.lSize->text(); });
    EXPECT_TRUE(size.endsWith(QStringLiteral(" (2.048 Bytes)"))) << size.toStdString();
}

TEST_F(FilePropertiesTest, RenameMovesTheFileWithinItsFolderOnly) {
    ASSERT_TRUE(QDir().mkpath(path("sub/a")));
    const QString file = path("sub/a.txt");
    WriteFile(file, 10);

    // The same name again, and names that would leave the folder, do nothing.
    for (const QString& name : {QStringLiteral("a.txt"), QStringLiteral("../x"), QStringLiteral("a/b")}) {
        messages.clear();
        run(file, false, [&](TfProperties& d) { d.eName->setText(name); });
        EXPECT_FALSE(renamed) << name.toStdString();
        EXPECT_TRUE(QFile::exists(file)) << name.toStdString();
        EXPECT_EQ(messages.messages().size(), name == QLatin1String("a.txt") ? 0u : 1u) << name.toStdString();
    }
    EXPECT_FALSE(QFile::exists(path("x")));
    EXPECT_FALSE(QFile::exists(path("sub/a/b")));

    // A time changed along with the name goes to the file under its new name.
    run(file, false, [&](TfProperties& d) {
        d.eName->setText(QStringLiteral("b.txt"));
        d.dModified->setDate(QDate(2018, 2, 3));
        d.tModified->setTime(QTime(4, 5, 6));
    });
    EXPECT_TRUE(SameStamp(StatOf(path("sub/b.txt")).st_mtim, LocalStamp({2018, 2, 3}, {4, 5, 6}, 0)));
    EXPECT_TRUE(timeChanged);
    ASSERT_TRUE(renamed);
    EXPECT_EQ(renamed->first, 7);
    EXPECT_EQ(renamed->second, QStringLiteral("b.txt"));
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_TRUE(QFile::exists(path("sub/b.txt")));
    EXPECT_EQ(dlg.Path(), path("sub/b.txt"));
}

TEST_F(FilePropertiesTest, OnlyChangedTimeStampsAreWritten) {
    const QString file = path("t.txt");
    WriteFile(file, 10);
    const timespec stamps[2] = {LocalStamp({2021, 3, 4}, {8, 9, 10}, 123456789),
                                LocalStamp({2020, 5, 6}, {12, 0, 0}, 987654321)};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), stamps, 0), 0);

    // The access time alone: the row's time stays, so nobody is told.
    run(file, false, [](TfProperties& d) { d.tAccessed->setTime(QTime(9, 30, 0)); });
    EXPECT_FALSE(timeChanged);
    struct stat st = StatOf(file);
    EXPECT_TRUE(SameStamp(st.st_atim, LocalStamp({2021, 3, 4}, {9, 30, 0}, 0)));
    EXPECT_TRUE(SameStamp(st.st_mtim, stamps[1]));

    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), stamps, 0), 0);
    run(file, false, [](TfProperties& d) {
        d.dModified->setDate(QDate(2019, 1, 2));
        d.tModified->setTime(QTime(13, 14, 15));
    });
    const timespec wanted = LocalStamp({2019, 1, 2}, {13, 14, 15}, 0);
    st = StatOf(file);
    EXPECT_TRUE(SameStamp(st.st_mtim, wanted));
    EXPECT_TRUE(SameStamp(st.st_atim, stamps[0])) << st.st_atim.tv_nsec;
    ASSERT_TRUE(timeChanged);
    EXPECT_EQ(timeChanged->first, 7);
    EXPECT_EQ(timeChanged->second, (quint64(wanted.tv_sec) + 11644473600ull) * 10000000ull);
}

TEST_F(FilePropertiesTest, CancelKeepsEverything) {
    const QString file = path("c.txt");
    WriteFile(file, 10);
    const struct stat before = StatOf(file);
    OnNextModal([this](QWidget* form) {
        dlg.eName->setText(QStringLiteral("d.txt"));
        dlg.tModified->setTime(QTime(1, 2, 3));
        dlg.cbReadOnly->setChecked(true);
        EXPECT_TRUE(dlg.fbCancel->isEnabled());
        PressFlatButton(form, "fbCancel");
    });
    EXPECT_EQ(dlg.Execute(QPoint(10, 10), 1, file, false), 2);
    const struct stat after = StatOf(file);
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_TRUE(SameStamp(after.st_mtim, before.st_mtim));
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_FALSE(renamed || timeChanged || attributesChanged);
}

TEST_F(FilePropertiesTest, OpenedAtTheBottomRightItStaysInsideTheWorkArea) {
    const QString file = path("p.txt");
    WriteFile(file, 10);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QRect placed;
    run(file, false, [&](TfProperties& d) { placed = d.frameGeometry(); }, area.bottomRight());
    EXPECT_TRUE(area.contains(placed)) << placed.x() << "," << placed.y() << " " << placed.width() << "x"
                                       << placed.height() << " in " << area.width() << "x" << area.height();
}

TEST_F(FilePropertiesTest, MissingFileShowsTheError) {
    bool errorShown = false, sizeShown = true;
    QString error;
    run(path("gone.txt"), false, [&](TfProperties& d) {
        errorShown = d.lError->isVisible();
        sizeShown = d.lSize->isVisible();
        error = d.lError->text();
    });
    EXPECT_TRUE(errorShown);
    EXPECT_FALSE(sizeShown);
    EXPECT_FALSE(error.isEmpty());
}

// Read-only is the owner's write permission, which root ignores: the
// check runs as an ordinary user, in a child process when the tests run as
// root.
void ToggleReadOnlyAndCheck(TfProperties& dlg, const QString& file) {
    const QByteArray native = QFile::encodeName(file);
    bool enabled = false;
    OnNextModal([&](QWidget* form) {
        enabled = dlg.cbReadOnly->isEnabled();
        dlg.cbReadOnly->setChecked(true);
        PressFlatButton(form, "fbOk");
    });
    dlg.Execute(QPoint(10, 10), 1, file, false);
    EXPECT_TRUE(enabled);
    int fd = ::open(native.constData(), O_WRONLY);
    EXPECT_LT(fd, 0);
    EXPECT_EQ(errno, EACCES);
    if (fd >= 0) ::close(fd);

    OnNextModal([&](QWidget* form) {
        EXPECT_TRUE(dlg.cbReadOnly->isChecked());
        dlg.cbReadOnly->setChecked(false);
        PressFlatButton(form, "fbOk");
    });
    dlg.Execute(QPoint(10, 10), 1, file, false);
    fd = ::open(native.constData(), O_WRONLY);
    EXPECT_GE(fd, 0);
    if (fd >= 0) ::close(fd);
}

TEST_F(FilePropertiesTest, ReadOnlyToggledAsAnOrdinaryUser) {
    const QString child = qEnvironmentVariable("TANDEX_PROPS_READONLY_FILE");
    if (!child.isEmpty()) {
        ToggleReadOnlyAndCheck(dlg, child);
        ASSERT_TRUE(attributesChanged);
        EXPECT_EQ(attributesChanged->second & 1u, 0u);
        return;
    }
    const QString file = path("r.txt");
    WriteFile(file, 10);
    if (::geteuid() != 0) {
        ToggleReadOnlyAndCheck(dlg, file);
        return;
    }
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (setpriv.isEmpty()) GTEST_SKIP() << "setpriv is needed to run the check as an ordinary user";
    const uid_t nobody = 65534;
    ASSERT_EQ(::chown(QFile::encodeName(dir.path()).constData(), nobody, nobody), 0);
    ASSERT_EQ(::chown(QFile::encodeName(file).constData(), nobody, nobody), 0);
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TANDEX_PROPS_READONLY_FILE"), file);
    env.insert(QStringLiteral("HOME"), dir.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(dir.path());
    process.start(setpriv, {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                            QStringLiteral("--clear-groups"), QCoreApplication::applicationFilePath(),
                            QStringLiteral("--gtest_filter=FilePropertiesTest.ReadOnlyToggledAsAnOrdinaryUser")});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardOutput().toStdString()
                                     << process.readAllStandardError().toStdString();
    EXPECT_NE(process.readAllStandardOutput().indexOf("[  PASSED  ] 1 test"), -1);
}

TEST_F(FilePropertiesTest, ArchiveMemberShowsRenamesAndLocatesItsArchive) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("zip"));
    if (tool.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty())
        GTEST_SKIP() << "zip and unzip are needed to make and list the archive";
    acc::FZSetArchiveOptions(false, true, 1, QStringLiteral("*.zip;*.zipx;*.jar;*.tar;*.gz;*.bz2"), QString());
    QString previousTemp;
    acc::FZSetTempFolder(path("tmp"), previousTemp);
    ASSERT_TRUE(QDir().mkpath(path("src")));
    WriteFile(path("src/m.txt"), 700);
    // zip keeps local time in two-second steps.
    const timespec stamps[2] = {LocalStamp({2022, 7, 8}, {10, 20, 30}, 0), LocalStamp({2022, 7, 8}, {10, 20, 30}, 0)};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path("src/m.txt")).constData(), stamps, 0), 0);
    QProcess zip;
    zip.setWorkingDirectory(path("src"));
    zip.start(tool, {QStringLiteral("-q"), path("a.zip"), QStringLiteral("m.txt")});
    ASSERT_TRUE(zip.waitForFinished(30000));
    ASSERT_EQ(zip.exitCode(), 0);

    const QString member = path("a.zip/m.txt");
    QString size;
    QDateTime modified;
    bool createdOn = true, accessedOn = true, modifiedOn = false;
    run(member, false, [&](TfProperties& d) {
        size = d.lSize->text();
        modified = QDateTime(d.dModified->date(), d.tModified->time());
        createdOn = d.dCreated->isEnabled() || d.tCreated->isEnabled();
        accessedOn = d.dAccessed->isEnabled() || d.tAccessed->isEnabled();
        modifiedOn = d.dModified->isEnabled() && d.tModified->isEnabled();
        d.eName->setText(QStringLiteral("n.txt"));
    });
    EXPECT_EQ(size, QStringLiteral("700"));
    EXPECT_EQ(modified, QDateTime(QDate(2022, 7, 8), QTime(10, 20, 30)));
    EXPECT_FALSE(createdOn);
    EXPECT_FALSE(accessedOn);
    EXPECT_TRUE(modifiedOn);
    ASSERT_TRUE(renamed);
    EXPECT_EQ(renamed->second, QStringLiteral("n.txt"));

    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-Z1"), path("a.zip")});
    ASSERT_TRUE(unzip.waitForFinished(30000));
    EXPECT_EQ(QString::fromUtf8(unzip.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
              QStringList{QStringLiteral("n.txt")});
    // The file manager shows the folder that holds the archive.
    EXPECT_EQ(LocateFolder(path("a.zip/n.txt"), false), dir.path() + QLatin1Char('/'));
    acc::FZSetTempFolder(previousTemp, previousTemp);
}

}  // namespace
