#include "access/text_files.h"

#include "access/access_slots.h"
#include "access/error_texts.h"
#include "config/app_settings.h"
#include "text_files_fuzz_check.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <utility>
#include <vector>

using namespace tandex::access;
using namespace tandex::config;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

QByteArray bytes(std::initializer_list<int> list) {
    QByteArray out;
    for (int b : list)
        out.append(char(b));
    return out;
}

// UTF-16 code units in either byte order.
QByteArray utf16(const QString& text, bool bigEndian) {
    QByteArray out;
    for (QChar c : text) {
        const char lo = char(c.unicode() & 0xFF), hi = char(c.unicode() >> 8);
        out.append(bigEndian ? hi : lo);
        out.append(bigEndian ? lo : hi);
    }
    return out;
}

QString fill(int n) {
    return QString(n, QChar(FZTabFill));
}

struct Lines {
    std::vector<QString> texts;
    std::vector<bool> goOn;  // per line: cut at the limit, no break of its own
    int last = 0;  // result of the last call
    int lineBreak = 0;
};

class TextFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        FZSetTabSize(4, 8192);
    }
    void TearDown() override { FZSetTabSize(4, 8192); }

    QString path(const QString& name) const { return dir_.filePath(name); }

    // Every line of a file read with a given kind, up to the first non-zero
    // result.
    Lines readLines(const QByteArray& content, int kind, int tabWidth = -1, int limit = -1) {
        writeFile(path("in.txt"), content);
        Lines out;
        int slot = FZNoSlot;
        if (FZOpen(path("in.txt"), twReadAccess, false, slot) != 0) return out;
        FZSetFileKind(slot, kind);
        FZSetSlotTextOptions(slot, tabWidth, limit, -1);
        for (int guard = 0; guard < 100000; ++guard) {
            QString text;
            out.last = FZReadLine(slot, text);
            if (out.last == 0 || (out.last == 38 && !FZReadLineAtEnd(slot))) {
                out.texts.push_back(text);
                out.goOn.push_back(FZReadLineContinues(slot));
            }
            if (out.last) break;
        }
        out.lineBreak = FZLineBreakKind(slot);
        FZClose(slot);
        return out;
    }

    // Reads a file and writes its lines back with its kind and line breaks,
    // a line cut at the limit without one.
    QByteArray roundTrip(const QByteArray& content, int kind, int limit = -1) {
        writeFile(path("rt-in.txt"), content);
        int in = FZNoSlot, out = FZNoSlot;
        if (FZOpen(path("rt-in.txt"), twReadAccess, false, in) != 0) return "<open>";
        if (FZOpen(path("rt-out.txt"), twWriteAccess, false, out) != 0) return "<open>";
        FZSetFileKind(in, kind);
        FZSetFileKind(out, kind);
        FZSetSlotTextOptions(in, -1, limit, -1);
        FZSetSlotTextOptions(out, -1, -1, 0);
        for (;;) {
            QString text;
            const int r = FZReadLine(in, text);
            if (r != 0 && r != 38) return "<read>";
            if (r == 38 && FZReadLineAtEnd(in)) break;
            FZSetLineBreakKind(out, FZLineBreakKind(in));
            if (FZWriteText(out, text, !FZReadLineContinues(in)) != 0) return "<write>";
            if (r == 38) break;
        }
        FZClose(in);
        if (FZClose(out) != 0) return "<close>";
        return readAll(path("rt-out.txt"));
    }

    QTemporaryDir dir_;
};

}  // namespace

TEST_F(TextFiles, ReaderDecodesExpandsAndSplitsLines) {
    const QString dc7f{QChar(FZDelChar)};
    struct Case {
        const char* what;
        QByteArray content;
        int kind;
        int tabWidth;
        std::vector<QString> lines;
        int lineBreak;
    };
    const std::vector<Case> cases = {
        {"UTF-16 BE with BOM", bytes({0xFE, 0xFF, 0, 'a', 0, 13, 0, 10, 0, 'b'}), 11, -1,
         {"a", "b"}, 1},
        {"UTF-16 LE without BOM", utf16("x\ny\n", false), 10, -1, {"x", "y"}, 2},
        {"tab at width 4", "ab\tc\n", 5, 4, {"ab" + fill(2) + "c"}, 2},
        {"tab at width 0", "ab\tc\n", 5, 0, {"ab\tc"}, 2},
        {"tab after a two-byte character", "\xC3\xA9\tx\n", 8, 4,
         {QString::fromUtf8("\xC3\xA9") + fill(3) + "x"}, 2},
        {"tab after a two-byte character, width 0", "\xC3\xA9\tx\n", 8, 0,
         {QString::fromUtf8("\xC3\xA9\tx")}, 2},
        {"UTF-16 tab", utf16("a\tb\r\n", true), 12, 4, {"a" + fill(3) + "b"}, 1},
        {"CR, LF, CR LF and SUB", "a\rb\nc\r\nd\x1a" "e", 5, -1, {"a", "b", "c", "d", "e"}, 1},
        {"Ctrl-Z after the last CR LF", "a\r\n\x1a", 5, -1, {"a"}, 1},
        {"Ctrl-Z inside the text stays a line end", "a\r\n\x1a" "b\r\n", 5, -1, {"a", "", "b"}, 1},
        {"NUL stays in its line", QByteArray("a\0b\n", 4), 5, -1, {QString("a") + QChar(0) + "b"}, 2},
        {"NUL in UTF-16", utf16(QString("a") + QChar(0) + "b\n", false), 10, -1,
         {QString("a") + QChar(0) + "b"}, 2},
        {"DEL in the file", "a\x7f\n", 5, 4, {"a" + dc7f}, 2},
        {"invalid UTF-8 bytes", "a\xff\xc3\n\xed\xa0\x80\n", 8, -1,
         {"a" + QString(QChar(0xDCFF)) + QChar(0xDCC3),
          QString(QChar(0xDCED)) + QChar(0xDCA0) + QChar(0xDC80)},
         2},
        {"four-byte UTF-8", "\xF0\x9F\x98\x80\n", 8, -1, {QString::fromUtf8("\xF0\x9F\x98\x80")}, 2},
        {"ANSI high bytes", "\xe9\x81\x80\n", 5, -1,
         {QString(QChar(0xE9)) + QChar(0x81) + QChar(0x20AC)}, 2},
        {"BOM kind forced on a file without one", "abc\n", 7, -1, {"abc"}, 2},
        {"UTF-16 BOM kind forced on a file without one", utf16("ab\n", false), 9, -1, {"ab"}, 2},
        {"BOM skipped", "\xEF\xBB\xBFz\n", 7, -1, {"z"}, 2},
        {"no final line break", "a\nb", 5, -1, {"a", "b"}, 2},
        {"empty lines", "\n\n", 5, -1, {"", ""}, 2},
        {"empty file", "", 5, -1, {}, 0},
    };
    for (const auto& c : cases) {
        const Lines got = readLines(c.content, c.kind, c.tabWidth);
        EXPECT_EQ(got.texts, c.lines) << c.what;
        EXPECT_EQ(got.last, 38) << c.what;
        EXPECT_EQ(got.lineBreak, c.lineBreak) << c.what;
    }
}

TEST_F(TextFiles, LongLinesAreSplitAtTheLimitNeverCut) {
    const Lines got = readLines(QByteArray(20000, 'x') + "\r\n", 5);
    ASSERT_EQ(got.texts.size(), 3u);
    EXPECT_EQ(got.texts[0].size(), 8192);
    EXPECT_EQ(got.texts[1].size(), 8192);
    EXPECT_EQ(got.texts[2].size(), 3616);
    EXPECT_EQ(got.goOn, std::vector<bool>({true, true, false}));
    EXPECT_EQ(got.last, 38);

    // A line end right at the limit ends that line, with its own kind.
    const Lines exact = readLines(QByteArray(8192, 'y') + "\r\nz\r\n", 5);
    ASSERT_EQ(exact.texts.size(), 2u);
    EXPECT_EQ(exact.texts[1], "z");
    EXPECT_EQ(exact.goOn, std::vector<bool>({false, false}));
    EXPECT_EQ(exact.lineBreak, 1);
    // So does the end of the data.
    EXPECT_EQ(readLines(QByteArray(8192, 'y'), 5).goOn, std::vector<bool>({false}));

    // The limit inside a tab's fill ends the line there.
    const Lines tab = readLines(QByteArray(8190, 'a') + "\tb\n", 5);
    ASSERT_EQ(tab.texts.size(), 2u);
    EXPECT_EQ(tab.texts[0], QString(8190, 'a') + fill(2));
    EXPECT_EQ(tab.texts[1], "b");
    EXPECT_EQ(tab.goOn, std::vector<bool>({true, false}));

    // A surrogate pair never straddles the limit.
    const Lines pair = readLines(QByteArray(8191, 'a') + "\xF0\x9F\x98\x80\n", 8);
    ASSERT_EQ(pair.texts.size(), 2u);
    EXPECT_EQ(pair.texts[0].size(), 8191);
    EXPECT_EQ(pair.texts[1], QString::fromUtf8("\xF0\x9F\x98\x80"));
    EXPECT_EQ(pair.goOn, std::vector<bool>({true, false}));

    // No limit: a line longer than the slot's buffer comes whole, and a CR LF
    // or a UTF-8 sequence split by a refill is still seen as one.
    QByteArray big(131071, 'q');
    big += "\r\n";
    big += QByteArray(131071 - 1, 'r') + "\xC3\xA9\n";
    const Lines whole = readLines(big + QByteArray(300000, 's') + "\n", 8, -1, 0);
    ASSERT_EQ(whole.texts.size(), 3u);
    EXPECT_EQ(whole.texts[0], QString(131071, 'q'));
    EXPECT_EQ(whole.texts[1], QString(131070, 'r') + QChar(0xE9));
    EXPECT_EQ(whole.texts[2].size(), 300000);
}

TEST_F(TextFiles, SniffTellsKindsAndThresholds) {
    QByteArray exe(128, 'x');
    exe[0] = 'M';
    exe[1] = 'Z';
    exe[60] = 100;
    exe[61] = 0;
    exe[100] = 'P';
    exe[101] = 'E';
    QByteArray shortExe = exe.left(100);
    shortExe[60] = 90;
    shortExe[61] = 0;
    shortExe[90] = 'P';
    shortExe[91] = 'E';
    QByteArray controls(1000, 'a');
    controls[10] = '\n';
    for (int i = 0; i < 20; ++i)
        controls[100 + i] = 1;
    QByteArray moreControls = controls;
    moreControls[200] = 2;
    struct Case {
        QByteArray head;
        const char* name;
        int kind;
    };
    const std::vector<Case> cases = {
        {"", "e.txt", 5},
        {"hello\n", "h.txt", 5},
        {"h\xC3\xA9llo world\n", "u.txt", 8},
        {"h\xF0\x9F\x98\x80llo world\n", "emoji.txt", 8},
        {"\xEF\xBB\xBFhello", "b.txt", 7},
        {bytes({0xFF, 0xFE, 'a', 0}), "le.txt", 9},
        {bytes({0xFE, 0xFF, 0, 'a'}), "be.txt", 11},
        {utf16("hello there\n", false), "le.txt", 10},
        {utf16("hello there\n", true), "be.txt", 12},
        {bytes({0xFF, 0xFE, 0, 0, 'a', 0, 0, 0}), "u32.txt", 1},
        {exe, "a.exe", 1},
        {shortExe, "b.exe", 5},
        {"BMxxxxxxxx\n", "p.bmp", 1},
        {"BMxxxxxxxx\n", "p.BMP", 5},
        {"\xFF\xD8xxxxxxxx\n", "p.jpg", 1},
        {QByteArray(8192, 'a'), "long.txt", 1},
        {QByteArray(8191, 'a'), "short.txt", 5},
        {controls, "c.txt", 5},
        {moreControls, "c.txt", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FZSniffFileKind(c.head, c.name), c.kind) << c.name << " " << c.head.left(16).toHex().constData();
}

TEST_F(TextFiles, DetectionUsesRulesThenTheFileAndRewinds) {
    auto& s = AppSettings();
    const auto savedIndex = s.FFTIndex;
    const auto savedFiles = s.FFTFiles;
    s.FFTIndex = {0, 7, 0, 0};
    s.FFTFiles = {"*.txt", "*.ini;*.cfg", "", ""};
    writeFile(path("app.CFG"), "k=v\n");
    writeFile(path("data.txt"), "\xEF\xBB\xBFline\n");
    int slot = FZNoSlot, kind = 0, byRule = 0;
    ASSERT_EQ(FZOpen(path("app.CFG"), twReadAccess, false, slot), 0);
    EXPECT_EQ(FZDetectFileKind(slot, kind, byRule), 0);
    EXPECT_EQ(kind, 11);
    EXPECT_EQ(byRule, 1);
    // The forced kind does not swallow bytes that are no mark: "k=" read as
    // one big-endian unit.
    FZSetFileKind(slot, kind);
    QString text;
    FZReadLine(slot, text);
    EXPECT_EQ(text.size(), 2);
    FZClose(slot);

    ASSERT_EQ(FZOpen(path("data.txt"), twReadAccess, false, slot), 0);
    EXPECT_EQ(FZDetectFileKind(slot, kind, byRule), 0);
    EXPECT_EQ(kind, 7);
    EXPECT_EQ(byRule, 0);
    FZSetFileKind(slot, kind);
    EXPECT_EQ(FZReadLine(slot, text), 38);
    EXPECT_EQ(text, "line");
    FZClose(slot);

    ASSERT_EQ(FZOpen(path("data.txt"), twGenAccess, false, slot), 0);
    EXPECT_EQ(FZDetectFileKind(slot, kind, byRule), errInvalidHandle);
    FZClose(slot);
    s.FFTIndex = savedIndex;
    s.FFTFiles = savedFiles;
}

TEST_F(TextFiles, EveryTextKindRoundTripsByteForByte) {
    // Tabs at every column, NUL, DEL, control bytes, lines ending alike.
    const QString text = QString("a\tb\t\tc") + QChar(0) + "d" + QChar(0x7F) + "\x01 e\t" +
                         QChar(0xE9) + QChar(0x20AC);
    const QString lines = text + "\r\n\tx\r\nabcd\ty\r\n\r\n";
    struct Case {
        int kind;
        QByteArray content;
    };
    QByteArray ansiAll;
    for (int b = 0; b < 256; ++b)
        if (b != 10 && b != 13 && b != 26) ansiAll.append(char(b));
    const QByteArray utf8 = lines.toUtf8().replace("\x7f", QByteArray("\x7f"));
    const QByteArray utf8Broken = QByteArray("\xff\xfe\xc3(\x80\xed\xa0\x80\xf5\x7f\t|\n");
    const std::vector<Case> cases = {
        {5, QByteArray("a\tb\x7f\x00\xe9\x81\x8d\x8f\x90\x9d\r\n\tq\r\n", 17)},
        {5, ansiAll + "\n" + ansiAll + "\n"},
        {5, "lf only\nx\n"},
        {5, "cr only\rx\r"},
        {8, utf8},
        {8, utf8Broken},
        {8, "\xEF\xBB\xBF kept as text\n"},
        {7, "\xEF\xBB\xBF" + utf8},
        {7, "\xEF\xBB\xBF" + utf8Broken},
        {10, utf16(lines, false)},
        {9, bytes({0xFF, 0xFE}) + utf16(lines, false)},
        {12, utf16(lines, true)},
        {11, bytes({0xFE, 0xFF}) + utf16(lines, true)},
        {12, utf16((QString(8000, QChar(0x4E2D)) + "\n").repeated(20), true)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(roundTrip(c.content, c.kind).toHex(), c.content.toHex()) << c.kind;
    // Long content crosses the slot's buffer while writing and reading.
    QByteArray many;
    for (int i = 0; i < 20000; ++i)
        many += "line\t" + QByteArray::number(i) + "\t\xC3\xA9\r\n";
    EXPECT_TRUE(roundTrip(many, 8) == many);
}

TEST_F(TextFiles, LinesCutAtTheLimitWriteBackAsTheOneLineRead) {
    // Lines about the limit of 1024 in every family of encodings, beside
    // short ones; tabs, a four-byte character and blanks fall on the cut,
    // and NULs stand inside.
    const auto line = [](int n, QChar c) { return QString(n, c); };
    const QChar euro(0x20AC), zhong(0x4E2D);
    const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");
    const QString nul(QChar(0));
    const QString text = "head\r\n" + line(1023, 'a') + "\r\n" + line(1024, euro) + "\r\n" +
                         line(1025, zhong) + "\r\n" + line(5000, 'b') + "\r\n" + line(1022, 'c') +
                         "\t\td\r\n" + line(1023, 'e') + smile + "f\r\n" + "g" + nul + "h" + nul +
                         "\r\n" + line(20000, 'i') + nul + "\r\n" + line(1020, 'j') + "    k\r\n" + "tail\r\n";
    struct Case {
        int kind;
        QByteArray content;
    };
    QString ansiText = text;
    ansiText.replace(euro, QChar(0xE9)).replace(zhong, QChar(0xFC)).replace(smile, "??");
    const std::vector<Case> cases = {
        {5, ansiText.toLatin1()},
        {8, text.toUtf8()},
        {7, "\xEF\xBB\xBF" + text.toUtf8()},
        {9, bytes({0xFF, 0xFE}) + utf16(text, false)},
        {12, utf16(QString(text).replace("\r\n", "\n"), true)},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(roundTrip(c.content, c.kind, 1024) == c.content) << c.kind;
        // Read line by line, the long ones come in rows of at most 1024.
        writeFile(path("in.txt"), c.content);
        int slot = FZNoSlot;
        ASSERT_EQ(FZOpen(path("in.txt"), twReadAccess, false, slot), 0);
        FZSetFileKind(slot, c.kind);
        FZSetSlotTextOptions(slot, -1, 1024, -1);
        QString row;
        int longest = 0, rows = 0;
        for (int r = 0; r == 0; ++rows) {
            r = FZReadLine(slot, row);
            longest = std::max(longest, int(row.size()));
        }
        EXPECT_EQ(longest, 1024) << c.kind;
        EXPECT_EQ(rows, 38) << c.kind;
        FZClose(slot);
    }
    // A copy between slots keeps the cut lines whole as well.
    const QByteArray utf8 = text.toUtf8();
    writeFile(path("src.txt"), utf8);
    int src = FZNoSlot, dst = FZNoSlot;
    ASSERT_EQ(FZOpen(path("src.txt"), twReadAccess, false, src), 0);
    ASSERT_EQ(FZOpen(path("dst.txt"), twWriteAccess, false, dst), 0);
    FZSetFileKind(src, 8);
    FZSetFileKind(dst, 8);
    FZSetSlotTextOptions(src, -1, 1024, -1);
    FZSetSlotTextOptions(dst, -1, -1, 1);  // trimming touches no blank inside a line
    FZSetLineBreakKind(dst, lbCrLf);
    EXPECT_EQ(FZCopyLines(1000, src, dst), 38);
    FZClose(src);
    FZClose(dst);
    EXPECT_TRUE(readAll(path("dst.txt")) == utf8);
}

TEST_F(TextFiles, EncodeFoldsFillTrimsAndEncodes) {
    struct Case {
        QString text;
        int kind, lineBreak;
        bool trim;
        int width;
        QByteArray bytes;
    };
    const std::vector<Case> cases = {
        {"ab" + fill(2) + "c", 5, 2, false, 4, "ab\tc\n"},
        {fill(4) + "x", 5, 3, false, 4, "\tx\r"},
        {"a" + fill(3) + fill(4) + "b", 8, 1, false, 4, "a\t\tb\r\n"},
        {"a" + fill(1) + "b", 8, 0, false, 4, "a\tb\r\n"},  // shortened run: nothing lost
        {fill(2), 8, 2, false, 0, "\t\t\n"},
        {"ab  " + fill(3), 5, 1, true, 4, "ab\r\n"},
        {"ab  ", 5, 1, false, 4, "ab  \r\n"},
        {QString(QChar(0x20AC)) + "?" + QChar(0x4E2D), 5, 2, false, 4, "\x80??\n"},
        {QString(QChar(0xE9)), 8, 2, false, 4, "\xC3\xA9\n"},
        {QString(QChar(0xD800)), 8, 2, false, 4, "\xEF\xBF\xBD\n"},
        {"A", 12, 1, false, 4, bytes({'A', 0, 13, 0, 10, 0})},  // swapped when the buffer is written
        {"A", 1, 1, false, 4, ""},
        {"ab  " + fill(3), 8, lbNone, false, 4, "ab  \t"},  // no break: the line goes on
    };
    for (const auto& c : cases) {
        QByteArray out;
        EXPECT_EQ(FZEncodeLine(c.text, c.kind, c.lineBreak, out, c.trim, c.width), c.bytes.size());
        EXPECT_EQ(out.toHex(), c.bytes.toHex()) << c.text.toStdString();
    }
}

TEST_F(TextFiles, SettingsAndSlotChecks) {
    struct Case {
        int width, maxLine, result, widthAfter, maxAfter;
    };
    const Case cases[] = {{8, 100, 4, 8, 100},   {255, 70, 8, 8, 100},  {17, 200, -1, 8, 100},
                          {-1, 200, -1, 8, 100}, {0, 63, 8, 0, 100},    {4, 8192, 0, 4, 8192}};
    for (const auto& c : cases) {
        EXPECT_EQ(FZSetTabSize(c.width, c.maxLine), c.result) << c.width;
        EXPECT_EQ(FZTabSize(), c.widthAfter);
        EXPECT_EQ(FZMaxLineSetting(), c.maxAfter);
    }
    QString text;
    EXPECT_EQ(FZReadLine(FZNoSlot, text), errInvalidHandle);
    EXPECT_EQ(FZMaxLineLength(FZNoSlot), -1);
    writeFile(path("b.bin"), "abc\n");
    int slot = FZNoSlot;
    ASSERT_EQ(FZOpen(path("b.bin"), twReadAccess, false, slot), 0);
    EXPECT_EQ(FZSetSlotTextOptions(slot, 17, -1, -1), errInvalidParameter);
    EXPECT_EQ(FZSetSlotTextOptions(slot, -1, 10, -1), errInvalidParameter);
    FZSetFileKind(slot, fkBinary);
    EXPECT_EQ(FZReadLine(slot, text), errInvalidParameter);
    EXPECT_TRUE(text.isEmpty());
    FZSetFileKind(slot, fkAnsi);
    EXPECT_EQ(FZWriteText(slot, "x"), errInvalidHandle);  // not open for writing
    EXPECT_EQ(FZReadLine(slot, text), 38);
    EXPECT_EQ(FZMaxLineLength(slot), 3);
    FZClose(slot);
    ASSERT_EQ(FZOpen(path("w.bin"), twWriteAccess, false, slot), 0);
    FZSetFileKind(slot, fkBinary);
    EXPECT_EQ(FZWriteText(slot, "x"), errInvalidParameter);
    FZClose(slot);
    EXPECT_EQ(readAll(path("w.bin")), "");
}

TEST_F(TextFiles, EveryFileOpenedInASlotStartsWithItsMark) {
    writeFile(path("bom.txt"), "\xEF\xBB\xBFone\n");
    int slot = FZNoSlot;
    QString text;
    ASSERT_EQ(FZOpen(path("bom.txt"), twReadAccess, false, slot), 0);
    for (int round = 0; round < 2; ++round) {
        FZSetFileKind(slot, fkUtf8Bom);
        EXPECT_EQ(FZReadLine(slot, text), 38);
        EXPECT_EQ(text, "one") << round;
        EXPECT_FALSE(FZReadLineAtEnd(slot));
        ASSERT_EQ(FZCloseFile(slot), 0);
        ASSERT_EQ(FZOpenFile(slot, twReadAccess), 0);
    }
    // The same slot writes the file back: with its mark again.
    ASSERT_EQ(FZCloseFile(slot), 0);
    ASSERT_EQ(FZOpenFile(slot, twWriteAccess), 0);
    FZSetFileKind(slot, fkUtf8Bom);
    FZSetLineBreakKind(slot, lbLf);
    EXPECT_EQ(FZWriteText(slot, "two"), 0);
    EXPECT_EQ(FZClose(slot), 0);
    EXPECT_EQ(readAll(path("bom.txt")), "\xEF\xBB\xBFtwo\n");
}

TEST_F(TextFiles, CopyLinesKeepsTheLastLine) {
    writeFile(path("src.txt"), "one\ntwo\nthree\n");
    int src = FZNoSlot, dst = FZNoSlot;
    ASSERT_EQ(FZOpen(path("src.txt"), twReadAccess, false, src), 0);
    ASSERT_EQ(FZOpen(path("dst.txt"), twWriteAccess, false, dst), 0);
    FZSetLineBreakKind(dst, lbLf);
    EXPECT_EQ(FZCopyLines(1, src, dst), 0);
    EXPECT_EQ(FZCopyLines(100, src, dst), 38);
    EXPECT_EQ(FZCopyLines(100, src, dst), 38);  // nothing left: nothing written
    EXPECT_EQ(FZCopyLines(1, src, FZNoSlot), errInvalidHandle);
    FZClose(src);
    FZClose(dst);
    EXPECT_EQ(readAll(path("dst.txt")), "one\ntwo\nthree\n");
}

TEST_F(TextFiles, NamesAndHexView) {
    EXPECT_EQ(FZFileKindName(11), "U16BE-BOM");
    EXPECT_EQ(FZFileKindName(0x80 | 5), "ANSI");
    EXPECT_EQ(FZFileKindName(2), "unknown");
    EXPECT_EQ(FZFileKindText(9), "UTF-16 Little Endian with BOM");
    EXPECT_EQ(FZFileKindText(1), "BINARY file");
    auto& s = AppSettings();
    const bool ctrl = s.BCShowNoCtrl, ext = s.BCShowNoExt;
    struct Case {
        bool noCtrl, noExt;
        int byte;
        QChar shown;
        const char* hex;
    };
    const Case cases[] = {{true, true, 7, '.', "07"},           {false, false, 7, QChar(7), "07"},
                          {false, false, 9, ' ', "09"},         {false, false, 30, ' ', "1E"},
                          {false, false, 0x80, QChar(0x20AC), "80"}, {false, false, 0x81, ' ', "81"},
                          {false, false, 0xA0, ' ', "A0"},      {false, true, 0xE9, '.', "E9"},
                          {true, true, 'A', 'A', "41"}};
    for (const auto& c : cases) {
        s.BCShowNoCtrl = c.noCtrl;
        s.BCShowNoExt = c.noExt;
        QChar hi, lo;
        EXPECT_EQ(FZHexByte(quint8(c.byte), hi, lo), c.shown) << c.byte;
        EXPECT_EQ(QString(hi) + lo, c.hex);
    }
    s.BCShowNoCtrl = ctrl;
    s.BCShowNoExt = ext;
}

TEST_F(TextFiles, InputsThatOnceBrokeTheReaderRunClean) {
    QDirIterator it(QStringLiteral(TANDEX_TEST_DATA), {QStringLiteral("text-*.bin")}, QDir::Files);
    int replayed = 0;
    while (it.hasNext()) {
        const QString file = it.next();
        EXPECT_EQ(fuzz::runText(readAll(file), dir_.path()).toStdString(), "") << file.toStdString();
        ++replayed;
    }
    EXPECT_GT(replayed, 0);
}
