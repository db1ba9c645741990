// The command line as a script sees it: the built program runs as a child
// process without any display (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM
// removed), on files in a temporary folder, and its standard output and
// exit code are compared byte for byte.

#include <QDir>
#include <QImage>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/access/as_nobody.h"
#include "tests/app/batch_child.h"
#include "ui/folders/batch_params.h"

namespace {

using namespace tandex::testing;

class BatchRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        QDir(tmp_.path()).mkpath(QStringLiteral("sub"));
        QDir(tmp_.path()).mkpath(QStringLiteral("Git"));
        QDir(tmp_.path()).mkpath(QStringLiteral("cfg"));
        write("l1", "a\nb\nc\n");
        write("l2", "a\nB\nc\nd\n");
        write("sub/l1", "a\nb\nc\n");
        write("Git/l1", "a\nb\nc\n");
        QByteArray bytes(3000, '\0');
        for (int i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 7);
        write("b1", bytes);
        bytes[100] = 'X';
        write("b2", bytes);
        // Pictures: two equal PNGs, and two BMPs of one size (and so one
        // file size) that differ in one pixel.
        QImage picture(8, 6, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        picture.save(path("p1.png"));
        picture.save(path("p2.png"));
        picture.save(path("m1.bmp"));
        picture.setPixel(3, 2, qRgb(255, 0, 0));
        picture.save(path("m2.bmp"));
    }
    void write(const char* name, const QByteArray& bytes) {
        QFile f(tmp_.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    ChildResult run(const QStringList& args, Stdout mode = Stdout::Pipe) {
        return runTandex(tmp_.path(), args, tmp_.filePath(QStringLiteral("cfg")), mode);
    }
    QString path(const char* name) const { return tmp_.filePath(QString::fromLatin1(name)); }
    QTemporaryDir tmp_;
};

TEST_F(BatchRun, ResultsAndExitCodes) {
    struct Case {
        QStringList args;
        QByteArray lines;
        int code;
    };
    const QByteArray different = "Files are different: 1 different lines!\n";
    const QByteArray equal = "Files are equal\n";
    std::vector<Case> cases = {
        {{"/f", "l1", "l1"}, equal, 0},
        {{"/f", "l1", "l2"}, "Files are different: 2 different lines!\n", 1},
        {{"/f", "l1", "l2", "/ld"},
         "Files are different: 2 different lines!\nFile1: " + path("l1").toUtf8() + "\nFile2: " +
             path("l2").toUtf8() + "\n1:   2: b\n2:   2: B\n1:    : \n2:   4: d\n",
         1},
        {{"/f", "b1", "b2"}, different, 1},
        {{"/f", "b1", "b1"}, equal, 0},
        // Command and switches in capitals; relative operands with and
        // without a folder; "/Git" inside a path is left alone.
        {{"/F", "sub/l1", "l1", "/IC"}, equal, 0},
        {{"/f", "./Git/l1", "Git/l1"}, equal, 0},
        // Bounds and values of the switches; the first of two counts.
        {{"/f", "l1", "l1", "/tol:255"}, equal, 0},
        {{"/f", "l1", "l1", "/tol:256"}, "ERROR: Parameter out of range: /tol:256\n", 9},
        {{"/f", "l1", "l1", "/ifl:-1"}, "ERROR: Parameter out of range: /ifl:-1\n", 9},
        {{"/f", "l1", "l1", "/ill:x"}, "ERROR: Parameter out of range: /ill:x\n", 9},
        {{"/f", "l1", "l1", "/tol:7", "/TOL:300"}, equal, 0},
        {{"/f", "l1", "l1", "/tol:300", "/tol:7"}, "ERROR: Parameter out of range: /tol:300\n", 9},
        {{"/f", "l1", "l1", "/icr:14-18;x"}, "ERROR: Invalid paramter: /icr:14-18;x\n", 9},
        {{"/f", "l1"}, "ERROR: Invalid Filename!: \n", 9},
        {{"/f", "l1", "sub/"}, "ERROR: Invalid Filename!: sub/\n", 9},
        // Open errors: only the first file is reported when both fail.
        {{"/f", "nope", "l1"},
         "ERROR: File1 (" + path("nope").toUtf8() + ") not found!\nERROR: OpenRead Error 2: File not found\n", 2},
        {{"/f", "l1", "sub/nope"}, "ERROR: File2 (sub/nope) not found!\nERROR: OpenRead Error 2: File not found\n", 3},
        {{"/f", "nope", "nope2"},
         "ERROR: File1 (" + path("nope").toUtf8() + ") not found!\nERROR: OpenRead Error 2: File not found\n", 2},
        {{"/d", "sub"}, "ERROR: Invalid or missing foldername!\n", 9},
        {{"/?"}, tandex::folders::BatchUsageText().toUtf8() + "\n", 0},
        {{"/x", "l1", "l2"}, tandex::folders::BatchUsageText().toUtf8() + "\n", 9},
        {{"l1", "l2"}, tandex::folders::BatchUsageText().toUtf8() + "\n", 9},
    };
    // Pictures compare pixel by pixel, not by their file sizes.
    cases.push_back({{"/f", "p1.png", "p2.png", "/ld"},
                     equal + "-> Pixels: Same=48 | Tol=0 | Diff=0\n", 0});
    cases.push_back({{"/f", "m1.bmp", "m2.bmp"}, "Images are different!\n", 1});
    cases.push_back({{"/f", "m1.bmp", "m2.bmp", "/ld"},
                     "Images are different!\n-> Pixels: Same=47 | Tol=0 | Diff=1\n", 1});
    // The binary pair differs in one hex row, and "/ld" lists that row.
    cases.push_back({{"/f", "b1", "b2", "/ld"},
                     different + "File1: " + path("b1").toUtf8() + "\nFile2: " + path("b2").toUtf8() +
                         "\n1:  60: A0 A7 AE B5 BC C3 CA D1 D8 DF E6 ED F4 FB 02 09   ................"
                         "\n2:  60: A0 A7 AE B5 58 C3 CA D1 D8 DF E6 ED F4 FB 02 09   ....X...........\n",
                     1});
    // Each ignore switch turns a difference into equality.
    struct Ignore {
        const char* sw;
        QByteArray left, right;
    } ignores[] = {
        {"/ic", "Hello\n", "hello\n"},
        {"/iw", "a b c\n", "abc\n"},
        {"/il", "   x\n", "x\n"},
        {"/it", "x   \n", "x\n"},
        {"/ie", "a\n\nb\n", "a\nb\n"},
        {"/ifl:1", "one\nsame\n", "two\nsame\n"},
        {"/ill:1", "same\none\n", "same\ntwo\n"},
        {"/icr:1-3", "abcdef\n", "xyzdef\n"},
        {"/iic://", "code // one\n", "code // two\n"},
    };
    for (const Ignore& i : ignores) {
        write("i1", i.left);
        write("i2", i.right);
        ChildResult r = run({"/f", "i1", "i2"});
        EXPECT_EQ(withoutBanner(r.out), different) << i.sw;
        EXPECT_EQ(r.code, 1) << i.sw;
        r = run({"/f", "i1", "i2", QString::fromLatin1(i.sw)});
        EXPECT_EQ(withoutBanner(r.out), equal) << i.sw;
        EXPECT_EQ(r.code, 0) << i.sw;
    }
    write("i1", "Hello\n");
    write("i2", "hello\n");
    // Parameters from the 20th on are not seen: "/ic" there changes nothing.
    QStringList twenty{"/f", "i1", "i2"};
    while (twenty.size() < 19) twenty << QStringLiteral("/x");
    twenty << QStringLiteral("/ic");
    cases.push_back({twenty, different, 1});
    twenty.insert(18, QStringLiteral("/ic"));
    cases.push_back({twenty, equal, 0});

    for (const Case& c : cases) {
        const ChildResult r = run(c.args);
        EXPECT_EQ(withoutBanner(r.out), c.lines) << c.args.join(' ').toStdString();
        EXPECT_EQ(r.code, c.code) << c.args.join(' ').toStdString();
    }
    // The switches changed settings for their runs only: a batch run never
    // writes the settings file.
    EXPECT_TRUE(QDir(path("cfg")).entryList({QStringLiteral("*.ini")}, QDir::Files, QDir::NoSort).isEmpty());
    EXPECT_TRUE(QDir(path("cfg/tandex")).entryList({QStringLiteral("*.ini")}, QDir::Files).isEmpty());
}

// A path into an archive compares the member it names, or ends with the
// not-found error when the archive holds no such member: a gzip or bzip2
// file holds only its one item (for a packed tar, the tar).
TEST_F(BatchRun, PathsIntoArchivesNameOneMemberOrNone) {
    QDir(tmp_.path()).mkpath(QStringLiteral("pack/dir"));
    write("pack/dir/m.txt", "a\nb\nc\n");
    write("pack/m.txt", "a\nb\nc\n");
    write("arch.ini", "[Tandex]\nArchiveExt=*.bz2;\n");
    // Made by the common tools, as a user's archives are.
    const QString script = "cd '" + path("pack") +
                           "' && zip -qr ../a.zip dir && tar cf ../a.tar dir && tar czf ../a.tar.gz dir"
                           " && tar cjf ../a.tar.bz2 dir && gzip -c m.txt > ../m.txt.gz"
                           " && bzip2 -c m.txt > ../m.txt.bz2";
    ASSERT_EQ(QProcess::execute("sh", {"-c", script}), 0);

    const QByteArray equal = "Files are equal\n";
    const auto notFound = [this](const char* name) {
        return "ERROR: File1 (" + path(name).toUtf8() + ") not found!\nERROR: OpenRead Error 2: File not found\n";
    };
    struct Case {
        const char* path;
        bool found;
    } cases[] = {
        // existing, missing and nested member
        {"a.zip/dir/m.txt", true}, {"a.zip/dir/none.txt", false}, {"a.zip/dir/m.txt/x", false},
        {"a.tar/dir/m.txt", true}, {"a.tar/dir/none.txt", false}, {"a.tar/dir/m.txt/x", false},
        {"m.txt.gz/m.txt", true}, {"m.txt.gz/none.txt", false}, {"m.txt.gz/dir/m.txt", false},
        {"m.txt.bz2/m.txt", true}, {"m.txt.bz2/none.txt", false}, {"m.txt.bz2/dir/m.txt", false},
        {"a.tar.gz/dir/m.txt", false}, {"a.tar.gz/no/such.txt", false}, {"a.tar.gz/a.tar/dir/m.txt", false},
        {"a.tar.bz2/dir/m.txt", false},
    };
    for (const Case& c : cases) {
        const ChildResult r = run({"/f", path(c.path), "l1", "/IniFile=" + path("arch.ini")});
        EXPECT_EQ(withoutBanner(r.out), c.found ? equal : notFound(c.path)) << c.path;
        EXPECT_EQ(r.code, c.found ? 0 : 2) << c.path;
    }
}

// "/ld" numbers the file's lines: a line longer than the maximum line
// length takes several rows but one number.
TEST_F(BatchRun, ListedLinesCarryTheFilesLineNumbers) {
    write("long1", "a\n" + QByteArray(1500, 'x') + "\nb\n");
    write("long2", "a\n" + QByteArray(1500, 'x') + "\nc\n");
    const ChildResult r = run({"/f", "long1", "long2", "/ld"});
    EXPECT_EQ(withoutBanner(r.out), "Files are different: 1 different lines!\nFile1: " + path("long1").toUtf8() +
                                        "\nFile2: " + path("long2").toUtf8() + "\n1:   3: b\n2:   3: c\n");
    EXPECT_EQ(r.code, 1);
}

// Folder pairs L<n>/R<n>; every file has one fixed time unless a case
// moves it, so only what a case changes differs.
TEST_F(BatchRun, FolderResultsAndExitCodes) {
    // The listing shows file times in the zone of the child.
    qputenv("TZ", "UTC");
    const QDateTime fixed = QDateTime(QDate(2024, 5, 6), QTime(7, 8, 10), Qt::UTC);
    const auto put = [&](const char* name, const QByteArray& bytes, int secondsLater = 0) {
        const QString file = path(name);
        QDir().mkpath(QFileInfo(file).path());
        write(name, bytes);
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(fixed.addSecs(secondsLater), QFileDevice::FileModificationTime));
    };
    put("L1/a.txt", "same");
    put("R1/a.txt", "same");
    put("L2/a.txt", "left");
    put("R2/a.txt", "right!");
    put("L2/b.txt", "b");
    put("R2/b.txt", "b");
    put("R2/c.txt", "only right");
    put("L3/s/f", "a");
    put("R3/s/f", "bb");
    put("L4/f", "abc");
    put("R4/f", "abd");
    put("L5/f", "abc");
    put("R5/f", "abc", 60);
    put("L6/f", "abc");
    put("R6/f", "abc");
    QFile(path("R6/f")).setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    put("L7/f", "abc");
    put("R7/f", "abc");
    put("R7/g", "abc");
    put("L8/x.c", "left");
    put("R8/x.c", "right!");
    put("L8/y.txt", "y");
    put("R8/y.txt", "y");
    put("L9/tmp1/f", "left");
    put("R9/tmp1/f", "right!");
    put("L9/f", "f");
    put("R9/f", "f");

    struct Case {
        QStringList args;
        QByteArray lines;
        int code;
    };
    const QByteArray equal = "Folders are equal\n";
    const QByteArray one = "Folders are NOT equal: 1 different files!\n";
    const QByteArray missing = "ERROR: Error 3: Path not found\n";
    const Case cases[] = {
        {{"/d", "L1", "R1"}, equal, 0},
        {{"/d", "L2", "R2"}, "Folders are NOT equal: 2 different files!\n", 1},
        {{"/d", "nope", "R1"}, missing, 9},
        {{"/d", "L1", "nope"}, missing, 9},
        {{"/d", "L3", "R3"}, equal, 0},
        {{"/d", "L3", "R3", "/cs"}, one, 1},
        {{"/D", "L3", "R3", "/CS"}, one, 1},
        {{"/d", "L4", "R4"}, equal, 0},
        {{"/d", "L4", "R4", "/cc"}, one, 1},
        {{"/d", "L5", "R5"}, one, 1},
        {{"/d", "L5", "R5", "/it"}, equal, 0},
        {{"/d", "L6", "R6"}, one, 1},
        {{"/d", "L6", "R6", "/ia"}, equal, 0},
        {{"/d", "L7", "R7"}, one, 1},
        {{"/d", "L7", "R7", "/ol"}, equal, 0},
        // "/ep" without patterns excludes nothing: it never takes "/ip"'s.
        {{"/d", "L8", "R8", "/ip:*.c", "/ep"}, one, 1},
        {{"/d", "L8", "R8", "/ip:*.txt"}, equal, 0},
        {{"/d", "L8", "R8", "/ep:*.c"}, equal, 0},
        {{"/d", "L9", "R9", "/cs"}, one, 1},
        {{"/d", "L9", "R9", "/cs", "/ef:tmp*"}, equal, 0},
    };
    for (const Case& c : cases) {
        const ChildResult r = run(c.args);
        EXPECT_EQ(withoutBanner(r.out), c.lines) << c.args.join(' ').toStdString();
        EXPECT_EQ(r.code, c.code) << c.args.join(' ').toStdString();
    }
    const ChildResult r = run({"/d", "L2", "R2", "/ld"});
    // The roots as the run made them absolute; two lines per differing row.
    EXPECT_EQ(withoutBanner(r.out).toStdString(),
              ("Folders are NOT equal: 2 different files!\nFolder1: " + path("L2/").toUtf8() +
                                        "\nFolder2: " + path("R2/").toUtf8() +
                                        "\n1:   1:   [File not found]                             c.txt"
                                        "\n2:   1:             10 06.05.2024 07:08:10 a---  c.txt"
                                        "\n1:   2:              4 06.05.2024 07:08:10 a---  a.txt"
                                        "\n2:   2:              6 06.05.2024 07:08:10 a---  a.txt\n")
                  .toStdString());
    EXPECT_EQ(r.code, 1);
}

// What cannot be read ends the job with its error, never with a verdict,
// and without a question.
TEST_F(BatchRun, UnreadableEntriesEndTheFolderJobWithAnError) {
    if (::geteuid() == 0) {
        RunAsNobody();
        return;
    }
    QDir(tmp_.path()).mkpath(QStringLiteral("L/s"));
    QDir(tmp_.path()).mkpath(QStringLiteral("R/s"));
    write("L/f", "abc");
    write("R/f", "abd");
    write("L/s/g", "g");
    write("R/s/g", "g");
    ASSERT_TRUE(QFile(path("L/f")).setPermissions({}));
    ChildResult r = run({"/d", "L", "R", "/cc", "/it"});
    EXPECT_EQ(withoutBanner(r.out), "ERROR: Error 5: File access denied\n");
    EXPECT_EQ(r.code, 9);
    ASSERT_TRUE(QFile(path("L/f")).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    write("L/f", "abd");
    ASSERT_TRUE(QFile(path("L/s")).setPermissions({}));
    r = run({"/d", "L", "R", "/cs", "/it"});
    EXPECT_EQ(withoutBanner(r.out), "ERROR: Error 5: File access denied\n");
    EXPECT_EQ(r.code, 9);
    QFile(path("L/s")).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(BatchRun, ConsoleGoneKeepsTheExitCode) {
    for (Stdout mode : {Stdout::Closed, Stdout::ReaderGone}) {
        EXPECT_EQ(run({"/f", "l1", "l2", "/ld"}, mode).code, 1);
        EXPECT_EQ(run({"/f", "l1", "l1"}, mode).code, 0);
    }
}

}  // namespace
