#include "config/ini_store.h"

#include "ini_fixture.h"

#include <QDir>
#include <optional>

using namespace tandex::config;
using tandex::testing::FileSizeLimit;
using tandex::testing::IniFixture;
using tandex::testing::readBytes;
using tandex::testing::savedLines;
using tandex::testing::writeBytes;

namespace {

class IniStoreTest : public IniFixture {
protected:
    // Loads an INI text given with "\n" line ends, written with CR LF.
    void load(const QString& text) {
        QByteArray data = text.toUtf8();
        data.replace("\n", "\r\n");
        writeBytes(iniPath, data);
        IniLoad(iniPath);
        ASSERT_TRUE(IniStore().IniLoaded);
    }
    std::vector<QString> lines() const { return IniStore().IniLines; }
};

TEST_F(IniStoreTest, KeysReadInFileOrderCostOneComparisonEachAndAnyOrderFindsThem) {
    load(QStringLiteral("[Top]\nX=0\n[S]\nA=a\nB=b\nC=c\n[T]\nA=t\n"));
    IniStore().KeyComparisons = 0;
    EXPECT_EQ(IniReadString("S", "A", "-"), "a");
    EXPECT_EQ(IniReadString("S", "B", "-"), "b");
    EXPECT_EQ(IniReadString("S", "C", "-"), "c");
    EXPECT_EQ(IniStore().KeyComparisons, 3);
    // Out of order the search wraps around inside the section.
    EXPECT_EQ(IniReadString("S", "C", "-"), "c");
    EXPECT_EQ(IniReadString("S", "A", "-"), "a");
    EXPECT_EQ(IniReadString("S", "B", "-"), "b");
    EXPECT_EQ(IniReadString("T", "A", "-"), "t");
    EXPECT_EQ(IniReadString("S", "X", "-"), "-");
}

TEST_F(IniStoreTest, LookupsMatchWholeHeadersAndKeysFollowedByEquals) {
    struct Case {
        const char* what;
        const char* text;
        const char* section;
        const char* key;
        std::optional<QString> value;  // none: not found
    } cases[] = {
        {"prefix key", "[F]\nFind10=ten\nFind1=one\n", "F", "Find1", "one"},
        {"longer key", "[F]\nFind1=one\nFind10=ten\n", "F", "Find10", "ten"},
        {"keys are case-sensitive", "[Tandex]\ngslinenr=0\n", "Tandex", "GSLineNr", std::nullopt},
        {"section names too", "[tandex]\nGSLineNr=0\n", "Tandex", "GSLineNr", std::nullopt},
        {"text behind the header's ]", "[S] old\nK=1\n", "S", "K", std::nullopt},
        {"nor by its whole text", "[S] old\nK=1\n", "S] old", "K", std::nullopt},
        {"[] is no header", "[S]\n[]\nK=1\n", "S", "K", "1"},
        {"lines before the first header", "K=1\n[S]\n", "S", "K", std::nullopt},
        {"value untrimmed", "[S]\nK= a b \n", "S", "K", " a b "},
        {"empty value", "[S]\nK=\n", "S", "K", ""},
        {"no comment syntax", "[S]\n;K=1\n#K=2\nK=3\n", "S", "K", "3"},
        {"blank before =", "[S]\nK =1\n", "S", "K", std::nullopt},
    };
    for (const Case& c : cases) {
        load(QString::fromUtf8(c.text));
        QString value;
        const bool found = IniFindKey(c.section, c.key, value);
        EXPECT_EQ(found, c.value.has_value()) << c.what;
        if (found && c.value) {
            EXPECT_EQ(value, *c.value) << c.what;
        }
    }
}

TEST_F(IniStoreTest, DuplicateKeyIsFoundOnlyFromBetweenTheTwo) {
    load(QStringLiteral("[S]\nK=first\nM=middle\nK=second\n"));
    EXPECT_EQ(IniReadString("S", "K", "-"), "first");
    EXPECT_EQ(IniReadString("S", "M", "-"), "middle");
    EXPECT_EQ(IniReadString("S", "K", "-"), "second");
    EXPECT_EQ(IniReadString("S", "K", "-"), "first");  // wraps to the first again
    // A write replaces the first one found from the cursor.
    ASSERT_TRUE(IniWriteString("S", "K", "new"));
    EXPECT_EQ(lines(), (std::vector<QString>{"[S]", "K=first", "M=middle", "K=new"}));
}

TEST_F(IniStoreTest, ValuesWithLineBreaksAreLeftOutSoTheFileStaysWhole) {
    load(QStringLiteral("[S]\nK=old\n"));
    for (const QString& bad : {QStringLiteral("x\n[Printer]"), QStringLiteral("a\rb"),
                               QStringLiteral("a") + QChar(0x1A)}) {
        IniWriteString("S", "K", bad);
        IniWriteString("S", bad, "v");
    }
    ASSERT_TRUE(IniWriteString("S", "After", "1"));
    EXPECT_EQ(lines(), (std::vector<QString>{"[S]", "K=old", "After=1"}));
}

TEST_F(IniStoreTest, WritesAppendMissingSectionsAndInsertAtTheSectionEnd) {
    load(QStringLiteral("[A]\nK=1\n"));
    ASSERT_TRUE(IniWriteInt("B", "X", 1));
    ASSERT_TRUE(IniWriteInt("B", "Y", -2));
    ASSERT_TRUE(IniWriteBool("A", "Z", true));
    ASSERT_TRUE(IniWriteString("A", "K", "one"));
    EXPECT_EQ(lines(), (std::vector<QString>{"[A]", "K=one", "Z=1", "[B]", "X=1", "Y=-2"}));
    EXPECT_EQ(IniStore().IniSectionStart, (std::vector<int>{0, 3, 6}));
    EXPECT_EQ(IniReadInt("B", "Y", 0), -2);

    const QString out = path("out.ini");
    EXPECT_EQ(IniSave(out), 0);
    EXPECT_EQ(savedLines(out), QStringList({"[A]", "K=one", "Z=1", "[B]", "X=1", "Y=-2"}));
}

TEST_F(IniStoreTest, NumbersAndFlagsFallBackToTheirDefaults) {
    struct Case {
        const char* value;
        int expected;  // default 77
    } ints[] = {
        {" 12", 12},
        {"0x1F", 31},
        {"$1F", 31},
        {"12 ", 77},
        {"-5", -5},
        {"+7", 7},
        {"-$10", -16},
        {"0X1f", 31},
        {"", 77},
        {"abc", 77},
        {"0x", 77},
        {"1e3", 77},
        {"2147483647", 2147483647},
        {"2147483648", 77},
        {"-2147483648", INT32_MIN},
        {"$FFFFFFFF", -1},
        {"$100000000", 77},
    };
    for (const Case& c : ints) {
        load(QStringLiteral("[S]\nK=") + QString::fromUtf8(c.value) + u'\n');
        EXPECT_EQ(IniReadInt("S", "K", 77), c.expected) << c.value;
    }
    struct Flag {
        const char* value;
        bool expected;  // default true
    } flags[] = {{"0", false},    {"1", true},  {"true", true},
                 {"false", true}, {" 0", true}, {"", true}};
    for (const Flag& f : flags) {
        load(QStringLiteral("[S]\nK=") + QString::fromUtf8(f.value) + u'\n');
        EXPECT_EQ(IniReadBool("S", "K", true), f.expected) << f.value;
    }
    EXPECT_EQ(IniReadInt("S", "Missing", 5), 5);
    EXPECT_EQ(IniReadString("Nowhere", "K", "d"), "d");
}

TEST_F(IniStoreTest, LoadStopsAtTheEighteenthHeaderWithoutRecordingIt) {
    QString text;
    for (int i = 1; i <= 20; ++i)
        text += QStringLiteral("[S%1]\nK=%1\n").arg(i);
    load(text);
    EXPECT_TRUE(log().contains("FI1")) << log().toStdString();
    EXPECT_EQ(IniStore().IniSectionCount(), 17);
    EXPECT_EQ(IniStore().IniLineCount(), 34);
    EXPECT_EQ(IniReadInt("S17", "K", 0), 17);
    EXPECT_EQ(IniReadInt("S18", "K", 0), 0);
    // A write into the cut-off section brings its own header along.
    ASSERT_TRUE(IniWriteInt("S18", "K", 99));
    ASSERT_TRUE(IniWriteInt("S17", "L", 5));
    const std::vector<QString> all = lines();
    ASSERT_EQ(all.size(), 37u);
    EXPECT_EQ(all[33], "K=17");
    EXPECT_EQ(all[34], "L=5");
    EXPECT_EQ(all[35], "[S18]");
    EXPECT_EQ(all[36], "K=99");
}

TEST_F(IniStoreTest, LoadStopsAtLine999) {
    QString text = QStringLiteral("[S]\n");
    for (int i = 0; i < 1200; ++i)
        text += QStringLiteral("K%1=%1\n").arg(i);
    load(text);
    EXPECT_TRUE(log().contains("FI2")) << log().toStdString();
    EXPECT_FALSE(log().contains("FI1"));
    EXPECT_EQ(IniStore().IniLineCount(), 999);
    EXPECT_EQ(IniReadInt("S", "K997", -1), 997);
    EXPECT_EQ(IniReadInt("S", "K998", -1), -1);
}

TEST_F(IniStoreTest, LastLineWithoutBreakIsKeptAndMissingFileLoadsEmpty) {
    writeBytes(iniPath, "[S]\r\nA=1\r\nB=2");
    IniLoad(iniPath);
    EXPECT_EQ(lines(), (std::vector<QString>{"[S]", "A=1", "B=2"}));
    IniLoad(path("none.ini"));
    EXPECT_FALSE(IniStore().IniLoaded);
    EXPECT_EQ(IniStore().IniLineCount(), 0);
    EXPECT_EQ(IniReadInt("S", "A", 3), 3);
}

// The store is written as it was read, whatever the editor's tab width,
// line limit and trimming are.
TEST_F(IniStoreTest, ValuesWithTabsTrailingBlanksAndLongLinesSurviveLoadAndSave) {
    tandex::access::FZSetTabSize(4, 1024);
    AppSettings().TEEnabled = true;
    AppSettings().TETrimWSEOL = true;
    const QString longValue = QString(20000, u'x') + u'y';
    const QByteArray file =
        "\xEF\xBB\xBF[S]\r\nTab=a\tb\t\r\nBlanks=x   \r\nLong=" + longValue.toUtf8() +
        "\r\nTrail=  \r\n";
    writeBytes(iniPath, file);
    IniLoad(iniPath);
    EXPECT_EQ(IniReadString("S", "Tab", ""), "a\tb\t");
    EXPECT_EQ(IniReadString("S", "Blanks", ""), "x   ");
    EXPECT_EQ(IniReadString("S", "Long", ""), longValue);
    const QString out = path("copy.ini");
    EXPECT_EQ(IniSave(out), 0);
    EXPECT_EQ(readBytes(out), file);
}

TEST_F(IniStoreTest, FailedWriteLeavesTheOldFileWhole) {
    const QByteArray old = "\xEF\xBB\xBF[S]\r\nK=old\r\n";
    writeBytes(iniPath, old);
    IniLoad(iniPath);
    // Longer than the writer's buffer, so the disk is written while the
    // lines are still being handed over.
    ASSERT_TRUE(IniWriteString("S", "Big", QString(300000, u'b')));
    ASSERT_TRUE(IniWriteString("S", "After", "1"));
    int failedLine = 0;
    {
        FileSizeLimit limit(65536);
        failedLine = IniSave(iniPath);
    }
    EXPECT_EQ(failedLine, 3);
    EXPECT_EQ(IniStore().IniLines[3], "After=1");  // not written, still held
    EXPECT_EQ(readBytes(iniPath), old);
    EXPECT_EQ(QDir(tmp.filePath("cfg/tandex")).entryList(QDir::Files | QDir::Hidden),
              QStringList({"Tandex.ini"}));
}

TEST_F(IniStoreTest, WritesPastTheCapacityAreRefusedAndLogged) {
    IniClear();
    IniStore().LineCapacity = 4;
    IniStore().SectionCapacity = 2;
    EXPECT_TRUE(IniWriteInt("A", "K", 1));
    EXPECT_TRUE(IniWriteInt("A", "L", 2));
    EXPECT_FALSE(IniWriteInt("B", "K", 3));  // two more lines would not fit
    EXPECT_TRUE(IniWriteInt("A", "M", 3));
    EXPECT_FALSE(IniWriteInt("A", "N", 4));
    EXPECT_TRUE(IniWriteInt("A", "K", 5));  // replacing needs no room
    EXPECT_EQ(lines(), (std::vector<QString>{"[A]", "K=5", "L=2", "M=3"}));
    EXPECT_EQ(log().count("FI3"), 2);

    IniClear();
    IniStore().LineCapacity = 100;
    EXPECT_TRUE(IniWriteInt("A", "K", 1));
    EXPECT_TRUE(IniWriteInt("B", "K", 1));
    EXPECT_FALSE(IniWriteInt("C", "K", 1));
    EXPECT_EQ(IniStore().IniSectionCount(), 2);
}

TEST_F(IniStoreTest, DeleteSectionRewritesTheFileWithoutIt) {
    writeBytes(iniPath, "[A]\r\nK=1\r\n[B]\r\nK=2\r\nL=3\r\n[C]\r\nK=4\r\n");
    IniDeleteSection("B", iniPath);
    EXPECT_EQ(savedLines(iniPath), QStringList({"[A]", "K=1", "[C]", "K=4"}));
    const QByteArray before = readBytes(iniPath);
    IniDeleteSection("Missing", iniPath);
    EXPECT_EQ(readBytes(iniPath), before);
    {
        // The rewrite cannot go out whole: the file stays as it was.
        FileSizeLimit limit(8);
        IniDeleteSection("C", iniPath);
    }
    EXPECT_EQ(readBytes(iniPath), before);
}

}  // namespace
