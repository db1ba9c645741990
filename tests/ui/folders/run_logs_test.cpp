#include "ui/folders/run_logs.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>

#include <sys/resource.h>
#include <sys/stat.h>
#include <csignal>

#include "access/error_texts.h"
#include "config/prg_dir.h"
#include "config/services.h"
#include "tests/access/as_nobody.h"
#include "ui/main/rtf_reader.h"

using namespace tandex::folders;
namespace config = tandex::config;

namespace {

const QByteArray kGoldenHead =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1031{\\fonttbl{\\f0\\fswiss\\fcharset0 Courier New;}}\r\n"
    "{\\colortbl ;\\red0\\green0\\blue0;\\red255\\green0\\blue0;\\red128\\green0\\blue0;}\r\n"
    "{\\*\\generator fc3,2,1;}\\viewkind4\\uc1\\pard\\cf1\\f0\\fs18 \r\n"
    "\r\n";

class RunLogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        config::TPrgDirSources sources;
        sources.executablePath = tmp.filePath("bin/tandex");
        sources.configHome = tmp.filePath("cfg");
        config::SetPrgDir(std::make_unique<config::TPrgDir>(sources));
        ASSERT_TRUE(QDir().mkpath(config::PrgDir().GetWritableRoot()));
        config::setMessageSink(&messages);
    }
    void TearDown() override {
        config::setMessageSink(nullptr);
        config::SetPrgDir(nullptr);
    }

    // The copy log's colours and a header for three files.
    void open(int n = kCompareLog) {
        for (quint32 c : {0u, 255u, 128u}) logs.AddLogColor(n, c);
        ASSERT_EQ(logs.OpenLog(n, 3, 2, 1), 0);
    }
    void entry(int n, const QString& source, const QString& dest, const QString& result) {
        logs.AddLogLine(n, "Copy " + source, true);
        logs.AddLogLine(n, "to   " + dest, true);
        logs.AddLogLine(n, result, false);
        logs.AddLogLine(n, QString(), false);
    }
    static QByteArray read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir tmp;
    config::RecordingMessageSink messages;
    TRunLogs logs;
};

TEST_F(RunLogsTest, WritesTheHeaderEscapedLinesAndClosingBraceByteForByte) {
    open();
    EXPECT_EQ(logs.AddLogLine(0, "/a\\b\\", true), 0);
    EXPECT_EQ(logs.AddLogLine(0, QString(), true), 0);
    EXPECT_EQ(logs.AddLogLine(0, "\\b  ERROR: \\b0", false), 0);
    // A second open keeps what was collected.
    EXPECT_EQ(logs.OpenLog(0, 9, 9, 9), 1);
    EXPECT_EQ(logs.CloseLog(0), 0);
    EXPECT_EQ(read(LogFilePath(0)), kGoldenHead + "/a\\\\b\\\\\\par\r\n\\par\r\n\\b  ERROR: \\b0\\par\r\n}\r\n");
    EXPECT_TRUE(LogFilePath(0).endsWith("/cfg/tandex/Tandex.log0"));
    EXPECT_TRUE(messages.messages().empty());

    // Closed, the log takes nothing more; the font stays and the colours
    // start anew; a run without colours still writes a whole table.
    EXPECT_EQ(logs.AddLogLine(0, "late", false), 1);
    EXPECT_EQ(logs.UpdateLogCounts(0, 1, 1, 0), 1);
    EXPECT_EQ(logs.CloseLog(0), 1);
    logs.SetLogFont(0, 11, "Mono {x}");
    ASSERT_EQ(logs.OpenLog(0, 0, 0, 0), 0);
    EXPECT_EQ(logs.UpdateLogCounts(0, 7, 5, 1), 0);
    EXPECT_EQ(logs.CloseLog(0), 0);
    EXPECT_EQ(read(LogFilePath(0)),
              "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1031{\\fonttbl{\\f0\\fswiss\\fcharset0 Mono \\{x\\};}}\r\n"
              "{\\colortbl ;}\r\n"
              "{\\*\\generator fc7,5,1;}\\viewkind4\\uc1\\pard\\cf1\\f0\\fs22 \r\n"
              "\r\n}\r\n");

    // Numbers outside 0..3 do nothing.
    for (int n : {-1, 4}) {
        logs.SetLogFont(n, 9, "x");
        logs.AddLogColor(n, 0);
        EXPECT_EQ(logs.OpenLog(n, 0, 0, 0), 1);
        EXPECT_EQ(logs.AddLogLine(n, "x", true), 1);
        EXPECT_EQ(logs.UpdateLogCounts(n, 0, 0, 0), 1);
        EXPECT_EQ(logs.CloseLog(n), 1);
    }
}

TEST_F(RunLogsTest, EscapingKeepsGroupsBalancedAndTheFileSevenBit) {
    struct Case {
        QString text;
        const char* escaped;
    } cases[] = {
        {"C:\\dir\\", "C:\\\\dir\\\\"},
        {"{a}", "\\{a\\}"},
        {QString::fromUtf8("\u00e4"), "\\u228?"},
        {QString::fromUtf8("\u20ac"), "\\u8364?"},
        {QString::fromUtf8("\U0001F600"), "\\u-10179?\\u-8704?"},
        {"a\nb\tc", "a\\u10?b\\u9?c"},
        {QString(QChar(0x7F)) + "~", "\\u127?~"},
    };
    for (const Case& c : cases) EXPECT_EQ(EscapeLogText(c.text), c.escaped) << c.escaped;

    // Written and read back, every name and colour comes out as it went in.
    const QStringList names = {"/d/{braces}", "/d/back\\slash\\", QString::fromUtf8("/d/\u00e4\U0001F600"),
                               "/d/line\nbreak"};
    open(kCopyLog);
    for (const QString& name : names)
        entry(kCopyLog, name, "/e" + name, " =>  COPY-RESULT:\\cf2  ERROR: \\cf1 " + EscapeLogText(name));
    ASSERT_EQ(logs.CloseLog(kCopyLog), 0);
    const QByteArray bytes = read(LogFilePath(kCopyLog));
    for (const char b : bytes) ASSERT_LT(quint8(b), 128u);

    QTextDocument doc;
    ASSERT_TRUE(tandex::ui::ReadRtf(bytes, doc));
    QStringList blocks;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) blocks << b.text();
    QStringList expected;
    for (QString name : names) {
        name.replace('\n', QChar::LineSeparator);
        expected << "Copy " + name << "to   /e" + name << " =>  COPY-RESULT: ERROR: " + name << "";
    }
    expected << "";
    EXPECT_EQ(blocks, expected);
    // The result line turns red at its error and black again behind it.
    const QTextBlock result = doc.findBlockByNumber(2);
    auto colourAt = [&result](int offset) {
        for (auto it = result.begin(); !it.atEnd(); ++it)
            if (it.fragment().contains(result.position() + offset)) return it.fragment().charFormat().foreground().color();
        return QColor();
    };
    EXPECT_EQ(colourAt(0), QColor(0, 0, 0));
    EXPECT_EQ(colourAt(int(QString(" =>  COPY-RESULT:").size()) + 1), QColor(255, 0, 0));
}

TEST_F(RunLogsTest, FilterKeepsMatchingEntriesWhole) {
    open();
    entry(0, "/s/a", "/d/a", " =>  COPY-RESULT: OK!");
    entry(0, "/s/x\\y", "/d/x\\y", " =>  COPY-RESULT: OK!");
    entry(0, "/s/b", "/d/b", " =>  COPY-RESULT:\\b  ERROR: \\b0");
    ASSERT_EQ(logs.CloseLog(0), 0);
    const QString log = LogFilePath(0), filtered = LogFilterPath();
    EXPECT_TRUE(filtered.endsWith("Tandex.logtmp"));

    struct Case {
        const char* text;
        bool freeText;
        int matches;
        QByteArray body;
    } cases[] = {
        {" ERROR: ", false, 1, "Copy /s/b\\par\r\nto   /d/b\\par\r\n =>  COPY-RESULT:\\b  ERROR: \\b0\\par\r\n\\par\r\n"},
        // A path is matched only by free text, and as it was written.
        {"x\\y", false, 0, ""},
        {"x\\y", true, 1,
         "Copy /s/x\\\\y\\par\r\nto   /d/x\\\\y\\par\r\n =>  COPY-RESULT: OK!\\par\r\n\\par\r\n"},
        {"nowhere", true, 0, ""},
    };
    for (const Case& c : cases) {
        int matches = -1;
        EXPECT_EQ(FilterLogFile(log, filtered, c.text, c.freeText, matches), 0) << c.text;
        EXPECT_EQ(matches, c.matches) << c.text;
        EXPECT_EQ(read(filtered), kGoldenHead + c.body + "}\r\n") << c.text;
    }

    TLogCounts counts;
    EXPECT_EQ(ReadLogCounts(log, counts), 0);
    EXPECT_EQ(counts.total, 3);
    EXPECT_EQ(counts.successful, 2);
    EXPECT_EQ(counts.errors, 1);
    EXPECT_EQ(counts.skipped(), 0);
    int matches = -1;
    EXPECT_NE(FilterLogFile(tmp.filePath("none.log0"), filtered, "x", true, matches), 0);
    EXPECT_EQ(matches, 0);
    EXPECT_NE(ReadLogCounts(tmp.filePath("none.log0"), counts), 0);
    for (const char* bad : {"{\\*\\generator fc1,2;}\\viewkind4", "{\\*\\generator fc1,x,3;}\\viewkind4", "\\par"})
        EXPECT_FALSE(ParseLogCounts(bad, counts)) << bad;
    EXPECT_EQ(counts.total, 0);
}

// A log that cannot be written leaves the previous one as it was.
class RunLogsFailureTest : public RunLogsTest {
protected:
    void writePrevious() {
        QFile f(LogFilePath(kCompareLog));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(previous);
    }
    void expectWarningAndPreviousLog(int result) {
        ASSERT_NE(result, 0);
        const auto shown = messages.messages();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].caption, "Tandex");
        EXPECT_EQ(shown[0].kind, config::MsgKind::Warning);
        EXPECT_EQ(shown[0].text, "Failed to open/write the Logfile:\r\n" + LogFilePath(kCompareLog) + "\r\n\n" +
                                     tandex::access::FZErrorText(-result, tandex::access::eoOpenWrite));
        EXPECT_EQ(read(LogFilePath(kCompareLog)), previous);
        EXPECT_FALSE(logs.IsOpen(kCompareLog));
    }
    const QByteArray previous = kGoldenHead + "kept\\par\r\n}\r\n";
};

TEST_F(RunLogsFailureTest, OpenFailingInAReadOnlyFolder) {
    if (::geteuid() == 0) return tandex::testing::RunAsNobody();
    writePrevious();
    const QByteArray folder = QFile::encodeName(config::PrgDir().GetWritableRoot());
    ASSERT_EQ(::chmod(folder.constData(), 0555), 0);
    open();
    entry(0, "/s/a", "/d/a", " => COMPARE-RESULT:  OK!");
    const int result = logs.CloseLog(kCompareLog);
    ::chmod(folder.constData(), 0755);
    expectWarningAndPreviousLog(result);
}

TEST_F(RunLogsFailureTest, WriteFailingPartWay) {
    writePrevious();
    open();
    for (int i = 0; i < 3000; ++i) entry(0, "/s/" + QString(60, 'a'), "/d/" + QString(60, 'b'), " => OK!");
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 100000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int result = logs.CloseLog(kCompareLog);
    setrlimit(RLIMIT_FSIZE, &old);
    expectWarningAndPreviousLog(result);
    EXPECT_EQ(QDir(config::PrgDir().GetWritableRoot()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"Tandex.log0"}));
}

}  // namespace
