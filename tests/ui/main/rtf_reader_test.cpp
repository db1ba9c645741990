#include "ui/main/rtf_reader.h"

#include <gtest/gtest.h>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QTextBlock>
#include <QTextDocument>
#include <memory>

#include "rtf_reader_check.h"

using namespace tandex::ui;

namespace {

// Documents lay out text with fonts, which need the GUI application; the
// sanitizer build links no widgets, so this test brings its own.
class GuiAppEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (QCoreApplication::instance()) return;
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "rtf-reader-test";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QGuiApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QGuiApplication> app_;
};

const bool environmentAdded = (::testing::AddGlobalTestEnvironment(new GuiAppEnvironment), true);

const QByteArray kHead =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Segoe UI;}{\\f1 Calibri;}}"
    "{\\colortbl ;\\red0\\green0\\blue0;\\red255\\green0\\blue0;\\red0\\green0\\blue250;}"
    "{\\*\\generator Tandex.exe}\\viewkind4\\uc1\\pard\\cf1\\f0\\fs18 ";

// The text as the blocks hold it (toPlainText would turn line
// separators into line feeds), blocks joined by "\n".
QString textOf(const QTextDocument& doc) {
    QStringList blocks;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) blocks << b.text();
    return blocks.join(QLatin1Char('\n'));
}

// The format of the character at index of the plain text (blocks joined
// by "\n").
QTextCharFormat formatAt(const QTextDocument& doc, int index) {
    int offset = 0;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const int start = f.position() - b.position() + offset;
            if (index >= start && index < start + f.length()) return f.charFormat();
        }
        offset += b.length();
    }
    return {};
}

struct Look {
    QString family;
    QColor color;  // invalid: no colour of its own
    bool bold = false, italic = false, underline = false;
    double points = 9;
};

Look lookAt(const QTextDocument& doc, int index) {
    const QTextCharFormat f = formatAt(doc, index);
    Look l;
    l.family = f.fontFamilies().toStringList().value(0);
    if (f.hasProperty(QTextFormat::ForegroundBrush)) l.color = f.foreground().color();
    l.bold = f.fontWeight() == QFont::Bold;
    l.italic = f.fontItalic();
    l.underline = f.fontUnderline();
    l.points = f.fontPointSize();
    return l;
}

TEST(RtfReader, ControlWordsGiveTextAndLook) {
    const QColor black(0, 0, 0), red(255, 0, 0), link(0, 0, 250);
    struct Case {
        const char* body;
        QString text;
        int probe;  // index of the character whose look is checked
        Look look;
    };
    const Case cases[] = {
        {"plain}", "plain", 0, {"Segoe UI", black}},
        {"\\cf2 red\\cf1  black}", "red black", 0, {"Segoe UI", red}},
        {"\\cf2 red\\cf1  black}", "red black", 4, {"Segoe UI", black}},
        {"\\cf3 topic}", "topic", 0, {"Segoe UI", link}},
        {"\\cf0 auto}", "auto", 0, {"Segoe UI", QColor()}},
        {"\\cf99 unknown}", "unknown", 0, {"Segoe UI", QColor()}},
        {"\\f1 cal}", "cal", 0, {"Calibri", black}},
        {"\\f7 none}", "none", 0, {"Segoe UI", black}},
        {"\\fs30 big}", "big", 0, {"Segoe UI", black, false, false, false, 15}},
        {"\\fs0 same}", "same", 0, {"Segoe UI", black}},
        {"\\b bold\\b0  not}", "bold not", 0, {"Segoe UI", black, true}},
        {"\\b bold\\b0  not}", "bold not", 5, {"Segoe UI", black}},
        {"\\i it\\i0 x}", "itx", 1, {"Segoe UI", black, false, true}},
        {"\\i it\\i0 x}", "itx", 2, {"Segoe UI", black}},
        {"\\ul u\\ulnone x}", "ux", 0, {"Segoe UI", black, false, false, true}},
        {"\\ul u\\ulnone x}", "ux", 1, {"Segoe UI", black}},
        {"{\\b in}out}", "inout", 2, {"Segoe UI", black}},
        {"{\\b in}out}", "inout", 1, {"Segoe UI", black, true}},
        {"a\\par b\\par }", "a\nb\n", 2, {"Segoe UI", black}},
        {"a\\pard b}", "ab", 0, {"Segoe UI", black}},
        {"a\\line b}", QString("a") + QChar::LineSeparator + "b", 0, {"Segoe UI", black}},
        {"a\\tab b}", "a\tb", 0, {"Segoe UI", black}},
        {"\\\\ \\{ \\}}", "\\ { }", 0, {"Segoe UI", black}},
        {"\\'95 item}", QString::fromUtf8("\u2022 item"), 0, {"Segoe UI", black}},
        {"caf\xe9}", QString::fromUtf8("caf\u00e9"), 3, {"Segoe UI", black}},
        {"\\u8364?x}", QString::fromUtf8("\u20acx"), 0, {"Segoe UI", black}},
        {"\\u-3980\\'3fx}", QString(QChar(char16_t(61556))) + "x", 1, {"Segoe UI", black}},
        {"\\uc2\\u8364 ??x}", QString::fromUtf8("\u20acx"), 1, {"Segoe UI", black}},
        {"\\uc0\\u8364?}", QString::fromUtf8("\u20ac?"), 1, {"Segoe UI", black}},
        {"a\\u10?b\\u1?c}", QString("a") + QChar::LineSeparator + "bc", 0, {"Segoe UI", black}},
        {"a{\\*\\unknown hidden {\\b deep}}b}", "ab", 1, {"Segoe UI", black}},
        {"a\\strike\\qc\\sa200 b}", "ab", 1, {"Segoe UI", black}},
        {"a\\~b\\-c}", "abc", 0, {"Segoe UI", black}},
        {"a\r\nb}", "ab", 0, {"Segoe UI", black}},
    };
    for (const Case& c : cases) {
        QTextDocument doc;
        EXPECT_TRUE(ReadRtf(kHead + c.body, doc)) << c.body;
        EXPECT_EQ(textOf(doc), c.text) << c.body;
        const Look l = lookAt(doc, c.probe);
        EXPECT_EQ(l.family, c.look.family) << c.body;
        EXPECT_EQ(l.color, c.look.color) << c.body;
        EXPECT_EQ(l.bold, c.look.bold) << c.body;
        EXPECT_EQ(l.italic, c.look.italic) << c.body;
        EXPECT_EQ(l.underline, c.look.underline) << c.body;
        EXPECT_EQ(l.points, c.look.points) << c.body;
    }
}

TEST(RtfReader, OneFormatPerRun) {
    QTextDocument doc;
    ReadRtf(kHead + "one \\b two\\b0  three}", doc);
    int fragments = 0;
    for (auto it = doc.begin().begin(); !it.atEnd(); ++it) ++fragments;
    EXPECT_EQ(fragments, 3);
}

TEST(RtfReader, FontNamesGoThroughTheMap) {
    QTextDocument doc;
    ReadRtf(kHead + "x\\f1 y}", doc, [](const QString& name) { return "mapped " + name; });
    EXPECT_EQ(lookAt(doc, 0).family, "mapped Segoe UI");
    EXPECT_EQ(lookAt(doc, 1).family, "mapped Calibri");
}

TEST(RtfReader, BrokenInputEndsCleanly) {
    struct Case {
        QByteArray rtf;
        QString text;
        bool complete;
    };
    const QByteArray deep = QByteArray(RtfMaxDepth + 50, '{') + "lost" + QByteArray(RtfMaxDepth + 50, '}');
    const Case cases[] = {
        {kHead + "cut in the mid", "cut in the mid", true},
        {kHead + "cut in a word\\pa", "cut in a word", true},
        {kHead + "cut in a hex \\'9", "cut in a hex ", true},
        {kHead + "cut in a number \\fs9999999999999999999", "cut in a number ", true},
        {"}}}stray{{", "stray", true},
        {"\\", "", true},
        {"{\\fonttbl{\\f0 Never closed", "", true},
        {"{\\colortbl ;\\red999\\green-5;}{\\cf1 x}", "x", true},
        {"{a" + deep + "b}", "ab", false},
        {"{\\u-99999999999\\u99999999999 x\\u0 y}", "x", true},
    };
    for (const Case& c : cases) {
        QTextDocument doc;
        EXPECT_EQ(ReadRtf(c.rtf, doc), c.complete) << c.rtf.left(60).constData();
        EXPECT_EQ(textOf(doc), c.text) << c.rtf.left(60).constData();
    }
}

TEST(RtfReader, ColourTableClampsItsValues) {
    QTextDocument doc;
    ReadRtf("{\\colortbl ;\\red999\\green-5;}{\\cf1 x}", doc);
    EXPECT_EQ(lookAt(doc, 0).color, QColor(255, 0, 0));
}

TEST(RtfReader, InputPastTheSizeLimitIsCut) {
    QByteArray big = "{" + QByteArray(RtfMaxSize + 10, 'a') + "}";
    QTextDocument doc;
    EXPECT_FALSE(ReadRtf(big, doc));
    EXPECT_EQ(doc.characterCount() - 1, RtfMaxSize - 1);
    // A caller names its own limit.
    EXPECT_FALSE(ReadRtf("{abcdef}", doc, {}, 4));
    EXPECT_EQ(doc.toPlainText(), "abc");
    EXPECT_TRUE(ReadRtf("{abcdef}", doc, {}, 8));
}

// Random bytes drawn from RTF's own alphabet, with a fixed seed: every run
// must end, and the document must hold no more characters than the input
// has bytes.
TEST(RtfReader, RandomInputNeverBreaksTheReader) {
    QRandomGenerator random(4711);
    for (int round = 0; round < 300; ++round) {
        const QByteArray input = rtf_check::randomRtf(random, 2000);
        EXPECT_TRUE(rtf_check::readsCleanly(input)) << input.toHex().constData();
    }
}

}  // namespace
