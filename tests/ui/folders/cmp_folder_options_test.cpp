#include "ui/folders/cmp_folder_options.h"

#include "access/error_texts.h"
#include "config/num_format.h"

#include <gtest/gtest.h>

using namespace tandex::folders;
namespace config = tandex::config;
namespace fz = tandex::access;

namespace {

const QString kSep(kSessionSeparator);

QStringList numberedFields() {
    QStringList fields;
    for (int i = 0; i < kSessionFieldCount; ++i) fields << QStringLiteral("f%1").arg(i);
    return fields;
}

TEST(SessionRecordTest, FieldsAreReadBehindTheMarkerOrFromTheFirstCharacter) {
    const QString record = JoinSessionFields(numberedFields());
    EXPECT_TRUE(record.startsWith("X->f0" + kSep));
    EXPECT_TRUE(record.endsWith("f37" + kSep + "X"));
    EXPECT_EQ(record.count(kSessionSeparator), kSessionFieldCount);
    for (int n = 0; n < kSessionFieldCount; ++n) EXPECT_EQ(SessionField(record, n), QStringLiteral("f%1").arg(n));
    EXPECT_EQ(SessionField(record, kSessionFieldCount), "X");
    EXPECT_EQ(SessionField(record, kSessionFieldCount + 1), "");

    // An older record without the marker starts with its first field.
    const QString old = "/a" + kSep + "/b" + kSep + "*.txt";
    EXPECT_EQ(SessionField(old, 0), "/a");
    EXPECT_EQ(SessionField(old, 2), "*.txt");
    EXPECT_EQ(SessionField(old, 3), "");
    EXPECT_EQ(SessionField(QString(), 0), "");
}

TEST(SessionRecordTest, ALongMemoLeavesTheLaterFieldsReadable) {
    QStringList fields = numberedFields();
    fields[sfPairListParams] = QString(5000, 'm');
    fields[sfExcludeMasks] = QString(3000, 'e');
    const QString record = JoinSessionFields(fields);
    EXPECT_EQ(SessionField(record, sfPairListParams).size(), 5000);
    EXPECT_EQ(SessionField(record, sfDateTime), "f6");
    EXPECT_EQ(SessionField(record, sfMaxDepth), "f37");
}

TEST(SessionRecordTest, NumbersFlagsAndTheExcludedFoldersField) {
    QStringList fields(kSessionFieldCount);
    fields[0] = "1";
    fields[1] = "yes";
    fields[2] = "42";
    fields[3] = "-9000000000";
    fields[4] = "7x";
    fields[sfExcludedFolders] = "1";
    const QString record = JoinSessionFields(fields);
    EXPECT_TRUE(SessionBool(record, 0));
    EXPECT_FALSE(SessionBool(record, 1));
    EXPECT_FALSE(SessionBool(record, 5));
    EXPECT_EQ(SessionInt(record, 2), 42);
    EXPECT_EQ(SessionInt(record, 4), 0);
    EXPECT_EQ(SessionInt(record, 5), 0);
    EXPECT_EQ(SessionInt64(record, 3), -9000000000LL);
    EXPECT_EQ(SessionExcludedFolders(record), "");
    fields[sfExcludedFolders] = "0";
    EXPECT_EQ(SessionExcludedFolders(JoinSessionFields(fields)), "");
    fields[sfExcludedFolders] = "tmp;10";
    EXPECT_EQ(SessionExcludedFolders(JoinSessionFields(fields)), "tmp;10");
}

TEST(SessionRecordTest, TheDefaultRecordOfTheSettingsReadsAsItsFields) {
    // "X->", five empty fields, "1", "0", "1", one empty, five "0", "3",
    // twenty "0", "X": field 0 is the empty text behind the marker.
    QStringList parts{"X->"};
    parts << QStringList(5, QString()) << "1" << "0" << "1" << QString() << QStringList(5, "0") << "3"
          << QStringList(20, "0") << "X";
    const QString record = parts.join(kSessionSeparator);
    EXPECT_EQ(SessionField(record, sfFolderL), "");
    EXPECT_TRUE(SessionBool(record, sfDateTime));
    EXPECT_EQ(SessionInt(record, sfAttributes), 0);
    EXPECT_TRUE(SessionBool(record, sfSubFolders));
    EXPECT_EQ(SessionInt(record, sfBufferSize), 3);
    EXPECT_EQ(SessionInt(record, sfMaxDepth), 0);
}

TEST(CommaTextTest, LinesSurviveTheRoundTrip) {
    const QStringList cases[] = {
        {},
        {""},
        {"%1=plain"},
        {"%1=with blank", "%2=a,b", "%3=say \"hi\"", "", "%4=x"},
        {"tab\there", "\"quoted\""},
    };
    for (const QStringList& lines : cases) EXPECT_EQ(LinesOfCommaText(CommaText(lines)), lines) << qPrintable(CommaText(lines));
    EXPECT_EQ(CommaText({"%1=a b", "%2=c"}), "\"%1=a b\",%2=c");
}

TEST(CommaTextTest, UnquotedBlanksSeparateItemsOnReading) {
    EXPECT_EQ(LinesOfCommaText("a b,\"c d\""), QStringList({"a", "b", "c d"}));
    EXPECT_EQ(LinesOfCommaText("  x , y,"), QStringList({"x", "y", ""}));
    EXPECT_EQ(LinesOfCommaText("\"un\"\"closed"), QStringList({"un\"closed"}));
}

TEST(ContentModeTest, NamesAndHintsOfEveryMode) {
    struct Case {
        int mode;
        const char* name;
        const char* hint;
    };
    const Case cases[] = {
        {1, "SOF", "Compare only the content at Start Of Files (first buffer)"},
        {2, "SEOF", "Compare only the content at Start and End Of Files (first+last buffer)"},
        {3, "SMEOF", "Compare only the content at Start, Middle and End Of Files (first+middle+last buffer)"},
        {4, "1% of file content", "Compare only 1% of file content (evenly distributed over the entire file)"},
        {5, "10% of file content", "Compare only 10% of file content (evenly distributed over the entire file)"},
        {6, "25% of file content", "Compare only 25% of file content (evenly distributed over the entire file)"},
        {7, "50% of file content", "Compare only 50% of file content (evenly distributed over the entire file)"},
        {8, "Entire file content", "Compare the entire file content"},
        {9, "unknown!", "unknown!"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ContentModeName(c.mode), c.name);
        EXPECT_EQ(ContentModeHint(c.mode, true, true), c.hint);
    }
    EXPECT_EQ(ContentModeName(0), "No content compare");
    EXPECT_EQ(ContentModeHint(0, false, false), "Compare no file content (only size will be compared)");
    EXPECT_EQ(ContentModeHint(0, true, true),
              "Compare no file content (only size + date + some attributes will be compared)");
    EXPECT_EQ(ContentModeHint(0, false, true), "Compare no file content (only size + some attributes will be compared)");
    EXPECT_EQ(BufferSizeName(0), "32KiB");
    EXPECT_EQ(BufferSizeName(2), "128KiB");
    EXPECT_EQ(BufferSizeName(7), "4MiB");
    EXPECT_EQ(BufferSizeName(8), "");
}

TEST(HistoryDataTest, DataEntriesFollowTheirNames) {
    struct Case {
        int found;
        const char* expected;  // the five entries after the shift
    };
    const Case cases[] = {
        {0, "N1234"},  // the top entry is replaced in place
        {2, "N0134"},  // the entry found moves to the top
        {5, "N0123"},  // not found: the last of the five falls out
        {99, "N0123"},
    };
    for (const Case& c : cases) {
        QString entries[5] = {"0", "1", "2", "3", "4"};
        ShiftHistoryData(entries, 5, c.found, "N");
        QString joined;
        for (const QString& e : entries) joined += e;
        EXPECT_EQ(joined, c.expected) << c.found;
    }
    // The new top may be a copy of the entry that moves.
    QString entries[3] = {"a", "b", "c"};
    ShiftHistoryData(entries, 3, 2, entries[2]);
    EXPECT_EQ(entries[0] + entries[1] + entries[2], "cab");
}

TEST(PreScanTextsTest, CountsAreGroupedAndNoFilesGiveZeroBytes) {
    config::SetBinarySizeUnits(false);
    config::SetSizeDecimalChar(',');
    const TPreScanCountTexts t = PreScanCountTexts(1234, 5678901, 1234567);
    EXPECT_EQ(t.files, "1.234");
    EXPECT_EQ(t.folders, "5.678.901");
    EXPECT_TRUE(t.bytes.startsWith("1.234.567  (")) << qPrintable(t.bytes);
    EXPECT_TRUE(t.bytes.endsWith(")"));
    EXPECT_EQ(t.average, config::FormatSizeShort(1000));
    EXPECT_EQ(PreScanCountTexts(0, 3, 0).average, "0B");
}

TEST(RootTextsTest, MessagesByResultCode) {
    EXPECT_EQ(LeftRootErrorText(fz::errShareNotFound, "//srv/x"), "Network share  [//srv/x]  not reachable!");
    EXPECT_EQ(LeftRootErrorText(3, "/data/x"),
              "FolderL  [/data/x]  not found!\r" + fz::FZErrorText(-3, fz::eoNone));
    EXPECT_TRUE(LeftRootErrorText(99995, "ftp://h/").startsWith("FTP connection failed!\r"));
    EXPECT_EQ(RightRootErrorText(fz::errShareNotFound, "//srv/y"), "Network share  [//srv/y]  not reachable!");
    EXPECT_EQ(RightRootErrorText(3, "/data/y"), "Folder2  [/data/y]  not found!");
}

TEST(OptionsLayoutTest, WindowHeightsOfTheThreeFaces) {
    EXPECT_EQ(OptionsLayout(false, false).formHeight, 460);
    EXPECT_EQ(OptionsLayout(false, true).formHeight, 575);
    EXPECT_EQ(OptionsLayout(true, false).formHeight, 490);
    EXPECT_EQ(OptionsLayout(false, false).controlTop, kInfoHeight + kMoreBarTop + kMoreBarHeight + 15);
    EXPECT_EQ(OptionsLayout(false, true).controlTop, kInfoHeight + kSettingsHeight);
    EXPECT_EQ(OptionsLayout(true, true).attributesTop, 218);
    EXPECT_EQ(OptionsLayout(false, true).attributesTop, 300);
}

}  // namespace
