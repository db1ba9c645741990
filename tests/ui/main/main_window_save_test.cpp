// The save commands in the offscreen window: the question about modified
// panes, save in place and save as through the dialog's choices.

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QRandomGenerator>

#include <csignal>
#include <functional>
#include <sys/resource.h>

#include "access/access_types.h"
#include "access/file_times.h"

#include "config/app_settings.h"
#include "config/services.h"
#include "engine/editor.h"
#include "engine/folder_rows.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "tests/engine/pane_fixture.h"
#include "tests/ui/main/edited_window_fixture.h"
#include "tests/ui/main/main_window_fixture.h"
#include "ui/main/flat_button.h"
#include "ui/main/main_window.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;

namespace {

class AnsweringSink : public config::RecordingMessageSink {
public:
    int showMessage(const config::MessageRequest& request) override {
        RecordingMessageSink::showMessage(request);
        return answer;
    }
    int answer = config::mrCancel;
};

class SaveWindowTest : public tandex::testing::MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        config::setMessageSink(&sink_);
        config::AppSettings().BKBeforeSave = false;
        engine::fccTabs().InitTabSlots();
        engine::rows().InitRows();
        engine::folderRows().InitFolderRows();
        engine::editor().InitEditor();
        window_ = std::make_unique<ui::TF_Main>();
        Watch(window_.get());
        window_->resize(1100, 600);
        window_->show();
        window_->firePendingJobs();
        dir_ = tmp_.filePath("work/");
        QDir().mkpath(dir_);
    }
    void TearDown() override {
        config::setMessageSink(nullptr);
        MainWindowFixture::TearDown();
        window_.reset();
        engine::paneStores().InitCompareData();
        engine::fccTabs().InitTabSlots();
    }
    void loadText(const QString& leftName = "left.txt") {
        auto& s = engine::paneStores();
        s.BinaryMode = 0;
        engine::testing::loadPanes({"one", "two"}, {"one", "TWO"});
        s.FileNames = {"", leftName, "right.txt"};
        s.FilePaths = {"", dir_, dir_};
        s.FileKinds = {0, 8, 8};
        s.LineEndings = {0, 2, 2};
        window_->switchView(ui::vtText, true, true);
        window_->saveTabState();
    }
    static QByteArray readAll(const QString& name) {
        QFile f(name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    int state(int pane) const {
        return engine::fccTabs().TabSlots[size_t(engine::fccTabs().CurrentTab)].FileData.PaneModifiedState[size_t(pane)];
    }

    AnsweringSink sink_;
    std::unique_ptr<ui::TF_Main> window_;
    QString dir_;
};

TEST_F(SaveWindowTest, QuestionNamesTheSideAndTheFile) {
    loadText();
    engine::fccTabs().MarkPaneModified(1);
    engine::fccTabs().MarkPaneModified(2);
    sink_.answer = config::mrNo;
    EXPECT_TRUE(window_->askSaveModified(3));
    const auto asked = sink_.messages();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].caption, "Tandex");
    EXPECT_EQ(asked[0].text, "The file in the left text compare pane is modified!\r\nDo you want to save it?\r\rFile:\r" +
                                 dir_ + "left.txt");
    EXPECT_EQ(asked[1].text, "The file in the right text compare pane is modified!\r\nDo you want to save it?\r\rFile:\r" +
                                 dir_ + "right.txt");
    EXPECT_EQ(asked[0].buttons, config::mbYes | config::mbNo | config::mbCancel);
    EXPECT_EQ(asked[0].kind, config::MsgKind::Question);

    // Declined panes are not asked again until the next load re-arms them.
    sink_.clear();
    EXPECT_TRUE(window_->askSaveModified(3));
    EXPECT_TRUE(sink_.messages().empty());
    engine::fccTabs().RearmDeclinedPanes();
    engine::paneStores().SinglePaneView = 1;
    EXPECT_TRUE(window_->askSaveModified(1));
    ASSERT_EQ(sink_.messages().size(), 1u);
    EXPECT_TRUE(sink_.messages()[0].text.startsWith("The file in the text compare pane is modified!"));
}

TEST_F(SaveWindowTest, CancelKeepsThePaneModifiedAndYesSavesIt) {
    loadText();
    engine::fccTabs().MarkPaneModified(1);
    engine::fccTabs().MarkPaneModified(2);
    sink_.answer = config::mrCancel;
    EXPECT_FALSE(window_->askSaveModified(3));
    EXPECT_EQ(sink_.messages().size(), 1u);  // stops at the left pane
    EXPECT_EQ(state(1), engine::pmModified);
    EXPECT_EQ(state(2), engine::pmModified);
    EXPECT_EQ(readAll(dir_ + "left.txt"), "<missing>");

    sink_.answer = config::mrYes;
    EXPECT_TRUE(window_->askSaveModified(1));
    EXPECT_EQ(state(1), engine::pmNotModified);
    EXPECT_EQ(readAll(dir_ + "left.txt"), "one\ntwo\n");
    EXPECT_TRUE(window_->askSaveModified(2));
    EXPECT_EQ(readAll(dir_ + "right.txt"), "one\nTWO\n");
}

TEST_F(SaveWindowTest, SaveAsWritesTheChosenEncodingAndLineEnd) {
    loadText();
    engine::fccTabs().MarkPaneModified(2);
    ui::TSaveDialogChoice seen;
    window_->SaveDialogHook = [&](ui::TSaveDialogChoice& choice) {
        seen = choice;
        choice.path = dir_ + "sub/new.txt";
        choice.encodingItem = 4;  // UTF-16 LE with its mark
        choice.lineEnd = 3;
        return true;
    };
    auto* item = window_->pmSaveFileRight->findChild<QAction*>("SaveToFileSystemR");
    ASSERT_TRUE(item);
    item->trigger();
    EXPECT_EQ(seen.title, " Save right file ");
    EXPECT_EQ(seen.defaultName, "right.txt");
    EXPECT_EQ(seen.encodingItem, 1);  // UTF-8
    EXPECT_EQ(seen.lineEnd, 2);
    EXPECT_EQ(readAll(dir_ + "sub/new.txt"), QByteArray("\xFF\xFEo\0n\0e\0\r\0T\0W\0O\0\r\0", 18));
    EXPECT_EQ(engine::paneStores().FileNames[2], "new.txt");
    EXPECT_EQ(state(2), engine::pmNotModified);
    EXPECT_FALSE(window_->findChild<QAction*>("SaveRightFile1")->isEnabled());
}

TEST_F(SaveWindowTest, SaveInPlaceOfANewComparisonPaneOpensTheSaveAsMenu) {
    loadText("NewL.txt");
    engine::fccTabs().MarkPaneModified(1);
    // As the window does when an edit marks the pane: the item follows.
    window_->updateSaveCommands();
    QMenu* shown = nullptr;
    window_->SaveAsMenuHook = [&](QMenu* menu) { shown = menu; };
    window_->findChild<QAction*>("SaveLeftFile1")->trigger();
    EXPECT_EQ(shown, window_->pmSaveFileLeft);
    EXPECT_EQ(readAll(dir_ + "NewL.txt"), "<missing>");
    EXPECT_EQ(state(1), engine::pmModified);
}

// Saving reads the written file's size and time back into the pane and its
// tab, so the details, the properties and the next comparison of times see
// the file as written; a save that fails keeps the values of the file as
// it still is on disk.
TEST_F(SaveWindowTest, SaveReadsTheWrittenSizeAndTimeBack) {
    struct Case {
        const char* name;
        bool member;
        bool failArchiveWrite;
    } cases[] = {{"local file", false, false}, {"zip member", true, false}, {"failing zip save", true, true}};
    std::signal(SIGXFSZ, SIG_IGN);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(dir_).removeRecursively();
        QDir().mkpath(dir_);
        {
            QFile old(dir_ + "left.txt");
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("an older and longer text\n");
            old.flush();
            old.setFileTime(QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)), QFileDevice::FileModificationTime);
        }
        QString folder = dir_;
        if (c.member) {
            // Stored incompressible bytes make the archive larger than the
            // file-size limit the failing case sets.
            QFile big(dir_ + "big.bin");
            ASSERT_TRUE(big.open(QIODevice::WriteOnly));
            QByteArray noise(300000, '\0');
            QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
            big.write(noise);
            big.close();
            QProcess zip;
            zip.setWorkingDirectory(dir_);
            zip.start("zip", {"-q", "-0", "a.zip", "left.txt", "big.bin"});
            ASSERT_TRUE(zip.waitForFinished(30000));
            ASSERT_EQ(zip.exitCode(), 0);
            QFile::remove(dir_ + "left.txt");
            QFile::remove(dir_ + "big.bin");
            folder = dir_ + "a.zip/";
        }
        const QByteArray archiveBefore = readAll(dir_ + "a.zip");
        loadText();
        auto& s = engine::paneStores();
        s.FilePaths[1] = folder;
        qint64 oldSize = 0;
        tandex::access::FileTime oldTime = 0;
        ASSERT_EQ(tandex::access::FZGetPathLastWriteTime(folder, "left.txt", oldSize, oldTime), 0);
        s.FileSizes[1] = oldSize;
        s.FileTimes[1] = oldTime;
        s.SideAccessKinds[1] = quint8(c.member ? tandex::access::akArchive : tandex::access::akLocal);
        window_->saveTabState();
        engine::fccTabs().MarkPaneModified(1);
        window_->updateSaveCommands();

        rlimit unlimited{};
        getrlimit(RLIMIT_FSIZE, &unlimited);
        rlimit small = unlimited;
        if (c.failArchiveWrite) small.rlim_cur = 100000;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        window_->findChild<QAction*>("SaveLeftFile1")->trigger();
        setrlimit(RLIMIT_FSIZE, &unlimited);

        qint64 size = 0;
        tandex::access::FileTime time = 0;
        ASSERT_EQ(tandex::access::FZGetPathLastWriteTime(folder, "left.txt", size, time), 0);
        const auto& data = engine::fccTabs().TabSlots[size_t(engine::fccTabs().CurrentTab)].FileData;
        if (c.failArchiveWrite) {
            EXPECT_EQ(state(1), engine::pmModified);
            EXPECT_EQ(readAll(dir_ + "a.zip"), archiveBefore);
            EXPECT_EQ(s.FileSizes[1], oldSize);
            EXPECT_EQ(s.FileTimes[1], oldTime);
        } else {
            EXPECT_EQ(state(1), engine::pmNotModified);
            EXPECT_EQ(size, 8);  // "one\ntwo\n"
            EXPECT_NE(time, oldTime);
        }
        EXPECT_EQ(s.FileSizes[1], size);
        EXPECT_EQ(s.FileTimes[1], time);
        EXPECT_EQ(data.FileSizes[1], size);
        EXPECT_EQ(data.FileTimes[1], time);
        EXPECT_EQ(s.SideAccessKinds[1], c.member ? tandex::access::akArchive : tandex::access::akLocal);
    }
}

// Files read, edited elsewhere and saved in place come back byte for byte:
// lines cut at the maximum line length are written whole again, NULs stay.
class SaveRoundTripTest : public tandex::testing::EditedWindowFixture {
protected:
    QString bytesFile(const QString& name, const QByteArray& bytes) {
        const QString path = dir_.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        return path;
    }
    ui::TF_Main& loadBytes(const QByteArray& left, const QByteArray& right) {
        ui::TF_Main& w = makeWindow();
        config::AppSettings().TCSelFirstDif = false;
        config::AppSettings().TEEnabled = true;
        config::AppSettings().BKBeforeSave = false;
        w.loadAndCompare(3, bytesFile("left.txt", left), bytesFile("right.txt", right));
        w.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
        w.FormActivate();
        settle();
        return w;
    }
    QByteArray saveLeft() {
        window_->findChild<QAction*>("SaveLeftFile1")->trigger();
        QFile f(dir_.filePath("left.txt"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    // The row showing the start of the left pane's line that begins with text.
    static int rowOf(const QString& start) {
        const auto& r = engine::rows();
        for (int row = 0; row < r.TextRowCount; ++row)
            if (!r.IsRowMissing(1, row) && r.RowPlainText(1, row).startsWith(start)) return row;
        return -1;
    }
};

// The same text in each encoding family the reader knows; "X" typed into
// the first line must be the only change after saving.
TEST_F(SaveRoundTripTest, LongLinesAndNulsSaveBackAsRead) {
    QString text = QStringLiteral("first \u00E9\r\n");
    for (int n : {1023, 1024, 1025, 5000, 20000})
        text += QString(n, QChar(u'a' + n % 26)) + QStringLiteral("\r\n");
    text += QStringLiteral("nul") + QChar(0) + QChar(0) + QStringLiteral("after\r\nlast\r\n");
    const auto utf16 = [](const QString& t, bool big) {
        QByteArray out = big ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE");
        for (QChar c : t) {
            const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
            out += big ? QByteArray{&hi, 1} + QByteArray{&lo, 1} : QByteArray{&lo, 1} + QByteArray{&hi, 1};
        }
        return out;
    };
    struct Case {
        const char* name;
        QByteArray before, after;
        int kind;
    } cases[] = {
        {"UTF-8", text.toUtf8(), ("X" + text).toUtf8(), tandex::access::fkUtf8},
        {"ANSI", text.toLatin1(), ("X" + text).toLatin1(), tandex::access::fkAnsi},
        {"UTF-16 LE", utf16(text, false), utf16("X" + text, false), tandex::access::fkUtf16LeBom},
        {"UTF-16 BE", utf16(text, true), utf16("X" + text, true), tandex::access::fkUtf16BeBom},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui::TF_Main& w = loadBytes(c.before, "first\nother\n");
        ASSERT_EQ(engine::paneStores().FileKinds[1], c.kind);
        EXPECT_EQ(engine::paneStores().FileLineCount(1), 8);
        if (c.kind == tandex::access::fkUtf8) {
            // To look at: continuation rows without numbers, the NULs' symbol.
            w.gotoLine(1, 30, 0);
            settle();
            std::printf("grab: %s\n", qPrintable(tandex::testing::GrabToPng(&w, "SaveRoundTrip.LongLines")));
        }
        caretTo(1, rowOf(QStringLiteral("first")));
        type(QStringLiteral("X"));
        EXPECT_TRUE(engine::fccTabs().IsPaneModified(1));
        const QByteArray saved = saveLeft();
        EXPECT_TRUE(saved == c.after) << saved.size() << " bytes, expected " << c.after.size();
        EXPECT_FALSE(engine::fccTabs().IsPaneModified(1));
        w.close();
    }
}

// Edits at the cut between two rows of one line: typing in the second row
// adds no break; Enter makes one and its undo takes it back; joining the
// two rows and undoing that leaves the line as it was.
TEST_F(SaveRoundTripTest, EditsAtACutKeepTheLineWhole) {
    const QByteArray line = QByteArray(1024, 'a') + QByteArray(300, 'b');
    const QByteArray before = "top\n" + line + "\nend\n";
    struct Step {
        const char* name;
        std::function<void(SaveRoundTripTest&, int row)> edit;  // row: the cut line's second row
        QByteArray after;
    };
    const std::vector<Step> steps = {
        {"type in the continuation", [](SaveRoundTripTest& t, int row) { caretTo(3, row); t.type("Z"); },
         "top\n" + QByteArray(1024, 'a') + "bbZ" + QByteArray(298, 'b') + "\nend\n"},
        {"Enter in the continuation",
         [](SaveRoundTripTest& t, int row) { caretTo(3, row); t.press(Qt::Key_Return); },
         "top\n" + QByteArray(1024, 'a') + "bb\n" + QByteArray(298, 'b') + "\nend\n"},
        {"Enter, then undo",
         [](SaveRoundTripTest& t, int row) {
             caretTo(3, row);
             t.press(Qt::Key_Return);
             t.undoAll(1);
         },
         before},
        {"Backspace at the cut, then undo",
         [](SaveRoundTripTest& t, int row) {
             caretTo(1, row);
             t.press(Qt::Key_Backspace);
             t.undoAll(1);
         },
         before},
        {"the continuation deleted whole, then undo",
         [](SaveRoundTripTest& t, int row) {
             t.select(1, row, 1, row + 1);
             t.press(Qt::Key_Delete);
             t.undoAll(1);
         },
         before},
        {"the continuation deleted whole",
         [](SaveRoundTripTest& t, int row) {
             t.select(1, row, 1, row + 1);
             t.press(Qt::Key_Delete);
         },
         "top\n" + QByteArray(1024, 'a') + "\nend\n"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        ui::TF_Main& w = loadBytes(before, "top\nend\n");
        const int row = rowOf(QStringLiteral("b"));
        ASSERT_GT(row, 0);
        EXPECT_EQ(engine::rows().RowNumberText(1, row).trimmed(), QString());
        EXPECT_EQ(engine::rows().RowNumberText(1, row + 1).trimmed(), QStringLiteral("3"));
        step.edit(*this, row);
        // An undo back to the start leaves nothing to save: save anyway.
        engine::fccTabs().MarkPaneModified(1);
        w.updateSaveCommands();
        EXPECT_TRUE(saveLeft() == step.after);
        EXPECT_FALSE(engine::fccTabs().IsPaneModified(1));
        w.close();
    }
}

// A file of exactly 100,000 lines, four of them longer than the limit,
// numbers its last line 100,000 and counts 100,000 lines.
TEST_F(SaveRoundTripTest, LineNumbersCountTheFilesLines) {
    QByteArray content;
    content.reserve(1'000'000);
    for (int i = 1; i <= 100'000; ++i) {
        if (i % 25'000 == 1)
            content += QByteArray(1500, 'x');
        else
            content += QByteArray::number(i);
        content += '\n';
    }
    loadBytes(content, "1\n");
    const auto& r = engine::rows();
    EXPECT_EQ(engine::paneStores().FileLineCount(1), 100'000);
    int last = r.TextRowCount - 1;
    while (last > 0 && r.IsRowMissing(1, last)) --last;
    EXPECT_EQ(r.RowNumberText(1, last).trimmed(), QStringLiteral("100000"));
    EXPECT_EQ(r.RowNumberText(1, last - 1).trimmed(), QStringLiteral("99999"));
    EXPECT_EQ(r.LineNumberWidth, 6);
}

}  // namespace
