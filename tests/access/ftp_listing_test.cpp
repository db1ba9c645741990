#include "access/ftp_listing.h"
#include "access/ftp_reply.h"
#include "ftp_reply_fuzz_check.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QDir>
#include <QFile>

using namespace tandex::access;

namespace {

using Kind = TFtpEntryKind;

QDateTime local(int y, int mo, int d, int h = 0, int mi = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::LocalTime);
}

struct ListCase {
    const char* line;
    bool ok;
    Kind kind;
    qint64 size;
    QDateTime time;
    const char* name;
    const char* target;
};

void check(const ListCase& c, bool ok, const TFtpEntry& e) {
    ASSERT_EQ(ok, c.ok) << c.line;
    if (!ok) return;
    EXPECT_EQ(e.kind, c.kind) << c.line;
    EXPECT_EQ(e.size, c.size) << c.line;
    EXPECT_EQ(e.time, c.time) << c.line;
    EXPECT_EQ(e.name, QString::fromUtf8(c.name)) << c.line;
    EXPECT_EQ(e.linkTarget, QString::fromUtf8(c.target)) << c.line;
}

TFtpReply readReply(const QByteArray& bytes, int* code = nullptr) {
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    try {
        return FZReadFtpReply(buffer, 1000);
    } catch (const EFtpError& e) {
        if (code) *code = e.code();
        return {};
    }
}

}  // namespace

TEST(FtpListing, UnixLinesGiveKindSizeTimeAndWholeNames) {
    const QDateTime now = local(2024, 6, 15, 12, 0);
    const ListCase cases[] = {
        {"-rw-r--r--   1 owner    group         1234 Jun 14 09:30 a b.txt", true, Kind::File, 1234,
         local(2024, 6, 14, 9, 30), "a b.txt", ""},
        {"drwxr-xr-x   2 owner    group         4096 Jan 02  2001 dir", true, Kind::Folder, 4096,
         local(2001, 1, 2), "dir", ""},
        // Leading blanks belong to the name; one blank separates it.
        {"-rw-r--r-- 1 o g 1 Jun 14 09:30  lead", true, Kind::File, 1, local(2024, 6, 14, 9, 30),
         " lead", ""},
        {"lrwxrwxrwx 1 o g 3 Jun 10 08:00 up -> ..", true, Kind::Link, 3, local(2024, 6, 10, 8, 0),
         "up", ".."},
        // No year: this year, unless that lies more than a day ahead.
        {"-rw-r--r-- 1 o g 5 Jun 16 11:00 tomorrow", true, Kind::File, 5, local(2024, 6, 16, 11, 0),
         "tomorrow", ""},
        {"-rw-r--r-- 1 o g 5 Jun 17 12:00 later", true, Kind::File, 5, local(2023, 6, 17, 12, 0),
         "later", ""},
        {"-rw-r--r-- 1 o g 5 Dec 31 23:59 december", true, Kind::File, 5,
         local(2023, 12, 31, 23, 59), "december", ""},
        // No group column; a month word inside the name.
        {"-rw-r--r-- 1 owner 77 Mar  5 2020 Jan 1 12:00 x", true, Kind::File, 77, local(2020, 3, 5),
         "Jan 1 12:00 x", ""},
        {"crw-rw-rw- 1 root root 1, 3 Jun 14 09:30 null", true, Kind::Other, 0,
         local(2024, 6, 14, 9, 30), "null", ""},
        {"drwxr-xr-x 2 o g 4096 Feb 30 10:00 bad-day", true, Kind::Folder, 4096, QDateTime(),
         "bad-day", ""},
        {"total 12", false, Kind::File, 0, {}, "", ""},
        {"-rw-r--r-- 1 o g 12 Jun 14 09:30", false, Kind::File, 0, {}, "", ""},
        {"-rw-r--r-- 1 o g 12 Jun 14 25:30 clock", false, Kind::File, 0, {}, "", ""},
        {"-rw-r--r-- 1 o g 99999999999999999999 Jun 14 09:30 huge", false, Kind::File, 0, {}, "", ""},
        {"?rw-r--r-- 1 o g 12 Jun 14 09:30 odd", false, Kind::File, 0, {}, "", ""},
        {"", false, Kind::File, 0, {}, "", ""},
    };
    for (const ListCase& c : cases) {
        TFtpEntry e;
        check(c, FZParseUnixLine(QString::fromUtf8(c.line), now, e), e);
    }
}

TEST(FtpListing, DosAndMlsdLines) {
    const ListCase dos[] = {
        {"12-31-20  10:15AM       <DIR>          My Dir", true, Kind::Folder, 0,
         local(2020, 12, 31, 10, 15), "My Dir", ""},
        {"01-02-2021  01:05PM              1234 file name.txt", true, Kind::File, 1234,
         local(2021, 1, 2, 13, 5), "file name.txt", ""},
        {"01-02-99  12:00AM  5 midnight", true, Kind::File, 5, local(1999, 1, 2, 0, 0), "midnight", ""},
        {"13-45-20  10:15AM  <DIR>  bad", false, Kind::File, 0, {}, "", ""},
        {"01-02-2021  13:05PM  12 y", false, Kind::File, 0, {}, "", ""},
        {"01-02-2021  01:05PM  12", false, Kind::File, 0, {}, "", ""},
    };
    for (const ListCase& c : dos) {
        TFtpEntry e;
        check(c, FZParseListLine(QString::fromUtf8(c.line), local(2024, 1, 1), e), e);
    }
    const QDateTime utc(QDate(2020, 12, 31), QTime(10, 15, 0), Qt::UTC);
    const ListCase mlsd[] = {
        {"type=file;size=12;modify=20201231101500; a b.txt", true, Kind::File, 12, utc, "a b.txt", ""},
        {"Type=DIR;Modify=20201231101500.123;unique=801g2a; sub", true, Kind::Folder, 0, utc, "sub", ""},
        {"type=cdir;modify=20201231101500; /pub", true, Kind::CurrentFolder, 0, utc, "/pub", ""},
        {"type=pdir; ..", true, Kind::ParentFolder, 0, QDateTime(), "..", ""},
        {"type=OS.unix=slink:/target;size=7; l", true, Kind::Link, 7, QDateTime(), "l", "/target"},
        {"type=file;size=-5;modify=2020; neg", true, Kind::File, 0, QDateTime(), "neg", ""},
        {"type=file;modify=20201331101500;  lead", true, Kind::File, 0, QDateTime(), " lead", ""},
        {"size=5; untyped", false, Kind::File, 0, {}, "", ""},
        {"type=file;size=5;", false, Kind::File, 0, {}, "", ""},
    };
    for (const ListCase& c : mlsd) {
        TFtpEntry e;
        check(c, FZParseMlsdLine(QString::fromUtf8(c.line), e), e);
    }
    TFtpEntry e;
    ASSERT_TRUE(FZParseMlsdLine("type=dir;unique=801g2a; sub", e));
    EXPECT_EQ(e.unique, "801g2a");
}

TEST(FtpReply, RepliesAreReadWholeWithinTheirLimits) {
    struct Case {
        QByteArray bytes;
        int code;  // of the reply, or of the error when lines is -1
        int lines;
    };
    const Case cases[] = {
        {"220 Ready\r\n", 220, 1},
        {"220 Ready\n", 220, 1},
        {"211-Features:\r\n MLST type*;size;\r\n211-not the end\r\n211\r\n", 211, 4},
        {"230-Welcome\r\n230 is not\r\n230 Logged in.\r\n", 230, 2},
        {"250-a\r\n\r\n250 b\r\n", 250, 3},
        {"hello\r\n", 99990, -1},
        {"099 low\r\n", 99990, -1},
        {"220-never ends\r\nmore\r\n", 10054, -1},
        {"220 no line end", 10054, -1},
        {"220 " + QByteArray(FZFtpMaxLine + 10, 'x') + "\r\n", 99990, -1},
        {"220-\r\n" + QByteArray("220-" + QByteArray(1000, 'y') + "\r\n").repeated(70) + "220 end\r\n",
         99990, -1},
    };
    for (const Case& c : cases) {
        int error = 0;
        const TFtpReply reply = readReply(c.bytes, &error);
        if (c.lines < 0) {
            EXPECT_EQ(error, c.code) << c.bytes.left(40).constData();
            continue;
        }
        EXPECT_EQ(error, 0) << c.bytes.left(40).constData();
        EXPECT_EQ(reply.code, c.code) << c.bytes.left(40).constData();
        EXPECT_EQ(reply.lines.size(), c.lines) << c.bytes.left(40).constData();
    }
    const TFtpReply feat = readReply("211-Features:\r\n  MLST type*;size;UNIQUE;\r\n UTF8\r\n211 End\r\n");
    EXPECT_EQ(feat.innerLines(), (QStringList{"MLST type*;size;UNIQUE;", "UTF8"}));
    EXPECT_TRUE(FZFtpHasFeature(feat.innerLines(), "mlst"));
    EXPECT_FALSE(FZFtpHasFeature(feat.innerLines(), "MLSD"));
    EXPECT_EQ(FZFtpMlstFacts(feat.innerLines()), (QStringList{"type", "size", "unique"}));
    EXPECT_EQ(readReply("530-Login\r\n530 incorrect.\r\n").text(), "530-Login\r530 incorrect.");
}

TEST(FtpReply, PassivePortsAreReadAndTheirAddressIgnored) {
    struct Case {
        const char* text;
        bool pasv;
        bool ok;
        quint16 port;
    };
    const Case cases[] = {
        {"227 Entering Passive Mode (10,255,255,1,195,80)", true, true, 50000},
        {"227 Entering Passive Mode 127,0,0,1,0,21", true, true, 21},
        {"227 (127,0,0,1,0,0)", true, false, 0},
        {"227 (127,0,0,1,256,1)", true, false, 0},
        {"227 (127,0,0,1,1)", true, false, 0},
        {"229 Entering Extended Passive Mode (|||6446|)", false, true, 6446},
        {"229 (!!!21!)", false, true, 21},
        {"229 (|||65536|)", false, false, 0},
        {"229 (|||0|)", false, false, 0},
        {"229 (||||)", false, false, 0},
        {"229 (|||12a|)", false, false, 0},
        {"229 (|", false, false, 0},
    };
    for (const Case& c : cases) {
        quint16 port = 0;
        const bool ok = c.pasv ? FZParsePasvPort(c.text, port) : FZParseEpsvPort(c.text, port);
        EXPECT_EQ(ok, c.ok) << c.text;
        if (ok) {
            EXPECT_EQ(port, c.port) << c.text;
        }
    }
}

TEST(FtpReply, KeptFuzzInputsStayHandled) {
    const QDir data(TANDEX_TEST_DATA);
    const QStringList files = data.entryList({"ftp-reply-*"}, QDir::Files);
    EXPECT_FALSE(files.isEmpty());
    for (const QString& name : files) {
        QFile f(data.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(fuzz::runFtpReply(f.readAll()), QString()) << qPrintable(name);
    }
}
