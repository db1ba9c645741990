#include "ui/main/details_line.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "access/program_log.h"
#include "access/text_files.h"

namespace ui = tandex::ui;
namespace acc = tandex::access;

namespace {

ui::TDetailsSide side(const QString& text, int kind = acc::fkUtf8, int lineBreak = acc::lbLf) {
    ui::TDetailsSide s;
    s.text = text;
    s.kind = kind;
    s.lineBreak = lineBreak;
    return s;
}

ui::TDetailsInput input(ui::TDetailsSide l, ui::TDetailsSide r, int mode, int caretColumn = 1) {
    ui::TDetailsInput in;
    in.side = {std::move(l), std::move(r)};
    in.mode = mode;
    in.caretColumn = caretColumn;
    in.visibleColumns = 200;
    return in;
}

// The classes as digits, the caret bit as '*' after the class.
QString classText(const std::vector<quint8>& classes) {
    QString out;
    for (quint8 c : classes) {
        out += QString::number(c & 15);
        if (c & ui::kDetailsCaretBit) out += u'*';
    }
    return out;
}

const QString kTabRow = QStringLiteral("\u00bb\u00a0\u00a0\u00a0b");  // "\tb", tab size 4

TEST(DetailsLine, ShownTextsPerMode) {
    struct Case {
        const char* name;
        ui::TDetailsInput in;
        QString left, right;
    };
    ui::TDetailsSide gap = side({});
    gap.gap = true;
    const QString pair = QString::fromUtf16(u"A\U0001F600");
    const Case cases[] = {
        // A three-byte character is joined by "-"; the other side pads so
        // that the line ends line up.
        {"utf8 padded", input(side(QString::fromUtf16(u"a€")), side("ab"), ui::dmHex),
         "61 E2-82-AC 0A ", "61 62       0A "},
        {"crlf", input(side("a", acc::fkUtf8, acc::lbCrLf), side("a", acc::fkUtf8, acc::lbCrLf), ui::dmHex),
         "61 0D 0A ", "61 0D 0A "},
        {"tab is one byte", input(side(kTabRow), side(kTabRow), ui::dmHex), "09 62 0A ", "09 62 0A "},
        {"gap falls back to hex", input(side("a b"), gap, ui::dmAlignedHex), "61 20 62 0A ", ""},
        {"aligned hex fills", input(side("a b"), side("ab"), ui::dmAlignedHex),
         "61 20 62 0A ", "61 \u25a0\u25a0 62 0A "},
        {"ansi", input(side(QString::fromUtf16(u"é"), acc::fkAnsi), side("e", acc::fkAnsi), ui::dmHex),
         "E9 0A ", "65 0A "},
        // Each UTF-16 unit reads as its code whatever the byte order: the
        // left LE file and the right BE file show the same digits.
        {"utf16 le and be", input(side(pair, acc::fkUtf16Le), side(pair, acc::fkUtf16Be), ui::dmHex),
         "0041 D83D-DE00 000A ", "0041 D83D-DE00 000A "},
        {"utf16 be beside le", input(side("A", acc::fkUtf16Be), side("A", acc::fkUtf16LeBom), ui::dmHex),
         "0041 000A ", "0041 000A "},
        {"utf8 four bytes", input(side(pair), side(pair), ui::dmHex), "41 F09F-9880 0A ", "41 F09F-9880 0A "},
        {"text blanks visible", input(side("a b"), side("a  c"), ui::dmText),
         "a\u2219b", "a\u2219\u2219c"},
        {"aligned text", input(side("ab cd"), side("ab  cd"), ui::dmAlignedText),
         "ab\u2219\u25a0cd", "ab\u2219\u2219cd"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ui::TDetailsResult r = ui::buildDetailsLine(c.in);
        EXPECT_EQ(r.shown[0], c.left);
        EXPECT_EQ(r.shown[1], c.right);
        EXPECT_EQ(r.classes[0].size(), size_t(r.shown[0].size()));
        EXPECT_EQ(r.classes[1].size(), size_t(r.shown[1].size()));
    }
}

TEST(DetailsLine, CaretStaysOnItsCharacter) {
    // Caret on the "b" behind a Tab (column 5): in mode 2 the Tab is one
    // byte, the marker must still land on "62".
    auto in = input(side(kTabRow), side(kTabRow), ui::dmHex, 5);
    ui::TDetailsResult r = ui::buildDetailsLine(in);
    EXPECT_EQ(r.shown[0].mid(r.caretPos, r.caretLength), "62");
    in.mode = ui::dmAlignedHex;
    r = ui::buildDetailsLine(in);
    EXPECT_EQ(r.shown[0].mid(r.caretPos, r.caretLength), "62");

    // Right pane active, caret at the line end: text modes mark the place
    // behind the last character, HEX modes the line break.
    in = input(side("abc"), side("xy"), ui::dmText, 3);
    in.activePane = 2;
    r = ui::buildDetailsLine(in);
    EXPECT_EQ(r.caretPos, 2);
    EXPECT_EQ(classText(r.classes[1]), "111*");
    EXPECT_EQ(classText(r.classes[0]), "111");
    in.mode = ui::dmHex;
    r = ui::buildDetailsLine(in);
    EXPECT_EQ(r.shown[1].mid(r.caretPos, r.caretLength), "0A");

    // A caret past the line end marks nothing.
    in.caretColumn = 9;
    EXPECT_EQ(ui::buildDetailsLine(in).caretPos, -1);
}

TEST(DetailsLine, ScrollOffsetFollowsTheCaret) {
    auto in = input(side(QString(100, u'x')), side("x"), ui::dmText, 60);
    in.visibleColumns = 20;
    EXPECT_EQ(ui::buildDetailsLine(in).scrollOffset, 60 - 20 + 4);
    in.caretColumn = 3;
    EXPECT_EQ(ui::buildDetailsLine(in).scrollOffset, 1);
    // A scroll by the user keeps its offset.
    in.detailsRow = -3;
    in.scrollOffset = 30;
    in.caretColumn = 60;
    const ui::TDetailsResult r = ui::buildDetailsLine(in);
    EXPECT_EQ(r.scrollOffset, 30);
    EXPECT_EQ(ui::detailsFieldText(r, 1, 5), "xxxxx");
    EXPECT_EQ(ui::detailsFieldText(r, 2, 5), "");
}

TEST(DetailsLine, ClassesWithoutFlags) {
    // Visible blanks: matching 3, differing 4; other differing characters
    // count as equal without in-line flags; a line facing an empty one is 5.
    ui::TDetailsResult r = ui::buildDetailsLine(input(side("a b"), side("a x"), ui::dmText, 1));
    EXPECT_EQ(classText(r.classes[0]), "1*31");
    r = ui::buildDetailsLine(input(side("a b"), side("axb"), ui::dmText, 9));
    EXPECT_EQ(classText(r.classes[0]), "141");
    r = ui::buildDetailsLine(input(side("ab"), side(""), ui::dmText, 9));
    EXPECT_EQ(classText(r.classes[0]), "55");
    r = ui::buildDetailsLine(input(side("a b"), side("ab"), ui::dmAlignedText, 9));
    EXPECT_EQ(classText(r.classes[1]), "121");
    // Without visible blanks a blank is an ordinary character.
    auto in = input(side("a b"), side("a b"), ui::dmText, 9);
    in.visibleBlanks = false;
    r = ui::buildDetailsLine(in);
    EXPECT_EQ(r.shown[0], "a b");
    EXPECT_EQ(classText(r.classes[0]), "111");
}

TEST(DetailsLine, FlagAlignment) {
    ui::TDetailsSide l = side("a b");
    ui::TDetailsSide r = side("axb");
    l.flags = {1, 0, 1, 0, 0};
    r.flags = {1, 0, 1, 0, 0};
    ui::TDetailsResult res = ui::buildDetailsLine(input(l, r, ui::dmAlignedText, 9));
    EXPECT_EQ(res.shown[0], "a\u2219b");
    EXPECT_EQ(classText(res.classes[0]), "141");
    EXPECT_EQ(classText(res.classes[1]), "101");

    l = side("abc");
    r = side("ac");
    l.flags = {1, 0, 1, 0, 0};
    r.flags = {1, 1, 0, 0};
    res = ui::buildDetailsLine(input(l, r, ui::dmAlignedText, 2));
    EXPECT_EQ(res.shown[0], "abc");
    EXPECT_EQ(res.shown[1], "a\u25a0c");
    EXPECT_EQ(classText(res.classes[0]), "10*1");
    EXPECT_EQ(classText(res.classes[1]), "121");
    // Aligned HEX: the fill reads as fill marks, the line end as matched.
    res = ui::buildDetailsLine(input(l, r, ui::dmAlignedHex, 2));
    EXPECT_EQ(res.shown[1], "61 \u25a0\u25a0 63 0A ");
    EXPECT_EQ(classText(res.classes[1]), "111222111111");
    // Ignored characters (flag 16) are matched, not a caret.
    l.flags = {16, 0, 16, 0, 0};
    res = ui::buildDetailsLine(input(l, r, ui::dmText, 9));
    EXPECT_EQ(classText(res.classes[0]), "101");
}

TEST(DetailsLine, FlagAlignmentStopsAtTheColumnLimit) {
    QTemporaryDir dir;
    const QString log = dir.filePath("log.txt");
    acc::FZSetLogFile(log);
    // Every "x" on the right is a run of its own against the left's "a"s.
    ui::TDetailsSide l = side("aaaa");
    ui::TDetailsSide r = side("xaxaxaxa");
    l.flags = {1, 1, 1, 1, 0, 0};
    r.flags = {0, 1, 0, 1, 0, 1, 0, 1, 0, 0};
    auto in = input(l, r, ui::dmAlignedText);
    in.maxColumns = 2;
    const ui::TDetailsResult res = ui::buildDetailsLine(in);
    acc::FZSetLogFile({});
    // Everything is still shown, the rest against fill marks.
    EXPECT_EQ(QString(res.shown[0]).remove(QChar(ui::kDetailsFillMark)), "aaaa");
    EXPECT_EQ(QString(res.shown[1]).remove(QChar(ui::kDetailsFillMark)), "xaxaxaxa");
    QFile f(log);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("FMAlign1"));
}

TEST(DetailsLine, BinaryViewRowsCarryTheirAddress) {
    ui::TDetailsSide l = side("41 20   A B");
    ui::TDetailsSide r = side("41 21   A!B");
    l.numberText = "0001";
    r.numberText = "0001";
    auto in = input(l, r, ui::dmText, 1);
    in.binaryView = true;
    in.hexBytes = 2;
    const ui::TDetailsResult res = ui::buildDetailsLine(in);
    // Only the character part shows its blanks; bytes that differ show so.
    EXPECT_EQ(res.shown[0], QString::fromUtf16(u"0001 | 41 20   A\u2219B"));
    EXPECT_FALSE(res.hexShown);
    EXPECT_EQ(res.shown[0].mid(res.caretPos, res.caretLength), "4");
    EXPECT_EQ(res.classes[0][size_t(res.shown[0].indexOf("20") + 1)], ui::dcDiffers);
}

TEST(DetailsLine, CopyTurnsMarksBack) {
    EXPECT_EQ(ui::detailsCopyText(QStringLiteral("a\u2219b\u25a0\u25a0c")), "a bc");
}

}  // namespace
