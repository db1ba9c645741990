// Saving a pane's text: byte-exact output per encoding and line end, the
// backup and overwrite question, and that no failure or cancel changes the
// original file.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QDateTime>
#include <QLabel>
#include <QProcess>
#include <QRandomGenerator>
#include <QStringEncoder>

#include <csignal>
#include <deque>
#include <sys/resource.h>
#include <sys/stat.h>

#include "access/access_slots.h"
#include "access/text_files.h"
#include "config/app_settings.h"
#include "config/services.h"
#include "engine/pane_stores.h"
#include "engine/tab_slots.h"
#include "engine/undo_stack.h"
#include "tests/access/as_nobody.h"
#include "tests/ui/main/main_window_fixture.h"
#include "ui/main/main_window_seams.h"
#include "ui/main/pane_save.h"

namespace tandex::ui {
namespace {

using namespace tandex::access;
using tandex::testing::MainWindowFixture;

// Answers the error dialog's questions from a script, "No" when it runs out.
class ScriptedErrorDialog : public ErrorDialogServices {
public:
    int Ask(const QString&, const QString& errorText, bool partly, int, bool) override {
        (partly ? partlyAsks : errorAsks).push_back(errorText);
        std::deque<int>& script = partly ? keepAnswers : retryAnswers;
        const int answer = script.empty() ? eaNo : script.front();
        if (!script.empty()) script.pop_front();
        return answer;
    }
    int ErrorAnswer() const override { return eaNo; }
    int PartlyAnswer() const override { return eaNo; }
    void Reset() override {}
    void ResetRetries(int) override {}
    void CountRetry(int) override { ++retries; }
    bool RetriesExhausted(int) const override { return retries >= 5; }
    void RetryDelay() override {}

    std::deque<int> retryAnswers, keepAnswers;
    QStringList errorAsks, partlyAsks;
    int retries = 0;
};

class AnsweringSink : public config::RecordingMessageSink {
public:
    int showMessage(const config::MessageRequest& request) override {
        RecordingMessageSink::showMessage(request);
        return answer;
    }
    int answer = config::mrYes;
};

class PaneSave : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        setErrorDialog(&dialog_);
        config::setMessageSink(&sink_);
        config::setProgressSink(&progress_);
        auto& settings = config::AppSettings();
        settings.BKBeforeSave = true;
        settings.BKUseSequence = true;
        settings.BKUseFolder = false;
        settings.CFOverwrite = true;
        settings.TETrimWSEOL = false;
        engine::fccTabs().InitTabSlots();
        engine::paneStores().InitCompareData();
        dir_ = tmp_.filePath("work");
        QDir().mkpath(dir_);
    }
    void TearDown() override {
        setErrorDialog(nullptr);
        config::setMessageSink(nullptr);
        config::setProgressSink(nullptr);
        engine::paneStores().InitCompareData();
        engine::fccTabs().InitTabSlots();
        MainWindowFixture::TearDown();
    }

    // Pane 1 gets the lines given, a gap row after the first, and the
    // store-full marker at the end; the pane is marked modified.
    void fillPane(const QStringList& lines) {
        auto& s = engine::paneStores();
        auto& store = s.TextLines[1];
        int row = 0, number = 0;
        for (const QString& text : lines) {
            auto* line = store.New(row++);
            line->Text = text;
            line->LineNumber = ++number;
            if (number == 1) ++row;  // a gap row
        }
        auto* marker = store.New(row++);
        marker->Text = engine::kMaxEntryText;
        marker->LineNumber = -1;
        s.LineCount[1] = number;
        s.MaxLineCount = row;
        engine::fccTabs().TabSlots[0].InUse = 1;
        engine::fccTabs().MarkPaneModified(1);
    }
    bool modified() const { return engine::fccTabs().IsTabPaneModified(0, 1); }
    QString path(const QString& name) const { return dir_ + "/" + name; }
    static QByteArray readAll(const QString& name) {
        QFile f(name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static void writeFile(const QString& name, const QByteArray& data) {
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    QStringList entries() const { return QDir(dir_).entryList(QDir::Files | QDir::Hidden | QDir::System); }
    // Puts the work folder's files named into a.zip with the zip program
    // (stored, so the archive is as large as they are) and removes them.
    void zipFiles(const QStringList& names) {
        QProcess zip;
        zip.setWorkingDirectory(dir_);
        zip.start(QStringLiteral("zip"), QStringList{QStringLiteral("-q"), QStringLiteral("-0"),
                                                      QStringLiteral("-m"), QStringLiteral("a.zip")} + names);
        ASSERT_TRUE(zip.waitForFinished(30000));
        ASSERT_EQ(zip.exitCode(), 0);
    }
    bool sawNotSaved() const {
        for (const auto& m : sink_.messages())
            if (m.text.startsWith("The file was not saved!\r") && m.caption == "Tandex") return true;
        return false;
    }
    bool sawOverwriteQuestion() const {
        for (const auto& m : sink_.messages())
            if (m.caption == " File already exist! ") return true;
        return false;
    }

    ScriptedErrorDialog dialog_;
    AnsweringSink sink_;
    config::SilentProgress progress_;
    QString dir_;
};

QByteArray encoded(const QString& text, int kind) {
    switch (kind) {
        case fkAnsi: return text.toLatin1();
        case fkUtf8:
        case fkUtf8Bom: return text.toUtf8();
        default: {
            QStringEncoder enc(kind == fkUtf16Le || kind == fkUtf16LeBom ? QStringConverter::Utf16LE
                                                                       : QStringConverter::Utf16BE);
            return enc.encode(text);
        }
    }
}

QByteArray bomOf(int kind) {
    switch (kind) {
        case fkUtf8Bom: return "\xEF\xBB\xBF";
        case fkUtf16LeBom: return "\xFF\xFE";
        case fkUtf16BeBom: return "\xFE\xFF";
        default: return {};
    }
}

TEST_F(PaneSave, WritesEveryEncodingAndLineEndByteExactWithoutGapsOrMarker) {
    const QStringList lines{QStringLiteral("caf\u00E9"), QStringLiteral("x y")};
    const QString ends[] = {{}, QStringLiteral("\r\n"), QStringLiteral("\n"), QStringLiteral("\r")};
    for (int item = 0; item < kSaveEncodingItems; ++item) {
        for (int end = 1; end <= 3; ++end) {
            SCOPED_TRACE(item * 10 + end);
            engine::paneStores().InitCompareData();
            fillPane(lines);
            const QString target = path(QStringLiteral("out%1%2.txt").arg(item).arg(end));
            const TPaneSaveResult r = SavePaneText(0, 1, target, item, end);
            EXPECT_TRUE(r.saved);
            const int kind = KindOfSaveItem(item);
            EXPECT_EQ(readAll(target), bomOf(kind) + encoded(lines.join(ends[end]) + ends[end], kind));
            EXPECT_FALSE(modified());
        }
    }
    EXPECT_TRUE(sink_.messages().empty());
    EXPECT_EQ(entries().size(), kSaveEncodingItems * 3);  // nothing else left behind
}

TEST_F(PaneSave, EncodingItemsMapBothWaysAndUntitledStartsWithUtf8) {
    for (int item = 0; item < kSaveEncodingItems; ++item) EXPECT_EQ(SaveItemOfKind(KindOfSaveItem(item)), item);
    EXPECT_EQ(SaveItemOfKind(fkAnsi), 0);
    EXPECT_EQ(SaveItemOfKind(fkUtf16BeBom), 6);
    EXPECT_EQ(SaveDialogItem(fkUtf16Le, 0, false, true), 3);
    EXPECT_EQ(SaveDialogItem(fkPlugin, fkUtf8Bom, false, true), 2);
    EXPECT_EQ(SaveDialogItem(0, 0, true, false), SaveItemOfKind(fkUtf8));
    EXPECT_EQ(SaveDialogItem(0, 0, true, true), -1);
    EXPECT_EQ(SaveDialogItem(fkBinary, 0, false, false), -1);
}

TEST_F(PaneSave, OverwriteIsBackedUpAndAskedOnlyWithTheSetting) {
    const QString target = path("f.txt");
    writeFile(target, "old");
    fillPane({"new"});
    sink_.answer = config::mrNo;
    EXPECT_FALSE(ConfirmOverwrite(target));
    EXPECT_TRUE(sawOverwriteQuestion());
    EXPECT_EQ(readAll(target), "old");
    EXPECT_EQ(sink_.messages().front().text, "Overwrite the file:\r" + target);

    sink_.clear();
    config::AppSettings().CFOverwrite = false;
    EXPECT_TRUE(ConfirmOverwrite(target));
    EXPECT_FALSE(sawOverwriteQuestion());
    EXPECT_TRUE(SavePaneText(0, 1, target, 0, 2).saved);
    EXPECT_EQ(readAll(target), "new\n");
    EXPECT_EQ(readAll(target + ".~1~"), "old");
}

TEST_F(PaneSave, WriteFailingPartWayLeavesTheOriginalAndThePaneModified) {
    const QString target = path("f.txt");
    writeFile(target, "precious");
    config::AppSettings().BKUseFolder = true;  // a copied backup: the original stays in place
    config::AppSettings().BKFolder = tmp_.filePath("backups");
    QDir().mkpath(config::AppSettings().BKFolder);
    QStringList lines;
    for (int i = 0; i < 20000; ++i) lines << QString(60, QChar('a' + i % 26));
    fillPane(lines);
    dialog_.retryAnswers = {eaYes};
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 100000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const TPaneSaveResult r = SavePaneText(0, 1, target, 1, 1);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(r.saved);
    EXPECT_EQ(dialog_.retries, 1);
    EXPECT_EQ(dialog_.partlyAsks.size(), 1);
    EXPECT_EQ(readAll(target), "precious");
    EXPECT_EQ(entries(), QStringList{"f.txt"});
    EXPECT_TRUE(modified());
    EXPECT_TRUE(sawNotSaved());
}

TEST_F(PaneSave, PathThroughARegularFileCountsRetriesAndReports) {
    writeFile(path("plain"), "x");
    fillPane({"a"});
    dialog_.retryAnswers = {eaYes, eaYes, eaNo};
    const TPaneSaveResult r = SavePaneText(0, 1, path("plain/sub/f.txt"), 1, 1);
    EXPECT_FALSE(r.saved);
    EXPECT_EQ(dialog_.retries, 2);
    EXPECT_EQ(dialog_.errorAsks.size(), 3);
    EXPECT_EQ(readAll(path("plain")), "x");
    EXPECT_TRUE(modified());
    EXPECT_TRUE(sawNotSaved());
}

TEST_F(PaneSave, ReadOnlyFolderLeavesTheOriginal) {
    if (::geteuid() == 0) return tandex::testing::RunAsNobody();
    const QString target = path("f.txt");
    writeFile(target, "precious");
    ASSERT_EQ(::chmod(QFile::encodeName(dir_).constData(), 0555), 0);
    fillPane({"new"});
    const TPaneSaveResult r = SavePaneText(0, 1, target, 1, 1);
    ::chmod(QFile::encodeName(dir_).constData(), 0755);
    EXPECT_FALSE(r.saved);
    EXPECT_EQ(readAll(target), "precious");
    EXPECT_EQ(entries(), QStringList{"f.txt"});
    EXPECT_TRUE(modified());
    EXPECT_TRUE(sawNotSaved());
}

TEST_F(PaneSave, CancelLeavesTheOriginalAndNoTemporaryFile) {
    const QString target = path("f.txt");
    writeFile(target, "precious");
    QStringList lines;
    for (int i = 0; i < 5000; ++i) lines << QStringLiteral("line %1").arg(i);
    fillPane(lines);
    progress_.requestCancel();
    const TPaneSaveResult r = SavePaneText(0, 1, target, 1, 1);
    EXPECT_TRUE(r.cancelled);
    EXPECT_FALSE(r.saved);
    // The backup moved the file away first; the cancelled save puts it back.
    EXPECT_EQ(readAll(target), "precious");
    EXPECT_TRUE(dialog_.partlyAsks.isEmpty());
    EXPECT_EQ(entries(), QStringList{"f.txt"});
    EXPECT_TRUE(modified());
}

TEST_F(PaneSave, KeepAfterAFailedWritePutsThePartialFileInPlace) {
    const QString target = path("f.txt");
    writeFile(target, "precious");
    QStringList lines;
    for (int i = 0; i < 20000; ++i) lines << QString(60, 'k');
    fillPane(lines);
    dialog_.keepAnswers = {eaYes};
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 200000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const TPaneSaveResult r = SavePaneText(0, 1, target, 1, 2);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(r.saved);
    EXPECT_TRUE(r.keptPartial);
    const QByteArray partial = readAll(target);
    EXPECT_GT(partial.size(), 0);
    EXPECT_LE(partial.size(), 200000);
    EXPECT_TRUE(partial.startsWith(QByteArray(60, 'k') + '\n'));
    EXPECT_EQ(readAll(target + ".~1~"), "precious");
    EXPECT_EQ(entries(), (QStringList{"f.txt", "f.txt.~1~"}));
    EXPECT_TRUE(modified());
    EXPECT_TRUE(sawNotSaved());
}

TEST_F(PaneSave, SavedPaneKeepsItsUndoPastTheSaveOnlyWithTheSetting) {
    fillPane({"a"});
    auto& undo = engine::undoStack();
    undo.ClearUndo(1);
    undo.PushUndo(engine::ukTyped, 1, 1, "a", 1);
    config::AppSettings().TEUndoPastSav = true;
    ASSERT_TRUE(SavePaneText(0, 1, path("u.txt"), 1, 1).saved);
    EXPECT_EQ(undo.UndoMark[1], 1);
    EXPECT_TRUE(undo.HasUndo(1));
    config::AppSettings().TEUndoPastSav = false;
    engine::fccTabs().MarkPaneModified(1);
    ASSERT_TRUE(SavePaneText(0, 1, path("u.txt"), 1, 1).saved);
    EXPECT_FALSE(undo.HasUndo(1));
}

TEST_F(PaneSave, SaveDialogCarriesTheCodingAndLineTerminationRows) {
    TSaveDialogChoice choice;
    choice.title = " Save left file ";
    choice.folder = dir_;
    choice.defaultName = "a.txt";
    choice.encodingItem = 3;
    choice.lineEnd = 2;
    std::unique_ptr<QFileDialog> dlg(CreateSaveTextDialog(nullptr, choice));
    Watch(dlg.get());
    QStringList labels;
    for (auto* l : dlg->findChildren<QLabel*>()) labels << l->text();
    EXPECT_TRUE(labels.contains("File Coding:"));
    EXPECT_TRUE(labels.contains("Line Termination:"));
    auto* coding = dlg->findChild<QComboBox*>("cbFileCoding");
    auto* ends = dlg->findChild<QComboBox*>("cbLineTermination");
    ASSERT_TRUE(coding && ends);
    EXPECT_EQ(coding->count(), 7);
    EXPECT_EQ(coding->currentIndex(), 3);
    EXPECT_EQ(ends->itemText(0), "Windows - CR/LF");
    EXPECT_EQ(ends->itemText(2), "Macintosh - CR");
    EXPECT_EQ(ends->currentIndex(), 1);
    coding->setCurrentIndex(6);
    ends->setCurrentIndex(2);
    TSaveDialogChoice back;
    ReadSaveTextDialog(dlg.get(), back);
    EXPECT_EQ(back.encodingItem, 6);
    EXPECT_EQ(back.lineEnd, 3);

    choice.encodingItem = -1;
    std::unique_ptr<QFileDialog> plain(CreateSaveTextDialog(nullptr, choice));
    EXPECT_EQ(plain->findChild<QComboBox*>("cbFileCoding"), nullptr);
}

QByteArray runTool(const QString& program, const QStringList& arguments, int* exitCode = nullptr) {
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(30000);
    if (exitCode) *exitCode = p.exitCode();
    return p.readAllStandardOutput();
}

// A member saved in place goes back into its archive with the save's time;
// the archive's other members stay as they were.
TEST_F(PaneSave, MemberSavedInPlaceGoesBackIntoItsZip) {
    writeFile(path("f.txt"), "old\n");
    writeFile(path("g.txt"), "other\n");
    {
        QFile old(path("f.txt"));
        ASSERT_TRUE(old.open(QIODevice::ReadWrite));
        old.setFileTime(QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)), QFileDevice::FileModificationTime);
    }
    ASSERT_NO_FATAL_FAILURE(zipFiles({QStringLiteral("f.txt"), QStringLiteral("g.txt")}));
    config::AppSettings().BKBeforeSave = false;

    fillPane({QStringLiteral("new"), QStringLiteral("text")});
    const QDateTime before = QDateTime::currentDateTime().addSecs(-2);
    const TPaneSaveResult r = SavePaneText(0, 1, path("a.zip/f.txt"), SaveItemOfKind(fkUtf8), 2);
    EXPECT_TRUE(r.saved) << r.code;
    EXPECT_FALSE(modified());
    const QString archive = path("a.zip");
    EXPECT_EQ(runTool(QStringLiteral("unzip"), {QStringLiteral("-p"), archive, QStringLiteral("f.txt")}), "new\ntext\n");
    EXPECT_EQ(runTool(QStringLiteral("unzip"), {QStringLiteral("-p"), archive, QStringLiteral("g.txt")}), "other\n");
    int code = -1;
    runTool(QStringLiteral("unzip"), {QStringLiteral("-tq"), archive}, &code);
    EXPECT_EQ(code, 0);
    // "unzip -Z -T" lists the member's time as yyyymmdd.hhmmss.
    const QByteArray listing = runTool(QStringLiteral("unzip"), {QStringLiteral("-Z"), QStringLiteral("-T"), archive});
    const int at = listing.indexOf(" f.txt");
    ASSERT_GT(at, 16);
    const QDateTime stamp =
        QDateTime::fromString(QString::fromLatin1(listing.mid(at - 15, 15)), QStringLiteral("yyyyMMdd.HHmmss"));
    EXPECT_TRUE(stamp.isValid() && stamp >= before) << listing.constData();
}

// When the archive cannot be written, the member is not saved: the archive
// on disk stays byte-identical, no temporary file is left beside it, and
// the pane stays modified with the message.
TEST_F(PaneSave, FailedArchiveWriteLeavesTheZipByteIdentical) {
    if (::geteuid() == 0) return tandex::testing::RunAsNobody();
    struct Case {
        const char* name;
        bool readOnlyFolder;
        rlim_t sizeLimit;  // 0: none
    } cases[] = {{"read-only folder", true, 0}, {"file-size limit", false, 100000}};
    std::signal(SIGXFSZ, SIG_IGN);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(dir_).removeRecursively();
        QDir().mkpath(dir_);
        writeFile(path("f.txt"), "old\n");
        QByteArray noise(300000, '\0');
        QRandomGenerator(3).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        writeFile(path("big.bin"), noise);
        ASSERT_NO_FATAL_FAILURE(zipFiles({QStringLiteral("f.txt"), QStringLiteral("big.bin")}));
        const QByteArray before = readAll(path("a.zip"));
        engine::paneStores().InitCompareData();
        fillPane({QStringLiteral("new")});
        sink_.clear();

        if (c.readOnlyFolder) {
            ASSERT_EQ(::chmod(QFile::encodeName(dir_).constData(), 0555), 0);
        }
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit limited = old;
        if (c.sizeLimit) limited.rlim_cur = c.sizeLimit;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
        const TPaneSaveResult r = SavePaneText(0, 1, path("a.zip/f.txt"), SaveItemOfKind(fkUtf8), 2);
        setrlimit(RLIMIT_FSIZE, &old);
        ::chmod(QFile::encodeName(dir_).constData(), 0755);

        EXPECT_FALSE(r.saved);
        EXPECT_NE(r.code, 0);
        EXPECT_EQ(readAll(path("a.zip")), before);
        EXPECT_EQ(entries(), QStringList{"a.zip"});
        EXPECT_TRUE(modified());
        EXPECT_TRUE(sawNotSaved());
    }
}

}  // namespace
}  // namespace tandex::ui
