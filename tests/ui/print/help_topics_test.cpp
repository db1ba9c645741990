#include "ui/print/help_topics.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <stdexcept>

#include "access/access_slots.h"
#include "access/text_files.h"
#include "config/app_settings.h"
#include "help_fixture.h"

namespace acc = tandex::access;
using namespace tandex::print;

namespace {

// Windows-1252 text with CR LF breaks, as the help source is kept.
const QByteArray kTopics =
    "Lines before the first topic are never shown.\r\n"
    "#hbegin:Two\r\n"
    "x\r\n"
    "y\r\n"
    "#hend\r\n"
    "#hbegin:A\r\n"
    "#hbegin:B\r\n"
    "l1\r\n"
    "l2\r\n"
    "l3\r\n"
    "#hend\r\n"
    "#hbegin:Vers\r\n"
    "v #$vers and #$vers\r\n"
    "#hend\r\n"
    "#hbegin:Raw\r\n"
    "a\tb caf\xe9 \\'95\r\n"
    "#hend\r\n"
    "#hbegin:Tail\r\n"
    "t1\r\n"
    "t2";

// The prologue written out in full, apart from the code that builds it.
QByteArray prologue(const char* font) {
    return QByteArray("{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1030{\\fonttbl{\\f0 ") + font +
           ";}{\\f1 Calibri;}}{\\colortbl ;\\red0\\green0\\blue0;\\red255\\green0\\blue0;"
           "\\red0\\green127\\blue0;\\red0\\green0\\blue255;\\red96\\green96\\blue96;"
           "\\red98\\green98\\blue176;\\red0\\green0\\blue192;\\red0\\green0\\blue250;"
           "\\red0\\green0\\blue251;\\red200\\green200\\blue200;}{\\*\\generator Tandex.exe}"
           "\\viewkind4\\uc1\\pard\\cf1\\f0\\fs18";
}

class HelpTopicsTest : public ::testing::Test {
protected:
    void TearDown() override { HelpState().HelpFileLabel = "Help"; }
    QString path(const QString& name) const { return dir_.filePath(name); }
    QTemporaryDir dir_;
};

TEST_F(HelpTopicsTest, TopicsAreCutOutExactly) {
    const QByteArray version = tandex::config::CurrentVersion().toLatin1();
    ASSERT_FALSE(version.isEmpty());
    struct Case {
        const char* topic;
        QByteArray body;
    };
    const Case cases[] = {
        {"Two", "x\\par y\\par "},
        {"A", "l1\\par l2\\par l3\\par "},
        {"B", "l1\\par l2\\par l3\\par "},
        {"Vers", "v " + version + " and #$vers\\par "},
        {"Raw", "a\tb caf\xe9 \\'95\\par "},
        {"Tail", "t1\\par t2\\par "},
        {"Missing", "\\par\\b\\cf2   Help topic not found!"},
        {"two", "\\par\\b\\cf2   Help topic not found!"},
        {"", "\\par\\b\\cf2   Help topic not found!"},
    };
    // The same text read as it is and as the first member of a zip.
    const QString files[] = {help_fixture::writeFile(path("topics.txt"), kTopics),
                             help_fixture::writeHelpZip(path("Tandex.zhlp"), kTopics)};
    for (const QString& file : files)
        for (const Case& c : cases) {
            QByteArray rtf;
            EXPECT_EQ(RenderHelpTopic(c.topic, "Segoe UI", file, rtf), 0) << c.topic;
            EXPECT_EQ(rtf, prologue("Segoe UI") + c.body + "}") << c.topic << " from " << file.toStdString();
        }
}

TEST_F(HelpTopicsTest, TheSlotsTabWidthStaysTheProgramsOwn) {
    acc::FZSetTabSize(4, 8192);
    QByteArray rtf;
    RenderHelpTopic("Raw", "Segoe UI", help_fixture::writeFile(path("t.txt"), kTopics), rtf);
    EXPECT_EQ(acc::FZTabSize(), 4);
}

TEST_F(HelpTopicsTest, MissingFilesSayWhichFileWithTheLabel) {
    struct Case {
        const char* label;
        const char* font;
        QByteArray text;
    };
    const Case cases[] = {
        {"Help", "Segoe UI", "\\par\\b\\cf2   Tandex Helpfile not found!"},
        {"History", "Tahoma", "\\par\\b\\cf2   Tandex Historyfile not found!"},
    };
    for (const Case& c : cases) {
        HelpState().HelpFileLabel = c.label;
        QByteArray rtf;
        EXPECT_EQ(RenderHelpTopic("Two", c.font, path("none.zhlp"), rtf), 0);
        EXPECT_EQ(rtf, prologue(c.font) + c.text + "}");
    }
    HelpState().HelpFileLabel = "History";
    QByteArray rtf;
    RenderHelpTopic("Nothing", "Tahoma", help_fixture::writeFile(path("h.txt"), kTopics), rtf);
    EXPECT_EQ(rtf, prologue("Tahoma") + "\\par\\b\\cf2   History topic not found!}");
}

// An exception or a failed read gives a non-zero code and no text, so the
// caller keeps what it shows; the slot is given back either way.
TEST_F(HelpTopicsTest, FailuresGiveACodeAndNoText) {
    const QString file = help_fixture::writeFile(path("topics.txt"), kTopics);
    struct Case {
        const char* name;
        THelpLineReader reader;
        int code;
    };
    int calls = 0;
    const Case cases[] = {
        {"read error", [&](int slot, QString& line) { return ++calls == 3 ? 5 : acc::FZReadLine(slot, line); }, 5},
        {"exception",
         [&](int slot, QString& line) {
             if (++calls == 3) throw std::runtime_error("injected");
             return acc::FZReadLine(slot, line);
         },
         1},
    };
    for (const Case& c : cases) {
        calls = 0;
        QByteArray rtf = "old";
        EXPECT_EQ(RenderHelpTopic("Two", "Segoe UI", file, rtf, c.reader), c.code) << c.name;
        EXPECT_TRUE(rtf.isEmpty()) << c.name;
    }
    QString open;
    acc::FZOpenSlotsText(false, open);
    EXPECT_TRUE(open.contains("No open files")) << open.toStdString();
}

TEST_F(HelpTopicsTest, ABrokenZipIsAnUnreadableFile) {
    const QString file = help_fixture::writeFile(path("Tandex.zhlp"), QByteArray("PK\x03\x04", 4) + "broken");
    QByteArray rtf;
    EXPECT_EQ(RenderHelpTopic("Two", "Segoe UI", file, rtf), 0);
    EXPECT_EQ(rtf, prologue("Segoe UI") + "\\par\\b\\cf2   Tandex Helpfile not found!}");
}

}  // namespace
