// The command line as a script sees it: the built program runs as a child
// process without any display (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM
// removed), on files in a temporary folder, and its standard output and
// exit code are compared byte for byte.

#include <QDir>
#include <QImage>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

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
        {{"/d", "sub", "Git"}, "ERROR: The folder comparison is not available in this version\n", 9},
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

TEST_F(BatchRun, ConsoleGoneKeepsTheExitCode) {
    for (Stdout mode : {Stdout::Closed, Stdout::ReaderGone}) {
        EXPECT_EQ(run({"/f", "l1", "l2", "/ld"}, mode).code, 1);
        EXPECT_EQ(run({"/f", "l1", "l1"}, mode).code, 0);
    }
}

}  // namespace
